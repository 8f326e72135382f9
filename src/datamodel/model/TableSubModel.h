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
    // The object `obj` as the model's own, or null with a soft assert logged.
    auto* owned(ModelObject* obj) const;
    // Learns which rows the file holds, after the model switched to another file.
    void learnStoredRows();
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

private:
    Model& model() { return static_cast<Model&>(*this); }
    const Model& model() const { return static_cast<const Model&>(*this); }

    std::unique_ptr<TableSubModelData<Model>> m_table;
};
