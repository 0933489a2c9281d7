// The per-user settings store: window position and the editor's serial-link choices.
//
// Values are kept as decimal text under the application "ORV Pro Configuration", section
// "Settings", so a store written by one version reads the same in the next. A value that is not
// a number, or a list position outside its list, falls back to its default instead of stopping
// start-up.
#pragma once

#include <QString>

namespace orv::shell {

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

class SettingsStore {
  public:
    // defaultPath: the folder the program was started from, used while no Path is stored.
    explicit SettingsStore(QString defaultPath);

    StartupSettings Read() const;
    void Write(const ExitSettings& s) const;

  private:
    QString defaultPath_;
};

// Reads a whole decimal integer; anything else (blanks, signs only, fractions, overflow) is
// refused.
bool ParseStoredInt(const QString& text, int& value);

}  // namespace orv::shell
