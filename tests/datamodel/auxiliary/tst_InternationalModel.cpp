// The translation table of a library: texts stored unchanged, one row per key and language,
// and the mark and sweep that keeps exactly the keys in use.
#include "ModelTestSupport.h"
#include "program/ProgramTestSupport.h"

#include "datamodel/auxiliary/InternationalModel.h"
#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/project/PlcProjectModel.h"

#include <QSqlQuery>

using testsupport::ModelTest;

namespace {

class Translations : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        library = createLibrary("Texts");
        ASSERT_TRUE(library);
        texts = library->subModel<InternationalModel>();
        ASSERT_TRUE(texts);
        file = databaseFile("Texts", "UserLib");
    }
    QStringList table() const
    {
        return rows(file, "SELECT Type, Key, Context, Ref_flag FROM InternationalTable ORDER BY Type, Key");
    }
    // Reads the file again through a second model, as the library model does.
    std::unique_ptr<PlcLibraryModel> reopen() const
    {
        return std::unique_ptr<PlcLibraryModel>(
            AbstractPlcProjectModel::openLibrary("reader", file, AbstractPlcProjectModel::DefaultPassword));
    }

    std::unique_ptr<PlcLibraryModel> library;
    InternationalModel* texts = nullptr;
    std::string file;
};

TEST_F(Translations, NewFilesAndLanguages)
{
    EXPECT_EQ(table(), QStringList({"0|||0"})) << "a new library holds the generation row only";
    EXPECT_TRUE(texts->getAllInternationalNode().isEmpty());
    EXPECT_EQ(texts->generation(), 0);
    EXPECT_EQ(texts->languages(), QStringList({"zh_CN", "en_US"}));
    EXPECT_EQ(texts->languageType("zh_cn"), InternationalModel::ChineseText) << "the IDE's cookie is lower case";
    EXPECT_EQ(texts->languageType("en"), InternationalModel::EnglishText);
    EXPECT_EQ(texts->languageType("fr_FR"), InternationalModel::GenerationRow);

    // A user project has no translation table: nothing loads, nothing fails.
    auto project = createProject("Plant");
    auto* projectTexts = project->subModel<InternationalModel>();
    ASSERT_TRUE(projectTexts);
    EXPECT_TRUE(projectTexts->open());
    EXPECT_TRUE(projectTexts->getAllInternationalNode().isEmpty());
    EXPECT_TRUE(projectTexts->languages().isEmpty());
}

TEST_F(Translations, TextsAreStoredUnchangedOneRowPerKeyAndLanguage)
{
    const QString quoteKey = QString::fromUtf8(testsupport::awkward::quote);
    const QString percent = QString::fromUtf8(testsupport::awkward::percent);
    const QString chinese = QString::fromUtf8(testsupport::awkward::chinese);
    ASSERT_TRUE(texts->changKeyTranslate(InternationalModel::ChineseText, quoteKey, chinese));
    ASSERT_TRUE(texts->changKeyTranslate(InternationalModel::EnglishText, quoteKey, percent));
    ASSERT_TRUE(texts->changKeyTranslate(InternationalModel::EnglishText, "FB_Pump.speed", "it's 'fast'"));
    // The same key and language again: the one row changes.
    ASSERT_TRUE(texts->changKeyTranslate(InternationalModel::EnglishText, "FB_Pump.speed", "speed %1"));
    EXPECT_EQ(rows(file, "SELECT count(*) FROM InternationalTable WHERE Key = 'FB_Pump.speed'"), QStringList({"1"}));
    EXPECT_EQ(texts->getAllInternationalNode().size(), 3);

    auto reader = reopen();
    ASSERT_TRUE(reader);
    QMap<QString, QString> byType;
    for (const auto& node : reader->subModel<InternationalModel>()->getAllInternationalNode())
        byType.insert(QString::number(node.type) + "|" + node.key, node.context);
    EXPECT_EQ(byType.value("1|" + quoteKey), chinese);
    EXPECT_EQ(byType.value("2|" + quoteKey), percent);
    EXPECT_EQ(byType.value("2|FB_Pump.speed"), "speed %1");
    QMap<QString, QString> contexts;
    reader->subModel<InternationalModel>()->getAllContext(contexts);
    EXPECT_EQ(contexts.value("FB_Pump.speed"), "speed %1");
}

TEST_F(Translations, MarkAndSweepKeepsTheKeysInUse)
{
    const QString quoteKey = QString::fromUtf8(testsupport::awkward::quote);
    for (const QString& key : {QString("MC_Power"), QString("MC_Stop"), quoteKey, QString("Old")}) {
        ASSERT_TRUE(texts->changKeyTranslate(InternationalModel::ChineseText, key, "zh " + key));
        ASSERT_TRUE(texts->changKeyTranslate(InternationalModel::EnglishText, key, "en " + key));
    }
    texts->checkAllKeys({"MC_Power", quoteKey});
    texts->deleteAllExpireData();
    EXPECT_EQ(table(), QStringList({"0|||1", "1|MC_Power|zh MC_Power|1", "1|" + quoteKey + "|zh " + quoteKey + "|1",
                                    "2|MC_Power|en MC_Power|1", "2|" + quoteKey + "|en " + quoteKey + "|1"}));
    EXPECT_EQ(texts->getAllInternationalNode().size(), 4);

    auto reader = reopen();
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->subModel<InternationalModel>()->generation(), 1) << "the generation survives in its row";

    // Nothing in use any more: only the generation row stays.
    texts->checkAllKeys({});
    texts->deleteAllExpireData();
    EXPECT_EQ(table(), QStringList({"0|||2"}));
    EXPECT_TRUE(texts->getAllInternationalNode().isEmpty());
}

TEST_F(Translations, AFailedMarkSweepsNothing)
{
    ASSERT_TRUE(texts->changKeyTranslate(InternationalModel::ChineseText, "MC_Power", "轴使能"));
    ASSERT_TRUE(texts->changKeyTranslate(InternationalModel::ChineseText, "locked", "x"));
    // Another program refuses changes of one row: the mark cannot be written completely.
    ASSERT_TRUE(testsupport::refuseWrites(QString::fromStdString(file), "InternationalTable", "locked",
                                          "Key <> 'locked' OR Ref_flag = 0"));
    texts->checkAllKeys({"MC_Power", "locked"});
    texts->deleteAllExpireData();
    EXPECT_EQ(table(), QStringList({"0|||0", "1|MC_Power|轴使能|0", "1|locked|x|0"}))
        << "a sweep after a failed mark would delete every key in use";
    EXPECT_EQ(texts->getAllInternationalNode().size(), 2);
}

} // namespace
