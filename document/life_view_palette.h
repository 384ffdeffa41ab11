// The colour commands: the six palette commands with their check marks, Load
// Custom Colors (a ".map" palette file), Invert Colors and Reverse Palette
// Order.
#pragma once

#include "colour/palette.h"
#include "document/view_control.h"

namespace cellarium {

class CCmdUI;

class ColourControl final : public ViewControl {
public:
    using ViewControl::ViewControl;
    bool OnCmdMsg(const CmdMsg& msg) override;

    // Makes the block the current palette (both boards re-made with it) and
    // redraws, keeping the cell at the middle of the view there.
    void ApplyPalette(PaletteBlock& palette);
    // The six palette commands (Autumn, Shades of Blue, Rainbow, Sunshine,
    // Black and White, Custom) and their check marks.
    void OnPaletteCommand(unsigned id);
    void OnUpdatePaletteCommand(CCmdUI* pCmdUI);
    void OnLoadCustomColors();
    void OnInvertColors();
    void OnReversePalette();
};

}  // namespace cellarium
