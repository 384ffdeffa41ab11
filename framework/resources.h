// Resources kept as data: dialog templates, menus, toolbars and strings. An
// application hands its table to CWinApp; dialogs, bars and frames look their
// templates up by id. A back end lays controls out from the same data.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace cellarium {

enum class ControlKind {
    Static,
    Edit,
    PushButton,
    DefPushButton,
    CheckBox,
    GroupBox,
    ComboBox,
    Icon,
    // A list always open, its items with optional small pictures; chosen as
    // a combo box's are (CBN_SELCHANGE).
    ListBox
};

// Window and control styles that the framework and back ends look at.
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_DISABLED = 0x08000000;
inline constexpr uint32_t WS_BORDER = 0x00800000;
inline constexpr uint32_t WS_VSCROLL = 0x00200000;
inline constexpr uint32_t WS_HSCROLL = 0x00100000;
inline constexpr uint32_t WS_TABSTOP = 0x00010000;
inline constexpr uint32_t WS_CAPTION = 0x00C00000;
inline constexpr uint32_t WS_SYSMENU = 0x00080000;
inline constexpr uint32_t DS_MODALFRAME = 0x80;
inline constexpr uint32_t ES_MULTILINE = 0x0004;
inline constexpr uint32_t ES_AUTOVSCROLL = 0x0040;
inline constexpr uint32_t ES_AUTOHSCROLL = 0x0080;
inline constexpr uint32_t ES_READONLY = 0x0800;
inline constexpr uint32_t ES_NUMBER = 0x2000;
// A static's text is drawn against its right edge; text too long for the
// static ends in an ellipsis (the whole text is its tooltip).
inline constexpr uint32_t SS_RIGHT = 0x0002;
inline constexpr uint32_t SS_ENDELLIPSIS = 0x4000;
inline constexpr uint32_t CBS_DROPDOWNLIST = 0x0003;
inline constexpr uint32_t CBS_SORT = 0x0100;

// Control id of statics and group boxes that are never addressed.
inline constexpr int IDC_STATIC = -1;

struct ControlTemplate {
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::Static;
    std::string text;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    uint32_t style = WS_VISIBLE;
};

struct DialogTemplate {
    unsigned id = 0;
    std::string caption;  // empty: no caption (a dialog bar)
    int cx = 0, cy = 0;   // dialog units
    uint32_t style = 0;
    std::string fontName = "System";
    int fontSize = 8;
    std::vector<ControlTemplate> controls;
};

struct MenuItem {
    unsigned id = 0;  // 0 for a separator or a submenu
    std::string caption;
    std::vector<MenuItem> children;  // a submenu when not empty
    bool separator = false;
};

struct MenuTemplate {
    unsigned id = 0;
    std::vector<MenuItem> items;  // the drop-downs of the menu bar
};

// A drop-down list after a toolbar's buttons: each item chooses its command,
// and the list shows the item whose command is checked.
struct ToolbarChoice {
    std::vector<unsigned> commands;
    std::vector<std::string> captions;  // one per command
    std::string tooltip;
};

struct ToolbarTemplate {
    unsigned id = 0;
    int buttonWidth = 16;
    int buttonHeight = 16;
    std::vector<unsigned> buttons;  // command ids, left to right
    std::vector<ToolbarChoice> choices{};
};

struct AcceleratorEntry {
    char key = 0;  // with Ctrl
    unsigned command = 0;
};

struct ResourceTable {
    std::vector<DialogTemplate> dialogs;
    std::vector<MenuTemplate> menus;
    std::vector<ToolbarTemplate> toolbars;
    std::vector<AcceleratorEntry> accelerators;
    std::map<unsigned, std::string> strings;

    const DialogTemplate* FindDialog(unsigned id) const;
    const MenuTemplate* FindMenu(unsigned id) const;
    const ToolbarTemplate* FindToolbar(unsigned id) const;
    // The string, or empty when the table has none of that id.
    std::string String(unsigned id) const;
};

// Every command id a menu template reaches, submenus included, in menu order.
std::vector<unsigned> MenuCommands(const MenuTemplate& menu);

}  // namespace cellarium
