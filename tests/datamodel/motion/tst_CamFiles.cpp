// The CSV field reader on its own: separators, quotes, line ends and the end of the text.
#include "datamodel/motion/CsvFieldReader_p.h"

#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

// Every line of `text` as its fields.
QList<QStringList> linesOf(const QByteArray& text)
{
    CsvFieldReader reader(text);
    QList<QStringList> lines;
    QStringList line;
    QString field;
    bool endOfLine = false;
    while (reader.readField(field, endOfLine)) {
        line << field;
        if (endOfLine) {
            lines << line;
            line.clear();
        }
    }
    EXPECT_TRUE(line.isEmpty()) << "every field belongs to a finished line";
    return lines;
}

struct Case
{
    const char* name;
    QByteArray text;
    QList<QStringList> lines;
};

class CsvFieldReaderTest : public ::testing::TestWithParam<Case>
{
};

TEST_P(CsvFieldReaderTest, readsTheFields)
{
    EXPECT_EQ(linesOf(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CsvFieldReaderTest,
    ::testing::Values(
        Case{"empty", "", {}},
        Case{"lastLineWithoutLineFeed", "a,b\nc,d", {{"a", "b"}, {"c", "d"}}},
        Case{"trailingComma", "a,", {{"a", ""}}},
        Case{"emptyLine", "a\n\nb\n", {{"a"}, {""}, {"b"}}},
        Case{"crlf", "a,b\r\nc\r\n", {{"a", "b"}, {"c"}}},
        Case{"quotedSeparators", "\"1,5\",\"x\ny\"\n", {{"1,5", "x\ny"}}},
        Case{"doubledQuotes", "\"say \"\"hi\"\"\",b", {{"say \"hi\"", "b"}}},
        Case{"textAfterClosingQuote", "\"ab\"cd,e", {{"abcd", "e"}}},
        Case{"carriageReturnInQuotes", "\"a\rb\"\n", {{"a\rb"}}},
        Case{"unterminatedQuote", "\"abc", {{"abc"}}},
        Case{"byteOrderMark", "\xEF\xBB\xBFVersion,1", {{"Version", "1"}}},
        Case{"utf8", "轴,\"凸轮\"\n", {{"轴", "凸轮"}}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(CsvFieldReaderFile, opensOnlyCsvFilesThatAreRegularFiles)
{
    testsupport::TempDir temp;
    const QString good = temp.path() + "/points.csv";
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a,b");
    file.close();
    ASSERT_TRUE(QFile::copy(good, temp.path() + "/points.CSV"));
    EXPECT_TRUE(CsvFieldReader(good).isOpen());
    EXPECT_FALSE(CsvFieldReader(temp.path() + "/points.CSV").isOpen()) << "the extension is compared exactly";
    EXPECT_FALSE(CsvFieldReader(temp.path() + "/missing.csv").isOpen());
    ASSERT_TRUE(QDir(temp.path()).mkdir("folder.csv"));
    CsvFieldReader folder(temp.path() + "/folder.csv");
    EXPECT_FALSE(folder.isOpen());
    EXPECT_FALSE(folder.errorText().isEmpty());
    QString field;
    bool endOfLine = false;
    EXPECT_FALSE(folder.readField(field, endOfLine));
}

TEST(CsvFieldReaderLine, longLinesKeepOnlyWhatTheCallerCanCheck)
{
    CsvFieldReader reader(QByteArray("1,2,3,4,5,6,7,8\nnext\n"));
    QStringList fields;
    ASSERT_TRUE(reader.readLine(fields, 5));
    EXPECT_EQ(fields.size(), 6) << "one more than the limit tells the line is too long";
    ASSERT_TRUE(reader.readLine(fields, 5));
    EXPECT_EQ(fields, QStringList({"next"}));
    EXPECT_FALSE(reader.readLine(fields, 5));
}

} // namespace
