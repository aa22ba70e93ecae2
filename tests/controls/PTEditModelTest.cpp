// The editor's text model without a window: positions, offsets, edits, selection, search, keys.
#include "controls/PTEditModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records what the model asks of its view.
class TRecordingView : public TPTEditView {
public:
  struct TShift {
    int First, Count;
  };
  std::vector<std::pair<int, int>> Invalidated;
  std::vector<TShift> Shifts;
  std::vector<int> Formatted;
  int CaretUpdates = 0, Scrolls = 0, All = 0;
  int Top = 0, Visible = 10;
  std::string Clipboard;

  void InvalidateLines(int AFirst, int ALast) override { Invalidated.push_back({AFirst, ALast}); }
  void ShiftRows(int AFirstLine, int ACount) override { Shifts.push_back({AFirstLine, ACount}); }
  void InvalidateAll() override { ++All; }
  void ScrollToCaret() override { ++Scrolls; }
  void UpdateCaret() override { ++CaretUpdates; }
  void FormatLineRequest(int AIndex) override { Formatted.push_back(AIndex); }
  int TopLine() const override { return Top; }
  int VisibleLines() const override { return Visible; }
  void SetTopLine(int ATopLine) override { Top = ATopLine; }
  std::string ClipboardText() override { return Clipboard; }
  void SetClipboardText(const std::string &AText) override { Clipboard = AText; }
  void Reset() {
    Invalidated.clear();
    Shifts.clear();
    Formatted.clear();
    CaretUpdates = Scrolls = All = 0;
  }
};

class ModelTest : public ::testing::Test {
protected:
  TRecordingView View;
  TPTEditModel Model{&View};

  void SetText(std::string AText) { Model.Lines().SetText(AText); }
  std::string Text() { return Model.Lines().Text(); }
  std::string Line(int I) { return Model.Lines().Strings(I); }
  void Caret(int X, int Y) { Model.SetCaretAndAnchor(TEditPos{X, Y}); }
  void Select(TEditPos AAnchor, TEditPos ACaret) {
    Model.SetCaretAndAnchor(AAnchor);
    Model.MoveCaret(ACaret);
  }
};

TEST_F(ModelTest, Creation_OneEmptyLineCaretAtStartAndDefaults) {
  EXPECT_EQ(Model.Lines().Count(), 1);
  EXPECT_EQ(Line(0), "");
  EXPECT_EQ(Model.CaretX(), 1);
  EXPECT_EQ(Model.CaretY(), 0);
  EXPECT_TRUE(Model.InsertMode());
  EXPECT_FALSE(Model.ReadOnly() || Model.AutoIndent() || Model.BackspaceUnindents() ||
               Model.Modified());
  EXPECT_EQ(Model.TabSize(), 8);
}

TEST_F(ModelTest, SelStart_OffsetsCountLineBreaksAsTwo) {
  SetText("ab\r\n\r\ncdef\r\n");
  // Start of the empty line that is not the last: column 1 of that very line.
  Model.SetSelStart(4);
  EXPECT_EQ(Model.Caret(), (TEditPos{1, 1}));
  // End of a line (just before its CR LF): that line's end.
  Model.SetSelStart(2);
  EXPECT_EQ(Model.Caret(), (TEditPos{3, 0}));
  // Inside a break: still the end of the line.
  Model.SetSelStart(3);
  EXPECT_EQ(Model.Caret(), (TEditPos{3, 0}));
  // Total length and beyond: end of the last line.
  Model.SetSelStart(10);
  EXPECT_EQ(Model.Caret(), (TEditPos{5, 2}));
  Model.SetSelStart(1000);
  EXPECT_EQ(Model.Caret(), (TEditPos{5, 2}));
  EXPECT_EQ(Model.SelStart(), 10);
  // A negative offset is the start of the text, not a column below 1.
  Model.SetSelStart(-5);
  EXPECT_EQ(Model.Caret(), (TEditPos{1, 0}));
  EXPECT_EQ(Model.Anchor(), Model.Caret());
  EXPECT_GE(View.CaretUpdates, 1);
  EXPECT_GE(View.Scrolls, 1);
}

TEST_F(ModelTest, SelLength_AdvancesAnchorAcrossBreaks) {
  SetText("abc");
  Model.SetSelStart(1);
  Model.SetSelLength(1);
  EXPECT_EQ(Model.SelStart(), 1);
  EXPECT_EQ(Model.SelLength(), 1);
  EXPECT_EQ(Model.CaretX(), 2);
  EXPECT_EQ(Model.SelectedText(), "b");

  SetText("ab\r\ncd\r\nef");
  Model.SetSelStart(1);
  Model.SetSelLength(5); // b, CR LF, c, d
  EXPECT_EQ(Model.SelectedText(), "b\r\ncd");
  EXPECT_EQ(Model.SelLength(), 5);
  // A count ending between CR and LF gives the end of that line.
  Model.SetSelStart(0);
  Model.SetSelLength(3);
  EXPECT_EQ(Model.Anchor(), (TEditPos{3, 0}));
  // Past the end: end of the last line.
  Model.SetSelLength(100);
  EXPECT_EQ(Model.Anchor(), (TEditPos{3, 2}));
  // Selection change repaints one range of rows: the lines of the ends that moved.
  View.Reset();
  Model.SetSelStart(0);
  ASSERT_EQ(View.Invalidated.size(), 1u);
  EXPECT_EQ(View.Invalidated[0], std::make_pair(0, 2));
}

TEST_F(ModelTest, TypeChar_VirtualSpaceInsertAndOverwrite) {
  SetText("ab");
  Caret(6, 0);
  Model.TypeChar('x');
  EXPECT_EQ(Line(0), "ab   x");
  EXPECT_EQ(Model.CaretX(), 7);
  EXPECT_TRUE(Model.Modified());

  SetText("abc");
  Caret(2, 0);
  Model.TypeChar('x');
  EXPECT_EQ(Line(0), "axbc");
  Model.SetInsertMode(false);
  Caret(2, 0);
  Model.TypeChar('y');
  EXPECT_EQ(Line(0), "aybc");
  Caret(5, 0);
  Model.TypeChar('z'); // overwrite at the end grows the line
  EXPECT_EQ(Line(0), "aybcz");
  Caret(8, 0);
  Model.TypeChar('w');
  EXPECT_EQ(Line(0), "aybcz  w");
  EXPECT_EQ(View.Formatted.back(), 0);
}

TEST_F(ModelTest, SplitLine_AutoIndentCopiesLeadingBlanksAndShiftsRows) {
  SetText("\t  word\r\nnext");
  Model.SetAutoIndent(true);
  Caret(8, 0);
  View.Reset();
  Model.SplitLine();
  EXPECT_EQ(Model.Lines().Count(), 3);
  EXPECT_EQ(Line(0), "\t  word");
  EXPECT_EQ(Line(1), "\t  ");
  EXPECT_EQ(Line(2), "next");
  EXPECT_EQ(Model.Caret(), (TEditPos{4, 1}));
  EXPECT_EQ(Model.Anchor(), Model.Caret());
  ASSERT_EQ(View.Shifts.size(), 1u);
  EXPECT_EQ(View.Shifts[0].First, 1);
  EXPECT_EQ(View.Shifts[0].Count, 1);
  EXPECT_EQ(View.Formatted, (std::vector<int>{0, 1}));

  // In virtual space no spaces are added; an all-blank line indents by its whole length.
  SetText("ab\r\n   ");
  Model.SetAutoIndent(false);
  Caret(7, 0);
  Model.SplitLine();
  EXPECT_EQ(Line(0), "ab");
  EXPECT_EQ(Line(1), "");
  Model.SetAutoIndent(true);
  Caret(4, 2);
  Model.SplitLine();
  EXPECT_EQ(Line(3), "   ");
  EXPECT_EQ(Model.CaretX(), 4);
}

TEST_F(ModelTest, Backspace_JoinsUnindentsAndStopsAtTextStart) {
  SetText("abc");
  Model.Backspace();
  EXPECT_EQ(Line(0), "abc");
  EXPECT_FALSE(Model.Modified());

  SetText("ab\r\ncd");
  Caret(1, 1);
  View.Reset();
  Model.Backspace();
  EXPECT_EQ(Model.Lines().Count(), 1);
  EXPECT_EQ(Line(0), "abcd");
  EXPECT_EQ(Model.Caret(), (TEditPos{3, 0}));
  ASSERT_EQ(View.Shifts.size(), 1u);
  EXPECT_EQ(View.Shifts[0].Count, -1);

  // Unindent to the nearest shallower non-empty line above.
  SetText("    x\r\n\r\n        ");
  Model.SetBackspaceUnindents(true);
  Caret(9, 2);
  Model.Backspace();
  EXPECT_EQ(Line(2), "    ");
  EXPECT_EQ(Model.CaretX(), 5);
  // No shallower line: back to column 1, also with an empty first line.
  SetText("\r\n        ");
  Caret(9, 1);
  Model.Backspace();
  EXPECT_EQ(Line(1), "");
  EXPECT_EQ(Model.CaretX(), 1);
  // Tabs count TabSize columns; a found line indented with spaces is copied in.
  SetText("    x\r\n\tfoo");
  Caret(2, 1);
  Model.Backspace();
  EXPECT_EQ(Line(1), "    foo");
  EXPECT_EQ(Model.CaretX(), 5);
  // Not all blanks left of the caret: a plain backspace.
  SetText("  ab");
  Caret(4, 0);
  Model.Backspace();
  EXPECT_EQ(Line(0), "  b");
  EXPECT_EQ(Model.CaretX(), 3);
  // Virtual space: text unchanged, caret one left, Modified set.
  Model.SetBackspaceUnindents(false);
  Model.SetModified(false);
  Caret(7, 0);
  Model.Backspace();
  EXPECT_EQ(Line(0), "  b");
  EXPECT_EQ(Model.CaretX(), 6);
  EXPECT_TRUE(Model.Modified());
}

TEST_F(ModelTest, DeleteChar_JoinsWithPaddingAndStopsAtTextEnd) {
  SetText("abc\r\ndef");
  Caret(8, 0);
  Model.DeleteChar();
  EXPECT_EQ(Model.Lines().Count(), 1);
  EXPECT_EQ(Line(0), "abc    def");
  EXPECT_EQ(Model.CaretX(), 8);
  Model.SetModified(false);
  Caret(11, 0);
  Model.DeleteChar();
  EXPECT_EQ(Line(0), "abc    def");
  EXPECT_FALSE(Model.Modified());
  Caret(2, 0);
  Model.DeleteChar();
  EXPECT_EQ(Line(0), "ac    def");
}

TEST_F(ModelTest, ClearSelection_AcrossLinesAndWithinOne) {
  SetText("abcd\r\nefgh\r\nijkl\r\nmnop");
  Select(TEditPos{3, 0}, TEditPos{2, 2});
  View.Reset();
  Model.ClearSelection();
  EXPECT_EQ(Model.Lines().Count(), 2);
  EXPECT_EQ(Line(0), "abjkl");
  EXPECT_EQ(Line(1), "mnop");
  EXPECT_EQ(Model.Caret(), (TEditPos{3, 0}));
  EXPECT_TRUE(Model.SelectionEmpty());
  ASSERT_EQ(View.Shifts.size(), 1u);
  EXPECT_EQ(View.Shifts[0].First, 1);
  EXPECT_EQ(View.Shifts[0].Count, -2);

  // Starting at column 1: whole lines go.
  SetText("abcd\r\nefgh\r\nijkl");
  Select(TEditPos{3, 2}, TEditPos{1, 0}); // caret before anchor
  Model.ClearSelection();
  EXPECT_EQ(Text(), "kl\r\n");
  // Start in virtual space: the line is padded to the start column first.
  SetText("ab\r\ncdef");
  Select(TEditPos{5, 0}, TEditPos{3, 1});
  Model.ClearSelection();
  EXPECT_EQ(Text(), "ab  ef\r\n");
  // Within a line, end in virtual space.
  SetText("abcdef");
  Select(TEditPos{3, 0}, TEditPos{20, 0});
  Model.ClearSelection();
  EXPECT_EQ(Text(), "ab\r\n");
}

TEST_F(ModelTest, InsertText_BreaksOfEveryKindAndVirtualSpace) {
  SetText("abcd");
  Caret(3, 0);
  Model.InsertText("one\r\ntwo");
  EXPECT_EQ(Line(0), "abone");
  EXPECT_EQ(Line(1), "twocd");
  EXPECT_EQ(Model.Caret(), (TEditPos{4, 1}));

  SetText("");
  Model.Lines().Add("");
  Caret(1, 0);
  Model.InsertText("a\n\nb");
  EXPECT_EQ(Text(), "a\r\n\r\nb\r\n");
  SetText("");
  Model.Lines().Add("");
  Caret(1, 0);
  Model.InsertText("a\r\nb");
  EXPECT_EQ(Text(), "a\r\nb\r\n");
  SetText("x");
  Caret(1, 0);
  Model.InsertText("1\r2\n\r3"); // lone CR, LF then CR: three breaks
  EXPECT_EQ(Text(), "1\r\n2\r\n\r\n3x\r\n");

  // In virtual space: appended right after the last character, caret keeps its distance.
  SetText("ab");
  Caret(6, 0);
  Model.InsertText("xy");
  EXPECT_EQ(Line(0), "abxy");
  EXPECT_EQ(Model.CaretX(), 8);
  // The text ends at a NUL byte; an empty text still sets Modified.
  Model.SetModified(false);
  Model.InsertText(std::string_view("\0zz", 3));
  EXPECT_EQ(Line(0), "abxy");
  EXPECT_TRUE(Model.Modified());
  // A selection is replaced.
  SetText("hello world");
  Select(TEditPos{1, 0}, TEditPos{6, 0});
  View.Reset();
  Model.InsertText("bye\r\nall");
  EXPECT_EQ(Text(), "bye\r\nall world\r\n");
  ASSERT_FALSE(View.Shifts.empty());
  EXPECT_EQ(View.Shifts.back().First, 1);
  EXPECT_EQ(View.Shifts.back().Count, 1);
}

TEST_F(ModelTest, FindText_CaseOptionsLinesAndLimits) {
  SetText("abc");
  EXPECT_EQ(Model.FindText("B", 0, INT32_MAX, 0), 1);
  EXPECT_EQ(Model.FindText("B", 0, INT32_MAX, frMatchCase), -1);
  EXPECT_EQ(Model.FindText("b", 0, 0, 0), -1);
  EXPECT_EQ(Model.FindText("", 0, INT32_MAX, 0), -1);

  SetText("xxab\r\ncd\r\n\r\nab");
  EXPECT_EQ(Model.FindText("ab", 0, INT32_MAX, 0), 2);
  EXPECT_EQ(Model.FindText("ab", 3, INT32_MAX, 0), 12);
  EXPECT_EQ(Model.FindText("bc", 0, INT32_MAX, 0), -1); // never across a break
  EXPECT_EQ(Model.FindText("b\r\nc", 0, INT32_MAX, 0), -1);
  EXPECT_EQ(Model.FindText("AB", 13, INT32_MAX, 0), -1);
  // Letters fold, other bytes compare exactly.
  SetText("\xC4x[a]");
  EXPECT_EQ(Model.FindText("[A]", 0, INT32_MAX, 0), 2);
  EXPECT_EQ(Model.FindText("\xE4", 0, INT32_MAX, 0), -1);
  // Search does not touch caret or selection.
  Caret(2, 0);
  Model.FindText("x", 0, INT32_MAX, 0);
  EXPECT_EQ(Model.Caret(), (TEditPos{2, 0}));
}

TEST_F(ModelTest, Clipboard_CopyCutPaste) {
  SetText("abcd\r\nefgh");
  Select(TEditPos{3, 0}, TEditPos{2, 1});
  Model.CopyToClipboard();
  EXPECT_EQ(View.Clipboard, "cd\r\ne");
  // Virtual space contributes nothing.
  Select(TEditPos{7, 0}, TEditPos{9, 0});
  View.Clipboard = "unchanged";
  Model.CopyToClipboard();
  EXPECT_EQ(View.Clipboard, "");
  // Empty selection: nothing copied, nothing cut.
  Caret(1, 0);
  View.Clipboard = "keep";
  Model.CopyToClipboard();
  Model.CutToClipboard();
  EXPECT_EQ(View.Clipboard, "keep");
  EXPECT_FALSE(Model.Modified());
  Select(TEditPos{1, 0}, TEditPos{3, 0});
  Model.CutToClipboard();
  EXPECT_EQ(View.Clipboard, "ab");
  EXPECT_EQ(Line(0), "cd");
  View.Clipboard = std::string("X\0Y", 3);
  Model.PasteFromClipboard();
  EXPECT_EQ(Line(0), "Xcd");
}

TEST_F(ModelTest, ReadOnly_BlocksEveryTextChange) {
  SetText("abc\r\ndef");
  Model.SetReadOnly(true);
  Select(TEditPos{2, 0}, TEditPos{2, 1});
  TEditPos Caret0 = Model.Caret();
  Model.TypeChar('x');
  Model.SplitLine();
  Model.Backspace();
  Model.DeleteChar();
  Model.ClearSelection();
  Model.InsertText("zz");
  View.Clipboard = "p";
  Model.PasteFromClipboard();
  Model.CutToClipboard();
  Model.KeyPress(13);
  Model.KeyPress('q');
  Model.KeyDown(vkDelete, 0);
  EXPECT_EQ(Text(), "abc\r\ndef\r\n");
  EXPECT_FALSE(Model.Modified());
  EXPECT_EQ(View.Clipboard, "bc\r\nd"); // the copy half of Cut still works
  EXPECT_EQ(Model.CaretY(), Caret0.Y);
  // Caret movement, InsertMode toggling and search still work.
  Model.KeyDown(vkInsert, 0);
  EXPECT_FALSE(Model.InsertMode());
  Model.KeyDown(vkHome, ssCtrl);
  EXPECT_EQ(Model.Caret(), (TEditPos{1, 0}));
  EXPECT_EQ(Model.FindText("def", 0, INT32_MAX, 0), 5);
}

TEST_F(ModelTest, EmptyLines_TreatedAsOneEmptyLine) {
  Model.Lines().Clear();
  Caret(5, 3);
  Model.TypeChar('a');
  EXPECT_EQ(Model.Lines().Count(), 1);
  EXPECT_EQ(Line(0), "    a");
  Model.Lines().Clear();
  EXPECT_NO_THROW(Model.SelStart());
  Model.SetSelStart(3);
  Model.SelectAll();
  EXPECT_EQ(Model.Lines().Count(), 1);
  // A caret line beyond the text after the owner replaced it comes back on UpdateCaret.
  SetText("a\r\nb\r\nc");
  Caret(1, 2);
  SetText("x");
  Model.UpdateCaret();
  EXPECT_EQ(Model.CaretY(), 0);
  Model.KeyPress('y');
  EXPECT_EQ(Line(0), "yx");
}

TEST_F(ModelTest, KeyDown_MovementAndSelectionExtension) {
  SetText("ab\r\nlonger line\r\nc");
  Caret(3, 0);
  Model.KeyDown(vkRight, 0);
  EXPECT_EQ(Model.CaretX(), 4); // into virtual space
  Caret(1, 0);
  Model.KeyDown(vkLeft, 0);
  EXPECT_EQ(Model.CaretX(), 1); // no wrap
  Caret(10, 1);
  Model.KeyDown(vkDown, 0);
  EXPECT_EQ(Model.Caret(), (TEditPos{10, 2})); // column kept past the end
  Model.KeyDown(vkEnd, 0);
  EXPECT_EQ(Model.CaretX(), 2);
  Model.KeyDown(vkHome, ssCtrl);
  EXPECT_EQ(Model.Caret(), (TEditPos{1, 0}));
  Model.KeyDown(vkEnd, ssCtrl);
  EXPECT_EQ(Model.Caret(), (TEditPos{2, 2}));

  // Shift+Down selects from the old caret to the same column one line down.
  Caret(2, 0);
  View.Reset();
  Model.KeyDown(vkDown, ssShift);
  EXPECT_EQ(Model.Anchor(), (TEditPos{2, 0}));
  EXPECT_EQ(Model.Caret(), (TEditPos{2, 1}));
  EXPECT_EQ(Model.SelectedText(), "b\r\nl");
  ASSERT_FALSE(View.Invalidated.empty());
  EXPECT_EQ(View.Invalidated.back(), std::make_pair(0, 1));
  // A plain Left then collapses the selection at the new caret.
  Model.KeyDown(vkLeft, 0);
  EXPECT_TRUE(Model.SelectionEmpty());
  EXPECT_EQ(Model.Caret(), (TEditPos{1, 1}));
  // Insert toggles the mode.
  Model.KeyDown(vkInsert, 0);
  EXPECT_FALSE(Model.InsertMode());
  Model.KeyDown(vkInsert, 0);
  EXPECT_TRUE(Model.InsertMode());
}

TEST_F(ModelTest, KeyDown_WordMovement) {
  SetText("ab c");
  Caret(5, 0);
  Model.KeyDown(vkLeft, ssCtrl);
  EXPECT_EQ(Model.CaretX(), 4);
  Caret(1, 0);
  Model.KeyDown(vkLeft, ssCtrl);
  EXPECT_EQ(Model.CaretX(), 1);
  SetText("  foo bar");
  Caret(1, 0);
  Model.KeyDown(vkRight, ssCtrl);
  EXPECT_EQ(Model.CaretX(), 6);
  Caret(20, 0);
  Model.KeyDown(vkRight, ssCtrl);
  EXPECT_EQ(Model.CaretX(), 20); // virtual space: no move
  Model.KeyDown(vkLeft, ssCtrl);
  EXPECT_EQ(Model.CaretX(), 7); // from the end of the line
  // "$", "?" and "_" belong to words; other punctuation does not.
  SetText("x.a$b_c?d+e");
  Caret(3, 0);
  Model.KeyDown(vkRight, ssCtrl);
  EXPECT_EQ(Model.CaretX(), 10);
}

TEST_F(ModelTest, KeyDown_ClipboardAndDeleteCombinations) {
  SetText("abcd");
  Select(TEditPos{1, 0}, TEditPos{3, 0});
  View.Reset();
  Model.KeyDown(vkInsert, ssCtrl);
  EXPECT_EQ(View.Clipboard, "ab");
  EXPECT_EQ(View.CaretUpdates, 0); // Ctrl+Insert: nothing more
  EXPECT_EQ(View.Scrolls, 0);
  EXPECT_FALSE(Model.SelectionEmpty());
  // Shift+Delete with an empty selection deletes one character.
  Caret(1, 0);
  Model.KeyDown(vkDelete, ssShift);
  EXPECT_EQ(Line(0), "bcd");
  // Shift+Delete with a selection cuts.
  Select(TEditPos{1, 0}, TEditPos{3, 0});
  Model.KeyDown(vkDelete, ssShift);
  EXPECT_EQ(View.Clipboard, "bc");
  EXPECT_EQ(Line(0), "d");
  // Shift+Insert pastes.
  Model.KeyDown(vkInsert, ssShift);
  EXPECT_EQ(Line(0), "bcd");
  // Delete with a selection just clears it.
  Select(TEditPos{1, 0}, TEditPos{2, 0});
  Model.KeyDown(vkDelete, 0);
  EXPECT_EQ(Line(0), "cd");
  EXPECT_EQ(View.Clipboard, "bc");
}

TEST_F(ModelTest, KeyDown_PageKeysKeepCaretOnValidLine) {
  std::string Text;
  for (int I = 0; I < 30; ++I)
    Text += "line\r\n";
  SetText(Text);
  View.Visible = 10;
  Caret(3, 2);
  Model.KeyDown(vkNext, 0);
  EXPECT_EQ(View.Top, 10);
  EXPECT_EQ(Model.Caret(), (TEditPos{3, 12}));
  Model.KeyDown(vkNext, 0);
  Model.KeyDown(vkNext, 0);
  EXPECT_EQ(View.Top, 20);
  EXPECT_EQ(Model.CaretY(), 29);
  Model.KeyDown(vkPrior, 0);
  EXPECT_EQ(View.Top, 10);
  EXPECT_EQ(Model.CaretY(), 19);
  View.Top = 0;
  Model.KeyDown(vkPrior, 0);
  EXPECT_EQ(Model.CaretY(), 0);
  // View scrolled by the bar far below the caret: Page Down keeps the caret in the text.
  View.Top = 25;
  Caret(1, 28);
  Model.KeyDown(vkNext, 0);
  EXPECT_EQ(Model.CaretY(), 29);
}

TEST_F(ModelTest, KeyPress_ControlCodesAndTyping) {
  SetText("abc");
  Select(TEditPos{1, 0}, TEditPos{3, 0});
  Model.KeyPress(8); // Backspace with a selection removes exactly the selection
  EXPECT_EQ(Line(0), "c");
  EXPECT_EQ(Model.CaretX(), 1);
  Select(TEditPos{1, 0}, TEditPos{2, 0});
  Model.SetModified(false);
  Model.KeyPress(27); // Escape drops the selection and keeps its text
  EXPECT_EQ(Line(0), "c");
  EXPECT_TRUE(Model.SelectionEmpty());
  EXPECT_EQ(Model.CaretX(), 2);
  Select(TEditPos{1, 0}, TEditPos{2, 0});
  for (unsigned char Code : {2, 25, 26, 27}) // Ctrl+B, the undo and redo codes: no change
    Model.KeyPress(Code);
  EXPECT_EQ(Line(0), "c");
  EXPECT_FALSE(Model.Modified());
  Model.KeyPress(8);
  EXPECT_EQ(Line(0), "");
  Model.KeyPress(9);
  EXPECT_EQ(Line(0), "\t");
  Model.KeyPress('a');
  Model.KeyPress(0xE9);
  EXPECT_EQ(Line(0), "\ta\xE9");
  Model.KeyPress(2); // Ctrl+B: nothing
  EXPECT_EQ(Line(0), "\ta\xE9");
  Model.KeyPress(1); // Ctrl+A selects all
  EXPECT_EQ(Model.SelectedText(), "\ta\xE9");
  Model.KeyPress(3); // Ctrl+C copies and keeps the selection
  EXPECT_EQ(View.Clipboard, "\ta\xE9");
  EXPECT_FALSE(Model.SelectionEmpty());
  Model.KeyPress(24); // Ctrl+X cuts
  EXPECT_EQ(Line(0), "");
  Model.KeyPress(22); // Ctrl+V pastes
  EXPECT_EQ(Line(0), "\ta\xE9");
  Model.KeyPress(13);
  EXPECT_EQ(Model.Lines().Count(), 2);
  Model.SetReadOnly(true);
  Model.KeyPress(13);
  EXPECT_EQ(Model.Lines().Count(), 2);
}

TEST_F(ModelTest, SelectAll_AnchorAtStartCaretAtEnd) {
  SetText("ab\r\ncde");
  View.Reset();
  Model.SelectAll();
  EXPECT_EQ(Model.Anchor(), (TEditPos{1, 0}));
  EXPECT_EQ(Model.Caret(), (TEditPos{4, 1}));
  EXPECT_EQ(Model.SelLength(), 7);
  EXPECT_EQ(View.Scrolls, 1);
  ASSERT_FALSE(View.Invalidated.empty());
  EXPECT_EQ(View.Invalidated.back(), std::make_pair(0, 1));
}

TEST_F(ModelTest, FormatLine_ListMovesWithItsLine) {
  SetText("a\r\nb\r\nc");
  for (int I = 0; I < 3; ++I) {
    Model.FormatLine(I);
    Model.Lines().FormatList(I).push_back(TFormatRecord{1, 1, I + 1});
  }
  Caret(1, 1);
  Model.SplitLine(); // line b is reformatted; the list of c moves with it
  ASSERT_NE(Model.Lines().Objects(3), nullptr);
  EXPECT_EQ(Model.Lines().Objects(3)->at(0).StyleIndex, 3);
  EXPECT_TRUE(Model.Lines().Objects(1)->empty()); // reformatted, the view added nothing
  Caret(1, 2);
  Model.KeyPress(8);
  Model.KeyPress(8); // joins lines 1, 2 into line 0
  ASSERT_EQ(Model.Lines().Count(), 2);
  EXPECT_EQ(Model.Lines().Objects(1)->at(0).StyleIndex, 3);
  // A formatted line that is not edited keeps its list; a new text drops all lists.
  Model.Lines().SetText("x\r\ny");
  EXPECT_EQ(Model.Lines().Objects(0), nullptr);
  EXPECT_EQ(Model.Lines().Objects(1), nullptr);
}

TEST_F(ModelTest, Columns_StayBoundedWhateverTheInput) {
  SetText("a");
  Model.SetCaretX(INT32_MAX);
  EXPECT_EQ(Model.CaretX(), TPTEditModel::MaxColumn);
  Model.KeyDown(vkRight, 0);
  EXPECT_EQ(Model.CaretX(), TPTEditModel::MaxColumn);
  Model.SetCaretX(-4);
  EXPECT_EQ(Model.CaretX(), 1);
  Model.SetCaretY(1000);
  EXPECT_EQ(Model.CaretY(), 0);
  Model.SetSelStart(INT32_MAX);
  Model.SetSelLength(INT32_MAX);
  EXPECT_EQ(Model.SelLength(), 0);
}

TEST_F(ModelTest, Columns_EveryCharacterOfAVeryLongLineIsReachable) {
  const int Length = 2000000; // beyond the bound of virtual space
  std::string Long(Length, 'a');
  Long[1500000 - 1] = 'm';
  SetText(Long + "\r\nshort");
  // End reaches the line's end, and typing there appends.
  Model.KeyDown(vkEnd, 0);
  EXPECT_EQ(Model.CaretX(), Length + 1);
  Model.KeyPress('z');
  EXPECT_EQ(Model.CaretX(), Length + 2);
  ASSERT_EQ(int(Line(0).size()), Length + 1);
  EXPECT_EQ(Line(0).back(), 'z');
  // Shift+Right in the middle selects the character right of the caret; typing replaces it.
  Caret(1500000 - 1, 0);
  Model.KeyDown(vkRight, 0);
  EXPECT_EQ(Model.CaretX(), 1500000);
  Model.KeyDown(vkRight, ssShift);
  EXPECT_EQ(Model.SelectedText(), "m");
  Model.KeyPress('Q');
  EXPECT_EQ(Line(0)[1500000 - 1], 'Q');
  EXPECT_EQ(int(Line(0).size()), Length + 1);
  EXPECT_EQ(Model.CaretX(), 1500001);
  // The setters and the offsets reach there too.
  Model.SetCaretX(1999999);
  EXPECT_EQ(Model.CaretX(), 1999999);
  Model.SetSelStart(1999999 - 1);
  EXPECT_EQ(Model.CaretX(), 1999999);
  Model.SelectAll();
  EXPECT_EQ(Model.CaretY(), 1);
  Caret(Length + 2, 0);
  EXPECT_EQ(Model.CaretX(), Length + 2);
  // Virtual space keeps its bound: past the end of the long line and on the short one.
  Model.KeyDown(vkRight, 0);
  EXPECT_EQ(Model.CaretX(), Length + 2);
  Model.KeyDown(vkDown, 0);
  EXPECT_EQ(Model.CaretY(), 1);
  EXPECT_EQ(Model.CaretX(), TPTEditModel::MaxColumn);
  Model.SetCaretX(INT32_MAX);
  EXPECT_EQ(Model.CaretX(), TPTEditModel::MaxColumn);
  Caret(INT32_MAX, 0);
  EXPECT_EQ(Model.CaretX(), Length + 2);
}

std::int64_t TestNow = 0;

TEST_F(ModelTest, Undo_TypingGroupsUntilACaretMoveALineBreakOrAPause) {
  Model.SetUndoClock([] { return TestNow; });
  SetText("one\r\n");
  Model.ClearUndo();
  Caret(4, 0);
  for (char C : std::string("abc"))
    Model.KeyPress(C);
  Model.KeyPress(8);          // deleting at the same place joins the run
  Model.KeyDown(vkDelete, 0); // so does Delete (at the end: nothing to delete)
  Model.KeyPress('d');
  EXPECT_EQ(Line(0), "oneabd");
  EXPECT_EQ(Model.UndoCount(), 1u);
  Model.KeyDown(vkLeft, 0);
  Model.KeyDown(vkRight, 0); // back at the same place, but the caret moved: a new step
  Model.KeyPress('e');
  Model.KeyPress(13); // a line break is a step of its own, and ends the run
  Model.KeyPress('f');
  TestNow += 5000; // so does a pause
  Model.KeyPress('g');
  EXPECT_EQ(Text(), "oneabde\r\nfg\r\n");
  EXPECT_EQ(Model.UndoCount(), 5u);
  const std::vector<std::string> Texts = {"oneabde\r\nf\r\n", "oneabde\r\n\r\n", "oneabde\r\n",
                                          "oneabd\r\n", "one\r\n"};
  for (const std::string &Expected : Texts) {
    EXPECT_TRUE(Model.Undo());
    EXPECT_EQ(Text(), Expected);
  }
  EXPECT_EQ(Model.Caret(), (TEditPos{4, 0}));
  EXPECT_FALSE(Model.Undo());
  Model.KeyDown('Y', ssCtrl); // Ctrl+Y and Ctrl+Shift+Z redo, Ctrl+Z undoes
  Model.KeyDown('Z', ssCtrl | ssShift);
  EXPECT_EQ(Text(), "oneabde\r\n");
  Model.KeyDown('Z', ssCtrl);
  EXPECT_EQ(Text(), "oneabd\r\n");
  EXPECT_EQ(Model.Caret(), (TEditPos{7, 0}));
  Model.SetUndoClock(nullptr);
}

TEST_F(ModelTest, Undo_EveryKindOfEditRestoresTextCaretAndSelection) {
  const std::string Original = "  begin\r\n    x := 1;\r\n  end;\r\n";
  SetText(Original);
  Model.ClearUndo();
  Model.SetAutoIndent(true);
  Model.SetBackspaceUnindents(true);
  std::vector<std::string> Texts{Text()};
  std::vector<std::pair<TEditPos, TEditPos>> Selections;
  auto Step = [&](auto AEdit) {
    Selections.push_back({Model.Anchor(), Model.Caret()});
    AEdit();
    Texts.push_back(Text());
  };
  Select(TEditPos{5, 1}, TEditPos{3, 2});
  Step([&] { Model.KeyPress('y'); }); // typing over a selection across lines
  Caret(20, 0);
  Step([&] { Model.KeyPress('z'); }); // in virtual space
  Step([&] { Model.KeyPress(13); });  // with auto-indent
  Caret(30, 1);
  Step([&] { Model.KeyDown(vkDelete, 0); }); // joins with padding
  Caret(5, 1);
  Step([&] { Model.KeyPress(8); }); // unindents
  View.Clipboard = "p\r\nq\rr\ns";
  Step([&] { Model.PasteFromClipboard(); });
  Select(TEditPos{1, 0}, TEditPos{4, 2});
  Step([&] { Model.CutToClipboard(); });
  Model.SetInsertMode(false);
  Caret(1, 0);
  Step([&] { Model.KeyPress('o'); }); // overwrites
  ASSERT_EQ(Model.UndoCount(), Texts.size() - 1);
  for (std::size_t I = Texts.size() - 1; I > 0; --I) {
    ASSERT_TRUE(Model.Undo());
    EXPECT_EQ(Text(), Texts[I - 1]) << I;
    EXPECT_EQ(Model.Anchor(), Selections[I - 1].first) << I;
    EXPECT_EQ(Model.Caret(), Selections[I - 1].second) << I;
  }
  EXPECT_EQ(Text(), Original);
  while (Model.Redo())
    ;
  EXPECT_EQ(Text(), Texts.back());
  Model.SetReadOnly(true); // a read-only text is not changed by its history either
  EXPECT_FALSE(Model.Undo());
}

TEST_F(ModelTest, Undo_SavedStateAndTheRedoBranch) {
  SetText("a");
  Model.ClearUndo();
  Caret(2, 0);
  Model.InsertText("b");
  Model.SetModified(false); // saved as "ab"
  Model.KeyPress('c');      // typing on after a save is a step of its own
  EXPECT_TRUE(Model.Modified());
  Model.Undo();
  EXPECT_EQ(Line(0), "ab");
  EXPECT_FALSE(Model.Modified());
  Model.Undo();
  EXPECT_EQ(Line(0), "a");
  EXPECT_TRUE(Model.Modified());
  Model.Redo();
  EXPECT_FALSE(Model.Modified());
  EXPECT_TRUE(Model.CanRedo());
  Model.Undo();
  Model.InsertText("x"); // a new change drops the redo branch, the saved text with it
  EXPECT_FALSE(Model.CanRedo());
  EXPECT_EQ(Line(0), "ax");
  Model.Undo();
  EXPECT_EQ(Line(0), "a");
  EXPECT_TRUE(Model.Modified());
  EXPECT_FALSE(Model.CanUndo());
}

TEST_F(ModelTest, Undo_ReplaceAllIsOneCompactStepAndTheMemoryIsBounded) {
  std::string Big;
  for (int I = 0; I < 20000; ++I)
    Big += "select Word, word from t; -- WORD\r\n";
  SetText(Big);
  Model.ClearUndo();
  Caret(1, 0);
  EXPECT_EQ(Model.ReplaceAll("word", "term", 0), 60000);
  EXPECT_EQ(Model.Lines()[19999], "select term, term from t; -- term");
  EXPECT_EQ(Model.UndoCount(), 1u);
  // The replaced pieces, not copies of the text.
  EXPECT_LT(Model.UndoMemory(), 60000 * (sizeof(TUndoEdit) + 8) + 4096);
  EXPECT_EQ(Model.ReplaceAll("term", "two\r\nlines", frMatchCase), 0);
  Caret(1, 19999);
  EXPECT_EQ(Model.ReplaceAll("term", "two\r\nlines", frMatchCase), 3);
  EXPECT_EQ(Model.Lines().Count(), 20003);
  EXPECT_EQ(Model.Caret(), (TEditPos{6, 20002}));
  Model.Undo();
  Model.Undo();
  EXPECT_EQ(Text(), Big);
  EXPECT_EQ(Model.Caret(), (TEditPos{1, 0}));

  SetText("");
  Model.ClearUndo();
  Model.SetUndoLimit(4096);
  for (int I = 0; I < 1000; ++I)
    Model.InsertText("x");
  EXPECT_LE(Model.UndoMemory(), 4096u);
  EXPECT_GT(Model.UndoCount(), 10u);
  EXPECT_LT(Model.UndoCount(), 100u);
  while (Model.Undo()) // the oldest steps went first
    ;
  EXPECT_EQ(Line(0), std::string(1000 - Model.RedoCount(), 'x'));
  Model.SetUndoLimit(TPTEditModel::DefaultUndoLimit);
}

TEST_F(ModelTest, RandomInput_KeepsTheModelConsistent) {
  SetText("select a, b\r\n  from t\r\n\r\n\twhere x = 1;");
  Model.SetAutoIndent(true);
  Model.SetBackspaceUnindents(true);
  unsigned Seed = 12345;
  auto Next = [&](unsigned AModulo) {
    Seed = Seed * 1664525u + 1013904223u;
    return (Seed >> 8) % AModulo;
  };
  const int Keys[] = {vkPrior, vkNext,   vkEnd,    vkHome, vkLeft, vkUp, vkRight,
                      vkDown,  vkInsert, vkDelete, 65,     0,      'Z',  'Y'};
  const TShiftState Shifts[] = {0, ssShift, ssCtrl, ssShift | ssCtrl, ssAlt};
  int Checked = 0, Selections = 0, Rounds = 0;
  Model.ClearUndo();
  std::string Origin = Text();
  for (int Step = 0; Step < 20000; ++Step) {
    switch (Next(8)) {
    case 0:
    case 1:
      Model.KeyDown(Keys[Next(14)], Shifts[Next(5)]);
      break;
    case 2:
    case 3:
      Model.KeyPress(static_cast<unsigned char>(Next(4) ? 'a' + Next(26) : Next(256)));
      break;
    case 4: {
      static const char *const Pieces[] = {"x", "\r\n", "\n", "\r", "  ", "\t", "ab\r\ncd"};
      std::string Text;
      for (unsigned I = Next(4); I > 0; --I)
        Text += Pieces[Next(7)];
      Model.InsertText(Text);
      break;
    }
    case 5:
      Model.SetSelStart(static_cast<int>(Next(400)) - 10);
      break;
    case 6:
      Model.SetSelLength(static_cast<int>(Next(40)));
      break;
    default:
      Model.SetCaretAndAnchor(TEditPos{static_cast<int>(Next(30)) + 1,
                                       static_cast<int>(Next(Model.Lines().Count() + 2))});
    }
    ASSERT_GE(Model.Lines().Count(), 1) << Step;
    ASSERT_GE(Model.CaretX(), 1) << Step;
    ASSERT_LT(Model.CaretY(), Model.Lines().Count()) << Step;
    // Offsets and positions agree wherever both ends of the selection lie within their lines.
    TEditPos Start = Model.SelectionStart(), End = Model.SelectionEnd();
    if (End.Y < Model.Lines().Count() && Start.X <= Model.Lines().Length(Start.Y) + 1 &&
        End.X <= Model.Lines().Length(End.Y) + 1) {
      ASSERT_EQ(static_cast<std::size_t>(Model.SelLength()), Model.SelectedText().size()) << Step;
      ASSERT_EQ(Model.OffsetToPos(Model.SelStart()), Start) << Step;
      std::string Whole = Text();
      ASSERT_EQ(Whole.substr(Model.SelStart(), Model.SelLength()), Model.SelectedText()) << Step;
      ++Checked;
      Selections += !Model.SelectionEmpty();
    }
    if (Model.Lines().Count() > 400) { // keep the text small enough to check every step
      Model.Lines().SetText("again\r\n");
      Model.ClearUndo();
      Origin = Model.Lines().Text();
    }
    if (Step % 2000 == 1999) {
      // Undoing everything since the last reset gives back its text, redoing gives the latest,
      // byte for byte.
      const std::string Final = Text();
      while (Model.Undo())
        ;
      ASSERT_EQ(Text(), Origin) << Step;
      while (Model.Redo())
        ;
      ASSERT_EQ(Text(), Final) << Step;
      ++Rounds;
    }
  }
  EXPECT_EQ(Rounds, 10);
  EXPECT_GT(Checked, 5000);
  EXPECT_GT(Selections, 1000);
  EXPECT_GT(Model.Lines().Count(), 1);
}

} // namespace
