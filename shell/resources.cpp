#include "shell/resources.h"

#include "document/run_loop.h"
#include "framework/types.h"
#include "shell/resource.h"

namespace cellarium {
namespace {

constexpr uint32_t kDialogStyle = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr uint32_t kVisible = WS_VISIBLE;
constexpr uint32_t kTab = WS_VISIBLE | WS_TABSTOP;

ControlTemplate Ctl(int id, ControlKind kind, const char* text, int x, int y, int cx, int cy,
                    uint32_t style = kVisible) {
    return ControlTemplate{id, kind, text, x, y, cx, cy, style};
}

DialogTemplate StatusStrip() {
    DialogTemplate d;
    d.id = IDD_STATUS_STRIP;
    d.cx = 196;
    d.cy = 20;
    d.controls = {
        Ctl(IDC_STATUS_TEXT, ControlKind::Static, "Generations: 0", 0, 1, 192, 8),
        Ctl(IDC_ERASE, ControlKind::CheckBox, "Erase", 47, 1, 73, 10, WS_TABSTOP),
        Ctl(IDC_EDIT_MODE_LABEL, ControlKind::Static, "Edit Mode", 6, 1, 43, 8, 0),
        // A second line, below the status line and the stylus controls:
        // the speed, and the rule against the right edge.
        Ctl(IDC_SPEED_TEXT, ControlKind::Static, "", 0, 11, 116, 8),
        Ctl(IDC_STATUS_RULE, ControlKind::Static, "", 118, 11, 76, 8,
            kVisible | SS_RIGHT | SS_ENDELLIPSIS),
        // Over the speed while an analysis runs off the window's thread.
        Ctl(IDC_ANALYSIS_PROGRESS, ControlKind::Static, "", 0, 11, 82, 8, SS_ENDELLIPSIS),
        Ctl(int(ID_ANALYSIS_CANCEL), ControlKind::PushButton, "Cancel", 84, 10, 32, 10, 0),
    };
    return d;
}

DialogTemplate FileInformation() {
    DialogTemplate d;
    d.id = IDD_FILE_INFO;
    d.caption = "File Information";
    d.cx = 139;
    d.cy = 174;
    d.style = kDialogStyle;
    d.controls = {
        Ctl(IDC_FI_FILENAME, ControlKind::Edit, "", 6, 4, 127, 12,
            kTab | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL),
        Ctl(IDC_FI_DESCRIPTION, ControlKind::Edit, "", 6, 20, 127, 77,
            kTab | WS_BORDER | ES_MULTILINE | WS_VSCROLL | ES_AUTOVSCROLL),
        Ctl(IDC_FI_RULES, ControlKind::Static, "Rules", 6, 104, 127, 8),
        Ctl(IDC_FI_BOARDSIZE, ControlKind::Static, "Size", 6, 115, 127, 8),
        Ctl(IDC_FI_NOTE, ControlKind::Static, "", 6, 126, 127, 24),
        Ctl(IDOK, ControlKind::PushButton, "OK", 13, 153, 50, 14, kTab),
        Ctl(IDCANCEL, ControlKind::PushButton, "Cancel", 76, 153, 50, 14, kTab),
    };
    return d;
}

DialogTemplate SaveStatistics() {
    DialogTemplate d;
    d.id = IDD_SAVE_STATS;
    d.caption = "Save Statistics";
    d.cx = 133;
    d.cy = 138;
    d.style = kDialogStyle;
    d.controls = {
        Ctl(IDC_STATS_SPACE, ControlKind::Static, "", 7, 7, 119, 10),
        Ctl(IDC_STATS_FILENAME, ControlKind::Edit, "", 7, 24, 95, 14,
            kTab | WS_BORDER | ES_AUTOHSCROLL),
        Ctl(IDC_STATS_BROWSE, ControlKind::PushButton, "...", 106, 24, 20, 14, kTab),
        Ctl(IDC_STATIC, ControlKind::GroupBox, "Data to Record", 7, 47, 119, 49),
        Ctl(IDC_STATS_GENERATION, ControlKind::CheckBox, "Generation", 16, 61, 51, 10, kTab),
        Ctl(IDC_STATS_BIRTHS, ControlKind::CheckBox, "Births", 79, 61, 34, 10, kTab),
        Ctl(IDC_STATS_TOTAL, ControlKind::CheckBox, "Total Alive", 16, 79, 49, 10, kTab),
        Ctl(IDC_STATS_DEATHS, ControlKind::CheckBox, "Deaths", 79, 79, 39, 10, kTab),
        Ctl(IDOK, ControlKind::DefPushButton, "OK", 7, 117, 50, 14, kTab),
        Ctl(IDCANCEL, ControlKind::PushButton, "Cancel", 76, 117, 50, 14, kTab),
    };
    return d;
}

DialogTemplate About() {
    DialogTemplate d;
    d.id = IDD_ABOUTBOX;
    d.caption = "About Life";
    d.cx = 134;
    d.cy = 143;
    d.style = kDialogStyle;
    d.controls = {
        Ctl(IDC_STATIC, ControlKind::Icon, "", 8, 8, 20, 20),
        Ctl(IDC_STATIC, ControlKind::Static, "Cellarium Version 2.2", 34, 10, 94, 8),
        Ctl(IDC_STATIC, ControlKind::Static,
            "Life-family cellular automata\non a board of your chosen size.\nPress Help for "
            "more.",
            8, 34, 118, 30),
        Ctl(IDC_ABOUT_BOARDSIZE, ControlKind::Static, "", 8, 72, 118, 8),
        Ctl(IDC_ABOUT_HELP, ControlKind::PushButton, "Help", 8, 120, 50, 14, kTab),
        Ctl(IDOK, ControlKind::DefPushButton, "OK", 76, 120, 50, 14, kTab),
    };
    return d;
}

DialogTemplate Rules() {
    DialogTemplate d;
    d.id = IDD_RULES;
    d.caption = "Rules";
    d.cx = 132;
    d.cy = 172;
    d.style = kDialogStyle;
    static const char* const kDigits[9] = {"0", "1", "2", "3", "4", "5", "6", "7", "8"};
    d.controls = {
        Ctl(IDC_STATIC, ControlKind::Static, "Change the number of adjacent cells required to...",
            5, 5, 117, 20),
        Ctl(IDC_STATIC, ControlKind::GroupBox, "Survive", 5, 24, 55, 75),
    };
    const int surviveY[9] = {38, 48, 58, 68, 78, 38, 48, 58, 67};
    for (int n = 0; n < 9; ++n)
        d.controls.push_back(Ctl(IDC_SURVIVE_0 + n, ControlKind::CheckBox, kDigits[n],
                                 n < 5 ? 13 : 37, surviveY[n], 20, 10, kTab));
    d.controls.push_back(Ctl(IDC_STATIC, ControlKind::GroupBox, "Be born", 68, 24, 52, 75));
    const int bornY[9] = {38, 48, 58, 68, 78, 38, 48, 58, 68};
    for (int n = 0; n < 9; ++n)
        d.controls.push_back(Ctl(IDC_BORN_0 + n, ControlKind::CheckBox, kDigits[n], n < 5 ? 72 : 97,
                                 bornY[n], 20, 10, kTab));
    // The rule as text: any notation, isotropic letters and MAP rules too.
    d.controls.push_back(Ctl(IDC_STATIC, ControlKind::Static, "Rule:", 5, 106, 20, 8));
    d.controls.push_back(Ctl(IDC_RULES_TEXT, ControlKind::Edit, "", 27, 104, 93, 12,
                             kTab | WS_BORDER | ES_AUTOHSCROLL));
    d.controls.push_back(
        Ctl(IDC_STATIC, ControlKind::Static, "Common named rule sets:", 5, 121, 110, 8));
    d.controls.push_back(Ctl(IDC_RULES_LIST, ControlKind::ComboBox, "", 5, 132, 115, 42,
                             kTab | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL));
    d.controls.push_back(Ctl(IDOK, ControlKind::DefPushButton, "OK", 10, 151, 50, 14, kTab));
    d.controls.push_back(Ctl(IDCANCEL, ControlKind::PushButton, "Cancel", 70, 151, 50, 14, kTab));
    return d;
}

DialogTemplate FillRandom() {
    DialogTemplate d;
    d.id = IDD_FILL_RANDOM;
    d.caption = "Fill Random";
    d.cx = 134;
    d.cy = 70;
    d.style = kDialogStyle;
    d.controls = {
        Ctl(IDC_STATIC, ControlKind::Static, "Live cells in the selection, in percent:", 7, 7, 120,
            18),
        Ctl(IDC_FILL_PERCENT, ControlKind::Edit, "", 7, 28, 44, 12,
            kTab | WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL),
        Ctl(IDOK, ControlKind::DefPushButton, "OK", 7, 49, 50, 14, kTab),
        Ctl(IDCANCEL, ControlKind::PushButton, "Cancel", 77, 49, 50, 14, kTab),
    };
    return d;
}

DialogTemplate BoardSize() {
    DialogTemplate d;
    d.id = IDD_BOARD_SIZE;
    d.caption = "Board Size";
    d.cx = 134;
    d.cy = 150;
    d.style = kDialogStyle;
    d.controls = {
        Ctl(IDC_STATIC, ControlKind::Static,
            "Select the size of the board.\r\n\rThere needs to be enough memory available "
            "for your chosen size.  Cellarium will warn you if it is too big. ",
            7, 7, 120, 50),
        Ctl(IDC_STATIC, ControlKind::GroupBox, "Width", 7, 62, 56, 30),
        Ctl(IDC_BOARD_WIDTH, ControlKind::Edit, "", 13, 74, 44, 12,
            kTab | WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL),
        Ctl(IDC_STATIC, ControlKind::GroupBox, "Height", 71, 62, 56, 30),
        Ctl(IDC_BOARD_HEIGHT, ControlKind::Edit, "", 77, 74, 44, 12,
            kTab | WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL),
        Ctl(IDC_BOARD_DEFAULT, ControlKind::PushButton, "Default", 42, 100, 50, 14, kTab),
        Ctl(IDOK, ControlKind::DefPushButton, "OK", 7, 126, 50, 14, kTab),
        Ctl(IDCANCEL, ControlKind::PushButton, "Cancel", 77, 126, 50, 14, kTab),
    };
    return d;
}

DialogTemplate GoToGeneration() {
    DialogTemplate d;
    d.id = IDD_GO_TO_GENERATION;
    d.caption = "Go to Generation";
    d.cx = 134;
    d.cy = 62;
    d.style = kDialogStyle;
    d.controls = {
        Ctl(IDC_STATIC, ControlKind::Static, "Run forward to generation:", 7, 7, 120, 8),
        Ctl(IDC_GOTO_GENERATION, ControlKind::Edit, "", 7, 19, 120, 12,
            kTab | WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL),
        Ctl(IDOK, ControlKind::DefPushButton, "OK", 7, 41, 50, 14, kTab),
        Ctl(IDCANCEL, ControlKind::PushButton, "Cancel", 77, 41, 50, 14, kTab),
    };
    return d;
}

DialogTemplate Census() {
    DialogTemplate d;
    d.id = IDD_CENSUS;
    d.caption = "Census";
    d.cx = 220;
    d.cy = 214;
    d.style = kDialogStyle;
    d.controls = {
        Ctl(IDC_CENSUS_SUMMARY, ControlKind::Static, "", 7, 7, 206, 18),
        Ctl(IDC_CENSUS_LIST, ControlKind::ListBox, "", 7, 28, 206, 158,
            kTab | WS_BORDER | WS_VSCROLL),
        Ctl(IDOK, ControlKind::DefPushButton, "Close", 163, 193, 50, 14, kTab),
    };
    return d;
}

MenuItem Item(unsigned id, const char* caption) {
    return MenuItem{id, caption, {}, false};
}
MenuItem Separator() {
    return MenuItem{0, "", {}, true};
}
MenuItem Popup(const char* caption, std::vector<MenuItem> items) {
    return MenuItem{0, caption, std::move(items), false};
}

MenuTemplate MainMenu() {
    MenuTemplate m;
    m.id = IDR_MAINFRAME;
    m.items = {Popup(
        "Tools",
        {Item(ID_COLORS_AUTUMN, "Autumn Colors"),
         Item(ID_COLORS_BLUE, "Shades of Blue"),
         Item(ID_COLORS_RAINBOW, "Rainbow Colors"),
         Item(ID_COLORS_SUNSHINE, "Sunshine"),
         Item(ID_COLORS_CUSTOM, "Custom Colors"),
         Item(ID_COLORS_BW, "Black and White"),
         Popup("More Colors", {Item(ID_LOAD_CUSTOM_COLORS, "Load Custom Colors..."),
                               Item(ID_INVERT_COLORS, "Invert Colors"),
                               Item(ID_REVERSE_PALETTE, "Reverse Palette Order"),
                               Item(ID_SAVE_AS_IMAGE, "Save As Image...")}),
         Separator(),
         Item(ID_TOOLS_RUN, "Run"),
         Item(ID_TOOLS_STEP, "Step"),
         Item(ID_TOOLS_PAUSE, "Pause"),
         Item(ID_GO_TO_GENERATION, "Go to Generation..."),
         Item(ID_SPEED_FASTER, "Faster"),
         Item(ID_SPEED_SLOWER, "Slower"),
         Item(ID_TOOLS_EDIT, "Edit"),
         Separator(),
         Popup("Statistics", {Item(ID_STATS_START, "Start"), Item(ID_STATS_STOP, "Stop")}),
         Item(ID_STOP_WHEN_REPEATS, "Stop when the pattern repeats"),
         Item(ID_IDENTIFY, "Identify"),
         Item(ID_CENSUS, "Census..."),
         Item(ID_POPULATION_GRAPH, "Population Graph"),
         Popup("Cells",
               {Item(ID_CELLS_FIND_FIRST, "Find First"), Item(ID_CELLS_FIND_NEXT, "Find Next"),
                Item(ID_CELLS_FIT, "Fit to Screen"), Separator(), Item(ID_CELLS_CENTER, "Center"),
                Item(ID_CELLS_ROTATE_LEFT, "Rotate Left")}),
         Popup("Edit",
               {Item(ID_EDIT_UNDO, "Undo"), Item(ID_EDIT_REDO, "Redo"), Separator(),
                Item(ID_EDIT_CUT, "Cut"), Item(ID_EDIT_COPY, "Copy"), Item(ID_EDIT_PASTE, "Paste"),
                Item(ID_EDIT_CLEAR, "Clear"), Item(ID_EDIT_CLEAR_OUTSIDE, "Clear Outside"),
                Item(ID_EDIT_FILL_RANDOM, "Fill Random..."), Separator(),
                Item(ID_EDIT_FLIP_HORIZONTAL, "Flip Horizontal"),
                Item(ID_EDIT_FLIP_VERTICAL, "Flip Vertical"),
                Item(ID_EDIT_ROTATE_CLOCKWISE, "Rotate Clockwise"),
                Item(ID_EDIT_ROTATE_ANTICLOCKWISE, "Rotate Anticlockwise"), Separator(),
                Item(ID_EDIT_SELECT_ALL, "Select All")}),
         Popup("File",
               {Item(ID_FILE_SAVE_AS, "Save As..."), Item(ID_EXPORT_RLE, "Export as RLE..."),
                Item(ID_COPY_RLE, "Copy as RLE"), Item(ID_FILE_EDIT_RULES, "Edit Rules..."),
                Item(ID_FILE_EDIT_DESCRIPTION, "Edit Description..."),
                Item(ID_FILE_RELOAD, "Reload")}),
         Popup("About", {Item(ID_APP_ABOUT, "About Life..."), Item(ID_HELP, "Help..."),
                         Item(ID_EXIT_COMPLETELY, "Exit Completely...")})})};
    return m;
}

// Captions carry their Alt mnemonics after "&".
MenuTemplate DesktopMenu() {
    MenuTemplate m;
    m.id = IDR_DESKTOP_MENU;
    std::vector<MenuItem> recent;
    for (unsigned id = ID_FILE_RECENT_FIRST; id <= ID_FILE_RECENT_LAST; ++id)
        recent.push_back(Item(id, "Recent"));
    m.items = {
        Popup("&File", {Item(ID_FILE_NEW, "&New"), Item(ID_FILE_OPEN, "&Open..."),
                        Popup("Open &Recent", std::move(recent)), Separator(),
                        Item(ID_FILE_SAVE, "&Save"), Item(ID_FILE_SAVE_AS, "Save &As..."),
                        Separator(), Item(ID_SAVE_AS_IMAGE, "Save As &Image..."),
                        Item(ID_EXPORT_RLE, "&Export as RLE..."), Item(ID_COPY_RLE, "&Copy as RLE"),
                        Item(ID_PASTE_NEW, "&Paste as New Pattern"), Separator(),
                        Item(ID_BOARD_SIZE, "&Board Size..."), Separator(),
                        Item(ID_EXIT_COMPLETELY, "E&xit")}),
        Popup(
            "&Edit",
            {Item(ID_EDIT_UNDO, "&Undo"), Item(ID_EDIT_REDO, "&Redo"), Separator(),
             Item(ID_EDIT_CUT, "Cu&t"), Item(ID_EDIT_COPY, "&Copy"), Item(ID_EDIT_PASTE, "&Paste"),
             Item(ID_EDIT_CLEAR, "C&lear"), Item(ID_EDIT_CLEAR_OUTSIDE, "Clear &Outside"),
             Item(ID_EDIT_FILL_RANDOM, "&Fill Random..."), Separator(),
             Item(ID_EDIT_SELECT_ALL, "Select &All"), Item(ID_EDIT_SELECT_BOARD, "Select &Board"),
             Separator(), Item(ID_EDIT_FLIP_HORIZONTAL, "Flip &Horizontal"),
             Item(ID_EDIT_FLIP_VERTICAL, "Flip &Vertical"),
             Item(ID_EDIT_ROTATE_CLOCKWISE, "Rotate Cloc&kwise"),
             Item(ID_EDIT_ROTATE_ANTICLOCKWISE, "Rotate A&nticlockwise"), Separator(),
             Item(ID_TOOLS_EDIT, "&Edit Mode")}),
        Popup(
            "&View",
            {Item(ID_ZOOM_IN, "Zoom &In"), Item(ID_ZOOM_OUT, "Zoom &Out"),
             Item(ID_CELLS_FIT, "&Fit to Screen"), Separator(),
             Item(ID_CELLS_FIND_FIRST, "Find Fi&rst"), Item(ID_CELLS_FIND_NEXT, "Find &Next"),
             Separator(), Item(ID_VIEW_GRID, "&Grid"),
             Item(ID_POPULATION_GRAPH, "Population &Graph"), Separator(),
             Popup(
                 "&Colors",
                 {Item(ID_COLORS_AUTUMN, "&Autumn Colors"), Item(ID_COLORS_BLUE, "Shades of &Blue"),
                  Item(ID_COLORS_RAINBOW, "&Rainbow Colors"), Item(ID_COLORS_SUNSHINE, "&Sunshine"),
                  Item(ID_COLORS_CUSTOM, "&Custom Colors"), Item(ID_COLORS_BW, "Black and &White"),
                  Separator(), Item(ID_LOAD_CUSTOM_COLORS, "&Load Custom Colors..."),
                  Item(ID_INVERT_COLORS, "&Invert Colors"),
                  Item(ID_REVERSE_PALETTE, "Re&verse Palette Order")})}),
        Popup("&Run", {Item(ID_TOOLS_RUN, "&Run"), Item(ID_TOOLS_PAUSE, "&Pause"),
                       Item(ID_TOOLS_STEP, "&Step"), Separator(), Item(ID_SPEED_FASTER, "&Faster"),
                       Item(ID_SPEED_SLOWER, "S&lower"), Separator(),
                       Item(ID_GO_TO_GENERATION, "&Go to Generation..."),
                       Item(ID_STOP_WHEN_REPEATS, "Stop when the pattern &repeats"), Separator(),
                       Item(ID_FILE_RELOAD, "Rel&oad")}),
        Popup("&Tools",
              {Item(ID_FILE_EDIT_RULES, "&Rules..."), Item(ID_CELLS_ROTATE_LEFT, "R&otate Left"),
               Item(ID_CELLS_CENTER, "&Center"), Item(ID_IDENTIFY, "&Identify"),
               Item(ID_CENSUS, "Ce&nsus..."),
               Popup("&Statistics",
                     {Item(ID_STATS_START, "&Start..."), Item(ID_STATS_STOP, "S&top")}),
               Item(ID_FILE_EDIT_DESCRIPTION, "&File Information...")}),
        Popup("&Help", {Item(ID_HELP, "&Help"), Item(ID_APP_ABOUT, "&About Cellarium")})};
    return m;
}

MenuTemplate FileListMenu() {
    MenuTemplate m;
    m.id = IDR_FILELIST_MENU;
    m.items = {Popup("Paste", {Item(ID_PASTE_NEW, "Paste from Clipboard to New File")}),
               Popup("Tools", {Item(ID_APP_ABOUT, "About Life..."),
                               Item(ID_BOARD_SIZE, "Change board size...")})};
    return m;
}

// The speed steps, slowest first, as the toolbar's list.
ToolbarChoice SpeedChoice() {
    ToolbarChoice c;
    for (int step = 0; step < kSpeedSteps; ++step) {
        c.commands.push_back(ID_SPEED_FIRST + unsigned(step));
        c.captions.push_back(SpeedWords(step));
    }
    c.tooltip = "Speed: generations per frame";
    return c;
}

ResourceTable MakeResources() {
    ResourceTable r;
    r.dialogs = {About(),     StatusStrip(), FileInformation(), Rules(), SaveStatistics(),
                 BoardSize(), FillRandom(),  GoToGeneration(),  Census()};
    r.menus = {MainMenu(), FileListMenu(), DesktopMenu()};
    r.toolbars = {ToolbarTemplate{IDR_MAINFRAME,
                                  16,
                                  16,
                                  {ID_TOOLS_STEP, ID_TOOLS_RUN, ID_TOOLS_PAUSE, ID_ZOOM_IN,
                                   ID_ZOOM_OUT, ID_CELLS_ROTATE_LEFT, ID_CELLS_FIT},
                                  {SpeedChoice()}}};
    r.accelerators = {{'N', ID_FILE_NEW},        {'O', ID_FILE_OPEN},       {'S', ID_FILE_SAVE},
                      {'Q', ID_APP_EXIT},        {'Z', ID_EDIT_UNDO},       {'X', ID_EDIT_CUT},
                      {'C', ID_EDIT_COPY},       {'V', ID_EDIT_PASTE},      {'Y', ID_EDIT_REDO},
                      {'A', ID_EDIT_SELECT_ALL}, {'G', ID_GO_TO_GENERATION}};
    r.strings = {
        {IDR_MAINFRAME, kLifeDocString},
        {IDS_TOOLS, "Tools"},
        {IDS_PASTE, "Paste"},
        {IDS_TIP_STEP, "Single Step"},
        {IDS_TIP_RUN, "Run"},
        {IDS_TIP_PAUSE, "Pause"},
        {IDS_TIP_ZOOM_IN, "Zoom in X2"},
        {IDS_TIP_ZOOM_OUT, "Zoom out X2"},
        {IDS_TIP_ROTATE, "Rotate Anti-clockwise"},
        {IDS_TIP_EDIT, "Toggle Edit Mode"},
        {IDS_TIP_FIT, "Fit to screen"},
    };
    return r;
}

}  // namespace

const ResourceTable& LifeResources() {
    static const ResourceTable table = MakeResources();
    return table;
}

}  // namespace cellarium
