// The script model and parser: expressions, the expression list, scripts, and the parse thread
// that reads a script and the script files it includes.
#pragma once

#include "classes/Threads.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// A q-quoted literal (q'[...]', nq'{...}', any delimiter; brackets close with their partner)
// whose quote stands at AQuote of the AEnd bytes at T: the index after its closing quote, AEnd
// when it is not closed, or -1 when the quote opens an ordinary string.
std::int64_t QuotedLiteralEnd(const char *T, std::int64_t AEnd, std::int64_t AQuote);

class TEditForm;
class TScript;
class TScripts;

// Numbered script messages that go into a script's error list.
inline constexpr const char *SCompileProjectFailed = "TSY-00002: could not compile entrie project";
inline constexpr const char *SOpenScriptFailed = "TSY-00003: could not open script file";
inline constexpr const char *SReadScriptFailed = "TSY-00004: script file read error";
inline constexpr const char *SScriptsNestedTooDeep = "TSY-00005: script files nested too deep";

// A command line of Oracle's command-line tool that means something to a compile run; the
// tool's other commands (PROMPT, SPOOL, COLUMN, ...) are passed over by the parser.
enum class TToolCommand : unsigned char {
  None,
  Connect,               // CONNECT or CONN: user/password@server
  Execute,               // EXEC[UTE] call: runs as the block BEGIN call; END;
  Start,                 // STA[RT] file: includes the file like "@"
  WheneverErrorExit,     // WHENEVER SQLERROR EXIT: the next failed statement ends the run
  WheneverErrorContinue, // WHENEVER SQLERROR CONTINUE: failures no longer end it
  Exit                   // EXIT or QUIT: the run ends here
};

// One piece of a script sent to the database in one call, or one line command. It holds only
// its place in the script's text, never a copy of it.
struct TExpression {
  // Defines a procedure, function, package or package body whose errors the server lists.
  bool StoredUnit = false;
  std::string Owner;
  // "PROCEDURE", "FUNCTION", "PACKAGE", "PACKAGE BODY", "PL/SQL" or empty.
  std::string UnitType;
  // Upper case, "Anonymous" for an anonymous block, or empty.
  std::string Name;
  TScript *Script = nullptr; // not owned
  std::int32_t Start = 0;    // 1-based index of the first character in Script's text
  std::int32_t Length = 0;   // 0: the script has no further expression
  // Where the server's line 1 of a stored unit's errors starts: the unit keyword (PROCEDURE,
  // PACKAGE, ...), or a trigger's body (DECLARE or BEGIN); 0 when the expression has none.
  std::int32_t UnitStart = 0;
  TToolCommand Command = TToolCommand::None;
};

// The expression's characters, clipped to its script's text.
std::string_view ExpressionText(const TExpression &AExpression);

// The hand-over list between the parse thread and its consumer. It owns the records it holds;
// every access is serialised, since the two threads use it at the same time.
class TExpressionList {
public:
  TExpressionList() = default;
  TExpressionList(const TExpressionList &) = delete;
  TExpressionList &operator=(const TExpressionList &) = delete;
  ~TExpressionList();

  // Takes ownership; returns the new entry's index.
  int Add(TExpression *AExpression);
  // Null for an entry that was put to null; raises std::out_of_range outside the list.
  TExpression *Get(int AIndex) const;
  // Replaces an entry, releasing the record it held (put null to release an entry in place).
  void Put(int AIndex, TExpression *AExpression);
  // Removes the null entries.
  void Pack();
  int IndexOf(const TExpression *AExpression) const;
  int Count() const;

  // Non-empty expressions added so far; written by the parse thread, read for the progress.
  std::atomic<std::int32_t> ExpressionCount{0};

private:
  mutable std::mutex FLock;
  std::vector<TExpression *> FItems;
};

// Cuts a script text into expressions, one per ParseExpression call, from Pos on.
class TParser {
public:
  explicit TParser(std::string AText);
  // Shares the text with its script, so a script is held in memory once.
  explicit TParser(std::shared_ptr<const std::string> AText);

  const std::string &Text() const { return *FText; }
  // 1-based index of the next unread character; may pass the end of the text.
  std::int32_t Pos() const { return FPos; }
  void SetPos(std::int32_t AValue) { FPos = AValue; }

  // Passes over comments and string literals starting at Pos; true if it passed any.
  bool SkipComment();
  // Passes over blanks, comments and string literals.
  void SkipBlanks();
  // The token at Pos (a single delimiter or a run of word characters); empty past the end.
  std::string NextToken();
  // Fills every field but Script with the next expression and leaves Pos after it.
  void ParseExpression(TExpression &AExpression);

private:
  // The expression's owner: the connected user, upper case. The user is asked for every
  // expression (it may change during a run) and converted only when it changed.
  void SetOwner(TExpression &AExpression);

  std::shared_ptr<const std::string> FText;
  const char *FData;
  std::int32_t FLength;
  std::int32_t FPos = 1;
  std::string FUser, FOwner; // the user as last read, and upper case
};

// The scripts of one parse run: item 0 is the main script, item i+1 is included by item i.
// Owns its items; a script removes itself when it is destroyed. Serialised, since the parse
// thread appends while the consumer destroys finished included scripts.
class TScripts {
public:
  TScripts() = default;
  TScripts(const TScripts &) = delete;
  TScripts &operator=(const TScripts &) = delete;
  ~TScripts();

  TScript *Add();
  int Count() const;
  // Raises std::out_of_range outside the list.
  TScript *Item(int AIndex) const;

private:
  friend class TScript;
  void Remove(TScript *AScript);

  mutable std::mutex FLock;
  std::vector<TScript *> FItems;
};

// One script: its text, file name, the editor window showing it, and the parser reading it.
class TScript {
public:
  // Registers with ACollection when one is given (TScripts::Add does this).
  explicit TScript(TScripts *ACollection = nullptr);
  TScript(const TScript &) = delete;
  TScript &operator=(const TScript &) = delete;
  ~TScript();

  const std::string &Text() const;
  const std::string &FileName() const { return FFileName; }
  void SetFileName(std::string AValue) { FFileName = std::move(AValue); }
  TEditForm *EditForm() const { return FEditForm.load(); }
  void SetEditForm(TEditForm *AValue) { FEditForm.store(AValue); }
  TParser *Parser() const { return FParser.get(); }
  // Progress percent per character of the text.
  double Step() const { return FStep; }

  // Replaces the text and starts a new parser on it.
  void SetText(std::string AText);
  // Opens an editor window on FileName when the script has none yet.
  void EnsureEditForm();
  // GUI thread only: one line in the error list of the script's window, at APosition.
  void AddError(const std::string &AMessage, std::int32_t APosition);

private:
  TScripts *FCollection;
  std::shared_ptr<const std::string> FText;
  std::string FFileName;
  // Set by the parse thread or, when an error opens a window, the GUI thread; read by either.
  std::atomic<TEditForm *> FEditForm{nullptr};
  std::unique_ptr<TParser> FParser;
  double FStep = 0.001;
};

// The text of a script file as an editor window shows it: cut into lines at every CR LF, lone
// CR or lone LF, ended at a NUL byte, and every line followed by CR LF.
std::string EditorLineBreaks(std::string_view AText);

enum class TReadResult { Ok, OpenFailed, ReadFailed };
// Reads a whole script file, bytes unchanged, as every file a user names is read (never a FIFO
// or a device). A file too large for script positions is a read error.
TReadResult ReadScriptFile(const std::string &AName, std::string &AContent);

// The file named by an include line ("@name" or "@@name"): ".sql" added when the name has no
// extension; a name without folder is taken from the main script's folder ("@") or the
// including script's folder ("@@").
std::string IncludeFileName(std::string_view ALine, const std::string &AMainFileName,
                            const std::string &AIncludingFileName);

// The producer of a parse run: walks the script stack, hands each expression to the consumer
// through Expressions and one semaphore release, and follows include lines.
class TThreadParser : public TThread {
public:
  // Deepest include nesting followed; a deeper include line ends the run with an error.
  static constexpr int MaxIncludeDepth = 64;

  // Created suspended and freeing itself when it ends; start it with Resume. The main script
  // must be item 0 of AScripts with its text set. Sets *AOwnerRef to itself, and to null when
  // it ends.
  TThreadParser(TScripts *AScripts, bool ASkipIncludes, TExpressionList *AExpressions,
                TThreadRef *AOwnerRef);
  ~TThreadParser() override;

  // Shared, so a consumer may keep waiting on it after this thread has freed itself.
  const std::shared_ptr<TSemaphore> &Semaphore() const { return FSemaphore; }
  bool SkipIncludes() const { return FSkipIncludes; }

protected:
  void Execute() override;

private:
  // GUI thread, through Synchronize: Message at Position into the current script's errors.
  void ReportError();
  void Fail(const char *AMessage);
  // Opens the script an include line names as a new script on the stack; false after an error
  // has been reported.
  bool OpenInclude(int AIndex);

  TScripts *FScripts;
  bool FSkipIncludes;
  TExpressionList *FExpressions;
  std::unique_ptr<TExpression> FCurrent;
  std::string FMessage;
  std::int32_t FPosition = 0;
  std::shared_ptr<TSemaphore> FSemaphore;
};
