#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/SubModel.h"

#include <QMap>
#include <QString>

#include <memory>

class HmiCfgModelPrivate;

// The variables a user project exposes to an operator panel (table HmiCfgTable): an ordered
// list of full variable names, numbered from 0 without gaps. The table has no key: a row's
// position is the variable's index, so a save rewrites the whole list. One HmiTable object
// stands for the list, carries its modified flag and raises its change signal.
class DATAMODEL_EXPORT HmiCfgModel : public SubModel
{
    Q_OBJECT
public:
    class HmiTable;

    HmiCfgModel(const std::string& name, AbstractProjectModel* project);
    ~HmiCfgModel() override;

    // Index -> full name, indices 0 ... n-1.
    QMap<int, QString> getAllVarFullNames() const;
    // The highest index; -1 for an empty list.
    int getMaxIndex() const;
    // Replaces the name at an existing index; an index past the end appends the name at the
    // next index, so that the list keeps no gaps. The index the name now has; -1, and nothing
    // changes, for a negative index.
    int insertVarFullNames(int index, const QString& name);
    // Removes the entry and moves every entry above it down by one.
    void removeVarFullNames(int index);
    // True when an entry at another index has `name`, compared without regard to case.
    bool checkVarNameExits(int index, const QString& name) const;
    // The list object (owned); null before open().
    HmiTable* hmiTable() const;

public slots:
    // Reads the rows in the order the table returns them. A file without the table (an older
    // project opened read-only) gives an empty list.
    bool open() override;
    // Rewrites the table in one transaction when the list changed. False, with the list left
    // modified, when a statement or the commit failed.
    bool save() override;
    // `flag` false: an automatic save into another file, after which the list stays modified.
    bool saveAs(bool flag) override;

private slots:
    bool saveObject(ModelObject* obj) override;
    bool loadObject(ModelObject* obj) override;

private:
    bool deleteAll(QString* error);
    bool write(QString* error);

    std::unique_ptr<HmiCfgModelPrivate> d;
};

class DATAMODEL_EXPORT HmiCfgModel::HmiTable : public ModelObject
{
    Q_OBJECT
public:
    explicit HmiTable(HmiCfgModel* model);

    // Marks the list modified and raises dataChanged(this, "HmiCfgEitorView", "").
    void setDataChange();
};
