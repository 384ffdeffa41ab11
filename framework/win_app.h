// The application object: one per run, made with the back end it talks to.
// It keeps the resources, the settings location, the document template and
// the main window, handles the idle hook and routes commands nobody else took.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/cmd_target.h"
#include "framework/document.h"
#include "framework/platform_services.h"
#include "framework/resources.h"

namespace cellarium {

class CFrameWnd;

// The command line: a file named on it is opened at start.
class CCommandLineInfo {
public:
    enum Shell { FileNew, FileOpen, FileNothing };
    Shell m_nShellCommand = FileNew;
    std::string m_strFileName;
};

class CWinApp : public CCmdTarget {
public:
    CWinApp(PlatformServices& services, std::string appName);
    ~CWinApp() override;

    PlatformServices& Services() const { return services_; }

    virtual bool InitInstance() { return true; }
    virtual int ExitInstance();

    // The idle hook, called with 0, 1, 2, ... each time the message queue has
    // run empty, until it returns false. The base refreshes the command state
    // of the main window's toolbar at count 0 and wants no more after count 1.
    virtual bool OnIdle(long count);
    // What the file list shows as a file's picture (see FileListRequest):
    // the maker and the key its pictures depend on. None by default.
    virtual std::function<FilePicture(const std::string&)> FilePictureMaker(std::string& key);
    // How often the base idle processing ran, and how often it refreshed
    // command states.
    long IdleProcessingCount() const { return idleCalls_; }
    long IdleRefreshCount() const { return idleRefreshes_; }

    // --- Resources --------------------------------------------------------
    void SetResources(const ResourceTable* table) { resources_ = table; }
    const ResourceTable* Resources() const { return resources_; }
    const DialogTemplate* FindDialogTemplate(unsigned id) const;
    // A string of the application's table, else one of the framework's own.
    std::string LoadString(unsigned id) const;

    // --- Settings ---------------------------------------------------------
    void SetRegistryKey(const std::string& companyKey) { m_pszRegistryKey = companyKey; }
    int GetProfileInt(const std::string& section, const std::string& key, int defaultValue);
    bool WriteProfileInt(const std::string& section, const std::string& key, int value);
    std::string GetProfileString(const std::string& section, const std::string& key);
    bool WriteProfileString(const std::string& section, const std::string& key,
                            const std::string& value);

    // --- Recent files -------------------------------------------------------
    // The files opened last, the most recent first, at most kRecentFiles,
    // kept in the settings ("Recent File List", "File1" ...). A file found
    // missing is dropped from the list.
    static constexpr int kRecentFiles = 8;
    std::vector<std::string> RecentFiles();
    void AddToRecentFileList(const std::string& path);
    // Open Recent's items: ID_FILE_RECENT_FIRST + n opens the n-th recent
    // file; its caption is the file's name, and it is disabled when the list
    // is shorter.
    void OnFileRecent(unsigned id);
    void OnUpdateFileRecent(CCmdUI* pCmdUI);

    // --- Documents ----------------------------------------------------------
    void AddDocTemplate(std::unique_ptr<CSingleDocTemplate> tmpl);
    CSingleDocTemplate* GetDocTemplate() const { return template_.get(); }
    // Opens a file the user chose (the file list, Recent, Open Other, a
    // dropped file, the command line); it then heads the recent files.
    CDocument* OpenDocumentFile(const std::string& path);
    // The platform's file dialog in any folder; the chosen file opens as
    // from the file list.
    CDocument* OpenOtherFile();
    void OnFileNew();
    // Shows the platform's file selection screen over the template's list.
    void OnFileOpen();
    void ParseCommandLine(const std::vector<std::string>& args, CCommandLineInfo& info);
    bool ProcessShellCommand(CCommandLineInfo& info);

    // --- Cursor ---------------------------------------------------------------
    // +1 begins, -1 ends (never below 0), 0 restores.
    void DoWaitCursor(int code);
    int WaitCursorCount() const { return waitCount_; }

    bool OnCmdMsg(const CmdMsg& msg) override;

    std::string m_pszAppName;
    std::string m_pszRegistryKey;
    CFrameWnd* m_pMainWnd = nullptr;
    // The user's own folder for this program's files (the file list's
    // default, where a new pattern is saved) and the bundled samples; empty
    // when unknown.
    std::string m_strDocumentsFolder;
    std::string m_strSamplesFolder;

private:
    PlatformServices& services_;
    const ResourceTable* resources_ = nullptr;
    std::unique_ptr<CSingleDocTemplate> template_;
    int waitCount_ = 0;
    long idleCalls_ = 0;
    long idleRefreshes_ = 0;
};

// The one application object of this run (null when there is none).
CWinApp* TheApp();
CFrameWnd* MainWindow();
PlatformServices& Platform();
// A message box owned by the main window with the application's title.
int ShowMessage(const std::string& text, unsigned type = MB_OK);

class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

class CFileDialog {
public:
    CFileDialog(bool open, std::string defaultExt, std::string fileName, unsigned flags,
                std::string filter);
    int DoModal();
    const std::string& GetPathName() const { return path_; }

    FileDialogRequest m_ofn;

private:
    std::string path_;
};

}  // namespace cellarium
