// Windows, timers and paints of the scripted back end: a list of windows with
// their invalid state, and timers on the virtual clock.
#include <algorithm>

#include "framework/view.h"
#include "platform/headless/headless_roles.h"

namespace cellarium {

void HeadlessWindows::WindowCreated(CWnd& wnd) {
    if (p_.FindWindow(wnd) == nullptr) p_.windows_.push_back(HeadlessPlatform::Window{&wnd, false});
}

void HeadlessWindows::WindowDestroyed(CWnd& wnd) {
    if (p_.pointerOver_ == &wnd) p_.pointerOver_ = nullptr;
    p_.windows_.erase(
        std::remove_if(p_.windows_.begin(), p_.windows_.end(),
                       [&](const HeadlessPlatform::Window& w) { return w.wnd == &wnd; }),
        p_.windows_.end());
    p_.timers_.erase(
        std::remove_if(p_.timers_.begin(), p_.timers_.end(),
                       [&](const HeadlessPlatform::Timer& t) { return t.wnd == &wnd; }),
        p_.timers_.end());
}

TimerHandle HeadlessWindows::SetTimer(CWnd& wnd, unsigned id, unsigned ms) {
    if (id == 0 || p_.refuseTimers_) return 0;
    for (HeadlessPlatform::Timer& t : p_.timers_)
        if (t.wnd == &wnd && t.id == id) {
            t.interval = ms;
            t.due = p_.now_ + std::max(ms, 1u);
            t.order = ++p_.timerOrder_;
            return id;
        }
    p_.timers_.push_back(
        HeadlessPlatform::Timer{&wnd, id, ms, p_.now_ + std::max(ms, 1u), ++p_.timerOrder_});
    return id;
}

bool HeadlessWindows::KillTimer(CWnd& wnd, TimerHandle handle) {
    auto it =
        std::find_if(p_.timers_.begin(), p_.timers_.end(), [&](const HeadlessPlatform::Timer& t) {
            return t.wnd == &wnd && TimerHandle(t.id) == handle;
        });
    if (it == p_.timers_.end()) return false;
    p_.timers_.erase(it);
    return true;
}

void HeadlessWindows::Invalidate(CWnd& wnd, const CRect*, bool erase) {
    if (HeadlessPlatform::Window* w = p_.FindWindow(wnd)) {
        w->invalid = true;
        w->erase = w->erase || erase;
    }
}

void HeadlessWindows::UpdateWindow(CWnd& wnd) {
    HeadlessPlatform::Window* w = p_.FindWindow(wnd);
    if (w != nullptr && w->invalid && p_.painting_) p_.Paint(*w);
}

CRect HeadlessWindows::GetClientRect(const CWnd&) {
    return CRect{0, 0, p_.clientWidth_, p_.clientHeight_};
}

std::optional<CPoint> HeadlessWindows::PointerPosition(const CWnd& wnd) {
    const CPoint p = p_.pointer_;
    if (p_.pointerOver_ != &wnd || p.x < 0 || p.y < 0 || p.x >= p_.clientWidth_ ||
        p.y >= p_.clientHeight_)
        return std::nullopt;
    return p;
}

void HeadlessWindows::ScrollStateChanged(CWnd&) {}

void HeadlessWindows::FrameCreated(CFrameWnd&) {}

void HeadlessWindows::FrameDestroyed(CFrameWnd&) {}

void HeadlessWindows::EndMessageLoop(int exitCode) {
    if (p_.quit_) return;
    p_.transcript_.push_back("message loop ended " + std::to_string(exitCode));
    p_.loopEnded_ = true;
    p_.exitCode_ = exitCode;
    p_.quit_ = true;
    p_.timers_.clear();
}

void HeadlessWindows::SetWaitCursor(bool on) {
    p_.waitCursor_ = on;
    ++p_.waitCursorChanges_;
}

uint32_t HeadlessWindows::NearestColour(uint32_t rgb) {
    return p_.nearest_ ? p_.nearest_(rgb) : rgb;
}

void HeadlessFrames::InstallCommandBar(CFrameWnd&, const CommandBarDesc&) {}

void HeadlessFrames::CommandStatesChanged(CFrameWnd&) {
    ++p_.commandStateRefreshes_;
}

void HeadlessFrames::SetFrameTitle(CFrameWnd&, const std::string& title) {
    p_.frameTitle_ = title;
}

void HeadlessFrames::ShowFileList(CFrameWnd& frame, const FileListRequest& request) {
    p_.transcript_.push_back("file list " + request.filter + " in " + request.folder);
    p_.fileList_ = request;
    if (p_.fileListShown_) return;
    p_.fileListShown_ = true;
    frame.OnFileListOpened();
}

void HeadlessFrames::CloseFileList(CFrameWnd& frame) {
    if (!p_.fileListShown_) return;
    p_.transcript_.push_back("file list closed");
    p_.fileListShown_ = false;
    p_.fileListBar_ = CommandBarDesc{};
    frame.OnFileListClosed();
}

void HeadlessFrames::InstallFileListCommandBar(CFrameWnd&, const CommandBarDesc& bar) {
    p_.fileListBar_ = bar;
}

// The graph panel: kept for tests, a plot of kHeadlessGraphColumns columns;
// its "image" is a text listing of the picture (the headless back end draws
// no pixels for it).
void HeadlessFrames::ShowGraphPanel(CFrameWnd&, const GraphPanelRequest& request) {
    p_.graphRequest_ = request;
    p_.graphShown_ = true;
}

void HeadlessFrames::HideGraphPanel(CFrameWnd&) {
    p_.graphShown_ = false;
}

int HeadlessFrames::GraphColumns(CFrameWnd&) {
    return p_.graphShown_ ? HeadlessPlatform::kGraphColumns : 0;
}

void HeadlessFrames::SetGraphPicture(CFrameWnd&, const GraphPicture& picture) {
    p_.graphPicture_ = picture;
    ++p_.graphPictures_;
}

std::string HeadlessFrames::GraphImagePng(CFrameWnd&) {
    if (!p_.graphShown_) return std::string();
    return "graph " + p_.graphPicture_.caption;
}

}  // namespace cellarium
