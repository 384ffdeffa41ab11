#include "platform/headless/headless_platform.h"

#include <algorithm>

#include "framework/view.h"
#include "framework/win_app.h"
#include "platform/headless/headless_roles.h"

namespace cellarium {
namespace {

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

HeadlessPlatform::HeadlessPlatform()
    : windowRole_(std::make_unique<HeadlessWindows>(*this)),
      frameRole_(std::make_unique<HeadlessFrames>(*this)),
      dialogRole_(std::make_unique<HeadlessDialogs>(*this)),
      fileRole_(std::make_unique<HeadlessFiles>(*this)),
      settingsRole_(std::make_unique<HeadlessSettings>(*this)),
      clipboardRole_(std::make_unique<HeadlessClipboard>(*this)),
      processRole_(std::make_unique<HeadlessProcesses>(*this)),
      clockRole_(std::make_unique<HeadlessClock>(*this)) {
    surface_.Resize(clientWidth_, clientHeight_);
}

WindowServices& HeadlessPlatform::Windows() {
    return *windowRole_;
}
FrameServices& HeadlessPlatform::Frames() {
    return *frameRole_;
}
DialogServices& HeadlessPlatform::Dialogs() {
    return *dialogRole_;
}
FileServices& HeadlessPlatform::Files() {
    return *fileRole_;
}
SettingsServices& HeadlessPlatform::Settings() {
    return *settingsRole_;
}
ClipboardServices& HeadlessPlatform::Clipboard() {
    return *clipboardRole_;
}
ProcessServices& HeadlessPlatform::Processes() {
    return *processRole_;
}
ClockServices& HeadlessPlatform::Clock() {
    return *clockRole_;
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

bool HeadlessPlatform::CtrlKey(char key) {
    CWinApp* app = TheApp();
    if (app == nullptr || app->Resources() == nullptr) return false;
    for (const AcceleratorEntry& a : app->Resources()->accelerators)
        if (a.key == key) {
            transcript_.push_back(std::string("ctrl+") + key);
            return Command(a.command);
        }
    return false;
}

void HeadlessPlatform::CloseMainWindow() {
    CFrameWnd* frame = MainWindow();
    if (quit_ || frame == nullptr) return;
    transcript_.push_back("main window closed");
    frame->OnClose();
    if (loopEnded_)
        if (CWinApp* app = TheApp()) app->ExitInstance();
}

bool HeadlessPlatform::ChooseFromFileList(const std::string& path) {
    CFrameWnd* frame = MainWindow();
    if (quit_ || !fileListShown_ || frame == nullptr) return false;
    transcript_.push_back("file list chose " + path);
    frame->OnFileListChoose(path);
    Pump();
    // Opened: the screen has gone.
    return !fileListShown_;
}

void HeadlessPlatform::FileListOpenOther() {
    CFrameWnd* frame = MainWindow();
    if (quit_ || !fileListShown_ || frame == nullptr) return;
    transcript_.push_back("file list open other");
    frame->OnFileListOpenOther();
    Pump();
}

void HeadlessPlatform::FileListCancel() {
    CFrameWnd* frame = MainWindow();
    if (quit_ || !fileListShown_ || frame == nullptr) return;
    transcript_.push_back("file list cancel");
    frame->OnFileListCancel();
    Pump();
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

void HeadlessPlatform::LButtonDown(CWnd& wnd, CPoint point, unsigned flags) {
    if (quit_) return;
    pointerOver_ = &wnd;
    pointer_ = point;
    wnd.OnLButtonDown(flags, point);
    Pump();
}

void HeadlessPlatform::LButtonUp(CWnd& wnd, CPoint point, unsigned flags) {
    if (quit_) return;
    pointerOver_ = &wnd;
    pointer_ = point;
    wnd.OnLButtonUp(flags, point);
    Pump();
}

void HeadlessPlatform::RButtonDown(CWnd& wnd, CPoint point, unsigned flags) {
    if (quit_) return;
    pointerOver_ = &wnd;
    pointer_ = point;
    wnd.OnRButtonDown(flags, point);
    Pump();
}

void HeadlessPlatform::RButtonUp(CWnd& wnd, CPoint point, unsigned flags) {
    if (quit_) return;
    pointerOver_ = &wnd;
    pointer_ = point;
    wnd.OnRButtonUp(flags, point);
    Pump();
}

void HeadlessPlatform::MouseMove(CWnd& wnd, unsigned flags, CPoint point) {
    if (quit_) return;
    pointerOver_ = &wnd;
    pointer_ = point;
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

// --- Paints -------------------------------------------------------------------

HeadlessPlatform::Window* HeadlessPlatform::FindWindow(const CWnd& wnd) {
    for (Window& w : windows_)
        if (w.wnd == &wnd) return &w;
    return nullptr;
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

// --- What tests set and read -------------------------------------------------

std::optional<int> HeadlessPlatform::Setting(const std::string& fullKey) const {
    auto it = settings_.find(fullKey);
    if (it == settings_.end()) return std::nullopt;
    return it->second;
}

void HeadlessPlatform::SetClipboardText(const std::string& ansi) {
    std::vector<uint8_t> block(ansi.begin(), ansi.end());
    block.push_back(0);
    clipboard_[CF_TEXT] = std::move(block);
}

std::optional<std::string> HeadlessPlatform::ClipboardText() const {
    auto it = clipboard_.find(CF_TEXT);
    if (it == clipboard_.end()) return std::nullopt;
    std::string text(it->second.begin(), it->second.end());
    return text.substr(0, text.find('\0'));
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

}  // namespace cellarium
