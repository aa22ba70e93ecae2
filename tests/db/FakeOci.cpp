// A fake OCI 7 client library for the database layer's tests: every call is recorded in a log the
// test reads back, and return codes can be scripted. Built in several variants (see CMakeLists).
#include "db/OciCalls.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex Mutex;
std::string Log;
std::map<std::string, int> FailNext; // call name -> return code for its next call

void Record(const std::string &ALine) {
  std::lock_guard Guard(Mutex);
  Log += ALine;
  Log += '\n';
}

void SetReturnCode(Cda_Def *AArea, int ACode) {
  if (!AArea)
    return;
  ub2 Code = static_cast<ub2>(ACode);
  std::memcpy(AArea->area + OCI_CDA_RC, &Code, sizeof Code);
}

// The scripted return code of this call, 0 when none was asked for.
int Outcome(const char *AName) {
  std::lock_guard Guard(Mutex);
  auto It = FailNext.find(AName);
  if (It == FailNext.end())
    return 0;
  int Code = It->second;
  FailNext.erase(It);
  return Code;
}

sword Finish(const char *AName, Cda_Def *AArea) {
  int Code = Outcome(AName);
  SetReturnCode(AArea, Code);
  return Code ? -1 : 0;
}

std::string Text(const text *AText, sword ALength) {
  if (!AText)
    return "(null)";
  return ALength < 0 ? std::string(reinterpret_cast<const char *>(AText))
                     : std::string(reinterpret_cast<const char *>(AText), ALength);
}

} // namespace

// ---- Test controls -----------------------------------------------------------------------------

FAKE_EXPORT const char *fakeoci_name() { return FAKEOCI_NAME; }
FAKE_EXPORT const char *fakeoci_log() {
  std::lock_guard Guard(Mutex);
  static std::string Copy;
  Copy = Log;
  return Copy.c_str();
}
FAKE_EXPORT void fakeoci_clear() {
  std::lock_guard Guard(Mutex);
  Log.clear();
  FailNext.clear();
}
FAKE_EXPORT void fakeoci_fail_next(const char *AName, int ACode) {
  std::lock_guard Guard(Mutex);
  FailNext[AName] = ACode;
}

// The scripted cursors (section at the end of this file): what the calls below hand over.
namespace cursors {
void Parsed(Cda_Def *ACursor, const text *AText, sb4 ALength, bool AFailed);
void Bound(Cda_Def *ACursor, const std::string &AName, ub1 *AValue, sword ALength, sword AType,
           sb2 *AIndicators, ub2 *ALengths, ub4 AMaxElements, ub4 *ACurrentElements);
void Defined(Cda_Def *ACursor, sword APosition, ub1 *ABuffer, sword ALength, sword AType,
             sb2 *AIndicators, ub2 *ALengths, ub2 *ACodes);
// Fills the description of a scripted select-list column; false past the last one.
bool Describe(Cda_Def *ACursor, sword APosition, sb2 *AType, sb1 *AName, sb4 *ANameLength,
              sb4 *ADisplaySize, sb2 *ANullOk);
// The description a procedure name was scripted with; false for an unknown name.
struct TArgument {
  int Overload, Position, Level;
  std::string Name;
  int Type, Default, Mode, Size;
};
bool Procedure(const std::string &AName, std::vector<TArgument> &AEntries);
void Executed(Cda_Def *ACursor, sword AIterations, sword ARowOffset);
void Fetch(Cda_Def *ACursor, ub4 ARows, bool AFirst);
void Closed(Cda_Def *ACursor);
} // namespace cursors

// ---- The calls ---------------------------------------------------------------------------------

FAKE_EXPORT sword olog(Lda_Def *lda, ub1 *, text *uid, sword uidl, text *pswd, sword pswdl,
                       text *conn, sword connl, ub4 mode) {
  Record("olog " + Text(uid, uidl) + " pswd=" + Text(pswd, pswdl) + " conn=" + Text(conn, connl) +
         " mode=" + std::to_string(mode));
  return Finish("olog", lda);
}
FAKE_EXPORT sword ologof(Lda_Def *lda) {
  Record("ologof");
  return Finish("ologof", lda);
}
FAKE_EXPORT sword oerhms(Lda_Def *, sb2 rcode, text *buf, sword bufsiz) {
  Record("oerhms " + std::to_string(rcode));
  std::snprintf(reinterpret_cast<char *>(buf), bufsiz, "ORA-%05d: fake message %d", rcode, rcode);
  return 0;
}
FAKE_EXPORT sword ocom(Lda_Def *lda) {
  Record("ocom");
  return Finish("ocom", lda);
}
FAKE_EXPORT sword orol(Lda_Def *lda) {
  Record("orol");
  return Finish("orol", lda);
}
FAKE_EXPORT sword oopen(Cda_Def *cursor, Lda_Def *, text *, sword, sword, text *, sword) {
  Record("oopen");
  return Finish("oopen", cursor);
}
FAKE_EXPORT sword oclose(Cda_Def *cursor) {
  Record("oclose");
  cursors::Closed(cursor);
  return Finish("oclose", cursor);
}
FAKE_EXPORT sword oparse(Cda_Def *cursor, text *sqlstm, sb4 sqllen, sword defflg, ub4 lngflg) {
  Record("oparse " + Text(sqlstm, sqllen) + " defer=" + std::to_string(defflg) +
         " lang=" + std::to_string(lngflg));
  sword Result = Finish("oparse", cursor);
  cursors::Parsed(cursor, sqlstm, sqllen, Result != 0);
  return Result;
}
FAKE_EXPORT sword obndra(Cda_Def *cursor, text *sqlvar, sword sqlvl, ub1 *progv, sword progvl,
                         sword ftype, sword, sb2 *indp, ub2 *alen, ub2 *, ub4 maxsiz, ub4 *cursiz,
                         text *, sword, sword) {
  Record("obndra " + Text(sqlvar, sqlvl) + " size=" + std::to_string(progvl) +
         " type=" + std::to_string(ftype) + " max=" + std::to_string(maxsiz));
  cursors::Bound(cursor, Text(sqlvar, sqlvl), progv, progvl, ftype, indp, alen, maxsiz, cursiz);
  return Finish("obndra", cursor);
}
FAKE_EXPORT sword odefin(Cda_Def *cursor, sword pos, ub1 *buf, sword bufl, sword ftype, sword,
                         sb2 *indp, text *, sword, sword, ub2 *rlen, ub2 *rcode) {
  Record("odefin " + std::to_string(pos) + " size=" + std::to_string(bufl) +
         " type=" + std::to_string(ftype));
  cursors::Defined(cursor, pos, buf, bufl, ftype, indp, rlen, rcode);
  return Finish("odefin", cursor);
}
FAKE_EXPORT sword odescr(Cda_Def *cursor, sword pos, sb4 *, sb2 *dbtype, sb1 *cbuf, sb4 *cbufl,
                         sb4 *dsize, sb2 *, sb2 *, sb2 *nullok) {
  Record("odescr " + std::to_string(pos));
  if (cursors::Describe(cursor, pos, dbtype, cbuf, cbufl, dsize, nullok))
    return Finish("odescr", cursor);
  // No select list: the first position already lies past its end.
  SetReturnCode(cursor, OCI_VAR_NOT_IN_SELECT_LIST);
  return -1;
}
#ifndef FAKEOCI_NO_ODESSP
FAKE_EXPORT sword odessp(Lda_Def *lda, text *objnam, size_t, ub1 *rsv1, size_t, ub1 *rsv2, size_t,
                         ub2 *ovrld, ub2 *pos, ub2 *level, text (*argnm)[30], ub2 *arnlen,
                         ub2 *dtype, ub1 *defsup, ub1 *mode, ub4 *dtsiz, sb2 *prec, sb2 *scale,
                         ub1 *radix, ub4 *spare, ub4 *arrsiz) {
  const ub4 Room = arrsiz ? *arrsiz : 0;
  Record("odessp " + Text(objnam, -1) + " arrsiz=" + std::to_string(Room) +
         (rsv1 || rsv2 ? " reserved!" : ""));
  if (arrsiz)
    *arrsiz = 0;
  if (int Code = Outcome("odessp")) {
    SetReturnCode(lda, Code);
    return -1;
  }
  std::vector<cursors::TArgument> Entries;
  if (!cursors::Procedure(Text(objnam, -1), Entries)) {
    SetReturnCode(lda, 4043); // object does not exist
    return -1;
  }
  if (Entries.size() > Room) {
    SetReturnCode(lda, 6513); // the arrays cannot take the description
    return -1;
  }
  for (size_t i = 0; i < Entries.size(); ++i) {
    const cursors::TArgument &E = Entries[i];
    ovrld[i] = static_cast<ub2>(E.Overload);
    pos[i] = static_cast<ub2>(E.Position);
    level[i] = static_cast<ub2>(E.Level);
    std::memset(argnm[i], 'X', 30); // no terminating NUL: only the length tells
    std::memcpy(argnm[i], E.Name.data(), std::min<size_t>(E.Name.size(), 30));
    arnlen[i] = static_cast<ub2>(std::min<size_t>(E.Name.size(), 30));
    dtype[i] = static_cast<ub2>(E.Type);
    defsup[i] = static_cast<ub1>(E.Default);
    mode[i] = static_cast<ub1>(E.Mode);
    dtsiz[i] = static_cast<ub4>(E.Size);
    prec[i] = scale[i] = 0;
    radix[i] = 10;
    spare[i] = 0;
  }
  *arrsiz = static_cast<ub4>(Entries.size());
  return Finish("odessp", lda);
}
#endif
FAKE_EXPORT sword oexfet(Cda_Def *cursor, ub4 nrows, sword cancel, sword exact) {
  Record("oexfet " + std::to_string(nrows) + " cancel=" + std::to_string(cancel) +
         " exact=" + std::to_string(exact));
  if (int Code = Outcome("oexfet")) {
    SetReturnCode(cursor, Code);
    return -1;
  }
  cursors::Executed(cursor, 1, 0);
  cursors::Fetch(cursor, nrows, true);
  return 0;
}
FAKE_EXPORT sword ofen(Cda_Def *cursor, sword nrows) {
  Record("ofen " + std::to_string(nrows));
  if (int Code = Outcome("ofen")) {
    SetReturnCode(cursor, Code);
    return -1;
  }
  cursors::Fetch(cursor, static_cast<ub4>(nrows), false);
  return 0;
}
FAKE_EXPORT sword oexn(Cda_Def *cursor, sword iters, sword rowoff) {
  Record("oexn " + std::to_string(iters) + " " + std::to_string(rowoff));
  sword Result = Finish("oexn", cursor);
  if (Result == 0)
    cursors::Executed(cursor, iters, rowoff);
  return Result;
}
FAKE_EXPORT sword ocan(Cda_Def *cursor) {
  Record("ocan");
  return Finish("ocan", cursor);
}
FAKE_EXPORT sword obreak(Lda_Def *) {
  Record("obreak");
  return 0;
}
FAKE_EXPORT sword oopt(Cda_Def *, sword, sword) {
  Record("oopt");
  return 0;
}
#ifndef FAKEOCI_NO_OPINIT
FAKE_EXPORT sword opinit(ub4 mode) {
  Record("opinit " + std::to_string(mode));
  return 0;
}
#endif

// ---- Scripted cursors ---------------------------------------------------------------------------
// A select list and a number of rows that every SELECT returns, values written into output
// binds at execute, and a record of the values each execute received. Rows are generated: a
// VARCHAR2 column gives its name and the row number ("ENAME3"), a NUMBER column the row number,
// a DATE column "01-JAN-99"; in a nullable column every fourth row is NULL.

namespace cursors {
namespace {

struct TColumn {
  std::string Name;
  int Type, DisplaySize;
  bool NullOk;
  std::vector<std::string> Values; // scripted cells by row ("NULL" for a null); else generated
};
// A select list and its number of rows.
struct TScript {
  std::vector<TColumn> Columns;
  long Rows = 0;
};
struct TDefine {
  ub1 *Buffer;
  sword Length, Type;
  sb2 *Indicators;
  ub2 *Lengths, *Codes;
};
struct TBind {
  std::string Name;
  ub1 *Value;
  sword Length, Type;
  sb2 *Indicators;
  ub2 *Lengths;
  ub4 MaxElements;
  ub4 *CurrentElements;
};
struct TCursor {
  std::map<int, TDefine> Defines;
  std::vector<TBind> Binds;
  std::string Statement;
  long Position = 0; // rows fetched so far
};

std::mutex CursorMutex;
TScript Default;                                      // what every SELECT returns
std::vector<std::pair<std::string, TScript>> Matched; // unless its text holds one of these
std::map<std::string, std::vector<TArgument>> Procedures;
std::map<std::string, std::string> Outputs; // bind name -> value written at execute
std::string BoundLog;
int ParseErrorOffset = 0;
std::map<Cda_Def *, TCursor> Cursors;

void Put(Cda_Def *ACursor, int AOffset, const void *AValue, size_t ASize) {
  std::memcpy(ACursor->area + AOffset, AValue, ASize);
}
ub4 RowsProcessed(Cda_Def *ACursor) {
  ub4 Count;
  std::memcpy(&Count, ACursor->area + OCI_CDA_RPC, sizeof Count);
  return Count;
}

std::string Upper(std::string AText) {
  for (char &C : AText)
    C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
  return AText;
}

// The select list of a cursor: the first scripted one whose text its statement holds.
const TScript &ScriptOf(Cda_Def *ACursor) {
  auto Found = Cursors.find(ACursor);
  if (Found != Cursors.end())
    for (const auto &[Text, Script] : Matched)
      if (Found->second.Statement.find(Text) != std::string::npos)
        return Script;
  return Default;
}

// The value of a cell; false for NULL.
bool Cell(const TColumn &AColumn, long ARow, std::string &AValue) {
  if (!AColumn.Values.empty()) {
    AValue = ARow < static_cast<long>(AColumn.Values.size()) ? AColumn.Values[ARow] : "NULL";
    return AValue != "NULL";
  }
  if (AColumn.NullOk && (ARow + 1) % 4 == 0)
    return false;
  if (AColumn.Type == 2 || AColumn.Type == 3)
    AValue = std::to_string(ARow + 1);
  else if (AColumn.Type == 12)
    AValue = "01-JAN-99";
  else
    AValue = AColumn.Name + std::to_string(ARow + 1);
  return true;
}

// One value of a bind as text: "NULL", or "(length)bytes" (integers as their number).
std::string BoundValue(const TBind &ABind, ub4 AElement) {
  if (ABind.Indicators && ABind.Indicators[AElement] == -1)
    return "NULL";
  const ub1 *Value = ABind.Value + static_cast<size_t>(AElement) * ABind.Length;
  if (ABind.Type == 3) {
    int Number = 0;
    std::memcpy(&Number, Value, sizeof Number);
    return std::to_string(Number);
  }
  ub2 Length = ABind.Lengths ? ABind.Lengths[AElement] : static_cast<ub2>(ABind.Length);
  return "(" + std::to_string(Length) + ")" +
         std::string(reinterpret_cast<const char *>(Value), Length);
}

// Writes one output value into element AElement of a bind.
void WriteOutput(const TBind &ABind, ub4 AElement, const std::string &AValue) {
  ub1 *Value = ABind.Value + static_cast<size_t>(AElement) * ABind.Length;
  if (AValue == "NULL") {
    if (ABind.Indicators)
      ABind.Indicators[AElement] = -1;
    if (ABind.Lengths)
      ABind.Lengths[AElement] = 0;
    return;
  }
  if (ABind.Type == 3) {
    int Number = std::atoi(AValue.c_str());
    std::memcpy(Value, &Number, sizeof Number);
  } else {
    size_t Length = std::min(AValue.size(), static_cast<size_t>(ABind.Length));
    std::memcpy(Value, AValue.data(), Length);
    if (ABind.Lengths)
      ABind.Lengths[AElement] = static_cast<ub2>(Length);
  }
  if (ABind.Indicators)
    ABind.Indicators[AElement] = 0;
}

} // namespace

void Reset() {
  std::lock_guard Guard(CursorMutex);
  Default = TScript{};
  Matched.clear();
  Procedures.clear();
  Outputs.clear();
  BoundLog.clear();
  ParseErrorOffset = 0;
  Cursors.clear();
}

void Parsed(Cda_Def *ACursor, const text *AText, sb4 ALength, bool AFailed) {
  std::lock_guard Guard(CursorMutex);
  std::string Statement = Upper(Text(AText, ALength));
  size_t Start = Statement.find_first_not_of(" \t\r\n(");
  std::string Word = Statement.substr(Start == std::string::npos ? 0 : Start, 6);
  ub2 Code = Word.rfind("SELECT", 0) == 0   ? 4
             : Word.rfind("INSERT", 0) == 0 ? 3
             : Word.rfind("UPDATE", 0) == 0 ? 5
             : Word.rfind("DELETE", 0) == 0 ? 9
             : Word.rfind("CREATE", 0) == 0 ? 1
                                            : 47; // an anonymous block
  Put(ACursor, OCI_CDA_FT, &Code, sizeof Code);
  ub2 Offset = AFailed ? static_cast<ub2>(ParseErrorOffset) : 0;
  Put(ACursor, OCI_CDA_PEO, &Offset, sizeof Offset);
  TCursor &Cursor = Cursors[ACursor];
  Cursor.Statement = Statement;
  Cursor.Binds.clear();
  Cursor.Defines.clear();
}

void Bound(Cda_Def *ACursor, const std::string &AName, ub1 *AValue, sword ALength, sword AType,
           sb2 *AIndicators, ub2 *ALengths, ub4 AMaxElements, ub4 *ACurrentElements) {
  std::lock_guard Guard(CursorMutex);
  auto &Binds = Cursors[ACursor].Binds;
  TBind Bind{AName, AValue, ALength, AType, AIndicators, ALengths, AMaxElements, ACurrentElements};
  for (TBind &Old : Binds)
    if (Upper(Old.Name) == Upper(AName)) {
      Old = Bind; // binding a name again replaces the earlier bind
      return;
    }
  Binds.push_back(Bind);
}

void Defined(Cda_Def *ACursor, sword APosition, ub1 *ABuffer, sword ALength, sword AType,
             sb2 *AIndicators, ub2 *ALengths, ub2 *ACodes) {
  std::lock_guard Guard(CursorMutex);
  Cursors[ACursor].Defines[APosition] = {ABuffer, ALength, AType, AIndicators, ALengths, ACodes};
}

bool Describe(Cda_Def *ACursor, sword APosition, sb2 *AType, sb1 *AName, sb4 *ANameLength,
              sb4 *ADisplaySize, sb2 *ANullOk) {
  std::lock_guard Guard(CursorMutex);
  const std::vector<TColumn> &Columns = ScriptOf(ACursor).Columns;
  if (APosition < 1 || APosition > static_cast<sword>(Columns.size()))
    return false;
  const TColumn &Column = Columns[APosition - 1];
  *AType = static_cast<sb2>(Column.Type);
  size_t Length = std::min(Column.Name.size(), static_cast<size_t>(*ANameLength));
  std::memcpy(AName, Column.Name.data(), Length);
  *ANameLength = static_cast<sb4>(Length);
  *ADisplaySize = Column.DisplaySize;
  *ANullOk = Column.NullOk ? 1 : 0;
  return true;
}

void Executed(Cda_Def *ACursor, sword AIterations, sword ARowOffset) {
  std::lock_guard Guard(CursorMutex);
  TCursor &Cursor = Cursors[ACursor];
  Cursor.Position = 0;
  for (const TBind &Bind : Cursor.Binds) {
    if (Bind.Type == 102) {
      // A cursor variable: the server opens the scripted select on the bound data area.
      auto *Opened = reinterpret_cast<Cda_Def *>(Bind.Value);
      Cursors[Opened] = TCursor{};
      Cursors[Opened].Statement = "SELECT (cursor " + Bind.Name + ")";
      ub2 Code = 4;
      Put(Opened, OCI_CDA_FT, &Code, sizeof Code);
      BoundLog += Bind.Name + "=cursor\n";
      continue;
    }
    const bool Table = Bind.MaxElements > 0;
    const ub4 First = Table ? 0 : static_cast<ub4>(ARowOffset);
    const ub4 Count =
        Table ? (Bind.CurrentElements ? *Bind.CurrentElements : 0) : static_cast<ub4>(AIterations);
    for (ub4 Element = First; Element < First + Count; ++Element)
      BoundLog +=
          Bind.Name + "[" + std::to_string(Element) + "]=" + BoundValue(Bind, Element) + "\n";
    auto Output = Outputs.find(Upper(Bind.Name));
    if (Output == Outputs.end())
      continue;
    if (Table) {
      // "a|b|c": three elements, never more than the bind can take.
      ub4 Element = 0;
      size_t At = 0;
      const std::string &Values = Output->second;
      while (Element < Bind.MaxElements && At <= Values.size()) {
        size_t Bar = Values.find('|', At);
        if (Bar == std::string::npos)
          Bar = Values.size();
        WriteOutput(Bind, Element++, Values.substr(At, Bar - At));
        At = Bar + 1;
      }
      if (Bind.CurrentElements)
        *Bind.CurrentElements = Element;
    } else {
      WriteOutput(Bind, First, Output->second);
    }
  }
  ub4 Processed = static_cast<ub4>(AIterations);
  Put(ACursor, OCI_CDA_RPC, &Processed, sizeof Processed);
}

void Fetch(Cda_Def *ACursor, ub4 ARows, bool AFirst) {
  std::lock_guard Guard(CursorMutex);
  auto Found = Cursors.find(ACursor);
  if (Found == Cursors.end()) {
    SetReturnCode(ACursor, 1001); // invalid cursor
    return;
  }
  TCursor &Cursor = Found->second;
  const std::vector<TColumn> &Columns = ScriptOf(ACursor).Columns;
  const long RowTotal = ScriptOf(ACursor).Rows;
  if (AFirst)
    Cursor.Position = 0;
  ub4 Fetched = 0;
  while (Fetched < ARows && Cursor.Position < RowTotal) {
    for (const auto &[Position, Define] : Cursor.Defines) {
      if (Position < 1 || Position > static_cast<int>(Columns.size()))
        continue;
      std::string Value;
      ub1 *Target = Define.Buffer + static_cast<size_t>(Fetched) * Define.Length;
      if (!Cell(Columns[Position - 1], Cursor.Position, Value)) {
        Define.Indicators[Fetched] = -1;
        Define.Lengths[Fetched] = 0;
        continue;
      }
      if (Define.Type == 3) {
        int Number = std::atoi(Value.c_str());
        std::memcpy(Target, &Number, sizeof Number);
        Define.Lengths[Fetched] = sizeof Number;
        Define.Indicators[Fetched] = 0;
        continue;
      }
      size_t Length = std::min(Value.size(), static_cast<size_t>(Define.Length));
      std::memcpy(Target, Value.data(), Length);
      Define.Lengths[Fetched] = static_cast<ub2>(Length);
      Define.Indicators[Fetched] = Length < Value.size() ? static_cast<sb2>(Value.size()) : 0;
      Define.Codes[Fetched] = Length < Value.size() ? 1406 : 0;
    }
    ++Fetched;
    ++Cursor.Position;
  }
  ub4 Processed = (AFirst ? 0 : RowsProcessed(ACursor)) + Fetched;
  Put(ACursor, OCI_CDA_RPC, &Processed, sizeof Processed);
  SetReturnCode(ACursor, Fetched < ARows ? 1403 : 0);
}

bool Procedure(const std::string &AName, std::vector<TArgument> &AEntries) {
  std::lock_guard Guard(CursorMutex);
  auto Found = Procedures.find(Upper(AName));
  if (Found == Procedures.end())
    return false;
  AEntries = Found->second;
  return true;
}

void Closed(Cda_Def *ACursor) {
  std::lock_guard Guard(CursorMutex);
  Cursors.erase(ACursor);
  // A closed data area tells nothing any more, as a real library may leave it.
  std::memset(ACursor->area, 0, OCI_CDA_RC);
}

} // namespace cursors

// Forgets the scripted select, outputs, open cursors and the record of bound values.
FAKE_EXPORT void fakeoci_reset_cursors() { cursors::Reset(); }

// "NAME:type:displaysize:nullok;..." and the number of rows every SELECT returns.
namespace {
cursors::TScript ParseColumns(const char *AColumns, long ARows) {
  cursors::TScript Script;
  std::string Text = AColumns;
  size_t At = 0;
  while (At < Text.size()) {
    size_t End = Text.find(';', At);
    if (End == std::string::npos)
      End = Text.size();
    std::string Item = Text.substr(At, End - At);
    cursors::TColumn Column{};
    char Name[64] = {};
    int NullOk = 0;
    if (std::sscanf(Item.c_str(), "%63[^:]:%d:%d:%d", Name, &Column.Type, &Column.DisplaySize,
                    &NullOk) >= 3) {
      Column.Name = Name;
      Column.NullOk = NullOk != 0;
      Script.Columns.push_back(Column);
    }
    At = End + 1;
  }
  Script.Rows = ARows;
  return Script;
}
} // namespace

// "NAME:type:displaysize:nullok;..." and the number of rows every SELECT returns.
FAKE_EXPORT void fakeoci_script_select(const char *AColumns, long ARows) {
  std::lock_guard Guard(cursors::CursorMutex);
  cursors::Default = ParseColumns(AColumns, ARows);
}
// A select list with its rows for the statements whose text (in capitals) holds AMatch; the
// rows are lines, their cells separated by '|' ("NULL" for a null).
FAKE_EXPORT void fakeoci_script_rows(const char *AMatch, const char *AColumns, const char *ARows) {
  std::lock_guard Guard(cursors::CursorMutex);
  std::vector<std::vector<std::string>> Rows;
  std::string Text = ARows;
  for (size_t At = 0; At < Text.size();) {
    size_t End = Text.find('\n', At);
    if (End == std::string::npos)
      End = Text.size();
    std::vector<std::string> Cells;
    const std::string Line = Text.substr(At, End - At);
    for (size_t C = 0;;) {
      size_t Bar = Line.find('|', C);
      Cells.push_back(Line.substr(C, Bar == std::string::npos ? std::string::npos : Bar - C));
      if (Bar == std::string::npos)
        break;
      C = Bar + 1;
    }
    Rows.push_back(Cells);
    At = End + 1;
  }
  cursors::TScript Script = ParseColumns(AColumns, static_cast<long>(Rows.size()));
  for (size_t Column = 0; Column < Script.Columns.size(); ++Column)
    for (const auto &Row : Rows)
      Script.Columns[Column].Values.push_back(Column < Row.size() ? Row[Column] : "NULL");
  cursors::Matched.emplace_back(cursors::Upper(AMatch), Script);
}
// The description odessp gives for a name (matched ignoring case): entries separated by ';',
// each "overload,position,level,name,type,default,mode,size".
FAKE_EXPORT void fakeoci_script_procedure(const char *AName, const char *AEntries) {
  std::lock_guard Guard(cursors::CursorMutex);
  std::vector<cursors::TArgument> &Entries = cursors::Procedures[cursors::Upper(AName)];
  Entries.clear();
  std::string Text = AEntries;
  for (size_t At = 0; At < Text.size();) {
    size_t End = Text.find(';', At);
    if (End == std::string::npos)
      End = Text.size();
    cursors::TArgument Entry{};
    char Name[64] = {};
    const std::string Item = Text.substr(At, End - At);
    if (std::sscanf(Item.c_str(), "%d,%d,%d,%63[^,],%d,%d,%d,%d", &Entry.Overload, &Entry.Position,
                    &Entry.Level, Name, &Entry.Type, &Entry.Default, &Entry.Mode,
                    &Entry.Size) == 8) {
      Entry.Name = std::string(Name) == "-" ? "" : Name;
      Entries.push_back(Entry);
    }
    At = End + 1;
  }
}
// The value the next executes write into the output bind NAME ("NULL" for a null, "a|b" for
// the elements of a PL/SQL table).
FAKE_EXPORT void fakeoci_script_output(const char *AName, const char *AValue) {
  std::lock_guard Guard(cursors::CursorMutex);
  cursors::Outputs[cursors::Upper(AName)] = AValue;
}
// The parse error offset a failing oparse reports.
FAKE_EXPORT void fakeoci_script_parse_error(int AOffset) {
  std::lock_guard Guard(cursors::CursorMutex);
  cursors::ParseErrorOffset = AOffset;
}
// What the executes received, one line per bound element: NAME[i]=NULL | (length)bytes | number.
FAKE_EXPORT const char *fakeoci_bound() {
  std::lock_guard Guard(cursors::CursorMutex);
  static std::string Copy;
  Copy = cursors::BoundLog;
  return Copy.c_str();
}
