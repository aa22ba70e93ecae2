// Stored procedures: the description through odessp, the call block, the property write rules,
// and the database's list of procedures, functions, packages and package members.
#include "db/OciApiStoredProc.h"

#include "classes/StringList.h"
#include "db/OciApiProperties.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>

namespace {

// Server data type codes with a meaning of their own in a description.
constexpr int ArgumentNone = 0, ArgumentRecord = 250, ArgumentTable = 251;
// Entries odessp may fill; a longer description is the server's error, not an overrun.
constexpr int DescriptionRoom = 64;

} // namespace

TOracleStoredProc::TOracleStoredProc(QObject *AOwner) : TOracleQueryLite(AOwner) {}

void TOracleStoredProc::SetPackageName(const std::string &AValue) {
  if (AValue == FPackageName)
    return;
  FPackageName = AValue;
  if (!FLoading)
    SetProcedureName("");
}

void TOracleStoredProc::SetProcedureName(const std::string &AValue) {
  if (AValue == FProcedureName)
    return;
  FProcedureName = AValue;
  if (FLoading)
    return;
  SetPrepared(false);
  SetSQL("");
  // A new procedure starts at its first overload; the previous one's index may not exist.
  FOverloadIndex = 0;
  Describe();
}

void TOracleStoredProc::SetOverloadIndex(std::int32_t AValue) {
  if (FLoading) {
    FOverloadIndex = AValue;
    return;
  }
  if (AValue > FOverloadCount || (AValue <= 0 && FOverloadCount != 0))
    RaiseInterfaceError(MakeErrorCode(1, facStoredProc, 50008), "OverloadIndex");
  FOverloadIndex = AValue;
  // The call block names the arguments of the overload it was built for: another overload
  // needs its own block, or the binds would not match.
  SetPrepared(false);
  SetSQL("");
  Describe();
}

void TOracleStoredProc::SetOverloadCount(std::int32_t AValue) {
  if (FLoading)
    FOverloadCount = AValue;
}

void TOracleStoredProc::ParseParams(TParams &AList) {
  (void)AList;
  Describe();
}

void TOracleStoredProc::Describe() {
  FParams->Clear();
  if (FProcedureName.empty())
    return;
  if (!FDatabase) {
    FDatabase = GetSession().OpenDatabase(FDatabaseName);
    FDatabase->AttachDataSet(this);
  }
  TOracleDatabase *Database = OracleDatabase();
  if (!Database)
    RaiseInterfaceError(MakeErrorCode(1, facSession, 50000), FDatabaseName);

  ub2 Overload[DescriptionRoom] = {}, Position[DescriptionRoom] = {}, Level[DescriptionRoom] = {};
  text Names[DescriptionRoom][30] = {};
  ub2 NameLength[DescriptionRoom] = {}, Type[DescriptionRoom] = {};
  ub1 Default[DescriptionRoom] = {}, Mode[DescriptionRoom] = {}, Radix[DescriptionRoom] = {};
  ub4 Size[DescriptionRoom] = {}, Spare[DescriptionRoom] = {};
  sb2 Precision[DescriptionRoom] = {}, Scale[DescriptionRoom] = {};
  ub4 Count = DescriptionRoom;
  {
    // The logon data area is shared with every query of the database.
    std::lock_guard Guard(Database->Lock());
    std::string Name = FProcedureName;
    OciEntries.odessp()(Database->LogonCursor().Data(), reinterpret_cast<text *>(Name.data()),
                        static_cast<size_t>(-1), nullptr, 0, nullptr, 0, Overload, Position, Level,
                        Names, NameLength, Type, Default, Mode, Size, Precision, Scale, Radix,
                        Spare, &Count);
    Database->LogonCursor().Check();
  }
  Count = std::min<ub4>(Count, DescriptionRoom);

  FOverloadCount = 0;
  for (ub4 i = 0; i < Count; ++i)
    FOverloadCount = std::max<std::int32_t>(FOverloadCount, Overload[i]);
  if (FOverloadCount > 0 && (FOverloadIndex <= 0 || FOverloadIndex > FOverloadCount))
    FOverloadIndex = 1;
  else if (FOverloadCount == 0)
    FOverloadIndex = 0;

  for (ub4 i = 0; i < Count; ++i) {
    if (Overload[i] != FOverloadIndex || Type[i] == ArgumentNone)
      continue;
    if (Type[i] == ArgumentRecord)
      RaiseInterfaceError(MakeErrorCode(1, facStoredProc, 50006), "Records type not implemented");
    const ub4 Argument = i;
    const std::string Name = Position[i] == 0
                                 ? std::string("RESULT")
                                 : std::string(reinterpret_cast<const char *>(Names[i]),
                                               std::min<size_t>(NameLength[i], sizeof Names[i]));
    auto *Item = static_cast<TOracleParam *>(FParams->Add(Name));
    Item->SetDbType(Type[i]);
    Item->SetDbKind(Mode[i]);
    Item->SetPos(-1);
    if (Type[i] == ArgumentTable) {
      // One parameter for the whole table; the entry after it describes its elements.
      Item->SetDataTable(true);
      Item->SetPos(Position[i]);
      if (i + 1 < Count)
        Item->SetDbType(Type[++i]);
      Item->SetDimension(40);
    }
    // The size the server reports is the byte length of character data; numbers and dates
    // travel as text longer than their stored size, and integers are 4 bytes, so those keep
    // the size of their type.
    switch (Item->DataType()) {
    case oVarchar2:
    case oRaw:
    case oLong:
    case oLongRaw:
      if (Size[i] > 0)
        Item->SetItemSize(static_cast<std::int32_t>(std::min<ub4>(Size[i], 65535)));
      break;
    default:
      break;
    }
    // The default belongs to the argument, not to the element type of a table.
    Item->SetHaveDefault(Default[Argument] != 0);
    if (Item->Pos() == -1)
      Item->SetPos(Position[i]);
  }
  std::string Block;
  GetSQL(Block);
}

void TOracleStoredProc::GetSQL(std::string &AText) {
  if (FSQL.empty() && !FProcedureName.empty()) {
    std::string Block = "BEGIN ";
    int First = 0;
    if (FParams->Count() > 0 && FParams->Items(0)->Pos() == 0) {
      Block += ":RESULT:=";
      First = 1;
    }
    Block += FProcedureName;
    if (FParams->Count() > First) {
      Block += "(:" + FParams->Items(First)->ParamName();
      for (int i = First + 1; i < FParams->Count(); ++i)
        Block += ",:" + FParams->Items(i)->ParamName();
      Block += ")";
    }
    Block += "; END;";
    FSQL = Block;
  }
  AText = FSQL;
}

const TClassProperties &TOracleStoredProc::Properties() {
  static const TClassProperties Description = [] {
    using namespace dataset_properties;
    using P = TOracleStoredProc;
    TClassProperties Class("TOracleStoredProc");
    Class.Add(Text<P>(
        "DatabaseName", [](const P &Q) { return Q.DatabaseName(); },
        [](P &Q, const std::string &V) { Q.SetDatabaseName(V); }));
    Class.Add(List<P>("Params", [](P &Q) -> TParams & { return Q.Params(); }));
    Class.Add(Text<P>(
        "PackageName", [](const P &Q) { return Q.PackageName(); },
        [](P &Q, const std::string &V) { Q.SetPackageName(V); }));
    Class.Add(Text<P>(
        "ProcedureName", [](const P &Q) { return Q.ProcedureName(); },
        [](P &Q, const std::string &V) { Q.SetProcedureName(V); }));
    Class.Add(Integer<P>(
        "OverloadIndex", [](const P &Q) { return Q.OverloadIndex(); },
        [](P &Q, std::int32_t V) { Q.SetOverloadIndex(V); }, 0));
    Class.Add(Integer<P>(
        "OverloadCount", [](const P &Q) { return Q.OverloadCount(); },
        [](P &Q, std::int32_t V) { Q.SetOverloadCount(V); }, 0));
    return Class;
  }();
  return Description;
}

// ---- GetProcedureList ------------------------------------------------------------------------

namespace {

// A text as a literal of the statement: quotes doubled, so a name cannot end the literal.
std::string Literal(const std::string &AText) {
  std::string Result = "'";
  for (char C : AText) {
    Result += C;
    if (C == '\'')
      Result += '\'';
  }
  return Result + "'";
}

bool IsWordChar(char C) {
  return std::isalnum(static_cast<unsigned char>(C)) || C == '_' || C == '$' || C == '#';
}

std::string Upper(std::string AText) {
  for (char &C : AText)
    C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
  return AText;
}

// The names declared after PROCEDURE or FUNCTION in a package specification, in capitals:
// a name may stand on a later line than its keyword, several may share a line, and comments
// and string literals are no declarations.
void MemberNames(const std::string &ASource, std::set<std::string> &ANames) {
  bool Declaring = false;
  size_t i = 0;
  const size_t n = ASource.size();
  while (i < n) {
    const char C = ASource[i];
    if (C == '-' && i + 1 < n && ASource[i + 1] == '-') {
      i = ASource.find('\n', i);
      if (i == std::string::npos)
        break;
    } else if (C == '/' && i + 1 < n && ASource[i + 1] == '*') {
      i = ASource.find("*/", i + 2);
      if (i == std::string::npos)
        break;
      i += 2;
    } else if (C == '\'') {
      // '' inside a literal is one quote; the scan simply leaves and re-enters the literal.
      i = ASource.find('\'', i + 1);
      if (i == std::string::npos)
        break;
      ++i;
      Declaring = false;
    } else if (C == '"') {
      const size_t End = ASource.find('"', i + 1);
      if (End == std::string::npos)
        break;
      if (Declaring)
        ANames.insert(ASource.substr(i, End + 1 - i)); // a quoted name keeps its spelling
      Declaring = false;
      i = End + 1;
    } else if (IsWordChar(C)) {
      size_t End = i;
      while (End < n && IsWordChar(ASource[End]))
        ++End;
      const std::string Word = Upper(ASource.substr(i, End - i));
      if (Declaring)
        ANames.insert(Word);
      Declaring = Word == "PROCEDURE" || Word == "FUNCTION";
      i = End;
    } else {
      if (!std::isspace(static_cast<unsigned char>(C)))
        Declaring = false;
      ++i;
    }
  }
}

} // namespace

void TOracleDatabase::GetProcedureList(TStringList &AStrings, const std::string &APackageName,
                                       int AKind) {
  AStrings.Clear();
  TOracleQueryLite Query;
  Query.Fields().SetDimension(100);
  Query.SetDatabaseName(DatabaseName());
  const auto Fetch = [&](const std::string &AStatement, TStringList &AInto) {
    Query.SetSQL(AStatement);
    Query.FetchFirstColumn(AInto);
  };
  const auto Members = [&](const std::string &APackage) {
    TStringList Lines;
    Fetch("SELECT TEXT FROM ALL_SOURCE WHERE NAME=" + Literal(APackage) +
              " AND TYPE = 'PACKAGE' ORDER BY LINE",
          Lines);
    std::string Source;
    for (const std::string &Line : Lines.Lines())
      Source += Line.empty() || Line.back() != '\n' ? Line + "\n" : Line;
    std::set<std::string> Names;
    MemberNames(Source, Names);
    for (const std::string &Name : Names)
      AStrings.Add(APackage + "." + Name);
  };
  const std::string Procedures = "SELECT OBJECT_NAME FROM ALL_OBJECTS WHERE "
                                 "OBJECT_TYPE='PROCEDURE' OR OBJECT_TYPE='FUNCTION'";
  const std::string Packages = "SELECT OBJECT_NAME FROM ALL_OBJECTS WHERE OBJECT_TYPE='PACKAGE'";
  switch (AKind) {
  case 0:
    Fetch(Procedures, AStrings);
    break;
  case 101:
    Fetch(Packages, AStrings);
    break;
  case 102:
    Members(APackageName);
    break;
  case 103: {
    Fetch(Procedures, AStrings);
    TStringList Found;
    Fetch(Packages, Found);
    const std::set<std::string> Sorted(Found.Lines().begin(), Found.Lines().end());
    for (const std::string &Package : Sorted)
      Members(Package);
    break;
  }
  default:
    break;
  }
}
