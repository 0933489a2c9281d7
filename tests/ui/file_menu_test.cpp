// The File menu with scripted dialogs: New, Open, Save, Save As, a bad file and a read-only
// target; the dialogs' start folder, a dropped file, the command line's file and a history that
// cannot be written.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWindow>
#include <functional>

#include "app/command_line.h"
#include "model/defaults.h"
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
    void Write(const char* name, const QByteArray& text, QString folder = {}) const {
        QFile f((folder.isEmpty() ? dir.path() : folder) + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    std::unique_ptr<Harness> h;
    ScriptedDialogs* dialogs = nullptr;
};

// The title bar names the file and marks what it does not hold yet; the caption itself, which
// files record as the saving program, stays the program's. Each row is one step and the title
// after it.
TEST_F(FileMenuTest, TitleNamesTheFileAndMarksUnsavedChanges) {
    MainWindow& w = *h->window;
    w.show();
    const QString caption = "ORV Pro Configuration 1.0";
    const std::pair<std::function<void()>, QString> steps[] = {
        {[] {}, caption},
        // A message of a bank that is not fitted is not kept: nothing to save.
        {[&] { h->edit("txtMsg_0")->setText("PUMP 1 FAILED"); }, caption},
        {[&] { h->edit("txtRIC_4")->setText("0000007"); }, "Untitled* - " + caption},
        {[&] {
             dialogs->saveAnswer = Path("site.ORV");
             w.action("MenuFileSaveAs")->trigger();
         },
         "site.ORV - " + caption},
        {[&] { h->edit("txtRIC_0")->setText("0000042"); }, "site.ORV* - " + caption},
        // Back to what the file holds: nothing unsaved.
        {[&] { h->edit("txtRIC_0")->setText("1000000"); }, "site.ORV - " + caption},
        {[&] { h->combo("lstMod_1")->setCurrentIndex(13); }, "site.ORV* - " + caption},
        {[&] { w.action("MenuFileSave")->trigger(); }, "site.ORV - " + caption},
        {[&] { w.action("MenuFileNew")->trigger(); }, caption},
        {[&] {
             dialogs->openAnswer = Path("site.ORV");
             w.action("MenuFileOpen")->trigger();
         },
         "site.ORV - " + caption},
    };
    int n = 0;
    for (const auto& [step, title] : steps) {
        SCOPED_TRACE(++n);
        step();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.DisplayedTitle() == title; }, 2000))
            << w.DisplayedTitle().toStdString();
        EXPECT_EQ(w.isWindowModified(), title.contains('*'));
        EXPECT_EQ(w.windowTitle(), caption);
        EXPECT_EQ(w.windowHandle()->title(), title);
    }
    EXPECT_EQ(w.windowFilePath(), QDir::toNativeSeparators(Path("site.ORV")));
    EXPECT_TRUE(h->messages.empty());
    // The file records the program, not the title bar.
    EXPECT_TRUE(Read(Path("site.ORV")).startsWith("[Version]\r\nORV Pro=" + caption.toUtf8()));
}

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

// Save over a file that holds another configuration keeps the old one as "before save" only
// when it did replace it: a read-only file is left as it was, and so is the history.
TEST_F(FileMenuTest, SaveThatDidNotWriteKeepsNoBeforeSaveCopy) {
    const struct {
        bool readOnly;
        std::vector<std::string> copies;
    } rows[] = {{true, {}}, {false, {"before save site"}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.readOnly);
        QTemporaryDir data;
        ScopedEnv env(kHistoryBaseVariable, data.path());
        Harness w;
        auto d = std::make_unique<ScriptedDialogs>();
        d->saveAnswer = Path("site.ORV");
        w.window->setFileDialogProvider(std::move(d));
        QFile::setPermissions(Path("site.ORV"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QFile::remove(Path("site.ORV"));
        w.window->action("MenuFileSaveAs")->trigger();
        const QByteArray saved = Read(Path("site.ORV"));
        ASSERT_FALSE(saved.isEmpty());
        w.edit("txtRIC_0")->setText("0000042");
        if (row.readOnly) QFile::setPermissions(Path("site.ORV"), QFileDevice::ReadOwner);
        w.window->action("MenuFileSave")->trigger();
        EXPECT_EQ(HistoryCopies(*w.window), row.copies);
        EXPECT_EQ(Read(Path("site.ORV")) == saved, row.readOnly);
        ASSERT_EQ(w.messages.size(), row.readOnly ? 1u : 0u);
        if (row.readOnly) {
            EXPECT_TRUE(w.messages[0].text.startsWith("The configuration was not saved."));
        }
    }
    QFile::setPermissions(Path("site.ORV"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(FileMenuTest, DialogsStartInTheDocumentsFolderWhenTheStoredOneWillNotDo) {
    const QString locked = Path("locked") + "/";
#ifdef _WIN32
    // The user's own Documents folder: Windows says where it is, no setting moves it.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const bool writesAnywhere = true;  // a folder's read-only attribute keeps no file out
#else
    const QString documents = Path("Documents");
    Write("user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + documents.toUtf8() + "\"\n",
          qEnvironmentVariable("XDG_CONFIG_HOME"));
    ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), documents);
    const bool writesAnywhere = ::geteuid() == 0;  // root
#endif
    ASSERT_TRUE(QDir().mkpath(documents) && QDir().mkpath(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const std::pair<QString, QString> cases[] = {
        {dir.path() + "/", dir.path() + "/"},
        {Path("gone") + "/", documents},
        {"", documents},
        {locked, writesAnywhere ? locked : documents},
    };
    for (const auto& [stored, start] : cases) {
        SCOPED_TRACE(stored.toStdString());
        PutSetting("Path", stored);
        Harness w;
        auto asked = std::make_unique<ScriptedDialogs>();
        const ScriptedDialogs& r = *asked;
        w.window->setFileDialogProvider(std::move(asked));
        w.window->action("MenuFileOpen")->trigger();
        w.window->action("MenuFileSaveAs")->trigger();
        ASSERT_TRUE(r.openRequests.size() == 1 && r.saveRequests.size() == 1);
        EXPECT_EQ(r.openRequests[0].directory, start);
        EXPECT_EQ(r.saveRequests[0].directory, start);
        EXPECT_EQ(r.openRequests[0].sidebarFolder.toStdString(), w.window->history().folder());
        EXPECT_EQ(w.window->storedPath(), stored);  // only the dialogs start elsewhere
    }
    QFile::remove(qEnvironmentVariable("XDG_CONFIG_HOME") + "/user-dirs.dirs");
    QFile::setPermissions(locked, QFile::permissions(documents));
}

// A dropped file and the file named on the command line open exactly as File > Open does.
TEST_F(FileMenuTest, DroppedAndCommandLineFilesOpenAsOpenDoes) {
    MainWindow& w = *h->window;
    // An image of 0xFF bytes decodes with warnings (no known port rates or formats).
    Write("codes.orv",
          "[Module]\r\nBank 1=0\r\nBank 2=0\r\nBank 3=0\r\nBank 4=0\r\n[EEprom]\r\n"
          "Contents=" +
              QByteArray(8192, 'F') + "\r\n");
    Write("bad.ORV", "[General]\r\nVersion Line 1=FW 9\r\n");
    EXPECT_FALSE(DropFile(&w, Path("notes.txt")));
    for (const bool drop : {true, false}) {
        SCOPED_TRACE(drop ? "drop" : "command line");
        h->messages.clear();
        w.action("MenuFileNew")->trigger();
        h->edit("txtMsg_1")->setText("KEEP ME");
        const ConfigRecord before = w.record();
        auto open = [&](const char* file) {
            if (drop) return DropFile(h->edit("txtMsg_1"), Path(file));
            QDir::setCurrent(dir.path());  // a relative name is taken from the current folder
            const std::optional<QString> path = app::ParseCommandLine({"orv-config", file});
            if (path) w.OpenFile(*path);
            return path == Path(file);
        };
        EXPECT_TRUE(open("bad.ORV"));
        ASSERT_EQ(h->messages.size(), 1u);
        EXPECT_TRUE(h->messages[0].text.startsWith("The configuration file could not be opened."));
        EXPECT_TRUE(w.record() == before);

        EXPECT_TRUE(open("codes.orv"));
        ASSERT_EQ(h->messages.size(), 2u);
        const QStringList lines = h->messages[1].text.split('\n');
        EXPECT_GT(lines.size(), 2);
        EXPECT_EQ(lines.size(), QSet<QString>(lines.begin(), lines.end()).size())
            << h->messages[1].text.toStdString();  // each warning once
        EXPECT_EQ(w.storedPath() + w.storedFileName(), QDir::toNativeSeparators(Path("codes.orv")));
        EXPECT_EQ(h->edit("txtFileName")->text(), "codes.orv");
        EXPECT_EQ(h->edit("txtMsg_1")->text(), "");
    }
}

TEST_F(FileMenuTest, HistoryThatCannotBeWrittenIsSaidOnceAndStopsNothing) {
    Write("not-a-folder", "");
    ScopedEnv env(kHistoryBaseVariable, Path("not-a-folder"));
    Harness w;
    for (int k = 0; k < 2; ++k) {
        w.edit("txtRIC_0")->setText("42");
        w.window->action("MenuFileNew")->trigger();
        EXPECT_EQ(w.edit("txtRIC_0")->text(), "1000000");
    }
    ASSERT_EQ(w.messages.size(), 1u);
    EXPECT_TRUE(w.messages[0].text.contains(QString::fromStdString(w.window->history().folder())));
}

// Save must not write into the history, where pruning would in time delete the work.
TEST_F(FileMenuTest, CopyTakenBackFromTheHistoryIsUntitled) {
    h->combo("lstMod_0")->setCurrentIndex(15);
    h->edit("txtMsg_1")->setText("KEEP ME");
    h->window->action("MenuFileNew")->trigger();
    const std::vector<HistoryEntry> copies = h->window->history().List();  // newest first
    ASSERT_TRUE(!copies.empty() && copies[0].event == "before new");
    dialogs->openAnswer = QString::fromStdString(copies[0].path);
    h->window->action("MenuFileOpen")->trigger();
    EXPECT_EQ(h->edit("txtMsg_1")->text(), "KEEP ME");
    EXPECT_EQ(h->edit("txtFileName")->text(), "");
    h->window->action("MenuFileSave")->trigger();
    EXPECT_EQ(dialogs->saveRequests.size(), 1u);  // Save asks where to keep it
}

// A name beyond Latin-1 (an en dash) shows as the file system spells it, names the history copy
// and is the file Save writes to.
TEST_F(FileMenuTest, FileNameBeyondLatin1IsShownAndKeptAsItIs) {
    const QString name = QString::fromUtf8("site \u2013 east.ORV");
    h->window->action("MenuFileNew")->trigger();
    dialogs->saveAnswer = dir.path() + "/" + name;
    h->window->action("MenuFileSaveAs")->trigger();
    h->window->action("MenuFileNew")->trigger();
    dialogs->openAnswer = dialogs->saveAnswer;
    h->window->action("MenuFileOpen")->trigger();
    EXPECT_EQ(h->edit("txtFileName")->text(), name);
    h->edit("txtRIC_0")->setText("42");
    h->window->action("MenuFileSave")->trigger();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{name});
    h->edit("txtRIC_0")->setText("43");
    h->window->action("MenuFileNew")->trigger();
    const std::vector<std::string> copies = HistoryCopies(*h->window);
    EXPECT_NE(std::find(copies.begin(), copies.end(), "before new site \u2013 east"), copies.end());
    EXPECT_TRUE(h->messages.empty());
}

// Open History lists the copies by when they were written, newest first, as orv-cli history does.
TEST_F(FileMenuTest, OpenHistoryListsTheNewestCopyFirst) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' own dialog lists the history, in the order its user chooses.";
#endif
    QTemporaryDir data;
    ScopedEnv env(kHistoryBaseVariable, data.path());
    Harness w;  // with the real dialogs
    const QString folder = QString::fromStdString(w.window->history().folder());
    QDir().mkpath(folder);
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto& [name, age] : {std::pair{"a.ORV", 20}, {"b.ORV", 0}, {"c.ORV", 10}}) {
        Write(name, "", folder);
        QFile f(folder + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(now.addSecs(-age), QFileDevice::FileModificationTime));
    }
    QStringList listed;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dlg);
        auto* view = dlg->findChild<QTreeView*>("treeView");
        auto names = [&] {
            listed.clear();
            for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r)
                listed << view->model()->index(r, 0, view->rootIndex()).data().toString();
            return listed == QStringList{"b.ORV", "c.ORV", "a.ORV"};
        };
        EXPECT_TRUE(QTest::qWaitFor(names, 5000));
        dlg->reject();
    });
    w.window->action("MenuUnitHistory")->trigger();
    EXPECT_EQ(listed, (QStringList{"b.ORV", "c.ORV", "a.ORV"}));
}

// Open offers the history folder: as a place beside the usual ones in Qt's dialog; on Windows,
// whose own dialog takes no extra places and is what its users expect, by Open History starting
// in it. Save As is always the platform's own.
TEST_F(FileMenuTest, DialogsOfferTheHistoryInThePlatformsWay) {
    const QString history = QString::fromStdString(h->window->history().folder());
    h->window->action("MenuFileOpen")->trigger();
    h->window->action("MenuUnitHistory")->trigger();
    h->window->action("MenuFileSaveAs")->trigger();
    ASSERT_EQ(dialogs->openRequests.size(), 2u);
    ASSERT_EQ(dialogs->saveRequests.size(), 1u);
    EXPECT_EQ(dialogs->openRequests[0].sidebarFolder, history);
    EXPECT_EQ(dialogs->openRequests[1].directory, history);

    QFileDialog open, save;
    ConfigureFileDialog(open, dialogs->openRequests[0], false);
    ConfigureFileDialog(save, dialogs->saveRequests[0], true);
    EXPECT_FALSE(save.testOption(QFileDialog::DontUseNativeDialog));
#ifdef _WIN32
    EXPECT_FALSE(open.testOption(QFileDialog::DontUseNativeDialog));
#else
    EXPECT_TRUE(open.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_TRUE(open.sidebarUrls().contains(QUrl::fromLocalFile(history)));
#endif
    EXPECT_EQ(open.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(QDir(open.directory()), QDir(dialogs->openRequests[0].directory));
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
