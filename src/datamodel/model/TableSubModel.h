#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/SubModel.h"

#include <QJsonObject>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>
#include <string>
#include <vector>

template <typename Model>
class TableSubModelData;

// The sub-model slots written once, for a model whose objects are the rows of one table keyed
// by id: objects kept in an ObjectTable (owned, walked in id order, ids from one allocator),
// rows written by update-or-insert with every value bound, rows of removed objects deleted on
// save, object data for the command stack as compact JSON, and a logged soft assert instead of
// a silent failure when a slot is handed an object the model does not own.
//
// A model derives from it with itself as the argument and names its object class `Object`:
//
//     class AxisModel : public TableSubModel<AxisModel>
//     {
//         Q_OBJECT
//     public:
//         class Axis;          // a ModelObject with id(), name(), rename()
//         using Object = Axis;
//         ...
//     private:
//         DATAMODEL_TABLE_HOOKS(AxisModel, Axis)
//         bool removeFromModel(Axis* axis) { return removeAxis(axis); }
//     };
//
//     extern template class TableSubModel<AxisModel>;
//
// and, in AxisModel.cpp, after including "datamodel/model/TableSubModel_p.h", the hooks and
//
//     template class TableSubModel<AxisModel>;
//
// The base also offers the steps a model's own operations share: newObjectId(), insertNew(),
// eraseObject(), appendAll(), findByName() and objects(), the ObjectTable itself.
//
// Names. Lookups by name go through a name index kept in step with every add, rename
// (renameObject(), the object's own rename, a reload), removal, undo, redo and open, so they
// cost the same whatever the size of the project. The rules of names are checked here once:
// allowAdd() and allowRename() refuse an empty name, a control character, a name reserved for
// the system's own objects (SystemObjects) and a name that another object has, compared
// without regard to case as the lookups compare; hooks add a model's own rules. allowRemove()
// refuses the removal of a system object and whatever the model's removal rule refuses. Every
// refusal is logged and kept in lastError() with the rule and the object it concerns.
//
// Hooks: members of Model that this base calls. DATAMODEL_TABLE_HOOKS(Model, Object) in the
// model's private section declares the required ones (and the friendship) but the remove
// operation:
//   QString selectStatement() const;
//       SELECT of every row, run by open() after the table is emptied.
//   bool readRows(QSqlQuery& query);
//       Turns the rows of that statement into objects, each handed to insertLoaded(); false
//       fails open() (the hook logs why).
//   QVector<QVariant> rowValues(const Object& object) const;
//       The values of the columns given to the constructor, in their order.
//   QJsonObject toData(const Object& object) const;
//       The object data of objToData() and removeObject() (members are texts; "ID" the id).
//   std::unique_ptr<Object> fromData(unsigned int id, const QJsonObject& data);
//       A new object from object data for insertObject(), under the free id `id` that the
//       path names; null refuses the data. The base marks it modified and inserts it.
//   bool removeFromModel(Object* object);
//       Removes and deletes the object as the model's own remove operation does.
//   QString reloadStatement() const;
//   void reloadRow(Object& object, const QSqlQuery& query);
//       loadObject(): the statement reads one row, its id bound to the one "?"; the hook
//       takes what it needs from each row read.
// Optional (the base's default in brackets):
//   Object* objectOutsideTable(const ModelObject* object) const;
//       An object the model owns besides the table's, which the slots accept too. [none]
//   bool writeRow(Object* object);          [update or insert rowValues(), log a failure]
//   QString indexOf(const Object& object);  [folder id and "Row": an object filed in a folder]
//   bool moveTo(Object& object, const QString& index);  [file it under that folder and row]
//   bool restoreFrom(Object& object, const QString& data);  [nothing to restore: true]
//   void markModified() const;  [the project needs compilation, its program change time stamped]
//   void saved(const std::vector<unsigned int>& deletedIds);  [nothing]
//   QString nameRule(const std::string& name) const;
//       Why `name` cannot name an object of the model, or empty. [no control characters]
//   QString nameTaken(const std::string& name, const Object* self) const;
//       Why `name` is taken (by an object other than `self`), or empty. [another object of
//       this model with the name, compared without regard to case]
//   QString removalRefusal(const Object& object) const;  [nothing refuses a removal]
//   QString folderRefusal(const Object* object, unsigned int folderId) const;
//       Why the object (null: a new one) cannot be filed under that folder. [any will do]
//   void inserted(Object& object, const QJsonObject& data);
//       After insertObject() took the object: what the data holds besides it. [nothing]
#define DATAMODEL_TABLE_HOOKS(Model, Object)                                                                           \
    friend class TableSubModel<Model>;                                                                                 \
    QString selectStatement() const;                                                                                   \
    bool readRows(QSqlQuery& query);                                                                                   \
    QVector<QVariant> rowValues(const Object& object) const;                                                           \
    QJsonObject toData(const Object& object) const;                                                                    \
    std::unique_ptr<Object> fromData(unsigned int id, const QJsonObject& data);                                        \
    QString reloadStatement() const;                                                                                   \
    void reloadRow(Object& object, const QSqlQuery& query);

template <typename Model>
class DATAMODEL_EXPORT TableSubModel : public SubModel
{
public:
    // `table`, `columns` (those written besides the id) and `idColumn` name what save() writes;
    // `kind` names an object in log lines ("POU", "global variable list").
    TableSubModel(const std::string& name, AbstractProjectModel* project, const QString& table,
                  const QStringList& columns, const char* kind, const QString& idColumn = QStringLiteral("ID"));
    ~TableSubModel() override;

    bool open() override;
    bool save() override;
    // `flag` false: an automatic save into another file, after which saves leave the objects
    // modified.
    bool saveAs(bool flag) override;
    bool insertObject(const QString& path, const QString& data) override;
    bool removeObject(const QString& path, QString& data) override;
    bool renameObject(const QString& path, const QString& name) override;
    bool moveObject(const QString& path, const QString& to) override;
    QString getObjPath(ModelObject* obj) override;
    QString getObjIndex(ModelObject* obj) override;
    QString objToData(ModelObject* obj) override;
    bool restoreObj(ModelObject* obj, const QString& data) override;
    bool saveObject(ModelObject* obj) override;
    bool loadObject(ModelObject* obj) override;

protected:
    // Refusals of the name rules, logged and kept in lastError(); true when the edit may go on.
    // A new object named `name`, filed under `folderId` where the model files its objects.
    bool allowAdd(const std::string& name, unsigned int folderId = 0) const;
    template <typename Object>
    bool allowRename(const Object& object, const std::string& name) const;
    template <typename Object>
    bool allowRemove(const Object& object) const;
    // Why `name` cannot be given to an object (`self` when it is renamed), or empty.
    template <typename Object>
    QString nameRefusal(const std::string& name, const Object* self) const;
    // The first object in id order whose name `match` accepts; `match` accepts only names
    // that equal `name` ignoring case (NameIndex).
    template <typename Match>
    auto* findNamed(const std::string& name, Match&& match) const;
    // The model's objects (ObjectTable<Object>, from "datamodel/model/ObjectTable_p.h").
    auto& objects() const;
    // One object just read from the table (a Model::Object).
    template <typename Object>
    void insertLoaded(std::unique_ptr<Object> object);
    // The id for a new object named `name`; INVALID_ID, logged, when none is left.
    unsigned int newObjectId(const std::string& name);
    // Takes a new object: marked modified (it has no row yet), the project marked (the
    // markModified hook).
    template <typename Object>
    Object* insertNew(std::unique_ptr<Object> object);
    // Removes and deletes one of the model's objects and marks the project; false for an
    // object the model does not hold.
    template <typename Object>
    bool eraseObject(Object* object);
    // Appends every object in id order.
    template <typename Object>
    void appendAll(std::vector<Object*>& out) const;
    // The first object in id order whose name equals `name` ignoring case.
    auto* findByName(const QString& name) const;
    // The first object in id order named exactly `name`.
    auto* findExact(const std::string& name) const;
    // The object `obj` as the model's own, or null with a soft assert logged.
    auto* owned(ModelObject* obj) const;
    // Learns which rows the file holds, after the model switched to another file.
    void learnStoredRows();
    // Notes the ids missing below the highest one read as released.
    void noteGaps();
    const char* kind() const;

    // Defaults of the optional hooks.
    template <typename M = Model>
    typename M::Object* objectOutsideTable(const ModelObject*) const
    {
        return nullptr;
    }
    template <typename Object>
    bool writeRow(Object* object);
    template <typename Object>
    QString indexOf(const Object& object) const;
    template <typename Object>
    bool moveTo(Object& object, const QString& index);
    template <typename Object>
    bool restoreFrom(Object& object, const QString& data);
    void markModified() const { markProjectModified(false); }
    void saved(const std::vector<unsigned int>&) {}
    QString nameRule(const std::string& name) const;
    template <typename Object>
    QString nameTaken(const std::string& name, const Object* self) const;
    template <typename Object>
    QString removalRefusal(const Object&) const
    {
        return QString();
    }
    template <typename Object>
    QString folderRefusal(const Object*, unsigned int) const
    {
        return QString();
    }
    template <typename Object>
    void inserted(Object&, const QJsonObject&)
    {
    }

private:
    void objectModified(ModelObject* object) override;
    void objectRenamed(ModelObject* object, const std::string& oldName) override;

    Model& model() { return static_cast<Model&>(*this); }
    const Model& model() const { return static_cast<const Model&>(*this); }

    std::unique_ptr<TableSubModelData<Model>> m_table;
};
