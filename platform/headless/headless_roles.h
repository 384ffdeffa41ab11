// The roles of the scripted back end. Each is a thin object over the one
// HeadlessPlatform, whose state (script, clock, windows, files) they share;
// each is implemented in a file of its own.
#pragma once

#include "platform/headless/forwarding_files.h"
#include "platform/headless/headless_platform.h"
#include "platform/posix/posix_files.h"

namespace cellarium {

class HeadlessWindows final : public WindowServices {
public:
    explicit HeadlessWindows(HeadlessPlatform& p) : p_(p) {}
    void WindowCreated(CWnd& wnd) override;
    void WindowDestroyed(CWnd& wnd) override;
    TimerHandle SetTimer(CWnd& wnd, unsigned id, unsigned ms) override;
    bool KillTimer(CWnd& wnd, TimerHandle handle) override;
    void Invalidate(CWnd& wnd, const CRect* rect, bool erase) override;
    void UpdateWindow(CWnd& wnd) override;
    CRect GetClientRect(const CWnd& wnd) override;
    std::optional<CPoint> PointerPosition(const CWnd& wnd) override;
    void ScrollStateChanged(CWnd& view) override;
    uint32_t NearestColour(uint32_t rgb) override;
    void SetWaitCursor(bool on) override;
    void FrameCreated(CFrameWnd& frame) override;
    void FrameDestroyed(CFrameWnd& frame) override;
    void EndMessageLoop(int exitCode) override;

private:
    HeadlessPlatform& p_;
};

class HeadlessFrames final : public FrameServices {
public:
    explicit HeadlessFrames(HeadlessPlatform& p) : p_(p) {}
    void InstallCommandBar(CFrameWnd& frame, const CommandBarDesc& bar) override;
    void CommandStatesChanged(CFrameWnd& frame) override;
    void SetFrameTitle(CFrameWnd& frame, const std::string& title) override;
    void ShowFileList(CFrameWnd& frame, const FileListRequest& request) override;
    void CloseFileList(CFrameWnd& frame) override;
    void InstallFileListCommandBar(CFrameWnd& frame, const CommandBarDesc& bar) override;
    void ShowGraphPanel(CFrameWnd& frame, const GraphPanelRequest& request) override;
    void HideGraphPanel(CFrameWnd& frame) override;
    int GraphColumns(CFrameWnd& frame) override;
    void SetGraphPicture(CFrameWnd& frame, const GraphPicture& picture) override;
    std::string GraphImagePng(CFrameWnd& frame) override;

private:
    HeadlessPlatform& p_;
};

class HeadlessDialogs final : public DialogServices {
public:
    explicit HeadlessDialogs(HeadlessPlatform& p) : p_(p) {}
    void ControlChanged(ControlHost& host, int id) override;
    void SetFocusControl(ControlHost& host, int id) override;
    void RunModalDialog(CDialog& dialog) override;
    void DialogBarCreated(CDialogBar& bar) override;
    void DialogBarDestroyed(CDialogBar& bar) override;
    int MessageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> RunFileDialog(const FileDialogRequest& request) override;

private:
    HeadlessPlatform& p_;
};

// The real files with the faults a test sets (headless_files.cpp).
class HeadlessFiles final : public ForwardingFiles {
public:
    explicit HeadlessFiles(HeadlessPlatform& p) : ForwardingFiles(real_), p_(p) {}
    std::unique_ptr<PlatformFile> OpenFile(const std::string& path, unsigned flags,
                                           FileError& cause) override;
    std::unique_ptr<SaveTarget> FindSaveTarget(const std::string& path, FileError& cause) override;
    bool GetFreeSpace(const std::string& folder, uint64_t& bytes) override;
    std::optional<std::string> MakePrivateTempFolder() override;

    // The file with the faults set for path (writes: or for target, the file
    // it was made to replace).
    std::unique_ptr<PlatformFile> Wrap(std::unique_ptr<PlatformFile> file, const std::string& path,
                                       const std::string& target);
    // The refusal a test set for path (false: none), and the test's look at
    // a file made for a save.
    bool Refused(const std::string& path, FileError& cause) const;
    void MadeBeside(const std::string& path);

private:
    HeadlessPlatform& p_;
    PosixFiles real_;
};

class HeadlessSettings final : public SettingsServices {
public:
    explicit HeadlessSettings(HeadlessPlatform& p) : p_(p) {}
    std::optional<int> ReadProfileInt(const std::string& registryKey,
                                      const std::string& application, const std::string& section,
                                      const std::string& key) override;
    bool WriteProfileInt(const std::string& registryKey, const std::string& application,
                         const std::string& section, const std::string& key, int value) override;
    std::optional<std::string> ReadProfileString(const std::string& registryKey,
                                                 const std::string& application,
                                                 const std::string& section,
                                                 const std::string& key) override;
    bool WriteProfileString(const std::string& registryKey, const std::string& application,
                            const std::string& section, const std::string& key,
                            const std::string& value) override;

private:
    HeadlessPlatform& p_;
};

class HeadlessClipboard final : public ClipboardServices {
public:
    explicit HeadlessClipboard(HeadlessPlatform& p) : p_(p) {}
    bool OpenClipboard() override;
    void CloseClipboard() override;
    std::optional<std::vector<uint8_t>> GetClipboardData(unsigned format) override;
    std::vector<uint8_t> ConvertToAnsi(const std::u16string& text) override;
    bool SetClipboardText(const std::string& text) override;

private:
    HeadlessPlatform& p_;
};

class HeadlessProcesses final : public ProcessServices {
public:
    explicit HeadlessProcesses(HeadlessPlatform& p) : p_(p) {}
    bool StartProcess(const std::string& program, const std::string& commandLine) override;
    bool OpenHelp(const std::string& page, const std::string& anchor) override;
    void EndProgram() override;
    void ShellFullScreen(CWnd& wnd, unsigned flags) override;

private:
    HeadlessPlatform& p_;
};

class HeadlessClock final : public ClockServices {
public:
    explicit HeadlessClock(HeadlessPlatform& p) : p_(p) {}
    std::chrono::steady_clock::time_point Now() override;

private:
    HeadlessPlatform& p_;
};

}  // namespace cellarium
