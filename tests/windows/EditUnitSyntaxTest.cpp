// PL/SQL colouring of single lines: the examples that define it, the word table, and a check of
// the fast look-up against the plain search of the table.
#include "windows/EditUnitSyntax.h"
#include "controls/PTEditModel.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

struct TRecord {
  int Start, Length, Style;
  bool operator==(const TRecord &) const = default;
};

std::vector<TRecord> Format(std::string_view ALine) {
  TFormatList List;
  FormatScriptLine(ALine, List);
  std::vector<TRecord> Result;
  for (const TFormatRecord &R : List)
    Result.push_back({R.Start, R.Length, R.StyleIndex});
  return Result;
}

void PrintTo(const TRecord &R, std::ostream *AOut) {
  *AOut << "(" << R.Start << ", " << R.Length << ", " << R.Style << ")";
}

// The words as the table is searched from first to last.
bool LinearSearch(std::string_view AWord) {
  std::string Upper(AWord);
  for (char &C : Upper)
    if (C >= 'a' && C <= 'z')
      C = static_cast<char>(C - 32);
  for (int I = 0; I < ReservedWordCount; ++I)
    if (Upper == ReservedWords[I])
      return true;
  return false;
}

TEST(EditorFormatLine, ExamplesColourAsDescribed) {
  const struct {
    const char *Line;
    std::vector<TRecord> Records;
  } Cases[] = {
      {"select count(*) from dual; -- all rows", {{1, 6, 1}, {8, 5, 1}, {17, 4, 1}, {28, 11, 4}}},
      {"x := 'it''s';", {{6, 4, 3}, {10, 3, 3}}},
      {"'unterminated", {{1, 13, 3}}},
      {"'", {{1, 1, 3}}},
      {"REM comment", {{1, 11, 4}}},
      {"remark", {{1, 6, 4}}},
      {" REM comment", {}},
      {"x REM y", {}},
      {"12abc", {}},
      {"007", {{1, 3, 2}}},
      // q-quoted literals: their quotes inside do not end them; q is a word of its own.
      {"x := q'[it's]' || nq'{a'b}';", {{6, 9, 3}, {19, 9, 3}}},
      {"q'!open", {{1, 7, 3}}},
      {"aq'b'", {{3, 3, 3}}},
      {"", {}},
      {"Select SELECT select", {{1, 6, 1}, {8, 6, 1}, {15, 6, 1}}},
      {"v%ROWTYPE", {{3, 7, 1}}},
      {"a.b", {}},
      {"3.14", {{1, 1, 2}, {3, 2, 2}}},
      {"VARCHAR2 BINARY_INTEGER v_count$", {{1, 8, 1}, {10, 14, 1}}},
      {"'a -- b' -- c", {{1, 8, 3}, {10, 4, 4}}},
      {"/* just text */", {}},
      {"--", {{1, 2, 4}}},
      {"a-b", {}},
      {"remarks", {}},
      {"REM", {{1, 3, 4}}},
      {"rem\tx", {{1, 5, 4}}},
      {"end;\x80\xE9", {{1, 3, 1}}},
  };
  for (const auto &Case : Cases)
    EXPECT_EQ(Format(Case.Line), Case.Records) << "line: " << Case.Line;
  // A NUL inside a line is a word character; the editor ends loaded text at one anyway.
  EXPECT_EQ(Format(std::string_view("begin\0end", 9)), (std::vector<TRecord>{}));
  EXPECT_EQ(Format(std::string_view("1\0002", 3)), (std::vector<TRecord>{}));
  EXPECT_EQ(Format("begin"), (std::vector<TRecord>{{1, 5, 1}}));
}

TEST(EditorFormatLine, WordTableIsTheListedOneAndTheLookUpAgreesWithTheSearch) {
  std::set<std::string> Words;
  for (int I = 0; I < ReservedWordCount; ++I) {
    Words.insert(ReservedWords[I]);
    EXPECT_TRUE(IsReservedWord(ReservedWords[I])) << ReservedWords[I];
  }
  EXPECT_EQ(Words.size(), 184u);
  EXPECT_STREQ(ReservedWords[0], "ABORT");
  EXPECT_STREQ(ReservedWords[183], "XOR");
  EXPECT_STREQ(ReservedWords[184], "Overwrite");
  EXPECT_STREQ(ReservedWords[187], "Modified");
  // The status words are no reserved words.
  EXPECT_FALSE(IsReservedWord("Overwrite"));
  EXPECT_FALSE(IsReservedWord("Original"));
  EXPECT_FALSE(IsReservedWord("Modified"));
  EXPECT_TRUE(IsReservedWord("exception_init"));
  EXPECT_FALSE(IsReservedWord("exception_initx"));
  EXPECT_FALSE(IsReservedWord(""));

  // Every word with one byte changed, dropped or added, and random words, answer alike.
  std::mt19937 Random(7);
  const std::string Alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_$?\xC4";
  for (int I = 0; I < ReservedWordCount; ++I) {
    std::string Word = ReservedWords[I];
    for (std::size_t P = 0; P < Word.size(); ++P) {
      std::string Changed = Word;
      Changed[P] = Alphabet[Random() % Alphabet.size()];
      EXPECT_EQ(IsReservedWord(Changed), LinearSearch(Changed)) << Changed;
      std::string Dropped = Word.substr(0, P) + Word.substr(P + 1);
      EXPECT_EQ(IsReservedWord(Dropped), LinearSearch(Dropped)) << Dropped;
    }
    EXPECT_FALSE(IsReservedWord(Word + "S") && !LinearSearch(Word + "S"));
  }
  for (int I = 0; I < 20000; ++I) {
    std::string Word(1 + Random() % 6, ' ');
    for (char &C : Word)
      C = Alphabet[Random() % Alphabet.size()];
    ASSERT_EQ(IsReservedWord(Word), LinearSearch(Word)) << Word;
  }
}

TEST(EditorFormatLine, TokensFollowTheSharedDelimiterSet) {
  // Every byte on its own between two reserved words: a delimiter keeps them apart.
  for (int C = 1; C < 256; ++C) {
    if (C == '\'' || C == '-')
      continue;
    std::string Line = std::string("AND") + static_cast<char>(C) + "OR";
    std::vector<TRecord> Expected = IsDelimiter(static_cast<unsigned char>(C))
                                        ? std::vector<TRecord>{{1, 3, 1}, {5, 2, 1}}
                                        : std::vector<TRecord>{};
    EXPECT_EQ(Format(Line), Expected) << C;
  }
}

} // namespace
