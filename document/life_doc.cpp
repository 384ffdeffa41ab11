#include "document/life_doc.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "document/file_info_dlg.h"
#include "document/life_app_base.h"
#include "document/pattern_io.h"
#include "engine/live_hash.h"
#include "engine/region_edit.h"
#include "formats/pattern_reader.h"
#include "formats/pattern_writer.h"
#include "formats/rle_writer.h"
#include "formats/rule_notation.h"
#include "framework/frame_wnd.h"
#include "framework/safe_replace.h"
#include "framework/win_app.h"

namespace cellarium {

const char* const kNoPatternOnClipboardMessage = "The clipboard holds no pattern.";
const char* const kHistoryBudgetKey = "History Kilobytes";

PatternFileFormat PatternFormatForPath(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return PatternFileFormat::Life105;
    std::string ext = path.substr(dot + 1);
    for (char& ch : ext)
        if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
    if (ext == "rle") return PatternFileFormat::Rle;
    if (ext == "cells") return PatternFileFormat::Plaintext;
    return PatternFileFormat::Life105;
}

namespace {

// The extension of a file name with its dot ("" when it has none).
std::string ExtensionOf(const std::string& name) {
    const std::string file = name.substr(name.find_last_of('/') + 1);
    const auto dot = file.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? std::string() : file.substr(dot);
}

// Whether path lies in folder (both as given, no links followed).
bool InFolder(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    return path.compare(0, prefix.size(), prefix) == 0;
}

void ReportCellMemory() {
    if (CLifeAppBase* app = LifeApp()) app->OnCellMemoryFailure();
}

// The population graph's counts start again, within the budget the settings
// give (in kilobytes).
void RestartCounts(PopulationHistory& counts, int32_t live) {
    int kilobytes = int(kDefaultHistoryBudget >> 10);
    if (CWinApp* app = TheApp())
        kilobytes = app->GetProfileInt(kGraphSection, kHistoryBudgetKey, kilobytes);
    counts.SetBudget(std::size_t(std::clamp(kilobytes, 0, 1 << 30)) << 10);
    counts.Restart(0, live);
}

}  // namespace

CLifeDoc::CLifeDoc() = default;

CLifeDoc::~CLifeDoc() {
    ReleaseBoards();
}

void CLifeDoc::ReleaseBoards() {
    session_.ReleaseBoards();
    history_.ReleaseSpare();
}

bool CLifeDoc::IdleWork() {
    if (!HasBoards()) return false;
    if (history_.PackWhileIdle()) return true;
    history_.ReadySpareWhileIdle(*current_);
    return false;
}

std::unique_ptr<CellBoard> CLifeDoc::MakeBoard(int width, int height) {
    // The program's first board makes Rainbow the current palette; every
    // board of the document writes its bitmap's header there.
    WriteBitmapHeader(CurrentPaletteOrRainbow(), width, height);
    return CellBoard::Create(width, height);
}

bool CLifeDoc::MakeBoards() {
    ProfileSettings settings;
    const BoardSize size = ReadBoardSize(settings);
    current_ = MakeBoard(size.width, size.height);
    if (current_) scratch_ = MakeBoard(size.width, size.height);
    if (!current_ || !scratch_) {
        ReleaseBoards();
        ReportCellMemory();
        return false;
    }
    session_.BoardChanged();
    RestartCounts(counts_, current_->liveCount);
    return true;
}

bool CLifeDoc::OnNewDocument() {
    if (!CDocument::OnNewDocument()) return false;
    history_.Clear();
    ReleaseBoards();
    return MakeBoards();
}

CLifeDoc::LoadResult CLifeDoc::ReadInto(const std::string& path, bool withDialog,
                                        std::unique_ptr<CellBoard>& incoming, Rule& rule) {
    CFile file;
    CFileException error;
    if (!file.Open(path, kModeRead | kShareDenyWrite, &error)) {
        ReportSaveLoadException(path, error.m_cause, false, kPromptFailedToOpen);
        return LoadResult::CannotOpen;
    }
    ProfileSettings settings;
    const BoardSize size = ReadBoardSize(settings);
    // Reload reads into the scratch board when it has the size wanted: its
    // cells mean nothing between steps, and so a reload needs no third board.
    // (Open keeps a board of its own: the File Information dialog it shows
    // may let the view step the pair while the new pattern waits.)
    const bool borrowScratch = !withDialog && scratch_ && current_ &&
                               scratch_->width == size.width && scratch_->height == size.height;
    if (borrowScratch) {
        incoming = std::move(scratch_);
        incoming->MakeEmpty();
        incoming->description.clear();
        incoming->name.clear();
    } else {
        incoming = MakeBoard(size.width, size.height);
        if (!incoming && (history_.HasSpare() || history_.SpareComing())) {
            // The history's spare board goes before memory is reported short.
            history_.ReleaseSpare();
            incoming = MakeBoard(size.width, size.height);
        }
        if (!incoming) return LoadResult::OutOfMemory;
    }
    // Gives a borrowed scratch board back, all dead, before any message.
    auto giveBack = [&] {
        if (!borrowScratch) {
            incoming.reset();
            return;
        }
        incoming->MakeEmpty();
        incoming->description = current_->description;
        incoming->name = current_->name;
        scratch_ = std::move(incoming);
    };

    CFileByteSource source(file);
    MessageKeepingReporter reporter;
    Rule readRule;
    const bool read = ReadPattern(*incoming, source, reporter, readRule);
    readNotes_ = reporter.notes;
    file.Close();
    if (!read) {
        giveBack();
        if (!reporter.message.empty()) ShowMessage(reporter.message, MB_OK);
        return LoadResult::NotRead;
    }
    if (source.Failed()) {
        // A read error in the middle is not the end of the pattern.
        giveBack();
        ReportSaveLoadException(path, file.LastError(), false, kPromptFailedToOpen);
        return LoadResult::NotRead;
    }
    rule = readRule;
    return LoadResult::Loaded;
}

bool CLifeDoc::Adopt(std::unique_ptr<CellBoard> incoming, const Rule& rule) {
    // Another pattern (or the file again): the steps of the old one go.
    history_.Clear();
    std::unique_ptr<CellBoard> scratch;
    if (current_ && current_->width == incoming->width && current_->height == incoming->height) {
        // The old current board serves as the new scratch board. The step
        // needs no more of a scratch board than that it holds no live cell
        // outside the next window: an all-dead board qualifies.
        scratch = std::move(current_);
        scratch->MakeEmpty();
        scratch_.reset();
    } else {
        ReleaseBoards();
        scratch = MakeBoard(incoming->width, incoming->height);
        if (!scratch) {
            ReportCellMemory();
            return false;
        }
    }
    scratch->description = incoming->description;
    scratch->name = incoming->name;
    current_ = std::move(incoming);
    scratch_ = std::move(scratch);
    rule_ = rule;
    session_.BoardChanged();
    RestartCounts(counts_, current_->liveCount);
    return true;
}

bool CLifeDoc::OnOpenDocument(const std::string& path) {
    std::unique_ptr<CellBoard> incoming;
    Rule rule;
    switch (ReadInto(path, true, incoming, rule)) {
        case LoadResult::CannotOpen:
            return false;
        case LoadResult::NotRead:
            return false;
        case LoadResult::OutOfMemory:
            ReportCellMemory();
            return false;
        case LoadResult::Loaded:
            break;
    }

    if (openingPaste_ && incoming->liveCount == 0) {
        ShowMessage(kNoPatternOnClipboardMessage, MB_OK);
        return false;
    }

    EndWaitCursor();
    CFileInfoDlg dlg(false);
    dlg.m_strFileName = openingPaste_ ? std::string(kNewFileName) : path;
    dlg.m_strRules = FormatRulesLine(rule);
    dlg.m_strDescription = incoming->description;
    dlg.m_strNote = readNotes_;
    if (dlg.DoModal() != IDOK) {
        return false;
    }
    return Adopt(std::move(incoming), rule);
}

bool CLifeDoc::Reload() {
    std::unique_ptr<CellBoard> incoming;
    Rule rule;
    switch (ReadInto(m_strPathName, false, incoming, rule)) {
        case LoadResult::CannotOpen:
            return false;
        case LoadResult::NotRead:
            return false;
        case LoadResult::OutOfMemory:
            ReportCellMemory();
            return false;
        case LoadResult::Loaded:
            if (!Adopt(std::move(incoming), rule)) return false;
            SetModifiedFlag(false);
            return true;
    }
    return false;
}

bool CLifeDoc::OnSaveDocument(const std::string& path) {
    switch (PatternFormatForPath(path)) {
        case PatternFileFormat::Rle:
            return ExportPattern(path, ExportFormat::Rle);
        case PatternFileFormat::Plaintext:
            return ExportPattern(path, ExportFormat::Plaintext);
        case PatternFileFormat::Life105:
            break;
    }
    return WritePatternFile(
        path, [this](const CellBoard& board, ByteSink& sink) { WritePattern(board, rule_, sink); });
}

std::string CLifeDoc::ProposedSavePath() const {
    CWinApp* app = TheApp();
    const std::string folder = app ? app->m_strDocumentsFolder : std::string();
    std::string name = m_strPathName.empty() ? m_strTitle : FileTitleOf(m_strPathName);
    if (name.empty()) name = "Untitled";
    if (ExtensionOf(name).empty()) name += ".lif";
    // A new or pasted pattern, or one of the bundled samples (which most
    // users may not write): the user's own folder.
    if (m_strPathName.empty() ||
        (app != nullptr && InFolder(m_strPathName, app->m_strSamplesFolder)))
        return folder.empty() ? name : folder + "/" + name;
    return m_strPathName;
}

std::string CLifeDoc::SavePathWithoutAsking() const {
    CWinApp* app = TheApp();
    if (app != nullptr && InFolder(m_strPathName, app->m_strSamplesFolder)) return std::string();
    return m_strPathName;
}

void CLifeDoc::PrepareSaveAs(FileDialogRequest& request) const {
    request.fileName = ProposedSavePath();
    const std::string ext = ExtensionOf(request.fileName);
    request.defaultExt = ext.empty() ? std::string("lif") : ext.substr(1);
    // The pattern's own kind of file first, so that its name is shown.
    static const char* const kKinds[][2] = {{"Life files (*.lif)", ".lif"},
                                            {"RLE files (*.rle)", ".rle"},
                                            {"Plaintext files (*.cells)", ".cells"}};
    std::string first, rest;
    for (const auto& kind : kKinds) {
        std::string entry = std::string(kind[0]) + "|*" + kind[1] + "|";
        if (PatternFormatForPath(request.fileName) == PatternFormatForPath(kind[1]) &&
            first.empty())
            first = entry;
        else
            rest += entry;
    }
    request.filter = first + rest + "All files|*||";
}

std::string CLifeDoc::ProposedExportName(const std::string& extension) const {
    std::string path = ProposedSavePath();
    const std::string ext = ExtensionOf(path);
    path.erase(path.size() - ext.size());
    return path + extension;
}

bool CLifeDoc::ExportPattern(const std::string& path, ExportFormat format) {
    if (format == ExportFormat::Rle)
        return WritePatternFile(path, [this](const CellBoard& board, ByteSink& sink) {
            WriteRlePattern(board, rule_, sink, RleGrid::Bounded);
        });
    // The plaintext name line carries the file's own name, without folder or
    // extension.
    std::string title = path.substr(path.find_last_of('/') + 1);
    if (const auto dot = title.find_last_of('.'); dot != std::string::npos && dot > 0)
        title.erase(dot);
    return WritePatternFile(path, [&title](const CellBoard& board, ByteSink& sink) {
        WritePlaintextPattern(board, title, sink);
    });
}

std::string CLifeDoc::RleClipboardText() const {
    if (!current_) return std::string();
    MemoryByteSink sink;
    WriteRlePattern(*current_, rule_, sink, RleGrid::Plain);
    // Text on this platform's clipboard ends its lines in LF alone.
    std::string text;
    const std::string& bytes = sink.bytes();
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text += bytes[i];
    return text;
}

bool CLifeDoc::WritePatternFile(const std::string& path,
                                const std::function<void(const CellBoard&, ByteSink&)>& write) {
    if (!current_) return false;
    // A failed save never leaves a truncated file where a good one was,
    // unless the file can only be written in place; the user is told then.
    ReplacingFile out;
    if (!out.Open(path)) {
        ReportSaveLoadException(path, out.Cause(), true, kPromptInvalidFileName);
        return false;
    }
    BeginWaitCursor();
    bool ok = false;
    try {
        if (out.InPlace()) {
            // A file written in place has no old copy to fall back on: the
            // whole content is made first, so that running out of memory
            // leaves the file as it was.
            MemoryByteSink whole;
            write(*current_, whole);
            ok = out.File().Write(whole.bytes().data(), whole.bytes().size());
        } else {
            CFileByteSink sink(out.File());
            write(*current_, sink);
            ok = sink.Finish();
        }
    } catch (const std::bad_alloc&) {
        out.Abandon();
        EndWaitCursor();
        ReportSaveLoadException(path, FileError::OutOfMemory, true, kPromptFailedToSave);
        return false;
    }
    if (ok)
        ok = out.Commit();
    else
        out.Abandon();
    EndWaitCursor();
    if (ok) return true;
    if (out.MayBeDamaged())
        ShowMessage(SaveLoadFailureText(path, out.Cause(), true, kPromptFailedToSave) + " " +
                        MayBeDamagedText(path),
                    MB_OK | MB_ICONEXCLAMATION);
    else
        ReportSaveLoadException(path, out.Cause(), true, kPromptFailedToSave);
    return false;
}

void CLifeDoc::OnCloseDocument() {
    history_.Clear();
    ReleaseBoards();
    CDocument::OnCloseDocument();
}

void CLifeDoc::CountsFollowBoard(int64_t generation) {
    if (!keepCounts_ || !HasBoards()) return;
    if (!counts_.Empty() && counts_.LastGeneration() == generation &&
        counts_.Last().live == current_->liveCount)
        return;
    counts_.SetAt(generation, current_->liveCount);
}

void CLifeDoc::SetRule(const Rule& rule) {
    if (rule == rule_) return;
    // The rule is part of what a saved pattern holds.
    SetModifiedFlag();
    history_.RecordRules(rule_);
    rule_ = rule;
}

std::string CLifeDoc::GetDescription() const {
    return current_ ? current_->description : std::string();
}

void CLifeDoc::SetDescription(const std::string& text) {
    if (current_ && current_->description != text) {
        SetModifiedFlag();
        history_.RecordDescription(current_->description);
    }
    if (current_) current_->description = text;
    if (scratch_) scratch_->description = text;
}

bool CLifeDoc::LastRepeat(int64_t& period, int64_t& start) const {
    const std::optional<Cycle>& found = session_.LastRepeat();
    if (!found) return false;
    period = found->period;
    start = found->start;
    return true;
}

void CLifeDoc::NextGeneration(int newborn, int32_t& births, int32_t& deaths) {
    if (!HasBoards()) {
        births = deaths = 0;
        return;
    }
    current_->ComputeNext(*scratch_, rule_, newborn, births, deaths);
    std::swap(current_, scratch_);
    // Not a generation of the session's counter: its watch starts again.
    session_.BoardChanged();
}

void CLifeDoc::Center() {
    if (!HasBoards()) return;
    history_.RecordArea(UndoKind::Center, *current_, WholeArea());
    SetModifiedFlag(true);
    current_->CenterInto(*scratch_);
    std::swap(current_, scratch_);
    // Border cells moved onto the border must be on both boards: the step
    // never writes the border, and a cell on one board only would come and
    // go with every generation.
    CopyBorder(*current_, *scratch_);
}

void CLifeDoc::RotateLeft() {
    if (!HasBoards()) return;
    history_.RecordArea(UndoKind::RotateLeft, *current_, WholeArea());
    SetModifiedFlag(true);
    current_->RotateLeftInto(*scratch_);
    std::swap(current_, scratch_);
    // Border cells moved onto the border must be on both boards: the step
    // never writes the border, and a cell on one board only would come and
    // go with every generation.
    CopyBorder(*current_, *scratch_);
}

void CLifeDoc::ChangePalette(PaletteBlock& palette) {
    if (!HasBoards()) return;
    SetCurrentPalette(&palette);
    WriteBitmapHeader(palette, current_->width, current_->height);
    current_->RepaletteInto(*scratch_, palette);
    std::swap(current_, scratch_);
}

// --- Undo history --------------------------------------------------------------

Rect CLifeDoc::WholeArea() const {
    return Rect{0, 0, current_->width - 1, current_->height - 1};
}

void CLifeDoc::NoteStrokeCell(int x, int y, uint8_t value, bool erase) {
    if (!HasBoards() || x < 0 || y < 0 || x >= current_->width || y >= current_->height) return;
    if (current_->At(x, y) == value) return;
    history_.NoteStrokeCell(*current_, x, y, value, erase);
    SetModifiedFlag(true);
}

void CLifeDoc::EndStroke() {
    history_.EndStroke();
}

void CLifeDoc::BeginRun(const RunCounters& counters) {
    if (HasBoards()) history_.BeginRun(*current_, counters);
}

void CLifeDoc::EndRun() {
    history_.EndRun();
}

bool CLifeDoc::Undo(RunCounters& counters) {
    history_.EndStroke();
    if (!HasBoards() || !history_.CanUndo()) return false;
    const UndoKind kind = history_.UndoKindNext();
    if (!history_.Undo(UndoHistory::Target{current_, scratch_, counters, rule_})) return false;
    session_.BoardChanged();
    // Running is no change to the pattern, and neither is undoing a run.
    if (kind != UndoKind::Run) SetModifiedFlag(true);
    return true;
}

bool CLifeDoc::Redo(RunCounters& counters) {
    history_.EndStroke();
    if (!HasBoards() || !history_.CanRedo()) return false;
    const UndoKind kind = history_.RedoKindNext();
    if (!history_.Redo(UndoHistory::Target{current_, scratch_, counters, rule_})) return false;
    session_.BoardChanged();
    // Running is no change to the pattern, and neither is redoing a run.
    if (kind != UndoKind::Run) SetModifiedFlag(true);
    return true;
}

void CLifeDoc::EditArea(UndoKind kind, Rect area, const std::function<void(CellBoard&)>& edit) {
    if (!HasBoards()) return;
    area = ClipToBoard(*current_, area);
    if (IsEmptyRect(area)) return;
    history_.RecordArea(kind, *current_, area);
    SetModifiedFlag(true);
    edit(*current_);
    CopyBorder(*current_, *scratch_);
}

}  // namespace cellarium
