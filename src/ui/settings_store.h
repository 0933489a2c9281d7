// The per-user settings store: window position, the editor's serial-link choices and the checks
// around a Write.
//
// Values are kept as decimal text under the application "ORV Pro Configuration", section
// "Settings", so a store written by one version reads the same in the next. A value that is not
// a number, or a list position outside its list, falls back to its default instead of stopping
// start-up.
#pragma once

#include <QString>

namespace orv::ui {

inline constexpr int kTwipsPerPixel = 15;

struct StartupSettings {
    int leftTwips = 0;
    int topTwips = 0;
    QString path;      // folder of the current configuration file
    QString fileName;  // its name, without folder
    int comPort = 0;   // position in lstComPort (0 = COM1)
    int comRate = 5;   // position in lstBaudPC (5 = "9600")
};

struct ExitSettings {
    bool minimized = false;  // when set, the four window keys are left as they are
    int leftTwips = 0;
    int topTwips = 0;
    int widthTwips = 0;
    int heightTwips = 0;
    QString path;
    QString fileName;
    int comPort = 0;
    int comRate = 5;
};

// The checks around a Write (the Unit menu), kept in a group of their own, "Unit", beside the
// window and serial keys.
struct UnitSettings {
    bool verifyAfterWrite = true;
    bool backupBeforeWrite = false;
};

class SettingsStore {
  public:
    // defaultPath: the folder the program was started from, used while no Path is stored.
    explicit SettingsStore(QString defaultPath);

    StartupSettings Read() const;
    void Write(const ExitSettings& s) const;

    // "Unit/VerifyAfterWrite" and "Unit/BackupBeforeWrite", "1" or "0"; anything else reads as
    // the default.
    static UnitSettings ReadUnit();
    static void WriteUnit(const UnitSettings& s);

  private:
    QString defaultPath_;
};

// Reads a whole decimal integer; anything else (blanks, signs only, fractions, overflow) is
// refused.
bool ParseStoredInt(const QString& text, int& value);

}  // namespace orv::ui
