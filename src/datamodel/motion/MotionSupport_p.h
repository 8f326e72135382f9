#pragma once

#include <QJsonObject>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <set>
#include <string>
#include <vector>

class AbstractProjectModel;
class MotionObject;

namespace ac {
class ACCore;
class VarContainer;
} // namespace ac

// One hidden global variable list of a user project in which a motion model declares one
// variable per object ("HiddenAxisVar" with AXIS_REF, ...). The list's stored declaration is
// the truth: every change parses it into the project's compiler core, changes the variable
// there, renders the list again, stores the text in the list and queues the list on the
// symbol synchroniser. Nothing changes when a step fails.
class HiddenVariables
{
public:
    HiddenVariables(const char* list, const char* type) : m_list(list), m_type(type) {}

    const char* list() const { return m_list; }
    const char* type() const { return m_type; }

    // False with `error` saying why (no list, no core, no such type, a name the core refuses).
    bool declare(AbstractProjectModel* project, const std::string& name, QString* error) const;
    bool remove(AbstractProjectModel* project, const std::string& name, QString* error) const;
    // Keeps the variable's position in the list.
    bool rename(AbstractProjectModel* project, const std::string& from, const std::string& to, QString* error) const;
    // Makes the list declare exactly `names`, in this order, whatever it declared before: for
    // objects that reach the file as rows (an imported project) rather than one by one.
    bool declareExactly(AbstractProjectModel* project, const std::vector<std::string>& names, QString* error) const;
    // Parses the stored list into the core, so that the core knows the variables of the
    // objects just read; false without a core or a list.
    bool load(AbstractProjectModel* project) const;

private:
    using Edit = std::function<bool(ac::ACCore&, ac::VarContainer&, QString*)>;
    bool change(AbstractProjectModel* project, const Edit& edit, QString* error) const;

    const char* m_list;
    const char* m_type;
};

namespace motion {

// The controller of the project's device tree (its root name), trimmed and upper-cased; empty
// without a device tree.
QString deviceName(const AbstractProjectModel* project);
// Whether changes of motion objects in `project` call for recompilation: user projects only.
bool isUserProject(const AbstractProjectModel* project);
// Device tree ids for motion objects; 0 when the project has no device tree.
unsigned int takeDeviceId(AbstractProjectModel* project);
void backDeviceId(AbstractProjectModel* project, unsigned int id);
// The smallest non-negative number not in `used`.
int smallestFree(const std::set<int>& used);

// The rows of the tables that hold motion objects: ID, NAME, PROPERTIES.
struct Row
{
    unsigned int id = 0;
    std::string name;
    QString properties;
};
QString selectAll(const QString& table);
QString selectOne(const QString& table); // the id bound to the one "?"
QStringList columns();
QVector<QVariant> values(const MotionObject& object);
Row read(const QSqlQuery& query);
// Object data: "ID", "NAME" and "PROPERTIES".
QJsonObject data(const MotionObject& object);

} // namespace motion
