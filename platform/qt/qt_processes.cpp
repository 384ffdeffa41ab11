// Other programs and the program's own end on the desktop.
#include <QCoreApplication>
#include <QMainWindow>
#include <QProcess>
#include <QThread>
#include <cstdio>

#include "platform/qt/qt_roles.h"
#include "platform/qt/qt_windows.h"

namespace cellarium {

bool QtProcesses::StartProcess(const std::string& program, const std::string& commandLine) {
    return QProcess::startDetached(QString::fromStdString(program),
                                   QProcess::splitCommand(QString::fromStdString(commandLine)));
}

bool QtProcesses::OpenHelp(const std::string& page, const std::string& anchor) {
    // The program's own help window, whether or not a browser is installed.
    return help_.Show(QString::fromStdString(page), QString::fromStdString(anchor),
                      windows_.MainWindow());
}

void QtProcesses::EndProgram() {
    if (ended_) return;
    ended_ = true;
    // Nothing more reaches the framework: no ticks, paints or commands.
    windows_.StopDelivering();
    std::fflush(nullptr);
    // Leaves every running event loop, nested ones (a dialog's) included;
    // loops started after this return at once. Before the main loop runs
    // the program checks EndRequested instead.
    QCoreApplication::exit(0);
}

void QtProcesses::ShellFullScreen(CWnd&, unsigned) {
    // A desktop window has no input-panel button to hide.
}

}  // namespace cellarium
