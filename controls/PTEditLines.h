// The editor's line list: compact lines in blocks of records, each carrying its format list.
#pragma once

#include "controls/PTEditStyles.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Lines are kept as 24-byte records (text pointer, length, capacity, format list) so that a
// million-line script costs little beyond its bytes. The records sit in blocks of at most
// BlockLines lines, so inserting or removing a line moves the records of one block and the
// starts of the blocks after it, however far the edit is from the previous one. Text loaded in
// one piece stays in one shared buffer; a line gets a buffer of its own the first time it changes.
class TEditLines {
public:
  // Most lines a block holds; a full block splits in two, small neighbours merge.
  static constexpr std::size_t BlockLines = 1024;

  TEditLines();
  ~TEditLines();
  TEditLines(const TEditLines &) = delete;
  TEditLines &operator=(const TEditLines &) = delete;

  int Count() const { return static_cast<int>(FCount); }
  // The text of line AIndex; valid until that line or the list changes.
  std::string_view operator[](int AIndex) const;
  std::string Strings(int AIndex) const { return std::string((*this)[AIndex]); }
  int Length(int AIndex) const { return static_cast<int>(Item(AIndex).Length); }

  // Replaces the text of a line; its format list stays with it (the editor reformats it).
  void Put(int AIndex, std::string_view AText);
  // Inserts a line before AIndex (Count() appends); the new line has no format list yet.
  void Insert(int AIndex, std::string_view AText);
  void Add(std::string_view AText) { Insert(Count(), AText); }
  void Delete(int AIndex) { DeleteRange(AIndex, 1); }
  // Removes ACount lines from AIndex on, with their format lists.
  void DeleteRange(int AIndex, int ACount);
  void Clear();

  // Every line followed by CR LF, the last one included.
  std::string Text() const;
  // Replaces all lines: cut at CR LF, a lone CR or a lone LF (after a line one CR and then one
  // LF are skipped); a break at the very end adds no empty line; a NUL byte ends the text; an
  // empty text gives no lines at all.
  void SetText(std::string_view AText);

  // The line's format list, or null when the line has not been formatted yet.
  TFormatList *Objects(int AIndex) const { return Item(AIndex).Format; }
  // The line's format list, created empty when it has none.
  TFormatList &FormatList(int AIndex);
  // Drops every line's format list (all lines will be formatted again when painted).
  void ClearFormats();

  // Characters before line ALine (0..Count()), each line break counted as two; the line holding
  // offset AOffset, a break belonging to the line it ends (Count() - 1 past the end, 0 before
  // the start). Both count whole blocks at a time.
  std::int64_t CharsBefore(int ALine) const;
  int LineAt(std::int64_t AOffset) const;

  // Bytes held for the lines: records, the loaded text and line buffers (format lists excluded).
  std::size_t MemoryUsed() const;

private:
  struct TLine {
    char *Data;             // the bytes; in the shared block when Capacity is 0
    std::uint32_t Length;   // number of bytes
    std::uint32_t Capacity; // size of the line's own buffer, 0 when it has none
    TFormatList *Format;    // owned; null until the line is first formatted
  };
  struct TBlock {
    std::size_t Start;        // index of the block's first line
    std::int64_t Chars;       // its lines' lengths plus two for each line's break
    std::vector<TLine> Lines; // never empty
  };

  // The block holding line AIndex (AIndex < FCount), by binary search; remembered in FHint.
  std::size_t FindBlock(std::size_t AIndex) const;
  // The block holding line AIndex, which must exist. Callers walk the lines in order, so the
  // block of the previous look-up is tried first.
  std::size_t BlockOf(int AIndex) const {
    if (AIndex < 0 || static_cast<std::size_t>(AIndex) >= FCount)
      CheckIndex(AIndex, Count() - 1);
    std::size_t I = static_cast<std::size_t>(AIndex);
    std::size_t B = FHint.load(std::memory_order_relaxed);
    if (B < FBlocks.size() && I - FBlocks[B].Start < FBlocks[B].Lines.size())
      return B;
    return FindBlock(I);
  }
  const TLine &Item(int AIndex) const {
    const TBlock &Block = FBlocks[BlockOf(AIndex)];
    return Block.Lines[static_cast<std::size_t>(AIndex) - Block.Start];
  }
  TLine &Item(int AIndex) {
    return const_cast<TLine &>(static_cast<const TEditLines &>(*this).Item(AIndex));
  }
  // Lengths plus breaks of the records [AFirst, AEnd).
  static std::int64_t CharsOf(const TLine *AFirst, const TLine *AEnd);
  // Adds ADelta to the starts of the blocks from AFirst on.
  void ShiftStarts(std::size_t AFirst, std::ptrdiff_t ADelta);
  // Merges block ABlock with a neighbour when both together fill at most half a block, so that
  // deletions leave no trail of nearly empty blocks.
  void Compact(std::size_t ABlock);
  static TLine MakeLine(std::string_view AText);
  static void FreeLine(TLine &ALine);
  void CheckIndex(std::int64_t AIndex, std::int64_t ALimit) const;

  std::vector<TBlock> FBlocks; // in text order
  std::size_t FCount = 0;
  // Block of the last look-up; relaxed atomic so that readers on several threads stay defined.
  mutable std::atomic<std::size_t> FHint{0};
  std::unique_ptr<char[]> FLoaded; // text loaded by SetText, shared by unchanged lines
  std::size_t FLoadedSize = 0;
};
