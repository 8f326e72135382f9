// Online change, compilation against compilation: where each variable lives afterwards and
// whether its value survives, checked member by member and by running the copies on memory.
#include "MemImageTest.h"

#include "accore/ACCore.h"
#include "accore/SafeAccore.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolVariable.h"

namespace {

constexpr int G = SerializeData::GlobalSection;
constexpr int P = SerializeData::ProgramSection;

class OnlineChangeTest : public MemImageTest
{
protected:
    // The stored layout is the new layout of the change before (as a download leaves it).
    OnlineChange next(SerializeData& stored)
    {
        OnlineChange c(stored, current());
        stored = c.layout();
        return c;
    }
    unsigned long long offset(const SerializeData& data, int section, const std::string& symbol, const std::string& name)
    {
        const ac::SymbolMemberInfo* m = member(data, section, symbol, name);
        EXPECT_NE(m, nullptr) << symbol << "." << name;
        return m ? m->offset : ~0ull;
    }
};

TEST_F(OnlineChangeTest, aMemberAddedInTheMiddleLeavesTheOthersWhereTheyWere)
{
    gvl("G", "VAR_GLOBAL\n a : INT;\n b : DINT;\n c : REAL;\nEND_VAR");
    SerializeData stored = current();
    const unsigned long long a = offset(stored, G, "G", "a"), b = offset(stored, G, "G", "b"), c = offset(stored, G, "G", "c");
    Image before(blockSize(stored, "G"));
    before.put<int16_t>(a, -5);
    before.put<int32_t>(b, 123456);
    before.put<float>(c, 1.5f);

    gvl("G", "VAR_GLOBAL\n a : INT;\n n : LREAL;\n b : DINT;\n c : REAL;\nEND_VAR");
    // Compiled from scratch the new member would push b and c back.
    EXPECT_NE(offset(current(), G, "G", "b"), b);
    const OnlineChange change(stored, current());
    const SerializeData& now = change.layout();
    EXPECT_EQ(offset(now, G, "G", "a"), a);
    EXPECT_EQ(offset(now, G, "G", "b"), b);
    EXPECT_EQ(offset(now, G, "G", "c"), c);
    EXPECT_GE(offset(now, G, "G", "n"), blockSize(stored, "G"));
    EXPECT_EQ(offset(now, G, "G", "n") % 8, 0u);
    EXPECT_EQ(entry(change, "G", "a")->kind, OnlineChange::Kept);
    EXPECT_EQ(entry(change, "G", "n")->kind, OnlineChange::Added);
    EXPECT_TRUE(copiesOf(change, "G", "n").empty());

    Image after(blockSize(now, "G"));
    applyCopies(change, "G", before, after);
    EXPECT_EQ(after.get<int16_t>(a), -5);
    EXPECT_EQ(after.get<int32_t>(b), 123456);
    EXPECT_EQ(after.get<float>(c), 1.5f);
    EXPECT_EQ(after.get<double>(offset(now, G, "G", "n")), 0.0);

    // Handed to the core, the new places are where the compiled code finds the variables.
    ac::PrjMemAllSymbolInfo info = change.info();
    serializer().setACCoreProjectMemInfo(info);
    EXPECT_EQ(serializer().getAddrOffset("G.b"), b);
    EXPECT_EQ(serializer().getAddrOffset("G.c"), c);
    EXPECT_EQ(serializer().getAddrOffset("G.n"), offset(now, G, "G", "n"));
    EXPECT_EQ(serializer().getAddrOffset("G.missing"), ~0u);
}

TEST_F(OnlineChangeTest, integersWidenWithTheirSignAndNarrowerOrSignLosingChangesStartAgain)
{
    gvl("G", "VAR_GLOBAL\n i : INT;\n u : USINT;\n s : SINT;\n w : DINT;\n k : INT;\nEND_VAR");
    SerializeData stored = current();
    Image before(blockSize(stored, "G"));
    before.put<int16_t>(offset(stored, G, "G", "i"), -2);
    before.put<uint8_t>(offset(stored, G, "G", "u"), 200);
    before.put<int8_t>(offset(stored, G, "G", "s"), -1);
    before.put<int32_t>(offset(stored, G, "G", "w"), 70000);
    before.put<int16_t>(offset(stored, G, "G", "k"), 7);

    // INT -> DINT, USINT -> INT, SINT -> UDINT (sign lost), DINT -> INT (narrower), INT -> WORD.
    gvl("G", "VAR_GLOBAL\n i : DINT;\n u : INT;\n s : UDINT;\n w : INT;\n k : WORD;\nEND_VAR");
    const OnlineChange change(stored, current());
    const SerializeData& now = change.layout();
    EXPECT_EQ(entry(change, "G", "i")->kind, OnlineChange::Moved);
    EXPECT_EQ(entry(change, "G", "u")->kind, OnlineChange::Moved);
    EXPECT_EQ(entry(change, "G", "s")->kind, OnlineChange::Reinitialised);
    EXPECT_EQ(entry(change, "G", "w")->kind, OnlineChange::Reinitialised);
    EXPECT_EQ(entry(change, "G", "k")->kind, OnlineChange::Reinitialised);
    EXPECT_TRUE(copiesOf(change, "G", "s").empty());
    EXPECT_TRUE(copiesOf(change, "G", "w").empty());

    Image after(blockSize(now, "G"));
    applyCopies(change, "G", before, after);
    EXPECT_EQ(after.get<int32_t>(offset(now, G, "G", "i")), -2);
    EXPECT_EQ(after.get<int16_t>(offset(now, G, "G", "u")), 200);
    EXPECT_EQ(after.get<uint32_t>(offset(now, G, "G", "s")), 0u);
    // The moved members' old places are fillers: nothing behind them moved.
    const ac::SymbolMemberInfo* filler = member(now, G, "G", SerializeData::OccupyMemberName);
    ASSERT_NE(filler, nullptr);
    EXPECT_EQ(filler->offset, offset(stored, G, "G", "i"));
}

TEST_F(OnlineChangeTest, aRealThatBecomesAnIntegerStartsFromItsDeclaration)
{
    gvl("G", "VAR_GLOBAL\n r : REAL;\n x : REAL;\n after : DINT;\nEND_VAR");
    SerializeData stored = current();
    Image before(blockSize(stored, "G"));
    before.put<float>(offset(stored, G, "G", "r"), 3.75f);
    before.put<float>(offset(stored, G, "G", "x"), -0.5f);

    gvl("G", "VAR_GLOBAL\n r : INT;\n x : LREAL;\n after : DINT;\nEND_VAR");
    const OnlineChange change(stored, current());
    const SerializeData& now = change.layout();
    // INT fits where the REAL was: same place, but nothing copied into it.
    EXPECT_EQ(entry(change, "G", "r")->kind, OnlineChange::Reinitialised);
    EXPECT_EQ(offset(now, G, "G", "r"), offset(stored, G, "G", "r"));
    EXPECT_TRUE(copiesOf(change, "G", "r").empty());
    EXPECT_EQ(entry(change, "G", "x")->kind, OnlineChange::Moved);
    EXPECT_EQ(offset(now, G, "G", "after"), offset(stored, G, "G", "after"));

    Image after(blockSize(now, "G"));
    applyCopies(change, "G", before, after);
    EXPECT_EQ(after.get<int16_t>(offset(now, G, "G", "r")), 0);
    EXPECT_EQ(after.get<double>(offset(now, G, "G", "x")), -0.5);
}

TEST_F(OnlineChangeTest, aRemovedMemberLeavesAFillerThatALaterChangeMayFill)
{
    gvl("G", "VAR_GLOBAL\n a : DINT;\n b : DINT;\n c : DINT;\nEND_VAR");
    SerializeData stored = current();
    const unsigned long long b = offset(stored, G, "G", "b"), c = offset(stored, G, "G", "c");

    gvl("G", "VAR_GLOBAL\n a : DINT;\n c : DINT;\nEND_VAR");
    const OnlineChange removed = next(stored);
    EXPECT_EQ(entry(removed, "G", "b")->kind, OnlineChange::Removed);
    EXPECT_EQ(entry(removed, "G", "b")->oldOffset, b);
    EXPECT_EQ(offset(stored, G, "G", "c"), c);
    const ac::SymbolMemberInfo* filler = member(stored, G, "G", SerializeData::OccupyMemberName);
    ASSERT_NE(filler, nullptr);
    EXPECT_EQ(filler->offset, b);
    EXPECT_EQ(filler->type.byteSize, 4u);
    EXPECT_EQ(blockSize(stored, "G"), c + 4);

    // The next change may use the place: it held nothing of that change.
    gvl("G", "VAR_GLOBAL\n a : DINT;\n c : DINT;\n d : INT;\n e : DINT;\nEND_VAR");
    const OnlineChange added = next(stored);
    EXPECT_EQ(offset(stored, G, "G", "d"), b);
    EXPECT_EQ(offset(stored, G, "G", "e"), c + 4);
    EXPECT_EQ(offset(stored, G, "G", "c"), c);
    const ac::SymbolMemberInfo* rest = member(stored, G, "G", SerializeData::OccupyMemberName);
    ASSERT_NE(rest, nullptr);
    EXPECT_EQ(rest->offset, b + 2);
    EXPECT_EQ(rest->type.byteSize, 2u);
    EXPECT_EQ(entry(added, "G", "c")->kind, OnlineChange::Kept);
}

TEST_F(OnlineChangeTest, aGrownStructureMovesAndTakesItsMembersAlong)
{
    type("ST", "TYPE ST :\nSTRUCT\n x : INT;\n y : REAL;\nEND_STRUCT\nEND_TYPE");
    gvl("G", "VAR_GLOBAL\n s : ST;\n k : INT;\n arr : ARRAY[0..2] OF ST;\nEND_VAR");
    SerializeData stored = current();
    const unsigned long long s = offset(stored, G, "G", "s"), arr = offset(stored, G, "G", "arr");
    const unsigned long long y = offset(stored, SerializeData::StructSection, "ST", "y");
    Image before(blockSize(stored, "G"));
    before.put<int16_t>(s, 11);
    before.put<float>(s + y, 2.5f);
    for (int i = 0; i < 3; ++i) {
        before.put<int16_t>(arr + 8 * i, static_cast<int16_t>(100 + i));
        before.put<float>(arr + 8 * i + y, 0.25f * i);
    }

    type("ST", "TYPE ST :\nSTRUCT\n x : INT;\n z : LREAL;\n y : REAL;\nEND_STRUCT\nEND_TYPE");
    const OnlineChange change(stored, current());
    const SerializeData& now = change.layout();
    EXPECT_EQ(entry(change, "ST", "z")->kind, OnlineChange::Added);
    EXPECT_EQ(entry(change, "ST", "y")->kind, OnlineChange::Moved);
    EXPECT_EQ(entry(change, "G", "s")->kind, OnlineChange::Moved);
    EXPECT_EQ(offset(now, G, "G", "k"), offset(stored, G, "G", "k"));
    EXPECT_GE(offset(now, G, "G", "s"), blockSize(stored, "G"));
    const unsigned long long newY = offset(now, SerializeData::StructSection, "ST", "y");
    const unsigned long long newSize = member(now, G, "G", "s")->type.byteSize;
    EXPECT_EQ(newSize, 24u);

    Image after(blockSize(now, "G"));
    applyCopies(change, "G", before, after);
    const unsigned long long ns = offset(now, G, "G", "s"), na = offset(now, G, "G", "arr");
    EXPECT_EQ(after.get<int16_t>(ns), 11);
    EXPECT_EQ(after.get<float>(ns + newY), 2.5f);
    EXPECT_EQ(after.get<double>(ns + 8), 0.0); // z starts from its declaration
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(after.get<int16_t>(na + newSize * i), 100 + i);
        EXPECT_EQ(after.get<float>(na + newSize * i + newY), 0.25f * i);
    }
    // One copy per member of the element for the whole array, not one per element.
    EXPECT_EQ(copiesOf(change, "G", "arr").size(), 2u);
}

TEST_F(OnlineChangeTest, arraysKeepValuesOnlyWithTheirBounds)
{
    gvl("G", "VAR_GLOBAL\n a : ARRAY[1..4] OF INT;\n b : ARRAY[1..3] OF INT;\nEND_VAR");
    SerializeData stored = current();
    Image before(blockSize(stored, "G"));
    for (int i = 0; i < 4; ++i)
        before.put<int16_t>(offset(stored, G, "G", "a") + 2 * i, static_cast<int16_t>(-10 * i));
    for (int i = 0; i < 3; ++i)
        before.put<int16_t>(offset(stored, G, "G", "b") + 2 * i, static_cast<int16_t>(i + 1));

    gvl("G", "VAR_GLOBAL\n a : ARRAY[1..4] OF DINT;\n b : ARRAY[1..5] OF INT;\nEND_VAR");
    const OnlineChange change(stored, current());
    const SerializeData& now = change.layout();
    EXPECT_EQ(entry(change, "G", "a")->kind, OnlineChange::Moved);
    EXPECT_EQ(entry(change, "G", "b")->kind, OnlineChange::Reinitialised);
    EXPECT_TRUE(copiesOf(change, "G", "b").empty());
    ASSERT_EQ(copiesOf(change, "G", "a").size(), 1u);
    EXPECT_EQ(copiesOf(change, "G", "a")[0]->count, 4u);

    Image after(blockSize(now, "G"));
    applyCopies(change, "G", before, after);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(after.get<int32_t>(offset(now, G, "G", "a") + 4 * i), -10 * i);
    EXPECT_EQ(after.get<int16_t>(offset(now, G, "G", "b")), 0);
}

TEST_F(OnlineChangeTest, locatedMembersAreNeitherPlacedNorCopied)
{
    gvl("G", "VAR_GLOBAL\n a : INT;\n m AT %MW10 : INT;\n b : INT;\nEND_VAR");
    SerializeData stored = current();
    EXPECT_EQ(offset(stored, G, "G", "m"), 20u); // word 10 of the marker area
    EXPECT_EQ(member(stored, G, "G", "m")->type.fixedAddr, "%MW10");
    EXPECT_EQ(blockSize(stored, "G"), offset(stored, G, "G", "b") + 2); // the marker is not in the block

    gvl("G", "VAR_GLOBAL\n a : INT;\n m AT %MW20 : INT;\n b : INT;\n c : INT;\nEND_VAR");
    const OnlineChange change(stored, current());
    const OnlineChange::Change* m = entry(change, "G", "m");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->kind, OnlineChange::Located);
    EXPECT_EQ(m->oldOffset, 20u);
    EXPECT_EQ(m->newOffset, 40u);
    EXPECT_TRUE(copiesOf(change, "G", "m").empty());
    EXPECT_TRUE(ProjectVarSerializer::isFixedMember(*member(change.layout(), G, "G", "m")));
    EXPECT_TRUE(ProjectVarSerializer::isFixedBasicMember(*member(change.layout(), G, "G", "m")));
    EXPECT_FALSE(ProjectVarSerializer::isFixedMember(*member(change.layout(), G, "G", "a")));
    // c takes the place behind b, not the marker's.
    EXPECT_EQ(offset(change.layout(), G, "G", "c"), blockSize(stored, "G"));
}

TEST_F(OnlineChangeTest, aRenamedProgramIsANewOneAndKeepsNothing)
{
    pou("Main", "PROGRAM Main\nVAR\n count : DINT;\n t : TON;\nEND_VAR");
    SerializeData stored = current();
    ASSERT_NE(stored.find(P, "Main"), nullptr);
    {
        SafeProjectModel hold(projectName);
        model->subModel<PouModel>()->pou("Main")->rename("Cell");
    }
    pou("Cell", "PROGRAM Cell\nVAR\n count : DINT;\n t : TON;\nEND_VAR");
    const OnlineChange change(stored, current());
    EXPECT_EQ(change.layout().find(P, "Main"), nullptr);
    ASSERT_NE(entry(change, "Main", ""), nullptr);
    EXPECT_EQ(entry(change, "Main", "")->kind, OnlineChange::Removed);
    EXPECT_EQ(entry(change, "Main", "count")->kind, OnlineChange::Removed);
    EXPECT_EQ(entry(change, "Cell", "")->kind, OnlineChange::Added);
    EXPECT_EQ(entry(change, "Cell", "t")->kind, OnlineChange::Added);
    for (const ac::PrjMemCopyMember& copy : change.info().copies)
        EXPECT_NE(copy.symbolName, "Cell");
}

TEST_F(OnlineChangeTest, constantsTempsAndExternalsAreNeverCarried)
{
    gvl("G", "VAR_GLOBAL\n shared : INT;\nEND_VAR\nVAR_GLOBAL CONSTANT\n limit : INT := 5;\nEND_VAR");
    pou("Main", "PROGRAM Main\nVAR_EXTERNAL\n shared : INT;\nEND_VAR\nVAR\n x : INT;\nEND_VAR\nVAR_TEMP\n t : INT;\nEND_VAR");
    SerializeData stored = current();
    EXPECT_EQ(member(stored, P, "Main", "shared"), nullptr);
    EXPECT_EQ(offset(stored, P, "Main", "x"), 0u);

    gvl("G", "VAR_GLOBAL\n shared : INT;\nEND_VAR\nVAR_GLOBAL CONSTANT\n limit : INT := 6;\nEND_VAR");
    const OnlineChange change(stored, current());
    EXPECT_EQ(entry(change, "G", "limit")->kind, OnlineChange::Reinitialised);
    EXPECT_EQ(entry(change, "Main", "t")->kind, OnlineChange::Reinitialised);
    EXPECT_EQ(entry(change, "Main", "x")->kind, OnlineChange::Kept);
    EXPECT_TRUE(copiesOf(change, "G", "limit").empty());
    EXPECT_FALSE(copiesOf(change, "G", "shared").empty());
}

TEST_F(OnlineChangeTest, enumerationsKeepValuesWhileTheirNamesKeepTheirNumbers)
{
    type("Mode", "TYPE Mode : (Idle, Run, Fault := 9); END_TYPE");
    gvl("G", "VAR_GLOBAL\n m : Mode;\nEND_VAR");
    SerializeData stored = current();
    EXPECT_EQ(offset(stored, SerializeData::EnumSection, "Mode", "Fault"), 9u);

    type("Mode", "TYPE Mode : (Idle, Run, Fault := 9, Home := 12); END_TYPE");
    OnlineChange grown = next(stored);
    EXPECT_EQ(entry(grown, "Mode", "Home")->kind, OnlineChange::Added);
    EXPECT_EQ(entry(grown, "G", "m")->kind, OnlineChange::Kept);
    EXPECT_FALSE(copiesOf(grown, "G", "m").empty());

    type("Mode", "TYPE Mode : (Idle, Fault := 9, Run, Home := 12); END_TYPE");
    const OnlineChange renumbered(stored, current());
    EXPECT_EQ(entry(renumbered, "Mode", "Run")->kind, OnlineChange::Reinitialised);
    EXPECT_EQ(entry(renumbered, "G", "m")->kind, OnlineChange::Reinitialised);
    EXPECT_TRUE(copiesOf(renumbered, "G", "m").empty());
}

TEST_F(OnlineChangeTest, hiddenListsAndCamTablesStayOutOfTheLayout)
{
    gvl("Visible", "VAR_GLOBAL\n a : INT;\nEND_VAR");
    // A new project has the hidden lists and the cam list; the cam list stays out even when shown.
    gvl("HiddenAxisVar", "VAR_GLOBAL\n ax : INT;\nEND_VAR");
    {
        SafeProjectModel hold(projectName);
        model->subModel<GlobalVarModel>()->varTable("EcamVars")->setProperty("Hidden", "false");
    }
    gvl("EcamVars", "VAR_GLOBAL\n cam : INT;\nEND_VAR");
    std::set<std::string> hidden;
    serializer().getHiddenSet(hidden);
    EXPECT_TRUE(hidden.count("HiddenAxisVar"));
    EXPECT_TRUE(hidden.count("DevicePOU"));
    EXPECT_FALSE(hidden.count("EcamVars"));
    const SerializeData data = current();
    EXPECT_NE(data.find(G, "Visible"), nullptr);
    EXPECT_EQ(data.find(G, "HiddenAxisVar"), nullptr);
    EXPECT_EQ(data.find(G, "EcamVars"), nullptr);
    EXPECT_EQ(data.find(P, "DevicePOU"), nullptr);
    // The controller's own variables are one list of the layout.
    const ac::PrjMemSymbolInfo* device = data.find(G, SerializeData::DeviceVarsName);
    ASSERT_NE(device, nullptr);
    EXPECT_FALSE(device->members.empty());
}

TEST_F(OnlineChangeTest, typesComeAfterTheTypesTheyUse)
{
    type("Outer", "TYPE Outer :\nSTRUCT\n inner : Inner;\n mode : Mode;\nEND_STRUCT\nEND_TYPE");
    type("Inner", "TYPE Inner :\nSTRUCT\n v : INT;\nEND_STRUCT\nEND_TYPE");
    type("Mode", "TYPE Mode : (A, B); END_TYPE");
    type("Outer", "TYPE Outer :\nSTRUCT\n inner : Inner;\n mode : Mode;\nEND_STRUCT\nEND_TYPE");
    pou("Motor", "FUNCTION_BLOCK Motor\nVAR\n o : Outer;\n t : TON;\nEND_VAR", PouModel::FBPOU);
    std::vector<std::string> order;
    serializer().getDecDependenceOrder(order);
    auto at = [&](const std::string& name) { return std::find(order.begin(), order.end(), name) - order.begin(); };
    ASSERT_LT(at("Motor"), static_cast<long>(order.size()));
    EXPECT_LT(at("Inner"), at("Outer"));
    EXPECT_LT(at("Mode"), at("Outer"));
    EXPECT_LT(at("Outer"), at("Motor"));
    EXPECT_LT(at("TON"), at("Motor"));
    std::map<std::string, int> depends;
    EXPECT_TRUE(serializer().getDecDependence("Motor", depends));
    EXPECT_EQ(depends["Outer"], 1);
    EXPECT_EQ(depends["Inner"], 2);
}

TEST(CopyRecord, refusesValuesOutsideEitherImage)
{
    const unsigned char from[4] = {1, 2, 3, 4};
    unsigned char to[4] = {0, 0, 0, 0};
    ac::PrjMemCopyMember copy{"G", "a", 2, 0, 4};
    EXPECT_FALSE(copy.apply(from, sizeof from, to, sizeof to));
    copy = ac::PrjMemCopyMember{"G", "a", 0, 0, 2};
    copy.count = ~0ull;
    copy.oldStride = copy.newStride = 2;
    EXPECT_FALSE(copy.apply(from, sizeof from, to, sizeof to));
    EXPECT_EQ(to[0], 0);
    copy.count = 2;
    EXPECT_TRUE(copy.apply(from, sizeof from, to, sizeof to));
    EXPECT_EQ(to[3], 4);
}

} // namespace
