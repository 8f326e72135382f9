// Declaration text rendered from the compiler core's symbols must parse back, in the core's
// own parser, to the same variables: sections, flags, types, addresses, initial values,
// comments and pragmas.
#include "support/QtPrinters.h"

#include "datamodel/memory/DataConversion.h"

#include "accore/ACCore.h"
#include "accore/InitValueTree.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"

#include <gtest/gtest.h>

namespace {

const char* const kTypes = "TYPE\n"
                           "    E_Mode : (Off, Auto := 5, Manual := -3);\n"
                           "    E_Far : DINT (Near := 1, Far := 70000);\n"
                           "    S_Point : STRUCT x : REAL := 1.5; y : REAL; END_STRUCT;\n"
                           "END_TYPE\n";

std::string messages(const ac::ACCore& core)
{
    std::string out;
    for (const ac::ACMessage& message : core.errors())
        out += std::to_string(message.line()) + ":" + std::to_string(message.column()) + " " + message.toString() + "\n";
    return out;
}

std::string initText(const ac::SymbolVariable& variable)
{
    return variable.initValue() ? variable.initValue()->toStContext(variable.dataType()) : std::string("<none>");
}

// Every variable of `b` is the variable of `a` at the same place.
void expectSameVariables(const ac::VarContainer& a, const ac::VarContainer& b, const std::string& rendered)
{
    ASSERT_EQ(a.paramsCount(), b.paramsCount()) << rendered;
    for (int i = 0; i < a.paramsCount(); ++i) {
        const ac::SymbolVariable& x = *a.paramAt(i);
        const ac::SymbolVariable& y = *b.paramAt(i);
        SCOPED_TRACE(x.name() + " in\n" + rendered);
        EXPECT_EQ(x.name(), y.name());
        EXPECT_EQ(x.scope(), y.scope());
        EXPECT_EQ(x.isRetain(), y.isRetain());
        EXPECT_EQ(x.isConstant(), y.isConstant());
        EXPECT_EQ(x.dataType()->typeText(), y.dataType()->typeText());
        EXPECT_EQ(x.fixedAddressText(), y.fixedAddressText());
        EXPECT_EQ(initText(x), initText(y));
        EXPECT_EQ(x.comment(), y.comment());
        EXPECT_EQ(x.pragma(), y.pragma());
    }
}

class ParamToTextTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(core.parserTypes(kTypes, "Types", 1)) << messages(core); }

    // Renders what `declaration` declared and parses the rendering under another name.
    template <typename Parse, typename Find>
    void roundTrip(const std::string& declaration, DataConversion::PouType kind, Parse parse, Find find)
    {
        ASSERT_TRUE(parse(declaration, "Original")) << messages(core);
        ac::Symbol* original = find("Original");
        ASSERT_NE(original, nullptr);
        const std::string rendered = DataConversion::paramToText(original, kind, "Copy");
        ASSERT_FALSE(rendered.empty());
        ASSERT_TRUE(parse(rendered, "Copy")) << rendered << messages(core);
        ac::Symbol* copy = find("Copy");
        ASSERT_NE(copy, nullptr);
        expectSameVariables(dynamic_cast<ac::VarContainer&>(*original), dynamic_cast<ac::VarContainer&>(*copy), rendered);
        // Rendering the copy again gives the same text: nothing drifts on a second pass.
        EXPECT_EQ(DataConversion::paramToText(copy, kind, "Copy"), rendered);
    }

    void pouRoundTrip(const std::string& declaration, DataConversion::PouType kind)
    {
        roundTrip(declaration, kind,
                  [&](const std::string& text, const std::string& name) {
                      core.reset(4);
                      return core.parserPou(text, name, 1);
                  },
                  [&](const std::string& name) { return core.symbolPOU(name); });
    }

    ac::ACCore core;
};

TEST_F(ParamToTextTest, globalListKeepsSectionsAddressesValuesCommentsAndPragmas)
{
    const std::string declaration =
        "VAR_GLOBAL\n"
        "    speed : INT := 3; // set point\n"
        "    {attribute 'hide'} {region}\n"
        "    limit AT %MW4 : WORD := 16#FF;\n"
        "    start AT %IX0.7 : BOOL;   (* the start button,\n   wired to X0.7 *)\n"
        "    name : STRING(20) := 'it$'s $N';\n"
        "    table : ARRAY[1..5] OF INT := [3(0), 1, 2];\n"
        "    origin : S_Point := (x := 2.5, y := -1.0);\n"
        "    mode : E_Mode := E_Mode#Auto;\n"
        "    far : E_Far := Far;\n"
        "    cycle : TIME := T#1s500ms;\n"
        "    stamp : DT := DT#2024-02-29-12:34:56;\n"
        "    target : POINTER TO S_Point;\n"
        "END_VAR\n"
        "VAR_GLOBAL RETAIN\n"
        "    counter : UDINT;\n"
        "END_VAR\n"
        "VAR_GLOBAL RETAIN\n"
        "    total : LREAL := 1.0E10; // merged into the section before\n"
        "END_VAR\n"
        "VAR_GLOBAL CONSTANT\n"
        "    MAX_AXES : USINT := 8;\n"
        "END_VAR\n"
        "VAR_GLOBAL\n"
        "    last : BOOL := TRUE;\n"
        "END_VAR\n";
    roundTrip(declaration, DataConversion::GlobalVarsText,
              [&](const std::string& text, const std::string& name) {
                  core.reset(4);
                  return core.parseGlobalVars(text, name, 1);
              },
              [&](const std::string& name) { return core.symbolGVL(name); });
    const std::string rendered = DataConversion::paramToText(core.symbolGVL("Original"), DataConversion::GlobalVarsText);
    EXPECT_NE(rendered.find("VAR_GLOBAL RETAIN\n"), std::string::npos) << rendered;
    EXPECT_NE(rendered.find("VAR_GLOBAL CONSTANT\n"), std::string::npos) << rendered;
    EXPECT_EQ(rendered.find("VAR_GLOBAL RETAIN\n", rendered.find("VAR_GLOBAL RETAIN\n") + 1), std::string::npos)
        << "consecutive variables with the same flags share one section:\n" << rendered;
}

TEST_F(ParamToTextTest, programAndFunctionBlockKeepEverySection)
{
    const std::string sections =
        "VAR_INPUT\n    enable : BOOL := TRUE; // go\n    setPoint : REAL;\nEND_VAR\n"
        "VAR_OUTPUT\n    done : BOOL;\nEND_VAR\n"
        "VAR_IN_OUT\n    shared : ARRAY[0..3] OF DINT;\nEND_VAR\n"
        "VAR\n    timer : TON;\n    {pragma}\n    step : E_Mode := Manual;\n    text : WSTRING(8) := \"w$\"x\";\nEND_VAR\n"
        "VAR RETAIN\n    kept : LINT := -9223372036854775807;\nEND_VAR\n"
        "VAR_TEMP\n    scratch : LTIME := LTIME#1ms5ns;\nEND_VAR\n";
    pouRoundTrip("PROGRAM Original\n" + sections, DataConversion::ProgramText);
    EXPECT_EQ(core.symbolPOU("Copy")->pouKind(), ac::PK_PROGRAM);
    pouRoundTrip("FUNCTION_BLOCK Original\n" + sections, DataConversion::FunctionBlockText);
    EXPECT_EQ(core.symbolPOU("Copy")->pouKind(), ac::PK_FUNCTION_BLOCK);
}

TEST_F(ParamToTextTest, functionKeepsItsReturnType)
{
    pouRoundTrip("FUNCTION Original : ARRAY[1..2] OF S_Point\n"
                 "VAR_INPUT\n    a : INT; // first\n    b : INT := 2;\nEND_VAR\n"
                 "VAR\n    tmp : DINT;\nEND_VAR\n",
                 DataConversion::FunctionText);
    ac::SymbolPOU* copy = core.symbolPOU("Copy");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->pouKind(), ac::PK_FUNCTION);
    ASSERT_NE(copy->returnType(), nullptr);
    EXPECT_EQ(copy->returnType()->typeText(), "ARRAY[1..2] OF S_Point");
}

TEST_F(ParamToTextTest, structureAndEnumerationTypes)
{
    const auto parseType = [&](const std::string& text, const std::string& name) {
        core.reset(4);
        return core.parserTypes(text, name + "File", 1);
    };
    roundTrip("TYPE Original :\nSTRUCT\n"
              "    {unit 'mm'}\n    x : REAL := 1.5; // across\n"
              "    y AT %QW2 : INT;\n    tag : STRING := 'p$'1';\n    inner : S_Point;\n"
              "END_STRUCT\nEND_TYPE\n",
              DataConversion::StructText, parseType, [&](const std::string& name) { return core.symbolType(name); });

    for (const char* name : {"E_Mode", "E_Far"}) {
        auto* original = dynamic_cast<ac::SymbolEnumType*>(core.symbolType(name));
        ASSERT_NE(original, nullptr);
        const std::string rendered = DataConversion::paramToText(original, DataConversion::EnumText, "Copy");
        ASSERT_TRUE(parseType(rendered, "Copy")) << rendered << messages(core);
        auto* copy = dynamic_cast<ac::SymbolEnumType*>(core.symbolType("Copy"));
        ASSERT_NE(copy, nullptr) << rendered;
        EXPECT_EQ(copy->enumerators(), original->enumerators()) << rendered;
        EXPECT_EQ(copy->byteSize(), original->byteSize()) << rendered;
    }
}

TEST_F(ParamToTextTest, wrongKindsAndContainersGiveNoText)
{
    ASSERT_TRUE(core.parseGlobalVars("VAR_GLOBAL\n    a : INT;\nEND_VAR\n", "List", 1));
    ac::Symbol* list = core.symbolGVL("List");
    EXPECT_EQ(DataConversion::paramToText(list, static_cast<DataConversion::PouType>(6)), "");
    EXPECT_EQ(DataConversion::paramToText(list, static_cast<DataConversion::PouType>(-1)), "");
    EXPECT_EQ(DataConversion::paramToText(list, DataConversion::EnumText), "") << "a list is no enumeration";
    EXPECT_EQ(DataConversion::paramToText(nullptr, DataConversion::GlobalVarsText), "");
    EXPECT_EQ(DataConversion::paramToText(list, DataConversion::GlobalVarsText), "VAR_GLOBAL\n    a : INT;\nEND_VAR\n");
}

} // namespace
