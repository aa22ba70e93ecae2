// The editor's text model: caret, selection, offsets, typing, line splits and joins, search.
#include "controls/PTEditModel.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// Without a platform clipboard the model shares one process-wide text buffer.
std::string &ProcessClipboard() {
  static std::string Text;
  return Text;
}

constexpr bool DelimiterTable(unsigned char C) {
  return C == 9 || C == 10 || C == 13 || C == 32 || (C >= 33 && C <= 47 && C != 36) ||
         (C >= 58 && C <= 64 && C != 63) || (C >= 91 && C <= 96 && C != 95) ||
         (C >= 123 && C <= 126);
}

std::string Padded(std::string_view AText, std::size_t ALength) {
  std::string Result(AText.substr(0, std::min(AText.size(), ALength)));
  Result.resize(ALength, ' ');
  return Result;
}

int LeadingBlanks(std::string_view AText) {
  std::size_t N = 0;
  while (N < AText.size() && IsBlank(static_cast<unsigned char>(AText[N])))
    ++N;
  return static_cast<int>(N);
}

// ASCII letters fold to upper case; every other byte stands for itself.
struct TFoldTable {
  unsigned char Map[256];
  constexpr TFoldTable() : Map() {
    for (int I = 0; I < 256; ++I)
      Map[I] = static_cast<unsigned char>(I >= 'a' && I <= 'z' ? I - 32 : I);
  }
};
constexpr TFoldTable Fold;

// First match of APattern in AText at or after AFrom, or npos.
std::size_t FindIn(std::string_view AText, std::size_t AFrom, std::string_view APattern,
                   bool AMatchCase) {
  if (AFrom > AText.size() || APattern.size() > AText.size() - AFrom)
    return std::string_view::npos;
  if (AMatchCase)
    return AText.find(APattern, AFrom);
  const unsigned char *Text = reinterpret_cast<const unsigned char *>(AText.data());
  const unsigned char *Pat = reinterpret_cast<const unsigned char *>(APattern.data());
  std::size_t M = APattern.size();
  std::size_t Last = AText.size() - M; // last start that still fits
  unsigned char First = Fold.Map[Pat[0]];
  unsigned char Other = First >= 'A' && First <= 'Z' ? First + 32 : First;
  for (std::size_t I = AFrom; I <= Last; ++I) {
    // The first byte decides almost every position: test it without the table.
    unsigned char C = Text[I];
    if (C != First && C != Other)
      continue;
    std::size_t J = 1;
    while (J < M && Fold.Map[Text[I + J]] == Fold.Map[Pat[J]])
      ++J;
    if (J == M)
      return I;
  }
  return std::string_view::npos;
}

// Line breaks of any kind (CR LF, a lone CR, a lone LF) as single LF bytes, as the history keeps
// them.
std::string WithLfBreaks(std::string_view AText) {
  std::string Result;
  Result.reserve(AText.size());
  for (std::size_t I = 0; I < AText.size(); ++I) {
    if (AText[I] == '\r') {
      Result.push_back('\n');
      if (I + 1 < AText.size() && AText[I + 1] == '\n')
        ++I;
    } else {
      Result.push_back(AText[I]);
    }
  }
  return Result;
}

std::int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

} // namespace

bool IsDelimiter(unsigned char AChar) { return DelimiterTable(AChar); }

std::string TPTEditView::ClipboardText() { return ProcessClipboard(); }

void TPTEditView::SetClipboardText(const std::string &AText) { ProcessClipboard() = AText; }

TPTEditModel::TPTEditModel(TPTEditView *AView) : FView(AView ? AView : &FNoView) { FLines.Add(""); }

void TPTEditModel::EnsureLine() {
  if (FLines.Count() == 0)
    FLines.Add("");
}

void TPTEditModel::ClampCaret() {
  EnsureLine();
  int Last = FLines.Count() - 1;
  FCaret.Y = std::clamp(FCaret.Y, 0, Last);
  FAnchor.Y = std::clamp(FAnchor.Y, 0, Last);
  FCaret.X = std::clamp(FCaret.X, 1, ColumnLimit(FCaret.Y));
  FAnchor.X = std::clamp(FAnchor.X, 1, ColumnLimit(FAnchor.Y));
}

int TPTEditModel::ColumnLimit(int ALine) const {
  if (ALine < 0 || ALine >= FLines.Count())
    return MaxColumn;
  return static_cast<int>(
      std::clamp<std::int64_t>(std::int64_t(LineLength(ALine)) + 1, MaxColumn, INT32_MAX));
}

void TPTEditModel::SetTabSize(int AValue) {
  if (AValue == FTabSize)
    return;
  FTabSize = AValue;
  FView->TabSizeChanged();
}

void TPTEditModel::SetCaretX(int AValue) {
  EnsureLine();
  FCaret.Y = std::clamp(FCaret.Y, 0, FLines.Count() - 1);
  FCaret.X = std::clamp(AValue, 1, ColumnLimit(FCaret.Y));
}

void TPTEditModel::SetCaretY(int AValue) {
  EnsureLine();
  FCaret.Y = std::clamp(AValue, 0, FLines.Count() - 1);
}

void TPTEditModel::MoveCaret(TEditPos APos) {
  FSealed = true; // a caret move ends a run of typing
  // The line first: the column's bound depends on it.
  SetCaretY(APos.Y);
  SetCaretX(APos.X);
}

void TPTEditModel::SetCaretAndAnchor(TEditPos APos) {
  MoveCaret(APos);
  FAnchor = FCaret;
}

bool TPTEditModel::IsSelected(int AColumn, int ALine) const {
  TEditPos P{AColumn, ALine};
  return !(P < SelectionStart()) && P < SelectionEnd();
}

void TPTEditModel::UpdateCaret() {
  ClampCaret();
  FView->UpdateCaret();
}

// ---- Offsets ----

std::int64_t TPTEditModel::PosToOffset(TEditPos APos) const {
  return FLines.CharsBefore(std::clamp(APos.Y, 0, FLines.Count())) + APos.X - 1;
}

TEditPos TPTEditModel::OffsetToPos(std::int64_t AOffset) const {
  if (FLines.Count() == 0)
    return TEditPos{1, 0};
  int L = FLines.LineAt(AOffset);
  std::int64_t K = AOffset + 1 - FLines.CharsBefore(L);
  std::int64_t Length = LineLength(L);
  // A negative offset is no position in the text: it means its start.
  return TEditPos{static_cast<int>(std::clamp<std::int64_t>(K, 1, Length + 1)), L};
}

TEditPos TPTEditModel::Advance(TEditPos APos, std::int64_t ACount) const {
  if (FLines.Count() == 0)
    return TEditPos{1, 0};
  std::int64_t C = APos.X;
  int L = std::clamp(APos.Y, 0, FLines.Count() - 1);
  int Last = FLines.Count() - 1;
  // A caret in virtual space counts from the end of its line.
  C = std::min<std::int64_t>(C, LineLength(L) + 1);
  std::int64_t N = std::max<std::int64_t>(ACount, 0);
  while (L < Last && N >= LineLength(L) - C + 3) {
    N -= LineLength(L) - C + 3;
    ++L;
    C = 1;
  }
  std::int64_t Length = LineLength(L);
  C = N > Length - C + 1 ? Length + 1 : C + N;
  return TEditPos{static_cast<int>(C), L};
}

static int ClampOffset(std::int64_t AValue) {
  return static_cast<int>(std::clamp<std::int64_t>(AValue, INT32_MIN, INT32_MAX));
}

int TPTEditModel::SelStart() const { return ClampOffset(PosToOffset(SelectionStart())); }

int TPTEditModel::SelLength() const {
  return ClampOffset(PosToOffset(SelectionEnd()) - PosToOffset(SelectionStart()));
}

void TPTEditModel::SetSelStart(int AValue) {
  FSealed = true;
  EnsureLine();
  TEditPos OldStart = SelectionStart(), OldEnd = SelectionEnd();
  FCaret = FAnchor = OffsetToPos(AValue);
  RepaintSelectionChange(OldStart, OldEnd);
  FView->ScrollToCaret();
  UpdateCaret();
}

void TPTEditModel::SetSelLength(int AValue) {
  FSealed = true;
  EnsureLine();
  ClampCaret();
  TEditPos OldStart = SelectionStart(), OldEnd = SelectionEnd();
  FAnchor = Advance(FCaret, AValue);
  RepaintSelectionChange(OldStart, OldEnd);
  FView->ScrollToCaret();
  UpdateCaret();
}

// ---- Repaints of the selection ----

void TPTEditModel::RepaintSelectionChange(TEditPos AOldStart, TEditPos AOldEnd) {
  TEditPos NewStart = SelectionStart(), NewEnd = SelectionEnd();
  int Low = INT32_MAX, High = -1;
  auto Take = [&](int ALine) {
    Low = std::min(Low, ALine);
    High = std::max(High, ALine);
  };
  if (!(AOldStart == NewStart)) {
    Take(AOldStart.Y);
    Take(NewStart.Y);
  }
  if (!(AOldEnd == NewEnd)) {
    Take(AOldEnd.Y);
    Take(NewEnd.Y);
  }
  if (High >= 0)
    FView->InvalidateLines(Low, High);
}

void TPTEditModel::RepaintOldSelection() {
  if (!SelectionEmpty())
    FView->InvalidateLines(SelectionStart().Y, SelectionEnd().Y);
}

// ---- Formatting ----

void TPTEditModel::FormatLine(int AIndex) {
  if (AIndex < 0 || AIndex >= FLines.Count())
    return;
  FLines.FormatList(AIndex).clear();
  FView->FormatLineRequest(AIndex);
}

// ---- Edits ----

void TPTEditModel::TypeChar(unsigned char AChar) {
  if (FReadOnly)
    return;
  TUndoScope Scope(*this, true);
  ClampCaret();
  std::string S(FLines[FCaret.Y]);
  std::size_t X = static_cast<std::size_t>(FCaret.X);
  if (S.size() < X)
    S.resize(X, ' ');
  else if (FInsertMode)
    S.push_back(' ');
  if (FInsertMode)
    std::memmove(&S[X], &S[X - 1], S.size() - X);
  S[X - 1] = static_cast<char>(AChar);
  RecordLine(FCaret.Y, FLines[FCaret.Y], S);
  FLines.Put(FCaret.Y, S);
  FCaret.X = std::min(FCaret.X + 1, ColumnLimit(FCaret.Y));
  Changed();
  FormatLine(FCaret.Y);
  FView->InvalidateLines(FCaret.Y, FCaret.Y);
}

void TPTEditModel::SplitLine() {
  if (FReadOnly)
    return;
  TUndoScope Scope(*this, false);
  ClampCaret();
  std::string S(FLines[FCaret.Y]);
  std::size_t Cut = std::min<std::size_t>(FCaret.X - 1, S.size());
  int Indent = FAutoIndent ? LeadingBlanks(S) : 0;
  std::string NewLine = S.substr(0, Indent) + S.substr(Cut);
  Record(TEditPos{static_cast<int>(Cut) + 1, FCaret.Y}, "", "\n" + S.substr(0, Indent));
  S.resize(Cut);
  int Y = FCaret.Y;
  FLines.Put(Y, S);
  FLines.Insert(Y + 1, NewLine);
  FCaret = TEditPos{Indent + 1, Y + 1};
  Changed();
  FormatLine(Y);
  FormatLine(Y + 1);
  FView->ShiftRows(Y + 1, 1);
  FView->InvalidateLines(Y, Y + 1);
}

int TPTEditModel::IndentWidth(std::string_view ALine, int AColumns) const {
  int Width = 0;
  for (int I = 0; I < AColumns; ++I)
    Width += I < static_cast<int>(ALine.size()) && ALine[I] == '\t' ? FTabSize : 1;
  return Width;
}

void TPTEditModel::Backspace() {
  if (FReadOnly)
    return;
  TUndoScope Scope(*this, true);
  ClampCaret();
  int Y = FCaret.Y;
  if (FCaret.X == 1) {
    if (Y == 0)
      return;
    std::string Joined(FLines[Y - 1]);
    Record(TEditPos{static_cast<int>(Joined.size()) + 1, Y - 1}, "\n", "");
    FCaret = TEditPos{static_cast<int>(Joined.size()) + 1, Y - 1};
    Joined += FLines[Y];
    FLines.Put(Y - 1, Joined);
    FLines.Delete(Y);
    Changed();
    FormatLine(Y - 1);
    FView->ShiftRows(Y, -1);
    FView->InvalidateLines(Y - 1, Y - 1);
    return;
  }
  std::string S(FLines[Y]);
  int Length = static_cast<int>(S.size());
  bool Unindent = FBackspaceUnindents;
  for (int I = 0; Unindent && I < FCaret.X - 1 && I < Length; ++I)
    if (!IsBlank(static_cast<unsigned char>(S[I])))
      Unindent = false;
  if (Unindent) {
    int W = IndentWidth(S, FCaret.X - 1);
    int Found = -1, V = 0, A = 1;
    for (int L = Y - 1; L >= 0; --L) {
      std::string_view T = FLines[L];
      if (T.empty())
        continue;
      int Blanks = LeadingBlanks(T);
      int Width = IndentWidth(T, Blanks);
      if (Width < W) {
        Found = L;
        V = Width;
        A = 1 + Blanks;
        break;
      }
    }
    if (Length + 1 >= FCaret.X) {
      if (A < FCaret.X)
        S.erase(A - 1, FCaret.X - A);
      else if (A > FCaret.X)
        S.insert(FCaret.X - 1, A - FCaret.X, ' ');
      if (Found >= 0 && V > 0)
        S.replace(0, A - 1, FLines[Found].substr(0, A - 1));
    }
    FCaret.X = A;
  } else {
    if (FCaret.X <= Length + 1)
      S.erase(FCaret.X - 2, 1);
    FCaret.X -= 1;
  }
  RecordLine(Y, FLines[Y], S);
  FLines.Put(Y, S);
  Changed();
  FormatLine(Y);
  FView->InvalidateLines(Y, Y);
}

void TPTEditModel::DeleteChar() {
  if (FReadOnly)
    return;
  TUndoScope Scope(*this, true);
  ClampCaret();
  int Y = FCaret.Y;
  std::string_view S = FLines[Y];
  if (FCaret.X > static_cast<int>(S.size())) {
    if (Y >= FLines.Count() - 1)
      return;
    std::string Joined = Padded(S, FCaret.X - 1);
    Record(TEditPos{static_cast<int>(S.size()) + 1, Y}, "\n", Joined.substr(S.size()));
    Joined += FLines[Y + 1];
    FLines.Put(Y, Joined);
    FLines.Delete(Y + 1);
    Changed();
    FormatLine(Y);
    FView->ShiftRows(Y + 1, -1);
  } else {
    std::string T(S);
    T.erase(FCaret.X - 1, 1);
    RecordLine(Y, S, T);
    FLines.Put(Y, T);
    Changed();
    FormatLine(Y);
  }
  FView->InvalidateLines(Y, Y);
}

void TPTEditModel::ClearSelection() {
  if (FReadOnly || SelectionEmpty())
    return;
  TUndoScope Scope(*this, false);
  ClampCaret();
  TEditPos Start = SelectionStart(), End = SelectionEnd();
  {
    // In virtual space the removal starts at the line's end; a join pads up to the start.
    int StartLength = LineLength(Start.Y);
    TEditPos From{std::min(Start.X, StartLength + 1), Start.Y};
    TEditPos To{std::min(End.X, LineLength(End.Y) + 1), End.Y};
    std::string Padding(End.Y > Start.Y ? std::max(0, Start.X - 1 - StartLength) : 0, ' ');
    Record(From, RangeText(From, To, "\n"), Padding);
  }
  FCaret = Start;
  int Removed = 0;
  int First = Start.X == 1 ? Start.Y : Start.Y + 1;
  if (End.Y - First > 0) {
    FLines.DeleteRange(First, End.Y - First);
    Removed += End.Y - First;
    End.Y = First;
  }
  if (Start.X > 1 && End.Y > Start.Y) {
    std::string Joined = Padded(FLines[Start.Y], Start.X - 1);
    Joined += FLines[End.Y];
    FLines.Put(Start.Y, Joined);
    FLines.Delete(End.Y);
    ++Removed;
    End = TEditPos{End.X + Start.X - 1, Start.Y};
  }
  std::string_view S = FLines[Start.Y];
  std::size_t Keep = std::min<std::size_t>(Start.X - 1, S.size());
  std::size_t From = std::min<std::size_t>(End.X - 1, S.size());
  std::string T(S.substr(0, Keep));
  T += S.substr(std::max(From, Keep));
  FLines.Put(Start.Y, T);
  Changed();
  FormatLine(Start.Y);
  if (Removed)
    FView->ShiftRows(Start.Y + 1, -Removed);
  FView->InvalidateLines(Start.Y, Start.Y);
  UpdateCaret();
}

void TPTEditModel::InsertText(std::string_view AText) {
  if (FReadOnly)
    return;
  if (const void *Nul = std::memchr(AText.data(), 0, AText.size()))
    AText = AText.substr(0, static_cast<const char *>(Nul) - AText.data());
  TUndoScope Scope(*this, false);
  ClearSelection();
  ClampCaret();
  int FirstY = FCaret.Y;
  std::string Line(FLines[FirstY]);
  std::size_t Cut = std::min<std::size_t>(FCaret.X - 1, Line.size());
  Record(TEditPos{static_cast<int>(Cut) + 1, FirstY}, "", WithLfBreaks(AText));
  bool Virtual = static_cast<std::size_t>(FCaret.X - 1) > Line.size();
  std::string Tail = Line.substr(Cut);
  Line.resize(Cut);

  // Cut the text at CR LF, a lone CR or a lone LF.
  std::size_t P = 0;
  int Breaks = 0;
  int Y = FirstY;
  while (true) {
    std::size_t Q = AText.find_first_of("\r\n", P);
    if (Q == std::string_view::npos)
      break;
    Line.append(AText.substr(P, Q - P));
    if (Breaks == 0)
      FLines.Put(Y, Line);
    else
      FLines.Insert(Y, Line);
    FormatLine(Y);
    ++Y;
    ++Breaks;
    Line.clear();
    P = Q + (AText[Q] == '\r' && Q + 1 < AText.size() && AText[Q + 1] == '\n' ? 2 : 1);
  }
  std::string_view Last = AText.substr(P);
  Line.append(Last);
  int Column = static_cast<int>(Line.size()) + 1;
  Line += Tail;
  if (Breaks == 0) {
    FLines.Put(Y, Line);
    // In virtual space the text went right after the line's end; the caret keeps its distance.
    Column = Virtual ? FCaret.X + static_cast<int>(Last.size()) : Column;
  } else {
    FLines.Insert(Y, Line);
  }
  FormatLine(Y);
  FCaret = TEditPos{std::min(Column, ColumnLimit(Y)), Y};
  Changed();
  if (Breaks)
    FView->ShiftRows(FirstY + 1, Breaks);
  FView->InvalidateLines(FirstY, Y);
  FView->ScrollToCaret();
}

// ---- Whole selection, clipboard ----

std::string TPTEditModel::SelectedText() const {
  if (SelectionEmpty())
    return std::string();
  return RangeText(SelectionStart(), SelectionEnd(), "\r\n");
}

std::string TPTEditModel::RangeText(TEditPos Start, TEditPos End, std::string_view ABreak) const {
  std::string Result;
  if (FLines.Count() == 0)
    return Result;
  int Last = std::min(End.Y, FLines.Count() - 1);
  for (int L = Start.Y; L <= Last; ++L) {
    std::string_view S = FLines[L];
    std::size_t From = L == Start.Y ? std::min<std::size_t>(Start.X - 1, S.size()) : 0;
    std::size_t To = L == End.Y ? std::min<std::size_t>(End.X - 1, S.size()) : S.size();
    if (To > From)
      Result.append(S.substr(From, To - From));
    if (L < Last)
      Result.append(ABreak);
  }
  return Result;
}

void TPTEditModel::CopyToClipboard() {
  if (!SelectionEmpty())
    FView->SetClipboardText(SelectedText());
}

void TPTEditModel::CutToClipboard() {
  if (SelectionEmpty())
    return;
  TUndoScope Scope(*this, false);
  CopyToClipboard();
  ClearSelection();
}

void TPTEditModel::PasteFromClipboard() {
  std::string Text = FView->ClipboardText();
  InsertText(Text);
}

void TPTEditModel::SelectAll() {
  FSealed = true;
  EnsureLine();
  int Last = FLines.Count() - 1;
  FAnchor = TEditPos{1, 0};
  FCaret = TEditPos{std::min(LineLength(Last) + 1, ColumnLimit(Last)), Last};
  FView->ScrollToCaret();
  FView->InvalidateLines(0, Last);
}

int TPTEditModel::FindText(std::string_view ASearch, int AStart, int ALimit, int AOptions) const {
  // An empty search text would match everywhere; callers looking for "next" would never move.
  if (ALimit <= 0 || ASearch.empty() || FLines.Count() == 0)
    return -1;
  bool MatchCase = AOptions & frMatchCase;
  TEditPos Pos = OffsetToPos(AStart);
  std::int64_t LineOffset = PosToOffset(TEditPos{1, Pos.Y});
  std::size_t From = static_cast<std::size_t>(Pos.X - 1);
  for (int L = Pos.Y; L < FLines.Count(); ++L) {
    std::string_view S = FLines[L];
    std::size_t Found = FindIn(S, From, ASearch, MatchCase);
    if (Found != std::string_view::npos)
      return ClampOffset(LineOffset + static_cast<std::int64_t>(Found));
    LineOffset += static_cast<std::int64_t>(S.size()) + 2;
    From = 0;
  }
  return -1;
}

// ---- Keyboard ----

void TPTEditModel::WordLeft() {
  std::string_view S = FLines[FCaret.Y];
  int X = std::min(FCaret.X, static_cast<int>(S.size()) + 1);
  while (X > 1 && IsDelimiter(static_cast<unsigned char>(S[X - 2])))
    --X;
  while (X > 1 && !IsDelimiter(static_cast<unsigned char>(S[X - 2])))
    --X;
  FCaret.X = X;
}

void TPTEditModel::WordRight() {
  std::string_view S = FLines[FCaret.Y];
  int Length = static_cast<int>(S.size());
  int X = FCaret.X;
  while (X <= Length && IsDelimiter(static_cast<unsigned char>(S[X - 1])))
    ++X;
  while (X <= Length && !IsDelimiter(static_cast<unsigned char>(S[X - 1])))
    ++X;
  FCaret.X = X;
}

void TPTEditModel::KeyDown(int AKey, TShiftState AShift) {
  TShiftState Keys = AShift & (ssShift | ssAlt | ssCtrl);
  if (AKey == 'Z' && Keys == ssCtrl) {
    Undo();
    return;
  }
  if ((AKey == 'Y' && Keys == ssCtrl) || (AKey == 'Z' && Keys == (ssCtrl | ssShift))) {
    Redo();
    return;
  }
  // Moving the caret ends a run of typing; Delete and Shift+Insert are changes of their own.
  if (AKey >= vkPrior && AKey <= vkDown)
    FSealed = true;
  TUndoScope Scope(*this, AKey == vkDelete && SelectionEmpty());
  ClampCaret();
  bool Extend = !SelectionEmpty() || (AShift & ssShift);
  TEditPos OldStart = SelectionStart(), OldEnd = SelectionEnd();
  bool Ctrl = AShift & ssCtrl;
  int Last = FLines.Count() - 1;
  switch (AKey) {
  case vkPrior: {
    int Top = FView->TopLine();
    if (Top > 0) {
      int NewTop = std::max(0, Top - FView->VisibleLines());
      FCaret.Y = std::max(0, FCaret.Y - (Top - NewTop));
      FView->SetTopLine(NewTop);
    } else {
      FCaret.Y = 0;
    }
    break;
  }
  case vkNext: {
    int Top = FView->TopLine(), Visible = FView->VisibleLines();
    if (Top + Visible < FLines.Count()) {
      int NewTop = std::max(Top, std::min(Top + Visible, FLines.Count() - Visible));
      FCaret.Y = std::clamp(FCaret.Y + (NewTop - Top), 0, Last);
      FView->SetTopLine(NewTop);
    } else {
      FCaret.Y = Last;
    }
    break;
  }
  case vkEnd:
    if (Ctrl)
      FCaret.Y = Last;
    FCaret.X = std::min(LineLength(FCaret.Y) + 1, ColumnLimit(FCaret.Y));
    break;
  case vkHome:
    if (Ctrl)
      FCaret.Y = 0;
    FCaret.X = 1;
    break;
  case vkLeft:
    if (Ctrl)
      WordLeft();
    else if (FCaret.X > 1)
      --FCaret.X;
    break;
  case vkUp:
    if (FCaret.Y > 0)
      --FCaret.Y;
    break;
  case vkRight:
    if (Ctrl)
      WordRight();
    else if (FCaret.X < ColumnLimit(FCaret.Y))
      ++FCaret.X;
    break;
  case vkDown:
    if (FCaret.Y < Last)
      ++FCaret.Y;
    break;
  case vkInsert:
    if (Keys == ssShift)
      PasteFromClipboard();
    else if (Keys == ssCtrl) {
      CopyToClipboard();
      return;
    } else
      FInsertMode = !FInsertMode;
    break;
  case vkDelete:
    if (SelectionEmpty())
      DeleteChar();
    else if (Keys == ssShift)
      CutToClipboard();
    else
      ClearSelection();
    break;
  default:
    FView->ScrollToCaret();
    UpdateCaret();
    return;
  }
  ClampCaret();
  if (AShift & ssShift) {
    if (Extend)
      RepaintSelectionChange(OldStart, OldEnd);
  } else {
    if (Extend && !(OldStart == OldEnd))
      FView->InvalidateLines(OldStart.Y, OldEnd.Y);
    FAnchor = FCaret;
  }
  FView->ScrollToCaret();
  UpdateCaret();
}

void TPTEditModel::KeyPress(unsigned char AChar) {
  ClampCaret();
  bool WasEmpty = SelectionEmpty();
  // Only the characters that type, break or paste replace a selection; other control codes
  // (Escape, the undo and redo keys' codes) leave the text alone.
  bool Types = AChar == 8 || AChar == 9 || AChar == 13 || AChar == 22 || AChar >= 28;
  TUndoScope Scope(*this, AChar == 8 || AChar == 9 || AChar >= 28);
  switch (AChar) {
  case 1:
    SelectAll();
    break;
  case 3:
    CopyToClipboard();
    break;
  case 24:
    CutToClipboard();
    break;
  case 27:
    // Escape drops the selection, never its text.
    RepaintOldSelection();
    FAnchor = FCaret;
    break;
  default:
    if (Types)
      ClearSelection();
  }
  if (AChar == 8) {
    if (WasEmpty)
      Backspace();
  } else if (AChar == 13) {
    SplitLine();
  } else if (AChar == 22) {
    PasteFromClipboard();
  } else if (AChar == 9 || AChar >= 28) {
    TypeChar(AChar);
  }
  FView->ScrollToCaret();
  UpdateCaret();
}

// ---- Replace all ----

int TPTEditModel::ReplaceAll(std::string_view ASearch, std::string_view AReplacement,
                             int AOptions) {
  if (FReadOnly || ASearch.empty())
    return 0;
  TUndoScope Scope(*this, false);
  ClampCaret();
  const bool MatchCase = AOptions & frMatchCase;
  const std::string Replacement = WithLfBreaks(AReplacement);
  const std::size_t LastBreak = Replacement.rfind('\n');
  const int Breaks = static_cast<int>(std::count(Replacement.begin(), Replacement.end(), '\n'));
  int Count = 0;
  int Y = FCaret.Y;
  std::size_t From = std::min<std::size_t>(FCaret.X - 1, LineLength(Y));
  TEditPos After = FCaret;
  while (Y < FLines.Count()) {
    std::string_view S = FLines[Y];
    std::size_t Found = FindIn(S, From, ASearch, MatchCase);
    From = 0;
    if (Found == std::string_view::npos) {
      ++Y;
      continue;
    }
    if (Breaks == 0) {
      // Every match of the line in one pass: a line is rebuilt once, however many it holds.
      std::string NewLine;
      std::size_t Copied = 0;
      while (Found != std::string_view::npos) {
        NewLine.append(S.substr(Copied, Found - Copied));
        Record(TEditPos{static_cast<int>(NewLine.size()) + 1, Y}, S.substr(Found, ASearch.size()),
               Replacement);
        NewLine += Replacement;
        Copied = Found + ASearch.size();
        ++Count;
        Found = FindIn(S, Copied, ASearch, MatchCase);
      }
      After = TEditPos{static_cast<int>(NewLine.size()) + 1, Y};
      NewLine.append(S.substr(Copied));
      FLines.Put(Y, NewLine);
      FormatLine(Y);
      ++Y;
    } else {
      // The rest of the line moves down behind the replacement; the search goes on there.
      TEditPos At{static_cast<int>(Found) + 1, Y};
      std::string Match(S.substr(Found, ASearch.size()));
      Record(At, Match, Replacement);
      ApplyEdit(At, Match, Replacement);
      ++Count;
      Y += Breaks;
      From = Replacement.size() - LastBreak - 1;
      After = TEditPos{static_cast<int>(From) + 1, Y};
    }
  }
  if (Count == 0)
    return 0;
  FCaret = After;
  Changed();
  FView->InvalidateAll();
  FView->ScrollToCaret();
  UpdateCaret();
  return Count;
}

// ---- Undo history ----

void TPTEditModel::SetModified(bool AValue) {
  FModified = AValue;
  if (!AValue) {
    // The saved text is a step boundary: typing on must not merge into the step before it.
    FSavedStep = static_cast<std::int64_t>(FDone);
    FSealed = true;
  } else if (FSavedStep == static_cast<std::int64_t>(FDone)) {
    FSavedStep = -1;
  }
}

void TPTEditModel::BeginUndoStep(bool ATyping) {
  if (FStepDepth++ > 0)
    return;
  FStepTyping = ATyping;
  FStepStarted = false;
  FStepCaret = FCaret;
  FStepAnchor = FAnchor;
}

void TPTEditModel::EndUndoStep() {
  if (FStepDepth == 0 || --FStepDepth > 0 || !FStepStarted)
    return;
  FStepStarted = false;
  TUndoStep &Step = FSteps.back();
  Step.CaretAfter = FCaret;
  Step.AnchorAfter = FAnchor;
  Step.Time = FClock ? FClock() : SteadyMilliseconds();
  FSealed = !FStepTyping;
  TrimUndo();
}

void TPTEditModel::Record(TEditPos APos, std::string_view ARemoved, std::string_view AInserted) {
  if (FApplying || (ARemoved.empty() && AInserted.empty()))
    return;
  if (!FStepStarted) {
    bool Merge = false;
    if (FStepTyping && !FSealed && FDone > 0 && FDone == FSteps.size() &&
        FSavedStep != static_cast<std::int64_t>(FDone)) {
      const TUndoStep &Last = FSteps.back();
      std::int64_t Now = FClock ? FClock() : SteadyMilliseconds();
      Merge = Last.Typing && FStepCaret == FStepAnchor && FStepCaret == Last.CaretAfter &&
              Now - Last.Time < TypingPause;
    }
    if (!Merge) {
      DropRedo();
      TUndoStep &Step = FSteps.emplace_back();
      Step.CaretBefore = FStepCaret;
      Step.AnchorBefore = FStepAnchor;
      Step.Typing = FStepTyping;
      Step.Bytes = sizeof(TUndoStep);
      FUndoBytes += Step.Bytes;
      ++FDone;
    }
    FStepStarted = true;
  }
  TUndoStep &Step = FSteps.back();
  Step.Edits.push_back(TUndoEdit{APos, std::string(ARemoved), std::string(AInserted)});
  std::size_t Bytes = sizeof(TUndoEdit) + ARemoved.size() + AInserted.size();
  Step.Bytes += Bytes;
  FUndoBytes += Bytes;
}

void TPTEditModel::RecordLine(int AIndex, std::string_view AOld, std::string_view ANew) {
  std::size_t Limit = std::min(AOld.size(), ANew.size());
  std::size_t Prefix = 0;
  while (Prefix < Limit && AOld[Prefix] == ANew[Prefix])
    ++Prefix;
  std::size_t Suffix = 0;
  while (Suffix < Limit - Prefix &&
         AOld[AOld.size() - 1 - Suffix] == ANew[ANew.size() - 1 - Suffix])
    ++Suffix;
  Record(TEditPos{static_cast<int>(Prefix) + 1, AIndex},
         AOld.substr(Prefix, AOld.size() - Prefix - Suffix),
         ANew.substr(Prefix, ANew.size() - Prefix - Suffix));
}

void TPTEditModel::ApplyEdit(TEditPos APos, std::string_view ARemoved, std::string_view AInserted) {
  EnsureLine();
  // Positions are clamped so that a history that no longer fits the text (its owner replaced
  // lines behind the model's back) changes the wrong text rather than memory.
  int Y = std::clamp(APos.Y, 0, FLines.Count() - 1);
  std::string_view First = FLines[Y];
  std::size_t X = std::min<std::size_t>(std::max(APos.X, 1) - 1, First.size());
  std::string Head(First.substr(0, X));
  int EndY = Y;
  std::size_t EndX = X + ARemoved.size();
  if (std::size_t Break = ARemoved.rfind('\n'); Break != std::string_view::npos) {
    EndY = Y + static_cast<int>(std::count(ARemoved.begin(), ARemoved.end(), '\n'));
    EndX = ARemoved.size() - Break - 1;
  }
  EndY = std::min(EndY, FLines.Count() - 1);
  std::string_view LastLine = FLines[EndY];
  std::string Tail(LastLine.substr(std::min(EndX, LastLine.size())));

  std::vector<std::string> NewLines;
  std::size_t P = 0;
  for (;;) {
    std::size_t Q = AInserted.find('\n', P);
    NewLines.emplace_back(AInserted.substr(P, Q == std::string_view::npos ? Q : Q - P));
    if (Q == std::string_view::npos)
      break;
    P = Q + 1;
  }
  NewLines.front().insert(0, Head);
  NewLines.back() += Tail;
  const int Old = EndY - Y + 1, New = static_cast<int>(NewLines.size());
  for (int I = 0; I < std::min(Old, New); ++I) {
    FLines.Put(Y + I, NewLines[I]);
    FormatLine(Y + I);
  }
  for (int I = Old; I < New; ++I)
    FLines.Insert(Y + I, NewLines[I]);
  if (Old > New)
    FLines.DeleteRange(Y + New, Old - New);
}

void TPTEditModel::DropRedo() {
  while (FSteps.size() > FDone) {
    FUndoBytes -= FSteps.back().Bytes;
    FSteps.pop_back();
  }
  if (FSavedStep > static_cast<std::int64_t>(FDone))
    FSavedStep = -1;
}

void TPTEditModel::TrimUndo() {
  while (FUndoBytes > FUndoLimit && !FSteps.empty()) {
    if (FDone > 0) {
      FUndoBytes -= FSteps.front().Bytes;
      FSteps.pop_front();
      --FDone;
      FSavedStep = FSavedStep > 0 ? FSavedStep - 1 : -1;
    } else {
      FUndoBytes -= FSteps.back().Bytes;
      FSteps.pop_back();
    }
  }
}

void TPTEditModel::SetUndoLimit(std::size_t ABytes) {
  FUndoLimit = ABytes;
  if (FStepDepth == 0)
    TrimUndo();
}

void TPTEditModel::ClearUndo() {
  FSteps.clear();
  FDone = 0;
  FUndoBytes = 0;
  FSavedStep = FModified ? -1 : 0;
  FSealed = true;
}

void TPTEditModel::Restore(TEditPos ACaret, TEditPos AAnchor) {
  FSealed = true;
  FModified = static_cast<std::int64_t>(FDone) != FSavedStep;
  FCaret = ACaret;
  FAnchor = AAnchor;
  ClampCaret();
  FView->InvalidateAll();
  FView->ScrollToCaret();
  UpdateCaret();
}

bool TPTEditModel::Undo() {
  if (!CanUndo() || FStepDepth > 0)
    return false;
  const TUndoStep &Step = FSteps[--FDone];
  FApplying = true;
  for (auto It = Step.Edits.rbegin(); It != Step.Edits.rend(); ++It)
    ApplyEdit(It->Pos, It->Inserted, It->Removed);
  FApplying = false;
  Restore(Step.CaretBefore, Step.AnchorBefore);
  return true;
}

bool TPTEditModel::Redo() {
  if (!CanRedo() || FStepDepth > 0)
    return false;
  const TUndoStep &Step = FSteps[FDone++];
  FApplying = true;
  for (const TUndoEdit &Edit : Step.Edits)
    ApplyEdit(Edit.Pos, Edit.Removed, Edit.Inserted);
  FApplying = false;
  Restore(Step.CaretAfter, Step.AnchorAfter);
  return true;
}
