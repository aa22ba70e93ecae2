// The editor's line list: gap buffer of compact line records over a shared text block.
#include "controls/PTEditLines.h"

#include "classes/Exceptions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

TEditLines::TEditLines() = default;

TEditLines::~TEditLines() { Clear(); }

void TEditLines::CheckIndex(int AIndex, int ALimit) const {
  if (AIndex < 0 || AIndex > ALimit)
    throw Exception("List index out of bounds (" + std::to_string(AIndex) + ")");
}

std::string_view TEditLines::operator[](int AIndex) const {
  CheckIndex(AIndex, Count() - 1);
  const TLine &Line = Item(AIndex);
  return std::string_view(Line.Data ? Line.Data : "", Line.Length);
}

void TEditLines::FreeLine(TLine &ALine) {
  if (ALine.Capacity)
    std::free(ALine.Data);
  delete ALine.Format;
  ALine = TLine{nullptr, 0, 0, nullptr};
}

void TEditLines::Put(int AIndex, std::string_view AText) {
  CheckIndex(AIndex, Count() - 1);
  TLine &Line = Item(AIndex);
  std::size_t Length = AText.size();
  if (Length > UINT32_MAX)
    throw Exception("Line too long");
  if (Line.Capacity && Length <= Line.Capacity) {
    // The new text may be a piece of the old one: memmove copes with the overlap.
    if (Length)
      std::memmove(Line.Data, AText.data(), Length);
  } else if (Length == 0) {
    if (Line.Capacity)
      std::free(Line.Data);
    Line.Data = nullptr;
    Line.Capacity = 0;
  } else {
    // Lines that are edited tend to be edited again: leave room for typing.
    std::size_t Capacity = std::min<std::size_t>(Length + Length / 4 + 8, UINT32_MAX);
    char *Data = static_cast<char *>(std::malloc(Capacity));
    if (!Data)
      throw std::bad_alloc();
    std::memcpy(Data, AText.data(), Length);
    if (Line.Capacity)
      std::free(Line.Data);
    Line.Data = Data;
    Line.Capacity = static_cast<std::uint32_t>(Capacity);
  }
  Line.Length = static_cast<std::uint32_t>(Length);
}

void TEditLines::MoveGap(std::size_t APos) {
  std::size_t GapLength = FGapEnd - FGapStart;
  if (APos < FGapStart) {
    std::size_t Moved = FGapStart - APos;
    std::memmove(&FItems[APos + GapLength], &FItems[APos], Moved * sizeof(TLine));
  } else if (APos > FGapStart) {
    std::size_t Moved = APos - FGapStart;
    std::memmove(&FItems[FGapStart], &FItems[FGapEnd], Moved * sizeof(TLine));
  }
  FGapStart = APos;
  FGapEnd = APos + GapLength;
}

void TEditLines::GrowGap(std::size_t AMinimum) {
  std::size_t Used = FItems.size() - (FGapEnd - FGapStart);
  std::size_t NewGap = std::max<std::size_t>({AMinimum, 64, Used / 8});
  std::vector<TLine> Items(Used + NewGap);
  std::copy(FItems.begin(), FItems.begin() + FGapStart, Items.begin());
  std::copy(FItems.begin() + FGapEnd, FItems.end(), Items.begin() + FGapStart + NewGap);
  FItems.swap(Items);
  FGapEnd = FGapStart + NewGap;
}

void TEditLines::Insert(int AIndex, std::string_view AText) {
  CheckIndex(AIndex, Count());
  if (FGapStart == FGapEnd)
    GrowGap(1);
  MoveGap(static_cast<std::size_t>(AIndex));
  FItems[FGapStart] = TLine{nullptr, 0, 0, nullptr};
  ++FGapStart;
  try {
    Put(AIndex, AText);
  } catch (...) {
    --FGapStart;
    throw;
  }
}

void TEditLines::DeleteRange(int AIndex, int ACount) {
  if (ACount <= 0)
    return;
  CheckIndex(AIndex, Count() - 1);
  CheckIndex(AIndex + ACount - 1, Count() - 1);
  MoveGap(static_cast<std::size_t>(AIndex));
  for (int I = 0; I < ACount; ++I)
    FreeLine(FItems[FGapEnd + I]);
  FGapEnd += static_cast<std::size_t>(ACount);
}

void TEditLines::Clear() {
  for (std::size_t I = 0; I < FItems.size(); ++I)
    if (I < FGapStart || I >= FGapEnd)
      FreeLine(FItems[I]);
  std::vector<TLine>().swap(FItems);
  FGapStart = FGapEnd = 0;
  FBlock.reset();
  FBlockSize = 0;
}

std::string TEditLines::Text() const {
  std::size_t Size = 0;
  int N = Count();
  for (int I = 0; I < N; ++I)
    Size += Item(I).Length + 2;
  std::string Result;
  Result.reserve(Size);
  for (int I = 0; I < N; ++I) {
    const TLine &Line = Item(I);
    Result.append(Line.Data ? Line.Data : "", Line.Length);
    Result.append("\r\n", 2);
  }
  return Result;
}

void TEditLines::SetText(std::string_view AText) {
  if (const void *Nul = std::memchr(AText.data(), 0, AText.size()))
    AText = AText.substr(0, static_cast<const char *>(Nul) - AText.data());
  // Copy first: AText may point into our own block.
  std::unique_ptr<char[]> Block(new char[AText.size() ? AText.size() : 1]);
  std::memcpy(Block.get(), AText.data(), AText.size());
  const char *Begin = Block.get();
  const char *End = Begin + AText.size();

  std::vector<TLine> Items;
  // Every LF ends a line at most once, so this is enough unless the text uses lone CRs; the
  // gap for later insertions is reserved with it, so the records are allocated once.
  std::size_t Expected = static_cast<std::size_t>(std::count(Begin, End, '\n')) + 1;
  Items.reserve(Expected + std::max<std::size_t>(64, Expected / 64));
  const char *P = Begin;
  while (P < End) {
    const char *Lf = static_cast<const char *>(std::memchr(P, '\n', End - P));
    if (!Lf)
      Lf = End;
    const char *Cr = static_cast<const char *>(std::memchr(P, '\r', Lf - P));
    const char *LineEnd = Cr ? Cr : Lf;
    if (static_cast<std::size_t>(LineEnd - P) > UINT32_MAX)
      throw Exception("Line too long");
    Items.push_back(
        TLine{const_cast<char *>(P), static_cast<std::uint32_t>(LineEnd - P), 0, nullptr});
    P = LineEnd;
    if (P < End && *P == '\r')
      ++P;
    if (P < End && *P == '\n')
      ++P;
  }

  Clear();
  std::size_t Used = Items.size();
  std::size_t Gap = std::max<std::size_t>(64, Used / 64);
  Items.resize(Used + Gap);
  FItems.swap(Items);
  FGapStart = Used;
  FGapEnd = Used + Gap;
  FBlock = std::move(Block);
  FBlockSize = AText.size();
}

TFormatList &TEditLines::FormatList(int AIndex) {
  CheckIndex(AIndex, Count() - 1);
  TLine &Line = Item(AIndex);
  if (!Line.Format)
    Line.Format = new TFormatList();
  return *Line.Format;
}

void TEditLines::ClearFormats() {
  for (std::size_t I = 0; I < FItems.size(); ++I)
    if (I < FGapStart || I >= FGapEnd) {
      delete FItems[I].Format;
      FItems[I].Format = nullptr;
    }
}

std::size_t TEditLines::MemoryUsed() const {
  std::size_t Bytes = FItems.capacity() * sizeof(TLine) + FBlockSize;
  for (std::size_t I = 0; I < FItems.size(); ++I)
    if (I < FGapStart || I >= FGapEnd)
      Bytes += FItems[I].Capacity;
  return Bytes;
}
