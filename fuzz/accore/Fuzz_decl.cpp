// Declarations of every kind: global lists, TYPE blocks and POU headers with sections.
#include "accore/ACCore.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"
#include "accore/InitValueTree.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ac::ACCore core;
    const std::string text(reinterpret_cast<const char*>(data), size);
    core.reset(4);
    core.parserTypes(text, "T", 0, false, false, -1);
    core.parseGlobalVars(text, "G", 0, false, false);
    core.parserPou(text, "P", 0, false, false, -1);
    // Walk what was built: sizes, offsets and the rendered initial values must be computable.
    for (const char* name : {"G", "P"}) {
        const ac::VarContainer* c = name[0] == 'G' ? static_cast<const ac::VarContainer*>(core.symbolGVL(name))
                                                   : static_cast<const ac::VarContainer*>(core.symbolPOU(name));
        if (!c)
            continue;
        for (const auto& v : *c) {
            (void)v->memBitSize(false);
            (void)v->backendAddress();
            if (v->initValue())
                (void)v->initValue()->toStContext(v->dataType());
        }
        (void)core.isRefSymbol(name);
    }
    for (const auto& m : core.errors())
        (void)m.toString();
    // Keep the core's symbol set bounded: a new round starts from the built-ins.
    static unsigned rounds = 0;
    if (++rounds % 1024 == 0)
        core.reset(0);
    return 0;
}
