// The settings store: what start-up restores and what closing the window writes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QStandardPaths>

#include "link/port_names.h"
#include "link/qt/port_settings.h"
#include "ui_test_util.h"

namespace orv::ui::test {
namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override { ClearSettings(); }
};

TEST_F(SettingsTest, FirstRunUsesTheDefaults) {
    Harness h;
    MainWindow& w = *h.window;
    EXPECT_EQ(w.pos(), QPoint(0, 0));
    EXPECT_EQ(w.size(), QSize(800, 600));
    EXPECT_EQ(h.combo("lstComPort")->currentText(), "COM1");
    EXPECT_EQ(h.combo("lstBaudPC")->currentText(), "9600");
#ifdef _WIN32
    // Not the folder of an installed program, which is not the user's to keep files in.
    const QString first = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#else
    const QString first = QCoreApplication::applicationDirPath();
#endif
    EXPECT_EQ(w.storedPath(), QDir::toNativeSeparators(first + QDir::separator()));
    EXPECT_EQ(w.storedFileName(), "");
}

// The Comms page maps a COM port only to a device name of this platform: another is refused
// when it is made, with what to write instead, and the port keeps what it used.
TEST_F(SettingsTest, ComPortIsMappedOnlyToThisPlatformsDevices) {
#ifdef _WIN32
    const QString foreign = "/dev/ttyUSB0", own = "COM7";
#else
    const QString foreign = "COM7", own = "/dev/ttyUSB0";
#endif
    Harness h;
    h.combo("lstComPort")->setCurrentIndex(2);
    h.combo("lstComDevice")->setCurrentText(foreign);
    h.find<QPushButton>("cmdMapPort")->click();
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_TRUE(h.messages[0].text.startsWith("'" + foreign + "' is not a "))
        << h.messages[0].text.toStdString();
    EXPECT_EQ(ReadComMapping(3), std::nullopt);
    EXPECT_EQ(h.combo("lstComDevice")->currentText().toStdString(), DefaultDeviceForCom(3));

    h.combo("lstComDevice")->setCurrentText(own);
    h.find<QPushButton>("cmdMapPort")->click();
    EXPECT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(ReadComMapping(3), own.toStdString());
    ClearComMapping(3);
}

#ifdef _WIN32
// Earlier versions kept the store one key deeper (...\ORV Pro Configuration\ORV Pro
// Configuration): its values move up, where a value already there is kept, and the deeper key
// goes.
TEST_F(SettingsTest, EarlierStoreMovesUpOneLevel) {
    {
        QSettings earlier("ORV Pro Configuration", "ORV Pro Configuration");
        earlier.setValue("Settings/ComPort", "6");
        earlier.setValue("Settings/ComRate", "1");
        earlier.setValue("Ports/COM3", "COM9");
        earlier.sync();
    }
    PutSetting("ComRate", "3");
    MoveEarlierUserStoreUp();
    EXPECT_EQ(GetSetting("ComPort"), "6");
    EXPECT_EQ(GetSetting("ComRate"), "3");
    EXPECT_EQ(ReadComMapping(3), "COM9");
    EXPECT_FALSE(OpenUserStore().childGroups().contains("ORV Pro Configuration"));
    Harness h;
    EXPECT_EQ(h.combo("lstComPort")->currentText(), "COM7");
    EXPECT_EQ(h.combo("lstBaudPC")->currentIndex(), 3);
}
#endif

TEST_F(SettingsTest, StoredValuesAreRestoredButTheSizeIsAlwaysTheDesignSize) {
    PutSetting("MainLeft", "1500");
    PutSetting("MainTop", "3000");
    PutSetting("MainWidth", "20000");
    PutSetting("MainHeight", "20000");
    PutSetting("Path", "/srv/sites/");
    PutSetting("FileName", "north.ORV");
    PutSetting("ComPort", "3");
    PutSetting("ComRate", "7");
    Harness h;
    EXPECT_EQ(h.window->pos(), QPoint(100, 200));
    EXPECT_EQ(h.window->size(), QSize(800, 600));
    EXPECT_EQ(h.window->storedPath(), "/srv/sites/");
    EXPECT_EQ(h.window->storedFileName(), "north.ORV");
    EXPECT_EQ(h.combo("lstComPort")->currentText(), "COM4");
    EXPECT_EQ(h.combo("lstBaudPC")->currentText(), "38400");
    EXPECT_EQ(h.window->record().lstComPort, 3);
    EXPECT_EQ(h.window->record().lstBaudPC, 7);
}

TEST_F(SettingsTest, BadStoredValuesFallBackToTheDefaults) {
    struct Case {
        const char* key;
        const char* value;
    };
    const Case cases[] = {{"MainLeft", "left"}, {"MainTop", "1e3"},         {"ComPort", "16"},
                          {"ComPort", "-1"},    {"ComPort", "COM3"},        {"ComRate", "10"},
                          {"ComRate", ""},      {"MainLeft", "99999999999"}};
    for (const Case& c : cases) {
        ClearSettings();
        PutSetting(c.key, c.value);
        Harness h;
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        EXPECT_EQ(h.window->pos(), QPoint(0, 0));
        EXPECT_EQ(h.combo("lstComPort")->currentIndex(), 0);
        EXPECT_EQ(h.combo("lstBaudPC")->currentIndex(), 5);
    }
}

TEST_F(SettingsTest, ClosingWritesAllEightKeys) {
    Harness h;
    MainWindow& w = *h.window;
    w.move(100, 50);
    w.resize(900, 700);
    h.combo("lstComPort")->setCurrentIndex(2);
    h.combo("lstBaudPC")->setCurrentIndex(9);
    w.close();
    EXPECT_EQ(GetSetting("MainLeft"), "1500");
    EXPECT_EQ(GetSetting("MainTop"), "750");
    EXPECT_EQ(GetSetting("MainWidth"), "13500");
    EXPECT_EQ(GetSetting("MainHeight"), "10500");
    EXPECT_EQ(GetSetting("ComPort"), "2");
    EXPECT_EQ(GetSetting("ComRate"), "9");
    EXPECT_EQ(GetSetting("FileName"), "");
    EXPECT_EQ(GetSetting("Path"), w.storedPath());

    // The next start opens at the saved place with the design size.
    Harness next;
    EXPECT_EQ(next.window->pos(), QPoint(100, 50));
    EXPECT_EQ(next.window->size(), QSize(800, 600));
    EXPECT_EQ(next.combo("lstComPort")->currentText(), "COM3");
}

TEST_F(SettingsTest, ClosingWhileMinimizedLeavesTheWindowKeys) {
    PutSetting("MainLeft", "77");
    PutSetting("MainTop", "88");
    PutSetting("MainWidth", "99");
    PutSetting("MainHeight", "111");
    Harness h;
    h.window->show();
    h.window->showMinimized();
    ASSERT_TRUE(h.window->isMinimized());
    h.combo("lstComPort")->setCurrentIndex(15);
    h.window->close();
    EXPECT_EQ(GetSetting("MainLeft"), "77");
    EXPECT_EQ(GetSetting("MainTop"), "88");
    EXPECT_EQ(GetSetting("MainWidth"), "99");
    EXPECT_EQ(GetSetting("MainHeight"), "111");
    EXPECT_EQ(GetSetting("ComPort"), "15");
    EXPECT_EQ(GetSetting("ComRate"), "5");
    EXPECT_TRUE(GetSetting("Path").has_value());
    EXPECT_TRUE(GetSetting("FileName").has_value());
}

}  // namespace
}  // namespace orv::ui::test
