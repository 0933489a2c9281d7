// The COM map in the user's settings store: Qt Core only, so that the Windows editor, whose line
// is the Win32 COM port, keeps its map there too.
#include "link/qt/port_settings.h"
#include "link/qt/user_store.h"

namespace orv {
namespace {

QString Key(int comNumber) {
    return QStringLiteral("Ports/COM%1").arg(comNumber);
}

}  // namespace

std::optional<std::string> ReadComMapping(int comNumber) {
    QSettings store = OpenUserStore();
    const QString value = store.value(Key(comNumber)).toString();
    if (value.isEmpty()) return std::nullopt;
    return value.toStdString();
}

void SetComMapping(int comNumber, const std::string& device) {
    QSettings store = OpenUserStore();
    store.setValue(Key(comNumber), QString::fromStdString(device));
    store.sync();
}

void ClearComMapping(int comNumber) {
    QSettings store = OpenUserStore();
    store.remove(Key(comNumber));
    store.sync();
}

std::map<int, std::string> ReadAllComMappings() {
    std::map<int, std::string> out;
    for (int n = kFirstComPort; n <= kLastComPort; ++n)
        if (auto device = ReadComMapping(n)) out[n] = *device;
    return out;
}

ComPortLookup SettingsComPortLookup() {
    return [](int comNumber) { return ReadComMapping(comNumber); };
}

}  // namespace orv
