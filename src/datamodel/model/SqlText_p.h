#pragma once

#include <QString>

#include <string>

// Texts put into SQL statements. Every value that stands between single quotes in a
// statement goes through literal(), so that any name or text is stored unchanged.
class SqlText
{
public:
    // The value as an SQL string literal: between single quotes, every quote doubled.
    static QString literal(const QString& value);
    static QString literal(const std::string& utf8);
};
