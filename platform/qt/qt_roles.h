// The roles of the desktop back end other than windows and dialogs, each
// implemented in a file of its own.
#pragma once

#include "framework/platform_services.h"
#include "platform/qt/qt_help.h"

namespace cellarium {

class QtWindows;

// QSettings: organisation = the registry key, application = the program.
class QtSettings final : public SettingsServices {
public:
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
};

// The system clipboard's text, as the 8-bit (Latin-1) or UTF-16 block the
// program reads.
class QtClipboard final : public ClipboardServices {
public:
    bool OpenClipboard() override;
    void CloseClipboard() override;
    std::optional<std::vector<uint8_t>> GetClipboardData(unsigned format) override;
    std::vector<uint8_t> ConvertToAnsi(const std::u16string& text) override;
    bool SetClipboardText(const std::string& text) override;

private:
    bool open_ = false;
};

class QtProcesses final : public ProcessServices {
public:
    explicit QtProcesses(QtWindows& windows) : windows_(windows) {}
    bool StartProcess(const std::string& program, const std::string& commandLine) override;
    bool OpenHelp(const std::string& page, const std::string& anchor) override;
    void EndProgram() override;
    void ShellFullScreen(CWnd& wnd, unsigned flags) override;

    bool EndRequested() const { return ended_; }
    // The help window OpenHelp shows (its window is null until then).
    QtHelpWindow& Help() { return help_; }

private:
    QtWindows& windows_;
    QtHelpWindow help_;
    bool ended_ = false;
};

}  // namespace cellarium
