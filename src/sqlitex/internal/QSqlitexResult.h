#pragma once

#include <QSqlResult>

#include <memory>

class QSqlitexDriver;
class QSqlitexDriverPrivate;
class QSqlitexResultPrivate;

// One statement of a QSQLITEX connection and its rows.
//
// A forward-only result reads each column straight from the statement; a scrollable one
// keeps the rows it has stepped over, so that it can go back. exec() after prepare() only
// resets and re-binds the statement.
class QSqlitexResult : public QSqlResult
{
public:
    explicit QSqlitexResult(const QSqlitexDriver* driver);
    ~QSqlitexResult() override;

    // Called by the driver when the connection closes or the driver goes away: the
    // statement is finalized and the result stays inactive.
    void detachFromConnection(bool driverGone);

    QVariant handle() const override;

protected:
    bool prepare(const QString& query) override;
    bool exec() override;
    bool reset(const QString& query) override;

    QVariant data(int field) override;
    bool isNull(int field) override;
    bool fetch(int row) override;
    bool fetchNext() override;
    bool fetchPrevious() override;
    bool fetchFirst() override;
    bool fetchLast() override;
    int size() override;
    int numRowsAffected() override;
    QVariant lastInsertId() const override;
    QSqlRecord record() const override;
    void detachFromResultSet() override;

private:
    friend class QSqlitexResultPrivate;
    std::unique_ptr<QSqlitexResultPrivate> d;
};
