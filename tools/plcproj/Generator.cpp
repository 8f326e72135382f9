#include "plcproj/Generator.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace {

const char* const parts[] = {"Conveyor", "Pump",   "Valve",  "Axis",    "Mixer", "Heater", "Press",
                             "Feeder",   "Robot",  "Sorter", "Pallet",  "Filler", "Capper", "Labeler",
                             "Dryer",    "Cooler", "Fan",    "Door",    "Lift",   "Gripper"};
const char* const aspects[] = {"Speed", "Position", "Pressure", "Temp",  "Level",    "Count", "Enable",
                               "Ready", "Error",    "Busy",     "Done",  "Setpoint", "Actual", "Timeout",
                               "Mode",  "State",    "Alarm",    "Reset", "Start",    "Stop"};
const char* const comments[] = {"set by the HMI", "from the field bus", "in engineering units",
                                "latched until acknowledged", "per recipe", "filtered over 10 cycles",
                                "written by the sequence", "for the line diagnosis"};
constexpr int partCount = sizeof(parts) / sizeof(*parts);
constexpr int aspectCount = sizeof(aspects) / sizeof(*aspects);
constexpr int commentCount = sizeof(comments) / sizeof(*comments);

std::string numbered(const char* prefix, const char* part, int index)
{
    char buffer[96];
    std::snprintf(buffer, sizeof(buffer), "%s_%s_%05d", prefix, part, index);
    return buffer;
}

enum Category { Bool, Int, Real, Other };

struct Elementary
{
    const char* type;
    const char* prefix;
    Category category;
};

const Elementary elementary[] = {{"BOOL", "b", Bool},  {"BOOL", "x", Bool},   {"INT", "i", Int},
                                 {"DINT", "di", Int},  {"UINT", "ui", Int},   {"REAL", "r", Real},
                                 {"LREAL", "lr", Real}, {"TIME", "t", Other}, {"WORD", "w", Other},
                                 {"STRING(32)", "s", Other}};
constexpr int elementaryCount = sizeof(elementary) / sizeof(*elementary);

} // namespace

// The variables a body may use, by kind.
struct ProjectGenerator::Scope
{
    std::vector<std::string> bools, ints, reals, timers;
    std::vector<std::string> names; // every name declared, to keep them unique
};

ProjectGenerator::ProjectGenerator(const Options& options) : m_options(options), m_state(options.seed) {}

void ProjectGenerator::seedFor(int kind, int index)
{
    m_state = m_options.seed * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(kind) * 0xBF58476D1CE4E5B9ull
              + static_cast<std::uint64_t>(index) * 0x94D049BB133111EBull;
}

std::uint64_t ProjectGenerator::next()
{
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string ProjectGenerator::identifier(const char* prefix)
{
    return std::string(prefix) + pick(parts, partCount) + pick(aspects, aspectCount);
}

std::string ProjectGenerator::declareBlock(const char* keyword, int count, Scope& scope, bool withInit)
{
    std::string text = std::string(keyword) + "\n";
    for (int i = 0; i < count; ++i) {
        const Elementary& e = elementary[below(elementaryCount)];
        std::string name = identifier(e.prefix);
        while (std::find(scope.names.begin(), scope.names.end(), name) != scope.names.end())
            name += std::to_string(below(10));
        scope.names.push_back(name);
        text += "    " + name + " : " + e.type;
        if (withInit && below(3) == 0) {
            switch (e.category) {
            case Bool: text += " := FALSE"; break;
            case Int: text += " := " + std::to_string(below(1000)); break;
            case Real: text += " := " + std::to_string(below(500)) + "." + std::to_string(below(10)); break;
            case Other:
                if (e.type[0] == 'T')
                    text += " := T#" + std::to_string(10 * (1 + below(100))) + "MS";
                break;
            }
        }
        text += ";";
        if (below(2) == 0)
            text += std::string(" (* ") + pick(comments, commentCount) + " *)";
        text += "\n";
        switch (e.category) {
        case Bool: scope.bools.push_back(name); break;
        case Int: scope.ints.push_back(name); break;
        case Real: scope.reals.push_back(name); break;
        case Other: break;
        }
    }
    return text + "END_VAR\n";
}

std::string ProjectGenerator::statement(const Scope& scope, int depth)
{
    auto any = [this](const std::vector<std::string>& names, const char* fallback) {
        return names.empty() ? std::string(fallback) : names[static_cast<std::size_t>(below(static_cast<int>(names.size())))];
    };
    const std::string indent(static_cast<std::size_t>(4 * depth), ' ');
    const std::string b = any(scope.bools, "TRUE"), i = any(scope.ints, "0"), r = any(scope.reals, "0.0");
    switch (depth < 2 ? below(7) : below(3)) {
    case 0:
        return indent + any(scope.reals, "rDummy") + " := " + r + " * " + std::to_string(1 + below(9)) + ".5 + "
               + any(scope.reals, "0.0") + ";\n";
    case 1:
        return indent + any(scope.bools, "bDummy") + " := " + b + " AND NOT " + any(scope.bools, "FALSE") + ";\n";
    case 2:
        return indent + any(scope.ints, "iDummy") + " := " + i + " + " + std::to_string(1 + below(20)) + ";\n";
    case 3:
        return indent + "IF " + b + " AND " + r + " > " + std::to_string(below(100)) + ".0 THEN\n"
               + statements(scope, 1 + below(3), depth + 1) + indent + "ELSE\n"
               + statements(scope, 1 + below(2), depth + 1) + indent + "END_IF;\n";
    case 4: {
        std::string text = indent + "CASE " + i + " OF\n";
        for (int step = 0; step < 2 + below(3); ++step)
            text += indent + "    " + std::to_string(step * 10) + ":\n" + statements(scope, 1 + below(2), depth + 2);
        return text + indent + "END_CASE;\n";
    }
    case 5:
        return indent + "FOR iLoop := 1 TO " + std::to_string(2 + below(20)) + " DO\n"
               + statements(scope, 1 + below(2), depth + 1) + indent + "END_FOR;\n";
    default:
        if (scope.timers.empty()) // functions hold no timers
            return indent + i + " := " + i + " MOD " + std::to_string(2 + below(50)) + ";\n";
        return indent + scope.timers.front() + "(IN := " + b + ", PT := T#" + std::to_string(100 * (1 + below(50)))
               + "MS);\n";
    }
}

std::string ProjectGenerator::statements(const Scope& scope, int count, int depth)
{
    std::string text;
    for (int n = 0; n < count; ++n)
        text += statement(scope, depth);
    return text;
}

ProjectGenerator::Pou ProjectGenerator::pou(int index)
{
    seedFor(1, index);
    Pou out;
    const int kind = below(10); // 2 programs, 6 function blocks, 2 functions in ten
    const char* part = pick(parts, partCount);
    Scope scope;
    if (kind < 2) {
        out.type = PouModel::PRGPOU;
        out.name = numbered("PRG", part, index);
        out.declaration = "PROGRAM " + out.name + "\n";
    } else if (kind < 8) {
        out.type = PouModel::FBPOU;
        out.name = numbered("FB", part, index);
        out.declaration = "FUNCTION_BLOCK " + out.name + "\n";
        out.declaration += declareBlock("VAR_INPUT", 2 + below(4), scope, true);
        out.declaration += declareBlock("VAR_OUTPUT", 1 + below(4), scope, false);
    } else {
        out.type = PouModel::FCPOU;
        out.name = numbered("FC", part, index);
        out.declaration = "FUNCTION " + out.name + " : REAL\n";
        out.declaration += declareBlock("VAR_INPUT", 2 + below(3), scope, false);
    }
    std::string locals = declareBlock("VAR", 2 + below(5), scope, true);
    // Every body statement needs a variable of its kind: declare one where none was drawn.
    std::string extra = "    iLoop : INT;\n";
    if (out.type != PouModel::FCPOU) {
        scope.timers.push_back("tonDelay");
        extra += "    tonDelay : TON;\n";
    }
    for (auto [names, declaration, name] :
         {std::make_tuple(&scope.bools, "    bBusy : BOOL;\n", "bBusy"),
          std::make_tuple(&scope.ints, "    iStep : INT;\n", "iStep"),
          std::make_tuple(&scope.reals, "    rValue : REAL;\n", "rValue")}) {
        if (names->empty()) {
            extra += declaration;
            names->push_back(name);
        }
    }
    locals.insert(locals.size() - 8, extra); // before END_VAR
    out.declaration += locals;

    const int language = below(20);
    out.language = language < 17 ? PouModel::POU_ST : language < 19 ? PouModel::POU_LD : PouModel::POU_CFC;
    out.body = std::string("(* ") + part + " control: " + pick(comments, commentCount) + " *)\n"
               + statements(scope, 4 + below(6), 0);
    if (out.type == PouModel::FCPOU)
        out.body += out.name + " := " + (scope.reals.empty() ? std::string("0.0") : scope.reals.front()) + ";\n";
    if (out.language != PouModel::POU_ST) {
        out.graph.resize(static_cast<std::size_t>(300 + below(900)));
        for (char& byte : out.graph)
            byte = static_cast<char>(next() & 0xFF);
    }
    return out;
}

ProjectGenerator::Text ProjectGenerator::globalList(int index)
{
    seedFor(2, index);
    Text out;
    const char* part = pick(parts, partCount);
    out.name = numbered("GVL", part, index);
    out.declaration = "VAR_GLOBAL\n";
    const int count = 10 + below(5);
    for (int i = 0; i < count; ++i) {
        const Elementary& e = elementary[below(elementaryCount)];
        char name[96];
        std::snprintf(name, sizeof(name), "g%s%s%s_%d_%d", e.prefix, part, pick(aspects, aspectCount), index, i);
        out.declaration += std::string("    ") + name + " : " + e.type;
        if (e.category == Int)
            out.declaration += " := " + std::to_string(below(100));
        out.declaration += std::string("; (* ") + pick(comments, commentCount) + " *)\n";
    }
    out.declaration += "END_VAR\n";
    if (below(3) == 0)
        out.declaration += "VAR_GLOBAL RETAIN\n    g" + std::string(part) + "Counter_" + std::to_string(index)
                           + " : UDINT;\nEND_VAR\n";
    return out;
}

ProjectGenerator::Text ProjectGenerator::dataType(int index)
{
    seedFor(3, index);
    Text out;
    const char* part = pick(parts, partCount);
    if (below(3) == 0) {
        out.kind = DataTypeModel::Enum;
        out.name = numbered("E", part, index);
        out.declaration = "TYPE " + out.name + " :\n(\n";
        const int count = 3 + below(6);
        for (int i = 0; i < count; ++i)
            out.declaration += std::string("    ") + aspects[(index + i) % aspectCount] + std::to_string(i) + " := "
                               + std::to_string(i * 10) + (i + 1 < count ? ",\n" : "\n");
        out.declaration += ");\nEND_TYPE\n";
        return out;
    }
    out.kind = DataTypeModel::Struct;
    out.name = numbered("ST", part, index);
    out.declaration = "TYPE " + out.name + " :\nSTRUCT\n";
    const int count = 4 + below(7);
    for (int i = 0; i < count; ++i) {
        const Elementary& e = elementary[below(elementaryCount)];
        out.declaration += std::string("    ") + e.prefix + aspects[(index + i) % aspectCount] + std::to_string(i)
                           + " : ";
        if (below(6) == 0)
            out.declaration += "ARRAY[1.." + std::to_string(2 + below(30)) + "] OF " + e.type;
        else
            out.declaration += e.type;
        out.declaration += std::string("; (* ") + pick(comments, commentCount) + " *)\n";
    }
    out.declaration += "END_STRUCT\nEND_TYPE\n";
    return out;
}

bool ProjectGenerator::fill(AbstractProjectModel& project, QString* error)
{
    auto* folders = project.subModel<FolderModel>();
    auto* pous = project.subModel<PouModel>();
    auto* lists = project.subModel<GlobalVarModel>();
    auto* types = project.subModel<DataTypeModel>();
    auto fail = [error](const std::string& text) {
        if (error)
            *error = QString::fromStdString(text);
        return false;
    };
    if (!folders || !pous || !lists || !types)
        return fail("project '" + project.name() + "' has no program models");

    const int perFolder = m_options.objectsPerFolder > 0 ? m_options.objectsPerFolder : 40;
    auto report = [this](const char* kind, int done, int total) {
        if (m_options.progress)
            m_options.progress(kind, done, total);
    };
    // One top folder per kind and one folder below it for each `perFolder` objects.
    auto makeFolders = [&](const char* top, FolderModel::FolderType type, int objects, std::vector<unsigned int>& out) {
        if (objects <= 0)
            return true;
        FolderModel::Folder* root = folders->addFolder(top, 0, type);
        if (!root)
            return fail(folders->lastError().toStdString());
        for (int i = 0; i * perFolder < objects; ++i) {
            FolderModel::Folder* folder = folders->addFolder(numbered("Area", top, i + 1), root->id(), type);
            if (!folder)
                return fail(folders->lastError().toStdString());
            folder->setProperty("Row", std::to_string(i));
            out.push_back(folder->id());
        }
        return true;
    };
    std::vector<unsigned int> pouFolders, listFolders, typeFolders;
    if (!makeFolders("Programs", FolderModel::PouForder, m_options.pous, pouFolders)
        || !makeFolders("GlobalVariables", FolderModel::GlobleVarForder, m_options.gvls, listFolders)
        || !makeFolders("DataTypes", FolderModel::DataTypeForder, m_options.types, typeFolders))
        return false;

    for (int i = 0; i < m_options.types; ++i) {
        const Text text = dataType(i + 1);
        DataTypeModel::DataUnit* unit = types->addDataUnit(
            text.name, static_cast<DataTypeModel::PrjDataType>(text.kind), typeFolders[static_cast<std::size_t>(i / perFolder)]);
        if (!unit)
            return fail(types->lastError().toStdString());
        unit->setVarDeclaration(text.declaration);
        unit->setProperty("Row", std::to_string(i % perFolder));
        report("data types", i + 1, m_options.types);
    }
    for (int i = 0; i < m_options.gvls; ++i) {
        const Text text = globalList(i + 1);
        GlobalVarModel::GlobalVarTable* list =
            lists->addVarTable(text.name, listFolders[static_cast<std::size_t>(i / perFolder)]);
        if (!list)
            return fail(lists->lastError().toStdString());
        list->setVarDeclaration(text.declaration);
        list->setProperty("Row", std::to_string(i % perFolder));
        report("global variable lists", i + 1, m_options.gvls);
    }
    for (int i = 0; i < m_options.pous; ++i) {
        const Pou text = pou(i + 1);
        PouModel::PouUnit* unit = pous->addPou(text.name, static_cast<PouModel::PouType>(text.type),
                                               static_cast<PouModel::PouLanguageType>(text.language),
                                               pouFolders[static_cast<std::size_t>(i / perFolder)]);
        if (!unit)
            return fail(pous->lastError().toStdString());
        unit->setVarDeclaration(text.declaration);
        unit->setLogicContext(text.body);
        if (!text.graph.empty())
            unit->setGraphData(text.graph);
        unit->setProperty("Row", std::to_string(i % perFolder));
        report("POUs", i + 1, m_options.pous);
    }
    return true;
}
