#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <atomic>

struct sqlite3;

// What a database file may make a connection do. A project file comes from someone else: it
// holds data, and code only where the program that uses the driver wrote it. The policy
//  - hardens the connection before the schema is read (value length and column limits, no
//    attached files, cell size checks, no memory mapping, no extension loading);
//  - refuses a file whose schema holds code that its user did not declare: a trigger that is
//    not one of the declared ones (by name and text), a view, an index on expressions or a
//    partial index;
//  - installs an authorizer that denies what no user of the driver does: ATTACH of a file,
//    extension loading, PRAGMAs that write anything but a declared few, statements run by a
//    trigger or a view that was not declared, and the creation of such triggers and views.
// Extra tables and columns are data and stay readable.
class FilePolicy
{
public:
    // The CREATE TRIGGER statements of the triggers that files may hold.
    explicit FilePolicy(const QStringList& trustedTriggers = {});

    static void harden(sqlite3* db);
    // Empty when the schema holds no code but the declared triggers; otherwise why the file
    // is refused ("the file holds a trigger 't' that no project file has: not opened").
    QString checkSchema(sqlite3* db) const;
    // Installs the authorizer; the policy must outlive the connection's statements.
    void install(sqlite3* db);

    bool isTrustedTrigger(const QString& name) const { return m_triggers.contains(name.toLower()); }
    // How many actions the authorizer denied on the connection: what the file's author tried.
    int denied() const { return m_denied.load(); }

    // The text of a CREATE TRIGGER statement from its name on, whitespace collapsed: the form
    // in which the script's statement and the schema's text compare. Empty for other text.
    static QString canonicalTrigger(const QString& createStatement);
    // The most bytes a text or blob value may hold; bigger values cannot be read or stored.
    static constexpr int MaxValueLength = 64 * 1024 * 1024;

private:
    static int authorize(void* self, int action, const char* a, const char* b, const char* database,
                         const char* trigger);
    int decide(int action, const char* a, const char* b, const char* database, const char* trigger);

    QHash<QString, QString> m_triggers; // lower-case name -> canonical text
    std::atomic<int> m_denied{0};
};
