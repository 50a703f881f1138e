// velmora: the editor's windows.
//
//     velmora [FILE]
//
// Opens FILE (its arguments joined with blanks, so an unquoted path with
// blanks works) when the main window first appears.

#include "Windows.h"

#include "platform/FileFormats.h"
#include "platform/PathText.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    // Asked from a terminal, as every program there answers them.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        const std::string usage = "Usage: velmora [FILE]\n"
                                  "The Velmora Audio Editor: opens FILE (" +
                                  velmora::ExtensionsText() +
                                  ") when its window appears.\n"
                                  "For editing from a terminal, see velmora-cli --help.\n";
        std::fputs(usage.c_str(), stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("velmora " VELMORA_VERSION "\n", stdout);
        return 0;
    }
    // A file size limit should fail a write, not kill the program mid-save.
    std::signal(SIGXFSZ, SIG_IGN);
    // The plugins, the decoder and the language files come from the
    // program's own folder and nowhere else.
    if (velmora::ExecutableFolder().empty()) {
        std::fputs("velmora: the program's own folder cannot be found (is /proc mounted?)\n", stderr);
        return 1;
    }
    QApplication application(argc, argv);
    velmora::SubstituteDesignFonts();
    QApplication::setApplicationName(QStringLiteral("Velmora Audio Editor"));
    // Lets the desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora"));
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    return velmora::RunProgram(arguments);
}
