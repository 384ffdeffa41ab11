// The program's own application, document and view on the desktop back end,
// driven as a user would: the toolbar, the menus, the scroll bars, the wheel
// and the mouse, checked on what the window shows.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>
#include <QWheelEvent>
#include <functional>

#include "apps/cellarium/desktop_look.h"
#include "colour/palette.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "engine/rules.h"
#include "framework/frame_wnd.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_platform.h"
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
        ResetRules();
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

    // Repaints the view and compares every pixel of the viewport with the
    // board cell the view's draw maps it to. Pixels on the edge between two
    // cells (where rounding of an uneven stretch may pick either) are left
    // out. Returns the number of pixels compared.
    int CheckViewPixels() {
        view_->Invalidate(true);
        const QImage shot =
            widget_->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const CellBoard& board = Board();
        const int z = int(view_->m_nZoom);
        const CPoint s = view_->GetScrollPosition();
        const int w = widget_->viewport()->width(), h = widget_->viewport()->height();
        EXPECT_EQ(shot.width(), w);
        EXPECT_EQ(shot.height(), h);
        const int cw = z == 1 ? w : w / z, ch = z == 1 ? h : h / z;
        const int bx = z == 1 ? s.x : s.x / z, by = z == 1 ? s.y : s.y / z;
        const QRgb dead = CellColour(board, 0, 0) | 0xFF000000u;
        int compared = 0, wrong = 0;
        for (int y = 0; y < shot.height(); ++y) {
            const long long r0 = (long long)y * ch / h,
                            r1 = ((long long)y * 2 + 1) * ch / (2LL * h);
            if (r0 != r1) continue;
            for (int x = 0; x < shot.width(); ++x) {
                const long long c0 = (long long)x * cw / w,
                                c1 = ((long long)x * 2 + 1) * cw / (2LL * w);
                if (c0 != c1) continue;
                const int cx = bx + int(c0), cy = by + int(r0);
                QRgb expected = dead;
                if (cx < board.width && cy < board.height) expected = CellColour(board, cx, cy);
                ++compared;
                if ((shot.pixel(x, y) | 0xFF000000u) != (expected | 0xFF000000u) && ++wrong <= 5)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") shows cell (" << cx << ", "
                                  << cy << ") wrongly at zoom " << z;
            }
        }
        EXPECT_EQ(wrong, 0);
        return compared;
    }

    std::unique_ptr<QtPlatform> platform_;
    std::unique_ptr<CLifeApp> app_;
    CFrameWnd* frame_ = nullptr;
    CLifeView* view_ = nullptr;
    QtViewWidget* widget_ = nullptr;
};

TEST_F(Desktop, WindowHasPortraitViewWithStatusStripBelow) {
    QMainWindow* main = platform_->MainQtWindow();
    EXPECT_LT(main->width(), main->height());
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

TEST_F(Desktop, RunTicksOnTheTimerAndPauseStopsIt) {
    QAction* run = ToolbarAction(ID_TOOLS_RUN);
    QAction* pause = ToolbarAction(ID_TOOLS_PAUSE);
    ASSERT_TRUE(run && pause);
    // The idle refresh has shown the paused state.
    EXPECT_TRUE(RunUntil([&] { return run->isEnabled() && !pause->isEnabled(); }, 2000));
    run->trigger();
    ASSERT_TRUE(RunUntil([&] { return view_->m_nGeneration >= 10; }, 5000));
    EXPECT_TRUE(RunUntil([&] { return !run->isEnabled() && pause->isEnabled(); }, 2000));
    pause->trigger();
    const int32_t stopped = view_->m_nGeneration;
    RunFor(100);
    EXPECT_EQ(view_->m_nGeneration, stopped);
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
    ASSERT_TRUE(RunUntil([&] { return view_->m_nGeneration >= 2; }, 5000));
    QTest::keyClick(widget_, Qt::Key_Space);
    EXPECT_FALSE(view_->IsRunning());
}

TEST_F(Desktop, ViewPixelsMatchTheBoardAtZoomOneAndEight) {
    // Some generations so that cells of several colours show.
    for (int i = 0; i < 40; ++i) view_->OnStep();
    EXPECT_GT(CheckViewPixels(), 200000);
    view_->RememberCenter();
    view_->m_nZoom = 8;
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

TEST_F(Desktop, MenuItemsCarryTheResourceIdsCaptionsAndStates) {
    const MenuTemplate* menu = LifeResources().FindMenu(IDR_MAINFRAME);
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
    EXPECT_EQ(tops[0]->text(), QStringLiteral("Tools"));

    // Opened while running, each item shows its update handler's state.
    view_->OnRun();
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
    view_->OnPause();
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
    EXPECT_TRUE(RunUntil([&] { return pause->isEnabled() && view_->m_nGeneration > 100; }, 5000));
    QTest::keyClick(platform_->MainQtWindow(), Qt::Key_BracketLeft);
    EXPECT_TRUE(RunUntil([&] { return speed->currentText() == "x65536 / frame"; }, 2000));
    pause->trigger();
    EXPECT_FALSE(view_->IsRunning());
    platform_->WindowRole().ChooseCommand(ID_SPEED_FIRST + kDefaultSpeedStep);
}

TEST_F(Desktop, MenuCommandReachesTheView) {
    QAction* step = nullptr;
    for (QAction* a : platform_->WindowRole().MenuActions())
        if (a->data().toUInt() == ID_TOOLS_STEP) step = a;
    ASSERT_NE(step, nullptr);
    step->trigger();
    EXPECT_EQ(view_->m_nGeneration, 1);
    EXPECT_TRUE(StatusText().startsWith(QStringLiteral("G:00001")));
    // Disabled commands are not sent, whatever the key.
    view_->OnRun();
    const int32_t running = view_->m_nGeneration;
    EXPECT_FALSE(platform_->WindowRole().ChooseCommand(ID_TOOLS_STEP));
    EXPECT_EQ(view_->m_nGeneration, running);
    view_->OnPause();
}

TEST_F(Desktop, ZoomCommandsFromToolbarAndCtrlWheel) {
    if (!Handled(ID_ZOOM_IN)) GTEST_SKIP() << "Zoom In has no handler in this build";
    ToolbarAction(ID_ZOOM_IN)->trigger();
    EXPECT_EQ(view_->m_nZoom, 2u);
    EXPECT_TRUE(StatusText().endsWith(QStringLiteral("Z:x2")));
    const QPointF at(50, 50);
    QWheelEvent wheel(at, widget_->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget_->viewport(), &wheel);
    EXPECT_EQ(view_->m_nZoom, 4u);
    CheckViewPixels();
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
    EXPECT_EQ(titles, (QStringList{"Tools"}));
}

}  // namespace
}  // namespace cellarium
