// The document: one open pattern held in two boards of the same size, the
// current board (the generation shown) and the scratch board (the target of
// the step and the transforms, exchanged with the current one afterwards).
//
// Loading is all or nothing: a pattern is read into a board of its own, and
// only when the read succeeded and the File Information dialog was confirmed
// does it replace the document's boards. A failed open or reload leaves the
// previous pattern, its rules, its description and its path as they were.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "colour/palette.h"
#include "document/population_history.h"
#include "document/run_loop.h"
#include "document/undo_history.h"
#include "engine/cell_board.h"
#include "engine/rule.h"
#include "engine/run_session.h"
#include "formats/byte_stream.h"
#include "framework/document.h"

namespace cellarium {

// The format a pattern file is written in, by its name: ".rle" run-length
// encoded (with the bounded-grid header and position), ".cells" plaintext,
// anything else Life 1.05. Case does not matter.
enum class PatternFileFormat { Life105, Rle, Plaintext };
PatternFileFormat PatternFormatForPath(const std::string& path);

// What Paste says when the clipboard's text holds no live cell.
extern const char* const kNoPatternOnClipboardMessage;
// The key, in the population graph's settings section, of the kilobytes the
// counts of a run may take (65536 unless set, 64 at least); read at every
// New, Open and Reload.
extern const char* const kHistoryBudgetKey;
extern const char* const kGraphSection;

class CLifeDoc : public CDocument {
public:
    CLifeDoc();
    ~CLifeDoc() override;

    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& path) override;
    bool OnSaveDocument(const std::string& path) override;
    void OnCloseDocument() override;

    // Save and Save As write the format the name asks for
    // (PatternFormatForPath). A pattern opened from the bundled samples is
    // saved, by default, into the user's own folder.
    std::string SavePathWithoutAsking() const override;
    void PrepareSaveAs(FileDialogRequest& request) const override;
    // The file's name as Save As proposes it: in the user's folder when the
    // pattern has no path or came from the bundled samples.
    std::string ProposedSavePath() const;
    // The name Export as RLE proposes: the pattern's name with ".rle" in
    // place of its extension, in the folder Save As proposes.
    std::string ProposedExportName(const std::string& extension) const;

    // Writes the current board to path in another program's format, through
    // the same safe replace and with the same messages as Save, but leaves
    // the document's path, title and modified state alone.
    enum class ExportFormat { Rle, Plaintext };
    bool ExportPattern(const std::string& path, ExportFormat format);
    // The current board as RLE text for the clipboard: the plain rule, no
    // grid suffix, LF line ends.
    std::string RleClipboardText() const;

    // Re-reads the file at the document's path into fresh boards, without a
    // dialog. A file that cannot be opened or read leaves the boards alone.
    // True when the file's pattern (and so no unsaved change) is held now.
    bool Reload();

    // The pattern's rule: what the steps run under. Conway's Life until a
    // pattern gives another; New keeps it.
    const Rule& GetRule() const { return rule_; }
    // Sets the rule, as the Rules dialog's OK does: it applies from the next
    // generation. A change is one undo step.
    void SetRule(const Rule& rule);

    std::string GetDescription() const;
    // Sets the description of both boards; a change is one undo step.
    void SetDescription(const std::string& text);

    // The step: computes the next generation into the scratch board and makes
    // it current. (Runs go through Advance, which also counts and checks.)
    void NextGeneration(int newborn, int32_t& births, int32_t& deaths);
    // While on, the generations Advance makes are checked for a repeat of the
    // live cells of an earlier generation of this run, and Advance stops at
    // the first. Any change to the board other than a step, or a counter
    // that does not follow on, starts the watch again from the board as it is.
    void WatchRepeats(bool on) { session_.WatchRepeats(on); }
    // Repeats count from the board as it is now: a run's own.
    void RestartRepeatWatch() { session_.RestartRepeatWatch(); }
    // Whether the last step's live cells equal an earlier generation's of
    // this run: the period and that generation (the counter's number).
    bool LastRepeat(int64_t& period, int64_t& start) const;
    // Every change to the pattern other than a step marks it modified, and
    // so the watch for repeats knows the board was changed.
    void SetModifiedFlag(bool modified = true) {
        if (modified) session_.BoardChanged();
        CDocument::SetModifiedFlag(modified);
    }
    // Has every step also give LiveCellHash (engine/live_hash.h) of the board
    // it makes, at less cost than hashing the board afterwards.
    void HashEachStep(bool on) { session_.HashEachStep(on); }
    // The hash of the board the last step made, while steps hash; it holds
    // until the board next changes.
    std::optional<uint64_t> StepLiveHash() const { return session_.StepLiveHash(); }

    // The run loop, the one place that makes generations for the view's
    // timer at every speed, for Step and Go to Generation (and so for the
    // runner): the run session's (engine/run_session.h), under the
    // document's rule, starting from the caller's counters, which hold the
    // last generation made afterwards. Each generation is told to the
    // observer (the statistics line) and kept in Counts().
    RunStop Advance(int64_t& generation, int32_t& births, int32_t& deaths, const RunLimits& limits,
                    GenerationObserver* observer);
    // A run, from Run, Step or Go to Generation until it pauses or stops, is
    // one change to the pattern: the view says where it begins and ends, so
    // that what keeps the history of changes can keep the board where a run
    // began as one step.
    void RunStarted() { m_bInRun = true; }
    void RunEnded() {
        m_bInRun = false;
        EndRun();
    }
    bool InRun() const { return m_bInRun; }
    void Center();
    void RotateLeft();
    void ChangePalette(PaletteBlock& palette);

    // While set, the next open is the pasted pattern's: one with no live
    // cell fails with kNoPatternOnClipboardMessage instead of showing File
    // Information, which names no file (its temporary one is about to go).
    void SetOpeningPaste(bool on) { openingPaste_ = on; }
    // --- Undo history ----------------------------------------------------------
    // Edits, runs, Center, Rotate Left, rules and description go into the
    // history; opening a pattern, New and Reload clear it. Every recorded
    // change of cells (and every undo and redo) marks the document modified.
    const UndoHistory& History() const { return history_; }
    UndoHistory& History() { return history_; }
    void KeepHistory(bool keep) { history_.SetEnabled(keep); }
    // The stylus is about to give the cell (x, y) value; a stroke ends at
    // EndStroke (the stylus lifted).
    void NoteStrokeCell(int x, int y, uint8_t value, bool erase);
    void EndStroke();
    // A run from its first generation (BeginRun before every generation does
    // nothing while the run is open) to the pause (EndRun).
    void BeginRun(const RunCounters& counters);
    void EndRun();
    // Undo and Redo put back the boards, rules, description and, for a run,
    // counters. False when there is nothing to undo or redo.
    bool Undo(RunCounters& counters);
    bool Redo(RunCounters& counters);
    // One selection command as one undo step: the cells of area (clipped to
    // the board) are recorded, then edit changes the current board; the
    // scratch board takes the border edit makes.
    void EditArea(UndoKind kind, Rect area, const std::function<void(CellBoard&)>& edit);

    // The counts of every generation since the last New, Open or Reload
    // (which start it again from generation 0); the run adds to it.
    // The runner keeps none (KeepCounts(false)): its runs may be long and
    // nobody sees a graph.
    void KeepCounts(bool keep) { keepCounts_ = keep; }
    // The board is at `generation` between runs (after an edit, Fill Random,
    // an undo): the counts end there, with the board's live cells.
    void CountsFollowBoard(int64_t generation);
    PopulationHistory& Counts() { return counts_; }
    const PopulationHistory& Counts() const { return counts_; }

    // Both boards exist (from the first New or Open until Close, unless a
    // board could not be allocated and the program is ending).
    bool HasBoards() const { return current_ && scratch_; }
    CellBoard* CurrentBoard() const { return current_.get(); }
    CellBoard* ScratchBoard() const { return scratch_.get(); }

    // Idle time's work while paused: packs a slice of a board the undo
    // history holds whole; true while more is left.
    bool IdleWork();

private:
    enum class LoadResult { CannotOpen, NotRead, Loaded, OutOfMemory };
    // Reads path into a board of its own (for Reload, the scratch board when
    // it has the size wanted); on success incoming holds it. On failure the
    // document's boards are as they were.
    LoadResult ReadInto(const std::string& path, bool withDialog,
                        std::unique_ptr<CellBoard>& incoming, Rule& rule);
    // Makes incoming current with a fresh scratch board beside it, under
    // the rule read with it.
    bool Adopt(std::unique_ptr<CellBoard> incoming, const Rule& rule);
    void ReleaseBoards();
    // A board of the document: null when memory runs out.
    static std::unique_ptr<CellBoard> MakeBoard(int width, int height);
    bool MakeBoards();
    // The whole current board as a rectangle.
    Rect WholeArea() const;
    // Replaces the file at path with what write puts out for the current
    // board, telling the user when that fails.
    bool WritePatternFile(const std::string& path,
                          const std::function<void(const CellBoard&, ByteSink&)>& write);

    // The boards, the watch for repeats and the step threads: every
    // generation is the session's.
    RunSession session_;
    std::unique_ptr<CellBoard>& current_ = session_.CurrentSlot();
    std::unique_ptr<CellBoard>& scratch_ = session_.ScratchSlot();
    Rule rule_;
    bool openingPaste_ = false;
    std::string readNotes_;  // the last read's notes, for File Information
    UndoHistory history_;
    PopulationHistory counts_;
    bool keepCounts_ = true;
    bool m_bInRun = false;
};

}  // namespace cellarium
