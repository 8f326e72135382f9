// Structured text: statements and expressions into trees, syntax errors with recovery, and
// checkPOU's resolution of identifiers.
#include "accore/ACCore.h"
#include "accore/ASTTree.h"
#include "accore/StParser.h"

#include <gtest/gtest.h>

using namespace ac;

namespace {
std::string dumpOf(const std::string& text, std::vector<ACMessage>* out = nullptr)
{
    std::vector<ACMessage> messages;
    StParser parser;
    auto tree = parser.parse(text, "Main", 0, messages);
    if (out)
        *out = messages;
    else
        EXPECT_TRUE(messages.empty()) << messages.front().toString();
    return tree->dump();
}

std::string joined(const std::vector<ACMessage>& messages)
{
    std::string all;
    for (const auto& m : messages)
        all += m.toString() + "\n";
    return all;
}
} // namespace

TEST(StructuredText, OperatorPrecedence)
{
    // a OR b XOR c AND d = e < f + g * h ** i  groups from the right-most operator outwards.
    EXPECT_EQ(dumpOf("x := a OR b XOR c AND d = e < f + g * h ** i;"),
              "StatementList\n"
              "  Assign\n"
              "    Identifier x\n"
              "    Binary [OR]\n"
              "      Identifier a\n"
              "      Binary [XOR]\n"
              "        Identifier b\n"
              "        Binary [AND]\n"
              "          Identifier c\n"
              "          Binary [=]\n"
              "            Identifier d\n"
              "            Binary [<]\n"
              "              Identifier e\n"
              "              Binary [+]\n"
              "                Identifier f\n"
              "                Binary [*]\n"
              "                  Identifier g\n"
              "                  Binary [**]\n"
              "                    Identifier h\n"
              "                    Identifier i\n");
    // Unary minus binds looser than **, NOT looser than comparison operands; & is AND.
    EXPECT_EQ(dumpOf("y := -2 ** 2 - 1;"),
              "StatementList\n  Assign\n    Identifier y\n    Binary [-]\n      Unary [-]\n        Binary [**]\n"
              "          Literal 2\n          Literal 2\n      Literal 1\n");
    EXPECT_EQ(dumpOf("z := NOT a & b MOD 2 <> 0;"),
              "StatementList\n  Assign\n    Identifier z\n    Binary [AND]\n      Unary [NOT]\n        Identifier a\n"
              "      Binary [<>]\n        Binary [MOD]\n          Identifier b\n          Literal 2\n        Literal 0\n");
    EXPECT_EQ(dumpOf("w := (a + b) * c;"),
              "StatementList\n  Assign\n    Identifier w\n    Binary [*]\n      Binary [+]\n        Identifier a\n"
              "        Identifier b\n      Identifier c\n");
}

TEST(StructuredText, StatementsCallsAndAccess)
{
    const std::string text = "timer(IN := start AND NOT fault, PT := T#2s, Q => done);\n"
                             "axis.ActPosition := table[i, j + 1].pos * 1.5E3;\n"
                             "p^.count := LIMIT(0, n, 100);\n"
                             "IF a > 1 THEN x := 1; ELSIF a = 0 THEN x := 0; ELSE x := -1; END_IF;\n"
                             "CASE state OF\n  0, 1: x := 1;\n  2..5, E_State.Run: x := 2; y := 3;\nELSE x := 9;\nEND_CASE;\n"
                             "FOR i := 1 TO 10 BY 2 DO IF i = 5 THEN EXIT; END_IF; END_FOR;\n"
                             "WHILE n > 0 DO n := n - 1; END_WHILE;\n"
                             "REPEAT n := n + 1; UNTIL n >= 10 END_REPEAT;\n"
                             "msg := 'done$N'; wmsg := \"wide\"; t := LTIME#1ms; d := DT#2024-01-01-00:00:00;\n"
                             "RETURN;\n";
    const std::string tree = dumpOf(text);
    EXPECT_NE(tree.find("Call\n    Identifier timer\n    Argument IN [:=]\n"), std::string::npos) << tree;
    EXPECT_NE(tree.find("Argument Q [=>]\n      Identifier done"), std::string::npos) << tree;
    EXPECT_NE(tree.find("Member\n      Identifier axis\n      Identifier ActPosition"), std::string::npos) << tree;
    EXPECT_NE(tree.find("Index\n          Identifier table\n          Identifier i\n          Binary [+]"),
              std::string::npos)
        << tree;
    EXPECT_NE(tree.find("Deref\n        Identifier p"), std::string::npos) << tree;
    EXPECT_NE(tree.find("If\n"), std::string::npos);
    EXPECT_NE(tree.find("ElsIf\n"), std::string::npos);
    EXPECT_NE(tree.find("CaseBranch\n      CaseLabel\n        Range\n          Literal 2\n          Literal 5\n"
                        "      CaseLabel\n        Member\n"),
              std::string::npos)
        << tree;
    EXPECT_NE(tree.find("For [BY]\n"), std::string::npos);
    EXPECT_NE(tree.find("Exit"), std::string::npos);
    EXPECT_NE(tree.find("While\n"), std::string::npos);
    EXPECT_NE(tree.find("Repeat\n"), std::string::npos);
    EXPECT_NE(tree.find("Literal 'done$N'"), std::string::npos);
    EXPECT_NE(tree.find("Literal LTIME#1ms"), std::string::npos);
    EXPECT_NE(tree.find("Return"), std::string::npos);
}

TEST(StructuredText, SyntaxErrorsRecoverAtTheNextStatement)
{
    struct Row
    {
        const char* text;
        int line, column;
        const char* words;
    };
    const Row rows[] = {
        {"x := ;\ny := 1;", 1, 6, "unexpected ';', expected an expression"},
        {"x := 1\ny := 2;", 2, 1, "unexpected 'y', expected ';'"},
        {"IF x THEN y := 1;\nz := 2;", 2, 8, "unexpected end of text, expected END_IF"},
        {"x + 1;\ny := 2;", 1, 6, "expected ':=' or a call"},
        {"FOR i = 1 TO 3 DO END_FOR;\ny := 1;", 1, 7, "unexpected '=', expected ':='"},
        {"WHILE x DO\n y := 1;\nEND_FOR;", 3, 1, "expected END_WHILE"},
        {"f(a := 1, 2;\ny := 1;", 1, 12, "expected ',' or ')'"},
        {"x := 'open\ny := 1;", 1, 6, "unterminated string"},
        {"CASE s OF\n 1 x := 1;\nEND_CASE;", 2, 4, "expected ',', '..' or ':'"},
        {"END_IF;\ny := 2;", 1, 1, "unexpected 'END_IF', expected a statement"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        std::vector<ACMessage> messages;
        StParser parser;
        auto tree = parser.parse(r.text, "Main", 0, messages);
        ASSERT_EQ(messages.size(), 1u) << joined(messages);
        EXPECT_EQ(messages[0].line(), r.line) << messages[0].toString();
        EXPECT_EQ(messages[0].column(), r.column) << messages[0].toString();
        EXPECT_NE(messages[0].message().find(r.words), std::string::npos) << messages[0].toString();
        EXPECT_EQ(tree->messages().size(), 1u);
    }
    // The statement after the error is still in the tree.
    std::vector<ACMessage> messages;
    const std::string tree = dumpOf("x := ;\ny := 1;", &messages);
    EXPECT_NE(tree.find("Identifier y"), std::string::npos);
}

TEST(StructuredText, DeepAndHugeInputIsRefusedNotCrashed)
{
    std::vector<ACMessage> messages;
    StParser parser;
    auto deep = parser.parse("x := " + std::string(20000, '(') + "1;", "Main", 0, messages);
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages[0].message().find("nesting too deep"), std::string::npos);
    messages.clear();
    std::string manyIfs;
    for (int i = 0; i < 3000; ++i)
        manyIfs += "IF a THEN ";
    parser.parse(manyIfs, "Main", 0, messages);
    EXPECT_FALSE(messages.empty());
    messages.clear();
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += "counter := counter + " + std::to_string(i) + ";\n";
    auto tree = parser.parse(big, "Main", 0, messages);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(tree->root()->childCount(), 20000u);

    // Found by fuzzing: a broken statement inside a CASE branch once kept the branch loop
    // turning without consuming anything.
    messages.clear();
    auto caseTree = parser.parse("CASE s OF\n  1:\n    IF a THEN\n      3x := 1;\n    END_IF;\n  2: y := 1;\n"
                                 "END_CASE;\nz := 2;\n",
                                 "Main", 0, messages);
    ASSERT_FALSE(messages.empty());
    EXPECT_LE(messages.size(), 3u);
    EXPECT_EQ(messages.front().line(), 4);
    EXPECT_NE(caseTree->dump().find("Identifier z"), std::string::npos);
}

TEST(StructuredText, CheckPouResolvesEveryIdentifier)
{
    ACCore core;
    ASSERT_TRUE(core.parserTypes("TYPE E_State : (Idle, Run); ST_Job : STRUCT id : DINT; qty : INT; END_STRUCT; END_TYPE",
                                 "Types", 0));
    ASSERT_TRUE(core.parseGlobalVars("VAR_GLOBAL gSpeed : REAL; gJobs : ARRAY[1..4] OF ST_Job; END_VAR", "GVL", 0));
    ASSERT_TRUE(core.parserPou("FUNCTION FC_Twice : INT\nVAR_INPUT v : INT; END_VAR\n", "FC_Twice", 0));
    ASSERT_TRUE(core.parserPou("PROGRAM Main\nVAR state : E_State; t : TON; n : INT; job : ST_Job; END_VAR\n", "Main", 0));

    const std::string good = "t(IN := gSpeed > 0.0, PT := T#1s);\n"
                             "IF t.Q THEN state := E_State.Run; ELSE state := Idle; END_IF;\n"
                             "n := FC_Twice(v := job.qty) + REAL_TO_INT(gSpeed) + MAX(n, 3);\n"
                             "gJobs[n].id := SysCycleCount;\n";
    std::vector<ACMessage> messages;
    StParser parser;
    auto tree = parser.parse(good, "Main", 0, messages);
    core.reset(4);
    EXPECT_TRUE(core.checkPOU(tree->root(), "Main", -1, nullptr)) << joined(core.errors());

    const std::string bad = "n := count + 1;\n"          // undeclared variable
                            "job.weight := 2;\n"         // no such member
                            "t(IN := TRUE, Time := T#1s);\n" // no such input
                            "state := E_State.Walk;\n"   // no such enumeration value
                            "n := FC_Nope(1) + ;\n";     // syntax error kept in the tree
    messages.clear();
    auto badTree = parser.parse(bad, "Main", 0, messages);
    core.reset(4);
    EXPECT_FALSE(core.checkPOU(badTree->root(), "Main", -1, nullptr));
    const auto& errors = core.errors();
    ASSERT_EQ(errors.size(), 5u) << joined(errors);
    EXPECT_EQ(errors[0].toString(), "Main:5:19: error: unexpected ';', expected an expression");
    EXPECT_EQ(errors[1].toString(), "Main:1:6: error: undeclared identifier 'count'");
    EXPECT_EQ(errors[2].toString(), "Main:2:5: error: 'weight' is not a member of ST_Job");
    EXPECT_EQ(errors[3].toString(), "Main:3:15: error: 'Time' is not a member of the interface of TON");
    EXPECT_EQ(errors[4].toString(), "Main:4:18: error: 'Walk' is not a member of enumeration E_State");

    core.reset(4);
    EXPECT_FALSE(core.checkPOU(tree->root(), "NoSuchPou", -1, nullptr));
    EXPECT_EQ(core.errors().size(), 1u);
}
