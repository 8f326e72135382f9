#include "datamodel/motion/CsvFieldReader_p.h"

#include "datamodel/motion/InputFile_p.h"

#include <QStringList>

CsvFieldReader::CsvFieldReader(const QString& fileName)
{
    if (!fileName.endsWith(QLatin1String(".csv"))) {
        m_error = QStringLiteral("%1 is no .csv file").arg(fileName);
        return;
    }
    m_open = motion::readInputFile(fileName, MaxFileSize, &m_text, &m_error);
    start();
}

CsvFieldReader::CsvFieldReader(QByteArray text) : m_text(std::move(text)), m_open(true)
{
    start();
}

void CsvFieldReader::start()
{
    if (m_text.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
}

bool CsvFieldReader::readField(QString& text, bool& endOfLine)
{
    endOfLine = false;
    const int size = m_text.size();
    if (!m_open || (m_pos >= size && m_lineStart))
        return false;
    QByteArray field;
    bool quoted = false;
    if (m_pos < size && m_text.at(m_pos) == '"') {
        quoted = true;
        ++m_pos;
    }
    while (m_pos < size) {
        const char c = m_text.at(m_pos++);
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (m_pos < size && m_text.at(m_pos) == '"') {
                field += '"';
                ++m_pos;
            } else {
                quoted = false; // text after the closing quote joins the field
            }
            continue;
        }
        if (c == ',') {
            m_lineStart = false;
            text = QString::fromUtf8(field);
            return true;
        }
        if (c == '\n') {
            endOfLine = true;
            m_lineStart = true;
            text = QString::fromUtf8(field);
            return true;
        }
        if (c != '\r')
            field += c;
    }
    // The text ends inside the last line: that line ends here.
    endOfLine = true;
    m_lineStart = true;
    text = QString::fromUtf8(field);
    return true;
}

bool CsvFieldReader::readLine(QStringList& fields, int limit)
{
    fields.clear();
    QString field;
    bool endOfLine = false;
    while (!endOfLine) {
        if (!readField(field, endOfLine))
            return !fields.isEmpty();
        if (fields.size() <= limit)
            fields << field;
    }
    return true;
}
