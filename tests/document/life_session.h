// A whole program under test: the application with its frame, document and
// view on the headless back end, a temporary folder for pattern and
// statistics files, and helpers to act as the user.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "colour/palette.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "engine/rule.h"
#include "formats/rule_notation.h"
#include "platform/headless/headless_platform.h"
#include "shell/life_app.h"
#include "shell/main_frame.h"
#include "shell/resource.h"

namespace cellarium {

// Patterns as Life 1.05 files, CR LF line ends, placed around the centre.
inline const char* const kBlockFile = "#Life 1.05\r\n#D A block\r\n#N\r\n#P -1 -1\r\n**\r\n**\r\n";
inline const char* const kGliderFile =
    "#Life 1.05\r\n#D A glider\r\n#R 23/3\r\n#P -1 -1\r\n.*.\r\n..*\r\n***\r\n";
inline const char* const kBlinkerFile = "#Life 1.05\r\n#N\r\n#P -1 0\r\n***\r\n";

class LifeSession : public ::testing::Test {
protected:
    LifeSession() : app(platform) {
        ResetPalettesForStart();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              (std::string("cellarium-") + std::to_string(::getpid()) + "-" +
               info->test_suite_name() + "-" + info->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        app.InitInstance();
        SetBoardSize(200, 200);
    }
    ~LifeSession() override { std::filesystem::remove_all(dir); }

    void SetBoardSize(int width, int height) {
        app.WriteProfileInt("Size", "Width", width);
        app.WriteProfileInt("Size", "Height", height);
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(Path(name), std::ios::binary);
        out << bytes;
        return Path(name);
    }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Opens path as the user does from the file selection screen, answering
    // File Information with OK or Cancel.
    CLifeDoc* Open(const std::string& path, bool confirm = true) {
        platform.ExpectDialog(IDD_FILE_INFO,
                              [confirm](DialogDriver& d) { d.Click(confirm ? IDOK : IDCANCEL); });
        CDocument* doc = app.OpenDocumentFile(path);
        platform.ClearScript();
        platform.Pump();
        return dynamic_cast<CLifeDoc*>(doc);
    }
    CLifeDoc* OpenText(const std::string& name, const std::string& bytes) {
        return Open(Write(name, bytes));
    }

    CMainFrame* Frame() const { return dynamic_cast<CMainFrame*>(MainWindow()); }
    CLifeView* View() const {
        return Frame() ? dynamic_cast<CLifeView*>(Frame()->GetActiveView()) : nullptr;
    }
    CLifeDoc* Doc() const { return View() ? View()->GetDocument() : nullptr; }
    const CellBoard& Board() const { return *Doc()->CurrentBoard(); }
    std::string Status() const {
        CDialogBar* strip = platform.Bar(IDD_STATUS_STRIP);
        return strip ? strip->GetDlgItemText(IDC_STATUS_TEXT) : std::string();
    }
    int32_t IdleCountdown() const { return app.m_nIdleCountdown; }
    void Tick(int ticks = 1) { platform.AdvanceTime(uint64_t(10 * ticks)); }

    HeadlessPlatform platform;
    CLifeApp app;
    std::filesystem::path dir;
};

}  // namespace cellarium
