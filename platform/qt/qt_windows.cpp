#include "platform/qt/qt_windows.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "framework/document.h"
#include "framework/frame_wnd.h"
#include "framework/view.h"
#include "framework/win_app.h"
#include "platform/qt/file_pictures.h"
#include "platform/qt/graph_panel.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_view_widget.h"
#include "platform/qt/qt_windows_impl.h"

namespace cellarium {
namespace {

// Accepts a dropped pattern file anywhere on the window.
class QtMainWindow final : public QMainWindow {
public:
    explicit QtMainWindow(QtWindows& windows) : windows_(windows) { setAcceptDrops(true); }

protected:
    // The window manager's close box: the frame decides (it ends the loop).
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (CFrameWnd* frame = cellarium::MainWindow(); frame != nullptr && windows_.Delivering())
            frame->OnClose();
        else
            event->accept();
    }
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
    }
    void dropEvent(QDropEvent* event) override {
        const QString path = DroppedFile(event->mimeData());
        if (path.isEmpty()) return;
        event->acceptProposedAction();
        windows_.OpenPath(path.toStdString());
    }

private:
    static QString DroppedFile(const QMimeData* data) {
        if (data == nullptr || !data->hasUrls()) return QString();
        for (const QUrl& url : data->urls())
            if (url.isLocalFile()) return url.toLocalFile();
        return QString();
    }
    QtWindows& windows_;
};

// The main window's place from the last run, when it is still on a screen;
// else the first size, in the middle of the screen's available area. True
// when the window was left maximised: it is maximised once shown at its
// normal place, so that the window manager keeps that place for when it is
// restored.
bool PlaceMainWindow(QMainWindow& main) {
    CWinApp* app = TheApp();
    if (app != nullptr) {
        const QRect saved(app->GetProfileInt(kWindowSection, "X", 0),
                          app->GetProfileInt(kWindowSection, "Y", 0),
                          app->GetProfileInt(kWindowSection, "Width", 0),
                          app->GetProfileInt(kWindowSection, "Height", 0));
        if (saved.width() > 0 && saved.height() > 0)
            if (QScreen* screen = QGuiApplication::screenAt(saved.center())) {
                const QRect area = screen->availableGeometry();
                main.resize(std::min(saved.width(), area.width()),
                            std::min(saved.height(), area.height() - kTitleBarAllowance));
                main.move(saved.topLeft());
                return app->GetProfileInt(kWindowSection, "Maximized", 0) != 0;
            }
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return false;
    const QRect area = screen->availableGeometry();
    const QSize size(
        int(area.width() * kFirstSideShare),
        std::max(int(area.height() * kFirstSideShare) - kTitleBarAllowance, area.height() / 2));
    main.resize(size);
    main.move(area.left() + (area.width() - size.width()) / 2,
              area.top() + (area.height() - size.height() - kTitleBarAllowance) / 2);
    return false;
}

}  // namespace

QtWindows::QtWindows(QtPlatform& platform) : impl_(std::make_unique<Impl>(platform)) {
    impl_->pictures = std::make_unique<FilePictureCache>(
        [this](const QString& path) { impl_->PictureReady(path); });
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &impl_->context,
                         [this] {
                             Impl& d = *impl_;
                             if (!d.idleWanted || d.inIdle || !d.delivering) return;
                             CWinApp* app = TheApp();
                             if (app == nullptr) {
                                 d.idleWanted = false;
                                 return;
                             }
                             d.inIdle = true;
                             const bool more = app->OnIdle(d.idleCount++);
                             ++d.idleCalls;
                             d.inIdle = false;
                             // One call per pass of the event loop, so input
                             // between calls is handled at once.
                             if (more && d.idleCount < kMaxIdleCalls) {
                                 if (auto* disp = QAbstractEventDispatcher::instance())
                                     disp->wakeUp();
                             } else {
                                 d.idleWanted = false;
                             }
                         });
    }
    impl_->filter = std::make_unique<ActivityFilter>(*this);
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(impl_->filter.get());
}

QtWindows::~QtWindows() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(impl_->filter.get());
    for (auto& [wnd, widget] : impl_->views) widget->Detach();
    for (Impl::Timer& t : impl_->timers) delete t.timer;
    impl_->timers.clear();
    if (impl_->strip) impl_->strip->setParent(nullptr);
    delete impl_->main.data();
}

void QtWindows::SetCommandLook(CommandLook look) {
    impl_->look = std::move(look);
}

QMainWindow* QtWindows::MainWindow() const {
    return impl_->main.data();
}

QMenuBar* QtWindows::MenuBar() const {
    return impl_->main ? impl_->main->menuBar() : nullptr;
}

QToolBar* QtWindows::ToolBar() const {
    return impl_->toolbar;
}

std::vector<QAction*> QtWindows::MenuActions() const {
    return impl_->menuActions;
}

std::vector<QAction*> QtWindows::ToolbarActions() const {
    return impl_->toolbarActions;
}

std::vector<QComboBox*> QtWindows::ToolbarChoices() const {
    return impl_->toolbarChoices;
}

QtViewWidget* QtWindows::ViewWidget(const CWnd& wnd) const {
    auto it = impl_->views.find(&wnd);
    return it == impl_->views.end() ? nullptr : it->second;
}

std::pair<unsigned, unsigned> QtWindows::ZoomCommands() const {
    return {impl_->look.zoomIn, impl_->look.zoomOut};
}

// --- Windows and the view ------------------------------------------------------

void QtWindows::WindowCreated(CWnd& wnd) {
    auto* view = dynamic_cast<CScrollView*>(&wnd);
    if (view == nullptr || impl_->viewLayout == nullptr || impl_->views.count(&wnd)) return;
    auto* widget = new QtViewWidget(*this, *view, impl_->viewPage);
    impl_->viewLayout->addWidget(widget, 1);
    impl_->views[&wnd] = widget;
    widget->setFocus();
    // The window appears with its view; a document's first dialogs open
    // over it.
    if (impl_->main && !impl_->main->isVisible()) {
        impl_->main->show();
        if (impl_->maximiseWhenShown) impl_->main->showMaximized();
        impl_->maximiseWhenShown = false;
    }
    widget->SyncScrollBars();
}

void QtWindows::WindowDestroyed(CWnd& wnd) {
    Impl& d = *impl_;
    for (auto it = d.timers.begin(); it != d.timers.end();) {
        if (it->wnd == &wnd) {
            it->timer->stop();
            it->timer->deleteLater();
            it = d.timers.erase(it);
        } else {
            ++it;
        }
    }
    auto v = d.views.find(&wnd);
    if (v != d.views.end()) {
        v->second->Detach();
        v->second->hide();
        v->second->deleteLater();
        d.views.erase(v);
    }
}

TimerHandle QtWindows::SetTimer(CWnd& wnd, unsigned id, unsigned ms) {
    Impl& d = *impl_;
    if (id == 0 || !d.delivering) return 0;
    // A zero interval fires as soon as the events waiting (input, paints)
    // have been handled.
    const int interval = int(std::min(ms, unsigned(INT32_MAX)));
    for (Impl::Timer& t : d.timers)
        if (t.wnd == &wnd && t.id == id) {
            t.timer->start(interval);
            return id;
        }
    auto* timer = new QTimer(&d.context);
    timer->setTimerType(Qt::PreciseTimer);
    CWnd* target = &wnd;
    QObject::connect(timer, &QTimer::timeout, &d.context, [this, target, id] {
        if (!impl_->delivering) return;
        NoteActivity();
        target->OnTimer(id);
    });
    d.timers.push_back(Impl::Timer{&wnd, id, timer});
    timer->start(interval);
    return id;
}

bool QtWindows::KillTimer(CWnd& wnd, TimerHandle handle) {
    Impl& d = *impl_;
    auto it = std::find_if(d.timers.begin(), d.timers.end(), [&](const Impl::Timer& t) {
        return t.wnd == &wnd && TimerHandle(t.id) == handle;
    });
    if (it == d.timers.end()) return false;
    // Possibly inside this timer's own tick: delete it later.
    it->timer->stop();
    it->timer->deleteLater();
    d.timers.erase(it);
    return true;
}

int QtWindows::ArmedTimers() const {
    return int(impl_->timers.size());
}

int QtWindows::PaintCount(const CWnd& view) const {
    const QtViewWidget* w = ViewWidget(view);
    return w ? w->PaintCount() : 0;
}

void QtWindows::Invalidate(CWnd& wnd, const CRect* rect, bool erase) {
    if (QtViewWidget* w = ViewWidget(wnd)) w->InvalidateView(rect, erase);
}

void QtWindows::UpdateWindow(CWnd& wnd) {
    if (!impl_->delivering) return;
    if (QtViewWidget* w = ViewWidget(wnd)) w->PaintNow();
}

CRect QtWindows::GetClientRect(const CWnd& wnd) {
    if (QtViewWidget* w = ViewWidget(wnd)) return w->ClientRect();
    if (&wnd == impl_->frame && impl_->main && impl_->main->centralWidget()) {
        const QSize s = impl_->main->centralWidget()->size();
        return CRect{0, 0, s.width(), s.height()};
    }
    return CRect{};
}

std::optional<CPoint> QtWindows::PointerPosition(const CWnd& wnd) {
    QtViewWidget* w = ViewWidget(wnd);
    if (w == nullptr || !w->isVisible()) return std::nullopt;
    QWidget* surface = w->viewport();
    const QPoint global = QCursor::pos();
    // Only where the view itself is under the pointer: not a menu or a
    // dialog over it.
    if (QApplication::widgetAt(global) != surface) return std::nullopt;
    const QPoint local = surface->mapFromGlobal(global);
    if (!surface->rect().contains(local)) return std::nullopt;
    return w->ToClient(QPointF(local));
}

void QtWindows::ScrollStateChanged(CWnd& view) {
    if (QtViewWidget* w = ViewWidget(view)) w->SyncScrollBars();
}

uint32_t QtWindows::NearestColour(uint32_t rgb) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const int depth = screen ? screen->depth() : 24;
    if (depth >= 24) return rgb;
    // A 16-bit screen keeps 5 bits of red and blue and 6 of green.
    auto keep = [](uint32_t c, int bits) {
        const uint32_t levels = (1u << bits) - 1;
        return ((c * levels + 127) / 255) * 255 / levels;
    };
    const uint32_t r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
    return keep(r, 5) | (keep(g, 6) << 8) | (keep(b, 5) << 16);
}

void QtWindows::SetWaitCursor(bool on) {
    if (on == impl_->waitCursor ||
        qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    impl_->waitCursor = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

// --- The frame ---------------------------------------------------------------------

void QtWindows::FrameCreated(CFrameWnd& frame) {
    Impl& d = *impl_;
    d.frame = &frame;
    if (d.main) return;
    auto* main = new QtMainWindow(*this);
    d.main = main;
    CWinApp* app = TheApp();
    std::string title = app ? app->m_pszAppName : std::string("Cellarium");
    if (app && app->GetDocTemplate()) {
        const std::string t = app->GetDocTemplate()->GetDocString(CSingleDocTemplate::windowTitle);
        if (!t.empty()) title = t;
    }
    main->setWindowTitle(QString::fromStdString(title));
    d.maximiseWhenShown = PlaceMainWindow(*main);

    auto* central = new QWidget(main);
    d.centralLayout = new QVBoxLayout(central);
    d.centralLayout->setContentsMargins(0, 0, 0, 0);
    d.centralLayout->setSpacing(0);
    d.pages = new QStackedWidget(central);
    d.centralLayout->addWidget(d.pages, 1);

    d.viewPage = new QWidget(d.pages);
    d.viewLayout = new QVBoxLayout(d.viewPage);
    d.viewLayout->setContentsMargins(0, 0, 0, 0);
    d.pages->addWidget(d.viewPage);

    BuildFileListPage();

    main->setCentralWidget(central);
    if (d.strip) d.centralLayout->addWidget(d.strip);
}

void QtWindows::SaveWindowPlace() {
    Impl& d = *impl_;
    CWinApp* app = TheApp();
    if (!d.main || app == nullptr || !d.main->isVisible()) return;
    // The size of the window and the position of its frame, as a restart
    // puts them back (a maximised window keeps its normal place, and comes
    // back maximised).
    const QRect inner = d.main->normalGeometry();
    const bool maximised = d.main->isMaximized();
    // Maximised, the frame's corner is where the window manager's frame
    // would put it around the normal place.
    const QPoint corner = maximised
                              ? inner.topLeft() - (d.main->geometry().topLeft() - d.main->pos())
                              : d.main->pos();
    app->WriteProfileInt(kWindowSection, "Maximized", maximised ? 1 : 0);
    // A window maximised from the start has no normal place yet.
    if (!inner.isValid()) return;
    app->WriteProfileInt(kWindowSection, "X", corner.x());
    app->WriteProfileInt(kWindowSection, "Y", corner.y());
    app->WriteProfileInt(kWindowSection, "Width", inner.width());
    app->WriteProfileInt(kWindowSection, "Height", inner.height());
}

void QtWindows::FrameDestroyed(CFrameWnd& frame) {
    Impl& d = *impl_;
    if (d.frame != &frame) return;
    SaveWindowPlace();
    d.frame = nullptr;
    if (d.strip) {
        d.strip->setParent(nullptr);
        d.strip = nullptr;
    }
    d.menuActions.clear();
    d.toolbarActions.clear();
    d.toolbarChoices.clear();
    d.keyActions.clear();
    d.toolbar = nullptr;
    d.pages = nullptr;
    d.viewPage = nullptr;
    d.viewLayout = nullptr;
    d.centralLayout = nullptr;
    d.listPage = nullptr;
    d.list = nullptr;
    d.listOpenOther = nullptr;
    d.listCancel = nullptr;
    d.listShown = false;
    if (d.main) {
        d.main->hide();
        d.main->deleteLater();
        d.main = nullptr;
    }
}

void QtWindows::PlaceStatusStrip(QWidget* strip) {
    Impl& d = *impl_;
    if (d.strip && d.strip != strip) {
        if (d.centralLayout) d.centralLayout->removeWidget(d.strip);
        d.strip->hide();
        d.strip->setParent(nullptr);
    }
    d.strip = strip;
    if (strip != nullptr && d.centralLayout != nullptr) {
        d.centralLayout->addWidget(strip);
        strip->setVisible(!d.listShown);
    }
}

void QtWindows::EndMessageLoop(int exitCode) {
    // Leaves the main loop once the handler that asked has returned; the
    // program then closes its documents (main() runs the application's exit).
    QCoreApplication::exit(exitCode);
}

void QtWindows::SetFrameTitle(CFrameWnd& frame, const std::string& title) {
    if (impl_->main != nullptr && &frame == impl_->frame)
        impl_->main->setWindowTitle(QString::fromStdString(title));
}

// --- The graph panel ------------------------------------------------------------

void QtWindows::ShowGraphPanel(CFrameWnd& frame, const GraphPanelRequest& request) {
    Impl& d = *impl_;
    if (&frame != d.frame || !d.main) return;
    d.graphRequest = request;
    if (!d.graph) {
        d.graph = new GraphDock(QString::fromStdString(request.title), d.main);
        d.main->addDockWidget(Qt::BottomDockWidgetArea, d.graph);
        QObject::connect(d.graph, &QDockWidget::topLevelChanged, &d.context, [this](bool floating) {
            if (impl_->graphRequest.placed && impl_->delivering)
                impl_->graphRequest.placed(floating);
        });
        d.graph->onClose = [this] {
            if (impl_->graphRequest.closed && impl_->delivering) impl_->graphRequest.closed();
        };
    }
    d.graph->setWindowTitle(QString::fromStdString(request.title));
    d.graph->Graph()->SetMenu(request.menu, [this](unsigned id) {
        if (impl_->frame != nullptr && impl_->delivering) {
            NoteActivity();
            impl_->frame->SendCommand(id);
        }
    });
    // Placed as asked without telling the program back.
    d.graph->blockSignals(true);
    d.graph->setFloating(request.floating);
    d.graph->blockSignals(false);
    d.graph->show();
}

void QtWindows::HideGraphPanel(CFrameWnd& frame) {
    Impl& d = *impl_;
    if (&frame != d.frame || !d.graph) return;
    const auto onClose = std::move(d.graph->onClose);
    d.graph->onClose = nullptr;
    d.graph->close();
    d.graph->onClose = onClose;
}

int QtWindows::GraphColumns(CFrameWnd& frame) {
    Impl& d = *impl_;
    if (&frame != d.frame || !d.graph || !d.graph->isVisible()) return 0;
    return d.graph->Graph()->PlotColumns();
}

void QtWindows::SetGraphPicture(CFrameWnd& frame, const GraphPicture& picture) {
    Impl& d = *impl_;
    if (&frame != d.frame || !d.graph) return;
    d.graph->Graph()->SetPicture(picture);
}

std::string QtWindows::GraphImagePng(CFrameWnd& frame) {
    Impl& d = *impl_;
    if (&frame != d.frame || !d.graph || !d.graph->isVisible()) return std::string();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!d.graph->Graph()->grab().toImage().save(&buffer, "PNG")) return std::string();
    return bytes.toStdString();
}

QDockWidget* QtWindows::GraphPanel() const {
    return impl_->graph.data();
}

bool QtWindows::OpenPath(const std::string& path) {
    CWinApp* app = TheApp();
    if (app == nullptr || !impl_->delivering) return false;
    NoteActivity();
    if (app->OpenDocumentFile(path) == nullptr) return false;
    if (impl_->frame != nullptr && impl_->listShown) CloseFileList(*impl_->frame);
    return true;
}

// --- Idle and the end ----------------------------------------------------------------

void QtWindows::NoteActivity() {
    impl_->idleCount = 0;
    impl_->idleWanted = true;
}

long QtWindows::IdleCalls() const {
    return impl_->idleCalls;
}

void QtWindows::StopDelivering() {
    Impl& d = *impl_;
    if (d.delivering) SaveWindowPlace();
    d.delivering = false;
    for (Impl::Timer& t : d.timers) t.timer->stop();
}

bool QtWindows::Delivering() const {
    return impl_->delivering;
}

}  // namespace cellarium
