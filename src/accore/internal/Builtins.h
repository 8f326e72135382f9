#pragma once

#include <string>

namespace ac {

class SymbolTable;

// Declares the standard function blocks (TON, TOF, TP, CTU, CTD, CTUD, R_TRIG, F_TRIG,
// RS, SR) and the motion reference types (AXIS_REF, AXES_GROUP_REF, CAM_TABLE_REF) in a
// fresh table, from their IEC declarations.
void installBuiltins(SymbolTable& table);

class SymbolDataType;
class SymbolVariable;

// A member of a type's interface by name. The built-in bistables answer to the standard's
// input names as well as to their own: SR's S1 and R are SET1 and RESET, RS's S and R1 are
// SET and RESET1 (stored projects use both).
const SymbolVariable* interfaceMember(const SymbolDataType& type, const std::string& name);

} // namespace ac
