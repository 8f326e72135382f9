// Declarations as a language reference: each construct parsed, its symbol checked.
#include "accore/ACCore.h"
#include "accore/DependenceTree.h"
#include "accore/InitValueTree.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"

#include <gtest/gtest.h>

using namespace ac;

namespace {
std::string allMessages(const ACCore& core)
{
    std::string out;
    for (const ACMessage& m : core.errors())
        out += m.toString() + "\n";
    return out;
}

class Declarations : public ::testing::Test
{
protected:
    bool pou(const std::string& text, const std::string& name)
    {
        core.reset(4);
        const bool ok = core.parserPou(text, name, 0, false, false, -1);
        EXPECT_TRUE(ok) << allMessages(core);
        return ok;
    }
    bool types(const std::string& text, const std::string& name)
    {
        core.reset(4);
        const bool ok = core.parserTypes(text, name, 0, false, false, -1);
        EXPECT_TRUE(ok) << allMessages(core);
        return ok;
    }
    bool gvl(const std::string& text, const std::string& name)
    {
        core.reset(4);
        const bool ok = core.parseGlobalVars(text, name, 0, false, false);
        EXPECT_TRUE(ok) << allMessages(core);
        return ok;
    }
    ACCore core;
};
} // namespace

TEST_F(Declarations, PouHeadersAndSections)
{
    ASSERT_TRUE(pou("PROGRAM Main \nVAR\nEND_VAR\n", "Main"));
    SymbolPOU* main = core.symbolPOU("main");
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->isProgram());
    EXPECT_EQ(main->paramsCount(), 0);

    ASSERT_TRUE(pou("FUNCTION FC_Scale : REAL\nVAR_INPUT raw : INT; lo, hi : REAL; END_VAR\n"
                    "VAR_TEMP t : REAL; END_VAR\nEND_FUNCTION\n",
                    "FC_Scale"));
    SymbolPOU* fc = core.symbolPOU("FC_Scale");
    ASSERT_NE(fc, nullptr);
    EXPECT_TRUE(fc->isFunction());
    ASSERT_NE(fc->returnType(), nullptr);
    EXPECT_EQ(fc->returnType()->dataType(), BT_REAL);
    ASSERT_EQ(fc->paramsCount(), 4);
    EXPECT_EQ(fc->paramAt(1)->name(), "lo");
    EXPECT_EQ(fc->paramAt(2)->name(), "hi");
    EXPECT_EQ(fc->paramAt(2)->scope(), VS_INPUT);
    EXPECT_EQ(fc->paramAt(3)->scope(), VS_TEMP);

    ASSERT_TRUE(pou("FUNCTION_BLOCK FB_Motor\n"
                    "VAR_INPUT enable : BOOL; END_VAR\n"
                    "VAR_OUTPUT running : BOOL; END_VAR\n"
                    "VAR_IN_OUT axis : AXIS_REF; END_VAR\n"
                    "VAR RETAIN hours : UDINT; END_VAR\n"
                    "VAR CONSTANT maxSpeed : REAL := 1500.0; END_VAR\n"
                    "END_FUNCTION_BLOCK",
                    "FB_Motor"));
    SymbolPOU* fb = core.symbolPOU("FB_Motor");
    ASSERT_NE(fb, nullptr);
    EXPECT_TRUE(fb->isFunctionBlock());
    EXPECT_EQ(fb->dataType(), BT_FB_INSTANCE);
    EXPECT_EQ(fb->param("running")->scope(), VS_OUTPUT);
    EXPECT_EQ(fb->param("axis")->scope(), VS_INOUT);
    EXPECT_TRUE(fb->param("hours")->isRetain());
    EXPECT_FALSE(fb->param("hours")->isConstant());
    EXPECT_TRUE(fb->param("maxSpeed")->isConstant());
    // Layout: BOOL 0, BOOL 1, in-out reference at 4, UDINT at 8, REAL at 12 -> 16 bytes.
    EXPECT_EQ(fb->param("enable")->backendAddress(), 0u);
    EXPECT_EQ(fb->param("running")->backendAddress(), 1u);
    EXPECT_EQ(fb->param("axis")->backendAddress(), 4u);
    EXPECT_EQ(fb->param("hours")->backendAddress(), 8u);
    EXPECT_EQ(fb->param("maxSpeed")->backendAddress(), 12u);
    EXPECT_EQ(fb->byteSize(), 16u);

    // A header-less text takes its kind from the caller.
    core.reset(4);
    EXPECT_TRUE(core.parserPou("VAR x : INT; END_VAR", "Headless", 0, false, false, 3));
    ASSERT_NE(core.symbolPOU("Headless"), nullptr);
    EXPECT_TRUE(core.symbolPOU("Headless")->isFunctionBlock());
}

TEST_F(Declarations, ElementaryTypesSizesAndCodes)
{
    struct Row
    {
        const char* type;
        int code;
        unsigned long long bytes;
    };
    const Row rows[] = {{"SINT", 1, 1},   {"INT", 2, 2},      {"DINT", 3, 4},     {"LINT", 4, 8},
                        {"USINT", 5, 1},  {"UINT", 6, 2},     {"UDINT", 7, 4},    {"ULINT", 8, 8},
                        {"BYTE", 5, 1},   {"WORD", 6, 2},     {"DWORD", 7, 4},    {"LWORD", 8, 8},
                        {"BOOL", 9, 1},   {"REAL", 10, 4},    {"LREAL", 11, 8},   {"TIME", 12, 4},
                        {"LTIME", 13, 8}, {"DATE", 14, 4},    {"DT", 15, 4},      {"DATE_AND_TIME", 15, 4},
                        {"TOD", 16, 4},   {"TIME_OF_DAY", 16, 4}, {"STRING", 18, 81}, {"WSTRING", 19, 162},
                        {"STRING(20)", 18, 21}, {"WSTRING(10)", 19, 22}, {"STRING[5]", 18, 6},
                        {"POINTER TO INT", 17, 4}};
    std::string text = "VAR_GLOBAL\n";
    int i = 0;
    for (const Row& r : rows)
        text += "  v" + std::to_string(i++) + " : " + r.type + ";\n";
    text += "END_VAR\n";
    ASSERT_TRUE(gvl(text, "GVL_Types"));
    SymbolGVL* list = core.symbolGVL("GVL_Types");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->paramsCount(), static_cast<int>(sizeof(rows) / sizeof(rows[0])));
    i = 0;
    for (const Row& r : rows) {
        const SymbolVariable* v = list->paramAt(i++);
        SCOPED_TRACE(r.type);
        ASSERT_NE(v->dataType(), nullptr);
        EXPECT_EQ(v->dataType()->dataType(), r.code);
        EXPECT_EQ(v->dataType()->byteSize(), r.bytes);
        EXPECT_EQ(v->memBitSize(false), r.bytes * 8);
        EXPECT_EQ(v->scope(), VS_GLOBAL);
    }
    EXPECT_EQ(list->param("v12")->memBitSize(true), 1u); // BOOL holds one bit of value
    EXPECT_EQ(list->param("v27")->dataType()->refType()->dataType(), BT_INT);
    EXPECT_EQ(core.parseSpecification("POINTER")->memBitSize(false), 32u);
    EXPECT_EQ(core.parseSpecification("ENUM")->memBitSize(false), 16u);
    EXPECT_EQ(core.parseSpecification("LWORD")->memBitSize(false), 64u);
    EXPECT_EQ(core.parseSpecification("ARRAY[1..3] OF INT")->byteSize(), 6u);
    EXPECT_EQ(core.parseSpecification("NoSuchType"), nullptr);
}

TEST_F(Declarations, StructuresWithAlignedOffsets)
{
    ASSERT_TRUE(types("TYPE\n"
                      "  ST_Item : STRUCT\n"
                      "    flag : BOOL;          // offset 0\n"
                      "    count : DINT;         // offset 4 (aligned to 4)\n"
                      "    code : BYTE;          // offset 8\n"
                      "    weight : LREAL;       // offset 16 (aligned to 8)\n"
                      "    label : STRING(10);   // offset 24, 11 bytes\n"
                      "  END_STRUCT;\n"
                      "  ST_Pair : STRUCT a : ST_Item; b : INT; END_STRUCT;\n"
                      "END_TYPE\n",
                      "ST_Item"));
    SymbolDataType* item = core.symbolType("ST_Item");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->dataType(), BT_STRUCT);
    EXPECT_EQ(item->param("flag")->backendAddress(), 0u);
    EXPECT_EQ(item->param("count")->backendAddress(), 4u);
    EXPECT_EQ(item->param("code")->backendAddress(), 8u);
    EXPECT_EQ(item->param("weight")->backendAddress(), 16u);
    EXPECT_EQ(item->param("label")->backendAddress(), 24u);
    EXPECT_EQ(item->alignment(), 8u);
    EXPECT_EQ(item->byteSize(), 40u); // 35 padded to 8
    EXPECT_EQ(item->param("count")->comment(), "offset 4 (aligned to 4)");
    SymbolDataType* pair = core.symbolType("ST_Pair");
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->param("b")->backendAddress(), 40u);
    EXPECT_EQ(pair->byteSize(), 48u);
    ASSERT_EQ(pair->chilren().size(), 2u);
    EXPECT_EQ(pair->chilren()[0]->parent(), pair);
    EXPECT_EQ(pair->param("a")->chilren().size(), 5u); // a structured variable's members
}

TEST_F(Declarations, EnumerationsWithValues)
{
    ASSERT_TRUE(types("TYPE E_State : (Idle, Starting := 5, Running, Stopping := -2, Fault); END_TYPE", "E_State"));
    auto* e = dynamic_cast<SymbolEnumType*>(core.symbolType("E_State"));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->dataType(), BT_ENUM);
    EXPECT_EQ(e->byteSize(), 2u);
    bool ok = false;
    EXPECT_EQ(e->value("idle", ok), 0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(e->value("Running", ok), 6);
    EXPECT_EQ(e->value("E_State#Fault", ok), -1);
    EXPECT_TRUE(ok);
    e->value("Other#Fault", ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(e->key(5, ok), "Starting");
    EXPECT_TRUE(ok);
    EXPECT_EQ(e->key(42, ok), "");
    EXPECT_FALSE(ok);

    ASSERT_TRUE(types("TYPE E_Big : DINT (Small := 1, Large := 100000); END_TYPE", "E_Big"));
    auto* big = dynamic_cast<SymbolEnumType*>(core.symbolType("E_Big"));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->byteSize(), 4u);
    EXPECT_EQ(big->value("Large", ok), 100000);
}

TEST_F(Declarations, ArraysPointersAndInstances)
{
    ASSERT_TRUE(gvl("VAR_GLOBAL CONSTANT\n  N_STATIONS : INT := 4;\nEND_VAR\n"
                    "VAR_GLOBAL\n"
                    "  grid : ARRAY[1..3, 0..4] OF INT;\n"
                    "  stations : ARRAY[1..N_STATIONS] OF TON;\n"
                    "  table : ARRAY[-2..2] OF ARRAY[0..1] OF BOOL;\n"
                    "  p : POINTER TO AXIS_REF;\n"
                    "  axis1 : AXIS_REF;\n"
                    "END_VAR\n",
                    "GVL_Arr"));
    SymbolGVL* list = core.symbolGVL("GVL_Arr");
    ASSERT_NE(list, nullptr);
    const SymbolDataType* grid = list->param("grid")->dataType();
    ASSERT_TRUE(grid->isArray());
    ASSERT_EQ(grid->bounds().size(), 2u);
    EXPECT_EQ(grid->bounds()[0].lower, 1);
    EXPECT_EQ(grid->bounds()[1].upper, 4);
    EXPECT_EQ(grid->elementCount(), 15u);
    EXPECT_EQ(grid->byteSize(), 30u);
    EXPECT_EQ(grid->elementType()->dataType(), BT_INT);
    EXPECT_EQ(grid->typeText(), "ARRAY[1..3, 0..4] OF INT");
    const SymbolDataType* stations = list->param("stations")->dataType();
    EXPECT_EQ(stations->elementCount(), 4u);
    EXPECT_EQ(stations->elementType()->name(), "TON");
    EXPECT_EQ(stations->elementType()->dataType(), BT_FB_INSTANCE);
    EXPECT_EQ(list->param("table")->dataType()->byteSize(), 10u);
    EXPECT_EQ(list->param("p")->dataType()->refType()->name(), "AXIS_REF");
    EXPECT_EQ(list->param("axis1")->dataType()->dataType(), BT_STRUCT);
    EXPECT_NE(list->param("axis1")->dataType()->param("ActPosition"), nullptr);
}

TEST_F(Declarations, InitialValuesOfEveryKind)
{
    ASSERT_TRUE(types("TYPE E_Mode : (Manual, Auto); ST_Cfg : STRUCT speed : REAL; n : INT; END_STRUCT; END_TYPE",
                      "Types"));
    const char* text = "VAR_GLOBAL\n"
                       "  a : INT := INT#-5;\n"
                       "  b : BYTE := 16#FF;\n"
                       "  c : USINT := 2#1010;\n"
                       "  d : LREAL := 1.5E3;\n"
                       "  e : BOOL := TRUE;\n"
                       "  f : TIME := T#1s500ms;\n"
                       "  g : LTIME := LTIME#1h2m3s4ms5us6ns;\n"
                       "  h : DATE := D#2024-02-29;\n"
                       "  i : DT := DT#2024-01-01-12:30:00;\n"
                       "  j : TOD := TOD#08:15:00.250;\n"
                       "  k : STRING(12) := 'Line$Nbreak';\n"
                       "  l : WSTRING(5) := \"wide\";\n"
                       "  m : ARRAY[1..5] OF INT := [3(0), 1, 2];\n"
                       "  n : ST_Cfg := (speed := 2.5, n := 3);\n"
                       "  o : E_Mode := Auto;\n"
                       "  p : E_Mode := E_Mode#Manual;\n"
                       "  q : ARRAY[0..1] OF ST_Cfg := [(speed := 1.0), (n := 2)];\n"
                       "  r : TON := (PT := T#2s);\n"
                       "  s : DINT := -2147483648;\n"
                       "  t : ULINT := 18446744073709551615;\n"
                       "END_VAR\n";
    ASSERT_TRUE(gvl(text, "GVL_Init"));
    SymbolGVL* list = core.symbolGVL("GVL_Init");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->paramsCount(), 20);
    // The initial value is kept and rendered back as text the parser accepts.
    EXPECT_EQ(list->param("a")->initValue()->toStContext(), "INT#-5");
    EXPECT_EQ(list->param("m")->initValue()->toStContext(), "[3(0), 1, 2]");
    EXPECT_EQ(list->param("m")->initValue()->elementCount(), 5u);
    EXPECT_EQ(list->param("n")->initValue()->toStContext(), "(speed := 2.5, n := 3)");
    EXPECT_EQ(list->param("p")->initValue()->toStContext(list->param("p")->dataType()), "Manual");
    EXPECT_EQ(list->param("k")->initValue()->toStContext(), "'Line$Nbreak'");

    std::string again = "VAR_GLOBAL\n";
    for (const auto& v : *list)
        again += "  " + v->name() + " : " + v->dataType()->typeText() + " := "
            + v->initValue()->toStContext(v->dataType()) + ";\n";
    again += "END_VAR\n";
    ASSERT_TRUE(gvl(again, "GVL_Again"));
    EXPECT_EQ(core.symbolGVL("GVL_Again")->paramsCount(), 20);
}

TEST_F(Declarations, AddressesPragmasAndComments)
{
    ASSERT_TRUE(gvl("VAR_GLOBAL\n"
                    "  {attribute 'hide'}\n"
                    "  start AT %IX0.0 : BOOL;   // start button\n"
                    "  speedOut AT %QW2 : INT;\n"
                    "  marker AT %MD1 : DINT;\n"
                    "  plain : INT; (* not located *)\n"
                    "END_VAR\n",
                    "GVL_IO"));
    SymbolGVL* list = core.symbolGVL("GVL_IO");
    ASSERT_NE(list, nullptr);
    const SymbolVariable* start = list->param("start");
    EXPECT_TRUE(start->isFixedAddress());
    EXPECT_EQ(start->fixedAddressText(), "%IX0.0");
    EXPECT_TRUE(start->fixedAddress().isBit());
    EXPECT_EQ(start->pragma(), "attribute 'hide'");
    EXPECT_EQ(start->comment(), "start button");
    EXPECT_EQ(list->param("speedOut")->backendAddress(), 4u);
    EXPECT_EQ(list->param("marker")->backendAddress(), 4u);
    EXPECT_FALSE(list->param("plain")->isFixedAddress());
    EXPECT_EQ(list->param("plain")->comment(), "not located");
    EXPECT_EQ(list->param("plain")->backendAddress(), 0u); // located ones take no room in the list
}

TEST_F(Declarations, ContainersEditReparseAndRemoveFile)
{
    ASSERT_TRUE(core.addFile("Lib", "/tmp/lib.db", 2, 7));
    core.reset(4);
    ASSERT_TRUE(core.parserTypes("TYPE ST_Lib : STRUCT a : INT; END_STRUCT; END_TYPE", "ST_Lib", 7));
    ASSERT_TRUE(gvl("VAR_GLOBAL x : ST_Lib; END_VAR", "GVL_Main"));
    SymbolGVL* list = core.symbolGVL("GVL_Main");
    ASSERT_NE(list, nullptr);

    // addParam parses the type text; refused names and types leave the list unchanged.
    EXPECT_TRUE(list->addParam("y", "ARRAY[0..2] OF ST_Lib", VS_GLOBAL, -1));
    EXPECT_TRUE(list->addParam("first", "BOOL", VS_GLOBAL, 0));
    EXPECT_FALSE(list->addParam("y", "INT", VS_GLOBAL, -1));
    EXPECT_FALSE(list->addParam("z", "NoSuchType", VS_GLOBAL, -1));
    EXPECT_FALSE(list->addParam("bad name", "INT", VS_GLOBAL, -1));
    EXPECT_TRUE(list->addParam("axis", core.symbolType("AXIS_REF"), VS_GLOBAL, -1));
    ASSERT_EQ(list->paramsCount(), 4);
    EXPECT_EQ(list->paramAt(0)->name(), "first");
    EXPECT_EQ(core.symbol("axis", "GVL_Main", 0), list->param("axis"));
    EXPECT_EQ(core.symbol("AXIS_REF", "", ST_DATATYPE), core.symbolType("AXIS_REF"));
    EXPECT_EQ(core.symbol("GVL_Main", "", ST_GVL), list);
    EXPECT_TRUE(list->removeParam("FIRST"));
    EXPECT_FALSE(list->removeParam("first"));
    EXPECT_EQ(list->paramsCount(), 3);

    EXPECT_TRUE(core.isRefSymbol("ST_Lib"));
    EXPECT_FALSE(core.isRefSymbol("GVL_Main"));
    std::map<std::string, int> deps;
    ASSERT_TRUE(core.dependenceTree()->getDecDependence("GVL_Main", deps));
    EXPECT_EQ(deps.count("ST_Lib"), 1u);
    EXPECT_EQ(deps.count("AXIS_REF"), 1u);
    EXPECT_EQ(deps["MC_AXIS_STATE"], 2);

    // Re-parsing replaces the type; variables declared before keep the old one alive.
    ASSERT_TRUE(core.parserTypes("TYPE ST_Lib : STRUCT a : INT; b : LREAL; END_STRUCT; END_TYPE", "ST_Lib", 7));
    EXPECT_EQ(core.symbolType("ST_Lib")->byteSize(), 16u);
    EXPECT_EQ(list->param("x")->dataType()->byteSize(), 2u);

    // Dropping the library's file drops its symbols; the list from file 0 stays.
    EXPECT_TRUE(core.removeFile(7));
    EXPECT_EQ(core.symbolType("ST_Lib"), nullptr);
    EXPECT_NE(core.symbolGVL("GVL_Main"), nullptr);
    EXPECT_FALSE(core.removeFile(7));
    EXPECT_TRUE(core.files().empty());
    core.reset(4);
    EXPECT_FALSE(core.parseGlobalVars("VAR_GLOBAL x : ST_Lib; END_VAR", "GVL_Main", 0));
}

TEST_F(Declarations, BuiltinFunctionBlocksAndMotionTypes)
{
    struct Row
    {
        const char* fb;
        std::vector<const char*> inputs;
        std::vector<const char*> outputs;
    };
    const Row rows[] = {{"TON", {"IN", "PT"}, {"Q", "ET"}},
                        {"TOF", {"IN", "PT"}, {"Q", "ET"}},
                        {"TP", {"IN", "PT"}, {"Q", "ET"}},
                        {"CTU", {"CU", "R", "PV"}, {"Q", "CV"}},
                        {"CTD", {"CD", "LD", "PV"}, {"Q", "CV"}},
                        {"CTUD", {"CU", "CD", "R", "LD", "PV"}, {"QU", "QD", "CV"}},
                        {"R_TRIG", {"CLK"}, {"Q"}},
                        {"F_TRIG", {"CLK"}, {"Q"}},
                        {"RS", {"SET", "RESET1"}, {"Q1"}},
                        {"SR", {"SET1", "RESET"}, {"Q1"}}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.fb);
        SymbolPOU* fb = core.symbolPOU(r.fb);
        ASSERT_NE(fb, nullptr);
        EXPECT_TRUE(fb->isBuiltin());
        for (const char* in : r.inputs)
            EXPECT_EQ(fb->param(in) ? fb->param(in)->scope() : -1, VS_INPUT) << in;
        for (const char* out : r.outputs)
            EXPECT_EQ(fb->param(out) ? fb->param(out)->scope() : -1, VS_OUTPUT) << out;
    }
    EXPECT_EQ(core.symbolPOU("TON")->param("PT")->dataType()->dataType(), BT_TIME);
    for (const char* t : {"AXIS_REF", "AXES_GROUP_REF", "CAM_TABLE_REF"}) {
        SymbolDataType* type = core.symbolType(t);
        ASSERT_NE(type, nullptr) << t;
        EXPECT_TRUE(type->isStruct());
        EXPECT_GT(type->paramsCount(), 3);
    }
    EXPECT_TRUE(core.errors().empty()) << allMessages(core);
    // A user POU cannot take a built-in's name.
    EXPECT_FALSE(core.parserPou("FUNCTION_BLOCK TON VAR_INPUT IN : BOOL; END_VAR", "TON", 0));
    EXPECT_EQ(core.symbolPOU("TON")->paramsCount(), 6);
}

// A TYPE text may declare several types; which ones it declared is known by the text's name.
TEST_F(Declarations, TypesOfOneTextAreKnownByItsName)
{
    ASSERT_TRUE(types("TYPE\n  Point : STRUCT x : INT; END_STRUCT;\n  Level : USINT (1..9);\nEND_TYPE", "Shapes"));
    EXPECT_EQ(core.objectTypeNames("SHAPES"), (std::vector<std::string>{"Point", "Level"}));
    EXPECT_TRUE(core.objectTypeNames("Other").empty());
    // Parsed again with one type less, the text no longer declares the other.
    ASSERT_TRUE(types("TYPE Level : USINT (1..5); END_TYPE", "Shapes"));
    EXPECT_EQ(core.objectTypeNames("Shapes"), std::vector<std::string>{"Level"});
    EXPECT_EQ(core.symbolType("Point"), nullptr);
}
