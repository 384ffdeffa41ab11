// What the Qt back end's windows role keeps, shared by the files that
// implement it: qt_windows.cpp (the frame, the view, timers, idle),
// qt_command_bar.cpp (the menu bar, toolbar and keys) and
// qt_file_list_page.cpp (the page listing pattern files). Private to them.
#pragma once

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
#include "platform/qt/qt_windows.h"

namespace cellarium {
namespace windows_detail {

// Idle calls after one burst of activity are bounded, in case a hook always
// wants more: the loop must come to rest and wait for input.
inline constexpr long kMaxIdleCalls = 1000;
// The main window's first size: about two thirds of the screen's available
// area, in the screen's own proportions (each side this share of the
// area's), leaving this much for the window manager's title bar.
inline constexpr double kFirstSideShare = 0.8165;  // the square root of 2/3
inline constexpr int kTitleBarAllowance = 40;
// Where the main window's size and position are kept between runs.
inline constexpr const char* kWindowSection = "Window";
inline constexpr int kToolIconSize = 20;

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
inline const QStringList kPatternPatterns{"*.lif", "*.l", "*.rle", "*.cells", "*.life", "*.txt"};

// The patterns of a filter "Name|*.a;*.b|Name|*.c||": pairs of a name and
// its patterns.
inline std::vector<std::pair<QString, QStringList>> ParseFilter(const std::string& filter) {
    std::vector<std::pair<QString, QStringList>> out;
    const QStringList parts = QString::fromStdString(filter).split('|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        out.emplace_back(parts[i], parts[i + 1].split(';', Qt::SkipEmptyParts));
    }
    return out;
}

// The file list's item data: the name, and what follows the size in cells.
inline constexpr int kNameRole = Qt::UserRole + 2;
inline constexpr int kSuffixRole = Qt::UserRole + 3;
static_assert(kPictureStateRole == Qt::UserRole + 1);

}  // namespace windows_detail

using namespace windows_detail;

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

}  // namespace cellarium
