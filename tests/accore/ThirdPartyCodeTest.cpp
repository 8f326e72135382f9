// Constructs of valid IEC 61131-3 code written for other tools: each is accepted, and a
// wrong use of it is still refused at its place, with one message per cause.
#include "accore/ACCore.h"
#include "accore/ASTTree.h"
#include "accore/InitValueTree.h"
#include "accore/StParser.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ac;

namespace {

// A core fed object by object, collecting every message as the data model would.
class Project
{
public:
    Project& types(const std::string& name, const std::string& text)
    {
        core.reset(4);
        core.parserTypes(text, name, 0);
        take();
        return *this;
    }
    Project& gvl(const std::string& name, const std::string& text)
    {
        core.reset(4);
        core.parseGlobalVars(text, name, 0);
        take();
        return *this;
    }
    Project& pou(const std::string& name, const std::string& text)
    {
        core.reset(4);
        core.parserPou(text, name, 0);
        take();
        return *this;
    }
    Project& body(const std::string& name, const std::string& text)
    {
        std::vector<ACMessage> syntax;
        auto tree = StParser().parse(text, name, 0, syntax);
        core.reset(4);
        core.checkPOU(tree->root(), name, -1, nullptr);
        take();
        return *this;
    }

    std::vector<ACMessage> errors() const
    {
        std::vector<ACMessage> out;
        for (const auto& m : messages) {
            if (m.isError())
                out.push_back(m);
        }
        return out;
    }
    std::string all() const
    {
        std::string out;
        for (const auto& m : messages)
            out += m.toString() + "\n";
        return out;
    }
    // Exactly one error, at that place, saying that.
    void expectOneError(const std::string& object, int line, int column, const std::string& words) const
    {
        const auto found = errors();
        ASSERT_EQ(found.size(), 1u) << all();
        EXPECT_EQ(found[0].objectName(), object) << all();
        EXPECT_EQ(found[0].line(), line) << all();
        EXPECT_EQ(found[0].column(), column) << all();
        EXPECT_NE(found[0].message().find(words), std::string::npos) << all();
    }

    ACCore core;
    std::vector<ACMessage> messages;

private:
    void take() { messages.insert(messages.end(), core.errors().begin(), core.errors().end()); }
};

} // namespace

TEST(ThirdPartyCode, PragmasStandWhereCommentsMay)
{
    Project p;
    p.gvl("GVL", "{attribute 'qualified_only'}\nVAR_GLOBAL\n  {attribute 'hide'}\n  a : INT;\n  b : BOOL;\n"
                 "  {some other tool's pragma}\nEND_VAR\n");
    p.pou("FB_P", "{attribute 'reflection'}\n{warning 'check the limits'}\nFUNCTION_BLOCK FB_P\n"
                  "{attribute 'x'}\nVAR_INPUT\n  i : INT;\nEND_VAR\nEND_FUNCTION_BLOCK\n");
    p.body("FB_P", "{region 'main'}\ni := a;\n{endregion}\n{info 'done'}\nIF b THEN i := 0; END_IF;\n");
    EXPECT_TRUE(p.errors().empty()) << p.all();
    // The attribute belongs to the variable after it, not to the list's first variable.
    EXPECT_EQ(p.core.symbolGVL("GVL")->param("a")->pragma(), "attribute 'hide'");
    EXPECT_EQ(p.core.symbolGVL("GVL")->param("b")->pragma(), "");
    EXPECT_EQ(p.core.symbolPOU("FB_P")->param("i")->pragma(), "");
    ASSERT_EQ(p.messages.size(), 2u) << p.all();
    EXPECT_EQ(p.messages[0].severity(), ACMessage::Warning);
    EXPECT_EQ(p.messages[0].message(), "check the limits");
    EXPECT_EQ(p.messages[0].line(), 2);
    EXPECT_EQ(p.messages[1].severity(), ACMessage::Info);
    EXPECT_EQ(p.messages[1].line(), 4);

    // A pragma left open is an error at its brace, not a silent swallow of what follows.
    Project open;
    open.gvl("GVL", "VAR_GLOBAL\n  {attribute 'hide'\n  a : INT;\n  {attribute 'x'} b : INT;\nEND_VAR\n");
    open.expectOneError("GVL", 2, 3, "unterminated pragma");
    Project openBody;
    openBody.pou("P", "PROGRAM P VAR i : INT; END_VAR").body("P", "i := 1;\n{warning 'x'\ni := 2;\n");
    openBody.expectOneError("P", 2, 1, "unterminated pragma");
}

TEST(ThirdPartyCode, ExternalVariablesNameTheirGlobals)
{
    Project p;
    p.gvl("GVL", "VAR_GLOBAL CONSTANT\n  MaxItems : INT := 15;\nEND_VAR\nVAR_GLOBAL\n  level : REAL;\nEND_VAR\n");
    p.pou("FB_Q", "FUNCTION_BLOCK FB_Q\nVAR_EXTERNAL CONSTANT\n  MaxItems : INT;\nEND_VAR\n"
                  "VAR_EXTERNAL\n  level : REAL;\nEND_VAR\nVAR\n  items : ARRAY[0..MaxItems] OF DWORD;\nEND_VAR\n");
    p.body("FB_Q", "items[MaxItems] := 1;\nlevel := level + 1.0;\n");
    EXPECT_TRUE(p.errors().empty()) << p.all();
    const SymbolPOU* fb = p.core.symbolPOU("FB_Q");
    EXPECT_EQ(fb->param("items")->dataType()->elementCount(), 16u);
    EXPECT_EQ(fb->param("level")->scope(), VS_EXTERNAL);
    // An external takes no memory of the block: the array alone is laid out.
    EXPECT_EQ(fb->byteSize(), 16u * 4u);

    Project missing;
    missing.gvl("GVL", "VAR_GLOBAL level : REAL; END_VAR");
    missing.pou("FB_Q", "FUNCTION_BLOCK FB_Q\nVAR_EXTERNAL\n  level : REAL;\n  speed : REAL;\nEND_VAR\n");
    missing.expectOneError("FB_Q", 4, 3, "no global variable 'speed' for VAR_EXTERNAL");

    Project differs;
    differs.gvl("GVL", "VAR_GLOBAL level : REAL; END_VAR");
    differs.pou("FB_Q", "FUNCTION_BLOCK FB_Q\nVAR_EXTERNAL\n  level : INT;\nEND_VAR\n");
    differs.expectOneError("FB_Q", 3, 3, "VAR_EXTERNAL 'level' is INT, the global variable is REAL");

    Project notConstant;
    notConstant.gvl("GVL", "VAR_GLOBAL CONSTANT MaxItems : INT := 15; END_VAR");
    notConstant.pou("FB_Q", "FUNCTION_BLOCK FB_Q\nVAR_EXTERNAL\n  MaxItems : INT;\nEND_VAR\n");
    notConstant.expectOneError("FB_Q", 3, 3, "is CONSTANT: declare it in VAR_EXTERNAL CONSTANT");
}

TEST(ThirdPartyCode, ArrayAliasAndSubrangeTypesWorkWhereverATypeDoes)
{
    Project p;
    p.gvl("GVL_C", "VAR_GLOBAL CONSTANT Size : INT := 7; END_VAR");
    p.types("T_Buf", "TYPE Buf : ARRAY[0..Size] OF BYTE; END_TYPE");
    p.types("T_More", "TYPE\n  Flag : BOOL;\n  Percent : INT (0..100);\n  Name : STRING(20);\n"
                      "  Mode : (Off, Slow, Fast);\n  Speed : Mode := Slow;\n  Matrix : ARRAY[1..2, 1..3] OF Percent;\n"
                      "  Cell : STRUCT\n    full : Flag;\n    load : Percent := 50;\n    data : Buf;\n  END_STRUCT;\n"
                      "END_TYPE\n");
    p.gvl("GVL", "VAR_GLOBAL\n  f : Flag := TRUE;\n  pct : Percent := 100;\n  m : Matrix;\n  s : Speed := Fast;\n"
                 "  c : Cell;\n  level : USINT (1..9) := 9;\n  b : Buf;\nEND_VAR\n");
    p.pou("P", "PROGRAM P VAR n : Name := 'pump 1'; END_VAR");
    p.body("P", "IF f THEN pct := m[1, 2]; s := Mode.Slow; c.data[Size] := 16#FF; n := 'x'; END_IF;\n");
    EXPECT_TRUE(p.errors().empty()) << p.all();
    const SymbolGVL* g = p.core.symbolGVL("GVL");
    EXPECT_EQ(g->param("b")->dataType()->byteSize(), 8u);
    EXPECT_EQ(g->param("b")->dataType()->name(), "Buf");
    EXPECT_EQ(g->param("f")->dataType()->dataType(), BT_BOOL);
    EXPECT_EQ(g->param("m")->dataType()->byteSize(), 6u * 2u);
    EXPECT_EQ(g->param("c")->dataType()->byteSize(), 12u); // 1 + pad + 2 + 8, padded to 2
    ASSERT_NE(dynamic_cast<const SymbolEnumType*>(g->param("s")->dataType()), nullptr);
    long long low = 0;
    unsigned long long high = 0;
    ASSERT_TRUE(g->param("pct")->dataType()->integerRange(low, high));
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 100u);

    Project outside;
    outside.types("T", "TYPE Percent : INT (0..100); END_TYPE");
    outside.gvl("GVL", "VAR_GLOBAL\n  ok : Percent := 0;\n  bad : Percent := 101;\n  later : INT;\nEND_VAR\n");
    outside.expectOneError("GVL", 3, 20, "value '101' does not fit type Percent: out of range 0..100");
    EXPECT_NE(outside.core.symbolGVL("GVL")->param("later"), nullptr);

    Project inline_;
    inline_.gvl("GVL", "VAR_GLOBAL\n  level : USINT (1..9) := 0;\nEND_VAR\n");
    inline_.expectOneError("GVL", 2, 27, "out of range 1..9");

    Project wide;
    wide.types("T", "TYPE Small : SINT (0..200); END_TYPE");
    wide.expectOneError("T", 1, 20, "subrange 0..200 exceeds SINT");

    // Two aliases of each other, in two objects: each says so, neither "loops".
    Project cycle;
    cycle.types("TA", "TYPE A : B; END_TYPE").types("TB", "TYPE B : A; END_TYPE");
    cycle.types("TA", "TYPE A : B; END_TYPE").types("TB", "TYPE B : A; END_TYPE");
    const auto errors = cycle.errors();
    ASSERT_EQ(errors.size(), 4u) << cycle.all();
    EXPECT_EQ(errors[0].message(), "unknown type 'B'"); // B was not yet known at all
    for (size_t i = 1; i < errors.size(); ++i)
        EXPECT_NE(errors[i].message().find("refers to itself through"), std::string::npos) << cycle.all();
    EXPECT_EQ(errors[3].objectName(), "TB");
    EXPECT_EQ(errors[3].column(), 10);

    // A type may use one declared further down in the same text; the core reads it again.
    Project forward;
    forward.types("T", "TYPE\n  Outer : STRUCT\n    inner : Inner;\n    list : Items;\n  END_STRUCT;\n"
                       "  Items : ARRAY[1..3] OF Inner;\n  Inner : STRUCT v : DINT; END_STRUCT;\nEND_TYPE\n");
    EXPECT_TRUE(forward.errors().empty()) << forward.all();
    ASSERT_NE(forward.core.symbolType("Outer")->param("list"), nullptr);
    EXPECT_EQ(forward.core.symbolType("Outer")->byteSize(), 16u);

    Project cycleInOneText;
    cycleInOneText.types("T", "TYPE\n  A : B;\n  B : A;\n  C : INT;\nEND_TYPE\n");
    cycleInOneText.expectOneError("T", 3, 7, "type 'B' refers to itself through 'A'");
    EXPECT_NE(cycleInOneText.core.symbolType("C"), nullptr);
}

TEST(ThirdPartyCode, ConstantsDoNotDependOnDeclarationOrder)
{
    Project p;
    // A bound naming a constant declared further down, and expressions of constants.
    p.pou("FB_R", "FUNCTION_BLOCK FB_R\nVAR\n  buf : ARRAY[0..n] OF DWORD;\n  half : ARRAY[0..n / 2 - 1] OF INT;\n"
                  "  last : INT := n - 1;\nEND_VAR\nVAR CONSTANT\n  n : INT := 15;\n  m : INT := (n + 1) * 2;\n"
                  "END_VAR\nVAR\n  twice : ARRAY[1..m] OF BOOL;\nEND_VAR\n");
    // A type naming a global constant of a list parsed after it.
    p.types("T_Log", "TYPE LogEntry : STRUCT\n  text : STRING(LogSize);\n  code : INT;\nEND_STRUCT;\nEND_TYPE\n");
    ASSERT_EQ(p.errors().size(), 1u) << p.all(); // LogSize is not known yet ...
    p.gvl("GVL", "VAR_GLOBAL\n  log : LogEntry;\nEND_VAR\nVAR_GLOBAL CONSTANT\n  LogSize : INT := 60;\nEND_VAR\n");
    // ... and once it is, the type and the list that uses it are whole, with no new message.
    EXPECT_EQ(p.errors().size(), 1u) << p.all();
    const SymbolPOU* fb = p.core.symbolPOU("FB_R");
    EXPECT_EQ(fb->param("buf")->dataType()->elementCount(), 16u);
    EXPECT_EQ(fb->param("half")->dataType()->elementCount(), 7u);
    EXPECT_EQ(fb->param("twice")->dataType()->elementCount(), 32u);
    EXPECT_EQ(fb->param("last")->initValue()->text(), "14");
    ASSERT_NE(p.core.symbolType("LogEntry")->param("text"), nullptr);
    EXPECT_EQ(p.core.symbolType("LogEntry")->param("text")->dataType()->stringLength(), 60u);
    const SymbolDataType* logType = p.core.symbolGVL("GVL")->param("log")->dataType();
    ASSERT_NE(logType->param("text"), nullptr); // the list holds the whole type, not the first one
    EXPECT_EQ(logType->byteSize(), 64u);

    Project variable;
    variable.pou("P", "PROGRAM P\nVAR\n  n : INT := 4;\n  a : ARRAY[0..n] OF INT;\n  b : INT;\nEND_VAR\n");
    variable.expectOneError("P", 4, 16, "'n' is not a constant");
    EXPECT_NE(variable.core.symbolPOU("P")->param("b"), nullptr);

    Project undeclared;
    undeclared.pou("P", "PROGRAM P\nVAR\n  a : ARRAY[0..Nope - 1] OF INT;\nEND_VAR\n");
    undeclared.expectOneError("P", 3, 16, "undeclared identifier 'Nope'");

    Project zero;
    zero.pou("P", "PROGRAM P\nVAR CONSTANT k : INT := 0; END_VAR\nVAR\n  a : ARRAY[0..8 / k] OF INT;\nEND_VAR\n");
    zero.expectOneError("P", 4, 18, "division by zero");
}

TEST(ThirdPartyCode, LocalNamesHideBlocksAndNamesIgnoreCase)
{
    Project p;
    p.pou("Smooth", "FUNCTION_BLOCK Smooth\nVAR_INPUT x : REAL; END_VAR\nVAR_OUTPUT y : REAL; END_VAR\n");
    p.types("T", "TYPE E_Mode : (Idle, Busy); END_TYPE");
    p.pou("P", "PROGRAM P\nVAR\n  tp : Smooth;\n  MyValue : REAL;\n  timer : ton;\n  mode : e_mode;\nEND_VAR\n");
    p.body("P", "tp(x := myvalue);\nMYVALUE := TP.y;\nTimer(in := TRUE, pt := t#1s);\nmode := E_MODE.busy;\n");
    EXPECT_TRUE(p.errors().empty()) << p.all();

    // The instance's own interface counts: TP's inputs are not Smooth's.
    Project wrong;
    wrong.pou("Smooth", "FUNCTION_BLOCK Smooth\nVAR_INPUT x : REAL; END_VAR\n");
    wrong.pou("P", "PROGRAM P\nVAR\n  tp : Smooth;\nEND_VAR\n");
    wrong.body("P", "tp(x := 1.0);\ntp(PT := T#1s);\n");
    wrong.expectOneError("P", 2, 4, "'PT' is not a member of the interface of Smooth");
}

TEST(ThirdPartyCode, DatesWithOneDigitFields)
{
    Project p;
    p.gvl("GVL", "VAR_GLOBAL\n  d : DATE := D#1970-9-1;\n  dt1 : DT := DT#2024-1-5-8:00;\n"
                 "  dt2 : DATE_AND_TIME := DT#2024-01-05-08:00:09.5;\n  t : TOD := TOD#7:5:3;\nEND_VAR\n");
    EXPECT_TRUE(p.errors().empty()) << p.all();

    Project month;
    month.gvl("GVL", "VAR_GLOBAL\n  d : DATE := D#2024-13-1;\nEND_VAR\n");
    month.expectOneError("GVL", 2, 15, "not a valid date");
    Project hour;
    hour.gvl("GVL", "VAR_GLOBAL\n  d : DT := DT#2024-1-5-24:00;\nEND_VAR\n");
    hour.expectOneError("GVL", 2, 13, "not a valid date and time");
}

TEST(ThirdPartyCode, BistablesTakeTheStandardInputNamesAndTheOldOnes)
{
    Project p;
    p.pou("P", "PROGRAM P\nVAR\n  sr1 : SR := (S1 := TRUE);\n  rs1 : RS;\n  a, b : BOOL;\nEND_VAR\n");
    p.body("P", "sr1(S1 := a, R := b);\nrs1(S := a, R1 := b);\nsr1(SET1 := a, RESET := b);\n"
                "rs1(SET := a, RESET1 := b);\na := sr1.Q1 AND rs1.q1 AND sr1.s1;\n");
    EXPECT_TRUE(p.errors().empty()) << p.all();

    Project wrong;
    wrong.pou("P", "PROGRAM P\nVAR\n  sr1 : SR;\nEND_VAR\n").body("P", "sr1(S1 := TRUE);\nsr1(S := TRUE);\n");
    wrong.expectOneError("P", 2, 5, "'S' is not a member of the interface of SR");
}

TEST(ThirdPartyCode, OperatorsInCallForm)
{
    Project p;
    p.pou("P", "PROGRAM P\nVAR\n  a, b, c, k : INT;\n  x, y, z, g : BOOL;\nEND_VAR\n");
    p.body("P", "a := MOD(a, 128);\nx := AND(x, y, z);\ny := OR(x, y, z);\nz := XOR(x, y);\n"
                "a := ADD(a, b, c);\na := MUX(k, a, b, c);\na := SEL(g, a, b);\na := MAX(a, b, c);\n"
                "g := NOT(x);\na := a MOD 3;\na := MUL(a, b, c, k);\ng := GT(c, b, a);\n");
    EXPECT_TRUE(p.errors().empty()) << p.all();

    Project tooMany;
    tooMany.pou("P", "PROGRAM P VAR a : INT; END_VAR").body("P", "a := MOD(a, 1, 2);\n");
    tooMany.expectOneError("P", 1, 6, "function 'MOD' takes 2 inputs, found 3");
    Project tooFew;
    tooFew.pou("P", "PROGRAM P VAR a : INT; g : BOOL; END_VAR").body("P", "a := SEL(g, a);\na := ADD(a);\n");
    const auto errors = tooFew.errors();
    ASSERT_EQ(errors.size(), 2u) << tooFew.all();
    EXPECT_EQ(errors[0].message(), "function 'SEL' takes 3 inputs, found 2");
    EXPECT_EQ(errors[1].message(), "function 'ADD' takes at least 2 inputs, found 1");
    EXPECT_EQ(errors[1].line(), 2);
}

TEST(ThirdPartyCode, StandardFunctionsOfEveryGroupAreKnown)
{
    // Conversions, BCD, truncation, numeric, bit string, selection, comparison, character
    // string and time functions, each called once with the inputs it takes.
    Project p;
    p.pou("P", "PROGRAM P\nVAR\n  i : INT; w : WORD; r : REAL; s : STRING; d : DATE; t : TIME; tod1 : TOD; "
               "dt1 : DT; b : BOOL;\nEND_VAR\n");
    p.body("P", "i := BCD_TO_INT(w);\nw := INT_TO_BCD(i);\ni := WORD_BCD_TO_INT(w);\nw := INT_TO_BCD_WORD(i);\n"
                "i := TRUNC(r);\ni := TRUNC_INT(r);\ni := REAL_TRUNC_INT(r);\nr := INT_TO_REAL(i);\ni := TO_INT(r);\n"
                "d := DT_TO_DATE(dt1);\ntod1 := DATE_AND_TIME_TO_TIME_OF_DAY(dt1);\nr := ATAN2(r, r);\n"
                "r := EXPT(r, 2);\nw := ROL(w, 3);\ni := LIMIT(0, i, 10);\nb := NE(i, 3);\n"
                "s := REPLACE(s, 'ab', 2, 1);\ni := FIND(s, 'a');\ns := CONCAT(s, s, s);\n"
                "dt1 := CONCAT_DATE_TOD(d, tod1);\nt := SUB_DT_DT(dt1, dt1);\ndt1 := ADD_DT_TIME(dt1, t);\n"
                "i := DAY_OF_WEEK(d);\nt := MUL_TIME(t, 2);\nd := CONCAT_DATE(2024, 1, 5);\n"
                "w := TO_BIG_ENDIAN(w);\nb := IS_VALID_BCD(w);\n");
    EXPECT_TRUE(p.errors().empty()) << p.all();

    Project wrong;
    wrong.pou("P", "PROGRAM P VAR i : INT; r : REAL; END_VAR");
    wrong.body("P", "i := REAL_TO_BCD(r);\ni := BCD_TO_REAL(r);\ni := INT_TRUNC_REAL(r);\ni := CONCAT_TOD(1, 2);\n");
    const auto errors = wrong.errors();
    ASSERT_EQ(errors.size(), 4u) << wrong.all();
    EXPECT_EQ(errors[0].message(), "undeclared identifier 'REAL_TO_BCD'");
    EXPECT_EQ(errors[1].message(), "undeclared identifier 'BCD_TO_REAL'");
    EXPECT_EQ(errors[2].message(), "undeclared identifier 'INT_TRUNC_REAL'");
    EXPECT_EQ(errors[3].message(), "function 'CONCAT_TOD' takes 4 inputs, found 2");
}

// A STRING(n) stores n bytes of UTF-8 and its terminator, so a literal is measured in bytes;
// a WSTRING(n) stores n UTF-16 code units.
TEST(ThirdPartyCode, StringLengthCountsStorageUnits)
{
    Project p;
    p.gvl("GVL", "VAR_GLOBAL\n  a : STRING(6) := 'h\xC3\xA9llo';\n  b : STRING(5) := 'h$'llo';\n"
                 "  c : STRING(3) := '$41$N$$';\n  w : WSTRING(2) := \"\xE6\xB8\xA9\xE5\xBA\xA6\";\n"
                 "  x : WSTRING(2) := \"\xF0\x9F\x98\x80\";\nEND_VAR\n");
    EXPECT_TRUE(p.errors().empty()) << p.all();

    Project longer;
    longer.gvl("GVL", "VAR_GLOBAL\n  a : STRING(5) := 'h\xC3\xA9llo';\nEND_VAR\n");
    longer.expectOneError("GVL", 2, 20, "6 bytes, at most 5");

    Project wide;
    wide.gvl("GVL", "VAR_GLOBAL\n  x : WSTRING(1) := \"\xF0\x9F\x98\x80\";\nEND_VAR\n");
    wide.expectOneError("GVL", 2, 21, "2 characters, at most 1");
}

TEST(ThirdPartyCode, EdgeQualifiedInputs)
{
    Project p;
    p.pou("FB_Stack", "FUNCTION_BLOCK FB_Stack\nVAR_INPUT\n  push : BOOL R_EDGE;\n  pop : BOOL F_EDGE;\n"
                      "  value : INT;\nEND_VAR\n");
    p.pou("P", "PROGRAM P VAR s : FB_Stack; END_VAR").body("P", "s(push := TRUE, pop := FALSE, value := 3);\n");
    EXPECT_TRUE(p.errors().empty()) << p.all();
    const SymbolPOU* fb = p.core.symbolPOU("FB_Stack");
    EXPECT_EQ(fb->param("push")->edge(), SymbolVariable::RisingEdge);
    EXPECT_EQ(fb->param("pop")->edge(), SymbolVariable::FallingEdge);
    EXPECT_EQ(fb->param("value")->edge(), SymbolVariable::NoEdge);

    Project notBool;
    notBool.pou("FB", "FUNCTION_BLOCK FB\nVAR_INPUT\n  n : INT R_EDGE;\nEND_VAR\nVAR\n  m : BOOL F_EDGE;\nEND_VAR\n");
    const auto errors = notBool.errors();
    ASSERT_EQ(errors.size(), 2u) << notBool.all();
    EXPECT_EQ(errors[0].line(), 3);
    EXPECT_EQ(errors[0].column(), 11);
    EXPECT_NE(errors[0].message().find("R_EDGE needs a BOOL input"), std::string::npos);
    EXPECT_EQ(errors[1].line(), 6);
    EXPECT_NE(notBool.core.symbolPOU("FB")->param("m"), nullptr); // declared, without the edge
}

TEST(ThirdPartyCode, ARefusedDeclarationGivesOneMessage)
{
    Project p;
    p.types("T", "TYPE ST_Broken : STRUCT\n  a : Motorr;\n  b : INT;\nEND_STRUCT;\nEND_TYPE\n");
    p.types("T2", "TYPE Lost : ARRAY[0..Missing] OF INT; END_TYPE");
    p.gvl("GVL", "VAR_GLOBAL\n  speed : Sped;\n  buf : Lost;\n  s : ST_Broken;\n  ok : INT;\nEND_VAR\n");
    p.pou("P", "PROGRAM P\nVAR\n  local : Unknwn;\n  n : INT := speed;\nEND_VAR\n");
    p.body("P", "speed := 1.0;\nspeed.x := 2;\nlocal := buf[1];\ns.a := 1;\ns.b := 2;\nok := typo;\n");
    const auto errors = p.errors();
    ASSERT_EQ(errors.size(), 5u) << p.all();
    EXPECT_EQ(errors[0].message(), "unknown type 'Motorr'");
    EXPECT_EQ(errors[1].message(), "undeclared identifier 'Missing'");
    EXPECT_EQ(errors[2].message(), "unknown type 'Sped'");
    EXPECT_EQ(errors[3].message(), "unknown type 'Unknwn'");
    EXPECT_EQ(errors[4].message(), "undeclared identifier 'typo'"); // a plain mistake still counts
    EXPECT_EQ(errors[4].line(), 6);
}
