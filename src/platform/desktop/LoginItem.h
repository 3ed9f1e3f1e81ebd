#pragma once
// Launch at login: an XDG autostart entry "velmora.desktop" that starts the running program when
// the user logs in. The entry's presence is the state; nothing is cached.

#include <QByteArray>
#include <QString>

namespace LoginItem {

// $XDG_CONFIG_HOME/autostart/velmora.desktop, or under ~/.config when that is unset or not absolute.
[[nodiscard]] QString entryPath();

// Whether the entry is there now and starts the program when the user logs in.
[[nodiscard]] bool isEnabled();

// Whether an entry's text starts its program: not when it is hidden or switched off.
[[nodiscard]] bool startsProgram(const QByteArray &entry);

// Writes the entry for the running program (atomically) or removes it; false when that failed.
bool setEnabled(bool enabled);

// The entry's text for a program; empty when the path cannot be written in an entry.
[[nodiscard]] QByteArray entry(const QString &program);

// The program as the entry's Exec value: one quoted argument, escaped as the Desktop Entry format
// asks; empty when the path holds a control character the format cannot carry.
[[nodiscard]] QString execValue(const QString &program);

} // namespace LoginItem
