// exec: the commands of the auxiliary tables (soft component comments, watch lists, the HMI
// list) and the background save of the POUs' display order.
#include "ExecSession.h"
#include "ProjectSession.h"

#include "datamodel/auxiliary/HmiCfgModel.h"
#include "datamodel/auxiliary/SoftComponentModel.h"
#include "datamodel/auxiliary/WatchListModel.h"
#include "datamodel/model/DataHandleWorkInstance.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/project/AbstractPlcProjectModel.h"
#include "datamodel/undo/ModelCommand.h"
#include "datamodel/undo/ProjectModelStack.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QRegularExpression>
#include <QSemaphore>

#include <map>
#include <memory>

namespace plcproj {

namespace {

using Info = SoftComponentModel::SoftComponentInfo;

const QStringList typeNames = {"INT", "REAL", "DINT", "LREAL"};
// How long rows waits for the background worker.
constexpr int rowsTimeoutMs = 60000;

bool parseNumber(const QString& letter, const QString& text, int& number, QString* error)
{
    const SoftComponentModel::AddressRange range = SoftComponentModel::addressRange(letter);
    if (range.count == 0) {
        *error = QStringLiteral("no soft component letter '%1' (letters: %2)")
                     .arg(letter, SoftComponentModel::letters().join(", "));
        return false;
    }
    if (!SoftComponentModel::isAddressName(letter + text)) {
        *error = QStringLiteral("%1%2 is no address: %1 numbers run from %3 to %4 in radix %5")
                     .arg(letter, text, QString::number(range.first, range.radix),
                          QString::number(range.first + range.count - 1, range.radix))
                     .arg(range.radix);
        return false;
    }
    number = text.toInt(nullptr, range.radix);
    return true;
}

QString name(const QString& letter, int number)
{
    return letter + QString::number(number, SoftComponentModel::addressRange(letter).radix);
}

} // namespace

bool ExecSession::isAuxiliary(const QStringList& words)
{
    static const QStringList verbs = {"comment", "snap", "ctype", "watch", "hmi", "rows"};
    static const QStringList lists = {"comments", "watch", "hmi"};
    return verbs.contains(words.value(0)) || (words.value(0) == "list" && lists.contains(words.value(1)));
}

bool ExecSession::auxiliary(const QStringList& words, QString* error)
{
    const QString verb = words.value(0);
    if (verb == "comment" || verb == "snap" || verb == "ctype")
        return softComponent(words, error);
    if (verb == "watch")
        return watch(words, error);
    if (verb == "hmi")
        return hmi(words, error);
    if (verb == "rows")
        return rows(words, error);
    const QString what = words.value(1);
    if (what == "comments")
        return listComments(words, error);
    if (what == "watch")
        return listWatch(words, error);
    return listHmi(words, error);
}

bool ExecSession::softComponent(const QStringList& words, QString* error)
{
    auto* model = m_project->subModel<SoftComponentModel>();
    if (!model) {
        *error = QStringLiteral("a library project has no soft components");
        return false;
    }
    const QString verb = words[0];
    if (verb == "comment") {
        if (words.size() != 3) {
            *error = QStringLiteral("comment needs ADDRESS TEXT (D100, D100.3 for a bit of D, X17)");
            return false;
        }
        if (!model->insertSoftCommentComment(words[1], words[2])) {
            *error = QStringLiteral("'%1' takes no comment: an address such as D100, X17 (octal), or D100.3 for a bit of D")
                         .arg(words[1]);
            return false;
        }
        report(QStringLiteral("%1: %2").arg(words[1].toUpper(), words[2]),
               QJsonObject{{"command", "comment"}, {"address", words[1].toUpper()}, {"comment", words[2]}});
        return true;
    }
    if (words.size() != 4) {
        *error = verb == "snap" ? QStringLiteral("snap needs LETTER NUMBER TEXT")
                                : QStringLiteral("ctype needs LETTER NUMBER INT|REAL|DINT|LREAL");
        return false;
    }
    const QString letter = words[1].toUpper();
    int number = 0;
    if (!parseNumber(letter, words[2], number, error))
        return false;
    const QString address = name(letter, number);
    if (verb == "snap") {
        if (!model->insertSoftComponentSnap(letter, number, words[3])) {
            *error = QStringLiteral("the snapshot of %1 was refused (see the log)").arg(address);
            return false;
        }
        report(QStringLiteral("%1 snapshot: %2").arg(address, words[3]),
               QJsonObject{{"command", "snap"}, {"address", address}, {"snapshot", words[3]}});
        return true;
    }
    const int type = typeNames.indexOf(words[3].toUpper());
    if (type < 0) {
        *error = QStringLiteral("ctype takes INT, REAL, DINT or LREAL, not '%1'").arg(words[3]);
        return false;
    }
    if (letter != "D") {
        *error = QStringLiteral("only D addresses keep a data type, not %1").arg(address);
        return false;
    }
    if (model->isOccupied(letter, number)) {
        int start = number - 1;
        while (start > number - 3 && model->getSoftComponentType(letter, start) == SoftComponentModel::INT)
            --start;
        *error = QStringLiteral("%1 is occupied by the %2 value that starts at %3")
                     .arg(address, typeNames.value(model->getSoftComponentType(letter, start)), name(letter, start));
        return false;
    }
    if (!model->getValideTypelist(letter, number).contains(typeNames[type])) {
        const int span = type == SoftComponentModel::LREAL ? 4 : 2;
        *error = QStringLiteral("%1 at %2 needs %3 to %4 free (no type of their own, not inside another value, "
                                "inside the range)")
                     .arg(typeNames[type], address, name(letter, number + 1), name(letter, number + span - 1));
        return false;
    }
    model->insertSoftComponentType(letter, number, static_cast<SoftComponentModel::SoftComponentType>(type));
    report(QStringLiteral("%1 type: %2").arg(address, typeNames[type]),
           QJsonObject{{"command", "ctype"}, {"address", address}, {"type", typeNames[type]}});
    return true;
}

bool ExecSession::listComments(const QStringList& words, QString* error)
{
    auto* model = m_project->subModel<SoftComponentModel>();
    const QString only = words.value(2).toUpper();
    if (!model || words.size() > 3 || (!only.isEmpty() && !SoftComponentModel::letters().contains(only))) {
        *error = model ? QStringLiteral("list comments takes one of the letters %1").arg(SoftComponentModel::letters().join(", "))
                       : QStringLiteral("a library project has no soft components");
        return false;
    }
    QJsonArray items;
    for (const QString& letter : SoftComponentModel::letters()) {
        if (!only.isEmpty() && letter != only)
            continue;
        const QMap<int, Info> infos = model->getSoftCommentInfos(letter);
        for (auto it = infos.cbegin(); it != infos.cend(); ++it) {
            const QString address = name(letter, it.key());
            QJsonObject bits;
            for (auto bit = it->bitComments.cbegin(); bit != it->bitComments.cend(); ++bit)
                bits.insert(QString::number(bit.key()), bit.value());
            items.append(QJsonObject{{"address", address}, {"comment", it->comment}, {"snapshot", it->snapshot},
                                     {"type", typeNames.value(it->type)}, {"bits", bits}});
            if (m_out.json())
                continue;
            QString line = address;
            if (it->type != SoftComponentModel::INT)
                line += " [" + typeNames.value(it->type) + "]";
            if (!it->snapshot.isEmpty())
                line += " = " + it->snapshot;
            m_out.line(line + (it->comment.isEmpty() ? QString() : ": " + it->comment));
            for (auto bit = it->bitComments.cbegin(); bit != it->bitComments.cend(); ++bit)
                m_out.line(QStringLiteral("%1.%2: %3").arg(address).arg(bit.key()).arg(bit.value()));
        }
    }
    if (m_out.json())
        m_results.append(QJsonObject{{"command", "list"}, {"kind", "comments"}, {"items", items}});
    return true;
}

bool ExecSession::watch(const QStringList& words, QString* error)
{
    auto* model = m_project->subModel<WatchListModel>();
    if (!model) {
        *error = QStringLiteral("a library project has no watch lists");
        return false;
    }
    const QString usage = QStringLiteral("watch takes: add LIST | rm LIST | rename OLD NEW | LIST add VAR | LIST rm VAR|INDEX");
    const QString verb = words.value(1);
    QJsonObject result{{"command", "watch"}};
    QString text;
    if (verb == "add" && words.size() == 3) {
        if (!model->appendWatchList(words[2])) {
            *error = model->getLastError();
            return false;
        }
        m_stack->pushCommand(new ModelInsertCommand(model->getObject(words[2]), model));
        text = QStringLiteral("added watch list %1 (id %2)").arg(words[2]).arg(model->getObject(words[2])->getID());
    } else if (verb == "rm" && words.size() == 3) {
        WatchListObject* list = model->getObject(words[2]);
        if (!list) {
            *error = QStringLiteral("no watch list named '%1'").arg(words[2]);
            return false;
        }
        auto* command = new ModelRemoveCommand(list, model);
        QString data;
        if (!model->removeObject(model->getObjPath(list), data)) {
            delete command;
            *error = QStringLiteral("watch list '%1' could not be removed").arg(words[2]);
            return false;
        }
        m_stack->pushCommand(command);
        text = QStringLiteral("removed watch list %1").arg(words[2]);
    } else if (verb == "rename" && words.size() == 4) {
        WatchListObject* list = model->getObject(words[2]);
        if (!list || !model->renameWatchList(words[2], words[3])) {
            *error = list ? model->getLastError() : QStringLiteral("no watch list named '%1'").arg(words[2]);
            return false;
        }
        m_stack->pushCommand(new ModelRenameCommand(list, model, words[2], words[3]));
        text = QStringLiteral("renamed watch list %1 to %2").arg(words[2], words[3]);
    } else if (words.size() == 4 && (words[2] == "add" || words[2] == "rm")) {
        WatchListObject* list = model->getObject(verb);
        if (!list) {
            *error = QStringLiteral("no watch list named '%1'").arg(verb);
            return false;
        }
        // Variable names never start with a digit: a number is a position in the list.
        static const QRegularExpression index(QStringLiteral("^\\d+$"));
        bool done = false;
        if (words[2] == "add")
            done = list->appendVariable(words[3]);
        else if (index.match(words[3]).hasMatch())
            done = list->removeVariable(words[3].toInt());
        else
            done = list->removeVariable(words[3]);
        if (!done) {
            *error = QStringLiteral("watch list %1 has no variable %2").arg(verb, words[3]);
            return false;
        }
        text = QStringLiteral("watch list %1: %2 variable(s)").arg(verb).arg(list->variableCount());
    } else {
        *error = usage;
        return false;
    }
    result.insert("words", QJsonArray::fromStringList(words.mid(1)));
    report(text, result);
    return true;
}

bool ExecSession::listWatch(const QStringList& words, QString* error)
{
    auto* model = m_project->subModel<WatchListModel>();
    if (!model || words.size() > 3) {
        *error = model ? QStringLiteral("list watch takes at most one LIST") : QStringLiteral("a library project has no watch lists");
        return false;
    }
    QJsonArray items;
    if (words.size() == 3) {
        WatchListObject* list = model->getObject(words[2]);
        if (!list) {
            *error = QStringLiteral("no watch list named '%1'").arg(words[2]);
            return false;
        }
        for (int i = 0; i < list->variableCount(); ++i) {
            items.append(list->getVariableName(i));
            if (!m_out.json())
                m_out.line(QStringLiteral("%1 %2").arg(i).arg(list->getVariableName(i)));
        }
    } else {
        for (const QString& listName : model->getWatchListNames()) {
            WatchListObject* list = model->getObject(listName);
            items.append(QJsonObject{{"id", int(list->getID())}, {"name", listName}, {"variables", list->variableCount()}});
            if (!m_out.json())
                m_out.line(QStringLiteral("%1 (%2 variables)").arg(listName).arg(list->variableCount()));
        }
    }
    if (m_out.json())
        m_results.append(QJsonObject{{"command", "list"}, {"kind", "watch"}, {"items", items}});
    return true;
}

bool ExecSession::hmi(const QStringList& words, QString* error)
{
    auto* model = m_project->subModel<HmiCfgModel>();
    bool ok = false;
    const int index = words.value(2).toInt(&ok);
    const bool set = words.value(1) == "set" && words.size() == 4;
    if (!model || !ok || index < 0 || !(set || (words.value(1) == "rm" && words.size() == 3))) {
        *error = model ? QStringLiteral("hmi takes: set INDEX NAME | rm INDEX (INDEX from 0)")
                       : QStringLiteral("a library project has no HMI list");
        return false;
    }
    QString text;
    if (set) {
        if (model->checkVarNameExits(index, words[3])) {
            *error = QStringLiteral("'%1' is in the HMI list already").arg(words[3]);
            return false;
        }
        const int at = model->insertVarFullNames(index, words[3]);
        text = QStringLiteral("HMI %1: %2").arg(at).arg(words[3]);
    } else {
        if (index > model->getMaxIndex()) {
            *error = QStringLiteral("the HMI list has no index %1").arg(index);
            return false;
        }
        model->removeVarFullNames(index);
        text = QStringLiteral("HMI list: %1 variable(s)").arg(model->getMaxIndex() + 1);
    }
    report(text, QJsonObject{{"command", "hmi"}, {"words", QJsonArray::fromStringList(words.mid(1))}});
    return true;
}

bool ExecSession::listHmi(const QStringList& words, QString* error)
{
    auto* model = m_project->subModel<HmiCfgModel>();
    if (!model || words.size() != 2) {
        *error = model ? QStringLiteral("list hmi takes no argument") : QStringLiteral("a library project has no HMI list");
        return false;
    }
    QJsonArray items;
    const QMap<int, QString> names = model->getAllVarFullNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        items.append(it.value());
        if (!m_out.json())
            m_out.line(QStringLiteral("%1 %2").arg(it.key()).arg(it.value()));
    }
    if (m_out.json())
        m_results.append(QJsonObject{{"command", "list"}, {"kind", "hmi"}, {"items", items}});
    return true;
}

bool ExecSession::rows(const QStringList& words, QString* error)
{
    auto* pous = m_project->subModel<PouModel>();
    std::map<int, int> rows;
    std::map<int, QString> names;
    for (const QString& word : words.mid(1)) {
        const QStringList pair = word.split('=');
        bool ok = pair.size() == 2;
        const int row = ok ? pair[1].toInt(&ok) : 0;
        PouModel::PouUnit* pou = ok ? pous->pou(pair[0]) : nullptr;
        if (!ok || !pou) {
            *error = ok ? QStringLiteral("no pou named '%1'").arg(pair[0])
                        : QStringLiteral("rows takes POU=ROW ..., not '%1'").arg(word);
            return false;
        }
        rows[int(pou->id())] = row;
        names[int(pou->id())] = QString::fromStdString(pou->name());
    }
    if (rows.empty()) {
        *error = QStringLiteral("rows needs POU=ROW ...");
        return false;
    }
    // The worker reports through a signal raised on its own thread; this thread waits for it
    // without holding the project, which the worker takes from the registry. The report lives
    // as long as the connection's copy of it, even past a time-out.
    struct Report
    {
        QSemaphore done;
        QMutex mutex;
        QMap<int, int> outcomes;
        bool found = false;
    };
    const auto report = std::make_shared<Report>();
    const QString project = QString::fromStdString(m_session.name());
    auto& instance = DataHandleWorkInstance::getInstance();
    const auto connection = QObject::connect(
        &instance, &DataHandleWorkInstance::dataSaved, &instance,
        [report, project](const QString& name, bool projectFound, const QMap<int, int>& result) {
            if (name != project)
                return;
            {
                QMutexLocker lock(&report->mutex);
                report->outcomes = result;
                report->found = projectFound;
            }
            report->done.release();
        },
        Qt::DirectConnection);
    const bool queued = instance.timeConsumDataSave(m_session.name(), rows, DataHandleWorkInstance::PouDisplayOrder);
    const bool finished = queued && report->done.tryAcquire(1, rowsTimeoutMs);
    QObject::disconnect(connection);
    if (!finished) {
        *error = queued ? QStringLiteral("the background worker did not finish the display order in time")
                        : QStringLiteral("the host has no background transaction service");
        return false;
    }
    QMutexLocker lock(&report->mutex);
    if (!report->found) {
        *error = QStringLiteral("the worker found no project '%1'").arg(project);
        return false;
    }
    const QMap<int, int> outcomes = report->outcomes;
    static const QStringList outcomeText = {"stored", "pending (the POU has not been saved yet)", "no such POU",
                                       "skipped (negative row)", "failed (see the log)"};
    QJsonArray items;
    bool failed = false;
    for (const auto& [id, row] : rows) {
        const int outcome = outcomes.value(id, DataHandleWorkInstance::RowFailed);
        failed = failed || outcome == DataHandleWorkInstance::RowFailed;
        items.append(QJsonObject{{"pou", names[id]}, {"row", row}, {"outcome", outcomeText.value(outcome)}});
        if (!m_out.json())
            m_out.line(QStringLiteral("%1 row %2: %3").arg(names[id]).arg(row).arg(outcomeText.value(outcome)));
    }
    if (m_out.json())
        m_results.append(QJsonObject{{"command", "rows"}, {"items", items}});
    if (failed)
        *error = QStringLiteral("a display row could not be stored (see the log)");
    return !failed;
}

} // namespace plcproj
