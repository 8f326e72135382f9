#include "sqlitex/internal/QSqlitexResult.h"

#include "sqlitex/QSqlitexDriver.h"
#include "sqlitex/internal/DeclaredType.h"
#include "sqlitex/internal/QSqlitexDriverPrivate.h"
#include "sqlitex/internal/SqlitexError.h"
#include "sqlitex/internal/StatementInfo.h"

#include <QDateTime>
#include <QSqlField>
#include <QSqlRecord>
#include <QVector>

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

Q_DECLARE_OPAQUE_POINTER(sqlite3_stmt*)
Q_DECLARE_METATYPE(sqlite3_stmt*)

namespace {

// UTF-16 to UTF-8 into a buffer that keeps its capacity, so that binding a text in a loop
// allocates nothing. An unpaired surrogate becomes '?', as in QString::toUtf8().
void encodeUtf8(const QString& text, std::string& out)
{
    const auto* in = reinterpret_cast<const char16_t*>(text.utf16());
    const int size = text.size();
    out.resize(size_t(size) * 3);
    char* o = &out[0];
    for (int i = 0; i < size; ++i) {
        char32_t c = in[i];
        if (c < 0x80) {
            *o++ = char(c);
            continue;
        }
        if (c < 0x800) {
            *o++ = char(0xc0 | (c >> 6));
            *o++ = char(0x80 | (c & 0x3f));
            continue;
        }
        if (c >= 0xd800 && c <= 0xdfff) {
            const bool paired = c < 0xdc00 && i + 1 < size && in[i + 1] >= 0xdc00 && in[i + 1] <= 0xdfff;
            if (!paired) {
                *o++ = '?';
                continue;
            }
            c = 0x10000 + ((c - 0xd800) << 10) + (in[++i] - 0xdc00);
            *o++ = char(0xf0 | (c >> 18));
            *o++ = char(0x80 | ((c >> 12) & 0x3f));
        } else {
            *o++ = char(0xe0 | (c >> 12));
        }
        *o++ = char(0x80 | ((c >> 6) & 0x3f));
        *o++ = char(0x80 | (c & 0x3f));
    }
    out.resize(size_t(o - out.data()));
}

} // namespace

class QSqlitexResultPrivate
{
public:
    QSqlitexResultPrivate(QSqlitexResult* q, QSqlitexDriverPrivate* connection) : q(q), connection(connection) {}

    void finalize();
    void clearRows();
    void resetStatement()
    {
        if (statement)
            sqlite3_reset(statement);
        needsReset = false;
    }
    bool run(bool bindValues);
    bool mapParameters(int valueCount);
    bool bindAll();
    int bindOne(int parameter, size_t slot, const QVariant& value);
    int bindText(int parameter, size_t slot, const QString& text);
    bool stepRow();
    bool mayRunWhileTransactionLost();
    bool cacheUpTo(int row);
    void appendCurrentRow(std::vector<QVariant>& into) const;
    QVariant columnValue(int column) const;
    int cachedRowCount() const { return columnCount ? int(rows.size() / size_t(columnCount)) : 0; }
    void fail(const QSqlError& error) { q->setLastError(error); }
    QSqlError statementError(int rc, const QString& what) const
    {
        return sqlitex::errorFor(connection ? connection->db : nullptr, rc, what, QSqlError::StatementError);
    }

    QSqlitexResult* q;
    QSqlitexDriverPrivate* connection; // null once the driver is gone
    sqlite3_stmt* statement = nullptr;
    StatementInfo info;
    QByteArray rekeySql; // a rekey is prepared only when it runs: preparing it re-encrypts
    int columnCount = 0;
    mutable QSqlRecord recordCache;
    mutable bool recordValid = false;

    // Bound value i (in QSqlResult's order) goes to SQLite parameter parameterOf[i]; made
    // once per prepared statement and value count, so that exec() after exec() only binds.
    std::vector<int> parameterOf;
    int mappedValueCount = -1;
    // Texts (as UTF-8, one buffer per bound value, reused from run to run) and blobs are
    // bound without a copy (SQLITE_STATIC) and stay here until the next run: a forward-only
    // statement still reads them while it steps.
    std::vector<std::string> textBuffers;
    std::vector<QByteArray> boundBlobs;

    // The rows of the last run.
    bool forwardOnly = true;  // the mode of the last run, fixed when it started
    bool pendingRow = false;  // forward-only: the statement stands on the first row, at() does not yet
    bool finished = true;     // the statement returned SQLITE_DONE or failed; nothing more to step
    std::vector<QVariant> rows; // scrollable: every row stepped over, columnCount values each
    std::vector<QVariant> lastRow; // forward-only after fetchLast(): the statement is past it
    bool onLastRow = false;
    int rowsAffected = -1;
    qint64 insertId = 0;
    bool hasInsertId = false;
    bool needsReset = false; // the statement was stepped since its last reset
};

void QSqlitexResultPrivate::finalize()
{
    clearRows();
    if (statement)
        sqlite3_finalize(statement);
    statement = nullptr;
    needsReset = false;
    columnCount = 0;
    recordValid = false;
    recordCache.clear();
    mappedValueCount = -1;
    boundBlobs.clear();
    info = StatementInfo();
    rekeySql.fill('\0');
    rekeySql.clear();
}

void QSqlitexResultPrivate::clearRows()
{
    rows.clear();
    lastRow.clear();
    onLastRow = false;
    pendingRow = false;
    finished = true;
}

bool QSqlitexResultPrivate::run(bool bindValues)
{
    clearRows();
    rowsAffected = -1;
    hasInsertId = false;
    q->setAt(QSql::BeforeFirstRow);
    q->setActive(false);
    if (info.isRekey()) {
        QSqlError error;
        if (!connection || !connection->rekey(rekeySql, info.newKey(), &error)) {
            fail(error.isValid() ? error
                                 : sqlitex::makeError(QStringLiteral("Unable to execute statement"),
                                                      QStringLiteral("the connection is closed"),
                                                      QSqlError::StatementError, SQLITE_MISUSE));
            return false;
        }
        rowsAffected = 0;
        q->setSelect(false);
        q->setActive(true);
        return true;
    }
    if (!statement || !connection || !connection->db) {
        fail(sqlitex::makeError(QStringLiteral("Unable to execute statement"),
                                QStringLiteral("no statement is prepared, or the connection is closed"),
                                QSqlError::StatementError, SQLITE_MISUSE));
        return false;
    }
    if (needsReset)
        resetStatement();
    if (bindValues && !bindAll())
        return false;

    sqlite3* db = connection->db;
    if (!connection->lostTransaction.isEmpty() && !mayRunWhileTransactionLost())
        return false;
    const bool wasInTransaction = !sqlite3_get_autocommit(db);
    const int changesBefore = sqlite3_total_changes(db);
    const sqlite3_int64 rowidBefore = sqlite3_last_insert_rowid(db);
    const int rc = sqlite3_step(statement);
    needsReset = true;
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        fail(statementError(rc, QStringLiteral("Unable to execute statement")));
        resetStatement();
        connection->noteFailure(wasInTransaction);
        return false;
    }
    // SQLite re-prepares a statement after a schema change; its columns may differ then.
    const int columns = sqlite3_column_count(statement);
    if (columns != columnCount) {
        columnCount = columns;
        recordValid = false;
    }
    forwardOnly = q->isForwardOnly();
    finished = rc == SQLITE_DONE;
    if (rc == SQLITE_ROW) {
        if (forwardOnly)
            pendingRow = true;
        else
            appendCurrentRow(rows);
    } else {
        resetStatement(); // ends the statement's implicit transaction
    }
    if (columnCount == 0) {
        // total_changes also counts rows changed by triggers; sqlite3_changes() only the
        // statement's own, but it keeps the count of an earlier statement after DDL.
        const bool changed = sqlite3_total_changes(db) != changesBefore;
        rowsAffected = changed ? sqlite3_changes(db) : 0;
        const sqlite3_int64 rowid = sqlite3_last_insert_rowid(db);
        hasInsertId = changed && (info.isInsert() || rowid != rowidBefore);
        insertId = rowid;
    }
    q->setSelect(columnCount > 0);
    q->setActive(true);
    return true;
}

// QSqlResult gives the values in the order of the placeholders in the text: a named one
// under its name (":NAME"; a name used twice has two values), a positional "?" under the
// name Qt gave it when it rewrote the text (":f", ":fb", ...). SQLite numbers each distinct
// name once, so the values are matched to parameters by name.
bool QSqlitexResultPrivate::mapParameters(int valueCount)
{
    const int parameterCount = sqlite3_bind_parameter_count(statement);
    parameterOf.assign(size_t(valueCount), 0);
    std::vector<bool> covered(size_t(parameterCount) + 1, false);
    for (int i = 0; i < valueCount; ++i) {
        const QByteArray name = q->boundValueName(i).toUtf8();
        int parameter = sqlite3_bind_parameter_index(statement, name.constData());
        if (parameter == 0 && i < parameterCount && !sqlite3_bind_parameter_name(statement, i + 1))
            parameter = i + 1; // a nameless "?" in a text that Qt did not rewrite
        if (parameter == 0) {
            fail(sqlitex::makeError(QStringLiteral("Unable to bind value %1").arg(i),
                                    QStringLiteral("the statement has no placeholder %1").arg(QString::fromUtf8(name)),
                                    QSqlError::StatementError, SQLITE_RANGE));
            return false;
        }
        parameterOf[size_t(i)] = parameter;
        covered[size_t(parameter)] = true;
    }
    for (int parameter = 1; parameter <= parameterCount; ++parameter) {
        if (covered[size_t(parameter)])
            continue;
        const char* name = sqlite3_bind_parameter_name(statement, parameter);
        fail(sqlitex::makeError(QStringLiteral("Parameter count mismatch"),
                                QStringLiteral("no value is bound to placeholder %1")
                                    .arg(name ? QString::fromUtf8(name) : QString::number(parameter)),
                                QSqlError::StatementError, SQLITE_RANGE));
        return false;
    }
    mappedValueCount = valueCount;
    return true;
}

bool QSqlitexResultPrivate::bindAll()
{
    const QVector<QVariant>& values = q->boundValues();
    if (values.size() != mappedValueCount && !mapParameters(values.size()))
        return false;
    if (textBuffers.size() < size_t(values.size()))
        textBuffers.resize(size_t(values.size()));
    boundBlobs.clear();
    for (int i = 0; i < values.size(); ++i) {
        const int rc = bindOne(parameterOf[size_t(i)], size_t(i), values.at(i));
        if (rc != SQLITE_OK) {
            fail(statementError(rc, QStringLiteral("Unable to bind value %1").arg(i)));
            return false;
        }
    }
    return true;
}

int QSqlitexResultPrivate::bindText(int parameter, size_t slot, const QString& text)
{
    std::string& utf8 = textBuffers[slot];
    encodeUtf8(text, utf8);
    return sqlite3_bind_text(statement, parameter, utf8.data(), int(utf8.size()), SQLITE_STATIC);
}

int QSqlitexResultPrivate::bindOne(int parameter, size_t slot, const QVariant& value)
{
    if (value.isNull())
        return sqlite3_bind_null(statement, parameter);
    const void* data = value.constData();
    switch (value.userType()) {
    case QMetaType::Bool:
        return sqlite3_bind_int(statement, parameter, *static_cast<const bool*>(data) ? 1 : 0);
    case QMetaType::Int:
        return sqlite3_bind_int64(statement, parameter, *static_cast<const int*>(data));
    case QMetaType::LongLong:
        return sqlite3_bind_int64(statement, parameter, *static_cast<const qlonglong*>(data));
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::SChar:
    case QMetaType::Char:
        return sqlite3_bind_int64(statement, parameter, value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::UChar:
        return sqlite3_bind_int64(statement, parameter, sqlite3_int64(value.toULongLong()));
    case QMetaType::ULongLong: {
        // SQLite integers are signed 64-bit; larger values are kept exactly as text.
        const quint64 number = *static_cast<const qulonglong*>(data);
        if (number <= quint64(std::numeric_limits<qint64>::max()))
            return sqlite3_bind_int64(statement, parameter, sqlite3_int64(number));
        return bindText(parameter, slot, QString::number(number));
    }
    case QMetaType::Double:
        return sqlite3_bind_double(statement, parameter, *static_cast<const double*>(data));
    case QMetaType::Float:
        return sqlite3_bind_double(statement, parameter, value.toDouble());
    case QMetaType::QByteArray: {
        boundBlobs.push_back(*static_cast<const QByteArray*>(data));
        const QByteArray& kept = boundBlobs.back();
        if (kept.isEmpty()) // a null pointer would bind NULL, not an empty blob
            return sqlite3_bind_zeroblob(statement, parameter, 0);
        return sqlite3_bind_blob(statement, parameter, kept.constData(), kept.size(), SQLITE_STATIC);
    }
    case QMetaType::QString:
        return bindText(parameter, slot, *static_cast<const QString*>(data));
    case QMetaType::QDateTime:
        return bindText(parameter, slot, value.toDateTime().toString(Qt::ISODateWithMs));
    case QMetaType::QTime:
        return bindText(parameter, slot, value.toTime().toString(QStringLiteral("hh:mm:ss.zzz")));
    default:
        if (!value.canConvert<QString>())
            return SQLITE_MISMATCH; // a list or a map has no column value
        return bindText(parameter, slot, value.toString());
    }
}

// Steps to the next row. At the end, or on an error (recorded as the result's error), the
// statement is reset so that it holds no lock, and false is returned.
bool QSqlitexResultPrivate::stepRow()
{
    if (finished || !statement)
        return false;
    const bool wasInTransaction = connection && connection->db && !sqlite3_get_autocommit(connection->db);
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        fail(statementError(rc, QStringLiteral("Unable to fetch row")));
    finished = true;
    resetStatement();
    if (rc != SQLITE_DONE && connection)
        connection->noteFailure(wasInTransaction);
    return false;
}

// While SQLite has rolled back a transaction that the application still believes open, a
// statement that writes or begins a transaction would be committed on its own: refused until
// the application ends its transaction, which ends the refusal.
bool QSqlitexResultPrivate::mayRunWhileTransactionLost()
{
    const StatementInfo::Transaction kind = info.transaction();
    if (kind == StatementInfo::Transaction::Ends) {
        connection->lostTransaction.clear();
        return true;
    }
    if (sqlite3_stmt_readonly(statement) && kind != StatementInfo::Transaction::Begins)
        return true;
    fail(sqlitex::makeError(QStringLiteral("Unable to execute statement"),
                            QStringLiteral("the transaction was rolled back after an earlier failure (%1); nothing "
                                           "is written until it is ended")
                                .arg(connection->lostTransaction),
                            QSqlError::StatementError, SQLITE_ABORT));
    return false;
}

bool QSqlitexResultPrivate::cacheUpTo(int row)
{
    while (cachedRowCount() <= row && stepRow())
        appendCurrentRow(rows);
    return row < cachedRowCount();
}

void QSqlitexResultPrivate::appendCurrentRow(std::vector<QVariant>& into) const
{
    for (int column = 0; column < columnCount; ++column)
        into.push_back(columnValue(column));
}

QVariant QSqlitexResultPrivate::columnValue(int column) const
{
    // One call into the statement per column, then the value's own accessors: this is the
    // path of every forward-only read. (The value is SQLite's "unprotected" one, which is
    // safe because a connection is never used by two threads at once.)
    sqlite3_value* value = sqlite3_column_value(statement, column);
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        // Integers are exact whatever the precision policy: QSqlQuery's default,
        // LowPrecisionDouble, would otherwise round every id above 2^53.
        return qlonglong(sqlite3_value_int64(value));
    case SQLITE_FLOAT:
        switch (q->numericalPrecisionPolicy()) {
        case QSql::LowPrecisionInt32:
            return sqlite3_value_int(value);
        case QSql::LowPrecisionInt64:
            return qlonglong(sqlite3_value_int64(value));
        default:
            return sqlite3_value_double(value);
        }
    case SQLITE_NULL:
        return QVariant(QVariant::String);
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const char*>(sqlite3_value_blob(value));
        const int size = sqlite3_value_bytes(value);
        return QByteArray(bytes ? bytes : "", size); // empty, not null, for a blob of 0 bytes
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        return QString::fromUtf8(text ? text : "", sqlite3_value_bytes(value));
    }
    }
}

// ---- QSqlitexResult ----

QSqlitexResult::QSqlitexResult(const QSqlitexDriver* driver)
    : QSqlResult(driver)
    , d(std::make_unique<QSqlitexResultPrivate>(this, driver->d.get()))
{
    d->connection->results.push_back(this);
}

QSqlitexResult::~QSqlitexResult()
{
    d->finalize();
    if (d->connection) {
        auto& results = d->connection->results;
        results.erase(std::remove(results.begin(), results.end(), this), results.end());
    }
}

void QSqlitexResult::detachFromConnection(bool driverGone)
{
    d->finalize();
    setActive(false);
    setAt(QSql::BeforeFirstRow);
    if (driverGone)
        d->connection = nullptr;
}

QVariant QSqlitexResult::handle() const
{
    return d->statement ? QVariant::fromValue(d->statement) : QVariant();
}

bool QSqlitexResult::prepare(const QString& query)
{
    d->finalize();
    setSelect(false);
    sqlite3* db = d->connection ? d->connection->db : nullptr;
    if (!db) {
        setLastError(sqlitex::makeError(QStringLiteral("Unable to prepare statement"),
                                        QStringLiteral("the connection is not open"), QSqlError::StatementError,
                                        SQLITE_MISUSE));
        return false;
    }
    const QByteArray text = query.toUtf8();
    d->info = StatementInfo::inspect(text.constData());
    if (d->info.isRekey()) {
        d->rekeySql = text;
        return true;
    }
    // Only the first statement of the text runs, as with Qt's own SQLite driver.
    sqlite3_stmt* statement = nullptr;
    const int rc = QSqlitexDriverPrivate::prepareFirst(db, text, &statement);
    if (rc != SQLITE_OK) {
        setLastError(sqlitex::errorFor(db, rc, QStringLiteral("Unable to prepare statement"),
                                       QSqlError::StatementError));
        return false;
    }
    if (!statement) {
        setLastError(sqlitex::makeError(QStringLiteral("Unable to prepare statement"),
                                        QStringLiteral("the text holds no SQL statement"), QSqlError::StatementError,
                                        SQLITE_MISUSE));
        return false;
    }
    d->statement = statement;
    d->columnCount = sqlite3_column_count(statement);
    return true;
}

bool QSqlitexResult::exec()
{
    return d->run(true);
}

bool QSqlitexResult::reset(const QString& query)
{
    return prepare(query) && d->run(false);
}

QVariant QSqlitexResult::data(int field)
{
    if (field < 0 || field >= d->columnCount)
        return QVariant();
    if (d->forwardOnly && !d->onLastRow) {
        // The statement stands on the current row unless it has not been stepped onto
        // (pendingRow) or has run past the end.
        if (!d->statement || d->finished || d->pendingRow)
            return QVariant();
        return d->columnValue(field);
    }
    if (at() < 0)
        return QVariant();
    if (d->onLastRow)
        return d->lastRow[size_t(field)];
    const size_t cell = size_t(at()) * size_t(d->columnCount) + size_t(field);
    return cell < d->rows.size() ? d->rows[cell] : QVariant();
}

bool QSqlitexResult::isNull(int field)
{
    if (field < 0 || field >= d->columnCount || at() < 0)
        return true;
    if (d->onLastRow || !d->forwardOnly)
        return data(field).isNull();
    if (!d->statement || d->finished || d->pendingRow)
        return true;
    return sqlite3_column_type(d->statement, field) == SQLITE_NULL;
}

bool QSqlitexResult::fetch(int row)
{
    if (row < 0 || !isActive() || !isSelect())
        return false;
    if (!d->forwardOnly) {
        if (!d->cacheUpTo(row))
            return false;
        setAt(row);
        return true;
    }
    if (d->onLastRow || row < at())
        return row == at();
    while (at() < row) {
        if (!fetchNext())
            return false;
    }
    return true;
}

bool QSqlitexResult::fetchNext()
{
    if (!d->forwardOnly)
        return fetch(at() < 0 ? 0 : at() + 1);
    // An inactive or finished result has finished set; nothing else to check on this path.
    if (d->onLastRow)
        return false;
    if (d->pendingRow) {
        d->pendingRow = false;
        setAt(0);
        return true;
    }
    if (!d->stepRow())
        return false;
    setAt(at() + 1);
    return true;
}

bool QSqlitexResult::fetchPrevious()
{
    if (d->forwardOnly)
        return false;
    return fetch(at() - 1);
}

bool QSqlitexResult::fetchFirst()
{
    if (d->forwardOnly)
        return at() == QSql::BeforeFirstRow && fetchNext();
    return fetch(0);
}

bool QSqlitexResult::fetchLast()
{
    if (!isActive() || !isSelect())
        return false;
    if (!d->forwardOnly) {
        d->cacheUpTo(std::numeric_limits<int>::max());
        const int count = d->cachedRowCount();
        if (count == 0)
            return false;
        setAt(count - 1);
        return true;
    }
    if (d->onLastRow)
        return true;
    // Forward-only: the statement cannot stand on its last row once it knows it was the
    // last, so each row is copied on the way there.
    int last = at();
    if (d->pendingRow) {
        d->pendingRow = false;
        last = 0;
    }
    if (last >= 0 && !d->finished) {
        d->lastRow.clear();
        d->appendCurrentRow(d->lastRow);
    }
    while (d->stepRow()) {
        d->lastRow.clear();
        d->appendCurrentRow(d->lastRow);
        ++last;
    }
    if (last < 0 || d->lastRow.empty())
        return false;
    d->onLastRow = true;
    setAt(last);
    return true;
}

int QSqlitexResult::size()
{
    return -1; // SQLite does not know the number of rows before it has stepped over them
}

int QSqlitexResult::numRowsAffected()
{
    return d->rowsAffected;
}

QVariant QSqlitexResult::lastInsertId() const
{
    return isActive() && d->hasInsertId ? QVariant(qlonglong(d->insertId)) : QVariant();
}

QSqlRecord QSqlitexResult::record() const
{
    if (!isActive() || !isSelect() || !d->statement)
        return QSqlRecord();
    if (!d->recordValid) {
        d->recordCache.clear();
        for (int column = 0; column < d->columnCount; ++column) {
            const char* name = sqlite3_column_name(d->statement, column);
            QSqlField field(QString::fromUtf8(name), sqlitex::variantTypeOf(sqlite3_column_decltype(d->statement, column)));
            d->recordCache.append(field);
        }
        d->recordValid = true;
    }
    return d->recordCache;
}

void QSqlitexResult::detachFromResultSet()
{
    // QSqlQuery::finish(): the rows are not needed any more; let go of the read lock.
    d->clearRows();
    d->resetStatement();
}
