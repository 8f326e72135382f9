// Every kind of declaration error: exactly one message with its place and words, and the
// declaration after the mistake still read.
#include "accore/ACCore.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"

#include <gtest/gtest.h>

#include <string>

using namespace ac;

namespace {

enum class Kind { Pou, Gvl, Types };

struct Case
{
    const char* name;
    Kind kind;
    const char* text;
    int line;
    int column;
    const char* words;     // part of the message
    const char* stillRead; // a variable, member or type that must exist after the error ("" none)
};

std::ostream& operator<<(std::ostream& os, const Case& c)
{
    return os << c.name;
}

class DeclarationErrors : public ::testing::TestWithParam<Case>
{
};

const Case kCases[] = {
    {"UnknownType", Kind::Gvl, "VAR_GLOBAL\n  a : Motorr;\n  b : INT;\nEND_VAR\n", 2, 7,
     "unknown type 'Motorr'", "b"},
    {"UnknownTypeInsideArray", Kind::Gvl, "VAR_GLOBAL\n  a : ARRAY[1..2] OF Foo;\n  b : INT;\nEND_VAR\n", 2, 22,
     "unknown type 'Foo'", "b"},
    {"DuplicateVariable", Kind::Gvl, "VAR_GLOBAL\n  a : INT;\n  a : BOOL;\n  b : INT;\nEND_VAR\n", 3, 3,
     "duplicate name 'a' in global variable list 'G'", "b"},
    {"DuplicateAcrossSections", Kind::Pou,
     "FUNCTION_BLOCK P\nVAR_INPUT x : INT; END_VAR\nVAR x : BOOL; y : INT; END_VAR\n", 3, 5,
     "duplicate name 'x' in function block 'P'", "y"},
    {"DuplicateMember", Kind::Types,
     "TYPE ST : STRUCT\n  a : INT;\n  A : REAL;\n  b : INT;\nEND_STRUCT;\nEND_TYPE\n", 3, 3,
     "duplicate name 'A' in structure 'ST'", "b"},
    {"DuplicateEnumerator", Kind::Types, "TYPE E : (A, B, a); END_TYPE\n", 1, 17, "duplicate name 'a'", ""},
    {"IntegerOutOfRange", Kind::Gvl, "VAR_GLOBAL\n  s : SINT := 200;\n  b : INT;\nEND_VAR\n", 2, 15,
     "value '200' does not fit type SINT: out of range -128..127", "b"},
    {"NegativeUnsigned", Kind::Gvl, "VAR_GLOBAL\n  u : UINT := -1;\n  b : INT;\nEND_VAR\n", 2, 15,
     "does not fit type UINT", "b"},
    {"StringIntoInteger", Kind::Gvl, "VAR_GLOBAL\n  i : INT := 'ten';\n  b : INT;\nEND_VAR\n", 2, 14,
     "does not fit type INT: an integer value", "b"},
    {"RealIntoInteger", Kind::Gvl, "VAR_GLOBAL\n  i : DINT := 1.5;\n  b : INT;\nEND_VAR\n", 2, 15,
     "an integer value, found a real number", "b"},
    {"BoolOfTwo", Kind::Gvl, "VAR_GLOBAL\n  f : BOOL := 2;\n  b : INT;\nEND_VAR\n", 2, 15, "TRUE, FALSE, 0 or 1", "b"},
    {"StringTooLong", Kind::Gvl, "VAR_GLOBAL\n  s : STRING(3) := 'four';\n  b : INT;\nEND_VAR\n", 2, 20,
     "4 bytes, at most 3", "b"},
    {"TimeOverflow", Kind::Gvl, "VAR_GLOBAL\n  t : TIME := T#50d;\n  b : INT;\nEND_VAR\n", 2, 15,
     "longer than 4294967295 ms", "b"},
    {"BadDate", Kind::Gvl, "VAR_GLOBAL\n  d : DATE := D#2023-02-29;\n  b : INT;\nEND_VAR\n", 2, 15,
     "not a valid date", "b"},
    {"UnknownEnumValue", Kind::Gvl, "VAR_GLOBAL\n  m : MC_AXIS_STATE := Flying;\n  b : INT;\nEND_VAR\n", 2, 24,
     "no such value of enumeration MC_AXIS_STATE", "b"},
    {"TooManyArrayValues", Kind::Gvl, "VAR_GLOBAL\n  a : ARRAY[0..2] OF INT := [1, 2(0), 3];\n  b : INT;\nEND_VAR\n",
     2, 29, "4 values for 3 elements", "b"},
    {"ElementOutOfRange", Kind::Gvl, "VAR_GLOBAL\n  a : ARRAY[0..2] OF USINT := [1, 256];\n  b : INT;\nEND_VAR\n",
     2, 35, "value '256' does not fit type USINT", "b"},
    {"UnknownMemberInValue", Kind::Gvl, "VAR_GLOBAL\n  a : AXIS_REF := (Speed := 1.0);\n  b : INT;\nEND_VAR\n", 2,
     19, "no member 'Speed'", "b"},
    {"UndeclaredConstant", Kind::Gvl, "VAR_GLOBAL\n  a : INT := LIMIT_X;\n  b : INT;\nEND_VAR\n", 2, 14,
     "undeclared identifier 'LIMIT_X'", "b"},
    {"MissingEndVar", Kind::Pou,
     "FUNCTION_BLOCK P\nVAR_INPUT\n  a : INT;\nVAR_OUTPUT\n  b : BOOL;\nEND_VAR\n", 4, 1,
     "missing END_VAR for the section opened at line 2, found 'VAR_OUTPUT'", "b"},
    {"MissingEndVarAtEnd", Kind::Gvl, "VAR_GLOBAL\n  a : INT;\n  b : INT;\n", 4, 1,
     "missing END_VAR for the section opened at line 1, found end of text", "b"},
    {"MissingColon", Kind::Gvl, "VAR_GLOBAL\n  a INT;\n  b : INT;\nEND_VAR\n", 2, 5,
     "unexpected 'INT', expected ':' and a type", "b"},
    {"MissingSemicolon", Kind::Gvl, "VAR_GLOBAL\n  a : INT\n  b : INT;\nEND_VAR\n", 3, 3,
     "unexpected 'b', expected ';'", "b"},
    {"MissingSemicolonKeepsFirst", Kind::Gvl, "VAR_GLOBAL\n  a : INT\n  b : INT;\nEND_VAR\n", 3, 3, "expected ';'", "a"},
    {"KeywordAsName", Kind::Gvl, "VAR_GLOBAL\n  INT : INT;\n  b : INT;\nEND_VAR\n", 2, 3,
     "unexpected 'INT', expected a variable name or END_VAR", "b"},
    {"StrayCharacter", Kind::Gvl, "VAR_GLOBAL\n  a : INT := 1 @;\n  b : INT;\nEND_VAR\n", 2, 16,
     "unexpected '@', expected ';'", "b"},
    {"BrokenInitialValue", Kind::Gvl, "VAR_GLOBAL\n  a : INT := ;\n  b : INT;\nEND_VAR\n", 2, 14,
     "unexpected ';', expected an initial value", "b"},
    {"ReversedBounds", Kind::Gvl, "VAR_GLOBAL\n  a : ARRAY[5..1] OF INT;\n  b : INT;\nEND_VAR\n", 2, 13,
     "array lower bound 5 is above upper bound 1", "b"},
    {"UndeclaredBound", Kind::Gvl, "VAR_GLOBAL\n  a : ARRAY[1..MAXN] OF INT;\n  b : INT;\nEND_VAR\n", 2, 16,
     "undeclared identifier 'MAXN'", "b"},
    {"HugeArray", Kind::Gvl, "VAR_GLOBAL\n  a : ARRAY[0..100000, 0..100000] OF LREAL;\n  b : INT;\nEND_VAR\n", 2,
     38, "larger than 4 GiB", "b"},
    {"ZeroLengthString", Kind::Gvl, "VAR_GLOBAL\n  s : STRING(0);\n  b : INT;\nEND_VAR\n", 2, 14,
     "string length 0 outside 1..65535", "b"},
    {"BadAddress", Kind::Gvl, "VAR_GLOBAL\n  x AT %IX0.9 : BOOL;\n  b : INT;\nEND_VAR\n", 2, 8,
     "invalid address '%IX0.9'", "b"},
    {"BitAddressNeedsBool", Kind::Gvl, "VAR_GLOBAL\n  x AT %QX1.0 : INT;\n  b : INT;\nEND_VAR\n", 2, 8,
     "needs type BOOL, found INT", "b"},
    {"GlobalSectionInPou", Kind::Pou, "PROGRAM P\nVAR_GLOBAL\n  g : INT;\nEND_VAR\nVAR b : INT; END_VAR\n", 2, 1,
     "section VAR_GLOBAL is not allowed in program 'P'", "b"},
    {"LocalSectionInList", Kind::Gvl, "VAR\n  g : INT;\nEND_VAR\nVAR_GLOBAL b : INT; END_VAR\n", 1, 1,
     "section VAR is not allowed in global variable list 'G'", "b"},
    {"RecursiveStructure", Kind::Types,
     "TYPE ST : STRUCT\n  inner : ST;\n  b : INT;\nEND_STRUCT;\nEND_TYPE\n", 2, 11, "'ST' cannot contain itself", "b"},
    {"ProgramAsType", Kind::Pou, "FUNCTION_BLOCK P\nVAR\n  m : Prg;\n  b : INT;\nEND_VAR\n", 3, 7,
     "program 'Prg' cannot be instantiated", "b"},
    {"UnterminatedComment", Kind::Gvl, "VAR_GLOBAL\n  b : INT;\n  (* never closed\nEND_VAR\n", 3, 3,
     "unterminated comment", "b"},
    {"UnterminatedString", Kind::Gvl, "VAR_GLOBAL\n  b : INT;\n  s : STRING := 'open\nEND_VAR\n", 3, 17,
     "unterminated string", "b"},
    {"MissingHeader", Kind::Pou, "PROGRAMME P\nVAR b : INT; END_VAR\n", 1, 1,
     "expected PROGRAM, FUNCTION or FUNCTION_BLOCK", ""},
    {"WrongEnd", Kind::Pou, "PROGRAM P\nVAR b : INT; END_VAR\nEND_FUNCTION_BLOCK\n", 3, 1,
     "expected END_PROGRAM", "b"},
    {"MissingEndType", Kind::Types, "TYPE ST : STRUCT b : INT; END_STRUCT;\n", 2, 1,
     "unexpected end of text, expected a type name or END_TYPE", ""},
    {"EnumOutOfRange", Kind::Types, "TYPE E : (A := 40000, B); END_TYPE\n", 1, 16, "does not fit type INT", ""},
    {"BuiltinTypeRedeclared", Kind::Types, "TYPE AXIS_REF : STRUCT b : INT; END_STRUCT; END_TYPE\n", 1, 6,
     "duplicate name 'AXIS_REF' in the built-in types", ""},
};

TEST_P(DeclarationErrors, OneMessageAtItsPlaceAndTheNextDeclarationIsRead)
{
    const Case& c = GetParam();
    ACCore core;
    ASSERT_TRUE(core.parserPou("PROGRAM Prg VAR END_VAR", "Prg", 0));
    core.reset(4);
    const std::string object = c.kind == Kind::Gvl ? "G" : c.kind == Kind::Pou ? "P" : "T";
    bool ok = true;
    switch (c.kind) {
    case Kind::Pou: ok = core.parserPou(c.text, object, 0, false, false, -1); break;
    case Kind::Gvl: ok = core.parseGlobalVars(c.text, object, 0, false, false); break;
    case Kind::Types: ok = core.parserTypes(c.text, object, 0, false, false, -1); break;
    }
    EXPECT_FALSE(ok);
    ASSERT_EQ(core.errors().size(), 1u) << [&] {
        std::string all;
        for (const auto& m : core.errors())
            all += m.toString() + "\n";
        return all;
    }();
    const ACMessage& m = core.errors().front();
    EXPECT_EQ(m.severity(), ACMessage::Error);
    EXPECT_EQ(m.objectName(), object);
    EXPECT_EQ(m.line(), c.line) << m.toString();
    EXPECT_EQ(m.column(), c.column) << m.toString();
    EXPECT_NE(m.message().find(c.words), std::string::npos) << m.toString();
    EXPECT_EQ(m.toString().rfind(object + ":" + std::to_string(c.line) + ":" + std::to_string(c.column) + ": error: ", 0),
              0u);

    if (std::string(c.stillRead).empty())
        return;
    const VarContainer* container = nullptr;
    if (c.kind == Kind::Gvl)
        container = core.symbolGVL(object);
    else if (c.kind == Kind::Pou)
        container = core.symbolPOU(object);
    else
        container = core.symbolType("ST");
    ASSERT_NE(container, nullptr);
    EXPECT_NE(container->param(c.stillRead), nullptr) << "declaration after the error was not read";
}

INSTANTIATE_TEST_SUITE_P(Accore, DeclarationErrors, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(DeclarationMessages, TextAndSeverityWords)
{
    const ACMessage e = ACMessage::unknownType("Main", {3, 7}, "Foo");
    EXPECT_EQ(e.toString(), "Main:3:7: error: unknown type 'Foo'");
    const ACMessage w = ACMessage::nameMismatch("Main", {1, 9}, "Other");
    EXPECT_EQ(w.toString(), "Main:1:9: warning: declared name 'Other' differs from the object name 'Main'");
    const ACMessage copy = w;
    EXPECT_EQ(copy.toString(), w.toString());
    EXPECT_STREQ(ACMessage::severityWord(ACMessage::Info), "info");

    // A header whose name differs from the object's is read under the object's name, with a warning.
    ACCore core;
    EXPECT_TRUE(core.parserPou("PROGRAM Other\nVAR a : INT; END_VAR\n", "Main", 0));
    ASSERT_EQ(core.errors().size(), 1u);
    EXPECT_EQ(core.errors()[0].severity(), ACMessage::Warning);
    ASSERT_NE(core.symbolPOU("Main"), nullptr);
    EXPECT_NE(core.symbolPOU("Main")->param("a"), nullptr);
    // reset(4) clears the messages; the symbols stay known.
    core.reset(4);
    EXPECT_TRUE(core.errors().empty());
    EXPECT_NE(core.symbolPOU("Main"), nullptr);
}

TEST(DeclarationMessages, GarbageNeverCrashesAndIsReported)
{
    ACCore core;
    const std::string inputs[] = {"", "VAR_GLOBAL", "(*", "'", "{", "TYPE", "TYPE X : STRUCT", "ARRAY[",
                                  std::string(100000, '('), std::string(5000, '[') + "1",
                                  "VAR_GLOBAL a : " + std::string(3000, 'A') + ";END_VAR",
                                  "VAR_GLOBAL a : ARRAY[1..2] OF " + [] {
                                      std::string s;
                                      for (int i = 0; i < 200; ++i)
                                          s += "ARRAY[1..2] OF ";
                                      return s;
                                  }() + "INT; END_VAR",
                                  std::string("VAR_GLOBAL\0x : INT; END_VAR", 26)};
    for (const std::string& text : inputs) {
        core.reset(4);
        core.parseGlobalVars(text, "G", 0);
        core.parserTypes(text, "T", 0);
        core.parserPou(text, "P", 0, false, false, -1);
        EXPECT_LE(core.errors().size(), 12u) << text.substr(0, 40);
    }
    core.reset(4);
    EXPECT_FALSE(core.parserTypes(std::string(100000, '('), "T", 0));
    EXPECT_FALSE(core.errors().empty());

    // Found by fuzzing: a stray character in a type name once kept the TYPE loop turning on
    // END_STRUCT; now the rest of the text is still read.
    core.reset(4);
    EXPECT_FALSE(core.parserTypes("TYPE\n  ST]Entry : STRUCT\n    a : INT;\n  END_STRUCT;\n"
                                  "  ST_Next : STRUCT b : INT; END_STRUCT;\nEND_TYPE\n",
                                  "T", 0));
    EXPECT_LE(core.errors().size(), 3u);
    EXPECT_EQ(core.errors().front().line(), 2);
    EXPECT_NE(core.symbolType("ST_Next"), nullptr);
}
} // namespace
