// exec: the "dev" commands, edits of the device tree with their undo commands.
#include "ExecSession.h"

#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/device/DeviceTreeNode.h"
#include "datamodel/project/AbstractPlcProjectModel.h"
#include "datamodel/undo/ModelCommand.h"
#include "datamodel/undo/ProjectModelStack.h"

#include <QJsonObject>

namespace plcproj {

namespace {

const QString usage = QStringLiteral(
    "dev takes: add PARENT_ID TYPEID NAME | rm NODE_ID | set NODE_ID KEY VALUE | enable NODE_ID 0|1 | swap A_ID B_ID");

const std::map<QString, int> wordCounts = {{"add", 5}, {"rm", 3}, {"set", 5}, {"enable", 4}, {"swap", 4}};

DeviceTreeNode* node(DeviceTreeModel* tree, const QString& word, QString* error)
{
    bool ok = false;
    const unsigned int id = word.toUInt(&ok);
    DeviceTreeNode* found = ok ? tree->nodeById(id) : nullptr;
    if (!found)
        *error = QStringLiteral("no device with id '%1'").arg(word);
    return found;
}

std::vector<DeviceTreeNode*> withDescendants(DeviceTreeNode* top)
{
    std::vector<DeviceTreeNode*> out{top};
    for (std::size_t i = 0; i < out.size(); ++i)
        for (DeviceTreeNode* child : out[i]->getChildNodes())
            out.push_back(child);
    return out;
}

} // namespace

bool ExecSession::device(const QStringList& words, QString* error)
{
    const QString verb = words.value(1);
    auto count = wordCounts.find(verb);
    if (count == wordCounts.end() || words.size() != count->second) {
        *error = usage;
        return false;
    }
    auto* tree = m_project->subModel<DeviceTreeModel>();
    if (!tree || !tree->getRootNode()) {
        *error = QStringLiteral("the project has no device tree");
        return false;
    }
    DeviceTreeNode* target = node(tree, words[2], error);
    if (!target)
        return false;
    QJsonObject result{{"command", "dev"}, {"action", verb}, {"id", int(target->getID())}};
    QString text;
    if (verb == "add") {
        DeviceTreeNode* added = tree->addNode(target, words[3], words[4]);
        if (!added) {
            *error = tree->getLastError();
            return false;
        }
        m_stack->pushCommand(new ModelInsertCommand(added, tree));
        result.insert("added", int(added->getID()));
        text = QStringLiteral("added %1 %2 (id %3) under %4")
                   .arg(words[3], words[4])
                   .arg(added->getID())
                   .arg(target->getID());
    } else if (verb == "rm") {
        if (target == tree->getRootNode()) {
            *error = QStringLiteral("the controller cannot be removed (convert it instead)");
            return false;
        }
        auto* command = new ModelRemoveCommand(target, tree);
        QString data;
        if (!tree->removeObject(tree->getObjPath(target), data)) {
            delete command;
            *error = QStringLiteral("device %1 could not be removed").arg(words[2]);
            return false;
        }
        m_stack->pushCommand(command);
        text = QStringLiteral("removed device %1").arg(words[2]);
    } else if (verb == "set") {
        const QString from = target->getNodeProperty(words[3]);
        target->setNodeProperty(words[3], words[4]);
        // A display name in use elsewhere was made unique: the command records what was set.
        const QString to = target->getNodeProperty(words[3]);
        m_stack->pushCommand(new ModelModifyCommand(target, tree, words[3], from, to));
        result.insert("value", to);
        text = QStringLiteral("device %1: %2 = %3").arg(words[2], words[3], to);
    } else if (verb == "enable") {
        if (words[3] != "0" && words[3] != "1") {
            *error = QStringLiteral("enable takes 0 or 1");
            return false;
        }
        // One command per node that changes, so that undo gives each its own state back.
        const std::vector<DeviceTreeNode*> nodes = withDescendants(target);
        // The state as "1" or "0": a node without the key is enabled, and undo must say so.
        auto state = [](const DeviceTreeNode* n) { return n->getEnable() ? QStringLiteral("1") : QStringLiteral("0"); };
        std::vector<QString> before;
        for (DeviceTreeNode* n : nodes)
            before.push_back(state(n));
        target->setEnable(words[3] == "1");
        m_stack->beginGroup();
        for (std::size_t i = 0; i < nodes.size(); ++i)
            if (before[i] != state(nodes[i]))
                m_stack->pushCommand(new ModelModifyCommand(nodes[i], tree, "Enable", before[i], state(nodes[i])));
        m_stack->endGroup();
        text = QStringLiteral("device %1 and its %2 descendant(s): Enable = %3").arg(words[2]).arg(nodes.size() - 1).arg(words[3]);
    } else { // swap
        DeviceTreeNode* other = node(tree, words[3], error);
        if (!other)
            return false;
        DeviceTreeNode* parent = target->getParentNode();
        if (!parent || other->getParentNode() != parent || other == target) {
            *error = QStringLiteral("devices %1 and %2 are not two children of one parent").arg(words[2], words[3]);
            return false;
        }
        const QString fromA = tree->getObjIndex(target), fromB = tree->getObjIndex(other);
        parent->swapChildNode(target, other);
        m_stack->beginGroup();
        m_stack->pushCommand(new ModelMoveCommand(target, tree, fromA, tree->getObjIndex(target)));
        m_stack->pushCommand(new ModelMoveCommand(other, tree, fromB, tree->getObjIndex(other)));
        m_stack->endGroup();
        text = QStringLiteral("swapped devices %1 and %2").arg(words[2], words[3]);
    }
    report(text, result);
    return true;
}

} // namespace plcproj
