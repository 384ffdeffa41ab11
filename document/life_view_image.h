// Save As Image: the whole current board, border included, as a GIF image
// whose colour table is the current palette. Export as RLE and Copy as RLE:
// the pattern in the form other Life programs read.
#pragma once

#include "document/view_control.h"

namespace cellarium {

class ExportControl final : public ViewControl {
public:
    using ViewControl::ViewControl;
    bool OnCmdMsg(const CmdMsg& msg) override;

    void OnSaveAsImage();
    // Export as RLE...: the current board to a file the user names, as Save
    // writes but in run-length form. Copy as RLE: the same text, with the
    // plain rule, to the clipboard.
    void OnExportRle();
    void OnCopyRle();
};

}  // namespace cellarium
