// The File menu with scripted dialogs: New, Open, Save, Save As, a bad file and a read-only
// target; the dialogs' start folder, a dropped file, the command line's file and a history that
// cannot be written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "model/defaults.h"
#include "shell/command_line.h"
#include "ui_test_util.h"

namespace orv::ui::test {
namespace {

class FileMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearSettings();
        ASSERT_TRUE(dir.isValid());
        h = std::make_unique<Harness>();
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        h->window->setFileDialogProvider(std::move(d));
    }
    QString Path(const char* name) const { return dir.path() + "/" + name; }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    std::unique_ptr<Harness> h;
    ScriptedDialogs* dialogs = nullptr;
};

TEST_F(FileMenuTest, SaveAsThenOpenRestoresTheConfiguration) {
    MainWindow& w = *h->window;
    h->combo("lstMod_0")->setCurrentIndex(13);
    h->combo("lstMod_2")->setCurrentIndex(14);
    h->edit("txtMsg_0")->setText("DOOR 1 OPEN");
    h->edit("txtRIC_0")->setText("0001234");
    h->edit("txtRlyRIC_131")->setText("15");
    h->combo("lstRlyBeep_50")->setCurrentIndex(4);

    dialogs->saveAnswer = Path("site.ORV");
    w.action("MenuFileSaveAs")->trigger();
    ASSERT_EQ(dialogs->saveRequests.size(), 1u);
    EXPECT_EQ(dialogs->saveRequests[0].title, "Save Configuration File");
    EXPECT_EQ(dialogs->saveRequests[0].filter, "ORV (*.ORV);;All Files (*.*)");
    EXPECT_TRUE(h->messages.empty());
    EXPECT_EQ(h->edit("txtFileName")->text(), "site.ORV");
    EXPECT_EQ(w.storedFileName(), "site.ORV");
    EXPECT_EQ(w.storedPath(), dir.path() + "/");
    const QByteArray saved = Read(Path("site.ORV"));
    EXPECT_TRUE(saved.startsWith("[Version]\r\nORV Pro=ORV Pro Configuration 1.0\r\n"));
    EXPECT_TRUE(saved.contains("Bank 1=13\r\n"));
    const ConfigRecord before = w.record();

    w.action("MenuFileNew")->trigger();
    EXPECT_EQ(h->edit("txtMsg_0")->text(), "BANK 1 CHAN 1 RESET");
    EXPECT_EQ(h->edit("txtFileName")->text(), "");
    EXPECT_EQ(w.moduleTypes()[0], 0);

    dialogs->openAnswer = Path("site.ORV");
    w.action("MenuFileOpen")->trigger();
    ASSERT_EQ(dialogs->openRequests.size(), 1u);
    EXPECT_EQ(dialogs->openRequests[0].title, "Open Configuration File");
    // The dialog starts where the last file was, with its name.
    EXPECT_EQ(dialogs->openRequests[0].directory, dir.path() + "/");
    EXPECT_EQ(dialogs->openRequests[0].fileName, "site.ORV");
    EXPECT_TRUE(h->messages.empty());
    EXPECT_TRUE(w.record() == before);
    EXPECT_EQ(h->edit("txtMsg_0")->text(), "DOOR 1 OPEN");
    EXPECT_EQ(h->combo("lstMod_0")->currentIndex(), 13);
    EXPECT_EQ(h->find<QGroupBox>("frmBankType_2")->title(),
              "Type 14: 8-Channel Relay Output Module");
    EXPECT_EQ(h->combo("lstRlyBeep_50")->currentText(), "ALL");
    EXPECT_EQ(h->edit("txtFileName")->text(), "site.ORV");
}

TEST_F(FileMenuTest, SaveWritesWithoutADialogOnceTheConfigurationHasAFile) {
    MainWindow& w = *h->window;
    h->combo("lstMod_0")->setCurrentIndex(15);  // messages of a bank without module are dropped
    // No file yet: Save asks for a name; cancelling writes nothing.
    dialogs->saveAnswer.reset();
    w.action("MenuFileSave")->trigger();
    EXPECT_EQ(dialogs->saveRequests.size(), 1u);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    dialogs->saveAnswer = Path("a.ORV");
    w.action("MenuFileSave")->trigger();
    ASSERT_EQ(dialogs->saveRequests.size(), 2u);
    h->edit("txtMsg_4")->setText("CHANGED");
    w.action("MenuFileSave")->trigger();
    EXPECT_EQ(dialogs->saveRequests.size(), 2u);  // no dialog this time
    EXPECT_TRUE(Read(Path("a.ORV")).contains("[EEprom]"));
    const ConfigRecord saved = w.record();

    // Clear Form forgets the file; the next Save offers the old name again.
    w.action("Clear")->trigger();
    EXPECT_EQ(h->edit("txtFileName")->text(), "");
    dialogs->saveAnswer.reset();
    w.action("MenuFileSave")->trigger();
    ASSERT_EQ(dialogs->saveRequests.size(), 3u);
    EXPECT_EQ(dialogs->saveRequests[2].fileName, "a.ORV");

    EXPECT_EQ(h->edit("txtMsg_4")->text(), "BANK 1 CHAN 2 RESET");
    dialogs->openAnswer = Path("a.ORV");
    w.action("MenuFileOpen")->trigger();
    EXPECT_EQ(h->edit("txtMsg_4")->text(), "CHANGED");
    EXPECT_TRUE(w.record() == saved);
}

TEST_F(FileMenuTest, BadFilesChangeNothingAndSayWhatIsWrong) {
    MainWindow& w = *h->window;
    struct Bad {
        const char* name;
        const char* text;
    };
    const Bad cases[] = {
        {"nomodule.ORV", "[General]\r\nVersion Line 1=FW 9\r\n"},
        {"short.ORV",
         "[Module]\r\nBank 1=0\r\nBank 2=0\r\nBank 3=0\r\nBank 4=0\r\n"
         "[EEprom]\r\nContents=00FF\r\n"},
        {"letters.ORV", "[Module]\r\nBank 1=x\r\n"},
    };
    h->edit("txtMsg_1")->setText("KEEP ME");
    w.moduleTypes()[3] = 15;
    w.ApplyModuleTypes();
    for (const Bad& b : cases) {
        SCOPED_TRACE(b.name);
        QFile f(Path(b.name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(b.text);
        f.close();
        const ConfigRecord before = w.record();
        const ModuleTypes types = w.moduleTypes();
        const Image image = w.image();
        h->messages.clear();
        dialogs->openAnswer = Path(b.name);
        w.action("MenuFileOpen")->trigger();
        ASSERT_EQ(h->messages.size(), 1u);
        EXPECT_TRUE(h->messages[0].text.contains(b.name)) << h->messages[0].text.toStdString();
        EXPECT_TRUE(w.record() == before);
        EXPECT_EQ(w.moduleTypes(), types);
        EXPECT_EQ(w.image(), image);
        EXPECT_EQ(w.storedFileName(), "");
        EXPECT_EQ(h->edit("txtMsg_1")->text(), "KEEP ME");
    }
    // A missing file is refused by the dialog; cancelling changes nothing either.
    dialogs->openAnswer.reset();
    h->messages.clear();
    w.action("MenuFileOpen")->trigger();
    EXPECT_TRUE(h->messages.empty());
}

TEST_F(FileMenuTest, ReadOnlyTargetIsReportedAndNothingChanges) {
    MainWindow& w = *h->window;
    const QString target = Path("locked.ORV");
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Other]\r\nkeep=1\r\n");
    }
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    dialogs->saveAnswer = target;
    w.action("MenuFileSaveAs")->trigger();
    ASSERT_EQ(h->messages.size(), 1u);
    EXPECT_TRUE(h->messages[0].text.contains("locked.ORV"));
    EXPECT_EQ(Read(target), "[Other]\r\nkeep=1\r\n");
    EXPECT_EQ(w.storedFileName(), "");
    EXPECT_EQ(h->edit("txtFileName")->text(), "");
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(FileMenuTest, DialogsStartInTheDocumentsFolderWhenTheStoredOneWillNotDo) {
    const QString documents = Path("Documents");
    ASSERT_TRUE(QDir().mkpath(documents));
    QFile dirs(qEnvironmentVariable("XDG_CONFIG_HOME") + "/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write(("XDG_DOCUMENTS_DIR=\"" + documents + "\"\n").toUtf8());
    dirs.close();
    ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), documents);
    const QString locked = Path("locked") + "/";
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const struct {
        QString stored;
        QString start;
    } cases[] = {
        {dir.path() + "/", dir.path() + "/"},
        {Path("gone") + "/", documents},
        {"", documents},
        {locked, ::geteuid() == 0 ? locked : documents},  // root writes anywhere
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        PutSetting("Path", c.stored);
        Harness w;
        auto d = std::make_unique<ScriptedDialogs>();
        ScriptedDialogs* asked = d.get();
        w.window->setFileDialogProvider(std::move(d));
        w.window->action("MenuFileOpen")->trigger();
        w.window->action("MenuFileSaveAs")->trigger();
        ASSERT_EQ(asked->openRequests.size(), 1u);
        ASSERT_EQ(asked->saveRequests.size(), 1u);
        EXPECT_EQ(asked->openRequests[0].directory, c.start);
        EXPECT_EQ(asked->saveRequests[0].directory, c.start);
        EXPECT_EQ(asked->openRequests[0].sidebarFolder,
                  QString::fromStdString(w.window->history().folder()));
        EXPECT_EQ(w.window->storedPath(), c.stored);  // only the dialog starts elsewhere
    }
    QFile::remove(dirs.fileName());
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// A dropped file and the file named on the command line open exactly as File > Open does.
TEST_F(FileMenuTest, DroppedAndCommandLineFilesOpenAsOpenDoes) {
    MainWindow& w = *h->window;
    // An image of 0xFF bytes decodes with warnings (no known port rates or formats).
    QFile codes(Path("codes.orv"));
    ASSERT_TRUE(codes.open(QIODevice::WriteOnly));
    codes.write(
        "[Module]\r\nBank 1=0\r\nBank 2=0\r\nBank 3=0\r\nBank 4=0\r\n[EEprom]\r\nContents=" +
        QByteArray(8192, 'F') + "\r\n");
    codes.close();
    QFile bad(Path("bad.ORV"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("[General]\r\nVersion Line 1=FW 9\r\n");
    bad.close();
    const QString notConfig = Path("notes.txt");
    EXPECT_FALSE(DropFile(&w, notConfig));

    for (const char* way : {"drop", "command line"}) {
        SCOPED_TRACE(way);
        h->messages.clear();
        w.action("MenuFileNew")->trigger();
        h->edit("txtMsg_1")->setText("KEEP ME");
        const ConfigRecord before = w.record();
        const bool drop = std::string(way) == "drop";
        auto open = [&](const QString& file) {
            if (drop) {
                EXPECT_TRUE(DropFile(h->edit("txtMsg_1"), Path(file.toUtf8().constData())));
            } else {
                QDir::setCurrent(dir.path());  // a relative name is taken from the current folder
                const std::optional<QString> path = shell::ParseCommandLine({"orv-config", file});
                ASSERT_TRUE(path.has_value());
                EXPECT_EQ(*path, Path(file.toUtf8().constData()));
                w.OpenFile(*path);
            }
        };
        open("bad.ORV");
        ASSERT_EQ(h->messages.size(), 1u);
        EXPECT_TRUE(h->messages[0].text.startsWith("The configuration file could not be opened."));
        EXPECT_TRUE(w.record() == before);
        EXPECT_EQ(h->edit("txtMsg_1")->text(), "KEEP ME");

        open("codes.orv");
        ASSERT_EQ(h->messages.size(), 2u);
        const QStringList lines = h->messages[1].text.split('\n');
        EXPECT_GT(lines.size(), 2);
        EXPECT_EQ(lines.size(), QSet<QString>(lines.begin(), lines.end()).size())
            << h->messages[1].text.toStdString();  // each warning once
        EXPECT_EQ(w.storedFileName(), "codes.orv");
        EXPECT_EQ(w.storedPath(), dir.path() + "/");
        EXPECT_EQ(h->edit("txtFileName")->text(), "codes.orv");
        EXPECT_EQ(h->edit("txtMsg_1")->text(), "");
    }
}

TEST_F(FileMenuTest, HistoryThatCannotBeWrittenIsSaidOnceAndStopsNothing) {
    QFile blocker(Path("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ScopedEnv env("XDG_DATA_HOME", blocker.fileName());
    Harness w;
    for (int k = 0; k < 2; ++k) {
        w.edit("txtRIC_0")->setText("42");
        w.window->action("MenuFileNew")->trigger();
        EXPECT_EQ(w.edit("txtRIC_0")->text(), "1000000");
    }
    ASSERT_EQ(w.messages.size(), 1u);
    EXPECT_TRUE(w.messages[0].text.contains(QString::fromStdString(w.window->history().folder())));
}

TEST_F(FileMenuTest, CopyTakenBackFromTheHistoryIsUntitled) {
    MainWindow& w = *h->window;
    h->combo("lstMod_0")->setCurrentIndex(15);
    h->edit("txtMsg_1")->setText("KEEP ME");
    w.action("MenuFileNew")->trigger();  // keeps the edited configuration
    const std::vector<HistoryEntry> copies = w.history().List();
    ASSERT_FALSE(copies.empty());  // newest first
    ASSERT_EQ(copies[0].event, "before new");
    dialogs->openAnswer = QString::fromStdString(copies[0].path);
    w.action("MenuFileOpen")->trigger();
    EXPECT_EQ(h->edit("txtMsg_1")->text(), "KEEP ME");
    EXPECT_EQ(h->edit("txtFileName")->text(), "");
    EXPECT_NE(w.storedPath().toStdString(), w.history().folder() + "/");
    w.action("MenuFileSave")->trigger();
    EXPECT_EQ(dialogs->saveRequests.size(), 1u);  // Save asks where to keep it
}

TEST_F(FileMenuTest, NewKeepsTheLanAndPortSettings) {
    MainWindow& w = *h->window;
    h->edit("txtIP_0")->setText("192");
    h->combo("lstPortBaudrate_0")->setCurrentIndex(2);
    h->edit("txtRIC_9")->setText("77");
    w.action("MenuFileNew")->trigger();
    w.action("MenuFileNew")->trigger();
    EXPECT_EQ(h->edit("txtIP_0")->text(), "192");
    EXPECT_EQ(h->combo("lstPortBaudrate_0")->currentIndex(), 2);
    EXPECT_EQ(h->edit("txtRIC_9")->text(), "1000002");
}

}  // namespace
}  // namespace orv::ui::test
