// Command ids, dialog template ids and control ids: the names the document
// layer, the shell and the runner give commands, dialogs and controls. A
// target of its own below document/ and shell/, so that the document layer can
// name a command without depending on the shell.
#pragma once

namespace cellarium {

// Dialog templates.
inline constexpr unsigned IDD_ABOUTBOX = 100;
inline constexpr unsigned IDD_STATUS_STRIP = 128;
inline constexpr unsigned IDD_FILE_INFO = 130;
inline constexpr unsigned IDD_RULES = 132;
inline constexpr unsigned IDD_SAVE_STATS = 133;
inline constexpr unsigned IDD_BOARD_SIZE = 134;
inline constexpr unsigned IDD_FILL_RANDOM = 135;
inline constexpr unsigned IDD_GO_TO_GENERATION = 140;
inline constexpr unsigned IDD_CENSUS = 141;

// Status strip controls.
inline constexpr int IDC_STATUS_TEXT = 1008;
inline constexpr int IDC_ERASE = 1009;
inline constexpr int IDC_EDIT_MODE_LABEL = 1019;
// The speed and, while running, the generations a second.
inline constexpr int IDC_SPEED_TEXT = 1061;
// The rule in force, in its canonical text.
inline constexpr int IDC_STATUS_RULE = 1071;
// While an analysis runs off the window's thread, in the speed's place: how
// far it has come, and its Cancel button (a click is ID_ANALYSIS_CANCEL).
inline constexpr int IDC_ANALYSIS_PROGRESS = 1072;

// File Information controls.
inline constexpr int IDC_FI_DESCRIPTION = 1003;
inline constexpr int IDC_FI_FILENAME = 1006;
inline constexpr int IDC_FI_RULES = 1029;
inline constexpr int IDC_FI_BOARDSIZE = 1046;
// What the reader did to bring the pattern onto the board, or the grid its
// file was written for.
inline constexpr int IDC_FI_NOTE = 1062;

// Rules controls: survive n is 1010 + n, born n is 1019 + n.
inline constexpr int IDC_SURVIVE_0 = 1010;
inline constexpr int IDC_BORN_0 = 1019;
inline constexpr int IDC_RULES_LIST = 1040;
// The rule as text, in any notation the reader takes.
inline constexpr int IDC_RULES_TEXT = 1070;

// About controls.
inline constexpr int IDC_ABOUT_HELP = 1020;
inline constexpr int IDC_ABOUT_BOARDSIZE = 1045;

// Fill Random controls.
inline constexpr int IDC_FILL_PERCENT = 1047;

// Board Size controls.
inline constexpr int IDC_BOARD_DEFAULT = 1028;
inline constexpr int IDC_BOARD_WIDTH = 1041;
inline constexpr int IDC_BOARD_HEIGHT = 1043;

// Save Statistics controls.
inline constexpr int IDC_STATS_BIRTHS = 1032;
inline constexpr int IDC_STATS_DEATHS = 1033;
inline constexpr int IDC_STATS_TOTAL = 1034;
inline constexpr int IDC_STATS_GENERATION = 1035;
inline constexpr int IDC_STATS_BROWSE = 1037;
inline constexpr int IDC_STATS_FILENAME = 1038;
inline constexpr int IDC_STATS_SPACE = 1039;

// Go to Generation controls.
inline constexpr int IDC_GOTO_GENERATION = 1060;

// Census controls: how many objects of how many kinds, and their list.
inline constexpr int IDC_CENSUS_SUMMARY = 1070;
inline constexpr int IDC_CENSUS_LIST = 1071;

// Commands.
inline constexpr unsigned ID_TOOLS_RUN = 32771;
inline constexpr unsigned ID_TOOLS_PAUSE = 32772;
inline constexpr unsigned ID_TOOLS_STEP = 32773;
inline constexpr unsigned ID_ZOOM_IN = 32775;
inline constexpr unsigned ID_ZOOM_OUT = 32776;
inline constexpr unsigned ID_COLORS_BLUE = 32779;
inline constexpr unsigned ID_COLORS_AUTUMN = 32780;
inline constexpr unsigned ID_COLORS_SUNSHINE = 32781;
inline constexpr unsigned ID_FILE_EDIT_DESCRIPTION = 32783;
inline constexpr unsigned ID_COLORS_RAINBOW = 32784;
inline constexpr unsigned ID_CELLS_ROTATE_LEFT = 32785;
inline constexpr unsigned ID_TOOLS_EDIT = 32792;
inline constexpr unsigned ID_FILE_EDIT_RULES = 32793;
inline constexpr unsigned ID_EXIT_COMPLETELY = 32795;
inline constexpr unsigned ID_COLORS_BW = 32796;
inline constexpr unsigned ID_CELLS_CENTER = 32797;
inline constexpr unsigned ID_CELLS_FIND_NEXT = 32799;
inline constexpr unsigned ID_CELLS_FIT = 32800;
inline constexpr unsigned ID_CELLS_FIND_FIRST = 32801;
inline constexpr unsigned ID_FILE_RELOAD = 32802;
inline constexpr unsigned ID_STATS_START = 32804;
inline constexpr unsigned ID_STATS_STOP = 32805;
inline constexpr unsigned ID_SAVE_AS_IMAGE = 32806;
inline constexpr unsigned ID_PASTE_NEW = 32807;
inline constexpr unsigned ID_LOAD_CUSTOM_COLORS = 32816;
inline constexpr unsigned ID_COLORS_CUSTOM = 32817;
inline constexpr unsigned ID_INVERT_COLORS = 32819;
inline constexpr unsigned ID_REVERSE_PALETTE = 32820;
inline constexpr unsigned ID_BOARD_SIZE = 32821;
inline constexpr unsigned ID_EXPORT_RLE = 32822;
inline constexpr unsigned ID_COPY_RLE = 32823;
// The Edit submenu; Undo, Cut, Copy and Paste are the framework's own ids.
inline constexpr unsigned ID_EDIT_REDO = 32824;
inline constexpr unsigned ID_EDIT_CLEAR = 32825;
inline constexpr unsigned ID_EDIT_CLEAR_OUTSIDE = 32826;
inline constexpr unsigned ID_EDIT_FILL_RANDOM = 32827;
inline constexpr unsigned ID_EDIT_FLIP_HORIZONTAL = 32828;
inline constexpr unsigned ID_EDIT_FLIP_VERTICAL = 32829;
inline constexpr unsigned ID_EDIT_ROTATE_CLOCKWISE = 32830;
inline constexpr unsigned ID_EDIT_ROTATE_ANTICLOCKWISE = 32831;
inline constexpr unsigned ID_EDIT_SELECT_ALL = 32832;
// Esc: drops a floating paste, else the selection.
inline constexpr unsigned ID_EDIT_CANCEL = 32833;
// Select Board: the whole interior of the board.
inline constexpr unsigned ID_EDIT_SELECT_BOARD = 32834;
// The faint grid between cells at large zooms, kept in the settings.
inline constexpr unsigned ID_VIEW_GRID = 32895;
inline constexpr unsigned ID_GO_TO_GENERATION = 32840;
inline constexpr unsigned ID_SPEED_FASTER = 32841;
inline constexpr unsigned ID_SPEED_SLOWER = 32842;
// The speed steps, slowest first: ID_SPEED_FIRST + step.
inline constexpr unsigned ID_SPEED_FIRST = 32850;
inline constexpr unsigned ID_SPEED_LAST = 32872;
// Seeing what a run does.
inline constexpr unsigned ID_STOP_WHEN_REPEATS = 32880;
inline constexpr unsigned ID_IDENTIFY = 32881;
inline constexpr unsigned ID_POPULATION_GRAPH = 32882;
// The objects the pattern leaves once it settles, by apgcode.
inline constexpr unsigned ID_CENSUS = 32886;
// Stops the analysis under way (Esc, the status strip's Cancel button).
inline constexpr unsigned ID_ANALYSIS_CANCEL = 32887;
inline constexpr unsigned ID_GRAPH_BIRTHS_DEATHS = 32883;
inline constexpr unsigned ID_GRAPH_SAVE_CSV = 32884;
inline constexpr unsigned ID_GRAPH_SAVE_PNG = 32885;

}  // namespace cellarium
