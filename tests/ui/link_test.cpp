// The link buttons through the window against orv-unit-sim on a pseudo-terminal: Connect, Read,
// Write, Auto Baud, Size, a lost connection, the history copies of what could be lost, and the
// Unit menu.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <fstream>
#include <functional>

#include "../link/sim_process.h"
#include "files/config_file.h"
#include "link/qt/port_settings.h"
#include "model/defaults.h"
#include "ui/link_controller.h"
#include "ui/port_mapping_dialog.h"
#include "ui_test_util.h"

namespace orv::ui::test {
namespace {

class WindowLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearSettings();
        ASSERT_TRUE(dir.isValid());
        h = std::make_unique<Harness>();
        h->window->show();
    }
    void StartSim(std::vector<std::string> args) {
        sim = std::make_unique<orv::test::SimProcess>(ORV_UNIT_SIM_PATH, std::move(args),
                                                      dir.path().toStdString() + "/sim.log");
        const std::string device = sim->Device();
        // COM1 (the selected port) is the simulator's pseudo-terminal.
        h->window->link()->setLookup([device](int com) -> std::optional<std::string> {
            if (com == 1) return device;
            return std::nullopt;
        });
    }
    // Points w's COM1 at the running simulator.
    void UseSim(Harness& w) {
        const std::string device = sim->Device();
        w.window->link()->setLookup([device](int) { return std::optional<std::string>(device); });
    }
    // A file with the defaults for these module types, message 0 and version line 1 as given.
    QString MakeFile(const char* name, ModuleTypes types, const char* message,
                     const char* version = "") {
        StartupState state = MakeStartupState();
        ConfigRecord& rec = state.rec;
        Image image{};
        rec.txtMsg[0] = message;
        rec.txtVer[0] = version;
        const QString path = dir.path() + "/" + name;
        const WriteConfigResult r = WriteConfigFile(path.toStdString(), rec, types, image, "ORV");
        EXPECT_TRUE(r.ok) << r.error;
        return path;
    }
    QPushButton* button(const char* name) { return h->find<QPushButton>(name); }
    QLabel* label(const char* name) { return h->find<QLabel>(name); }

    QTemporaryDir dir;
    std::unique_ptr<Harness> h;
    std::unique_ptr<orv::test::SimProcess> sim;
};

TEST_F(WindowLinkTest, ConnectShowsVersionModulesAndTheConnectedState) {
    StartSim({"--version1", "ORV V2.13", "--version2", "Build 7", "--modules", "13,14,15,0"});
    button("cmdConnect")->click();
    EXPECT_TRUE(h->messages.empty());
    EXPECT_EQ(label("lblConnected")->text(), "Connected");
    EXPECT_EQ(label("lblConnected")->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_EQ(button("cmdConnect")->text(), "Dis&connect");
    EXPECT_TRUE(h->window->connectTimer()->isActive());
    for (const char* b : {"cmdGet", "cmdPut", "cmdReset", "cmdMACwrite", "cmdMeasurePulse"})
        EXPECT_FALSE(button(b)->testAttribute(Qt::WA_ForceDisabled)) << b;
    EXPECT_EQ(h->edit("txtVer_0")->text(), "ORV V2.13");
    EXPECT_EQ(h->edit("txtVer_1")->text(), "Build 7");
    EXPECT_EQ(h->combo("lstMod_0")->currentText(), "Type 13: 16-Channel Dry Contact Input Module");
    EXPECT_EQ(h->combo("lstMod_1")->currentText(), "Type 14: 8-Channel Relay Output Module");
    EXPECT_EQ(h->combo("lstMod_3")->currentText(), "NOT FITTED");
    EXPECT_FALSE(label("lblBusy")->isVisible());
    // The unit's module types replaced the editor's: the line beside the bar says which.
    QLabel* line = label("lblUnitCheck");
    EXPECT_TRUE(line->isVisible());
    const QRegularExpression connectedAt("^Connected at \\d\\d:\\d\\d:\\d\\d");
    EXPECT_TRUE(line->text().contains(connectedAt)) << line->text().toStdString();
    EXPECT_TRUE(
        line->text().contains("; module types from the unit: Bank 1: NOT FITTED -> Type "
                              "13; Bank 2: "))
        << line->text().toStdString();
    EXPECT_TRUE(line->toolTip().endsWith(
        "\nModule types from the unit:\n"
        "Bank 1: NOT FITTED -> Type 13 (16-Channel Dry Contact Input Module)\n"
        "Bank 2: NOT FITTED -> Type 14 (8-Channel Relay Output Module)\n"
        "Bank 3: NOT FITTED -> Type 15 (16-Channel Opto-Isolated DC Voltage Input Module)"))
        << line->toolTip().toStdString();

    // Disconnect needs no exchange, and the line no longer speaks of that Connect.
    button("cmdConnect")->click();
    EXPECT_TRUE(line->text().startsWith("Disconnected at ")) << line->text().toStdString();
    EXPECT_FALSE(line->toolTip().contains("Module types")) << line->toolTip().toStdString();
    EXPECT_EQ(label("lblConnected")->text(), "Disconnected");
    EXPECT_EQ(label("lblConnected")->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_FALSE(h->window->connectTimer()->isActive());
    EXPECT_FALSE(button("cmdGet")->isEnabled());
}

TEST_F(WindowLinkTest, WriteThenReadBringsTheConfigurationBack) {
    StartSim({"--modules", "15,13,14,0"});
    button("cmdConnect")->click();
    ASSERT_TRUE(h->window->IsConnected());
    h->edit("txtMsg_0")->setText("BOILER HOUSE FIRE");
    h->edit("txtRIC_0")->setText("0123456");
    h->combo("lstRlyBeep_50")->setCurrentIndex(4);
    h->edit("txtRlyRIC_131")->setText("30");
    button("cmdPut")->click();
    EXPECT_TRUE(h->messages.empty()) << h->messages[0].text.toStdString();
    EXPECT_FALSE(h->find<QProgressBar>("pb100")->isVisible());
    EXPECT_NE(label("lblSize")->text(), "0.00%");
    const ConfigRecord written = h->window->record();

    h->window->SetDefaults();
    h->window->moduleTypes() = {15, 13, 14, 0};
    h->window->ApplyModuleTypes();
    EXPECT_EQ(h->edit("txtMsg_0")->text(), "BANK 1 CHAN 1 RESET");
    button("cmdGet")->click();
    EXPECT_TRUE(h->messages.empty());
    EXPECT_EQ(h->edit("txtMsg_0")->text(), "BOILER HOUSE FIRE");
    EXPECT_EQ(h->edit("txtRIC_0")->text(), "0123456");
    EXPECT_EQ(h->combo("lstRlyBeep_50")->currentText(), "ALL");
    EXPECT_EQ(h->edit("txtRlyRIC_131")->text(), "30");
    EXPECT_EQ(label("lblConnected")->text(), "Connected");
    EXPECT_FALSE(label("lblBusy")->isVisible());
    EXPECT_FALSE(h->find<QProgressBar>("pb100")->isVisible());
    ConfigRecord read = h->window->record();
    read.txtVer = written.txtVer;
    EXPECT_TRUE(read == written);
}

TEST_F(WindowLinkTest, AutoBaudFindsTheUnitsRate) {
    StartSim({"--baud", "9600", "--modules", "15,0,0,0"});
    h->combo("lstBaudPC")->setCurrentIndex(0);
    button("cmdAutoBaud")->click();
    EXPECT_TRUE(h->window->IsConnected());
    EXPECT_EQ(h->combo("lstBaudPC")->currentText(), "9600");
    EXPECT_EQ(h->window->record().lstBaudPC, 5);
    EXPECT_EQ(h->combo("lstMod_0")->currentIndex(), 15);
    EXPECT_TRUE(h->messages.empty());
}

TEST_F(WindowLinkTest, LostConnectionSwitchesToDisconnectedWithoutAMessage) {
    StartSim({});
    button("cmdConnect")->click();
    ASSERT_TRUE(h->window->IsConnected());
    sim->Freeze();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !h->window->IsConnected(); }, 4000));
    EXPECT_EQ(label("lblConnected")->text(), "Disconnected");
    EXPECT_TRUE(h->messages.empty());
    EXPECT_FALSE(h->window->connectTimer()->isActive());
}

TEST_F(WindowLinkTest, PortThatWillNotOpenIsReported) {
    h->window->link()->setLookup(
        [](int) -> std::optional<std::string> { return "/dev/orv-no-such-device"; });
    button("cmdConnect")->click();
    ASSERT_EQ(h->messages.size(), 1u);
    EXPECT_TRUE(h->messages[0].text.startsWith("Unable to open selected Coms Port"));
    EXPECT_EQ(h->messages[0].title, "ORV Pro Configuration");
    EXPECT_FALSE(h->window->IsConnected());
}

TEST_F(WindowLinkTest, TimerChecksWithTheRateChosenSinceConnecting) {
    StartSim({"--baud", "9600"});
    button("cmdConnect")->click();
    ASSERT_TRUE(h->window->IsConnected());
    // The unit does not answer at 115200: the next check must use the new choice. The choice
    // changes again while that check waits for its answer (the thread sanitizer build watches
    // the check and the window for a shared read and write).
    h->combo("lstBaudPC")->setCurrentIndex(9);
    ASSERT_TRUE(QTest::qWaitFor([&] { return h->window->link()->Busy(); }, 4000));
    h->combo("lstBaudPC")->setCurrentIndex(8);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !h->window->IsConnected(); }, 4000));
    EXPECT_TRUE(h->messages.empty());
}

// Each row starts a fresh window with its own history folder, runs its steps and lists the
// copies that appeared, newest first.
TEST_F(WindowLinkTest, HistoryKeepsWhatEachEventWouldLose) {
    struct Row {
        std::vector<const char*> steps;
        std::vector<std::string> copies;
    };
    const Row rows[] = {
        {{"exit"}, {}},
        {{"change", "exit"}, {"before exit untitled"}},
        {{"change", "back", "exit"}, {}},
        {{"change", "new", "new"}, {"before new untitled"}},
        {{"change", "clear"}, {"before clear form untitled"}},
        {{"change", "open", "change", "exit"}, {"before exit site", "before open untitled"}},
        {{"open", "exit"}, {}},
        {{"change", "save", "exit"}, {}},
        {{"size", "exit"}, {}},  // Size's normalising changes nothing the unit would store
        {{"change", "drop"}, {"before open untitled"}},
        {{"connect", "read"}, {"read ORV V2.13"}},
        {{"connect", "change", "read"}, {"read ORV V2.13", "before read untitled"}},
        {{"connect", "change", "write"}, {"write untitled"}},
        // Last: these save over site.ORV.
        {{"open", "ctrl-s"}, {}},
        {{"open", "connect", "read", "ctrl-s"}, {"before save site", "read ORV V2.13"}},
    };
    StartSim({"--version1", "ORV V2.13", "--modules", "15,13,0,0"});
    const std::string device = sim->Device();
    const QString site = dir.path() + "/site.ORV";
    {
        ConfigRecord rec = h->window->record();
        ModuleTypes types{13, 0, 0, 0};
        Image image{};
        ASSERT_TRUE(WriteConfigFile(site.toStdString(), rec, types, image, "ORV").ok);
    }
    int n = 0;
    for (const Row& row : rows) {
        std::string trace;
        for (const char* step : row.steps) trace += std::string(step) + " ";
        SCOPED_TRACE(trace);
        QTemporaryDir data;
        ScopedEnv env(kHistoryBaseVariable, data.path());
        Harness w;
        auto dialogs = std::make_unique<ScriptedDialogs>();
        dialogs->openAnswer = site;
        dialogs->saveAnswer = dir.path() + QString("/saved%1.ORV").arg(++n);
        w.window->setFileDialogProvider(std::move(dialogs));
        w.window->link()->setLookup([device](int) { return std::optional<std::string>(device); });
        QLineEdit* ric = w.edit("txtRIC_0");
        const QString original = ric->text();
        for (const std::string step : row.steps) {
            if (step == "change") ric->setText(ric->text() == "0000042" ? "0000043" : "0000042");
            if (step == "back") ric->setText(original);
            if (step == "size") w.find<QPushButton>("cmdSize")->click();
            if (step == "exit") w.window->close();
            if (step == "new") w.window->action("MenuFileNew")->trigger();
            if (step == "clear") w.window->action("Clear")->trigger();
            if (step == "open") w.window->action("MenuFileOpen")->trigger();
            if (step == "save") w.window->action("MenuFileSaveAs")->trigger();
            if (step == "ctrl-s") w.window->action("MenuFileSave")->trigger();
            if (step == "drop") {
                ASSERT_TRUE(DropFile(w.window.get(), site));
            }
            if (step == "connect") w.find<QPushButton>("cmdConnect")->click();
            if (step == "read") w.find<QPushButton>("cmdGet")->click();
            if (step == "write") w.find<QPushButton>("cmdPut")->click();
        }
        EXPECT_EQ(HistoryCopies(*w.window), row.copies);
        for (const ShownMessage& m : w.messages)
            EXPECT_FALSE(m.text.contains("history")) << m.text.toStdString();
    }
}

// Verify after Write is on by default; a block the unit does not keep fails the Write, named with
// its field, and Compare with Unit lists what differs without changing the editor.
TEST_F(WindowLinkTest, WriteIsVerifiedAndCompareListsTheDifferences) {
    StartSim({"--modules", "15,13,14,0", "--forget-block", "1"});
    QAction* compare = h->window->action("MenuUnitCompare");
    EXPECT_FALSE(compare->isEnabled());
    button("cmdConnect")->click();
    ASSERT_TRUE(compare->isEnabled());
    EXPECT_TRUE(h->window->action("MenuUnitVerify")->isChecked());
    h->edit("txtRepTime_1")->setText("120");  // address 17, in block 1
    button("cmdPut")->click();
    ASSERT_EQ(h->messages.size(), 1u);
    EXPECT_TRUE(h->messages[0].text.contains("\nblock 1: Repeat time B: 120 s -> 30 s\n"))
        << h->messages[0].text.toStdString();
    EXPECT_TRUE(label("lblUnitCheck")->text().startsWith("Write failed: the unit did not keep"));
    EXPECT_EQ(HistoryCopies(*h->window).front(), "write-unverified untitled");
    compare->trigger();
    ASSERT_EQ(h->messages.size(), 2u);
    EXPECT_EQ(h->messages[1].title, "Compare with Unit");
    EXPECT_TRUE(h->messages[1].text.contains("(editor -> unit):\nRepeat time B: 120 s -> 30 s\n"))
        << h->messages[1].text.toStdString();
    EXPECT_EQ(h->edit("txtRepTime_1")->text(), "120");

    // A time between two steps is written as the step, and the field shows it before Compare.
    StartSim({"--modules", "15,13,14,0"});
    h->edit("txtRepTime_1")->setText("45");
    button("cmdPut")->click();
    ASSERT_EQ(h->messages.size(), 3u);
    EXPECT_EQ(h->messages[2].text,
              "The configuration is written as the unit keeps it:\nRepeat time B: 45 s is stored "
              "as 40 s (10 s steps)");
    EXPECT_EQ(h->edit("txtRepTime_1")->text(), "40");
    compare->trigger();
    ASSERT_EQ(h->messages.size(), 4u);
    EXPECT_TRUE(
        h->messages[3].text.startsWith("The unit holds the configuration the editor shows."));
    EXPECT_TRUE(label("lblUnitCheck")->text().startsWith("Compared with the unit at "));
    EXPECT_TRUE(label("lblUnitCheck")->text().endsWith(": it holds what the editor shows"));
    // The tip keeps what came before, since the Connect: the Write's line too.
    EXPECT_TRUE(label("lblUnitCheck")->toolTip().contains("\nWritten and verified at "))
        << label("lblUnitCheck")->toolTip().toStdString();
}

// Unit > Port Mapping… sends COM1 to a unit behind a device server: a bad address is named and
// nothing is kept; a good one is kept in the store and every link button works through it.
TEST_F(WindowLinkTest, PortMappingLeadsComOneToADeviceServer) {
    orv::test::SimProcess server(ORV_UNIT_SIM_PATH,
                                 {"--listen", "rfc2217:0", "--modules", "15,13,14,0"},
                                 dir.path().toStdString() + "/server.log");
    ASSERT_NE(h->window->action("MenuUnitPortMapping"), nullptr);
    {
        PortMappingDialog mapping(h->window.get());
        mapping.Target(1)->setText("rfc2217://[::1:4001");
        mapping.Target(2)->setText("/dev/ttyUSB7");
        mapping.accept();
        EXPECT_NE(mapping.result(), QDialog::Accepted);
        const QString problem = mapping.findChild<QLabel*>("lblPortMappingProblem")->text();
        EXPECT_TRUE(
            problem.startsWith("COM1: 'rfc2217://[::1:4001' is not a device server "
                               "address: the '[' before the IPv6 address has no ']'"))
            << problem.toStdString();
        EXPECT_FALSE(ReadComMapping(1) || ReadComMapping(2));
        mapping.Target(1)->setText(QString::fromStdString(server.Device()));
        mapping.accept();
        EXPECT_EQ(mapping.result(), QDialog::Accepted);
    }
    EXPECT_EQ(ReadComMapping(1), server.Device());
    EXPECT_EQ(ReadComMapping(2), "/dev/ttyUSB7");
    EXPECT_EQ(PortMappingDialog().Target(1)->text().toStdString(), server.Device());

    button("cmdConnect")->click();
    ASSERT_TRUE(h->window->IsConnected());
    EXPECT_EQ(h->combo("lstMod_1")->currentText(), "Type 13: 16-Channel Dry Contact Input Module");
    h->edit("txtMsg_0")->setText("RISER 4 PUMP FAILED");
    button("cmdPut")->click();
    EXPECT_TRUE(label("lblUnitCheck")->text().startsWith("Written and verified "));
    h->edit("txtMsg_0")->setText("SOMETHING ELSE");
    button("cmdGet")->click();
    EXPECT_EQ(h->edit("txtMsg_0")->text(), "RISER 4 PUMP FAILED");
    h->window->action("MenuUnitCompare")->trigger();
    ASSERT_EQ(h->messages.size(), 1u);
    EXPECT_TRUE(
        h->messages[0].text.startsWith("The unit holds the configuration the editor shows."));
}

// The two checks are kept in the settings store's "Unit" group; a backup before Write lands in the
// history, which Open History starts in.
TEST_F(WindowLinkTest, UnitSettingsBackupAndOpenHistory) {
    QSettings store = OpenUserStore();
    store.setValue("Unit/VerifyAfterWrite", "0");
    store.setValue("Unit/BackupBeforeWrite", "1");
    store.sync();
    QTemporaryDir data;
    ScopedEnv env(kHistoryBaseVariable, data.path());
    Harness w;
    auto dialogs = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs* asked = dialogs.get();
    w.window->setFileDialogProvider(std::move(dialogs));
    StartSim({"--version1", "ORV V2.13", "--modules", "15,0,0,0"});
    const std::string device = sim->Device();
    w.window->link()->setLookup([device](int) { return std::optional<std::string>(device); });
    EXPECT_FALSE(w.window->action("MenuUnitVerify")->isChecked());
    EXPECT_TRUE(w.window->action("MenuUnitBackup")->isChecked());
    w.find<QPushButton>("cmdConnect")->click();
    w.find<QPushButton>("cmdPut")->click();
    EXPECT_TRUE(w.messages.empty());
    EXPECT_EQ(HistoryCopies(*w.window),
              (std::vector<std::string>{"write untitled", "backup ORV V2.13"}));
    EXPECT_EQ(sim->LogStarting("read ").size(), 256u);  // the backup; nothing read back
    EXPECT_TRUE(w.find<QLabel>("lblUnitCheck")->text().startsWith("Written, not verified "));
    w.window->action("MenuUnitVerify")->trigger();
    EXPECT_EQ(store.value("Unit/VerifyAfterWrite").toString(), "1");

    w.window->action("MenuUnitHistory")->trigger();
    ASSERT_EQ(asked->openRequests.size(), 1u);
    EXPECT_EQ(asked->openRequests[0].directory,
              QString::fromStdString(w.window->history().folder()));
}

// Nothing reaches the configuration while a Write sends it: a file dropped or opened, the File and
// Unit menus, a session ending. The unit gets what the Write started with, the write copy is named
// after its file, and what was refused is said beside the progress bar.
TEST_F(WindowLinkTest, NothingChangesTheConfigurationWhileAWriteRuns) {
    QTemporaryDir data;
    ScopedEnv env(kHistoryBaseVariable, data.path());
    const QString first = MakeFile("first.ORV", {15, 13, 14, 0}, "FIRST FILE");
    const QString second = MakeFile("second.ORV", {13, 13, 13, 13}, "SECOND FILE");
    const QByteArray firstBytes =
        QByteArray::fromStdString(orv::test::ReadFile(first.toStdString()));
    const std::string eeprom = dir.path().toStdString() + "/unit.eeprom";
    StartSim({"--modules", "15,13,14,0", "--baud", "115200", "--pace", "--eeprom", eeprom});
    Harness w;
    auto dialogs = std::make_unique<ScriptedDialogs>();
    const ScriptedDialogs& asked = *dialogs;
    dialogs->openAnswer = dialogs->saveAnswer = second;
    w.window->setFileDialogProvider(std::move(dialogs));
    w.window->show();
    UseSim(w);
    w.window->OpenFile(first);
    w.combo("lstBaudPC")->setCurrentIndex(9);  // 115200
    w.find<QPushButton>("cmdConnect")->click();
    ASSERT_TRUE(w.window->IsConnected());
    w.edit("txtRIC_0")->setText("0000042");  // unsaved: a session end keeps it, once it may
    ConfigRecord rec = w.window->record();
    ModuleTypes types = w.window->moduleTypes();
    Image sent = w.window->image();
    BuildImage(rec, types, sent);

    auto* bar = w.find<QProgressBar>("pb100");
    QLabel* line = w.find<QLabel>("lblUnitCheck");
    QStringList said;
    std::vector<std::string> copiesMeanwhile;
    bool tried = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (tried || bar->isHidden() || bar->value() < 10) return;
        tried = true;
        EXPECT_FALSE(DropFile(w.window.get(), second));
        said << (line->isVisible() ? line->text() : QString());
        w.window->OpenFile(second);
        said << line->text();
        for (const char* name : {"MenuFileNew", "Clear", "MenuFileOpen", "MenuFileSave",
                                 "MenuFileSaveAs", "MenuUnitHistory", "MenuUnitCompare"}) {
            EXPECT_FALSE(w.window->action(name)->isEnabled()) << name;
            w.window->action(name)->trigger();
        }
        QTest::keyClick(w.window.get(), Qt::Key_N, Qt::ControlModifier);
        w.window->SessionEnding();
        copiesMeanwhile = HistoryCopies(*w.window);
    });
    poll.start(5);
    w.find<QPushButton>("cmdPut")->click();
    poll.stop();
    ASSERT_TRUE(tried);
    EXPECT_EQ(said,
              (QStringList{
                  "second.ORV not opened: Write in progress. Drop it again when it has ended.",
                  "second.ORV not opened: Write in progress. Open it again when it has ended.",
              }));
    EXPECT_TRUE(copiesMeanwhile.empty());
    EXPECT_TRUE(w.messages.empty()) << w.messages[0].text.toStdString();
    EXPECT_TRUE(asked.openRequests.empty() && asked.saveRequests.empty());
    EXPECT_TRUE(w.window->isVisible());
    EXPECT_TRUE(line->text().startsWith("Written and verified ")) << line->text().toStdString();
    EXPECT_EQ(w.edit("txtFileName")->text(), "first.ORV");
    EXPECT_EQ(w.edit("txtMsg_0")->text(), "FIRST FILE");
    EXPECT_EQ(QByteArray::fromStdString(orv::test::ReadFile(first.toStdString())), firstBytes);
    const std::string unit = orv::test::ReadFile(eeprom);
    ASSERT_EQ(unit.size(), sent.size());
    EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + kConfigAreaLast + 1, unit.begin(),
                           [](std::uint8_t a, char b) { return a == std::uint8_t(b); }));
    // The session's copy once the Write had ended, after the Write's own.
    EXPECT_EQ(HistoryCopies(*w.window),
              (std::vector<std::string>{"before exit first", "write first"}));
}

// A Read's copy is what the unit reported at Connect, although the editor has since opened a file
// with other version lines and module types.
TEST_F(WindowLinkTest, ReadCopyCarriesTheUnitsVersionAndModules) {
    QTemporaryDir data;
    ScopedEnv env(kHistoryBaseVariable, data.path());
    const QString file = MakeFile("bench.ORV", {13, 13, 13, 13}, "BENCH", "FILE V1");
    StartSim({"--version1", "ORV V2.13", "--version2", "Build 7", "--modules", "15,13,14,0"});
    Harness w;
    UseSim(w);
    w.find<QPushButton>("cmdConnect")->click();
    w.window->OpenFile(file);
    w.find<QPushButton>("cmdGet")->click();
    const std::vector<HistoryEntry> copies = w.window->history().List();
    ASSERT_FALSE(copies.empty());
    EXPECT_EQ(copies[0].event + " " + copies[0].subject, "read ORV V2.13");
    ConfigRecord rec;
    ModuleTypes types{};
    Image image{};
    ASSERT_TRUE(ReadConfigFile(copies[0].path, rec, types, image).ok);
    EXPECT_EQ(rec.txtVer, (std::array<std::string, 2>{"ORV V2.13", "Build 7"}));
    EXPECT_EQ(types, (ModuleTypes{15, 13, 14, 0}));
}

// The line beside the progress bar gives the time the Write ended, not when its message was
// answered, and goes when another configuration takes the editor's place.
TEST_F(WindowLinkTest, WriteLineSaysWhenTheWriteEndedAndGoesWithTheConfiguration) {
    StartSim({"--modules", "15,13,14,0", "--forget-block", "1"});
    const QString other = MakeFile("other.ORV", {15, 13, 14, 0}, "OTHER");
    QTime shown;
    h->window->setMessageSink([&](const QString&, const QString&, MessageKind) {
        shown = QTime::currentTime();
        QThread::msleep(2100);  // the user reads the message
    });
    button("cmdConnect")->click();
    h->edit("txtRepTime_1")->setText("120");  // in block 1, which the unit forgets
    button("cmdPut")->click();
    QLabel* line = label("lblUnitCheck");
    ASSERT_TRUE(shown.isValid());
    const QString time = line->text().section(' ', -1);
    EXPECT_TRUE(time == shown.toString("HH:mm:ss") ||
                time == shown.addSecs(-1).toString("HH:mm:ss"))
        << line->text().toStdString() << " shown at " << shown.toString().toStdString();

    h->window->setMessageSink([](const QString&, const QString&, MessageKind) {});
    // New and Clear Form leave every bank not fitted: written anyway.
    h->window->setQuestionSink([](const QString&, const QString&, const QString&) { return true; });
    const std::pair<const char*, std::function<void()>> replacements[] = {
        {"open", [&] { h->window->OpenFile(other); }},
        {"new", [&] { h->window->action("MenuFileNew")->trigger(); }},
        {"clear form", [&] { h->window->action("Clear")->trigger(); }},
        {"read", [&] { button("cmdGet")->click(); }},
    };
    for (const auto& [name, replace] : replacements) {
        SCOPED_TRACE(name);
        button("cmdPut")->click();
        ASSERT_TRUE(line->isVisible());
        ASSERT_TRUE(line->text().startsWith("Writ")) << line->text().toStdString();
        replace();
        // The line now says what replaced the configuration, and nothing of the Write.
        EXPECT_FALSE(line->text().contains("Writ")) << line->text().toStdString();
        EXPECT_FALSE(line->toolTip().contains("Writ")) << line->toolTip().toStdString();
    }
}

// Two units with the same firmware (the same version lines), B on COM1 and A on COM2: a Write to
// B that stops half way names a copy of B, never A's, or says there is none and how to keep one.
TEST_F(WindowLinkTest, StoppedWriteNamesACopyOfTheUnitWrittenToNeverAnothers) {
    QTemporaryDir data;
    ScopedEnv env(kHistoryBaseVariable, data.path());
    // B's EEPROM in a file, so that B is the same unit when its simulator starts again; its MAC
    // address is its own.
    const std::string eepromB = dir.path().toStdString() + "/b.eeprom";
    {
        StartupState s = MakeStartupState();
        s.moduleTypes = {15, 0, 0, 0};
        Image image{};
        BuildImage(s.rec, s.moduleTypes, image);
        const std::uint8_t mac[] = {0x50, 0x46, 0x4A, 0x01, 0x02, 0x03};
        std::copy(std::begin(mac), std::end(mac), image.begin() + kMacAddress);
        std::ofstream(eepromB, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), image.size());
    }
    orv::test::SimProcess unitA(ORV_UNIT_SIM_PATH, {}, dir.path().toStdString() + "/a.log");
    std::unique_ptr<orv::test::SimProcess> unitB;
    auto startB = [&](std::vector<std::string> args) {
        unitB.reset();
        args.insert(args.end(), {"--eeprom", eepromB});
        unitB = std::make_unique<orv::test::SimProcess>(ORV_UNIT_SIM_PATH, args,
                                                        dir.path().toStdString() + "/b.log");
    };
    Harness w;
    w.window->link()->setLookup([&](int com) -> std::optional<std::string> {
        if (com == 1) return unitB->Device();
        if (com == 2) return unitA.Device();
        return std::nullopt;
    });
    auto connectTo = [&](int com) {
        if (w.window->IsConnected()) w.find<QPushButton>("cmdConnect")->click();
        w.combo("lstComPort")->setCurrentIndex(com - 1);
        w.find<QPushButton>("cmdConnect")->click();
        ASSERT_TRUE(w.window->IsConnected()) << com;
    };
    auto click = [&](const char* name) { w.find<QPushButton>(name)->click(); };
    auto newest = [&](const std::string& event) {
        for (const HistoryEntry& e : w.window->history().List())
            if (e.event == event) return QString::fromStdString(e.path);
        return QString();
    };
    auto stoppedWrite = [&]() -> QString {
        w.messages.clear();
        click("cmdPut");
        if (w.messages.empty()) return {};
        const QString text = w.messages.back().text;
        EXPECT_TRUE(text.contains("The Write stopped after the unit accepted 30 of the 240 blocks"))
            << text.toStdString();
        return text;
    };
    const QString none =
        "No copy of what this unit held before is kept in the history, so there is none to go "
        "back to. To keep one before every Write, turn on Unit > Back up Unit before Write.";

    // A read on COM2, then a Write to B on COM1 that stops after 30 blocks.
    startB({"--stop-after", "30"});
    connectTo(2);
    click("cmdGet");
    const QString readA = newest("read");
    ASSERT_FALSE(readA.isEmpty());
    connectTo(1);
    QString text = stoppedWrite();
    EXPECT_FALSE(text.contains(readA)) << text.toStdString();
    EXPECT_TRUE(text.endsWith(none)) << text.toStdString();

    // B read earlier in this run on COM1, A read since: B's copy, though A's is newer.
    startB({"--stop-after", "286"});  // the Read's 256 blocks, then 30 of the Write's
    connectTo(1);
    click("cmdGet");
    const QString readB = newest("read");
    connectTo(2);
    click("cmdGet");
    ASSERT_NE(newest("read"), readB);
    connectTo(1);
    text = stoppedWrite();
    EXPECT_TRUE(text.endsWith("read from this unit is kept in the history:\n" + readB))
        << text.toStdString();

    // B on another device now (its simulator started again), known by the MAC address that
    // Compare read from it: B's copy again.
    startB({"--stop-after", "286"});  // Compare's 256 blocks, then 30 of the Write's
    connectTo(1);
    w.window->action("MenuUnitCompare")->trigger();
    text = stoppedWrite();
    EXPECT_TRUE(text.endsWith("read from this unit is kept in the history:\n" + readB))
        << text.toStdString();

    // With Back up Unit before Write: the backup the Write took.
    startB({"--stop-after", "286"});  // the backup's 256 blocks, then 30 of the Write's
    w.window->action("MenuUnitBackup")->setChecked(true);
    connectTo(1);
    text = stoppedWrite();
    const QString backup = newest("backup");
    ASSERT_FALSE(backup.isEmpty());
    EXPECT_TRUE(text.endsWith("read from this unit is kept in the history:\n" + backup))
        << text.toStdString();
}

// A Write over other module types asks first; Cancel sends nothing at all.
TEST_F(WindowLinkTest, WriteOverOtherModuleTypesAsksAndCancelSendsNothing) {
    StartSim({"--modules", "15,13,14,0"});
    const QString file = MakeFile("one-bank.ORV", {15, 0, 0, 0}, "ONE BANK ONLY");
    button("cmdConnect")->click();
    ASSERT_TRUE(h->window->IsConnected());
    QStringList asked;
    bool answer = false;
    h->window->setQuestionSink([&](const QString&, const QString& text, const QString& yes) {
        asked << text;
        EXPECT_EQ(yes, "Write anyway");
        return answer;
    });
    // The same module types as the unit's: no question.
    button("cmdPut")->click();
    EXPECT_TRUE(asked.isEmpty());
    const std::size_t written = sim->LogStarting("write ").size();
    EXPECT_EQ(written, 240u);

    h->window->OpenFile(file);
    button("cmdPut")->click();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(
        asked[0].contains("\nBank 2: Type 13 (16-Channel Dry Contact Input Module) -> NOT FITTED\n"
                          "Bank 3: Type 14 (8-Channel Relay Output Module) -> NOT FITTED\n"))
        << asked[0].toStdString();
    EXPECT_EQ(sim->LogStarting("write ").size(), written);
    EXPECT_TRUE(label("lblUnitCheck")->text().startsWith("Not written"));
    EXPECT_TRUE(h->messages.empty());

    answer = true;
    button("cmdPut")->click();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(sim->LogStarting("write ").size(), written + 240);
    EXPECT_TRUE(label("lblUnitCheck")->text().startsWith("Written and verified at "));
}

// A Read after opening a file with other module types shows, keeps and names the unit's types
// and decodes its image under them; the window and the history's copy agree.
TEST_F(WindowLinkTest, ReadTakesTheUnitsModuleTypesOverAFilesOnes) {
    QTemporaryDir data;
    ScopedEnv env(kHistoryBaseVariable, data.path());
    Harness w;
    const QString file = MakeFile("three-banks.ORV", {15, 13, 14, 0}, "FROM THE FILE");
    StartSim({"--modules", "15,0,0,0"});
    UseSim(w);
    w.find<QPushButton>("cmdConnect")->click();
    ASSERT_TRUE(w.window->IsConnected());
    w.window->OpenFile(file);
    ASSERT_EQ(w.combo("lstMod_2")->currentText(), "Type 14: 8-Channel Relay Output Module");
    w.find<QPushButton>("cmdGet")->click();
    EXPECT_TRUE(w.messages.empty());
    EXPECT_EQ(w.window->moduleTypes(), (ModuleTypes{15, 0, 0, 0}));
    EXPECT_EQ(w.combo("lstMod_1")->currentText(), "NOT FITTED");
    EXPECT_EQ(w.combo("lstMod_2")->currentText(), "NOT FITTED");
    EXPECT_NE(w.edit("txtMsg_0")->text(), "FROM THE FILE");
    // Bank 3 was not decoded as relays from input-channel words.
    EXPECT_EQ(w.edit("txtRlyRIC_131")->text(), "0");
    QLabel* line = w.find<QLabel>("lblUnitCheck");
    EXPECT_TRUE(line->text().startsWith("Read from the unit at ")) << line->text().toStdString();
    EXPECT_TRUE(line->text().contains("; module types from the unit: Bank 2: Type 13 -> NOT "))
        << line->text().toStdString();
    EXPECT_TRUE(line->toolTip().endsWith(
        "\nModule types from the unit:\n"
        "Bank 2: Type 13 (16-Channel Dry Contact Input Module) -> NOT FITTED\n"
        "Bank 3: Type 14 (8-Channel Relay Output Module) -> NOT FITTED"))
        << line->toolTip().toStdString();
    const std::vector<HistoryEntry> copies = w.window->history().List();
    ASSERT_FALSE(copies.empty());
    ConfigRecord kept;
    ModuleTypes keptTypes{};
    Image keptImage{};
    ASSERT_TRUE(ReadConfigFile(copies[0].path, kept, keptTypes, keptImage).ok);
    EXPECT_EQ(keptTypes, w.window->moduleTypes());
    EXPECT_EQ(kept.txtMsg, w.window->record().txtMsg);
    // What the window shows is not what the file holds.
    EXPECT_TRUE(w.window->isWindowModified());
    EXPECT_EQ(w.window->DisplayedTitle(), "three-banks.ORV* - ORV Pro Configuration 1.0");
}

// Escape or Cancel stops a Read within a block, and what the editor holds stays as it was; the
// Write itself cannot be cancelled, its read-back can.
TEST_F(WindowLinkTest, CancelStopsAReadOrTheReadBackWithinABlock) {
    StartSim({"--modules", "15,13,14,0", "--baud", "115200", "--pace"});
    h->combo("lstBaudPC")->setCurrentIndex(9);
    button("cmdConnect")->click();
    ASSERT_TRUE(h->window->IsConnected());
    h->edit("txtMsg_0")->setText("NOT FROM THE UNIT");
    const ConfigRecord before = h->window->record();
    auto* bar = h->find<QProgressBar>("pb100");
    QPushButton* cancel = button("cmdCancel");
    std::size_t readsAtStop = 0;
    QString barText;
    bool stopped = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (stopped || bar->isHidden() || bar->value() < 10) return;
        stopped = true;
        barText = bar->text();
        EXPECT_TRUE(cancel->isVisible() && cancel->isEnabled());
        QTest::keyClick(h->window.get(), Qt::Key_Escape);
        // The stop is asked now: the simulator's log may still lack the request on the line,
        // and no request may follow it. (Counted before the key, a block or two the worker
        // finished while the log was read would be blamed on the stop.)
        readsAtStop = sim->LogStarting("read ").size();
    });
    poll.start(2);
    button("cmdGet")->click();
    poll.stop();
    ASSERT_TRUE(stopped);
    EXPECT_TRUE(barText.startsWith("Read: block ")) << barText.toStdString();
    EXPECT_LE(sim->LogStarting("read ").size(), readsAtStop + 1);
    EXPECT_LT(sim->LogStarting("read ").size(), 256u);
    EXPECT_TRUE(h->messages.empty());
    EXPECT_TRUE(h->window->record() == before);
    EXPECT_TRUE(label("lblUnitCheck")->text().startsWith("Read stopped at "));
    EXPECT_FALSE(cancel->isVisible());

    // During a Write: no Cancel while the blocks go, then Cancel ends the read-back.
    QString writeTip;
    bool cancelledDuringWrite = true;
    stopped = false;
    QObject::disconnect(&poll, nullptr, nullptr, nullptr);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (stopped || bar->isHidden()) return;
        if (bar->text().startsWith("Write 1/2: block ")) {
            cancelledDuringWrite = cancel->isEnabled();
            writeTip = cancel->toolTip();
        }
        if (!bar->text().startsWith("Verify 2/2: block ")) return;
        stopped = true;
        cancel->click();
    });
    poll.start(1);
    button("cmdPut")->click();
    poll.stop();
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(cancelledDuringWrite);
    EXPECT_TRUE(writeTip.startsWith("A Write cannot be cancelled")) << writeTip.toStdString();
    EXPECT_EQ(sim->LogStarting("write ").size(), 240u);
    EXPECT_TRUE(h->messages.empty());
    EXPECT_TRUE(label("lblUnitCheck")
                    ->text()
                    .startsWith("Written, not verified: the read-back was stopped at "))
        << label("lblUnitCheck")->text().toStdString();
}

// The bar moves a few times a second, not at each of the 256 blocks: the worker leaves its
// figures and the window shows the latest on its own beat.
TEST_F(WindowLinkTest, TheBarMovesAFewTimesASecondNotAtEachBlock) {
    StartSim({"--modules", "15,0,0,0", "--baud", "115200", "--pace"});
    h->combo("lstBaudPC")->setCurrentIndex(9);
    button("cmdConnect")->click();
    ASSERT_TRUE(h->window->IsConnected());
    auto* bar = h->find<QProgressBar>("pb100");
    int shown = 0, highest = 0;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
        if (value == 0) return;  // shown and hidden again
        ++shown;
        highest = std::max(highest, value);
    });
    QElapsedTimer clock;
    clock.start();
    button("cmdGet")->click();
    const double seconds = clock.elapsed() / 1000.0;
    EXPECT_TRUE(h->messages.empty());
    EXPECT_GE(shown, 2);
    EXPECT_GE(highest, 50);
    EXPECT_LE(shown, static_cast<int>(seconds * 10) + 3) << seconds << " s";
}

// The window asked to close while a transfer runs stays, says so, lets a Write end (the unit then
// holds all of it) and closes afterwards; a Read stops at the next block instead.
TEST_F(WindowLinkTest, ACloseDuringATransferWaitsForItsEnd) {
    QTemporaryDir data;
    ScopedEnv env(kHistoryBaseVariable, data.path());
    const std::string eeprom = dir.path().toStdString() + "/unit.eeprom";
    StartSim({"--modules", "15,13,14,0", "--baud", "115200", "--pace", "--eeprom", eeprom});
    for (const char* click : {"cmdPut", "cmdGet"}) {
        SCOPED_TRACE(click);
        Harness w;
        w.window->show();
        UseSim(w);
        w.combo("lstBaudPC")->setCurrentIndex(9);
        w.find<QPushButton>("cmdConnect")->click();
        ASSERT_TRUE(w.window->IsConnected());
        w.edit("txtMsg_0")->setText(QString("WRITTEN BY ") + click);
        ConfigRecord rec = w.window->record();
        ModuleTypes types = w.window->moduleTypes();
        Image sent = w.window->image();
        BuildImage(rec, types, sent);
        const std::size_t readsBefore = sim->LogStarting("read ").size();
        auto* bar = w.find<QProgressBar>("pb100");
        QLabel* line = w.find<QLabel>("lblUnitCheck");
        bool asked = false, closedAtOnce = true, shownWhole = false;
        QString said;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (asked || bar->isHidden() || bar->value() < 10) return;
            asked = true;
            closedAtOnce = w.window->close();
            said = line->text();
            // Said where it can be read: on the pages' surface, not beyond its edge.
            shownWhole =
                line->isVisible() && line->parentWidget()->rect().contains(line->geometry());
        });
        poll.start(2);
        w.find<QPushButton>(click)->click();
        poll.stop();
        ASSERT_TRUE(asked);
        EXPECT_FALSE(closedAtOnce);
        EXPECT_TRUE(shownWhole);
        EXPECT_EQ(said, std::string(click) == "cmdPut" ? "Closing when the Write has ended…"
                                                       : "Closing when the Read has ended…");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w.window->isVisible(); }, 3000));
        EXPECT_TRUE(w.messages.empty()) << w.messages[0].text.toStdString();
        if (std::string(click) == "cmdPut") {
            const std::string unit = orv::test::ReadFile(eeprom);
            ASSERT_EQ(unit.size(), sent.size());
            EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + kConfigAreaLast + 1, unit.begin(),
                                   [](std::uint8_t a, char b) { return a == std::uint8_t(b); }));
        } else {
            EXPECT_LT(sim->LogStarting("read ").size() - readsBefore, 256u);
            // What the editor held was kept before the program went: the unsaved message.
            EXPECT_EQ(HistoryCopies(*w.window).front(), "before exit untitled");
        }
    }
}

// The line beside the progress bar says what each action did and when, and forgets the last
// unit's lines once another configuration or another connection takes their place.
TEST_F(WindowLinkTest, StatusLineSaysWhatEachActionDidAndWhen) {
    StartSim({"--modules", "15,13,14,0"});
    QLabel* line = label("lblUnitCheck");
    const QRegularExpression time(" at \\d\\d:\\d\\d:\\d\\d");
    const std::pair<const char*, const char*> steps[] = {
        {"cmdConnect", "Connected at "},
        {"cmdGet", "Read from the unit at "},
        {"cmdReset", "Reset sent at "},
        {"cmdConnect", "Disconnected at "},
    };
    for (const auto& [name, start] : steps) {
        SCOPED_TRACE(name);
        button(name)->click();
        EXPECT_TRUE(line->text().startsWith(start)) << line->text().toStdString();
        EXPECT_TRUE(line->text().contains(time)) << line->text().toStdString();
    }
    // Disconnect cleared the tip of the lines before it.
    EXPECT_EQ(line->toolTip().count('\n'), 0) << line->toolTip().toStdString();
    button("cmdConnect")->click();
    button("cmdMeasurePulse")->click();
    EXPECT_TRUE(line->text().startsWith("Calibrated at ")) << line->text().toStdString();
    EXPECT_TRUE(line->text().endsWith(": 8 of the 8 pulse limits changed (old -> new in the tip)"))
        << line->text().toStdString();
    EXPECT_TRUE(
        line->toolTip().contains("\nPulse limits (old -> new):\nFast ON Min: 120 -> "
                                 "80 ms\nFast ON Max: 380 -> 240 ms\n"))
        << line->toolTip().toStdString();
    // The unit-menu switches can be set while disconnected.
    button("cmdConnect")->click();
    EXPECT_TRUE(h->window->action("MenuUnitVerify")->isEnabled());
    EXPECT_TRUE(h->window->action("MenuUnitBackup")->isEnabled());
    EXPECT_FALSE(h->window->action("MenuUnitCompare")->isEnabled());
}

TEST_F(WindowLinkTest, SizeShowsTheFigureOfTheBuiltImage) {
    // Every bank not fitted: the build drops every message, leaving the bare structure.
    button("cmdSize")->click();
    EXPECT_EQ(label("lblSize")->text(), "37.28%");
    EXPECT_EQ(h->find<QProgressBar>("pbSize")->value(), 1431);
    EXPECT_EQ(h->edit("txtMsg_0")->text(), "");
    button("cmdSize")->click();
    EXPECT_EQ(label("lblSize")->text(), "37.28%");
    EXPECT_TRUE(h->messages.empty());
}

}  // namespace
}  // namespace orv::ui::test
