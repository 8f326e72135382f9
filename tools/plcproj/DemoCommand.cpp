// plcproj demo: a realistic project with every kind of object the library holds, saved,
// re-keyed, reopened and described.
#include "Command.h"
#include "ProjectSession.h"

#include "datamodel/model/PlcProjectModel.h"
#include "datamodel/model/PrjInfoModel.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlQuery>
#include <QSqlRecord>

namespace plcproj {

namespace {

const char* const demoName = "PackagingLine";
const char* const demoPassword = "line'2 demo";

QStringList tableNames(QSqlDatabase db)
{
    QStringList names;
    QSqlQuery query(db);
    query.exec("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name");
    while (query.next())
        names << query.value(0).toString();
    return names;
}

QJsonArray tableRows(QSqlDatabase db, const QString& table)
{
    QJsonArray rows;
    QSqlQuery query(db);
    query.exec(QStringLiteral("SELECT * FROM \"%1\"").arg(table));
    while (query.next()) {
        QJsonObject row;
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i) {
            const QVariant value = query.value(i);
            if (value.isNull())
                continue;
            row.insert(record.fieldName(i), value.type() == QVariant::ByteArray
                                                ? QStringLiteral("<%1 bytes>").arg(value.toByteArray().size())
                                                : value.toString().left(60));
        }
        rows.append(row);
    }
    return rows;
}

QString rowText(const QJsonObject& row)
{
    QStringList fields;
    for (auto it = row.begin(); it != row.end(); ++it)
        fields << it.key() + "=" + it.value().toString();
    return fields.join(", ");
}

} // namespace

int runDemo(const Arguments& args, const Output& out)
{
    const QString dir = QFileInfo(args.positional(0)).absoluteFilePath();
    if (QFileInfo::exists(dir) && !QDir(dir).isEmpty()) {
        Output::error(QStringLiteral("%1 exists and is not empty; give a new folder").arg(dir));
        return Failure;
    }
    QDir().mkpath(dir);
    const QString file = QDir(dir).filePath(ProjectLocation::fileNameFor(demoName, false));
    Output::note(QStringLiteral("creating %1").arg(file));
    QString error;
    {
        auto session = ProjectSession::create(
            dir,
            {{"fileName", demoName}, {"filePath", file.toStdString()}, {"projectType", "Project"},
             {"programStyle", "IECStyle"}, {"author", "Norvale demo"}, {"comments", u8"包装线 demo project"},
             {"createVersion", "0.1.0"}},
            &error);
        if (!session) {
            Output::error(error);
            return Failure;
        }
        if (!session->model()->save()) {
            Output::error("saving the demo project failed");
            return Failure;
        }
        Output::note(QStringLiteral("re-keying with the password \"%1\"").arg(demoPassword));
        if (!AbstractPlcProjectModel::modifyDbPassword(session->model(), demoPassword)) {
            Output::error("re-keying the demo project failed");
            return Failure;
        }
    }
    Output::note("reopening with the new password");
    ProjectLocation location;
    if (!ProjectLocation::resolve(dir, location, &error)) {
        Output::error(error);
        return Failure;
    }
    auto session = ProjectSession::open(location, demoPassword, ProjectSession::Access::ReadOnly, &error);
    if (!session) {
        Output::error(error);
        return Failure;
    }
    const QSqlDatabase db = session->model()->db();
    auto* info = session->model()->subModel<PrjInfoModel>()->projectInfo();
    QJsonObject project{{"file", file},
                        {"name", QString::fromStdString(info->name())},
                        {"type", AbstractPlcProjectModel::typeText(info->type())},
                        {"author", QString::fromStdString(info->author())},
                        {"comments", QString::fromStdString(info->comments())},
                        {"ProjectUUID", QString::fromStdString(info->property("ProjectUUID"))},
                        {"ProgramStyle", QString::fromStdString(info->property("ProgramStyle"))}};
    QJsonObject tables;
    for (const QString& table : tableNames(db))
        tables.insert(table, tableRows(db, table));
    if (out.json()) {
        out.document(QJsonObject{{"project", project}, {"tables", tables}});
        return Ok;
    }
    out.line(QStringLiteral("project %1 (%2)").arg(project["name"].toString(), project["type"].toString()));
    for (const char* key : {"file", "author", "comments", "ProjectUUID", "ProgramStyle"})
        out.line(QStringLiteral("  %1: %2").arg(QLatin1String(key), project[QLatin1String(key)].toString()));
    out.line(QStringLiteral("tables:"));
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        const QJsonArray rows = it.value().toArray();
        out.line(QStringLiteral("  %1 (%2 rows)").arg(it.key()).arg(rows.size()));
        for (const QJsonValue& row : rows)
            out.line("    " + rowText(row.toObject()));
    }
    return Ok;
}

} // namespace plcproj
