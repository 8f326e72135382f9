// PlcOpenWriter and PlcOpenReader on project texts made here: what our own round trip must
// keep, and what a file edited elsewhere must give.
#include "datamodel/exchange/ExchangeFormat_p.h"
#include "datamodel/exchange/PlcOpenReader.h"
#include "datamodel/exchange/PlcOpenWriter.h"
#include "support/QtPrinters.h"

#include "accore/ACCore.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

using Files = ProjectText::Files;

// A POU file of the export: declaration, separator line, logic.
QByteArray pouFile(const char* declaration, const char* logic)
{
    return QByteArray(declaration) + "\n(*#LOGIC#*)\n" + logic + "\n";
}

QJsonObject entry(const QString& file, int id, const QString& name, const QString& language = QString())
{
    QJsonObject out{{"file", file}, {"id", id}, {"name", name}, {"properties", QJsonObject()}};
    if (!language.isEmpty())
        out.insert("language", language);
    return out;
}

// A small project text with the awkward cases of a real one.
Files project()
{
    Files files;
    files["project.json"] = ExchangeFormat::jsonBytes(QJsonObject{{"name", "Awkward"}, {"type", "Project"}, {"properties", QJsonObject()}});
    QJsonObject types = entry("Shapes.type.st", 1, "Shapes");
    types.insert("kind", "struct");
    files["program/index.json"] = ExchangeFormat::jsonBytes(QJsonArray{
        entry("Broken.prg.st", 3, "Broken", "ST"), entry("Calc.fc.st", 2, "calc", "ST"),
        entry("Legacy name.prg.st", 4, "Legacy name", "ST"),
        entry("Main.prg.st", 1, "Main", "ST"), types, entry("Vars.gvl.st", 1, "Vars")});
    // A POU named in other letter case than its header, two types in one text, a Windows line end, a comment with "*)" look-alikes and Chinese.
    files["program/Shapes.type.st"] = "TYPE\r\n    Point :\n    STRUCT\n        x : LREAL := 1.5; (* 横坐标 *)\n"
                                      "        tag : WSTRING(8);\n    END_STRUCT;\n"
                                      "    Level : USINT (1..9);\n    Mode : (Off, On := 4) DINT;\nEND_TYPE\n";
    files["program/Vars.gvl.st"] = "VAR_GLOBAL RETAIN\n    origin : Point := (x := 2.0);\n"
                                   "    table : ARRAY[0..2, 1..2] OF INT := [3(1), 3(2)];\nEND_VAR\n";
    files["program/Calc.fc.st"] = pouFile("FUNCTION Calc : LREAL\nVAR_INPUT\n    p : Point;\nEND_VAR\n"
                                                          "VAR_TEMP\n    t : LREAL;\nEND_VAR",
                                                          "t := p.x;\nIF t > 0.0 THEN (* ]]> is no end of CDATA *)\n"
                                                          "    Calc := t;\nEND_IF;\x01");
    files["program/Main.prg.st"] = pouFile("PROGRAM Main\nVAR_EXTERNAL\n    origin : Point;\nEND_VAR\n"
                                                          "VAR CONSTANT\n    K : INT := 3;\nEND_VAR",
                                                          "origin.x := Calc(p := origin);");
    files["program/Broken.prg.st"] = pouFile("PROGRAM Other\nVAR\n    x : ;\n", "x := ;");
    // Older projects hold names that are no identifiers: no TC6 POU can have one.
    files["program/Legacy name.prg.st"] = pouFile("PROGRAM Legacy\nVAR\n    n : INT;\nEND_VAR", "n := n + 1;");
    files["tasks.json"] = ExchangeFormat::jsonBytes(QJsonObject{
        {"configuration", QJsonObject{{"name", "Task Config"}, {"properties", QJsonObject{{"Kind", "Cfg"}}}}},
        {"tasks", QJsonArray{QJsonObject{{"calls", QJsonArray{QJsonObject{{"entry", 7}, {"pou", 1}}, QJsonObject{{"entry", 8}, {"pou", 3}},
                                                             QJsonObject{{"entry", 9}, {"pou", 4}}}},
                                         {"id", 5}, {"name", "Cyclic"}, {"type", 2}, {"watchdog", 50},
                                         {"properties", QJsonObject{{"Interval", "T#5ms"}, {"Priority", "2"}}}}}}});
    return files;
}

QByteArray write(const Files& files)
{
    ac::ACCore core;
    return PlcOpenWriter::write(files, core, 1);
}

TEST(PlcOpen, ownRoundTripGivesBackEveryFileAndTheSameBytes)
{
    const Files files = project();
    const QByteArray xml = write(files);
    QXmlStreamReader wellFormed(xml);
    while (!wellFormed.atEnd())
        wellFormed.readNext();
    ASSERT_FALSE(wellFormed.hasError()) << wellFormed.errorString().toStdString();

    Result<Files> read = PlcOpenReader::read(xml, "awkward.xml");
    ASSERT_TRUE(read) << read.errorString().toStdString();
    EXPECT_EQ(read.value(), files);
    for (const auto& [path, bytes] : files)
        EXPECT_EQ(read.value().count(path) ? read.value().at(path) : QByteArray(), bytes) << path.toStdString();
    EXPECT_EQ(write(read.value()), xml);

    // The TC6 content comes from the core's parse, not from the text.
    EXPECT_TRUE(xml.contains("<dataType name=\"Level\">")) << "the second type of one text is a dataType of its own";
    EXPECT_TRUE(xml.contains("<subrangeUnsigned>")) << xml.toStdString();
    EXPECT_TRUE(xml.contains("<value name=\"On\" value=\"4\"/>"));
    EXPECT_TRUE(xml.contains("<dimension lower=\"0\" upper=\"2\"/>\n") && xml.contains("<dimension lower=\"1\" upper=\"2\"/>"));
    EXPECT_TRUE(xml.contains("<value repetitionValue=\"3\">"));
    EXPECT_TRUE(xml.contains("<value member=\"x\">"));
    EXPECT_TRUE(xml.contains("<globalVars name=\"Vars\" retain=\"true\">"));
    EXPECT_TRUE(xml.contains("<localVars constant=\"true\">"));
    EXPECT_TRUE(xml.contains("<tempVars>"));
    EXPECT_TRUE(xml.contains("<xhtml:p>横坐标</xhtml:p>"));
    EXPECT_TRUE(xml.contains("<pou name=\"Broken\"")) << "what the core could read of a broken declaration";
    EXPECT_TRUE(xml.contains("encoding=\"base64\"")) << "texts XML cannot keep (CR, control characters) go as Base64";
    EXPECT_FALSE(xml.contains("<pou name=\"Legacy")) << "kept in our data only";
    EXPECT_FALSE(xml.contains("typeName=\"Legacy")) << "and so is its call";
}

TEST(PlcOpen, objectsChangedElsewhereTakeTheTc6ContentAndTheRestKeepsItsText)
{
    const Files files = project();
    QByteArray xml = write(files);
    // Another tool changes Main's constant, removes the function Calc and its call stays.
    ASSERT_TRUE(xml.contains("<simpleValue value=\"3\"/>"));
    xml.replace("<simpleValue value=\"3\"/>", "<simpleValue value=\"4\"/>");
    const int from = xml.indexOf("<pou name=\"calc\"");
    const int to = xml.indexOf("</pou>", from) + 6;
    ASSERT_GT(from, 0);
    xml.remove(from, to - from);
    Result<Files> read = PlcOpenReader::read(xml, "edited.xml");
    ASSERT_TRUE(read) << read.errorString().toStdString();
    const Files& out = read.value();
    EXPECT_EQ(out.at("program/Main.prg.st"),
              pouFile("PROGRAM Main\nVAR_EXTERNAL\n    origin : Point;\nEND_VAR\nVAR CONSTANT\n    K : INT := 4;\nEND_VAR",
                                      "origin.x := Calc(p := origin);"));
    EXPECT_EQ(out.count("program/Calc.fc.st"), 0u);
    EXPECT_FALSE(out.at("program/index.json").contains("Calc")) << out.at("program/index.json").toStdString();
    EXPECT_EQ(out.at("program/Shapes.type.st"), files.at("program/Shapes.type.st"));
    EXPECT_EQ(out.at("tasks.json"), files.at("tasks.json")) << "the task still calls what it called";
}

TEST(PlcOpen, readerLimitsAndRequiredContentAreEnforced)
{
    const QByteArray xml = write(project());
    PlcOpenReader::Limits shallow;
    shallow.maxDepth = 6;
    Result<Files> deep = PlcOpenReader::read(xml, "f.xml", shallow);
    ASSERT_FALSE(deep);
    EXPECT_TRUE(deep.errorString().contains("nested deeper than 6")) << deep.errorString().toStdString();
    PlcOpenReader::Limits small;
    small.maxBytes = xml.size() - 1;
    Result<Files> big = PlcOpenReader::read(xml, "f.xml", small);
    ASSERT_FALSE(big);
    EXPECT_TRUE(big.errorString().startsWith("f.xml:1: the file has")) << big.errorString().toStdString();
    EXPECT_TRUE(PlcOpenReader::read(xml, "f.xml", PlcOpenReader::Limits()));

    QByteArray noName = xml;
    noName.replace("<pou name=\"Main\"", "<pou name=\"\"");
    Result<Files> nameless = PlcOpenReader::read(noName, "f.xml");
    ASSERT_FALSE(nameless);
    EXPECT_TRUE(nameless.errorString().contains("POU name '' is no identifier")) << nameless.errorString().toStdString();
}

} // namespace
