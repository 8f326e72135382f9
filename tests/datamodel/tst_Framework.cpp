// The sub-model framework: identifier allocation, bit maps, property JSON, object paths and
// SQL literals.
#include "datamodel/model/BitMap.h"
#include "datamodel/model/IDDistributor.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/ObjectPath.h"
#include "datamodel/model/ObjectProperties.h"
#include "datamodel/model/SqlText_p.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr unsigned int invalid = IDDistributor::INVALID_ID;

TEST(IDDistributor, handsOutInOrderAndReusesAReleasedId)
{
    IDDistributor ids(5000);
    ids.setUsed(0, true);
    EXPECT_EQ(ids.takenId(), 1u);
    EXPECT_EQ(ids.takenId(), 2u);
    EXPECT_EQ(ids.takenId(), 3u);
    ids.setUsed(2, false);
    EXPECT_FALSE(ids.isUsed(2));
    EXPECT_EQ(ids.takenId(), 2u) << "a released id is handed out by the next allocation";
    EXPECT_EQ(ids.takenId(), 4u);
    // fistUnusd only looks: asking twice gives the same id.
    EXPECT_EQ(ids.fistUnusd(), 5u);
    EXPECT_EQ(ids.fistUnusd(), 5u);
    EXPECT_FALSE(ids.isUsed(5));
}

TEST(IDDistributor, exhaustionGivesInvalidAndChangesNothing)
{
    for (unsigned int max : {0u, 31u, 32u, 63u, 100u}) {
        IDDistributor ids(max);
        for (unsigned int i = 0; i <= max; ++i)
            ASSERT_EQ(ids.takenId(), i) << "max " << max;
        const unsigned int cursor = ids.cursor();
        EXPECT_EQ(ids.fistUnusd(), invalid) << "max " << max;
        EXPECT_EQ(ids.takenId(), invalid) << "max " << max;
        EXPECT_EQ(ids.cursor(), cursor);
        for (unsigned int i = 0; i <= max; ++i)
            EXPECT_TRUE(ids.isUsed(i));
        // Releasing the maximum makes exactly that id available again.
        ids.setUsed(max, false);
        EXPECT_EQ(ids.takenId(), max);
    }
}

TEST(IDDistributor, idsAboveTheMaximumAreIgnored)
{
    IDDistributor ids(40);
    ids.setUsed(41, true);
    ids.setUsed(63, true);
    EXPECT_FALSE(ids.isUsed(41));
    EXPECT_FALSE(ids.isUsed(63));
    // Clearing an id beyond the map must not drag the cursor out of it either.
    ids.setUsed(1000, false);
    EXPECT_EQ(ids.takenId(), 0u);
    EXPECT_EQ(ids.maxId(), 40u);
}

TEST(IDDistributor, cursorCases)
{
    // The cursor on bit 31 of a word whose lower bits are free and whose bit 31 is taken: the
    // search goes on in the next word and never returns a taken id.
    IDDistributor ids(100);
    ids.setUsed(31, true);  // cursor stays INVALID
    ids.setUsed(30, false); // cursor 30
    ids.setUsed(30, true);  // cursor 31
    ASSERT_EQ(ids.cursor(), 31u);
    EXPECT_EQ(ids.fistUnusd(), 32u);
    EXPECT_EQ(ids.takenId(), 32u);
    EXPECT_FALSE(ids.isUsed(0)) << "ids below the cursor are not searched";

    // Ids freed while the cursor was INVALID pull the cursor down to themselves.
    IDDistributor fresh(100);
    fresh.setUsed(7, true);
    EXPECT_EQ(fresh.cursor(), invalid);
    fresh.setUsed(7, false);
    EXPECT_EQ(fresh.cursor(), 7u);
    EXPECT_EQ(fresh.takenId(), 7u);

    // Releasing above the cursor does not move it; releasing below does.
    IDDistributor upper(100);
    for (int i = 0; i < 10; ++i)
        upper.takenId();
    upper.setUsed(8, false);
    EXPECT_EQ(upper.cursor(), 8u);
    upper.setUsed(3, false);
    EXPECT_EQ(upper.takenId(), 3u);
    EXPECT_EQ(upper.takenId(), 8u) << "taken ids between 3 and 8 are skipped";
    EXPECT_EQ(upper.takenId(), 10u);
}

TEST(IDDistributor, copiedBitsAndAssignment)
{
    IDDistributor source(200);
    for (unsigned int id : {0u, 1u, 2u, 64u, 199u})
        source.setUsed(id, true);
    IDDistributor copy(200, source.data(), source.size());
    for (unsigned int id : {0u, 1u, 2u, 64u, 199u})
        EXPECT_TRUE(copy.isUsed(id));
    EXPECT_EQ(copy.takenId(), 3u);

    // A short byte string copies what it has; the rest stays clear.
    const char oneByte = '\x0f';
    IDDistributor partial(100, &oneByte, 1);
    EXPECT_TRUE(partial.isUsed(3));
    EXPECT_FALSE(partial.isUsed(4));
    EXPECT_EQ(partial.takenId(), 4u);

    IDDistributor assigned;
    EXPECT_EQ(assigned.takenId(), invalid) << "an empty distributor has no ids";
    assigned = copy;
    EXPECT_TRUE(assigned.isUsed(64));
    EXPECT_EQ(assigned.takenId(), 4u);
}

TEST(BitMap, sizesRangesAndToggle)
{
    BitMap map(64);
    EXPECT_EQ(map.byteSize(), 12u) << "a multiple of 32 bits gets one spare word";
    EXPECT_EQ(map.wordCapacity(), 4u) << "capacity doubles from 1 until three words fit";
    map.set(60, 4, true);
    EXPECT_TRUE(map.value(60));
    EXPECT_TRUE(map.value(63));
    map.set(62, 3, false); // passes the bit count: nothing happens
    EXPECT_TRUE(map.value(62));
    map.set(10, 0, true);
    EXPECT_FALSE(map.value(10));
    map.toggle(10);
    EXPECT_TRUE(map.value(10));
    map.toggle(10);
    EXPECT_FALSE(map.value(10));
    EXPECT_FALSE(map.value(64)) << "outside the map reads as clear";

    map.reallocMap(200);
    EXPECT_TRUE(map.value(60)) << "growing keeps the content";
    EXPECT_EQ(map.bitCount(), 200u);
    map.reallocMap(10);
    EXPECT_EQ(map.bitCount(), 200u) << "reallocMap never shrinks";
    map.reset(50);
    EXPECT_FALSE(map.value(60));
    EXPECT_FALSE(map.value(10));
}

TEST(ObjectProperties, jsonMemberOrderAndValues)
{
    std::vector<std::pair<std::string, std::string>> applied;
    const bool parsed = StringProperties::fromJson(QStringLiteral(R"({"b":"2","a":"1"})"),
                                                   [&](const std::string& k, const std::string& v) {
                                                       applied.emplace_back(k, v);
                                                   });
    ASSERT_TRUE(parsed);
    ASSERT_EQ(applied.size(), 2u);
    EXPECT_EQ(applied[0].first, "a");

    StringProperties properties;
    for (const auto& [key, value] : applied)
        properties.set(key, value);
    EXPECT_EQ(properties.toJson(), QStringLiteral(R"({"a":"1","b":"2"})"));
    EXPECT_EQ(StringProperties().toJson(), QStringLiteral("{}"));

    // Non-string members load as empty text; text that is no JSON object loads nothing.
    QStringProperties qproperties;
    QStringProperties::fromJson(QStringLiteral(R"({"n":42,"t":true,"s":"x","o":{"a":"b"}})"),
                                [&](const QString& k, const QString& v) { qproperties.set(k, v); });
    EXPECT_EQ(qproperties.value(QStringLiteral("n"), QStringLiteral("default")), QString());
    EXPECT_EQ(qproperties.value(QStringLiteral("t"), QStringLiteral("default")), QString());
    EXPECT_EQ(qproperties.value(QStringLiteral("s"), QString()), QStringLiteral("x"));
    int calls = 0;
    for (const char* text : {"[1,2]", "not json", "", "\"text\"", "{\"a\":"})
        EXPECT_FALSE(StringProperties::fromJson(QString::fromLatin1(text),
                                                [&](const std::string&, const std::string&) { ++calls; }));
    EXPECT_EQ(calls, 0);

    // Awkward texts survive the round trip unchanged.
    StringProperties awkward;
    awkward.set("name", "O'Brien \"x\" %1 \\ 主程序\n\t");
    awkward.set("", "empty key");
    StringProperties back;
    StringProperties::fromJson(awkward.toJson(), [&](const std::string& k, const std::string& v) { back.set(k, v); });
    EXPECT_EQ(back.map(), awkward.map());
}

TEST(ObjectPath, indexesSplitIntoExactlyTwoPieces)
{
    EXPECT_EQ(ObjectPath::Separator.size(), 23);
    const QString index = ObjectPath::index(12, QStringLiteral("3"));
    EXPECT_EQ(index, QStringLiteral("12[*PROJECT_MODEL_STACK*]3"));
    QString first, second;
    ASSERT_TRUE(ObjectPath::splitIndex(index, first, second));
    EXPECT_EQ(first, QStringLiteral("12"));
    EXPECT_EQ(second, QStringLiteral("3"));
    EXPECT_FALSE(ObjectPath::splitIndex(QStringLiteral("12"), first, second));
    EXPECT_FALSE(ObjectPath::splitIndex(index + ObjectPath::Separator + "4", first, second));

    unsigned int id = 0;
    EXPECT_TRUE(ObjectPath::toId(QStringLiteral("4294967294"), id));
    EXPECT_EQ(id, 4294967294u);
    EXPECT_FALSE(ObjectPath::toId(QStringLiteral("-1"), id));
    EXPECT_FALSE(ObjectPath::toId(QStringLiteral("1x"), id));
    EXPECT_FALSE(ObjectPath::toId(QString(), id));
}

TEST(SqlText, literalsDoubleEveryQuote)
{
    EXPECT_EQ(SqlText::literal(QStringLiteral("plain")), QStringLiteral("'plain'"));
    EXPECT_EQ(SqlText::literal(QStringLiteral("O'Brien''s")), QStringLiteral("'O''Brien''''s'"));
    EXPECT_EQ(SqlText::literal(std::string("'")), QStringLiteral("''''"));
    EXPECT_EQ(SqlText::literal(QString()), QStringLiteral("''"));
    EXPECT_EQ(SqlText::literal(std::string(u8"主程序")), QStringLiteral("'") + QString::fromUtf8(u8"主程序") + "'");
}

TEST(ModelObject, saveAndLoadWithoutSubModelFail)
{
    ModelObject object(nullptr);
    EXPECT_FALSE(object.save());
    EXPECT_FALSE(object.load());
    EXPECT_FALSE(object.isModified());
    object.setModified(true);
    object.setStatus(true);
    EXPECT_TRUE(object.isModified());
    EXPECT_TRUE(object.status());
}

} // namespace
