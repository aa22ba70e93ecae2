// odessp's description of stored procedures, functions, package members and the members of the
// built-in packages, walked from the compiled (bound) tree so that the types are the resolved
// ones: %TYPE, package types, PL/SQL tables and records.
#include "localdb/plsql/PlsqlDescribe.h"

#include <map>

#include <cctype>

#include "localdb/catalog/Catalog.h"
#include "localdb/catalog/Privileges.h"
#include "localdb/plsql/PlsqlUnits.h"
#include "localdb/server/Session.h"
#include "localdb/sql/OraError.h"

namespace localdb::plsql {

namespace {

// The parts of a dotted name: unquoted parts upper-cased, quoted ones as written. Empty when
// the text is not a dotted name of at most three parts.
std::vector<std::string> nameParts(const std::string &text) {
  std::vector<std::string> parts;
  size_t i = 0, n = text.size();
  auto blank = [&] {
    while (i < n && std::isspace(static_cast<unsigned char>(text[i])))
      ++i;
  };
  blank();
  while (i < n) {
    std::string part;
    if (text[i] == '"') {
      size_t close = text.find('"', i + 1);
      if (close == std::string::npos || close == i + 1)
        return {};
      part = text.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      while (i < n && text[i] != '.' && !std::isspace(static_cast<unsigned char>(text[i])))
        part += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
      if (part.empty())
        return {};
    }
    parts.push_back(std::move(part));
    blank();
    if (i < n) {
      if (text[i] != '.')
        return {};
      ++i;
      blank();
      if (i == n)
        return {};
    }
  }
  if (parts.size() > 3)
    return {};
  return parts;
}

void addType(std::vector<DescribedArgument> &out, DescribedArgument a, const Type &t);

// The entries of one formal (or of the function result at position 0).
void addArgument(std::vector<DescribedArgument> &out, int overload, int position,
                 const std::string &name, const Type &t, bool hasDefault, int mode) {
  DescribedArgument a;
  a.overload = overload;
  a.position = position;
  a.name = name;
  a.hasDefault = hasDefault;
  a.mode = mode;
  addType(out, a, t);
}

void addType(std::vector<DescribedArgument> &out, DescribedArgument a, const Type &t) {
  switch (t.kind) {
  case VType::Number:
    if (t.binaryInteger) {
      a.type = DtBinaryInteger;
      a.size = 4;
    } else {
      a.type = DtNumber;
      a.size = 22;
      a.precision = t.precision > 0 ? t.precision : 0;
      a.scale = t.scale != kNoScale ? t.scale : 0;
      a.radix = 10;
    }
    break;
  case VType::Char:
    a.type = t.blankPadded ? DtChar : DtVarchar2;
    a.size = static_cast<uint32_t>(t.length > 0 ? t.length : 0);
    if (isLob(t.sqlType)) {
      a.type = t.sqlType == SqlType::Clob ? DtClob : DtBlob;
      a.size = 4000; // as the dictionary shows a LOB
    }
    break;
  case VType::Date:
    a.type = DtDate;
    a.size = 7;
    break;
  case VType::Datetime: // the type's own code (TIMESTAMP 187 ...), its internal size
    a.type = static_cast<int>(t.sqlType);
    a.size = t.sqlType == SqlType::TimestampTz ? 13 : t.sqlType == SqlType::IntervalYM ? 5 : 11;
    a.precision = t.precision > 0 ? t.precision : 0;
    a.scale = t.scale != kNoScale ? t.scale : 0;
    break;
  case VType::Boolean:
    a.type = DtBoolean;
    a.size = 1;
    break;
  case VType::RefCursor:
  case VType::Cursor:
    a.type = DtRefCursor;
    break;
  case VType::Record: {
    a.type = DtRecord;
    out.push_back(a);
    if (t.decl) {
      for (const RecordField &f : t.decl->fields) {
        DescribedArgument field;
        field.overload = a.overload;
        field.position = a.position;
        field.level = a.level + 1;
        field.name = f.name;
        field.mode = a.mode;
        addType(out, field, f.type);
      }
    }
    return;
  }
  case VType::Table: {
    a.type = DtTable;
    out.push_back(a);
    DescribedArgument element;
    element.overload = a.overload;
    element.position = a.position;
    element.level = a.level + 1;
    element.mode = a.mode;
    if (t.decl)
      addType(out, element, t.decl->elementType);
    else
      out.push_back(element);
    return;
  }
  default:
    break;
  }
  out.push_back(a);
}

int modeOf(Param::Mode m) { return m == Param::In ? 0 : m == Param::Out ? 1 : 2; }

void addSubprogram(std::vector<DescribedArgument> &out, const Subprogram &sub, int overload) {
  if (sub.isFunction)
    addArgument(out, overload, 0, "", sub.returnType, false, 1);
  int position = 1;
  for (const Param &p : sub.params)
    addArgument(out, overload, position++, p.name, p.type, p.defaultValue != nullptr,
                modeOf(p.mode));
  if (!sub.isFunction && sub.params.empty()) {
    DescribedArgument none;
    none.overload = overload;
    none.position = 1;
    out.push_back(none);
  }
}

// ---------------------------------------------------------------- DBMS_OUTPUT

struct BuiltinArgument {
  const char *name;
  int type;
  int mode;
  bool hasDefault;
  uint32_t size;
};

struct BuiltinMember {
  const char *name;
  std::vector<BuiltinArgument> args; // empty: no arguments
};

// DBMS_OUTPUT's specification as Oracle 7 declares it, overloads in their order.
const std::vector<BuiltinMember> &dbmsOutputMembers() {
  static const std::vector<BuiltinMember> members = {
      {"ENABLE", {{"BUFFER_SIZE", DtNumber, 0, true, 22}}},
      {"DISABLE", {}},
      {"PUT", {{"A", DtVarchar2, 0, false, 0}}},
      {"PUT", {{"A", DtNumber, 0, false, 22}}},
      {"PUT", {{"A", DtDate, 0, false, 7}}},
      {"PUT_LINE", {{"A", DtVarchar2, 0, false, 0}}},
      {"PUT_LINE", {{"A", DtNumber, 0, false, 22}}},
      {"PUT_LINE", {{"A", DtDate, 0, false, 7}}},
      {"NEW_LINE", {}},
      {"GET_LINE", {{"LINE", DtVarchar2, 1, false, 0}, {"STATUS", DtNumber, 1, false, 22}}},
      // LINES is a DBMS_OUTPUT.CHARARR: TABLE OF VARCHAR2(255) INDEX BY BINARY_INTEGER.
      {"GET_LINES", {{"LINES", DtTable, 1, false, 0}, {"NUMLINES", DtNumber, 2, false, 22}}},
  };
  return members;
}

bool describeBuiltin(const std::string &package, const std::string &member,
                     std::vector<DescribedArgument> &out) {
  if (package != "DBMS_OUTPUT")
    return false;
  int overload = 0;
  for (const BuiltinMember &m : dbmsOutputMembers()) {
    if (member != m.name)
      continue;
    ++overload;
    if (m.args.empty()) {
      DescribedArgument none;
      none.overload = overload;
      none.position = 1;
      out.push_back(none);
    }
    int position = 1;
    for (const BuiltinArgument &b : m.args) {
      DescribedArgument a;
      a.overload = overload;
      a.position = position++;
      a.name = b.name;
      a.type = b.type;
      a.mode = b.mode;
      a.hasDefault = b.hasDefault;
      a.size = b.size;
      if (b.type == DtNumber)
        a.radix = 10;
      out.push_back(a);
      if (b.type == DtTable) {
        DescribedArgument element;
        element.overload = overload;
        element.position = a.position;
        element.level = 1;
        element.type = DtVarchar2;
        element.size = 255;
        element.mode = b.mode;
        out.push_back(element);
      }
    }
  }
  return overload > 0;
}

// ---------------------------------------------------------------- stored units

// The compiled unit owner.name of one of the types, if it exists and the user may use it.
std::shared_ptr<const Unit> findUnit(Session &s, const std::string &ownerIn,
                                     const std::string &nameIn,
                                     std::initializer_list<const char *> types,
                                     const std::string &asked) {
  std::string owner = ownerIn, name = nameIn;
  // A name that is none of the schema's units may be a synonym of one.
  bool own = false;
  for (const char *type : types) {
    bool invalid = false;
    if (storedUnit(s, owner, name, type, invalid) || invalid)
      own = true;
  }
  if (!own)
    followSynonym(s.db(), owner, name, ownerIn != s.user());
  for (const char *type : types) {
    bool invalid = false;
    std::shared_ptr<const Unit> u = storedUnit(s, owner, name, type, invalid);
    if (!u && !invalid)
      continue;
    if (owner != s.user() && !objectPrivileges(s.db(), s.user(), owner, name).has("EXECUTE"))
      throw oraErrorArg(4043, asked);
    if (invalid)
      throw oraErrorText(
          4063, std::string(type) == "PACKAGE"
                    ? "package \"" + owner + "." + name + "\" has errors"
                    : std::string(type == std::string("FUNCTION") ? "function" : "procedure") +
                          " \"" + owner + "." + name + "\" has errors");
    return u;
  }
  return nullptr;
}

bool describeMember(const Unit &spec, const std::string &member,
                    std::vector<DescribedArgument> &out) {
  int overload = 0;
  for (const Decl &d : spec.decls) {
    if (d.kind != Decl::Sub || !d.sub || d.sub->name != member)
      continue;
    addSubprogram(out, *d.sub, ++overload);
  }
  return overload > 0;
}

void describeStandalone(const Unit &u, std::vector<DescribedArgument> &out) {
  if (u.sub)
    addSubprogram(out, *u.sub, 0);
}

} // namespace

std::vector<UnitArgument> unitArguments(const Unit &u) {
  std::vector<UnitArgument> out;
  auto add = [&](const Subprogram &sub, int overload) {
    std::vector<DescribedArgument> args;
    addSubprogram(args, sub, overload);
    for (DescribedArgument &a : args)
      out.push_back({sub.name, a});
  };
  if (u.kind == UnitKind::Procedure || u.kind == UnitKind::Function) {
    if (u.sub)
      add(*u.sub, 0);
  } else if (u.kind == UnitKind::Package) {
    std::map<std::string, int> count, seen;
    for (const Decl &d : u.decls)
      if (d.kind == Decl::Sub && d.sub)
        ++count[d.sub->name];
    for (const Decl &d : u.decls)
      if (d.kind == Decl::Sub && d.sub)
        add(*d.sub, count[d.sub->name] > 1 ? ++seen[d.sub->name] : 0);
  }
  return out;
}

const char *describedTypeName(int type) {
  switch (type) {
  case DtVarchar2:
    return "VARCHAR2";
  case DtNumber:
    return "NUMBER";
  case DtBinaryInteger:
    return "BINARY_INTEGER";
  case DtDate:
    return "DATE";
  case DtChar:
    return "CHAR";
  case DtRefCursor:
    return "REF CURSOR";
  case DtRecord:
    return "PL/SQL RECORD";
  case DtTable:
    return "PL/SQL TABLE";
  case DtBoolean:
    return "PL/SQL BOOLEAN";
  default:
    return "";
  }
}

std::vector<DescribedArgument> describeProcedure(Session &s, const std::string &name) {
  std::vector<std::string> parts = nameParts(name);
  std::string asked;
  for (const std::string &p : parts)
    asked += (asked.empty() ? "" : ".") + p;
  if (asked.empty())
    asked = name;
  std::vector<DescribedArgument> out;
  const std::string &user = s.user();
  if (parts.size() == 1) {
    if (auto u = findUnit(s, user, parts[0], {"PROCEDURE", "FUNCTION"}, asked)) {
      describeStandalone(*u, out);
      return out;
    }
    if (findUnit(s, user, parts[0], {"PACKAGE"}, asked) || parts[0] == "DBMS_OUTPUT")
      throw oraErrorText(20000, "ORU-10035: cannot describe a package ('" + parts[0] +
                                    "'); only a procedure within a package");
  } else if (parts.size() == 2) {
    if (auto spec = findUnit(s, user, parts[0], {"PACKAGE"}, asked)) {
      if (describeMember(*spec, parts[1], out))
        return out;
      throw oraErrorArg(4043, asked);
    }
    if (describeBuiltin(parts[0], parts[1], out))
      return out;
    if (auto u = findUnit(s, parts[0], parts[1], {"PROCEDURE", "FUNCTION"}, asked)) {
      describeStandalone(*u, out);
      return out;
    }
  } else if (parts.size() == 3) {
    if (parts[0] == "SYS" && describeBuiltin(parts[1], parts[2], out))
      return out;
    if (auto spec = findUnit(s, parts[0], parts[1], {"PACKAGE"}, asked)) {
      if (describeMember(*spec, parts[2], out))
        return out;
    }
  }
  throw oraErrorArg(4043, asked);
}

} // namespace localdb::plsql
