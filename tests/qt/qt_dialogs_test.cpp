// The desktop back end's dialog role on Qt's offscreen platform: dialogs laid
// out from their templates, the user's input reaching the host, modal runs
// ending as the framework says, the status strip, message boxes and the file
// dialogs. The user is played by timers that act on the open window.
#include "platform/qt/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <utility>

#include "framework/dialog.h"
#include "framework/frame_wnd.h"
#include "framework/view.h"
#include "framework/win_app.h"
#include "platform/qt/file_filter.h"
#include "platform/qt/qt_platform.h"
#include "shell/resource.h"
#include "shell/resources.h"

using namespace cellarium;

namespace {

// The program's one QApplication: the test binary's own when its main made
// one, else made here on first use and kept to the end (destroyed among the
// static objects at exit, it would outlive parts of Qt it needs).
QApplication& App() {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *existing;
    static int argc = 1;
    static char name[] = "qt_dialogs_tests";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return *new QApplication(argc, argv);
}

// Ends a window that a test left open, so that a fault fails the test
// instead of hanging it.
void ForceClosed(QWidget* window) {
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->done(QDialog::Rejected);
    else if (window != nullptr)
        window->close();
}

// Runs act on the next modal window of type W once it is on screen (and the
// event loop runs it). Fails the test if none opens within a second, or if
// the window is still open three seconds after act.
template <class W>
void WhenOpen(std::function<void(W&)> act, int triesLeft = 100) {
    QTimer::singleShot(10, [act = std::move(act), triesLeft] {
        auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
        if (w != nullptr && w->isVisible()) {
            QPointer<W> watched(w);
            act(*w);
            QTimer::singleShot(3000, [watched] {
                if (watched && watched->isVisible()) {
                    ADD_FAILURE() << "window left open";
                    ForceClosed(watched);
                }
            });
        } else if (triesLeft > 0) {
            WhenOpen<W>(act, triesLeft - 1);
        } else {
            ADD_FAILURE() << "no modal window opened";
            ForceClosed(QApplication::activeModalWidget());
        }
    });
}

// A dialog of any template, recording the commands its controls send.
class AnyDialog : public CDialog {
public:
    explicit AnyDialog(unsigned id) : CDialog(id) {}
    bool OnCmdMsg(const CmdMsg& msg) override {
        if (!msg.probe && msg.code != CN_UPDATE_COMMAND_UI)
            commands.push_back({int(msg.id), msg.code});
        return CDialog::OnCmdMsg(msg);
    }
    std::vector<std::pair<int, int>> commands;
};

class QtDialogsTest : public ::testing::Test {
protected:
    QtDialogsTest() : app(platform, "Cellarium") {
        App();
        app.SetResources(&LifeResources());
    }
    QtDialogs& Role() { return platform.DialogRole(); }
    QWidget* Widget(const ControlHost& host, int id) { return Role().ControlWidget(host, id); }

    QtPlatform platform;
    CWinApp app;
};

// --- Layout ------------------------------------------------------------------

// Checks every control of an open host against its template: the widget kind,
// the text, the visibility, and a position that is the template's scaled by
// one factor across and one down, inside the host's area.
void ExpectLaidOutFromTemplate(QtDialogs& role, const ControlHost& host) {
    const DialogTemplate& tmpl = *host.Template();
    QWidget* top = role.HostWidget(host);
    ASSERT_NE(top, nullptr) << "template " << tmpl.id;
    const double sx = double(top->width()) / tmpl.cx;
    const double sy = double(top->height()) / tmpl.cy;

    // The scale is that of the dialog's font: about a quarter of a character
    // across and an eighth of a line down per unit.
    const QFontMetrics metrics(top->font());
    EXPECT_NEAR(sx, metrics.averageCharWidth() / 4.0, metrics.averageCharWidth() / 4.0 * 0.35)
        << "template " << tmpl.id;
    EXPECT_NEAR(sy, metrics.height() / 8.0, 0.2) << "template " << tmpl.id;

    int addressed = 0;
    for (const ControlState& state : host.Controls()) {
        const ControlTemplate& t = *state.tmpl;
        if (t.id == IDC_STATIC) continue;
        ++addressed;
        QWidget* w = role.ControlWidget(host, t.id);
        ASSERT_NE(w, nullptr) << "control " << t.id;
        EXPECT_EQ(w->parentWidget(), top);
        const QString text = QString::fromStdString(state.text);
        switch (t.kind) {
            case ControlKind::Static: {
                auto* label = qobject_cast<QLabel*>(w);
                ASSERT_NE(label, nullptr) << "control " << t.id;
                EXPECT_EQ(label->text(), text);
                break;
            }
            case ControlKind::Edit:
                if ((t.style & ES_MULTILINE) != 0) {
                    auto* edit = qobject_cast<QPlainTextEdit*>(w);
                    ASSERT_NE(edit, nullptr) << "control " << t.id;
                    EXPECT_EQ(edit->isReadOnly(), state.readOnly);
                } else {
                    auto* edit = qobject_cast<QLineEdit*>(w);
                    ASSERT_NE(edit, nullptr) << "control " << t.id;
                    EXPECT_EQ(edit->isReadOnly(), state.readOnly);
                    EXPECT_EQ(edit->text(), text);
                }
                break;
            case ControlKind::PushButton:
            case ControlKind::DefPushButton: {
                auto* button = qobject_cast<QPushButton*>(w);
                ASSERT_NE(button, nullptr) << "control " << t.id;
                EXPECT_EQ(button->text(), text);
                if (t.kind == ControlKind::DefPushButton) {
                    EXPECT_TRUE(button->isDefault());
                }
                break;
            }
            case ControlKind::CheckBox: {
                auto* box = qobject_cast<QCheckBox*>(w);
                ASSERT_NE(box, nullptr) << "control " << t.id;
                EXPECT_EQ(box->text(), text);
                EXPECT_EQ(box->isChecked(), state.check != 0);
                break;
            }
            case ControlKind::GroupBox:
                EXPECT_NE(qobject_cast<QGroupBox*>(w), nullptr) << "control " << t.id;
                break;
            case ControlKind::ComboBox:
                EXPECT_NE(qobject_cast<QComboBox*>(w), nullptr) << "control " << t.id;
                break;
            case ControlKind::ListBox:
                EXPECT_NE(qobject_cast<QListWidget*>(w), nullptr) << "control " << t.id;
                break;
            case ControlKind::Icon:
                ASSERT_NE(qobject_cast<QLabel*>(w), nullptr) << "control " << t.id;
                EXPECT_FALSE(qobject_cast<QLabel*>(w)->pixmap().isNull());
                break;
        }
        EXPECT_EQ(w->isVisibleTo(top), state.visible) << "control " << t.id;
        EXPECT_EQ(w->isEnabled(), state.enabled) << "control " << t.id;

        const QRect g = w->geometry();
        EXPECT_NEAR(g.x(), t.x * sx, 1.5) << "control " << t.id;
        EXPECT_NEAR(g.y(), t.y * sy, 1.5) << "control " << t.id;
        if (t.kind != ControlKind::Icon) {
            EXPECT_NEAR(g.width(), t.cx * sx, 2.0) << "control " << t.id;
            if (t.kind == ControlKind::ComboBox)
                EXPECT_LE(g.height(), t.cy * sy + 1.0) << "control " << t.id;
            else
                EXPECT_NEAR(g.height(), t.cy * sy, 2.0) << "control " << t.id;
        }
        EXPECT_LE(g.right(), top->width()) << "control " << t.id;
        EXPECT_LE(g.bottom(), top->height()) << "control " << t.id;
    }
    EXPECT_GT(addressed, 0);
}

TEST_F(QtDialogsTest, EveryDialogTemplateIsLaidOutFromItsControls) {
    int dialogs = 0;
    for (const DialogTemplate& tmpl : LifeResources().dialogs) {
        if (tmpl.caption.empty()) continue;  // a bar, tested below
        ++dialogs;
        AnyDialog dlg(tmpl.id);
        bool seen = false;
        WhenOpen<QDialog>([&](QDialog& window) {
            seen = true;
            EXPECT_EQ(Role().HostWidget(dlg), &window);
            EXPECT_EQ(window.windowTitle().toStdString(), tmpl.caption);
            ExpectLaidOutFromTemplate(Role(), dlg);
            QTest::keyClick(&window, Qt::Key_Escape);
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL) << "template " << tmpl.id;
        EXPECT_TRUE(seen) << "template " << tmpl.id;
        EXPECT_EQ(Role().HostWidget(dlg), nullptr);
    }
    EXPECT_GE(dialogs, 2);
}

TEST_F(QtDialogsTest, ControlsKeepTheirTemplateOrderOnScreen) {
    // Save Statistics: the file name field left of the browse button, both
    // under the free-space line; the check boxes in two rows of two inside
    // the group; OK left of Cancel at the bottom.
    AnyDialog dlg(IDD_SAVE_STATS);
    WhenOpen<QDialog>([&](QDialog& window) {
        auto at = [&](int id) { return Widget(dlg, id)->geometry(); };
        EXPECT_LT(at(IDC_STATS_FILENAME).right(), at(IDC_STATS_BROWSE).left());
        EXPECT_LT(at(IDC_STATS_SPACE).bottom(), at(IDC_STATS_FILENAME).top());
        EXPECT_EQ(at(IDC_STATS_GENERATION).top(), at(IDC_STATS_BIRTHS).top());
        EXPECT_LT(at(IDC_STATS_GENERATION).bottom(), at(IDC_STATS_TOTAL).top());
        EXPECT_EQ(at(IDC_STATS_TOTAL).left(), at(IDC_STATS_GENERATION).left());
        QGroupBox* group = window.findChild<QGroupBox*>();
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->title(), "Data to Record");
        for (int id : {IDC_STATS_GENERATION, IDC_STATS_BIRTHS, IDC_STATS_TOTAL, IDC_STATS_DEATHS})
            EXPECT_TRUE(group->geometry().contains(at(id))) << id;
        EXPECT_LT(at(IDOK).right(), at(IDCANCEL).left());
        EXPECT_LT(group->geometry().bottom(), at(IDOK).top());
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

// --- Input -----------------------------------------------------------------

class StatsDlg : public CDialog {
public:
    StatsDlg() : CDialog(IDD_SAVE_STATS) {}
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_STATS_FILENAME, fileName);
        DDX_Check(pDX, IDC_STATS_GENERATION, generation);
        DDX_Check(pDX, IDC_STATS_BIRTHS, births);
    }
    std::string fileName = "glider.lif.csv.txt";
    bool generation = true;
    bool births = false;
};

TEST_F(QtDialogsTest, TypingAndClickingReachTheHostAndOkEndsTheRun) {
    StatsDlg dlg;
    WhenOpen<QDialog>([&](QDialog&) {
        auto* name = qobject_cast<QLineEdit*>(Widget(dlg, IDC_STATS_FILENAME));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), "glider.lif.csv.txt");
        name->selectAll();
        QTest::keyClicks(name, "run.txt");
        // Every change is in the host at once, before any OK.
        EXPECT_EQ(dlg.GetDlgItemText(IDC_STATS_FILENAME), "run.txt");

        auto* generation = qobject_cast<QCheckBox*>(Widget(dlg, IDC_STATS_GENERATION));
        auto* births = qobject_cast<QCheckBox*>(Widget(dlg, IDC_STATS_BIRTHS));
        ASSERT_NE(generation, nullptr);
        ASSERT_NE(births, nullptr);
        EXPECT_TRUE(generation->isChecked());
        QTest::mouseClick(births, Qt::LeftButton);
        EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_STATS_BIRTHS), 1);
        EXPECT_TRUE(births->isChecked());
        QTest::mouseClick(generation, Qt::LeftButton);
        EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_STATS_GENERATION), 0);
        EXPECT_FALSE(generation->isChecked());
        births->click();
        EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_STATS_BIRTHS), 0);
        EXPECT_FALSE(births->isChecked());
        births->click();

        QTest::mouseClick(qobject_cast<QPushButton*>(Widget(dlg, IDOK)), Qt::LeftButton);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.fileName, "run.txt");
    EXPECT_FALSE(dlg.generation);
    EXPECT_TRUE(dlg.births);
}

TEST_F(QtDialogsTest, EnterPressesTheDefaultButtonAndEscapeCancels) {
    StatsDlg dlg;
    WhenOpen<QDialog>([&](QDialog&) {
        auto* name = Widget(dlg, IDC_STATS_FILENAME);
        name->setFocus();
        QTest::keyClicks(name, "x");
        QTest::keyClick(name, Qt::Key_Return);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.fileName, "glider.lif.csv.txtx");

    dlg.fileName = "kept";
    WhenOpen<QDialog>([&](QDialog& window) {
        QTest::keyClicks(Widget(dlg, IDC_STATS_FILENAME), "lost");
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.fileName, "kept");

    // File Information has no default button in its template: OK is.
    AnyDialog info(IDD_FILE_INFO);
    WhenOpen<QDialog>([&](QDialog& window) {
        auto* ok = qobject_cast<QPushButton*>(Widget(info, IDOK));
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->isDefault());
        window.setFocus();
        QTest::keyClick(&window, Qt::Key_Enter);
    });
    EXPECT_EQ(info.DoModal(), IDOK);

    // After another button was clicked (Help in About, Default in Board
    // Size), Enter still presses OK.
    for (auto [tmpl, other] :
         {std::pair{IDD_ABOUTBOX, IDC_ABOUT_HELP}, std::pair{IDD_BOARD_SIZE, IDC_BOARD_DEFAULT}}) {
        AnyDialog dialog(tmpl);
        WhenOpen<QDialog>([&, other = other](QDialog&) {
            QWidget* button = Widget(dialog, other);
            ASSERT_NE(button, nullptr);
            QTest::mouseClick(button, Qt::LeftButton);
            ASSERT_EQ(QApplication::focusWidget(), button);
            QTest::keyClick(button, Qt::Key_Return);
        });
        EXPECT_EQ(dialog.DoModal(), IDOK) << tmpl;
    }
}

TEST_F(QtDialogsTest, TheCloseBoxIsCancelAndReachesTheDialogsHandler) {
    AnyDialog dlg(IDD_FILE_INFO);
    WhenOpen<QDialog>([&](QDialog& window) { window.close(); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    ASSERT_FALSE(dlg.commands.empty());
    EXPECT_EQ(dlg.commands.back(), std::make_pair(IDCANCEL, BN_CLICKED));
}

// A dialog whose OK is refused until the description reads "done": the
// refusal is a message box on top of the dialog.
class PickyDlg : public CDialog {
public:
    PickyDlg() : CDialog(IDD_FILE_INFO) {}
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        SetDlgItemText(IDC_FI_FILENAME, "New File");
        return true;
    }
    void OnOK() override {
        if (GetDlgItemText(IDC_FI_DESCRIPTION) != "done") {
            answers.push_back(MessageBox("Not yet", "Picky", MB_OKCANCEL));
            GotoDlgCtrl(IDC_FI_DESCRIPTION);
            return;
        }
        CDialog::OnOK();
    }
    std::vector<int> answers;
};

TEST_F(QtDialogsTest, AMessageBoxFromOkKeepsTheDialogOpenUntilOkIsAccepted) {
    PickyDlg dlg;
    WhenOpen<QDialog>([&](QDialog& window) {
        EXPECT_EQ(qobject_cast<QLineEdit*>(Widget(dlg, IDC_FI_FILENAME))->text(), "New File");
        WhenOpen<QMessageBox>([&](QMessageBox& box) {
            EXPECT_EQ(box.text(), "Not yet");
            EXPECT_EQ(box.windowTitle(), "Picky");
            EXPECT_EQ(box.parentWidget(), &window);
            box.button(QMessageBox::Cancel)->click();
        });
        Widget(dlg, IDOK)->setFocus();
        QTest::keyClick(Widget(dlg, IDOK), Qt::Key_Space);
        // Back from the nested box: still open, the description has the focus.
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(dlg.IsModalOpen());
        auto* description = qobject_cast<QPlainTextEdit*>(Widget(dlg, IDC_FI_DESCRIPTION));
        ASSERT_NE(description, nullptr);
        EXPECT_EQ(window.focusWidget(), description);
        QTest::keyClicks(description, "done");
        qobject_cast<QPushButton*>(Widget(dlg, IDOK))->click();
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.answers, std::vector<int>{IDCANCEL});
    EXPECT_EQ(dlg.GetDlgItemText(IDC_FI_DESCRIPTION), "done");
}

TEST_F(QtDialogsTest, ADialogEndedOutsideItsControlsClosesToo) {
    AnyDialog dlg(IDD_FILE_INFO);
    WhenOpen<QDialog>([&](QDialog&) { dlg.EndDialog(42); });
    EXPECT_EQ(dlg.DoModal(), 42);
}

TEST_F(QtDialogsTest, MultiLineTextKeepsItsLineBreaksAndItsBytes) {
    // A description read from an old file: CR LF line breaks, Latin-1 bytes.
    class DescDlg : public CDialog {
    public:
        DescDlg() : CDialog(IDD_FILE_INFO) {}
        void DoDataExchange(CDataExchange* pDX) override {
            DDX_Text(pDX, IDC_FI_DESCRIPTION, text);
        }
        std::string text = "Caf\xe9 glider\r\nsecond line";
    };
    DescDlg dlg;
    WhenOpen<QDialog>([&](QDialog&) {
        auto* edit = qobject_cast<QPlainTextEdit*>(Widget(dlg, IDC_FI_DESCRIPTION));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->toPlainText(), QString::fromUtf8("Caf\u00e9 glider\nsecond line"));
        edit->moveCursor(QTextCursor::End);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, "third");
        qobject_cast<QPushButton*>(Widget(dlg, IDOK))->click();
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.text, "Caf\xe9 glider\r\nsecond line\r\nthird");
}

// --- The host changing its controls -------------------------------------------

constexpr unsigned kTestDialog = 900;
constexpr int kList = 10, kLabel = 11, kName = 12, kFlag = 13, kCount = 14;

ResourceTable TestTable() {
    ResourceTable t;
    DialogTemplate d;
    d.id = kTestDialog;
    d.caption = "Choices";
    d.cx = 160;
    d.cy = 100;
    d.style = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    d.controls = {
        ControlTemplate{kList, ControlKind::ComboBox, "", 5, 5, 100, 60,
                        WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | CBS_SORT},
        ControlTemplate{kLabel, ControlKind::Static, "Nothing chosen", 5, 25, 150, 8, WS_VISIBLE},
        ControlTemplate{kName, ControlKind::Edit, "", 5, 40, 100, 12, WS_VISIBLE | WS_BORDER},
        ControlTemplate{kFlag, ControlKind::CheckBox, "Flag", 5, 55, 60, 10, WS_VISIBLE},
        ControlTemplate{kCount, ControlKind::Edit, "", 70, 55, 40, 12,
                        WS_VISIBLE | WS_BORDER | ES_NUMBER},
        ControlTemplate{IDC_STATIC, ControlKind::Icon, "", 120, 5, 20, 20, WS_VISIBLE},
        ControlTemplate{IDOK, ControlKind::DefPushButton, "OK", 5, 80, 50, 14, WS_VISIBLE},
    };
    t.dialogs.push_back(d);
    return t;
}

// Shows in the label the item the user chose in the list.
class ChoiceDlg : public CDialog {
public:
    ChoiceDlg() : CDialog(kTestDialog) {}
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        CDataExchange dx(this, false);
        DDX_Control(&dx, kList, list);
        for (const char* name : {"Seeds", "Amoeba", "Highlife"}) list.AddString(name);
        list.SelectString(-1, "Highlife");
        // Asked before the dialog is on screen.
        GotoDlgCtrl(kName);
        return true;
    }
    bool OnCmdMsg(const CmdMsg& msg) override {
        if (!msg.probe && msg.id == unsigned(kList) && msg.code == CBN_SELCHANGE) {
            SetDlgItemText(kLabel, "Chose " + list.GetLBText(list.GetCurSel()));
            return true;
        }
        return CDialog::OnCmdMsg(msg);
    }
    CComboBox list;
};

class HostChangesTest : public QtDialogsTest {
protected:
    HostChangesTest() { app.SetResources(&table); }
    ResourceTable table = TestTable();
};

TEST_F(HostChangesTest, ChangesFromTheHostShowAtOnceAndChoicesGoBack) {
    ChoiceDlg dlg;
    WhenOpen<QDialog>([&](QDialog& window) {
        ExpectLaidOutFromTemplate(Role(), dlg);
        auto* combo = qobject_cast<QComboBox*>(Widget(dlg, kList));
        auto* label = qobject_cast<QLabel*>(Widget(dlg, kLabel));
        auto* flag = qobject_cast<QCheckBox*>(Widget(dlg, kFlag));
        auto* name = qobject_cast<QLineEdit*>(Widget(dlg, kName));
        ASSERT_TRUE(combo && label && flag && name);
        EXPECT_EQ(window.focusWidget(), name);
        ASSERT_EQ(combo->count(), 3);
        EXPECT_EQ(combo->itemText(0), "Amoeba");
        EXPECT_EQ(combo->itemText(2), "Seeds");
        EXPECT_EQ(combo->currentText(), "Highlife");

        // The host changes its controls.
        dlg.list.AddString("Coral");
        EXPECT_EQ(combo->itemText(1), "Coral");
        EXPECT_EQ(combo->currentText(), "Highlife");
        dlg.SetDlgItemText(kLabel, "Ready");
        EXPECT_EQ(label->text(), "Ready");
        dlg.CheckDlgButton(kFlag, 1);
        EXPECT_TRUE(flag->isChecked());
        dlg.SetDlgItemText(kName, "typed by the host");
        EXPECT_EQ(name->text(), "typed by the host");
        dlg.SetControlReadOnly(kName, true);
        EXPECT_TRUE(name->isReadOnly());
        dlg.EnableControl(kFlag, false);
        EXPECT_FALSE(flag->isEnabled());
        dlg.ShowControl(kLabel, false);
        EXPECT_FALSE(label->isVisibleTo(&window));
        dlg.ShowControl(kLabel, true);
        EXPECT_TRUE(label->isVisibleTo(&window));

        // The user chooses an item: the host's selection and its handler.
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Up);
        EXPECT_EQ(dlg.list.GetCurSel(), 1);
        EXPECT_EQ(label->text(), "Chose Coral");

        // A read-only field takes no typing, a number field only digits.
        QTest::keyClicks(name, "more");
        EXPECT_EQ(dlg.GetDlgItemText(kName), "typed by the host");
        QTest::keyClicks(Widget(dlg, kCount), "1a2-3");
        EXPECT_EQ(dlg.GetDlgItemText(kCount), "123");
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    // No Cancel button: Escape still cancels.
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

// --- The status strip ----------------------------------------------------------

class StripFrame : public CFrameWnd {
public:
    bool OnFrameCmdMsg(const CmdMsg& msg) override {
        if (!msg.probe && msg.code == CN_COMMAND && msg.id == unsigned(IDC_ERASE)) {
            ++eraseClicks;
            return true;
        }
        return CFrameWnd::OnFrameCmdMsg(msg);
    }
    int eraseClicks = 0;
};

TEST_F(QtDialogsTest, TheStatusStripFollowsItsBar) {
    StripFrame frame;
    ASSERT_TRUE(frame.LoadFrame(IDR_MAINFRAME));
    CDialogBar bar;
    ASSERT_TRUE(bar.Create(&frame, IDD_STATUS_STRIP, CBRS_TOP, kDialogBarId));
    QWidget* strip = Role().HostWidget(bar);
    ASSERT_NE(strip, nullptr);
    ExpectLaidOutFromTemplate(Role(), bar);

    // Placed in a window (the main window does that), it shows and hides
    // with the bar.
    QWidget window;
    if (strip->parentWidget() == nullptr) strip->setParent(&window);
    QWidget* holder = strip->parentWidget();
    holder->window()->show();
    bar.ShowBar(false);
    EXPECT_FALSE(strip->isVisibleTo(holder));
    bar.ShowBar(true);
    EXPECT_TRUE(strip->isVisibleTo(holder));

    auto* status = qobject_cast<QLabel*>(Widget(bar, IDC_STATUS_TEXT));
    auto* erase = qobject_cast<QCheckBox*>(Widget(bar, IDC_ERASE));
    auto* editMode = qobject_cast<QLabel*>(Widget(bar, IDC_EDIT_MODE_LABEL));
    ASSERT_TRUE(status && erase && editMode);
    EXPECT_EQ(status->text(), "Generations: 0");
    EXPECT_FALSE(erase->isVisibleTo(strip));
    EXPECT_FALSE(editMode->isVisibleTo(strip));

    bar.SetDlgItemText(IDC_STATUS_TEXT, "Generations: 12");
    EXPECT_EQ(status->text(), "Generations: 12");
    bar.ShowControl(IDC_STATUS_TEXT, false);
    bar.ShowControl(IDC_ERASE, true);
    bar.ShowControl(IDC_EDIT_MODE_LABEL, true);
    EXPECT_FALSE(status->isVisibleTo(strip));
    EXPECT_TRUE(erase->isVisibleTo(strip));
    EXPECT_TRUE(editMode->isVisibleTo(strip));

    // On the box itself: the text does not reach the middle of the control.
    const QPoint box(4, erase->height() / 2);
    QTest::mouseClick(erase, Qt::LeftButton, {}, box);
    EXPECT_EQ(frame.eraseClicks, 1);
    EXPECT_EQ(bar.IsDlgButtonChecked(IDC_ERASE), 1);
    EXPECT_TRUE(erase->isChecked());
    QTest::mouseClick(erase, Qt::LeftButton, {}, box);
    EXPECT_EQ(frame.eraseClicks, 2);
    EXPECT_EQ(bar.IsDlgButtonChecked(IDC_ERASE), 0);
    EXPECT_FALSE(erase->isChecked());

    QPointer<QWidget> gone = strip;
    bar.DestroyWindow();
    EXPECT_EQ(Role().HostWidget(bar), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}

// --- Message boxes -----------------------------------------------------------------

TEST_F(QtDialogsTest, MessageBoxesShowTheirTextAndAnswerWithTheButton) {
    struct Case {
        unsigned type;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton press;  // NoButton: Escape
        int answer;
    };
    const std::vector<Case> cases = {
        {MB_OK, QMessageBox::Ok, QMessageBox::Ok, IDOK},
        {MB_OK | MB_ICONEXCLAMATION, QMessageBox::Ok, QMessageBox::NoButton, IDOK},
        {MB_OKCANCEL, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, IDOK},
        {MB_OKCANCEL, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton, IDCANCEL},
        {MB_YESNO, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, IDNO},
        {MB_YESNO, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, IDYES},
        {MB_YESNOCANCEL, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
         QMessageBox::Cancel, IDCANCEL},
        {MB_YESNOCANCEL, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
         QMessageBox::NoButton, IDCANCEL},
    };
    const std::string text =
        "The clipboard does not contain data in a format that can be read by Cellarium.  This "
        "program can read text data in the <same> format as one of the standard life files.";
    for (const Case& c : cases) {
        WhenOpen<QMessageBox>([&](QMessageBox& box) {
            EXPECT_EQ(box.text().toStdString(), text);
            EXPECT_EQ(box.windowTitle(), "Cellarium");
            EXPECT_EQ(box.standardButtons(), c.buttons) << c.type;
            EXPECT_EQ(box.icon(), (c.type & MB_ICONEXCLAMATION) != 0 ? QMessageBox::Warning
                                                                     : QMessageBox::NoIcon);
            if (c.press == QMessageBox::NoButton)
                QTest::keyClick(&box, Qt::Key_Escape);
            else
                box.button(c.press)->click();
        });
        EXPECT_EQ(ShowMessage(text, c.type), c.answer) << c.type;
    }
}

// --- File dialogs ------------------------------------------------------------------

TEST(FileFilterTest, FilterPairsBecomeNameFilters) {
    EXPECT_EQ(NameFiltersFromFilter("Life Files|*.lif|XLife Files|*.l||"),
              (QStringList{"Life Files (*.lif)", "XLife Files (*.l)"}));
    EXPECT_EQ(NameFiltersFromFilter(""), QStringList());
    // A name that shows its patterns already keeps them once.
    EXPECT_EQ(NameFiltersFromFilter("Life files (*.lif)|*.lif||"),
              QStringList{"Life files (*.lif)"});
    // Several patterns; no closing bars; a pair with no pattern.
    EXPECT_EQ(NameFiltersFromFilter("Patterns|*.lif;*.l|Nothing||"),
              (QStringList{"Patterns (*.lif *.l)"}));
    EXPECT_EQ(NameFiltersFromFilter("Images|*.gif|Empty| |All|*.*"),
              (QStringList{"Images (*.gif)", "All (*.*)"}));
    // The list ends at the first empty name.
    EXPECT_EQ(NameFiltersFromFilter("A|*.a||B|*.b||"), (QStringList{"A (*.a)"}));
}

class FileDialogTest : public QtDialogsTest {
protected:
    QString Path(const char* name) const { return QDir(dir.path()).filePath(name); }
    std::string StdPath(const char* name) const { return Path(name).toStdString(); }
    void Touch(const char* name) {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // Types a name into the open file dialog and accepts it.
    static void TypeAndAccept(QFileDialog& dialog, const QString& name) {
        auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(field, nullptr);
        field->clear();
        QTest::keyClicks(field, name);
        QMetaObject::invokeMethod(&dialog, "accept", Qt::DirectConnection);
    }
    QTemporaryDir dir;
};

TEST_F(FileDialogTest, SaveAppendsTheDefaultExtensionAndStartsAtTheGivenName) {
    FileDialogRequest request;
    request.open = false;
    request.defaultExt = "txt";
    request.fileName = StdPath("glider.lif.csv.txt");
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    request.filter = "Life Files|*.lif|XLife Files|*.l||";
    WhenOpen<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog.nameFilters(), (QStringList{"Life Files (*.lif)", "XLife Files (*.l)"}));
        EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
        auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->text(), "glider.lif.csv.txt");
        TypeAndAccept(dialog, "run");
    });
    const auto chosen = Role().RunFileDialog(request);
    EXPECT_EQ(chosen, StdPath("run.txt"));

    // A name with an extension keeps it; cancelling gives nothing.
    WhenOpen<QFileDialog>([&](QFileDialog& dialog) { TypeAndAccept(dialog, "run.csv"); });
    EXPECT_EQ(Role().RunFileDialog(request), StdPath("run.csv"));
    WhenOpen<QFileDialog>([&](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(Role().RunFileDialog(request), std::nullopt);
}

TEST_F(FileDialogTest, OverwritingAsksOnlyWhenTheRequestSaysSo) {
    Touch("old.txt");
    FileDialogRequest request;
    request.open = false;
    request.defaultExt = "txt";
    request.fileName = StdPath("x.txt");
    request.flags = OFN_OVERWRITEPROMPT;
    bool asked = false;
    WhenOpen<QFileDialog>([&](QFileDialog& dialog) {
        WhenOpen<QMessageBox>([&](QMessageBox& box) {
            asked = true;
            box.button(QMessageBox::No)->click();
        });
        TypeAndAccept(dialog, "old.txt");
        // Refused: the dialog is still there.
        EXPECT_TRUE(dialog.isVisible());
        dialog.reject();
    });
    EXPECT_EQ(Role().RunFileDialog(request), std::nullopt);
    EXPECT_TRUE(asked);

    request.flags = 0;
    WhenOpen<QFileDialog>([&](QFileDialog& dialog) { TypeAndAccept(dialog, "old.txt"); });
    EXPECT_EQ(Role().RunFileDialog(request), StdPath("old.txt"));
}

TEST_F(FileDialogTest, OpenWithFileMustExistRefusesAMissingFile) {
    Touch("glider.lif");
    FileDialogRequest request;
    request.open = true;
    request.fileName = StdPath("glider.lif");
    request.flags = OFN_FILEMUSTEXIST;
    request.filter = "Life Files|*.lif||";
    WhenOpen<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
        WhenOpen<QMessageBox>([&](QMessageBox& box) { box.close(); });
        dialog.selectFile(Path("missing.lif"));
        QMetaObject::invokeMethod(&dialog, "accept", Qt::DirectConnection);
        EXPECT_TRUE(dialog.isVisible());
        dialog.selectFile(Path("glider.lif"));
        QMetaObject::invokeMethod(&dialog, "accept", Qt::DirectConnection);
    });
    EXPECT_EQ(Role().RunFileDialog(request), StdPath("glider.lif"));
}

}  // namespace
