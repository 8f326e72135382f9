// plcproj demo: the auxiliary tables of the packaging line.
#include "DemoAuxiliary.h"

#include "datamodel/auxiliary/HmiCfgModel.h"
#include "datamodel/auxiliary/SoftComponentModel.h"
#include "datamodel/auxiliary/WatchListModel.h"
#include "datamodel/project/AbstractPlcProjectModel.h"

#include <QJsonArray>

namespace plcproj {

bool fillAuxiliary(AbstractPlcProjectModel* project)
{
    auto* components = project->subModel<SoftComponentModel>();
    auto* lists = project->subModel<WatchListModel>();
    auto* hmi = project->subModel<HmiCfgModel>();
    if (!components || !lists || !hmi)
        return false;
    SoftComponentModel::SoftComponentInfo speed;
    speed.comment = QString::fromUtf8(u8"输送带速度 conveyor speed");
    speed.snapshot = "1.5";
    speed.type = SoftComponentModel::REAL;
    speed.bitComments = {{0, "speed valid"}};
    bool ok = components->insertSoftCommentInfos("D", {{100, speed}}, false)
              && components->insertSoftComponentComment("X", 15, "start button (X17)")
              && components->insertSoftComponentComment("Y", 0, "stack light green")
              && components->insertSoftComponentComment("M", 10, "line running");
    ok = ok && lists->appendWatchList("Conveyor");
    if (WatchListObject* list = ok ? lists->getObject(QStringLiteral("Conveyor")) : nullptr)
        for (const char* variable : {"Main.state", "FeederAxis.position", "GVL_Plant.speedSetpoint"})
            list->appendVariable(QString::fromLatin1(variable));
    for (const char* variable : {"Main.state", "GVL_Plant.speedSetpoint", "StackLights.green"})
        hmi->insertVarFullNames(hmi->getMaxIndex() + 1, QString::fromLatin1(variable));
    return ok;
}

QJsonObject describeAuxiliary(AbstractPlcProjectModel* project)
{
    QJsonArray comments, lists, hmiNames;
    if (auto* components = project->subModel<SoftComponentModel>())
        for (const QString& letter : SoftComponentModel::letters()) {
            const auto infos = components->getSoftCommentInfos(letter);
            const int radix = SoftComponentModel::addressRange(letter).radix;
            for (auto it = infos.cbegin(); it != infos.cend(); ++it)
                comments.append(QJsonObject{{"address", letter + QString::number(it.key(), radix)},
                                            {"comment", it->comment},
                                            {"bits", it->bitComments.size()}});
        }
    if (auto* model = project->subModel<WatchListModel>())
        for (const QString& name : model->getWatchListNames())
            lists.append(QJsonObject{{"name", name},
                                     {"variables", QString::fromUtf8(model->getObject(name)->getListData())}});
    if (auto* hmi = project->subModel<HmiCfgModel>())
        for (const QString& name : hmi->getAllVarFullNames())
            hmiNames.append(name);
    return QJsonObject{{"comments", comments}, {"watchLists", lists}, {"hmi", hmiNames}};
}

void printAuxiliary(const Output& out, const QJsonObject& auxiliary)
{
    out.line("soft component comments:");
    for (const QJsonValue& value : auxiliary["comments"].toArray()) {
        const QJsonObject comment = value.toObject();
        out.line(QStringLiteral("  %1: %2%3").arg(comment["address"].toString(), comment["comment"].toString(),
                 comment["bits"].toInt() ? QStringLiteral(" (%1 bit comments)").arg(comment["bits"].toInt()) : QString()));
    }
    out.line("watch lists:");
    for (const QJsonValue& value : auxiliary["watchLists"].toArray())
        out.line(QStringLiteral("  %1: %2").arg(value.toObject()["name"].toString(), value.toObject()["variables"].toString()));
    QStringList names;
    for (const QJsonValue& value : auxiliary["hmi"].toArray())
        names << value.toString();
    out.line("HMI list: " + names.join(", "));
}

} // namespace plcproj
