// The editor's line list: compact lines in a gap buffer, each carrying its format list.
#pragma once

#include "controls/PTEditStyles.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Lines are kept as 24-byte records (text pointer, length, capacity, format list) so that a
// million-line script costs little beyond its bytes, and inserting or removing a line moves
// records only across the gap, which sits where the user edits. Text loaded in one piece
// stays in one shared block; a line gets a buffer of its own the first time it changes.
class TEditLines {
public:
  TEditLines();
  ~TEditLines();
  TEditLines(const TEditLines &) = delete;
  TEditLines &operator=(const TEditLines &) = delete;

  int Count() const { return static_cast<int>(FItems.size() - (FGapEnd - FGapStart)); }
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

  // Bytes held for the lines: records, text blocks and line buffers (format lists excluded).
  std::size_t MemoryUsed() const;

private:
  struct TLine {
    char *Data;             // the bytes; in the shared block when Capacity is 0
    std::uint32_t Length;   // number of bytes
    std::uint32_t Capacity; // size of the line's own buffer, 0 when it has none
    TFormatList *Format;    // owned; null until the line is first formatted
  };

  const TLine &Item(int AIndex) const {
    std::size_t I = static_cast<std::size_t>(AIndex);
    return FItems[I < FGapStart ? I : I + (FGapEnd - FGapStart)];
  }
  TLine &Item(int AIndex) {
    std::size_t I = static_cast<std::size_t>(AIndex);
    return FItems[I < FGapStart ? I : I + (FGapEnd - FGapStart)];
  }
  void MoveGap(std::size_t APos);
  void GrowGap(std::size_t AMinimum);
  static void FreeLine(TLine &ALine);
  void CheckIndex(int AIndex, int ALimit) const;

  std::vector<TLine> FItems; // lines with a gap [FGapStart, FGapEnd) of unused records
  std::size_t FGapStart = 0;
  std::size_t FGapEnd = 0;
  std::unique_ptr<char[]> FBlock; // text loaded by SetText, shared by unchanged lines
  std::size_t FBlockSize = 0;
};
