#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/DisplayRowStore.h"
#include "datamodel/model/TableSubModel.h"
#include "datamodel/program/DeclaredObject.h"

#include <QPair>
#include <QSet>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

namespace ac {
class ASTNode;
}

// The program organisation units of a project (table POU): programs, functions and function
// blocks with their declaration text, logic text and graphic editor data. Every change of a
// POU's content marks the project as needing compilation.
//
// Names: a POU's name is an identifier of the language, and no other POU, data type or global
// variable list has it, compared without regard to case (as pou(name) finds it). A POU is
// filed at the top (folder 0) or in a POU folder.
//
// References: removing a POU that a task calls removes those calls with it, and the object
// data of the removal keeps them ("CALLS"), so that undoing the removal puts the calls back
// where they were. Removing a POU that other declarations or logic use (a function block as
// the type of a variable, a function or program called) is refused with the list of users:
// their texts would otherwise name something that no longer exists. The system's own POU
// "DevicePOU" is neither renamed nor removed.
class DATAMODEL_EXPORT PouModel : public TableSubModel<PouModel>, public DisplayRowStore
{
    Q_OBJECT
public:
    class PouUnit;
    using Object = PouUnit;
    // The symbol kind bits of the compiler core; listing treats them as a mask.
    enum PouType : int { PRGPOU = 2, FCPOU = 4, FBPOU = 8 };
    // The mask of allPous() that lists every POU.
    static constexpr int AllPouTypes = PRGPOU | FCPOU | FBPOU;
    enum PouLanguageType : int {
        POU_NOLANG = 0,
        POU_ST = 1,
        POU_CFC = 2,
        POU_LD = 3,
        POU_SFC = 4,
        POU_LD_JAPAN = 5,
        POU_IL = 6,
        POU_FBD = 7,
    };

    PouModel(const std::string& name, AbstractProjectModel* project);
    ~PouModel() override;

    // A new POU under the first free id; null, with the reason in lastError(), when the name
    // or the folder is refused (see above) or no id is left.
    PouUnit* addPou(const std::string& name, PouType type, PouLanguageType language, unsigned int folderId);
    PouUnit* pou(unsigned int id) const;
    // The first POU in id order whose name equals `name` ignoring case (a name index: the
    // cost does not grow with the number of POUs).
    PouUnit* pou(const QString& name) const;
    // Appends, in id order, every POU whose type shares a bit with `typeMask`.
    void allPous(std::vector<PouUnit*>& out, int typeMask) const;
    // The names of the interrupt programs ("ChildProgramType" = "ChildIntProgram").
    QStringList interruptPous() const;
    // Removes the POU with the task calls of it; false, with the reason in lastError(), for a
    // POU of the system or one that other texts use.
    bool removePou(PouUnit* pou);
    // Sets the POU's "Row" and writes that property alone into its stored row, leaving its
    // other unsaved changes pending (the background save of the display order).
    Result storeDisplayRow(unsigned int id, int row, QString* error) override;

private:
    friend class PouUnit;
    friend class HiddenObjects;
    DATAMODEL_TABLE_HOOKS(PouModel, PouUnit)
    bool removeFromModel(PouUnit* pou) { return removePou(pou); }
    bool restoreFrom(PouUnit& pou, const QString& data);
    QString nameRule(const std::string& name) const;
    QString nameTaken(const std::string& name, const PouUnit* self) const;
    QString removalRefusal(const PouUnit& pou) const;
    QString folderRefusal(const PouUnit* pou, unsigned int folderId) const;
    // Puts back the task calls that the object data of a removal kept.
    void inserted(PouUnit& pou, const QJsonObject& data);
};

extern template class TableSubModel<PouModel>;

class DATAMODEL_EXPORT PouModel::PouUnit : public DeclaredObject
{
public:
    PouUnit(unsigned int id, const std::string& name, PouType type, PouLanguageType language, SubModel* owner);

    PouType type() const { return m_type; }
    PouLanguageType languageType() const { return m_language; }
    const std::string& logicContext() const { return m_logicContext; }
    // Seconds since 1970 of the last content change.
    unsigned int varModifiedTime() const { return modifiedTime(); }
    int coreParseKind() const override;
    std::string tempProperty(const std::string& key, const std::string& defaultValue = std::string()) const;
    void graphData(std::vector<char>& out) const { out = m_graphData; }
    const std::vector<char>& graphData() const { return m_graphData; }
    QStringList fbInstances() const { return m_fbInstances; }
    QSet<QPair<int, int>> onlineAddPos() const { return m_onlineAddPos; }
    std::vector<ac::ACMessage> getPouLogicErr() const { return m_pouLogicErr; }
    long long syncVarDecTime() const { return syncTime(); }
    long long syncLogicTime() const { return m_syncLogicTime; }
    ac::ASTNode* pouAstNode() const { return m_pouAstNode; }

    // False, with the reason in the model's lastError(), when the model refuses the name.
    bool rename(const std::string& name);
    void setType(PouType type);
    void setLogicContext(const std::string& text);
    void setGraphData(const std::vector<char>& data);
    bool setTempProperty(const std::string& key, const std::string& value);
    // Stores the list and its text in the property "FbInstances" (each name followed by ";").
    void setFbInstances(const QStringList& instances);
    // Takes the list from such a text without touching the property; an empty text is ignored.
    void setFbInstancesStr(const QString& instances);
    void insertOnlineAddPos(const QSet<QPair<int, int>>& positions) { m_onlineAddPos = positions; }
    void setPouAstNode(ac::ASTNode* node) { m_pouAstNode = node; }
    void setSyncVarDecTime(long long time) { setSyncTime(time); }
    void setSyncLogicTime(long long time) { m_syncLogicTime = time; }
    using DeclaredObject::addVarDeclarationErr;
    void addVarDeclarationErr(ac::ACMessage& message);
    void addPouLogicErr(ac::ACMessage& message) { m_pouLogicErr.push_back(message); }
    void addPouLogicErr(std::vector<ac::ACMessage>& messages);
    void pouLogicErrClear() { m_pouLogicErr.clear(); }

    // Content read from the file or from object data.
    struct Content
    {
        std::string varDeclaration;
        std::string logicContext;
        unsigned int modifyTime = 0;
        QByteArray properties; // JSON text, UTF-8
        std::vector<char> graphData;
    };

private:
    friend class PouModel;
    // Takes content without touching: no change time, no recompilation mark.
    void setContent(Content content, bool mergeProperties);
    // The display row as the file holds it already: no modified flag, no change time.
    void setStoredRow(const std::string& row) { m_properties.set("Row", row); }

    PouType m_type;
    PouLanguageType m_language;
    std::string m_logicContext;
    std::map<std::string, std::string> m_tempProperties;
    std::vector<char> m_graphData;
    QStringList m_fbInstances;
    QSet<QPair<int, int>> m_onlineAddPos;
    std::vector<ac::ACMessage> m_pouLogicErr;
    long long m_syncLogicTime = 0;
    ac::ASTNode* m_pouAstNode = nullptr; // owned by the compiler core
};
