#include "sqlitex/internal/QSqlitexPlugin.h"

#include "sqlitex/QSqlitexDriver.h"

QSqlitexPlugin::QSqlitexPlugin(QObject* parent) : QSqlDriverPlugin(parent) {}

QSqlDriver* QSqlitexPlugin::create(const QString& name)
{
    if (name == QLatin1String(QSqlitexDriver::DriverName))
        return new QSqlitexDriver; // QSqlDatabase takes ownership
    return nullptr;
}
