#include "framework/wnd.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "framework/control_host.h"
#include "framework/win_app.h"

namespace cellarium {

CWnd::~CWnd() {
    if (created_ && TheApp() != nullptr) Platform().Windows().WindowDestroyed(*this);
}

void CWnd::CreateWindowObject() {
    if (created_) return;
    created_ = true;
    Platform().Windows().WindowCreated(*this);
}

void CWnd::DestroyWindow() {
    if (!created_) return;
    created_ = false;
    Platform().Windows().WindowDestroyed(*this);
}

TimerHandle CWnd::SetTimer(unsigned id, unsigned ms) {
    if (!created_) return 0;
    return Platform().Windows().SetTimer(*this, id, ms);
}

bool CWnd::KillTimer(TimerHandle handle) {
    if (!created_ || handle == 0) return false;
    return Platform().Windows().KillTimer(*this, handle);
}

void CWnd::Invalidate(bool erase) {
    InvalidateRect(nullptr, erase);
}

void CWnd::InvalidateRect(const CRect* rect, bool erase) {
    if (created_) Platform().Windows().Invalidate(*this, rect, erase);
}

void CWnd::UpdateWindow() {
    if (created_) Platform().Windows().UpdateWindow(*this);
}

void CWnd::GetClientRect(CRect* rect) const {
    *rect = created_ ? Platform().Windows().GetClientRect(*this) : CRect{};
}

int CWnd::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
    MessageBoxRequest request;
    request.text = text;
    request.caption = caption.empty() && TheApp() ? TheApp()->m_pszAppName : caption;
    request.type = type;
    return Platform().Dialogs().MessageBox(request);
}

void CWnd::OnTimer(unsigned) {}
bool CWnd::OnEraseBkgnd(CDC&) {
    return false;
}
void CWnd::OnPaint(CDC&) {}
void CWnd::OnSize(int, int) {}
void CWnd::OnKeyDown(unsigned, unsigned, unsigned) {}
void CWnd::OnLButtonDown(unsigned, CPoint) {}
void CWnd::OnMouseMove(unsigned, CPoint) {}
void CWnd::OnLButtonUp(unsigned, CPoint) {}
void CWnd::OnRButtonDown(unsigned, CPoint) {}
void CWnd::OnRButtonUp(unsigned, CPoint) {}
void CWnd::OnHScroll(unsigned, unsigned) {}
void CWnd::OnVScroll(unsigned, unsigned) {}

void CWnd::SetWindowText(const std::string& text) {
    if (host_) host_->SetDlgItemText(controlId_, text);
}

std::string CWnd::GetWindowText() const {
    return host_ ? host_->GetDlgItemText(controlId_) : std::string();
}

void CWnd::ShowWindow(bool show) {
    if (host_) host_->ShowControl(controlId_, show);
}

bool CWnd::IsWindowVisible() const {
    return host_ && host_->IsControlVisible(controlId_);
}

void CWnd::EnableWindow(bool enable) {
    if (host_) host_->EnableControl(controlId_, enable);
}

void CEdit::SetReadOnly(bool readOnly) {
    if (host_) host_->SetControlReadOnly(controlId_, readOnly);
}

bool CEdit::IsReadOnly() const {
    return host_ && host_->IsControlReadOnly(controlId_);
}

int CButton::GetCheck() const {
    return host_ ? host_->IsDlgButtonChecked(controlId_) : 0;
}

void CButton::SetCheck(int check) {
    if (host_) host_->CheckDlgButton(controlId_, check);
}

namespace {

int CompareNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           CompareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

}  // namespace

int CComboBox::AddString(const std::string& text) {
    ControlState* c = host_ ? host_->Find(controlId_) : nullptr;
    if (c == nullptr) return CB_ERR;
    std::size_t at = c->items.size();
    if (c->tmpl != nullptr && (c->tmpl->style & CBS_SORT) != 0) {
        at = 0;
        while (at < c->items.size() && CompareNoCase(c->items[at].text, text) <= 0) ++at;
    }
    c->items.insert(c->items.begin() + std::ptrdiff_t(at), ComboItem{text, 0, {}});
    if (c->curSel >= int(at)) ++c->curSel;
    host_->Changed(controlId_);
    return int(at);
}

int CComboBox::SetItemData(int index, uintptr_t data) {
    ControlState* c = host_ ? host_->Find(controlId_) : nullptr;
    if (c == nullptr || index < 0 || index >= int(c->items.size())) return CB_ERR;
    c->items[std::size_t(index)].data = data;
    return 0;
}

int CComboBox::SetItemPicture(int index, std::vector<std::string> rows) {
    ControlState* c = host_ ? host_->Find(controlId_) : nullptr;
    if (c == nullptr || index < 0 || index >= int(c->items.size())) return CB_ERR;
    c->items[std::size_t(index)].picture = std::move(rows);
    host_->Changed(controlId_);
    return 0;
}

void CComboBox::ResetContent() {
    ControlState* c = host_ ? host_->Find(controlId_) : nullptr;
    if (c == nullptr) return;
    c->items.clear();
    c->curSel = -1;
    host_->Changed(controlId_);
}

uintptr_t CComboBox::GetItemData(int index) const {
    const ControlState* c = host_ ? host_->Find(controlId_) : nullptr;
    if (c == nullptr || index < 0 || index >= int(c->items.size())) return uintptr_t(CB_ERR);
    return c->items[std::size_t(index)].data;
}

int CComboBox::SelectString(int start, const std::string& text) {
    ControlState* c = host_ ? host_->Find(controlId_) : nullptr;
    if (c == nullptr) return CB_ERR;
    const int n = int(c->items.size());
    for (int k = 0; k < n; ++k) {
        int i = (start + 1 + k) % n;
        if (i < 0) i += n;
        if (StartsWithNoCase(c->items[std::size_t(i)].text, text)) {
            c->curSel = i;
            host_->Changed(controlId_);
            return i;
        }
    }
    return CB_ERR;
}

int CComboBox::GetCurSel() const {
    const ControlState* c = host_ ? host_->Find(controlId_) : nullptr;
    return c == nullptr ? CB_ERR : c->curSel;
}

int CComboBox::SetCurSel(int index) {
    ControlState* c = host_ ? host_->Find(controlId_) : nullptr;
    if (c == nullptr) return CB_ERR;
    if (index < 0 || index >= int(c->items.size())) {
        c->curSel = -1;
        host_->Changed(controlId_);
        return CB_ERR;
    }
    c->curSel = index;
    host_->Changed(controlId_);
    return index;
}

int CComboBox::GetCount() const {
    const ControlState* c = host_ ? host_->Find(controlId_) : nullptr;
    return c == nullptr ? CB_ERR : int(c->items.size());
}

std::string CComboBox::GetLBText(int index) const {
    const ControlState* c = host_ ? host_->Find(controlId_) : nullptr;
    if (c == nullptr || index < 0 || index >= int(c->items.size())) return std::string();
    return c->items[std::size_t(index)].text;
}

}  // namespace cellarium
