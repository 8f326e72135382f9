#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/ObjectProperties.h"
#include "datamodel/model/TableSubModel.h"

#include <QSqlDatabase>
#include <QString>

#include <map>
#include <memory>
#include <string>
#include <vector>

// The trace configurations of a user project (table Trace): named sets of variables that the
// front end records from the running controller and draws as curves. Names, keys and values
// are UTF-8. Traces declare no variables and do not call for recompilation.
class DATAMODEL_EXPORT TraceModel : public TableSubModel<TraceModel>
{
    Q_OBJECT
public:
    class TraceTable;
    using Object = TraceTable;

    struct TraceVarProperty
    {
        std::string VarName;
        bool ActiveDrawing = false;
        int ColorIndex = 0;

        bool operator==(const TraceVarProperty& o) const
        {
            return VarName == o.VarName && ActiveDrawing == o.ActiveDrawing && ColorIndex == o.ColorIndex;
        }
    };

    TraceModel(const std::string& name, AbstractProjectModel* project);
    ~TraceModel() override;

    // A new trace without properties; null when no id is left.
    TraceTable* addTraceTable(const std::string& name);
    bool removeTraceTable(TraceTable* trace);
    void allTraceTables(std::vector<TraceTable*>& out) const;
    TraceTable* traceTable(unsigned int id) const;
    // The first trace in id order whose name equals `name` ignoring case.
    TraceTable* traceTable(const QString& name) const;
    bool resetModel(QSqlDatabase*) { return true; }

    // {"TraceVars":[{"VarName":..,"ActiveDrawing":..,"ColorIndex":..}, ...]}, indented.
    static std::string traceVars2JsonStr(const std::vector<TraceVarProperty>& vars);
    // Elements without a member read it as false / 0; unknown members are ignored.
    static std::vector<TraceVarProperty> jsonStr2TraceVars(const std::string& json);

public slots:
    // Key "TraceVars": replaces the variable list with that of the JSON `to`.
    bool changeProperty(const QString& path, const QString& key, const QString& from, const QString& to) override;

private:
    DATAMODEL_TABLE_HOOKS(TraceModel, TraceTable)
    bool removeFromModel(TraceTable* trace) { return removeTraceTable(trace); }
    QString indexOf(const TraceTable& trace) const;
    bool moveTo(TraceTable& trace, const QString& index);
    void markModified() const {}
};

extern template class TableSubModel<TraceModel>;

class DATAMODEL_EXPORT TraceModel::TraceTable : public ModelObject
{
public:
    TraceTable(unsigned int id, const std::string& name, SubModel* owner);

    unsigned int id() const { return m_id; }
    const std::string& name() const { return m_name; }
    std::map<std::string, std::string> propertys() const { return m_properties.map(); }
    std::string property(const std::string& key, const std::string& defaultValue = std::string()) const
    {
        return m_properties.value(key, defaultValue);
    }
    // "DownLoadNum" is a counter of the front end: it never marks the trace modified and
    // raises no signal. Other keys do both.
    bool setProperty(const std::string& key, const std::string& value);
    std::vector<TraceVarProperty> traceVarPropertys() const { return m_vars; }
    bool setTraceVarPropertys(const std::vector<TraceVarProperty>& vars);
    void appendTraceVar(const TraceVarProperty& item);
    bool rename(const std::string& name);

private:
    friend class TraceModel;
    // The Properties column: every property, "TraceVars" holding the variable list.
    QString propertiesJson() const;
    // Reads a Properties text; "DownLoadNum" starts at "0".
    void load(const QString& json);

    unsigned int m_id;
    std::string m_name;
    StringProperties m_properties;
    std::vector<TraceVarProperty> m_vars;
};
