#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/ModelObject.h"

#include <QByteArray>
#include <QJsonArray>
#include <QString>

#include <string>

class WatchListModel;

// One watch list: a named list of variable names that the IDE shows with their online values.
// The variables are kept as the JSON array of the ListData column, one object per variable
// with at least "VarName"; other members of those objects are kept as they came.
//
// Signals (ModelObject::dataChanged): "variableChanged" with the variable's index in decimal
// when a variable was appended or given a new name, "variableRemoved" with the index when one
// was removed.
class DATAMODEL_EXPORT WatchListObject : public ModelObject
{
    Q_OBJECT
public:
    // `listData` that is no JSON array gives an empty list.
    WatchListObject(unsigned int id, const QString& name, const QByteArray& listData, WatchListModel* model);
    ~WatchListObject() override;

    unsigned int getID() const { return m_id; }
    unsigned int id() const { return m_id; }
    QString getName() const { return m_name; }
    std::string name() const { return m_name.toStdString(); }
    // False, and the name stays, when another list of the model has the name (in any case).
    bool rename(const std::string& name);

    int variableCount() const { return m_variables.size(); }
    bool appendVariable(const QString& name);
    // Removes the first variable of that name; false when there is none.
    bool removeVariable(const QString& name);
    // False when the index lies outside the list.
    bool removeVariable(int index);
    // Empty for an index outside the list.
    QString getVariableName(int index) const;
    // False, and nothing changes, for an index outside the list.
    bool setVariableName(int index, const QString& name);
    // The list as compact JSON.
    QByteArray getListData() const;
    // Replaces the list; text that is no JSON array gives an empty list.
    void setListData(const QByteArray& listData);

    // Free text, stored unchanged.
    QString getPropertys() const { return m_properties; }
    void setPropertys(const QString& properties);

private:
    unsigned int m_id;
    QString m_name;
    QJsonArray m_variables;
    QString m_properties;
};
