// The desktop's menu bar: the same commands as the pocket menu, by the same
// ids and so the same handlers, in File, Edit, View, Run, Tools and Help with
// their Alt mnemonics; and the commands it brought (Open Recent, Select
// Board, Fill Random over the whole board, Grid).
#include <algorithm>
#include <set>

#include "document/life_session.h"
#include "shell/resource.h"

using namespace cellarium;

namespace {

class DesktopMenu : public LifeSession {
protected:
    const MenuTemplate& Menu(unsigned id) const { return *TheApp()->Resources()->FindMenu(id); }
    int Live() const {
        int live = 0;
        for (int y = 0; y < Board().height; ++y)
            for (int x = 0; x < Board().width; ++x) live += Board().At(x, y) != 0;
        return live;
    }
};

TEST_F(DesktopMenu, CarriesEveryPocketCommandUnderSixMenusWithMnemonics) {
    const MenuTemplate& desktop = Menu(IDR_DESKTOP_MENU);
    std::vector<std::string> tops;
    std::set<char> letters;
    for (const MenuItem& top : desktop.items) {
        tops.push_back(top.caption);
        const std::size_t amp = top.caption.find('&');
        ASSERT_NE(amp, std::string::npos) << top.caption;
        EXPECT_TRUE(letters.insert(char(std::tolower(top.caption[amp + 1]))).second) << top.caption;
    }
    EXPECT_EQ(tops,
              (std::vector<std::string>{"&File", "&Edit", "&View", "&Run", "&Tools", "&Help"}));
    const std::vector<unsigned> all = MenuCommands(desktop);
    for (unsigned id : MenuCommands(Menu(IDR_MAINFRAME)))
        EXPECT_NE(std::find(all.begin(), all.end(), id), all.end()) << id;
    for (unsigned id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_PASTE_NEW, ID_BOARD_SIZE})
        EXPECT_NE(std::find(all.begin(), all.end(), id), all.end()) << id;
}

TEST_F(DesktopMenu, EveryItemReachesAHandlerWithAPatternOpen) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    for (unsigned id : MenuCommands(Menu(IDR_DESKTOP_MENU)))
        EXPECT_TRUE(Frame()->OnCmdMsg(CmdMsg{id, CN_COMMAND, nullptr, true})) << id;
}

TEST_F(DesktopMenu, OpenRecentNamesTheFilesAndOpensThem) {
    const std::string a = Write("first.lif", kGliderFile), b = Write("second.lif", kBlockFile);
    ASSERT_NE(Open(a), nullptr);
    ASSERT_NE(Open(b), nullptr);
    EXPECT_EQ(Frame()->QueryCommandState(ID_FILE_RECENT_FIRST).m_strText, "&1 second.lif");
    EXPECT_EQ(Frame()->QueryCommandState(ID_FILE_RECENT_FIRST + 1).m_strText, "&2 first.lif");
    EXPECT_FALSE(Frame()->QueryCommandState(ID_FILE_RECENT_FIRST + 2).m_bEnabled);
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) { d.Click(IDOK); });
    platform.Command(ID_FILE_RECENT_FIRST + 1);
    EXPECT_EQ(Doc()->GetPathName(), a);
}

TEST_F(DesktopMenu, SelectBoardAndFillRandomCoverTheWholeInterior) {
    SetBoardSize(150, 150);
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    platform.Command(ID_EDIT_SELECT_BOARD);
    ASSERT_TRUE(View()->Editing().HasSelection());
    const Rect s = View()->Editing().Selection();
    EXPECT_EQ((std::vector<int>{s.left, s.top, s.right, s.bottom}),
              (std::vector<int>{1, 1, 148, 148}));
    platform.Command(ID_EDIT_CANCEL);
    ASSERT_FALSE(View()->Editing().HasSelection());
    // No selection: the interior is filled, as one undo step, the border not.
    const std::size_t steps = Doc()->History().StepCount();
    platform.ExpectDialog(IDD_FILL_RANDOM, [](DialogDriver& d) {
        d.Type(IDC_FILL_PERCENT, "50");
        d.Click(IDOK);
    });
    ASSERT_TRUE(Frame()->QueryCommandState(ID_EDIT_FILL_RANDOM).m_bEnabled);
    platform.Command(ID_EDIT_FILL_RANDOM);
    EXPECT_NEAR(Live(), 148 * 148 / 2, 148 * 148 / 20);
    for (int i = 0; i < 150; ++i)
        EXPECT_TRUE(Board().At(i, 0) == 0 && Board().At(0, i) == 0 && Board().At(i, 149) == 0 &&
                    Board().At(149, i) == 0);
    EXPECT_EQ(Doc()->History().StepCount(), steps + 1);
    platform.CtrlKey('Z');
    EXPECT_EQ(Live(), 5);
}

TEST_F(DesktopMenu, GridIsACheckedCommandKeptInTheSettings) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    EXPECT_EQ(Frame()->QueryCommandState(ID_VIEW_GRID).m_nCheck, 0);
    platform.Command(ID_VIEW_GRID);
    EXPECT_EQ(Frame()->QueryCommandState(ID_VIEW_GRID).m_nCheck, 1);
    EXPECT_EQ(TheApp()->GetProfileInt("View", "Grid", 0), 1);
}

}  // namespace
