#include "datamodel/memory/ProjectVarSerializer.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/memory/LayoutText.h"
#include "datamodel/memory/MemFile.h"
#include "datamodel/memory/Md5.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/DeclaredObject.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"

#include "accore/ACCore.h"
#include "accore/DependenceTree.h"
#include "accore/ProjectVars.h"
#include "accore/SafeAccore.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"

#include <QDir>

#include <algorithm>
#include <functional>

namespace {

const char* const kModule = "ProjectVarSerializer";
// The pseudo-symbol whose dependences are those of every program together.
const char* const kProgramVars = "PRJ_MEM_PRG_VARS";
const char* const kEcamVars = "EcamVars";

std::string currentProjectName()
{
    return HostServices::cookie(QStringLiteral("Project.Name")).toString().toStdString();
}

PrjInfoModel::PrjInfo* projectInfo(AbstractProjectModel* project)
{
    auto* model = project ? project->subModel<PrjInfoModel>() : nullptr;
    return model ? model->projectInfo() : nullptr;
}

bool isTrue(const std::string& text)
{
    return QString::fromStdString(text).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

// The type of a member as the layout records it. A VAR_IN_OUT holds a reference, that is a
// pointer to its variable's type.
ac::MemberDataType memberType(const ac::SymbolVariable& variable)
{
    ac::MemberDataType type = ac::MemberDataType::fromType(*variable.dataType(), &variable);
    if (variable.scope() == ac::VS_INOUT) {
        auto target = std::make_shared<ac::MemberDataType>(ac::MemberDataType::fromType(*variable.dataType()));
        type.typeName = "REFERENCE TO " + target->typeName;
        type.basicDataType = ac::BT_POINTER;
        type.byteSize = variable.memBitSize(false) / 8;
        type.arraryRangeSize = 0;
        type.arraryRange.clear();
        type.child = std::move(target);
    }
    return type;
}

// The members of a block, a structure or a function block with their current offsets.
ac::PrjMemSymbolInfo containerSymbol(int section, const std::string& name, const ac::VarContainer& container)
{
    ac::PrjMemSymbolInfo symbol;
    symbol.section = section;
    symbol.name = name;
    symbol.members.reserve(static_cast<size_t>(container.paramsCount()));
    for (int i = 0; i < container.paramsCount(); ++i) {
        const ac::SymbolVariable* variable = container.paramAt(i);
        // A VAR_EXTERNAL names a global variable: the global's memory, not this block's.
        if (!variable->dataType() || variable->scope() == ac::VS_EXTERNAL)
            continue;
        ac::SymbolMemberInfo member;
        member.name = variable->name();
        member.offset = container.offsetAt(i);
        member.type = memberType(*variable);
        symbol.members.push_back(std::move(member));
    }
    return symbol;
}

ac::PrjMemSymbolInfo enumSymbol(const ac::SymbolEnumType& type)
{
    ac::PrjMemSymbolInfo symbol;
    symbol.section = SerializeData::EnumSection;
    symbol.name = type.name();
    const unsigned bits = static_cast<unsigned>(type.byteSize() * 8);
    const unsigned long long mask = bits >= 64 ? ~0ull : (1ull << bits) - 1;
    for (const auto& value : type.enumerators()) {
        ac::SymbolMemberInfo member;
        member.name = value.first;
        // The value as the variable's bytes hold it.
        member.offset = static_cast<unsigned long long>(value.second) & mask;
        member.type = ac::MemberDataType::fromType(type);
        symbol.members.push_back(std::move(member));
    }
    return symbol;
}

// What the project holds, read while the project is taken.
struct ProjectObjects
{
    std::set<std::string> hidden; // upper-case
    std::vector<std::string> lists;
    std::vector<std::string> programs;
    int fileId = -1;
};

bool isHidden(const std::set<std::string>& hidden, const std::string& name)
{
    return hidden.count(ac::upperName(name)) != 0;
}

} // namespace

ProjectVarSerializer& ProjectVarSerializer::getInstance()
{
    static ProjectVarSerializer instance;
    return instance;
}

void ProjectVarSerializer::log(int level, const std::string& text)
{
    HostServices::log(kModule, level, text);
}

void ProjectVarSerializer::fail(const QString& message)
{
    m_lastError = message;
    log(HostServices::LogError, message.toStdString());
}

std::string ProjectVarSerializer::controllerName(const AbstractProjectModel& project)
{
    // The root of the device tree is the controller, named as its description.
    auto* tree = project.subModel<DeviceTreeModel>();
    return tree ? tree->getRootName().trimmed().toStdString() : std::string();
}

bool ProjectVarSerializer::setProjectMemContextToPrjInfoModel(std::string& text)
{
    if (text.empty())
        return false;
    SafeProjectModel project(currentProjectName());
    PrjInfoModel::PrjInfo* info = projectInfo(project.project());
    if (!info)
        return false;
    return info->setProperty("project.mem.context", text);
}

bool ProjectVarSerializer::creatProjectMemFile()
{
    m_lastError.clear();
    SafeProjectModel project(currentProjectName());
    PrjInfoModel::PrjInfo* info = projectInfo(project.project());
    if (!info)
        return false;
    SerializeData data;
    if (!retrieveDataFromText(data, info->property("project.mem.context"), true))
        return false;
    if (data.isEmpty()) {
        fail(QStringLiteral("project %1 has no memory layout to write").arg(QString::fromStdString(project.project()->name())));
        return false;
    }
    const std::string text = LayoutText::write(data);
    info->setProperty("project.mem.context", text);
    const QString path = QDir(QString::fromStdString(project.project()->filePath())).filePath(MemFile::FileName);
    const Result<void> written = MemFile::write(path, text);
    if (!written) {
        fail(written.errorString() + QStringLiteral(": ") + written.errorText());
        return false;
    }
    info->setProperty("project.mem.md5", Md5::getMd5Hex(text.data(), text.size()));
    log(HostServices::LogInfo, "wrote " + path.toStdString() + " (" + std::to_string(data.symbols().size()) + " symbols)");
    return true;
}

bool ProjectVarSerializer::parserProjectMemFile(SerializeData& data)
{
    m_lastError.clear();
    data.clear();
    SafeProjectModel project(currentProjectName());
    PrjInfoModel::PrjInfo* info = projectInfo(project.project());
    if (!info)
        return false;
    const QString path = QDir(QString::fromStdString(project.project()->filePath())).filePath(MemFile::FileName);
    const std::string digest = info->property("project.mem.md5");
    if (digest.empty() && QFile::exists(path)) {
        fail(QStringLiteral("%1 is refused: the project holds no digest of it").arg(path));
        return false;
    }
    const Result<std::string> text = MemFile::read(path, digest);
    if (!text) {
        fail(text.errorString());
        return false;
    }
    if (!retrieveDataFromText(data, text.value(), false)) {
        data.clear();
        return false;
    }
    return true;
}

bool ProjectVarSerializer::retrieveDataFromText(SerializeData& data, const std::string& text, bool offsetsFromCore)
{
    std::vector<std::string> errors;
    SerializeData read;
    if (!LayoutText::read(text, read, &errors)) {
        QString message = QStringLiteral("the memory layout text is malformed");
        for (const std::string& error : errors)
            message += QStringLiteral("; ") + QString::fromStdString(error);
        fail(message);
        return false;
    }
    if (offsetsFromCore) {
        const std::string name = currentProjectName();
        ac::SafeAccore core(name);
        for (ac::PrjMemSymbolInfo& symbol : read.symbols()) {
            const bool block = symbol.section == SerializeData::ProgramSection
                || (symbol.section == SerializeData::GlobalSection && symbol.name != SerializeData::DeviceVarsName);
            if (!block || !core.getAccore())
                continue;
            ac::VarContainer* container = symbol.section == SerializeData::ProgramSection
                ? static_cast<ac::VarContainer*>(core.getAccore()->symbolPOU(symbol.name))
                : core.getAccore()->symbolGVL(symbol.name);
            for (ac::SymbolMemberInfo& member : symbol.members) {
                const ac::SymbolVariable* variable = container && !SerializeData::isFiller(member) ? container->param(member.name) : nullptr;
                if (variable && !member.isFixedAddress())
                    member.offset = variable->backendAddress();
            }
        }
        // The core's places must still make a layout: no member on another's place.
        std::vector<std::string> errors2;
        SerializeData check;
        if (!LayoutText::read(LayoutText::write(read), check, &errors2)) {
            fail(QStringLiteral("the places the compiler core gives do not match the memory layout: %1")
                     .arg(QString::fromStdString(errors2.empty() ? std::string() : errors2.front())));
            return false;
        }
    }
    for (ac::PrjMemSymbolInfo& symbol : read.symbols())
        data.addSymbol(std::move(symbol));
    return true;
}

std::string ProjectVarSerializer::retrieveTextFromData(const SerializeData& data)
{
    return LayoutText::write(data);
}

std::string ProjectVarSerializer::memberDataTypeToJsonStr(const ac::MemberDataType& type)
{
    return LayoutText::memberDataTypeToJsonStr(type);
}

bool ProjectVarSerializer::jsonStrToMemberDataType(const std::string& json, ac::MemberDataType& type)
{
    return LayoutText::jsonStrToMemberDataType(json, type);
}

ac::SymbolMemberInfo ProjectVarSerializer::createOccMember(unsigned long long size)
{
    ac::SymbolMemberInfo member;
    member.name = SerializeData::OccupyMemberName;
    member.type.typeName = "BYTE";
    member.type.basicDataType = ac::BT_USINT;
    member.type.byteSize = size;
    return member;
}

void ProjectVarSerializer::getHiddenSet(std::set<std::string>& hidden)
{
    SafeProjectModel project(currentProjectName());
    if (!project.project())
        return;
    auto add = [&](const DeclaredObject& object) {
        if (object.property("Hidden") == "true")
            hidden.insert(object.name());
    };
    if (auto* types = project.project()->subModel<DataTypeModel>()) {
        std::vector<DataTypeModel::DataUnit*> units;
        types->allDataUnits(units);
        for (auto* unit : units)
            add(*unit);
    }
    if (auto* lists = project.project()->subModel<GlobalVarModel>()) {
        std::vector<GlobalVarModel::GlobalVarTable*> tables;
        lists->allVarTables(tables);
        for (auto* table : tables)
            add(*table);
    }
    if (auto* pous = project.project()->subModel<PouModel>()) {
        std::vector<PouModel::PouUnit*> units;
        pous->allPous(units, PouModel::AllPouTypes);
        for (auto* pou : units)
            add(*pou);
    }
}

bool ProjectVarSerializer::getDecDependence(const std::string& name, std::map<std::string, int>& depends)
{
    ac::SafeAccore core(currentProjectName());
    if (!core.getAccore())
        return false;
    if (name != kProgramVars)
        return core.getAccore()->dependenceTree()->getDecDependence(name, depends);
    for (const std::string& pou : core.getAccore()->pouNames()) {
        const ac::SymbolPOU* symbol = core.getAccore()->symbolPOU(pou);
        if (symbol && symbol->isProgram())
            core.getAccore()->dependenceTree()->getDecDependence(pou, depends);
    }
    return true;
}

void ProjectVarSerializer::getDecDependenceOrder(std::vector<std::string>& order)
{
    const std::string name = currentProjectName();
    std::set<std::string> hiddenNames;
    getHiddenSet(hiddenNames);
    std::set<std::string> hidden;
    for (const std::string& h : hiddenNames)
        hidden.insert(ac::upperName(h));
    int fileId = -1;
    {
        SafeProjectModel project(name);
        if (!project.project())
            return;
        fileId = project.project()->getFileID();
    }
    ac::SafeAccore hold(name);
    ac::ACCore* core = hold.getAccore();
    if (!core)
        return;
    // The roots: the project's own types and function blocks, and what its lists and
    // programs use (library types included).
    std::vector<std::string> roots;
    for (const std::string& type : core->typeNames()) {
        const ac::SymbolDataType* symbol = core->symbolType(type);
        if (symbol && symbol->fileId() == fileId && !isHidden(hidden, type))
            roots.push_back(type);
    }
    for (const std::string& pou : core->pouNames()) {
        const ac::SymbolPOU* symbol = core->symbolPOU(pou);
        if (symbol && symbol->fileId() == fileId && !isHidden(hidden, pou) && (symbol->isFunctionBlock() || symbol->isProgram()))
            roots.push_back(pou);
    }
    for (const std::string& list : core->gvlNames()) {
        const ac::SymbolGVL* symbol = core->symbolGVL(list);
        if (symbol && symbol->fileId() == fileId && !isHidden(hidden, list) && !ac::sameName(list, kEcamVars))
            roots.push_back(list);
    }
    // Depth first: a type is listed after every type it uses.
    std::set<std::string> done;
    std::function<void(const std::string&, int)> visit = [&](const std::string& type, int depth) {
        if (depth > 64 || !done.insert(ac::upperName(type)).second)
            return;
        std::map<std::string, int> depends;
        core->dependenceTree()->getDecDependence(type, depends);
        for (const auto& entry : depends)
            if (entry.second == 1)
                visit(entry.first, depth + 1);
        const ac::SymbolDataType* symbol = core->symbolType(type);
        const ac::SymbolPOU* pou = symbol ? nullptr : core->symbolPOU(type);
        if ((symbol && (symbol->isStruct() || symbol->isEnum())) || (pou && pou->isFunctionBlock()))
            order.push_back(symbol ? symbol->name() : pou->name());
    };
    for (const std::string& root : roots)
        visit(root, 0);
}

void ProjectVarSerializer::getCurrentSerializeData(SerializeData& data)
{
    data.clear();
    const std::string name = currentProjectName();
    ProjectObjects objects;
    {
        SafeProjectModel project(name);
        if (!project.project())
            return;
        std::set<std::string> hidden;
        getHiddenSet(hidden);
        for (const std::string& h : hidden)
            objects.hidden.insert(ac::upperName(h));
        if (auto* lists = project.project()->subModel<GlobalVarModel>()) {
            std::vector<GlobalVarModel::GlobalVarTable*> tables;
            lists->allVarTables(tables);
            for (auto* table : tables)
                if (!isHidden(objects.hidden, table->name()) && !ac::sameName(table->name(), kEcamVars))
                    objects.lists.push_back(table->name());
        }
        if (auto* pous = project.project()->subModel<PouModel>()) {
            std::vector<PouModel::PouUnit*> units;
            pous->allPous(units, PouModel::PRGPOU);
            for (auto* pou : units)
                if (!isHidden(objects.hidden, pou->name()))
                    objects.programs.push_back(pou->name());
        }
    }
    std::vector<std::string> order;
    getDecDependenceOrder(order);

    ac::SafeAccore hold(name);
    ac::ACCore* core = hold.getAccore();
    if (!core)
        return;
    for (const std::string& type : order) {
        if (const ac::SymbolDataType* symbol = core->symbolType(type)) {
            if (const auto* enumeration = dynamic_cast<const ac::SymbolEnumType*>(symbol))
                data.addSymbol(enumSymbol(*enumeration));
            else
                data.addSymbol(containerSymbol(SerializeData::StructSection, symbol->name(), *symbol));
        } else if (const ac::SymbolPOU* pou = core->symbolPOU(type)) {
            data.addSymbol(containerSymbol(SerializeData::FunctionBlockSection, pou->name(), *pou));
        }
    }
    for (const std::string& list : objects.lists) {
        if (const ac::SymbolGVL* symbol = core->symbolGVL(list))
            data.addSymbol(containerSymbol(SerializeData::GlobalSection, symbol->name(), *symbol));
    }
    data.addSymbol(containerSymbol(SerializeData::GlobalSection, SerializeData::DeviceVarsName,
                                   *core->getProjectVars()->internalSymbolVars()));
    for (const std::string& program : objects.programs) {
        const ac::SymbolPOU* symbol = core->symbolPOU(program);
        if (symbol && symbol->isProgram())
            data.addSymbol(containerSymbol(SerializeData::ProgramSection, symbol->name(), *symbol));
    }
}

void ProjectVarSerializer::getNewSerializeData(const SerializeData& stored, const SerializeData& current, SerializeData& out)
{
    out = OnlineChange(stored, current).layout();
}

void ProjectVarSerializer::getOnlineChangeInfo(ac::PrjMemSymbolInfo& symbol, const SerializeData& stored,
                                               const SerializeData& current, std::vector<ac::PrjMemCopyMember>* copies)
{
    // The types a symbol's members name are compared too, so the whole layouts go in.
    const OnlineChange change(stored, current);
    const ac::PrjMemSymbolInfo* placed = change.layout().find(symbol.section, symbol.name);
    if (!placed)
        return;
    symbol = *placed;
    if (!copies)
        return;
    for (const ac::PrjMemCopyMember& copy : change.info().copies)
        if (copy.symbolName == symbol.name)
            copies->push_back(copy);
}

void ProjectVarSerializer::setACCoreProjectMemInfo(ac::PrjMemAllSymbolInfo& info)
{
    ac::SafeAccore core(currentProjectName());
    if (core.getAccore())
        core.getAccore()->setProjectMemInfo(info);
}

unsigned ProjectVarSerializer::getAddrOffset(const std::string& name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return ~0u;
    ac::SafeAccore core(currentProjectName());
    if (!core.getAccore())
        return ~0u;
    const std::string container = name.substr(0, dot);
    const ac::Symbol* symbol = core.getAccore()->symbol(name.substr(dot + 1), container, 0);
    const auto* variable = dynamic_cast<const ac::SymbolVariable*>(symbol);
    if (!variable || variable->backendAddress() > ~0u)
        return ~0u;
    return static_cast<unsigned>(variable->backendAddress());
}

void ProjectVarSerializer::getBasicTypeMemByteSize(std::map<std::string, unsigned long long>& sizes)
{
    static const char* const names[] = {"SINT", "INT",  "DINT", "LINT", "USINT", "UINT", "UDINT", "ULINT",
                                        "BYTE", "WORD", "DWORD", "LWORD", "BOOL", "REAL", "LREAL", "TIME",
                                        "LTIME", "DATE", "DT", "DATE_AND_TIME", "TOD", "TIME_OF_DAY", "POINTER", "ENUM"};
    ac::SafeAccore core(currentProjectName());
    if (!core.getAccore())
        return;
    for (const char* type : names) {
        if (const ac::SymbolDataType* symbol = core.getAccore()->parseSpecification(type))
            sizes[type] = symbol->memBitSize(false) / 8;
    }
}

bool ProjectVarSerializer::isFixedMember(const ac::SymbolMemberInfo& member)
{
    return member.isFixedAddress();
}

bool ProjectVarSerializer::isFixedBasicMember(const ac::SymbolMemberInfo& member)
{
    return member.isFixedAddress() && member.type.basicDataType >= ac::BT_SINT && member.type.basicDataType <= ac::BT_ENUM;
}

bool ProjectVarSerializer::isSameDataType(const ac::MemberDataType& a, const ac::MemberDataType& b, const OnlineChange& data)
{
    return data.isSameDataType(a, b);
}

bool ProjectVarSerializer::isVaildCopyType(const ac::MemberDataType& oldType, const ac::MemberDataType& newType,
                                           const OnlineChange& data, bool& same)
{
    return data.isVaildCopyType(oldType, newType, same);
}

bool ProjectVarSerializer::isValidBasicTypeChange(const ac::MemberDataType& oldType, const ac::MemberDataType& newType)
{
    return OnlineChange::isValidBasicTypeChange(oldType, newType);
}

bool ProjectVarSerializer::isValidOnlineChangeType(const ac::MemberDataType& oldType, const ac::MemberDataType& newType)
{
    return OnlineChange::isValidOnlineChangeType(oldType, newType);
}

unsigned char ProjectVarSerializer::getLogicState()
{
    SafeProjectModel project(currentProjectName());
    PrjInfoModel::PrjInfo* info = projectInfo(project.project());
    if (!info)
        return 0;
    unsigned char state = 0;
    if (isTrue(info->property("ZeroDivisionProtection")))
        state |= 1;
    if (isTrue(info->property("ArraySubscriptProtection")))
        state |= 2;
    if (isTrue(info->property("PointerAddressProtection")))
        state |= 4;
    const QVariant optimise = HostServices::cookie(QStringLiteral("Studio/CompilationOptLevelSetting"));
    if (optimise.isValid() && !optimise.toBool())
        state |= 8;
    return state;
}

unsigned long long ProjectVarSerializer::getMovable()
{
    SafeProjectModel project(currentProjectName());
    if (!project.project())
        return 0;
    const std::string device = controllerName(*project.project());
    if (device.empty())
        return 0;
    const QVariant value =
        DevDescription::instance()->devProperty(QString::fromStdString(device) + QStringLiteral(".IECMem.movable"));
    bool ok = false;
    const unsigned long long size = value.toString().trimmed().toULongLong(&ok);
    return ok ? size : 0;
}

bool ProjectVarSerializer::checkMovable(unsigned long long& size)
{
    {
        SafeProjectModel project(currentProjectName());
        if (!project.project())
            return false;
    }
    return size <= getMovable();
}
