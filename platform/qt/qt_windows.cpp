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

namespace cellarium {
namespace {

// Idle calls after one burst of activity are bounded, in case a hook always
// wants more: the loop must come to rest and wait for input.
constexpr long kMaxIdleCalls = 1000;
// The main window's first size: about two thirds of the screen's available
// area, in the screen's own proportions (each side this share of the
// area's), leaving this much for the window manager's title bar.
constexpr double kFirstSideShare = 0.8165;  // the square root of 2/3
constexpr int kTitleBarAllowance = 40;
// Where the main window's size and position are kept between runs.
constexpr const char* kWindowSection = "Window";
constexpr int kToolIconSize = 20;

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

// Input anywhere in the program restarts idle processing.
class ActivityFilter final : public QObject {
public:
    explicit ActivityFilter(QtWindows& windows) : windows_(windows) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::Wheel:
                windows_.NoteActivity();
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QtWindows& windows_;
};

// Calls back on Esc pressed in the watched widgets (those of the file list
// page). The key is claimed before the window's shortcuts see it: the view's
// Esc (drop the selection, pause) is a shortcut of the whole window, and two
// shortcuts for one key would leave the key to neither.
class EscapeFilter final : public QObject {
public:
    EscapeFilter(QObject* parent, std::function<void()> onEscape)
        : QObject(parent), onEscape_(std::move(onEscape)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool escape =
            (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier;
        if (escape && event->type() == QEvent::ShortcutOverride) {
            event->accept();  // a key press for the widget, not a shortcut
            return true;
        }
        if (escape) {
            onEscape_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onEscape_;
};

// What the file list offers first: the formats the filter names, and the
// ones users keep their patterns in besides.
const QStringList kPatternPatterns{"*.lif", "*.l", "*.rle", "*.cells", "*.life", "*.txt"};

// The patterns of a filter "Name|*.a;*.b|Name|*.c||": pairs of a name and
// its patterns.
std::vector<std::pair<QString, QStringList>> ParseFilter(const std::string& filter) {
    std::vector<std::pair<QString, QStringList>> out;
    const QStringList parts = QString::fromStdString(filter).split('|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        out.emplace_back(parts[i], parts[i + 1].split(';', Qt::SkipEmptyParts));
    }
    return out;
}

// The file list's item data: the name, and what follows the size in cells.
constexpr int kNameRole = Qt::UserRole + 2;
constexpr int kSuffixRole = Qt::UserRole + 3;
static_assert(kPictureStateRole == Qt::UserRole + 1);

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

struct QtWindows::Impl {
    explicit Impl(QtPlatform& p) : platform(p) {}

    struct Timer {
        CWnd* wnd;
        unsigned id;
        QTimer* timer;
    };

    QtPlatform& platform;
    CommandLook look;
    QObject context;  // parent of timers and connections
    std::unique_ptr<ActivityFilter> filter;

    QPointer<QMainWindow> main;
    bool maximiseWhenShown = false;
    CFrameWnd* frame = nullptr;
    CommandBarDesc mainBar;
    CommandBarDesc listBar;
    QStackedWidget* pages = nullptr;
    QWidget* viewPage = nullptr;
    QVBoxLayout* viewLayout = nullptr;
    QVBoxLayout* centralLayout = nullptr;
    QPointer<QWidget> strip;
    QToolBar* toolbar = nullptr;
    std::vector<QAction*> menuActions;
    std::vector<QAction*> toolbarActions;
    std::vector<QComboBox*> toolbarChoices;
    std::vector<QAction*> keyActions;

    QWidget* listPage = nullptr;
    QListWidget* list = nullptr;
    QLabel* listFolder = nullptr;
    QComboBox* listTypes = nullptr;
    QPushButton* listOpenOther = nullptr;
    QPushButton* listCancel = nullptr;
    FileListRequest listRequest;
    bool listOpening = false;  // an entry is being opened (its dialogs are up)
    QString listDir;
    std::vector<std::pair<QString, QStringList>> listFilters;
    bool listShown = false;

    std::map<const CWnd*, QtViewWidget*> views;
    std::vector<Timer> timers;
    std::unique_ptr<FilePictureCache> pictures;
    QPointer<GraphDock> graph;
    GraphPanelRequest graphRequest;

    // A listed file's picture (or the mark of a file that cannot be read, a
    // second mark for one too big for the board, or a blank square while the
    // picture is being made) and its size in cells between its name and the
    // rest of its text. The tooltip says why a file has a mark.
    void Decorate(QListWidgetItem* item) {
        const QString path = item->data(Qt::UserRole).toString();
        if (path.isEmpty()) return;
        const QString text = item->data(kNameRole).toString();
        if (!pictures->HasMaker()) {
            item->setText(text + item->data(kSuffixRole).toString());
            return;
        }
        const FilePicture* picture = pictures->Find(path);
        const int side = kFilePictureSide;
        QString size, why;
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        int state = kPictureWaiting;
        if (picture != nullptr && picture->readable && picture->side > 0 &&
            picture->pixels.size() == std::size_t(picture->side) * std::size_t(picture->side)) {
            QImage image(picture->side, picture->side, QImage::Format_RGB32);
            for (int y = 0; y < picture->side; ++y)
                for (int x = 0; x < picture->side; ++x) {
                    const uint32_t c = picture->pixels[std::size_t(y * picture->side + x)];
                    image.setPixel(x, y, qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
                }
            pixmap = QPixmap::fromImage(image.scaled(side, side));
            if (picture->cellsWide > 0)
                size = QStringLiteral("  %1 \u00d7 %2")
                           .arg(picture->cellsWide)
                           .arg(picture->cellsHigh);
            state = kPictureShown;
        } else if (picture != nullptr && picture->tooBig) {
            // The board's frame with a block spilling out of it.
            QPainter painter(&pixmap);
            const QColor mid = list->palette().color(QPalette::Mid);
            painter.fillRect(QRect(side * 3 / 8, side * 3 / 8, side * 9 / 16, side * 9 / 16), mid);
            painter.setPen(QPen(list->palette().color(QPalette::Text), 2));
            painter.drawRect(QRect(side / 8, side / 8, side / 2, side / 2));
            state = kPictureTooBig;
            size = picture->cellsWide > 0 ? QStringLiteral("  %1 \u00d7 %2, too big")
                                                .arg(picture->cellsWide)
                                                .arg(picture->cellsHigh)
                                          : QStringLiteral("  too big");
            why = picture->cellsWide > 0
                      ? QStringLiteral(
                            "Too big for this board: the pattern is %1 \u00d7 %2 "
                            "cells, and the %3 \u00d7 %4 board has room for %5 "
                            "\u00d7 %6 inside its border.")
                            .arg(picture->cellsWide)
                            .arg(picture->cellsHigh)
                            .arg(picture->boardWide)
                            .arg(picture->boardHigh)
                            .arg(picture->boardWide - 2)
                            .arg(picture->boardHigh - 2)
                      : QStringLiteral(
                            "Too big for this %1 \u00d7 %2 board: its cells lie "
                            "too far apart.")
                            .arg(picture->boardWide)
                            .arg(picture->boardHigh);
        } else if (picture != nullptr) {
            // The plain mark: an empty frame crossed out.
            QPainter painter(&pixmap);
            painter.setPen(QPen(list->palette().color(QPalette::Mid), 2));
            const QRect box(side / 4, side / 4, side / 2, side / 2);
            painter.drawRect(box);
            painter.drawLine(box.topLeft(), box.bottomRight());
            state = kPictureUnreadable;
            why = picture->problem.empty() ? QStringLiteral("Cannot be read as a pattern.")
                                           : QString::fromStdString(picture->problem);
        }
        // The tooltip's first line (a recent file's path) stays; the reason
        // for a mark follows it.
        QString tip = item->toolTip().section(QLatin1Char('\n'), 0, 0);
        if (!why.isEmpty()) tip = tip.isEmpty() ? why : tip + QLatin1Char('\n') + why;
        item->setToolTip(tip);
        item->setIcon(QIcon(pixmap));
        item->setData(kPictureStateRole, state);
        item->setText(text + size + item->data(kSuffixRole).toString());
    }
    // A picture was made: the rows showing that file get it.
    void PictureReady(const QString& path) {
        if (list == nullptr || !listShown) return;
        for (int row = 0; row < list->count(); ++row)
            if (QListWidgetItem* item = list->item(row);
                item->data(Qt::UserRole).toString() == path)
                Decorate(item);
    }

    long idleCount = 0;
    bool idleWanted = true;
    bool inIdle = false;
    long idleCalls = 0;
    bool delivering = true;
    bool waitCursor = false;

    const CommandKeys* Keys(unsigned id) const {
        for (const CommandKeys& k : look.commands)
            if (k.id == id) return &k;
        return nullptr;
    }
};

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

    // The page listing pattern files, shown by Open: Recent, the folder's
    // patterns, the bundled samples; "Open Other..." and Cancel below.
    d.listPage = new QWidget(d.pages);
    auto* listLayout = new QVBoxLayout(d.listPage);
    d.listFolder = new QLabel(d.listPage);
    d.listFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    d.listTypes = new QComboBox(d.listPage);
    d.list = new QListWidget(d.listPage);
    auto* buttons = new QHBoxLayout;
    d.listOpenOther = new QPushButton(QStringLiteral("Open Other..."), d.listPage);
    d.listCancel = new QPushButton(QStringLiteral("Cancel"), d.listPage);
    d.listOpenOther->setAutoDefault(false);
    d.listCancel->setAutoDefault(false);
    buttons->addWidget(d.listOpenOther);
    buttons->addStretch(1);
    buttons->addWidget(d.listCancel);
    listLayout->addWidget(d.listFolder);
    listLayout->addWidget(d.listTypes);
    listLayout->addWidget(d.list, 1);
    listLayout->addLayout(buttons);
    d.pages->addWidget(d.listPage);
    // A click opens a file, as a tap does on a pen screen; so do a double
    // click and Enter (activation), File Information included. The entry
    // opens once, whichever of them came first.
    auto open = [this](QListWidgetItem* item) {
        Impl& i = *impl_;
        if (item == nullptr || !i.listShown || i.listOpening) return;
        const QString path = item->data(Qt::UserRole).toString();
        if (path.isEmpty()) return;  // a heading
        i.listOpening = true;
        if (CFrameWnd* f = i.frame; f != nullptr && i.delivering) {
            NoteActivity();
            f->OnFileListChoose(path.toStdString());
        }
        i.listOpening = false;
    };
    QObject::connect(d.list, &QListWidget::itemClicked, &d.context, open);
    QObject::connect(d.list, &QListWidget::itemActivated, &d.context, open);
    QObject::connect(d.listOpenOther, &QPushButton::clicked, &d.context, [this] {
        Impl& i = *impl_;
        if (i.frame == nullptr || !i.listShown || i.listOpening || !i.delivering) return;
        i.listOpening = true;
        NoteActivity();
        i.frame->OnFileListOpenOther();
        i.listOpening = false;
    });
    auto cancel = [this] {
        Impl& i = *impl_;
        if (i.frame == nullptr || !i.listShown || i.listOpening || !i.delivering) return;
        NoteActivity();
        i.frame->OnFileListCancel();
    };
    QObject::connect(d.listCancel, &QPushButton::clicked, &d.context, cancel);
    auto* escape = new EscapeFilter(d.listPage, cancel);
    for (QWidget* w : d.listPage->findChildren<QWidget*>()) w->installEventFilter(escape);
    d.listPage->installEventFilter(escape);
    QObject::connect(d.listTypes, &QComboBox::currentIndexChanged, &d.context, [this](int index) {
        Impl& i = *impl_;
        i.list->clear();
        if (index < 0) return;
        auto heading = [&i](const QString& text) {
            auto* item = new QListWidgetItem(text, i.list);
            item->setFlags(Qt::NoItemFlags);  // a heading: never chosen
            item->setForeground(i.list->palette().color(QPalette::WindowText));
            QFont font = item->font();
            font.setBold(true);
            item->setFont(font);
        };
        if (!i.listRequest.recent.empty()) {
            heading(QStringLiteral("Recent"));
            for (const std::string& recent : i.listRequest.recent) {
                const QFileInfo info(QString::fromStdString(recent));
                auto* item = new QListWidgetItem(i.list);
                item->setData(kNameRole, info.fileName());
                item->setData(kSuffixRole, QStringLiteral("  \u2014 ") + info.absolutePath());
                item->setData(Qt::UserRole, info.absoluteFilePath());
                item->setToolTip(info.absoluteFilePath());
            }
        }
        const QStringList patterns = i.listTypes->itemData(index).toStringList();
        const QDir dir(i.listDir);
        const QStringList mine =
            dir.entryList(patterns, QDir::Files, QDir::Name | QDir::IgnoreCase);
        if (!mine.isEmpty() && !i.listRequest.recent.empty()) heading(dir.dirName());
        for (const QString& name : mine) {
            auto* item = new QListWidgetItem(i.list);
            item->setData(kNameRole, name);
            item->setData(Qt::UserRole, dir.absoluteFilePath(name));
        }
        // The bundled samples, always, after the user's own, marked as such.
        const QString samplesFolder = QString::fromStdString(i.listRequest.samplesFolder);
        if (!samplesFolder.isEmpty() && QDir(samplesFolder).absolutePath() != dir.absolutePath()) {
            const QDir samples(samplesFolder);
            const QStringList names =
                samples.entryList(patterns, QDir::Files, QDir::Name | QDir::IgnoreCase);
            if (!names.isEmpty()) heading(QStringLiteral("Samples"));
            for (const QString& name : names) {
                auto* item = new QListWidgetItem(i.list);
                item->setData(kNameRole, name);
                item->setData(kSuffixRole, QStringLiteral("  (sample)"));
                item->setData(Qt::UserRole, samples.absoluteFilePath(name));
            }
        }
        i.pictures->CancelWaiting();
        for (int row = 0; row < i.list->count(); ++row) i.Decorate(i.list->item(row));
        for (int row = 0; row < i.list->count(); ++row)
            if (i.list->item(row)->flags() & Qt::ItemIsEnabled) {
                i.list->setCurrentRow(row);
                break;
            }
    });

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

namespace {

void AddMenuItems(QtWindows& windows, QMenu* menu, const std::vector<MenuItem>& items,
                  const std::function<void(QAction*, unsigned)>& prepare,
                  std::vector<QAction*>& all) {
    for (const MenuItem& item : items) {
        if (item.separator) {
            menu->addSeparator();
        } else if (!item.children.empty()) {
            QMenu* sub = menu->addMenu(QString::fromStdString(item.caption));
            AddMenuItems(windows, sub, item.children, prepare, all);
        } else {
            QAction* action = menu->addAction(QString::fromStdString(item.caption));
            action->setData(item.id);
            prepare(action, item.id);
            all.push_back(action);
        }
    }
    // A menu shows each command's state as its update handlers give it
    // when it opens; closed, its actions stay enabled so that their
    // shortcuts reach the command, which checks the state itself.
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
        CFrameWnd* frame = MainWindow();
        for (QAction* a : menu->actions()) {
            if (a->isSeparator() || a->menu() != nullptr || frame == nullptr) continue;
            const CCmdUI ui = frame->QueryCommandState(a->data().toUInt());
            a->setEnabled(ui.m_bEnabled);
            a->setCheckable(ui.m_nCheck != 0);
            a->setChecked(ui.m_nCheck != 0);
            if (!ui.m_strText.empty()) a->setText(QString::fromStdString(ui.m_strText));
        }
    });
    QObject::connect(menu, &QMenu::aboutToHide, menu, [menu] {
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && a->menu() == nullptr) a->setEnabled(true);
    });
    (void)windows;
}

QList<QKeySequence> Sequences(const std::vector<std::string>& keys) {
    QList<QKeySequence> out;
    for (const std::string& k : keys) out.push_back(QKeySequence(QString::fromStdString(k)));
    return out;
}

}  // namespace

void QtWindows::InstallCommandBar(CFrameWnd& frame, const CommandBarDesc& bar) {
    if (impl_->main == nullptr || &frame != impl_->frame) return;
    impl_->mainBar = bar;
    if (!impl_->listShown) ApplyCommandBar(bar);
}

void QtWindows::InstallFileListCommandBar(CFrameWnd& frame, const CommandBarDesc& bar) {
    if (impl_->main == nullptr || &frame != impl_->frame) return;
    impl_->listBar = bar;
    if (impl_->listShown) ApplyCommandBar(bar);
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

void QtWindows::ApplyCommandBar(const CommandBarDesc& bar) {
    Impl& d = *impl_;
    CFrameWnd& frame = *d.frame;
    QMainWindow* main = d.main;
    QMenuBar* menuBar = main->menuBar();
    menuBar->clear();
    d.menuActions.clear();
    for (QAction* a : d.keyActions) {
        main->removeAction(a);
        a->deleteLater();
    }
    d.keyActions.clear();
    if (d.toolbar != nullptr) {
        main->removeToolBar(d.toolbar);
        d.toolbar->deleteLater();
        d.toolbar = nullptr;
    }
    d.toolbarActions.clear();
    d.toolbarChoices.clear();

    std::vector<QList<QKeySequence>> taken;
    auto prepare = [this, &taken](QAction* action, unsigned id) {
        if (const CommandKeys* keys = impl_->Keys(id)) {
            const QList<QKeySequence> seqs = Sequences(keys->keys);
            action->setShortcuts(seqs);
            taken.push_back(seqs);
        }
        QObject::connect(action, &QAction::triggered, &impl_->context,
                         [this, id] { ChooseCommand(id); });
    };
    // A desktop's menu bar when the program has one, else the pocket menu.
    const MenuTemplate* shownMenu = bar.desktopMenu != nullptr ? bar.desktopMenu : bar.menu;
    if (shownMenu != nullptr) {
        for (const MenuItem& top : shownMenu->items) {
            if (top.children.empty()) {
                if (top.separator) continue;
                QAction* a = menuBar->addAction(QString::fromStdString(top.caption));
                a->setData(top.id);
                prepare(a, top.id);
                d.menuActions.push_back(a);
                continue;
            }
            QMenu* menu = menuBar->addMenu(QString::fromStdString(top.caption));
            AddMenuItems(*this, menu, top.children, prepare, d.menuActions);
        }
    }

    if (bar.toolbar != nullptr) {
        d.toolbar = new QToolBar(QStringLiteral("Commands"), main);
        d.toolbar->setMovable(false);
        d.toolbar->setFloatable(false);
        d.toolbar->setIconSize(QSize(kToolIconSize, kToolIconSize));
        d.toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
        for (std::size_t i = 0; i < bar.toolbar->buttons.size(); ++i) {
            const unsigned id = bar.toolbar->buttons[i];
            const CommandKeys* keys = d.Keys(id);
            QAction* a = d.toolbar->addAction(
                DrawToolIcon(keys ? keys->glyph : ToolGlyph::None, kToolIconSize),
                i < bar.tooltips.size() ? QString::fromStdString(bar.tooltips[i]) : QString());
            a->setData(id);
            if (i < bar.tooltips.size()) a->setToolTip(QString::fromStdString(bar.tooltips[i]));
            QObject::connect(a, &QAction::triggered, &d.context, [this, id] { ChooseCommand(id); });
            d.toolbarActions.push_back(a);
        }
        for (const ToolbarChoice& choice : bar.toolbar->choices) {
            auto* combo = new QComboBox(d.toolbar);
            combo->setFocusPolicy(Qt::NoFocus);
            combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
            for (std::size_t i = 0; i < choice.commands.size(); ++i)
                combo->addItem(i < choice.captions.size()
                                   ? QString::fromStdString(choice.captions[i])
                                   : QString(),
                               choice.commands[i]);
            combo->setToolTip(QString::fromStdString(choice.tooltip));
            // Only the user's choice sends a command; the list follows the
            // checked command at the idle-time refresh.
            QObject::connect(combo, &QComboBox::activated, &d.context, [this, combo](int index) {
                if (index >= 0) ChooseCommand(combo->itemData(index).toUInt());
                // Shows what the program took (a refused choice goes back).
                if (CFrameWnd* f = impl_->frame) {
                    f->OnUpdateCmdUI();
                    CommandStatesChanged(*f);
                }
            });
            d.toolbar->addWidget(combo);
            d.toolbarChoices.push_back(combo);
        }
        main->addToolBar(Qt::TopToolBarArea, d.toolbar);
    }

    // Keys for commands the menu does not carry (zoom), the application's
    // accelerators, and the toggles.
    auto isTaken = [&taken](const QKeySequence& seq) {
        for (const QList<QKeySequence>& list : taken)
            if (list.contains(seq)) return true;
        return false;
    };
    auto addKeyAction = [&](const QList<QKeySequence>& seqs, std::function<void()> run) {
        QList<QKeySequence> free;
        for (const QKeySequence& s : seqs)
            if (!isTaken(s)) free.push_back(s);
        if (free.isEmpty()) return;
        taken.push_back(free);
        auto* a = new QAction(main);
        a->setShortcuts(free);
        a->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(a, &QAction::triggered, &d.context, std::move(run));
        main->addAction(a);
        d.keyActions.push_back(a);
    };
    const std::vector<unsigned> inMenu =
        shownMenu ? MenuCommands(*shownMenu) : std::vector<unsigned>{};
    for (const CommandKeys& k : d.look.commands) {
        if (std::find(inMenu.begin(), inMenu.end(), k.id) != inMenu.end()) continue;
        const unsigned id = k.id;
        addKeyAction(Sequences(k.keys), [this, id] { ChooseCommand(id); });
    }
    if (CWinApp* app = TheApp(); app != nullptr && app->Resources() != nullptr) {
        for (const AcceleratorEntry& acc : app->Resources()->accelerators) {
            const unsigned id = acc.command;
            addKeyAction({QKeySequence(QStringLiteral("Ctrl+") + QChar(acc.key))},
                         [this, id] { ChooseCommand(id); });
        }
    }
    for (const CommandLook::Toggle& t : d.look.toggles) {
        const std::vector<unsigned> commands = t.commands;
        addKeyAction({QKeySequence(QString::fromStdString(t.key))}, [this, commands] {
            CFrameWnd* f = cellarium::MainWindow();
            if (f == nullptr) return;
            for (unsigned id : commands)
                if (f->QueryCommandState(id).m_bEnabled) {
                    ChooseCommand(id);
                    return;
                }
        });
    }
    CommandStatesChanged(frame);
}

void QtWindows::CommandStatesChanged(CFrameWnd& frame) {
    Impl& d = *impl_;
    if (&frame != d.frame) return;
    const std::vector<CFrameWnd::ButtonState>& states = frame.ToolbarStates();
    for (QAction* a : d.toolbarActions) {
        const unsigned id = a->data().toUInt();
        for (const CFrameWnd::ButtonState& s : states)
            if (s.id == id) {
                a->setEnabled(s.enabled);
                a->setCheckable(s.check != 0);
                a->setChecked(s.check != 0);
                break;
            }
    }
    for (QComboBox* combo : d.toolbarChoices)
        for (int i = 0; i < combo->count(); ++i) {
            const unsigned id = combo->itemData(i).toUInt();
            const auto s =
                std::find_if(states.begin(), states.end(),
                             [id](const CFrameWnd::ButtonState& b) { return b.id == id; });
            if (s != states.end() && s->check != 0 && combo->currentIndex() != i)
                combo->setCurrentIndex(i);
        }
}

bool QtWindows::ChooseCommand(unsigned id) {
    CFrameWnd* frame = cellarium::MainWindow();
    if (id == 0 || frame == nullptr || !impl_->delivering) return false;
    if (!frame->QueryCommandState(id).m_bEnabled) return false;
    NoteActivity();
    frame->SendCommand(id);
    return true;
}

// --- The file list -----------------------------------------------------------------

void QtWindows::ShowFileList(CFrameWnd& frame, const FileListRequest& request) {
    Impl& d = *impl_;
    if (&frame != d.frame || d.listPage == nullptr) return;
    d.listRequest = request;
    d.pictures->SetMaker(request.makePicture, request.pictureKey);
    d.list->setIconSize(QSize(kFilePictureSide, kFilePictureSide));
    // The folder named; else the user's pattern folder (made when missing);
    // else the open document's, else the working folder.
    QString dir = QString::fromStdString(request.folder);
    const QString documents = QString::fromStdString(request.documentsFolder);
    if ((dir.isEmpty() || !QFileInfo(dir).isDir()) && !documents.isEmpty() &&
        QDir().mkpath(documents))
        dir = documents;
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        dir = QDir::currentPath();
        if (CDocument* doc = frame.GetActiveDocument(); doc && !doc->GetPathName().empty()) {
            const QFileInfo info(QString::fromStdString(doc->GetPathName()));
            if (info.dir().exists()) dir = info.absolutePath();
        }
    }
    d.listDir = QDir(dir).absolutePath();
    d.listFolder->setText(d.listDir);
    d.listFilters = ParseFilter(request.filter);
    d.listCancel->setEnabled(request.canCancel);
    d.listTypes->blockSignals(true);
    d.listTypes->clear();
    d.listTypes->addItem(QStringLiteral("Pattern Files"), kPatternPatterns);
    for (const auto& [name, patterns] : d.listFilters) d.listTypes->addItem(name, patterns);
    d.listTypes->addItem(QStringLiteral("All Files"), QStringList{QStringLiteral("*")});
    d.listTypes->blockSignals(false);
    d.listTypes->setCurrentIndex(-1);
    d.listTypes->setCurrentIndex(0);
    d.listShown = true;
    d.pages->setCurrentWidget(d.listPage);
    if (d.strip) d.strip->hide();
    d.list->setFocus();
    frame.OnFileListOpened();
}

void QtWindows::CloseFileList(CFrameWnd& frame) {
    Impl& d = *impl_;
    if (&frame != d.frame || d.pages == nullptr) return;
    const bool wasShown = d.listShown;
    d.listShown = false;
    d.pictures->CancelWaiting();
    if (wasShown) ApplyCommandBar(d.mainBar);
    d.pages->setCurrentWidget(d.viewPage);
    if (d.strip) d.strip->show();
    for (auto& [wnd, widget] : d.views) widget->setFocus();
    if (wasShown) frame.OnFileListClosed();
}

bool QtWindows::FileListShown() const {
    return impl_->listShown;
}

QWidget* QtWindows::FileListPage() const {
    return impl_->listPage;
}

QWidget* QtWindows::FileListOpenOtherButton() const {
    return impl_->listOpenOther;
}

QWidget* QtWindows::FileListCancelButton() const {
    return impl_->listCancel;
}

int QtWindows::FilePicturesMade() const {
    return impl_->pictures->Made();
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
