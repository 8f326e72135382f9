#include "datamodel/exchange/MotionAuxReader_p.h"

#include "datamodel/auxiliary/SoftComponentModel.h"
#include "datamodel/exchange/ExchangeFormat_p.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/motion/AxisGroupModel.h"
#include "datamodel/motion/AxisModel.h"
#include "datamodel/motion/EcamModel.h"
#include "datamodel/motion/TraceModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <optional>

using namespace ExchangeFormat;

namespace {

// The largest id the models' allocators hand out (objects, cam points).
constexpr unsigned int MaxObjectId = 100000;
constexpr unsigned int MaxWatchListId = 4999;

// An axis, group, cam table or trace: the row (Id, Name, Properties).
struct NamedRow
{
    QString file;
    unsigned int id = 0;
    QString name;
    QJsonObject properties;
};

struct CamRow
{
    NamedRow table;
    std::vector<EcamPointData> points;
};

struct TraceRow
{
    NamedRow trace;
    std::vector<TraceModel::TraceVarProperty> variables;
};

struct WatchRow
{
    NamedRow list; // properties unused: a watch list's are free text
    QString properties;
    QJsonArray variables;
};

struct CommentRow
{
    QString letter;
    int number = 0;
    SoftComponentModel::SoftComponentInfo info;
};

struct TextRow
{
    int type = 0;
    QString key;
    QString context;
    int ref = 0;
};

QString compact(const QJsonValue& value)
{
    const QJsonDocument document = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
}

// An empty text as the models bind a text never set: NULL.
QVariant textOrNull(const QString& text)
{
    return text.isEmpty() ? QVariant(QVariant::String) : QVariant(text);
}

bool toInt(const QJsonValue& value, int& out, double low, double high)
{
    const double number = value.toDouble(low - 1);
    if (!value.isDouble() || number < low || number > high || number != std::floor(number))
        return false;
    out = int(number);
    return true;
}

// A number of a points file; "nan", "inf" and "-inf" as the writer writes them.
bool toNumber(const QByteArray& field, double& out)
{
    bool ok = false;
    out = field.toDouble(&ok);
    if (ok)
        return true;
    if (field == "nan" || field == "inf" || field == "-inf") {
        out = field == "nan" ? std::nan("") : field == "inf" ? HUGE_VAL : -HUGE_VAL;
        return true;
    }
    return false;
}

bool toWord(const QByteArray& field, uint16_t& out)
{
    bool ok = false;
    out = field.toUShort(&ok);
    return ok && QByteArray::number(out) == field;
}

template <typename Row>
const NamedRow& named(const Row& row)
{
    if constexpr (std::is_same_v<Row, NamedRow>)
        return row;
    else if constexpr (std::is_same_v<Row, CamRow>)
        return row.table;
    else if constexpr (std::is_same_v<Row, TraceRow>)
        return row.trace;
    else
        return row.list;
}

} // namespace

class MotionAuxReaderPrivate
{
public:
    const ProjectText::Files* files = nullptr;
    std::optional<MotionAuxReader::Problem> problem;

    std::vector<NamedRow> axes;
    std::vector<NamedRow> groups;
    std::vector<CamRow> cams;
    std::vector<TraceRow> traces;
    std::vector<WatchRow> watchLists;
    std::optional<QStringList> hmi;
    std::optional<std::vector<CommentRow>> comments;
    std::optional<int> generation;
    std::vector<TextRow> texts;

    bool fail(const QString& file, int line, const QString& message)
    {
        if (!problem)
            problem = MotionAuxReader::Problem{file, line, message};
        return false;
    }

    const QByteArray* file(const QString& path) const
    {
        auto it = files->find(path);
        return it == files->end() ? nullptr : &it->second;
    }

    // The line where `needle` first stands in the file, for messages about a member.
    int lineOf(const QString& path, const QByteArray& needle) const
    {
        const QByteArray* bytes = file(path);
        const int at = bytes ? bytes->indexOf(needle) : -1;
        return at < 0 ? 1 : lineAt(*bytes, at);
    }

    static QByteArray quoted(const QString& text)
    {
        return QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
    }

    bool readJson(const QString& path, QJsonDocument& document)
    {
        const QByteArray& bytes = *file(path);
        QJsonParseError parse;
        document = QJsonDocument::fromJson(bytes, &parse);
        if (parse.error != QJsonParseError::NoError)
            return fail(path, lineAt(bytes, parse.offset), parse.errorString());
        return true;
    }

    // Every file below motion/ and auxiliary/ is of one of the known kinds.
    bool checkKinds()
    {
        const std::pair<QString, QStringList> folders[] = {
            {AxesFolder, {AxisSuffix}}, {GroupsFolder, {GroupSuffix}}, {CamsFolder, {CamSuffix, CamPointsSuffix}},
            {TracesFolder, {TraceSuffix}}, {WatchFolder, {WatchSuffix}}};
        for (const auto& [path, bytes] : *files) {
            if (!path.startsWith(QLatin1String("motion/")) && !path.startsWith(QLatin1String("auxiliary/")))
                continue;
            if (path == HmiFile || path == CommentsFile || path == TranslationsFile)
                continue;
            const QString folder = path.section('/', 0, -2), name = path.section('/', -1);
            const bool known = std::any_of(std::begin(folders), std::end(folders), [&](const auto& kind) {
                return kind.first == folder && std::any_of(kind.second.begin(), kind.second.end(), [&](const QString& suffix) {
                    return name.endsWith(suffix) && name.size() > suffix.size();
                });
            });
            if (!known)
                return fail(path, 0, QStringLiteral("is of no known kind"));
        }
        return true;
    }

    QStringList filesOf(const QString& folder, const QString& suffix) const
    {
        QStringList out;
        for (const auto& [path, bytes] : *files)
            if (path.startsWith(folder + '/') && path.endsWith(suffix) && path.section('/', 0, -2) == folder)
                out << path;
        return out;
    }

    // An object file with an "id" above 0, a "name" and, unless `freeProperties`, "properties"
    // of texts.
    bool readNamed(const QString& path, QJsonObject& json, NamedRow& row, bool freeProperties = false)
    {
        QJsonDocument document;
        if (!readJson(path, document))
            return false;
        if (!document.isObject())
            return fail(path, 1, QStringLiteral("is no JSON object"));
        json = document.object();
        row.file = path;
        if (!toId(json.value("id"), row.id) || row.id == 0 || row.id > MaxObjectId)
            return fail(path, lineOf(path, "\"id\""), QStringLiteral("needs an \"id\" from 1 to %1").arg(MaxObjectId));
        if (!json.value("name").isString() || json.value("name").toString().isEmpty())
            return fail(path, lineOf(path, "\"name\""), QStringLiteral("needs a \"name\""));
        row.name = json.value("name").toString();
        if (!freeProperties) {
            if (!stringMembers(json.value("properties")))
                return fail(path, lineOf(path, "\"properties\""), QStringLiteral("\"properties\" must be texts"));
            row.properties = json.value("properties").toObject();
        }
        return true;
    }

    // Ids and names (in any case) are unique within a kind; rows sorted by id.
    template <typename Row>
    bool checkUnique(std::vector<Row>& rows, const char* kind)
    {
        std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return named(a).id < named(b).id; });
        QSet<QString> names;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const NamedRow& row = named(rows[i]);
            if (i > 0 && named(rows[i - 1]).id == row.id)
                return fail(row.file, lineOf(row.file, "\"id\""), QStringLiteral("the %1 id %2 is used by %3 too")
                                                                      .arg(QLatin1String(kind)).arg(row.id).arg(named(rows[i - 1]).file));
            const QString key = row.name.toCaseFolded();
            if (names.contains(key))
                return fail(row.file, lineOf(row.file, "\"name\""),
                            QStringLiteral("another %1 is named '%2'").arg(QLatin1String(kind), row.name));
            names.insert(key);
        }
        return true;
    }

    bool readObjects(const QString& folder, const QString& suffix, std::vector<NamedRow>& out, const char* kind)
    {
        for (const QString& path : filesOf(folder, suffix)) {
            QJsonObject json;
            NamedRow row;
            if (!readNamed(path, json, row))
                return false;
            out.push_back(row);
        }
        return checkUnique(out, kind);
    }

    bool readCams()
    {
        QSet<unsigned int> pointIds;
        for (const QString& path : filesOf(CamsFolder, CamSuffix)) {
            QJsonObject json;
            CamRow cam;
            if (!readNamed(path, json, cam.table))
                return false;
            const QString points = CamsFolder + '/' + json.value("points").toString();
            if (!json.value("points").isString() || points.section('/', 0, -2) != CamsFolder
                || !points.endsWith(CamPointsSuffix) || !file(points))
                return fail(path, lineOf(path, "\"points\""), QStringLiteral("\"points\" names no points file beside it"));
            if (!readPoints(points, cam.points, pointIds))
                return false;
            cams.push_back(std::move(cam));
        }
        return checkUnique(cams, "cam table");
    }

    bool readPoints(const QString& path, std::vector<EcamPointData>& points, QSet<unsigned int>& pointIds)
    {
        const QByteArray& bytes = *file(path);
        if (!bytes.endsWith('\n'))
            return fail(path, lineAt(bytes, bytes.size()), QStringLiteral("does not end with a line feed"));
        const QList<QByteArray> lines = bytes.chopped(1).split('\n');
        if (lines.first() != CamPointsHead)
            return fail(path, 1, QStringLiteral("the first line is not \"%1\"").arg(QString::fromLatin1(CamPointsHead)));
        for (int i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> fields = lines[i].split(',');
            EcamPointData point;
            EcamData& p = point.data;
            bool ok = false;
            if (fields.size() == 9)
                point.id = fields[0].toUInt(&ok);
            ok = ok && QByteArray::number(point.id) == fields[0] && point.id <= MaxObjectId;
            ok = ok && toNumber(fields[1], p.mainAxis) && toNumber(fields[2], p.slaveAxis) && toNumber(fields[3], p.velocity)
                 && toNumber(fields[4], p.acceleration) && toWord(fields[5], p.camCurveType) && toWord(fields[6], p.align1)
                 && toWord(fields[7], p.align2) && toWord(fields[8], p.align3);
            if (!ok)
                return fail(path, i + 1, QStringLiteral("a key point is a point id up to %1, four numbers and four whole "
                                                        "numbers from 0 to 65535, separated by commas").arg(MaxObjectId));
            if (pointIds.contains(point.id))
                return fail(path, i + 1, QStringLiteral("point id %1 is used twice").arg(point.id));
            pointIds.insert(point.id);
            points.push_back(point);
        }
        return true;
    }

    bool readTraces()
    {
        for (const QString& path : filesOf(TracesFolder, TraceSuffix)) {
            QJsonObject json;
            TraceRow row;
            if (!readNamed(path, json, row.trace))
                return false;
            std::vector<TraceModel::TraceVarProperty>& variables = row.variables;
            bool ok = json.value("variables").isArray();
            for (const QJsonValue& value : json.value("variables").toArray()) {
                const QJsonObject variable = value.toObject();
                TraceModel::TraceVarProperty item;
                ok = ok && variable.value("varName").isString() && variable.value("activeDrawing").isBool()
                     && toInt(variable.value("colorIndex"), item.ColorIndex, INT_MIN, INT_MAX);
                item.VarName = variable.value("varName").toString().toStdString();
                item.ActiveDrawing = variable.value("activeDrawing").toBool();
                variables.push_back(item);
            }
            if (!ok)
                return fail(path, lineOf(path, "\"variables\""),
                            QStringLiteral("\"variables\" is a list of \"varName\", \"activeDrawing\" and \"colorIndex\""));
            traces.push_back(std::move(row));
        }
        return checkUnique(traces, "trace");
    }

    bool readWatchLists()
    {
        for (const QString& path : filesOf(WatchFolder, WatchSuffix)) {
            QJsonObject json;
            WatchRow row;
            if (!readNamed(path, json, row.list, true))
                return false;
            if (row.list.id > MaxWatchListId)
                return fail(path, lineOf(path, "\"id\""), QStringLiteral("a watch list id is at most %1").arg(MaxWatchListId));
            const QJsonArray variables = json.value("variables").toArray();
            const bool named = std::all_of(variables.begin(), variables.end(), [](const QJsonValue& variable) {
                return variable.toObject().value("VarName").isString();
            });
            if (!json.value("variables").isArray() || !named)
                return fail(path, lineOf(path, "\"variables\""), QStringLiteral("\"variables\" is a list of objects with a \"VarName\""));
            if (!json.value("properties").isString())
                return fail(path, lineOf(path, "\"properties\""), QStringLiteral("\"properties\" is a text"));
            row.properties = json.value("properties").toString();
            row.variables = variables;
            watchLists.push_back(row);
        }
        return checkUnique(watchLists, "watch list");
    }

    bool readHmi()
    {
        if (!file(HmiFile))
            return true;
        QJsonDocument document;
        if (!readJson(HmiFile, document))
            return false;
        const QJsonArray names = document.array();
        if (!document.isArray() || !std::all_of(names.begin(), names.end(), [](const QJsonValue& name) { return name.isString(); }))
            return fail(HmiFile, 1, QStringLiteral("is a list of variable names"));
        hmi = QStringList();
        for (const QJsonValue& name : names)
            hmi->append(name.toString());
        return true;
    }

    bool readComments()
    {
        if (!file(CommentsFile))
            return true;
        QJsonDocument document;
        if (!readJson(CommentsFile, document))
            return false;
        if (!document.isObject())
            return fail(CommentsFile, 1, QStringLiteral("is no JSON object"));
        comments.emplace();
        QSet<int> ids;
        const QJsonObject all = document.object();
        for (auto it = all.begin(); it != all.end(); ++it) {
            CommentRow row;
            const int line = lineOf(CommentsFile, quoted(it.key()) + ':');
            if (!readAddress(it.key(), row))
                return fail(CommentsFile, line, QStringLiteral("'%1' is no address of a soft component").arg(it.key()));
            if (!readComment(it.value().toObject(), row) || !it.value().isObject())
                return fail(CommentsFile, line, QStringLiteral("%1 needs \"id\", \"comment\", \"snapshot\", \"type\" (INT, "
                                                               "or REAL, DINT, LREAL for D) and \"bits\" (0 to 15, D only)")
                                                    .arg(it.key()));
            if (ids.contains(row.info.id))
                return fail(CommentsFile, line, QStringLiteral("row id %1 is used twice").arg(row.info.id));
            ids.insert(row.info.id);
            comments->push_back(row);
        }
        return true;
    }

    static bool readAddress(const QString& address, CommentRow& row)
    {
        row.letter = address.left(1);
        if (!SoftComponentModel::letters().contains(row.letter))
            return false;
        const SoftComponentModel::AddressRange range = SoftComponentModel::addressRange(row.letter);
        bool ok = false;
        row.number = address.mid(1).toInt(&ok, range.radix);
        return ok && QString::number(row.number, range.radix) == address.mid(1) && row.number >= range.first
               && row.number < range.first + range.count;
    }

    static bool readComment(const QJsonObject& json, CommentRow& row)
    {
        static const QStringList types = {"INT", "REAL", "DINT", "LREAL"};
        SoftComponentModel::SoftComponentInfo& info = row.info;
        const int type = types.indexOf(json.value("type").toString());
        const bool isData = row.letter == QLatin1String("D");
        if (!toInt(json.value("id"), info.id, 0, INT_MAX) || !json.value("comment").isString()
            || !json.value("snapshot").isString() || type < 0 || (type != 0 && !isData) || !stringMembers(json.value("bits")))
            return false;
        info.comment = json.value("comment").toString();
        info.snapshot = json.value("snapshot").toString();
        info.type = static_cast<SoftComponentModel::SoftComponentType>(type);
        const QJsonObject bits = json.value("bits").toObject();
        for (auto it = bits.begin(); it != bits.end(); ++it) {
            bool ok = false;
            const int bit = it.key().toInt(&ok);
            if (!ok || bit < 0 || bit > 15 || QString::number(bit) != it.key() || !isData)
                return false;
            info.bitComments.insert(bit, it.value().toString());
        }
        return true;
    }

    bool readTranslations()
    {
        if (!file(TranslationsFile))
            return true;
        QJsonDocument document;
        if (!readJson(TranslationsFile, document))
            return false;
        const QJsonObject json = document.object();
        int number = 0;
        if (!document.isObject() || !toInt(json.value("generation"), number, INT_MIN, INT_MAX) || !json.value("texts").isArray())
            return fail(TranslationsFile, 1, QStringLiteral("needs a \"generation\" and \"texts\""));
        generation = number;
        for (const QJsonValue& value : json.value("texts").toArray()) {
            const QJsonObject text = value.toObject();
            TextRow row;
            if (!toInt(text.value("type"), row.type, 1, INT_MAX) || !toInt(text.value("ref"), row.ref, INT_MIN, INT_MAX)
                || !text.value("key").isString() || !text.value("context").isString())
                return fail(TranslationsFile, lineOf(TranslationsFile, quoted(text.value("key").toString())),
                            QStringLiteral("a text needs a \"type\" above 0, a \"key\", a \"context\" and a \"ref\""));
            row.key = text.value("key").toString();
            row.context = text.value("context").toString();
            texts.push_back(row);
        }
        return true;
    }

    // ---- building ----

    static bool exec(QSqlDatabase db, const QString& statement, const QVariantList& values, const QString& what,
                     QString& error)
    {
        QSqlQuery query(db);
        query.prepare(statement);
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (query.exec())
            return true;
        error = QStringLiteral("writing %1 failed: %2").arg(what, query.lastError().text());
        return false;
    }

    // The rows (Id, Name, Properties) of one kind; `properties` gives the Properties column.
    template <typename Row>
    static bool writeNamed(QSqlDatabase db, const QString& table, const std::vector<Row>& rows,
                           const std::function<QString(const Row&)>& properties, QString& error)
    {
        if (rows.empty())
            return true;
        if (!exec(db, QStringLiteral("DELETE FROM %1").arg(table), {}, table, error))
            return false;
        for (const Row& row : rows)
            if (!exec(db, QStringLiteral("INSERT INTO %1 (Id, Name, Properties) VALUES (?, ?, ?)").arg(table),
                      {named(row).id, named(row).name, properties(row)},
                      QStringLiteral("'%1' (%2)").arg(named(row).name, named(row).file), error))
                return false;
        return true;
    }

    template <typename Row>
    static QString propertiesOf(const Row& row)
    {
        return compact(named(row).properties);
    }

    bool writeCams(QSqlDatabase db, QString& error) const
    {
        if (!writeNamed<CamRow>(db, "EcamTable", cams, propertiesOf<CamRow>, error))
            return false;
        if (!cams.empty() && !exec(db, QStringLiteral("DELETE FROM EcamPoints"), {}, "EcamPoints", error))
            return false;
        for (const CamRow& cam : cams)
            for (std::size_t row = 0; row < cam.points.size(); ++row) {
                const EcamPointData& point = cam.points[row];
                const EcamData& p = point.data;
                if (!exec(db, QStringLiteral("INSERT INTO EcamPoints (Id, TableId, Roworder, MainAxis, SlaveAxis, Velocity, "
                                             "Acceleration, CamCurveType, Align1, Align2, Align3) "
                                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                          {point.id, cam.table.id, int(row), p.mainAxis, p.slaveAxis, p.velocity, p.acceleration,
                           p.camCurveType, p.align1, p.align2, p.align3},
                          QStringLiteral("point %1 of cam table '%2'").arg(point.id).arg(cam.table.name), error))
                    return false;
            }
        return true;
    }

    bool writeAuxiliary(QSqlDatabase db, QString& error) const
    {
        if (!watchLists.empty() && !exec(db, QStringLiteral("DELETE FROM WatchList"), {}, "WatchList", error))
            return false;
        for (const WatchRow& row : watchLists)
            if (!exec(db, QStringLiteral("INSERT INTO WatchList (Id, Name, ListData, Properties) VALUES (?, ?, ?, ?)"),
                      {row.list.id, row.list.name, compact(row.variables), textOrNull(row.properties)},
                      QStringLiteral("watch list '%1'").arg(row.list.name), error))
                return false;
        if (hmi && !exec(db, QStringLiteral("DELETE FROM HmiCfgTable"), {}, "HmiCfgTable", error))
            return false;
        for (const QString& name : hmi.value_or(QStringList()))
            if (!exec(db, QStringLiteral("INSERT INTO HmiCfgTable (FullName, Address, Properties) VALUES (?, '', '')"), {name},
                      QStringLiteral("HMI variable '%1'").arg(name), error))
                return false;
        if (comments && !exec(db, QStringLiteral("DELETE FROM SoftwareComponentTable"), {}, "SoftwareComponentTable", error))
            return false;
        for (const CommentRow& row : comments.value_or(std::vector<CommentRow>())) {
            const auto& info = row.info;
            if (!exec(db, QStringLiteral("INSERT INTO SoftwareComponentTable (Id, Name, OrderNum, Snapshot, Comments, "
                                         "BitComments, Properties) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                      {info.id, row.letter, row.number, textOrNull(info.snapshot), textOrNull(info.comment),
                       SoftComponentModel::bitCommentsColumn(row.letter, info.bitComments),
                       SoftComponentModel::propertiesColumn(row.letter, info.type)},
                      QStringLiteral("the comment of %1%2").arg(row.letter).arg(row.number), error))
                return false;
        }
        return writeTranslations(db, error);
    }

    bool writeTranslations(QSqlDatabase db, QString& error) const
    {
        if (!generation)
            return true;
        const QString insert = QStringLiteral("INSERT INTO InternationalTable (Type, Key, Context, Ref_flag) VALUES (?, ?, ?, ?)");
        if (!exec(db, QStringLiteral("DELETE FROM InternationalTable"), {}, "InternationalTable", error)
            || !exec(db, insert, {0, QString(""), QString(""), *generation}, "the generation of the translations", error))
            return false;
        for (const TextRow& row : texts)
            if (!exec(db, insert, {row.type, row.key, row.context, row.ref}, QStringLiteral("translation '%1'").arg(row.key), error))
                return false;
        return true;
    }
};

MotionAuxReader::MotionAuxReader() : d(std::make_unique<MotionAuxReaderPrivate>()) {}

MotionAuxReader::~MotionAuxReader() = default;

bool MotionAuxReader::read(const ProjectText::Files& files)
{
    d = std::make_unique<MotionAuxReaderPrivate>();
    d->files = &files;
    const bool ok = d->checkKinds() && d->readObjects(AxesFolder, AxisSuffix, d->axes, "axis")
                    && d->readObjects(GroupsFolder, GroupSuffix, d->groups, "axis group") && d->readCams()
                    && d->readTraces() && d->readWatchLists() && d->readHmi() && d->readComments() && d->readTranslations();
    d->files = nullptr;
    return ok;
}

const MotionAuxReader::Problem& MotionAuxReader::problem() const
{
    static const Problem none;
    return d->problem ? *d->problem : none;
}

bool MotionAuxReader::declareVariables(AbstractProjectModel& project, QString& error) const
{
    auto names = [](const auto& rows) {
        std::vector<std::string> out;
        for (const auto& row : rows)
            out.push_back(named(row).name.toStdString());
        return out;
    };
    QString why;
    if (!d->axes.empty() && !AxisModel::declareVariables(&project, names(d->axes), &why))
        error = QStringLiteral("the axes cannot be declared: %1").arg(why);
    else if (!d->groups.empty() && !AxisGroupModel::declareVariables(&project, names(d->groups), &why))
        error = QStringLiteral("the axis groups cannot be declared: %1").arg(why);
    else if (!d->cams.empty() && !EcamModel::declareVariables(&project, names(d->cams), &why))
        error = QStringLiteral("the cam tables cannot be declared: %1").arg(why);
    return why.isEmpty();
}

bool MotionAuxReader::writeRows(QSqlDatabase db, QString& error) const
{
    // A trace's Properties hold its variables as the model writes them, under "TraceVars".
    auto traceProperties = [](const TraceRow& row) {
        QJsonObject all = row.trace.properties;
        all.insert("TraceVars", QString::fromStdString(TraceModel::traceVars2JsonStr(row.variables)));
        return compact(all);
    };
    using Reader = MotionAuxReaderPrivate;
    return Reader::writeNamed<NamedRow>(db, "AxisTable", d->axes, Reader::propertiesOf<NamedRow>, error)
           && Reader::writeNamed<NamedRow>(db, "AxisGroupTable", d->groups, Reader::propertiesOf<NamedRow>, error)
           && d->writeCams(db, error) && Reader::writeNamed<TraceRow>(db, "Trace", d->traces, traceProperties, error)
           && d->writeAuxiliary(db, error);
}
