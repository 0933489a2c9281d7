// The per-user settings store of the editor, which orv-cli's COM map shares: text values under
// the application name "ORV Pro Configuration". On Windows it is the registry key
// HKEY_CURRENT_USER\Software\ORV Pro Configuration, one level, with its groups ("Settings",
// "Unit", "Ports") beneath; elsewhere the file "~/.config/ORV Pro Configuration/ORV Pro
// Configuration.conf".
#pragma once

#include <QSettings>

namespace orv {

// The store, opened for reading and writing; the first time in a run, after
// MoveEarlierUserStoreUp.
QSettings OpenUserStore();

// On Windows: moves the values earlier versions kept one level deeper (...\ORV Pro
// Configuration\ORV Pro Configuration) up into the store, without replacing one already there,
// and removes that key. Elsewhere the store has not moved: nothing to do.
void MoveEarlierUserStoreUp();

}  // namespace orv
