#pragma once

namespace ac {

// Codes of the core's basic data types. 0..20 are the codes the value conversion and the
// memory image rely on; 21..23 are the composites without a scalar value:
//   21 array, 22 structure, 23 function block (or program) instance.
// BYTE, WORD, DWORD and LWORD share the codes of USINT, UINT, UDINT and ULINT.
enum BasicDataType {
    BT_NONE = 0,
    BT_SINT = 1,
    BT_INT = 2,
    BT_DINT = 3,
    BT_LINT = 4,
    BT_USINT = 5,
    BT_UINT = 6,
    BT_UDINT = 7,
    BT_ULINT = 8,
    BT_BOOL = 9,
    BT_REAL = 10,
    BT_LREAL = 11,
    BT_TIME = 12,
    BT_LTIME = 13,
    BT_DATE = 14,
    BT_DATE_AND_TIME = 15,
    BT_TIME_OF_DAY = 16,
    BT_POINTER = 17,
    BT_STRING = 18,
    BT_WSTRING = 19,
    BT_ENUM = 20,
    BT_ARRAY = 21,
    BT_STRUCT = 22,
    BT_FB_INSTANCE = 23,
};

// Section of a variable (the code is stored in memory layout files).
enum VisitScope {
    VS_NONE = 0,
    VS_GLOBAL = 1,
    VS_LOCAL = 2,
    VS_INPUT = 4,
    VS_OUTPUT = 8,
    VS_INOUT = 12,
    VS_RETURN = 18,
    VS_TEMP = 32, // VAR_TEMP: local, not kept between calls
    VS_EXTERNAL = 64, // VAR_EXTERNAL: names a global variable, takes no memory of its own
};

// Symbol type codes used by ACCore::symbol() and by the synchroniser's diagnostics.
enum SymbolType {
    ST_DATATYPE = 1,
    ST_VARIABLE = 2,
    ST_POU = 4,
    ST_GVL = 16,
};

// Kinds of programme organisation units as the callers number them.
enum PouKind {
    PK_UNKNOWN = -1,
    PK_PROGRAM = 1,
    PK_FUNCTION = 2,
    PK_FUNCTION_BLOCK = 3,
};

// Kinds of type declarations as ACCore::parserTypes() takes them.
enum TypeKind {
    TK_ANY = -1,
    TK_STRUCT = 1,
    TK_ENUM = 2,
};

// Project file types of ACCore::addFile().
enum FileType {
    FT_PROJECT = 1,
    FT_LIBRARY = 2,
    FT_FIRMWARE_LIBRARY = 3,
};

} // namespace ac
