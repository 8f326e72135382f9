#pragma once

#include "datamodel/auxiliary/WatchListObject.h"
#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/TableSubModel.h"

#include <QString>
#include <QStringList>

#include <memory>

class WatchListModelPrivate;

// The watch lists of a user project (table WatchList: Id, Name, ListData, Properties), one
// row per list. Names are unique without regard to case; ids run from 1 to 5000.
//
// Files of older versions hold the table without an Id column. Opened for writing, such a
// table is rebuilt with the column in one transaction and its rows are carried over (their
// row ids become the list ids); read-only, the lists are read as they are.
class DATAMODEL_EXPORT WatchListModel : public TableSubModel<WatchListModel>
{
    Q_OBJECT
public:
    using Object = WatchListObject;
    // The last id a list can have: a project holds at most this many lists.
    static constexpr unsigned int MaxLists = 5000;

    WatchListModel(const std::string& name, AbstractProjectModel* project);
    ~WatchListModel() override;

    // A new empty list under the lowest free id. False, with getLastError() saying why and
    // nothing added, when a list of that name exists or 5000 lists exist.
    bool appendWatchList(const QString& name);
    bool removeWatchList(const QString& name);
    // False when `from` does not exist or another list is called `to`.
    bool renameWatchList(const QString& from, const QString& to);
    // By name, without regard to case.
    WatchListObject* getObject(const QString& name) const;
    WatchListObject* getObject(unsigned int id) const;
    // In id order.
    QStringList getWatchListNames() const;
    QString getLastError() const;

public slots:
    bool open() override;
    // A new project's table is empty: nothing to read.
    bool create(const std::map<std::string, std::string>& params) override;
    // Rebuilds an older table first (see above), then writes the changed lists and deletes
    // the rows of removed ones, in one transaction.
    bool save() override;
    bool renameObject(const QString& path, const QString& name) override;

signals:
    // Every change signal of the lists, forwarded.
    void dataChanged(ModelObject* obj, QString type, QString param);

private:
    DATAMODEL_TABLE_HOOKS(WatchListModel, WatchListObject)
    bool removeFromModel(WatchListObject* list) { return eraseObject(list); }
    // A watch list has no place among siblings and changes nothing the compiler reads.
    QString indexOf(const WatchListObject&) const { return QString(); }
    bool moveTo(WatchListObject&, const QString&) { return false; }
    void markModified() const {}

    // Forwards the list's change signals.
    std::unique_ptr<WatchListObject> adopt(std::unique_ptr<WatchListObject> list);
    bool refuse(const QString& error);
    // True when the table has an Id column or was rebuilt with one.
    bool ensureIdColumn();

    std::unique_ptr<WatchListModelPrivate> d;
};

extern template class TableSubModel<WatchListModel>;
