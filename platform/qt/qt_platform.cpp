// A stand-in for the platform object, enough to run the dialog role: the
// window role accepts and ignores everything, the main window is the one a
// caller sets, and the strip is only remembered.
#include "platform/qt/qt_platform.h"

#include <QMainWindow>
#include <QPointer>
#include <QWidget>

#include "platform/qt/qt_dialogs.h"

namespace cellarium {

class QtWindows final : public WindowServices {
public:
    void WindowCreated(CWnd&) override {}
    void WindowDestroyed(CWnd&) override {}
    TimerHandle SetTimer(CWnd&, unsigned, unsigned) override { return 0; }
    bool KillTimer(CWnd&, TimerHandle) override { return false; }
    void Invalidate(CWnd&, const CRect*, bool) override {}
    void UpdateWindow(CWnd&) override {}
    CRect GetClientRect(const CWnd&) override { return CRect{}; }
    void ScrollStateChanged(CWnd&) override {}
    uint32_t NearestColour(uint32_t rgb) override { return rgb; }
    void SetWaitCursor(bool) override {}
    void FrameCreated(CFrameWnd&) override {}
    void FrameDestroyed(CFrameWnd&) override {}
    void InstallCommandBar(CFrameWnd&, const CommandBarDesc&) override {}
    void CommandStatesChanged(CFrameWnd&) override {}
    void ShowFileList(CFrameWnd&, const std::string&, const std::string&) override {}
    void CloseFileList(CFrameWnd&) override {}
};

namespace {
QPointer<QWidget> g_strip;
}  // namespace

QtPlatform::QtPlatform()
    : windows_(std::make_unique<QtWindows>()), dialogs_(std::make_unique<QtDialogs>(*this)) {}

QtPlatform::~QtPlatform() = default;

WindowServices& QtPlatform::Windows() {
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

QMainWindow* QtPlatform::MainQtWindow() const {
    return nullptr;
}

void QtPlatform::PlaceStatusStrip(QWidget* strip) {
    g_strip = strip;
}

}  // namespace cellarium
