#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/frame_wnd.h"
#include "framework/view.h"
#include "framework/win_app.h"
#include "platform/headless/headless_platform.h"

using namespace cellarium;

namespace {

std::vector<std::string>* g_log = nullptr;
void Log(const std::string& s) {
    g_log->push_back(s);
}

constexpr unsigned kBoth = 100;  // view and frame both handle it
constexpr unsigned kViewOnly = 101;
constexpr unsigned kDisabled = 102;   // handled, but its update handler disables it
constexpr unsigned kCheckOnly = 103;  // only an update handler that checks it
constexpr unsigned kFrameOnly = 104;
constexpr unsigned kAppOnly = 105;
constexpr unsigned kDocOnly = 106;
constexpr unsigned kFrameAndApp = 107;  // frame and application both handle it
constexpr unsigned kNobody = 999;

class TDoc : public CDocument {
public:
    bool OnOpenDocument(const std::string& path) override { return path != "bad"; }
    bool OnCmdMsg(const CmdMsg& msg) override {
        static const CommandMap<TDoc> map = CommandMap<TDoc>().On(kDocOnly, &TDoc::Hit);
        return map.Dispatch(*this, msg) || CDocument::OnCmdMsg(msg);
    }
    void Hit() { Log("doc"); }
};

class TView : public CView {
public:
    void OnDraw(CDC*) override {}
    void OnInitialUpdate() override { Log("initial update"); }
    bool OnCmdMsg(const CmdMsg& msg) override {
        static const CommandMap<TView> map = CommandMap<TView>()
                                                 .On(kBoth, &TView::Hit)
                                                 .On(kViewOnly, &TView::Hit)
                                                 .On(kDisabled, &TView::Hit)
                                                 .OnUpdate(kDisabled, &TView::Disable)
                                                 .OnUpdate(kCheckOnly, &TView::Check);
        return map.Dispatch(*this, msg) || CView::OnCmdMsg(msg);
    }
    void Hit() { Log("view"); }
    void Disable(CCmdUI* ui) { ui->Enable(false); }
    void Check(CCmdUI* ui) { ui->SetCheck(1); }
    void OnTimer(unsigned id) override { Log("tick " + std::to_string(id)); }
};

class TFrame : public CFrameWnd {
public:
    bool OnFrameCmdMsg(const CmdMsg& msg) override {
        static const CommandMap<TFrame> map = CommandMap<TFrame>()
                                                  .On(kBoth, &TFrame::Hit)
                                                  .On(kFrameOnly, &TFrame::Hit)
                                                  .On(kFrameAndApp, &TFrame::Hit);
        return map.Dispatch(*this, msg) || CFrameWnd::OnFrameCmdMsg(msg);
    }
    void Hit() { Log("frame"); }
};

class TApp : public CWinApp {
public:
    explicit TApp(PlatformServices& p) : CWinApp(p, "Test") {}
    bool OnCmdMsg(const CmdMsg& msg) override {
        static const CommandMap<TApp> map =
            CommandMap<TApp>().On(kAppOnly, &TApp::Hit).On(kFrameAndApp, &TApp::Hit);
        return map.Dispatch(*this, msg) || CWinApp::OnCmdMsg(msg);
    }
    void Hit() { Log("app"); }
};

class RoutingTest : public ::testing::Test {
protected:
    RoutingTest() : app(platform) {
        g_log = &log;
        app.AddDocTemplate(std::make_unique<CSingleDocTemplate>(
            1, "Test\n\nTest\nTest files (*.t)\n.t\nTest.Document\nTest Document",
            [] { return std::make_unique<TDoc>(); }, [] { return std::make_unique<TFrame>(); },
            [] { return std::make_unique<TView>(); }));
    }
    ~RoutingTest() override { g_log = nullptr; }
    TView* View() { return static_cast<TView*>(MainWindow()->GetActiveView()); }

    std::vector<std::string> log;
    HeadlessPlatform platform;
    TApp app;
};

}  // namespace

TEST_F(RoutingTest, CommandsGoToViewThenDocumentThenFrameThenApplication) {
    app.OnFileNew();
    ASSERT_NE(MainWindow(), nullptr);
    log.clear();
    CFrameWnd* frame = MainWindow();
    EXPECT_TRUE(frame->SendCommand(kBoth));
    EXPECT_TRUE(frame->SendCommand(kDocOnly));
    EXPECT_TRUE(frame->SendCommand(kFrameOnly));
    EXPECT_TRUE(frame->SendCommand(kAppOnly));
    EXPECT_FALSE(frame->SendCommand(kNobody));
    EXPECT_EQ(log, (std::vector<std::string>{"view", "doc", "frame", "app"}));
}

TEST_F(RoutingTest, ACommandTheFrameAndTheApplicationBothHandleGoesToTheFrameOnly) {
    app.OnFileNew();
    log.clear();
    EXPECT_TRUE(MainWindow()->SendCommand(kFrameAndApp));
    EXPECT_EQ(log, std::vector<std::string>{"frame"});

    // Chosen by the user the same.
    log.clear();
    EXPECT_TRUE(platform.Command(kFrameAndApp));
    EXPECT_EQ(log, std::vector<std::string>{"frame"});
}

TEST_F(RoutingTest, UpdateHandlersDecideStateAndCommandsWithoutHandlersAreDisabled) {
    app.OnFileNew();
    CFrameWnd* frame = MainWindow();
    log.clear();
    EXPECT_TRUE(frame->QueryCommandState(kViewOnly).m_bEnabled);
    EXPECT_TRUE(frame->QueryCommandState(kAppOnly).m_bEnabled);
    EXPECT_FALSE(frame->QueryCommandState(kDisabled).m_bEnabled);
    CCmdUI checked = frame->QueryCommandState(kCheckOnly);
    EXPECT_FALSE(checked.m_bEnabled);
    EXPECT_EQ(checked.m_nCheck, 1);
    EXPECT_FALSE(frame->QueryCommandState(kNobody).m_bEnabled);
    // Asking for the state never runs a handler.
    EXPECT_TRUE(log.empty());

    // A user cannot choose a disabled command.
    EXPECT_FALSE(platform.Command(kDisabled));
    EXPECT_TRUE(platform.Command(kViewOnly));
    EXPECT_EQ(log, std::vector<std::string>{"view"});
}

TEST_F(RoutingTest, FailedOpenOfTheFirstDocumentLeavesNoFrameAndLaterOnesKeepTheOld) {
    EXPECT_EQ(app.OpenDocumentFile("bad"), nullptr);
    EXPECT_EQ(MainWindow(), nullptr);
    EXPECT_EQ(app.GetDocTemplate()->GetDocument(), nullptr);

    CDocument* doc = app.OpenDocumentFile("/some/where/good.t");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPathName(), "/some/where/good.t");
    EXPECT_EQ(doc->GetTitle(), "good.t");
    EXPECT_EQ(log, std::vector<std::string>{"initial update"});

    log.clear();
    EXPECT_EQ(app.OpenDocumentFile("bad"), nullptr);
    EXPECT_EQ(app.GetDocTemplate()->GetDocument(), doc);
    EXPECT_EQ(doc->GetPathName(), "/some/where/good.t");
    EXPECT_NE(MainWindow(), nullptr);
    EXPECT_TRUE(log.empty());  // no initial update after a failed open

    EXPECT_EQ(app.GetDocTemplate()->GetDocString(CSingleDocTemplate::filterName),
              "Test files (*.t)");
    EXPECT_EQ(app.GetDocTemplate()->GetDocString(CSingleDocTemplate::regFileTypeName),
              "Test Document");
}

TEST_F(RoutingTest, TimersFireOnTheVirtualClockUntilKilledOrTheWindowGoes) {
    app.OnFileNew();
    TView* view = View();
    log.clear();
    TimerHandle h = view->SetTimer(7, 10);
    ASSERT_NE(h, 0u);
    platform.AdvanceTime(9);
    EXPECT_TRUE(log.empty());
    platform.AdvanceTime(26);  // now 35: ticks at 10, 20, 30
    EXPECT_EQ(log.size(), 3u);

    // Arming the same id again starts it afresh from now.
    view->SetTimer(7, 100);
    platform.AdvanceTime(99);
    EXPECT_EQ(log.size(), 3u);
    platform.AdvanceTime(1);
    EXPECT_EQ(log.size(), 4u);

    EXPECT_TRUE(view->KillTimer(h));
    EXPECT_FALSE(view->KillTimer(h));
    platform.AdvanceTime(1000);
    EXPECT_EQ(log.size(), 4u);

    // Two timers due at the same moment fire in the order they were armed.
    log.clear();
    view->SetTimer(9, 10);
    view->SetTimer(8, 10);
    platform.AdvanceTime(10);
    EXPECT_EQ(log, (std::vector<std::string>{"tick 9", "tick 8"}));

    app.GetDocTemplate()->CloseAllDocuments();
    EXPECT_EQ(platform.ArmedTimers(), 0u);
}

TEST_F(RoutingTest, IdleRunsTwiceAfterEachEventAndRefreshesToolbarState) {
    app.OnFileNew();
    ToolbarTemplate toolbar{1, 16, 16, {kViewOnly, kDisabled}};
    CommandBarDesc bar;
    bar.toolbar = &toolbar;
    MainWindow()->SetCommandBar(bar);
    const long before = app.IdleRefreshCount();
    platform.Pump();
    EXPECT_EQ(app.IdleRefreshCount(), before + 1);
    const auto& states = MainWindow()->ToolbarStates();
    ASSERT_EQ(states.size(), 2u);
    EXPECT_TRUE(states[0].enabled);
    EXPECT_FALSE(states[1].enabled);
}

TEST_F(RoutingTest, WaitCursorIsCountedAndNeverGoesBelowZero) {
    app.DoWaitCursor(1);
    app.DoWaitCursor(1);
    EXPECT_TRUE(platform.WaitCursorShown());
    app.DoWaitCursor(-1);
    EXPECT_TRUE(platform.WaitCursorShown());
    app.DoWaitCursor(-1);
    EXPECT_FALSE(platform.WaitCursorShown());
    app.DoWaitCursor(-1);
    EXPECT_EQ(app.WaitCursorCount(), 0);
    app.DoWaitCursor(1);
    EXPECT_TRUE(platform.WaitCursorShown());
    app.DoWaitCursor(-1);
    EXPECT_EQ(platform.WaitCursorChanges(), 4);
}

TEST_F(RoutingTest, SettingsLiveUnderTheRegistryKeyAndApplicationName) {
    app.SetRegistryKey("Company");
    EXPECT_EQ(app.GetProfileInt("Size", "Width", 800), 800);
    app.WriteProfileInt("Size", "Width", 1234);
    EXPECT_EQ(app.GetProfileInt("Size", "Width", 800), 1234);
    EXPECT_EQ(platform.Setting("Company\\Test\\Size\\Width"), 1234);
}
