#include "datamodel/exchange/MotionAuxWriter_p.h"

#include "datamodel/auxiliary/HmiCfgModel.h"
#include "datamodel/auxiliary/InternationalModel.h"
#include "datamodel/auxiliary/SoftComponentModel.h"
#include "datamodel/auxiliary/WatchListModel.h"
#include "datamodel/auxiliary/WatchListObject.h"
#include "datamodel/exchange/ExchangeFormat_p.h"
#include "datamodel/exchange/ExchangeNames.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/motion/AxisGroupModel.h"
#include "datamodel/motion/AxisModel.h"
#include "datamodel/motion/EcamModel.h"
#include "datamodel/motion/TraceModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

using namespace ExchangeFormat;

namespace {

template <typename Map>
QJsonObject textMembers(const Map& properties)
{
    QJsonObject out;
    for (const auto& [key, value] : properties)
        out.insert(QString(key), QString(value));
    return out;
}

QJsonObject textMembers(const std::map<std::string, std::string>& properties)
{
    QJsonObject out;
    for (const auto& [key, value] : properties)
        out.insert(QString::fromStdString(key), QString::fromStdString(value));
    return out;
}

// Objects of one kind, each written by `entry` as STEM + suffix in `folder`; `extra` may add
// files beside it under the same stem.
template <typename Object, typename Entry, typename Extra>
void writeNamed(const std::vector<Object*>& objects, const QString& folder, const QString& suffix, Entry entry,
                Extra extra, ProjectText::Files& files)
{
    QStringList names;
    for (const Object* object : objects)
        names << QString::fromStdString(object->name());
    const QStringList stems = ExchangeNames::stems(names);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const QString stem = folder + '/' + stems[int(i)];
        QJsonObject json = entry(*objects[i]);
        json.insert("id", qint64(objects[i]->id()));
        json.insert("name", names[int(i)]);
        extra(*objects[i], stem, json);
        files[stem + suffix] = jsonBytes(json);
    }
}

template <typename Object, typename Entry>
void writeNamed(const std::vector<Object*>& objects, const QString& folder, const QString& suffix, Entry entry,
                ProjectText::Files& files)
{
    writeNamed(objects, folder, suffix, entry, [](const Object&, const QString&, QJsonObject&) {}, files);
}

QJsonObject motionEntry(const MotionObject& object)
{
    return {{"properties", textMembers(object.propertys())}};
}

void writeMotion(const AbstractProjectModel& project, ProjectText::Files& files)
{
    if (auto* model = project.subModel<AxisModel>()) {
        std::vector<AxisModel::AxisTable*> axes;
        model->allAxisTables(axes);
        writeNamed(axes, AxesFolder, AxisSuffix, motionEntry, files);
    }
    if (auto* model = project.subModel<AxisGroupModel>()) {
        std::vector<AxisGroupModel::AxisGroupTable*> groups;
        model->allAxisGroupTables(groups);
        writeNamed(groups, GroupsFolder, GroupSuffix, motionEntry, files);
    }
    if (auto* model = project.subModel<EcamModel>()) {
        std::vector<EcamModel::EcamTable*> cams;
        model->allEcamTables(cams);
        writeNamed(cams, CamsFolder, CamSuffix, motionEntry,
                   [&files](const EcamModel::EcamTable& cam, const QString& stem, QJsonObject& json) {
                       files[stem + CamPointsSuffix] = MotionAuxWriter::pointsText(cam.getAllPoint());
                       json.insert("points", stem.section('/', -1) + CamPointsSuffix);
                   },
                   files);
    }
    if (auto* model = project.subModel<TraceModel>()) {
        std::vector<TraceModel::TraceTable*> traces;
        model->allTraceTables(traces);
        writeNamed(traces, TracesFolder, TraceSuffix, [](const TraceModel::TraceTable& trace) {
            std::map<std::string, std::string> properties = trace.propertys();
            properties.erase("TraceVars"); // written as "variables" below
            properties.erase("DownLoadNum"); // the front end's counter, "0" whenever a trace is read
            QJsonArray variables;
            for (const TraceModel::TraceVarProperty& variable : trace.traceVarPropertys())
                variables.append(QJsonObject{{"activeDrawing", variable.ActiveDrawing},
                                             {"colorIndex", variable.ColorIndex},
                                             {"varName", QString::fromStdString(variable.VarName)}});
            return QJsonObject{{"properties", textMembers(properties)}, {"variables", variables}};
        }, files);
    }
}

void writeWatchLists(const WatchListModel& model, ProjectText::Files& files)
{
    std::vector<WatchListObject*> lists;
    for (const QString& name : model.getWatchListNames())
        if (WatchListObject* list = model.getObject(name))
            lists.push_back(list);
    std::sort(lists.begin(), lists.end(), [](auto* a, auto* b) { return a->id() < b->id(); });
    writeNamed(lists, WatchFolder, WatchSuffix, [](const WatchListObject& list) {
        return QJsonObject{{"properties", list.getPropertys()},
                           {"variables", QJsonDocument::fromJson(list.getListData()).array()}};
    }, files);
}

const char* typeName(SoftComponentModel::SoftComponentType type)
{
    static const char* const names[] = {"INT", "REAL", "DINT", "LREAL"};
    return type >= SoftComponentModel::INT && type <= SoftComponentModel::LREAL ? names[type] : "INT";
}

// Keyed by the address as the IDE writes it (X and Y in octal).
QJsonObject commentsJson(const SoftComponentModel& model)
{
    QJsonObject out;
    for (const QString& letter : SoftComponentModel::letters()) {
        const int radix = SoftComponentModel::addressRange(letter).radix;
        const QMap<int, SoftComponentModel::SoftComponentInfo> infos = model.getSoftCommentInfos(letter);
        for (auto it = infos.cbegin(); it != infos.cend(); ++it) {
            if (it->state == SoftComponentModel::ToDelete)
                continue;
            QJsonObject bits;
            for (auto bit = it->bitComments.cbegin(); bit != it->bitComments.cend(); ++bit)
                bits.insert(QString::number(bit.key()), bit.value());
            out.insert(letter + QString::number(it.key(), radix),
                       QJsonObject{{"bits", bits}, {"comment", it->comment}, {"id", it->id},
                                   {"snapshot", it->snapshot}, {"type", typeName(it->type)}});
        }
    }
    return out;
}

QJsonObject translationsJson(const InternationalModel& model)
{
    QJsonArray texts;
    for (const auto& node : model.getAllInternationalNode())
        texts.append(QJsonObject{{"context", node.context}, {"key", node.key}, {"ref", node.refFlag}, {"type", int(node.type)}});
    return {{"generation", model.generation()}, {"texts", texts}};
}

void writeAuxiliary(const AbstractProjectModel& project, ProjectText::Files& files)
{
    if (auto* model = project.subModel<WatchListModel>())
        writeWatchLists(*model, files);
    if (auto* model = project.subModel<HmiCfgModel>(); model && model->getMaxIndex() >= 0) {
        QJsonArray names;
        for (const QString& name : model->getAllVarFullNames())
            names.append(name);
        files[HmiFile] = jsonBytes(names);
    }
    if (auto* model = project.subModel<SoftComponentModel>()) {
        const QJsonObject comments = commentsJson(*model);
        if (!comments.isEmpty())
            files[CommentsFile] = jsonBytes(comments);
    }
    // Only a library holds the table; a new one holds just the generation row.
    if (auto* model = project.subModel<InternationalModel>();
        model && (model->generation() != 0 || !model->getAllInternationalNode().isEmpty()))
        files[TranslationsFile] = jsonBytes(translationsJson(*model));
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

QByteArray MotionAuxWriter::pointsText(const std::vector<EcamPointData>& points)
{
    QByteArray out = CamPointsHead + '\n';
    for (const EcamPointData& point : points) {
        const EcamData& p = point.data;
        out += QByteArray::number(point.id) + ',' + number(p.mainAxis) + ',' + number(p.slaveAxis) + ','
               + number(p.velocity) + ',' + number(p.acceleration) + ',' + QByteArray::number(p.camCurveType) + ','
               + QByteArray::number(p.align1) + ',' + QByteArray::number(p.align2) + ','
               + QByteArray::number(p.align3) + '\n';
    }
    return out;
}

void MotionAuxWriter::write(const AbstractProjectModel& project, ProjectText::Files& files)
{
    writeMotion(project, files);
    writeAuxiliary(project, files);
}
