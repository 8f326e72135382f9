// Device memory: IEC direct addresses, soft components and time constants.
#include "accore/ACCore.h"
#include "accore/ConstantValue.h"
#include "accore/DeviceMemory.h"
#include "accore/ProjectVars.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolVariable.h"

#include <gtest/gtest.h>

using namespace ac;

namespace {
DeviceAreas smallDevice()
{
    DeviceAreas areas;
    areas.input = 16;
    areas.output = 8;
    areas.memory = 64;
    areas.retian = 32;
    return areas;
}
} // namespace

TEST(DeviceMemory, AddressRoundTripsForEveryAreaAndSize)
{
    ACCore core;
    core.setDeviceType(smallDevice());
    DeviceMemory* memory = core.deviceMemory();
    struct Row
    {
        const char* text;
        int kind;
        unsigned long long byte;
        unsigned bit;
        unsigned size;
    };
    const Row rows[] = {
        {"%IX0.0", 0, 0, 0, 1},   {"%IX15.7", 0, 15, 7, 1}, {"%IB3", 1, 3, 0, 8},     {"%IW7", 2, 14, 0, 16},
        {"%ID3", 3, 12, 0, 32},   {"%IL1", 4, 8, 0, 64},    {"%QX7.3", 0, 7, 3, 1},   {"%QB7", 1, 7, 0, 8},
        {"%QW3", 2, 6, 0, 16},    {"%QD1", 3, 4, 0, 32},    {"%QL0", 4, 0, 0, 64},    {"%MX63.7", 0, 63, 7, 1},
        {"%MB10", 1, 10, 0, 8},   {"%MW31", 2, 62, 0, 16},  {"%MD15", 3, 60, 0, 32},  {"%ML7", 4, 56, 0, 64},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        HeapAddress address;
        ASSERT_TRUE(memory->string2IecAddress(r.text, &address, true));
        EXPECT_EQ(address.kind, r.kind);
        EXPECT_EQ(address.area, r.text[1]);
        EXPECT_EQ(address.byteOffset, r.byte);
        EXPECT_EQ(address.bitNumber, r.bit);
        EXPECT_EQ(address.size, r.size);
        EXPECT_EQ(address.isBit(), r.kind == 0);
        EXPECT_EQ(memory->iecAddress2String(address, true), r.text);
        EXPECT_EQ(memory->iecAddress2String(address, false), std::string(r.text + 1));
    }
    HeapAddress shortBit;
    ASSERT_TRUE(memory->string2IecAddress("%i1.2", &shortBit, true)); // the size letter X may be left out
    EXPECT_EQ(memory->iecAddress2String(shortBit, true), "%IX1.2");
    ASSERT_TRUE(memory->string2IecAddress("MW2", &shortBit, false));
    EXPECT_FALSE(memory->string2IecAddress("MW2", &shortBit, true));
}

TEST(DeviceMemory, OutOfRangeAndMalformedAddressesAreRefused)
{
    DeviceMemory memory;
    memory.setAreas(smallDevice());
    const char* refused[] = {"%IX16.0", "%IX0.8", "%IB16", "%IW8", "%ID4", "%IL2", "%QB8", "%QL1", "%MX64.0",
                             "%MD16", "%ML8", "%XX0.0", "%I", "%IX", "%IX0", "%IW1.2", "%IB-1", "%IB1x", "%IX0.",
                             "%MW99999999999999999999999", "", "%", "IX0.0"};
    for (const char* text : refused) {
        HeapAddress address;
        address.byteOffset = 1234;
        EXPECT_FALSE(memory.string2IecAddress(text, &address, true)) << text;
        EXPECT_EQ(address.byteOffset, 1234u) << "untouched on failure: " << text;
    }
    HeapAddress outside;
    outside.kind = HeapAddress::Word;
    outside.area = 'Q';
    outside.byteOffset = 8;
    outside.size = 16;
    EXPECT_EQ(memory.iecAddress2String(outside, true), "");
    outside.byteOffset = 3; // not on a word boundary
    EXPECT_EQ(memory.iecAddress2String(outside, true), "");
    // No device set: syntax only.
    DeviceMemory unconfigured;
    HeapAddress big;
    EXPECT_TRUE(unconfigured.string2IecAddress("%MD100000", &big, true));
    EXPECT_EQ(big.byteOffset, 400000u);
}

TEST(DeviceMemory, SoftComponentsOctalAndDecimal)
{
    DeviceMemory memory;
    memory.resetJapanLayout({{"X", 64}, {"Y", 64}, {"M", 8000}, {"S", 1000}, {"B", 256}, {"D", 8000},
                             {"R", 1000}, {"W", 512}});
    struct Row
    {
        const char* text;
        const char* device;
        unsigned long long index;
        int bit;
    };
    const Row rows[] = {{"X17", "X", 15, -1},   {"Y0", "Y", 0, -1},       {"Y77", "Y", 63, -1},
                        {"M7999", "M", 7999, -1}, {"S10", "S", 10, -1},   {"B255", "B", 255, -1},
                        {"D100.15", "D", 100, 15}, {"R999", "R", 999, -1}, {"W3.0", "W", 3, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        const JapanComponent c = memory.parseComponent(r.text);
        ASSERT_TRUE(c.valid);
        EXPECT_EQ(c.device, r.device);
        EXPECT_EQ(c.index, r.index);
        EXPECT_EQ(c.bit, r.bit);
        EXPECT_EQ(memory.componentToString(c), r.text);
    }
    const char* refused[] = {"X8", "X100", "Y80", "M8000", "D8000", "D1.16", "M1.1", "X1.0", "Q1", "D", "",
                             "D1.", "D-1", "M12a"};
    for (const char* text : refused)
        EXPECT_FALSE(memory.parseComponent(text).valid) << text;
    EXPECT_TRUE(memory.parseComponent("x7").valid); // letters in either case
}

TEST(ConstantValue, TimeAndLTimeComponents)
{
    auto t = ConstantValue::fromTime({}, "1", "1", "1", "1", "1");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->basicData().data(), 90061001u);
    EXPECT_FALSE(t->isOverFlow());
    t = ConstantValue::fromTime({}, nullptr, nullptr, nullptr, "1", "500");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->basicData().data(), 1500u);
    t = ConstantValue::fromTime({}, nullptr, nullptr, nullptr, "1.5", nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->basicData().data(), 1500u);
    t = ConstantValue::fromTime({}, nullptr, "25", nullptr, nullptr, nullptr); // leading part may exceed its unit
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->basicData().data(), 90000000u);
    EXPECT_EQ(ConstantValue::fromTime({}, "1", "24", nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(ConstantValue::fromTime({}, nullptr, nullptr, "1", "60", nullptr), nullptr);
    EXPECT_EQ(ConstantValue::fromTime({}, nullptr, nullptr, nullptr, "1", "1000"), nullptr);
    EXPECT_EQ(ConstantValue::fromTime({}, nullptr, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(ConstantValue::fromTime({}, nullptr, nullptr, nullptr, "x", nullptr), nullptr);
    // 49d17h2m47s295ms is the largest TIME; one millisecond more overflows.
    t = ConstantValue::fromTime({}, "49", "17", "2", "47", "295");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->basicData().data(), 4294967295u);
    EXPECT_FALSE(t->isOverFlow());
    t = ConstantValue::fromTime({}, "49", "17", "2", "47", "296");
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->isOverFlow());

    auto lt = ConstantValue::fromLTime({}, nullptr, "1", "2", "3", "4", "5", "6");
    ASSERT_NE(lt, nullptr);
    EXPECT_EQ(lt->basicData().data(), 3723004005006ull);
    EXPECT_EQ(lt->basicType(), BT_LTIME);
    lt = ConstantValue::fromLTime({}, "213503", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(lt, nullptr);
    EXPECT_FALSE(lt->isOverFlow());
    lt = ConstantValue::fromLTime({}, "213504", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(lt, nullptr);
    EXPECT_TRUE(lt->isOverFlow());
    EXPECT_EQ(ConstantValue::fromLTime({}, nullptr, nullptr, nullptr, nullptr, nullptr, "1", "1000"), nullptr);

    struct Literal
    {
        const char* text;
        unsigned long long value;
        bool overflow;
    };
    const Literal literals[] = {{"T#1d1h1m1s1ms", 90061001, false}, {"T#1s500ms", 1500, false},
                                {"TIME#1_000ms", 1000, false},      {"t#2.5h", 9000000, false},
                                {"T#50d", 4320000000ull & 0xFFFFFFFF, true},
                                {"LTIME#1ms2us3ns", 1002003, false}, {"LT#5s", 5000000000ull, false}};
    for (const Literal& l : literals) {
        SCOPED_TRACE(l.text);
        auto c = ConstantValue::fromTimeLiteral(l.text);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->basicData().data(), l.value);
        EXPECT_EQ(c->isOverFlow(), l.overflow);
    }
    for (const char* bad : {"T#", "T#1x", "T#1s1h", "T#1s1s", "T#-1s", "D#1s", "T#1", "T#s"})
        EXPECT_EQ(ConstantValue::fromTimeLiteral(bad), nullptr) << bad;
}

TEST(DeviceMemory, UnitsProjectVarsAndMemInfo)
{
    ACCore core;
    core.setDeviceType(smallDevice());
    const auto units = core.getMemUnits();
    ASSERT_EQ(units.size(), 7u);
    EXPECT_EQ(units[0].name, "input");
    EXPECT_EQ(units[0].byteSize, 16u);
    EXPECT_EQ(units[4].name, "retian");
    EXPECT_EQ(units[4].byteSize, 32u);

    const auto names = core.getProjectVars()->projectInternaleVar();
    ASSERT_FALSE(names.empty());
    SymbolGVL* internals = core.getProjectVars()->internalSymbolVars();
    ASSERT_EQ(internals->paramsCount(), static_cast<int>(names.size()));
    EXPECT_EQ(internals->name(), "Device.Var.Name");
    EXPECT_EQ(internals->paramAt(0)->name(), names[0]);

    PrjMemAllSymbolInfo info;
    PrjMemSymbolInfo symbol;
    symbol.section = 2;
    symbol.name = "GVL";
    SymbolMemberInfo member;
    member.name = "a";
    member.offset = 4;
    member.type.typeName = "INT";
    symbol.members.push_back(member);
    info.symbols.push_back(symbol);
    info.copies.push_back({"GVL", "a", 0, 4, 2});
    core.setProjectMemInfo(info);
    ASSERT_EQ(core.projectMemInfo().symbols.size(), 1u);
    EXPECT_EQ(core.projectMemInfo().symbols[0].members[0].offset, 4u);
    EXPECT_EQ(core.projectMemInfo().copies[0].newOffset, 4u);
}
