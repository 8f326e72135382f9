// The bytes of an exec script, from a file or from the command line: the reader either refuses
// them with a place inside the script, or splits them into commands whose lines and numbers
// run forward and stay within the script.
#include "ScriptReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const auto origin = data[0] % 2 == 0 ? plcproj::ScriptReader::Origin::File : plcproj::ScriptReader::Origin::CommandLine;
    const QByteArray script(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));
    plcproj::ScriptReader reader;
    std::vector<plcproj::ScriptCommand> commands;
    if (!reader.read(script, origin, commands)) {
        if (reader.error().isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const int lines = script.count('\n') + 1;
    int line = 0, number = 0;
    for (const plcproj::ScriptCommand& command : commands) {
        if (command.line < line || command.line > lines || command.number != number + 1 || command.words.isEmpty())
            std::abort();
        line = command.line;
        number = command.number;
    }
    return 0;
}
