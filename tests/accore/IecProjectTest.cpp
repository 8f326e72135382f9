// A project written from the features of IEC 61131-3 (functions, function blocks and
// programs; structures, enumerations, arrays, aliases, subranges and strings as data types;
// global constants in types and bounds) checks with no message, in the core and through
// `plcproj check`; ten planted mistakes give exactly ten errors at their places.
#include "CorpusCompile.h"

#include "accore/SymbolDataType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

using namespace ac;

namespace {

std::string projectDir()
{
    return std::string(ACCORE_CORPUS_DIR) + "/iec_project";
}

// Ten mistakes, each of another kind; none gives a message beyond its own.
const corpus::Mistake kMistakes[] = {
    {"GVL_Plant", "gvl", 10, "gSetpoint : T_Percent := 50;", "gSetpoint : T_Percent := 150;", "150",
     "out of range 0..100"},
    {"FB_Log", "pou", 9, "gLogIndex : INT;", "gLogPos : INT;", "gLogPos", "no global variable 'gLogPos'"},
    {"T_Aliases", "types", 4, "T_Depth : T_Level;", "T_Depth : T_Depth2; T_Depth2 : T_Depth;", "T_Depth;",
     "type 'T_Depth2' refers to itself through 'T_Depth'"},
    {"PRG_Recipes", "pou", 6, "ARRAY[1..MAX_STEPS]", "ARRAY[1..step]", "step]", "'step' is not a constant"},
    {"FB_Alarm", "body", 5, "{region 'count the active alarms'}", "{region 'count the active alarms'", "{region",
     "unterminated pragma"},
    {"FC_Max3", "body", 1, "MAX(a, b, c)", "MOD(a, b, c)", "MOD", "function 'MOD' takes 2 inputs, found 3"},
    {"FB_Stack", "pou", 6, "value : INT;", "value : INT R_EDGE;", "R_EDGE", "R_EDGE needs a BOOL input"},
    {"T_Recipe", "types", 7, "D#1970-9-1", "D#1970-9-31", "D#", "not a valid date"},
    {"FB_Latch", "body", 1, "sr1(S1 := set", "sr1(S := set", "S :=", "'S' is not a member of the interface of SR"},
    {"GVL_Plant", "gvl", 13, "gSpeed : T_Speed;", "gSpeed : T_Sped;", "T_Sped", "unknown type 'T_Sped'"},
};

std::vector<corpus::Object> plantedProject(std::vector<corpus::Expected>& expected)
{
    auto objects = corpus::load(projectDir());
    for (const corpus::Mistake& m : kMistakes) {
        corpus::Expected e;
        std::string problem;
        EXPECT_TRUE(corpus::plant(objects, m, e, problem)) << problem;
        expected.push_back(e);
    }
    return objects;
}

// "OBJECT:LINE:COLUMN: error: ..." lines of one message each, against the expected ones.
void expectExactly(const std::vector<std::string>& lines, const std::vector<corpus::Expected>& expected,
                   const std::string& all)
{
    ASSERT_EQ(lines.size(), expected.size()) << all;
    for (const corpus::Expected& e : expected) {
        const std::string head = e.object + ":" + std::to_string(e.line) + ":" + std::to_string(e.column) + ": error: ";
        const bool found = std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind(head, 0) == 0 && line.find(e.words) != std::string::npos;
        });
        EXPECT_TRUE(found) << "no message " << head << "..." << e.words << "\n" << all;
    }
}

} // namespace

TEST(IecProject, ChecksWithoutAnyMessageInTheCore)
{
    const auto objects = corpus::load(projectDir());
    std::map<std::string, int> kinds;
    for (const auto& o : objects) {
        ++kinds[o.kind];
        if (o.kind == "pou" && o.text.find("FUNCTION_BLOCK") != std::string::npos)
            ++kinds["fb"];
        else if (o.kind == "pou" && o.text.find("FUNCTION") != std::string::npos)
            ++kinds["fc"];
        else if (o.kind == "pou")
            ++kinds["prg"];
    }
    EXPECT_GE(kinds["pou"], 40);
    EXPECT_EQ(kinds["pou"], kinds["body"]);
    EXPECT_GE(kinds["fb"], 10);
    EXPECT_GE(kinds["fc"], 10);
    EXPECT_GE(kinds["prg"], 5);

    // Types come before the list of the constants they use: one pass in that order already
    // leaves every symbol whole ...
    ACCore once;
    corpus::compile(once, objects);
    ASSERT_NE(once.symbolType("T_LogEntry"), nullptr);
    ASSERT_NE(once.symbolType("T_LogEntry")->param("text"), nullptr);
    EXPECT_EQ(once.symbolType("T_LogEntry")->param("text")->dataType()->stringLength(), 48u);
    const SymbolGVL* plant = once.symbolGVL("GVL_Plant");
    ASSERT_NE(plant, nullptr);
    EXPECT_EQ(plant->param("gLog")->dataType()->elementCount(), 32u);
    EXPECT_EQ(plant->param("gLog")->dataType()->elementType()->param("text")->dataType()->stringLength(), 48u);
    EXPECT_EQ(plant->param("gAlarms")->dataType()->elementCount(), 8u);
    EXPECT_EQ(plant->param("gQueue")->dataType()->byteSize(), 16u * 4u);
    EXPECT_EQ(plant->param("gRecipe")->dataType()->param("name")->dataType()->stringLength(), 24u);
    EXPECT_EQ(once.symbolPOU("FB_Stack")->param("items")->dataType()->elementCount(), 16u);

    // ... and a check (a quiet pass first, as the project check makes) gives no message.
    ACCore core;
    const auto messages = corpus::compile(core, objects, true);
    EXPECT_TRUE(messages.empty()) << corpus::joined(messages);
}

TEST(IecProject, TenMistakesGiveTenErrorsInTheCore)
{
    std::vector<corpus::Expected> expected;
    const auto objects = plantedProject(expected);
    ACCore core;
    const auto messages = corpus::compile(core, objects, true);
    std::vector<std::string> lines;
    for (const auto& m : messages)
        lines.push_back(m.toString());
    expectExactly(lines, expected, corpus::joined(messages));
}

namespace {

// The project as `plcproj exec` commands: each object added, its text set, then saved.
std::string execScript(const std::vector<corpus::Object>& objects)
{
    auto quoted = [](const std::string& text) {
        std::string out = "'";
        for (char c : text)
            out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    };
    std::ostringstream script;
    for (const auto& o : objects) {
        if (o.kind == "types") {
            script << "add type " << o.name << "\ndecl type " << o.name << " " << quoted(o.text) << "\n";
        } else if (o.kind == "gvl") {
            script << "add gvl " << o.name << "\ndecl gvl " << o.name << " " << quoted(o.text) << "\n";
        } else if (o.kind == "pou") {
            const bool fb = o.text.find("FUNCTION_BLOCK") != std::string::npos;
            const bool fc = !fb && o.text.find("FUNCTION") != std::string::npos;
            script << "add pou " << o.name << " --type " << (fb ? "FB" : fc ? "FC" : "PRG") << "\ndecl pou " << o.name
                   << " " << quoted(o.text) << "\n";
        } else if (o.kind == "body") {
            script << "logic " << o.name << " " << quoted(o.text) << "\n";
        }
    }
    script << "save\n";
    return script.str();
}

struct ToolRun
{
    int code = -1;
    std::string out;
};

ToolRun run(const std::string& command)
{
    ToolRun result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    const int status = pclose(pipe);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class IecProjectTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* binary = std::getenv("DATAMODEL_BINARY_DIR");
        if (!binary)
            GTEST_SKIP() << "DATAMODEL_BINARY_DIR is not set (run through ctest)";
        tool = std::string(binary) + "/bin/plcproj";
        char pattern[] = "/tmp/iec_project_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        temp = pattern;
    }
    void TearDown() override
    {
        if (!temp.empty() && !HasFailure())
            run("rm -rf '" + temp + "'");
    }

    // Creates a project holding the objects and returns what `plcproj check` printed.
    ToolRun check(const std::string& name, const std::vector<corpus::Object>& objects)
    {
        const std::string dir = temp + "/" + name;
        const ToolRun created = run("'" + tool + "' create '" + dir + "' --name " + name);
        EXPECT_EQ(created.code, 0) << created.out;
        const std::string scriptPath = temp + "/" + name + ".txt";
        std::ofstream(scriptPath) << execScript(objects);
        const ToolRun exec = run("'" + tool + "' exec '" + dir + "' -f '" + scriptPath + "'");
        EXPECT_EQ(exec.code, 0) << exec.out;
        return run("'" + tool + "' check '" + dir + "'");
    }

    std::string tool;
    std::string temp;
};

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

} // namespace

TEST_F(IecProjectTool, PlcprojChecksTheProjectWithoutAnyMessage)
{
    const ToolRun clean = check("Clean", corpus::load(projectDir()));
    EXPECT_EQ(clean.code, 0) << clean.out;
    EXPECT_EQ(clean.out, "");
}

TEST_F(IecProjectTool, PlcprojReportsTheTenMistakesAndNothingElse)
{
    std::vector<corpus::Expected> expected;
    const auto objects = plantedProject(expected);
    const ToolRun planted = check("Planted", objects);
    EXPECT_EQ(planted.code, 1) << planted.out;
    expectExactly(linesOf(planted.out), expected, planted.out);
}
