#include "datamodel/motion/MotionSupport_p.h"

#include "datamodel/compiler/SymbolSynchrinizer.h"
#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/memory/DataConversion.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/motion/MotionObject.h"
#include "datamodel/program/GlobalVarModel.h"

#include "accore/ACCore.h"
#include "accore/SafeAccore.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolVariable.h"

namespace {

GlobalVarModel::GlobalVarTable* hiddenList(AbstractProjectModel* project, const char* name)
{
    auto* lists = project ? project->subModel<GlobalVarModel>() : nullptr;
    return lists ? lists->varTable(QString::fromLatin1(name)) : nullptr;
}

} // namespace

bool HiddenVariables::change(AbstractProjectModel* project, const Edit& edit, QString* error) const
{
    GlobalVarModel::GlobalVarTable* list = hiddenList(project, m_list);
    if (!list) {
        *error = QStringLiteral("the project has no variable list %1").arg(QLatin1String(m_list));
        return false;
    }
    std::string text;
    {
        ac::SafeAccore core(project->name());
        ac::ACCore* accore = core.getAccore();
        if (!accore) {
            *error = QStringLiteral("the project has no compiler core");
            return false;
        }
        // The stored text first: the core may hold an older state of the list, or none.
        accore->parseGlobalVars(list->varDeclaration(), m_list, project->getFileID());
        accore->reset(ac::ACCore::ClearMessages);
        ac::SymbolGVL* container = accore->symbolGVL(m_list);
        if (!container) {
            *error = QStringLiteral("the compiler core cannot read the list %1").arg(QLatin1String(m_list));
            return false;
        }
        if (!edit(*accore, *container, error))
            return false;
        text = DataConversion::paramToText(container, DataConversion::GlobalVarsText);
        // A list without variables renders as nothing; it is stored as an empty section.
        if (text.empty() && container->paramsCount() == 0)
            text = "VAR_GLOBAL\nEND_VAR\n";
    }
    if (text.empty()) {
        *error = QStringLiteral("the list %1 could not be written as text").arg(QLatin1String(m_list));
        return false;
    }
    list->setVarDeclaration(text);
    SymbolSynchrinizer* sync = SymbolSynchrinizer::instance();
    sync->bindProject(project->name());
    sync->sync(SyncGlobalVars, m_list);
    return true;
}

bool HiddenVariables::declare(AbstractProjectModel* project, const std::string& name, QString* error) const
{
    return change(project, [this, &name](ac::ACCore& core, ac::VarContainer& list, QString* why) {
        ac::SymbolDataType* type = core.symbolType(m_type);
        if (!type) {
            *why = QStringLiteral("the compiler core knows no type %1").arg(QLatin1String(m_type));
            return false;
        }
        if (!list.addParam(name, type, 1, -1)) {
            *why = QStringLiteral("'%1' cannot be declared in %2 (not an identifier, or taken)")
                       .arg(QString::fromStdString(name), QLatin1String(m_list));
            return false;
        }
        return true;
    }, error);
}

bool HiddenVariables::remove(AbstractProjectModel* project, const std::string& name, QString* error) const
{
    return change(project, [this, &name](ac::ACCore&, ac::VarContainer& list, QString* why) {
        if (list.removeParam(name))
            return true;
        *why = QStringLiteral("%1 declares no '%2'").arg(QLatin1String(m_list), QString::fromStdString(name));
        return false;
    }, error);
}

bool HiddenVariables::rename(AbstractProjectModel* project, const std::string& from, const std::string& to,
                             QString* error) const
{
    return change(project, [this, &from, &to](ac::ACCore& core, ac::VarContainer& list, QString* why) {
        const int position = list.paramIndex(from);
        ac::SymbolDataType* type = core.symbolType(m_type);
        if (position < 0 || !type) {
            *why = QStringLiteral("%1 declares no '%2'").arg(QLatin1String(m_list), QString::fromStdString(from));
            return false;
        }
        list.removeParam(from);
        if (list.addParam(to, type, 1, position))
            return true;
        list.addParam(from, type, 1, position);
        *why = QStringLiteral("'%1' cannot be declared in %2 (not an identifier, or taken)")
                   .arg(QString::fromStdString(to), QLatin1String(m_list));
        return false;
    }, error);
}

bool HiddenVariables::declareExactly(AbstractProjectModel* project, const std::vector<std::string>& names,
                                     QString* error) const
{
    return change(project, [this, &names](ac::ACCore& core, ac::VarContainer& list, QString* why) {
        ac::SymbolDataType* type = core.symbolType(m_type);
        if (!type) {
            *why = QStringLiteral("the compiler core knows no type %1").arg(QLatin1String(m_type));
            return false;
        }
        while (list.paramsCount() > 0)
            list.removeParam(list.paramAt(0)->name());
        for (const std::string& name : names)
            if (!list.addParam(name, type, 1, -1)) {
                *why = QStringLiteral("'%1' cannot be declared in %2 (not an identifier, or taken)")
                           .arg(QString::fromStdString(name), QLatin1String(m_list));
                return false;
            }
        return true;
    }, error);
}

bool HiddenVariables::load(AbstractProjectModel* project) const
{
    GlobalVarModel::GlobalVarTable* list = hiddenList(project, m_list);
    if (!list)
        return false;
    ac::SafeAccore core(project->name());
    if (!core.getAccore())
        return false;
    core.getAccore()->parseGlobalVars(list->varDeclaration(), m_list, project->getFileID());
    core.getAccore()->reset(ac::ACCore::ClearMessages);
    return true;
}

namespace motion {

QString deviceName(const AbstractProjectModel* project)
{
    auto* tree = project ? project->subModel<DeviceTreeModel>() : nullptr;
    return tree ? tree->getRootName().trimmed().toUpper() : QString();
}

bool isUserProject(const AbstractProjectModel* project)
{
    return project && project->type() == AbstractProjectModel::Project;
}

unsigned int takeDeviceId(AbstractProjectModel* project)
{
    auto* tree = project ? project->subModel<DeviceTreeModel>() : nullptr;
    return tree && tree->getRootNode() ? tree->takeID() : 0;
}

void backDeviceId(AbstractProjectModel* project, unsigned int id)
{
    auto* tree = project ? project->subModel<DeviceTreeModel>() : nullptr;
    if (tree && id != 0)
        tree->backID(id);
}

int smallestFree(const std::set<int>& used)
{
    int number = 0;
    for (auto it = used.lower_bound(0); it != used.end() && *it == number; ++it)
        ++number;
    return number;
}

QString selectAll(const QString& table)
{
    return QStringLiteral("SELECT ID, NAME, PROPERTIES FROM ") + table;
}

QString selectOne(const QString& table)
{
    return selectAll(table) + QStringLiteral(" WHERE ID = ?");
}

QStringList columns()
{
    return {ObjectData::Name, ObjectData::Properties};
}

QVector<QVariant> values(const MotionObject& object)
{
    return {QString::fromStdString(object.name()), object.propertiesJson()};
}

Row read(const QSqlQuery& query)
{
    return Row{query.value(0).toUInt(), query.value(1).toString().toStdString(), query.value(2).toString()};
}

QJsonObject data(const MotionObject& object)
{
    return QJsonObject{{ObjectData::Id, QString::number(object.id())},
                       {ObjectData::Name, QString::fromStdString(object.name())},
                       {ObjectData::Properties, object.propertiesJson()}};
}

} // namespace motion
