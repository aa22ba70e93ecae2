// The script parser: cuts a script into expressions by tokens and a handful of keywords.
#include "script/ParserUnit.h"

#include "classes/Exceptions.h"
#include "db/OciApi.h"
#include "script/ScriptWindows.h"

#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string_view>

namespace {

// Byte classes: bit 1 delimiter, bit 2 blank (every blank is also a delimiter).
constexpr unsigned char cDelimiter = 1, cBlank = 2;

constexpr std::array<unsigned char, 256> MakeClasses() {
  std::array<unsigned char, 256> Classes{};
  for (int C = 0; C < 256; ++C) {
    const bool Delimiter = C == 9 || C == 10 || C == 13 || C == 32 || (C >= 33 && C <= 35) ||
                           (C >= 37 && C <= 47) || (C >= 58 && C <= 62) || C == 64 ||
                           (C >= 91 && C <= 94) || C == 96 || (C >= 123 && C <= 126);
    const bool Blank = C == 9 || C == 10 || C == 13 || C == 32;
    Classes[C] = (Delimiter ? cDelimiter : 0) | (Blank ? cBlank : 0);
  }
  return Classes;
}
constexpr std::array<unsigned char, 256> Classes = MakeClasses();

inline bool IsDelimiter(char C) { return Classes[static_cast<unsigned char>(C)] & cDelimiter; }
inline bool IsBlank(char C) { return Classes[static_cast<unsigned char>(C)] & cBlank; }
inline char UpCase(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 32) : C; }

// Index of the first delimiter at or after AFrom, AEnd when there is none.
inline std::int64_t WordEnd(const char *T, std::int64_t AFrom, std::int64_t AEnd) {
  while (AFrom < AEnd && !IsDelimiter(T[AFrom]))
    ++AFrom;
  return AFrom;
}

std::string UpperCase(std::string_view AText) {
  std::string Result(AText);
  for (char &C : Result)
    C = UpCase(C);
  return Result;
}

// Comment openers and closers, tried in this order; the index is the parser's inComment value.
struct TCommentPair {
  const char *Opener;
  const char *Closer;
};
constexpr TCommentPair CommentPairs[3] = {{"/*", "*/"}, {"--", "\n"}, {"'", "'"}};

// The words the scanner reacts to.
enum TKeyword : unsigned char {
  kwNone,
  kwConnect,
  kwRemark,
  kwRem,
  kwSet,
  kwCreate,
  kwOr,
  kwReplace,
  kwDeclare,
  kwBegin,
  kwProcedure,
  kwFunction,
  kwIs,
  kwAs,
  kwPackage,
  kwBody,
  kwTrigger,
  kwWrapped,
  kwLoop,
  kwIf,
  kwEnd,
  kwCase,
  kwType,
  kwEditionable, // EDITIONABLE, NONEDITIONABLE, EDITIONING after OR REPLACE
  kwCcIf,        // conditional compilation: $IF
  kwCcElse,      // $ELSIF, $ELSE
  kwCcEnd        // $END
};

// AWord is upper case; compares the token without regard to ASCII case.
inline bool SameWord(const char *AToken, const char *AWord, size_t ALength) {
  for (size_t I = 0; I < ALength; ++I)
    if (UpCase(AToken[I]) != AWord[I])
      return false;
  return true;
}

// Every keyword, upper case, with what it means to the scanner.
struct TKeywordWord {
  std::string_view Word;
  TKeyword Keyword;
};
constexpr TKeywordWord KeywordWords[] = {
    {"OR", kwOr},
    {"IS", kwIs},
    {"IF", kwIf},
    {"AS", kwAs},
    {"$IF", kwCcIf},
    {"REM", kwRem},
    {"SET", kwSet},
    {"END", kwEnd},
    {"BODY", kwBody},
    {"LOOP", kwLoop},
    {"CASE", kwCase},
    {"TYPE", kwType},
    {"$END", kwCcEnd},
    {"$ELSE", kwCcElse},
    {"BEGIN", kwBegin},
    {"$ELSIF", kwCcElse},
    {"$ERROR", kwCcIf}, // $ERROR ... $END pairs as $IF ... $END does
    {"REMARK", kwRemark},
    {"CREATE", kwCreate},
    {"CONNECT", kwConnect},
    {"REPLACE", kwReplace},
    {"DECLARE", kwDeclare},
    {"PACKAGE", kwPackage},
    {"TRIGGER", kwTrigger},
    {"WRAPPED", kwWrapped},
    {"FUNCTION", kwFunction},
    {"PROCEDURE", kwProcedure},
    {"EDITIONING", kwEditionable},
    {"EDITIONABLE", kwEditionable},
    {"NONEDITIONABLE", kwEditionable}};

// A perfect hash of the keywords by first and last character and length: each keyword has a
// slot of its own, so a word is classified by one table look-up and one comparison.
constexpr unsigned KeywordHash(char AFirst, char ALast, size_t ALength) {
  return (static_cast<unsigned char>(AFirst) * 4u + static_cast<unsigned char>(ALast) * 6u +
          static_cast<unsigned>(ALength)) &
         63u;
}

// Each keyword in its slot; an empty slot holds an empty word, which no token matches. Beside
// the word, its bytes as two little-endian 64-bit halves and the mask that compares them
// without regard to case: a letter's bit 0x20 is masked, bytes past the word entirely.
struct TKeywordSlot {
  TKeywordWord Entry;
  std::uint64_t Bytes[2];
  std::uint64_t Mask[2];
};
constexpr std::array<TKeywordSlot, 64> MakeKeywordSlots() {
  std::array<TKeywordSlot, 64> Slots{};
  for (const TKeywordWord &Entry : KeywordWords) {
    TKeywordSlot &Slot =
        Slots[KeywordHash(Entry.Word.front(), Entry.Word.back(), Entry.Word.size())];
    if (!Slot.Entry.Word.empty())
      throw "two keywords share a slot: change the hash's factors";
    Slot.Entry = Entry;
    for (size_t I = 0; I < Entry.Word.size(); ++I) {
      const auto C = static_cast<unsigned char>(Entry.Word[I]);
      Slot.Bytes[I / 8] |= std::uint64_t{C} << (I % 8 * 8);
      Slot.Mask[I / 8] |= std::uint64_t{C >= 'A' && C <= 'Z' ? 0xDFu : 0xFFu} << (I % 8 * 8);
    }
  }
  return Slots;
}
constexpr std::array<TKeywordSlot, 64> KeywordSlots = MakeKeywordSlots();

// Whether the word at AToken is the slot's keyword; 16 bytes from AToken are readable.
inline bool SameWord16(const char *AToken, const TKeywordSlot &ASlot) {
  std::uint64_t Low, High;
  std::memcpy(&Low, AToken, 8);
  std::memcpy(&High, AToken + 8, 8);
  return (Low & ASlot.Mask[0]) == ASlot.Bytes[0] && (High & ASlot.Mask[1]) == ASlot.Bytes[1];
}

// Classifies a word token of the text ending at AEnd, compared whole without regard to case.
TKeyword Classify(const char *AToken, size_t ALength, const char *AEnd) {
  const TKeywordSlot &Slot =
      KeywordSlots[KeywordHash(UpCase(AToken[0]), UpCase(AToken[ALength - 1]), ALength)];
  // Most words fail on the length already, whatever slot they hash to.
  if (Slot.Entry.Word.size() != ALength)
    return kwNone;
  const bool Same = std::endian::native == std::endian::little && AEnd - AToken >= 16
                        ? SameWord16(AToken, Slot)
                        : SameWord(AToken, Slot.Entry.Word.data(), ALength);
  return Same ? Slot.Entry.Keyword : kwNone;
}

// Commands of Oracle's command-line tool with the shortest abbreviation each accepts. None of
// these words or abbreviations begins a SQL statement (DEL is not DELETE, SAV not SAVEPOINT),
// so as the first word of an expression they are always the tool's command.
enum TToolKind : unsigned char {
  tkNone,
  tkPass,
  tkConnect,
  tkExecute,
  tkStart,
  tkWhenever,
  tkExit
};
struct TToolWord {
  std::string_view Name;
  unsigned char MinLength;
  TToolKind Kind;
};
constexpr TToolWord ToolWords[] = {
    {"ACCEPT", 3, tkPass},     {"APPEND", 1, tkPass},     {"ARCHIVE", 7, tkPass},
    {"ATTRIBUTE", 4, tkPass},  {"BREAK", 3, tkPass},      {"BTITLE", 3, tkPass},
    {"CHANGE", 1, tkPass},     {"CLEAR", 2, tkPass},      {"COLUMN", 3, tkPass},
    {"COMPUTE", 4, tkPass},    {"CONNECT", 4, tkConnect}, {"COPY", 4, tkPass},
    {"DEFINE", 3, tkPass},     {"DEL", 3, tkPass},        {"DESCRIBE", 4, tkPass},
    {"DISCONNECT", 4, tkPass}, {"EDIT", 2, tkPass},       {"EXECUTE", 4, tkExecute},
    {"EXIT", 4, tkExit},       {"GET", 3, tkPass},        {"HELP", 4, tkPass},
    {"HOST", 2, tkPass},       {"INPUT", 1, tkPass},      {"LIST", 1, tkPass},
    {"PASSWORD", 5, tkPass},   {"PAUSE", 3, tkPass},      {"PRINT", 3, tkPass},
    {"PROMPT", 3, tkPass},     {"QUIT", 4, tkExit},       {"RECOVER", 7, tkPass},
    {"REPFOOTER", 4, tkPass},  {"REPHEADER", 4, tkPass},  {"RUN", 1, tkPass},
    {"SAVE", 3, tkPass},       {"SHOW", 3, tkPass},       {"SHUTDOWN", 8, tkPass},
    {"SPOOL", 3, tkPass},      {"START", 3, tkStart},     {"STARTUP", 7, tkPass},
    {"STORE", 5, tkPass},      {"TIMING", 4, tkPass},     {"TTITLE", 3, tkPass},
    {"UNDEFINE", 5, tkPass},   {"VARIABLE", 3, tkPass},   {"WHENEVER", 8, tkWhenever}};
constexpr size_t ToolWordCount = sizeof(ToolWords) / sizeof(ToolWords[0]);

// ToolWords is in alphabetical order: the words beginning with letter L are those from
// ToolWordsFrom[L - 'A'] to ToolWordsFrom[L - 'A' + 1].
constexpr std::array<unsigned char, 27> MakeToolWordsFrom() {
  std::array<unsigned char, 27> From{};
  size_t W = 0;
  for (int L = 0; L < 27; ++L) {
    while (W < ToolWordCount && ToolWords[W].Name[0] < 'A' + L)
      ++W;
    From[L] = static_cast<unsigned char>(W);
  }
  return From;
}
constexpr std::array<unsigned char, 27> ToolWordsFrom = MakeToolWordsFrom();

// The tool command a word names, whole or abbreviated; tkNone for any other word.
TToolKind ToolKind(const char *AToken, size_t ALength) {
  const char First = UpCase(AToken[0]);
  if (ALength > 10 || First < 'A' || First > 'Z')
    return tkNone;
  for (size_t W = ToolWordsFrom[First - 'A']; W < ToolWordsFrom[First - 'A' + 1]; ++W) {
    const TToolWord &Word = ToolWords[W];
    if (ALength >= Word.MinLength && ALength <= Word.Name.size() &&
        SameWord(AToken, Word.Name.data(), ALength))
      return Word.Kind;
  }
  return tkNone;
}

// Index of the line feed that ends a command line starting at AFrom (AEnd when the text ends
// first). A line whose last character is "-" goes on in the next line, as in the tool.
std::int64_t CommandLineEnd(const char *T, std::int64_t AEnd, std::int64_t AFrom) {
  for (std::int64_t I = AFrom;;) {
    const void *Lf = std::memchr(T + I, '\n', static_cast<size_t>(AEnd - I));
    if (!Lf)
      return AEnd;
    const std::int64_t E = static_cast<const char *>(Lf) - T;
    std::int64_t B = E;
    while (B > I && (T[B - 1] == '\r' || T[B - 1] == ' ' || T[B - 1] == '\t'))
      --B;
    if (B == I || T[B - 1] != '-')
      return E;
    I = E + 1;
  }
}

// The word at AFrom after blanks (upper case), and in ANext the index after it.
std::string WordAt(const char *T, std::int64_t AEnd, std::int64_t AFrom, std::int64_t &ANext) {
  std::int64_t I = AFrom;
  while (I < AEnd && (T[I] == ' ' || T[I] == '\t'))
    ++I;
  const std::int64_t From = I;
  I = WordEnd(T, I, AEnd);
  ANext = I;
  return UpperCase(std::string_view(T + From, static_cast<size_t>(I - From)));
}

// What a WHENEVER line means to a compile run: only SQLERROR EXIT and SQLERROR CONTINUE do.
TToolCommand WheneverCommand(const char *T, std::int64_t AEnd, std::int64_t AFrom) {
  std::int64_t Next = AFrom;
  if (WordAt(T, AEnd, AFrom, Next) != "SQLERROR")
    return TToolCommand::None;
  const std::string Action = WordAt(T, AEnd, Next, Next);
  if (Action == "EXIT")
    return TToolCommand::WheneverErrorExit;
  if (Action == "CONTINUE")
    return TToolCommand::WheneverErrorContinue;
  return TToolCommand::None;
}

// The connected user of the program's database as configured; read under the database's lock,
// since the GUI thread may change it while a parse thread runs.
std::string ConnectedUser() {
  static const std::string Name = "Database";
  TDatabaseLite *Database = Session.FindDatabase(Name);
  return Database ? Database->User() : std::string();
}

std::int32_t CheckedLength(const std::string &AText) {
  // Positions are 32-bit and may run a few characters past the end of the text.
  if (AText.size() > static_cast<size_t>(std::numeric_limits<std::int32_t>::max() - 16))
    throw Exception("Script text too large");
  return static_cast<std::int32_t>(AText.size());
}

} // namespace

std::int64_t QuotedLiteralEnd(const char *T, std::int64_t AEnd, std::int64_t AQuote) {
  if (AQuote < 1 || (T[AQuote - 1] != 'q' && T[AQuote - 1] != 'Q') || AQuote + 1 >= AEnd)
    return -1;
  std::int64_t Word = AQuote - 1; // q or nq must be a word of its own
  if (Word >= 1 && (T[Word - 1] == 'n' || T[Word - 1] == 'N'))
    --Word;
  if (Word >= 1 && !IsDelimiter(T[Word - 1]))
    return -1;
  const char Open = T[AQuote + 1];
  if (IsBlank(Open))
    return -1;
  const char Close = Open == '['   ? ']'
                     : Open == '{' ? '}'
                     : Open == '<' ? '>'
                     : Open == '(' ? ')'
                                   : Open;
  for (std::int64_t I = AQuote + 2; I + 1 < AEnd; ++I)
    if (T[I] == Close && T[I + 1] == '\'')
      return I + 2;
  return AEnd;
}

std::string_view ExpressionText(const TExpression &AExpression) {
  if (!AExpression.Script || AExpression.Length <= 0 || AExpression.Start < 1)
    return {};
  const std::string &Text = AExpression.Script->Text();
  const size_t From = static_cast<size_t>(AExpression.Start) - 1;
  if (From >= Text.size())
    return {};
  return std::string_view(Text).substr(From, static_cast<size_t>(AExpression.Length));
}

// ---- TExpressionList -------------------------------------------------------------------------

TExpressionList::~TExpressionList() {
  for (TExpression *Expression : FItems)
    delete Expression;
}

int TExpressionList::Add(TExpression *AExpression) {
  std::lock_guard Guard(FLock);
  FItems.push_back(AExpression);
  return static_cast<int>(FItems.size()) - 1;
}

TExpression *TExpressionList::Get(int AIndex) const {
  std::lock_guard Guard(FLock);
  return FItems.at(static_cast<size_t>(AIndex));
}

void TExpressionList::Put(int AIndex, TExpression *AExpression) {
  TExpression *Old;
  {
    std::lock_guard Guard(FLock);
    TExpression *&Slot = FItems.at(static_cast<size_t>(AIndex));
    Old = Slot;
    Slot = AExpression;
  }
  if (Old != AExpression)
    delete Old;
}

void TExpressionList::Pack() {
  std::lock_guard Guard(FLock);
  std::erase(FItems, nullptr);
}

int TExpressionList::IndexOf(const TExpression *AExpression) const {
  std::lock_guard Guard(FLock);
  for (size_t I = 0; I < FItems.size(); ++I)
    if (FItems[I] == AExpression)
      return static_cast<int>(I);
  return -1;
}

int TExpressionList::Count() const {
  std::lock_guard Guard(FLock);
  return static_cast<int>(FItems.size());
}

// ---- TParser ---------------------------------------------------------------------------------

TParser::TParser(std::string AText)
    : TParser(std::make_shared<const std::string>(std::move(AText))) {}

TParser::TParser(std::shared_ptr<const std::string> AText)
    : FText(AText ? std::move(AText) : std::make_shared<const std::string>()), FData(FText->data()),
      FLength(CheckedLength(*FText)) {}

// Kept out of line: inlined, it costs the scanning loop in ParseExpression registers.
[[gnu::noinline]] void TParser::SetOwner(TExpression &AExpression) {
  std::string User = ConnectedUser();
  if (User != FUser) {
    FOwner = UpperCase(User);
    FUser = std::move(User);
  }
  AExpression.Owner = FOwner;
}

bool TParser::SkipComment() {
  bool Skipped = false;
  while (FPos >= 1 && FPos < FLength) {
    const char *Here = FData + FPos - 1;
    int Pair = -1;
    if (Here[0] == '/' && Here[1] == '*')
      Pair = 0;
    else if (Here[0] == '-' && Here[1] == '-')
      Pair = 1;
    else if (Here[0] == '\'')
      Pair = 2;
    if (Pair < 0)
      break;
    FPos += static_cast<std::int32_t>(std::strlen(CommentPairs[Pair].Opener));
    // Look for the closer at every position before the last character; past that, Pos simply
    // steps over the closer's length, even beyond the end of the text.
    if (FPos < FLength) {
      const char *From = FData + FPos - 1;
      const char *Last = FData + FLength - 2; // last index a closer may start at
      const char *Found = nullptr;
      if (Pair == 0) {
        for (const char *P = From; P <= Last; ++P) {
          P = static_cast<const char *>(std::memchr(P, '*', static_cast<size_t>(Last - P + 1)));
          if (!P)
            break;
          if (P[1] == '/') {
            Found = P;
            break;
          }
        }
      } else {
        Found = static_cast<const char *>(
            std::memchr(From, CommentPairs[Pair].Closer[0], static_cast<size_t>(Last - From + 1)));
      }
      FPos = Found ? static_cast<std::int32_t>(Found - FData) + 1 : FLength;
    }
    FPos += static_cast<std::int32_t>(std::strlen(CommentPairs[Pair].Closer));
    Skipped = true;
  }
  return Skipped;
}

void TParser::SkipBlanks() {
  for (;;) {
    if (FPos >= 1 && FPos <= FLength && IsBlank(FData[FPos - 1])) {
      ++FPos;
      continue;
    }
    if (!SkipComment())
      break;
  }
}

std::string TParser::NextToken() {
  if (FPos < 1 || FPos > FLength)
    return {};
  const std::int32_t From = FPos++;
  if (!IsDelimiter(FData[From - 1]))
    FPos = static_cast<std::int32_t>(WordEnd(FData, FPos - 1, FLength)) + 1;
  return std::string(FData + From - 1, static_cast<size_t>(FPos - From));
}

// Tokens tile the text from the expression's start, so the expression's length is simply how
// far Pos has moved; that lets the comment, skip-line and line-command states jump straight to
// the character that ends them instead of reading token by token.
void TParser::ParseExpression(TExpression &AExpression) {
  const char *const T = FData;
  const std::int64_t N = FLength;
  if (FPos < 1)
    FPos = 1; // a position set before the text reads from its start
  for (;;) {
    SkipBlanks();
    AExpression.StoredUnit = false;
    SetOwner(AExpression);
    AExpression.UnitType.clear();
    AExpression.Name.clear();
    AExpression.Start = FPos;
    AExpression.Length = 0;
    AExpression.UnitStart = 0;
    AExpression.Command = TToolCommand::None;

    int inComment = 0, depth = 0, nest = 0;
    bool lineMode = false, skipLine = false, wrapped = false, createSeen = false, inBlock = false,
         headerPending = false, wantName = false, afterEnd = false;
    bool tokenRead = false, slashEnd = false;
    // A trigger's error lines count from its body; a tool command line is passed over whole
    // or is an expression of its own, never the head of the next statement.
    bool triggerBody = false, passOver = false, commandLine = false;
    // Conditional compilation: only the first branch of $IF ... $ELSIF/$ELSE ... $END counts
    // toward the block structure, since each branch is a whole alternative of the same text.
    int ccDepth = 0, ccSkip = 0;
    std::int64_t I = static_cast<std::int64_t>(FPos) - 1; // 0-based index of Pos
    std::int64_t From = I;                                // 0-based index of Start

    while (I < N) {
      const char C = T[I];
      if (!skipLine && inComment == 0 && depth <= 0 && C == ';')
        break;
      if (lineMode && C == '\n')
        break;
      tokenRead = true;

      if (skipLine) {
        // The line is dropped up to its LF; the expression starts again after it.
        const void *Lf = std::memchr(T + I, '\n', static_cast<size_t>(N - I));
        if (!Lf) {
          I = N;
          break;
        }
        FPos = static_cast<std::int32_t>(static_cast<const char *>(Lf) - T) + 2;
        SkipBlanks();
        AExpression.Start = FPos;
        I = From = static_cast<std::int64_t>(FPos) - 1;
        skipLine = false;
        continue;
      }
      if (lineMode) {
        while (I < N && T[I] != ';' && T[I] != '\n')
          ++I;
        continue;
      }
      if (inComment != 0) {
        // The closer must end a token; every closer ends in a delimiter, which is a token of
        // its own. A "*/" may reuse the "*" of its own "/*".
        const void *Found = nullptr;
        if (inComment == 1) {
          for (std::int64_t P = I; P < N;) {
            const void *Slash = std::memchr(T + P, '/', static_cast<size_t>(N - P));
            if (!Slash)
              break;
            const std::int64_t S = static_cast<const char *>(Slash) - T;
            if (S >= 1 && T[S - 1] == '*') {
              Found = Slash;
              break;
            }
            P = S + 1;
          }
        } else {
          Found =
              std::memchr(T + I, CommentPairs[inComment - 1].Closer[0], static_cast<size_t>(N - I));
        }
        if (!Found) {
          I = N;
          break;
        }
        I = static_cast<const char *>(Found) - T + 1;
        inComment = 0;
        continue;
      }

      const std::int64_t TokenStart = I;
      const bool first = TokenStart == From;
      if (IsDelimiter(C)) {
        ++I;
        if (IsBlank(C)) {
          while (I < N && IsBlank(T[I])) // blanks change no state
            ++I;
          continue;
        }
        if (first) {
          if (C == '@') {
            lineMode = true;
            continue;
          }
          if (C == '/') {
            skipLine = true;
            continue;
          }
          if (C == '!') { // the tool's host command
            I = CommandLineEnd(T, N, I);
            passOver = true;
            break;
          }
        }
        if (!wrapped && TokenStart >= 1) {
          const char Before = T[TokenStart - 1];
          if ((C == '*' && Before == '/') || (C == '-' && Before == '-')) {
            inComment = C == '*' ? 1 : 2;
            continue;
          }
        }
        if (!wrapped && C == '\'') {
          if (const std::int64_t End = QuotedLiteralEnd(T, N, TokenStart); End >= 0) {
            I = End; // q'[...]': its own delimiters, quotes inside included
            continue;
          }
          inComment = 3;
          continue;
        }
        if (C == '/' && (TokenStart == 0 || T[TokenStart - 1] == '\n') &&
            (I >= N || IsBlank(T[I]))) {
          slashEnd = true;
          break;
        }
        if (wrapped || wantName)
          continue;
        if (C == ';' && inBlock)
          afterEnd = false;
        continue;
      }

      I = WordEnd(T, I, N);
      const size_t TokenLength = static_cast<size_t>(I - TokenStart);
      const TKeyword Word = Classify(T + TokenStart, TokenLength, T + N);
      if (first) {
        const TToolKind Tool = Word == kwNone ? ToolKind(T + TokenStart, TokenLength) : tkNone;
        if (Word == kwConnect || Tool == tkConnect) {
          lineMode = true;
          AExpression.Command = TToolCommand::Connect;
          continue;
        }
        if (Word == kwRemark || Word == kwRem || Word == kwSet) {
          skipLine = true;
          continue;
        }
        if (Tool != tkNone) {
          const std::int64_t Args = I;
          I = CommandLineEnd(T, N, I);
          switch (Tool) {
          case tkExecute:
            AExpression.Command = TToolCommand::Execute;
            break;
          case tkStart:
            AExpression.Command = TToolCommand::Start;
            break;
          case tkExit:
            AExpression.Command = TToolCommand::Exit;
            break;
          case tkWhenever:
            AExpression.Command = WheneverCommand(T, I, Args);
            break;
          default:
            break;
          }
          commandLine = AExpression.Command != TToolCommand::None;
          passOver = !commandLine;
          break;
        }
      }
      if (wrapped)
        continue;
      if (wantName) {
        const std::string_view Token(T + TokenStart, TokenLength);
        if (Word == kwBody) {
          AExpression.UnitType += " BODY";
        } else if (I < N && T[I] == '.') {
          AExpression.Owner = UpperCase(Token);
        } else {
          AExpression.Name = UpperCase(Token);
          wantName = false;
        }
        continue;
      }
      if (Word == kwNone) {
        createSeen = false; // any other word ends CREATE OR REPLACE; most words do nothing else
        continue;
      }
      if (Word == kwWrapped) {
        wrapped = true;
        continue;
      }
      if (createSeen && Word == kwEditionable)
        continue; // CREATE OR REPLACE EDITIONABLE PACKAGE ...
      if (first) {
        if (Word == kwCreate || Word == kwReplace) {
          createSeen = true;
          continue;
        }
        if (Word == kwDeclare || Word == kwBegin) {
          inBlock = true;
          ++depth;
          AExpression.Name = "Anonymous";
          AExpression.UnitType = "PL/SQL";
          if (Word == kwBegin)
            ++nest;
          continue;
        }
      }
      if ((createSeen || inBlock) && (Word == kwProcedure || Word == kwFunction)) {
        headerPending = true;
        if (AExpression.Name.empty()) {
          wantName = true;
          AExpression.UnitType = Word == kwProcedure ? "PROCEDURE" : "FUNCTION";
          AExpression.UnitStart = static_cast<std::int32_t>(TokenStart) + 1;
        }
        continue;
      }
      if ((headerPending && (Word == kwIs || Word == kwAs)) ||
          ((createSeen || inBlock) && (Word == kwPackage || Word == kwTrigger))) {
        headerPending = false;
        inBlock = true;
        ++depth;
        if (AExpression.Name.empty() && (Word == kwPackage || Word == kwTrigger)) {
          AExpression.StoredUnit = true;
          wantName = true;
          AExpression.UnitType = Word == kwPackage ? "PACKAGE" : "TRIGGER";
          AExpression.UnitStart = static_cast<std::int32_t>(TokenStart) + 1;
          triggerBody = Word == kwTrigger;
        } else if (Word != kwTrigger) {
          AExpression.StoredUnit = true;
        }
        continue;
      }
      if (createSeen && Word == kwType) {
        // An object or collection type and its body are stored units; a specification has no
        // END of its own and runs to its slash line, as in the command-line tool.
        createSeen = false;
        inBlock = true;
        ++depth;
        AExpression.StoredUnit = true;
        wantName = true;
        AExpression.UnitType = "TYPE";
        AExpression.UnitStart = static_cast<std::int32_t>(TokenStart) + 1;
        continue;
      }
      if (triggerBody && (Word == kwDeclare || Word == kwBegin)) {
        // The server counts a trigger's error lines from its PL/SQL block, not its header.
        AExpression.UnitStart = static_cast<std::int32_t>(TokenStart) + 1;
        triggerBody = false;
      }
      if (createSeen && Word != kwOr && Word != kwReplace)
        createSeen = false;
      if (inBlock) {
        if (Word == kwCcIf) {
          ++ccDepth;
        } else if (Word == kwCcElse) {
          if (ccDepth > 0 && ccSkip == 0)
            ccSkip = ccDepth;
        } else if (Word == kwCcEnd) {
          if (ccSkip == ccDepth)
            ccSkip = 0;
          if (ccDepth > 0)
            --ccDepth;
        } else if (ccSkip != 0) {
          // a later branch of conditional compilation: its words repeat the first branch's
        } else if (Word == kwBegin || Word == kwLoop || Word == kwIf || Word == kwCase) {
          if (!afterEnd)
            ++nest;
        } else if (Word == kwEnd) {
          if (--nest <= 0) {
            --depth;
            nest = 0;
          }
          afterEnd = true;
        }
      }
    }

    // A ";" where an expression should start is an empty statement: step over it rather than
    // report the end of the script, which would leave the rest of it uncompiled. A tool command
    // that means nothing here is passed over with its line the same way.
    if ((I == From && I < N && T[I] == ';') || passOver) {
      FPos = static_cast<std::int32_t>(I) + 2;
      continue;
    }
    if (commandLine) {
      std::int64_t End = I;
      while (End > From && IsBlank(T[End - 1]))
        --End;
      AExpression.Length = static_cast<std::int32_t>(End - From);
      FPos = static_cast<std::int32_t>(I) + 1;
      if (FPos < FLength)
        ++FPos;
      return;
    }

    FPos = static_cast<std::int32_t>(I) + 1;
    std::int64_t Length = I - From;
    if (slashEnd) {
      // Drop the slash and the line break before it, whether that is CR LF or a lone LF.
      Length -= 2;
      if (I - 3 >= From && T[I - 3] == '\r')
        --Length;
    } else if (inBlock) {
      ++Length; // the terminating ";" belongs to a block
    }
    if (skipLine || !tokenRead)
      Length = 0;
    // An unterminated block reaches one past the end; keep the expression inside the text.
    if (Length > 0 && From + Length > N)
      Length = N - From;
    AExpression.Length = static_cast<std::int32_t>(Length);
    if (FPos < FLength)
      ++FPos;
    return;
  }
}

// ---- TScripts and TScript --------------------------------------------------------------------

TScripts::~TScripts() {
  for (;;) {
    TScript *Last;
    {
      std::lock_guard Guard(FLock);
      if (FItems.empty())
        return;
      Last = FItems.back();
    }
    delete Last; // removes itself
  }
}

TScript *TScripts::Add() { return new TScript(this); }

int TScripts::Count() const {
  std::lock_guard Guard(FLock);
  return static_cast<int>(FItems.size());
}

TScript *TScripts::Item(int AIndex) const {
  std::lock_guard Guard(FLock);
  return FItems.at(static_cast<size_t>(AIndex));
}

void TScripts::Remove(TScript *AScript) {
  std::lock_guard Guard(FLock);
  std::erase(FItems, AScript);
}

TScript::TScript(TScripts *ACollection) : FCollection(ACollection) {
  if (FCollection) {
    std::lock_guard Guard(FCollection->FLock);
    FCollection->FItems.push_back(this);
  }
}

TScript::~TScript() {
  if (FCollection)
    FCollection->Remove(this);
}

const std::string &TScript::Text() const {
  static const std::string Empty;
  return FText ? *FText : Empty;
}

void TScript::SetText(std::string AText) {
  FParser.reset();
  auto Text = std::make_shared<const std::string>(std::move(AText));
  FParser = std::make_unique<TParser>(Text);
  FText = std::move(Text);
  // An empty text has no progress to show; its share stays 0 instead of dividing by zero.
  FStep = FText->empty() ? 0.0 : 100.0 / static_cast<double>(FText->size());
}

void TScript::EnsureEditForm() {
  if (FEditForm.load())
    return;
  if (TScriptWindows *Windows = ScriptWindows())
    FEditForm.store(Windows->CreateEditForm(FFileName));
}

void TScript::AddError(const std::string &AMessage, std::int32_t APosition) {
  TScriptWindows *Windows = ScriptWindows();
  if (Windows && Windows->ReportError(*this, AMessage, APosition))
    return;
  EnsureEditForm();
  TEditForm *Form = FEditForm.load();
  if (!Form || !Windows)
    return; // no editor windows in this program: nowhere to show it
  std::string Line = AMessage;
  if (!Line.empty() && Line.back() == '\n')
    Line.pop_back();
  // One list line: the editor turns 160 back into line feeds when it shows the message whole.
  for (char &C : Line)
    if (C == '\n')
      C = static_cast<char>(160);
  Windows->ShowEditForm(Form);
  if (Windows->ErrorListHeight(Form) == 0)
    Windows->MoveSplitter(Form, Windows->EditFormHeight(Form) / 3 * 2);
  Windows->AppendError(Form, Line, APosition);
}

// ---- Script windows --------------------------------------------------------------------------

namespace {
std::atomic<TScriptWindows *> InstalledWindows{nullptr};
}

TScriptWindows *ScriptWindows() { return InstalledWindows.load(); }
void SetScriptWindows(TScriptWindows *AWindows) { InstalledWindows.store(AWindows); }
