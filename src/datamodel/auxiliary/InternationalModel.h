#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/TranslationTable.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class InternationalModelPrivate;

// The translation texts of a library (table InternationalTable): one row per translated key
// and language with its text and a reference mark. Keys that are no longer used are removed by
// a mark and sweep over a generation number: the row of type 0 holds the current generation,
// every key still in use is stamped with it, and rows with an older stamp are deleted.
//
// Only the library script creates the table; in a user project the model loads nothing.
class DATAMODEL_EXPORT InternationalModel : public TranslationTable
{
    Q_OBJECT
public:
    InternationalModel(const std::string& name, AbstractProjectModel* project);
    ~InternationalModel() override;

    QVector<InternationalNodeStruct> getAllInternationalNode() const override;
    // Key -> text of every row of the table (the last language read wins for a key).
    void getAllContext(QMap<QString, QString>& map);
    // Stores the text of one key in one language; the row is stamped with the current
    // generation. False when the statement failed (the log says why).
    bool changKeyTranslate(InternationalNodeType type, const QString& key, const QString& context);
    // Mark: a new generation, stamped on the generation row and on every row of `keys`.
    void checkAllKeys(const QVector<QString>& keys);
    // Sweep: deletes every row that the last mark did not stamp. Does nothing unless the last
    // mark was written completely, so that a failed mark never costs a key in use.
    void deleteAllExpireData();

    int generation() const;
    // The languages of table InternationalLang in Id order (their Id is the node type).
    QStringList languages() const override;
    // The node type of a language name ("zh_cn" finds "zh_CN"; "en" finds "en_US"); 0 when
    // the table knows no such language.
    InternationalNodeType languageType(const QString& language) const override;
    bool resetModel(QSqlDatabase*) { return true; }

public slots:
    bool open() override;
    bool save() override { return true; }
    bool saveAs(bool) override { return true; }

private slots:
    bool saveObject(ModelObject*) override { return false; }
    bool loadObject(ModelObject*) override { return false; }

private:
    bool run(const QString& statement, const QVariantList& values, const char* what);

    std::unique_ptr<InternationalModelPrivate> d;
};
