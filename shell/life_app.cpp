#include "shell/life_app.h"

#include <algorithm>

#include "document/life_doc.h"
#include "document/life_view.h"
#include "shell/about_dlg.h"
#include "shell/board_size_dlg.h"
#include "shell/main_frame.h"
#include "shell/resource.h"
#include "shell/resources.h"

namespace cellarium {

const char* const kNoClipboardTextMessage =
    "The clipboard does not contain data in a format that can be read by Cellarium.  This "
    "program can read text data in the same format as one of the standard life files.";
const char* const kPasteFileName = "Paste.lif";
const char* const kPastedTitle = "Paste";
const char* const kPatternOpenFilter =
    "Pattern Files|*.lif;*.l;*.rle;*.cells;*.life;*.txt|Life Files|*.lif|XLife Files|*.l|"
    "RLE Files|*.rle|Plaintext Files|*.cells|All Files|*||";

CLifeApp::CLifeApp(PlatformServices& services, std::vector<std::string> commandLine)
    : CLifeAppBase(services, "Life"), m_commandLine(std::move(commandLine)) {}

bool CLifeApp::InitInstance() {
    SetResources(&LifeResources());
    SetRegistryKey(kCompanyKey);
    auto tmpl = std::make_unique<CSingleDocTemplate>(
        IDR_MAINFRAME, kLifeDocString, [] { return std::make_unique<CLifeDoc>(); },
        [] { return std::make_unique<CMainFrame>(); },
        [] { return std::make_unique<CLifeView>(); });
    tmpl->SetFileList(kLifeFileListFilter, kLifeFileListFolder);
    tmpl->SetOpenFilter(kPatternOpenFilter);
    AddDocTemplate(std::move(tmpl));

    CCommandLineInfo info;
    info.m_nShellCommand = CCommandLineInfo::FileNothing;
    ParseCommandLine(m_commandLine, info);
    if (!ProcessShellCommand(info)) {
        // A file named on the command line could not be opened: leave the
        // file selection screen, if it is up, for a new, empty pattern.
        if (CSingleDocTemplate* t = GetDocTemplate()) t->CloseFileList();
        OnFileNew();
    }
    return true;
}

bool CLifeApp::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CLifeApp> map = CommandMap<CLifeApp>()
                                                .On(ID_APP_ABOUT, &CLifeApp::OnAppAbout)
                                                .On(ID_PASTE_NEW, &CLifeApp::OnPasteNew)
                                                .On(ID_BOARD_SIZE, &CLifeApp::OnBoardSize);
    return map.Dispatch(*this, msg) || CLifeAppBase::OnCmdMsg(msg);
}

void CLifeApp::OnAppAbout() {
    CAboutDlg dlg(m_pMainWnd);
    dlg.DoModal();
}

void CLifeApp::OnBoardSize() {
    CBoardSizeDlg dlg(m_pMainWnd);
    if (dlg.DoModal() != IDOK) return;
    WriteProfileInt("Size", "Width", dlg.m_nWidth);
    WriteProfileInt("Size", "Height", dlg.m_nHeight);
}

std::optional<std::vector<uint8_t>> CLifeApp::ClipboardTextBytes() {
    ClipboardServices& clipboard = Services().Clipboard();
    if (std::optional<std::vector<uint8_t>> ansi = clipboard.GetClipboardData(CF_TEXT)) {
        // Up to the terminating zero, never past the block: the zero is no
        // part of the text, and would end up in the pattern's description.
        ansi->erase(std::find(ansi->begin(), ansi->end(), uint8_t(0)), ansi->end());
        return ansi;
    }
    std::optional<std::vector<uint8_t>> wide = clipboard.GetClipboardData(CF_UNICODETEXT);
    if (!wide) return std::nullopt;
    // UTF-16 units, little-endian, up to the terminating zero (or the end of
    // the block, when it has none: nothing past it is read).
    std::u16string text;
    for (std::size_t i = 0; i + 1 < wide->size(); i += 2) {
        const char16_t unit = char16_t((*wide)[i] | ((*wide)[i + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    std::vector<uint8_t> bytes = clipboard.ConvertToAnsi(text);
    bytes.erase(std::find(bytes.begin(), bytes.end(), uint8_t(0)), bytes.end());
    return bytes;
}

void CLifeApp::OnPasteNew() {
    ClipboardServices& clipboard = Services().Clipboard();
    if (!clipboard.OpenClipboard()) return;
    // The clipboard stays open until the pasted pattern has been opened.
    struct ClipboardCloser {
        ClipboardServices& clipboard;
        ~ClipboardCloser() { clipboard.CloseClipboard(); }
    } closer{clipboard};

    std::optional<std::vector<uint8_t>> bytes = ClipboardTextBytes();
    if (!bytes) {
        ShowMessage(kNoClipboardTextMessage, MB_OK);
        return;
    }

    // The text goes to a folder of our own, so that no file of the user's
    // (a "Paste.lif" in the working directory, say) is ever written over or
    // deleted.
    FileServices& files = Services().Files();
    const std::optional<std::string> folder = files.MakePrivateTempFolder();
    if (!folder) return;
    const std::string path = *folder + "/" + kPasteFileName;
    {
        FileError cause = FileError::None;
        std::unique_ptr<PlatformFile> file =
            files.OpenFile(path, kModeCreate | kModeCreateNew | kModeReadWrite, cause);
        bool written = file != nullptr;
        if (written && !bytes->empty()) written = file->Write(bytes->data(), bytes->size(), cause);
        if (file && !file->Close(cause)) written = false;
        if (!written) {
            files.RemoveFile(path);
            files.RemoveFolder(*folder);
            return;
        }
    }

    // Opened as a new, untitled pattern: the file and its folder are gone
    // afterwards, so nothing may later be saved or reloaded by that name,
    // and the pattern is in no file of the user's yet. Not a recent file.
    CSingleDocTemplate* t = GetDocTemplate();
    auto* current = t ? dynamic_cast<CLifeDoc*>(t->GetDocument()) : nullptr;
    if (current != nullptr) current->SetOpeningPaste(true);
    CDocument* doc = t ? t->OpenDocumentFile(&path) : nullptr;
    if (current != nullptr) current->SetOpeningPaste(false);
    if (doc != nullptr) {
        doc->SetPathName(std::string());
        doc->SetTitle(kPastedTitle);
        doc->SetModifiedFlag();
        t->CloseFileList();
    }
    files.RemoveFile(path);
    files.RemoveFolder(*folder);
}

}  // namespace cellarium
