// The desktop back end: the platform seam over Qt 6 Widgets. One QtPlatform
// per program, made after the QApplication and before the framework's
// application object starts; it hands out one object per role, each
// implemented in a file of its own (qt_windows.cpp with qt_command_bar.cpp
// and qt_file_list_page.cpp, qt_dialogs.cpp,
// qt_files.cpp, qt_settings.cpp, qt_clipboard.cpp, qt_processes.cpp).
//
// Everything runs on the Qt user-interface thread.
#pragma once

#include <memory>

#include "framework/platform_services.h"

class QMainWindow;
class QWidget;

namespace cellarium {

class QtWindows;
class QtDialogs;

class QtPlatform final : public PlatformServices {
public:
    QtPlatform();
    ~QtPlatform() override;
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    WindowServices& Windows() override;
    FrameServices& Frames() override;
    DialogServices& Dialogs() override;
    FileServices& Files() override;
    SettingsServices& Settings() override;
    ClipboardServices& Clipboard() override;
    ProcessServices& Processes() override;
    ClockServices& Clock() override;

    // The main window once the framework's frame exists (null before): the
    // parent of dialogs and message boxes.
    QMainWindow* MainQtWindow() const;
    // Places a dialog bar's widget (the status strip) at the bottom of the
    // main window, or takes it away again (null).
    void PlaceStatusStrip(QWidget* strip);
    // Whether the program asked to end (EndProgram). Before the main event
    // loop runs, the program checks this instead of starting the loop.
    bool EndRequested() const;

    QtWindows& WindowRole() { return *windows_; }
    QtDialogs& DialogRole() { return *dialogs_; }

private:
    std::unique_ptr<QtWindows> windows_;
    std::unique_ptr<QtDialogs> dialogs_;
    std::unique_ptr<FileServices> files_;
    std::unique_ptr<SettingsServices> settings_;
    std::unique_ptr<ClipboardServices> clipboard_;
    std::unique_ptr<ProcessServices> processes_;
    std::unique_ptr<ClockServices> clock_;
};

}  // namespace cellarium
