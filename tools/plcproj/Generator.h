#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class AbstractProjectModel;

// Fills an open project with a large synthetic program for benchmarks and scale tests:
// POUs, global variable lists and data types filed in folders, with texts such as a PLC
// programmer writes (programs and function blocks with inputs, outputs, timers and
// structured text bodies; functions; structures and enumerations; global lists of a dozen
// variables). The same options and seed give the same project on every machine.
class ProjectGenerator
{
public:
    struct Options
    {
        int pous = 0;
        int gvls = 0;
        int types = 0;
        std::uint64_t seed = 1;
        int objectsPerFolder = 40;
        // Told the kind of object being made, how many are made and how many will be.
        std::function<void(const char* kind, int done, int total)> progress;
    };

    explicit ProjectGenerator(const Options& options);

    // Adds the objects through the project's folder, POU, global variable and data type
    // models. False, with the cause in `error` (the model's reason when it refuses an object),
    // when a model is missing or refuses an object; what was added until then stays.
    bool fill(AbstractProjectModel& project, QString* error = nullptr);

    // The texts alone, for callers that need them without a project.
    struct Pou
    {
        std::string name;
        int type = 0;     // PouModel::PouType
        int language = 0; // PouModel::PouLanguageType
        std::string declaration;
        std::string body;
        std::vector<char> graph; // editor data of the graphic languages
    };
    struct Text
    {
        std::string name;
        int kind = 0; // data types: DataTypeModel::PrjDataType
        std::string declaration;
    };
    Pou pou(int index);
    Text globalList(int index);
    Text dataType(int index);

private:
    // Every object draws from a sequence of its own, so each can be made on its own.
    void seedFor(int kind, int index);
    // A small deterministic generator (SplitMix64): the same numbers on every platform,
    // unlike the distributions of the standard library.
    std::uint64_t next();
    int below(int bound) { return static_cast<int>(next() % static_cast<std::uint64_t>(bound)); }
    const char* pick(const char* const* words, int count) { return words[below(count)]; }
    std::string identifier(const char* prefix);
    struct Scope;
    std::string declareBlock(const char* keyword, int count, Scope& scope, bool withInit);
    std::string statements(const Scope& scope, int count, int depth);
    std::string statement(const Scope& scope, int depth);

    Options m_options;
    std::uint64_t m_state;
};
