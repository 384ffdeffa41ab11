#include "platform/qt/qt_help.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace cellarium {
namespace {

constexpr int kHelpWidth = 520;
constexpr int kHelpHeight = 600;
// Room left for the window manager's frame and title bar.
constexpr int kFrameAllowance = 40;

// A window opened over a modal dialog (About) belongs to it, or the dialog
// would block it; when the dialog goes, the window stays with the main one.
class OwnerWatch final : public QObject {
public:
    OwnerWatch(QWidget* help, QWidget* fallback) : help_(help), fallback_(fallback) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide && help_ && help_->parentWidget() == watched) {
            const bool shown = help_->isVisible();
            help_->setParent(fallback_.data(), help_->windowFlags());
            if (shown) help_->show();
            watched->removeEventFilter(this);
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> help_;
    QPointer<QWidget> fallback_;
};

}  // namespace

QtHelpWindow::~QtHelpWindow() {
    delete window_.data();
}

bool QtHelpWindow::Show(const QString& page, const QString& anchor, QWidget* owner) {
    const QFileInfo info(page);
    if (!info.isFile() || !info.isReadable()) return false;
    if (!window_) {
        auto* window = new QWidget(nullptr, Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setWindowTitle(QStringLiteral("Help"));
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* browser = new QTextBrowser(window);
        // Pages and anchors of the help open here; other places in the
        // desktop's browser.
        browser->setOpenLinks(true);
        browser->setOpenExternalLinks(true);
        layout->addWidget(browser);
        auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), window);
        QObject::connect(close, &QShortcut::activated, window, &QWidget::close);
        // At first over the middle of the main window, within its screen.
        QSize size(kHelpWidth, kHelpHeight);
        QPoint centre;
        if (owner != nullptr && owner->isVisible()) {
            centre = owner->frameGeometry().center();
            if (QScreen* screen = owner->screen()) {
                const QRect area = screen->availableGeometry();
                size = size.boundedTo(area.size() - QSize(kFrameAllowance, kFrameAllowance));
            }
        }
        window->resize(size);
        if (!centre.isNull()) {
            QPoint corner = centre - QPoint(size.width() / 2, size.height() / 2);
            if (QScreen* screen = owner->screen()) {
                const QRect area = screen->availableGeometry();
                corner.setX(std::clamp(corner.x(), area.left(),
                                       std::max(area.left(), area.right() - size.width())));
                corner.setY(std::clamp(
                    corner.y(), area.top(),
                    std::max(area.top(), area.bottom() - size.height() - kFrameAllowance)));
            }
            window->move(corner);
        }
        window_ = window;
        browser_ = browser;
    }
    // Over an open modal dialog the window is the dialog's, so it takes
    // input; otherwise the main window's.
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* parent = modal != nullptr ? modal : owner;
    if (window_->parentWidget() != parent) {
        window_->setParent(parent, Qt::Window);
        if (modal != nullptr) modal->installEventFilter(new OwnerWatch(window_, owner));
    }
    QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
    if (!anchor.isEmpty()) url.setFragment(anchor);
    browser_->setSource(url);
    if (!anchor.isEmpty()) browser_->scrollToAnchor(anchor);
    window_->show();
    window_->raise();
    window_->activateWindow();
    return true;
}

}  // namespace cellarium
