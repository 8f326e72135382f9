#pragma once

// Compiling corpus objects in the core as the data model does, and planting mistakes in
// them for the tests that count messages.
#include "CorpusLoader.h"

#include "accore/ACCore.h"
#include "accore/ASTTree.h"
#include "accore/StParser.h"

#include <algorithm>
#include <string>
#include <vector>

namespace corpus {

// Declarations in their order, then every body. With `quietFirst` the declarations are
// parsed once before without counting, as a project check does, so that an object may use
// what a later one declares.
inline std::vector<ac::ACMessage> compile(ac::ACCore& core, const std::vector<Object>& objects, bool quietFirst = false)
{
    std::vector<ac::ACMessage> all;
    auto declare = [&](const Object& o) {
        core.reset(4);
        if (o.kind == "types")
            core.parserTypes(o.text, o.name, 0, false, false, -1);
        else if (o.kind == "gvl")
            core.parseGlobalVars(o.text, o.name, 0, false, false);
        else if (o.kind == "pou")
            core.parserPou(o.text, o.name, 0, false, false, -1);
    };
    for (int pass = quietFirst ? 0 : 1; pass < 2; ++pass) {
        for (const char* kind : {"types", "gvl", "pou"}) {
            for (const auto& o : objects) {
                if (o.kind != kind)
                    continue;
                declare(o);
                if (pass == 1)
                    all.insert(all.end(), core.errors().begin(), core.errors().end());
            }
        }
    }
    ac::StParser parser;
    for (const auto& o : objects) {
        if (o.kind != "body")
            continue;
        std::vector<ac::ACMessage> syntax;
        auto tree = parser.parse(o.text, o.name, 0, syntax);
        core.reset(4);
        core.checkPOU(tree->root(), o.name, -1, nullptr);
        all.insert(all.end(), core.errors().begin(), core.errors().end());
    }
    return all;
}

inline std::string joined(const std::vector<ac::ACMessage>& messages)
{
    std::string out;
    for (const auto& m : messages)
        out += m.toString() + "\n";
    return out;
}

struct Mistake
{
    const char* object;  // object name
    const char* kind;    // its kind, to tell a POU's body from its declaration
    int line;            // line inside the object that holds `find` (first occurrence)
    const char* find;    // text on that line that is replaced
    const char* replace; // by this
    const char* at;      // the message points at this text in the patched line
    const char* words;   // part of the message
};

struct Expected
{
    std::string object;
    int line = 0;
    int column = 0;
    std::string words;
};

// Patches the object named by the mistake and says where its message must point. False,
// with `problem` set, when the corpus no longer holds the text where the mistake says.
inline bool plant(std::vector<Object>& objects, const Mistake& m, Expected& expected, std::string& problem)
{
    auto it = std::find_if(objects.begin(), objects.end(),
                           [&](const Object& o) { return o.name == m.object && o.kind == m.kind; });
    if (it == objects.end()) {
        problem = std::string("no object ") + m.object;
        return false;
    }
    const size_t found = it->text.find(m.find);
    if (found == std::string::npos) {
        problem = std::string(m.object) + " has no '" + m.find + "'";
        return false;
    }
    const size_t newlineBefore = it->text.rfind('\n', found);
    const size_t start = newlineBefore == std::string::npos ? 0 : newlineBefore + 1;
    const int lineNumber = 1 + static_cast<int>(std::count(it->text.begin(), it->text.begin() + static_cast<long>(start), '\n'));
    if (lineNumber != m.line) {
        problem = std::string(m.object) + ": '" + m.find + "' is on line " + std::to_string(lineNumber);
        return false;
    }
    const size_t end = it->text.find('\n', start);
    std::string line = it->text.substr(start, end - start);
    line.replace(line.find(m.find), std::string(m.find).size(), m.replace);
    it->text.replace(start, end - start, line);
    // The message points into the patched text (which may span two lines).
    int atLine = m.line;
    size_t atPos = line.find(m.at);
    const size_t newline = line.find('\n');
    if (newline != std::string::npos && (atPos == std::string::npos || atPos > newline)) {
        atLine += 1;
        atPos = line.substr(newline + 1).find(m.at);
    }
    if (atPos == std::string::npos) {
        // The error shows at the start of the next line (a forgotten ";").
        const size_t nextStart = it->text.find('\n', start) + 1;
        const std::string nextLine = it->text.substr(nextStart, it->text.find('\n', nextStart) - nextStart);
        atLine += 1;
        atPos = nextLine.find(m.at);
        if (atPos == std::string::npos) {
            problem = std::string(m.object) + ": '" + m.at + "' not found";
            return false;
        }
    }
    expected = {m.object, atLine, static_cast<int>(atPos) + 1, m.words};
    return true;
}

} // namespace corpus
