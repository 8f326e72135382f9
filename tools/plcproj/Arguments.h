#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace plcproj {

// The words of one command line: positional words in order, "--name value" (or "-n value",
// "--name=value") options and "--flag" switches, read by QCommandLineParser from the option
// definitions of the command.
class Arguments
{
public:
    // `valued` lists the options that take a value, `switches` those that do not; any other
    // option is refused. A valued option whose next word is itself an option ("--new --json")
    // is refused as well: an option never becomes the value of another (a value that begins
    // with "--" is written "--new=--value"). Numbers such as "-1" are words, not options.
    // A failure leaves an error text.
    bool parse(const QStringList& words, const QStringList& valued, const QStringList& switches = {});

    QString error() const { return m_error; }
    const QStringList& positional() const { return m_positional; }
    QString positional(int index) const { return m_positional.value(index); }
    bool has(const QString& option) const { return m_options.contains(option); }
    QString value(const QString& option, const QString& defaultValue = QString()) const
    {
        return m_options.value(option, defaultValue);
    }

    // "--name VALUE" for valued options, "--name" for switches ("-n" for one-letter names),
    // one per line: the options part of a usage text.
    static QString optionsHelp(const QStringList& valued, const QStringList& switches);

private:
    QStringList m_positional;
    QMap<QString, QString> m_options;
    QString m_error;
};

} // namespace plcproj
