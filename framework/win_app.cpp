#include "framework/win_app.h"

#include <cassert>

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
    std::optional<int> v = services_.ReadProfileInt(m_pszRegistryKey, m_pszAppName, section, key);
    return v ? *v : defaultValue;
}

bool CWinApp::WriteProfileInt(const std::string& section, const std::string& key, int value) {
    return services_.WriteProfileInt(m_pszRegistryKey, m_pszAppName, section, key, value);
}

void CWinApp::AddDocTemplate(std::unique_ptr<CSingleDocTemplate> tmpl) {
    template_ = std::move(tmpl);
}

CDocument* CWinApp::OpenDocumentFile(const std::string& path) {
    if (!template_) return nullptr;
    return template_->OpenDocumentFile(&path);
}

void CWinApp::OnFileNew() {
    if (template_) template_->OpenDocumentFile(nullptr);
}

void CWinApp::OnFileOpen() {
    if (template_ && m_pMainWnd != nullptr)
        services_.ShowFileList(*m_pMainWnd, template_->FileListFilter(),
                               template_->FileListFolder());
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
            return true;
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
    if (code == 0 || before != after) services_.SetWaitCursor(after);
}

bool CWinApp::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CWinApp> map = CommandMap<CWinApp>()
                                               .On(ID_FILE_NEW, &CWinApp::OnFileNew)
                                               .On(ID_FILE_OPEN, &CWinApp::OnFileOpen);
    return map.Dispatch(*this, msg);
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
    return Platform().MessageBox(request);
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
    std::optional<std::string> chosen = Platform().RunFileDialog(m_ofn);
    if (!chosen) return IDCANCEL;
    path_ = *chosen;
    return IDOK;
}

}  // namespace cellarium
