// Object by object comparison of two projects as text: objects keep their identity through a
// move, a rename or an edit of a neighbour, so each change is one line.
#include "datamodel/exchange/ProjectDiff.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QString line(const ProjectDiff::Entry& entry)
{
    return QStringLiteral("%1 %2 (%3)").arg(QLatin1String(ProjectDiff::changeName(entry.change)), entry.object, entry.file);
}

QStringList lines(const ProjectText::Files& a, const ProjectText::Files& b)
{
    QStringList out;
    for (const ProjectDiff::Entry& entry : ProjectDiff::compare(a, b))
        out << line(entry);
    return out;
}

ProjectText::Files sample()
{
    return {
        {"program/index.json",
         R"([{"file":"Lib","id":7,"kind":"pou","name":"Lib"},)"
         R"({"file":"Main.prg.st","graph":"Main.prg.graph","id":2,"name":"Main"},)"
         R"({"file":"G.gvl.st","id":2,"name":"G"}])"},
        {"program/Main.prg.st", "PROGRAM Main\n(*#LOGIC#*)\na := 1;\n"},
        {"program/Main.prg.graph", "\x01\x02"},
        {"program/G.gvl.st", "VAR_GLOBAL\nEND_VAR\n"},
        {"program/Lib/index.json", R"([{"file":"F.fc.st","id":3,"name":"F"}])"},
        {"program/Lib/F.fc.st", "FUNCTION F : INT\n(*#LOGIC#*)\nF := 1;\n"},
        {"tasks.json", R"({"configuration":{"name":"cfg"},"tasks":[{"id":1,"name":"Fast","watchdog":10},)"
                       R"({"id":2,"name":"Slow","watchdog":100}]})"},
        {"devices.json", R"({"children":[{"children":[],"id":2,"name":"IO","properties":{"a":"1"}}],"id":1,"name":"PLC"})"},
        {"notes.txt", "free text\n"},
        {"motion/axes/A.axis.json", R"({"id":4,"name":"A","properties":{}})"},
        {"motion/cams/C.cam.json", R"({"id":5,"name":"C","points":"C.cam.csv"})"},
        {"motion/cams/C.cam.csv", "id,main\n1,0\n2,10\n"},
    };
}

TEST(ProjectDiff, eachChangedObjectIsOneLineWhereverItsFileLies)
{
    const ProjectText::Files a = sample();
    EXPECT_TRUE(ProjectDiff::compare(a, a).empty());

    ProjectText::Files b = a;
    // F moves from the folder Lib to the top and gets another name: still the same function.
    b.erase("program/Lib/F.fc.st");
    b["program/Lib/index.json"] = "[]";
    b["program/index.json"] = R"([{"file":"Lib","id":7,"kind":"pou","name":"Lib"},)"
                              R"({"file":"Main.prg.st","graph":"Main.prg.graph","id":2,"name":"Main"},)"
                              R"({"file":"G.gvl.st","id":2,"name":"G"},{"file":"F2.fc.st","id":3,"name":"F2"}])";
    b["program/F2.fc.st"] = a.at("program/Lib/F.fc.st");
    // Only the graphic data of Main changes; the list G shares Main's id in another id space.
    b["program/Main.prg.graph"] = "\x01\x03";
    // One task and one child device node change; their neighbours and parents do not.
    b["tasks.json"] = R"({"configuration":{"name":"cfg"},"tasks":[{"id":1,"name":"Fast","watchdog":10},)"
                      R"({"id":2,"name":"Slow","watchdog":200},{"id":3,"name":"New","watchdog":5}]})";
    b["devices.json"] = R"({"children":[{"children":[],"id":2,"name":"IO","properties":{"a":"2"}}],"id":1,"name":"PLC"})";
    b.erase("notes.txt");
    // The axis is renamed (its file with it); one point of the cam changes.
    b.erase("motion/axes/A.axis.json");
    b["motion/axes/B.axis.json"] = R"({"id":4,"name":"B","properties":{}})";
    b["motion/cams/C.cam.csv"] = "id,main\n1,0\n2,12\n";

    EXPECT_EQ(lines(a, b), QStringList({
                               "changed device IO (devices.json)",
                               "changed axis B (motion/axes/B.axis.json)",
                               "changed cam C (motion/cams/C.cam.json)",
                               "removed file notes.txt (notes.txt)",
                               "changed function F2 (program/F2.fc.st)",
                               "changed program Main (program/Main.prg.st)",
                               "added task New (tasks.json)",
                               "changed task Slow (tasks.json)",
                           }));
    // The other way round, the removal is an addition and the function is back at its place.
    const QStringList back = lines(b, a);
    EXPECT_TRUE(back.contains("added file notes.txt (notes.txt)")) << back.join('\n').toStdString();
    EXPECT_TRUE(back.contains("changed function F (program/Lib/F.fc.st)"));
    EXPECT_TRUE(back.contains("removed task New (tasks.json)"));
}

TEST(ProjectDiff, filesOfNoKnownShapeAreStillCompared)
{
    ProjectText::Files a = {
        {"broken.json", "{ not json"},
        {"program/index.json", "{}"},                          // no array: a JSON file like others
        {"twice.json", R"([{"id":1,"v":1},{"id":1,"v":2},3])"}, // the same id twice and an unnamed value
    };
    ProjectText::Files b = a;
    b["broken.json"] = "{ still not json";
    b["twice.json"] = R"([{"id":1,"v":1},{"id":1,"v":3},3])";
    EXPECT_EQ(lines(a, b), QStringList({"changed file broken.json (broken.json)", "changed twice 1 (twice.json)"}));
    b["twice.json"] = R"([{"id":1,"v":1},{"id":1,"v":2},4])";
    EXPECT_EQ(lines(a, b), QStringList({"changed file broken.json (broken.json)", "changed twice.json (twice.json)"}));
}

} // namespace
