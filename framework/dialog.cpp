#include "framework/dialog.h"

#include <climits>
#include <cstdio>

#include "framework/win_app.h"

namespace cellarium {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A whole decimal number within lo..hi, blanks either side allowed.
bool ParseWhole(const std::string& text, long long lo, long long hi, long long& out) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    unsigned long long v = 0;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        // Nineteen digits always fit an unsigned 64-bit number.
        if (++digits > 19) return false;
        v = v * 10 + unsigned(text[i++] - '0');
    }
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (digits == 0 || i != text.size()) return false;
    if (!negative && v > (unsigned long long)LLONG_MAX) return false;
    if (negative && v > (unsigned long long)LLONG_MAX + 1ull) return false;
    const long long signedValue = negative ? (long long)(0ull - v) : (long long)v;
    if (signedValue < lo || signedValue > hi) return false;
    out = signedValue;
    return true;
}

bool ParseInt(const std::string& text, int& out) {
    long long v = 0;
    if (!ParseWhole(text, INT_MIN, INT_MAX, v)) return false;
    out = int(v);
    return true;
}

}  // namespace

std::string IntegerParseMessage() {
    return "Please enter an integer.";
}

std::string IntegerRangeMessage(long long minVal, long long maxVal) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "Please enter an integer between %lld and %lld.", minVal,
                  maxVal);
    return buffer;
}

void CDataExchange::Fail() {
    m_bFailed = true;
    if (m_pDlgWnd != nullptr && m_idLastControl != 0) m_pDlgWnd->GotoDlgCtrl(m_idLastControl);
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
    if (pDX->m_bFailed) return;
    pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->GetDlgItemText(id);
    else
        pDX->m_pDlgWnd->SetDlgItemText(id, value);
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
    if (pDX->m_bFailed) return;
    pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        int parsed = 0;
        if (!ParseInt(pDX->m_pDlgWnd->GetDlgItemText(id), parsed)) {
            pDX->m_pDlgWnd->MessageBox(IntegerParseMessage(), std::string(),
                                       MB_OK | MB_ICONEXCLAMATION);
            pDX->Fail();
            return;
        }
        value = parsed;
    } else {
        pDX->m_pDlgWnd->SetDlgItemText(id, std::to_string(value));
    }
}

void DDX_Text(CDataExchange* pDX, int id, int64_t& value) {
    if (pDX->m_bFailed) return;
    pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        long long parsed = 0;
        if (!ParseWhole(pDX->m_pDlgWnd->GetDlgItemText(id), LLONG_MIN, LLONG_MAX, parsed)) {
            pDX->m_pDlgWnd->MessageBox(IntegerParseMessage(), std::string(),
                                       MB_OK | MB_ICONEXCLAMATION);
            pDX->Fail();
            return;
        }
        value = int64_t(parsed);
    } else {
        pDX->m_pDlgWnd->SetDlgItemText(id, std::to_string(value));
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int64_t value, int64_t minVal, int64_t maxVal) {
    if (pDX->m_bFailed || !pDX->m_bSaveAndValidate) return;
    if (value < minVal || value > maxVal) {
        pDX->m_pDlgWnd->MessageBox(IntegerRangeMessage(minVal, maxVal), std::string(),
                                   MB_OK | MB_ICONEXCLAMATION);
        pDX->Fail();
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    if (pDX->m_bFailed) return;
    pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->IsDlgButtonChecked(id);
    else
        pDX->m_pDlgWnd->CheckDlgButton(id, value);
}

void DDX_Check(CDataExchange* pDX, int id, bool& value) {
    int v = value ? 1 : 0;
    DDX_Check(pDX, id, v);
    if (pDX->m_bSaveAndValidate && !pDX->m_bFailed) value = v != 0;
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (pDX->m_bFailed) return;
    if (!control.IsControl() || control.GetDlgCtrlID() != id)
        control.AttachControl(pDX->m_pDlgWnd, id);
}

int CDialog::DoModal() {
    CWinApp* app = TheApp();
    const DialogTemplate* tmpl = app ? app->FindDialogTemplate(templateId_) : nullptr;
    if (tmpl == nullptr) return -1;
    BuildControls(*tmpl);
    result_ = IDCANCEL;
    open_ = true;
    OnInitDialog();
    if (open_) Platform().Dialogs().RunModalDialog(*this);
    // A platform that closed the dialog by other means (its close box) ends
    // it as Cancel.
    if (open_) EndDialog(IDCANCEL);
    return result_;
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CDialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int result) {
    result_ = result;
    open_ = false;
}

bool CDialog::OnCmdMsg(const CmdMsg& msg) {
    if (msg.code == CN_COMMAND && (msg.id == unsigned(IDOK) || msg.id == unsigned(IDCANCEL))) {
        if (msg.probe) return true;
        if (msg.id == unsigned(IDOK))
            OnOK();
        else
            OnCancel();
        return true;
    }
    return ControlHost::OnCmdMsg(msg);
}

}  // namespace cellarium
