#include <gtest/gtest.h>

#include "framework/view.h"
#include "framework/win_app.h"
#include "platform/headless/headless_platform.h"

using namespace cellarium;

namespace {

class PlainScrollView : public CScrollView {
public:
    void OnDraw(CDC*) override {}
    int scrollHooks = 0;
    bool OnScrollBy(CSize size, bool doScroll) override {
        ++scrollHooks;
        return CScrollView::OnScrollBy(size, doScroll);
    }
};

class ScrollViewTest : public ::testing::Test {
protected:
    ScrollViewTest() : app(platform, "Test") { view.CreateWindowObject(); }
    HeadlessPlatform platform;  // client area 240 x 268
    CWinApp app;
    PlainScrollView view;
};

}  // namespace

TEST_F(ScrollViewTest, DefaultPageIsATenthOfTheExtentAndALineATenthOfAPage) {
    view.SetScrollSizes(MM_TEXT, CSize{1000, 800});
    EXPECT_EQ(view.GetPageSize(), (CSize{100, 80}));
    EXPECT_EQ(view.GetLineSize(), (CSize{10, 8}));
    EXPECT_EQ(view.MaxScroll(), (CSize{760, 532}));
}

TEST_F(ScrollViewTest, PositionIsKeptInsideTheScrollableRange) {
    view.SetScrollSizes(MM_TEXT, CSize{1000, 800});
    view.ScrollToPosition(CPoint{5000, -3});
    EXPECT_EQ(view.GetScrollPosition(), (CPoint{760, 0}));
    // A smaller extent pulls the position back.
    view.SetScrollSizes(MM_TEXT, CSize{300, 300});
    EXPECT_EQ(view.GetScrollPosition(), (CPoint{60, 0}));
    // An extent smaller than the client area scrolls nowhere.
    view.SetScrollSizes(MM_TEXT, CSize{100, 100});
    view.ScrollToPosition(CPoint{50, 50});
    EXPECT_EQ(view.GetScrollPosition(), (CPoint{0, 0}));
}

TEST_F(ScrollViewTest, LineScrollingGoesThroughTheHookAndStopsAtTheEdges) {
    view.SetScrollSizes(MM_TEXT, CSize{1000, 800});
    view.OnVScroll(SB_LINEDOWN, 0);
    EXPECT_EQ(view.GetScrollPosition(), (CPoint{0, 8}));
    view.OnHScroll(SB_LINERIGHT, 0);
    EXPECT_EQ(view.GetScrollPosition(), (CPoint{10, 8}));
    EXPECT_EQ(view.scrollHooks, 2);
    // Only asking: it would move, but does not.
    EXPECT_TRUE(view.OnScroll(false, SB_LINEUP, 0, false));
    EXPECT_EQ(view.GetScrollPosition(), (CPoint{10, 8}));
    view.OnVScroll(SB_TOP, 0);
    EXPECT_FALSE(view.OnScroll(false, SB_LINEUP, 0));
    view.OnHScroll(SB_BOTTOM, 0);
    EXPECT_EQ(view.GetScrollPosition().x, 760);
    EXPECT_FALSE(view.OnScroll(true, SB_LINERIGHT, 0));
}
