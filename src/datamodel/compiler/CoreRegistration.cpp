#include "datamodel/compiler/CoreRegistration_p.h"

#include "accore/ACCore.h"
#include "accore/BasicDataType.h"
#include "accore/SafeAccore.h"

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// The codes of a failed registration.
enum RegistrationError : int { NoCore = 1, FileRefused = 2, DeclarationsFailed = 3 };

} // namespace

CoreRegistration& CoreRegistration::instance()
{
    static CoreRegistration registration;
    return registration;
}

bool CoreRegistration::parse(ac::ACCore& core, DeclaredObject::Kind kind, const std::string& text,
                             const std::string& name, int fileId, int parseKind)
{
    switch (kind) {
    case DeclaredObject::PouKind: return core.parserPou(text, name, fileId, false, false, parseKind);
    case DeclaredObject::DataTypeKind: return core.parserTypes(text, name, fileId, false, false, parseKind);
    case DeclaredObject::GlobalVarKind: return core.parseGlobalVars(text, name, fileId, false, false);
    }
    return false;
}

bool CoreRegistration::hasCore(const std::string& coreName) const
{
    ac::SafeAccore core(coreName);
    return core.getAccore() != nullptr;
}

Result<void> CoreRegistration::registerLibrary(const std::string& coreName, const Library& library)
{
    ac::SafeAccore safe(coreName);
    ac::ACCore* core = safe.getAccore();
    if (!core)
        return Failure{NoCore, QStringLiteral("the project has no compiler core named '%1'").arg(q(coreName)), {}};
    core->reset(ac::ACCore::ClearMessages);
    const int fileType = library.firmware ? ac::FT_FIRMWARE_LIBRARY : ac::FT_LIBRARY;
    if (!core->addFile(library.name, library.file, fileType, library.fileId)) {
        const QString cause = core->errors().empty() ? QString() : q(core->errors().back().message());
        return Failure{FileRefused, QStringLiteral("the compiler core refused the library file %1").arg(q(library.file)),
                       cause};
    }
    // The core learns the library's declarations under the library's file id, so that
    // removeFile drops them again. A declaration that uses one parsed later fails on the first
    // pass; passes repeat while they make progress.
    std::vector<DeclaredObject*> pending = library.declarations;
    std::string firstError;
    while (!pending.empty()) {
        std::vector<DeclaredObject*> failed;
        firstError.clear();
        for (DeclaredObject* object : pending) {
            core->reset(ac::ACCore::ClearMessages);
            if (!parse(*core, object->kind(), object->varDeclaration(), object->name(), library.fileId,
                       object->coreParseKind())) {
                failed.push_back(object);
                if (firstError.empty() && !core->errors().empty())
                    firstError = core->errors().front().toString();
            }
        }
        if (failed.size() >= pending.size()) {
            core->reset(ac::ACCore::ClearMessages);
            return Failure{DeclarationsFailed,
                           QStringLiteral("%1 declarations of library %2 do not parse, the first: '%3'")
                               .arg(failed.size())
                               .arg(q(library.name), q(failed.front()->name())),
                           q(firstError)};
        }
        pending = std::move(failed);
    }
    core->reset(ac::ACCore::ClearMessages);
    return {};
}

void CoreRegistration::withdrawLibrary(const std::string& coreName, int fileId)
{
    ac::SafeAccore safe(coreName);
    if (ac::ACCore* core = safe.getAccore())
        core->removeFile(fileId);
}
