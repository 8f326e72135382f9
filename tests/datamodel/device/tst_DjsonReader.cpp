// The description file reader: what well-formed files give, and where and why broken ones stop.
#include "support/TempDir.h"

#include "datamodel/device/DjsonReader_p.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QVariantMap parsed(const QByteArray& text)
{
    QVariantMap members;
    DjsonDiagnostic diagnostic;
    EXPECT_TRUE(DjsonReader::parse(text, &members, &diagnostic)) << diagnostic.toString().toStdString();
    return members;
}

QVariant at(const QVariantMap& map, const QString& path)
{
    QVariant value = map;
    for (const QString& key : path.split('.'))
        value = value.toMap().value(key);
    return value;
}

TEST(DjsonReader, wellFormedTextsGiveTheirMembers)
{
    const QVariantMap members = parsed(
        "\xEF\xBB\xBF# a controller\r\n"
        "VX7_1616MT : {            # trailing comment\r\n"
        "    TypeID : PLCDeviceNode,\r\n"
        "    Power : 1.2W, Pins : X0-X15,Ip:192.168.1.10,\n"
        "    Quoted : \"a \\\"b\\\" c # not a comment, {} :\",\n"
        "    Path : \"C:\\\\dir\\n\",\n"
        "    Multi : \"two\nlines\",\n"
        "    Empty : {},\n"
        "    Name : { zh_CN : \"VX7 运动控制器\", en_US : \"VX7 controller\" },\n"
        "    Bare : 运动控制器,\n"
        "    \" spaced key\" : x,\n"
        "    Dup : first, Dup : second,\n"
        "},\n"
        "Second : plain,\n");
    EXPECT_EQ(members.keys(), QStringList({"Second", "VX7_1616MT"}));
    EXPECT_EQ(members.value("Second").toString(), "plain");
    EXPECT_EQ(at(members, "VX7_1616MT.TypeID").toString(), "PLCDeviceNode");
    EXPECT_EQ(at(members, "VX7_1616MT.Power").toString(), "1.2W");
    EXPECT_EQ(at(members, "VX7_1616MT.Pins").toString(), "X0-X15");
    EXPECT_EQ(at(members, "VX7_1616MT.Ip").toString(), "192.168.1.10");
    // The backslash and the character after it both stay in the text.
    EXPECT_EQ(at(members, "VX7_1616MT.Quoted").toString(), "a \\\"b\\\" c # not a comment, {} :");
    EXPECT_EQ(at(members, "VX7_1616MT.Path").toString(), "C:\\\\dir\\n");
    EXPECT_EQ(at(members, "VX7_1616MT.Multi").toString(), "two\nlines");
    EXPECT_EQ(at(members, "VX7_1616MT.Empty").userType(), QMetaType::QVariantMap);
    EXPECT_TRUE(at(members, "VX7_1616MT.Empty").toMap().isEmpty());
    EXPECT_EQ(at(members, "VX7_1616MT.Name.zh_CN").toString(), QString::fromUtf8(u8"VX7 运动控制器"));
    EXPECT_EQ(at(members, "VX7_1616MT.Bare").toString(), QString::fromUtf8(u8"运动控制器"));
    EXPECT_EQ(at(members, "VX7_1616MT. spaced key").toString(), "x");
    EXPECT_EQ(at(members, "VX7_1616MT.Dup").toString(), "second") << "a later member replaces an earlier one";
    EXPECT_EQ(at(members, "VX7_1616MT.Name").userType(), QMetaType::QVariantMap);

    // The same members enclosed in braces, and files without any member.
    EXPECT_EQ(parsed("{ A : 1, B : { C : 2 } }"), parsed("A : 1, B : { C : 2 }"));
    EXPECT_TRUE(parsed("").isEmpty());
    EXPECT_TRUE(parsed("# only a comment\n\n").isEmpty());
    EXPECT_TRUE(parsed("{}").isEmpty());
}

struct BrokenText
{
    const char* name;
    QByteArray text;
    int line;
    int column;
    const char* message;
    QStringList kept; // top-level members read before the error
};

void PrintTo(const BrokenText& row, std::ostream* os)
{
    *os << row.name;
}

class DjsonErrors : public ::testing::TestWithParam<BrokenText>
{
};

TEST_P(DjsonErrors, stopAtTheFirstErrorWithItsPlaceAndKeepWhatCameBefore)
{
    const BrokenText& row = GetParam();
    QVariantMap members;
    DjsonDiagnostic diagnostic;
    EXPECT_FALSE(DjsonReader::parse(row.text, &members, &diagnostic));
    EXPECT_EQ(diagnostic.line, row.line);
    EXPECT_EQ(diagnostic.column, row.column);
    EXPECT_TRUE(diagnostic.message.contains(QString::fromUtf8(row.message))) << diagnostic.message.toStdString();
    EXPECT_TRUE(diagnostic.toString().startsWith(QStringLiteral("line %1, column %2: ").arg(row.line).arg(row.column)));
    EXPECT_EQ(members.keys(), row.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DjsonErrors,
    ::testing::Values(
        BrokenText{"missingColon", "A : x,\nB y\nC : z", 2, 3, "expected ':' after the key \"B\", found 'y'", {"A"}},
        BrokenText{"missingComma", "A : x\n  B : y", 2, 3, "expected ',' or the end of the file after the value of \"A\", found 'B'", {"A"}},
        BrokenText{"missingValue", "A : 1,\nB : ,", 2, 5, "expected a value for the key \"B\", found ','", {"A"}},
        BrokenText{"unterminatedString", "A : 1,\nB : \"abc\n\n", 2, 5, "never ends", {"A"}},
        BrokenText{"backslashAtTheEnd", "A : \"abc\\", 1, 5, "never ends", {}},
        BrokenText{"unclosedMap", "A : 1,\nB : { C : { D : 2 }\n", 2, 5, "'{' here is never closed", {"A"}},
        BrokenText{"strayBrace", "A : 1 }", 1, 7, "found '}'", {"A"}},
        BrokenText{"keyIsAMap", "{ A : 1, { } }", 1, 10, "expected a key or '}', found '{'", {"A"}},
        BrokenText{"junkAfterEnclosingBraces", "{ A : 1 }\nB : 2", 2, 1, "expected the end of the file, found 'B'", {"A"}},
        BrokenText{"missingCommaInNestedMap", "A : { B : 1 C : 2 }", 1, 13, "expected ',' or '}' after the value of \"B\"", {}},
        BrokenText{"notUtf8", "A : x,\nB : \xC4\xE3\xBA\xC3", 2, 5, "not UTF-8", {}},
        BrokenText{"overlongUtf8", "A : \xC0\xAF", 1, 5, "not UTF-8", {}},
        BrokenText{"nestedTooDeep", "A : " + QByteArray("{ k : ").repeated(65) + "x" + QByteArray(" }").repeated(65), 1,
                   5 + 64 * 6, "deeper than 64", {}}),
    [](const ::testing::TestParamInfo<BrokenText>& info) { return std::string(info.param.name); });

TEST(DjsonReader, filesAreBoundedAndUnreadableOnesSaySo)
{
    testsupport::TempDir temp;
    QVariantMap members;
    DjsonDiagnostic diagnostic;
    EXPECT_FALSE(DjsonReader::readFile(temp.filePath("missing.djson"), &members, &diagnostic));
    EXPECT_EQ(diagnostic.line, 0);
    EXPECT_TRUE(diagnostic.message.startsWith("cannot be read")) << diagnostic.message.toStdString();

    QFile large(temp.filePath("large.djson"));
    ASSERT_TRUE(large.open(QIODevice::WriteOnly));
    ASSERT_TRUE(large.write("A : x,\n") > 0);
    ASSERT_TRUE(large.resize(DjsonReader::MaxFileSize + 1));
    large.close();
    diagnostic = DjsonDiagnostic();
    EXPECT_FALSE(DjsonReader::readFile(large.fileName(), &members, &diagnostic));
    EXPECT_TRUE(diagnostic.message.contains("exceed")) << diagnostic.message.toStdString();
    EXPECT_TRUE(members.isEmpty()) << "an oversized file is refused unread";

    QFile fine(temp.filePath("fine.djson"));
    ASSERT_TRUE(fine.open(QIODevice::WriteOnly));
    fine.write("A : { B : \"x y\" }");
    fine.close();
    EXPECT_TRUE(DjsonReader::readFile(fine.fileName(), &members, &diagnostic));
    EXPECT_EQ(at(members, "A.B").toString(), "x y");
}

} // namespace
