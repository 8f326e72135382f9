// plcproj device: the device tree of a user project, and its conversion to another controller.
#include "Command.h"
#include "ProjectSession.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/device/DeviceTreeNode.h"
#include "datamodel/project/AbstractPlcProjectModel.h"

#include <QJsonArray>
#include <QJsonObject>

namespace plcproj {

namespace {

const QStringList limitKeys = {"MaxChildCount", "MaxPower", "Power"};

// One node per line, children indented below their parent:
//   ID TYPE NAME NodeIndex=N Enable=E [MaxChildCount=..] [MaxPower=..] [Power=..]
void printTree(const DeviceTreeNode* node, const Output& out, int depth)
{
    QString line = QStringLiteral("%1%2 %3 %4 NodeIndex=%5 Enable=%6")
                       .arg(QString(depth * 2, QLatin1Char(' ')))
                       .arg(node->getID())
                       .arg(node->getTypeID(), node->getName(), node->getNodeProperty("NodeIndex", "-"))
                       .arg(node->getEnable() ? 1 : 0);
    for (const QString& key : limitKeys)
        if (node->containProperty(key))
            line += QStringLiteral(" %1=%2").arg(key, node->getNodeProperty(key));
    out.line(line);
    for (const DeviceTreeNode* child : node->getChildNodes())
        printTree(child, out, depth + 1);
}

QJsonObject treeJson(const DeviceTreeNode* node)
{
    QJsonObject object{{"id", int(node->getID())},
                       {"type", node->getTypeID()},
                       {"name", node->getName()},
                       {"displayName", node->getNodeProperty("DisplayName")},
                       {"nodeIndex", node->getNodeProperty("NodeIndex")},
                       {"enable", node->getEnable()}};
    for (const QString& key : limitKeys)
        if (node->containProperty(key))
            object.insert(key, node->getNodeProperty(key));
    QJsonArray children;
    for (const DeviceTreeNode* child : node->getChildNodes())
        children.append(treeJson(child));
    object.insert("children", children);
    return object;
}

int convert(ProjectSession& session, DeviceTreeModel& tree, const QString& newType, bool yes, const Output& out)
{
    if (!DevDescription::instance()->describeList(QStringLiteral("PLCDeviceNode")).contains(newType)) {
        Output::error(QStringLiteral("unknown controller '%1'").arg(newType));
        return Failure;
    }
    QMap<QString, QString> topics = tree.typeDiffCompare(tree.getRootName(), newType);
    tree.getRemoveDevString(tree.getRootNode(), topics);
    QJsonObject topicsJson;
    for (auto it = topics.begin(); it != topics.end(); ++it) {
        topicsJson.insert(it.key(), it.value());
        if (!out.json())
            out.line(it.key() + QStringLiteral(": ") + it.value());
    }
    QJsonObject result{{"from", tree.getRootName()}, {"to", newType}, {"topics", topicsJson}, {"converted", false}};
    if (!yes) {
        if (out.json())
            out.document(result);
        else
            out.line(QStringLiteral("nothing converted: run again with --yes to convert %1 to %2")
                         .arg(tree.getRootName(), newType));
        return Ok;
    }
    if (!tree.updateRoot(newType)) {
        Output::error(tree.getLastError());
        return Failure;
    }
    if (!session.model()->save()) {
        Output::error(session.saveFailure());
        return Failure;
    }
    result.insert("converted", true);
    if (out.json())
        out.document(result);
    else
        out.line(QStringLiteral("converted to %1").arg(newType));
    return Ok;
}

} // namespace

int runDevice(const Arguments& args, const Output& out)
{
    const QString action = args.positional(1);
    const bool tree = action == "tree" && args.positional().size() == 2;
    const bool converting = action == "convert" && args.positional().size() == 3;
    if (!tree && !converting) {
        Output::error(QStringLiteral("device takes PROJECT tree or PROJECT convert NEWTYPE [--yes]"));
        return Usage;
    }
    QString error;
    auto session = ProjectSession::open(args.positional(0), args,
                                        converting ? ProjectSession::Access::Writable : ProjectSession::Access::ReadOnly,
                                        &error);
    if (!session) {
        Output::error(error);
        return Failure;
    }
    auto* model = session->model()->subModel<DeviceTreeModel>();
    if (!model || !model->getRootNode()) {
        Output::error(QStringLiteral("%1 has no device tree").arg(session->location().databaseFile));
        return Failure;
    }
    if (converting)
        return convert(*session, *model, args.positional(2), args.has("yes"), out);
    if (out.json())
        out.document(treeJson(model->getRootNode()));
    else
        printTree(model->getRootNode(), out, 0);
    return Ok;
}

} // namespace plcproj
