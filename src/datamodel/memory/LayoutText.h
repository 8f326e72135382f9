#pragma once

#include "datamodel/model/DatamodelExport.h"

#include "accore/MemberDataType.h"

#include <cstddef>
#include <string>
#include <vector>

class SerializeData;

// The text form of a memory layout, as the project information and the file project.mem
// keep it. One block per symbol:
//
//     PRJ_MEM_GVL_HEAD:GVL{
//         0:a:{"TypeName":"INT","ByteSize":"2",...};
//         4:b:{...};
//     }
//
// a head line (section keyword, ":", symbol name, "{"), one line per member (four spaces,
// byte offset, ":", name, ":", the member type as compact JSON of string values, ";") and a
// closing "}". Reading separates tokens at blanks, line ends, ";", ":", "{" and "}"; inside the
// member JSON only the closing ";" ends the member.
class DATAMODEL_EXPORT LayoutText
{
public:
    // Layouts larger than this are refused by the reader (and by the project.mem reader
    // before it inflates anything). A project of 10 000 POUs has a layout of about 24 MiB.
    static constexpr std::size_t MaxTextSize = 256u << 20;

    static std::string write(const SerializeData& data);
    // Appends the symbols of `text` to `data`. A mistake is reported with its line and the
    // reader goes on with the next member or block, so that one damaged line names itself
    // and the rest is still checked; the result is false when anything was wrong. Refused:
    // unknown sections, a symbol or member named twice, members whose places overlap,
    // offsets or sizes beyond the 4 GiB a controller can address, malformed member JSON.
    static bool read(const std::string& text, SerializeData& data, std::vector<std::string>* errors = nullptr);

    // The member type as a compact JSON object of strings ("TypeName", "ByteSize",
    // "BasicDataType", "ArraryRangeSize", "ArraryRange", "child", "VisitScope", "Retain",
    // "Constant", "FixedAddr", "BitAddr"; the array key spellings are part of the format).
    static std::string memberDataTypeToJsonStr(const ac::MemberDataType& type);
    static bool jsonStrToMemberDataType(const std::string& json, ac::MemberDataType& type,
                                        std::string* error = nullptr);
};
