// Cam tables: key point editing, ids, the file round trip and when removals reach the file,
// the CSV exchange through the host's dialogs, the binary cam configuration, and a project of
// 200 full tables.
#include "MotionTestSupport.h"

#include "host/ScriptedDialogs.h"

#include <QFile>
#include <QLocale>
#include <QSignalSpy>
#include <QtEndian>

#include <cmath>
#include <cstring>

using testsupport::MotionTest;

namespace {

// Writes `value` little-endian at `offset`, through a local buffer: GCC takes a pointer into a
// fresh QByteArray for one into Qt's shared empty data and warns of an overflow.
template <typename T>
void putLE(QByteArray& bytes, int offset, T value)
{
    char buffer[sizeof(T)];
    qToLittleEndian<T>(value, buffer);
    bytes.replace(offset, int(sizeof(T)), buffer, int(sizeof(T)));
}

EcamData point(double main, double slave, double velocity = 0, double acceleration = 0, uint16_t curve = 0)
{
    EcamData p;
    p.mainAxis = main;
    p.slaveAxis = slave;
    p.velocity = velocity;
    p.acceleration = acceleration;
    p.camCurveType = curve;
    return p;
}

class EcamModelTest : public MotionTest
{
protected:
    void SetUp() override
    {
        MotionTest::SetUp();
        dialogs()->clear();
        open("VX7_1616MT");
    }
    void TearDown() override
    {
        dialogs()->clear();
        QLocale::setDefault(QLocale::c());
        MotionTest::TearDown();
    }
    static host::ScriptedDialogs* dialogs()
    {
        return static_cast<host::ScriptedDialogs*>(testsupport::defaultHost().dialogs());
    }
    EcamModel::EcamTable* table(const QString& tableName, int points)
    {
        EcamModel::EcamTable* t = cams()->addEcamTable(tableName);
        EXPECT_TRUE(t) << cams()->lastError().toStdString();
        for (int i = 0; t && i < points; ++i)
            EXPECT_TRUE(t->addPoint(i, point(i * 1.5, i * 0.25, i, -i, static_cast<uint16_t>(i % 7))));
        return t;
    }
    QString write(const QString& file, const QByteArray& text) const
    {
        const QString path = temp.path() + "/" + file;
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
        return path;
    }
    // Imports `text` as a file of that name; the message box text, or "cancelled".
    QString import(const QByteArray& text, QVector<EcamData>& points, const QString& file = "in.csv")
    {
        dialogs()->clear();
        dialogs()->answer(write(file, text));
        const bool ok = cams()->importEcamCSV(points);
        const auto prompts = dialogs()->prompts();
        EXPECT_GE(prompts.size(), 1u);
        EXPECT_EQ(prompts.front().kind, QStringLiteral("open"));
        EXPECT_EQ(prompts.front().title, QStringLiteral("Open File"));
        EXPECT_EQ(prompts.front().filter, QStringLiteral("Files(*.csv)"));
        const QString shown = prompts.size() > 1 ? prompts.back().label : QStringLiteral("cancelled");
        EXPECT_EQ(ok, shown == QStringLiteral("Import was successful!")) << shown.toStdString();
        if (prompts.size() > 1) {
            EXPECT_EQ(prompts.back().title, QStringLiteral("Fennick"));
        }
        return shown;
    }
    QByteArray exported(QVector<EcamData> points)
    {
        const QString path = temp.path() + "/out.csv";
        dialogs()->clear();
        dialogs()->answer(path);
        EXPECT_TRUE(cams()->exportEcamCSV(points));
        const auto prompts = dialogs()->prompts();
        EXPECT_EQ(prompts.size(), 2u);
        EXPECT_EQ(prompts.front().title, QStringLiteral("Save File"));
        EXPECT_EQ(prompts.front().filter, QStringLiteral("Files(*.csv)"));
        EXPECT_EQ(prompts.back().label, QStringLiteral("Export was successful!"));
        QFile in(path);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        return in.readAll();
    }
};

TEST_F(EcamModelTest, limitsAndTypeIdComeFromTheController)
{
    EXPECT_EQ(cams()->getEcamTableMax(), 16);
    EXPECT_EQ(cams()->getEcamPointMax(), 360) << "points per table, not the table limit";
    ASSERT_TRUE(table("Cam1", 0));
    EXPECT_EQ(cams()->ecamTypeId(), 6u);
    reopen();
    EXPECT_EQ(cams()->ecamTypeId(), 6u) << "known again once the model is opened";
}

TEST_F(EcamModelTest, pointEditsCheckTheirIndexAndKeepIds)
{
    EcamModel::EcamTable* t = table("Cam1", 3);
    QSignalSpy changed(t, &ModelObject::dataChanged);
    const std::vector<EcamPointData> before = t->getAllPoint();
    EXPECT_FALSE(t->deletePoint(0)) << "the first point stays";
    EXPECT_FALSE(t->deletePoint(3));
    EXPECT_FALSE(t->deletePoint(-1));
    EXPECT_FALSE(t->addPoint(4, point(1, 1)));
    EXPECT_FALSE(t->addPoint(-1, point(1, 1)));
    EXPECT_FALSE(t->modifyPoint({{1, point(9, 9)}, {3, point(9, 9)}})) << "one bad index refuses all";
    EXPECT_EQ(changed.count(), 0);
    ASSERT_EQ(t->getAllPoint().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(t->getAllPoint()[i].id, before[i].id);
        EXPECT_EQ(t->getAllPoint()[i].data, before[i].data);
    }

    ASSERT_TRUE(t->modifyPoint({{1, point(9, 8, 7, 6, 5)}}));
    EXPECT_EQ(t->getAllPoint()[1].id, before[1].id);
    EXPECT_EQ(t->getAllCamPoint()[1], point(9, 8, 7, 6, 5));
    ASSERT_TRUE(t->addPoint(3, point(100, 50)));
    ASSERT_TRUE(t->deletePoint(1));
    EXPECT_EQ(t->pointCount(), 3);
    ASSERT_EQ(changed.count(), 3);
    EXPECT_EQ(changed.at(0).at(1).toString(), QStringLiteral("EcamView"));
    EXPECT_EQ(changed.at(0).at(2).toString(), QString());

    // Point ids are unique in the project: a second table does not reuse them.
    EcamModel::EcamTable* other = table("Cam2", 2);
    std::set<uint32_t> ids;
    for (EcamModel::EcamTable* each : {t, other})
        for (const EcamPointData& p : each->getAllPoint())
            ids.insert(p.id);
    EXPECT_EQ(ids.size(), 5u);
    EXPECT_EQ(coreType("EcamVars", "Cam2"), "CAM_TABLE_REF");
}

TEST_F(EcamModelTest, pointsComeBackInOrderWithTheirIds)
{
    EcamModel::EcamTable* t = table("Profile", 0);
    const uint16_t curves[] = {0, 1, 2, 3, 7, 65535};
    for (int i = 0; i < 6; ++i) {
        EcamData p = point(-1e-7 * i, 1e300 / (i + 1), 0.1 + i, -2.5e6, curves[i]);
        p.align1 = static_cast<uint16_t>(i);
        p.align2 = 65535;
        p.align3 = 42;
        ASSERT_TRUE(t->addPoint(0, p)) << i; // each in front: row order is not id order
    }
    t->setProperty("Note", testsupport::QuoteText + testsupport::PercentText + testsupport::ChineseText);
    const std::vector<EcamPointData> before = t->getAllPoint();
    const auto properties = t->propertys();
    const unsigned int id = t->id();
    reopen();
    EcamModel::EcamTable* back = cams()->ecamTable(id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->propertys(), properties);
    const std::vector<EcamPointData> after = back->getAllPoint();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].id, before[i].id) << i;
        EXPECT_EQ(after[i].data, before[i].data) << i;
    }
    // Reloading one table gives up unsaved point edits.
    ASSERT_TRUE(back->deletePoint(2));
    ASSERT_TRUE(back->load());
    ASSERT_EQ(back->getAllPoint().size(), before.size());
    EXPECT_EQ(back->getAllPoint()[2].id, before[2].id);
    EXPECT_FALSE(back->isModified());
    // A new point after reopening takes an id that no stored point has.
    ASSERT_TRUE(back->addPoint(1, point(1, 1)));
    std::set<uint32_t> ids;
    for (const EcamPointData& p : back->getAllPoint())
        ids.insert(p.id);
    EXPECT_EQ(ids.size(), before.size() + 1);
    EXPECT_TRUE(project->save());
}

TEST_F(EcamModelTest, aRemovedTableLeavesTheFileWithTheSaveAndItsPointIdsMayBeReused)
{
    EcamModel::EcamTable* gone = table("Gone", 4);
    EcamModel::EcamTable* kept = table("Kept", 1);
    ASSERT_TRUE(project->save());
    const unsigned int goneId = gone->id();
    ASSERT_TRUE(cams()->removeEcamTable(gone));
    EXPECT_EQ(fileRows(QStringLiteral("SELECT count(*) FROM EcamPoints WHERE TableId = %1").arg(goneId)),
              QStringList({"4"}))
        << "the removal waits for the save";
    // The ids the removed points held go to the next points: the save must not collide.
    for (int i = 1; i <= 4; ++i)
        ASSERT_TRUE(kept->addPoint(i, point(i, i)));
    ASSERT_TRUE(project->save());
    EXPECT_EQ(fileRows(QStringLiteral("SELECT count(*) FROM EcamPoints WHERE TableId = %1").arg(goneId)),
              QStringList({"0"}));
    EXPECT_EQ(fileRows("SELECT Name FROM EcamTable"), QStringList({"Kept"}));
    EXPECT_EQ(fileRows(QStringLiteral("SELECT count(*) FROM EcamPoints WHERE TableId = %1").arg(kept->id())),
              QStringList({"5"}));
    EXPECT_TRUE(coreType("EcamVars", "Gone").empty());
}

TEST_F(EcamModelTest, aDeletedPointsIdMayGoToAnotherTableBeforeTheSave)
{
    // The first table in id order takes the id whose row the second table still holds in the
    // file: the save writes the first table before it clears the second one's rows.
    EcamModel::EcamTable* first = table("First", 1);
    EcamModel::EcamTable* second = table("Second", 3);
    ASSERT_TRUE(project->save());
    const uint32_t freed = second->getAllPoint()[2].id;
    ASSERT_TRUE(second->deletePoint(2));
    ASSERT_TRUE(first->addPoint(1, point(7, 7)));
    ASSERT_EQ(first->getAllPoint()[1].id, freed);
    ASSERT_TRUE(project->save());
    EXPECT_EQ(fileRows(QStringLiteral("SELECT TableId FROM EcamPoints WHERE Id = %1").arg(freed)),
              QStringList({QString::number(first->id())}));
    EXPECT_EQ(fileRows(QStringLiteral("SELECT count(*) FROM EcamPoints WHERE TableId = %1").arg(second->id())),
              QStringList({"2"}));
    // Saving the one table alone works as well.
    const uint32_t freedAgain = second->getAllPoint()[1].id;
    ASSERT_TRUE(second->deletePoint(1));
    ASSERT_TRUE(first->addPoint(2, point(8, 8)));
    ASSERT_EQ(first->getAllPoint()[2].id, freedAgain);
    EXPECT_TRUE(cams()->saveObject(first));
    EXPECT_EQ(fileRows(QStringLiteral("SELECT TableId FROM EcamPoints WHERE Id = %1").arg(freedAgain)),
              QStringList({QString::number(first->id())}));
    // Reloading a table whose stored point id went to another table renumbers that point.
    ASSERT_TRUE(second->addPoint(1, point(5, 5, 1, 2, 3)));
    ASSERT_TRUE(project->save());
    const std::vector<EcamPointData> stored = second->getAllPoint();
    const uint32_t lent = stored[1].id;
    ASSERT_TRUE(second->deletePoint(1));
    ASSERT_TRUE(first->addPoint(3, point(9, 9)));
    ASSERT_EQ(first->getAllPoint()[3].id, lent);
    ASSERT_TRUE(second->load());
    ASSERT_EQ(second->getAllPoint().size(), 2u);
    EXPECT_EQ(second->getAllPoint()[1].data, stored[1].data);
    EXPECT_NE(second->getAllPoint()[1].id, lent);
    EXPECT_TRUE(second->isModified()) << "its rows no longer match it";
    ASSERT_TRUE(project->save());
    EXPECT_EQ(fileRows("SELECT count(*), count(DISTINCT Id) FROM EcamPoints"), QStringList({"6|6"})) << "first 4, second 2";
}

TEST_F(EcamModelTest, exportWritesPercentGNumbersWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(exported({}), QByteArray("Version,1\nCount,0\nMain Axis,Slave Axis,Cam Curve,Velocity,Acceleration\n"));
    const QByteArray text = exported({point(0, 0, 0, 0, 1), point(90, 45.5, 10, 100, 1),
                                      point(1234567, 0.00001234, 1.0 / 3, -1e-5, 65535)});
    EXPECT_EQ(text, QByteArray("Version,1\nCount,3\nMain Axis,Slave Axis,Cam Curve,Velocity,Acceleration\n"
                               "0,0,1,0,0\n90,45.5,1,10,100\n1.23457e+06,1.234e-05,65535,0.333333,-1e-05\n"));

    // Cancelled: nothing written, no message.
    dialogs()->clear();
    QVector<EcamData> none;
    EXPECT_FALSE(cams()->exportEcamCSV(none));
    EXPECT_EQ(dialogs()->prompts().size(), 1u);
}

TEST_F(EcamModelTest, aFailedWriteIsReportedAsAFailure)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    dialogs()->answer("/dev/full");
    QVector<EcamData> points(200, point(1, 2, 3, 4, 5));
    EXPECT_FALSE(cams()->exportEcamCSV(points));
    ASSERT_EQ(dialogs()->prompts().size(), 2u);
    EXPECT_EQ(dialogs()->prompts().back().label, QStringLiteral("Fail to write the file!"));

    dialogs()->clear();
    dialogs()->answer(temp.path() + "/no/such/folder/x.csv");
    EXPECT_FALSE(cams()->exportEcamCSV(points));
    EXPECT_EQ(dialogs()->prompts().back().label, QStringLiteral("Fail to open the file!"));
}

TEST_F(EcamModelTest, exportThenImportGivesThePointsBack)
{
    QVector<EcamData> points;
    for (int i = 0; i < 359; ++i)
        points.push_back(point(i * 0.5, std::sin(i) * 100, i / 7.0, -i * 1e3, static_cast<uint16_t>(i % 5)));
    const QByteArray text = exported(points);
    QVector<EcamData> back;
    EXPECT_EQ(import(text, back), QStringLiteral("Import was successful!"));
    ASSERT_EQ(back.size(), points.size());
    for (int i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(back[i].slaveAxis, points[i].slaveAxis, std::abs(points[i].slaveAxis) * 1e-5 + 1e-9) << i;
        EXPECT_NEAR(back[i].velocity, points[i].velocity, 1e-5 * (1 + points[i].velocity)) << i;
        EXPECT_EQ(back[i].mainAxis, points[i].mainAxis);
        EXPECT_EQ(back[i].acceleration, points[i].acceleration);
        EXPECT_EQ(back[i].camCurveType, points[i].camCurveType);
        EXPECT_EQ(back[i].align1, 0);
    }

    points.push_back(point(1, 1));
    QVector<EcamData> kept{point(7, 7)};
    EXPECT_EQ(import(exported(points), kept), QStringLiteral("Imported keypoints exceed the point limit (360) !"));
    ASSERT_EQ(kept.size(), 1) << "a refused import leaves the points alone";
}

TEST_F(EcamModelTest, importReadsWhatSpreadsheetsAndEditorsWrite)
{
    QVector<EcamData> points;
    // CRLF, a byte order mark, quoted fields, blanks, and no line feed after the last line.
    const QByteArray text = "\xEF\xBB\xBFversion , 1\r\n COUNT,3\r\n\"Main, Axis\",Slave,Curve,V,A\r\n"
                            "\"1\",2,3,4,5\r\n 6 , 7 ,8,9,10\r\n\"1,5\",x,2,,-1e3";
    EXPECT_EQ(import(text, points), QStringLiteral("Import was successful!"));
    ASSERT_EQ(points.size(), 3) << "the last line without a line feed is read";
    EXPECT_EQ(points[0], point(1, 2, 4, 5, 3));
    EXPECT_EQ(points[1], point(6, 7, 9, 10, 8));
    EXPECT_EQ(points[2], point(0, 0, 0, -1000, 2)) << "a quoted \"1,5\" is one field, and no number";

    // Fewer lines than counted: what is there is read; more: the count ends the reading.
    EXPECT_EQ(import("Version,1\nCount,5\nh\n1,2,3,4,5\n", points), QStringLiteral("Import was successful!"));
    EXPECT_EQ(points.size(), 1);
    EXPECT_EQ(import("Version,1\nCount,1\nh\n1,2,3,4,5\n1,2,3,4,5,6\n", points),
              QStringLiteral("Import was successful!"));
    EXPECT_EQ(points.size(), 1);
}

TEST_F(EcamModelTest, importRefusesWhatIsNoCamTable)
{
    const QString format = QStringLiteral("The file content is not in the right format!");
    const QByteArray refused[] = {
        "Version,2\nCount,0\nh\n",
        "Version,1.0\nCount,0\nh\n",
        "Versions,1\nCount,0\nh\n",
        "Version,1\nNumber,1\nh\n1,2,3,4,5\n",
        "Version,1\nCount,x\nh\n",
        "Version,1\nCount,-1\nh\n",
        "Version,1\nCount,1\na,b,c,d,e,f\n1,2,3,4,5\n",
        "Version,1\nCount,1\nh\n1,2,3,4,5,6\n",
        "Version,1\nCount,1\nh\n1,2,3,4\n",
        "Version,1,2,3,4,5\nCount,0\nh\n",
        "Version,1\nCount,0\n",
        "",
    };
    for (const QByteArray& text : refused) {
        QVector<EcamData> points{point(3, 3)};
        EXPECT_EQ(import(text, points), format) << text.toStdString();
        EXPECT_EQ(points.size(), 1);
    }
    QVector<EcamData> points;
    EXPECT_EQ(import("Version,1\nCount,0\nh\n", points, "in.CSV"), QStringLiteral("Fail to open the file!"));
    dialogs()->clear();
    EXPECT_FALSE(cams()->importEcamCSV(points)) << "cancelled";
    EXPECT_EQ(dialogs()->prompts().size(), 1u);
}

TEST_F(EcamModelTest, binaryConfigurationFilesAndTheirFaults)
{
    // Two tables: 2 and 0 points.
    auto record = [](const QByteArray& name, const std::vector<EcamData>& points, qint32 count) {
        QByteArray r(14554, '\0');
        std::memcpy(r.data() + 4, name.constData(), std::min<int>(name.size(), 128));
        putLE<qint32>(r, 140, count);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const int at = 154 + int(i) * 40;
            const double values[] = {points[i].mainAxis, points[i].slaveAxis, points[i].velocity,
                                     points[i].acceleration};
            for (int v = 0; v < 4; ++v) {
                quint64 bits;
                std::memcpy(&bits, &values[v], 8);
                putLE<quint64>(r, at + 8 * v, bits);
            }
            putLE<quint16>(r, at + 32, points[i].camCurveType);
            putLE<quint16>(r, at + 34, points[i].align1);
        }
        return r;
    };
    auto file = [](qint32 tables, const QByteArray& records) {
        QByteArray head(46, 'h');
        putLE<qint32>(head, 42, tables);
        return head + records;
    };
    EcamData second = point(90, 45.5, 10, 100, 3);
    second.align1 = 9;
    const QByteArray good = file(2, record("CamA", {point(0, 1, 2, 3, 1), second}, 2) + record("B", {}, 0));
    QString path = write("good.cfg", good);
    QVector<QPair<QString, QVector<EcamData>>> tables;
    ASSERT_TRUE(cams()->parsingCfgFile(path, tables));
    ASSERT_EQ(tables.size(), 2);
    EXPECT_EQ(tables[0].first, QStringLiteral("CamA"));
    ASSERT_EQ(tables[0].second.size(), 2);
    EXPECT_EQ(tables[0].second[0], point(0, 1, 2, 3, 1));
    EXPECT_EQ(tables[0].second[1], second);
    EXPECT_EQ(tables[1].first, QStringLiteral("B"));
    EXPECT_TRUE(tables[1].second.isEmpty());

    const QByteArray full(128, 'n');
    const std::pair<const char*, QByteArray> faults[] = {
        {"shorter than its head", good.left(45)},
        {"truncated table", good.left(good.size() - 1)},
        {"negative table count", file(-1, {})},
        {"more tables than bytes", file(0x7FFFFFFF, record("A", {}, 0))},
        {"361 points", file(1, record("A", {}, 361))},
        {"negative points", file(1, record("A", {}, -5))},
        {"name without NUL", file(1, record(full, {}, 0))},
    };
    for (const auto& [what, bytes] : faults) {
        dialogs()->clear();
        tables.clear();
        path = write("bad.cfg", bytes);
        EXPECT_FALSE(cams()->parsingCfgFile(path, tables)) << what;
        EXPECT_TRUE(tables.isEmpty()) << what;
        ASSERT_EQ(dialogs()->prompts().size(), 1u) << what;
        EXPECT_EQ(dialogs()->prompts().front().label, QStringLiteral("The file content is not in the right format!"));
    }
    dialogs()->clear();
    path = temp.path() + "/missing.cfg";
    EXPECT_FALSE(cams()->parsingCfgFile(path, tables));
    EXPECT_EQ(dialogs()->prompts().front().label, QStringLiteral("File opening failed!"));
    dialogs()->clear();
    path = temp.path();
    EXPECT_FALSE(cams()->parsingCfgFile(path, tables)) << "a folder is no file";
}

TEST_F(EcamModelTest, twoHundredFullTablesSaveReopenAndSaveOnePointAgain)
{
    constexpr int tableCount = 200, pointCount = 359;
    std::vector<unsigned int> tableIds;
    for (int t = 0; t < tableCount; ++t) {
        EcamModel::EcamTable* cam = cams()->addEcamTable(QStringLiteral("Cam%1").arg(t));
        ASSERT_TRUE(cam);
        for (int p = 0; p < pointCount; ++p)
            ASSERT_TRUE(cam->addPoint(p, point(p, t, 0, 0, static_cast<uint16_t>(p % 4))));
        tableIds.push_back(cam->id());
    }
    std::vector<std::vector<uint32_t>> ids;
    for (unsigned int id : tableIds) {
        ids.emplace_back();
        for (const EcamPointData& p : cams()->ecamTable(id)->getAllPoint())
            ids.back().push_back(p.id);
    }
    reopen();
    for (int t = 0; t < tableCount; ++t) {
        EcamModel::EcamTable* cam = cams()->ecamTable(tableIds[std::size_t(t)]);
        ASSERT_TRUE(cam);
        const std::vector<EcamPointData> points = cam->getAllPoint();
        ASSERT_EQ(points.size(), std::size_t(pointCount));
        for (int p = 0; p < pointCount; ++p) {
            ASSERT_EQ(points[std::size_t(p)].id, ids[std::size_t(t)][std::size_t(p)]);
            ASSERT_EQ(points[std::size_t(p)].data.mainAxis, p);
            ASSERT_EQ(points[std::size_t(p)].data.slaveAxis, t);
        }
    }
    EcamModel::EcamTable* changed = cams()->ecamTable(tableIds[100]);
    ASSERT_TRUE(changed->modifyPoint({{200, point(-1, -2, -3, -4, 3)}}));
    ASSERT_TRUE(project->save());
    EXPECT_EQ(fileRows(QStringLiteral("SELECT MainAxis, SlaveAxis, CamCurveType FROM EcamPoints WHERE TableId = %1 "
                                      "AND Roworder = 200")
                           .arg(changed->id())),
              QStringList({"-1|-2|3"}));
    EXPECT_EQ(fileRows("SELECT count(*) FROM EcamPoints"), QStringList({QString::number(tableCount * pointCount)}));
    EXPECT_EQ(coreCount("EcamVars"), tableCount);
}

} // namespace
