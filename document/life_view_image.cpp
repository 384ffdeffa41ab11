// Save As Image, Export as RLE and Copy as RLE (life_view_image.h).
#include "document/life_view_image.h"

#include "colour/gif_writer.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "document/pattern_io.h"
#include "framework/safe_replace.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kImageFilter = "GIF Files (*.gif)|*.gif||";
const char* const kRleFilter = "RLE Files (*.rle)|*.rle||";

namespace {

// The image writer's bytes, buffered, into the file being replaced.
class ReplacingImageSink final : public ImageSink {
public:
    explicit ReplacingImageSink(CFile& file) : bytes_(file) {}
    bool Write(const uint8_t* data, std::size_t size) override {
        bytes_.Write(data, size);
        return !bytes_.Failed();
    }
    bool Finish() { return bytes_.Finish(); }

private:
    CFileByteSink bytes_;
};

}  // namespace

std::string ImageExportFailedMessage(const std::string& path, int code, bool damaged) {
    if (!damaged) return "Unable to save the image " + path + ". " + GifResultMessage(code);
    const std::string why = code == kGifOutOfMemory ? GifResultMessage(code)
                                                    : "The image could not be written completely.";
    return "Unable to save the image " + path + ". " + why + " " + MayBeDamagedText(path);
}

bool ExportControl::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<ExportControl> map =
        CommandMap<ExportControl>()
            .On(ID_SAVE_AS_IMAGE, &ExportControl::OnSaveAsImage)
            .On(ID_EXPORT_RLE, &ExportControl::OnExportRle)
            .On(ID_COPY_RLE, &ExportControl::OnCopyRle);
    return map.Dispatch(*this, msg);
}

void ExportControl::OnSaveAsImage() {
    CLifeDoc* doc = Document();
    if (doc == nullptr) return;
    CFileDialog dlg(false, "gif", doc->GetPathName() + ".gif",
                    OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kImageFilter);
    if (dlg.DoModal() != IDOK) return;
    // The board and palette as they are when the user confirms: a run left
    // going may have stepped while the dialog was open.
    if (!doc->HasBoards() || CurrentPalette() == nullptr) return;
    int result = kGifCannotCreate;
    // The image replaces a file at the path only once it is whole, like a
    // saved pattern: a failed export leaves no partial image, and a file
    // already there stays as it was (unless it could only be written in
    // place).
    ReplacingFile out;
    if (out.Open(dlg.GetPathName())) {
        CWaitCursor wait;
        const CellBoard& board = *doc->CurrentBoard();
        ReplacingImageSink sink(out.File());
        result = ExportBoardGif(sink, GifCells{board.Cells(), board.width, board.height},
                                *CurrentPalette());
        if (result == kGifOk && !sink.Finish()) result = kGifWriteFailed;
        if (result == kGifOk && !out.Commit()) result = kGifWriteFailed;
        if (result != kGifOk) out.Abandon();
    }
    // The user is told when no image was saved, rather than left to find a
    // missing or broken file later.
    if (result != kGifOk) {
        std::string text = ImageExportFailedMessage(dlg.GetPathName(), result, out.MayBeDamaged());
        // A link refused, or a name another program swapped: why, too.
        const FileError cause = out.Cause();
        if (cause == FileError::ForeignLink || cause == FileError::BrokenLink ||
            cause == FileError::ChangedMeanwhile)
            text += " " + SaveLoadFailureText(dlg.GetPathName(), cause, true, 0);
        view_.MessageBox(text, std::string(), MB_OK | MB_ICONEXCLAMATION);
    }
}

void ExportControl::OnExportRle() {
    CLifeDoc* doc = Document();
    if (doc == nullptr) return;
    CFileDialog dlg(false, "rle", doc->ProposedExportName(".rle"),
                    OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kRleFilter);
    if (dlg.DoModal() != IDOK || !doc->HasBoards()) return;
    // The document tells the user when the file could not be written.
    doc->ExportPattern(dlg.GetPathName(), CLifeDoc::ExportFormat::Rle);
}

void ExportControl::OnCopyRle() {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    const std::string text = doc->RleClipboardText();
    ClipboardServices& clipboard = Platform().Clipboard();
    // A clipboard another program holds just now is left alone, as Paste
    // leaves it.
    if (!clipboard.OpenClipboard()) return;
    clipboard.SetClipboardText(text);
    clipboard.CloseClipboard();
}

}  // namespace cellarium
