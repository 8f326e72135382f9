#include "accore/internal/Builtins.h"

#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"
#include "accore/internal/DeclParser.h"
#include "accore/internal/SymbolTable.h"

#include <cassert>

namespace ac {

namespace {
const char* const kMotionTypes = R"(TYPE
    MC_AXIS_STATE : (Disabled, Standstill, Homing, DiscreteMotion, ContinuousMotion, SynchronizedMotion,
                     Stopping, ErrorStop);
    AXIS_REF : STRUCT
        AxisNo : UINT;            // number of the axis in the controller
        AxisType : UINT;          // pulse, encoder, EtherCAT or virtual
        State : MC_AXIS_STATE;
        Enabled : BOOL;
        Homed : BOOL;
        ErrorID : UINT;
        ActPosition : LREAL;      // user units
        ActVelocity : LREAL;      // user units per second
        CmdPosition : LREAL;
        CmdVelocity : LREAL;
        ActTorque : REAL;
    END_STRUCT;
    AXES_GROUP_REF : STRUCT
        GroupNo : UINT;
        AxisCount : UINT;
        AxisNo : ARRAY[0..7] OF UINT;
        State : UINT;
        ErrorID : UINT;
        ActPosition : ARRAY[0..7] OF LREAL;
        PathVelocity : LREAL;
    END_STRUCT;
    CAM_TABLE_REF : STRUCT
        TableNo : UINT;
        PointCount : UDINT;
        MasterStart : LREAL;
        MasterEnd : LREAL;
        Periodic : BOOL;
        Valid : BOOL;
    END_STRUCT;
END_TYPE
)";

const char* const kFunctionBlocks[] = {
    "FUNCTION_BLOCK TON\nVAR_INPUT IN : BOOL; PT : TIME; END_VAR\nVAR_OUTPUT Q : BOOL; ET : TIME; END_VAR\n"
    "VAR StartTime : TIME; Running : BOOL; END_VAR\n",
    "FUNCTION_BLOCK TOF\nVAR_INPUT IN : BOOL; PT : TIME; END_VAR\nVAR_OUTPUT Q : BOOL; ET : TIME; END_VAR\n"
    "VAR StartTime : TIME; Running : BOOL; END_VAR\n",
    "FUNCTION_BLOCK TP\nVAR_INPUT IN : BOOL; PT : TIME; END_VAR\nVAR_OUTPUT Q : BOOL; ET : TIME; END_VAR\n"
    "VAR StartTime : TIME; Running : BOOL; END_VAR\n",
    "FUNCTION_BLOCK CTU\nVAR_INPUT CU : BOOL; R : BOOL; PV : INT; END_VAR\nVAR_OUTPUT Q : BOOL; CV : INT; END_VAR\n"
    "VAR CU_Edge : BOOL; END_VAR\n",
    "FUNCTION_BLOCK CTD\nVAR_INPUT CD : BOOL; LD : BOOL; PV : INT; END_VAR\nVAR_OUTPUT Q : BOOL; CV : INT; END_VAR\n"
    "VAR CD_Edge : BOOL; END_VAR\n",
    "FUNCTION_BLOCK CTUD\nVAR_INPUT CU : BOOL; CD : BOOL; R : BOOL; LD : BOOL; PV : INT; END_VAR\n"
    "VAR_OUTPUT QU : BOOL; QD : BOOL; CV : INT; END_VAR\nVAR CU_Edge : BOOL; CD_Edge : BOOL; END_VAR\n",
    "FUNCTION_BLOCK R_TRIG\nVAR_INPUT CLK : BOOL; END_VAR\nVAR_OUTPUT Q : BOOL; END_VAR\nVAR M : BOOL; END_VAR\n",
    "FUNCTION_BLOCK F_TRIG\nVAR_INPUT CLK : BOOL; END_VAR\nVAR_OUTPUT Q : BOOL; END_VAR\nVAR M : BOOL := TRUE; END_VAR\n",
    "FUNCTION_BLOCK RS\nVAR_INPUT SET : BOOL; RESET1 : BOOL; END_VAR\nVAR_OUTPUT Q1 : BOOL; END_VAR\n",
    "FUNCTION_BLOCK SR\nVAR_INPUT SET1 : BOOL; RESET : BOOL; END_VAR\nVAR_OUTPUT Q1 : BOOL; END_VAR\n",
};
} // namespace

const SymbolVariable* interfaceMember(const SymbolDataType& type, const std::string& name)
{
    if (const SymbolVariable* v = type.param(name))
        return v;
    const auto* pou = dynamic_cast<const SymbolPOU*>(&type);
    if (!pou || !pou->isBuiltin())
        return nullptr;
    struct Alias
    {
        const char* block;
        const char* name;
        const char* declared;
    };
    static const Alias aliases[] = {{"SR", "S1", "SET1"}, {"SR", "R", "RESET"}, {"RS", "S", "SET"}, {"RS", "R1", "RESET1"}};
    for (const Alias& a : aliases) {
        if (sameName(pou->name(), a.block) && sameName(name, a.name))
            return type.param(a.declared);
    }
    return nullptr;
}

void installBuiltins(SymbolTable& table)
{
    std::vector<ACMessage> messages;
    {
        DeclParser parser(table, kMotionTypes, "", SymbolTable::kBuiltinFileId, messages);
        table.setObjectTypes("<builtin motion types>", SymbolTable::kBuiltinFileId, parser.parseTypes());
    }
    for (const char* text : kFunctionBlocks) {
        DeclParser parser(table, text, "", SymbolTable::kBuiltinFileId, messages);
        std::shared_ptr<SymbolPOU> pou = parser.parsePou(PK_FUNCTION_BLOCK);
        pou->setBuiltin(true);
        table.setPou(pou->name(), pou);
    }
    assert(messages.empty() && "built-in declarations must parse cleanly");
}

} // namespace ac
