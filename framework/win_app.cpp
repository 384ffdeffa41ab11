#include "framework/win_app.h"

#include <cassert>
#include <filesystem>
#include <system_error>

#include "framework/frame_wnd.h"

namespace cellarium {
namespace {

CWinApp* g_app = nullptr;

// The framework's own strings, used when the application's table has none.
std::string FrameworkString(unsigned id) {
    switch (id) {
        case kPromptInvalidFileName:
            return "Invalid file name: %1.";
        case kPromptFailedToOpen:
            return "Failed to open document %1.";
        case kPromptFailedToSave:
            return "Failed to save document %1.";
        default:
            return std::string();
    }
}

}  // namespace

CWinApp::CWinApp(PlatformServices& services, std::string appName)
    : m_pszAppName(std::move(appName)), services_(services) {
    assert(g_app == nullptr && "one application object at a time");
    g_app = this;
}

CWinApp::~CWinApp() {
    template_.reset();
    if (g_app == this) g_app = nullptr;
}

int CWinApp::ExitInstance() {
    if (template_) template_->CloseAllDocuments();
    return 0;
}

std::function<FilePicture(const std::string&)> CWinApp::FilePictureMaker(std::string& key) {
    key.clear();
    return {};
}

bool CWinApp::OnIdle(long count) {
    ++idleCalls_;
    if (count <= 0) {
        ++idleRefreshes_;
        if (m_pMainWnd != nullptr) m_pMainWnd->OnUpdateCmdUI();
        return true;
    }
    return false;
}

const DialogTemplate* CWinApp::FindDialogTemplate(unsigned id) const {
    return resources_ ? resources_->FindDialog(id) : nullptr;
}

std::string CWinApp::LoadString(unsigned id) const {
    if (resources_ != nullptr) {
        std::string s = resources_->String(id);
        if (!s.empty()) return s;
    }
    return FrameworkString(id);
}

int CWinApp::GetProfileInt(const std::string& section, const std::string& key, int defaultValue) {
    std::optional<int> v =
        services_.Settings().ReadProfileInt(m_pszRegistryKey, m_pszAppName, section, key);
    return v ? *v : defaultValue;
}

bool CWinApp::WriteProfileInt(const std::string& section, const std::string& key, int value) {
    return services_.Settings().WriteProfileInt(m_pszRegistryKey, m_pszAppName, section, key,
                                                value);
}

std::string CWinApp::GetProfileString(const std::string& section, const std::string& key) {
    std::optional<std::string> v =
        services_.Settings().ReadProfileString(m_pszRegistryKey, m_pszAppName, section, key);
    return v ? *v : std::string();
}

bool CWinApp::WriteProfileString(const std::string& section, const std::string& key,
                                 const std::string& value) {
    return services_.Settings().WriteProfileString(m_pszRegistryKey, m_pszAppName, section, key,
                                                   value);
}

namespace {

const char* const kRecentSection = "Recent File List";

std::string RecentKey(int n) {
    return "File" + std::to_string(n + 1);
}

}  // namespace

std::vector<std::string> CWinApp::RecentFiles() {
    std::vector<std::string> stored, kept;
    for (int n = 0; n < kRecentFiles; ++n) {
        std::string path = GetProfileString(kRecentSection, RecentKey(n));
        if (!path.empty()) stored.push_back(std::move(path));
    }
    for (const std::string& path : stored)
        if (services_.Files().QueryFile(path).kind == FileKind::Regular) kept.push_back(path);
    if (kept.size() != stored.size())
        for (int n = 0; n < kRecentFiles; ++n)
            WriteProfileString(kRecentSection, RecentKey(n),
                               std::size_t(n) < kept.size() ? kept[std::size_t(n)] : "");
    return kept;
}

void CWinApp::AddToRecentFileList(const std::string& path) {
    if (path.empty()) return;
    std::vector<std::string> list{path};
    for (int n = 0; n < kRecentFiles; ++n) {
        std::string entry = GetProfileString(kRecentSection, RecentKey(n));
        if (!entry.empty() && entry != path) list.push_back(std::move(entry));
    }
    for (int n = 0; n < kRecentFiles; ++n)
        WriteProfileString(kRecentSection, RecentKey(n),
                           std::size_t(n) < list.size() ? list[std::size_t(n)] : "");
}

void CWinApp::AddDocTemplate(std::unique_ptr<CSingleDocTemplate> tmpl) {
    template_ = std::move(tmpl);
}

CDocument* CWinApp::OpenDocumentFile(const std::string& path) {
    if (!template_) return nullptr;
    CDocument* doc = template_->OpenDocumentFile(&path);
    if (doc != nullptr) {
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(path, error);
        AddToRecentFileList(error ? path : full.lexically_normal().string());
    }
    return doc;
}

CDocument* CWinApp::OpenOtherFile() {
    if (!template_) return nullptr;
    std::string filter = template_->OpenFilter();
    if (filter.empty()) filter = template_->FileListFilter();
    CFileDialog dlg(true, std::string(), std::string(), OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                    filter);
    if (dlg.DoModal() != IDOK) return nullptr;
    return OpenDocumentFile(dlg.GetPathName());
}

void CWinApp::OnFileNew() {
    if (template_) template_->OpenDocumentFile(nullptr);
}

void CWinApp::OnFileOpen() {
    if (template_) template_->ShowFileList();
}

void CWinApp::ParseCommandLine(const std::vector<std::string>& args, CCommandLineInfo& info) {
    for (const std::string& a : args) {
        // Options start with "-"; everything else names a file.
        if (a.empty() || a[0] == '-') continue;
        info.m_strFileName = a;
        info.m_nShellCommand = CCommandLineInfo::FileOpen;
        break;
    }
}

bool CWinApp::ProcessShellCommand(CCommandLineInfo& info) {
    switch (info.m_nShellCommand) {
        case CCommandLineInfo::FileNew:
            OnFileNew();
            return template_ && template_->GetDocument();
        case CCommandLineInfo::FileOpen:
            return OpenDocumentFile(info.m_strFileName) != nullptr;
        case CCommandLineInfo::FileNothing:
            // Nothing named: the user starts at the file selection screen.
            return template_ && template_->ShowFileList();
    }
    return false;
}

void CWinApp::DoWaitCursor(int code) {
    const bool before = waitCount_ > 0;
    if (code != 0) {
        waitCount_ += code;
        if (waitCount_ < 0) waitCount_ = 0;
    }
    const bool after = waitCount_ > 0;
    if (code == 0 || before != after) services_.Windows().SetWaitCursor(after);
}

bool CWinApp::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CWinApp> map =
        CommandMap<CWinApp>()
            .On(ID_FILE_NEW, &CWinApp::OnFileNew)
            .On(ID_FILE_OPEN, &CWinApp::OnFileOpen)
            .OnRange(ID_FILE_RECENT_FIRST, ID_FILE_RECENT_LAST, CN_COMMAND, &CWinApp::OnFileRecent)
            .OnUpdateRange(ID_FILE_RECENT_FIRST, ID_FILE_RECENT_LAST, &CWinApp::OnUpdateFileRecent);
    return map.Dispatch(*this, msg);
}

void CWinApp::OnFileRecent(unsigned id) {
    const std::vector<std::string> recent = RecentFiles();
    const std::size_t n = id - ID_FILE_RECENT_FIRST;
    if (n < recent.size()) OpenDocumentFile(recent[n]);
}

void CWinApp::OnUpdateFileRecent(CCmdUI* pCmdUI) {
    const std::vector<std::string> recent = RecentFiles();
    const std::size_t n = pCmdUI->m_nID - ID_FILE_RECENT_FIRST;
    pCmdUI->Enable(n < recent.size());
    if (n >= recent.size()) {
        pCmdUI->SetText(n == 0 ? "(no recent files)" : " ");
        return;
    }
    const std::string& path = recent[n];
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    pCmdUI->SetText("&" + std::to_string(n + 1) + " " + name);
}

CWinApp* TheApp() {
    return g_app;
}

CFrameWnd* MainWindow() {
    return g_app ? g_app->m_pMainWnd : nullptr;
}

PlatformServices& Platform() {
    assert(g_app != nullptr);
    return g_app->Services();
}

int ShowMessage(const std::string& text, unsigned type) {
    if (CFrameWnd* frame = MainWindow()) return frame->MessageBox(text, std::string(), type);
    MessageBoxRequest request;
    request.text = text;
    request.caption = g_app ? g_app->m_pszAppName : std::string();
    request.type = type;
    return Platform().Dialogs().MessageBox(request);
}

CWaitCursor::CWaitCursor() {
    if (g_app) g_app->DoWaitCursor(1);
}

CWaitCursor::~CWaitCursor() {
    if (g_app) g_app->DoWaitCursor(-1);
}

CFileDialog::CFileDialog(bool open, std::string defaultExt, std::string fileName, unsigned flags,
                         std::string filter) {
    m_ofn.open = open;
    m_ofn.defaultExt = std::move(defaultExt);
    m_ofn.fileName = std::move(fileName);
    m_ofn.flags = flags;
    m_ofn.filter = std::move(filter);
}

int CFileDialog::DoModal() {
    std::optional<std::string> chosen = Platform().Dialogs().RunFileDialog(m_ofn);
    if (!chosen) return IDCANCEL;
    path_ = *chosen;
    return IDOK;
}

}  // namespace cellarium
