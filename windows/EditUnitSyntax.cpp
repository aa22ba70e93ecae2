// PL/SQL syntax colouring: one pass over the line, words looked up in a hashed table.
#include "windows/EditUnitSyntax.h"

#include "controls/PTEditModel.h"
#include "script/ParserUnit.h"

#include <array>
#include <cstdint>
#include <cstring>

const char *const ReservedWords[ReservedWordCount + 4] = {
    "ABORT", "ACCEPT", "ACCESS", "ADD", "ALL", "ALTER", "AND", "ANY", "ARRAY", "ARRAYLEN", "AS",
    "ASC", "ASSERT", "ASSIGN", "AT", "AUTHORIZATION", "AVG", "BASE_TABLE", "BEGIN", "BETWEEN",
    "BINARY_INTEGER", "BODY", "BOOLEAN", "BY", "CASE", "CHAR", "CHAR_BASE", "CHECK", "CLOSE",
    "CLUSTER", "CLUSTERS", "COLAUTH", "COLUMNS", "COMMIT", "COMPRESS", "CONNECT", "CONSTANT",
    "COUNT", "CRASH", "CREATE", "CURRENT", "CURSOR", "CURRVAL", "DATABASE", "DATA_BASE", "DATE",
    "DBA", "DEBUGOFF", "DEBUGON", "DECLARE", "DECIMAL", "DEFAULT", "DEFINITION", "DELAY", "DELETE",
    "DELTA", "DESC", "DIGITS", "DISPOSE", "DISTINCT", "DO", "DROP", "ELSE", "ELSIF", "END", "ENTRY",
    "EXCEPTION", "EXCEPTION_INIT", "EXISTS", "EXIT", "FALSE", "FETCH", "FLOAT", "FOR", "FORM",
    "FROM", "FUNCTION", "GENERIC", "GOTO", "GRANT", "GROUP", "HAVING", "IDENTIFIED", "IF", "IN",
    "INDEX", "INDEXES", "INDICATOR", "INSERT", "INTEGER", "INTERSECT", "INTO", "IS", "LEVEL",
    "LIKE", "LIMITED", "LOOP", "MAX", "MIN", "MINUS", "MLSLABEL", "MOD", "NATURAL", "NEW",
    "NEXTVAL", "NOCOMPRESS", "NOT", "NULL", "NUMBER", "NUMBER_BASE", "OF", "ON", "OPEN", "OPTION",
    "OR", "ORDER", "OTHERS", "OUT", "PACKAGE", "PARTITION", "PCTFREE", "POSITIVE", "PRAGMA",
    "PRIOR", "PRIVATE", "PROCEDURE", "PUBLIC", "RAISE", "RANGE", "REAL", "RECORD", "RELEASE",
    "RENAME", "RESOURCE", "RETURN", "REVERSE", "REVOKE", "ROLLBACK", "ROWID", "ROWLABEL", "ROWNUM",
    "ROWTYPE", "RUN", "SAVEPOINT", "SCHEMA", "SELECT", "SEPARATE", "SET", "SIZE", "SMALLINT",
    "SPACE", "SQL", "SQLCODE", "SQLERRM", "START", "STATEMENT", "STDDEV", "SUBTYPE", "SUM",
    "TABAUTH", "TABLE", "TABLES", "TASK", "TERMINATE", "THEN", "TO", "TRUE", "TYPE", "UNION",
    "UNIQUE", "UPDATE", "USE", "VALUES", "VARCHAR", "VARCHAR2", "VARIANCE", "VIEW", "VIEWS", "WHEN",
    "WHERE", "WHILE", "WITH", "WORK", "XOR",
    // The editor window's status words share the table.
    "Overwrite", "Insert", "Original", "Modified"};

namespace {

// No reserved word is longer; a longer word needs no look-up.
constexpr std::size_t MaxWordLength = 14;

// Word characters and the delimiter set as one table, so the inner loop is a single load.
struct TCharTable {
  std::array<bool, 256> Delimiter{};
  std::array<unsigned char, 256> Upper{};
  TCharTable() {
    for (int C = 0; C < 256; ++C) {
      Delimiter[C] = IsDelimiter(static_cast<unsigned char>(C));
      Upper[C] = static_cast<unsigned char>(C >= 'a' && C <= 'z' ? C - 32 : C);
    }
  }
};
const TCharTable Chars;

// An open-addressed table of the reserved words by a hash of their upper-case bytes: the same
// answer as a search of the list from first to last, with one or two comparisons per word.
class TWordTable {
public:
  static constexpr std::size_t Size = 1024; // a power of two, over five times the word count

  TWordTable() {
    for (int I = 0; I < ReservedWordCount; ++I) {
      std::string_view Word = ReservedWords[I];
      std::size_t Slot = Hash(reinterpret_cast<const unsigned char *>(Word.data()), Word.size());
      while (FSlots[Slot])
        Slot = (Slot + 1) & (Size - 1);
      FSlots[Slot] = ReservedWords[I];
      FLengths[Slot] = static_cast<std::uint8_t>(Word.size());
    }
  }

  // AUpper holds ALength upper-case bytes.
  bool Contains(const unsigned char *AUpper, std::size_t ALength) const {
    std::size_t Slot = Hash(AUpper, ALength);
    while (FSlots[Slot]) {
      if (FLengths[Slot] == ALength && std::memcmp(FSlots[Slot], AUpper, ALength) == 0)
        return true;
      Slot = (Slot + 1) & (Size - 1);
    }
    return false;
  }

private:
  static std::size_t Hash(const unsigned char *AText, std::size_t ALength) {
    std::uint32_t H = static_cast<std::uint32_t>(ALength) * 0x9E3779B1u;
    for (std::size_t I = 0; I < ALength; ++I)
      H = (H ^ AText[I]) * 0x01000193u;
    return (H ^ (H >> 15)) & (Size - 1);
  }

  std::array<const char *, Size> FSlots{};
  std::array<std::uint8_t, Size> FLengths{};
};
const TWordTable Words;

// Upper-cases a word of at most MaxWordLength bytes into ABuffer.
void ToUpper(const char *AWord, std::size_t ALength, unsigned char *ABuffer) {
  for (std::size_t I = 0; I < ALength; ++I)
    ABuffer[I] = Chars.Upper[static_cast<unsigned char>(AWord[I])];
}

} // namespace

bool IsReservedWord(std::string_view AWord) {
  if (AWord.empty() || AWord.size() > MaxWordLength)
    return false;
  unsigned char Upper[MaxWordLength];
  ToUpper(AWord.data(), AWord.size(), Upper);
  return Words.Contains(Upper, AWord.size());
}

void FormatScriptLine(std::string_view ALine, TFormatList &AList) {
  const char *Text = ALine.data();
  const std::size_t Length = ALine.size();
  std::size_t P = 0; // 0-based here; records are 1-based
  auto Append = [&AList](std::size_t AStart, std::size_t ACount, int AStyle) {
    AList.push_back(TFormatRecord{static_cast<int>(AStart + 1), static_cast<int>(ACount), AStyle});
  };
  while (P < Length) {
    const unsigned char C = static_cast<unsigned char>(Text[P]);
    if (Chars.Delimiter[C]) {
      // A one-character token: only an apostrophe or a "--" starts anything.
      if (C == '\'') {
        // q'[...]' keeps its own delimiters: its quotes inside do not end it.
        if (const std::int64_t QEnd = QuotedLiteralEnd(Text, static_cast<std::int64_t>(Length),
                                                       static_cast<std::int64_t>(P));
            QEnd >= 0) {
          std::size_t Start = P - 1;
          if (Start >= 1 && (Text[Start - 1] == 'n' || Text[Start - 1] == 'N'))
            --Start;
          Append(Start, static_cast<std::size_t>(QEnd) - Start, ssString);
          P = static_cast<std::size_t>(QEnd);
          continue;
        }
        const void *Close = std::memchr(Text + P + 1, '\'', Length - P - 1);
        std::size_t End =
            Close ? static_cast<std::size_t>(static_cast<const char *>(Close) - Text) + 1 : Length;
        Append(P, End - P, ssString);
        P = End;
      } else if (C == '-' && P + 1 < Length && Text[P + 1] == '-') {
        Append(P, Length - P, ssComment);
        return;
      } else {
        ++P;
      }
      continue;
    }
    std::size_t End = P + 1;
    bool Digits = C >= '0' && C <= '9';
    while (End < Length && !Chars.Delimiter[static_cast<unsigned char>(Text[End])]) {
      const unsigned char D = static_cast<unsigned char>(Text[End]);
      Digits = Digits && D >= '0' && D <= '9';
      ++End;
    }
    const std::size_t N = End - P;
    if (Digits) {
      Append(P, N, ssNumber); // no reserved word is made of digits
    } else if (N <= MaxWordLength) {
      unsigned char Upper[MaxWordLength];
      ToUpper(Text + P, N, Upper);
      if (Words.Contains(Upper, N)) {
        Append(P, N, ssReservedWord);
      } else if (P == 0 && ((N == 3 && std::memcmp(Upper, "REM", 3) == 0) ||
                            (N == 6 && std::memcmp(Upper, "REMARK", 6) == 0))) {
        Append(0, Length, ssComment);
        return;
      }
    }
    P = End;
  }
}
