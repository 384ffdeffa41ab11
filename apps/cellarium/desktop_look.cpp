#include "apps/cellarium/desktop_look.h"

#include "shell/resource.h"

namespace cellarium {

CommandLook DesktopCommandLook() {
    CommandLook look;
    look.commands = {
        {ID_TOOLS_STEP, ToolGlyph::Step, {"Ctrl+T", "S"}},
        {ID_TOOLS_RUN, ToolGlyph::Run, {"Ctrl+R"}},
        {ID_TOOLS_PAUSE, ToolGlyph::Pause, {"Ctrl+P"}},
        {ID_GO_TO_GENERATION, ToolGlyph::None, {"Ctrl+G"}},
        {ID_SPEED_FASTER, ToolGlyph::None, {"]"}},
        {ID_SPEED_SLOWER, ToolGlyph::None, {"["}},
        {ID_ZOOM_IN, ToolGlyph::ZoomIn, {"+", "=", "Ctrl++", "Ctrl+="}},
        {ID_ZOOM_OUT, ToolGlyph::ZoomOut, {"-", "Ctrl+-"}},
        {ID_CELLS_ROTATE_LEFT, ToolGlyph::RotateLeft, {"Ctrl+L"}},
        {ID_CELLS_FIT, ToolGlyph::Fit, {"F"}},
        {ID_CELLS_FIND_FIRST, ToolGlyph::None, {"Ctrl+F"}},
        {ID_CELLS_FIND_NEXT, ToolGlyph::None, {"F3"}},
        {ID_CELLS_CENTER, ToolGlyph::None, {"C"}},
        {ID_TOOLS_EDIT, ToolGlyph::None, {"Ctrl+E"}},
        {ID_FILE_NEW, ToolGlyph::None, {"Ctrl+N"}},
        {ID_FILE_OPEN, ToolGlyph::None, {"Ctrl+O"}},
        {ID_FILE_SAVE, ToolGlyph::None, {"Ctrl+S"}},
        {ID_FILE_SAVE_AS, ToolGlyph::None, {"Ctrl+Shift+S"}},
        // On a desktop Ctrl+Q asks to quit, as File > Exit does.
        {ID_EXIT_COMPLETELY, ToolGlyph::None, {"Ctrl+Q"}},
        {ID_EDIT_SELECT_BOARD, ToolGlyph::None, {"Ctrl+Shift+A"}},
        {ID_FILE_RELOAD, ToolGlyph::None, {"F5"}},
        {ID_HELP, ToolGlyph::None, {"F1"}},
        {ID_HELP_REQUEST, ToolGlyph::None, {"Shift+F1"}},
        {ID_EDIT_UNDO, ToolGlyph::None, {"Ctrl+Z"}},
        {ID_EDIT_REDO, ToolGlyph::None, {"Ctrl+Shift+Z", "Ctrl+Y"}},
        {ID_EDIT_CUT, ToolGlyph::None, {"Ctrl+X"}},
        {ID_EDIT_COPY, ToolGlyph::None, {"Ctrl+C"}},
        {ID_EDIT_PASTE, ToolGlyph::None, {"Ctrl+V"}},
        {ID_EDIT_CLEAR, ToolGlyph::None, {"Del"}},
        {ID_EDIT_SELECT_ALL, ToolGlyph::None, {"Ctrl+A"}},
        {ID_IDENTIFY, ToolGlyph::None, {"Ctrl+I"}},
        {ID_POPULATION_GRAPH, ToolGlyph::None, {"Ctrl+Shift+P"}},
    };
    look.zoomIn = ID_ZOOM_IN;
    look.zoomOut = ID_ZOOM_OUT;
    // Space runs a paused pattern and pauses a running one.
    look.toggles = {{"Space", {ID_TOOLS_RUN, ID_TOOLS_PAUSE}},
                    // Esc stops an analysis under way; otherwise it drops a
                    // floating paste or the selection when there is one, and
                    // pauses a run.
                    {"Esc", {ID_ANALYSIS_CANCEL, ID_EDIT_CANCEL, ID_TOOLS_PAUSE}}};
    return look;
}

}  // namespace cellarium
