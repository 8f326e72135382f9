#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/TableSubModel.h"
#include "datamodel/motion/EcamData.h"
#include "datamodel/motion/MotionObject.h"

#include <QMap>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include <memory>
#include <string>
#include <vector>

class EcamModelPrivate;

// The electronic cam tables of a project (tables EcamTable and EcamPoints): ordered key points
// that relate a master axis position to a slave axis position. Each table declares a
// CAM_TABLE_REF variable of its name in the hidden list "EcamVars". Point ids are unique
// within the project. Key points are exchanged with CSV files that the user chooses, and read
// from the controller's binary cam configuration.
class DATAMODEL_EXPORT EcamModel : public TableSubModel<EcamModel>
{
    Q_OBJECT
public:
    class EcamTable;
    using Object = EcamTable;

    EcamModel(const std::string& name, AbstractProjectModel* project);
    ~EcamModel() override;

    // A new table without points or properties; null, with lastError() saying why, when the
    // name is taken or its variable cannot be declared.
    EcamTable* addEcamTable(const QString& name);
    bool removeEcamTable(EcamTable* table);
    bool renameEcamTable(unsigned int id, const QString& name);
    void allEcamTables(std::vector<EcamTable*>& out) const;
    EcamTable* ecamTable(unsigned int id) const;
    EcamTable* ecamTable(const QString& name) const;
    QString lastError() const;
    bool resetModel(QSqlDatabase*) { return true; }
    // Declares the variables of the stored hidden list in the project's compiler core; open()
    // does it when the core exists, the project once it has set its core up.
    bool loadVariables();
    // Makes the hidden list of `project` declare exactly the variables of `names`, in this
    // order: for cam tables that reach the file as rows (an imported project), not one by one.
    // False, with `error` saying why, when a name cannot be declared.
    static bool declareVariables(AbstractProjectModel* project, const std::vector<std::string>& names, QString* error);

    // Takes the first unused point id; INVALID_ID when none is left.
    unsigned int getPointUnusedId();
    // The controller's limit of cam tables (and of points per table); 0 without a description.
    int getEcamTableMax() const;
    int getEcamPointMax() const;
    QString getDeviceName() const;
    // Reads the device type id of cam tables from the controller's description.
    void updateDeviceEcamInfo();
    unsigned int ecamTypeId() const;

    // Asks for a file (save dialog "Save File") and writes the points as CSV; false when no
    // file was chosen or it could not be written (a message box says which).
    bool exportEcamCSV(QVector<EcamData>& points);
    // Asks for a file (open dialog "Open File") and reads its points into `points`; false when
    // no file was chosen, it could not be read, its content is not a cam table or it holds too
    // many points (a message box says which).
    bool importEcamCSV(QVector<EcamData>& points);
    // Reads the tables of a binary cam configuration file; false, with a message box, when the
    // file cannot be opened or is malformed.
    bool parsingCfgFile(QString& path, QVector<QPair<QString, QVector<EcamData>>>& tables);

    // The points JSON: {"points":[{"ID":id,"EcamData":{...}}, ...]}, compact.
    static QString pointsToJson(const std::vector<EcamPointData>& points);
    static bool pointsFromJson(const QString& json, std::vector<EcamPointData>& points);

public slots:
    bool open() override;
    bool save() override;
    bool renameObject(const QString& path, const QString& name) override;
    // Re-reads one table and its points from the file.
    bool loadObject(ModelObject* obj) override;
    // Key "points": replaces the table's points with those of the points JSON `to`; any
    // other key sets that property.
    bool changeProperty(const QString& path, const QString& key, const QString& from, const QString& to) override;

private:
    friend class EcamTable;
    DATAMODEL_TABLE_HOOKS(EcamModel, EcamTable)
    bool removeFromModel(EcamTable* table) { return removeEcamTable(table); }
    QString indexOf(const EcamTable& table) const;
    bool moveTo(EcamTable& table, const QString& index);
    bool writeRow(EcamTable* table);
    void markModified() const;
    void setProjectModify(const EcamTable* table) const;
    void releasePoints(const EcamTable& table);
    // Gives `points` ids of their own: an id another table holds is replaced by a free one.
    bool claimPointIds(std::vector<EcamPointData>& points);
    bool readPoints();
    void message(const QString& text) const;

    std::unique_ptr<EcamModelPrivate> d;
};

extern template class TableSubModel<EcamModel>;

class DATAMODEL_EXPORT EcamModel::EcamTable : public MotionObject
{
public:
    EcamTable(unsigned int id, const std::string& name, SubModel* owner);

    bool setProperty(const QString& key, const QString& value);
    bool rename(const std::string& name);

    // Inserts a point before position `index` (0 to the number of points) under a new id.
    bool addPoint(int index, const EcamData& data);
    // Removes the point at `index`; the first point (index 0) stays, and an index past the
    // last point is refused.
    bool deletePoint(int index);
    // Replaces the data of the points at the given positions, keeping their ids; nothing
    // changes when any position is outside the list.
    bool modifyPoint(const QMap<int, EcamData>& points);
    std::vector<EcamPointData> getAllPoint() const { return m_points; }
    QVector<EcamData> getAllCamPoint() const;
    int pointCount() const { return static_cast<int>(m_points.size()); }

private:
    friend class EcamModel;
    EcamModel* owner() const;
    // Marks the table and the project and tells the views.
    void pointsChanged();

    std::vector<EcamPointData> m_points; // in row order
};
