#include "ui/settings_store.h"

#include <QSettings>

#include "link/qt/user_store.h"
#include "model/identity.h"
#include "model/lists.h"

namespace orv::ui {
namespace {

QSettings OpenStore() {
    return OpenUserStore();
}

// A position within [0, count), or the fallback.
int ReadPosition(const QSettings& s, const char* key, int count, int fallback) {
    int v = 0;
    if (!ParseStoredInt(s.value(key).toString(), v) || v < 0 || v >= count) return fallback;
    return v;
}

int ReadTwips(const QSettings& s, const char* key) {
    int v = 0;
    // Keep the window position in a range that cannot overflow when converted to pixels.
    if (!ParseStoredInt(s.value(key).toString(), v) || v < -1000000 || v > 1000000) return 0;
    return v;
}

}  // namespace

bool ParseStoredInt(const QString& text, int& value) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (!ok) return false;
    value = v;
    return true;
}

SettingsStore::SettingsStore(QString defaultPath) : defaultPath_(std::move(defaultPath)) {}

StartupSettings SettingsStore::Read() const {
    QSettings s = OpenStore();
    s.beginGroup("Settings");
    StartupSettings r;
    r.leftTwips = ReadTwips(s, "MainLeft");
    r.topTwips = ReadTwips(s, "MainTop");
    r.path = s.contains("Path") ? s.value("Path").toString() : defaultPath_;
    r.fileName = s.value("FileName").toString();
    r.comPort = ReadPosition(s, "ComPort", kComPorts, 0);
    r.comRate = ReadPosition(s, "ComRate", static_cast<int>(kBaudRateItems.size()), kBaud9600);
    return r;
}

void SettingsStore::Write(const ExitSettings& e) const {
    QSettings s = OpenStore();
    s.beginGroup("Settings");
    if (!e.minimized) {
        s.setValue("MainLeft", QString::number(e.leftTwips));
        s.setValue("MainTop", QString::number(e.topTwips));
        s.setValue("MainWidth", QString::number(e.widthTwips));
        s.setValue("MainHeight", QString::number(e.heightTwips));
    }
    s.setValue("Path", e.path);
    s.setValue("FileName", e.fileName);
    s.setValue("ComPort", QString::number(e.comPort));
    s.setValue("ComRate", QString::number(e.comRate));
    s.endGroup();
    s.sync();
}

namespace {

bool ReadSwitch(const QSettings& s, const char* key, bool fallback) {
    int v = 0;
    if (!ParseStoredInt(s.value(key).toString(), v) || (v != 0 && v != 1)) return fallback;
    return v == 1;
}

}  // namespace

UnitSettings SettingsStore::ReadUnit() {
    QSettings s = OpenStore();
    s.beginGroup("Unit");
    const UnitSettings defaults;
    return {ReadSwitch(s, "VerifyAfterWrite", defaults.verifyAfterWrite),
            ReadSwitch(s, "BackupBeforeWrite", defaults.backupBeforeWrite)};
}

void SettingsStore::WriteUnit(const UnitSettings& u) {
    QSettings s = OpenStore();
    s.beginGroup("Unit");
    s.setValue("VerifyAfterWrite", u.verifyAfterWrite ? "1" : "0");
    s.setValue("BackupBeforeWrite", u.backupBeforeWrite ? "1" : "0");
    s.endGroup();
    s.sync();
}

}  // namespace orv::ui
