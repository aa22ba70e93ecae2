// The compile run: sends each expression to the database and reports what failed.
#include "script/CompileUnit.h"

#include "classes/ComponentStream.h"
#include "classes/Exceptions.h"
#include "classes/Streams.h"
#include "db/SqlFunctionCodes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <tuple>

namespace {

constexpr std::uint8_t StoredWithErrors = 0x20; // warning flag: unit stored, compiled with errors
constexpr int MaxUnitErrors = 100;
constexpr int PackInterval = 100;

bool IsBlankChar(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; }

bool StartsWithConnect(std::string_view AText) {
  static constexpr char Word[] = "CONNECT";
  if (AText.size() < 7)
    return false;
  for (int I = 0; I < 7; ++I) {
    char C = AText[I];
    if (C >= 'a' && C <= 'z')
      C = static_cast<char>(C - 32);
    if (C != Word[I])
      return false;
  }
  return true;
}

// The whole of AText as a decimal number, blanks around it allowed; false when it is not one or
// does not fit.
bool ReadNumber(std::string_view AText, std::int32_t &AValue) {
  size_t I = 0;
  while (I < AText.size() && IsBlankChar(AText[I]))
    ++I;
  bool Negative = false;
  if (I < AText.size() && (AText[I] == '-' || AText[I] == '+'))
    Negative = AText[I++] == '-';
  const size_t First = I;
  std::int64_t Value = 0;
  while (I < AText.size() && AText[I] >= '0' && AText[I] <= '9') {
    Value = Value * 10 + (AText[I] - '0');
    if (Value > std::numeric_limits<std::int32_t>::max())
      return false;
    ++I;
  }
  while (I < AText.size() && IsBlankChar(AText[I]))
    ++I;
  if (I == First || I != AText.size())
    return false;
  AValue = static_cast<std::int32_t>(Negative ? -Value : Value);
  return true;
}

// The text from AFrom up to the next ABefore, and in AEnd the index after that; false without it.
bool Between(std::string_view AText, size_t AFrom, std::string_view ABefore,
             std::string_view &AResult, size_t &AEnd) {
  const size_t End = AText.find(ABefore, AFrom);
  if (End == std::string_view::npos)
    return false;
  AResult = AText.substr(AFrom, End - AFrom);
  AEnd = End + ABefore.size();
  return true;
}

std::int32_t ClampPosition(const std::string &AText, std::int64_t APosition) {
  if (AText.empty())
    return 0;
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(APosition, 1, static_cast<std::int64_t>(AText.size())));
}

} // namespace

void LoadErrorQuery(TOracleQuery &AQuery) {
  TOracleQuery Source;
  Source.SetDatabaseName("Database");
  Source.SetSQL("SELECT line, position, text FROM all_errors WHERE owner=:owner AND "
                "name=:name AND type=:type");
  for (const char *Name : {"owner", "name", "type"})
    Source.Params().Add(Name)->SetKind(oInput);
  int Pos = 0;
  for (auto [Name, Type, Size] :
       {std::tuple{"LINE", oNumber, 40}, {"POSITION", oNumber, 40}, {"TEXT", oVarchar2, 2000}}) {
    TParam *Field = Source.Fields().Add(Name);
    Field->SetDataType(Type);
    Field->SetItemSize(Size);
    Field->SetDimension(10);
    Field->SetPos(++Pos);
  }
  TMemoryStream Stream;
  {
    TValueWriter Writer(Stream);
    TComponentWriter(Writer).WriteRootComponent(
        {"TOracleQuery", "ErrorQuery", &Source, &TOracleQuery::Properties(), {}});
    Writer.FlushBuffer();
  }
  Stream.Rewind();
  AQuery.SetLoading(true);
  TValueReader Reader(Stream);
  TComponentReader(Reader).ReadRootComponent(
      {"TOracleQuery", "ErrorQuery", &AQuery, &TOracleQuery::Properties(), {}});
  AQuery.SetName("ErrorQuery");
  AQuery.SetLoading(false);
}

bool IsIgnorableDropCode(std::uint16_t AFunctionCode) {
  return IsDropFunctionCode(AFunctionCode) && AFunctionCode != fcDropFunction;
}

std::string FormatElapsedTime(std::chrono::steady_clock::duration ADuration) {
  const long long Seconds =
      std::max<long long>(0, std::chrono::duration_cast<std::chrono::seconds>(ADuration).count());
  char Buffer[32];
  std::snprintf(Buffer, sizeof Buffer, "%02lld:%02lld:%02lld", Seconds / 3600, Seconds / 60 % 60,
                Seconds % 60);
  return Buffer;
}

TConnectParts SplitConnectLine(std::string_view ALine) {
  TConnectParts Parts;
  const size_t Slash = ALine.find('/');
  const size_t At = ALine.find('@', Slash == std::string_view::npos ? 0 : Slash + 1);
  const size_t UserEnd = std::min(Slash, At);
  Parts.User = std::string(ALine.substr(0, std::min(UserEnd, ALine.size())));
  if (Slash != std::string_view::npos)
    Parts.Password = std::string(ALine.substr(
        Slash + 1, At == std::string_view::npos ? std::string_view::npos : At - Slash - 1));
  if (At != std::string_view::npos)
    Parts.Server = std::string(ALine.substr(At + 1));
  return Parts;
}

std::int32_t TextPosition(const std::string &AText, std::int32_t AStart, std::int32_t ALine,
                          std::int32_t AColumn) {
  std::int64_t P = std::max<std::int32_t>(AStart, 1);
  const std::int64_t Size = static_cast<std::int64_t>(AText.size());
  for (std::int32_t L = ALine; L > 1 && P <= Size; ++P)
    if (AText[static_cast<size_t>(P - 1)] == '\n')
      --L;
  return ClampPosition(AText, P + AColumn - 1);
}

std::int32_t ErrorPosition(const std::string &AText, std::int32_t AStart,
                           const std::string &AMessage, std::uint16_t AParseErrorOffset,
                           std::int32_t AShift) {
  std::int64_t Position = AStart;
  // Line 1 of the statement sent may carry a wrapper the script does not have.
  const auto Place = [&](std::int32_t ALine, std::int32_t AColumn) -> std::int64_t {
    if (ALine == 1)
      return static_cast<std::int64_t>(AStart) + AColumn - 1 - AShift;
    return TextPosition(AText, AStart, ALine, AColumn);
  };
  const std::string_view Message(AMessage);
  std::string_view Part;
  size_t End = 0;
  std::int32_t Line = 0, Column = 0;
  if (size_t At = Message.find(": line "); At != std::string_view::npos) {
    if (Between(Message, At + 7, ", column ", Part, End) && ReadNumber(Part, Line) &&
        Between(Message, End, ":", Part, End) && ReadNumber(Part, Column))
      Position = Place(Line, Column);
  } else if (size_t At = Message.find("arguments: ["); At != std::string_view::npos) {
    if (Between(Message, At + 12, "] [", Part, End) && ReadNumber(Part, Line) &&
        Between(Message, End, "]", Part, End) && ReadNumber(Part, Column))
      Position = Place(Line, Column);
  }
  // The statement went to the server with the script's own characters (a CR became a blank),
  // so the offset counts the script's characters from the expression's start.
  if (AParseErrorOffset != 0)
    Position = static_cast<std::int64_t>(AStart) + AParseErrorOffset - AShift;
  // A wrapper's own characters have no place in the script: they point at its start.
  if (AShift != 0)
    Position = std::max<std::int64_t>(Position, AStart);
  return ClampPosition(AText, Position);
}

std::string ExecuteBlock(std::string_view ALine, std::int32_t &AShift) {
  size_t Call = 0;
  while (Call < ALine.size() && !IsBlankChar(ALine[Call]))
    ++Call; // the command word
  while (Call < ALine.size() && IsBlankChar(ALine[Call]))
    ++Call;
  std::string Text(ALine.substr(Call));
  // A hyphen that ends a line continues the command; the server must not see it.
  for (size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] != '\n')
      continue;
    size_t B = I;
    while (B > 0 && (Text[B - 1] == '\r' || Text[B - 1] == ' ' || Text[B - 1] == '\t'))
      --B;
    if (B > 0 && Text[B - 1] == '-')
      Text[B - 1] = ' ';
  }
  while (!Text.empty() && IsBlankChar(Text.back()))
    Text.pop_back();
  if (Text.empty() || Text.back() != ';')
    Text += ';';
  static constexpr char Begin[] = "BEGIN ";
  AShift = static_cast<std::int32_t>(sizeof Begin - 1) - static_cast<std::int32_t>(Call);
  return Begin + Text + " END;";
}

// ---- TThreadCompile --------------------------------------------------------------------------

TThreadCompile::TThreadCompile(TExpressionList *AExpressions, std::int32_t APosition,
                               TThreadRef *AParserRef, TThreadRef *AOwnerRef,
                               const TCompileEnvironment &AEnvironment)
    : FExpressions(AExpressions), FPosition(APosition), FParserRef(AParserRef),
      FStartTime(std::chrono::steady_clock::now()), FEnvironment(AEnvironment) {
  TThread::WithThread(*FParserRef, [this](TThread *AParser) {
    if (auto *Parser = dynamic_cast<TThreadParser *>(AParser))
      FSemaphore = Parser->Semaphore();
  });
  if (!FSemaphore)
    throw Exception("The compile run needs a running parse thread.");
  SetOwnerRef(AOwnerRef);
  if (AOwnerRef)
    AOwnerRef->store(this);
  SetFreeOnTerminate(true);
  Resume();
}

TThreadCompile::~TThreadCompile() = default;

void TThreadCompile::Cancel() {
  Terminate();
  std::lock_guard Guard(FExecuteLock);
  if (FExecuting && FEnvironment.Database)
    FEnvironment.Database->Break();
}

void TThreadCompile::CancelThread(TThreadRef &ARef) {
  TThread::WithThread(ARef, [](TThread *AThread) {
    if (auto *Compile = dynamic_cast<TThreadCompile *>(AThread))
      Compile->Cancel();
  });
}

void TThreadCompile::WaitResult(TWaitResult &AResult) {
  do {
    if (FParserRef->load() != nullptr)
      AResult = FSemaphore->WaitFor(100);
    else
      AResult = TWaitResult::wrAbandoned; // the parse thread has ended
  } while (AResult == TWaitResult::wrTimeout && !Terminated());
}

void TThreadCompile::Execute() {
  // However the loop ends, the dialog learns it and the parse thread stops.
  struct TFinish {
    TThreadCompile *Thread;
    ~TFinish() {
      try {
        Thread->DoSynchronize([this] {
          if (Thread->FProgressPending)
            Thread->UpdateProgress(); // the dialog ends with the final counts
          Thread->SetDone();
        });
      } catch (...) {
        // the GUI thread is gone: nobody is left to tell
      }
      TThread::TerminateThread(*Thread->FParserRef);
    }
  } Finish{this};

  FCurrent = nullptr;
  TWaitResult Wait = TWaitResult::wrSignaled;
  while (Wait == TWaitResult::wrSignaled || FExpressions->Count() - 1 > FIndex) {
    if (Terminated())
      break;
    if (Wait == TWaitResult::wrSignaled) {
      WaitResult(Wait);
      if (Wait != TWaitResult::wrSignaled)
        continue;
    }

    if (FCurrent) {
      FExpressions->Put(FIndex, nullptr);
      FCurrent = nullptr;
    }
    ++FIndex;
    FCurrent = FExpressions->Get(FIndex);
    if (FIndex >= PackInterval) {
      FExpressions->Pack();
      FIndex = FExpressions->IndexOf(FCurrent);
    }

    if (FCurrent->Length == 0) {
      // An included script is done: freeing it lets the parse thread push the next include.
      delete FCurrent->Script;
      FCurrent->Script = nullptr;
      continue;
    }

    std::string Text(ExpressionText(*FCurrent));
    if (FCurrent->Command == TToolCommand::Connect || StartsWithConnect(Text)) {
      DoSynchronize([this] { ConnectDatabase(); });
      Progress();
      continue;
    }
    // The command-line tool's commands that steer the run itself.
    switch (FCurrent->Command) {
    case TToolCommand::Exit:
      Progress();
      return;
    case TToolCommand::WheneverErrorExit:
    case TToolCommand::WheneverErrorContinue:
      FStopOnError = FCurrent->Command == TToolCommand::WheneverErrorExit;
      Progress();
      continue;
    case TToolCommand::Start: // reaches here only when includes are not followed
      continue;
    default:
      break;
    }

    if (!FEnvironment.Database->Connected()) {
      DoSynchronize([this] { ConnectDatabase(); });
      if (Terminated())
        break;
    }

    // The expression at the caret: the caret may stand anywhere from just before its first
    // character to just after its terminator.
    if (FPosition != 0) {
      if (FPosition < FCurrent->Start - 1)
        break;
      if (FPosition > FCurrent->Start + FCurrent->Length)
        continue;
    }

    std::int32_t Shift = 0;
    if (FCurrent->Command == TToolCommand::Execute)
      Text = ExecuteBlock(Text, Shift);
    bool Failed = false;
    try {
      if (!ExecuteCurrent(Text))
        break;
    } catch (const std::exception &E) {
      Failed = ReportFailure(E, Shift);
    }

    if (((FCurrent->Name == "Anonymous" && FCurrent->UnitType == "PL/SQL") ||
         FCurrent->Command == TToolCommand::Execute) &&
        FEnvironment.DrainOutput)
      DoSynchronize([this] { FEnvironment.DrainOutput(); });

    Progress();
    if (FPosition != 0)
      break; // the one expression at the caret is done
    if (Failed && FStopOnError)
      break; // WHENEVER SQLERROR EXIT
  }
}

bool TThreadCompile::ExecuteCurrent(const std::string &AText) {
  {
    std::lock_guard Guard(FExecuteLock);
    if (Terminated())
      return false; // cancelled since the loop looked: nothing more goes to the server
    FExecuting = true;
  }
  struct TDone {
    TThreadCompile *Thread;
    ~TDone() {
      std::lock_guard Guard(Thread->FExecuteLock);
      Thread->FExecuting = false;
    }
  } Done{this};

  TOracleQuery &Query = *FEnvironment.Query;
  Query.SetSQL(StripCarriageReturns(AText));
  Query.SetPrepared(true);
  if (FEnvironment.ExecuteShown)
    FEnvironment.ExecuteShown(Query);
  else
    Query.Execute();
  FEnvironment.Database->NoteStatement(Query.FunctionCode(), Query.RowsProcessed(), Query.SQL());
  if (FCurrent->StoredUnit && (Query.WarningFlags() & StoredWithErrors))
    ReadUnitErrors();
  return true;
}

void TThreadCompile::ReadUnitErrors() {
  TOracleQuery &ErrorQuery = *FEnvironment.ErrorQuery;
  // Prepared first, so a query given only its text has its parameters and fields too.
  ErrorQuery.SetPrepared(true);
  const auto Item = [](TParam *AItem, const char *AName) {
    if (!AItem)
      throw Exception(std::string("The error query has no \"") + AName + "\".");
    return AItem;
  };
  Item(ErrorQuery.ParamByName("owner"), "owner")->SetAsString(FCurrent->Owner);
  Item(ErrorQuery.ParamByName("name"), "name")->SetAsString(FCurrent->Name);
  Item(ErrorQuery.ParamByName("type"), "type")->SetAsString(FCurrent->UnitType);
  ErrorQuery.Fields().SetDimension(MaxUnitErrors);
  ErrorQuery.ExecuteFetch(MaxUnitErrors, true);
  TParam *LineField = Item(ErrorQuery.FieldByName("line"), "line");
  TParam *PositionField = Item(ErrorQuery.FieldByName("position"), "position");
  TParam *TextField = Item(ErrorQuery.FieldByName("text"), "text");
  const std::string &ScriptText = FCurrent->Script->Text();
  const std::int32_t Rows = ErrorQuery.RowsProcessed();
  for (std::int32_t Row = 0; Row < Rows; ++Row) {
    LineField->SetIndex(Row);
    PositionField->SetIndex(Row);
    TextField->SetIndex(Row);
    // Line 1 is the unit keyword's line (a trigger's body's), wherever the expression began;
    // an error without a line (unit analysis terminated) has no place in the text.
    const std::int32_t Line = LineField->AsInteger();
    FErrorPos =
        Line <= 0
            ? 0
            : TextPosition(ScriptText, FCurrent->UnitStart ? FCurrent->UnitStart : FCurrent->Start,
                           Line, std::max(1, PositionField->AsInteger()));
    FErrorText = TextField->AsString();
    DoSynchronize([this] { AddError(); });
  }
}

bool TThreadCompile::ReportFailure(const std::exception &AError, std::int32_t AShift) {
  TOracleQuery &Query = *FEnvironment.Query;
  if (FEnvironment.IgnoreDropErrors && IsIgnorableDropCode(Query.FunctionCode())) {
    bool Ignore = false;
    DoSynchronize([&] { Ignore = FEnvironment.IgnoreDropErrors(); });
    if (Ignore)
      return false;
  }
  FErrorText = AError.what();
  FErrorPos = ErrorPosition(FCurrent->Script->Text(), FCurrent->Start, FErrorText,
                            Query.ParseErrorOffset(), AShift);
  DoSynchronize([this] { AddError(); });
  return true;
}

// ---- On the GUI thread -----------------------------------------------------------------------

void TThreadCompile::Progress() {
  ++FDoneCount;
  const TScript &Script = *FCurrent->Script;
  FShownFileName = Script.FileName();
  const double Share = Script.Step() * (static_cast<double>(FCurrent->Start) + FCurrent->Length);
  FShownProgress = static_cast<int>(std::clamp(std::lround(Share), 0L, 100L));
  // Each update is a hand-over to the GUI thread; a long script of short statements would
  // spend its time there, so the dialog follows at most about 30 times a second.
  const auto Now = std::chrono::steady_clock::now();
  FProgressPending = true;
  if (FDoneCount == 1 || Now - FLastUpdate >= std::chrono::milliseconds(33)) {
    FLastUpdate = Now;
    DoSynchronize([this] { UpdateProgress(); });
  }
}

void TThreadCompile::UpdateProgress() {
  FProgressPending = false;
  TCompileDisplay *Display = FEnvironment.Display;
  if (!Display)
    return;
  Display->SetElapsedTime(FormatElapsedTime(std::chrono::steady_clock::now() - FStartTime));
  if (Display->ShownFileName() != FShownFileName)
    Display->SetCurrentFileName(FShownFileName);
  Display->SetProgress(FShownProgress);
  Display->SetExpCount(std::to_string(FDoneCount) + " of " +
                       std::to_string(FExpressions->ExpressionCount.load()));
  if (FErrorsFound != 0)
    Display->SetErrorCount(std::to_string(FErrorsFound));
  Display->Repaint();
}

void TThreadCompile::AddError() {
  ++FErrorsFound;
  try {
    FCurrent->Script->AddError(FErrorText, FErrorPos);
  } catch (const EAbort &) {
    Terminate();
  } catch (const std::exception &E) {
    // The error has nowhere to go (the window for an included script could not be opened):
    // say why once and end the run, rather than going on with errors nobody sees.
    Terminate();
    if (FEnvironment.ShowError)
      FEnvironment.ShowError(E.what());
  }
}

void TThreadCompile::SetDone() {
  if (FEnvironment.Display)
    FEnvironment.Display->SetDone();
}

void TThreadCompile::ConnectDatabase() {
  TOracleDatabase &Database = *FEnvironment.Database;
  const auto Status = [this](const std::string &AText) {
    if (FEnvironment.ShowStatus)
      FEnvironment.ShowStatus(AText);
  };

  std::string Text(ExpressionText(*FCurrent));
  while (!Text.empty() && static_cast<unsigned char>(Text.back()) < 33)
    Text.pop_back();
  const bool ConnectLine = FCurrent->Command == TToolCommand::Connect || StartsWithConnect(Text);

  // A "CONNECT" line carries its own user, password and server: no login dialog.
  struct TLoginHandler {
    TOracleDatabase &Database;
    TLoginEvent Saved;
    bool Suspended = false;
    void Suspend() {
      Saved = Database.OnLogin;
      Database.OnLogin.Clear();
      Suspended = true;
    }
    void Restore() {
      if (Suspended)
        Database.OnLogin = Saved;
      Suspended = false;
    }
    ~TLoginHandler() { Restore(); }
  } Handler{Database, {}};

  if (ConnectLine) {
    size_t Skip = 0; // the command word, CONNECT or CONN
    while (Skip < Text.size() && !IsBlankChar(Text[Skip]))
      ++Skip;
    while (Skip < Text.size() && IsBlankChar(Text[Skip]))
      ++Skip;
    const TConnectParts Parts = SplitConnectLine(std::string_view(Text).substr(Skip));
    Handler.Suspend();
    if (Database.Connected() && Database.User() == Parts.User && Database.Server() == Parts.Server)
      return; // already there: no new session, so the session's state is kept
    Database.SetUser(Parts.User);
    Database.SetPassword(Parts.Password);
    Database.SetServer(Parts.Server);
    Status("Connection in progress ...");
  }

  if (Database.Connected()) {
    try {
      Database.SetConnected(false);
    } catch (...) {
      try {
        Database.Logoff();
      } catch (...) {
        // the old session is gone either way
      }
    }
  }

  try {
    Database.SetConnected(true);
    if (ConnectLine) {
      Handler.Restore();
      Status("Connected to " + Database.Server() + " as " + Database.User() + ".");
    }
    if (FEnvironment.Connected)
      FEnvironment.Connected();
  } catch (const EAbort &) {
    Terminate(); // the login dialog was cancelled: the run ends quietly
  } catch (const std::exception &) {
    if (ConnectLine) {
      FErrorText = SConnectFailed;
      FErrorPos =
          ClampPosition(FCurrent->Script->Text(), static_cast<std::int64_t>(FCurrent->Start) + 8);
      AddError();
      FErrorText = SCompileProjectFailed;
      FErrorPos = 0;
      AddError();
      Handler.Restore();
    } else if (FEnvironment.ShowError) {
      FEnvironment.ShowError("Connect failed.");
    }
    Status("Disconnected.");
    Terminate();
  }
}
