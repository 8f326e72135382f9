#pragma once

#include <QSqlDriverPlugin>

// The Qt plug-in that makes "QSQLITEX" available to programs that find it on their plug-in
// path (<plugins>/sqldrivers) without calling QSqlitexDriver::registerDriver().
class QSqlitexPlugin : public QSqlDriverPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QSqlDriverFactoryInterface_iid FILE "qsqlitex.json")
public:
    explicit QSqlitexPlugin(QObject* parent = nullptr);
    QSqlDriver* create(const QString& name) override;
};
