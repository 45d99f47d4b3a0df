// The window program's command line:
//
//   tessaron [--settings PATH] [--simulate [--simulate-record FILE] [--simulate-phases FILE]]
//            [FILE.vf|FILE.lcp ...]
//   tessaron [--settings PATH] --print-pdf FILE.lcp OUT.pdf
//   tessaron /p FILE.lcp | /pt FILE.lcp PRINTER [DRIVER PORT]
//   tessaron /Unregister | /Unregserver
//
// The options are read by CLI11. The desktop's own requests (/p, /pt, /Unregister and
// /Unregserver, in any case, also with a dash for the slash) are no options in CLI11's sense:
// a slash would make every absolute path an option. They are renamed into options of the
// parser before it runs, and messages about them use the spelling that was given.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

struct AppOptions {
    std::string settingsPath;   // empty: tessaron.ini beside the program
    QStringList documents;      // files to open (or to print)
    bool unregister = false;    // /Unregister or /Unregserver
    bool simulate = false;      // --simulate: a controller simulator inside the program
    std::string simulateRecord; // --simulate-record FILE: the simulator writes what it received
    std::string simulatePhases; // --simulate-phases FILE: its liquid crystal's phases go there
    // Printing from the command line: /p FILE prints on the default printer, /pt FILE
    // PRINTER [DRIVER [PORT]] on the named one, --print-pdf FILE OUT into a PDF file. The
    // program then ends without showing its window.
    bool printDirect = false;
    QString printerName;
    QString printPdf;
    // --help (or -h): the text to print; the program prints it and ends.
    bool help = false;
    QString helpText;
    QString error; // set when the command line is malformed
};

// Parses the arguments that follow the program name (Qt's own options already taken out).
AppOptions ParseCommandLine(const QStringList& arguments);

// The usage lines shown after a malformed command line.
QString CommandLineUsage();

// Whether the command line asks only for work that needs no window (help, a PDF of a report,
// removing the program's traces), which then runs also where there is no display.
bool RunsWithoutWindow(const AppOptions& options);
