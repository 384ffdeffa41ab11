// Dialogs, message boxes and file dialogs of the scripted back end, answered
// from the script (or by default answers) and logged.
#include "platform/headless/headless_roles.h"

namespace cellarium {
namespace {

std::string AnswerName(int answer) {
    switch (answer) {
        case IDOK:
            return "OK";
        case IDCANCEL:
            return "Cancel";
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        default:
            return std::to_string(answer);
    }
}

int FirstButton(unsigned type) {
    switch (type & MB_TYPEMASK) {
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return IDYES;
        default:
            return IDOK;
    }
}

}  // namespace

void HeadlessDialogs::ControlChanged(ControlHost&, int) {}

void HeadlessDialogs::SetFocusControl(ControlHost& host, int id) {
    p_.lastFocus_ = {host.TemplateId(), id};
}

void HeadlessDialogs::RunModalDialog(CDialog& dialog) {
    const unsigned id = dialog.TemplateId();
    p_.dialogs_.push_back(id);
    DialogDriver driver(dialog);
    HeadlessPlatform::Expectation e;
    e.kind = HeadlessPlatform::Kind::Dialog;
    if (p_.TakeExpectation(HeadlessPlatform::Kind::Dialog, "dialog " + std::to_string(id), e)) {
        if (e.templateId != 0 && e.templateId != id)
            p_.errors_.push_back("expected dialog " + std::to_string(e.templateId) + ", got " +
                                 std::to_string(id));
        if (e.act) e.act(driver);
        if (dialog.IsModalOpen())
            p_.errors_.push_back("dialog " + std::to_string(id) + " left open by the script");
    } else {
        driver.Click(IDOK);
        if (dialog.IsModalOpen())
            p_.errors_.push_back("dialog " + std::to_string(id) + " did not close on OK");
    }
    const int result = dialog.IsModalOpen() ? IDCANCEL : dialog.ModalResult();
    p_.transcript_.push_back("dialog " + std::to_string(id) + " -> " + AnswerName(result));
}

void HeadlessDialogs::DialogBarCreated(CDialogBar& bar) {
    p_.bars_.push_back(&bar);
}

void HeadlessDialogs::DialogBarDestroyed(CDialogBar& bar) {
    p_.bars_.erase(std::remove(p_.bars_.begin(), p_.bars_.end(), &bar), p_.bars_.end());
}

int HeadlessDialogs::MessageBox(const MessageBoxRequest& request) {
    int answer = FirstButton(request.type);
    HeadlessPlatform::Expectation e;
    e.kind = HeadlessPlatform::Kind::MessageBox;
    if (p_.TakeExpectation(HeadlessPlatform::Kind::MessageBox, "message box: " + request.text, e)) {
        if (!e.text.empty() && e.text != request.text)
            p_.errors_.push_back("expected message \"" + e.text + "\", got \"" + request.text +
                                 "\"");
        answer = e.answer;
    }
    p_.messages_.push_back(request.text);
    p_.transcript_.push_back("message: " + request.text + " -> " + AnswerName(answer));
    if (p_.onMessageBox) p_.onMessageBox(request, answer);
    return answer;
}

std::optional<std::string> HeadlessDialogs::RunFileDialog(const FileDialogRequest& request) {
    p_.fileDialogs_.push_back(request);
    std::optional<std::string> answer;
    HeadlessPlatform::Expectation e;
    e.kind = HeadlessPlatform::Kind::FileDialog;
    if (p_.TakeExpectation(HeadlessPlatform::Kind::FileDialog, "file dialog", e)) answer = e.path;
    p_.transcript_.push_back(std::string("file dialog ") + (request.open ? "open" : "save") +
                             " \"" + request.fileName + "\" -> " + (answer ? *answer : "Cancel"));
    return answer;
}

}  // namespace cellarium
