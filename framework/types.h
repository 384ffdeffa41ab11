// Plain value types and the numeric constants of the framework: geometry in
// device pixels, dialog results, message-box styles, scroll codes and the
// framework's own command and prompt identifiers.
#pragma once

#include <cstdint>

namespace cellarium {

struct CPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const CPoint&, const CPoint&) = default;
};

struct CSize {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const CSize&, const CSize&) = default;
};

// A rectangle in device pixels; right and bottom are exclusive, as for client
// areas and invalid regions.
struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    CPoint CenterPoint() const { return CPoint{(left + right) / 2, (top + bottom) / 2}; }
    friend bool operator==(const CRect&, const CRect&) = default;
};

// Dialog and message-box results.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Message-box styles (the low four bits choose the buttons).
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_TYPEMASK = 0xF;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;

// Scroll-bar codes.
inline constexpr unsigned SB_LINEUP = 0;
inline constexpr unsigned SB_LINELEFT = 0;
inline constexpr unsigned SB_LINEDOWN = 1;
inline constexpr unsigned SB_LINERIGHT = 1;
inline constexpr unsigned SB_PAGEUP = 2;
inline constexpr unsigned SB_PAGELEFT = 2;
inline constexpr unsigned SB_PAGEDOWN = 3;
inline constexpr unsigned SB_PAGERIGHT = 3;
inline constexpr unsigned SB_THUMBTRACK = 5;
inline constexpr unsigned SB_TOP = 6;
inline constexpr unsigned SB_BOTTOM = 7;

// Key codes the views see. Letters and digits are their upper-case ASCII
// codes ('A' .. 'Z', '0' .. '9'); F1 .. F12 are VK_F1 + 0 .. 11.
inline constexpr unsigned VK_BACK = 0x08;
inline constexpr unsigned VK_TAB = 0x09;
inline constexpr unsigned VK_RETURN = 0x0D;
inline constexpr unsigned VK_SHIFT = 0x10;
inline constexpr unsigned VK_CONTROL = 0x11;
inline constexpr unsigned VK_MENU = 0x12;
inline constexpr unsigned VK_ESCAPE = 0x1B;
inline constexpr unsigned VK_SPACE = 0x20;
inline constexpr unsigned VK_PRIOR = 0x21;
inline constexpr unsigned VK_NEXT = 0x22;
inline constexpr unsigned VK_END = 0x23;
inline constexpr unsigned VK_HOME = 0x24;
inline constexpr unsigned VK_LEFT = 0x25;
inline constexpr unsigned VK_UP = 0x26;
inline constexpr unsigned VK_RIGHT = 0x27;
inline constexpr unsigned VK_DOWN = 0x28;
inline constexpr unsigned VK_INSERT = 0x2D;
inline constexpr unsigned VK_DELETE = 0x2E;
inline constexpr unsigned VK_ADD = 0x6B;
inline constexpr unsigned VK_SUBTRACT = 0x6D;
inline constexpr unsigned VK_F1 = 0x70;
inline constexpr unsigned VK_OEM_PLUS = 0xBB;
inline constexpr unsigned VK_OEM_MINUS = 0xBD;

// Mouse-message flags.
inline constexpr unsigned MK_LBUTTON = 0x0001;
inline constexpr unsigned MK_RBUTTON = 0x0002;
inline constexpr unsigned MK_SHIFT = 0x0004;

// The framework's standard commands.
inline constexpr unsigned ID_FILE_NEW = 0xE100;
inline constexpr unsigned ID_FILE_OPEN = 0xE101;
inline constexpr unsigned ID_FILE_CLOSE = 0xE102;
inline constexpr unsigned ID_FILE_SAVE = 0xE103;
inline constexpr unsigned ID_FILE_SAVE_AS = 0xE104;
// Open Recent: the recent files, the most recent first.
inline constexpr unsigned ID_FILE_RECENT_FIRST = 0xE110;
inline constexpr unsigned ID_FILE_RECENT_LAST = 0xE117;
inline constexpr unsigned ID_EDIT_COPY = 0xE122;
inline constexpr unsigned ID_EDIT_CUT = 0xE123;
inline constexpr unsigned ID_EDIT_PASTE = 0xE125;
inline constexpr unsigned ID_EDIT_UNDO = 0xE12B;
inline constexpr unsigned ID_APP_ABOUT = 0xE140;
inline constexpr unsigned ID_APP_EXIT = 0xE141;
inline constexpr unsigned ID_HELP = 0xE146;
// The user asked for help on what is in front of them (F1 on the desktop); the
// frame answers it through its HelpRequested hook.
inline constexpr unsigned ID_HELP_REQUEST = 0xE147;

// Standard window identifiers of a frame's bars.
inline constexpr unsigned kToolbarId = 0xE800;
inline constexpr unsigned kDialogBarId = 0xE805;

// Bar alignment styles.
inline constexpr unsigned CBRS_TOP = 0x2000;

// The framework's prompts for failed document loads and saves.
inline constexpr unsigned kPromptInvalidFileName = 0xF100;
inline constexpr unsigned kPromptFailedToOpen = 0xF101;
inline constexpr unsigned kPromptFailedToSave = 0xF102;

// Command and notification codes (a button click is a plain command).
inline constexpr int CN_COMMAND = 0;
inline constexpr int CN_UPDATE_COMMAND_UI = -1;
inline constexpr int BN_CLICKED = 0;
inline constexpr int CBN_SELCHANGE = 1;
inline constexpr int EN_CHANGE = 0x0300;

// Timer handle as the platform returns it; 0 means no timer.
using TimerHandle = uintptr_t;

}  // namespace cellarium
