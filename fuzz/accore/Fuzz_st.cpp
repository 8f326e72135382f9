// Structured text bodies: parse, then resolve every identifier against a small project.
#include "accore/ACCore.h"
#include "accore/ASTTree.h"
#include "accore/StParser.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {
ac::ACCore& project()
{
    static ac::ACCore* core = [] {
        auto* c = new ac::ACCore; // lives for the whole run
        c->parserTypes("TYPE E : (A, B := 5); S : STRUCT x : INT; y : ARRAY[0..3] OF REAL; p : POINTER TO S; "
                       "END_STRUCT; R : INT (0..N); S2 : S; Buf : ARRAY[0..N - 1] OF BYTE; END_TYPE",
                       "T", 0);
        c->parseGlobalVars("VAR_GLOBAL g : S; arr : ARRAY[1..4] OF S; t : TON; lost : Nothing; END_VAR "
                           "VAR_GLOBAL CONSTANT N : INT := 8; END_VAR",
                           "G", 0);
        c->parserPou("FUNCTION F : INT VAR_INPUT a : INT; END_VAR", "F", 0);
        c->parserPou("PROGRAM Main VAR i : INT; s : S; e : E; c : CTU; sr1 : SR; rs1 : RS; w : WORD; r : REAL; "
                     "b : BOOL; tp : F_TRIG; range : R; buf : Buf; END_VAR VAR_EXTERNAL CONSTANT N : INT; END_VAR",
                     "Main", 0);
        return c;
    }();
    return *core;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<ac::ACMessage> messages;
    ac::StParser parser;
    auto tree = parser.parse(text, "Main", 0, messages);
    (void)tree->dump();
    ac::ACCore& core = project();
    core.reset(4);
    core.checkPOU(tree->root(), "Main", -1, nullptr);
    return 0;
}
