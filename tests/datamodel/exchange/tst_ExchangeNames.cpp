// File names of exported objects: reversible, valid on every common file system, distinct
// where case is ignored.
#include "datamodel/exchange/ExchangeNames.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

struct NameCase
{
    const char* label;
    QString name;
    QString stem;
};

class ExchangeNamesTest : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(ExchangeNamesTest, encodesToAPortableStemAndBack)
{
    const NameCase& c = GetParam();
    const QString stem = ExchangeNames::encode(c.name);
    EXPECT_EQ(stem, c.stem);
    for (const QChar ch : stem)
        EXPECT_FALSE(QStringLiteral("/\\:*?\"<>|.").contains(ch)) << stem.toStdString();
    QString back;
    ASSERT_TRUE(ExchangeNames::decode(stem, back));
    EXPECT_EQ(back, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ExchangeNamesTest,
    ::testing::Values(NameCase{"plain", "Main", "Main"}, NameCase{"slash", "A/B", "A%2FB"},
                      NameCase{"quotes", testsupport::awkward::quote, "O%27Brien%27s %22POU%22"},
                      NameCase{"percent", testsupport::awkward::percent, "Motor %251 %252"},
                      NameCase{"chinese", QString::fromUtf8(testsupport::awkward::chinese),
                               QString::fromUtf8(testsupport::awkward::chinese)},
                      NameCase{"empty", "", "%"}, NameCase{"reserved", "CON", "%43ON"},
                      NameCase{"reservedLower", "com1", "%63om1"}, NameCase{"notReserved", "CONSOLE", "CONSOLE"},
                      NameCase{"dot", "a.b", "a%2Eb"}, NameCase{"trailingBlank", "x ", "x%20"},
                      NameCase{"control", "a\tb", "a%09b"}, NameCase{"escapeLookalike", "%2F", "%252F"}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

TEST(ExchangeNames, stemsOfOneDirectoryDifferEvenWhenCaseIsIgnored)
{
    const QStringList names = {"Motor", "MOTOR", "motor", "Pump", "%4Dotor", QString::fromUtf8("Ärger"), QString::fromUtf8("ärger")};
    const QStringList stems = ExchangeNames::stems(names);
    ASSERT_EQ(stems.size(), names.size());
    EXPECT_EQ(stems[3], QStringLiteral("Pump")) << "names without a clash keep their plain form";
    QSet<QString> folded;
    for (int i = 0; i < stems.size(); ++i) {
        EXPECT_FALSE(folded.contains(stems[i].toLower())) << stems[i].toStdString();
        folded.insert(stems[i].toLower());
        QString back;
        ASSERT_TRUE(ExchangeNames::decode(stems[i], back));
        EXPECT_EQ(back, names[i]);
    }
}

TEST(ExchangeNames, refusesBrokenEscapes)
{
    QString name;
    for (const char* stem : {"", "%", "a%", "a%4", "%G0", "%FF", "%C3"}) {
        const bool ok = ExchangeNames::decode(QString::fromLatin1(stem), name);
        if (QByteArray(stem) == "%")
            EXPECT_TRUE(ok && name.isEmpty());
        else
            EXPECT_FALSE(ok) << stem;
    }
}

} // namespace
