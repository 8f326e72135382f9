#pragma once

#include "accore/ACMessage.h"
#include "accore/DeviceAreas.h"
#include "accore/MemUnit.h"
#include "accore/PrjMemAllSymbolInfo.h"
#include "accore/ProjectFile.h"

#include <memory>
#include <string>
#include <vector>

namespace ac {

class ACCorePrivate;
class ASTNode;
class DependenceTree;
class DeviceMemory;
class ProjectVars;
class Symbol;
class SymbolDataType;
class SymbolGVL;
class SymbolPOU;

// The IEC 61131-3 compiler core of one project: it parses declaration texts into symbols,
// checks structured text against them, and knows the device memory. One thread at a time
// (take it through SafeAccore). Nothing here throws: operations report failure by their
// result and put their diagnostics into errors().
class ACCore
{
public:
    // The reset() level that clears the messages of the last operation and keeps every symbol.
    static constexpr int ClearMessages = 4;

    ACCore();
    virtual ~ACCore();

    // Whether `name` can name a POU, a type or a global variable list: an identifier (a
    // letter or "_" first, then letters, digits and "_") that is no keyword or elementary
    // type name of the language, compared without regard to case.
    static bool isIdentifier(const std::string& name);
    static bool isKeyword(const std::string& name);
    ACCore(const ACCore&) = delete;
    ACCore& operator=(const ACCore&) = delete;

    // 0 IEC style, 1 Japanese style (soft components).
    void setProgramStyle(int style);
    int getProgramStyle() const;

    // Registers a file (type 1 project database, 2 library, 3 firmware library) under an
    // id. False for an unknown type or an id already registered.
    bool addFile(const std::string& name, const std::string& path, int type, int fileId);
    // Drops the file and every symbol parsed under its id. False when the id is unknown.
    bool removeFile(int fileId);
    std::vector<ProjectFile> files() const;
    const ProjectFile* file(int fileId) const;

    void setIecCFilePath(const std::string& path);
    const std::string& iecCFilePath() const;

    // Level 4 (and above) clears the messages of the last operation; lower levels also
    // forget every parsed symbol and registered file (the built-in ones stay).
    void reset(int level);
    const std::vector<ACMessage>& errors() const;
    bool hasErrors() const;

    // Drops derived data computed from the symbols (dependences, layouts); the symbols stay.
    void clearSymbolCache();
    // True when another declaration uses the symbol of that name (a type, FB or list).
    bool isRefSymbol(const std::string& name) const;

    // Declarations may use names that other objects declare later (a type's bound naming a
    // global constant, a type of a later TYPE text): such a name is reported as unknown when
    // parsed, and the core keeps the text and parses it again, quietly, when an object that
    // declares the name arrives, so that the symbols do not depend on the order of parsing.
    // Messages are those of the call that gave them; a caller that keeps messages per object
    // parses again what it wants checked after the others (as a project check does).

    // Parses a POU's declaration (header and variable sections) and makes it the symbol
    // of `name`, replacing the one before. `pouKind` 1 program, 2 function, 3 function
    // block, -1 from the header. True when no error was found; the symbol is registered
    // with what could be read either way.
    bool parserPou(const std::string& declText, const std::string& name, int fileId, bool = false,
                   bool = false, int pouKind = -1);
    // Parses "TYPE ... END_TYPE" (one or more structures, enumerations, arrays, subranges or
    // other named types). `typeKind` 1 structure, 2 enumeration, -1 any; the text decides.
    bool parserTypes(const std::string& declText, const std::string& name, int fileId, bool = false,
                     bool = false, int typeKind = -1);
    // Parses one or more VAR_GLOBAL sections as the global variable list `name`.
    bool parseGlobalVars(const std::string& declText, const std::string& name, int fileId, bool = false,
                         bool = false);
    // Checks a structured text tree against the POU `pouName`: reports the tree's syntax
    // errors and every identifier that nothing declares. True when no error was found.
    bool checkPOU(ASTNode* root, const std::string& pouName, int = -1, void* = nullptr);

    SymbolPOU* symbolPOU(const std::string& name) const;
    SymbolGVL* symbolGVL(const std::string& name) const;
    SymbolDataType* symbolType(const std::string& name) const;
    // By symbol type (1 data type, 4 POU, 16 global list, 0 any). A non-empty `scope`
    // names the POU or list in which to look for a variable instead.
    Symbol* symbol(const std::string& name, const std::string& scope, int type) const;

    std::vector<std::string> typeNames() const;
    std::vector<std::string> pouNames() const;
    std::vector<std::string> gvlNames() const;
    // The names of the types that the TYPE text parsed as object `objectName` declared, in
    // the order of the text (one text may declare several types).
    std::vector<std::string> objectTypeNames(const std::string& objectName) const;

    // The type of a type text ("INT", "ARRAY[1..4] OF BOOL"), owned by the core until it is
    // destroyed; null (and a message) when the text is no valid type.
    SymbolDataType* parseSpecification(const std::string& typeText);

    void setDeviceType(const DeviceAreas& areas);
    DeviceMemory* deviceMemory() const;
    std::vector<MemUnit> getMemUnits() const;

    ProjectVars* getProjectVars() const;
    DependenceTree* dependenceTree() const;
    // The layout of an online change: global lists and programs keep the member places it
    // gives (backendAddress follows them), and its copies say which values survive.
    void setProjectMemInfo(const PrjMemAllSymbolInfo& info);
    const PrjMemAllSymbolInfo& projectMemInfo() const;

private:
    std::unique_ptr<ACCorePrivate> d;
};

} // namespace ac
