// plcproj mem: the memory layout of a project's variables as an online change sees it: what
// keeps its place and value, what moves, what starts again from its declaration.
#include "Command.h"
#include "ProjectCheck.h"
#include "ProjectSession.h"

#include "datamodel/memory/LayoutText.h"
#include "datamodel/memory/OnlineChange.h"
#include "datamodel/memory/ProjectVarSerializer.h"
#include "datamodel/memory/SerializeData.h"
#include "datamodel/project/AbstractPlcProjectModel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

namespace plcproj {

namespace {

const char* sectionName(int section)
{
    static const char* const names[] = {"enum", "struct", "gvl", "fc", "fb", "prg"};
    return section >= 0 && section < SerializeData::SectionCount ? names[section] : "?";
}

QString changeText(const OnlineChange::Change& change)
{
    const QString kind = QString::fromLatin1(OnlineChange::kindName(change.kind));
    switch (change.kind) {
    case OnlineChange::Moved:
    case OnlineChange::Reinitialised:
    case OnlineChange::Located:
        return QStringLiteral("%1 %2->%3").arg(kind).arg(change.oldOffset).arg(change.newOffset);
    case OnlineChange::Kept:
    case OnlineChange::Added:
        return QStringLiteral("%1 %2").arg(kind).arg(change.newOffset);
    case OnlineChange::Removed:
        return QStringLiteral("%1 %2").arg(kind).arg(change.oldOffset);
    }
    return kind;
}

int show(const Output& out)
{
    SerializeData stored;
    ProjectVarSerializer& serializer = ProjectVarSerializer::getInstance();
    if (!serializer.parserProjectMemFile(stored)) {
        Output::error(serializer.lastError().isEmpty() ? QStringLiteral("the project has no stored memory layout")
                                                       : serializer.lastError());
        return Failure;
    }
    // The writer is canonical: the stored text is what it writes for the data read back.
    const QString text = QString::fromStdString(LayoutText::write(stored));
    if (out.json())
        out.document(QJsonObject{{"symbols", static_cast<int>(stored.symbols().size())}, {"text", text}});
    else
        std::fputs(text.toUtf8().constData(), stdout);
    return Ok;
}

void print(const OnlineChange& change, unsigned long long size, unsigned long long movable, bool fits, const Output& out)
{
    if (!out.json()) {
        for (const OnlineChange::Change& c : change.changes()) {
            if (c.member.empty())
                out.line(QStringLiteral("%1 %2: %3").arg(QLatin1String(sectionName(c.section)), QString::fromStdString(c.symbol),
                                                        QLatin1String(OnlineChange::kindName(c.kind))));
            else
                out.line(QStringLiteral("  %1.%2: %3").arg(QString::fromStdString(c.symbol), QString::fromStdString(c.member),
                                                          changeText(c)));
        }
        for (const std::string& member : change.blockers())
            out.line(QStringLiteral("download: an online change cannot carry %1 (its kind of type changed, or it has no place); a full download is needed")
                         .arg(QString::fromStdString(member)));
        out.line(QStringLiteral("copies: %1").arg(change.info().copies.size()));
        out.line(QStringLiteral("movable: %1 of %2 bytes: %3").arg(size).arg(movable).arg(fits ? "fits" : "does not fit"));
        return;
    }
    QJsonArray symbols;
    QJsonObject symbol;
    QJsonArray members;
    auto flush = [&]() {
        if (symbol.isEmpty())
            return;
        symbol.insert("members", members);
        symbols.append(symbol);
        symbol = QJsonObject();
        members = QJsonArray();
    };
    for (const OnlineChange::Change& c : change.changes()) {
        if (c.member.empty()) {
            flush();
            symbol = QJsonObject{{"section", sectionName(c.section)}, {"name", QString::fromStdString(c.symbol)},
                                 {"status", OnlineChange::kindName(c.kind)}};
            continue;
        }
        members.append(QJsonObject{{"name", QString::fromStdString(c.member)}, {"status", OnlineChange::kindName(c.kind)},
                                   {"old", static_cast<double>(c.oldOffset)}, {"new", static_cast<double>(c.newOffset)}});
    }
    flush();
    QJsonArray blockers;
    for (const std::string& member : change.blockers())
        blockers.append(QString::fromStdString(member));
    out.document(QJsonObject{{"symbols", symbols}, {"blockers", blockers},
                             {"copies", static_cast<double>(change.info().copies.size())},
                             {"size", static_cast<double>(size)}, {"movable", static_cast<double>(movable)},
                             {"fits", fits}});
}

} // namespace

int runMem(const Arguments& args, const Output& out)
{
    if (args.has("write") && args.has("show")) {
        Output::error(QStringLiteral("mem takes --write or --show, not both"));
        return Usage;
    }
    const bool write = args.has("write");
    QString error;
    auto session = ProjectSession::open(args.positional(0), args,
                                        write ? ProjectSession::Access::Writable : ProjectSession::Access::Checking, &error);
    if (!session) {
        Output::error(error);
        return Failure;
    }
    if (session->location().library) {
        Output::error(QStringLiteral("%1 is a library; only a user project has a memory layout").arg(session->location().databaseFile));
        return Failure;
    }
    if (args.has("show"))
        return show(out);

    if (ProjectCheck::hasErrors(ProjectCheck::run(session->name()))) {
        Output::error(QStringLiteral("the project does not compile (see plcproj check); no memory layout is made"));
        return Failure;
    }
    ProjectVarSerializer& serializer = ProjectVarSerializer::getInstance();
    SerializeData stored;
    if (!serializer.parserProjectMemFile(stored) && !serializer.lastError().isEmpty()
        && QFile::exists(session->location().folder + "/project.mem")) {
        Output::error(serializer.lastError());
        return Failure;
    }
    SerializeData current;
    serializer.getCurrentSerializeData(current);
    const OnlineChange change(stored, current);
    unsigned long long size = change.layout().movableByteSize();
    const bool fits = serializer.checkMovable(size);
    print(change, size, serializer.getMovable(), fits, out);
    if (!write)
        return Ok;

    ac::PrjMemAllSymbolInfo info = change.info();
    serializer.setACCoreProjectMemInfo(info);
    std::string text = LayoutText::write(change.layout());
    if (!serializer.setProjectMemContextToPrjInfoModel(text) || !serializer.creatProjectMemFile()) {
        Output::error(QStringLiteral("writing the memory layout failed: %1").arg(serializer.lastError()));
        return Failure;
    }
    if (!session->model()->save()) {
        Output::error(QStringLiteral("saving %1 failed after project.mem was written; the next run refuses the file")
                          .arg(session->location().databaseFile));
        return Failure;
    }
    if (!out.json())
        out.line(QStringLiteral("wrote %1/project.mem").arg(session->location().folder));
    return Ok;
}

} // namespace plcproj
