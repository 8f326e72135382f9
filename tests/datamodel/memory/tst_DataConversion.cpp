// Raw controller bytes to IEC literal text and back: what an online value display shows and
// what an online write puts into a running machine.
#include "ModelTestSupport.h"

#include "datamodel/memory/DataConversion.h"

#include "accore/ACCore.h"
#include "accore/AccoreManager.h"
#include "accore/DeviceMemory.h"
#include "accore/SymbolDataType.h"
#include "host/CookieStore.h"
#include "host/DefaultApplication.h"

#include <QByteArray>
#include <QDateTime>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>

namespace {

const char* const kProject = "ValueConversion";

const char* const kTypes = "TYPE\n"
                           "    E_Mode : (Off := 0, Auto := 5, Manual := -3);\n"
                           "    E_Far : DINT (Near := 1, Far := 70000);\n"
                           "    S_Pair : STRUCT a : INT; b : BOOL; END_STRUCT;\n"
                           "END_TYPE\n";

// A core registered under kProject and named the current project, as an open project has.
void installCore()
{
    static const bool done = [] {
        auto* core = new ac::ACCore();
        ac::DeviceAreas areas;
        areas.input = 64;
        areas.output = 64;
        areas.memory = 1024;
        core->setDeviceType(areas);
        core->deviceMemory()->resetJapanLayout({{"X", 64}, {"D", 100}});
        EXPECT_TRUE(core->parserTypes(kTypes, "Types", 1)) << (core->errors().empty() ? std::string() : core->errors().front().toString());
        return ac::AccoreManager::instance()->addAccore(kProject, core);
    }();
    ASSERT_TRUE(done);
    testsupport::defaultHost().cookies()->setValue("Project.Name", kProject);
}

ac::SymbolDataType* typeOf(const char* text)
{
    QString typeText = QString::fromLatin1(text);
    return DataConversion::getSymbolDataType(typeText);
}

ac::HeapAddress bitAddress(int bit)
{
    ac::HeapAddress address;
    if (bit >= 0) {
        address.kind = ac::HeapAddress::Bit;
        address.area = 'M';
        address.bitNumber = static_cast<unsigned>(bit);
        address.size = 1;
    }
    return address;
}

// A buffer filled with 0xAA, so that every byte a conversion touches shows.
QByteArray filled(unsigned size)
{
    return QByteArray(static_cast<int>(size), static_cast<char>(0xAA));
}

class ConversionTest : public testsupport::ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        installCore();
    }
};

// ---------------------------------------------------------------------------------------
// Bytes to text, one row per case

struct ReadCase
{
    const char* name;
    const char* type;
    const char* hex;  // the raw little-endian bytes
    unsigned radix;
    int bit;          // -1: a byte address
    const char* text; // nullptr: refused with "bad Data"
};

class ReadTest : public ConversionTest, public ::testing::WithParamInterface<ReadCase>
{
};

TEST_P(ReadTest, showsTheLiteral)
{
    const ReadCase& c = GetParam();
    ac::SymbolDataType* type = typeOf(c.type);
    ASSERT_NE(type, nullptr) << c.type;
    const QByteArray bytes = QByteArray::fromHex(c.hex);
    QString text = "left over";
    const bool ok = DataConversion::BuffToQString(text, bytes.constData(), static_cast<unsigned>(bytes.size()), type,
                                                  bitAddress(c.bit), c.radix);
    if (!c.text) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(text, "bad Data");
        return;
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(text, QString::fromUtf8(c.text));
}

const ReadCase readCases[] = {
    {"sint_neg_decimal", "SINT", "ff", 10, -1, "-1"},
    {"sint_neg_hex", "SINT", "ff", 16, -1, "16#-1"},
    {"sint_neg_binary", "SINT", "ff", 2, -1, "2#-0000001"},
    {"sint_min_hex_keeps_sign", "SINT", "80", 16, -1, "16#-80"},
    {"usint_binary", "BYTE", "05", 2, -1, "2#00000101"},
    {"int_hex", "INT", "3412", 16, -1, "16#1234"},
    {"uint_255_hex", "UINT", "ff00", 16, -1, "16#00FF"},
    {"uint_255_binary", "WORD", "ff00", 2, -1, "2#0000000011111111"},
    {"dint_decimal", "DINT", "6079feff", 10, -1, "-100000"},
    {"udint_max_hex", "UDINT", "ffffffff", 16, -1, "16#FFFFFFFF"},
    {"lint_min_decimal", "LINT", "0000000000000080", 10, -1, "-9223372036854775808"},
    {"lint_min_hex", "LINT", "0000000000000080", 16, -1, "16#-8000000000000000"},
    {"ulint_1_hex", "ULINT", "0100000000000000", 16, -1, "16#00000001"},
    {"ulint_max_hex", "LWORD", "ffffffffffffffff", 16, -1, "16#FFFFFFFFFFFFFFFF"},
    {"ulint_binary", "ULINT", "0300000000000000", 2, -1,
     "2#0000000000000000000000000000000000000000000000000000000000000011"},
    {"pointer_hex", "POINTER", "cdab0000", 16, -1, "16#0000ABCD"},
    {"bool_true", "BOOL", "01", 10, -1, "TRUE"},
    {"bool_false", "BOOL", "00", 16, -1, "FALSE"},
    {"bool_byte_2", "BOOL", "02", 10, -1, "Value(2) and Boolean type mismatch"},
    {"bool_bit_set", "BOOL", "08", 10, 3, "TRUE"},
    {"bool_bit_clear", "BOOL", "f7", 10, 3, "FALSE"},
    {"bool_bit_8", "BOOL", "ff", 10, 8, nullptr},
    {"real", "REAL", "0000c03f", 10, -1, "1.5"},
    {"real_small", "REAL", "ffe6db2e", 10, -1, "1E-10"},
    {"real_seven_digits", "REAL", "a379eb4c", 10, -1, "1.234568E+08"},
    {"lreal", "LREAL", "9a9999999999b93f", 10, -1, "0.1"},
    {"time_zero", "TIME", "00000000", 10, -1, "T#0ms"},
    {"time_61000", "TIME", "48ee0000", 10, -1, "T#1m1s"},
    {"time_every_unit", "TIME", "c9385e05", 10, -1, "T#1d1h1m1s1ms"},
    {"ltime_zero", "LTIME", "0000000000000000", 10, -1, "LTIME#0ns"},
    {"ltime_day_and_ns", "LTIME", "01004f91944e0000", 10, -1, "LTIME#1d1ns"},
    {"ltime_ms_ns", "LTIME", "41420f0000000000", 10, -1, "LTIME#1ms1ns"},
    {"date_epoch", "DATE", "00000000", 10, -1, "D#1970-01-01"},
    {"date_leap_day", "DATE", "00c9df65", 10, -1, "D#2024-02-29"},
    {"date_and_time", "DT", "f079e065", 10, -1, "DT#2024-02-29-12:34:56"},
    {"date_and_time_last", "DATE_AND_TIME", "ffffffff", 10, -1, "DT#2106-02-07-06:28:15"},
    {"time_of_day", "TOD", "952cb302", 10, -1, "TOD#12:34:56.789"},
    {"time_of_day_wraps", "TIME_OF_DAY", "015c2605", 10, -1, "TOD#00:00:00.001"},
    {"string_cut_at_nul", "STRING", "6127620078", 10, -1, "a$'b"},
    {"string_escapes", "STRING", "24220a0c0d09", 10, -1, "$$$\"$N$P$R$T"},
    {"string_utf8", "STRING(10)", "e4b8ade69687", 10, -1, u8"中文"},
    {"string_ends_with_its_type", "STRING(2)", "6162636400", 10, -1, "ab"},
    {"string_empty", "STRING", "00ff", 10, -1, ""},
    {"wstring", "WSTRING", "6800e9003d0000004100", 10, -1, u8"hé="},
    {"wstring_surrogates", "WSTRING", "3dd800de0000", 10, -1, u8"😀"},
    {"wstring_odd_size", "WSTRING", "680069", 10, -1, nullptr},
    {"enum_key", "E_Mode", "0500", 10, -1, "Auto"},
    {"enum_negative_key", "E_Mode", "fdff", 16, -1, "Manual"},
    {"enum_unknown_value", "E_Mode", "0700", 10, -1, "7"},
    {"enum_dint_base", "E_Far", "70110100", 10, -1, "Far"},
    {"enum_needs_its_width", "E_Far", "701101", 10, -1, nullptr},
    {"radix_8", "INT", "0100", 8, -1, nullptr},
    {"radix_8_bool", "BOOL", "01", 8, -1, nullptr},
    {"int_short_buffer", "INT", "01", 10, -1, nullptr},
    {"lreal_short_buffer", "LREAL", "00000000000000", 10, -1, nullptr},
    {"sint_empty_buffer", "SINT", "", 10, -1, nullptr},
    {"structure", "S_Pair", "0000000000", 10, -1, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Types, ReadTest, ::testing::ValuesIn(readCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Text to bytes, one row per case

struct WriteCase
{
    const char* name;
    const char* type;
    const char* text;
    unsigned radix;
    unsigned capacity;
    int bit;
    const char* hex; // the bytes written; nullptr: refused, nothing written
};

class WriteTest : public ConversionTest, public ::testing::WithParamInterface<WriteCase>
{
};

TEST_P(WriteTest, writesExactlyTheValue)
{
    const WriteCase& c = GetParam();
    ac::SymbolDataType* type = typeOf(c.type);
    ASSERT_NE(type, nullptr) << c.type;
    QByteArray buffer = filled(c.capacity);
    unsigned size = c.capacity;
    const bool ok = DataConversion::QStringToBuff(QString::fromUtf8(c.text), buffer.data(), size, type,
                                                  bitAddress(c.bit), c.radix);
    if (!c.hex) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(buffer, filled(c.capacity)) << "a refused write must leave the buffer alone";
        EXPECT_EQ(size, c.capacity);
        return;
    }
    ASSERT_TRUE(ok);
    const QByteArray expected = QByteArray::fromHex(c.hex);
    EXPECT_EQ(size, static_cast<unsigned>(expected.size()));
    EXPECT_EQ(buffer.left(expected.size()).toHex(), expected.toHex());
    EXPECT_EQ(buffer.mid(expected.size()), filled(c.capacity - static_cast<unsigned>(expected.size())))
        << "bytes past the value stay untouched";
}

const WriteCase writeCases[] = {
    {"sint_200_wraps_to_the_byte", "SINT", "200", 10, 4, -1, "c8"},
    {"sint_neg", "SINT", "-1", 10, 1, -1, "ff"},
    {"sint_below_range", "SINT", "-129", 10, 1, -1, nullptr},
    {"sint_not_a_number", "SINT", "1O", 10, 1, -1, nullptr},
    {"sint_empty", "SINT", "", 10, 1, -1, nullptr},
    {"usint_300", "USINT", "300", 10, 1, -1, nullptr},
    {"usint_negative", "BYTE", "-1", 10, 1, -1, nullptr},
    {"int_70000", "INT", "70000", 10, 2, -1, nullptr},
    {"int_hex", "INT", "16#7FFF", 16, 2, -1, "ff7f"},
    {"int_hex_negative", "INT", "16#-1", 16, 2, -1, "ffff"},
    {"int_hex_without_prefix", "INT", "7FFF", 16, 2, -1, nullptr},
    {"int_decimal_refuses_hex", "INT", "16#10", 10, 2, -1, nullptr},
    {"uint_binary_with_prefix", "UINT", "2#0000000011111111", 2, 2, -1, "ff00"},
    {"uint_binary_plain", "WORD", "11111111", 2, 2, -1, "ff00"},
    {"uint_binary_bad_digit", "UINT", "2#102", 2, 2, -1, nullptr},
    {"dint_trailing_garbage", "DINT", "12x", 10, 4, -1, nullptr},
    {"udint_max", "DWORD", "4294967295", 10, 4, -1, "ffffffff"},
    {"lint_min", "LINT", "-9223372036854775808", 10, 8, -1, "0000000000000080"},
    {"lint_min_hex", "LINT", "16#-8000000000000000", 16, 8, -1, "0000000000000080"},
    {"ulint_max", "ULINT", "18446744073709551615", 10, 8, -1, "ffffffffffffffff"},
    {"ulint_overflow", "ULINT", "18446744073709551616", 10, 8, -1, nullptr},
    {"pointer_hex", "POINTER", "16#0000ABCD", 16, 4, -1, "cdab0000"},
    {"int_short_buffer", "INT", "1", 10, 1, -1, nullptr},
    {"real", "REAL", "1.5", 10, 4, -1, "0000c03f"},
    {"real_garbage", "REAL", "1,5", 10, 4, -1, nullptr},
    {"real_out_of_range", "REAL", "1E39", 10, 4, -1, nullptr},
    {"lreal", "LREAL", "0.1", 10, 8, -1, "9a9999999999b93f"},
    {"lreal_empty", "LREAL", "", 10, 8, -1, nullptr},
    {"bool_false_lower", "BOOL", "false", 10, 1, -1, "00"},
    {"bool_true_mixed", "BOOL", "True", 16, 1, -1, "01"},
    {"bool_yes", "BOOL", "yes", 10, 1, -1, nullptr},
    {"bool_bit_true", "BOOL", "TRUE", 10, 1, 3, "08"},
    {"bool_bit_false", "BOOL", "FALSE", 10, 1, 3, "00"},
    {"bool_bit_8", "BOOL", "TRUE", 10, 1, 8, nullptr},
    {"time_1s500ms", "TIME", "T#1s500ms", 10, 4, -1, "dc050000"},
    {"time_lower_case", "TIME", "t#1m1s", 10, 4, -1, "48ee0000"},
    {"time_long_prefix", "TIME", "TIME#1.5s", 10, 4, -1, "dc050000"},
    {"time_units_out_of_order", "TIME", "T#1s1m", 10, 4, -1, nullptr},
    {"time_unit_twice", "TIME", "T#1s1s", 10, 4, -1, nullptr},
    {"time_minutes_past_60", "TIME", "T#1h60m", 10, 4, -1, nullptr},
    {"time_overflow", "TIME", "T#50d", 10, 4, -1, nullptr},
    {"time_without_prefix", "TIME", "1s", 10, 4, -1, nullptr},
    {"time_microseconds", "TIME", "T#1ms5us", 10, 4, -1, nullptr},
    {"time_no_components", "TIME", "T#", 10, 4, -1, nullptr},
    {"ltime", "LTIME", "LTIME#1ms1ns", 10, 8, -1, "41420f0000000000"},
    {"ltime_day", "LTIME", "ltime#1d1ns", 10, 8, -1, "01004f91944e0000"},
    {"ltime_overflow", "LTIME", "LTIME#300000d", 10, 8, -1, nullptr},
    {"date", "DATE", "D#2024-02-29", 10, 4, -1, "00c9df65"},
    {"date_not_a_day", "DATE", "D#2024-02-30", 10, 4, -1, nullptr},
    {"date_before_1970", "DATE", "D#1969-12-31", 10, 4, -1, nullptr},
    {"date_after_2106", "DATE", "D#2107-01-01", 10, 4, -1, nullptr},
    {"date_and_time", "DT", "DT#2024-02-29-12:34:56", 10, 4, -1, "f079e065"},
    {"date_and_time_bad_time", "DT", "DT#2024-02-29-25:00:00", 10, 4, -1, nullptr},
    {"time_of_day", "TOD", "TOD#12:34:56.789", 10, 4, -1, "952cb302"},
    {"time_of_day_bad", "TOD", "TOD#12:34", 10, 4, -1, nullptr},
    {"string_escape", "STRING", "a$Nb", 10, 10, -1, "610a6200"},
    {"string_over_a_longer_value", "STRING", "ab", 10, 6, -1, "616200"},
    {"string_cut_to_its_type", "STRING(3)", "abcdef", 10, 10, -1, "61626300"},
    {"string_full_buffer", "STRING", "abcd", 10, 3, -1, "616263"},
    {"string_whole_characters", "STRING(2)", u8"aé", 10, 8, -1, "6100"},
    {"string_empty", "STRING", "", 10, 4, -1, "00"},
    {"wstring", "WSTRING", "hi", 10, 10, -1, "680069000000"},
    {"wstring_whole_pairs", "WSTRING(2)", u8"a😀", 10, 10, -1, "61000000"},
    {"wstring_odd_capacity", "WSTRING", "hi", 10, 5, -1, nullptr},
    {"enum_key", "E_Mode", "Auto", 10, 2, -1, "0500"},
    {"enum_prefixed_key", "E_Mode", "E_Mode#Manual", 10, 2, -1, "fdff"},
    {"enum_unknown_key", "E_Mode", "Nope", 10, 2, -1, nullptr},
    {"enum_dint_base", "E_Far", "Far", 10, 4, -1, "70110100"},
    {"structure", "S_Pair", "1", 10, 8, -1, nullptr},
    {"radix_8", "INT", "1", 8, 2, -1, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Types, WriteTest, ::testing::ValuesIn(writeCases),
                         [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Whole behaviours

TEST_F(ConversionTest, aShorterStringEndsWhereItWasWritten)
{
    ac::SymbolDataType* type = typeOf("STRING(10)");
    QByteArray buffer("hello\0\0\0\0\0\0", 11);
    unsigned size = 11;
    ASSERT_TRUE(DataConversion::QStringToBuff("ab", buffer.data(), size, type, {}, 10));
    QString text;
    ASSERT_TRUE(DataConversion::BuffToQString(text, buffer.constData(), 11, type, {}, 10));
    EXPECT_EQ(text, "ab");

    ac::SymbolDataType* wide = typeOf("WSTRING(10)");
    QByteArray wideBuffer = QByteArray::fromHex("680065006c006c006f000000");
    size = static_cast<unsigned>(wideBuffer.size());
    ASSERT_TRUE(DataConversion::QStringToBuff("ab", wideBuffer.data(), size, wide, {}, 10));
    ASSERT_TRUE(DataConversion::BuffToQString(text, wideBuffer.constData(), 12, wide, {}, 10));
    EXPECT_EQ(text, "ab");
}

TEST_F(ConversionTest, refusalsAreLoggedWithTheTextAndType)
{
    unsigned size = 2;
    char buffer[2] = {};
    EXPECT_FALSE(DataConversion::QStringToBuff("7O", buffer, size, typeOf("INT"), {}, 10));
    EXPECT_TRUE(logged("'7O' is no INT value")) << "the log names the text and the type";
    EXPECT_FALSE(DataConversion::QStringToBuff("1", nullptr, size, typeOf("INT"), {}, 10));
    EXPECT_FALSE(DataConversion::QStringToBuff("1", buffer, size, nullptr, {}, 10));
    QString text;
    EXPECT_FALSE(DataConversion::BuffToQString(text, nullptr, 2, typeOf("INT"), {}, 10));
    EXPECT_EQ(text, "bad Data");

    // A text cut to its variable is written, and the cut is logged.
    char string[8] = {};
    size = sizeof string;
    EXPECT_TRUE(DataConversion::QStringToBuff("abcdef", string, size, typeOf("STRING(3)"), {}, 10));
    EXPECT_TRUE(logged("'abcdef' cut to 4 of 7 bytes for STRING(3)"));
}

TEST_F(ConversionTest, escapesFollowTheTableOrder)
{
    QString text = QString::fromUtf8("$'\"\n\f\r\t");
    EXPECT_TRUE(DataConversion::BackslashToDollar(text));
    EXPECT_EQ(text, "$$$'$\"$N$P$R$T");
    EXPECT_TRUE(DataConversion::DollarToBackslash(text));
    EXPECT_EQ(text, QString::fromUtf8("$'\"\n\f\r\t"));

    QString mixed = "$n$p$r$t$$N$X$";
    EXPECT_TRUE(DataConversion::DollarToBackslash(mixed));
    EXPECT_EQ(mixed, "\n\f\r\t$N$X$") << "\"$$\" is one dollar that does not escape what follows";

    QString empty;
    EXPECT_FALSE(DataConversion::BackslashToDollar(empty));
    EXPECT_FALSE(DataConversion::DollarToBackslash(empty));
}

TEST_F(ConversionTest, radixConversions)
{
    EXPECT_EQ(DataConversion::ConvScale10To16("255"), "ff");
    EXPECT_EQ(DataConversion::ConvScale10To8("255"), "377");
    EXPECT_EQ(DataConversion::ConvScale10To2("5"), "101");
    EXPECT_EQ(DataConversion::ConvScale10To16("18446744073709551615"), "ffffffffffffffff");
    EXPECT_EQ(DataConversion::ConvScale16To10("16#FF"), "255");
    EXPECT_EQ(DataConversion::ConvScale16To10("ff"), "255");
    EXPECT_EQ(DataConversion::ConvScale8To10("8#17"), "15");
    EXPECT_EQ(DataConversion::ConvScale2To10("2#101"), "5");
    for (const QString& bad : {QString("18446744073709551616"), QString("-1"), QString("12a"), QString()})
        EXPECT_EQ(DataConversion::ConvScale10To16(bad), QString()) << bad.toStdString();
    EXPECT_EQ(DataConversion::ConvScale8To10("8#18"), QString());
    EXPECT_EQ(DataConversion::ConvScale2To10("2#012"), QString());
    EXPECT_EQ(DataConversion::ConvScale16To10("16#-1"), QString());
}

TEST_F(ConversionTest, addressesComponentsAndTypesGoThroughTheCurrentProject)
{
    ac::HeapAddress bit;
    bit.kind = ac::HeapAddress::Bit;
    bit.area = 'I';
    bit.byteOffset = 2;
    bit.bitNumber = 7;
    bit.size = 1;
    EXPECT_EQ(DataConversion::IecAddressToString(bit, true), "%IX2.7");
    EXPECT_EQ(DataConversion::IecAddressToString(bit, false), "IX2.7");
    QString word = "%MW10";
    ac::HeapAddress address;
    ASSERT_TRUE(DataConversion::QStringToIecAddress(word, address, true));
    EXPECT_EQ(address.byteOffset, 20u);
    EXPECT_EQ(address.kind, ac::HeapAddress::Word);
    QString outside = "%MW600"; // byte 1200 of a 1024-byte area
    EXPECT_FALSE(DataConversion::QStringToIecAddress(outside, address, true));

    QString x17 = "X17";
    const ac::JapanComponent component = DataConversion::QStringToJapanComponent(x17);
    EXPECT_TRUE(component.valid);
    EXPECT_EQ(component.index, 15u) << "X is numbered in octal";

    QString nested = "ARRAY[0..3] OF POINTER TO E_Mode";
    ac::SymbolDataType* below = DataConversion::getSymbolDataType(nested);
    ASSERT_NE(below, nullptr);
    EXPECT_EQ(below->dataType(), ac::BT_ENUM);
    EXPECT_EQ(below->name(), "E_Mode");
    QString unknown = "NoSuchType";
    EXPECT_EQ(DataConversion::getSymbolDataType(unknown), nullptr);

    // Without a current project there is no core to ask.
    testsupport::defaultHost().cookies()->remove("Project.Name");
    EXPECT_EQ(DataConversion::IecAddressToString(bit, true), QString());
    EXPECT_FALSE(DataConversion::QStringToIecAddress(word, address, true));
    EXPECT_FALSE(DataConversion::QStringToJapanComponent(x17).valid);
    QString intText = "INT";
    EXPECT_EQ(DataConversion::getSymbolDataType(intText), nullptr);
    testsupport::defaultHost().cookies()->setValue("Project.Name", "NoSuchProject");
    EXPECT_EQ(DataConversion::getSymbolDataType(intText), nullptr);
}

// ---------------------------------------------------------------------------------------
// Round trips over random values of every type

struct Generated
{
    QByteArray bytes; // the value's bytes (a NUL-terminated string for the string types)
    QString text;     // its canonical literal (radix 10)
};

class RoundTripTest : public ConversionTest
{
protected:
    std::mt19937_64 random{20240229};

    quint64 bits() { return random(); }
    quint64 below(quint64 limit) { return limit ? random() % limit : 0; }

    static QByteArray littleEndian(quint64 value, int bytes)
    {
        QByteArray out;
        for (int i = 0; i < bytes; ++i)
            out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
        return out;
    }

    // bytes -> text -> bytes gives the same bytes; `same` compares where printing rounds.
    void bytesTextBytes(const char* typeText, const std::function<QByteArray()>& make, unsigned radix,
                        const std::function<bool(const QByteArray&, const QByteArray&)>& same = {})
    {
        ac::SymbolDataType* type = typeOf(typeText);
        ASSERT_NE(type, nullptr);
        for (int i = 0; i < 1500; ++i) {
            const QByteArray bytes = make();
            QString text;
            ASSERT_TRUE(DataConversion::BuffToQString(text, bytes.constData(), static_cast<unsigned>(bytes.size()),
                                                      type, {}, radix))
                << typeText << " " << bytes.toHex().toStdString();
            QByteArray back = filled(static_cast<unsigned>(bytes.size()));
            unsigned size = static_cast<unsigned>(back.size());
            ASSERT_TRUE(DataConversion::QStringToBuff(text, back.data(), size, type, {}, radix))
                << typeText << " radix " << radix << ": " << text.toStdString();
            back.truncate(static_cast<int>(size));
            if (same)
                ASSERT_TRUE(same(bytes, back)) << typeText << " " << text.toStdString();
            else
                ASSERT_EQ(back.toHex(), bytes.toHex()) << typeText << " radix " << radix << ": " << text.toStdString();
        }
    }

    // text -> bytes -> text gives the same text; `same` compares where printing rounds.
    void textBytesText(const char* typeText, const std::function<QString()>& make, unsigned radix,
                       const std::function<bool(const QString&, const QString&)>& same = {})
    {
        ac::SymbolDataType* type = typeOf(typeText);
        ASSERT_NE(type, nullptr);
        for (int i = 0; i < 1500; ++i) {
            const QString text = make();
            QByteArray bytes = filled(static_cast<unsigned>(type->byteSize()));
            unsigned size = static_cast<unsigned>(bytes.size());
            ASSERT_TRUE(DataConversion::QStringToBuff(text, bytes.data(), size, type, {}, radix))
                << typeText << " radix " << radix << ": " << text.toStdString();
            QString back;
            ASSERT_TRUE(DataConversion::BuffToQString(back, bytes.constData(), size, type, {}, radix));
            if (same)
                ASSERT_TRUE(same(text, back)) << typeText << " " << text.toStdString() << " -> " << back.toStdString();
            else
                ASSERT_EQ(back, text) << typeText << " radix " << radix;
        }
    }

    // Text of random IEC string escapes and characters, as a display shows them.
    QString escapedText(bool wide)
    {
        static const char* const pieces[] = {"a", "Z", "7", " ", "$$", "$'", "$\"", "$N", "$P", "$R", "$T", u8"ü", u8"中"};
        QString text;
        const quint64 length = below(12);
        for (quint64 i = 0; i < length; ++i)
            text += QString::fromUtf8(pieces[below(sizeof pieces / sizeof *pieces)]);
        if (wide && below(4) == 0)
            text += QString::fromUtf8(u8"😀");
        return text;
    }
};

TEST_F(RoundTripTest, integersInEveryRadix)
{
    const struct
    {
        const char* type;
        int bytes;
    } integers[] = {{"SINT", 1}, {"INT", 2}, {"DINT", 4}, {"LINT", 8}, {"USINT", 1},
                    {"UINT", 2}, {"UDINT", 4}, {"ULINT", 8}, {"POINTER", 4}};
    for (const auto& integer : integers) {
        for (unsigned radix : {2u, 10u, 16u})
            bytesTextBytes(integer.type, [&] { return littleEndian(bits(), integer.bytes); }, radix);
        const bool isSigned = integer.type[0] != 'U' && integer.type[0] != 'P';
        const unsigned width = 8u * static_cast<unsigned>(integer.bytes);
        textBytesText(integer.type, [&] {
            const quint64 raw = width == 64 ? bits() : bits() & ((1ull << width) - 1);
            if (isSigned && raw >> (width - 1))
                return QString::number(static_cast<qint64>(width == 64 ? raw : raw | ~0ull << width));
            return QString::number(raw);
        }, 10);
    }
}

TEST_F(RoundTripTest, boolRealAndTimes)
{
    bytesTextBytes("BOOL", [&] { return littleEndian(below(2), 1); }, 10);
    textBytesText("BOOL", [&] { return below(2) ? QString("TRUE") : QString("FALSE"); }, 10);

    // Every finite REAL and LREAL comes back within the seven and fifteen printed digits.
    const auto finiteFloat = [&] {
        for (;;) {
            const quint32 raw = static_cast<quint32>(bits());
            float value;
            std::memcpy(&value, &raw, sizeof value);
            if (std::isfinite(value) && std::fabs(value) < 3.4e38f)
                return littleEndian(raw, 4);
        }
    };
    const auto finiteDouble = [&] {
        for (;;) {
            const quint64 raw = bits();
            double value;
            std::memcpy(&value, &raw, sizeof value);
            if (std::isfinite(value) && std::fabs(value) < 1.7e308)
                return littleEndian(raw, 8);
        }
    };
    const auto close = [](double a, double b, double digits) {
        return a == b || std::fabs(a - b) <= std::fabs(a) * 5 * std::pow(10.0, -digits);
    };
    bytesTextBytes("REAL", finiteFloat, 10, [&](const QByteArray& a, const QByteArray& b) {
        float x, y;
        std::memcpy(&x, a.constData(), 4);
        std::memcpy(&y, b.constData(), 4);
        return close(x, y, 7) || (std::fpclassify(x) == FP_SUBNORMAL && std::fabs(x - y) < 1e-44);
    });
    bytesTextBytes("LREAL", finiteDouble, 10, [&](const QByteArray& a, const QByteArray& b) {
        double x, y;
        std::memcpy(&x, a.constData(), 8);
        std::memcpy(&y, b.constData(), 8);
        return close(x, y, 15) || (std::fpclassify(x) == FP_SUBNORMAL && std::fabs(x - y) < 1e-307);
    });
    const auto sameNumber = [&](double digits) {
        return [=](const QString& a, const QString& b) { return close(a.toDouble(), b.toDouble(), digits); };
    };
    textBytesText("REAL", [&] { return QString::number((static_cast<double>(below(2000001)) - 1e6) / 1024.0, 'G', 7); },
                  10, sameNumber(7));
    textBytesText("LREAL", [&] { return QString::number(std::ldexp(static_cast<double>(bits() >> 11), -40), 'G', 15); },
                  10, sameNumber(15));

    bytesTextBytes("TIME", [&] { return littleEndian(bits(), 4); }, 10);
    bytesTextBytes("LTIME", [&] { return littleEndian(bits(), 8); }, 10);
    bytesTextBytes("DATE", [&] { return littleEndian(below(0xFFFFFFFFull / 86400) * 86400, 4); }, 10);
    bytesTextBytes("DT", [&] { return littleEndian(bits(), 4); }, 10);
    bytesTextBytes("TOD", [&] { return littleEndian(below(86400000), 4); }, 10);

    // Texts written component by component read back in the same canonical form.
    textBytesText("TIME", [&] {
        const quint64 parts[] = {below(49), below(24), below(60), below(60), below(1000)};
        const char* units[] = {"d", "h", "m", "s", "ms"};
        QString text = "T#";
        for (int i = 0; i < 5; ++i)
            if (parts[i])
                text += QString::number(parts[i]) + units[i];
        return text == "T#" ? QString("T#0ms") : text;
    }, 10);
    textBytesText("LTIME", [&] {
        const quint64 parts[] = {below(200000), below(24), below(60), below(60), below(1000), below(1000), below(1000)};
        const char* units[] = {"d", "h", "m", "s", "ms", "us", "ns"};
        QString text = "LTIME#";
        for (int i = 0; i < 7; ++i)
            if (parts[i])
                text += QString::number(parts[i]) + units[i];
        return text == "LTIME#" ? QString("LTIME#0ns") : text;
    }, 10);
    const QDateTime epoch(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC);
    textBytesText("DATE", [&] { return "D#" + epoch.addDays(static_cast<qint64>(below(49710))).toString("yyyy-MM-dd"); }, 10);
    textBytesText("DT", [&] { return "DT#" + epoch.addSecs(static_cast<qint64>(below(0x100000000ull))).toString("yyyy-MM-dd-hh:mm:ss"); }, 10);
    textBytesText("TOD", [&] { return "TOD#" + QTime::fromMSecsSinceStartOfDay(static_cast<int>(below(86400000))).toString("hh:mm:ss.zzz"); }, 10);
}

TEST_F(RoundTripTest, stringsAndEnumerations)
{
    textBytesText("STRING", [&] { return escapedText(false); }, 10);
    textBytesText("WSTRING", [&] { return escapedText(true); }, 10);
    const auto terminated = [&](bool wide) {
        QString plain = escapedText(wide);
        DataConversion::DollarToBackslash(plain);
        if (!wide)
            return plain.toUtf8() + QByteArray(1, '\0');
        QByteArray bytes;
        for (QChar c : plain)
            bytes += littleEndian(c.unicode(), 2);
        return bytes + QByteArray(2, '\0');
    };
    bytesTextBytes("STRING", [&] { return terminated(false); }, 10);
    bytesTextBytes("WSTRING", [&] { return terminated(true); }, 10);

    const QStringList keys = {"Off", "Auto", "Manual"};
    const qint64 values[] = {0, 5, -3};
    textBytesText("E_Mode", [&] { return keys[static_cast<int>(below(3))]; }, 10);
    bytesTextBytes("E_Mode", [&] { return littleEndian(static_cast<quint64>(values[below(3)]), 2); }, 10);
}

} // namespace
