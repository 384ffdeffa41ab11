#include "framework/document.h"

#include "framework/file.h"
#include "framework/frame_wnd.h"
#include "framework/view.h"
#include "framework/win_app.h"

namespace cellarium {
namespace {

std::string Fill(const char* pattern, const std::string& path) {
    std::string out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == '1') {
            out += path;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

std::string SaveLoadFailureText(const std::string& path, FileError cause, bool saving,
                                unsigned defaultPromptId) {
    switch (cause) {
        case FileError::FileNotFound:
            // Saving, it is the folder that is missing.
            return saving ? Fill("%1 contains an invalid path.", path)
                          : Fill("%1 was not found.", path);
        case FileError::BadPath:
            return Fill("%1 contains an invalid path.", path);
        case FileError::TooManyOpenFiles:
            return Fill("%1 could not be opened because there are too many open files.", path);
        case FileError::AccessDenied:
            return saving ? Fill("%1 is read-only or cannot be written.", path)
                          : Fill("%1 cannot be accessed.", path);
        case FileError::SharingViolation:
            return Fill("%1 is in use by another program.", path);
        case FileError::DiskFull:
            return Fill("There is not enough space on the disk to save %1.", path);
        case FileError::HardIO:
            return Fill("A disk error occurred while accessing %1.", path);
        case FileError::EndOfFile:
            return Fill("%1 ended unexpectedly.", path);
        case FileError::AlreadyExists:
            return Fill("%1 already exists.", path);
        case FileError::OutOfMemory:
            return saving ? Fill("There is not enough memory to save %1.", path)
                          : Fill("There is not enough memory to open %1.", path);
        case FileError::ForeignLink:
            return Fill("%1 is a link owned by another user; not followed.", path);
        case FileError::BrokenLink:
            return Fill("%1 is a link that leads nowhere usable; not followed.", path);
        case FileError::ChangedMeanwhile:
            return saving ? Fill(
                                "Another program changed %1 while it was being saved; it was not "
                                "saved.",
                                path)
                          : Fill("Another program changed %1 while it was being opened.", path);
        case FileError::IsPipe:
            return Fill("%1 is a pipe, not a file.", path);
        case FileError::IsDevice:
            return Fill("%1 is a device, not a file.", path);
        case FileError::None:
        case FileError::Generic:
            break;
    }
    CWinApp* app = TheApp();
    std::string prompt = app ? app->LoadString(defaultPromptId) : std::string();
    if (prompt.empty())
        prompt = saving ? "Failed to save document %1." : "Failed to open document %1.";
    return Fill(prompt.c_str(), path);
}

bool CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const std::string&) {
    DeleteContents();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const std::string&) {
    SetModifiedFlag(false);
    return true;
}

void CDocument::OnCloseDocument() {
    DeleteContents();
}

void CDocument::SetPathName(const std::string& path) {
    m_strPathName = path;
    m_strTitle = FileTitleOf(path);
    UpdateFrameTitle();
}

void CDocument::SetTitle(const std::string& title) {
    m_strTitle = title;
    UpdateFrameTitle();
}

void CDocument::SetModifiedFlag(bool modified) {
    if (m_bModified == modified) return;
    m_bModified = modified;
    UpdateFrameTitle();
}

std::string CDocument::FrameTitle() const {
    CWinApp* app = TheApp();
    std::string program = app ? app->m_pszAppName : std::string();
    if (m_pDocTemplate != nullptr) {
        const std::string t = m_pDocTemplate->GetDocString(CSingleDocTemplate::windowTitle);
        if (!t.empty()) program = t;
    }
    if (m_pDocTemplate == nullptr || !m_pDocTemplate->HasOpenedDocument() || m_strTitle.empty())
        return program;
    return m_strTitle + (m_bModified ? "*" : "") + " - " + program;
}

void CDocument::UpdateFrameTitle() {
    CFrameWnd* frame = m_pDocTemplate ? m_pDocTemplate->GetFrame() : nullptr;
    if (frame != nullptr && TheApp() != nullptr)
        Platform().Frames().SetFrameTitle(*frame, FrameTitle());
}

void CDocument::ReportSaveLoadException(const std::string& path, FileError cause, bool saving,
                                        unsigned defaultPromptId) {
    ShowMessage(SaveLoadFailureText(path, cause, saving, defaultPromptId),
                MB_OK | MB_ICONEXCLAMATION);
}

bool CDocument::DoSave(const std::string& path, bool replace) {
    std::string newName = path;
    if (newName.empty()) {
        CFileDialog dlg(false, std::string(), std::string(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                        std::string());
        PrepareSaveAs(dlg.m_ofn);
        if (dlg.DoModal() != IDOK) return false;
        newName = dlg.GetPathName();
    }
    CWaitCursor wait;
    if (!OnSaveDocument(newName)) return false;
    if (replace) {
        SetPathName(newName);
        SetModifiedFlag(false);
    }
    return true;
}

void CDocument::PrepareSaveAs(FileDialogRequest& request) const {
    std::string ext;
    if (m_pDocTemplate != nullptr) {
        ext = m_pDocTemplate->GetDocString(CSingleDocTemplate::filterExt);
        const std::string name = m_pDocTemplate->GetDocString(CSingleDocTemplate::filterName);
        if (!name.empty() && !ext.empty()) request.filter = name + "|*" + ext + "||";
    }
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
    request.defaultExt = ext;
    request.fileName = m_strPathName.empty() ? m_strTitle : m_strPathName;
}

bool CDocument::DoFileSave() {
    return DoSave(SavePathWithoutAsking());
}

bool CDocument::SaveModified() {
    if (!IsModified()) return true;
    std::string name = m_strTitle.empty() ? std::string("Untitled") : m_strTitle;
    switch (ShowMessage("Save changes to " + name + "?", MB_YESNOCANCEL)) {
        case IDCANCEL:
            return false;
        case IDYES:
            return DoFileSave();
        default:
            return true;
    }
}

void CDocument::OnFileSave() {
    DoFileSave();
}

void CDocument::OnFileSaveAs() {
    DoSave(std::string());
}

bool CDocument::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CDocument> map = CommandMap<CDocument>()
                                                 .On(ID_FILE_SAVE, &CDocument::OnFileSave)
                                                 .On(ID_FILE_SAVE_AS, &CDocument::OnFileSaveAs);
    return map.Dispatch(*this, msg);
}

CSingleDocTemplate::CSingleDocTemplate(unsigned resourceId, std::string docString, DocFactory doc,
                                       FrameFactory frame, ViewFactory view)
    : resourceId_(resourceId),
      docString_(std::move(docString)),
      makeDoc_(std::move(doc)),
      makeFrame_(std::move(frame)),
      makeView_(std::move(view)) {}

CSingleDocTemplate::~CSingleDocTemplate() {
    DestroyFrameAndDocument();
}

std::string CSingleDocTemplate::GetDocString(DocStringIndex index) const {
    std::size_t start = 0;
    for (int i = 0; i < int(index); ++i) {
        std::size_t lf = docString_.find('\n', start);
        if (lf == std::string::npos) return std::string();
        start = lf + 1;
    }
    std::size_t end = docString_.find('\n', start);
    return docString_.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void CSingleDocTemplate::DestroyFrameAndDocument() {
    opened_ = false;
    if (frame_) {
        frame_->DestroyWindow();
        frame_.reset();
    }
    doc_.reset();
}

bool CSingleDocTemplate::EnsureFrame(bool& created) {
    CWinApp* app = TheApp();
    created = false;
    if (!doc_) {
        doc_ = makeDoc_();
        if (!doc_) return false;
        doc_->SetDocTemplate(this);
        created = true;
    }
    if (!frame_) {
        frame_ = makeFrame_();
        if (!frame_) {
            DestroyFrameAndDocument();
            return false;
        }
        // The frame is the owner of whatever the open shows.
        if (app != nullptr && app->m_pMainWnd == nullptr) app->m_pMainWnd = frame_.get();
        if (!frame_->LoadFrame(resourceId_)) {
            DestroyFrameAndDocument();
            return false;
        }
        std::unique_ptr<CView> view = makeView_();
        view->AttachTo(frame_.get(), doc_.get());
        doc_->SetView(view.get());
        frame_->SetView(std::move(view));
    }
    return true;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const std::string* path) {
    CWinApp* app = TheApp();
    const bool hadDocument = doc_ != nullptr;
    if (hadDocument && !doc_->SaveModified()) return nullptr;
    bool created = false;
    if (!EnsureFrame(created)) return nullptr;
    // A document made only to stand behind the file selection screen has
    // never been opened: a failure now leaves it as it is.

    if (path == nullptr || path->empty()) {
        std::string name = GetDocString(docName);
        doc_->SetTitle(name.empty() ? std::string("Untitled") : name);
        if (!doc_->OnNewDocument()) {
            if (created) DestroyFrameAndDocument();
            return nullptr;
        }
    } else {
        CWaitCursor wait;
        const bool wasModified = doc_->IsModified();
        doc_->SetModifiedFlag(false);
        if (!doc_->OnOpenDocument(*path)) {
            if (created) {
                DestroyFrameAndDocument();
            } else {
                // The document keeps what it held before.
                doc_->SetModifiedFlag(wasModified);
            }
            return nullptr;
        }
        doc_->SetPathName(*path);
    }
    if (app != nullptr) app->m_pMainWnd = frame_.get();
    opened_ = true;
    doc_->UpdateFrameTitle();
    CloseFileList();
    frame_->InitialUpdateFrame(doc_.get());
    return doc_.get();
}

bool CSingleDocTemplate::ShowFileList() {
    bool created = false;
    if (!EnsureFrame(created)) return false;
    if (CWinApp* app = TheApp()) {
        app->m_pMainWnd = frame_.get();
        FileListRequest request;
        request.filter = fileListFilter_;
        request.folder = fileListFolder_;
        request.documentsFolder = app->m_strDocumentsFolder;
        request.samplesFolder = app->m_strSamplesFolder;
        request.recent = app->RecentFiles();
        request.canCancel = opened_;
        request.makePicture = app->FilePictureMaker(request.pictureKey);
        Platform().Frames().ShowFileList(*frame_, request);
    }
    return true;
}

void CSingleDocTemplate::CloseFileList() {
    if (frame_ && frame_->FileListShown() && TheApp() != nullptr)
        Platform().Frames().CloseFileList(*frame_);
}

bool CSingleDocTemplate::FileListShown() const {
    return frame_ && frame_->FileListShown();
}

void CSingleDocTemplate::CloseAllDocuments() {
    if (doc_) doc_->OnCloseDocument();
    DestroyFrameAndDocument();
}

}  // namespace cellarium
