#pragma once

#include "accore/TypeResolver.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ac {

class DeviceMemory;
class SymbolDataType;
class SymbolGVL;
class SymbolPOU;
class SymbolVariable;
class VarContainer;

// A type of a TYPE text that could not be declared (`declared` false), or was declared
// without some part, with the upper-case names it waits for.
struct BrokenType
{
    std::string name; // upper case
    bool declared = false;
    std::vector<std::string> waitsFor;
};

// Every symbol a core knows, by upper-case name: data types, POUs and global variable
// lists, built-in ones included (file id kBuiltinFileId). The core owns it.
class SymbolTable : public TypeResolver
{
public:
    static constexpr int kBuiltinFileId = -2;

    SymbolTable();
    ~SymbolTable() override;

    void setDeviceMemory(const DeviceMemory* memory) { m_memory = memory; }
    const DeviceMemory* deviceMemory() const { return m_memory; }

    // A type usable in a declaration: data types and function blocks.
    std::shared_ptr<SymbolDataType> type(const std::string& name) const;
    std::shared_ptr<SymbolDataType> dataType(const std::string& name) const; // types only
    std::shared_ptr<SymbolPOU> pou(const std::string& name) const;
    SymbolGVL* gvl(const std::string& name) const;

    // Replace what `objectName` declared before by `types` (a TYPE text may hold several).
    void setObjectTypes(const std::string& objectName, int fileId,
                        const std::vector<std::shared_ptr<SymbolDataType>>& types);
    void setPou(const std::string& name, std::shared_ptr<SymbolPOU> pou);
    void setGvl(const std::string& name, std::unique_ptr<SymbolGVL> gvl);

    // Drops every symbol parsed under `fileId`; with kAllUserFiles every non-built-in one.
    static constexpr int kAllUserFiles = -1000;
    void removeFile(int fileId);

    // A global variable of any list (first match in list order); null when none.
    SymbolVariable* globalVariable(const std::string& name) const;
    // The integer value of a constant (a CONSTANT variable with a literal initial value).
    bool constantValue(const std::string& name, const VarContainer* local, long long& value) const;
    // An enumerator of any enumeration type.
    bool isEnumerator(const std::string& name) const;
    bool isStandardFunction(const std::string& name) const;
    // Inputs a standard function takes (max -1: extensible); false when unknown here.
    bool standardFunctionInputs(const std::string& name, int& min, int& max) const;

    // Broken types, kept per object (objectKey) so that a later use of one stays quiet and
    // a cycle of names can be told.
    void setBrokenTypes(const std::string& objectKey, const std::vector<BrokenType>& broken);
    // The broken type of that upper-case name declared by another object than `exceptKey`.
    const BrokenType* brokenType(const std::string& upper, const std::string& exceptKey) const;
    bool hasBrokenTypes() const { return !m_broken.empty(); }
    // A global variable whose declaration was refused.
    bool isErroneousGlobal(const std::string& name) const;

    std::vector<std::string> typeNames() const;
    std::vector<std::string> typesOfObject(const std::string& objectName) const; // upper-case keys
    std::vector<std::string> pouNames() const;
    std::vector<std::string> gvlNames() const;
    std::vector<VarContainer*> containers() const;

    std::shared_ptr<SymbolDataType> resolveTypeText(const std::string& typeText, std::string& error) override;

private:
    const DeviceMemory* m_memory = nullptr;
    std::map<std::string, std::shared_ptr<SymbolDataType>> m_types;
    std::map<std::string, std::shared_ptr<SymbolPOU>> m_pous;
    std::map<std::string, std::unique_ptr<SymbolGVL>> m_gvls;
    std::map<std::string, std::vector<std::string>> m_typesOfObject; // object -> type keys it declared
    std::map<std::string, std::pair<int, int>> m_standardFunctions; // name -> inputs min, max
    std::map<std::string, std::vector<BrokenType>> m_broken;         // object key -> its broken types
};

} // namespace ac
