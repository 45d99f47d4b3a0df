// tessaron: the window program.
#include "framework/AsciiText.h"
#include "framework/ConsolePrompter.h"
#include "shell/TessaronApp.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

// Whether the command line asks only for work that needs no window: a PDF of a report or
// removing the program's traces.
bool RunsWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::string lower = asciitext::ToLower(arg);
        if (arg == "--print-pdf" || lower == "/unregister" || lower == "/unregserver" ||
            lower == "-unregister" || lower == "-unregserver") {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    // Such work also runs where there is no display (a script on a server, a session over
    // ssh): Qt then draws offscreen instead of giving up for want of a screen.
    if (RunsWithoutWindow(argc, argv) && std::getenv("QT_QPA_PLATFORM") == nullptr &&
        std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tessaron");
    QApplication::setApplicationVersion(TESSARON_VERSION);

    const AppOptions options = ParseCommandLine(QApplication::arguments().mid(1));
    if (!options.error.isEmpty()) {
        std::cerr << "tessaron: " << options.error.toStdString() << "\n"
                  << "Usage: tessaron [--settings PATH] [--simulate [--simulate-record FILE]] "
                     "[FILE.vf|FILE.lcp ...]\n"
                     "       tessaron [--settings PATH] --print-pdf FILE.lcp OUT.pdf\n"
                     "       tessaron /p FILE.lcp | /pt FILE.lcp PRINTER\n"
                     "       tessaron /Unregister\n";
        return 2;
    }
    // A PDF made from the command line has nobody at the screen: its messages go to the
    // standard error stream.
    ConsolePrompter console(std::cerr);
    CTessaronApp app(options, options.printPdf.isEmpty() ? nullptr : &console);
    if (!app.InitInstance()) {
        return app.ExitCode();
    }
    return QApplication::exec();
}
