// Stored functions called from SQL, and a logon's connection made ready for them and for
// row triggers.
#include "localdb/plsql/PlsqlUnitsShared.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "localdb/catalog/Catalog.h"
#include "localdb/catalog/Ddl.h"
#include "localdb/catalog/KeptStatements.h"
#include "localdb/catalog/Privileges.h"
#include "localdb/plsql/PlsqlBinder.h"
#include "localdb/plsql/PlsqlInterp.h"
#include "localdb/server/Session.h"
#include "localdb/sql/OraDate.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlBinder.h"
#include "localdb/sql/SqlLexer.h"

namespace localdb::plsql::units {

// ---------------------------------------------------------------- stored functions in SQL

std::mutex gSessionsLock;
std::map<sqlite3 *, Session *> gSessions;

Session *sessionOf(sqlite3 *db) {
  std::lock_guard<std::mutex> lock(gSessionsLock);
  auto it = gSessions.find(db);
  return it == gSessions.end() ? nullptr : it->second;
}

localdb::TypeInfo sqlTypeInfo(const Type &t) {
  localdb::TypeInfo i;
  i.type = t.kind == VType::Number     ? SqlType::Number
           : t.kind == VType::Date     ? SqlType::Date
           : t.kind == VType::Datetime ? t.sqlType
                                       : SqlType::Varchar2;
  i.length = t.kind == VType::Char ? (t.length > 0 ? t.length : 2000) : 0;
  return i;
}

// Finds the function a SQL call names: NAME, PKG.NAME, OWNER.NAME, OWNER.PKG.NAME. The call
// becomes ora_plsql('<key>', args...) where the key names the unit and the member.
bool resolveStoredFunction(sqlite3 *db, const std::string &schema, localdb::Expr &e) {
  Session *s = sessionOf(db);
  if (!s || e.names.empty() || e.names.size() > 3)
    return false;
  std::vector<std::string> n = e.names;
  auto tryUnit = [&](const std::string &owner, const std::string &unit,
                     const std::string *member) -> bool {
    bool invalid = false;
    std::shared_ptr<const CompiledUnit> cu;
    const Unit *u = nullptr;
    // The function being compiled, when its body calls it: its signature is bound by now.
    auto &compiling = stateOf(*s).functionsInCompile;
    auto self = member ? compiling.end() : compiling.find(unitKey(owner, unit, "FUNCTION"));
    if (self != compiling.end()) {
      u = self->second;
    } else {
      cu = loadUnit(*s, owner, unit, member ? "PACKAGE" : "FUNCTION", invalid);
      u = cu ? cu->unit.get() : nullptr;
    }
    if ((u || invalid) && owner != schema) {
      // Another schema's function exists for this one only through EXECUTE on it.
      if (!objectPrivileges(db, schema, owner, unit).has("EXECUTE"))
        return false;
    }
    if (invalid)
      throw oraErrorText(6575, "Package or function " + unit + " is in an invalid state", e.pos);
    if (!u)
      return false;
    const Subprogram *found = nullptr;
    int index = 0, at = 0;
    if (!member) {
      found = u->sub.get();
    } else {
      for (const Decl &d : u->decls) {
        ++at;
        if (d.kind == Decl::Sub && d.sub->name == *member && d.sub->isFunction &&
            d.sub->params.size() >= e.args.size()) {
          bool fits = true;
          for (size_t k = e.args.size(); k < d.sub->params.size(); ++k)
            if (!d.sub->params[k].defaultValue)
              fits = false;
          if (fits && !found) {
            found = d.sub.get();
            index = at;
          }
        }
      }
    }
    if (!found || !found->isFunction || found->params.size() < e.args.size())
      throw oraErrorText(904, "invalid column name", e.pos);
    for (const Param &p : found->params)
      if (p.mode != Param::In)
        throw oraErrorText(6572, "Function " + found->name + " has out arguments", e.pos);
    auto key = std::make_unique<localdb::Expr>();
    key->kind = ExprKind::String;
    key->pos = e.pos;
    key->text = owner + "." + unit + (member ? "." + *member + "#" + std::to_string(index) : "");
    e.args.insert(e.args.begin(), std::move(key));
    e.sqlName = "ora_plsql";
    e.type = sqlTypeInfo(found->returnType);
    // A collection (a pipelined function's too): TABLE() reads its elements as rows, a scalar
    // element as COLUMN_VALUE, a record's or object's fields as columns.
    if (found->returnType.kind == VType::Table && found->returnType.decl) {
      const Type &el = found->returnType.decl->elementType;
      auto column = [](const std::string &name, const Type &t) {
        localdb::TypeInfo i = sqlTypeInfo(t);
        ColumnInfo c;
        c.name = name;
        c.type = i.type;
        c.length = i.type == SqlType::Number ? 22 : i.type == SqlType::Date ? 7 : i.length;
        c.precision = t.precision;
        c.scale = t.kind == VType::Number ? t.scale : kNoScale;
        return c;
      };
      if (el.kind == VType::Record && el.decl)
        for (const RecordField &f : el.decl->fields)
          e.rowColumns.push_back(column(f.name, f.type));
      else
        e.rowColumns.push_back(column("COLUMN_VALUE", el));
    }
    return true;
  };
  if (n.size() == 1)
    return tryUnit(schema, n[0], nullptr);
  if (n.size() == 2)
    return tryUnit(schema, n[0], &n[1]) || tryUnit(n[0], n[1], nullptr);
  return tryUnit(n[0], n[1], &n[2]);
}

// A value as JSON for TABLE(): NULL as null, anything else as its text (numbers as their
// exact text, dates as stored), a record as an array of its fields.
void appendJson(std::string &out, const Value &v) {
  if (v.isNull()) {
    out += "null";
    return;
  }
  if (v.t == VType::Record && v.rec) {
    out += '[';
    for (size_t i = 0; i < v.rec->fields.size(); ++i) {
      if (i)
        out += ',';
      appendJson(out, v.rec->fields[i]);
    }
    out += ']';
    return;
  }
  if (v.t == VType::Boolean || v.t == VType::Table)
    throw oraError(932);
  std::string text = v.t == VType::Number ? numberText(v.n) : v.s;
  out += '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

std::string collectionJson(const Value &r) {
  std::string out = "[";
  if (r.tab)
    for (const auto &[index, v] : r.tab->elements) {
      (void)index;
      if (out.size() > 1)
        out += ',';
      appendJson(out, v);
    }
  return out + "]";
}

void callStoredFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  Session *s = static_cast<Session *>(sqlite3_user_data(ctx));
  try {
    std::string key = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    size_t d1 = key.find('.'), d2 = key.find('.', d1 + 1), hash = key.find('#');
    std::string owner = key.substr(0, d1);
    std::string unit =
        key.substr(d1 + 1, d2 == std::string::npos ? std::string::npos : d2 - d1 - 1);
    bool invalid = false;
    std::shared_ptr<const CompiledUnit> cu =
        loadUnit(*s, owner, unit, d2 == std::string::npos ? "FUNCTION" : "PACKAGE", invalid);
    if (!cu)
      throw oraErrorText(6575, "Package or function " + unit + " is in an invalid state");
    const Subprogram *sp = nullptr;
    if (d2 == std::string::npos) {
      sp = cu->unit->sub.get();
    } else {
      int index = std::atoi(key.c_str() + hash + 1);
      if (index >= 1 && static_cast<size_t>(index) <= cu->unit->decls.size())
        sp = cu->unit->decls[static_cast<size_t>(index - 1)].sub.get();
    }
    if (!sp)
      throw oraError(6508);
    std::vector<Value> args;
    for (int i = 1; i < argc; ++i) {
      const Type &param = sp->params[static_cast<size_t>(i - 1)].type;
      if (param.kind == VType::Datetime) { // converted to the parameter's type by the caller
        args.push_back(fromSqlite(argv[i], param.sqlType));
        continue;
      }
      switch (sqlite3_value_type(argv[i])) {
      case SQLITE_INTEGER:
        args.push_back(Value::integer(sqlite3_value_int64(argv[i])));
        break;
      case SQLITE_FLOAT:
        args.push_back(Value::number(storedNumber(argv[i]).value_or(OraNum{})));
        break;
      case SQLITE_BLOB: // a number other than an int64 (no RAW parameters reach here as numbers)
        if (sp->params[static_cast<size_t>(i - 1)].type.kind == VType::Number) {
          auto n = storedNumber(argv[i]);
          if (!n)
            throw oraError(932);
          args.push_back(Value::number(*n));
        } else {
          args.push_back(
              Value::text(std::string(static_cast<const char *>(sqlite3_value_blob(argv[i])),
                                      static_cast<size_t>(sqlite3_value_bytes(argv[i])))));
        }
        break;
      case SQLITE_NULL:
        args.push_back(Value());
        break;
      default: {
        const char *t = reinterpret_cast<const char *>(sqlite3_value_text(argv[i]));
        Value v = Value::text(t ? t : "");
        const Type &pt = sp->params[static_cast<size_t>(i - 1)].type;
        if (pt.kind == VType::Date && loadDate(v.s.data(), v.s.size()))
          v.t = VType::Date; // dates travel as their stored text
        args.push_back(v);
      }
      }
    }
    Interp in(*s, stateOf(*s));
    Value r;
    try {
      r = in.callFunction(*sp, std::move(args));
    } catch (const PlsqlError &e) {
      OraError oe = runFailure(e);
      throw oe;
    }
    switch (r.t) {
    case VType::Null:
      sqlite3_result_null(ctx);
      break;
    case VType::Number:
      resultNumber(ctx, r.n);
      break;
    case VType::Datetime:
      if (isIntervalType(r.dt)) {
        sqlite3_result_int64(ctx, std::strtoll(r.s.c_str(), nullptr, 10));
        break;
      }
      [[fallthrough]];
    case VType::Char:
    case VType::Date:
      sqlite3_result_text(ctx, r.s.data(), static_cast<int>(r.s.size()), SQLITE_TRANSIENT);
      break;
    case VType::Table: {
      // For TABLE(): the elements in order as a JSON array, each a value or an array of fields.
      std::string json = collectionJson(r);
      sqlite3_result_text(ctx, json.data(), static_cast<int>(json.size()), SQLITE_TRANSIENT);
      break;
    }
    default:
      throw oraError(6502);
    }
  } catch (const OraError &e) {
    sqlite3_result_error(ctx, e.message.c_str(), -1);
  } catch (const PlsqlError &e) {
    sqlite3_result_error(ctx, runFailure(e).message.c_str(), -1);
  }
}

Value fromSqlite(sqlite3_value *v, SqlType type) {
  if ((isTimestampType(type) || isIntervalType(type)) && sqlite3_value_type(v) != SQLITE_NULL) {
    Value x;
    x.t = VType::Datetime;
    x.dt = type;
    x.s = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return x;
  }
  switch (sqlite3_value_type(v)) {
  case SQLITE_NULL:
    return Value();
  case SQLITE_INTEGER:
    return Value::integer(sqlite3_value_int64(v));
  case SQLITE_FLOAT:
    return Value::number(storedNumber(v).value_or(OraNum{}));
  case SQLITE_BLOB:
    if (type == SqlType::Number)
      if (auto n = storedNumber(v))
        return Value::number(*n);
    return Value::text(std::string(static_cast<const char *>(sqlite3_value_blob(v)),
                                   static_cast<size_t>(sqlite3_value_bytes(v))));
  default: {
    const char *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
    Value x = Value::text(t ? t : "");
    if (type == SqlType::Date && !x.isNull())
      x.t = VType::Date;
    else if (type == SqlType::Number && !x.isNull())
      x = toNumber(x);
    return x;
  }
  }
}

// The SQL layer learns of stored functions and of tables whose triggers were rebuilt.
struct InstallResolver {
  InstallResolver() {
    setStoredFunctionResolver(&resolveStoredFunction);
    setTableTriggersRebuilt(&tableTriggersRebuilt);
  }
} gInstallResolver;

} // namespace localdb::plsql::units

namespace localdb::plsql {

using namespace units;

void attachSession(sqlite3 *db, Session *s) {
  if (!db)
    return;
  {
    std::lock_guard<std::mutex> lock(gSessionsLock);
    gSessions[db] = s;
  }
  sqlite3_create_function_v2(db, "ora_plsql", -1, SQLITE_UTF8, s, callStoredFunction, nullptr,
                             nullptr, nullptr);
  sqlite3_create_function_v2(db, "ora_trigger", -1, SQLITE_UTF8, s, fireTrigger, nullptr, nullptr,
                             nullptr);
  renewStaleHooks(db);
}

void detachSession(sqlite3 *db) {
  std::lock_guard<std::mutex> lock(gSessionsLock);
  gSessions.erase(db);
}

} // namespace localdb::plsql
