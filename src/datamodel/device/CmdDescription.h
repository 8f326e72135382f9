#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>

class CmdDescriptionPrivate;

// The catalogue of ladder and function instructions, read from the embedded table
// ":/cmddescription/ld_ins.csv": instruction name -> the fields of its row (class, name, kind,
// short description, detailed description, then nine groups of parameter name, data type,
// direction, register area and description). Fields are split at every ",": quotes are not
// interpreted, so a description holding a comma shifts the later fields of its row, and the
// row is kept as split. Used from the GUI thread only.
class DATAMODEL_EXPORT CmdDescription
{
public:
    static constexpr const char* TablePath = ":/cmddescription/ld_ins.csv";
    static constexpr int ColumnCount = 50;

    // Created (and the table read) on first use.
    static CmdDescription* instance();
    // Deletes the catalogue; the next instance() reads the table again.
    static void close();

    void cmdDescribe(QMap<QString, QStringList>& map) const;
    // Reads the table again (by default the embedded one; UTF-8). False, with a log line, when
    // it cannot be opened; the catalogue is empty then.
    bool readFile(const QString& path = QString::fromLatin1(TablePath));

private:
    CmdDescription();
    ~CmdDescription();
    CmdDescription(const CmdDescription&) = delete;
    CmdDescription& operator=(const CmdDescription&) = delete;

    std::unique_ptr<CmdDescriptionPrivate> d;
};
