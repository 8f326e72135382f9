#include "datamodel/auxiliary/InternationalModel.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/ScopedTransaction_p.h"
#include "datamodel/model/SqlText_p.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

class InternationalModelPrivate
{
public:
    int generation = 0;
    // The generation that the last mark wrote completely; a sweep only runs for it.
    int markedGeneration = -1;
    QVector<InternationalModel::InternationalNodeStruct> nodes;
    QStringList languages; // Id order; the Id of languages[i] is i + 1 in a well-formed file
    QVector<int> languageIds;
};

InternationalModel::InternationalModel(const std::string& name, AbstractProjectModel* project)
    : TranslationTable(name, project), d(std::make_unique<InternationalModelPrivate>())
{
}

InternationalModel::~InternationalModel() = default;

bool InternationalModel::open()
{
    d->generation = 0;
    d->markedGeneration = -1;
    d->nodes.clear();
    d->languages.clear();
    d->languageIds.clear();
    QSqlQuery query(database());
    query.setForwardOnly(true);
    // A user project has no translation table: nothing to load, and no failure either.
    if (!query.exec(QStringLiteral("SELECT * FROM InternationalTable"))) {
        if (query.lastError().databaseText().contains(QLatin1String("no such table")))
            return true;
        return readToTheEnd(query, "InternationalTable"); // a file that cannot be read
    }
    while (query.next()) {
        const QSqlRecord row = query.record();
        const int type = row.value(QStringLiteral("Type")).toInt();
        const int refFlag = row.value(QStringLiteral("Ref_flag")).toInt();
        if (type == GenerationRow) {
            d->generation = refFlag;
            continue;
        }
        d->nodes.push_back({static_cast<InternationalNodeType>(type), row.value(QStringLiteral("Key")).toString(),
                            row.value(QStringLiteral("Context")).toString(), refFlag});
    }
    if (!readToTheEnd(query, "InternationalTable"))
        return false;
    QSqlQuery langs(database());
    langs.setForwardOnly(true);
    if (langs.exec(QStringLiteral("SELECT Id, Lang FROM InternationalLang ORDER BY Id"))) {
        while (langs.next()) {
            d->languageIds.push_back(langs.value(0).toInt());
            d->languages.push_back(langs.value(1).toString());
        }
        return readToTheEnd(langs, "InternationalLang");
    }
    return true;
}

QVector<InternationalModel::InternationalNodeStruct> InternationalModel::getAllInternationalNode() const
{
    return d->nodes;
}

void InternationalModel::getAllContext(QMap<QString, QString>& map)
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM InternationalTable")))
        return;
    const QSqlRecord columns = query.record();
    const int key = columns.indexOf(QStringLiteral("Key")), context = columns.indexOf(QStringLiteral("Context"));
    while (query.next())
        map.insert(query.value(key).toString(), query.value(context).toString());
}

bool InternationalModel::run(const QString& statement, const QVariantList& values, const char* what)
{
    QSqlQuery query(database());
    query.prepare(statement);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (query.exec())
        return true;
    writeLog(HostServices::LogInfo, std::string(what) + " failed: " + query.lastError().text().toStdString());
    return false;
}

bool InternationalModel::changKeyTranslate(InternationalNodeType type, const QString& key, const QString& context)
{
    const QString where = QStringLiteral("Type=") + QString::number(type) + QStringLiteral(" AND Key=")
                          + SqlText::literal(key);
    QSqlQuery find(database());
    find.setForwardOnly(true);
    const bool exists = find.exec(QStringLiteral("SELECT * FROM InternationalTable WHERE ") + where) && find.next();
    find.finish();
    bool ok = false;
    if (exists) {
        ok = run(QStringLiteral("UPDATE InternationalTable SET  Context=?, Ref_flag=?  WHERE Type=")
                     + QString::number(type) + QStringLiteral("  AND Key=") + SqlText::literal(key),
                 {context, d->generation}, "update of a translation");
    } else {
        ok = run(QStringLiteral("INSERT INTO InternationalTable (Type, Key, Context,Ref_flag) VALUES(")
                     + QString::number(type) + QStringLiteral(", ") + SqlText::literal(key) + QStringLiteral(", ")
                     + SqlText::literal(context) + QStringLiteral(", ") + QString::number(d->generation)
                     + QStringLiteral(")"),
                 {}, "insert of a translation");
    }
    if (!ok) {
        writeLog(HostServices::LogInfo, "translation of key '" + key.toStdString() + "' (language "
                                            + std::to_string(type) + ") was not stored");
        return false;
    }
    for (InternationalNodeStruct& node : d->nodes) {
        if (node.type == type && node.key == key) {
            node.context = context;
            node.refFlag = d->generation;
            return true;
        }
    }
    d->nodes.push_back({type, key, context, d->generation});
    return true;
}

void InternationalModel::checkAllKeys(const QVector<QString>& keys)
{
    ++d->generation;
    ScopedTransaction transaction(database());
    if (!transaction.isActive()) {
        writeLog(HostServices::LogInfo, "marking the translation keys in use failed: "
                                            + transaction.errorText().toStdString());
        return;
    }
    bool ok = run(QStringLiteral("UPDATE InternationalTable SET  Ref_flag=?  WHERE Type=0"), {d->generation},
                  "stamping the generation row");
    for (const QString& key : keys) {
        if (!ok)
            break;
        ok = run(QStringLiteral("UPDATE InternationalTable SET  Ref_flag=? WHERE Key=") + SqlText::literal(key),
                 {d->generation}, "stamping a translation key");
    }
    if (!ok || !transaction.commit()) {
        // Nothing is stamped: the rows keep their old generation, and a sweep now would delete
        // keys that are still in use.
        transaction.rollback();
        writeLog(HostServices::LogInfo, "marking the translation keys in use failed; nothing will be swept");
        return;
    }
    d->markedGeneration = d->generation;
    for (InternationalNodeStruct& node : d->nodes)
        if (keys.contains(node.key))
            node.refFlag = d->generation;
}

void InternationalModel::deleteAllExpireData()
{
    if (d->markedGeneration != d->generation) {
        writeLog(HostServices::LogInfo, "sweep of the translation table skipped: the last mark was not written");
        return;
    }
    ScopedTransaction transaction(database());
    if (!transaction.isActive())
        return;
    if (!run(QStringLiteral("DELETE FROM InternationalTable WHERE Ref_flag<") + QString::number(d->generation), {},
             "sweep of the translation table")
        || !transaction.commit())
        return;
    const int generation = d->generation;
    d->nodes.erase(std::remove_if(d->nodes.begin(), d->nodes.end(),
                                  [generation](const InternationalNodeStruct& node) { return node.refFlag < generation; }),
                   d->nodes.end());
}

int InternationalModel::generation() const
{
    return d->generation;
}

QStringList InternationalModel::languages() const
{
    return d->languages;
}

InternationalModel::InternationalNodeType InternationalModel::languageType(const QString& language) const
{
    for (int i = 0; i < d->languages.size(); ++i)
        if (d->languages[i].compare(language, Qt::CaseInsensitive) == 0)
            return static_cast<InternationalNodeType>(d->languageIds[i]);
    // "en" or "zh": the first language of that family.
    const QString family = language.section(QLatin1Char('_'), 0, 0);
    for (int i = 0; i < d->languages.size(); ++i)
        if (!family.isEmpty() && d->languages[i].section(QLatin1Char('_'), 0, 0).compare(family, Qt::CaseInsensitive) == 0)
            return static_cast<InternationalNodeType>(d->languageIds[i]);
    return GenerationRow;
}
