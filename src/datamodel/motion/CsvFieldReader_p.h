#pragma once

#include <QByteArray>
#include <QString>

// Reads the fields of a CSV text one at a time. A field ends at "," or at a line feed (which
// sets `endOfLine`); carriage returns outside quotes are dropped; a field that begins with a
// double quote runs to the closing quote and may hold commas and line breaks, two double
// quotes inside it giving one; text after the closing quote is appended up to the next
// separator. A last line without a line feed is read like any other. A UTF-8 byte order mark
// at the start is skipped. Fields are decoded as UTF-8.
class CsvFieldReader
{
public:
    // The largest file opened by name.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    // Reads the whole file; only names ending in ".csv" are opened, regular files of at most
    // MaxFileSize bytes.
    explicit CsvFieldReader(const QString& fileName);
    explicit CsvFieldReader(QByteArray text);

    bool isOpen() const { return m_open; }
    // Why the file could not be opened.
    QString errorText() const { return m_error; }
    // The next field; false at the end of the text.
    bool readField(QString& text, bool& endOfLine);
    // The fields up to the end of the line, at most `limit` + 1 of them (the rest of a longer
    // line is skipped); false at the end of the text.
    bool readLine(QStringList& fields, int limit);

private:
    void start();

    QByteArray m_text;
    int m_pos = 0;
    bool m_lineStart = true; // nothing of the current line has been read
    bool m_open = false;
    QString m_error;
};
