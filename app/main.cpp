// tessaron: the window program.
#include "framework/ConsolePrompter.h"
#include "shell/CommandLineOptions.h"
#include "shell/TessaronApp.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    // Help, a PDF of a report and removing the program's traces also run where there is no
    // display (a script on a server, a session over ssh): Qt then draws offscreen instead of
    // giving up for want of a screen. What needs the window is refused below with a message.
    const bool noDisplay = std::getenv("QT_QPA_PLATFORM") == nullptr &&
                           std::getenv("DISPLAY") == nullptr &&
                           std::getenv("WAYLAND_DISPLAY") == nullptr;
    if (noDisplay) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tessaron");
    QApplication::setApplicationVersion(TESSARON_VERSION);

    // Qt has taken its own options (-style, -platform, ...) out of the arguments.
    const AppOptions options = ParseCommandLine(QApplication::arguments().mid(1));
    if (!options.error.isEmpty()) {
        std::cerr << "tessaron: " << options.error.toStdString() << "\n"
                  << CommandLineUsage().toStdString();
        return 2;
    }
    if (options.help) {
        std::cout << options.helpText.toStdString();
        return 0;
    }
    if (noDisplay && !RunsWithoutWindow(options)) {
        std::cerr << "tessaron: there is no display to show the window on (neither DISPLAY nor "
                     "WAYLAND_DISPLAY is set); xvfb-run gives a virtual one\n";
        return 1;
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
