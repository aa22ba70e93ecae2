// The parse thread: feeds a consumer with the expressions of a script and its include files.
#include "script/ParserUnit.h"

#include "classes/Streams.h"
#include "script/ScriptWindows.h"

#include <limits>
#include <memory>
#include <strings.h>

namespace {

#ifdef _WIN32
bool IsPathDelimiter(char C) { return C == '\\' || C == '/' || C == ':'; }
#else
bool IsPathDelimiter(char C) { return C == '/'; }
#endif

// Everything up to and including the last path separator (or drive colon); empty if none.
std::string ExtractFilePath(const std::string &AName) {
  for (size_t I = AName.size(); I > 0; --I)
    if (IsPathDelimiter(AName[I - 1]))
      return AName.substr(0, I);
  return {};
}

// From the last full stop after the last separator on; empty when the name has none.
std::string ExtractFileExt(const std::string &AName) {
  for (size_t I = AName.size(); I > 0; --I) {
    if (IsPathDelimiter(AName[I - 1]))
      break;
    if (AName[I - 1] == '.')
      return AName.substr(I - 1);
  }
  return {};
}

bool SameFileName(const std::string &A, const std::string &B) {
  return A.size() == B.size() && strcasecmp(A.c_str(), B.c_str()) == 0;
}

} // namespace

TReadResult ReadScriptFile(const std::string &AName, std::string &AContent) {
  std::unique_ptr<TFileStream> File;
  try {
    File = std::make_unique<TFileStream>(AName, TFileMode::fmOpenRead);
  } catch (const EStreamError &) {
    return TReadResult::OpenFailed;
  }
  constexpr size_t Limit = static_cast<size_t>(std::numeric_limits<std::int32_t>::max() / 2);
  try {
    char Buffer[65536];
    while (const size_t Got = File->Read(Buffer, sizeof Buffer)) {
      AContent.append(Buffer, Got);
      if (AContent.size() > Limit)
        return TReadResult::ReadFailed;
    }
  } catch (const EStreamError &) {
    return TReadResult::ReadFailed;
  }
  return TReadResult::Ok;
}

std::string EditorLineBreaks(std::string_view AText) {
  std::string Result;
  Result.reserve(AText.size() + AText.size() / 32);
  size_t I = 0;
  const size_t N = AText.size();
  while (I < N && AText[I] != '\0') {
    const size_t Start = I;
    while (I < N && AText[I] != '\0' && AText[I] != '\r' && AText[I] != '\n')
      ++I;
    Result.append(AText.substr(Start, I - Start));
    Result += "\r\n";
    if (I < N && AText[I] == '\r')
      ++I;
    if (I < N && AText[I] == '\n')
      ++I;
  }
  return Result;
}

std::string IncludeFileName(std::string_view ALine, const std::string &AMainFileName,
                            const std::string &AIncludingFileName) {
  const bool Nested = ALine.size() >= 2 && ALine[1] == '@';
  const size_t Skip = Nested ? 2 : 1;
  std::string Name(ALine.size() > Skip ? ALine.substr(Skip) : std::string_view());
  while (!Name.empty() && static_cast<unsigned char>(Name.back()) < 33)
    Name.pop_back();
  if (ExtractFileExt(Name).empty())
    Name += ".sql";
  if (ExtractFilePath(Name).empty())
    Name = ExtractFilePath(Nested ? AIncludingFileName : AMainFileName) + Name;
  return Name;
}

// ---- TThreadParser ---------------------------------------------------------------------------

TThreadParser::TThreadParser(TScripts *AScripts, bool ASkipIncludes, TExpressionList *AExpressions,
                             TThreadRef *AOwnerRef)
    : FScripts(AScripts), FSkipIncludes(ASkipIncludes), FExpressions(AExpressions),
      FSemaphore(std::make_shared<TSemaphore>(0, 2000000000)) {
  SetOwnerRef(AOwnerRef);
  if (AOwnerRef)
    AOwnerRef->store(this);
  SetFreeOnTerminate(true);
}

TThreadParser::~TThreadParser() = default;

void TThreadParser::ReportError() {
  DoSynchronize([this] { FCurrent->Script->AddError(FMessage, FPosition); });
}

void TThreadParser::Fail(const char *AMessage) {
  FMessage = AMessage;
  FPosition = FCurrent->Start + 1;
  ReportError();
  FMessage = SCompileProjectFailed;
  FPosition = 0;
  ReportError();
}

bool TThreadParser::OpenInclude(int AIndex) {
  if (AIndex > MaxIncludeDepth) {
    // A script that includes itself would otherwise nest until memory runs out.
    Fail(SScriptsNestedTooDeep);
    return false;
  }
  std::string Line(ExpressionText(*FCurrent));
  if (FCurrent->Command == TToolCommand::Start) {
    // "START file [arguments]" runs the file as "@file" does; the arguments are not used.
    size_t From = 0;
    while (From < Line.size() && static_cast<unsigned char>(Line[From]) > 32)
      ++From;
    while (From < Line.size() && static_cast<unsigned char>(Line[From]) <= 32)
      ++From;
    size_t To = From;
    while (To < Line.size() && static_cast<unsigned char>(Line[To]) > 32)
      ++To;
    Line = "@" + Line.substr(From, To - From);
  }
  const std::string Name =
      IncludeFileName(Line, FScripts->Item(0)->FileName(), FCurrent->Script->FileName());
  TScript *Included = FScripts->Add();
  Included->SetFileName(Name);

  // A file open in an editor window is taken as the window shows it, unsaved changes included.
  TEditForm *Form = nullptr;
  std::string Text;
  DoSynchronize([&] {
    TScriptWindows *Windows = ScriptWindows();
    if (!Windows)
      return;
    for (TEditForm *Candidate : Windows->EditForms())
      if (SameFileName(Windows->EditFormFileName(Candidate), Name)) {
        Form = Candidate;
        Text = Windows->EditFormText(Candidate);
        return;
      }
  });
  if (Form) {
    Included->SetEditForm(Form);
  } else {
    std::string Content;
    switch (ReadScriptFile(Name, Content)) {
    case TReadResult::OpenFailed:
      Fail(SOpenScriptFailed);
      return false;
    case TReadResult::ReadFailed:
      Fail(SReadScriptFailed);
      return false;
    case TReadResult::Ok:
      break;
    }
    // Error positions must be those of the editor window that opens this file later.
    Text = EditorLineBreaks(Content);
  }
  Included->SetText(std::move(Text));
  return true;
}

void TThreadParser::Execute() {
  // Closed on every way out, so a waiting consumer learns that no more expressions come.
  struct TCloseSemaphore {
    TSemaphore &Semaphore;
    ~TCloseSemaphore() { Semaphore.Close(); }
  } Closer{*FSemaphore};

  int J = 0;
  while (!Terminated()) {
    FCurrent = std::make_unique<TExpression>();
    TScript *Script = FScripts->Item(J);
    FCurrent->Script = Script;
    if (TParser *Parser = Script->Parser())
      Parser->ParseExpression(*FCurrent);
    else
      FCurrent->Start = 1; // a script whose text was never set is empty

    const std::string_view Text = ExpressionText(*FCurrent);
    if (FCurrent->Length != 0 &&
        ((!Text.empty() && Text.front() == '@') || FCurrent->Command == TToolCommand::Start)) {
      if (FSkipIncludes)
        continue;
      // A finished included script must be released by the consumer before the next one is
      // pushed, so the stack stays in order.
      while (J < FScripts->Count() - 1) {
        if (Terminated())
          return;
        SleepMs(100);
      }
      if (Terminated())
        return;
      if (!OpenInclude(J + 1))
        return;
      ++J;
      continue;
    }

    if (FCurrent->Length == 0) {
      if (--J < 0)
        return; // the main script is done; it gets no end marker
    } else {
      FExpressions->ExpressionCount += 1;
    }
    FExpressions->Add(FCurrent.release());
    if (!FSemaphore->Release(1))
      return;
  }
}
