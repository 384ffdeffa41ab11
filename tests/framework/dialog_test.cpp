#include "framework/dialog.h"

#include <gtest/gtest.h>

#include "framework/win_app.h"
#include "platform/headless/headless_platform.h"

using namespace cellarium;

namespace {

constexpr unsigned kSizeDialog = 500;
constexpr int kWidth = 10, kHeight = 11, kFlag = 12, kList = 13, kLabel = 14;

ResourceTable MakeTable() {
    ResourceTable t;
    DialogTemplate d;
    d.id = kSizeDialog;
    d.caption = "Size";
    d.controls = {
        ControlTemplate{kWidth, ControlKind::Edit, "", 0, 0, 10, 10, WS_VISIBLE},
        ControlTemplate{kHeight, ControlKind::Edit, "", 0, 0, 10, 10, WS_VISIBLE},
        ControlTemplate{kFlag, ControlKind::CheckBox, "Flag", 0, 0, 10, 10, WS_VISIBLE},
        ControlTemplate{kList, ControlKind::ComboBox, "", 0, 0, 10, 10,
                        WS_VISIBLE | CBS_DROPDOWNLIST | CBS_SORT},
        ControlTemplate{kLabel, ControlKind::Static, "Label", 0, 0, 10, 10, 0},
        ControlTemplate{IDOK, ControlKind::DefPushButton, "OK", 0, 0, 10, 10, WS_VISIBLE},
        ControlTemplate{IDCANCEL, ControlKind::PushButton, "Cancel", 0, 0, 10, 10, WS_VISIBLE},
    };
    t.dialogs.push_back(d);
    return t;
}

class SizeDlg : public CDialog {
public:
    SizeDlg() : CDialog(kSizeDialog) {}
    void DoDataExchange(CDataExchange* pDX) override {
        // Height is validated before width.
        DDX_Text(pDX, kHeight, height);
        DDV_MinMaxInt(pDX, height, 150, 10000);
        DDX_Text(pDX, kWidth, width);
        DDV_MinMaxInt(pDX, width, 150, 10000);
        DDX_Check(pDX, kFlag, flag);
        DDX_Control(pDX, kList, list);
    }
    int width = 800;
    int height = 800;
    bool flag = false;
    CComboBox list;
};

class DialogTest : public ::testing::Test {
protected:
    DialogTest() : app(platform, "Test") { app.SetResources(&table); }
    ResourceTable table = MakeTable();
    HeadlessPlatform platform;
    CWinApp app;
};

}  // namespace

TEST_F(DialogTest, RangeValidationKeepsTheDialogOpenUntilEveryValuePasses) {
    SizeDlg dlg;
    platform.ExpectDialog(kSizeDialog, [&](DialogDriver& d) {
        EXPECT_EQ(d.Text(kWidth), "800");
        EXPECT_EQ(d.Text(kHeight), "800");
        d.Type(kWidth, "149");
        d.Click(IDOK);
        EXPECT_TRUE(d.IsOpen());
        EXPECT_EQ(platform.LastFocus(), std::make_pair(kSizeDialog, kWidth));

        d.Type(kWidth, "10000");
        d.Type(kHeight, "12x");
        d.Click(IDOK);
        EXPECT_TRUE(d.IsOpen());
        EXPECT_EQ(platform.LastFocus(), std::make_pair(kSizeDialog, kHeight));

        d.Type(kHeight, "10001");
        d.Click(IDOK);
        EXPECT_TRUE(d.IsOpen());

        d.Type(kHeight, " 150 ");
        d.Click(IDOK);
        EXPECT_FALSE(d.IsOpen());
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.width, 10000);
    EXPECT_EQ(dlg.height, 150);
    EXPECT_EQ(platform.MessageTexts(),
              (std::vector<std::string>{"Please enter an integer between 150 and 10000.",
                                        "Please enter an integer.",
                                        "Please enter an integer between 150 and 10000."}));
    EXPECT_TRUE(platform.ScriptErrors().empty());
}

TEST_F(DialogTest, IntegerTextAcceptsOnlyWholeNumbersInRange) {
    for (const char* bad : {"", " ", "4 2", "1e3", "99999999999", "--5", "0x10"}) {
        SizeDlg dlg;
        platform.ExpectDialog(kSizeDialog, [&](DialogDriver& d) {
            d.Type(kWidth, bad);
            d.Click(IDOK);
            EXPECT_TRUE(d.IsOpen()) << "'" << bad << "'";
            d.Click(IDCANCEL);
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(dlg.width, 800) << "'" << bad << "'";
    }
    SizeDlg dlg;
    platform.ExpectDialog(kSizeDialog, [&](DialogDriver& d) {
        d.Type(kWidth, "+0000150");
        d.Click(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.width, 150);
}

TEST_F(DialogTest, CancelLeavesMembersAndCheckBoxesRoundTrip) {
    SizeDlg dlg;
    dlg.flag = true;
    platform.ExpectDialog(kSizeDialog, [&](DialogDriver& d) {
        EXPECT_TRUE(d.Checked(kFlag));
        d.Click(kFlag);
        EXPECT_FALSE(d.Checked(kFlag));
        d.Type(kWidth, "300");
        d.Click(IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(dlg.flag);
    EXPECT_EQ(dlg.width, 800);

    platform.ExpectDialog(kSizeDialog, [&](DialogDriver& d) {
        d.SetCheck(kFlag, false);
        d.Click(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(dlg.flag);
}

TEST_F(DialogTest, ControlsStartFromTheTemplateAndHiddenControlsIgnoreClicks) {
    SizeDlg dlg;
    platform.ExpectDialog(kSizeDialog, [&](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "Size");
        EXPECT_EQ(d.Text(kLabel), "Label");
        EXPECT_FALSE(d.Visible(kLabel));
        EXPECT_TRUE(d.Visible(kWidth));
        d.Dialog().ShowControl(kFlag, false);
        d.Click(kFlag);
        EXPECT_FALSE(d.Checked(kFlag));
        d.Click(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(DialogTest, SortedComboBoxInsertsInOrderAndSelectsByPrefix) {
    SizeDlg dlg;
    platform.ExpectDialog(kSizeDialog, [&](DialogDriver& d) {
        CComboBox& list = dlg.list;
        EXPECT_EQ(list.AddString("Seeds"), 0);
        EXPECT_EQ(list.AddString("amoeba"), 0);
        EXPECT_EQ(list.AddString("2x2 Life"), 0);
        EXPECT_EQ(list.AddString("Unnamed"), 3);
        list.SetItemData(1, 42);
        EXPECT_EQ(d.Items(kList),
                  (std::vector<std::string>{"2x2 Life", "amoeba", "Seeds", "Unnamed"}));
        EXPECT_EQ(list.SelectString(-1, "AMO"), 1);
        EXPECT_EQ(list.GetItemData(list.GetCurSel()), 42u);
        EXPECT_EQ(list.SelectString(-1, "Nothing"), CB_ERR);
        EXPECT_EQ(list.GetCurSel(), 1);
        EXPECT_TRUE(d.Select(kList, "Unnamed"));
        EXPECT_EQ(list.GetCurSel(), 3);
        d.Click(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(DialogTest, MissingTemplateFailsWithoutShowingAnything) {
    CDialog dlg(999);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_TRUE(platform.DialogsShown().empty());
}
