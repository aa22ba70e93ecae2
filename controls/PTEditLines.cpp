// The editor's line list: blocks of compact line records over a shared text buffer.
#include "controls/PTEditLines.h"

#include "classes/Exceptions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

TEditLines::TEditLines() = default;

TEditLines::~TEditLines() { Clear(); }

void TEditLines::CheckIndex(std::int64_t AIndex, std::int64_t ALimit) const {
  if (AIndex < 0 || AIndex > ALimit)
    throw Exception("List index out of bounds (" + std::to_string(AIndex) + ")");
}

std::size_t TEditLines::FindBlock(std::size_t AIndex) const {
  // The next block is where a walk through the lines goes after the remembered one.
  std::size_t B = FHint.load(std::memory_order_relaxed) + 1;
  if (!(B < FBlocks.size() && AIndex - FBlocks[B].Start < FBlocks[B].Lines.size())) {
    auto After = std::upper_bound(
        FBlocks.begin(), FBlocks.end(), AIndex,
        [](std::size_t AValue, const TBlock &ABlock) { return AValue < ABlock.Start; });
    B = static_cast<std::size_t>(After - FBlocks.begin()) - 1;
  }
  FHint.store(B, std::memory_order_relaxed);
  return B;
}

std::string_view TEditLines::operator[](int AIndex) const {
  const TLine &Line = Item(AIndex);
  return std::string_view(Line.Data ? Line.Data : "", Line.Length);
}

TEditLines::TLine TEditLines::MakeLine(std::string_view AText) {
  std::size_t Length = AText.size();
  if (Length > UINT32_MAX)
    throw Exception("Line too long");
  if (Length == 0)
    return TLine{nullptr, 0, 0, nullptr};
  // Lines that are edited tend to be edited again: leave room for typing.
  std::size_t Capacity = std::min<std::size_t>(Length + Length / 4 + 8, UINT32_MAX);
  char *Data = static_cast<char *>(std::malloc(Capacity));
  if (!Data)
    throw std::bad_alloc();
  std::memcpy(Data, AText.data(), Length);
  return TLine{Data, static_cast<std::uint32_t>(Length), static_cast<std::uint32_t>(Capacity),
               nullptr};
}

void TEditLines::FreeLine(TLine &ALine) {
  if (ALine.Capacity)
    std::free(ALine.Data);
  delete ALine.Format;
  ALine = TLine{nullptr, 0, 0, nullptr};
}

void TEditLines::Put(int AIndex, std::string_view AText) {
  TBlock &Block = FBlocks[BlockOf(AIndex)];
  TLine &Line = Block.Lines[static_cast<std::size_t>(AIndex) - Block.Start];
  std::size_t Length = AText.size();
  if (Line.Capacity && Length <= Line.Capacity) {
    // The new text may be a piece of the old one: memmove copes with the overlap.
    if (Length)
      std::memmove(Line.Data, AText.data(), Length);
  } else {
    TLine New = MakeLine(AText); // copies before the old buffer goes: AText may lie in it
    if (Line.Capacity)
      std::free(Line.Data);
    Line.Data = New.Data;
    Line.Capacity = New.Capacity;
  }
  Block.Chars += static_cast<std::int64_t>(Length) - Line.Length;
  Line.Length = static_cast<std::uint32_t>(Length);
}

std::int64_t TEditLines::CharsOf(const TLine *AFirst, const TLine *AEnd) {
  std::int64_t Chars = 0;
  for (const TLine *Line = AFirst; Line < AEnd; ++Line)
    Chars += Line->Length + 2;
  return Chars;
}

void TEditLines::ShiftStarts(std::size_t AFirst, std::ptrdiff_t ADelta) {
  for (std::size_t B = AFirst; B < FBlocks.size(); ++B)
    FBlocks[B].Start =
        static_cast<std::size_t>(static_cast<std::ptrdiff_t>(FBlocks[B].Start) + ADelta);
}

void TEditLines::Insert(int AIndex, std::string_view AText) {
  CheckIndex(AIndex, Count());
  std::size_t I = static_cast<std::size_t>(AIndex);
  TLine Line = MakeLine(AText);
  try {
    if (FBlocks.empty())
      FBlocks.push_back(TBlock{0, 0, {}});
    std::size_t B = I == FCount ? FBlocks.size() - 1 : FindBlock(I);
    if (FBlocks[B].Lines.size() >= BlockLines) {
      // Split the full block in halves; the new line goes into the one it belongs to.
      std::vector<TLine> &Full = FBlocks[B].Lines;
      std::size_t Half = Full.size() / 2;
      std::int64_t UpperChars = CharsOf(&Full[Half], Full.data() + Full.size());
      TBlock Upper{FBlocks[B].Start + Half, UpperChars, {}};
      Upper.Lines.reserve(BlockLines);
      Upper.Lines.assign(Full.begin() + static_cast<std::ptrdiff_t>(Half), Full.end());
      FBlocks.insert(FBlocks.begin() + static_cast<std::ptrdiff_t>(B) + 1, std::move(Upper));
      FBlocks[B].Lines.resize(Half); // Full is gone: the insertion may have moved the blocks
      FBlocks[B].Chars -= UpperChars;
      if (I >= FBlocks[B + 1].Start)
        ++B;
    }
    std::vector<TLine> &Lines = FBlocks[B].Lines;
    if (Lines.size() == Lines.capacity()) // grow towards a whole block, never past it
      Lines.reserve(std::min(BlockLines, std::max<std::size_t>(16, Lines.size() * 2)));
    Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(I - FBlocks[B].Start), Line);
    FBlocks[B].Chars += Line.Length + 2;
    ShiftStarts(B + 1, 1);
  } catch (...) {
    if (FCount == 0)
      FBlocks.clear(); // no empty block stays behind
    FreeLine(Line);
    throw;
  }
  ++FCount;
}

void TEditLines::Compact(std::size_t ABlock) {
  if (ABlock >= FBlocks.size())
    return;
  auto Merge = [this](std::size_t AInto) {
    std::vector<TLine> &Into = FBlocks[AInto].Lines;
    const std::vector<TLine> &From = FBlocks[AInto + 1].Lines;
    Into.insert(Into.end(), From.begin(), From.end());
    FBlocks[AInto].Chars += FBlocks[AInto + 1].Chars;
    FBlocks.erase(FBlocks.begin() + static_cast<std::ptrdiff_t>(AInto) + 1);
  };
  // Merging only saves memory and look-up time: a failed allocation leaves the blocks as they are.
  try {
    std::size_t Size = FBlocks[ABlock].Lines.size();
    if (ABlock + 1 < FBlocks.size() && Size + FBlocks[ABlock + 1].Lines.size() <= BlockLines / 2)
      Merge(ABlock);
    else if (ABlock > 0 && FBlocks[ABlock - 1].Lines.size() + Size <= BlockLines / 2)
      Merge(ABlock - 1);
  } catch (const std::bad_alloc &) {
  }
}

void TEditLines::DeleteRange(int AIndex, int ACount) {
  if (ACount <= 0)
    return;
  CheckIndex(AIndex, Count() - 1);
  CheckIndex(static_cast<std::int64_t>(AIndex) + ACount - 1, Count() - 1);
  std::size_t I = static_cast<std::size_t>(AIndex);
  std::size_t Left = static_cast<std::size_t>(ACount);
  const std::size_t First = FindBlock(I);
  std::size_t B = First;
  for (std::size_t From = I - FBlocks[B].Start; Left > 0; ++B, From = 0) {
    std::vector<TLine> &Lines = FBlocks[B].Lines;
    std::size_t N = std::min(Left, Lines.size() - From);
    FBlocks[B].Chars -= CharsOf(&Lines[From], &Lines[From] + N);
    for (std::size_t K = From; K < From + N; ++K)
      FreeLine(Lines[K]);
    Lines.erase(Lines.begin() + static_cast<std::ptrdiff_t>(From),
                Lines.begin() + static_cast<std::ptrdiff_t>(From + N));
    Left -= N;
  }
  // Drop the blocks the range emptied. At most the first and the last block touched remain of
  // those; their starts are counted again, the blocks after them move up by ACount lines.
  auto Kept = std::remove_if(FBlocks.begin() + static_cast<std::ptrdiff_t>(First),
                             FBlocks.begin() + static_cast<std::ptrdiff_t>(B),
                             [](const TBlock &ABlock) { return ABlock.Lines.empty(); });
  FBlocks.erase(Kept, FBlocks.begin() + static_cast<std::ptrdiff_t>(B));
  std::size_t Untouched = static_cast<std::size_t>(Kept - FBlocks.begin());
  for (std::size_t K = First; K < Untouched; ++K)
    FBlocks[K].Start = K ? FBlocks[K - 1].Start + FBlocks[K - 1].Lines.size() : 0;
  ShiftStarts(Untouched, -static_cast<std::ptrdiff_t>(ACount));
  FCount -= static_cast<std::size_t>(ACount);
  Compact(First);
}

void TEditLines::Clear() {
  for (TBlock &Block : FBlocks)
    for (TLine &Line : Block.Lines)
      FreeLine(Line);
  std::vector<TBlock>().swap(FBlocks);
  FCount = 0;
  FLoaded.reset();
  FLoadedSize = 0;
}

std::string TEditLines::Text() const {
  std::size_t Size = 0;
  for (const TBlock &Block : FBlocks)
    for (const TLine &Line : Block.Lines)
      Size += Line.Length + 2;
  std::string Result;
  Result.reserve(Size);
  for (const TBlock &Block : FBlocks)
    for (const TLine &Line : Block.Lines) {
      Result.append(Line.Data ? Line.Data : "", Line.Length);
      Result.append("\r\n", 2);
    }
  return Result;
}

void TEditLines::SetText(std::string_view AText) {
  if (const void *Nul = std::memchr(AText.data(), 0, AText.size()))
    AText = AText.substr(0, static_cast<const char *>(Nul) - AText.data());
  // Copy first: AText may point into our own buffer.
  std::unique_ptr<char[]> Loaded(new char[AText.size() ? AText.size() : 1]);
  std::memcpy(Loaded.get(), AText.data(), AText.size());
  const char *Begin = Loaded.get();
  const char *End = Begin + AText.size();

  // Every LF ends a line at most once, so this is enough unless the text uses lone CRs; blocks
  // are sized by it, so a short text does not hold a whole block of records.
  std::size_t Expected = static_cast<std::size_t>(std::count(Begin, End, '\n')) + 1;
  std::vector<TBlock> Blocks;
  Blocks.reserve(Expected / BlockLines + 1);
  std::size_t Count = 0;
  const char *P = Begin;
  while (P < End) {
    TBlock &Block = Blocks.emplace_back(TBlock{Count, 0, {}});
    std::vector<TLine> &Lines = Block.Lines;
    Lines.reserve(std::clamp<std::size_t>(Expected - std::min(Count, Expected), 1, BlockLines));
    std::int64_t Chars = 0;
    while (P < End && Lines.size() < BlockLines) {
      const char *Lf = static_cast<const char *>(std::memchr(P, '\n', End - P));
      if (!Lf)
        Lf = End;
      const char *Cr = static_cast<const char *>(std::memchr(P, '\r', Lf - P));
      const char *LineEnd = Cr ? Cr : Lf;
      if (static_cast<std::size_t>(LineEnd - P) > UINT32_MAX)
        throw Exception("Line too long");
      Lines.push_back(
          TLine{const_cast<char *>(P), static_cast<std::uint32_t>(LineEnd - P), 0, nullptr});
      Chars += LineEnd - P + 2;
      P = LineEnd;
      if (P < End && *P == '\r')
        ++P;
      if (P < End && *P == '\n')
        ++P;
    }
    Block.Chars = Chars;
    Count += Lines.size();
  }

  Clear();
  FBlocks.swap(Blocks);
  FCount = Count;
  FLoaded = std::move(Loaded);
  FLoadedSize = AText.size();
}

TFormatList &TEditLines::FormatList(int AIndex) {
  TLine &Line = Item(AIndex);
  if (!Line.Format)
    Line.Format = new TFormatList();
  return *Line.Format;
}

void TEditLines::ClearFormats() {
  for (TBlock &Block : FBlocks)
    for (TLine &Line : Block.Lines) {
      delete Line.Format;
      Line.Format = nullptr;
    }
}

std::int64_t TEditLines::CharsBefore(int ALine) const {
  CheckIndex(ALine, Count());
  std::size_t End = static_cast<std::size_t>(ALine) == FCount ? FBlocks.size() : BlockOf(ALine);
  std::int64_t Chars = 0;
  for (std::size_t B = 0; B < End; ++B)
    Chars += FBlocks[B].Chars;
  if (End < FBlocks.size()) {
    const TLine *First = FBlocks[End].Lines.data();
    Chars += CharsOf(First, First + (static_cast<std::size_t>(ALine) - FBlocks[End].Start));
  }
  return Chars;
}

int TEditLines::LineAt(std::int64_t AOffset) const {
  if (FBlocks.empty() || AOffset < 0)
    return 0;
  std::size_t B = 0;
  while (B + 1 < FBlocks.size() && AOffset >= FBlocks[B].Chars)
    AOffset -= FBlocks[B++].Chars;
  const std::vector<TLine> &Lines = FBlocks[B].Lines;
  std::size_t L = 0;
  while (L + 1 < Lines.size() && AOffset >= Lines[L].Length + 2)
    AOffset -= Lines[L++].Length + 2;
  return static_cast<int>(FBlocks[B].Start + L);
}

std::size_t TEditLines::MemoryUsed() const {
  std::size_t Bytes = FBlocks.capacity() * sizeof(TBlock) + FLoadedSize;
  for (const TBlock &Block : FBlocks) {
    Bytes += Block.Lines.capacity() * sizeof(TLine);
    for (const TLine &Line : Block.Lines)
      Bytes += Line.Capacity;
  }
  return Bytes;
}
