#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

namespace plcproj {

// What a command prints: plain text lines by default, one JSON document with --json.
// Errors go to stderr as one line beginning "error: ".
class Output
{
public:
    explicit Output(bool json) : m_json(json) {}

    bool json() const { return m_json; }
    void line(const QString& text) const;
    void document(const QJsonValue& value) const;
    static void error(const QString& text);
    static void note(const QString& text); // progress on stderr

private:
    bool m_json;
};

} // namespace plcproj
