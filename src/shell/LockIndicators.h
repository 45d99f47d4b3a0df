// The state of the keyboard's lock keys, for the status bar's CAP, NUM and SCRL panes.
//
// Where the program shows its windows on an X11 display, the display server knows them (its
// keyboard indicators). Elsewhere the kernel's keyboard LEDs (/sys/class/leds/*::capslock and
// the like) may tell, for a keyboard attached to this machine. A lock that neither reports is
// unknown, and its pane stays empty rather than claiming that the lock is off.
#pragma once

#include <QString>
#include <array>
#include <optional>

// Caps Lock, Num Lock and Scroll Lock, in this order; nothing where the state is unknown.
using LockStates = std::array<std::optional<bool>, 3>;

// What the X11 display server says; every lock unknown on another display or without one.
LockStates DisplayLockStates();
// What the kernel's LEDs in `ledFolder` say: a lock is on when any keyboard's LED of it is lit.
LockStates LedLockStates(const QString& ledFolder);
// The display server's answer for each lock, else the LEDs' in `ledFolder`.
LockStates CurrentLockStates(const QString& ledFolder = QStringLiteral("/sys/class/leds"));
