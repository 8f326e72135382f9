#include "datamodel/program/ProgramRules_p.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"

#include "accore/ACCore.h"

#include <QStringList>

#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace ProgramRules {

namespace {

// At most this many names in a list of referrers or contents; the rest are counted.
constexpr int listedAtMost = 5;

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

QString described(const char* kind, const std::string& name)
{
    return QStringLiteral("%1 '%2'").arg(QLatin1String(kind), q(name));
}

QString listed(const QStringList& items)
{
    if (items.size() <= listedAtMost)
        return items.join(QStringLiteral(", "));
    return QStringList(items.mid(0, listedAtMost)).join(QStringLiteral(", "))
           + QStringLiteral(" and %1 more").arg(items.size() - listedAtMost);
}

const char* folderWord(int type)
{
    switch (type) {
    case FolderModel::PouForder: return "POUs";
    case FolderModel::GlobleVarForder: return "global variable lists";
    case FolderModel::DataTypeForder: return "data types";
    }
    return "other objects";
}

// Every POU, list and type of the project, in this order.
template <typename Visit>
void forEachDeclared(const AbstractProjectModel* project, Visit&& visit)
{
    if (auto* pous = project->subModel<PouModel>()) {
        std::vector<PouModel::PouUnit*> all;
        pous->allPous(all, PouModel::AllPouTypes);
        for (DeclaredObject* object : all)
            visit(*object);
    }
    if (auto* lists = project->subModel<GlobalVarModel>()) {
        std::vector<GlobalVarModel::GlobalVarTable*> all;
        lists->allVarTables(all);
        for (DeclaredObject* object : all)
            visit(*object);
    }
    if (auto* units = project->subModel<DataTypeModel>()) {
        std::vector<DataTypeModel::DataUnit*> all;
        units->allDataUnits(all);
        for (DeclaredObject* object : all)
            visit(*object);
    }
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameWord(const std::string& text, std::size_t at, std::size_t length, const std::string& word)
{
    if (length != word.size())
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (lower(text[at + i]) != lower(word[i]))
            return false;
    return true;
}

// The words after which a name stands for a type.
bool introducesType(const std::string& text, std::size_t at, std::size_t length)
{
    for (const char* word : {"of", "to", "extends", "implements"})
        if (sameWord(text, at, length, word))
            return true;
    return false;
}

std::string lowered(const std::string& word)
{
    std::string out = word;
    for (char& c : out)
        c = lower(c);
    return out;
}

// The objects whose texts hold a word, by the word in lower case: the candidates that
// referrers() checks with textUses(), so that removing one of a hundred thousand types does not
// read the texts of all the others. Built once per project and text generation (any new object
// or changed text anywhere moves it); objects removed since are skipped when looked up by id.
class UsedWords
{
public:
    struct User {
        DeclaredObject::Kind kind;
        unsigned int id;
    };

    static const UsedWords& of(const AbstractProjectModel* project)
    {
        // One per thread: each thread works on its own projects.
        thread_local UsedWords cache;
        const unsigned long long generation = DeclaredObject::textGeneration();
        if (cache.m_project != project || cache.m_generation != generation || !cache.m_built)
            cache.build(project, generation);
        return cache;
    }

    const std::vector<User>& users(const std::string& name) const
    {
        static const std::vector<User> none;
        auto it = m_users.find(lowered(name));
        return it == m_users.end() ? none : it->second;
    }

private:
    void build(const AbstractProjectModel* project, unsigned long long generation)
    {
        m_users.clear();
        forEachDeclared(project, [this](const DeclaredObject& object) {
            std::unordered_set<std::string> words;
            collect(object.varDeclaration(), words);
            if (object.kind() == DeclaredObject::PouKind)
                collect(static_cast<const PouModel::PouUnit&>(object).logicContext(), words);
            for (const std::string& word : words)
                m_users[word].push_back(User{object.kind(), object.id()});
        });
        m_project = project;
        m_generation = generation;
        m_built = true;
    }

    // Every word of the text, comments and literals included: more candidates than uses is
    // harmless, textUses() decides.
    static void collect(const std::string& text, std::unordered_set<std::string>& words)
    {
        const std::size_t size = text.size();
        for (std::size_t i = 0; i < size;) {
            if (!isLetter(text[i])) {
                ++i;
                continue;
            }
            const std::size_t start = i;
            while (i < size && (isLetter(text[i]) || isDigit(text[i])))
                ++i;
            words.insert(lowered(text.substr(start, i - start)));
        }
    }

    const AbstractProjectModel* m_project = nullptr;
    unsigned long long m_generation = 0;
    bool m_built = false;
    std::unordered_map<std::string, std::vector<User>> m_users;
};

const DeclaredObject* declared(const AbstractProjectModel* project, const UsedWords::User& user)
{
    switch (user.kind) {
    case DeclaredObject::PouKind: {
        auto* pous = project->subModel<PouModel>();
        return pous ? pous->pou(user.id) : nullptr;
    }
    case DeclaredObject::GlobalVarKind: {
        auto* lists = project->subModel<GlobalVarModel>();
        return lists ? lists->varTable(user.id) : nullptr;
    }
    case DeclaredObject::DataTypeKind: {
        auto* units = project->subModel<DataTypeModel>();
        return units ? units->dataUnit(user.id) : nullptr;
    }
    }
    return nullptr;
}

} // namespace

const char* kindWord(const DeclaredObject& object)
{
    switch (object.kind()) {
    case DeclaredObject::PouKind: return "POU";
    case DeclaredObject::DataTypeKind: return "data type";
    case DeclaredObject::GlobalVarKind: return "global variable list";
    }
    return "object";
}

QString identifierRule(const std::string& name)
{
    if (ac::ACCore::isKeyword(name))
        return QStringLiteral("'%1' is a keyword of the language").arg(q(name));
    if (!ac::ACCore::isIdentifier(name))
        return QStringLiteral("'%1' is no identifier (a letter or '_' first, then letters, digits or '_')").arg(q(name));
    return QString();
}

QString declaredNameTaken(const AbstractProjectModel* project, const std::string& name, const DeclaredObject* self)
{
    if (!project)
        return QString();
    const QString wanted = q(name);
    DeclaredObject* found[3] = {};
    if (auto* pous = project->subModel<PouModel>())
        found[0] = pous->pou(wanted);
    if (auto* units = project->subModel<DataTypeModel>())
        found[1] = units->dataUnit(wanted);
    if (auto* lists = project->subModel<GlobalVarModel>())
        found[2] = lists->varTable(wanted);
    for (DeclaredObject* other : found)
        if (other && other != self)
            return QStringLiteral("a %1 named '%2' exists already").arg(QLatin1String(kindWord(*other)), q(other->name()));
    return QString();
}

QString folderRefusal(const AbstractProjectModel* project, unsigned int folderId, FolderModel::FolderType type)
{
    if (folderId == 0)
        return QString();
    auto* folders = project ? project->subModel<FolderModel>() : nullptr;
    FolderModel::Folder* folder = folders ? folders->folder(folderId) : nullptr;
    if (!folder)
        return QStringLiteral("folder %1 does not exist").arg(folderId);
    if (folder->type() != type)
        return QStringLiteral("folder %1 '%2' holds %3, not %4")
            .arg(QString::number(folderId), q(folder->name()), QLatin1String(folderWord(folder->type())),
                 QLatin1String(folderWord(type)));
    return QString();
}

bool textUses(const std::string& text, const std::string& name)
{
    const std::size_t size = text.size();
    std::size_t i = 0;
    // Where the last word ended and whether ":" or a type keyword came last.
    bool typeExpected = false;
    while (i < size) {
        const char c = text[i];
        if (c == '(' && i + 1 < size && text[i + 1] == '*') {
            const std::size_t end = text.find("*)", i + 2);
            i = end == std::string::npos ? size : end + 2;
        } else if (c == '/' && i + 1 < size && text[i + 1] == '/') {
            const std::size_t end = text.find('\n', i);
            i = end == std::string::npos ? size : end + 1;
        } else if (c == '\'' || c == '"') {
            // "$'" and '$"' escape the quote inside a string literal.
            ++i;
            while (i < size && text[i] != c)
                i += text[i] == '$' ? 2 : 1;
            ++i;
            typeExpected = false;
        } else if (isLetter(c)) {
            const std::size_t start = i;
            while (i < size && (isLetter(text[i]) || isDigit(text[i])))
                ++i;
            const std::size_t length = i - start;
            std::size_t next = i;
            while (next < size && (text[next] == ' ' || text[next] == '\t' || text[next] == '\r' || text[next] == '\n'))
                ++next;
            const bool calledOrTyped = next < size && (text[next] == '(' || text[next] == '#');
            if (sameWord(text, start, length, name) && (typeExpected || calledOrTyped))
                return true;
            typeExpected = introducesType(text, start, length);
        } else if (isDigit(c)) {
            while (i < size && (isLetter(text[i]) || isDigit(text[i]) || text[i] == '#' || text[i] == '.'))
                ++i;
            typeExpected = false;
        } else {
            if (c == ':')
                typeExpected = !(i + 1 < size && text[i + 1] == '='); // ":=" assigns
            else if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                typeExpected = false;
            i += c == ':' && i + 1 < size && text[i + 1] == '=' ? 2 : 1;
        }
    }
    return false;
}

QString referrers(const AbstractProjectModel* project, const DeclaredObject& object)
{
    if (!project)
        return QString();
    QStringList users;
    for (const UsedWords::User& user : UsedWords::of(project).users(object.name())) {
        const DeclaredObject* other = declared(project, user);
        if (!other || other == &object)
            continue;
        bool uses = textUses(other->varDeclaration(), object.name());
        if (!uses && other->kind() == DeclaredObject::PouKind)
            uses = textUses(static_cast<const PouModel::PouUnit*>(other)->logicContext(), object.name());
        if (uses)
            users << described(kindWord(*other), other->name());
    }
    return users.isEmpty() ? QString() : QStringLiteral("it is used by ") + listed(users);
}

QString folderContents(const AbstractProjectModel* project, const FolderModel::Folder& folder)
{
    if (!project)
        return QString();
    QStringList contents;
    if (auto* folders = project->subModel<FolderModel>()) {
        std::vector<FolderModel::Folder*> all;
        folders->allFolders(all, ~0);
        for (FolderModel::Folder* child : all)
            if (child->parentId() == folder.id() && child != &folder)
                contents << described("folder", child->name());
    }
    forEachDeclared(project, [&](const DeclaredObject& object) {
        if (object.folderId() == folder.id())
            contents << described(kindWord(object), object.name());
    });
    return contents.isEmpty() ? QString() : QStringLiteral("it holds ") + listed(contents);
}

} // namespace ProgramRules
