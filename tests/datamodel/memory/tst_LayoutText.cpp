// The layout text and the file project.mem: what is written is read back unchanged, and a
// damaged or hand-edited layout is refused with a message that names the line.
#include "support/TempDir.h"

#include "datamodel/memory/LayoutText.h"
#include "datamodel/memory/MemFile.h"
#include "datamodel/memory/OnlineChange.h"
#include "datamodel/memory/Md5.h"
#include "datamodel/memory/SerializeData.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

ac::MemberDataType scalar(const std::string& name, int code, unsigned long long size)
{
    ac::MemberDataType type;
    type.typeName = name;
    type.basicDataType = code;
    type.byteSize = size;
    type.visitScope = 1;
    return type;
}

ac::SymbolMemberInfo member(const std::string& name, unsigned long long offset, ac::MemberDataType type)
{
    ac::SymbolMemberInfo m;
    m.name = name;
    m.offset = offset;
    m.type = std::move(type);
    return m;
}

// Every field of the member JSON used at least once, nested children included.
SerializeData sample()
{
    SerializeData data;
    ac::MemberDataType matrix = scalar("ARRAY[1..2,0..3] OF ARRAY[0..1] OF INT", 21, 32);
    matrix.arraryRangeSize = 2;
    matrix.arraryRange = "1..2,0..3";
    auto inner = std::make_shared<ac::MemberDataType>(scalar("ARRAY[0..1] OF INT", 21, 4));
    inner->arraryRangeSize = 1;
    inner->arraryRange = "0..1";
    inner->child = std::make_shared<ac::MemberDataType>(scalar("INT", 2, 2));
    matrix.child = inner;
    ac::MemberDataType located = scalar("BOOL", 9, 1);
    located.fixedAddr = "%IX2.5";
    located.bitAddr = 5;
    located.retain = true;
    ac::MemberDataType text = scalar("STRING(20)", 18, 21);
    text.constant = true;
    text.visitScope = 12;
    ac::MemberDataType pointer = scalar("POINTER TO Motor \"quoted\"", 17, 4);
    pointer.child = std::make_shared<ac::MemberDataType>(scalar("Motor", 23, 24));

    data.addSymbol({SerializeData::EnumSection, "Mode", {member("Idle", 0, scalar("Mode", 20, 2)), member("Run", 65535, scalar("Mode", 20, 2))}});
    data.addSymbol({SerializeData::GlobalSection, "GVL",
                    {member("matrix", 0, matrix), member("flag", 2, located), member("text", 32, text),
                     member("p", 56, pointer), member(SerializeData::OccupyMemberName, 60, scalar("BYTE", 5, 4)),
                     member(SerializeData::OccupyMemberName, 64, scalar("BYTE", 5, 8))}});
    data.addSymbol({SerializeData::ProgramSection, "Main", {}});
    data.addSymbol({SerializeData::FunctionSection, "Fc", {member("r", 0, scalar("REAL", 10, 4))}});
    return data;
}

void expectSameType(const ac::MemberDataType& a, const ac::MemberDataType& b)
{
    EXPECT_EQ(a.typeName, b.typeName);
    EXPECT_EQ(a.byteSize, b.byteSize);
    EXPECT_EQ(a.basicDataType, b.basicDataType);
    EXPECT_EQ(a.arraryRangeSize, b.arraryRangeSize);
    EXPECT_EQ(a.arraryRange, b.arraryRange);
    EXPECT_EQ(a.visitScope, b.visitScope);
    EXPECT_EQ(a.retain, b.retain);
    EXPECT_EQ(a.constant, b.constant);
    EXPECT_EQ(a.fixedAddr, b.fixedAddr);
    EXPECT_EQ(a.bitAddr, b.bitAddr);
    ASSERT_EQ(!a.child, !b.child);
    if (a.child)
        expectSameType(*a.child, *b.child);
}

TEST(LayoutText, whatIsWrittenIsReadBackFieldByField)
{
    const SerializeData data = sample();
    const std::string text = LayoutText::write(data);
    SerializeData read;
    std::vector<std::string> errors;
    ASSERT_TRUE(LayoutText::read(text, read, &errors)) << (errors.empty() ? "" : errors.front());
    ASSERT_EQ(read.symbols().size(), data.symbols().size());
    for (size_t i = 0; i < data.symbols().size(); ++i) {
        const ac::PrjMemSymbolInfo& a = data.symbols()[i];
        const ac::PrjMemSymbolInfo& b = read.symbols()[i];
        EXPECT_EQ(a.section, b.section);
        EXPECT_EQ(a.name, b.name);
        ASSERT_EQ(a.members.size(), b.members.size()) << a.name;
        for (size_t k = 0; k < a.members.size(); ++k) {
            EXPECT_EQ(a.members[k].name, b.members[k].name);
            EXPECT_EQ(a.members[k].offset, b.members[k].offset);
            expectSameType(a.members[k].type, b.members[k].type);
        }
    }
    // Lookups ignore case, as IEC names do.
    EXPECT_NE(read.find(SerializeData::GlobalSection, "gvl"), nullptr);
    EXPECT_EQ(read.find(SerializeData::ProgramSection, "GVL"), nullptr);
    EXPECT_EQ(read.findType("mode"), &read.symbols()[0]);
}

TEST(LayoutText, theTextHasTheHeadMemberAndJsonShape)
{
    const std::string text = LayoutText::write(sample());
    EXPECT_EQ(text.rfind("PRJ_MEM_ENUM_HEAD:Mode{\n    0:Idle:{", 0), 0u);
    EXPECT_NE(text.find("}\nPRJ_MEM_GVL_HEAD:GVL{\n    0:matrix:{"), std::string::npos);
    EXPECT_NE(text.find("PRJ_MEM_PRG_HEAD:Main{\n}\n"), std::string::npos);
    EXPECT_NE(text.find("PRJ_MEM_FC_HEAD:Fc{\n"), std::string::npos);
    // The member JSON is a compact object of strings with the array keys spelled as stored.
    const size_t start = text.find("0:matrix:") + 9;
    const std::string json = text.substr(start, text.find(";\n", start) - start);
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    EXPECT_EQ(object.value("ArraryRange").toString(), "1..2,0..3");
    EXPECT_EQ(object.value("ArraryRangeSize").toString(), "2");
    EXPECT_EQ(object.value("BasicDataType").toString(), "21");
    for (const QString& key : object.keys())
        EXPECT_TRUE(object.value(key).isString()) << key.toStdString();
    const QJsonObject child = QJsonDocument::fromJson(object.value("child").toString().toUtf8()).object();
    EXPECT_EQ(child.value("TypeName").toString(), "ARRAY[0..1] OF INT");
}

struct Damage
{
    const char* name;
    std::string text;
    const char* message; // part of the first error
};

const std::string good = "    0:a:{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"2\"};\n";

std::vector<Damage> damages()
{
    return {
        {"unknownSection", "PRJ_MEM_XXX_HEAD:G{\n}\n", "no section keyword"},
        {"memberNamedTwice", "PRJ_MEM_GVL_HEAD:G{\n" + good + "    4:A:{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"2\"};\n}\n", "listed twice"},
        {"overlappingPlaces", "PRJ_MEM_GVL_HEAD:G{\n    0:a:{\"TypeName\":\"DINT\",\"ByteSize\":\"4\",\"BasicDataType\":\"3\"};\n    2:b:{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"2\"};\n}\n", "overlaps"},
        {"negativeOffset", "PRJ_MEM_GVL_HEAD:G{\n    -4:a:{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"2\"};\n}\n", "no byte offset"},
        {"hugeOffset", "PRJ_MEM_GVL_HEAD:G{\n    18446744073709551615:a:{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"2\"};\n}\n", "no byte offset"},
        {"endBeyond4GiB", "PRJ_MEM_GVL_HEAD:G{\n    4294967295:a:{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"2\"};\n}\n", "beyond 4 GiB"},
        {"sizeNotANumber", "PRJ_MEM_GVL_HEAD:G{\n    0:a:{\"TypeName\":\"INT\",\"ByteSize\":\"two\",\"BasicDataType\":\"2\"};\n}\n", "\"ByteSize\""},
        {"basicTypeOutOfRange", "PRJ_MEM_GVL_HEAD:G{\n    0:a:{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"99\"};\n}\n", "\"BasicDataType\""},
        {"boundsDoNotMatch", "PRJ_MEM_GVL_HEAD:G{\n    0:a:{\"TypeName\":\"A\",\"ByteSize\":\"2\",\"BasicDataType\":\"21\",\"ArraryRangeSize\":\"2\",\"ArraryRange\":\"0..1\"};\n}\n", "ArraryRange"},
        {"notAString", "PRJ_MEM_GVL_HEAD:G{\n    0:a:{\"TypeName\":\"INT\",\"ByteSize\":2,\"BasicDataType\":\"2\"};\n}\n", "not a string"},
        {"brokenJson", "PRJ_MEM_GVL_HEAD:G{\n    0:a:{\"TypeName\":\"INT\";\n}\n", "does not end"},
        {"unclosedBlock", "PRJ_MEM_GVL_HEAD:G{\n" + good, "no closing"},
        {"symbolTwice", "PRJ_MEM_GVL_HEAD:G{\n}\nPRJ_MEM_GVL_HEAD:g{\n}\n", "listed twice"},
        {"childTooDeep", [] {
             std::string json = "{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"2\"}";
             for (int i = 0; i < 20; ++i) {
                 std::string quoted;
                 for (char c : json)
                     quoted += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
                 json = "{\"TypeName\":\"A\",\"ByteSize\":\"2\",\"BasicDataType\":\"21\",\"child\":\"" + quoted + "\"}";
             }
             return "PRJ_MEM_GVL_HEAD:G{\n    0:a:" + json + ";\n}\n";
         }(), "deeper"},
    };
}

class DamagedLayout : public ::testing::TestWithParam<Damage>
{
};

TEST_P(DamagedLayout, isRefusedWithItsLineAndTheNextBlockIsStillRead)
{
    const std::string after = "PRJ_MEM_PRG_HEAD:After{\n" + good + "}\n";
    const std::string text = GetParam().text + after;
    SerializeData data;
    std::vector<std::string> errors;
    EXPECT_FALSE(LayoutText::read(text, data, &errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.front().find(GetParam().message), std::string::npos) << errors.front();
    EXPECT_EQ(errors.front().rfind("line ", 0), 0u) << errors.front();
    const ac::PrjMemSymbolInfo* next = data.find(SerializeData::ProgramSection, "After");
    if (std::string(GetParam().name) != "unclosedBlock") {
        ASSERT_NE(next, nullptr) << errors.front();
        EXPECT_EQ(next->members.size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Reader, DamagedLayout, ::testing::ValuesIn(damages()),
                         [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST(LayoutText, fillersAndEnumerationValuesMayShareNamesAndPlaces)
{
    SerializeData data;
    const std::string text = "PRJ_MEM_ENUM_HEAD:E{\n    0:A:{\"TypeName\":\"E\",\"ByteSize\":\"2\",\"BasicDataType\":\"20\"};\n"
                             "    0:B:{\"TypeName\":\"E\",\"ByteSize\":\"2\",\"BasicDataType\":\"20\"};\n}\n"
                             "PRJ_MEM_GVL_HEAD:G{\n    0:occupy.member:{\"TypeName\":\"BYTE\",\"ByteSize\":\"2\",\"BasicDataType\":\"5\"};\n"
                             "    2:occupy.member:{\"TypeName\":\"BYTE\",\"ByteSize\":\"2\",\"BasicDataType\":\"5\"};\n"
                             "    8:m:{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"2\",\"FixedAddr\":\"%MW0\"};\n"
                             "    8:n:{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"2\"};\n}\n";
    std::vector<std::string> errors;
    EXPECT_TRUE(LayoutText::read(text, data, &errors)) << (errors.empty() ? "" : errors.front());
    EXPECT_EQ(data.movableByteSize(), 10u);
}

// Whatever the reader accepts, comparing it with itself must give a layout the reader accepts
// again: the next online change starts from that text.
TEST(LayoutText, aReadLayoutComparedWithItselfIsReadBack)
{
    const std::string intType = "{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"2\"}";
    // A filler at a fixed address over a member (found by fuzzing): it holds no place.
    const std::string located = "PRJ_MEM_GVL_HEAD:G{\n    0:a:" + intType + ";\n"
        "    0:occupy.member:{\"TypeName\":\"BYTE\",\"ByteSize\":\"4\",\"BasicDataType\":\"5\",\"FixedAddr\":\"%MW4\"};\n"
        "    2:b:" + intType + ";\n}\n";
    // An INT at an odd offset moves to an even one; at the very end of 4 GiB it has no place.
    const std::string odd = "PRJ_MEM_GVL_HEAD:H{\n    3:a:" + intType + ";\n}\n";
    const std::string edge = "PRJ_MEM_GVL_HEAD:K{\n    4294967293:a:" + intType + ";\n}\n";

    SerializeData read;
    std::vector<std::string> errors;
    ASSERT_TRUE(LayoutText::read(located + odd + edge, read, &errors)) << (errors.empty() ? "" : errors.front());
    const OnlineChange change(read, read);
    SerializeData again;
    ASSERT_TRUE(LayoutText::read(LayoutText::write(change.layout()), again, &errors)) << errors.front();

    const ac::PrjMemSymbolInfo* g = again.find(SerializeData::GlobalSection, "G");
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(g->members.size(), 2u); // the located filler is gone, a and b stay where they were
    EXPECT_EQ(g->members[0].name, "a");
    EXPECT_EQ(g->members[0].offset, 0u);
    EXPECT_EQ(g->members[1].offset, 2u);

    const ac::PrjMemSymbolInfo* h = again.find(SerializeData::GlobalSection, "H");
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->members.size(), 2u);
    EXPECT_TRUE(SerializeData::isFiller(h->members[0])); // the old place stays free
    EXPECT_EQ(h->members[1].name, "a");
    EXPECT_EQ(h->members[1].offset, 6u);

    const ac::PrjMemSymbolInfo* k = again.find(SerializeData::GlobalSection, "K");
    ASSERT_NE(k, nullptr);
    for (const ac::SymbolMemberInfo& m : k->members)
        EXPECT_TRUE(SerializeData::isFiller(m));
    EXPECT_EQ(change.blockers(), std::vector<std::string>{"K.a"});
}

TEST(MemFile, theFramingIsQtsAndTheLengthIsChecked)
{
    const std::string text = LayoutText::write(sample());
    const QByteArray bytes = MemFile::encode(text);
    EXPECT_EQ(qUncompress(bytes).toStdString(), text);
    Result<std::string> decoded = MemFile::decode(qCompress(QByteArray::fromStdString(text), 9));
    ASSERT_TRUE(decoded) << decoded.errorString().toStdString();
    EXPECT_EQ(decoded.value(), text);

    // A length of 2 GB in front of a few bytes: refused before anything is allocated.
    QByteArray huge = bytes;
    huge[0] = char(0x7F);
    EXPECT_FALSE(MemFile::decode(huge));
    EXPECT_NE(MemFile::decode(huge).errorString().indexOf("refused"), -1);
    // A length that the stream does not give, a stream cut short, bytes after the stream.
    QByteArray wrong = bytes;
    wrong[3] = char(wrong[3] + 1);
    EXPECT_FALSE(MemFile::decode(wrong));
    EXPECT_FALSE(MemFile::decode(bytes.left(bytes.size() - 3)));
    EXPECT_FALSE(MemFile::decode(bytes + "x"));
    EXPECT_FALSE(MemFile::decode(QByteArray("\0\0", 2)));
    QByteArray garbage = bytes.left(4) + QByteArray(bytes.size() - 4, 'z');
    EXPECT_FALSE(MemFile::decode(garbage));

    // An empty text is its four-byte length alone and reads back; a length of 0 in front of
    // a stream that holds text is refused.
    const Result<std::string> empty = MemFile::decode(MemFile::encode(std::string()));
    ASSERT_TRUE(empty) << empty.errorString().toStdString();
    EXPECT_EQ(empty.value(), "");
    EXPECT_FALSE(MemFile::decode(QByteArray(4, '\0') + qCompress(QByteArray("x")).mid(4)));
    EXPECT_FALSE(MemFile::decode(QByteArray::fromHex("00000000789cf30200004b004b")));
}

TEST(MemFile, isReplacedWholeAndRefusedWhenItsDigestDiffers)
{
    testsupport::TempDir dir;
    const QString path = QDir(dir.path()).filePath(MemFile::FileName);
    const std::string first = LayoutText::write(sample());
    ASSERT_TRUE(MemFile::write(path, first));
    const std::string second = "PRJ_MEM_PRG_HEAD:Main{\n}\n";
    ASSERT_TRUE(MemFile::write(path, second));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{MemFile::FileName});

    const std::string digest = Md5::getMd5Hex(second.data(), second.size());
    EXPECT_EQ(digest, QCryptographicHash::hash(QByteArray::fromStdString(second), QCryptographicHash::Md5).toHex().toStdString());
    Result<std::string> read = MemFile::read(path, digest);
    ASSERT_TRUE(read) << read.errorString().toStdString();
    EXPECT_EQ(read.value(), second);
    const std::string firstDigest = Md5::getMd5Hex(first.data(), first.size());
    Result<std::string> stale = MemFile::read(path, firstDigest);
    EXPECT_FALSE(stale);
    EXPECT_EQ(stale.error(), MemFile::DigestMismatch);
    EXPECT_NE(stale.errorString().indexOf("damaged or edited"), -1);
    EXPECT_EQ(MemFile::read(path + ".none", digest).error(), MemFile::NotFound);

    // A folder that cannot take the temporary file: the old layout stays as it was.
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (!QFile(QDir(dir.path()).filePath("probe")).open(QIODevice::WriteOnly)) {
        EXPECT_FALSE(MemFile::write(path, first));
        EXPECT_EQ(MemFile::read(path, digest).value(), second);
    }
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace
