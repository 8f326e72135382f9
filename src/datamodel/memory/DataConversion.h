#pragma once

#include "datamodel/model/DatamodelExport.h"

#include "accore/HeapAddress.h"
#include "accore/JapanComponent.h"

#include <QString>

#include <string>

namespace ac {
class Symbol;
class SymbolDataType;
} // namespace ac

// Converts between the raw bytes of a controller variable and its IEC 61131-3 literal text
// (online display and online writes), between radixes, between IEC addresses and text, and
// renders the variables of a compiler core container as declaration text. Stateless; every
// type comes from the compiler core. Multi-byte values are little-endian.
//
// A refused conversion returns false (or an empty result) and leaves a log line; a value is
// never written partly, and nothing is read or written outside the buffer handed in.
class DATAMODEL_EXPORT DataConversion
{
public:
    // What paramToText renders.
    enum PouType : int {
        GlobalVarsText = 0,    // the VAR_GLOBAL sections of a global variable list
        ProgramText = 1,       // "PROGRAM name" and its variable sections
        FunctionBlockText = 2, // "FUNCTION_BLOCK name" and its variable sections
        FunctionText = 3,      // "FUNCTION name : type" and its variable sections
        StructText = 4,        // "TYPE name : STRUCT ... END_STRUCT; END_TYPE"
        EnumText = 5,          // "TYPE name : (A := 0, ...); END_TYPE"
    };

    // The value of `type` in the first bytes of `buffer` as literal text; `radix` 2, 10 or 16
    // chooses how integers are written ("2#0101", "5", "16#05"). A BOOL at a bit address
    // (kind 0) is the addressed bit of the first byte. On failure `text` is "bad Data".
    static bool BuffToQString(QString& text, const char* buffer, unsigned size, ac::SymbolDataType* type,
                              ac::HeapAddress address, unsigned radix);
    // The literal `text` as the bytes of `type` into `buffer`, whose capacity in bytes is
    // `size`; on success `size` is the number of bytes written. Integers are read in `radix`
    // (radix 16 needs the "16#" prefix, radix 2 takes an optional "2#"). A STRING or WSTRING
    // is cut to the type's length and ends with a NUL when the buffer has room for it. A BOOL
    // at a bit address gives a byte with only that bit set to the value: the caller merges it
    // into the byte in memory. Text that is no value of the type writes nothing.
    static bool QStringToBuff(const QString& text, char* buffer, unsigned& size, ac::SymbolDataType* type,
                              ac::HeapAddress address, unsigned radix);

    // The IEC string escapes: "$" -> "$$", "'" -> "$'", "\"" -> "$\"", line feed -> "$N",
    // form feed -> "$P", carriage return -> "$R", tab -> "$T". False for an empty text.
    static bool BackslashToDollar(QString& text);
    // The reverse, left to right in one pass ("$n" and "$N" alike). False for an empty text.
    static bool DollarToBackslash(QString& text);

    // An unsigned 64-bit decimal number in base 16 (lower case), 8 or 2; empty when the text
    // is no such number.
    static QString ConvScale10To16(QString text);
    static QString ConvScale10To8(QString text);
    static QString ConvScale10To2(QString text);
    // A number in base 16, 8 or 2, with or without its "16#", "8#" or "2#", in decimal.
    static QString ConvScale16To10(QString text);
    static QString ConvScale8To10(QString text);
    static QString ConvScale2To10(QString text);

    // Through the compiler core of the current project (host cookie "Project.Name"): empty
    // text, false or null without a host, a current project or its core.
    static QString IecAddressToString(ac::HeapAddress address, bool withPercent);
    static bool QStringToIecAddress(QString& text, ac::HeapAddress& address, bool requirePercent);
    static ac::JapanComponent QStringToJapanComponent(QString& text);
    // The type a type text names, with arrays and pointers followed to the type below them;
    // owned by the core.
    static ac::SymbolDataType* getSymbolDataType(QString& typeText);

    // The variables of `container` as declaration text that the core's parser reads back to
    // the same variables. `name` names the POU or type in the head line (the container's
    // own name when empty). Empty for an unknown kind or a container of the wrong sort.
    static std::string paramToText(ac::Symbol* container, PouType kind, QString name = QString());
};
