// cellarium: the desktop program. The program's own application, document
// and view on the Qt back end. A pattern named on the command line is opened
// at start; without one, the glider gun from the samples.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <string>
#include <vector>

#include "apps/cellarium/desktop_look.h"
#include "engine/rules.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_windows.h"
#include "samples_folder.h"
#include "shell/life_app.h"

using namespace cellarium;

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cellarium"));

    // What is left after Qt took its own options.
    const QStringList arguments = QApplication::arguments();
    std::vector<std::string> args;
    for (qsizetype i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());
    bool named = false;
    for (const std::string& a : args)
        if (!a.empty() && a[0] != '-') named = true;
    if (!named) {
        const std::string gun = FindSample(arguments.value(0).toStdString(), "glider_gun.rle");
        if (gun.empty())
            std::fprintf(stderr, "cellarium: the samples folder was not found\n");
        else
            args.push_back(gun);
    }

    QtPlatform platform;
    platform.WindowRole().SetCommandLook(DesktopCommandLook());
    ResetRules();
    CLifeApp app(platform, args);
    app.InitInstance();
    // Ended while starting (cells that could not be allocated).
    if (platform.EndRequested()) return 0;
    const int status = QApplication::exec();
    if (!platform.EndRequested()) app.ExitInstance();
    return status;
}
