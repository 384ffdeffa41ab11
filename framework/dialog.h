// Modal dialogs with data exchange. DoModal builds the controls from the
// template, runs OnInitDialog (whose base pushes the members into the
// controls) and lets the back end run the dialog until EndDialog. OK takes
// the controls back into the members and closes only when every value passed
// its validation; a failed validation shows the framework's message, moves
// the focus to the offending control and keeps the dialog open.
#pragma once

#include <cstdint>
#include <string>

#include "framework/control_host.h"

namespace cellarium {

class CDialog;

class CDataExchange {
public:
    CDataExchange(CDialog* dlg, bool saveAndValidate)
        : m_pDlgWnd(dlg), m_bSaveAndValidate(saveAndValidate) {}

    // Records the control the next validation refers to.
    void PrepareCtrl(int id) { m_idLastControl = id; }
    // Marks the exchange failed: the focus goes to the last prepared control
    // and every later exchange step does nothing.
    void Fail();

    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate;
    bool m_bFailed = false;
    int m_idLastControl = 0;
};

// Text of a control and a string member.
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// Text of a control and an integer member; on saving, text that is not a
// whole decimal number in int range fails with the framework's message.
void DDX_Text(CDataExchange* pDX, int id, int& value);
// On saving, a value outside min..max fails with the framework's message.
// The same for a 64-bit member.
void DDX_Text(CDataExchange* pDX, int id, int64_t& value);
// On saving, a value outside min..max fails with the framework's message.
void DDV_MinMaxInt(CDataExchange* pDX, int64_t value, int64_t minVal, int64_t maxVal);
// Check box state (0 or 1) and a member.
void DDX_Check(CDataExchange* pDX, int id, int& value);
void DDX_Check(CDataExchange* pDX, int id, bool& value);
// Attaches a control object to the control (once).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// The framework's validation messages.
std::string IntegerParseMessage();
std::string IntegerRangeMessage(long long minVal, long long maxVal);

class CDialog : public ControlHost {
public:
    explicit CDialog(unsigned templateId, CWnd* parent = nullptr)
        : templateId_(templateId), parent_(parent) {}

    // Returns IDOK, IDCANCEL (or whatever EndDialog was given), or -1 when
    // the template does not exist.
    virtual int DoModal();
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);

    // Exchanges all members with the controls; returns false when a
    // validation failed (only possible when saving).
    bool UpdateData(bool saveAndValidate = true);
    void EndDialog(int result);

    bool IsModalOpen() const { return open_; }
    int ModalResult() const { return result_; }
    CWnd* Parent() const { return parent_; }

    bool OnCmdMsg(const CmdMsg& msg) override;

private:
    unsigned templateId_;
    CWnd* parent_;
    bool open_ = false;
    int result_ = -1;
};

}  // namespace cellarium
