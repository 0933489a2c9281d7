#include "link/qt/user_store.h"

#include <QStringList>
#include <mutex>

#include "model/identity.h"

namespace orv {
namespace {

const QString kName = QString::fromLatin1(kProgramTitle.data(), kProgramTitle.size());

#ifdef _WIN32
const QString kKey = "HKEY_CURRENT_USER\\Software\\" + kName;
#endif

}  // namespace

void MoveEarlierUserStoreUp() {
#ifdef _WIN32
    // QSettings(name, name) wrote "<store>\ORV Pro Configuration": a group of the store now.
    QSettings store(kKey, QSettings::NativeFormat);
    if (!store.childGroups().contains(kName)) return;
    store.beginGroup(kName);
    const QStringList keys = store.allKeys();
    QList<QVariant> values;
    for (const QString& key : keys) values << store.value(key);
    store.endGroup();
    for (qsizetype k = 0; k < keys.size(); ++k)
        if (!store.contains(keys[k])) store.setValue(keys[k], values[k]);
    store.remove(kName);
    store.sync();
#endif
}

QSettings OpenUserStore() {
#ifdef _WIN32
    static std::once_flag moved;
    std::call_once(moved, MoveEarlierUserStoreUp);
    return QSettings(kKey, QSettings::NativeFormat);
#else
    return QSettings(kName, kName);
#endif
}

}  // namespace orv
