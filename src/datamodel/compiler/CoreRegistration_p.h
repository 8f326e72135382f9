#pragma once

#include "datamodel/program/DeclarationRegistry_p.h"
#include "datamodel/program/DeclaredObject.h"

#include <string>

namespace ac {
class ACCore;
}

// The compiler cores of the core registry (AccoreManager) as the library model's
// DeclarationRegistry, and the one place that knows which of the core's parsers reads which
// kind of declaration.
class CoreRegistration : public DeclarationRegistry
{
public:
    static CoreRegistration& instance();

    // Parses one declaration text into `core` as the symbol `name` under `fileId`, with the
    // core's parser for `kind`; `parseKind` as DeclaredObject::coreParseKind(). True when the
    // core found no error.
    static bool parse(ac::ACCore& core, DeclaredObject::Kind kind, const std::string& text, const std::string& name,
                      int fileId, int parseKind);

    bool hasCore(const std::string& coreName) const override;
    Result<void> registerLibrary(const std::string& coreName, const Library& library) override;
    void withdrawLibrary(const std::string& coreName, int fileId) override;
};
