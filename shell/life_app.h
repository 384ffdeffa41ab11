// The application: registers the settings location and the document
// template, opens a file named on the command line or shows the file
// selection screen, and handles About, Change board size and Paste from
// Clipboard to New File.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/life_app_base.h"

namespace cellarium {

// What Paste shows when the clipboard holds no text.
extern const char* const kNoClipboardTextMessage;
// The name the pasted text is written under, in a private temporary folder.
extern const char* const kPasteFileName;
// The title of a pasted pattern until it is saved ("Paste.lif" proposed).
extern const char* const kPastedTitle;
// Open Other's file dialog: the pattern formats the reader knows first.
extern const char* const kPatternOpenFilter;

class CLifeApp : public CLifeAppBase {
public:
    // commandLine holds the arguments after the program's own name.
    explicit CLifeApp(PlatformServices& services, std::vector<std::string> commandLine = {});

    bool InitInstance() override;
    bool OnCmdMsg(const CmdMsg& msg) override;

    void OnAppAbout();
    void OnBoardSize();
    // Writes the clipboard's text to a file of its own and opens it as a new
    // pattern; the file and its folder are removed afterwards.
    void OnPasteNew();

    std::vector<std::string> m_commandLine;

private:
    // The clipboard's text as the bytes to write (ANSI, with the terminating
    // zero when it has one); nothing when it holds no text.
    std::optional<std::vector<uint8_t>> ClipboardTextBytes();
};

}  // namespace cellarium
