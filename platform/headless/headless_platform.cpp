#include "platform/headless/headless_platform.h"

#include <algorithm>

#include "framework/view.h"
#include "framework/win_app.h"

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

// Idle calls per empty queue are bounded, in case a hook always wants more.
constexpr long kMaxIdleCalls = 1000;

}  // namespace

std::string DialogDriver::Caption() const {
    return dialog_.Template() ? dialog_.Template()->caption : std::string();
}

std::vector<std::string> DialogDriver::Items(int id) const {
    std::vector<std::string> out;
    if (const ControlState* c = dialog_.Find(id))
        for (const ComboItem& item : c->items) out.push_back(item.text);
    return out;
}

std::string DialogDriver::SelectedItem(int id) const {
    const ControlState* c = dialog_.Find(id);
    if (c == nullptr || c->curSel < 0 || c->curSel >= int(c->items.size())) return std::string();
    return c->items[std::size_t(c->curSel)].text;
}

void DialogDriver::SetCheck(int id, bool on) {
    if (Checked(id) != on) Click(id);
}

bool DialogDriver::Select(int id, const std::string& item) {
    const ControlState* c = dialog_.Find(id);
    if (c == nullptr) return false;
    for (std::size_t i = 0; i < c->items.size(); ++i)
        if (c->items[i].text == item) {
            dialog_.UserSelects(id, int(i));
            return true;
        }
    return false;
}

HeadlessPlatform::HeadlessPlatform() {
    surface_.Resize(clientWidth_, clientHeight_);
}

HeadlessPlatform::~HeadlessPlatform() = default;

// --- Script -----------------------------------------------------------------

void HeadlessPlatform::ExpectMessageBox(int answer, std::string text) {
    Expectation e;
    e.kind = Kind::MessageBox;
    e.answer = answer;
    e.text = std::move(text);
    script_.push_back(std::move(e));
}

void HeadlessPlatform::ExpectDialog(unsigned templateId, std::function<void(DialogDriver&)> act) {
    Expectation e;
    e.kind = Kind::Dialog;
    e.templateId = templateId;
    e.act = std::move(act);
    script_.push_back(std::move(e));
}

void HeadlessPlatform::ExpectFileDialog(std::optional<std::string> path) {
    Expectation e;
    e.kind = Kind::FileDialog;
    e.path = std::move(path);
    script_.push_back(std::move(e));
}

void HeadlessPlatform::ClearLog() {
    transcript_.clear();
    errors_.clear();
    messages_.clear();
    dialogs_.clear();
    fileDialogs_.clear();
}

bool HeadlessPlatform::TakeExpectation(Kind kind, const std::string& what, Expectation& out) {
    if (script_.empty()) return false;
    if (script_.front().kind != kind) {
        errors_.push_back("unexpected " + what);
        return false;
    }
    out = std::move(script_.front());
    script_.erase(script_.begin());
    return true;
}

// --- The user and the clock ----------------------------------------------------

bool HeadlessPlatform::Command(unsigned id) {
    CFrameWnd* frame = MainWindow();
    if (quit_ || frame == nullptr) return false;
    CCmdUI state = frame->QueryCommandState(id);
    if (!state.m_bEnabled) {
        transcript_.push_back("command " + std::to_string(id) + " disabled");
        return false;
    }
    frame->SendCommand(id);
    Pump();
    return true;
}

void HeadlessPlatform::Pump() {
    if (quit_) return;
    PaintInvalid();
    CWinApp* app = TheApp();
    if (app == nullptr) return;
    for (long count = 0; count < kMaxIdleCalls && !quit_; ++count)
        if (!app->OnIdle(count)) break;
}

void HeadlessPlatform::AdvanceTime(uint64_t ms) {
    const uint64_t end = now_ + ms;
    while (!quit_) {
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (it->due > end) continue;
            if (next == timers_.end() || it->due < next->due ||
                (it->due == next->due && it->order < next->order))
                next = it;
        }
        if (next == timers_.end()) break;
        now_ = next->due;
        next->due = now_ + std::max(next->interval, 1u);
        CWnd* wnd = next->wnd;
        const unsigned id = next->id;
        wnd->OnTimer(id);
        Pump();
    }
    now_ = std::max(now_, end);
}

void HeadlessPlatform::LButtonDown(CWnd& wnd, CPoint point) {
    if (quit_) return;
    wnd.OnLButtonDown(MK_LBUTTON, point);
    Pump();
}

void HeadlessPlatform::MouseMove(CWnd& wnd, unsigned flags, CPoint point) {
    if (quit_) return;
    wnd.OnMouseMove(flags, point);
    Pump();
}

void HeadlessPlatform::KeyDown(CWnd& wnd, unsigned key) {
    if (quit_) return;
    wnd.OnKeyDown(key, 1, 0);
    Pump();
}

bool HeadlessPlatform::TimerArmed(const CWnd& wnd, unsigned id) const {
    return TimerDue(wnd, id) != 0;
}

uint64_t HeadlessPlatform::TimerDue(const CWnd& wnd, unsigned id) const {
    for (const Timer& t : timers_)
        if (t.wnd == &wnd && t.id == id) return t.due;
    return 0;
}

void HeadlessPlatform::SetClientSize(int width, int height) {
    clientWidth_ = width;
    clientHeight_ = height;
    surface_.Resize(width, height);
    for (Window& w : std::vector<Window>(windows_)) w.wnd->OnSize(width, height);
}

CDialogBar* HeadlessPlatform::Bar(unsigned templateId) const {
    for (CDialogBar* bar : bars_)
        if (bar->TemplateId() == templateId) return bar;
    return nullptr;
}

// --- Windows ---------------------------------------------------------------------

HeadlessPlatform::Window* HeadlessPlatform::FindWindow(const CWnd& wnd) {
    for (Window& w : windows_)
        if (w.wnd == &wnd) return &w;
    return nullptr;
}

void HeadlessPlatform::WindowCreated(CWnd& wnd) {
    if (FindWindow(wnd) == nullptr) windows_.push_back(Window{&wnd, false});
}

void HeadlessPlatform::WindowDestroyed(CWnd& wnd) {
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                  [&](const Window& w) { return w.wnd == &wnd; }),
                   windows_.end());
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                                 [&](const Timer& t) { return t.wnd == &wnd; }),
                  timers_.end());
}

TimerHandle HeadlessPlatform::SetTimer(CWnd& wnd, unsigned id, unsigned ms) {
    if (id == 0 || refuseTimers_) return 0;
    for (Timer& t : timers_)
        if (t.wnd == &wnd && t.id == id) {
            t.interval = ms;
            t.due = now_ + std::max(ms, 1u);
            t.order = ++timerOrder_;
            return id;
        }
    timers_.push_back(Timer{&wnd, id, ms, now_ + std::max(ms, 1u), ++timerOrder_});
    return id;
}

bool HeadlessPlatform::KillTimer(CWnd& wnd, TimerHandle handle) {
    auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) {
        return t.wnd == &wnd && TimerHandle(t.id) == handle;
    });
    if (it == timers_.end()) return false;
    timers_.erase(it);
    return true;
}

void HeadlessPlatform::Invalidate(CWnd& wnd, const CRect*, bool erase) {
    if (Window* w = FindWindow(wnd)) {
        w->invalid = true;
        w->erase = w->erase || erase;
    }
}

void HeadlessPlatform::UpdateWindow(CWnd& wnd) {
    Window* w = FindWindow(wnd);
    if (w != nullptr && w->invalid && painting_) Paint(*w);
}

void HeadlessPlatform::PaintInvalid() {
    if (!painting_) return;
    for (std::size_t i = 0; i < windows_.size(); ++i)
        if (windows_[i].invalid) Paint(windows_[i]);
}

void HeadlessPlatform::Paint(Window& w) {
    const bool erase = w.erase;
    w.invalid = false;
    w.erase = false;
    ++paints_;
    CDC dc(surface_);
    CWnd* wnd = w.wnd;
    if (erase) wnd->OnEraseBkgnd(dc);
    wnd->OnPaint(dc);
}

CRect HeadlessPlatform::GetClientRect(const CWnd&) {
    return CRect{0, 0, clientWidth_, clientHeight_};
}

void HeadlessPlatform::ScrollStateChanged(CWnd&) {}

// --- Dialogs and bars ------------------------------------------------------------

void HeadlessPlatform::ControlChanged(ControlHost&, int) {}

void HeadlessPlatform::SetFocusControl(ControlHost& host, int id) {
    lastFocus_ = {host.TemplateId(), id};
}

void HeadlessPlatform::RunModalDialog(CDialog& dialog) {
    const unsigned id = dialog.TemplateId();
    dialogs_.push_back(id);
    DialogDriver driver(dialog);
    Expectation e;
    e.kind = Kind::Dialog;
    if (TakeExpectation(Kind::Dialog, "dialog " + std::to_string(id), e)) {
        if (e.templateId != 0 && e.templateId != id)
            errors_.push_back("expected dialog " + std::to_string(e.templateId) + ", got " +
                              std::to_string(id));
        if (e.act) e.act(driver);
        if (dialog.IsModalOpen())
            errors_.push_back("dialog " + std::to_string(id) + " left open by the script");
    } else {
        driver.Click(IDOK);
        if (dialog.IsModalOpen())
            errors_.push_back("dialog " + std::to_string(id) + " did not close on OK");
    }
    const int result = dialog.IsModalOpen() ? IDCANCEL : dialog.ModalResult();
    transcript_.push_back("dialog " + std::to_string(id) + " -> " + AnswerName(result));
}

void HeadlessPlatform::DialogBarCreated(CDialogBar& bar) {
    bars_.push_back(&bar);
}

void HeadlessPlatform::DialogBarDestroyed(CDialogBar& bar) {
    bars_.erase(std::remove(bars_.begin(), bars_.end(), &bar), bars_.end());
}

void HeadlessPlatform::FrameCreated(CFrameWnd&) {}

void HeadlessPlatform::FrameDestroyed(CFrameWnd&) {}

void HeadlessPlatform::InstallCommandBar(CFrameWnd&, const CommandBarDesc&) {}

void HeadlessPlatform::CommandStatesChanged(CFrameWnd&) {
    ++commandStateRefreshes_;
}

void HeadlessPlatform::ShowFileList(CFrameWnd&, const std::string& filter,
                                    const std::string& folder) {
    fileListShown_ = true;
    transcript_.push_back("file list " + filter + " in " + folder);
}

void HeadlessPlatform::CloseFileList(CFrameWnd&) {
    if (fileListShown_) transcript_.push_back("file list closed");
    fileListShown_ = false;
}

// --- Message boxes, file dialogs, cursor ---------------------------------------------

int HeadlessPlatform::MessageBox(const MessageBoxRequest& request) {
    int answer = FirstButton(request.type);
    Expectation e;
    e.kind = Kind::MessageBox;
    if (TakeExpectation(Kind::MessageBox, "message box: " + request.text, e)) {
        if (!e.text.empty() && e.text != request.text)
            errors_.push_back("expected message \"" + e.text + "\", got \"" + request.text + "\"");
        answer = e.answer;
    }
    messages_.push_back(request.text);
    transcript_.push_back("message: " + request.text + " -> " + AnswerName(answer));
    if (onMessageBox) onMessageBox(request, answer);
    return answer;
}

std::optional<std::string> HeadlessPlatform::RunFileDialog(const FileDialogRequest& request) {
    fileDialogs_.push_back(request);
    std::optional<std::string> answer;
    Expectation e;
    e.kind = Kind::FileDialog;
    if (TakeExpectation(Kind::FileDialog, "file dialog", e)) answer = e.path;
    transcript_.push_back(std::string("file dialog ") + (request.open ? "open" : "save") + " \"" +
                          request.fileName + "\" -> " + (answer ? *answer : "Cancel"));
    return answer;
}

void HeadlessPlatform::SetWaitCursor(bool on) {
    waitCursor_ = on;
    ++waitCursorChanges_;
}

// --- Settings and clipboard -------------------------------------------------------

namespace {

std::string FullKey(const std::string& registryKey, const std::string& application,
                    const std::string& section, const std::string& key) {
    return registryKey + "\\" + application + "\\" + section + "\\" + key;
}

}  // namespace

std::optional<int> HeadlessPlatform::Setting(const std::string& fullKey) const {
    auto it = settings_.find(fullKey);
    if (it == settings_.end()) return std::nullopt;
    return it->second;
}

std::optional<int> HeadlessPlatform::ReadProfileInt(const std::string& registryKey,
                                                    const std::string& application,
                                                    const std::string& section,
                                                    const std::string& key) {
    return Setting(FullKey(registryKey, application, section, key));
}

bool HeadlessPlatform::WriteProfileInt(const std::string& registryKey,
                                       const std::string& application, const std::string& section,
                                       const std::string& key, int value) {
    settings_[FullKey(registryKey, application, section, key)] = value;
    return true;
}

void HeadlessPlatform::SetClipboardText(const std::string& ansi) {
    std::vector<uint8_t> block(ansi.begin(), ansi.end());
    block.push_back(0);
    clipboard_[CF_TEXT] = std::move(block);
}

void HeadlessPlatform::SetClipboardUnicode(const std::u16string& text) {
    std::vector<uint8_t> block;
    for (char16_t c : text) {
        block.push_back(uint8_t(c & 0xFF));
        block.push_back(uint8_t(c >> 8));
    }
    block.push_back(0);
    block.push_back(0);
    clipboard_[CF_UNICODETEXT] = std::move(block);
}

bool HeadlessPlatform::OpenClipboard() {
    if (clipboardBusy_ || clipboardOpen_) return false;
    clipboardOpen_ = true;
    return true;
}

void HeadlessPlatform::CloseClipboard() {
    clipboardOpen_ = false;
}

std::optional<std::vector<uint8_t>> HeadlessPlatform::GetClipboardData(unsigned format) {
    if (!clipboardOpen_) return std::nullopt;
    auto it = clipboard_.find(format);
    if (it == clipboard_.end()) return std::nullopt;
    return it->second;
}

std::vector<uint8_t> HeadlessPlatform::ConvertToAnsi(const std::u16string& text) {
    // The headless code page is Latin-1.
    std::vector<uint8_t> out;
    out.reserve(text.size());
    for (char16_t c : text) out.push_back(c <= 0xFF ? uint8_t(c) : uint8_t('?'));
    return out;
}

// --- Processes --------------------------------------------------------------------

bool HeadlessPlatform::StartProcess(const std::string& program, const std::string& commandLine) {
    processes_.push_back(program + " " + commandLine);
    transcript_.push_back("process " + program + " " + commandLine);
    return true;
}

void HeadlessPlatform::EndProgram() {
    if (!quit_) transcript_.push_back("end program");
    quit_ = true;
    timers_.clear();
}

void HeadlessPlatform::ShellFullScreen(CWnd&, unsigned) {
    ++shellCalls_;
}

}  // namespace cellarium
