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
    void SetTitle(const std::string& title) { m_strTitle = title; }
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }

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
    bool DoFileSave();
    // When modified, asks whether to save; false means the user cancelled.
    virtual bool SaveModified();

    bool OnCmdMsg(const CmdMsg& msg) override;
    void OnFileSave();
    void OnFileSaveAs();

protected:
    std::string m_strPathName;
    std::string m_strTitle;
    bool m_bModified = false;
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
    CSingleDocTemplate(std::string docString, DocFactory doc, FrameFactory frame, ViewFactory view);
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

    // The file-list filter and folder of the platform's file selection screen.
    void SetFileList(std::string filter, std::string folder) {
        fileListFilter_ = std::move(filter);
        fileListFolder_ = std::move(folder);
    }
    const std::string& FileListFilter() const { return fileListFilter_; }
    const std::string& FileListFolder() const { return fileListFolder_; }

    // New (path empty) or open. Makes the document, frame and view the first
    // time. Returns the document, or null when it failed; a failed open of
    // an existing document leaves it as it was.
    CDocument* OpenDocumentFile(const std::string* path);
    void CloseAllDocuments();

    CDocument* GetDocument() const { return doc_.get(); }

private:
    void DestroyFrameAndDocument();

    std::string docString_;
    DocFactory makeDoc_;
    FrameFactory makeFrame_;
    ViewFactory makeView_;
    std::string fileListFilter_;
    std::string fileListFolder_;
    std::unique_ptr<CDocument> doc_;
    std::unique_ptr<CFrameWnd> frame_;
};

}  // namespace cellarium
