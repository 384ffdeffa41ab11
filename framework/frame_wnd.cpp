#include "framework/frame_wnd.h"

#include <algorithm>

#include "framework/document.h"
#include "framework/view.h"
#include "framework/win_app.h"

namespace cellarium {

CDialogBar::~CDialogBar() {
    CDialogBar::DestroyWindow();
}

bool CDialogBar::Create(CFrameWnd* parent, unsigned templateId, unsigned style, unsigned id) {
    CWinApp* app = TheApp();
    const DialogTemplate* tmpl = app ? app->FindDialogTemplate(templateId) : nullptr;
    if (tmpl == nullptr || parent == nullptr) return false;
    BuildControls(*tmpl);
    frame_ = parent;
    barId_ = id;
    barStyle_ = style;
    visible_ = true;
    CreateWindowObject();
    parent->AddControlBar(this);
    Platform().Dialogs().DialogBarCreated(*this);
    return true;
}

void CDialogBar::DestroyWindow() {
    if (frame_ != nullptr) {
        frame_->RemoveControlBar(this);
        if (TheApp() != nullptr) Platform().Dialogs().DialogBarDestroyed(*this);
        frame_ = nullptr;
    }
    ControlHost::DestroyWindow();
}

void CDialogBar::ShowBar(bool show) {
    visible_ = show;
    if (TheApp() != nullptr) Platform().Dialogs().ControlChanged(*this, 0);
}

bool CDialogBar::OnCmdMsg(const CmdMsg& msg) {
    if (ControlHost::OnCmdMsg(msg)) return true;
    return frame_ != nullptr && frame_->OnCmdMsg(msg);
}

CFrameWnd::~CFrameWnd() {
    CFrameWnd::DestroyWindow();
}

bool CFrameWnd::LoadFrame(unsigned resourceId) {
    resourceId_ = resourceId;
    CreateWindowObject();
    Platform().Windows().FrameCreated(*this);
    if (!OnCreate()) {
        DestroyWindow();
        return false;
    }
    return true;
}

bool CFrameWnd::OnCreate() {
    return true;
}

void CFrameWnd::DestroyWindow() {
    if (view_) {
        view_->DestroyWindow();
        view_.reset();
    }
    for (CDialogBar* bar : std::vector<CDialogBar*>(bars_)) bar->DestroyWindow();
    bars_.clear();
    if (IsWindowCreated()) {
        if (TheApp() != nullptr) {
            Platform().Windows().FrameDestroyed(*this);
            if (TheApp()->m_pMainWnd == this) TheApp()->m_pMainWnd = nullptr;
        }
        CWnd::DestroyWindow();
    }
}

void CFrameWnd::SetView(std::unique_ptr<CView> view) {
    if (view_) view_->DestroyWindow();
    view_ = std::move(view);
    if (view_) view_->CreateWindowObject();
}

CDocument* CFrameWnd::GetActiveDocument() const {
    return view_ ? view_->GetDocument() : nullptr;
}

void CFrameWnd::AddControlBar(CDialogBar* bar) {
    if (std::find(bars_.begin(), bars_.end(), bar) == bars_.end()) bars_.push_back(bar);
}

void CFrameWnd::RemoveControlBar(CDialogBar* bar) {
    bars_.erase(std::remove(bars_.begin(), bars_.end(), bar), bars_.end());
}

CDialogBar* CFrameWnd::GetControlBar(unsigned id) const {
    for (CDialogBar* bar : bars_)
        if (bar->BarId() == id) return bar;
    return nullptr;
}

void CFrameWnd::SetCommandBar(const CommandBarDesc& desc) {
    commandBar_ = desc;
    toolbarStates_.clear();
    if (desc.toolbar != nullptr) {
        for (unsigned id : desc.toolbar->buttons)
            toolbarStates_.push_back(ButtonState{id, true, 0});
        for (const ToolbarChoice& choice : desc.toolbar->choices)
            for (unsigned id : choice.commands) toolbarStates_.push_back(ButtonState{id, true, 0});
    }
    Platform().Frames().InstallCommandBar(*this, commandBar_);
}

CCmdUI CFrameWnd::QueryCommandState(unsigned id) {
    CCmdUI ui(id);
    ui.DoUpdate(*this, true);
    return ui;
}

void CFrameWnd::OnUpdateCmdUI() {
    bool changed = false;
    for (ButtonState& b : toolbarStates_) {
        CCmdUI ui = QueryCommandState(b.id);
        if (ui.m_bEnabled != b.enabled || ui.m_nCheck != b.check) changed = true;
        b.enabled = ui.m_bEnabled;
        b.check = ui.m_nCheck;
    }
    if (changed) Platform().Frames().CommandStatesChanged(*this);
}

bool CFrameWnd::OnCmdMsg(const CmdMsg& msg) {
    if (view_ && view_->OnCmdMsg(msg)) return true;
    if (OnFrameCmdMsg(msg)) return true;
    CWinApp* app = TheApp();
    return app != nullptr && app->OnCmdMsg(msg);
}

bool CFrameWnd::OnFrameCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CFrameWnd> map =
        CommandMap<CFrameWnd>().On(ID_HELP_REQUEST, &CFrameWnd::HelpRequested);
    return map.Dispatch(*this, msg) || CWnd::OnCmdMsg(msg);
}

void CFrameWnd::InitialUpdateFrame(CDocument*) {
    if (view_) view_->OnInitialUpdate();
}

void CFrameWnd::OnFileListOpened() {
    fileListShown_ = true;
}

void CFrameWnd::OnFileListClosed() {
    fileListShown_ = false;
}

void CFrameWnd::OnFileListChoose(const std::string& path) {
    if (CWinApp* app = TheApp()) app->OpenDocumentFile(path);
}

void CFrameWnd::OnFileListOpenOther() {
    if (CWinApp* app = TheApp()) app->OpenOtherFile();
}

void CFrameWnd::OnFileListCancel() {
    CWinApp* app = TheApp();
    CSingleDocTemplate* t = app ? app->GetDocTemplate() : nullptr;
    // Back to the pattern that was open, as it was; with none there is
    // nothing to go back to.
    if (t != nullptr && t->HasOpenedDocument()) t->CloseFileList();
}

void CFrameWnd::OnClose() {
    CDocument* doc = GetActiveDocument();
    if (doc != nullptr && !doc->SaveModified()) return;
    // The documents are closed by the application once the loop has ended,
    // not here: closing them destroys this frame.
    if (TheApp() != nullptr) Platform().Windows().EndMessageLoop(0);
}

}  // namespace cellarium
