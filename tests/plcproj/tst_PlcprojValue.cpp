// plcproj value: the value conversion of an online display and an online write, run as a
// real process.
#include "ToolRun.h"
#include "support/TempDir.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

class PlcprojValue : public ::testing::Test
{
protected:
    // The one line a successful run prints.
    static QString printed(const QStringList& args)
    {
        const ToolRun run = plcproj(QStringList{"value"} + args);
        EXPECT_EQ(run.code, 0) << args.join(' ').toStdString() << ": " << run.err.toStdString();
        EXPECT_EQ(lines(run.out).size(), 1) << run.out.toStdString();
        return run.out.trimmed();
    }

    testsupport::TempDir temp;
};

TEST_F(PlcprojValue, rawBytesToLiterals)
{
    EXPECT_EQ(printed({"INT", "--raw", "0100"}), "1");
    EXPECT_EQ(printed({"UINT", "--raw", "ff00", "--radix", "16"}), "16#00FF");
    EXPECT_EQ(printed({"UINT", "--raw", "FF00", "--radix", "2"}), "2#0000000011111111");
    EXPECT_EQ(printed({"SINT", "--raw", "ff", "--radix", "16"}), "16#-1");
    EXPECT_EQ(printed({"BOOL", "--raw", "08", "--bit", "3"}), "TRUE");
    EXPECT_EQ(printed({"BOOL", "--raw", "02"}), "Value(2) and Boolean type mismatch");
    EXPECT_EQ(printed({"TIME", "--raw", "c9385e05"}), "T#1d1h1m1s1ms");
    EXPECT_EQ(printed({"STRING", "--raw", "61 27 62 00 78"}), "a$'b");

    const ToolRun json = plcproj({"--json", "value", "DT", "--raw", "f079e065"});
    ASSERT_EQ(json.code, 0) << json.err.toStdString();
    const QJsonObject object = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(object["text"].toString(), "DT#2024-02-29-12:34:56");
    EXPECT_EQ(object["raw"].toString(), "f079e065");
    EXPECT_EQ(object["type"].toString(), "DT");
    EXPECT_EQ(object["radix"].toInt(), 10);
}

TEST_F(PlcprojValue, literalsToRawBytes)
{
    EXPECT_EQ(printed({"SINT", "--text", "200"}), "c8");
    EXPECT_EQ(printed({"TIME", "--text", "T#1s500ms"}), "dc050000");
    EXPECT_EQ(printed({"INT", "--text", "16#-1", "--radix", "16"}), "ffff");
    EXPECT_EQ(printed({"BOOL", "--text", "true", "--bit", "6"}), "40");
    EXPECT_EQ(printed({"STRING", "--text", "a$Nb", "--size", "10"}), "610a6200");
    EXPECT_EQ(printed({"STRING(3)", "--text", "abcdef"}), "61626300");

    const ToolRun json = plcproj({"value", "LREAL", "--text", "0.1", "--json"});
    ASSERT_EQ(json.code, 0) << json.err.toStdString();
    const QJsonObject object = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(object["raw"].toString(), "9a9999999999b93f");
    EXPECT_EQ(object["size"].toInt(), 8);

    // What the tool prints for a literal reads back as the same literal.
    for (const QStringList& value : {QStringList{"LTIME", "LTIME#3d4h5m6s7ms8us9ns"}, QStringList{"TOD", "TOD#23:59:59.999"},
                                     QStringList{"WSTRING", u8"Grüße $'中$'"}, QStringList{"LINT", "-42"}}) {
        const QString raw = printed({value[0], "--text", value[1]});
        EXPECT_EQ(printed({value[0], "--raw", raw}), value[1]);
    }
}

TEST_F(PlcprojValue, refusalsAndUsage)
{
    for (const QStringList& refused : {QStringList{"INT", "--text", "70000"}, QStringList{"INT", "--text", "7O"},
                                       QStringList{"REAL", "--text", ""}, QStringList{"BOOL", "--text", "yes"},
                                       QStringList{"INT", "--raw", "01"}, QStringList{"BOOL", "--raw", "01", "--bit", "8"},
                                       QStringList{"WSTRING", "--raw", "616263"}, QStringList{"NoSuchType", "--raw", "00"},
                                       QStringList{"INT", "--text", "1", "--size", "1"}}) {
        const ToolRun run = plcproj(QStringList{"value"} + refused);
        EXPECT_EQ(run.code, 1) << refused.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << "nothing is printed for a refused value: " << run.out.toStdString();
        EXPECT_TRUE(run.err.startsWith("error: ")) << run.err.toStdString();
        EXPECT_EQ(lines(run.err).size(), 1) << run.err.toStdString();
    }
    for (const QStringList& usage : {QStringList{}, QStringList{"INT"}, QStringList{"INT", "--raw", "00", "--text", "0"},
                                     QStringList{"INT", "--raw", "0", "--radix", "8"}, QStringList{"INT", "--raw", "0g00"},
                                     QStringList{"INT", "--raw", "000"}, QStringList{"INT", "--text", "1", "--size", "two"},
                                     QStringList{"INT", "--raw", "0000", "--bogus"}}) {
        const ToolRun run = plcproj(QStringList{"value"} + usage);
        EXPECT_EQ(run.code, 2) << usage.join(' ').toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith("error: ")) << run.err.toStdString();
    }
}

TEST_F(PlcprojValue, enumerationsOfAProject)
{
    const QString dir = temp.filePath("enum");
    ASSERT_EQ(plcproj({"create", dir, "--name", "Enums"}).code, 0);
    const ToolRun exec = plcproj({"exec", dir, "-c",
                                  "add type Mode --kind enum\n"
                                  "decl type Mode \"TYPE Mode :\\n(\\n    Off,\\n    Auto := 5,\\n    Manual := -3\\n);\\nEND_TYPE\\n\"\n"
                                  "save"});
    ASSERT_EQ(exec.code, 0) << exec.err.toStdString();

    EXPECT_EQ(printed({"Mode", "--raw", "0500", "--project", dir}), "Auto");
    EXPECT_EQ(printed({"Mode", "--raw", "0700", "--project", dir}), "7");
    EXPECT_EQ(printed({"Mode", "--text", "Manual", "--project", dir}), "fdff");
    EXPECT_EQ(printed({"INT", "--text", "5", "--project", dir}), "0500") << "elementary types work with a project too";

    const ToolRun unknownKey = plcproj({"value", "Mode", "--text", "Sideways", "--project", dir});
    EXPECT_EQ(unknownKey.code, 1);
    const ToolRun withoutProject = plcproj({"value", "Mode", "--raw", "0500"});
    EXPECT_EQ(withoutProject.code, 1);
    EXPECT_TRUE(withoutProject.err.contains("unknown type 'Mode'")) << withoutProject.err.toStdString();
    const ToolRun wrongPassword = plcproj({"value", "Mode", "--raw", "0500", "--project", dir, "--password", "nope"});
    EXPECT_EQ(wrongPassword.code, 1);
    EXPECT_TRUE(wrongPassword.err.contains("wrong password")) << wrongPassword.err.toStdString();
}

} // namespace
