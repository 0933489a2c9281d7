// The COM map in the user's settings store: Qt Core only, so that the Windows editor, whose line
// is the Win32 COM port, keeps its map there too.
#include <QSettings>

#include "link/qt/port_settings.h"
#include "model/identity.h"

namespace orv {
namespace {

const QString kStoreName = QString::fromLatin1(kProgramTitle.data(), kProgramTitle.size());

QString Key(int comNumber) {
    return QStringLiteral("Ports/COM%1").arg(comNumber);
}

}  // namespace

std::optional<std::string> ReadComMapping(int comNumber) {
    QSettings store(kStoreName, kStoreName);
    const QString value = store.value(Key(comNumber)).toString();
    if (value.isEmpty()) return std::nullopt;
    return value.toStdString();
}

void SetComMapping(int comNumber, const std::string& device) {
    QSettings store(kStoreName, kStoreName);
    store.setValue(Key(comNumber), QString::fromStdString(device));
    store.sync();
}

void ClearComMapping(int comNumber) {
    QSettings store(kStoreName, kStoreName);
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
