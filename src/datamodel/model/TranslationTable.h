#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/SubModel.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The translation texts of a project or library as other sub-models read them: one text per
// key and language. InternationalModel implements it; the library model reads a library's
// comments through it without depending on the auxiliary tables.
class DATAMODEL_EXPORT TranslationTable : public SubModel
{
    Q_OBJECT
public:
    // The kind of a row. 0 is the generation row and never a node; every other value is the
    // Id of a language in table InternationalLang (1 "zh_CN", 2 "en_US" in a new library).
    enum InternationalNodeType : int {
        GenerationRow = 0,
        ChineseText = 1,
        EnglishText = 2,
    };

    struct InternationalNodeStruct
    {
        InternationalNodeType type = GenerationRow;
        QString key;
        QString context;
        int refFlag = 0;
    };

    using SubModel::SubModel;
    ~TranslationTable() override;

    virtual QVector<InternationalNodeStruct> getAllInternationalNode() const = 0;
    // The languages in Id order (their Id is the node type).
    virtual QStringList languages() const = 0;
    // The node type of a language name ("zh_cn" finds "zh_CN"; "en" finds "en_US"); 0 when
    // the table knows no such language.
    virtual InternationalNodeType languageType(const QString& language) const = 0;
};
