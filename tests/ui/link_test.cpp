// The link buttons through the window against orv-unit-sim on a pseudo-terminal: Connect, Read,
// Write, Auto Baud, Size, a lost connection, the history copies of what could be lost, and the
// Unit menu.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "../link/sim_process.h"
#include "files/config_file.h"
#include "link/qt/port_settings.h"
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

    // Disconnect needs no exchange.
    button("cmdConnect")->click();
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
        {{"change", "drop"}, {"before open untitled"}},
        {{"connect", "read"}, {"read ORV V2.13"}},
        {{"connect", "change", "read"}, {"read ORV V2.13", "before read untitled"}},
        {{"connect", "change", "write"}, {"write untitled"}},
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
        ScopedEnv env("XDG_DATA_HOME", data.path());
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
            if (step == "exit") w.window->close();
            if (step == "new") w.window->action("MenuFileNew")->trigger();
            if (step == "clear") w.window->action("Clear")->trigger();
            if (step == "open") w.window->action("MenuFileOpen")->trigger();
            if (step == "save") w.window->action("MenuFileSaveAs")->trigger();
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
    compare->trigger();
    ASSERT_EQ(h->messages.size(), 2u);
    EXPECT_EQ(h->messages[1].title, "Compare with Unit");
    EXPECT_TRUE(h->messages[1].text.contains("(editor -> unit):\nRepeat time B: 120 s -> 30 s\n"))
        << h->messages[1].text.toStdString();
    EXPECT_EQ(h->edit("txtRepTime_1")->text(), "120");

    StartSim({"--modules", "15,13,14,0"});
    button("cmdPut")->click();
    compare->trigger();
    ASSERT_EQ(h->messages.size(), 3u);
    EXPECT_TRUE(
        h->messages[2].text.startsWith("The unit holds the configuration the editor shows."));
    EXPECT_TRUE(label("lblUnitCheck")->text().startsWith("Written and verified "));
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
    QSettings store("ORV Pro Configuration", "ORV Pro Configuration");
    store.setValue("Unit/VerifyAfterWrite", "0");
    store.setValue("Unit/BackupBeforeWrite", "1");
    store.sync();
    QTemporaryDir data;
    ScopedEnv env("XDG_DATA_HOME", data.path());
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
