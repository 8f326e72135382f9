// The default host and the library's access to it: services looked up by name on every use,
// and a missing application, service or logger is no error.
#include "support/TempDir.h"

#include "datamodel/model/HostServices.h"
#include "host/BackgroundWorker.h"
#include "host/CookieStore.h"
#include "host/DefaultApplication.h"
#include "host/LanguageManager.h"
#include "host/LogService.h"
#include "host/ScriptedDialogs.h"
#include "host/SettingsStore.h"
#include "host/TransferState.h"
#include "host/api/ITransaction.h"

#include "accore/ASTTree.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class RecordingTransaction : public host::ITransaction
{
public:
    RecordingTransaction(std::atomic<int>* ran, std::atomic<int>* deleted, std::thread::id* thread)
        : m_ran(ran), m_deleted(deleted), m_thread(thread)
    {
    }
    ~RecordingTransaction() override { ++*m_deleted; }
    void run() override
    {
        *m_thread = std::this_thread::get_id();
        ++*m_ran;
    }

private:
    std::atomic<int>* m_ran;
    std::atomic<int>* m_deleted;
    std::thread::id* m_thread;
};

TEST(DefaultHost, nothingInstalledIsNoError)
{
    ASSERT_FALSE(qApp->property("IApplication").isValid());
    EXPECT_EQ(HostServices::application(), nullptr);
    HostServices::log("Test", 600, "nobody listens");
    EXPECT_EQ(HostServices::cookie("IDE/ActionState", "idle").toString(), "idle");
    EXPECT_EQ(HostServices::setting("iec.path", "none").toString(), "none");
    EXPECT_FALSE(HostServices::isTransferBusy());
    HostServices::showMessage("Fennick", "nobody sees this", 300);
    EXPECT_TRUE(HostServices::path("Root").isEmpty());
}

TEST(DefaultHost, servicesAreLookedUpAnewOnEveryUse)
{
    host::DefaultApplication app;
    app.install();
    ASSERT_EQ(HostServices::application(), &app);

    HostServices::log("PouModel", 600, u8"加载PouModel数据");
    ASSERT_EQ(app.logs()->entries().size(), 1u);
    const host::LogEntry entry = app.logs()->entries().front();
    EXPECT_EQ(entry.category, "datamodel");
    EXPECT_EQ(entry.module, "PouModel");
    EXPECT_EQ(entry.type, 600);
    EXPECT_EQ(entry.message, u8"加载PouModel数据") << "Chinese log texts arrive as UTF-8, ungarbled";
    HostServices::log("PouModel", 300, "100% done %s %d"); // passed through "%s": never formatted
    EXPECT_EQ(app.logs()->entries().back().message, "100% done %s %d");

    app.cookies()->setValue("IDE/ActionState", "compiling");
    EXPECT_EQ(HostServices::cookie("IDE/ActionState", "idle").toString(), "compiling");
    app.transfer()->setBusy(true);
    EXPECT_TRUE(HostServices::isTransferBusy());

    // A service removed at run time is simply absent from the next lookup on.
    app.removeService(host::ILogManager::ServiceName);
    HostServices::log("PouModel", 600, "dropped");
    EXPECT_EQ(HostServices::get<host::ILogManager>(), nullptr);
    app.removeService(host::ICookies::ServiceName);
    EXPECT_EQ(HostServices::cookie("IDE/ActionState", "idle").toString(), "idle");

    app.setApplicationDir("/opt/ide");
    EXPECT_EQ(HostServices::path("Root"), "/opt/ide");
    QStringList seen;
    app.setMessageSink([&](const QString& title, const QString& text, int code) {
        seen << title + ":" + text + ":" + QString::number(code);
    });
    HostServices::showMessage("Fennick", "sys_include.nvl Load Failed", 300);
    EXPECT_EQ(seen, QStringList({"Fennick:sys_include.nvl Load Failed:300"}));
    EXPECT_EQ(app.messages(), QStringList({"sys_include.nvl Load Failed"}));

    app.uninstall();
    EXPECT_EQ(HostServices::application(), nullptr);
}

TEST(DefaultHost, logFileAndSettingsFile)
{
    testsupport::TempDir temp;
    host::LogService logs(3);
    ASSERT_TRUE(logs.setLogFile(temp.filePath("host.log")));
    host::ILogger* logger = logs.logger("datamodel");
    ASSERT_EQ(logger, logs.logger("datamodel")) << "one logger per category";
    for (int i = 0; i < 5; ++i)
        logger->logFormatted("TaskModel", 600, "%s", ("line " + std::to_string(i)).c_str());
    EXPECT_EQ(logs.entries().size(), 3u) << "only the recent entries are kept in memory";
    EXPECT_EQ(logs.entries().front().message, "line 2");
    QFile file(temp.filePath("host.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines[0].endsWith(" datamodel TaskModel 600 line 0")) << lines[0].toStdString();

    {
        host::SettingsStore settings(temp.filePath("settings.ini"));
        settings.setValue("iec.path", "/opt/iec");
    }
    host::SettingsStore reread(temp.filePath("settings.ini"));
    EXPECT_EQ(reread.value("iec.path").toString(), "/opt/iec");
    EXPECT_EQ(reread.value("General/Language", "en_US").toString(), "en_US");
}

TEST(DefaultHost, backgroundWorkRunsOffTheCallerThreadAndIsDeleted)
{
    std::atomic<int> ran{0}, deleted{0};
    std::thread::id where;
    {
        host::BackgroundWorker worker;
        worker.addTransaction(new RecordingTransaction(&ran, &deleted, &where), true);
        ASSERT_TRUE(worker.waitForIdle(5000));
        EXPECT_EQ(ran, 1);
        EXPECT_EQ(deleted, 1);
        EXPECT_NE(where, std::this_thread::get_id());
        // Work still queued when the worker stops is finished, not dropped.
        for (int i = 0; i < 20; ++i)
            worker.addTransaction(new RecordingTransaction(&ran, &deleted, &where), true);
        worker.addTransaction(nullptr, true);
    }
    EXPECT_EQ(ran, 21);
    EXPECT_EQ(deleted, 21);
}

TEST(DefaultHost, scriptedDialogsAnswerAndRecord)
{
    host::ScriptedDialogs dialogs;
    dialogs.answer(QString("secret"));
    bool ok = false;
    EXPECT_EQ(dialogs.text("Library Password", "Password", true, &ok), "secret");
    EXPECT_TRUE(ok);
    EXPECT_EQ(dialogs.text("Library Password", "Password", true, &ok), QString());
    EXPECT_FALSE(ok) << "no answer left: the prompt is cancelled";
    ASSERT_EQ(dialogs.prompts().size(), 2u);
    EXPECT_EQ(dialogs.prompts()[0].title, "Library Password");
    EXPECT_TRUE(dialogs.prompts()[0].masked);
    EXPECT_EQ(dialogs.message("t", "q", true), host::IDialogs::Button::Cancel);
}

TEST(DefaultHost, structuredTextHandlerParsesIntoTheCoreTree)
{
    host::LanguageManager languages;
    EXPECT_EQ(languages.handler(3), nullptr) << "ladder has no handler in the default host";
    host::IProgramLanguageHandler* st = languages.handler(host::LanguageManager::StructuredText);
    ASSERT_NE(st, nullptr);
    auto tree = st->parse("IF a THEN b := 1; END_IF;", "Main", 0);
    ASSERT_TRUE(tree);
    EXPECT_NE(tree->root(), nullptr);
    EXPECT_TRUE(tree->messages().empty());
    auto broken = st->parse("IF a THEN b := ; END_IF", "Main", 0);
    ASSERT_TRUE(broken);
    EXPECT_FALSE(broken->messages().empty()) << "syntax errors stay in the tree for the core's check";
}

} // namespace
