// exec: the commands on axes, axis groups, cam tables and traces, each edit with its undo
// command; and "plcproj cam-cfg", the tables of a binary cam configuration file.
#include "Command.h"
#include "ExecSession.h"

#include "datamodel/motion/AxisGroupModel.h"
#include "datamodel/motion/AxisModel.h"
#include "datamodel/motion/EcamModel.h"
#include "datamodel/motion/TraceModel.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/project/AbstractPlcProjectModel.h"
#include "datamodel/undo/ModelCommand.h"
#include "datamodel/undo/ProjectModelStack.h"
#include "host/ScriptedDialogs.h"

#include <QJsonArray>
#include <QJsonObject>

namespace plcproj {

namespace {

const QStringList motionKinds = {"axis", "group", "cam", "trace"};

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

QString g(double value)
{
    return QString::number(value, 'g', 6);
}

// One motion object as the commands see it, whatever its kind.
struct MotionTarget
{
    SubModel* model = nullptr;
    ModelObject* object = nullptr;
    AxisModel::AxisTable* axis = nullptr;
    AxisGroupModel::AxisGroupTable* group = nullptr;
    EcamModel::EcamTable* cam = nullptr;
    TraceModel::TraceTable* trace = nullptr;

    std::map<QString, QString> properties() const
    {
        if (axis || group || cam)
            return static_cast<MotionObject*>(object)->propertys();
        std::map<QString, QString> out;
        for (const auto& [key, value] : trace->propertys())
            out[q(key)] = q(value);
        return out;
    }
    QString name() const
    {
        return trace ? q(trace->name()) : q(static_cast<MotionObject*>(object)->name());
    }
};

QString pointText(const EcamData& p)
{
    return QStringLiteral("main %1 slave %2 velocity %3 acceleration %4 curve %5")
        .arg(g(p.mainAxis), g(p.slaveAxis), g(p.velocity), g(p.acceleration))
        .arg(p.camCurveType);
}

// MAIN SLAVE VEL ACC CURVE starting at words[first].
bool parsePoint(const QStringList& words, int first, EcamData& point, QString* error)
{
    bool ok[5] = {};
    point.mainAxis = words.value(first).toDouble(&ok[0]);
    point.slaveAxis = words.value(first + 1).toDouble(&ok[1]);
    point.velocity = words.value(first + 2).toDouble(&ok[2]);
    point.acceleration = words.value(first + 3).toDouble(&ok[3]);
    const uint curve = words.value(first + 4).toUInt(&ok[4]);
    point.camCurveType = static_cast<uint16_t>(curve);
    for (bool b : ok)
        if (!b || curve > 0xFFFF) {
            *error = QStringLiteral("a point is MAIN SLAVE VEL ACC CURVE (numbers, CURVE 0-65535): '%1'")
                         .arg(words.mid(first, 5).join(' '));
            return false;
        }
    return true;
}

bool toIndex(const QString& word, int& index, QString* error)
{
    bool ok = false;
    index = word.toInt(&ok);
    if (!ok)
        *error = QStringLiteral("INDEX must be a number: '%1'").arg(word);
    return ok;
}

host::ScriptedDialogs* scriptedDialogs()
{
    return HostServices::get<host::ScriptedDialogs>();
}

// The message boxes shown since the dialogs were cleared, as "TITLE: TEXT" lines.
QStringList shownMessages()
{
    QStringList lines;
    if (auto* dialogs = scriptedDialogs())
        for (const host::ScriptedDialogs::Prompt& prompt : dialogs->prompts())
            if (prompt.kind == QLatin1String("message"))
                lines << prompt.title + QStringLiteral(": ") + prompt.label;
    return lines;
}

} // namespace

bool ExecSession::isMotionCommand(const QStringList& words)
{
    static const QStringList verbs = {"add", "rm", "rename", "set", "list", "show"};
    const QString verb = words.value(0);
    return verb == "cam" || verb == "trace" || (verbs.contains(verb) && motionKinds.contains(words.value(1)));
}

namespace {

MotionTarget findMotion(AbstractPlcProjectModel* project, const QString& kind, const QString& name, QString* error)
{
    MotionTarget t;
    if (kind == "axis") {
        auto* model = project->subModel<AxisModel>();
        t.model = model;
        t.object = t.axis = model ? model->axisTable(name) : nullptr;
    } else if (kind == "group") {
        auto* model = project->subModel<AxisGroupModel>();
        t.model = model;
        t.object = t.group = model ? model->axisGroupTable(name) : nullptr;
    } else if (kind == "cam") {
        auto* model = project->subModel<EcamModel>();
        t.model = model;
        t.object = t.cam = model ? model->ecamTable(name) : nullptr;
    } else {
        auto* model = project->subModel<TraceModel>();
        t.model = model;
        t.object = t.trace = model ? model->traceTable(name) : nullptr;
    }
    if (!t.model)
        *error = QStringLiteral("a library project has no %1s").arg(kind);
    else if (!t.object)
        *error = QStringLiteral("no %1 named '%2'").arg(kind, name);
    return t;
}

// The objects of a kind in id order.
std::vector<MotionTarget> allMotion(AbstractPlcProjectModel* project, const QString& kind)
{
    std::vector<MotionTarget> out;
    auto add = [&out](SubModel* model, auto& objects, auto setter) {
        for (auto* object : objects) {
            MotionTarget t;
            t.model = model;
            t.object = object;
            setter(t, object);
            out.push_back(t);
        }
    };
    if (auto* axes = kind == "axis" ? project->subModel<AxisModel>() : nullptr) {
        std::vector<AxisModel::AxisTable*> all;
        axes->allAxisTables(all);
        add(axes, all, [](MotionTarget& t, AxisModel::AxisTable* o) { t.axis = o; });
    } else if (auto* groups = kind == "group" ? project->subModel<AxisGroupModel>() : nullptr) {
        std::vector<AxisGroupModel::AxisGroupTable*> all;
        groups->allAxisGroupTables(all);
        add(groups, all, [](MotionTarget& t, AxisGroupModel::AxisGroupTable* o) { t.group = o; });
    } else if (auto* cams = kind == "cam" ? project->subModel<EcamModel>() : nullptr) {
        std::vector<EcamModel::EcamTable*> all;
        cams->allEcamTables(all);
        add(cams, all, [](MotionTarget& t, EcamModel::EcamTable* o) { t.cam = o; });
    } else if (auto* traces = kind == "trace" ? project->subModel<TraceModel>() : nullptr) {
        std::vector<TraceModel::TraceTable*> all;
        traces->allTraceTables(all);
        add(traces, all, [](MotionTarget& t, TraceModel::TraceTable* o) { t.trace = o; });
    }
    return out;
}

} // namespace

bool ExecSession::motion(const QStringList& words, QString* error)
{
    const QString verb = words.value(0);
    if (verb == "cam")
        return camCommand(words, error);
    if (verb == "trace")
        return traceCommand(words, error);
    const QString kind = words.value(1);
    const std::map<QString, int> counts = {{"add", 3}, {"rm", 3}, {"rename", 4}, {"set", 5}, {"list", 2}, {"show", 3}};
    if (words.size() != counts.at(verb)) {
        *error = QStringLiteral("usage: add|rm KIND NAME, rename KIND OLD NEW, set KIND NAME KEY VALUE, list KIND, "
                                "show KIND NAME (KIND: %1)")
                     .arg(motionKinds.join(", "));
        return false;
    }
    if (verb == "add")
        return addMotion(kind, words[2], error);
    if (verb == "list") {
        QJsonArray items;
        for (const MotionTarget& t : allMotion(m_project, kind)) {
            const unsigned int id = t.trace ? t.trace->id() : static_cast<MotionObject*>(t.object)->id();
            items.append(QJsonObject{{"id", int(id)}, {"name", t.name()}});
            if (!m_out.json())
                m_out.line(QStringLiteral("%1 %2").arg(id).arg(t.name()));
        }
        report(QString(), QJsonObject{{"command", "list"}, {"kind", kind}, {"items", items}});
        return true;
    }
    const MotionTarget t = findMotion(m_project, kind, words[2], error);
    if (!t.object)
        return false;
    if (verb == "show")
        return showMotion(kind, t.model, t.object, error);
    const QString path = t.model->getObjPath(t.object);
    if (verb == "rm") {
        auto* command = new ModelRemoveCommand(t.object, t.model);
        QString data;
        if (!t.model->removeObject(path, data)) {
            delete command;
            *error = QStringLiteral("%1 '%2' could not be removed").arg(kind, words[2]);
            return false;
        }
        m_stack->pushCommand(command);
        report(QStringLiteral("removed %1 %2").arg(kind, words[2]), QJsonObject{{"command", "rm"}, {"kind", kind}});
        return true;
    }
    if (verb == "rename") {
        const QString old = t.name();
        if (!t.model->renameObject(path, words[3])) {
            *error = QStringLiteral("%1 '%2' cannot be renamed to '%3'").arg(kind, old, words[3]);
            return false;
        }
        m_stack->pushCommand(new ModelRenameCommand(t.object, t.model, old, words[3]));
        report(QStringLiteral("renamed %1 %2 to %3").arg(kind, old, words[3]),
               QJsonObject{{"command", "rename"}, {"kind", kind}, {"name", words[3]}});
        return true;
    }
    // set
    const auto properties = t.properties();
    const auto found = properties.find(words[3]);
    const QString from = found == properties.end() ? QString() : found->second;
    if (!t.model->changeProperty(path, words[3], from, words[4])) {
        *error = QStringLiteral("%1 '%2': %3 cannot be set").arg(kind, words[2], words[3]);
        return false;
    }
    m_stack->pushCommand(new ModelModifyCommand(t.object, t.model, words[3], from, words[4]));
    report(QStringLiteral("%1 %2: %3 = %4").arg(kind, words[2], words[3], words[4]),
           QJsonObject{{"command", "set"}, {"kind", kind}, {"key", words[3]}, {"value", words[4]}});
    return true;
}

bool ExecSession::addMotion(const QString& kind, const QString& name, QString* error)
{
    ModelObject* added = nullptr;
    SubModel* model = nullptr;
    QString why;
    if (auto* axes = kind == "axis" ? m_project->subModel<AxisModel>() : nullptr) {
        model = axes;
        added = axes->addAxisTable(name);
        why = axes->lastError();
    } else if (auto* groups = kind == "group" ? m_project->subModel<AxisGroupModel>() : nullptr) {
        model = groups;
        added = groups->addAxisGroupTable(name);
        why = groups->lastError();
    } else if (auto* cams = kind == "cam" ? m_project->subModel<EcamModel>() : nullptr) {
        model = cams;
        added = cams->addEcamTable(name);
        why = cams->lastError();
    } else if (auto* traces = kind == "trace" ? m_project->subModel<TraceModel>() : nullptr) {
        model = traces;
        added = traces->traceTable(name) ? nullptr : traces->addTraceTable(name.toStdString());
        why = QStringLiteral("a trace named '%1' exists").arg(name);
    }
    if (!model) {
        *error = QStringLiteral("a library project has no %1s").arg(kind);
        return false;
    }
    if (!added) {
        *error = QStringLiteral("%1 '%2' not added: %3").arg(kind, name, why);
        return false;
    }
    m_stack->pushCommand(new ModelInsertCommand(added, model));
    const QString id = model->getObjPath(added);
    report(QStringLiteral("added %1 %2 (id %3)").arg(kind, name, id),
           QJsonObject{{"command", "add"}, {"kind", kind}, {"name", name}, {"id", id}});
    return true;
}

bool ExecSession::showMotion(const QString& kind, SubModel* model, ModelObject* object, QString* error)
{
    MotionTarget t;
    t.model = model;
    t.object = object;
    t.axis = dynamic_cast<AxisModel::AxisTable*>(object);
    t.group = dynamic_cast<AxisGroupModel::AxisGroupTable*>(object);
    t.cam = dynamic_cast<EcamModel::EcamTable*>(object);
    t.trace = dynamic_cast<TraceModel::TraceTable*>(object);
    if (!t.axis && !t.group && !t.cam && !t.trace) {
        *error = QStringLiteral("not a motion object");
        return false;
    }
    QJsonObject result{{"command", "show"}, {"kind", kind}, {"name", t.name()}, {"id", model->getObjPath(object)}};
    QStringList lines{QStringLiteral("%1 %2 (id %3)").arg(kind, t.name(), model->getObjPath(object))};
    QJsonObject properties;
    for (const auto& [key, value] : t.properties()) {
        properties.insert(key, value);
        lines << QStringLiteral("  %1 = %2").arg(key, value);
    }
    result.insert("properties", properties);
    if (t.axis) {
        QJsonObject compare;
        const QMap<QString, QString> data = t.axis->getCompareData();
        for (auto it = data.begin(); it != data.end(); ++it) {
            compare.insert(it.key(), it.value());
            lines << QStringLiteral("  compare %1 = %2").arg(it.key(), it.value());
        }
        result.insert("compare", compare);
    }
    if (t.cam) {
        QJsonArray points;
        const std::vector<EcamPointData> all = t.cam->getAllPoint();
        for (std::size_t i = 0; i < all.size(); ++i) {
            lines << QStringLiteral("  point %1: id %2 ").arg(i).arg(all[i].id) + pointText(all[i].data);
            points.append(QJsonObject{{"id", qint64(all[i].id)}, {"main", all[i].data.mainAxis},
                                      {"slave", all[i].data.slaveAxis}, {"velocity", all[i].data.velocity},
                                      {"acceleration", all[i].data.acceleration},
                                      {"curve", all[i].data.camCurveType}});
        }
        result.insert("points", points);
    }
    if (t.trace) {
        QJsonArray vars;
        for (const TraceModel::TraceVarProperty& var : t.trace->traceVarPropertys()) {
            lines << QStringLiteral("  var %1 color %2%3")
                         .arg(q(var.VarName))
                         .arg(var.ColorIndex)
                         .arg(var.ActiveDrawing ? QStringLiteral(" drawn") : QString());
            vars.append(QJsonObject{{"name", q(var.VarName)}, {"color", var.ColorIndex}, {"draw", var.ActiveDrawing}});
        }
        result.insert("vars", vars);
    }
    report(lines.join('\n'), result);
    return true;
}

bool ExecSession::camCommand(const QStringList& words, QString* error)
{
    const QString usage = QStringLiteral(
        "cam takes: NAME point add INDEX MAIN SLAVE VEL ACC CURVE | NAME point rm INDEX | "
        "NAME point set INDEX MAIN SLAVE VEL ACC CURVE | NAME export FILE | NAME import FILE");
    const QString action = words.value(2) == "point" ? words.value(3) : words.value(2);
    const std::map<QString, int> counts = {{"add", 10}, {"rm", 5}, {"set", 10}, {"export", 4}, {"import", 4}};
    const auto count = counts.find(action);
    if (count == counts.end() || words.size() != count->second || (words.value(2) == "point") == (words.size() == 4)) {
        *error = usage;
        return false;
    }
    const MotionTarget t = findMotion(m_project, "cam", words[1], error);
    if (!t.cam)
        return false;
    auto* cams = static_cast<EcamModel*>(t.model);
    const QString before = EcamModel::pointsToJson(t.cam->getAllPoint());
    if (action == "export" || action == "import") {
        auto* dialogs = scriptedDialogs();
        if (!dialogs) {
            *error = QStringLiteral("the host answers no file dialogs");
            return false;
        }
        dialogs->clear();
        dialogs->answer(words[3]);
        QVector<EcamData> points = t.cam->getAllCamPoint();
        const bool done = action == "export" ? cams->exportEcamCSV(points) : cams->importEcamCSV(points);
        const QStringList messages = shownMessages();
        dialogs->clear();
        if (!done) {
            *error = messages.isEmpty() ? QStringLiteral("%1 of %2 failed").arg(action, words[3]) : messages.join("; ");
            return false;
        }
        for (const QString& line : messages)
            report(line, QJsonObject{{"command", "cam"}, {"action", action}, {"message", line}});
        if (action == "export")
            return true;
        // The imported points replace the table's; points that stay keep their ids.
        std::vector<EcamPointData> replaced;
        const std::vector<EcamPointData> old = t.cam->getAllPoint();
        for (int i = 0; i < points.size(); ++i)
            replaced.push_back(EcamPointData{i < int(old.size()) ? old[std::size_t(i)].id : 0xFFFFFFFFu, points[i]});
        const QString after = EcamModel::pointsToJson(replaced);
        if (!cams->changeProperty(cams->getObjPath(t.cam), "points", before, after)) {
            *error = QStringLiteral("the imported points do not fit into cam '%1'").arg(words[1]);
            return false;
        }
        m_stack->pushCommand(new ModelModifyCommand(t.cam, cams, "points", before, EcamModel::pointsToJson(t.cam->getAllPoint())));
        return true;
    }
    int index = 0;
    EcamData point;
    if (!toIndex(words[4], index, error) || (action != "rm" && !parsePoint(words, 5, point, error)))
        return false;
    bool done = false;
    if (action == "add")
        done = t.cam->addPoint(index, point);
    else if (action == "rm")
        done = t.cam->deletePoint(index);
    else
        done = t.cam->modifyPoint({{index, point}});
    if (!done) {
        *error = QStringLiteral("cam '%1': point %2 %3 refused (the cam has %4 points; the first stays)")
                     .arg(words[1], action)
                     .arg(index)
                     .arg(t.cam->pointCount());
        return false;
    }
    const QString after = EcamModel::pointsToJson(t.cam->getAllPoint());
    m_stack->pushCommand(new ModelModifyCommand(t.cam, cams, "points", before, after));
    report(QStringLiteral("cam %1: point %2 %3, %4 points").arg(words[1], action).arg(index).arg(t.cam->pointCount()),
           QJsonObject{{"command", "cam"}, {"action", action}, {"index", index}, {"points", t.cam->pointCount()}});
    return true;
}

bool ExecSession::traceCommand(const QStringList& words, QString* error)
{
    if (words.size() < 5 || words[2] != "var" || words[3] != "add") {
        *error = QStringLiteral("trace takes: NAME var add VAR [--color N] [--draw]");
        return false;
    }
    const MotionTarget t = findMotion(m_project, "trace", words[1], error);
    if (!t.trace)
        return false;
    TraceModel::TraceVarProperty var{words[4].toStdString(), false, 0};
    for (int i = 5; i < words.size(); ++i) {
        bool ok = true;
        if (words[i] == "--draw")
            var.ActiveDrawing = true;
        else if (words[i] == "--color" && i + 1 < words.size())
            var.ColorIndex = words[++i].toInt(&ok);
        else
            ok = false;
        if (!ok) {
            *error = QStringLiteral("trace var add: unknown or malformed option '%1'").arg(words[i]);
            return false;
        }
    }
    const QString before = q(TraceModel::traceVars2JsonStr(t.trace->traceVarPropertys()));
    t.trace->appendTraceVar(var);
    const QString after = q(TraceModel::traceVars2JsonStr(t.trace->traceVarPropertys()));
    m_stack->pushCommand(new ModelModifyCommand(t.trace, t.model, "TraceVars", before, after));
    report(QStringLiteral("trace %1: added %2").arg(words[1], words[4]),
           QJsonObject{{"command", "trace"}, {"var", words[4]}});
    return true;
}

int runCamCfg(const Arguments& args, const Output& out)
{
    if (args.positional().size() != 1) {
        Output::error(QStringLiteral("cam-cfg takes one FILE"));
        return Usage;
    }
    EcamModel reader("EcamModel", nullptr);
    if (auto* dialogs = scriptedDialogs())
        dialogs->clear();
    QString path = args.positional(0);
    QVector<QPair<QString, QVector<EcamData>>> tables;
    if (!reader.parsingCfgFile(path, tables)) {
        const QStringList messages = shownMessages();
        Output::error(QStringLiteral("%1: %2").arg(path, messages.isEmpty() ? QStringLiteral("cannot be read")
                                                                            : messages.join("; ")));
        return Failure;
    }
    QJsonArray list;
    for (const auto& [name, points] : tables) {
        QJsonArray pointList;
        if (!out.json())
            out.line(QStringLiteral("table %1: %2 points").arg(name).arg(points.size()));
        for (int i = 0; i < points.size(); ++i) {
            const EcamData& p = points[i];
            pointList.append(QJsonArray{p.mainAxis, p.slaveAxis, p.velocity, p.acceleration, p.camCurveType});
            if (!out.json())
                out.line(QStringLiteral("  %1: ").arg(i) + pointText(p));
        }
        list.append(QJsonObject{{"name", name}, {"points", pointList}});
    }
    if (out.json())
        out.document(QJsonObject{{"tables", list}});
    return Ok;
}

} // namespace plcproj
