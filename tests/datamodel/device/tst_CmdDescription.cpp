// The instruction table: the embedded catalogue and the rules by which its rows are read.
#include "support/TempDir.h"

#include "datamodel/device/CmdDescription.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

QMap<QString, QStringList> embedded()
{
    QMap<QString, QStringList> table;
    CmdDescription::instance()->cmdDescribe(table);
    return table;
}

// The X_TO_Y conversions: every ordered pair of the 17 types except the pairs among the
// date and time types and STRING_TO_SINT.
QSet<QString> pairConversions()
{
    const QStringList types = {"BOOL", "BYTE", "DATE", "DINT", "DT", "DWORD", "INT", "LREAL", "REAL",
                               "SINT", "STRING", "TIME", "TOD", "UDINT", "UINT", "USINT", "WORD"};
    const QSet<QString> calendar = {"DATE", "DT", "TIME", "TOD"};
    QSet<QString> names;
    for (const QString& from : types)
        for (const QString& to : types)
            if (from != to && !(calendar.contains(from) && calendar.contains(to)))
                names.insert(from + "_TO_" + to);
    names.remove("STRING_TO_SINT");
    return names;
}

TEST(CmdDescription, theEmbeddedTableHoldsEveryInstructionOnce)
{
    const QMap<QString, QStringList> table = embedded();
    const QSet<QString> conversions = pairConversions();
    ASSERT_EQ(conversions.size(), 259);
    QSet<QString> expected = conversions;
    for (const char* name :
         {"ADD", "SUB", "MUL", "DIV", "MOD", "RS", "SR", "ROL", "ROR", "SHL", "SHR", "AND", "OR_FC", "XOR", "NOT",
          "CONCAT", "DELETE", "FIND", "INSERT", "LEFT", "LEN", "MID", "REPLACE", "RIGHT", "EQ", "GE", "GT", "LE", "LT",
          "NE", "CTD", "CTU", "CTUD", "BCD_TO_INT", "INT_TO_BCD", "TRUNC", "F_TRIG", "R_TRIG", "ABS", "ACOS", "ASIN",
          "ATAN", "COS", "EXP", "EXPT", "LN", "LOG", "SIN", "SQRT", "TAN", "LIMIT", "MAX", "MIN", "MOVE", "MUX", "SEL",
          "TP", "TON", "TOF", "TONR", "ADR", "VAL", "EXTRACT", "PACK", "PUTBIT", "SIZEOF", "UNPACK", "MEMCPY", "MEMSET",
          "GETDATEANDTIME", "GETTICKCOUNT", "RTC", "SETDATEANDTIME", "LD", "LDF", "LDFI", "LDI", "LDP", "LDPI", "OR",
          "ORF", "ORI", "ORP", "OUT", "RST", "SET", "JMP", "RET", "INV", "MEF", "MEP"})
        expected.insert(QString::fromLatin1(name));
    EXPECT_EQ(expected.size(), 350);
    const QStringList names = table.keys();
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()), expected);

    QMap<QString, QSet<QString>> classes; // class -> names
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        classes[it.value().at(0)].insert(it.key());
    EXPECT_EQ(classes.size(), 20);
    // The conversions form one class, and it holds them all with the three extra ones.
    const QString conversionClass = table.value("INT_TO_REAL").at(0);
    const QSet<QString> extra = {"BCD_TO_INT", "INT_TO_BCD", "TRUNC"};
    EXPECT_EQ(classes.value(conversionClass), conversions + extra);
    EXPECT_EQ(classes.value(table.value("LD").at(0)).size(), 10);
    EXPECT_EQ(table.value("OR").at(0), table.value("LDI").at(0)) << "OR is a contact, OR_FC the logic function";
    EXPECT_NE(table.value("OR").at(0), table.value("OR_FC").at(0));

    const QRegularExpression han(QStringLiteral("[\\x{4E00}-\\x{9FFF}]"));
    const QSet<QString> kinds = {"FC", "FB", "CONTACT", "COIL", "PROCESSCONTROL"};
    const QSet<QString> directions = {"", "INPUT", "OUTPUT"};
    int splitRows = 0;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        const QStringList& row = it.value();
        SCOPED_TRACE(it.key().toStdString());
        ASSERT_GE(row.size(), CmdDescription::ColumnCount);
        EXPECT_EQ(row.at(1), it.key());
        EXPECT_TRUE(kinds.contains(row.at(2))) << row.at(2).toStdString();
        EXPECT_TRUE(han.match(row.at(0)).hasMatch()) << "class names are Chinese, read as UTF-8";
        EXPECT_FALSE(row.join(',').contains(QChar::ReplacementCharacter));
        // A comma in the detailed description shifts the parameter groups by the extra fields.
        const int shift = row.size() - CmdDescription::ColumnCount;
        splitRows += shift > 0;
        for (int group = 0; group < 9; ++group)
            EXPECT_TRUE(directions.contains(row.at(5 + shift + group * 5 + 2))) << "group " << group + 1;
    }
    EXPECT_GT(splitRows, 0) << "rows with a comma in a description are kept as split";
    EXPECT_EQ(table.value("TON").at(2), "FB");
    EXPECT_EQ(table.value("SET").at(2), "COIL");
}

TEST(CmdDescription, rowRules)
{
    testsupport::TempDir temp;
    auto write = [&](const QByteArray& text) {
        QFile file(temp.filePath("table.csv"));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
    };
    CmdDescription* catalogue = CmdDescription::instance();
    QMap<QString, QStringList> table;

    ASSERT_TRUE(write("class,name,kind,short,detail\n"));
    EXPECT_TRUE(catalogue->readFile(temp.filePath("table.csv")));
    catalogue->cmdDescribe(table);
    EXPECT_TRUE(table.isEmpty()) << "a header alone gives nothing";

    ASSERT_TRUE(write("class,name,kind,short,detail\r\n"
                      "c,TOO,FEW,fields\r\n"
                      "c,,FC,no name,x\r\n"
                      ",NOCLASS,FC,no class,x\r\n"
                      "c,DUP,FC,first,x\r\n"
                      "\xE7\xAE\x97,QUOTED,FC,\"a,b\",x,,\r\n"
                      "c,DUP,FB,second,x\r\n"
                      "\n"
                      "c,LAST,FC,s,d"));
    EXPECT_TRUE(catalogue->readFile(temp.filePath("table.csv")));
    catalogue->cmdDescribe(table);
    EXPECT_EQ(table.keys(), QStringList({"DUP", "LAST", "QUOTED"}));
    EXPECT_EQ(table.value("DUP"), QStringList({"c", "DUP", "FB", "second", "x"})) << "a later row replaces";
    EXPECT_EQ(table.value("QUOTED"), QStringList({QString::fromUtf8(u8"算"), "QUOTED", "FC", "\"a", "b\"", "x", "", ""}))
        << "quotes are not interpreted, empty fields are kept, the CR is not part of the last field";
    EXPECT_EQ(table.value("LAST").size(), 5);

    EXPECT_FALSE(catalogue->readFile(temp.filePath("missing.csv")));
    catalogue->cmdDescribe(table);
    EXPECT_TRUE(table.isEmpty());
    EXPECT_FALSE(catalogue->readFile("/dev/zero")) << "a device would be read until memory runs out";
    EXPECT_FALSE(catalogue->readFile(temp.path())) << "a folder is no table";

    // close() drops the catalogue; the next instance() reads the embedded table again.
    CmdDescription::close();
    EXPECT_EQ(embedded().size(), 350);
    EXPECT_TRUE(CmdDescription::instance()->readFile());
    EXPECT_EQ(embedded().size(), 350);
}

} // namespace
