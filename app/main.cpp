// tessaron: the window program.
#include "framework/ConsolePrompter.h"
#include "shell/TessaronApp.h"

#include <QApplication>
#include <iostream>

int main(int argc, char** argv) {
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
