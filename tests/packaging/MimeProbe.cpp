// Prints the MIME type Qt's database gives each file named on the command line, one per
// line, the way a file dialog or a file manager decides it: by the name first, then, for a
// name without a known pattern, by the leading bytes. The database is the one the XDG data
// folders of the environment describe.
#include <QMimeDatabase>
#include <cstdio>

int main(int argc, char** argv) {
    const QMimeDatabase database;
    for (int i = 1; i < argc; ++i) {
        const QMimeType type = database.mimeTypeForFile(QString::fromLocal8Bit(argv[i]));
        std::printf("%s\n", type.isValid() ? qPrintable(type.name()) : "(none)");
    }
    return 0;
}
