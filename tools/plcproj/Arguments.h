#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace plcproj {

// The words of one command line: positional words in order, "--name value" (or "-n value")
// options and "--flag" switches. Which options take a value is known to the caller.
class Arguments
{
public:
    // `valued` lists the options that take a value. A failure leaves an error text.
    bool parse(const QStringList& words, const QStringList& valued);

    QString error() const { return m_error; }
    const QStringList& positional() const { return m_positional; }
    QString positional(int index) const { return m_positional.value(index); }
    bool has(const QString& option) const { return m_options.contains(option); }
    QString value(const QString& option, const QString& defaultValue = QString()) const
    {
        return m_options.value(option, defaultValue);
    }
    // Options that are neither valued nor among `switches`.
    QStringList unknown(const QStringList& valued, const QStringList& switches) const;

private:
    QStringList m_positional;
    QMap<QString, QString> m_options;
    QString m_error;
};

} // namespace plcproj
