// Starting the program at login: an XDG autostart entry, $XDG_CONFIG_HOME/autostart/nimbolt.desktop
// (~/.config when the variable is unset), which desktops read when the user logs in. The entry is
// the setting: it is there or not.
#pragma once

#include <QString>

namespace nimbolt {

QString autostartEntryPath();
bool isAutostartEnabled();
// Writes the entry, which starts program, or removes it; false when the file could not be
// written or removed.
bool setAutostartEnabled(bool enabled, const QString& program);

}
