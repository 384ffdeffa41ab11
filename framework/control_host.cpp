#include "framework/control_host.h"

#include "framework/win_app.h"

namespace cellarium {

void ControlHost::BuildControls(const DialogTemplate& tmpl) {
    template_ = &tmpl;
    controls_.clear();
    controls_.reserve(tmpl.controls.size());
    for (const ControlTemplate& t : tmpl.controls) {
        ControlState s;
        s.tmpl = &t;
        // Edit controls and combo boxes start empty; the text of the others
        // is their caption.
        if (t.kind != ControlKind::Edit && t.kind != ControlKind::ComboBox &&
            t.kind != ControlKind::ListBox)
            s.text = t.text;
        s.visible = (t.style & WS_VISIBLE) != 0;
        s.enabled = (t.style & WS_DISABLED) == 0;
        s.readOnly = (t.style & ES_READONLY) != 0;
        controls_.push_back(std::move(s));
    }
}

ControlState* ControlHost::Find(int id) {
    if (id == IDC_STATIC) return nullptr;
    for (ControlState& c : controls_)
        if (c.tmpl->id == id) return &c;
    return nullptr;
}

const ControlState* ControlHost::Find(int id) const {
    return const_cast<ControlHost*>(this)->Find(id);
}

void ControlHost::Changed(int id) {
    if (TheApp() != nullptr) Platform().Dialogs().ControlChanged(*this, id);
}

void ControlHost::SetDlgItemText(int id, const std::string& text) {
    if (ControlState* c = Find(id)) {
        c->text = text;
        Changed(id);
    }
}

std::string ControlHost::GetDlgItemText(int id) const {
    const ControlState* c = Find(id);
    return c ? c->text : std::string();
}

void ControlHost::CheckDlgButton(int id, int check) {
    if (ControlState* c = Find(id)) {
        c->check = check;
        Changed(id);
    }
}

int ControlHost::IsDlgButtonChecked(int id) const {
    const ControlState* c = Find(id);
    return c ? c->check : 0;
}

void ControlHost::ShowControl(int id, bool show) {
    if (ControlState* c = Find(id)) {
        c->visible = show;
        Changed(id);
    }
}

bool ControlHost::IsControlVisible(int id) const {
    const ControlState* c = Find(id);
    return c && c->visible;
}

void ControlHost::EnableControl(int id, bool enable) {
    if (ControlState* c = Find(id)) {
        c->enabled = enable;
        Changed(id);
    }
}

bool ControlHost::IsControlEnabled(int id) const {
    const ControlState* c = Find(id);
    return c && c->enabled;
}

void ControlHost::SetControlReadOnly(int id, bool readOnly) {
    if (ControlState* c = Find(id)) {
        c->readOnly = readOnly;
        Changed(id);
    }
}

bool ControlHost::IsControlReadOnly(int id) const {
    const ControlState* c = Find(id);
    return c && c->readOnly;
}

void ControlHost::GotoDlgCtrl(int id) {
    if (Find(id) != nullptr && TheApp() != nullptr) Platform().Dialogs().SetFocusControl(*this, id);
}

void ControlHost::UserTypes(int id, const std::string& text) {
    ControlState* c = Find(id);
    if (c == nullptr || c->tmpl->kind != ControlKind::Edit || c->readOnly || !c->enabled) return;
    if (c->text == text) return;
    c->text = text;
    OnCmdMsg(CmdMsg{unsigned(id), EN_CHANGE, nullptr, false});
}

void ControlHost::UserClicks(int id) {
    ControlState* c = Find(id);
    if (c == nullptr || !c->enabled || !c->visible) return;
    if (c->tmpl->kind == ControlKind::CheckBox) c->check = c->check ? 0 : 1;
    OnCmdMsg(CmdMsg{unsigned(id), BN_CLICKED, nullptr, false});
}

void ControlHost::UserSelects(int id, int index) {
    ControlState* c = Find(id);
    if (c == nullptr || !c->enabled ||
        (c->tmpl->kind != ControlKind::ComboBox && c->tmpl->kind != ControlKind::ListBox))
        return;
    if (index < 0 || index >= int(c->items.size())) return;
    c->curSel = index;
    OnCmdMsg(CmdMsg{unsigned(id), CBN_SELCHANGE, nullptr, false});
}

}  // namespace cellarium
