// Export as RLE... and Copy as RLE: the current board in run-length form to a
// file or to the clipboard, without touching the document; what was copied
// pastes back as the same pattern.
#include <filesystem>

#include "document/life_session.h"
#include "formats/rle_writer.h"
#include "framework/resources.h"
#include "shell/resources.h"

using namespace cellarium;

namespace {

// Cells off the centre, and a rule other than Conway's.
const char* const kOffCentreFile =
    "#Life 1.05\r\n#D Off the centre\r\n#D second line\r\n#R 23/36\r\n#P -60 25\r\n"
    ".*.*\r\n....\r\n*..*\r\n";

using CellList = std::vector<std::pair<int, int>>;

CellList LiveCells(const CellBoard& board) {
    CellList cells;
    for (int y = 0; y < board.height; ++y)
        for (int x = 0; x < board.width; ++x)
            if (board.At(x, y)) cells.emplace_back(x, y);
    return cells;
}

class RleExport : public LifeSession {};

}  // namespace

TEST_F(RleExport, FileMenuOffersBothBesideSaveAs) {
    const MenuTemplate* menu = LifeResources().FindMenu(IDR_MAINFRAME);
    ASSERT_NE(menu, nullptr);
    const MenuItem* file = nullptr;
    for (const MenuItem& top : menu->items)
        for (const MenuItem& item : top.children)
            if (item.caption == "File") file = &item;
    ASSERT_NE(file, nullptr);
    ASSERT_GE(file->children.size(), 3u);
    EXPECT_EQ(file->children[0].caption, "Save As...");
    EXPECT_EQ(file->children[1].caption, "Export as RLE...");
    EXPECT_EQ(file->children[1].id, ID_EXPORT_RLE);
    EXPECT_EQ(file->children[2].caption, "Copy as RLE");
    EXPECT_EQ(file->children[2].id, ID_COPY_RLE);
}

TEST_F(RleExport, CopyThenPasteToNewFileGivesTheSamePattern) {
    ASSERT_NE(OpenText("off.lif", kOffCentreFile), nullptr);
    const CellList before = LiveCells(Board());
    ASSERT_EQ(before.size(), 4u);
    platform.ClearClipboard();
    EXPECT_TRUE(platform.Command(ID_COPY_RLE));

    const std::optional<std::string> text = platform.ClipboardText();
    ASSERT_TRUE(text.has_value());
    // The plain rule: other programs paste it onto a plane of their own.
    EXPECT_NE(text->find("rule = B36/S23\n"), std::string::npos) << *text;
    EXPECT_EQ(text->find(":P"), std::string::npos) << *text;
    EXPECT_EQ(text->find("#C Off the centre second line\n"), 0u) << *text;
    // Line ends of this platform's clipboard: LF alone.
    EXPECT_EQ(text->find('\r'), std::string::npos) << *text;

    Doc()->SetRule(Rule());  // the paste must bring the rule back itself
    Doc()->SetModifiedFlag(false);
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) { d.Click(IDOK); });
    EXPECT_TRUE(platform.Command(ID_PASTE_NEW));
    EXPECT_TRUE(platform.ScriptErrors().empty());
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(LiveCells(Board()), before);
    EXPECT_EQ(FormatRuleText(Doc()->GetRule()), "s23/b36");
    // The clipboard's terminating zero stays out of the pasted file, and so
    // out of the description.
    EXPECT_EQ(Doc()->GetDescription(), "Off the centre second line");
}

TEST_F(RleExport, ACopyWhileAnotherProgramHoldsTheClipboardChangesNothing) {
    ASSERT_NE(OpenText("off.lif", kOffCentreFile), nullptr);
    platform.SetClipboardText("theirs");
    platform.SetClipboardBusy(true);
    platform.Command(ID_COPY_RLE);
    platform.SetClipboardBusy(false);
    EXPECT_EQ(platform.ClipboardText(), "theirs");
}

TEST_F(RleExport, ExportWritesTheBoardAndLeavesTheDocumentAlone) {
    const std::string source = Write("off.lif", kOffCentreFile);
    ASSERT_NE(Open(source), nullptr);
    const CellList before = LiveCells(Board());
    const std::string title = Doc()->GetTitle();

    const std::string target = Path("out.rle");
    platform.ExpectFileDialog(target);
    EXPECT_TRUE(platform.Command(ID_EXPORT_RLE));
    platform.ClearScript();
    EXPECT_TRUE(platform.MessageTexts().empty());
    const std::string written = Slurp(target);
    EXPECT_NE(written.find("#CXRLE Pos=-60,25\r\nx = 4, y = 3, rule = B36/S23:P198,198\r\n"),
              std::string::npos)
        << written;
    EXPECT_EQ(Doc()->GetPathName(), source);
    EXPECT_EQ(Doc()->GetTitle(), title);
    EXPECT_FALSE(Doc()->IsModified());
    EXPECT_EQ(Slurp(source), kOffCentreFile);

    // Opened again, every cell is where it was.
    ASSERT_NE(Open(target), nullptr);
    EXPECT_EQ(LiveCells(Board()), before);

    // Save As keeps writing Life 1.05.
    platform.ExpectFileDialog(Path("again.lif"));
    platform.Command(ID_FILE_SAVE_AS);
    platform.ClearScript();
    EXPECT_EQ(Slurp(Path("again.lif")).rfind("#Life 1.05\r\n", 0), 0u);
}

TEST_F(RleExport, AnExportThatCannotBeWrittenSaysSoAndLeavesNothing) {
    ASSERT_NE(OpenText("off.lif", kOffCentreFile), nullptr);
    const std::string target = Path("missing-folder/out.rle");
    platform.ExpectFileDialog(target);
    platform.Command(ID_EXPORT_RLE);
    platform.ClearScript();
    ASSERT_EQ(platform.MessageTexts().size(), 1u);
    EXPECT_NE(platform.MessageTexts()[0].find("out.rle"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(target));
}
