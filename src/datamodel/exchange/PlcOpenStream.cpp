#include "datamodel/exchange/PlcOpenStream_p.h"

#include "datamodel/exchange/PlcOpenFormat_p.h"

#include "accore/ACCore.h"

#include <QRegularExpression>
#include <QXmlStreamWriter>

using PlcOpenFormat::Namespace;
using PlcOpenFormat::XhtmlNamespace;

PlcOpenStream::PlcOpenStream(const QByteArray& xml, const QString& fileName, int maxDepth)
    : m_reader(xml), m_fileName(fileName), m_maxDepth(maxDepth)
{
}

bool PlcOpenStream::fail(const QString& message, qint64 line)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("%1:%2: %3")
                      .arg(m_fileName)
                      .arg(line < 0 ? m_reader.lineNumber() : line)
                      .arg(message);
    return false;
}

bool PlcOpenStream::next()
{
    m_reader.readNext();
    if (m_reader.hasError())
        return fail(m_reader.errorString());
    switch (m_reader.tokenType()) {
    case QXmlStreamReader::DTD: return fail(QStringLiteral("a document type declaration (DTD) is refused"));
    case QXmlStreamReader::EntityReference:
        return fail(QStringLiteral("the entity '%1' is refused").arg(m_reader.name().toString()));
    case QXmlStreamReader::StartElement:
        if (++m_depth > m_maxDepth)
            return fail(QStringLiteral("elements nested deeper than %1").arg(m_maxDepth));
        break;
    case QXmlStreamReader::EndElement: --m_depth; break;
    default: break;
    }
    return true;
}

bool PlcOpenStream::inTc6() const
{
    return m_reader.namespaceUri() == Namespace;
}

QString PlcOpenStream::attribute(const char* name) const
{
    return m_reader.attributes().value(QLatin1String(name)).toString();
}

int PlcOpenStream::line() const
{
    return int(m_reader.lineNumber());
}

bool PlcOpenStream::children(const Handler& handler)
{
    const int depth = m_depth;
    while (next()) {
        if (m_reader.isEndElement() && m_depth < depth)
            return true;
        if (m_reader.isStartElement() && !handler(m_reader.name().toString()))
            return false;
    }
    return false;
}

bool PlcOpenStream::skip()
{
    return children([this](const QString&) { return skip(); });
}

bool PlcOpenStream::text(QString& out)
{
    const int depth = m_depth;
    QString all, cdata;
    bool hasCdata = false;
    while (next()) {
        if (m_reader.isEndElement() && m_depth < depth) {
            // A tool that indents the file puts blanks around a CDATA section, never in it.
            out += hasCdata ? cdata : all;
            return true;
        }
        if (m_reader.isCDATA()) {
            hasCdata = true;
            cdata += m_reader.text();
        }
        if (m_reader.isCharacters())
            all += m_reader.text();
    }
    return false;
}

bool PlcOpenStream::textBody(QString& out)
{
    const int depth = m_depth;
    QString direct;
    bool paragraph = false;
    while (next()) {
        if (m_reader.isEndElement() && m_depth < depth) {
            if (!paragraph)
                out = direct;
            return true;
        }
        if (m_reader.isStartElement()) {
            if (paragraph ? !skip() : !text(out))
                return false;
            paragraph = true;
        } else if (m_reader.isCharacters()) {
            direct += m_reader.text();
        }
    }
    return false;
}

bool PlcOpenStream::name(const char* attributeName, const QString& what, QString& out)
{
    out = attribute(attributeName);
    if (!ac::ACCore::isIdentifier(out.toStdString()))
        return fail(QStringLiteral("%1 '%2' is no identifier").arg(what, out));
    return true;
}

bool PlcOpenStream::token(const char* attributeName, const QString& what, QString& out, bool optional)
{
    static const QRegularExpression pattern(QStringLiteral("^[-+]?[A-Za-z0-9_#.]+$"));
    out = attribute(attributeName);
    if ((optional && out.isEmpty()) || pattern.match(out).hasMatch())
        return true;
    return fail(QStringLiteral("%1 '%2' is no number or name").arg(what, out));
}

bool PlcOpenStream::required(const QStringList& seen, const QStringList& wanted, const QString& element, int at)
{
    for (const QString& name : wanted)
        if (!seen.contains(name))
            return fail(QStringLiteral("<%1> lacks <%2>").arg(element, name), at);
    return true;
}

bool PlcOpenStream::captureFragment(QByteArray& out)
{
    QXmlStreamWriter writer(&out);
    writer.writeDefaultNamespace(Namespace);
    writer.writeNamespace(XhtmlNamespace, QStringLiteral("xhtml"));
    writer.writeStartElement(m_reader.namespaceUri().toString(), m_reader.name().toString());
    writer.writeAttributes(m_reader.attributes());
    const int depth = m_depth;
    while (next()) {
        if (m_reader.isEndElement()) {
            writer.writeEndElement();
            if (m_depth < depth)
                return true;
        } else if (m_reader.isStartElement()) {
            writer.writeStartElement(m_reader.namespaceUri().toString(), m_reader.name().toString());
            writer.writeAttributes(m_reader.attributes());
        } else if (m_reader.isCDATA()) {
            writer.writeCDATA(m_reader.text().toString());
        } else if (m_reader.isCharacters()) {
            writer.writeCharacters(m_reader.text().toString());
        } else if (m_reader.isComment()) {
            writer.writeComment(m_reader.text().toString());
        }
    }
    return false;
}
