// What the document and the view need of the application object: the idle
// countdown that throttles idle-time processing while a simulation runs, and
// the one way the program ends at once (confirmed exit, or cells that cannot
// be allocated). The shell's CLifeApp derives from this.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/win_app.h"

namespace cellarium {

// The message shown when a board's cells cannot be allocated.
extern const char* const kCellMemoryMessage;
// The message shown when the help page is in none of the places looked at.
std::string HelpMissingMessage(const std::vector<std::string>& places);

class CLifeAppBase : public CWinApp {
public:
    using CWinApp::CWinApp;

    // -1: idle processing unlimited; n > 0: n more idle calls allowed;
    // 0: suppressed.
    int32_t m_nIdleCountdown = -1;

    // The framework's idle processing while the countdown allows it.
    bool OnIdle(long count) override;
    // The file list's pictures: the current palette, the settings' board size.
    std::function<FilePicture(const std::string&)> FilePictureMaker(std::string& key) override;

    // Ends the program at once, without the framework's normal closing.
    void EndProgramAtOnce();
    // A board's cells could not be allocated: the message, then the end.
    void OnCellMemoryFailure();
    bool Ending() const { return ending_; }

    // Shows the help page in the platform's help viewer, at anchor when it is
    // not empty. A page that is nowhere to be found, or that the viewer
    // cannot show, is reported in a message box.
    void ShowHelp(const std::string& anchor);

    // The folder the program was started from (its help page is found
    // relative to it); empty when unknown.
    std::string m_strProgramFolder;
    // Every pattern opened is fitted to the window (zoomed out as far as it
    // needs, never in past 1:1) and centred, as a desktop shows it; off, the
    // view keeps its zoom and shows the middle of the board.
    bool m_bFitOnOpen = false;

private:
    bool ending_ = false;
};

// The running application as a CLifeAppBase (null when there is none or it
// is some other application).
CLifeAppBase* LifeApp();

}  // namespace cellarium

#include "engine/settings_source.h"

namespace cellarium {

// The settings boards read their size from: the application's profile.
class ProfileSettings final : public SettingsSource {
public:
    int GetProfileInt(std::string_view section, std::string_view key, int defaultValue) override {
        CWinApp* app = TheApp();
        return app ? app->GetProfileInt(std::string(section), std::string(key), defaultValue)
                   : defaultValue;
    }
};

}  // namespace cellarium
