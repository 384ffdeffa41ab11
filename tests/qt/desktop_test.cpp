// The program's own application, document and view on the desktop back end,
// driven as a user would: the toolbar, the menus, the scroll bars, the wheel
// and the mouse, checked on what the window shows.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QWheelEvent>
#include <functional>

#include "apps/cellarium/desktop_look.h"
#include "colour/palette.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "formats/rule_notation.h"
#include "framework/frame_wnd.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_help.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_roles.h"
#include "platform/qt/qt_view_widget.h"
#include "platform/qt/qt_windows.h"
#include "qt_test_support.h"
#include "shell/life_app.h"
#include "shell/resource.h"
#include "shell/resources.h"

namespace cellarium {
namespace {

class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPalettesForStart();
        platform_ = std::make_unique<QtPlatform>();
        platform_->WindowRole().SetCommandLook(DesktopCommandLook());
        {
            // File Information comes up while the pattern opens.
            ModalAnswerer ok;
            app_ = std::make_unique<CLifeApp>(
                *platform_, std::vector<std::string>{CELLARIUM_SAMPLES "/glider_gun.rle"});
            app_->InitInstance();
            EXPECT_EQ(ok.Answered(), 1);
        }
        frame_ = MainWindow();
        ASSERT_NE(frame_, nullptr);
        view_ = dynamic_cast<CLifeView*>(frame_->GetActiveView());
        ASSERT_NE(view_, nullptr);
        widget_ = platform_->WindowRole().ViewWidget(*view_);
        ASSERT_NE(widget_, nullptr);
        QMainWindow* main = platform_->MainQtWindow();
        ASSERT_NE(main, nullptr);
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        // Window shortcuts need the window active.
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main));
        RunFor(50);
    }

    void TearDown() override {
        app_.reset();
        platform_.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    const CellBoard& Board() const { return *view_->GetDocument()->CurrentBoard(); }

    QString StatusText() const {
        CDialogBar* strip = frame_->GetControlBar(kDialogBarId);
        QWidget* w =
            strip ? platform_->DialogRole().ControlWidget(*strip, IDC_STATUS_TEXT) : nullptr;
        return w ? w->property("text").toString() : QString();
    }

    QAction* ToolbarAction(unsigned id) const {
        for (QAction* a : platform_->WindowRole().ToolbarActions())
            if (a->data().toUInt() == id) return a;
        return nullptr;
    }

    // Whether some handler on the route takes the command.
    bool Handled(unsigned id) const {
        CmdMsg probe{id, CN_COMMAND, nullptr, true};
        return frame_->OnCmdMsg(probe);
    }

    // Repaints the view and compares every pixel of the viewport with what
    // the view's draw puts there: cell ((sx + x) div z, (sy + y) div z), every
    // cell z x z pixels, and beyond the board the frame line and the margin.
    // Returns the number of pixels compared.
    int CheckViewPixels() {
        view_->Invalidate(true);
        const QImage shot =
            widget_->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const CellBoard& board = Board();
        const int z = int(view_->Viewport().Zoom());
        const CPoint s = view_->BoardScroll();
        CRect client;
        view_->GetClientRect(&client);
        EXPECT_EQ(shot.width(), client.Width());
        EXPECT_EQ(shot.height(), client.Height());
        const uint32_t dead = board.colours[0].Rgb();
        auto qrgb = [](uint32_t c) {
            return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int(c >> 16));
        };
        const int W = board.width * z, H = board.height * z;
        int compared = 0, wrong = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const int px = s.x + x, py = s.y + y;
                const QRgb expected = px < W && py < H ? CellColour(board, px / z, py / z)
                                      : (px == W && py <= H) || (py == H && px < W)
                                          ? qrgb(FrameColour(dead))
                                          : qrgb(MarginColour(dead));
                ++compared;
                if ((shot.pixel(x, y) | 0xFF000000u) != (expected | 0xFF000000u) && ++wrong <= 5)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") wrong at zoom " << z;
            }
        EXPECT_EQ(wrong, 0);
        return compared;
    }

    // Gives the viewport exactly this size (no scroll bars).
    void SetClientSize(int w, int h) {
        widget_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        widget_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        widget_->setFixedSize(w, h);
        ASSERT_TRUE(RunUntil([&] { return widget_->viewport()->size() == QSize(w, h); }, 2000));
    }
    // A paint carries out the layout a zoom left pending.
    void Paint() { widget_->viewport()->repaint(); }
    void ScrollTo(CPoint at) {
        Paint();
        view_->OnHScroll(SB_THUMBTRACK, unsigned(at.x));
        view_->OnVScroll(SB_THUMBTRACK, unsigned(at.y));
        ASSERT_EQ(view_->GetScrollPosition(), at);
    }
    void Wheel(QPointF at, QPoint pixels, QPoint angle, Qt::KeyboardModifiers mods) {
        QWheelEvent wheel(at, widget_->viewport()->mapToGlobal(at), pixels, angle, Qt::NoButton,
                          mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget_->viewport(), &wheel);
    }

    std::unique_ptr<QtPlatform> platform_;
    std::unique_ptr<CLifeApp> app_;
    CFrameWnd* frame_ = nullptr;
    CLifeView* view_ = nullptr;
    QtViewWidget* widget_ = nullptr;
};

TEST_F(Desktop, WindowHasTheScreensOrientationWithStatusStripBelow) {
    QMainWindow* main = platform_->MainQtWindow();
    const QRect area = main->screen()->availableGeometry();
    // The window with its title bar has the proportions of the screen's area.
    EXPECT_NEAR(double(main->width()) / (main->height() + 40), double(area.width()) / area.height(),
                0.05);
    EXPECT_EQ(StatusText(), QStringLiteral("G:00000 C:00036 B:00000 D:00000 Z:x1"));
    CDialogBar* strip = frame_->GetControlBar(kDialogBarId);
    QWidget* bar = platform_->DialogRole().HostWidget(*strip);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    const QPoint viewBottom = widget_->mapTo(main, QPoint(0, widget_->height()));
    const QPoint barTop = bar->mapTo(main, QPoint(0, 0));
    EXPECT_GE(barTop.y(), viewBottom.y());
    // The client area is the viewport's logical size.
    CRect client;
    view_->GetClientRect(&client);
    EXPECT_EQ(client.Width(), widget_->viewport()->width());
    EXPECT_EQ(client.Height(), widget_->viewport()->height());
}

// About two thirds of the screen's available area, in the middle of it.
QRect FirstPlace(const QRect& area) {
    const QSize size(int(area.width() * 0.8165),
                     std::max(int(area.height() * 0.8165) - 40, area.height() / 2));
    return QRect(QPoint(area.left() + (area.width() - size.width()) / 2,
                        area.top() + (area.height() - size.height() - 40) / 2),
                 size);
}

TEST_F(Desktop, TheWindowFitsTheScreenAndOpensAgainWhereItWasLeft) {
    QMainWindow* main = platform_->MainQtWindow();
    const QRect area = main->screen()->availableGeometry();
    const QRect first = FirstPlace(area);
    EXPECT_EQ(main->size(), first.size());
    const double share =
        double(main->width()) * (main->height() + 40) / (double(area.width()) * area.height());
    EXPECT_GT(share, 0.6);
    EXPECT_LT(share, 0.7);
    // The status strip is inside the window, below the view.
    QWidget* bar = platform_->DialogRole().HostWidget(*frame_->GetControlBar(kDialogBarId));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_LE(bar->mapTo(main, QPoint(0, bar->height())).y(), main->height());

    // Resized and moved, it comes back so at the next start.
    main->resize(400, 350);
    main->move(30, 20);
    const QPoint corner = main->pos();
    TearDown();
    SetUp();
    main = platform_->MainQtWindow();
    EXPECT_EQ(main->size(), QSize(400, 350));
    EXPECT_EQ(main->pos(), corner);
    EXPECT_FALSE(main->isMaximized());

    // Maximised, it comes back maximised, with its normal place kept for
    // when it is restored.
    main->showMaximized();
    ASSERT_TRUE(RunUntil([&] { return main->isMaximized(); }, 2000));
    TearDown();
    SetUp();
    main = platform_->MainQtWindow();
    EXPECT_TRUE(main->isMaximized());
    EXPECT_EQ(main->normalGeometry().size(), QSize(400, 350));
    main->showNormal();
    ASSERT_TRUE(RunUntil([&] { return !main->isMaximized(); }, 2000));

    // The next tests start at the first place again.
    main->resize(first.size());
    main->move(first.topLeft());
}

TEST_F(Desktop, RunTicksOnTheTimerAndPauseStopsIt) {
    QAction* run = ToolbarAction(ID_TOOLS_RUN);
    QAction* pause = ToolbarAction(ID_TOOLS_PAUSE);
    ASSERT_TRUE(run && pause);
    // The idle refresh has shown the paused state.
    EXPECT_TRUE(RunUntil([&] { return run->isEnabled() && !pause->isEnabled(); }, 2000));
    run->trigger();
    ASSERT_TRUE(RunUntil([&] { return view_->Simulation().Generation() >= 10; }, 5000));
    EXPECT_TRUE(RunUntil([&] { return !run->isEnabled() && pause->isEnabled(); }, 2000));
    pause->trigger();
    const int32_t stopped = view_->Simulation().Generation();
    RunFor(100);
    EXPECT_EQ(view_->Simulation().Generation(), stopped);
    EXPECT_EQ(platform_->WindowRole().ArmedTimers(), 0);
    char expected[64];
    std::snprintf(expected, sizeof expected, "G:%05d C:%05d", stopped, Board().liveCount);
    EXPECT_TRUE(StatusText().startsWith(QString::fromLatin1(expected)))
        << StatusText().toStdString();
    EXPECT_TRUE(RunUntil([&] { return run->isEnabled() && !pause->isEnabled(); }, 2000));
}

TEST_F(Desktop, SpaceKeyRunsAndPauses) {
    widget_->setFocus();
    QTest::keyClick(widget_, Qt::Key_Space);
    EXPECT_TRUE(view_->IsRunning());
    ASSERT_TRUE(RunUntil([&] { return view_->Simulation().Generation() >= 2; }, 5000));
    QTest::keyClick(widget_, Qt::Key_Space);
    EXPECT_FALSE(view_->IsRunning());
}

TEST_F(Desktop, ViewPixelsMatchTheBoardAtZoomOneAndEight) {
    // Some generations so that cells of several colours show.
    for (int i = 0; i < 40; ++i) view_->Simulation().OnStep();
    EXPECT_GT(CheckViewPixels(), 200000);
    while (view_->Viewport().Zoom() < 8) view_->Viewport().OnZoomIn();
    EXPECT_GT(CheckViewPixels(), 100000);
    // The visible middle holds live cells at zoom 8 (the gun is centred).
    const QImage shot = widget_->viewport()->grab().toImage();
    const QRgb dead = CellColour(Board(), 0, 0);
    int live = 0;
    for (int y = 0; y < shot.height(); y += 4)
        for (int x = 0; x < shot.width(); x += 4)
            if ((shot.pixel(x, y) & 0xFFFFFF) != (dead & 0xFFFFFF)) ++live;
    EXPECT_GT(live, 50);
}

TEST_F(Desktop, ScrollBarsWheelAndViewAgree) {
    QScrollBar* h = widget_->horizontalScrollBar();
    QScrollBar* v = widget_->verticalScrollBar();
    const CSize max = view_->MaxScroll();
    EXPECT_EQ(h->maximum(), max.cx);
    EXPECT_EQ(v->maximum(), max.cy);
    const CPoint start = view_->GetScrollPosition();
    EXPECT_EQ(h->value(), start.x);
    EXPECT_EQ(v->value(), start.y);

    h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(view_->GetScrollPosition().x, start.x + view_->GetLineSize().cx);
    v->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(view_->GetScrollPosition().y, std::max(start.y - view_->GetPageSize().cy, 0));
    h->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(view_->GetScrollPosition().x, max.cx);
    EXPECT_EQ(h->value(), max.cx);
    CheckViewPixels();

    // One notch down: three lines.
    const CPoint before = view_->GetScrollPosition();
    const QPointF at(20, 20);
    QWheelEvent wheel(at, widget_->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget_->viewport(), &wheel);
    EXPECT_EQ(view_->GetScrollPosition().y, before.y + 3 * view_->GetLineSize().cy);
    EXPECT_EQ(v->value(), view_->GetScrollPosition().y);
    CheckViewPixels();
}

TEST_F(Desktop, ToolbarHasSevenButtonsWithTheirTooltips) {
    const std::vector<QAction*> actions = platform_->WindowRole().ToolbarActions();
    const std::vector<std::pair<unsigned, const char*>> expected{
        {ID_TOOLS_STEP, "Single Step"}, {ID_TOOLS_RUN, "Run"},
        {ID_TOOLS_PAUSE, "Pause"},      {ID_ZOOM_IN, "Zoom in X2"},
        {ID_ZOOM_OUT, "Zoom out X2"},   {ID_CELLS_ROTATE_LEFT, "Rotate Anti-clockwise"},
        {ID_CELLS_FIT, "Fit to screen"}};
    ASSERT_EQ(actions.size(), expected.size());
    for (std::size_t i = 0; i < actions.size(); ++i) {
        EXPECT_EQ(actions[i]->data().toUInt(), expected[i].first);
        EXPECT_EQ(actions[i]->toolTip().toStdString(), expected[i].second);
        EXPECT_FALSE(actions[i]->icon().isNull());
    }
}

TEST_F(Desktop, TheMenuBarIsTheDesktopMenuWithItsIdsCaptionsStatesAndHandlers) {
    const MenuTemplate* menu = LifeResources().FindMenu(IDR_DESKTOP_MENU);
    ASSERT_NE(menu, nullptr);
    // Captions in menu order, submenus included.
    std::vector<std::pair<unsigned, std::string>> items;
    std::function<void(const std::vector<MenuItem>&)> walk =
        [&](const std::vector<MenuItem>& list) {
            for (const MenuItem& m : list) {
                if (!m.children.empty())
                    walk(m.children);
                else if (!m.separator)
                    items.emplace_back(m.id, m.caption);
            }
        };
    walk(menu->items);
    const std::vector<QAction*> actions = platform_->WindowRole().MenuActions();
    ASSERT_EQ(actions.size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(actions[i]->data().toUInt(), items[i].first);
        EXPECT_EQ(actions[i]->text().toStdString(), items[i].second);
    }
    // The drop-down titles.
    const QList<QAction*> tops = platform_->WindowRole().MenuBar()->actions();
    ASSERT_EQ(tops.size(), qsizetype(menu->items.size()));
    QStringList titles;
    for (QAction* a : tops) titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "&Run", "&Tools", "&Help"}));
    // An item reaches the command's own handler.
    for (QAction* a : actions)
        if (a->data().toUInt() == ID_ZOOM_IN) a->trigger();
    EXPECT_EQ(view_->Viewport().Zoom(), 2u);

    // Opened while running, each item shows its update handler's state.
    view_->Simulation().OnRun();
    for (QMenu* m : platform_->MainQtWindow()->menuBar()->findChildren<QMenu*>())
        emit m->aboutToShow();
    int disabled = 0;
    for (QAction* a : actions) {
        const CCmdUI ui = frame_->QueryCommandState(a->data().toUInt());
        EXPECT_EQ(a->isEnabled(), ui.m_bEnabled) << a->text().toStdString();
        EXPECT_EQ(a->isChecked(), ui.m_nCheck != 0) << a->text().toStdString();
        if (!a->isEnabled()) ++disabled;
    }
    EXPECT_GE(disabled, 2);  // Run and Step while running
    view_->Simulation().OnPause();
}

TEST_F(Desktop, SpeedListFasterAndSlowerChangeTheSpeedShownAndKept) {
    const std::vector<QComboBox*> lists = platform_->WindowRole().ToolbarChoices();
    ASSERT_EQ(lists.size(), 1u);
    QComboBox* speed = lists[0];
    EXPECT_EQ(speed->toolTip(), QStringLiteral("Speed: generations per frame"));
    ASSERT_EQ(speed->count(), kSpeedSteps);
    EXPECT_EQ(speed->currentText(), QStringLiteral("1 gen / 10 ms"));
    CDialogBar* strip = frame_->GetControlBar(kDialogBarId);
    QWidget* label = platform_->DialogRole().ControlWidget(*strip, IDC_SPEED_TEXT);
    ASSERT_NE(label, nullptr);
    auto shown = [&] { return label->property("text").toString().toStdString(); };
    EXPECT_EQ(shown(), "Speed: 1 gen / 10 ms");

    // The next item of the list, as the arrow key picks it.
    QTest::keyClick(speed, Qt::Key_Down);
    EXPECT_EQ(shown(), "Speed: x2 / frame");
    EXPECT_EQ(app_->GetProfileInt("Simulation", "Speed", 0), 2);
    // "]" is Faster.
    QTest::keyClick(platform_->MainQtWindow(), Qt::Key_BracketRight);
    EXPECT_EQ(shown(), "Speed: x4 / frame");
    EXPECT_TRUE(RunUntil([&] { return speed->currentText() == "x4 / frame"; }, 2000));
    // Slower from the Tools menu, twice.
    for (QAction* a : platform_->WindowRole().MenuActions())
        if (a->data().toUInt() == ID_SPEED_SLOWER) {
            a->trigger();
            a->trigger();
        }
    EXPECT_EQ(shown(), "Speed: 1 gen / 10 ms");
    EXPECT_TRUE(RunUntil([&] { return speed->currentText() == "1 gen / 10 ms"; }, 2000));
    EXPECT_EQ(app_->GetProfileInt("Simulation", "Speed", 0), -10);

    // Running at Maximum the toolbar still follows and keys still work.
    platform_->WindowRole().ChooseCommand(ID_SPEED_LAST);
    ToolbarAction(ID_TOOLS_RUN)->trigger();
    QAction* pause = ToolbarAction(ID_TOOLS_PAUSE);
    EXPECT_TRUE(RunUntil(
        [&] { return pause->isEnabled() && view_->Simulation().Generation() > 100; }, 5000));
    QTest::keyClick(platform_->MainQtWindow(), Qt::Key_BracketLeft);
    EXPECT_TRUE(RunUntil([&] { return speed->currentText() == "x65536 / frame"; }, 2000));
    pause->trigger();
    EXPECT_FALSE(view_->IsRunning());
    platform_->WindowRole().ChooseCommand(ID_SPEED_FIRST + kDefaultSpeedStep);
}

TEST_F(Desktop, TheRuleSitsAgainstTheStripsRightEdgeAndALongOneEndsInAnEllipsis) {
    CDialogBar* strip = frame_->GetControlBar(kDialogBarId);
    auto* rule =
        qobject_cast<QLabel*>(platform_->DialogRole().ControlWidget(*strip, IDC_STATUS_RULE));
    QWidget* bar = platform_->DialogRole().HostWidget(*strip);
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->text(), "B3/S23");
    EXPECT_TRUE(rule->alignment() & Qt::AlignRight);
    // However wide the window, the pane ends a few pixels short of the bar's
    // edge. (The window's size is kept for the next start: put back after.)
    const QSize was = platform_->MainQtWindow()->size();
    for (int width : {1000, 600}) {
        platform_->MainQtWindow()->resize(width, platform_->MainQtWindow()->height());
        ASSERT_TRUE(RunUntil([&] { return std::abs(bar->width() - width) < 40; }, 2000));
        EXPECT_GE(rule->geometry().right(), bar->width() - 12);
        EXPECT_LT(rule->geometry().right(), bar->width());
    }
    // A MAP rule is longer than the pane: it is cut, whole in the tooltip.
    Rule::Table table = Rule().table();
    table[3] ^= 1;
    const std::string map = RuleString(Rule::FromTable(table));
    view_->GetDocument()->SetRule(Rule::FromTable(table));
    view_->UpdateStatusLine();
    EXPECT_TRUE(rule->text().endsWith(QChar(0x2026))) << rule->text().toStdString();
    EXPECT_EQ(rule->toolTip().toStdString(), map);
    EXPECT_EQ(StatusText(), QStringLiteral("G:00000 C:00036 B:00000 D:00000 Z:x1"));
    platform_->MainQtWindow()->resize(was);
    EXPECT_TRUE(RunUntil([&] { return platform_->MainQtWindow()->size() == was; }, 2000));
}

TEST_F(Desktop, MenuCommandReachesTheView) {
    QAction* step = nullptr;
    for (QAction* a : platform_->WindowRole().MenuActions())
        if (a->data().toUInt() == ID_TOOLS_STEP) step = a;
    ASSERT_NE(step, nullptr);
    step->trigger();
    EXPECT_EQ(view_->Simulation().Generation(), 1);
    EXPECT_TRUE(StatusText().startsWith(QStringLiteral("G:00001")));
    // Disabled commands are not sent, whatever the key.
    view_->Simulation().OnRun();
    const int32_t running = view_->Simulation().Generation();
    EXPECT_FALSE(platform_->WindowRole().ChooseCommand(ID_TOOLS_STEP));
    EXPECT_EQ(view_->Simulation().Generation(), running);
    view_->Simulation().OnPause();
}

TEST_F(Desktop, ZoomCommandsFromToolbarAndCtrlWheel) {
    if (!Handled(ID_ZOOM_IN)) GTEST_SKIP() << "Zoom In has no handler in this build";
    ToolbarAction(ID_ZOOM_IN)->trigger();
    EXPECT_EQ(view_->Viewport().Zoom(), 2u);
    EXPECT_TRUE(StatusText().endsWith(QStringLiteral("Z:x2")));
    const QPointF at(50, 50);
    QWheelEvent wheel(at, widget_->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget_->viewport(), &wheel);
    EXPECT_EQ(view_->Viewport().Zoom(), 4u);
    CheckViewPixels();

    // About the pointer: the canvas point under it doubles with the zoom, so
    // the same point of the board stays under the pointer.
    ScrollTo(CPoint{1001, 1203});
    const CPoint b = view_->BoardScroll();
    const QPoint pointer(37, 81);
    Wheel(pointer, QPoint(), QPoint(0, 120), Qt::ControlModifier);
    Paint();
    EXPECT_EQ(view_->Viewport().Zoom(), 8u);
    EXPECT_EQ(view_->BoardScroll(), (CPoint{2 * (b.x + 37) - 37, 2 * (b.y + 81) - 81}));
    Wheel(pointer, QPoint(), QPoint(0, -120), Qt::ControlModifier);
    Paint();
    EXPECT_EQ(view_->Viewport().Zoom(), 4u);
    EXPECT_EQ(view_->GetScrollPosition(), (CPoint{1001, 1203}));
}

TEST_F(Desktop, HelpOpensItsOwnWindowAtTheContentsWithWorkingLinksAndEscCloses) {
    QtHelpWindow& help = dynamic_cast<QtProcesses&>(platform_->Processes()).Help();
    ASSERT_TRUE(platform_->WindowRole().ChooseCommand(ID_HELP));
    QWidget* window = help.Window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTextBrowser* browser = help.Browser();
    EXPECT_TRUE(browser->source().path().endsWith(QStringLiteral("/life.htm")));
    EXPECT_EQ(browser->source().fragment(), QStringLiteral("Main_Contents"));
    EXPECT_GT(browser->document()->characterCount(), 1000);
    // The first link of the page, taken with Tab and followed with Enter,
    // leads to its anchor within the page, further down.
    const int top = browser->verticalScrollBar()->value();
    window->activateWindow();
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
    EXPECT_EQ(browser->source().fragment(), QStringLiteral("Opening"));
    EXPECT_GT(browser->verticalScrollBar()->value(), top);
    // Esc closes it; About's Help shows it again, over the dialog.
    QTest::keyClick(browser, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    bool pressed = false;
    QTimer::singleShot(50, [&] {
        QWidget* about = QApplication::activeModalWidget();
        ASSERT_NE(about, nullptr);
        // Centred on the main window.
        const QPoint offset =
            about->frameGeometry().center() - platform_->MainQtWindow()->frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 4);  // rounding of odd sizes
        for (QPushButton* b : about->findChildren<QPushButton*>())
            if (b->text().contains(QStringLiteral("Help"))) {
                QTest::mouseClick(b, Qt::LeftButton);
                pressed = true;
            }
        // Shown over the dialog, and its own so that the dialog does not
        // block it; Enter then still presses OK.
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->parentWidget(), about);
        QTest::keyClick(about->focusWidget(), Qt::Key_Return);
    });
    ASSERT_TRUE(platform_->WindowRole().ChooseCommand(ID_APP_ABOUT));
    EXPECT_TRUE(pressed);
    // With the dialog gone the window stays.
    EXPECT_TRUE(help.Window()->isVisible());
}

TEST_F(Desktop, ATouchpadScrollMovesTheViewWithTheFingersOnBothAxes) {
    SetClientSize(240, 268);
    ScrollTo(CPoint{300, 200});
    // Fingers moving up and to the left report negative pixel deltas: the
    // view moves on down and to the right by as many pixels.
    Wheel(QPointF(40, 40), QPoint(-20, -30), QPoint(-40, -60), Qt::NoModifier);
    EXPECT_EQ(view_->GetScrollPosition(), (CPoint{320, 230}));
    Wheel(QPointF(40, 40), QPoint(7, 11), QPoint(14, 22), Qt::NoModifier);
    EXPECT_EQ(view_->GetScrollPosition(), (CPoint{313, 219}));
    EXPECT_EQ(widget_->horizontalScrollBar()->value(), 313);
    EXPECT_EQ(widget_->verticalScrollBar()->value(), 219);
}

TEST_F(Desktop, EveryPixelOfADrawnCellEditsThatCellAtEveryZoom) {
    // In device pixels, so that the same holds under a scale factor (the
    // test runs again with QT_SCALE_FACTOR=1.5).
    ASSERT_TRUE(platform_->WindowRole().ChooseCommand(ID_TOOLS_EDIT));
    CellBoard& board = *view_->GetDocument()->CurrentBoard();
    board.MakeEmpty();
    const double ratio = widget_->viewport()->devicePixelRatioF();
    auto press = [&](QPoint device) {
        const QPointF at((device.x() + 0.5) / ratio, (device.y() + 0.5) / ratio);
        QMouseEvent down(QEvent::MouseButtonPress, at, widget_->viewport()->mapToGlobal(at),
                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget_->viewport(), &down);
        QMouseEvent up(QEvent::MouseButtonRelease, at, widget_->viewport()->mapToGlobal(at),
                       Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget_->viewport(), &up);
    };
    for (QSize size : {QSize(256, 384), QSize(250, 373)}) {
        SetClientSize(size.width(), size.height());
        CRect client;
        view_->GetClientRect(&client);
        EXPECT_EQ(client.Width(), int(std::lround(size.width() * ratio)));
        for (int z = 1; z <= 32; z *= 2) {
            while (view_->Viewport().Zoom() != unsigned(z))
                view_->Viewport().Zoom() < unsigned(z) ? view_->Viewport().OnZoomIn()
                                                       : view_->Viewport().OnZoomOut();
            for (CPoint at :
                 {CPoint{z * 100, z * 105}, CPoint{z * 150 + 1 + z / 3, z * 160 + 2 + z / 2}}) {
                ScrollTo(at);
                // The cell drawn at the middle of the client area, and its
                // corner pixels.
                const CPoint bs = view_->BoardScroll();
                const CPoint cell{(bs.x + client.Width() / 2) / z,
                                  (bs.y + client.Height() / 2) / z};
                const int x0 = cell.x * z - bs.x, y0 = cell.y * z - bs.y;
                for (QPoint corner : {QPoint(x0, y0), QPoint(x0 + z - 1, y0),
                                      QPoint(x0, y0 + z - 1), QPoint(x0 + z - 1, y0 + z - 1)}) {
                    SCOPED_TRACE(testing::Message()
                                 << "zoom " << z << " client " << client.Width() << "x"
                                 << client.Height() << " at " << at.x << "," << at.y << " pixel "
                                 << corner.x() << "," << corner.y());
                    press(corner);
                    EXPECT_EQ(board.At(cell.x, cell.y), 1);
                    EXPECT_EQ(board.liveCount, 1);
                    // The pixel pressed shows that cell, and so does the whole
                    // z x z block (every cell the same whole number of pixels).
                    view_->Invalidate(false);
                    const QImage shot = widget_->viewport()->grab().toImage();
                    const QRgb live = CellColour(board, cell.x, cell.y) | 0xFF000000u;
                    EXPECT_EQ(shot.pixel(corner) | 0xFF000000u, live);
                    int block = 0;
                    for (int y = y0 - 1; y <= y0 + z; ++y)
                        for (int x = x0 - 1; x <= x0 + z; ++x)
                            block += (shot.pixel(x, y) | 0xFF000000u) == live ? 1 : 0;
                    EXPECT_EQ(block, z * z);
                    board.MakeEmpty();
                }
            }
        }
    }
}

TEST_F(Desktop, StylusDrawsAndErasesInEditMode) {
    if (!Handled(ID_TOOLS_EDIT)) GTEST_SKIP() << "Edit mode has no handler in this build";
    ASSERT_TRUE(platform_->WindowRole().ChooseCommand(ID_TOOLS_EDIT));
    const QPoint tap(30, 40);
    const CPoint cell = view_->ClientToCell(CPoint{tap.x(), tap.y()});
    ASSERT_EQ(Board().At(cell.x, cell.y), 0);
    QTest::mouseClick(widget_->viewport(), Qt::LeftButton, Qt::NoModifier, tap);
    EXPECT_EQ(Board().At(cell.x, cell.y), 1);
    CheckViewPixels();
    CDialogBar* strip = frame_->GetControlBar(kDialogBarId);
    QWidget* erase = platform_->DialogRole().ControlWidget(*strip, IDC_ERASE);
    ASSERT_NE(erase, nullptr);
    ASSERT_TRUE(erase->isVisible());
    // On the box itself: a check box takes clicks on its indicator and label only.
    QTest::mouseClick(erase, Qt::LeftButton, Qt::NoModifier, QPoint(6, erase->height() / 2));
    ASSERT_EQ(strip->IsDlgButtonChecked(IDC_ERASE), 1);
    QTest::mouseClick(widget_->viewport(), Qt::LeftButton, Qt::NoModifier, tap);
    EXPECT_EQ(Board().At(cell.x, cell.y), 0);
}

TEST_F(Desktop, DroppedOrListedFileOpensAsOpenWould) {
    // Open shows the list of the folder's pattern files.
    ASSERT_TRUE(platform_->WindowRole().ChooseCommand(ID_FILE_OPEN));
    EXPECT_TRUE(platform_->WindowRole().FileListShown());
    ModalAnswerer ok;
    EXPECT_TRUE(platform_->WindowRole().OpenPath(CELLARIUM_SAMPLES "/spaceship.lif"));
    EXPECT_FALSE(platform_->WindowRole().FileListShown());
    EXPECT_EQ(view_->GetDocument()->GetPathName(), CELLARIUM_SAMPLES "/spaceship.lif");
}

TEST_F(Desktop, AClickOnTheFileListOpensThePatternAndItsMenuComesBack) {
    ASSERT_TRUE(platform_->WindowRole().ChooseCommand(ID_FILE_OPEN));
    ASSERT_TRUE(platform_->WindowRole().FileListShown());
    // The list's own command bar: menu 108, no toolbar.
    QStringList titles;
    for (QAction* a : platform_->WindowRole().MenuBar()->actions()) titles << a->text();
    EXPECT_EQ(titles, (QStringList{"Paste", "Tools"}));
    auto* list = platform_->WindowRole().FileListPage()->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    QListWidgetItem* spaceship = nullptr;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text().startsWith("spaceship.lif")) spaceship = list->item(i);
    ASSERT_NE(spaceship, nullptr) << "the samples folder's patterns are listed";
    ModalAnswerer ok;
    const QRect box = list->visualItemRect(spaceship);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
    EXPECT_FALSE(platform_->WindowRole().FileListShown());
    EXPECT_EQ(view_->GetDocument()->GetPathName(), CELLARIUM_SAMPLES "/spaceship.lif");
    titles.clear();
    for (QAction* a : platform_->WindowRole().MenuBar()->actions()) titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "&Run", "&Tools", "&Help"}));
}

TEST_F(Desktop, FileListOffersRecentSamplesOpenOtherAndEscapeAndEnterOpens) {
    const QString gun = QFileInfo(CELLARIUM_SAMPLES "/glider_gun.rle").absoluteFilePath();
    const QString status = StatusText();
    QtWindows& windows = platform_->WindowRole();
    QTemporaryDir mine;
    app_->m_strDocumentsFolder = mine.path().toStdString();
    app_->m_strSamplesFolder = QFileInfo(gun).absolutePath().toStdString();
    ASSERT_TRUE(windows.ChooseCommand(ID_FILE_OPEN));
    auto* list = windows.FileListPage()->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    // The last row for a file (a sample may be under Recent too).
    auto row = [list](const QString& data) {
        for (int i = list->count() - 1; i >= 0; --i)
            if (list->item(i)->data(Qt::UserRole).toString() == data) return i;
        return -1;
    };
    // The pattern opened at start heads Recent; the samples are listed too.
    ASSERT_GE(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "Recent");
    EXPECT_EQ(list->item(1)->data(Qt::UserRole).toString(), gun);
    const int spaceship = row(QFileInfo(CELLARIUM_SAMPLES "/spaceship.lif").absoluteFilePath());
    ASSERT_GT(spaceship, 1);
    EXPECT_TRUE(list->item(spaceship)->text().endsWith("(sample)"));

    // Open Other: the platform's file dialog; cancelled, the list stays.
    {
        ModalAnswerer cancel(QStringLiteral("Cancel"));
        QTest::mouseClick(windows.FileListOpenOtherButton(), Qt::LeftButton);
        EXPECT_EQ(cancel.Answered(), 1);
    }
    EXPECT_TRUE(windows.FileListShown());
    // Esc: back to the pattern as it was. Pressed on the window, as a key of
    // the keyboard is, so that the window's own Esc shortcut sees it too.
    platform_->MainQtWindow()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(platform_->MainQtWindow()));
    list->setFocus();
    QTest::keyClick(platform_->MainQtWindow()->windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(windows.FileListShown());
    EXPECT_EQ(StatusText(), status);

    // Enter opens as a double click does, File Information included.
    ASSERT_TRUE(windows.ChooseCommand(ID_FILE_OPEN));
    list->setCurrentRow(row(QFileInfo(CELLARIUM_SAMPLES "/spaceship.lif").absoluteFilePath()));
    list->setFocus();
    ModalAnswerer ok;
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(ok.Answered(), 1);
    EXPECT_FALSE(windows.FileListShown());
    EXPECT_EQ(view_->GetDocument()->GetPathName(),
              QFileInfo(CELLARIUM_SAMPLES "/spaceship.lif").absoluteFilePath().toStdString());
}

TEST_F(Desktop, FileListShowsPicturesMadeInTheBackgroundAndKeepsThem) {
    QTemporaryDir mine;
    auto write = [&mine](const char* name, const QByteArray& bytes) {
        QFile f(mine.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("glider.lif", "#Life 1.06\n1 0\n2 1\n0 2\n1 2\n2 2\n");
    write("offboard.lif", "#Life 1.06\n0 0\n900000 0\n");  // cannot be opened: too big
    write("codd.rle", "x = 1, y = 1, rule = Codd\no!\n");  // a rule of another kind
    // A picture file whose reading leaves the board's bounds wider than its cells.
    write("acorn.lif", ".*.....\n...*...\n**..***\n");
    app_->m_strDocumentsFolder = mine.path().toStdString();
    app_->m_strSamplesFolder.clear();
    QtWindows& windows = platform_->WindowRole();
    auto* list = [&] {
        EXPECT_TRUE(windows.ChooseCommand(ID_FILE_OPEN));
        return windows.FileListPage()->findChild<QListWidget*>();
    }();
    ASSERT_NE(list, nullptr);
    auto item = [list](const QString& name) -> QListWidgetItem* {
        for (int i = list->count() - 1; i >= 0; --i)
            if (QFileInfo(list->item(i)->data(Qt::UserRole).toString()).fileName() == name)
                return list->item(i);
        return nullptr;
    };
    auto state = [&](const QString& name) { return item(name)->data(kPictureStateRole).toInt(); };
    ASSERT_NE(item("glider.lif"), nullptr);
    ASSERT_NE(item("offboard.lif"), nullptr);
    // Shown at once; the pictures follow.
    EXPECT_EQ(state("glider.lif"), kPictureWaiting);
    QTRY_COMPARE_WITH_TIMEOUT(state("glider.lif"), kPictureShown, 10000);
    // Too big and cannot be read: two marks, and the tooltip says which.
    QTRY_COMPARE_WITH_TIMEOUT(state("offboard.lif"), kPictureTooBig, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(state("codd.rle"), kPictureUnreadable, 10000);
    EXPECT_EQ(item("glider.lif")->text(), QStringLiteral("glider.lif  3 \u00d7 3"));
    EXPECT_EQ(item("offboard.lif")->text(),
              QStringLiteral("offboard.lif  900001 \u00d7 1, too big"));
    EXPECT_TRUE(item("offboard.lif")->toolTip().contains(QStringLiteral("900001 \u00d7 1 cells")));
    EXPECT_EQ(item("codd.rle")->text(), "codd.rle");
    EXPECT_TRUE(item("codd.rle")->toolTip().contains(QStringLiteral("'Codd'")))
        << item("codd.rle")->toolTip().toStdString();
    EXPECT_NE(item("offboard.lif")->icon().pixmap(kFilePictureSide).toImage(),
              item("codd.rle")->icon().pixmap(kFilePictureSide).toImage());
    QTRY_COMPARE_WITH_TIMEOUT(state("acorn.lif"), kPictureShown, 10000);
    EXPECT_EQ(item("acorn.lif")->text(), QStringLiteral("acorn.lif  7 \u00d7 3"));
    // The glider's cells in the palette's colours on its dead colour.
    const QImage picture = item("glider.lif")->icon().pixmap(kFilePictureSide).toImage();
    const QRgb dead = CellColour(Board(), 0, 0) | 0xFF000000u;
    int live = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            live += (picture.pixel(x, y) | 0xFF000000u) != dead;
    EXPECT_GT(live, 0);
    EXPECT_LT(live, picture.width() * picture.height() / 2);

    // Listed again: the kept pictures, nothing made anew, until a file changes.
    QTRY_VERIFY_WITH_TIMEOUT(windows.FilePicturesMade() >= 3, 10000);  // the Recent one too
    QTest::mouseClick(windows.FileListCancelButton(), Qt::LeftButton);
    ASSERT_FALSE(windows.FileListShown());
    const int made = windows.FilePicturesMade();
    ASSERT_TRUE(windows.ChooseCommand(ID_FILE_OPEN));
    EXPECT_EQ(state("glider.lif"), kPictureShown);
    EXPECT_EQ(state("offboard.lif"), kPictureTooBig);
    write("offboard.lif", "#Life 1.06\n0 0\n1 0\n");
    QFile touched(mine.filePath("offboard.lif"));
    ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
    ASSERT_TRUE(touched.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                    QFileDevice::FileModificationTime));
    touched.close();
    QTest::mouseClick(windows.FileListCancelButton(), Qt::LeftButton);
    ASSERT_FALSE(windows.FileListShown());
    ASSERT_TRUE(windows.ChooseCommand(ID_FILE_OPEN));
    QTRY_COMPARE_WITH_TIMEOUT(state("offboard.lif"), kPictureShown, 10000);
    EXPECT_EQ(windows.FilePicturesMade(), made + 1);
    EXPECT_EQ(item("offboard.lif")->text(), QStringLiteral("offboard.lif  2 \u00d7 1"));
}

TEST_F(Desktop, PopulationGraphDocksBelowTheViewDrawsItsAxesAndIsRemembered) {
    QtWindows& windows = platform_->WindowRole();
    ASSERT_TRUE(windows.ChooseCommand(ID_POPULATION_GRAPH));
    QDockWidget* dock = windows.GraphPanel();
    ASSERT_NE(dock, nullptr);
    EXPECT_TRUE(dock->isVisible());
    EXPECT_FALSE(dock->isFloating());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(windows.ChooseCommand(ID_TOOLS_STEP));
    CFrameWnd& frame = *MainWindow();
    EXPECT_GT(windows.GraphColumns(frame), 100);
    const std::string png = windows.GraphImagePng(frame);
    ASSERT_GT(png.size(), 8u);
    const QImage image = QImage::fromData(QByteArray::fromStdString(png), "PNG");
    EXPECT_EQ(image.size(), dock->widget()->size());
    // The live count's colour is drawn somewhere in the plot.
    bool green = false;
    for (int y = 0; y < image.height() && !green; ++y)
        for (int x = 0; x < image.width() && !green; ++x)
            green = image.pixel(x, y) == qRgb(0x00, 0xA0, 0x00);
    EXPECT_TRUE(green);
    // Made a window of its own by the user: kept so.
    dock->setFloating(true);
    EXPECT_EQ(app_->GetProfileInt("Population Graph", "Floating", 0), 1);
    dock->close();
    EXPECT_EQ(app_->GetProfileInt("Population Graph", "Shown", 1), 0);
    EXPECT_FALSE(view_->Graph().Shown());
}

}  // namespace
}  // namespace cellarium

namespace cellarium {
namespace {

// A mouse event on the view's viewport, as the window system delivers it.
void SendMouse(QWidget* to, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
               QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(at), QPointF(to->mapToGlobal(at)), button, held, modifiers);
    QApplication::sendEvent(to, &event);
}

TEST_F(Desktop, StrokeUndoesWithCtrlZAndRightDragSelectsForCopyAndPaste) {
    ASSERT_TRUE(platform_->WindowRole().ChooseCommand(ID_TOOLS_EDIT));
    QWidget* vp = widget_->viewport();
    auto cellAt = [this](QPoint p) { return view_->ClientToCell(CPoint{p.x(), p.y()}); };
    auto live = [this](CPoint c, int dx = 0, int dy = 0) {
        return Board().At(c.x + dx, c.y + dy) != 0;
    };
    // Three cells drawn in one stroke: "oo." over "..o".
    const QPoint a(20, 20), b(21, 20), c(22, 21);
    const CPoint first = cellAt(a);
    for (int dy = -1; dy <= 2; ++dy)
        for (int dx = -1; dx <= 3; ++dx) ASSERT_FALSE(live(first, dx, dy));
    SendMouse(vp, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, a);
    SendMouse(vp, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, b);
    SendMouse(vp, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, c);
    SendMouse(vp, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, c);
    ASSERT_TRUE(live(first) && live(first, 1) && live(first, 2, 1));
    QTest::keyClick(widget_, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(live(first) || live(first, 1) || live(first, 2, 1));
    QTest::keyClick(widget_, Qt::Key_Y, Qt::ControlModifier);
    ASSERT_TRUE(live(first) && live(first, 1) && live(first, 2, 1));

    // A right drag from above-left of the cells to below-right selects them.
    SendMouse(vp, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, QPoint(17, 17));
    SendMouse(vp, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, QPoint(26, 24));
    SendMouse(vp, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, QPoint(26, 24));
    ASSERT_TRUE(view_->Editing().HasSelection());
    QTest::keyClick(widget_, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              "x = 3, y = 2, rule = B3/S23\n2o$2bo!\n");

    // Ctrl+V floats the cells under the pointer; a click drops them there.
    const QPoint there(60, 120);
    const CPoint at = cellAt(there);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) ASSERT_FALSE(live(at, dx, dy));
    QTest::keyClick(widget_, Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(view_->Editing().Floating());
    SendMouse(vp, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, there);
    SendMouse(vp, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, there);
    SendMouse(vp, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, there);
    EXPECT_FALSE(view_->Editing().Floating());
    EXPECT_TRUE(live(at, -1, -1) && live(at, 0, -1) && live(at, 1, 0));
    EXPECT_FALSE(live(at, 1, -1) || live(at, -1, 0) || live(at, 0, 0));
    EXPECT_TRUE(live(first) && live(first, 1) && live(first, 2, 1));
}

}  // namespace
}  // namespace cellarium
