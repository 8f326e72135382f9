#pragma once

// The guarded reading of a TC6 file that PlcOpenReader builds on: every token goes through
// next(), which refuses a DTD (and so every entity) and keeps the nesting depth bounded; the
// first failure is kept as "FILE:LINE: message" and stops the reading.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

#include <functional>

class PlcOpenStream
{
public:
    PlcOpenStream(const QByteArray& xml, const QString& fileName, int maxDepth);

    const QString& error() const { return m_error; }

protected:
    using Handler = std::function<bool(const QString& name)>;

    // Keeps the first failure, at `line` or the current one; false.
    bool fail(const QString& message, qint64 line = -1);
    // The next token; false at a failure (malformed XML, a DTD, an entity, too deep).
    bool next();
    bool inTc6() const;
    QString attribute(const char* name) const;
    int line() const;

    // Calls `handler` for every child element (which must read it to its end); true at the
    // end of the current element.
    bool children(const Handler& handler);
    bool skip();
    // The text inside the current element, markup left out (xhtml paragraphs and the like);
    // where it holds CDATA sections, their text only.
    bool text(QString& out);
    // <ST><xhtml:p>text</xhtml:p></ST>, or the text right inside <ST> where a tool writes so;
    // the indentation around the paragraph is no part of the text.
    bool textBody(QString& out);
    // The element as XML of its own, namespaces declared on it, so that it can stand in any
    // TC6 body again.
    bool captureFragment(QByteArray& out);

    // An attribute that names something in declaration text: an identifier.
    bool name(const char* attributeName, const QString& what, QString& out);
    // Bounds, lengths and counts go into declaration text as they are: a number, a constant's
    // name or a typed literal, never anything that could end the declaration.
    bool token(const char* attributeName, const QString& what, QString& out, bool optional = false);
    // Fails unless every name of `wanted` is among the children `seen` of `element`.
    bool required(const QStringList& seen, const QStringList& wanted, const QString& element, int at);

    QXmlStreamReader m_reader; // read through next() only

private:
    QString m_fileName;
    int m_maxDepth;
    int m_depth = 0;
    QString m_error;
};
