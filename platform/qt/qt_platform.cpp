#include "platform/qt/qt_platform.h"

#include "platform/posix/posix_files.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_roles.h"
#include "platform/qt/qt_windows.h"

namespace cellarium {
namespace {

// The desktop goes by the machine's steady clock.
class QtClock final : public ClockServices {
public:
    std::chrono::steady_clock::time_point Now() override {
        return std::chrono::steady_clock::now();
    }
};

}  // namespace

QtPlatform::QtPlatform()
    : windows_(std::make_unique<QtWindows>(*this)),
      dialogs_(std::make_unique<QtDialogs>(*this)),
      files_(std::make_unique<PosixFiles>()),
      settings_(std::make_unique<QtSettings>()),
      clipboard_(std::make_unique<QtClipboard>()),
      processes_(std::make_unique<QtProcesses>(*windows_)),
      clock_(std::make_unique<QtClock>()) {}

QtPlatform::~QtPlatform() {
    // Dialogs go before the windows they may sit in.
    dialogs_.reset();
    windows_.reset();
}

WindowServices& QtPlatform::Windows() {
    return *windows_;
}

FrameServices& QtPlatform::Frames() {
    return *windows_;
}
DialogServices& QtPlatform::Dialogs() {
    return *dialogs_;
}
FileServices& QtPlatform::Files() {
    return *files_;
}
SettingsServices& QtPlatform::Settings() {
    return *settings_;
}
ClipboardServices& QtPlatform::Clipboard() {
    return *clipboard_;
}
ProcessServices& QtPlatform::Processes() {
    return *processes_;
}
ClockServices& QtPlatform::Clock() {
    return *clock_;
}

QMainWindow* QtPlatform::MainQtWindow() const {
    return windows_ ? windows_->MainWindow() : nullptr;
}

void QtPlatform::PlaceStatusStrip(QWidget* strip) {
    if (windows_) windows_->PlaceStatusStrip(strip);
}

bool QtPlatform::EndRequested() const {
    return static_cast<const QtProcesses&>(*processes_).EndRequested();
}

}  // namespace cellarium
