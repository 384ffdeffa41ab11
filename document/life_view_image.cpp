// Save As Image: the whole current board, border included, as a GIF image
// whose colour table is the current palette.
#include "colour/gif_writer.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "framework/win_app.h"

namespace cellarium {

const char* const kImageFilter = "GIF Files (*.gif)|*.gif||";

std::string ImageExportFailedMessage(const std::string& path, int code) {
    return "Unable to save the image " + path + ". " + GifResultMessage(code);
}

void CLifeView::OnSaveAsImage() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr) return;
    CFileDialog dlg(false, "gif", doc->GetPathName() + ".gif",
                    OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kImageFilter);
    if (dlg.DoModal() != IDOK) return;
    // The board and palette as they are when the user confirms: a run left
    // going may have stepped while the dialog was open.
    if (!doc->HasBoards() || CurrentPalette() == nullptr) return;
    int result = kGifOk;
    {
        CWaitCursor wait;
        const CellBoard& board = *doc->CurrentBoard();
        // The image goes to a temporary file beside the target and replaces it
        // only when complete: a failed export leaves no partial image, and a
        // file already at the target stays as it was.
        result = ExportBoardGif(dlg.GetPathName(), GifCells{board.cells, board.width, board.height},
                                *CurrentPalette());
    }
    // The user is told when no image was saved, rather than left to find a
    // missing or broken file later.
    if (result != kGifOk)
        MessageBox(ImageExportFailedMessage(dlg.GetPathName(), result), std::string(),
                   MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace cellarium
