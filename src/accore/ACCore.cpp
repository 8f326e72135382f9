#include "accore/ACCore.h"

#include "accore/ASTNode.h"
#include "accore/ASTTree.h"
#include "accore/DependenceTree.h"
#include "accore/DeviceMemory.h"
#include "accore/ProjectVars.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"
#include "accore/internal/Builtins.h"
#include "accore/internal/DeclParser.h"
#include "accore/internal/Identifier.h"
#include "accore/internal/Lexer.h"
#include "accore/internal/PouChecker.h"
#include "accore/internal/SymbolTable.h"

#include <algorithm>
#include <deque>
#include <map>

namespace ac {

class ACCorePrivate
{
public:
    ACCorePrivate() : dependences(&table)
    {
        table.setDeviceMemory(&memory);
        installBuiltins(table);
        projectVars = std::make_unique<ProjectVars>(&table);
    }

    // The text of an object that used names nothing declared yet, kept so that it can be
    // parsed again once they are.
    struct Source
    {
        char kind = 'P'; // 'P' POU, 'T' types, 'G' global list
        std::string name;
        std::string text;
        int fileId = 0;
        int pouKind = -1;
        std::vector<std::string> waitsFor;
    };

    // Parses and registers one object; `declared` gets the upper-case names it declared.
    // False when the object could not be registered at all.
    bool parseObject(char kind, const std::string& name, const std::string& text, int fileId, int pouKind,
                     std::vector<ACMessage>& out, std::vector<std::string>& declared)
    {
        DeclParser parser(table, text, name, fileId, out);
        std::string keyName = name;
        std::vector<std::shared_ptr<SymbolDataType>> types;
        const VarContainer* list = nullptr;
        if (kind == 'P') {
            std::shared_ptr<SymbolPOU> pou = parser.parsePou(pouKind);
            std::shared_ptr<SymbolPOU> existing = table.pou(pou->name());
            if (existing && existing->isBuiltin()) {
                out.push_back(ACMessage::duplicateName(name, pou->location(), pou->name(),
                                                       "the built-in function blocks"));
                return false;
            }
            keyName = pou->name();
            table.setPou(pou->name(), pou);
        } else if (kind == 'T') {
            types = parser.parseTypes();
            table.setObjectTypes(name, fileId, types);
            if (table.hasBrokenTypes() || !parser.brokenTypes().empty())
                table.setBrokenTypes(DeclParser::objectKey('T', name), parser.brokenTypes());
        } else {
            std::unique_ptr<SymbolGVL> gvl = parser.parseGlobalVars();
            list = gvl.get();
            table.setGvl(name, std::move(gvl));
        }
        if (parser.unresolvedNames().empty()) {
            if (!waiting.empty())
                waiting.erase(DeclParser::objectKey(kind, keyName));
        } else {
            // Kept, text and all, to be parsed again once a name it waits for is declared.
            waiting[DeclParser::objectKey(kind, keyName)] = Source{kind, name, text, fileId, pouKind,
                                                                   parser.unresolvedNames()};
        }
        if (waiting.empty())
            return true; // nobody to tell
        if (kind == 'P')
            declared.push_back(upperName(keyName));
        for (const auto& type : types)
            declared.push_back(upperName(type->name()));
        if (list) {
            for (const auto& variable : *list)
                declared.push_back(upperName(variable->name()));
        }
        return true;
    }

    // Parses again, quietly, every kept object that waits for one of `declared`, and so on
    // for what those declare; each object at most twice, so that cycles end.
    void resolveWaiting(std::vector<std::string> declared)
    {
        std::map<std::string, int> rounds;
        std::deque<std::string> names(declared.begin(), declared.end());
        while (!names.empty() && !waiting.empty()) {
            const std::string name = names.front();
            names.pop_front();
            std::vector<Source> due;
            for (const auto& entry : waiting) {
                const auto& waits = entry.second.waitsFor;
                if (std::find(waits.begin(), waits.end(), name) != waits.end() && rounds[entry.first]++ < 2)
                    due.push_back(entry.second);
            }
            for (const Source& source : due) {
                std::vector<ACMessage> quiet;
                std::vector<std::string> more;
                parseObject(source.kind, source.name, source.text, source.fileId, source.pouKind, quiet, more);
                names.insert(names.end(), more.begin(), more.end());
            }
        }
    }

    bool parse(char kind, const std::string& name, const std::string& text, int fileId, int pouKind)
    {
        const size_t first = messages.size();
        std::vector<std::string> declared;
        if (!parseObject(kind, name, text, fileId, pouKind, messages, declared))
            return false;
        if (!waiting.empty())
            resolveWaiting(std::move(declared));
        return errorCountSince(first) == 0;
    }

    size_t errorCountSince(size_t first) const
    {
        size_t count = 0;
        for (size_t i = first; i < messages.size(); ++i)
            count += messages[i].isError() ? 1 : 0;
        return count;
    }

    int programStyle = 0;
    std::string iecCFilePath;
    std::map<int, ProjectFile> files;
    std::vector<ACMessage> messages;
    SymbolTable table;
    DeviceMemory memory;
    DependenceTree dependences;
    std::unique_ptr<ProjectVars> projectVars;
    // Types handed out by parseSpecification, kept until the core goes.
    std::map<std::string, std::shared_ptr<SymbolDataType>> typeTexts;
    PrjMemAllSymbolInfo memInfo;
    std::map<std::string, Source> waiting; // by DeclParser::objectKey
};

ACCore::ACCore() : d(std::make_unique<ACCorePrivate>()) {}

bool ACCore::isIdentifier(const std::string& name)
{
    return ac::isIdentifier(name) && !isKeyword(name);
}

bool ACCore::isKeyword(const std::string& name)
{
    return DeclParser::isReservedWord(upperAscii(name));
}

ACCore::~ACCore() = default;

void ACCore::setProgramStyle(int style)
{
    d->programStyle = style;
}

int ACCore::getProgramStyle() const
{
    return d->programStyle;
}

bool ACCore::addFile(const std::string& name, const std::string& path, int type, int fileId)
{
    if (type != FT_PROJECT && type != FT_LIBRARY && type != FT_FIRMWARE_LIBRARY) {
        d->messages.emplace_back(ACMessage::Error, name, SourceLocation{},
                                 "file '" + path + "' has unknown file type " + std::to_string(type));
        return false;
    }
    if (d->files.count(fileId)) {
        d->messages.emplace_back(ACMessage::Error, name, SourceLocation{},
                                 "file id " + std::to_string(fileId) + " is already used by '"
                                     + d->files[fileId].name + "'");
        return false;
    }
    d->files[fileId] = ProjectFile{name, path, type, fileId};
    return true;
}

bool ACCore::removeFile(int fileId)
{
    d->table.removeFile(fileId);
    for (auto it = d->waiting.begin(); it != d->waiting.end();)
        it = it->second.fileId == fileId ? d->waiting.erase(it) : std::next(it);
    return d->files.erase(fileId) != 0;
}

std::vector<ProjectFile> ACCore::files() const
{
    std::vector<ProjectFile> out;
    for (const auto& entry : d->files)
        out.push_back(entry.second);
    return out;
}

const ProjectFile* ACCore::file(int fileId) const
{
    const auto it = d->files.find(fileId);
    return it == d->files.end() ? nullptr : &it->second;
}

void ACCore::setIecCFilePath(const std::string& path)
{
    d->iecCFilePath = path;
}

const std::string& ACCore::iecCFilePath() const
{
    return d->iecCFilePath;
}

void ACCore::reset(int level)
{
    d->messages.clear();
    if (level >= ClearMessages)
        return;
    d->table.removeFile(SymbolTable::kAllUserFiles);
    d->files.clear();
    d->waiting.clear();
}

const std::vector<ACMessage>& ACCore::errors() const
{
    return d->messages;
}

bool ACCore::hasErrors() const
{
    return d->errorCountSince(0) != 0;
}

void ACCore::clearSymbolCache()
{
    // Sizes and offsets are derived on demand; forget the cached ones.
    VarContainer::layoutGeneration();
}

bool ACCore::isRefSymbol(const std::string& name) const
{
    for (const VarContainer* container : d->table.containers()) {
        if (sameName(container->name(), name))
            continue;
        for (const auto& variable : *container) {
            const SymbolDataType* type = variable->dataType();
            for (int hops = 0; type && hops < 64; ++hops) {
                if (sameName(type->name(), name) && (type->isStruct() || type->isEnum() || type->isFunctionBlock()))
                    return true;
                type = type->isArray() ? type->elementType() : type->isPointer() ? type->refType() : nullptr;
            }
        }
    }
    return false;
}

bool ACCore::parserPou(const std::string& declText, const std::string& name, int fileId, bool, bool, int pouKind)
{
    return d->parse('P', name, declText, fileId, pouKind);
}

bool ACCore::parserTypes(const std::string& declText, const std::string& name, int fileId, bool, bool, int)
{
    return d->parse('T', name, declText, fileId, -1);
}

bool ACCore::parseGlobalVars(const std::string& declText, const std::string& name, int fileId, bool, bool)
{
    return d->parse('G', name, declText, fileId, -1);
}

bool ACCore::checkPOU(ASTNode* root, const std::string& pouName, int, void*)
{
    const size_t first = d->messages.size();
    SymbolPOU* pou = symbolPOU(pouName);
    if (!pou) {
        d->messages.emplace_back(ACMessage::Error, pouName, SourceLocation{},
                                 "POU '" + pouName + "' has no declaration to check against");
        return false;
    }
    if (!root)
        return true;
    if (const ASTTree* tree = root->tree()) {
        for (ACMessage message : tree->messages()) {
            message.setObjectName(pouName);
            d->messages.push_back(message);
        }
    }
    PouChecker checker(d->table, d->projectVars->internalSymbolVars(), *pou, d->messages);
    checker.check(root);
    return d->errorCountSince(first) == 0;
}

SymbolPOU* ACCore::symbolPOU(const std::string& name) const
{
    return d->table.pou(name).get();
}

SymbolGVL* ACCore::symbolGVL(const std::string& name) const
{
    return d->table.gvl(name);
}

SymbolDataType* ACCore::symbolType(const std::string& name) const
{
    return d->table.dataType(name).get();
}

Symbol* ACCore::symbol(const std::string& name, const std::string& scope, int type) const
{
    if (!scope.empty()) {
        const VarContainer* container = symbolPOU(scope);
        if (!container)
            container = symbolGVL(scope);
        if (!container)
            container = symbolType(scope);
        return container ? container->param(name) : nullptr;
    }
    if (type == ST_DATATYPE || type == 0) {
        if (Symbol* s = symbolType(name))
            return s;
    }
    if (type == ST_POU || type == 0) {
        if (Symbol* s = symbolPOU(name))
            return s;
    }
    if (type == ST_GVL || type == 0)
        return symbolGVL(name);
    return nullptr;
}

std::vector<std::string> ACCore::typeNames() const
{
    return d->table.typeNames();
}

std::vector<std::string> ACCore::objectTypeNames(const std::string& objectName) const
{
    std::vector<std::string> names;
    for (const std::string& key : d->table.typesOfObject(objectName))
        if (const auto type = d->table.dataType(key))
            names.push_back(type->name());
    return names;
}

std::vector<std::string> ACCore::pouNames() const
{
    return d->table.pouNames();
}

std::vector<std::string> ACCore::gvlNames() const
{
    return d->table.gvlNames();
}

SymbolDataType* ACCore::parseSpecification(const std::string& typeText)
{
    const auto cached = d->typeTexts.find(typeText);
    if (cached != d->typeTexts.end())
        return cached->second.get();
    std::shared_ptr<SymbolDataType> type;
    const std::string key = upperName(typeText);
    if (key == "POINTER") {
        type = SymbolDataType::makePointer(nullptr); // an untyped pointer: only its size matters
    } else if (key == "ENUM") {
        type = std::make_shared<SymbolEnumType>("ENUM");
    } else {
        std::string error;
        type = d->table.resolveTypeText(typeText, error);
        if (!type) {
            d->messages.emplace_back(ACMessage::Error, typeText, SourceLocation{}, error);
            return nullptr;
        }
    }
    d->typeTexts[typeText] = type;
    return type.get();
}

void ACCore::setDeviceType(const DeviceAreas& areas)
{
    d->memory.setAreas(areas);
}

DeviceMemory* ACCore::deviceMemory() const
{
    return &d->memory;
}

std::vector<MemUnit> ACCore::getMemUnits() const
{
    const DeviceAreas& a = d->memory.areas();
    return {{"input", a.input},     {"output", a.output}, {"memory", a.memory}, {"general", a.general},
            {"retian", a.retian},   {"code", a.code},     {"stack", a.stack}};
}

ProjectVars* ACCore::getProjectVars() const
{
    return d->projectVars.get();
}

DependenceTree* ACCore::dependenceTree() const
{
    return &d->dependences;
}

void ACCore::setProjectMemInfo(const PrjMemAllSymbolInfo& info)
{
    d->memInfo = info;
    // Global lists and programs keep the places the memory image gives them; every other
    // block (and every member the image does not name) is laid out in declaration order.
    std::map<std::string, const PrjMemSymbolInfo*> placed;
    for (const PrjMemSymbolInfo& symbol : info.symbols) {
        if ((symbol.section == 2 && symbol.name != d->projectVars->internalSymbolVars()->name()) || symbol.section == 5)
            placed[std::to_string(symbol.section) + upperName(symbol.name)] = &symbol;
    }
    auto place = [&](VarContainer* container, int section) {
        const auto it = placed.find(std::to_string(section) + upperName(container->name()));
        std::map<std::string, unsigned long long> offsets;
        unsigned long long reserved = 0;
        if (it != placed.end()) {
            for (const SymbolMemberInfo& member : it->second->members) {
                if (member.isFixedAddress())
                    continue;
                offsets[upperName(member.name)] = member.offset;
                const unsigned long long end = member.offset + member.type.byteSize;
                reserved = end < member.offset ? ~0ull : std::max(reserved, end);
            }
        }
        container->setPlacement(std::move(offsets), reserved);
    };
    for (const std::string& name : d->table.gvlNames())
        place(d->table.gvl(name), 2);
    for (const std::string& name : d->table.pouNames()) {
        SymbolPOU* pou = d->table.pou(name).get();
        if (pou && pou->isProgram())
            place(pou, 5);
    }
}

const PrjMemAllSymbolInfo& ACCore::projectMemInfo() const
{
    return d->memInfo;
}

} // namespace ac
