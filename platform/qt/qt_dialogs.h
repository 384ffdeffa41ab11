// Dialogs of the desktop back end: modal dialogs and the dialog bar laid out
// from their templates (dialog units converted through the font's metrics),
// message boxes and the file dialogs.
#pragma once

#include <map>

#include "framework/platform_services.h"

class QWidget;

namespace cellarium {

class QtPlatform;

class QtDialogs final : public DialogServices {
public:
    explicit QtDialogs(QtPlatform& platform);
    ~QtDialogs() override;

    void ControlChanged(ControlHost& host, int id) override;
    void SetFocusControl(ControlHost& host, int id) override;
    void RunModalDialog(CDialog& dialog) override;
    // Builds the bar's widget from its template and hands it to
    // QtPlatform::PlaceStatusStrip.
    void DialogBarCreated(CDialogBar& bar) override;
    void DialogBarDestroyed(CDialogBar& bar) override;
    int MessageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> RunFileDialog(const FileDialogRequest& request) override;

    // The widget showing a control of a host (a dialog or bar on screen), or
    // null: for tests and for the main window's layout.
    QWidget* ControlWidget(const ControlHost& host, int id) const;
    // The top-level widget built for a host, or null.
    QWidget* HostWidget(const ControlHost& host) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace cellarium
