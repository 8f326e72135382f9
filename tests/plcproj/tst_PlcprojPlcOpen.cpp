// plcproj export --plcopen and import --plcopen run as real processes: projects as PLCopen TC6
// XML files, for our own round trip and for files that other tools wrote.
#include "ExportFolder.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>

namespace {

const QString tc6 = QStringLiteral("http://www.plcopen.org/xml/tc6_0201");
const QString demoPassword = QStringLiteral("line'2 demo");

QByteArray readFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

QString dataFile(const QString& name)
{
    return QString::fromUtf8(qgetenv("DATAMODEL_SOURCE_DIR")) + "/tests/plcproj/data/" + name;
}

// The children each TC6 element may have, in the order the schema sequences them (a name
// may repeat where the schema allows more than one). Elements not listed have no children
// that this export writes.
const QMap<QString, QStringList>& schemaOrder()
{
    static const QMap<QString, QStringList> order = {
        {"project", {"fileHeader", "contentHeader", "types", "instances", "addData", "documentation"}},
        {"contentHeader", {"Comment", "coordinateInfo", "addDataInfo", "addData"}},
        {"coordinateInfo", {"pageSize", "fbd", "ld", "sfc"}},
        {"fbd", {"scaling"}}, {"ld", {"scaling"}}, {"sfc", {"scaling"}},
        {"addDataInfo", {"info"}},
        {"types", {"dataTypes", "pous"}},
        {"dataTypes", {"dataType"}},
        {"dataType", {"baseType", "initialValue", "addData", "documentation"}},
        {"pous", {"pou"}},
        {"pou", {"interface", "actions", "transitions", "body", "addData", "documentation"}},
        {"interface", {"returnType", "localVars|tempVars|inputVars|outputVars|inOutVars|externalVars|globalVars|accessVars",
                       "addData", "documentation"}},
        {"localVars", {"variable", "addData", "documentation"}}, {"tempVars", {"variable", "addData", "documentation"}},
        {"inputVars", {"variable", "addData", "documentation"}}, {"outputVars", {"variable", "addData", "documentation"}},
        {"inOutVars", {"variable", "addData", "documentation"}}, {"externalVars", {"variable", "addData", "documentation"}},
        {"globalVars", {"variable", "addData", "documentation"}},
        {"variable", {"type", "initialValue", "addData", "documentation"}},
        {"struct", {"variable"}},
        {"array", {"dimension", "baseType"}},
        {"enum", {"values", "baseType"}}, {"values", {"value"}},
        {"subrangeSigned", {"range", "baseType"}}, {"subrangeUnsigned", {"range", "baseType"}},
        {"pointer", {"baseType"}},
        {"arrayValue", {"value"}}, {"structValue", {"value"}},
        {"body", {"IL|ST|FBD|LD|SFC", "addData", "documentation"}},
        {"instances", {"configurations"}},
        {"configurations", {"configuration"}},
        {"configuration", {"resource", "globalVars", "accessVars", "configurationVars", "addData", "documentation"}},
        {"resource", {"task", "globalVars", "pouInstance", "addData", "documentation"}},
        {"task", {"pouInstance", "addData", "documentation"}},
        {"pouInstance", {"addData", "documentation"}},
        {"addData", {"data"}},
    };
    return order;
}

// Elements whose content is free: the type and value choices, text, our own data.
bool contentIsFree(const QString& element)
{
    static const QStringList free = {"type", "baseType", "returnType", "initialValue", "data", "actions", "transitions",
                                     "documentation", "ST", "IL", "FBD", "LD", "SFC", "Comment"};
    return free.contains(element);
}

// Walks the file and reports the first element out of the schema's order, or an unknown one.
QString schemaOrderViolation(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    struct Open
    {
        QString name;
        int position = 0; // index into the allowed list reached so far
    };
    QList<Open> stack;
    int skipDepth = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement()) {
            if (skipDepth > 0)
                --skipDepth;
            else
                stack.removeLast();
            continue;
        }
        if (!reader.isStartElement())
            continue;
        if (skipDepth > 0) {
            ++skipDepth;
            continue;
        }
        const QString name = reader.name().toString();
        if (reader.namespaceUri() != tc6)
            return QStringLiteral("line %1: <%2> outside the TC6 namespace").arg(reader.lineNumber()).arg(name);
        if (!stack.isEmpty()) {
            Open& parent = stack.last();
            const QStringList allowed = schemaOrder().value(parent.name);
            int at = parent.position;
            while (at < allowed.size() && !allowed[at].split('|').contains(name))
                ++at;
            if (at == allowed.size())
                return QStringLiteral("line %1: <%2> in <%3> out of order or not allowed")
                    .arg(reader.lineNumber()).arg(name, parent.name);
            parent.position = at;
        } else if (name != QLatin1String("project")) {
            return QStringLiteral("the root is <%1>").arg(name);
        }
        if (contentIsFree(name)) {
            skipDepth = 1;
            continue;
        }
        stack.append({name, 0});
    }
    return reader.hasError() ? QStringLiteral("not well-formed: %1").arg(reader.errorString()) : QString();
}

// The subtree of the first element named `element` as a canonical text: names, sorted
// attributes and text without the whitespace between elements.
QString canonicalSubtree(const QByteArray& xml, const QString& element)
{
    QXmlStreamReader reader(xml);
    QString out;
    int depth = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && (depth > 0 || reader.name() == element)) {
            ++depth;
            QStringList attributes;
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                attributes << attribute.name().toString() + "=" + attribute.value().toString();
            attributes.sort();
            out += "<" + reader.namespaceUri().toString() + ":" + reader.name().toString() + " " + attributes.join(' ') + ">";
        } else if (reader.isEndElement() && depth > 0) {
            out += "</>";
            if (--depth == 0)
                break;
        } else if (reader.isCharacters() && depth > 0 && !reader.isWhitespace()) {
            out += reader.text().toString();
        }
    }
    return out;
}

class PlcprojPlcOpen : public ::testing::Test
{
protected:
    testsupport::TempDir temp;
};

TEST_F(PlcprojPlcOpen, demoProjectRoundTripsThroughTc6ByteForByte)
{
    ASSERT_EQ(plcproj({"demo", temp.filePath("demo")}).code, 0);
    const QString first = temp.filePath("first.xml"), second = temp.filePath("second.xml");
    expectOk(plcproj({"export", temp.filePath("demo"), "--plcopen", first, "--password", demoPassword}), "export");
    const QByteArray xml = readFile(first);
    EXPECT_EQ(schemaOrderViolation(xml), QString());
    // The walk itself tells order apart.
    EXPECT_NE(schemaOrderViolation("<project xmlns=\"" + tc6.toUtf8() + "\"><contentHeader name=\"x\"/><fileHeader/></project>"),
              QString());
    QByteArray swapped = xml;
    swapped.replace("</interface>", "</interface><documentation/>");
    EXPECT_TRUE(schemaOrderViolation(swapped).contains("<body> in <pou> out of order")) << schemaOrderViolation(swapped).toStdString();

    expectOk(plcproj({"import", "--plcopen", first, temp.filePath("copy")}), "import");
    expectOk(plcproj({"export", temp.filePath("copy"), "--plcopen", second}), "export copy");
    EXPECT_EQ(readFile(second), xml) << "export, import, export gives the same bytes";

    // Everything the folder export shows is the same: texts, ids, folders, tasks, devices.
    expectOk(plcproj({"export", temp.filePath("demo"), temp.filePath("demoText"), "--password", demoPassword}), "text");
    expectOk(plcproj({"export", temp.filePath("copy"), temp.filePath("copyText")}), "copy text");
    const Files original = readFolder(temp.filePath("demoText")), copied = readFolder(temp.filePath("copyText"));
    EXPECT_EQ(copied, original);
    EXPECT_EQ(plcproj({"check", temp.filePath("copy")}).code, 0);

    // Another tool that indents the file anew changes no text of the project.
    QByteArray indented = xml;
    indented.replace("<![CDATA[", "\n      <![CDATA[").replace("]]></", "]]>\n    </").replace("><", ">\n\t<");
    ASSERT_NE(indented, xml);
    writeFile(temp.filePath("indented.xml"), indented);
    expectOk(plcproj({"import", "--plcopen", temp.filePath("indented.xml"), temp.filePath("reindented")}), "import indented");
    expectOk(plcproj({"export", temp.filePath("reindented"), temp.filePath("reindentedText")}), "text");
    EXPECT_EQ(readFolder(temp.filePath("reindentedText")), original);

    // The TC6 content itself, as another tool reads it.
    EXPECT_TRUE(xml.contains("<pou name=\"FB_Conveyor\" pouType=\"functionBlock\">"));
    EXPECT_TRUE(xml.contains("<pou name=\"FC_ScaleSpeed\" pouType=\"function\">"));
    EXPECT_TRUE(QRegularExpression("<returnType>\\s*<INT/>").match(QString::fromUtf8(xml)).hasMatch()) << "the function's result type";
    EXPECT_TRUE(xml.contains("<variable name=\"startButton\" address=\"%IX0.0\">"));
    EXPECT_TRUE(xml.contains("<globalVars name=\"GVL_Plant\" constant=\"true\">"));
    EXPECT_TRUE(xml.contains("<value name=\"Running\" value=\"20\"/>"));
    EXPECT_TRUE(xml.contains("<string length=\"32\"/>"));
    EXPECT_TRUE(xml.contains("<simpleValue value=\"T#350ms\"/>"));
    EXPECT_TRUE(xml.contains("<xhtml:p>m/s</xhtml:p>")) << "a comment becomes the variable's documentation";
    EXPECT_TRUE(xml.contains("<task name=\"SlowTask\" interval=\"T#500ms\" priority=\"0\">"));
    EXPECT_TRUE(xml.contains("<pouInstance name=\"Housekeeping\" typeName=\"Housekeeping\"/>"));
    EXPECT_TRUE(xml.contains("watchdog=\"1000\"")) << "the watchdog travels in our addData";
    EXPECT_TRUE(xml.contains("<![CDATA[startEdge(CLK := startButton);")) << "ST bodies as text";
}

TEST_F(PlcprojPlcOpen, changesOfAnotherToolWinOverOurKeptTexts)
{
    ASSERT_EQ(plcproj({"demo", temp.filePath("demo")}).code, 0);
    const QString file = temp.filePath("demo.xml");
    expectOk(plcproj({"export", temp.filePath("demo"), "--plcopen", file, "--password", demoPassword}), "export");
    QByteArray xml = readFile(file);
    // Another tool gives Housekeeping a new input and a new body, renames a task and calls Main
    // from it, and drops the function FC_ScaleSpeed's use nowhere (it stays).
    const QByteArray localVars = "<pou name=\"Housekeeping\" pouType=\"program\">\n        <interface>\n";
    ASSERT_TRUE(xml.contains(localVars));
    xml.replace(localVars, localVars + "<inputVars><variable name=\"reset\"><type><BOOL/></type></variable></inputVars>\n");
    xml.replace("<![CDATA[uptime(IN := NOT uptime.Q, PT := T#1h);", "<![CDATA[uptime(IN := NOT uptime.Q AND NOT reset, PT := T#1h);");
    xml.replace("<task name=\"SlowTask\" interval=\"T#500ms\" priority=\"0\">",
                "<task name=\"Background\" interval=\"T#1s\" priority=\"3\">\n<pouInstance name=\"m\" typeName=\"Main\"/>");
    writeFile(file, xml);
    expectOk(plcproj({"import", "--plcopen", file, temp.filePath("copy")}), "import");
    expectOk(plcproj({"export", temp.filePath("copy"), temp.filePath("copyText")}), "text");
    expectOk(plcproj({"export", temp.filePath("demo"), temp.filePath("demoText"), "--password", demoPassword}), "text");
    const Files copied = readFolder(temp.filePath("copyText")), original = readFolder(temp.filePath("demoText"));

    const QByteArray housekeeping = copied.at("program/Programs/Housekeeping.prg.st");
    EXPECT_TRUE(housekeeping.contains("VAR_INPUT\n    reset : BOOL;\nEND_VAR")) << housekeeping.toStdString();
    EXPECT_TRUE(housekeeping.contains("AND NOT reset")) << housekeeping.toStdString();
    // What no other tool touched keeps its own text, comments and layout included.
    EXPECT_EQ(copied.at("program/Programs/Main.prg.st"), original.at("program/Programs/Main.prg.st"));
    EXPECT_EQ(copied.at("program/Globals/GVL_Plant.gvl.st"), original.at("program/Globals/GVL_Plant.gvl.st"));
    const QByteArray tasks = copied.at("tasks.json");
    EXPECT_TRUE(tasks.contains("\"name\": \"Background\"")) << tasks.toStdString();
    EXPECT_TRUE(tasks.contains("\"Interval\": \"T#1s\"")) << tasks.toStdString();
    EXPECT_TRUE(tasks.contains("\"Priority\": \"3\"")) << tasks.toStdString();
    EXPECT_TRUE(tasks.contains("\"watchdog\": 1000")) << "the watchdog of our data stays";
    EXPECT_EQ(plcproj({"check", temp.filePath("copy")}).code, 0) << plcproj({"check", temp.filePath("copy")}).out.toStdString();
}

TEST_F(PlcprojPlcOpen, fileOfAnotherToolBecomesACheckedProjectKeepingItsFbdBody)
{
    const QString source = dataFile("other-tool.xml");
    const ToolRun imported = plcproj({"import", "--plcopen", source, temp.filePath("bottling")});
    ASSERT_EQ(imported.code, 0) << imported.err.toStdString();
    const ToolRun check = plcproj({"check", temp.filePath("bottling")});
    EXPECT_EQ(check.code, 0) << check.out.toStdString();
    EXPECT_EQ(check.out, QString()) << "the compiler core reports nothing";

    expectOk(plcproj({"export", temp.filePath("bottling"), temp.filePath("text")}), "text");
    const Files text = readFolder(temp.filePath("text"));
    ASSERT_TRUE(text.count("program/Filler.prg.st"));
    EXPECT_TRUE(text.at("program/Filler.prg.st").contains("VAR_EXTERNAL\n    bottleCount : UDINT;\nEND_VAR"));
    EXPECT_TRUE(text.at("program/Plant.gvl.st").contains("doorClosed AT %IX0.0 : BOOL;"));
    EXPECT_TRUE(text.at("program/Limits.gvl.st").contains("VAR_GLOBAL CONSTANT\n    MAX_LEVEL : INT := 95;"));
    EXPECT_TRUE(text.at("program/FillRecipe.type.st").contains("nozzles : ARRAY[1..4] OF BOOL := [2(TRUE), 2(FALSE)];"));
    EXPECT_TRUE(text.at("program/FillRecipe.type.st").contains("volume : REAL := 0.75; (* litres per bottle *)"));
    EXPECT_TRUE(text.at("program/index.json").contains("\"language\": \"FBD\""));
    const QByteArray tasks = text.at("tasks.json");
    EXPECT_TRUE(tasks.contains("\"name\": \"FastTask\"") && tasks.contains("\"Interval\": \"T#20ms\"")
                && tasks.contains("\"Priority\": \"1\"")) << tasks.toStdString();

    // The FBD body is the POU's editor data, and goes back out as it came.
    ASSERT_TRUE(text.count("program/Interlock.fb.graph"));
    const QString fbd = canonicalSubtree(readFile(source), "FBD");
    ASSERT_FALSE(fbd.isEmpty());
    EXPECT_EQ(canonicalSubtree(text.at("program/Interlock.fb.graph"), "FBD"), fbd);
    const QString again = temp.filePath("again.xml");
    expectOk(plcproj({"export", temp.filePath("bottling"), "--plcopen", again}), "export");
    const QByteArray xml = readFile(again);
    EXPECT_EQ(schemaOrderViolation(xml), QString());
    EXPECT_EQ(canonicalSubtree(xml, "FBD"), fbd);
    EXPECT_TRUE(xml.contains(text.at("program/Interlock.fb.graph"))) << "the kept fragment, byte for byte";
    // An SFC keeps its actions and transitions beside its body.
    for (const QString& element : {QStringLiteral("SFC"), QStringLiteral("actions"), QStringLiteral("transitions")}) {
        const QString original = canonicalSubtree(readFile(source), element);
        ASSERT_FALSE(original.isEmpty()) << element.toStdString();
        EXPECT_EQ(canonicalSubtree(xml, element), original) << element.toStdString();
    }
    EXPECT_TRUE(text.at("program/index.json").contains("\"language\": \"SFC\""));
    // And that export is stable in its turn.
    expectOk(plcproj({"import", "--plcopen", again, temp.filePath("bottling2")}), "import again");
    expectOk(plcproj({"export", temp.filePath("bottling2"), "--plcopen", temp.filePath("third.xml")}), "export again");
    EXPECT_EQ(readFile(temp.filePath("third.xml")), xml);
}

struct Hostile
{
    const char* name;
    QByteArray xml;
    const char* message;
};

void PrintTo(const Hostile& c, std::ostream* os)
{
    *os << c.name;
}

QByteArray minimalProject(const QByteArray& pous, const QByteArray& resource = QByteArray())
{
    return "<?xml version=\"1.0\"?>\n<project xmlns=\"http://www.plcopen.org/xml/tc6_0201\">\n"
           "<fileHeader companyName=\"x\" productName=\"x\" productVersion=\"1\" creationDateTime=\"2024-01-01T00:00:00\"/>\n"
           "<contentHeader name=\"P\"><coordinateInfo><fbd><scaling x=\"1\" y=\"1\"/></fbd><ld><scaling x=\"1\" y=\"1\"/></ld>"
           "<sfc><scaling x=\"1\" y=\"1\"/></sfc></coordinateInfo></contentHeader>\n"
           "<types><dataTypes/><pous>" + pous + "</pous></types>\n"
           "<instances><configurations><configuration name=\"C\"><resource name=\"R\">" + resource +
           "</resource></configuration></configurations></instances>\n</project>\n";
}

QByteArray deepNesting()
{
    return minimalProject("<pou name=\"Deep\" pouType=\"program\"><body><FBD>" + QByteArray("<a>").repeated(5000) + "</FBD></body></pou>");
}

class PlcprojPlcOpenHostile : public ::testing::TestWithParam<Hostile>
{
protected:
    testsupport::TempDir temp;
};

TEST_P(PlcprojPlcOpenHostile, isRefusedWithItsLineAndLeavesNothing)
{
    const QString file = temp.filePath("hostile.xml");
    writeFile(file, GetParam().xml);
    const ToolRun run = plcproj({"import", "--plcopen", file, temp.filePath("out")});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains(GetParam().message)) << run.err.toStdString();
    EXPECT_TRUE(QRegularExpression("hostile\\.xml:[0-9]+: ").match(run.err).hasMatch()) << run.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("out")));
    EXPECT_TRUE(QDir(temp.path()).entryList({"*importing*"}, QDir::AllEntries | QDir::Hidden).isEmpty());
}

const QByteArray goodPou = "<pou name=\"Main\" pouType=\"program\"><interface/></pou>";

INSTANTIATE_TEST_SUITE_P(
    Files, PlcprojPlcOpenHostile,
    ::testing::Values(
        Hostile{"entities", "<?xml version=\"1.0\"?>\n<!DOCTYPE project [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>\n"
                            "<project xmlns=\"http://www.plcopen.org/xml/tc6_0201\">&b;</project>", "DTD"},
        Hostile{"externalEntity", "<?xml version=\"1.0\"?>\n<!DOCTYPE project SYSTEM \"file:///etc/passwd\">\n<project/>", "DTD"},
        Hostile{"undeclaredEntity", minimalProject(goodPou).replace("<dataTypes/>", "<dataTypes>&secret;</dataTypes>"), "secret"},
        Hostile{"deepNesting", deepNesting(), "nested deeper than 64"},
        Hostile{"noContentHeader", QByteArray(minimalProject(goodPou)).replace(QByteArray("<contentHeader name=\"P\">"), "<other>").replace("</contentHeader>", "</other>"),
                "lacks <contentHeader>"},
        Hostile{"noTypes", "<project xmlns=\"http://www.plcopen.org/xml/tc6_0201\"><fileHeader/><contentHeader name=\"P\"/>"
                           "<instances><configurations/></instances></project>", "lacks <types>"},
        Hostile{"variableWithoutType", minimalProject("<pou name=\"Main\" pouType=\"program\"><interface><localVars>"
                                                      "<variable name=\"x\"/></localVars></interface></pou>"), "variable 'x' lacks <type>"},
        Hostile{"pouNameNoIdentifier", minimalProject("<pou name=\"1st; DROP\" pouType=\"program\"/>"), "POU name '1st; DROP' is no identifier"},
        Hostile{"pouNameKeyword", minimalProject("<pou name=\"END_IF\" pouType=\"program\"/>"), "is no identifier"},
        Hostile{"variableNamePath", minimalProject("<pou name=\"Main\" pouType=\"program\"><interface><localVars>"
                                                   "<variable name=\"../x\"><type><INT/></type></variable></localVars></interface></pou>"),
                "variable name '../x' is no identifier"},
        Hostile{"addressInjection", minimalProject("<pou name=\"Main\" pouType=\"program\"><interface><localVars>"
                                                   "<variable name=\"x\" address=\"%IX0.0 : BOOL; END_VAR VAR y\"><type><INT/></type></variable>"
                                                   "</localVars></interface></pou>"), "is no direct address"},
        Hostile{"boundInjection", minimalProject("<pou name=\"Main\" pouType=\"program\"><interface><localVars>"
                                                 "<variable name=\"x\"><type><array><dimension lower=\"0\" upper=\"1] OF INT; y : ARRAY[0..1\"/>"
                                                 "<baseType><INT/></baseType></array></type></variable></localVars></interface></pou>"),
                "array bound '1] OF INT; y : ARRAY[0..1' is no number or name"},
        Hostile{"systemName", minimalProject("<pou name=\"DevicePOU\" pouType=\"program\"/>"), "the system keeps for its own objects"},
        Hostile{"unknownPouType", minimalProject("<pou name=\"Main\" pouType=\"macro\"/>"), "unknown pouType 'macro'"},
        Hostile{"duplicatePou", minimalProject(goodPou + goodPou), "declared twice"},
        Hostile{"listTwiceApart", minimalProject(goodPou, "<globalVars name=\"G\"/><globalVars name=\"H\"/><globalVars name=\"G\"/>"),
                "global variable list 'G' is declared twice"},
        Hostile{"taskCallsNothing", minimalProject(goodPou, "<task name=\"T\" priority=\"1\"><pouInstance name=\"i\" typeName=\"Ghost\"/></task>"),
                "calls 'Ghost', which is no POU"},
        Hostile{"otherNamespace", "<project xmlns=\"http://www.plcopen.org/xml/tc6_0200\"/>", "not a PLCopen TC6 2.01 file"},
        Hostile{"truncated", minimalProject(goodPou).left(300), "hostile.xml:"}),
    [](const ::testing::TestParamInfo<Hostile>& info) { return std::string(info.param.name); });

TEST_F(PlcprojPlcOpen, hugeAndUnreadableFilesAreRefusedBeforeReading)
{
    const QString huge = temp.filePath("huge.xml");
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize((qint64(64) << 20) + 1)); // sparse: no need to write the bytes
    file.close();
    const ToolRun run = plcproj({"import", "--plcopen", huge, temp.filePath("out")});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("exceed")) << run.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("out")));

    const ToolRun folder = plcproj({"import", "--plcopen", temp.path(), temp.filePath("out")});
    EXPECT_EQ(folder.code, 1);
    EXPECT_TRUE(folder.err.contains("not a regular file")) << folder.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("out")));
    EXPECT_EQ(plcproj({"export", "--plcopen", temp.filePath("x.xml")}).code, 2) << "a project is needed";
}

} // namespace

namespace {

// A project text without devices (another tool's, or a folder whose devices.json was left
// out) gets the controller a new project gets, instead of failing to create its device tree.
TEST_F(PlcprojPlcOpen, textWithoutDevicesGetsTheDefaultController)
{
    ASSERT_EQ(plcproj({"create", temp.filePath("p"), "--name", "P"}).code, 0);
    expectOk(plcproj({"export", temp.filePath("p"), temp.filePath("text")}), "export");
    ASSERT_TRUE(QFile::remove(temp.filePath("text/devices.json")));
    expectOk(plcproj({"import", temp.filePath("text"), temp.filePath("copy")}), "import");
    const ToolRun tree = plcproj({"device", temp.filePath("copy"), "tree"});
    EXPECT_EQ(tree.code, 0);
    EXPECT_TRUE(tree.out.contains("VX7_1616MT")) << tree.out.toStdString();
}

} // namespace
