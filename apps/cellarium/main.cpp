// cellarium: the desktop program. The program's own application, document
// and view on the Qt back end. A pattern named on the command line is opened
// at start; without one, the program starts at the list of pattern files
// (the user's documents folder, "Cellarium" inside it, with the bundled
// samples while it holds none). --help and --version answer on standard
// output without opening a window (or needing a display).
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "apps/cellarium/desktop_look.h"
#include "document/help_page.h"
#include "engine/step.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_windows.h"
#include "samples_folder.h"
#include "shell/life_app.h"

using namespace cellarium;

namespace {

const char* const kUsage =
    "Usage: cellarium [Qt options] [PATTERN]\n"
    "Opens PATTERN (Life 1.05 or 1.06, RLE, plaintext, macrocell, optionally\n"
    "gzip-compressed), or starts at the list of pattern files.\n"
    "  --help      print this and exit\n"
    "  --version   print the version and exit\n"
    "The runner, cellarium-cli, runs patterns without a window.\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("cellarium %s\n", CELLARIUM_VERSION);
            return 0;
        }
    }
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cellarium"));

    // What is left after Qt took its own options.
    const QStringList arguments = QApplication::arguments();
    std::vector<std::string> args;
    for (qsizetype i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());
    QtPlatform platform;
    platform.WindowRole().SetCommandLook(DesktopCommandLook());
    const std::string program = arguments.value(0).toStdString();
    const std::string gun = FindSample(program, "glider_gun.rle");
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    CLifeApp app(platform, args);
    app.m_strProgramFolder = ProgramFolderOf(program);
    app.m_bFitOnOpen = true;
    app.m_strDocumentsFolder =
        documents.isEmpty() ? std::string() : QDir(documents).filePath("Cellarium").toStdString();
    app.m_strSamplesFolder =
        gun.empty() ? std::string()
                    : QFileInfo(QString::fromStdString(gun)).absolutePath().toStdString();
    app.InitInstance();
    // The threads the step may use on large boards: the "Performance" /
    // "Step Threads" setting under the program's settings, 0 or missing for
    // every core.
    if (const int threads = app.GetProfileInt("Performance", "Step Threads", 0); threads > 0)
        SetStepThreads(threads);
    // Ended while starting (cells that could not be allocated).
    if (platform.EndRequested()) return 0;
    const int status = QApplication::exec();
    if (!platform.EndRequested()) app.ExitInstance();
    return status;
}
