#pragma once

namespace ac {

class SymbolTable;

// Declares the standard function blocks (TON, TOF, TP, CTU, CTD, CTUD, R_TRIG, F_TRIG,
// RS, SR) and the motion reference types (AXIS_REF, AXES_GROUP_REF, CAM_TABLE_REF) in a
// fresh table, from their IEC declarations.
void installBuiltins(SymbolTable& table);

} // namespace ac
