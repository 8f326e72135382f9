#include "datamodel/auxiliary/WatchListModel.h"

#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/model/DatabaseScript_p.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/TableSubModel_p.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

using Column = ObjectData;

namespace {

const QString LISTDATA = QStringLiteral("LISTDATA");
// Where an older table without Id waits while its rows are carried into the new one.
const QString carriedTable = QStringLiteral("WatchList_carried");

// The upper-case names of the table's columns.
QStringList columnsOf(const QSqlDatabase& db, const QString& table)
{
    QStringList columns;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (query.exec(QStringLiteral("PRAGMA TABLE_INFO(%1)").arg(table)))
        while (query.next())
            columns << query.value(1).toString().toUpper();
    return columns;
}

} // namespace

class WatchListModelPrivate
{
public:
    QString lastError;
    // False while the file holds the older table without Id (read-only: the lists were read
    // with their row ids).
    bool hasIdColumn = true;
};

WatchListModel::WatchListModel(const std::string& name, AbstractProjectModel* project)
    : TableSubModel(name, project, QStringLiteral("WATCHLIST"), {Column::Name, LISTDATA, Column::Properties},
                    "watch list"),
      d(std::make_unique<WatchListModelPrivate>())
{
}

WatchListModel::~WatchListModel() = default;

std::unique_ptr<WatchListObject> WatchListModel::adopt(std::unique_ptr<WatchListObject> list)
{
    connect(list.get(), &ModelObject::dataChanged, this, &WatchListModel::dataChanged);
    return list;
}

bool WatchListModel::refuse(const QString& error)
{
    d->lastError = error;
    writeLog(HostServices::LogInfo, error.toStdString());
    return false;
}

bool WatchListModel::appendWatchList(const QString& name)
{
    // Checked before an id is taken, so that a refusal leaves nothing behind.
    if (findByName(name))
        return refuse(tr("WatchList ") + name + tr(" Already Exist!"));
    const unsigned int id = objects().nextId();
    if (id == IDDistributor::INVALID_ID || id > MaxLists)
        return refuse(tr("WatchList %1 not added: a project holds at most %2 watch lists").arg(name).arg(MaxLists));
    insertNew(adopt(std::make_unique<WatchListObject>(id, name, QByteArray(), this)));
    return true;
}

bool WatchListModel::removeWatchList(const QString& name)
{
    WatchListObject* list = getObject(name);
    return list && eraseObject(list);
}

bool WatchListModel::renameWatchList(const QString& from, const QString& to)
{
    WatchListObject* list = getObject(from);
    if (!list)
        return refuse(tr("WatchList %1 does not exist").arg(from));
    WatchListObject* other = findByName(to);
    if (other && other != list)
        return refuse(tr("WatchList ") + to + tr(" Already Exist!"));
    list->rename(to.toStdString());
    return true;
}

WatchListObject* WatchListModel::getObject(const QString& name) const
{
    return findByName(name);
}

WatchListObject* WatchListModel::getObject(unsigned int id) const
{
    return objects().find(id);
}

QStringList WatchListModel::getWatchListNames() const
{
    QStringList names;
    objects().forEach([&names](WatchListObject* list) { names << list->getName(); });
    return names;
}

QString WatchListModel::getLastError() const
{
    return d->lastError;
}

bool WatchListModel::create(const std::map<std::string, std::string>&)
{
    return true;
}

bool WatchListModel::ensureIdColumn()
{
    const QSqlDatabase db = database();
    const QStringList columns = columnsOf(db, QStringLiteral("WATCHLIST"));
    d->hasIdColumn = columns.isEmpty() || columns.contains(Column::Id); // no table: nothing to rebuild
    if (d->hasIdColumn || DatabaseConnection::isReadOnly(db))
        return d->hasIdColumn;

    // The rows keep their row ids as list ids, so that what was read stays what is written.
    QStringList values{QStringLiteral("rowid")};
    for (const QString& column : {Column::Name, LISTDATA, Column::Properties})
        values << (columns.contains(column) ? column : QStringLiteral("NULL"));
    const DatabaseScript script(QString::fromLatin1(DatabaseScript::ProjectScript));
    const QStringList statements{
        QStringLiteral("ALTER TABLE WATCHLIST RENAME TO %1").arg(carriedTable),
        script.createStatement(QStringLiteral("WatchList")),
        QStringLiteral("INSERT INTO WATCHLIST (ID, NAME, LISTDATA, PROPERTIES) SELECT %1 FROM %2")
            .arg(values.join(QStringLiteral(", ")), carriedTable),
        QStringLiteral("DROP TABLE %1").arg(carriedTable),
    };
    ScopedTransaction transaction(db);
    QString error = transaction.errorText();
    bool ok = transaction.isActive();
    for (const QString& statement : statements) {
        QSqlQuery query(db);
        if (!ok)
            break;
        ok = query.exec(statement);
        if (!ok)
            error = query.lastError().text();
    }
    if (ok && !transaction.commit()) {
        ok = false;
        error = transaction.errorText();
    }
    if (!ok) {
        writeLog(HostServices::LogError, "rebuilding table WatchList with an Id column failed, its rows stay as they were: "
                                             + error.toStdString());
        return false;
    }
    writeLog(HostServices::LogInfo, "table WatchList rebuilt with an Id column, its rows carried over");
    d->hasIdColumn = true;
    return true;
}

bool WatchListModel::open()
{
    d->lastError.clear();
    ensureIdColumn();
    return TableSubModel::open();
}

bool WatchListModel::save()
{
    if (!d->hasIdColumn && !ensureIdColumn()) {
        writeLog(HostServices::LogError, "save of the watch lists failed: the table has no Id column");
        return false;
    }
    return TableSubModel::save();
}

bool WatchListModel::renameObject(const QString& path, const QString& name)
{
    WatchListObject* list = objects().find(path);
    return list && renameWatchList(list->getName(), name);
}

QString WatchListModel::selectStatement() const
{
    if (!d->hasIdColumn)
        return QStringLiteral("SELECT rowid AS ID, * FROM WATCHLIST");
    return QStringLiteral("SELECT ID, NAME, %1, PROPERTIES FROM WATCHLIST").arg(Column::textColumn(LISTDATA));
}

bool WatchListModel::readRows(QSqlQuery& query)
{
    const QSqlRecord columns = query.record();
    const int id = columns.indexOf(Column::Id), name = columns.indexOf(Column::Name),
              data = columns.indexOf(LISTDATA), properties = columns.indexOf(Column::Properties);
    while (query.next()) {
        auto list = std::make_unique<WatchListObject>(query.value(id).toUInt(), query.value(name).toString(),
                                                      data < 0 ? QByteArray() : query.value(data).toByteArray(), this);
        // An older table may lack a column: it reads as empty.
        list->setPropertys(properties < 0 ? QString() : query.value(properties).toString());
        list->setModified(false);
        insertLoaded(adopt(std::move(list)));
    }
    return true;
}

QVector<QVariant> WatchListModel::rowValues(const WatchListObject& list) const
{
    return {list.getName(), QString::fromUtf8(list.getListData()), list.getPropertys()};
}

QJsonObject WatchListModel::toData(const WatchListObject& list) const
{
    return {{Column::Id, QString::number(list.getID())},
            {Column::Name, list.getName()},
            {LISTDATA, QString::fromUtf8(list.getListData())},
            {Column::Properties, list.getPropertys()}};
}

std::unique_ptr<WatchListObject> WatchListModel::fromData(unsigned int id, const QJsonObject& data)
{
    const QString name = Column::text(data, Column::Name);
    if (id > MaxLists || findByName(name))
        return nullptr;
    auto list = std::make_unique<WatchListObject>(id, name, Column::text(data, LISTDATA).toUtf8(), this);
    list->setPropertys(Column::text(data, Column::Properties));
    return adopt(std::move(list));
}

QString WatchListModel::reloadStatement() const
{
    return QStringLiteral("SELECT NAME, %1, PROPERTIES FROM WATCHLIST WHERE ID = ?").arg(Column::textColumn(LISTDATA));
}

void WatchListModel::reloadRow(WatchListObject& list, const QSqlQuery& query)
{
    list.rename(query.value(0).toString().toStdString());
    list.setListData(query.value(1).toByteArray());
    list.setPropertys(query.value(2).toString());
}

template class TableSubModel<WatchListModel>;
