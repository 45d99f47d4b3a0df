#include "shell/LockIndicators.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

namespace {

// The kernel's and the display server's names of the three locks, in the order of LockStates.
constexpr const char* kLedSuffixes[] = {"capslock", "numlock", "scrolllock"};
constexpr const char* kIndicatorNames[] = {"Caps Lock", "Num Lock", "Scroll Lock"};

} // namespace

LockStates LedLockStates(const QString& ledFolder) {
    LockStates states;
    const QDir leds(ledFolder);
    for (std::size_t i = 0; i < states.size(); ++i) {
        const QStringList names =
            leds.entryList({QStringLiteral("*::") + QLatin1String(kLedSuffixes[i])},
                           QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            QFile file(leds.filePath(name + QStringLiteral("/brightness")));
            if (file.open(QIODevice::ReadOnly)) {
                const bool on = file.readAll().trimmed().toInt() != 0;
                states[i] = states[i].value_or(false) || on;
            }
        }
    }
    return states;
}

LockStates CurrentLockStates(const QString& ledFolder) {
    LockStates states = DisplayLockStates();
    const LockStates leds = LedLockStates(ledFolder);
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (!states[i]) {
            states[i] = leds[i];
        }
    }
    return states;
}

// Xlib's headers come last: their macros (None, Bool, Status, KeyPress, ...) would clash with
// names of Qt's headers.
#include <X11/XKBlib.h>

LockStates DisplayLockStates() {
    LockStates states;
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 =
        app != nullptr ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) {
        return states;
    }
    for (std::size_t i = 0; i < states.size(); ++i) {
        // The indicators are known by name: which bit of the indicator state belongs to which
        // lock is the keyboard map's choice.
        const Atom name = XInternAtom(display, kIndicatorNames[i], True);
        Bool on = False;
        if (name != None &&
            XkbGetNamedIndicator(display, name, nullptr, &on, nullptr, nullptr) == True) {
            states[i] = on == True;
        }
    }
    return states;
}
