#include "accore/ProjectVars.h"

#include "accore/BasicDataType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolVariable.h"

namespace ac {

namespace {
struct InternalVar
{
    const char* name;
    const char* type;
};
// What the runtime system provides to every program, in its memory order.
const InternalVar kInternalVars[] = {
    {"SysFirstScan", "BOOL"},    {"SysRunning", "BOOL"},      {"SysErrorCode", "UINT"},
    {"SysCycleCount", "UDINT"},  {"SysCycleTime", "TIME"},    {"SysMaxCycleTime", "TIME"},
    {"SysTickMs", "UDINT"},      {"SysDateTime", "DT"},       {"SysBatteryLow", "BOOL"}};
} // namespace

ProjectVars::ProjectVars(TypeResolver* resolver) : m_vars(std::make_unique<SymbolGVL>("Device.Var.Name"))
{
    m_vars->setTypeResolver(resolver);
    m_vars->setFileId(-2);
    for (const InternalVar& v : kInternalVars)
        m_vars->addParam(v.name, v.type, VS_GLOBAL, -1);
}

ProjectVars::~ProjectVars() = default;

std::vector<std::string> ProjectVars::projectInternaleVar() const
{
    std::vector<std::string> names;
    for (const auto& v : *m_vars)
        names.push_back(v->name());
    return names;
}

SymbolGVL* ProjectVars::internalSymbolVars() const
{
    return m_vars.get();
}

} // namespace ac
