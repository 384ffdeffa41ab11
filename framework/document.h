// Documents and the single-document template. The template owns the one
// document and the one frame (which owns the view) and runs the new and open
// life cycle: a failed open leaves an existing document as it was.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "framework/cmd_target.h"
#include "framework/platform_services.h"

namespace cellarium {

class CView;
class CFrameWnd;
class CSingleDocTemplate;

class CDocument : public CCmdTarget {
public:
    ~CDocument() override = default;

    virtual bool OnNewDocument();
    virtual bool OnOpenDocument(const std::string& path);
    virtual bool OnSaveDocument(const std::string& path);
    virtual void OnCloseDocument();
    virtual void DeleteContents() {}

    const std::string& GetPathName() const { return m_strPathName; }
    void SetPathName(const std::string& path);
    const std::string& GetTitle() const { return m_strTitle; }
    void SetTitle(const std::string& title);
    // Whether the document holds changes that are not in its file. Every
    // kind of change marks it here; the frame's title shows it.
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true);
    // The main window's title: "NAME - App", with "NAME*" while modified;
    // the application's title alone while no document has been opened.
    std::string FrameTitle() const;
    void UpdateFrameTitle();

    CView* GetView() const { return m_pView; }
    void SetView(CView* view) { m_pView = view; }
    CSingleDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
    void SetDocTemplate(CSingleDocTemplate* t) { m_pDocTemplate = t; }

    // The framework's standard report of a failed load or save: a message box
    // naming the path and, where the cause says more, why; otherwise the text
    // of defaultPromptId (kPromptFailedToOpen, kPromptInvalidFileName,
    // kPromptFailedToSave).
    void ReportSaveLoadException(const std::string& path, FileError cause, bool saving,
                                 unsigned defaultPromptId);

    // Save and Save As: asks for a name when there is none (or always for
    // Save As), saves, and takes the new name on success.
    bool DoSave(const std::string& path, bool replace = true);
    // Save: writes to the path Save writes without asking, else as Save As.
    bool DoFileSave();
    // The path Save writes to without asking; empty makes Save ask as
    // Save As does. The base: the document's path.
    virtual std::string SavePathWithoutAsking() const { return m_strPathName; }
    // What the Save As dialog proposes (name, extension, filter). The base:
    // the path (or the title) with the template's filter and extension.
    virtual void PrepareSaveAs(FileDialogRequest& request) const;
    // When modified, asks whether to save; false means the user cancelled.
    virtual bool SaveModified();

    bool OnCmdMsg(const CmdMsg& msg) override;
    void OnFileSave();
    void OnFileSaveAs();

protected:
    std::string m_strPathName;
    std::string m_strTitle;
    bool m_bModified = false;
    CView* m_pView = nullptr;
    CSingleDocTemplate* m_pDocTemplate = nullptr;
};

// The text of a failed load or save, as ReportSaveLoadException shows it.
std::string SaveLoadFailureText(const std::string& path, FileError cause, bool saving,
                                unsigned defaultPromptId);

class CSingleDocTemplate {
public:
    using DocFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<std::unique_ptr<CFrameWnd>()>;
    using ViewFactory = std::function<std::unique_ptr<CView>()>;

    // docString has seven fields separated by line feeds: window title,
    // document name, new-file type name, filter name, filter extension,
    // file-type id, file-type name.
    CSingleDocTemplate(unsigned resourceId, std::string docString, DocFactory doc,
                       FrameFactory frame, ViewFactory view);
    ~CSingleDocTemplate();

    enum DocStringIndex {
        windowTitle = 0,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName
    };
    std::string GetDocString(DocStringIndex index) const;
    unsigned ResourceId() const { return resourceId_; }

    // The file-list filter and folder of the platform's file selection screen.
    void SetFileList(std::string filter, std::string folder) {
        fileListFilter_ = std::move(filter);
        fileListFolder_ = std::move(folder);
    }
    const std::string& FileListFilter() const { return fileListFilter_; }
    // The filter of Open Other's file dialog (the file list's when empty).
    void SetOpenFilter(std::string filter) { openFilter_ = std::move(filter); }
    const std::string& OpenFilter() const { return openFilter_; }
    const std::string& FileListFolder() const { return fileListFolder_; }

    // New (path empty) or open. Makes the document, frame and view the first
    // time. Returns the document, or null when it failed; a failed open of
    // an existing document leaves it as it was.
    // A document opened or made this way replaces the file selection screen,
    // which is closed if it was shown.
    CDocument* OpenDocumentFile(const std::string* path);
    void CloseAllDocuments();

    // Shows the platform's file selection screen over the filter and folder,
    // in the frame (made, with its document and view, the first time; the
    // document stays empty until something is opened). False when there is
    // no frame to show it in.
    bool ShowFileList();
    // Closes the file selection screen when it is shown.
    void CloseFileList();
    bool FileListShown() const;
    // A document was opened or made new here (and so the file selection
    // screen has something to go back to).
    bool HasOpenedDocument() const { return opened_; }

    CDocument* GetDocument() const { return doc_.get(); }
    CFrameWnd* GetFrame() const { return frame_.get(); }

private:
    void DestroyFrameAndDocument();
    // Makes the document, the frame and its view when they do not exist yet;
    // created says whether they were made now.
    bool EnsureFrame(bool& created);

    unsigned resourceId_;
    std::string docString_;
    DocFactory makeDoc_;
    FrameFactory makeFrame_;
    ViewFactory makeView_;
    std::string fileListFilter_;
    std::string fileListFolder_;
    std::string openFilter_;
    bool opened_ = false;
    std::unique_ptr<CDocument> doc_;
    std::unique_ptr<CFrameWnd> frame_;
};

}  // namespace cellarium
