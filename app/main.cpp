// tessaron: the window program.
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
                     "       tessaron /Unregister\n";
        return 2;
    }
    CTessaronApp app(options);
    if (!app.InitInstance()) {
        return 0;
    }
    return QApplication::exec();
}
