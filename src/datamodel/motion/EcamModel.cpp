#include "datamodel/motion/EcamModel.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/ScopedTransaction_p.h"
#include "datamodel/model/TableSubModel_p.h"
#include "datamodel/motion/CsvFieldReader_p.h"
#include "datamodel/motion/EcamExchange_p.h"
#include "datamodel/motion/InputFile_p.h"
#include "datamodel/motion/MotionSupport_p.h"

#include "host/api/IDialogs.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>

#include <set>

template class TableSubModel<EcamModel>;

namespace {

const HiddenVariables camVariables("EcamVars", "CAM_TABLE_REF");
const QString PointDatas = QStringLiteral("POINTDATAS");
const QString ProductName = QStringLiteral("Fennick");
const QString CsvFilter = QStringLiteral("Files(*.csv)");
constexpr std::size_t idsPerStatement = 500;
const QString PointColumns = QStringLiteral(
    "SELECT Id, TableId, MainAxis, SlaveAxis, Velocity, Acceleration, CamCurveType, Align1, Align2, Align3 FROM EcamPoints");

// One row of PointColumns.
EcamPointData pointRow(const QSqlQuery& query)
{
    EcamPointData point;
    point.id = query.value(0).toUInt();
    point.data.mainAxis = query.value(2).toDouble();
    point.data.slaveAxis = query.value(3).toDouble();
    point.data.velocity = query.value(4).toDouble();
    point.data.acceleration = query.value(5).toDouble();
    point.data.camCurveType = static_cast<uint16_t>(query.value(6).toUInt());
    point.data.align1 = static_cast<uint16_t>(query.value(7).toUInt());
    point.data.align2 = static_cast<uint16_t>(query.value(8).toUInt());
    point.data.align3 = static_cast<uint16_t>(query.value(9).toUInt());
    return point;
}

QJsonObject toJson(const EcamData& data)
{
    return QJsonObject{{"mainAxis", data.mainAxis},       {"slaveAxis", data.slaveAxis},
                       {"velocity", data.velocity},       {"acceleration", data.acceleration},
                       {"camCurveType", data.camCurveType}, {"align1", data.align1},
                       {"align2", data.align2},           {"align3", data.align3}};
}

// False for a member that is missing or of the wrong kind.
bool fromJson(const QJsonObject& object, EcamData& data)
{
    for (const char* key : {"mainAxis", "slaveAxis", "velocity", "acceleration", "camCurveType", "align1", "align2",
                            "align3"})
        if (!object.value(QLatin1String(key)).isDouble())
            return false;
    auto word = [&object](const char* key, uint16_t& out) {
        const double value = object.value(QLatin1String(key)).toDouble();
        out = static_cast<uint16_t>(value);
        return value >= 0 && value <= 0xFFFF && out == value;
    };
    data.mainAxis = object.value("mainAxis").toDouble();
    data.slaveAxis = object.value("slaveAxis").toDouble();
    data.velocity = object.value("velocity").toDouble();
    data.acceleration = object.value("acceleration").toDouble();
    return word("camCurveType", data.camCurveType) && word("align1", data.align1) && word("align2", data.align2)
           && word("align3", data.align3);
}

QString startFolder()
{
    return HostServices::setting(QStringLiteral("OpenProjectDlg.path"), HostServices::path(QStringLiteral("Root")))
        .toString();
}

} // namespace

class EcamModelPrivate
{
public:
    IDDistributor pointIds{ObjectTable<EcamModel::EcamTable>::MaxId};
    // Tables removed since the last save: their points leave the file with the next save.
    std::set<unsigned int> removedTables;
    unsigned int ecamTypeId = 0;
    // loadObject: a reloaded point had to take a new id.
    bool renumberedOnLoad = false;
    QString lastError;
};

// --- EcamTable -----------------------------------------------------------------------------

EcamModel::EcamTable::EcamTable(unsigned int id, const std::string& name, SubModel* owner)
    : MotionObject(id, name, owner)
{
}

EcamModel* EcamModel::EcamTable::owner() const
{
    return dynamic_cast<EcamModel*>(subModel());
}

bool EcamModel::EcamTable::setProperty(const QString& key, const QString& value)
{
    storeProperty(key, value);
    setModified(true);
    if (EcamModel* model = owner())
        model->setProjectModify(this);
    emit dataChanged(this, QStringLiteral("EcamView"), key);
    return true;
}

bool EcamModel::EcamTable::rename(const std::string& name)
{
    setName(name);
    setModified(true);
    return true;
}

void EcamModel::EcamTable::pointsChanged()
{
    setModified(true);
    if (EcamModel* model = owner())
        model->setProjectModify(this);
    emit dataChanged(this, QStringLiteral("EcamView"), QString());
}

bool EcamModel::EcamTable::addPoint(int index, const EcamData& data)
{
    EcamModel* model = owner();
    if (!model || index < 0 || index > pointCount())
        return false;
    const unsigned int id = model->getPointUnusedId();
    if (id == IDDistributor::INVALID_ID)
        return false;
    m_points.insert(m_points.begin() + index, EcamPointData{id, data});
    pointsChanged();
    model->writeLog(HostServices::LogInfo, "添加点位");
    return true;
}

bool EcamModel::EcamTable::deletePoint(int index)
{
    EcamModel* model = owner();
    if (!model || index <= 0 || index >= pointCount())
        return false;
    model->d->pointIds.setUsed(m_points[static_cast<std::size_t>(index)].id, false);
    m_points.erase(m_points.begin() + index);
    pointsChanged();
    model->writeLog(HostServices::LogInfo, "删除点位");
    return true;
}

bool EcamModel::EcamTable::modifyPoint(const QMap<int, EcamData>& points)
{
    for (auto it = points.begin(); it != points.end(); ++it)
        if (it.key() < 0 || it.key() >= pointCount())
            return false;
    for (auto it = points.begin(); it != points.end(); ++it)
        m_points[static_cast<std::size_t>(it.key())].data = it.value();
    pointsChanged();
    return true;
}

QVector<EcamData> EcamModel::EcamTable::getAllCamPoint() const
{
    QVector<EcamData> out;
    out.reserve(pointCount());
    for (const EcamPointData& point : m_points)
        out.push_back(point.data);
    return out;
}

// --- EcamModel -----------------------------------------------------------------------------

EcamModel::EcamModel(const std::string& name, AbstractProjectModel* project)
    : TableSubModel(name, project, QStringLiteral("ECAMTABLE"), motion::columns(), "cam table"),
      d(std::make_unique<EcamModelPrivate>())
{
}

EcamModel::~EcamModel() = default;

QString EcamModel::lastError() const
{
    return d->lastError;
}

EcamModel::EcamTable* EcamModel::addEcamTable(const QString& name)
{
    d->lastError.clear();
    const unsigned int id = newObjectId(name.toStdString());
    if (id == IDDistributor::INVALID_ID)
        d->lastError = tr("no cam table id is left");
    else if (findByName(name))
        d->lastError = tr("a cam table named '%1' exists").arg(name);
    else
        camVariables.declare(projectModel(), name.toStdString(), &d->lastError);
    if (!d->lastError.isEmpty()) {
        writeLog(HostServices::LogInfo, "添加电子凸轮表 " + name.toStdString() + " refused: " + d->lastError.toStdString());
        return nullptr;
    }
    // The controller may have changed since the model was opened.
    updateDeviceEcamInfo();
    EcamTable* table = insertNew(std::make_unique<EcamTable>(id, name.toStdString(), this));
    writeLog(HostServices::LogInfo, "添加电子凸轮表");
    return table;
}

void EcamModel::releasePoints(const EcamTable& table)
{
    for (const EcamPointData& point : table.m_points)
        d->pointIds.setUsed(point.id, false);
}

bool EcamModel::removeEcamTable(EcamTable* table)
{
    if (!objects().contains(table))
        return false;
    const std::string name = table->name();
    motion::backDeviceId(projectModel(), table->property(QStringLiteral("EcamId")).toUInt());
    releasePoints(*table);
    d->removedTables.insert(table->id());
    QString why;
    if (!camVariables.remove(projectModel(), name, &why))
        writeLog(HostServices::LogInfo, "删除电子凸轮表 " + name + ": " + why.toStdString());
    eraseObject(table);
    writeLog(HostServices::LogInfo, "删除电子凸轮表");
    return true;
}

bool EcamModel::renameEcamTable(unsigned int id, const QString& name)
{
    EcamTable* table = ecamTable(id);
    if (!table)
        return false;
    if (QString::fromStdString(table->name()) == name)
        return true;
    EcamTable* other = findByName(name);
    d->lastError.clear();
    if (other && other != table)
        d->lastError = tr("a cam table named '%1' exists").arg(name);
    else
        camVariables.rename(projectModel(), table->name(), name.toStdString(), &d->lastError);
    if (!d->lastError.isEmpty())
        return false;
    table->rename(name.toStdString());
    setProjectModify(table);
    return true;
}

void EcamModel::allEcamTables(std::vector<EcamTable*>& out) const
{
    appendAll(out);
}

EcamModel::EcamTable* EcamModel::ecamTable(unsigned int id) const
{
    return objects().find(id);
}

EcamModel::EcamTable* EcamModel::ecamTable(const QString& name) const
{
    return findByName(name);
}

unsigned int EcamModel::getPointUnusedId()
{
    return d->pointIds.takenId();
}

QString EcamModel::getDeviceName() const
{
    return motion::deviceName(projectModel());
}

int EcamModel::getEcamTableMax() const
{
    return DevDescription::instance()->devProperty(getDeviceName() + QStringLiteral(".Ecam.TableMax")).toInt();
}

int EcamModel::getEcamPointMax() const
{
    const QVariant points = DevDescription::instance()->devProperty(getDeviceName() + QStringLiteral(".Ecam.PointMax"));
    return points.isValid() ? points.toInt() : getEcamTableMax();
}

void EcamModel::updateDeviceEcamInfo()
{
    d->ecamTypeId =
        DevDescription::instance()->devProperty(getDeviceName() + QStringLiteral(".Motion.ECAM.TypeID")).toUInt();
}

unsigned int EcamModel::ecamTypeId() const
{
    return d->ecamTypeId;
}

void EcamModel::markModified() const
{
    if (motion::isUserProject(projectModel()))
        markProjectModified(true);
}

void EcamModel::setProjectModify(const EcamTable* table) const
{
    if (table && !table->status())
        markModified();
}

void EcamModel::message(const QString& text) const
{
    if (auto* dialogs = HostServices::get<host::IDialogs>())
        dialogs->message(ProductName, text, false);
}

bool EcamModel::exportEcamCSV(QVector<EcamData>& points)
{
    auto* dialogs = HostServices::get<host::IDialogs>();
    const QString file = dialogs ? dialogs->saveFileName(tr("Save File"), startFolder(), CsvFilter) : QString();
    if (file.isEmpty())
        return false;
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        writeLog(HostServices::LogInfo, "export to " + file.toStdString() + " failed: " + out.errorString().toStdString());
        message(tr("Fail to open the file!"));
        return false;
    }
    const QByteArray text = EcamExchange::toCsv(points);
    const bool written = out.write(text) == text.size() && out.flush();
    out.close();
    if (!written || out.error() != QFileDevice::NoError) {
        writeLog(HostServices::LogInfo, "export to " + file.toStdString() + " failed: " + out.errorString().toStdString());
        message(tr("Fail to write the file!"));
        return false;
    }
    writeLog(HostServices::LogInfo, "导出数据");
    message(tr("Export was successful!"));
    return true;
}

bool EcamModel::importEcamCSV(QVector<EcamData>& points)
{
    auto* dialogs = HostServices::get<host::IDialogs>();
    const QString file = dialogs ? dialogs->openFileName(tr("Open File"), startFolder(), CsvFilter) : QString();
    if (file.isEmpty())
        return false;
    CsvFieldReader reader(file);
    if (!reader.isOpen()) {
        writeLog(HostServices::LogInfo, "import of " + file.toStdString() + " failed: " + reader.errorText().toStdString());
        message(tr("Fail to open the file!"));
        return false;
    }
    switch (EcamExchange::fromCsv(reader, points)) {
    case EcamExchange::ImportResult::Format:
        message(tr("The file content is not in the right format!"));
        return false;
    case EcamExchange::ImportResult::TooMany:
        message(tr("Imported keypoints exceed the point limit (%1) !").arg(EcamExchange::ImportLimit, 0, 10, QLatin1Char(' ')));
        return false;
    case EcamExchange::ImportResult::Ok:
        break;
    }
    writeLog(HostServices::LogInfo, "导入数据");
    message(tr("Import was successful!"));
    return true;
}

bool EcamModel::parsingCfgFile(QString& path, QVector<QPair<QString, QVector<EcamData>>>& tables)
{
    QByteArray bytes;
    QString error;
    if (!motion::readInputFile(path, EcamExchange::MaxCfgFileSize, &bytes, &error)) {
        writeLog(HostServices::LogInfo, "reading " + path.toStdString() + " failed: " + error.toStdString());
        message(tr("File opening failed!"));
        return false;
    }
    if (!EcamExchange::parseCfg(bytes, tables, &error)) {
        writeLog(HostServices::LogInfo, "reading " + path.toStdString() + " failed: " + error.toStdString());
        message(tr("The file content is not in the right format!"));
        return false;
    }
    return true;
}

QString EcamModel::pointsToJson(const std::vector<EcamPointData>& points)
{
    QJsonArray array;
    for (const EcamPointData& point : points)
        array.append(QJsonObject{{"ID", static_cast<qint64>(point.id)}, {"EcamData", toJson(point.data)}});
    return QString::fromUtf8(QJsonDocument(QJsonObject{{"points", array}}).toJson(QJsonDocument::Compact));
}

bool EcamModel::pointsFromJson(const QString& json, std::vector<EcamPointData>& points)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8());
    if (!doc.isObject() || !doc.object().value("points").isArray())
        return false;
    std::vector<EcamPointData> read;
    for (const QJsonValue& value : doc.object().value("points").toArray()) {
        const QJsonObject object = value.toObject();
        const double id = object.value("ID").toDouble(-1);
        EcamPointData point;
        if (id < 0 || id > 0xFFFFFFFFu || !fromJson(object.value("EcamData").toObject(), point.data))
            return false;
        point.id = static_cast<uint32_t>(id);
        read.push_back(point);
    }
    points = std::move(read);
    return true;
}

bool EcamModel::claimPointIds(std::vector<EcamPointData>& points)
{
    std::vector<unsigned int> claimed;
    for (EcamPointData& point : points) {
        unsigned int id = point.id;
        if (id > d->pointIds.maxId() || d->pointIds.isUsed(id))
            id = d->pointIds.fistUnusd();
        if (id == IDDistributor::INVALID_ID) {
            for (unsigned int taken : claimed)
                d->pointIds.setUsed(taken, false);
            return false;
        }
        d->pointIds.setUsed(id, true);
        claimed.push_back(id);
        point.id = id;
    }
    return true;
}

bool EcamModel::open()
{
    d->pointIds.reset(ObjectTable<EcamTable>::MaxId);
    d->removedTables.clear();
    d->lastError.clear();
    if (!TableSubModel::open() || !readPoints())
        return false;
    loadVariables();
    updateDeviceEcamInfo();
    return true;
}

bool EcamModel::readPoints()
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(PointColumns + QStringLiteral(" ORDER BY TableId, Roworder, Id"))) {
        writeLog(HostServices::LogInfo, "reading the cam points failed: " + query.lastError().text().toStdString());
        return false;
    }
    while (query.next()) {
        const EcamPointData point = pointRow(query);
        // Points of a table that is gone keep their ids: a new point must not collide with
        // their rows.
        d->pointIds.setUsed(point.id, true);
        if (EcamTable* table = objects().find(query.value(1).toUInt()))
            table->m_points.push_back(point);
    }
    writeLog(HostServices::LogInfo, "加载数据");
    return true;
}

bool EcamModel::save()
{
    QSqlDatabase db = database();
    ScopedTransaction transaction(db);
    if (!transaction.isActive()) {
        writeLog(HostServices::LogError, "save of the cam tables failed: " + transaction.errorText().toStdString());
        return false;
    }
    // Points of removed tables go first: their ids may have been handed to new points.
    const std::vector<unsigned int> removed(d->removedTables.begin(), d->removedTables.end());
    for (std::size_t first = 0; first < removed.size(); first += idsPerStatement) {
        QStringList ids;
        for (std::size_t i = first; i < removed.size() && i < first + idsPerStatement; ++i)
            ids << QString::number(removed[i]);
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("DELETE FROM EcamPoints WHERE TableId IN (%1)").arg(ids.join(QLatin1Char(','))))) {
            writeLog(HostServices::LogError, "deleting the points of removed cam tables failed: "
                                                + query.lastError().text().toStdString());
            return false;
        }
    }
    // A table that failed to write fails the whole save: this level rolls back with the
    // project's transaction, and the removed tables' points stay listed for the next save.
    if (!TableSubModel::save())
        return false;
    afterSave([this, removed] {
        for (unsigned int id : removed)
            d->removedTables.erase(id);
    });
    if (!transaction.commit()) {
        writeLog(HostServices::LogError, "save of the cam tables failed: " + transaction.errorText().toStdString());
        return false;
    }
    writeLog(HostServices::LogInfo, "保存数据");
    return true;
}

bool EcamModel::writeRow(EcamTable* table)
{
    AbstractProjectModel* project = projectModel();
    ScopedTransaction transaction(database());
    if (!transaction.isActive() || !TableSubModel::writeRow(table))
        return false;
    QString error;
    QSqlQuery& clear = project->preparedQuery(QStringLiteral("DELETE FROM EcamPoints WHERE TableId = ?"));
    clear.bindValue(0, table->id());
    bool ok = clear.exec();
    if (!ok)
        error = clear.lastError().text();
    // A point id freed by a deletion in another table may be handed out before that table's
    // rows are rewritten: the new point replaces the stale row instead of failing the save.
    QSqlQuery& insert = project->preparedQuery(QStringLiteral(
        "INSERT OR REPLACE INTO EcamPoints (Id, TableId, Roworder, MainAxis, SlaveAxis, Velocity, Acceleration, CamCurveType, "
        "Align1, Align2, Align3) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (std::size_t row = 0; ok && row < table->m_points.size(); ++row) {
        const EcamPointData& point = table->m_points[row];
        const QVariant values[] = {point.id, table->id(), static_cast<int>(row), point.data.mainAxis,
                                   point.data.slaveAxis, point.data.velocity, point.data.acceleration,
                                   point.data.camCurveType, point.data.align1, point.data.align2, point.data.align3};
        for (int i = 0; i < 11; ++i)
            insert.bindValue(i, values[i]);
        ok = insert.exec();
        if (!ok)
            error = insert.lastError().text();
    }
    if (ok && !transaction.commit()) {
        ok = false;
        error = transaction.errorText();
    }
    if (!ok)
        writeLog(HostServices::LogError, "save cam table '" + table->name() + "' failed: " + error.toStdString());
    return ok;
}

QString EcamModel::selectStatement() const
{
    return motion::selectAll(QStringLiteral("EcamTable"));
}

bool EcamModel::readRows(QSqlQuery& query)
{
    while (query.next()) {
        const motion::Row row = motion::read(query);
        auto table = std::make_unique<EcamTable>(row.id, row.name, this);
        table->storeProperties(row.properties);
        insertLoaded(std::move(table));
    }
    return true;
}

QVector<QVariant> EcamModel::rowValues(const EcamTable& table) const
{
    return motion::values(table);
}

QJsonObject EcamModel::toData(const EcamTable& table) const
{
    QJsonObject data = motion::data(table);
    data.insert(PointDatas, pointsToJson(table.m_points));
    return data;
}

std::unique_ptr<EcamModel::EcamTable> EcamModel::fromData(unsigned int id, const QJsonObject& data)
{
    const std::string name = ObjectData::utf8(data, ObjectData::Name);
    std::vector<EcamPointData> points;
    const QString pointText = ObjectData::text(data, PointDatas);
    QString why;
    if ((!pointText.isEmpty() && !pointsFromJson(pointText, points)) || findByName(QString::fromStdString(name))
        || !claimPointIds(points)) {
        writeLog(HostServices::LogInfo, "添加电子凸轮表 " + name + " refused: its data cannot be read");
        return nullptr;
    }
    if (!camVariables.declare(projectModel(), name, &why)) {
        for (const EcamPointData& point : points)
            d->pointIds.setUsed(point.id, false);
        writeLog(HostServices::LogInfo, "添加电子凸轮表 " + name + " refused: " + why.toStdString());
        return nullptr;
    }
    auto table = std::make_unique<EcamTable>(id, name, this);
    table->storeProperties(ObjectData::text(data, ObjectData::Properties));
    table->m_points = std::move(points);
    if (table->property(QStringLiteral("EcamId")).toUInt() != 0)
        table->storeProperty(QStringLiteral("EcamId"), QString::number(motion::takeDeviceId(projectModel())));
    return table;
}

QString EcamModel::reloadStatement() const
{
    return motion::selectOne(QStringLiteral("EcamTable"));
}

void EcamModel::reloadRow(EcamTable& table, const QSqlQuery& query)
{
    const motion::Row row = motion::read(query);
    table.setName(row.name);
    table.storeProperties(row.properties);
    // The stored points replace those in memory.
    QSqlQuery points(database());
    points.setForwardOnly(true);
    points.prepare(PointColumns + QStringLiteral(" WHERE TableId = ? ORDER BY Roworder, Id"));
    points.addBindValue(table.id());
    if (!points.exec()) {
        writeLog(HostServices::LogInfo, "reload cam table '" + table.name() + "' failed: "
                                            + points.lastError().text().toStdString());
        return;
    }
    std::vector<EcamPointData> stored;
    while (points.next())
        stored.push_back(pointRow(points));
    releasePoints(table);
    // A stored id that another table's new point took meanwhile is renumbered here; the table
    // then differs from its rows and is written again with the next save.
    const std::vector<EcamPointData> asStored = stored;
    if (!claimPointIds(stored)) {
        writeLog(HostServices::LogInfo, "reload cam table '" + table.name() + "' failed: no point id is left");
        claimPointIds(table.m_points);
        return;
    }
    for (std::size_t i = 0; i < stored.size(); ++i)
        d->renumberedOnLoad = d->renumberedOnLoad || stored[i].id != asStored[i].id;
    table.m_points = std::move(stored);
}

bool EcamModel::loadObject(ModelObject* obj)
{
    d->renumberedOnLoad = false;
    if (!TableSubModel::loadObject(obj))
        return false;
    if (d->renumberedOnLoad)
        obj->setModified(true);
    return true;
}

QString EcamModel::indexOf(const EcamTable& table) const
{
    return table.property(QStringLiteral("Row"));
}

bool EcamModel::moveTo(EcamTable& table, const QString& index)
{
    return !index.isEmpty() && table.setProperty(QStringLiteral("Row"), index);
}

bool EcamModel::renameObject(const QString& path, const QString& name)
{
    EcamTable* table = objects().find(path);
    return table && renameEcamTable(table->id(), name);
}

bool EcamModel::changeProperty(const QString& path, const QString& key, const QString&, const QString& to)
{
    EcamTable* table = objects().find(path);
    if (!table || key.isEmpty())
        return false;
    if (key != QLatin1String("points"))
        return table->setProperty(key, to);
    std::vector<EcamPointData> points;
    if (!pointsFromJson(to, points))
        return false;
    releasePoints(*table);
    if (!claimPointIds(points)) {
        claimPointIds(table->m_points); // the table's own ids are free again
        return false;
    }
    table->m_points = std::move(points);
    table->pointsChanged();
    return true;
}

bool EcamModel::loadVariables()
{
    return camVariables.load(projectModel());
}

bool EcamModel::declareVariables(AbstractProjectModel* project, const std::vector<std::string>& names, QString* error)
{
    return camVariables.declareExactly(project, names, error);
}
