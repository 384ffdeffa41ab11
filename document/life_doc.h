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
#include <memory>
#include <string>

#include "colour/palette.h"
#include "engine/cell_board.h"
#include "engine/rules.h"
#include "framework/document.h"

namespace cellarium {

class CLifeDoc : public CDocument {
public:
    CLifeDoc() = default;
    ~CLifeDoc() override;

    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& path) override;
    bool OnSaveDocument(const std::string& path) override;
    void OnCloseDocument() override;

    // Re-reads the file at the document's path into fresh boards, without a
    // dialog. A file that cannot be opened or read leaves the boards alone.
    void Reload();

    std::string GetDescription() const;
    // Sets the description of both boards.
    void SetDescription(const std::string& text);

    // Sets the program-wide rule tables (entry n of each: n live neighbours;
    // any non-zero value sets it). They apply from the next generation; the
    // document is not marked as modified.
    void SetRules(const uint8_t survive[kRuleEntries], const uint8_t born[kRuleEntries]);

    // The step: computes the next generation into the scratch board and makes
    // it current.
    void NextGeneration(int newborn, int32_t& births, int32_t& deaths);
    void Center();
    void RotateLeft();
    void ChangePalette(PaletteBlock& palette);

    // Both boards exist (from the first New or Open until Close, unless a
    // board could not be allocated and the program is ending).
    // The n-th name a save tries for the file it writes before that file
    // replaces the target.
    static std::string TemporarySaveName(const std::string& path, int n);

    bool HasBoards() const { return current_ && scratch_; }
    CellBoard* CurrentBoard() const { return current_.get(); }
    CellBoard* ScratchBoard() const { return scratch_.get(); }

private:
    enum class LoadResult { CannotOpen, NotRead, Loaded, OutOfMemory };
    // Reads path into a board of its own (for Reload, the scratch board when
    // it has the size wanted); on success incoming holds it. On failure the
    // document's boards are as they were.
    LoadResult ReadInto(const std::string& path, bool withDialog,
                        std::unique_ptr<CellBoard>& incoming);
    // Makes incoming current with a fresh scratch board beside it.
    bool Adopt(std::unique_ptr<CellBoard> incoming);
    // Writes the pattern straight to a device or pipe (nothing there to
    // keep); target is path with links followed, messages name path.
    bool SaveInPlace(const std::string& path, const std::string& target);
    void ReleaseBoards();
    bool MakeBoards();

    std::unique_ptr<CellBoard> current_;
    std::unique_ptr<CellBoard> scratch_;
};

}  // namespace cellarium
