// A realistic project (a packaging line with conveyor, axes, timers, counters and alarms)
// parses without a message; thirty deliberate mistakes give exactly thirty messages, each
// at its line and column.
#include "CorpusCompile.h"

#include "accore/ACCore.h"
#include "accore/ASTTree.h"
#include "accore/StParser.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"

#include <gtest/gtest.h>

#include <map>

using namespace ac;

namespace {

using corpus::Mistake;
using corpus::joined;

// Thirty mistakes a programmer makes; none affects another's message.
const Mistake kMistakes[] = {
    {"E_StationState", "types", 9, "StError := 99", "StError := 99999", "99999", "does not fit type INT"},
    {"ST_Counters", "types", 6, "filmSplices : UINT;", "filmSplices : UNIT;", "UNIT", "unknown type 'UNIT'"},
    {"ST_Alarm", "types", 10, "text : STRING(80) := 'no text';", "text : STRING(5) := 'no text';", "'no text'",
     "7 bytes, at most 5"},
    {"ST_AxisConfig", "types", 7, "maxDeceleration : LREAL := 5000.0;", "maxAcceleration : LREAL := 5000.0;",
     "maxAcceleration", "duplicate name 'maxAcceleration'"},
    {"ST_AxisConfig", "types", 8, "jerk : LREAL := 0.0;", "jerk : LRAEL := 0.0;", "LRAEL", "unknown type 'LRAEL'"},
    {"ST_Product", "types", 4, "size : E_ProductSize := Medium;", "size : E_ProductSize := Huge;", "Huge",
     "no such value of enumeration E_ProductSize"},
    {"ST_Recipe", "types", 9, "sealTime : TIME := T#350ms;", "sealTime : TIME := 350;", "350", "a duration T#..."},
    {"ST_Recipe", "types", 15, "created : DATE := D#2024-01-15;", "created : DATE := D#2024-13-15;", "D#2024-13-15",
     "not a valid date"},
    {"ST_Recipe", "types", 14, "cutOffset : ARRAY[1..4] OF REAL := [4(0.0)];",
     "cutOffset : ARRAY[1..4] OF REAL := [5(0.0)];", "[5(", "5 values for 4 elements"},
    {"ST_Counters", "types", 10, "lastReset : DT := DT#2024-01-01-00:00:00;",
     "lastReset : DT := DT#2024-01-01-25:00:00;", "DT#", "not a valid date and time"},
    {"ST_Counters", "types", 7, "hourly : ARRAY[0..23] OF UDINT;", "hourly : ARRAY[0..HOURS_PER_DAY] OF UDINT;",
     "HOURS_PER_DAY", "undeclared identifier 'HOURS_PER_DAY'"},
    {"ST_HmiCommands", "types", 11, "speedOverride : USINT := 100;", "speedOverride : USINT := 300;", "300",
     "out of range 0..255"},
    {"ST_LogEntry", "types", 6, "value : LREAL;", "value LREAL;", "LREAL", "expected ':' and a type"},
    {"GVL_Constants", "gvl", 8, "SEAL_TEMP_MAX : REAL := 200.0;", "SEAL_TEMP_MAX : REAL := 200.0", "SEAL_TEMP_MIN",
     "expected ';'"},
    {"GVL_Constants", "gvl", 10, "CYCLE_TIMEOUT : TIME := T#5s;", "CYCLE_TIMEOUT : TIME := T#5x;", "T#5x",
     "not a valid duration"},
    {"GVL_IO", "gvl", 4, "diGuardDoorClosed AT %IX0.1 : BOOL;", "diGuardDoorClosed AT %IX0.8 : BOOL;", "%IX0.8",
     "invalid address"},
    {"GVL_IO", "gvl", 21, "aiSealTemperature AT %IW2 : INT;", "aiSealTemperature AT %IX2.0 : INT;", "%IX2.0",
     "needs type BOOL"},
    {"GVL_IO", "gvl", 33, "doVacuum AT %QX0.7 : BOOL;", "doVacuum AT %QX0.7 : BOOL; doVacuum : BOOL;",
     "doVacuum : BOOL", "duplicate name 'doVacuum'"},
    {"GVL_Machine", "gvl", 27, "gCalibration : ARRAY[1..4] OF REAL", "gCalibration : ARRAY[4..1] OF REAL", "4..1",
     "array lower bound 4 is above upper bound 1"},
    {"GVL_Motion", "gvl", 9, "(name := 'Conveyor', unitsPerRev := 314.159, maxVelocity := 1500.0),",
     "(name := 'Conveyor', unitsPerRevolution := 314.159, maxVelocity := 1500.0),", "(name",
     "no member 'unitsPerRevolution'"},
    {"GVL_Motion", "gvl", 14, "gAxisPtr : POINTER TO AXIS_REF;", "gAxisPtr : POINTER TO AXIS_RFE;", "AXIS_RFE",
     "unknown type 'AXIS_RFE'"},
    {"GVL_Alarms", "gvl", 7, "gAlarmAckAll : BOOL;", "gAlarmAckAll : BOOL;\nVAR_GLOBAL", "VAR_GLOBAL",
     "missing END_VAR"},
    {"FB_Axis", "pou", 41, "ST_MOVING : INT := 3;", "ST_MOVING : INT := 3.5;", "3.5",
     "an integer value, found a real number"},
    {"FB_Alarm", "body", 12, "gAlarms[slot].alarmClass := alarmClass;", "gAlarms[slot].alarmKind := alarmClass;",
     "alarmKind", "'alarmKind' is not a member of ST_Alarm"},
    {"FB_Axis", "body", 28, "target := FC_Clamp(value := position,", "target := FC_Clamp(val := position,", "val",
     "'val' is not a member of the interface of FC_Clamp"},
    {"FB_TempControl", "body", 13, "errorNow := zone.setpoint - zone.actual;",
     "errorNow := zone.setpoint - zone.actuall;", "actuall", "'actuall' is not a member of ST_TemperatureZone"},
    {"FB_Conveyor", "body", 1, "axisCtrl(enable := TRUE,", "axisCtrl(enable := TRUE,,", ", moveVelocity", "expected an expression"},
    {"PRG_Main", "body", 22, "gMachineState := Starting;", "gMachineState := Startng;", "Startng",
     "undeclared identifier 'Startng'"},
    {"PRG_Main", "body", 79, "allStationsIdle := TRUE;", "allStationsIdle := TRUE", "FOR",
     "unexpected 'FOR', expected ';'"},
    {"PRG_Hmi", "body", 32, "gHmiCmd.start := FALSE;", "gHmiCmd.start = FALSE;", ";", "expected ':=' or a call"},
};

std::string corpusDir()
{
    return ACCORE_CORPUS_DIR;
}

} // namespace

TEST(Corpus, MachineProjectParsesWithoutAnyMessage)
{
    const auto objects = corpus::load(corpusDir());
    ASSERT_GE(corpus::lineCount(objects), 1000u);
    std::map<std::string, int> kinds;
    for (const auto& o : objects)
        ++kinds[o.kind];
    EXPECT_GE(kinds["types"], 10);
    EXPECT_GE(kinds["gvl"], 5);
    EXPECT_GE(kinds["pou"], 10);
    EXPECT_EQ(kinds["pou"], kinds["body"]);

    ACCore core;
    const auto messages = corpus::compile(core, objects);
    EXPECT_TRUE(messages.empty()) << joined(messages);

    // A few facts of the compiled project.
    ASSERT_NE(core.symbolGVL("GVL_Machine"), nullptr);
    EXPECT_EQ(core.symbolGVL("GVL_Machine")->param("gRecipes")->dataType()->elementCount(), 16u);
    ASSERT_NE(core.symbolPOU("PRG_Main"), nullptr);
    EXPECT_EQ(core.symbolPOU("PRG_Main")->param("stations")->dataType()->elementType()->name(), "FB_Station");
    EXPECT_TRUE(core.isRefSymbol("FB_Axis"));
    EXPECT_TRUE(core.isRefSymbol("ST_Recipe"));
    EXPECT_FALSE(core.isRefSymbol("PRG_Main"));
}

TEST(Corpus, ThirtyMistakesGiveExactlyThirtyMessagesAtTheirPlaces)
{
    ASSERT_EQ(sizeof(kMistakes) / sizeof(kMistakes[0]), 30u);
    auto objects = corpus::load(corpusDir());
    std::vector<corpus::Expected> expected;
    for (const Mistake& m : kMistakes) {
        corpus::Expected e;
        std::string problem;
        ASSERT_TRUE(corpus::plant(objects, m, e, problem)) << problem;
        expected.push_back(e);
    }

    ACCore core;
    const auto messages = corpus::compile(core, objects);
    ASSERT_EQ(messages.size(), 30u) << joined(messages);
    for (const corpus::Expected& e : expected) {
        auto match = std::find_if(messages.begin(), messages.end(), [&](const ACMessage& m) {
            return m.objectName() == e.object && m.line() == e.line && m.column() == e.column
                && m.message().find(e.words) != std::string::npos;
        });
        EXPECT_NE(match, messages.end()) << "no message " << e.object << ":" << e.line << ":" << e.column << " '"
                                         << e.words << "'\n"
                                         << joined(messages);
    }
}
