// plcproj export, import and diff of the motion objects and the auxiliary tables, run as real
// processes: axes, groups, cam tables and traces, watch lists, the HMI list and comments.
#include "ExportFolder.h"
#include "support/QtPrinters.h"
#include "support/RawDatabase.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <map>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Names that are identifiers (axes, groups and cam tables declare a variable of their name)
// but no plain file names on every system, and free names for traces and watch lists.
const QStringList axisNames = {"CON", "con_2", "Aux"};
const QString camName = "NUL";
const QString traceName = QStringLiteral("Belt/speed: 'x' %1");
const QString watchName = QString::fromUtf8(testsupport::awkward::chinese);

class PlcprojExportMotion : public ::testing::Test
{
protected:
    // A project with one object of every kind, under awkward names.
    QString makeProject()
    {
        const QString project = temp.filePath("Motion");
        expectOk(plcproj({"create", project, "--name", "Motion"}), "create");
        QString script;
        for (const QString& axis : axisNames)
            script += QStringLiteral("add axis %1\n").arg(axis);
        script += "add group Pair\nset group Pair X-Axis 1\nset group Pair Y-Axis 3\n";
        script += QStringLiteral("add cam %1\n").arg(camName);
        // Values that a short decimal text does not hold exactly must come back all the same.
        script += QStringLiteral("cam %1 point add 0 0 0 0 0 1\ncam %1 point add 1 0.1 45.5 1e-300 -2.5e+17 3\n"
                                 "cam %1 point add 2 360 0.30000000000000004 inf -inf 65535\n").arg(camName);
        script += QStringLiteral("add trace \"%1\"\ntrace \"%1\" var add Main.x --color 4 --draw\n").arg(traceName);
        script += QStringLiteral("watch add \"%1\"\nwatch \"%1\" add \"Main.it's\"\n").arg(watchName);
        script += "hmi set 0 Main.x\nhmi set 1 GVL.y\ncomment D10 \"speed 'set'\"\ncomment D10.3 bit\nctype D 10 LREAL\n"
                  "comment X17 input\nsave";
        expectOk(plcproj({"exec", project, "-c", script}), "fill");
        return project;
    }

    testsupport::TempDir temp;
};

TEST_F(PlcprojExportMotion, everyKindComesBackWithItsIdsRowsAndVariables)
{
    const QString project = makeProject();
    expectOk(plcproj({"export", project, temp.filePath("text")}), "export");
    const Files files = readFolder(temp.filePath("text"));
    for (const char* path : {"motion/axes/%43ON.axis.json", "motion/axes/con_2.axis.json", "motion/axes/%41ux.axis.json",
                             "motion/groups/Pair.group.json", "motion/cams/%4EUL.cam.json", "motion/cams/%4EUL.cam.csv",
                             "motion/traces/Belt%2Fspeed%3A %27x%27 %251.trace.json", "auxiliary/hmi.json",
                             "auxiliary/comments.json"})
        EXPECT_TRUE(files.count(QString::fromUtf8(path))) << path << " is missing";
    EXPECT_TRUE(files.count("auxiliary/watch/" + watchName + ".watch.json"));
    // The hidden lists are derived from the objects: exported once, as the objects.
    for (const auto& [path, bytes] : files)
        EXPECT_FALSE(path.contains("HiddenAxis") || path.contains("EcamVars")) << path.toStdString();
    const QList<QByteArray> points = files.at("motion/cams/%4EUL.cam.csv").split('\n');
    ASSERT_EQ(points.size(), 5); // head, three points, final line feed
    EXPECT_EQ(points[2].split(',').mid(1, 4).join(','), QByteArray("0.1,45.5,1e-300,-2.5e+17"));
    EXPECT_EQ(points[3], QByteArray("2,360,0.30000000000000004,inf,-inf,65535,0,0,0"));

    expectOk(plcproj({"import", temp.filePath("text"), temp.filePath("Copy")}), "import");
    expectOk(plcproj({"export", temp.filePath("Copy"), temp.filePath("again")}), "export of the copy");
    EXPECT_EQ(readFolder(temp.filePath("again")), files);

    // The rows are those of the original, ids and all; the hidden lists declare the objects.
    const QString original = project + "/Motion.nvp", copy = temp.filePath("Copy/Motion.nvp");
    for (const char* sql : {"SELECT Id || Name || Properties FROM AxisTable ORDER BY Id",
                            "SELECT Id || Name || Properties FROM AxisGroupTable ORDER BY Id",
                            "SELECT Id || Name || Properties FROM EcamTable ORDER BY Id",
                            "SELECT quote(Id) || quote(TableId) || quote(Roworder) || quote(MainAxis) || quote(SlaveAxis) || "
                            "quote(Velocity) || quote(Acceleration) || quote(CamCurveType) || quote(Align3) FROM EcamPoints ORDER BY Id",
                            "SELECT Id || Name || Properties FROM Trace ORDER BY Id",
                            "SELECT quote(Id) || quote(Name) || quote(ListData) || quote(Properties) FROM WatchList ORDER BY Id",
                            "SELECT quote(FullName) || quote(Address) || quote(Properties) FROM HmiCfgTable",
                            "SELECT quote(Id) || quote(Name) || quote(OrderNum) || quote(Snapshot) || quote(Comments) || "
                            "quote(BitComments) || quote(Properties) FROM SoftwareComponentTable ORDER BY Id",
                            "SELECT LogicContext FROM GlobalVar WHERE Name IN ('HiddenAxisVar', 'HiddenAxisGroupVar', 'EcamVars') "
                            "ORDER BY Name"}) {
        const QStringList rows = testsupport::rawRows(original, QString::fromLatin1(sql));
        EXPECT_FALSE(rows.isEmpty()) << sql;
        EXPECT_EQ(testsupport::rawRows(copy, QString::fromLatin1(sql)), rows) << sql;
    }
    const QStringList axisList = testsupport::rawRows(copy, "SELECT LogicContext FROM GlobalVar WHERE Name = 'HiddenAxisVar'");
    ASSERT_EQ(axisList.size(), 1);
    for (const QString& axis : axisNames)
        EXPECT_TRUE(axisList[0].contains(axis + " : AXIS_REF")) << axisList[0].toStdString();
    EXPECT_EQ(plcproj({"check", temp.filePath("Copy")}).code, 0);
    // The copy goes on as the original would: a new axis gets the next number and id.
    const ToolRun added = plcproj({"exec", temp.filePath("Copy"), "-c", "add axis Fourth\nshow axis Fourth\nsave"});
    expectOk(added, "add an axis to the copy");
    EXPECT_TRUE(added.out.contains("AxisNo = 3")) << added.out.toStdString();
}

TEST_F(PlcprojExportMotion, diffShowsAChangedCamPointAsOneLineAndNamesAddedAndRemovedObjects)
{
    const QString project = makeProject();
    expectOk(plcproj({"export", project, temp.filePath("before")}), "export");
    expectOk(plcproj({"exec", project, "-c",
                      QStringLiteral("cam %1 point set 1 0.1 46 1e-300 -2.5e+17 3\nrm axis con_2\nadd trace Spare\n"
                                     "watch \"%2\" add Main.y\nsave").arg(camName, watchName)}),
             "edit");
    const ToolRun run = plcproj({"diff", temp.filePath("before"), project});
    expectOk(run, "diff");
    const QStringList out = run.out.split('\n');
    // Objects by kind and name; the cam's points are part of the cam.
    EXPECT_TRUE(out.contains("changed cam NUL (motion/cams/%4EUL.cam.json)")) << run.out.toStdString();
    EXPECT_TRUE(out.contains("removed axis con_2 (motion/axes/con_2.axis.json)"));
    EXPECT_TRUE(out.contains("added trace Spare (motion/traces/Spare.trace.json)"));
    EXPECT_TRUE(out.contains("changed watch list " + watchName + " (auxiliary/watch/" + watchName + ".watch.json)"));
    QStringList changedPoints;
    bool inCam = false;
    for (const QString& line : out) {
        if (line.startsWith("--- "))
            inCam = line.endsWith(".cam.csv");
        else if (inCam && (line.startsWith('-') || line.startsWith('+')) && !line.startsWith("+++"))
            changedPoints << line;
    }
    EXPECT_EQ(changedPoints, QStringList({"-1,0.1,45.5,1e-300,-2.5e+17,3,0,0,0", "+1,0.1,46,1e-300,-2.5e+17,3,0,0,0"}))
        << run.out.toStdString();
}

TEST_F(PlcprojExportMotion, brokenMotionAndAuxiliaryFilesAreRefusedNamingFileAndLine)
{
    const QString project = makeProject();
    expectOk(plcproj({"export", project, temp.filePath("text")}), "export");
    const Files good = readFolder(temp.filePath("text"));
    const QString cam = "motion/cams/%4EUL.cam.csv", axis = "motion/axes/con_2.axis.json";
    const QString comments = "auxiliary/comments.json", trace = "motion/traces/Belt%2Fspeed%3A %27x%27 %251.trace.json";
    struct Case
    {
        const char* name;
        QString file;
        QByteArray content;
        QString expected;
    };
    const QList<Case> cases = {
        {"a point without its last field", cam, QByteArray(good.at(cam)).replace(",3,0,0,0\n", ",3,0,0\n"), cam + ":3: a key point"},
        {"a point that is no number", cam, QByteArray(good.at(cam)).replace("45.5", "45,5"), cam + ":3:"},
        {"a curve type beyond a word", cam, QByteArray(good.at(cam)).replace(",65535,", ",65536,"), cam + ":4:"},
        {"a point id twice", cam, QByteArray(good.at(cam)).replace("\n2,", "\n1,"), cam + ":4: point id 1 is used twice"},
        {"no head line", cam, good.at(cam).mid(good.at(cam).indexOf('\n') + 1), cam + ":1:"},
        {"an id that is text", axis, QByteArray(good.at(axis)).replace("\"id\": 2", "\"id\": \"2\""), axis + ":2: needs an \"id\""},
        {"a second axis of the same name in another case", "motion/axes/x.axis.json",
         QByteArray(good.at(axis)).replace("\"id\": 2", "\"id\": 9").replace("con_2", "CON_2"), "another axis is named"},
        {"JSON cut short", axis, good.at(axis).left(40), axis + ":"},
        {"a stray file", "motion/axes/notes.txt", "x\n", "motion/axes/notes.txt: is of no known kind"},
        {"an address that is no address", comments, QByteArray(good.at(comments)).replace("\"X17\"", "\"X18\""), comments + ":"},
        {"a bit comment outside D", comments, QByteArray(good.at(comments)).replace("\"X17\": {\n        \"bits\": {\n",
                                                                         "\"X17\": {\n        \"bits\": {\"1\": \"b\"\n"), comments + ":"},
        {"a trace variable without a name", trace, QByteArray(good.at(trace)).replace("varName", "name"), trace + ":"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = temp.filePath("text/" + c.file);
        ASSERT_TRUE(writeFile(path, c.content));
        const ToolRun run = plcproj({"import", temp.filePath("text"), temp.filePath("out")});
        EXPECT_EQ(run.code, 1);
        EXPECT_TRUE(run.err.contains(c.expected)) << run.err.toStdString();
        EXPECT_TRUE(QRegularExpression("[a-z]+:[0-9]+: |: is of no known kind").match(run.err).hasMatch()) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(temp.filePath("out")));
        EXPECT_TRUE(QDir(temp.path()).entryList({"*importing*"}, QDir::AllEntries | QDir::Hidden).isEmpty());
        if (good.count(c.file))
            ASSERT_TRUE(writeFile(path, good.at(c.file)));
        else
            ASSERT_TRUE(QFile::remove(path));
    }
    expectOk(plcproj({"import", temp.filePath("text"), temp.filePath("out")}), "the repaired folder");
}

TEST_F(PlcprojExportMotion, aLibraryKeepsItsTranslationTextsAndTheirGeneration)
{
    const QString library = temp.filePath("Lib");
    expectOk(plcproj({"create", library, "--name", "Lib", "--type", "UserLib"}), "create");
    const QString file = library + "/Lib.nvl";
    ASSERT_TRUE(testsupport::rawExec(file, QString::fromUtf8(u8"INSERT INTO InternationalTable VALUES (1, 'Motor %1', '马达 ''m''', 3);"
                                                             "INSERT INTO InternationalTable VALUES (2, 'Motor %1', 'motor', 2);"
                                                             "UPDATE InternationalTable SET Ref_flag = 3 WHERE Type = 0")));
    expectOk(plcproj({"export", library, temp.filePath("text")}), "export");
    EXPECT_TRUE(readFolder(temp.filePath("text")).count("auxiliary/translations.json"));
    expectOk(plcproj({"import", temp.filePath("text"), temp.filePath("Copy")}), "import");
    const QString sql = "SELECT quote(Type) || quote(Key) || quote(Context) || quote(Ref_flag) FROM InternationalTable ORDER BY Type";
    const QStringList rows = testsupport::rawRows(file, sql);
    EXPECT_EQ(rows.size(), 3);
    EXPECT_EQ(testsupport::rawRows(temp.filePath("Copy/Lib.nvl"), sql), rows);

    // A user project has no translation table: such a file is refused, and nothing is left.
    expectOk(plcproj({"create", temp.filePath("User"), "--name", "User"}), "create a user project");
    expectOk(plcproj({"export", temp.filePath("User"), temp.filePath("user")}), "export it");
    ASSERT_TRUE(QDir().mkpath(temp.filePath("user/auxiliary")));
    ASSERT_TRUE(QFile::copy(temp.filePath("text/auxiliary/translations.json"), temp.filePath("user/auxiliary/translations.json")));
    const ToolRun refused = plcproj({"import", temp.filePath("user"), temp.filePath("UserCopy")});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains("InternationalTable")) << refused.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("UserCopy")));
}

} // namespace
