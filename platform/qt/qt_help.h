// The program's own help window: the help page in Qt's rich text browser,
// with its links and anchors, closed by Esc. It does not depend on a browser
// being installed.
#pragma once

#include <QPointer>
#include <QString>
#include <QTextBrowser>
#include <QWidget>

namespace cellarium {

class QtHelpWindow {
public:
    QtHelpWindow() = default;
    ~QtHelpWindow();
    QtHelpWindow(const QtHelpWindow&) = delete;
    QtHelpWindow& operator=(const QtHelpWindow&) = delete;

    // Shows the page (a full path) at the anchor (none when empty), over
    // owner, and brings the window to the front. False when the page cannot
    // be read.
    bool Show(const QString& page, const QString& anchor, QWidget* owner);
    // The window (null before the first Show) and its browser.
    QWidget* Window() const { return window_.data(); }
    QTextBrowser* Browser() const { return browser_.data(); }

private:
    QPointer<QWidget> window_;
    QPointer<QTextBrowser> browser_;
};

}  // namespace cellarium
