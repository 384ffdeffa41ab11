// The desktop back end under a small application of the tests' own: a view
// that records what reaches it, so that each entry point (timers, idle,
// mouse, keys, wheel, paints) is checked on its own; and the surface, the
// clipboard, the settings and the program's end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QMainWindow>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cstdlib>

#include "framework/document.h"
#include "framework/frame_wnd.h"
#include "framework/view.h"
#include "framework/win_app.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_roles.h"
#include "platform/qt/qt_surface.h"
#include "platform/qt/qt_view_widget.h"
#include "platform/qt/qt_windows.h"
#include "qt_test_support.h"

namespace cellarium {
namespace {

constexpr unsigned kZoomIn = 40001;
constexpr unsigned kZoomOut = 40002;

struct Recorder {
    std::vector<std::string> events;
    std::vector<long> idleCounts;
    bool idleAlwaysMore = false;
    int paints = 0;
    int erases = 0;
};
Recorder* g_rec = nullptr;

class RecordingView : public CScrollView {
public:
    RecordingView() { SetScrollSizes(MM_TEXT, CSize{2000, 3000}); }
    void OnDraw(CDC*) override { ++g_rec->paints; }
    bool OnEraseBkgnd(CDC&) override {
        ++g_rec->erases;
        return true;
    }
    void OnTimer(unsigned id) override { g_rec->events.push_back("timer " + std::to_string(id)); }
    void OnLButtonDown(unsigned flags, CPoint p) override {
        g_rec->events.push_back("down " + std::to_string(flags) + " " + std::to_string(p.x) + "," +
                                std::to_string(p.y));
    }
    void OnMouseMove(unsigned flags, CPoint p) override {
        g_rec->events.push_back("move " + std::to_string(flags) + " " + std::to_string(p.x) + "," +
                                std::to_string(p.y));
    }
    void OnKeyDown(unsigned key, unsigned, unsigned) override {
        g_rec->events.push_back("key " + std::to_string(key));
    }
    bool OnCmdMsg(const CmdMsg& msg) override {
        static const CommandMap<RecordingView> map = CommandMap<RecordingView>()
                                                         .On(kZoomIn, &RecordingView::OnZoomIn)
                                                         .On(kZoomOut, &RecordingView::OnZoomOut);
        return map.Dispatch(*this, msg) || CScrollView::OnCmdMsg(msg);
    }
    void OnZoomIn() { g_rec->events.push_back("zoom in"); }
    void OnZoomOut() { g_rec->events.push_back("zoom out"); }
};

class RecordingApp : public CWinApp {
public:
    explicit RecordingApp(PlatformServices& p) : CWinApp(p, "Recorder") {}
    bool OnIdle(long count) override {
        g_rec->idleCounts.push_back(count);
        CWinApp::OnIdle(count);
        return g_rec->idleAlwaysMore || count < 1;
    }
};

class Backend : public ::testing::Test {
protected:
    void SetUp() override {
        g_rec = &rec_;
        platform_ = std::make_unique<QtPlatform>();
        CommandLook look;
        look.zoomIn = kZoomIn;
        look.zoomOut = kZoomOut;
        platform_->WindowRole().SetCommandLook(look);
        app_ = std::make_unique<RecordingApp>(*platform_);
        app_->AddDocTemplate(std::make_unique<CSingleDocTemplate>(
            1, "Rec\n\nRec\n\n\n\n", [] { return std::make_unique<CDocument>(); },
            [] { return std::make_unique<CFrameWnd>(); },
            [] { return std::make_unique<RecordingView>(); }));
        app_->OnFileNew();
        view_ = dynamic_cast<RecordingView*>(MainWindow()->GetActiveView());
        ASSERT_NE(view_, nullptr);
        widget_ = platform_->WindowRole().ViewWidget(*view_);
        ASSERT_NE(widget_, nullptr);
        platform_->MainQtWindow()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(platform_->MainQtWindow()));
        RunFor(20);
        rec_.events.clear();
    }
    void TearDown() override {
        app_.reset();
        platform_.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        g_rec = nullptr;
    }

    Recorder rec_;
    std::unique_ptr<QtPlatform> platform_;
    std::unique_ptr<RecordingApp> app_;
    RecordingView* view_ = nullptr;
    QtViewWidget* widget_ = nullptr;
};

int Count(const std::vector<std::string>& events, const std::string& what) {
    return int(std::count(events.begin(), events.end(), what));
}

TEST_F(Backend, TimersRepeatAreReplacedByIdAndKilled) {
    EXPECT_EQ(view_->SetTimer(0, 10), 0u);  // id 0 is no timer
    const TimerHandle a = view_->SetTimer(5, 10);
    ASSERT_NE(a, 0u);
    ASSERT_TRUE(RunUntil([&] { return Count(rec_.events, "timer 5") >= 3; }, 2000));
    // Armed again with the same id: still one timer, now slow.
    EXPECT_EQ(view_->SetTimer(5, 100000), a);
    EXPECT_EQ(platform_->WindowRole().ArmedTimers(), 1);
    const int ticks = Count(rec_.events, "timer 5");
    RunFor(60);
    EXPECT_EQ(Count(rec_.events, "timer 5"), ticks);
    EXPECT_TRUE(view_->KillTimer(a));
    EXPECT_FALSE(view_->KillTimer(a));
    EXPECT_EQ(platform_->WindowRole().ArmedTimers(), 0);
    // A timer goes with its window.
    view_->SetTimer(6, 5);
    view_->DestroyWindow();
    EXPECT_EQ(platform_->WindowRole().ArmedTimers(), 0);
    RunFor(30);
    EXPECT_EQ(Count(rec_.events, "timer 6"), 0);
}

TEST_F(Backend, IdleRunsAfterActivityFromCountZeroAndComesToRest) {
    rec_.idleCounts.clear();
    view_->SetTimer(7, 5);
    ASSERT_TRUE(RunUntil([&] { return Count(rec_.events, "timer 7") >= 2; }, 2000));
    view_->KillTimer(7);
    RunFor(30);
    // Each tick restarted the count: 0, 1, 0, 1, ...
    ASSERT_GE(rec_.idleCounts.size(), 4u);
    EXPECT_EQ(rec_.idleCounts[0], 0);
    EXPECT_EQ(rec_.idleCounts[1], 1);
    EXPECT_EQ(std::count(rec_.idleCounts.begin(), rec_.idleCounts.end(), 0L),
              std::count(rec_.idleCounts.begin(), rec_.idleCounts.end(), 1L));
    // Nothing happening: no more idle calls.
    const std::size_t calls = rec_.idleCounts.size();
    RunFor(100);
    EXPECT_EQ(rec_.idleCounts.size(), calls);

    // A hook that always wants more is cut off: the loop comes to rest.
    rec_.idleAlwaysMore = true;
    rec_.idleCounts.clear();
    platform_->WindowRole().NoteActivity();
    RunFor(300);
    const std::size_t capped = rec_.idleCounts.size();
    EXPECT_GT(capped, 10u);
    EXPECT_LE(capped, 1000u);
    RunFor(100);
    EXPECT_EQ(rec_.idleCounts.size(), capped);
}

TEST_F(Backend, MouseIsTheStylusInClientCoordinates) {
    QWidget* vp = widget_->viewport();
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
    QTest::mouseMove(vp, QPoint(15, 25));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, QPoint(15, 25));
    ASSERT_GE(rec_.events.size(), 1u);
    EXPECT_EQ(rec_.events[0], "down 1 10,20");
    // QTest::mouseMove moves the cursor without a button state on some
    // platforms; send the drag the way the window system would.
    QMouseEvent drag(QEvent::MouseMove, QPointF(30, 40), vp->mapToGlobal(QPointF(30, 40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &drag);
    EXPECT_EQ(rec_.events.back(), "move 1 30,40");
    // The right button is not the stylus.
    rec_.events.clear();
    QTest::mouseClick(vp, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(Count(rec_.events, "down 1 5,5"), 0);
}

TEST_F(Backend, KeysReachTheViewAsFrameworkCodes) {
    widget_->setFocus();
    QTest::keyClick(widget_, Qt::Key_Left);
    QTest::keyClick(widget_, Qt::Key_Down);
    QTest::keyClick(widget_, Qt::Key_A);
    QTest::keyClick(widget_, Qt::Key_PageDown);
    EXPECT_EQ(rec_.events, (std::vector<std::string>{"key 37", "key 40", "key 65", "key 34"}));
    EXPECT_EQ(FrameworkKeyCode(Qt::Key_Right), VK_RIGHT);
    EXPECT_EQ(FrameworkKeyCode(Qt::Key_Up), VK_UP);
    EXPECT_EQ(FrameworkKeyCode(Qt::Key_F5), VK_F1 + 4);
    EXPECT_EQ(FrameworkKeyCode(Qt::Key_7), unsigned('7'));
}

TEST_F(Backend, CtrlWheelSendsZoomCommandsPlainWheelScrolls) {
    QWidget* vp = widget_->viewport();
    const QPointF at(10, 10);
    auto wheel = [&](int dy, Qt::KeyboardModifiers mods) {
        QWheelEvent e(at, vp->mapToGlobal(at), QPoint(), QPoint(0, dy), Qt::NoButton, mods,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(vp, &e);
    };
    wheel(120, Qt::ControlModifier);
    wheel(-240, Qt::ControlModifier);
    EXPECT_EQ(rec_.events, (std::vector<std::string>{"zoom in", "zoom out", "zoom out"}));
    // Half notches add up.
    rec_.events.clear();
    wheel(60, Qt::ControlModifier);
    EXPECT_TRUE(rec_.events.empty());
    wheel(60, Qt::ControlModifier);
    EXPECT_EQ(rec_.events, (std::vector<std::string>{"zoom in"}));

    const CPoint before = view_->GetScrollPosition();
    wheel(-120, Qt::NoModifier);
    EXPECT_EQ(view_->GetScrollPosition().y, before.y + 3 * view_->GetLineSize().cy);
    EXPECT_EQ(widget_->verticalScrollBar()->value(), view_->GetScrollPosition().y);
}

TEST_F(Backend, PaintsEraseOnlyWhenAskedOrUnasked) {
    rec_.paints = rec_.erases = 0;
    view_->Invalidate(false);
    view_->UpdateWindow();
    EXPECT_EQ(rec_.paints, 1);
    EXPECT_EQ(rec_.erases, 0);
    view_->Invalidate(true);
    view_->UpdateWindow();
    EXPECT_EQ(rec_.paints, 2);
    EXPECT_EQ(rec_.erases, 1);
    // Nothing pending: UpdateWindow paints nothing.
    view_->UpdateWindow();
    EXPECT_EQ(rec_.paints, 2);
    // A paint the program did not ask for (a grab) erases.
    widget_->viewport()->grab();
    EXPECT_EQ(rec_.paints, 3);
    EXPECT_EQ(rec_.erases, 2);
}

TEST_F(Backend, WaitCursorIsBalanced) {
    app_->DoWaitCursor(1);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    app_->DoWaitCursor(1);
    app_->DoWaitCursor(-1);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    app_->DoWaitCursor(-1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// --- Surface ----------------------------------------------------------------------

struct TestImage {
    std::vector<uint8_t> cells;
    std::array<RgbQuad, 256> colours{};
    IndexedImage image;
    TestImage(int w, int h) : cells(std::size_t(w) * std::size_t(h)) {
        for (int i = 0; i < 256; ++i)
            colours[std::size_t(i)] = RgbQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                cells[std::size_t(y * w + x)] = uint8_t((x * 3 + y * 5) & 0xFF);
        image = IndexedImage{w, h, w, cells.data(), colours.data()};
    }
    QRgb At(int x, int y) const {
        const RgbQuad& c = colours[cells[std::size_t(y * image.width + x)]];
        return qRgb(c.red, c.green, c.blue);
    }
};

TEST(QtSurface, StretchIsNearestNeighbourAndSkipsWhatLiesOutsideTheImage) {
    TestImage img(40, 30);
    QImage target(100, 80, QImage::Format_RGB32);
    target.fill(qRgb(1, 2, 3));
    {
        QPainter p(&target);
        QtSurface s(p);
        // Zoom 4 from cell (30, 20): the image ends after 10 columns and
        // rows, so only the top-left 40 x 40 pixels are drawn.
        s.StretchImage(img.image, CRect{30, 20, 55, 40}, CRect{0, 0, 100, 80});
    }
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x) {
            const QRgb want = (x < 40 && y < 40) ? img.At(30 + x / 4, 20 + y / 4) : qRgb(1, 2, 3);
            ASSERT_EQ(target.pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
        }
}

TEST(QtSurface, ClipKeepsTheScaleOfTheWhole) {
    TestImage img(10, 10);
    CRect s, d;
    ASSERT_TRUE(QtSurface::ClipToImage(img.image, CRect{-2, 0, 8, 10}, CRect{0, 0, 30, 30}, s, d));
    EXPECT_EQ(s, (CRect{0, 0, 8, 10}));
    EXPECT_EQ(d, (CRect{6, 0, 30, 30}));
    EXPECT_FALSE(
        QtSurface::ClipToImage(img.image, CRect{10, 0, 20, 10}, CRect{0, 0, 30, 30}, s, d));
    EXPECT_FALSE(QtSurface::ClipToImage(img.image, CRect{0, 0, 0, 10}, CRect{0, 0, 30, 30}, s, d));
}

TEST(QtSurface, HighDpiTargetKeepsCellsSharp) {
    TestImage img(20, 20);
    QImage target(80, 80, QImage::Format_RGB32);
    target.setDevicePixelRatio(2.0);  // 40 x 40 logical pixels
    {
        QPainter p(&target);
        QtSurface s(p);
        s.StretchImage(img.image, CRect{0, 0, 20, 20}, CRect{0, 0, 40, 40});  // zoom 2
        s.FillSolid(CRect{0, 0, 0, 0}, 0);
    }
    // Each cell is exactly 4 x 4 device pixels, no blending at the edges.
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x)
            ASSERT_EQ(target.pixel(x, y) & 0xFFFFFF, img.At(x / 4, y / 4) & 0xFFFFFF)
                << x << "," << y;
}

TEST(QtSurface, IndexedImageOverConstBytesKeepsThemWithItsColourTable) {
    // What the surface relies on: a colour table does not copy the pixels.
    std::vector<uint8_t> bytes(64 * 64, 3);
    QImage image(bytes.data(), 64, 64, 64, QImage::Format_Indexed8);
    const uchar* before = image.constBits();
    image.setColorTable(QList<QRgb>(256, qRgb(9, 9, 9)));
    EXPECT_EQ(image.constBits(), before);
    EXPECT_EQ(static_cast<const void*>(image.constBits()), static_cast<const void*>(bytes.data()));
}

// --- Clipboard, settings, the end ----------------------------------------------------

TEST(QtClipboardRole, TextComesAsLatin1AndUtf16BlocksWithTerminators) {
    QtClipboard clip;
    QGuiApplication::clipboard()->setText(QString::fromUtf8("x\xC3\xA9\xE2\x82\xAC"));  // x é €
    EXPECT_FALSE(clip.GetClipboardData(CF_TEXT).has_value());  // not opened
    ASSERT_TRUE(clip.OpenClipboard());
    EXPECT_FALSE(clip.OpenClipboard());  // already open
    EXPECT_EQ(clip.GetClipboardData(CF_TEXT), (std::vector<uint8_t>{'x', 0xE9, '?', 0}));
    EXPECT_EQ(clip.GetClipboardData(CF_UNICODETEXT),
              (std::vector<uint8_t>{'x', 0, 0xE9, 0, 0xAC, 0x20, 0, 0}));
    EXPECT_FALSE(clip.GetClipboardData(2).has_value());
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(clip.GetClipboardData(CF_TEXT).has_value());
    EXPECT_FALSE(clip.GetClipboardData(CF_UNICODETEXT).has_value());
    clip.CloseClipboard();
    std::u16string text = u"a\u00e9\u20ac";
    text.push_back(0);  // the terminator is converted too
    EXPECT_EQ(clip.ConvertToAnsi(text), (std::vector<uint8_t>{'a', 0xE9, '?', 0}));
}

TEST(QtSettingsRole, IntegersByCompanyApplicationSectionAndKey) {
    QtSettings settings;
    const std::string company = "Local AppWizard-Generated Applications";
    EXPECT_FALSE(settings.ReadProfileInt(company, "SettingsTest", "Size", "Width").has_value());
    ASSERT_TRUE(settings.WriteProfileInt(company, "SettingsTest", "Size", "Width", 1234));
    ASSERT_TRUE(settings.WriteProfileInt(company, "SettingsTest", "Size", "Height", 150));
    QtSettings again;
    EXPECT_EQ(again.ReadProfileInt(company, "SettingsTest", "Size", "Width"), 1234);
    EXPECT_EQ(again.ReadProfileInt(company, "SettingsTest", "Size", "Height"), 150);
    // Another application or section does not see them.
    EXPECT_FALSE(again.ReadProfileInt(company, "Other", "Size", "Width").has_value());
    EXPECT_FALSE(again.ReadProfileInt(company, "SettingsTest", "Other", "Width").has_value());
    // Text that is not a number reads as no setting.
    QSettings(QString::fromStdString(company), "SettingsTest").setValue("Size/Width", "wide");
    EXPECT_FALSE(again.ReadProfileInt(company, "SettingsTest", "Size", "Width").has_value());
}

// Ends the program from inside a nested loop (as from a dialog) while the
// main loop runs; both loops must end and the program return.
[[noreturn]] void EndFromNestedLoop() {
    QtPlatform platform;
    QTimer::singleShot(0, [&platform] {
        QEventLoop nested;
        QTimer::singleShot(10, [&platform] { platform.Processes().EndProgram(); });
        nested.exec();
        // A loop started after the end returns at once.
        QEventLoop later;
        QTimer::singleShot(5000, [] { std::_Exit(9); });
        later.exec();
    });
    const int status = QApplication::exec();
    std::exit(platform.EndRequested() && status == 0 ? 7 : 8);
}

TEST(QtProcessesRole, EndProgramLeavesEveryEventLoop) {
    EXPECT_EXIT(EndFromNestedLoop(), ::testing::ExitedWithCode(7), "");
}

}  // namespace
}  // namespace cellarium
