// The PL/SQL interpreter: a walk over the bound tree whose names are already slots; frames of
// fixed size linked statically for local subprograms; exceptions as C++ exceptions gathering
// their ORA-06512 lines on the way out; a break request and a depth limit checked on backward
// jumps and calls.
#include "localdb/plsql/PlsqlInterp.h"
#include "db/SqlFunctionCodes.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "localdb/catalog/Catalog.h"
#include "localdb/catalog/Ddl.h"
#include "localdb/packages/DbmsLob.h"
#include "localdb/plsql/PlsqlBinder.h"
#include "localdb/plsql/PlsqlUnits.h"
#include "localdb/server/Cursor.h"
#include "localdb/server/Session.h"
#include "localdb/sql/OraDate.h"
#include "localdb/sql/SqlBinder.h"
#include "localdb/sql/SqlEmitter.h"
#include "localdb/sql/SqlFunctions.h"
#include "localdb/sql/SqlLexer.h"
#include "localdb/sql/SqlParser.h"

namespace localdb::plsql {

constexpr size_t kMaxTraceLines = 32;

struct Interp::Frame {
  std::vector<Value> slots;
  Frame *link = nullptr; // the frame of the enclosing subprogram (static scope)
  int level = 0;
  const Unit *unit = nullptr;
  int line = 0;
  Record *trigNew = nullptr, *trigOld = nullptr;
  const PlsqlError *handling = nullptr; // the exception a handler is running for
  Value *pipe = nullptr;                // a pipelined function's rows so far
};

namespace {

PlsqlError fromOra(const OraError &e) {
  PlsqlError p;
  p.code = e.code;
  p.message = e.message;
  return p;
}

// A failed SQLite step as Oracle reports it.
OraError stepFailure(sqlite3 *db, int rc) {
  std::string m = sqlite3_errmsg(db);
  if (int code = oraCodeOf(m)) {
    // Our functions raise "ORA-nnnnn: ..." through SQLite; keep the first line as the text.
    return OraError{code, m, -1};
  }
  OraError e;
  if ((rc & 0xff) == SQLITE_CONSTRAINT && mapConstraintError(db, m, e))
    return e;
  if ((rc & 0xff) == SQLITE_INTERRUPT)
    return oraError(1013);
  return sqliteError(db, rc);
}

// Oracle's text for a number, or just "ORA-nnnnn: " for one without a text (a user's
// EXCEPTION_INIT number raised by RAISE).
std::string messageOf(int code) {
  if (*oraText(code))
    return oraMessage(code);
  char head[16];
  std::snprintf(head, sizeof head, "ORA-%05d: ", code);
  return head;
}

std::string unitLabel(const Unit *u) { return "\"" + u->owner + "." + u->name + "\""; }

} // namespace

namespace {
bool sameSlot(const Slot &a, const Slot &b) {
  return a.where == b.where && a.level == b.level && a.index == b.index && a.package == b.package;
}

SqlType sqlTypeFor(const Type &t) {
  switch (t.kind) {
  case VType::Number:
    return SqlType::Number;
  case VType::Date:
    return SqlType::Date;
  case VType::Datetime:
    return t.sqlType;
  default:
    return isLob(t.sqlType) ? t.sqlType : SqlType::Varchar2;
  }
}
} // namespace

const std::string &Interp::dateFormat() const { return FSession.dateFormat; }

Interp::Interp(Session &session, State &state)
    : FSession(session), FState(state), FDatetimeSession(session) {
  if (!FState.stackBase) {
    FState.stackBase = static_cast<const char *>(__builtin_frame_address(0));
    FOutermost = true;
  }
}

Interp::~Interp() {
  if (FOutermost)
    FState.stackBase = nullptr;
}

void Interp::checkStack() {
  // The stack grows downwards; a nested entry (SQL calling a stored function) keeps the base.
  auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  auto base = reinterpret_cast<uintptr_t>(FState.stackBase);
  if (base > here && base - here > kMaxStackUse)
    raise(6500);
}

void Interp::checkBreak() {
  if (FSession.breakRequested())
    raise(1013);
}

// ---------------------------------------------------------------- slots

// A PL/SQL table subscript: rounded to a BINARY_INTEGER; NULL raises nullError.
int32_t Interp::subscript(const Expr &index, Frame &f, int nullError, bool keyDetail) {
  Value i = toNumber(eval(index, f));
  if (i.isNull() && keyDetail)
    raiseValueError("NULL index table key value");
  if (i.isNull())
    raise(nullError);
  OraNum d = roundNumber(i.n, 0);
  if (!d.isInt || d.i < -2147483647 || d.i > 2147483647)
    raise(6502);
  return static_cast<int32_t>(d.i);
}

Value &Interp::slotRef(const Slot &s, Frame &f) {
  switch (s.where) {
  case Slot::Frame: {
    Frame *p = &f;
    while (p->level != s.level && p->link)
      p = p->link;
    return p->slots[static_cast<size_t>(s.index)];
  }
  case Slot::Package:
    return package(s.package).slots[static_cast<size_t>(s.index)];
  case Slot::TriggerNew:
  case Slot::TriggerOld: {
    Record *r = s.where == Slot::TriggerNew ? f.trigNew : f.trigOld;
    if (!r)
      raise(6502);
    return r->fields[static_cast<size_t>(s.index)];
  }
  default:
    raise(6502);
  }
}

Value &Interp::lvalue(const Expr &e, Frame &f) {
  if (e.kind == EKind::Bind) {
    FHost->assigned[static_cast<size_t>(e.ival)] = true;
    return FHost->values[static_cast<size_t>(e.ival)];
  }
  return *place(e, f, true);
}

Value *Interp::place(const Expr &e, Frame &f, bool write) {
  Value *v = &slotRef(e.slot, f);
  for (const PathStep &p : e.path) {
    if (p.field >= 0) {
      if (v->isNull() && !write) {
        // An attribute of an atomically NULL object reads as NULL; writing one is
        // ACCESS_INTO_NULL.
        static thread_local Value none;
        none = Value();
        return &none;
      }
      if (v->isNull())
        raise(6530);
      if (v->t != VType::Record || !v->rec)
        raise(6502);
      v = &v->rec->fields[static_cast<size_t>(p.field)];
    } else {
      v = element(*v, *p.index, f, write);
    }
  }
  return v;
}

Value *Interp::element(Value &v, const Expr &index, Frame &f, bool write) {
  if (v.t != VType::Table || !v.tab) {
    // An atomically NULL nested table or VARRAY: its elements are not there to read or write.
    if (v.isNull())
      raise(6531);
    raise(6502);
  }
  PlTable &t = *v.tab;
  const TypeDecl *td = t.type;
  if (td && td->stringKey) {
    Value k = toText(eval(index, f), dateFormat());
    if (k.isNull())
      raiseValueError("NULL index table key value");
    if (td->keyType.length > 0 && static_cast<int>(k.s.size()) > td->keyType.length)
      raiseValueError("character string buffer too small");
    auto it = t.named.find(k.s);
    if (it == t.named.end()) {
      if (!write)
        raise(1403);
      it = t.named.emplace(std::move(k.s), initial(td->elementType, f)).first;
    }
    return &it->second;
  }
  const bool dense = isDenseCollection(td);
  int32_t k = subscript(index, f, write || dense ? 6502 : 1403, dense);
  if (dense) {
    if (k < 1 || (td->collection == TypeDecl::Varray && k > td->limit))
      raise(6532);
    if (k > t.size)
      raise(6533);
  }
  auto it = t.elements.find(k);
  if (it == t.elements.end()) {
    if (!write)
      raise(1403);
    it = t.elements.emplace(k, td ? initial(td->elementType, f) : Value()).first;
  }
  return &it->second;
}

void Interp::assign(const Expr &target, Frame &f, const Value &v) {
  if (target.kind == EKind::Bind) {
    Value &dst = lvalue(target, f);
    dst = v;
    return;
  }
  Value &dst = lvalue(target, f);
  if (target.type.kind == VType::Record && v.t == VType::Record && dst.rec && v.rec &&
      dst.rec->type != v.rec->type) {
    // Records of the same shape assign field by field.
    for (size_t i = 0; i < dst.rec->fields.size() && i < v.rec->fields.size(); ++i) {
      const Type &ft = dst.rec->type ? dst.rec->type->fields[i].type : Type();
      dst.rec->fields[i] = coerce(v.rec->fields[i], ft, dateFormat());
    }
    return;
  }
  dst = coerce(v, target.type, dateFormat());
}

PackageState &Interp::package(const Unit *spec) {
  std::string key = spec->owner + "." + spec->name;
  auto it = FState.packages.find(key);
  if (it != FState.packages.end()) {
    PackageState &old = it->second;
    bool specChanged = old.spec != spec, bodyChanged = false;
    if (!specChanged && old.checked != FState.generation && FState.bodyOf) {
      std::shared_ptr<const void> keep;
      try {
        bodyChanged = FState.bodyOf(spec, keep) != old.body;
      } catch (const PlsqlError &) {
        bodyChanged = true; // the body no longer compiles: instantiating says so
      }
    }
    if (!specChanged && !bodyChanged) {
      old.checked = FState.generation;
      return old;
    }
    // Replaced or recompiled since this logon instantiated it: when it had variables or
    // cursors, the logon's package state is discarded, all of it as Oracle does, and the
    // caller learns so once.
    auto stateful = [](const Unit *u) {
      if (u)
        for (const Decl &d : u->decls)
          if (d.kind == Decl::Var || d.kind == Decl::Cursor)
            return true;
      return false;
    };
    bool hadState = stateful(old.spec) || stateful(old.body);
    FState.packages.erase(it);
    if (hadState) {
      FState.packages.clear();
      std::string what = std::string(specChanged ? "package" : "package body") + " \"" + key + "\"";
      throw fromOra(OraError{4068,
                             oraMessage(4068) + "\n" + oraErrorArg(4061, what).message + "\n" +
                                 oraErrorArg(4065, what).message + "\n" + oraMessage(6508),
                             -1});
    }
  }
  // First use in this logon: the state is created and initialised (specification, then body).
  PackageState &ps = FState.packages[key];
  ps.spec = spec;
  std::shared_ptr<const void> keep;
  ps.body = FState.bodyOf ? FState.bodyOf(spec, keep) : nullptr;
  ps.keep = keep;
  ps.slots.resize(static_cast<size_t>(ps.body ? ps.body->frameSize : spec->frameSize));
  try {
    Frame f;
    f.unit = ps.body ? ps.body : spec;
    elaborate(spec->decls, f);
    if (ps.body) {
      elaborate(ps.body->decls, f);
      if (ps.body->init) {
        Frame init;
        init.unit = ps.body;
        init.slots.resize(static_cast<size_t>(ps.body->init->endPos));
        execBlock(*ps.body->init, init);
      }
    }
  } catch (PlsqlError &e) {
    FState.packages.erase(key);
    throw;
  }
  PackageState &made = FState.packages[key];
  made.checked = FState.generation;
  return made;
}

// A fresh value of a type: a record's fields take the initial values its type declares.
Value Interp::initial(const Type &t, Frame &f) {
  Value v = initialValue(t);
  if (t.kind == VType::Record && t.decl && t.decl->hasDefaults)
    fillDefaults(*v.rec, f);
  return v;
}

void Interp::fillDefaults(Record &r, Frame &f) {
  for (size_t i = 0; i < r.fields.size(); ++i) {
    const RecordField &fd = r.type->fields[i];
    if (fd.init)
      r.fields[i] = coerce(eval(*fd.init, f), fd.type, dateFormat());
    else if (fd.type.kind == VType::Record && fd.type.decl && fd.type.decl->hasDefaults)
      fillDefaults(*r.fields[i].rec, f);
  }
}

// ---------------------------------------------------------------- expressions

int Interp::compareAs(const Expr &e, const Value &a, const Value &b) {
  if (e.blankPadded && a.t == VType::Char && b.t == VType::Char)
    return compareBlankPadded(a.s, b.s);
  return compareValues(a, b, dateFormat());
}

bool Interp::truth(const Expr &e, Frame &f, bool &isNull) {
  Value v = eval(e, f);
  isNull = v.t != VType::Boolean;
  return !isNull && v.b;
}

Value Interp::eval(const Expr &e, Frame &f) {
  checkStack();
  switch (e.kind) {
  case EKind::Null:
    return Value();
  case EKind::Number: {
    auto n = parseNumber(e.text);
    return n ? Value::number(*n) : Value();
  }
  case EKind::String:
    return Value::text(e.text);
  case EKind::Boolean:
    return Value::boolean(e.ival != 0);
  case EKind::Bind:
    return FHost->values[static_cast<size_t>(e.ival)];
  case EKind::Var:
    if (e.path.empty() && e.slot.where == Slot::Frame && e.slot.level == f.level)
      return f.slots[static_cast<size_t>(e.slot.index)];
    return evalPath(e, f);
  case EKind::Unary:
    return evalUnary(e, f);
  case EKind::Binary:
    return evalBinary(e, f);
  case EKind::IsNull: {
    Value a = eval(*e.operands[0], f);
    return Value::boolean(a.isNull() != e.negated);
  }
  case EKind::Like:
    return evalLike(e, f);
  case EKind::Between:
    return evalBetween(e, f);
  case EKind::In:
    return evalIn(e, f);
  case EKind::Attribute:
    return evalAttribute(e, f);
  case EKind::Call:
    return call(e, f);
  case EKind::Builtin: {
    // RPAD, REPLACE and the like may make text longer than PL/SQL holds.
    Value v = builtin(e, f);
    fitString(v);
    return v;
  }
  case EKind::Collection:
    return collection(e, f);
  case EKind::Case:
    return evalCase(e, f);
  case EKind::Sqlcode:
    return evalSqlcode(f);
  case EKind::Sqlerrm:
    return evalSqlerrm(e, f);
  default:
    raise(6502);
  }
}

// CASE expression: the first WHEN that holds (or equals the selector, NULL never equal) gives
// its result; none, and no ELSE, is NULL.
Value Interp::evalCase(const Expr &e, Frame &f) {
  size_t first = e.caseSelector ? 1 : 0;
  size_t results = e.operands.size() - (e.caseElse ? 1 : 0);
  const Value selector = e.caseSelector ? eval(*e.operands[0], f) : Value();
  for (size_t i = first; i + 1 < results; i += 2)
    if (whenHolds(e.caseSelector ? &selector : nullptr, *e.operands[i], f))
      return eval(*e.operands[i + 1], f);
  return e.caseElse ? eval(*e.operands.back(), f) : Value();
}

// A WHEN of CASE: a value equal to the selector (NULL equals nothing), or without a selector a
// condition that holds.
bool Interp::whenHolds(const Value *selector, const Expr &when, Frame &f) {
  if (!selector) {
    bool isNull;
    return truth(when, f, isNull);
  }
  Value w = eval(when, f);
  return !selector->isNull() && !w.isNull() && compareValues(*selector, w, dateFormat()) == 0;
}

// A variable with fields or subscripts, or one of an enclosing frame.
Value Interp::evalPath(const Expr &e, Frame &f) { return *place(e, f, false); }

Value Interp::evalUnary(const Expr &e, Frame &f) {
  if (e.op == Op::Not) {
    Value a = eval(*e.operands[0], f);
    if (a.t != VType::Boolean)
      return Value();
    return Value::boolean(!a.b);
  }
  Value a = toNumber(eval(*e.operands[0], f));
  if (a.isNull() || e.op == Op::Plus)
    return a;
  return Value::number(negateNumber(a.n));
}

Value Interp::evalBinary(const Expr &e, Frame &f) {
  switch (e.op) {
  case Op::And:
  case Op::Or:
    return evalLogical(e, f);
  case Op::Eq:
  case Op::Ne:
  case Op::Lt:
  case Op::Gt:
  case Op::Le:
  case Op::Ge:
    return evalComparison(e, f);
  default:
    break;
  }
  Value a = eval(*e.operands[0], f);
  Value b = eval(*e.operands[1], f);
  if (e.op == Op::Concat) {
    // NULL is the empty string in concatenation.
    return concat(a, b, dateFormat());
  }
  if (e.op == Op::Add && a.t == VType::Number && b.t == VType::Number && a.n.isInt && b.n.isInt) {
    int64_t r;
    if (!__builtin_add_overflow(a.n.i, b.n.i, &r))
      return Value::integer(r);
  }
  return arith(e.op, a, b, dateFormat());
}

// AND and OR by three-valued logic: FALSE AND NULL is FALSE, TRUE OR NULL is TRUE; the right side
// is not evaluated when the left decides.
Value Interp::evalLogical(const Expr &e, Frame &f) {
  bool decides = e.op == Op::Or;
  Value a = eval(*e.operands[0], f);
  if (a.t == VType::Boolean && a.b == decides)
    return a;
  Value b = eval(*e.operands[1], f);
  if (b.t == VType::Boolean && b.b == decides)
    return b;
  if (a.t == VType::Boolean && b.t == VType::Boolean)
    return Value::boolean(!decides);
  return Value();
}

Value Interp::evalComparison(const Expr &e, Frame &f) {
  Value a = eval(*e.operands[0], f);
  Value b = eval(*e.operands[1], f);
  if (a.isNull() || b.isNull())
    return Value();
  if (a.t == VType::Table && b.t == VType::Table && a.tab && b.tab) {
    // Nested tables are equal when they hold the same elements as many times, in any order;
    // a NULL element makes the answer NULL.
    std::vector<const Value *> x, y;
    for (const auto &[k, v] : a.tab->elements)
      x.push_back(&v);
    for (const auto &[k, v] : b.tab->elements)
      y.push_back(&v);
    for (const auto *list : {&x, &y})
      for (const Value *v : *list)
        if (v->isNull())
          return Value();
    bool same = x.size() == y.size();
    if (same) {
      auto less = [&](const Value *p, const Value *q) {
        return compareValues(*p, *q, dateFormat()) < 0;
      };
      std::sort(x.begin(), x.end(), less);
      std::sort(y.begin(), y.end(), less);
      for (size_t i = 0; same && i < x.size(); ++i)
        same = compareValues(*x[i], *y[i], dateFormat()) == 0;
    }
    return Value::boolean(same == (e.op == Op::Eq));
  }
  int c = e.blankPadded && a.t == VType::Char && b.t == VType::Char
              ? compareBlankPadded(a.s, b.s)
              : compareValues(a, b, dateFormat());
  bool r = e.op == Op::Eq   ? c == 0
           : e.op == Op::Ne ? c != 0
           : e.op == Op::Lt ? c < 0
           : e.op == Op::Gt ? c > 0
           : e.op == Op::Le ? c <= 0
                            : c >= 0;
  return Value::boolean(r);
}

Value Interp::evalLike(const Expr &e, Frame &f) {
  Value a = toText(eval(*e.operands[0], f), dateFormat());
  Value p = toText(eval(*e.operands[1], f), dateFormat());
  if (a.isNull() || p.isNull())
    return Value();
  char esc = 0;
  if (e.operands.size() > 2) {
    Value x = toText(eval(*e.operands[2], f), dateFormat());
    if (x.s.size() != 1)
      raise(1425);
    esc = x.s[0];
  }
  // % and _ matching, with an escape character.
  const std::string &s = a.s, &pat = p.s;
  std::function<bool(size_t, size_t)> match = [&](size_t i, size_t j) -> bool {
    while (j < pat.size()) {
      char c = pat[j];
      if (esc && c == esc && j + 1 < pat.size()) {
        if (i >= s.size() || s[i] != pat[j + 1])
          return false;
        ++i;
        j += 2;
        continue;
      }
      if (c == '%') {
        for (size_t k = i; k <= s.size(); ++k)
          if (match(k, j + 1))
            return true;
        return false;
      }
      if (i >= s.size() || (c != '_' && s[i] != c))
        return false;
      ++i;
      ++j;
    }
    return i == s.size();
  };
  return Value::boolean(match(0, 0) != e.negated);
}

Value Interp::evalBetween(const Expr &e, Frame &f) {
  Value a = eval(*e.operands[0], f);
  Value lo = eval(*e.operands[1], f);
  Value hi = eval(*e.operands[2], f);
  // a >= lo AND a <= hi: a bound that fails decides even when the other is NULL.
  if (a.isNull())
    return Value();
  if ((!lo.isNull() && compareAs(e, a, lo) < 0) || (!hi.isNull() && compareAs(e, a, hi) > 0))
    return Value::boolean(e.negated);
  if (lo.isNull() || hi.isNull())
    return Value();
  return Value::boolean(!e.negated);
}

Value Interp::evalIn(const Expr &e, Frame &f) {
  Value a = eval(*e.operands[0], f);
  if (a.isNull())
    return Value();
  bool sawNull = false;
  for (size_t i = 1; i < e.operands.size(); ++i) {
    Value b = eval(*e.operands[i], f);
    if (b.isNull()) {
      sawNull = true;
      continue;
    }
    if (compareAs(e, a, b) == 0)
      return Value::boolean(!e.negated);
  }
  if (sawNull)
    return Value();
  return Value::boolean(e.negated);
}

Value Interp::evalAttribute(const Expr &e, Frame &f) {
  int found;
  int64_t count;
  bool open;
  if (e.text == "BULK_ROWCOUNT" || e.text == "BULK_EXCEPTIONS") {
    if (e.operands.size() < 2)
      return Value::integer(static_cast<int64_t>(FBulkErrors.size()));
    Value i = toNumber(eval(*e.operands[1], f));
    if (i.isNull())
      raise(1403);
    int64_t k = clampToInt(roundNumber(i.n, 0), INT64_C(1) << 40);
    if (e.text == "BULK_ROWCOUNT") {
      auto it = std::lower_bound(FBulkRowCount.begin(), FBulkRowCount.end(),
                                 std::make_pair(k, INT64_MIN));
      if (it == FBulkRowCount.end() || it->first != k)
        raise(1403);
      return Value::integer(it->second);
    }
    if (k < 1 || k > static_cast<int64_t>(FBulkErrors.size()))
      raise(1403);
    const auto &err = FBulkErrors[static_cast<size_t>(k - 1)];
    return Value::integer(e.names[0] == "ERROR_INDEX" ? err.first : err.second);
  }
  if (e.implicitCursor) {
    found = FSqlFound;
    count = FSqlRowCount;
    open = false;
  } else {
    CursorState &c = cursorOf(*e.operands[0], f);
    if (!c.isOpen && e.text != "ISOPEN")
      raise(1001);
    if (e.text == "ROWID") {
      // WHERE CURRENT OF: the row fetched last, none before the first fetch and after the end;
      // a join's row is no one table's.
      if (c.rowid < 0)
        raise(c.found == 1 ? 1410 : 1403);
      return Value::integer(c.rowid);
    }
    found = c.found;
    count = c.rowCount;
    open = c.isOpen;
  }
  if (e.text == "ISOPEN")
    return Value::boolean(open);
  if (e.text == "ROWCOUNT")
    return e.implicitCursor && found < 0 ? Value() : Value::integer(count);
  if (found < 0)
    return Value();
  return Value::boolean(e.text == "FOUND" ? found == 1 : found == 0);
}

Value Interp::evalSqlcode(Frame &f) {
  const PlsqlError *x = f.handling;
  if (!x)
    return Value::integer(0);
  if (x->user && !x->user->bound)
    return Value::integer(1);
  return Value::integer(x->code == 1403 ? 100 : -x->code);
}

Value Interp::evalSqlerrm(const Expr &e, Frame &f) {
  if (!e.operands.empty()) {
    Value c = toNumber(eval(*e.operands[0], f));
    int code = c.isNull() ? 0 : static_cast<int>(clampToInt(c.n, 1000000000));
    if (code == 0)
      return Value::text("ORA-0000: normal, successful completion");
    if (code == 1)
      return Value::text("User-Defined Exception");
    if (code == 100)
      return Value::text(oraMessage(1403));
    if (code > 0)
      return Value::text("-" + std::to_string(code) + ": non-ORACLE exception ");
    return Value::text(messageOf(-code));
  }
  const PlsqlError *x = f.handling;
  if (!x)
    return Value::text("ORA-0000: normal, successful completion");
  if (x->user && !x->user->bound)
    return Value::text("User-Defined Exception");
  return Value::text(x->message);
}

CursorState &Interp::cursorOf(const Expr &e, Frame &f) {
  Value &v = e.cursor ? slotRef(e.cursor->where, f) : lvalue(e, f);
  if (!v.cur) {
    if (e.cursor) {
      v.t = VType::Cursor;
      v.cur = std::make_shared<CursorState>();
      v.cur->session = &FSession;
    } else {
      raise(1001);
    }
  }
  return *v.cur;
}

Value Interp::collection(const Expr &e, Frame &f) {
  const bool changes =
      e.builtin == BiTableDelete || e.builtin == BiTableExtend || e.builtin == BiTableTrim;
  Value &t = *place(*e.operands[0], f, changes);
  const TypeDecl *td = e.operands[0]->type.decl;
  if (t.t != VType::Table || !t.tab) {
    // A NULL nested table or VARRAY: only EXISTS answers (FALSE).
    if (!t.isNull())
      raise(6502);
    if (e.builtin == BiTableExists)
      return Value::boolean(false);
    raise(6531);
  }
  PlTable &tab = *t.tab;
  if (e.builtin == BiTableLimit)
    return td && td->collection == TypeDecl::Varray ? Value::integer(td->limit) : Value();
  if (td && td->stringKey) {
    auto &m = tab.named;
    auto key = [&](size_t k) -> std::optional<std::string> {
      Value v = toText(eval(*e.operands[k], f), dateFormat());
      if (v.isNull())
        return std::nullopt;
      return v.s;
    };
    switch (e.builtin) {
    case BiTableCount:
      return Value::integer(static_cast<int64_t>(m.size()));
    case BiTableFirst:
      return m.empty() ? Value() : Value::text(m.begin()->first);
    case BiTableLast:
      return m.empty() ? Value() : Value::text(m.rbegin()->first);
    case BiTableNext: {
      auto k = key(1);
      auto it = k ? m.upper_bound(*k) : m.end();
      return it == m.end() ? Value() : Value::text(it->first);
    }
    case BiTablePrior: {
      auto k = key(1);
      auto it = k ? m.lower_bound(*k) : m.begin();
      return it == m.begin() ? Value() : Value::text(std::prev(it)->first);
    }
    case BiTableExists: {
      auto k = key(1);
      return Value::boolean(k && m.count(*k) > 0);
    }
    case BiTableDelete:
      if (e.operands.size() == 1) {
        m.clear();
      } else if (e.operands.size() == 2) {
        if (auto k = key(1))
          m.erase(*k);
      } else {
        auto a = key(1), b = key(2);
        if (a && b && *a <= *b)
          m.erase(m.lower_bound(*a), m.upper_bound(*b));
      }
      return Value();
    default:
      raise(6502);
    }
  }
  auto &m = tab.elements;
  auto index = [&](size_t k) -> std::optional<int32_t> {
    Value v = toNumber(eval(*e.operands[k], f));
    if (v.isNull())
      return std::nullopt;
    return static_cast<int32_t>(clampToInt(roundNumber(v.n, 0), 2147483647));
  };
  // EXTEND(n) / TRIM(n): n elements, one without it; a NULL or negative n is outside the limit.
  auto howMany = [&]() -> int64_t {
    if (e.operands.size() < 2)
      return 1;
    auto n = index(1);
    if (!n || *n < 0)
      raise(6532);
    return *n;
  };
  switch (e.builtin) {
  case BiTableCount:
    return Value::integer(static_cast<int64_t>(m.size()));
  case BiTableFirst:
    return m.empty() ? Value() : Value::integer(m.begin()->first);
  case BiTableLast:
    return m.empty() ? Value() : Value::integer(m.rbegin()->first);
  case BiTableNext: {
    auto i = index(1);
    if (!i)
      return Value();
    auto it = m.upper_bound(*i);
    return it == m.end() ? Value() : Value::integer(it->first);
  }
  case BiTablePrior: {
    auto i = index(1);
    if (!i)
      return Value();
    auto it = m.lower_bound(*i);
    if (it == m.begin())
      return Value();
    --it;
    return Value::integer(it->first);
  }
  case BiTableExists: {
    auto i = index(1);
    return Value::boolean(i && m.count(*i) > 0);
  }
  case BiTableDelete:
    if (e.operands.size() == 1) {
      m.clear();
      tab.size = 0;
    } else if (e.operands.size() == 2) {
      if (auto i = index(1))
        m.erase(*i);
    } else {
      auto a = index(1), b = index(2);
      if (a && b && *a <= *b)
        m.erase(m.lower_bound(*a), m.upper_bound(*b));
    }
    return Value();
  case BiTableExtend: {
    int64_t n = howMany();
    const int64_t most = td && td->collection == TypeDecl::Varray ? td->limit : 2147483647;
    if (tab.size + n > most)
      raise(6532);
    if (tab.size + n > kMaxCollectionElements)
      raise(6500);
    // EXTEND(n, i): copies of element i; otherwise NULL elements (records of NULL fields).
    Value fill = e.operands.size() > 2 ? deepCopy(*element(t, *e.operands[2], f, false))
                 : td                  ? initial(td->elementType, f)
                                       : Value();
    for (int64_t k = 0; k < n; ++k) {
      if ((k & 1023) == 1023)
        checkBreak();
      m.emplace_hint(m.end(), ++tab.size, deepCopy(fill));
    }
    return Value();
  }
  case BiTableTrim: {
    int64_t n = howMany();
    if (n > tab.size)
      raise(6533);
    tab.size -= static_cast<int32_t>(n);
    m.erase(m.upper_bound(tab.size), m.end());
    return Value();
  }
  default:
    raise(6502);
  }
}

// The multiset operators and conditions: elements compare as values (NULL elements alike), a
// NULL collection makes the answer NULL.
Value Interp::multiset(const Expr &e, Frame &f) {
  const std::string &op = e.text;
  const bool member = op == "MEMBER OF";
  std::vector<Value> vals;
  for (const ExprPtr &o : e.operands)
    vals.push_back(eval(*o, f));
  for (size_t i = member ? 1 : 0; i < vals.size(); ++i)
    if (vals[i].t != VType::Table || !vals[i].tab)
      return Value();
  auto less = [&](const Value *p, const Value *q) {
    if (p->isNull() || q->isNull())
      return p->isNull() && !q->isNull();
    return compareValues(*p, *q, dateFormat()) < 0;
  };
  using Counts = std::map<const Value *, int64_t, decltype(less)>;
  auto counts = [&](const Value &c) {
    Counts m(less);
    for (const auto &[k, v] : c.tab->elements)
      ++m[&v];
    return m;
  };
  const std::map<int32_t, Value> &a = vals[member ? 1 : 0].tab->elements;
  if (op == "CARDINALITY")
    return Value::integer(static_cast<int64_t>(a.size()));
  if (op == "IS EMPTY")
    return Value::boolean(a.empty());
  if (op == "IS A SET") {
    Counts m = counts(vals[0]);
    return Value::boolean(m.size() == a.size());
  }
  if (member) {
    if (vals[0].isNull())
      return Value();
    bool nulls = false;
    for (const auto &[k, v] : a) {
      if (v.isNull())
        nulls = true;
      else if (compareValues(vals[0], v, dateFormat()) == 0)
        return Value::boolean(true);
    }
    return nulls ? Value() : Value::boolean(false);
  }
  Counts other = counts(vals[1]);
  if (op == "SUBMULTISET OF") {
    Counts mine = counts(vals[0]);
    for (const auto &[v, n] : mine) {
      auto it = other.find(v);
      if (it == other.end() || it->second < n)
        return Value::boolean(false);
    }
    return Value::boolean(true);
  }
  // MULTISET UNION / INTERSECT / EXCEPT [DISTINCT]: a new nested table, a's order first.
  const bool distinct = op.size() > 9 && op.compare(op.size() - 9, 9, " DISTINCT") == 0;
  const bool unite = op.compare(0, 14, "MULTISET UNION") == 0;
  const bool intersect = op.compare(0, 18, "MULTISET INTERSECT") == 0;
  Value r = emptyCollection(e.type.decl);
  Counts seen(less);
  auto add = [&](const Value &v) {
    if (distinct && seen[&v]++ > 0)
      return;
    if (r.tab->size >= kMaxCollectionElements)
      raise(6500);
    r.tab->elements.emplace_hint(r.tab->elements.end(), ++r.tab->size, v);
  };
  for (const auto &[k, v] : a) {
    if (unite) {
      add(v);
      continue;
    }
    auto it = other.find(&v);
    bool inOther = it != other.end() && it->second > 0;
    // Each of b's elements matches one of a's; EXCEPT DISTINCT drops whatever b has at all.
    if (inOther && !(distinct && !intersect))
      --it->second;
    if (inOther == intersect)
      add(v);
  }
  if (unite)
    for (const auto &[k, v] : vals[1].tab->elements)
      add(v);
  return r;
}

// t(a, b, ...): a nested table or VARRAY of these elements, 1 .. n.
Value Interp::construct(const Expr &e, Frame &f) {
  const TypeDecl *td = e.type.decl;
  if (isObjectType(td)) {
    // An object of these attribute values, in the attributes' order.
    Value v;
    v.t = VType::Record;
    v.rec = std::make_shared<Record>();
    v.rec->type = td;
    for (size_t i = 0; i < e.operands.size(); ++i)
      v.rec->fields.push_back(coerce(eval(*e.operands[i], f), td->fields[i].type, dateFormat()));
    return v;
  }
  if (td->collection == TypeDecl::Varray && static_cast<int64_t>(e.operands.size()) > td->limit)
    raise(6532);
  Value v = emptyCollection(td);
  for (const ExprPtr &o : e.operands)
    v.tab->elements.emplace_hint(v.tab->elements.end(), ++v.tab->size,
                                 coerce(eval(*o, f), td->elementType, dateFormat()));
  return v;
}

Value Interp::builtin(const Expr &e, Frame &f) {
  switch (e.builtin) {
  case BiConstruct:
    return construct(e, f);
  case BiMultiset:
    return multiset(e, f);
  case BiSqlFunction: {
    sqlite3_stmt *st = FSession.takeStatement(e.sqlText);
    StatementLease lease{FSession, st};
    for (size_t i = 0; i < e.operands.size(); ++i)
      bindParam(st, static_cast<int>(i + 1), eval(*e.operands[i], f));
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW) {
      OraError err = stepFailure(FSession.db(), rc);
      sqlite3_reset(st);
      // PL/SQL's own conversions of text to numbers fail with VALUE_ERROR, not SQL's error.
      if (err.code == 1722)
        raiseValueError("character to number conversion error");
      throw fromOra(err);
    }
    Value v = e.type.kind == VType::Boolean ? (sqlite3_column_type(st, 0) == SQLITE_NULL
                                                   ? Value()
                                                   : Value::boolean(sqlite3_column_int(st, 0) != 0))
                                            : columnValue(st, 0, sqlTypeFor(e.type));
    sqlite3_reset(st);
    return v;
  }
  case BiSysdate: {
    Value v;
    v.t = VType::Date;
    v.s = storeDate(nowDate());
    return v;
  }
  case BiInserting:
    return Value::boolean(FTriggerEvent == 1);
  case BiUpdating:
    return Value::boolean(FTriggerEvent == 2);
  case BiDeleting:
    return Value::boolean(FTriggerEvent == 3);
  case BiUser:
    return Value::text(FSession.user());
  case BiNvl: {
    Value a = eval(*e.operands[0], f);
    return a.isNull() ? eval(*e.operands[1], f) : a;
  }
  case BiRaiseApplicationError: {
    Value n = toNumber(eval(*e.operands[0], f));
    Value m = toText(eval(*e.operands[1], f), dateFormat());
    int64_t code = n.isNull() ? 0 : clampToInt(n.n, INT64_C(1000000000000));
    if (code > -20000 || code < -20999)
      raise(21000, "error number argument to raise_application_error of " + std::to_string(code) +
                       " is out of range");
    PlsqlError err;
    err.code = static_cast<int>(-code);
    std::string text = m.s.substr(0, 2048);
    err.message = "ORA-" + std::to_string(-code) + ": " + text;
    throw err;
  }
  case BiPutLine:
  case BiPut: {
    Value v = toText(eval(*e.operands[0], f), dateFormat());
    if (e.builtin == BiPutLine)
      FState.output.putLine(v.s);
    else
      FState.output.put(v.s);
    return Value();
  }
  case BiNewLine:
    FState.output.newLine();
    return Value();
  case BiGetTime: {
    // Hundredths of a second from an arbitrary point, wrapping as Oracle's does.
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return Value::integer(std::chrono::duration_cast<std::chrono::milliseconds>(now).count() / 10 %
                          INT64_C(2147483647));
  }
  case BiFormatErrorStack:
  case BiFormatErrorBacktrace: {
    // The error being handled (its message, or the lines that say where it was raised).
    const PlsqlError *x = f.handling;
    if (!x)
      return Value();
    std::string text;
    if (e.builtin == BiFormatErrorStack) {
      text = (x->user && !x->user->bound ? oraMessage(6510) : x->message) + "\n";
    } else {
      for (const std::string &line : x->trace)
        text += line + "\n";
    }
    return Value::text(text);
  }
  case BiFormatCallStack:
    return Value::text(
        "----- PL/SQL Call Stack -----\n  object      line  object\n  handle    number  "
        "name\n0x0         " +
        std::to_string(f.line) + "  anonymous block\n");
  case BiSleep: {
    Value v = toNumber(eval(*e.operands[0], f));
    if (v.isNull())
      raise(6502);
    double seconds = v.n.toDouble();
    if (!(seconds >= 0 && seconds <= 1000000))
      raise(6502);
    // In steps, so a break of the caller ends it.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                       std::chrono::duration<double>(seconds));
    for (Clock::time_point now = Clock::now(); now < until; now = Clock::now()) {
      checkBreak();
      std::this_thread::sleep_for(
          std::min<Clock::duration>(until - now, std::chrono::milliseconds(50)));
    }
    return Value();
  }
  case BiEnable: {
    long size = packages::DbmsOutput::kDefaultSize;
    if (!e.operands.empty()) {
      Value v = toNumber(eval(*e.operands[0], f));
      if (!v.isNull())
        size = static_cast<long>(std::clamp<int64_t>(clampToInt(v.n), 0, 1000000000));
    }
    FState.output.enable(size);
    return Value();
  }
  case BiDisable:
    FState.output.disable();
    return Value();
  case BiLobMember: {
    size_t dot = e.text.find('.');
    const packages::LobMember *m =
        packages::findLobMember(e.text.substr(0, dot), e.text.substr(dot + 1));
    // A CLOB or BLOB variable the member writes is moved out and back, not copied, so an APPEND
    // in a loop costs the piece it adds rather than the whole LOB each time.
    size_t n = e.operands.size();
    std::vector<Value> args(n);
    std::vector<Value *> inPlace(n, nullptr);
    auto movable = [&](size_t i) {
      return (m->written & (1u << i)) && e.operands[i]->kind == EKind::Var &&
             isLob(e.operands[i]->type.sqlType);
    };
    for (size_t i = 0; i < n; ++i)
      if (!movable(i))
        args[i] = eval(*e.operands[i], f);
    for (size_t i = 0; i < n; ++i)
      if (movable(i)) {
        inPlace[i] = &lvalue(*e.operands[i], f);
        args[i] = std::move(*inPlace[i]);
      }
    auto putBack = [&] {
      for (size_t i = 0; i < n; ++i)
        if (inPlace[i])
          *inPlace[i] = std::move(args[i]);
    };
    bool binary = n > 0 && e.operands[0]->type.sqlType == SqlType::Blob;
    Value result;
    try {
      result = std::strcmp(m->package, "DBMS_SQL") == 0
                   ? packages::callDbmsSql(m->name, args, FSession, FState.dbmsSql)
                   : packages::callLobMember(*m, args, binary, FSession.db());
    } catch (...) {
      putBack();
      throw;
    }
    putBack();
    for (size_t i = 0; i < n; ++i)
      if ((m->written & (1u << i)) && !inPlace[i])
        assign(*e.operands[i], f, args[i]);
    return result;
  }
  case BiGetLine: {
    std::string line;
    bool got = FState.output.getLine(line);
    assign(*e.operands[0], f, got ? Value::text(line) : Value());
    assign(*e.operands[1], f, Value::integer(got ? 0 : 1));
    return Value();
  }
  case BiGetLines: {
    Value want = toNumber(eval(*e.operands[1], f));
    size_t max = want.isNull()
                     ? 0
                     : static_cast<size_t>(std::clamp<int64_t>(clampToInt(want.n), 0, 1000000));
    std::vector<std::string> lines = FState.output.getLines(max);
    Value &t = lvalue(*e.operands[0], f);
    if (t.t != VType::Table || !t.tab)
      raise(6502);
    t.tab->elements.clear();
    for (size_t i = 0; i < lines.size(); ++i)
      t.tab->elements[static_cast<int32_t>(i + 1)] = Value::text(lines[i]);
    t.tab->size = static_cast<int32_t>(lines.size()); // a nested table's count
    assign(*e.operands[1], f, Value::integer(static_cast<int64_t>(lines.size())));
    return Value();
  }
  default:
    raise(6502);
  }
}

// ---------------------------------------------------------------- calls

Value Interp::call(const Expr &e, Frame &f) { return invoke(*e.callee, &e, nullptr, f); }

Value Interp::invoke(const Subprogram &declared, const Expr *site, std::vector<Value> *direct,
                     Frame &caller) {
  checkBreak();
  const Subprogram *sp = &declared;
  std::shared_ptr<const void> keepBody;
  if (!sp->body) {
    if (sp->definition) {
      sp = sp->definition;
    } else if (sp->unit && sp->unit->kind == UnitKind::Type) {
      // A method of an object type: its definition in the type body.
      const Unit *body = FState.bodyOf ? FState.bodyOf(sp->unit, keepBody) : nullptr;
      if (!body)
        throw fromOra(OraError{4067,
                               oraErrorArg(4067, "type body " + unitLabel(sp->unit)).message +
                                   "\n" + oraMessage(6508),
                               -1});
      for (auto &d : body->definitions)
        if (d.first == sp)
          sp = d.second;
    } else if (sp->unit && sp->unit->kind == UnitKind::Package) {
      // A package member: its body, found through the package's state.
      PackageState &ps = package(sp->unit);
      if (!ps.body)
        throw fromOra(OraError{4067,
                               oraErrorArg(4067, "package body " + unitLabel(sp->unit)).message +
                                   "\n" + oraMessage(6508),
                               -1});
      const Subprogram *def = nullptr;
      for (auto &d : ps.body->definitions)
        if (d.first == sp)
          def = d.second;
      if (!def)
        raise(6508);
      sp = def;
    }
  }
  if (!sp->body)
    raise(6508);
  if (FState.depth >= kMaxCallDepth)
    raise(6500);
  checkStack();
  struct DepthGuard {
    int &d;
    ~DepthGuard() { --d; }
  } guard{++FState.depth};

  Frame f;
  f.unit = sp->unit;
  f.level = sp->level;
  f.slots.resize(static_cast<size_t>(sp->frameSize));
  if (sp->level > 0) {
    Frame *p = &caller;
    while (p && p->level >= sp->level)
      p = p->link;
    f.link = p;
  }
  f.trigNew = caller.trigNew;
  f.trigOld = caller.trigOld;
  // Parameters: IN values, OUT fresh, IN OUT copies.
  for (size_t k = 0; k < sp->params.size(); ++k) {
    const Param &p = sp->params[k];
    const Expr *actual = site ? site->actuals[k] : nullptr;
    Value v;
    if (direct) {
      if (k < direct->size())
        v = (*direct)[k];
      else if (p.defaultValue)
        v = eval(*p.defaultValue, f);
    } else if (p.mode == Param::Out) {
      v = initial(p.type, f);
    } else if (actual) {
      v = eval(*actual, caller);
    } else if (p.defaultValue) {
      v = eval(*p.defaultValue, f);
    } else {
      // The declaration's default (the specification's, for a package member).
      const Param &dp = declared.params[k];
      if (dp.defaultValue)
        v = eval(*dp.defaultValue, f);
    }
    if (k == 0 && sp->method == Subprogram::Constructor) {
      // The object a constructor fills: every attribute NULL.
      v = Value();
      v.t = VType::Record;
      v.rec = std::make_shared<Record>();
      v.rec->type = p.type.decl;
      for (const RecordField &fd : p.type.decl->fields)
        v.rec->fields.push_back(initialValue(fd.type));
    } else if (k == 0 && sp->method == Subprogram::Member && v.isNull()) {
      raise(30625);
    }
    f.slots[static_cast<size_t>(p.slot)] =
        p.mode == Param::Out && !direct ? v : coerce(v, p.type, dateFormat());
  }
  Value result, piped;
  if (sp->pipelined) {
    piped = emptyCollection(sp->returnType.decl);
    f.pipe = &piped;
  }
  try {
    Flow fl = execBlock(*sp->body, f);
    if (sp->pipelined) {
      result = std::move(piped); // its rows, however it ended
    } else if (fl == Flow::Return) {
      result = std::move(FReturn);
      FReturn = Value();
    } else if (sp->isFunction) {
      raise(6503);
    }
  } catch (PlsqlError &err) {
    // Deep recursion would list every level; Oracle's stack is long, ours stops at 32 lines.
    if (err.trace.size() < kMaxTraceLines)
      err.trace.push_back("ORA-06512: at " + unitLabel(sp->unit) + ", line " +
                          std::to_string(f.line));
    throw;
  }
  if (sp->method == Subprogram::Constructor)
    result = f.slots[static_cast<size_t>(sp->params[0].slot)];
  if (sp->isFunction)
    result = coerce(result, sp->returnType, dateFormat());
  // OUT and IN OUT values go back to their actuals.
  if (site)
    for (size_t k = 0; k < sp->params.size(); ++k)
      if (sp->params[k].mode != Param::In && site->actuals[k] &&
          !(k == 0 && sp->method == Subprogram::Constructor))
        assign(*site->actuals[k], caller, f.slots[static_cast<size_t>(sp->params[k].slot)]);
  return result;
}

Value Interp::callFunction(const Subprogram &sp, std::vector<Value> args) {
  Frame top;
  return invoke(sp, nullptr, &args, top);
}

// ---------------------------------------------------------------- statements

void Interp::elaborate(const std::vector<Decl> &decls, Frame &f) {
  for (const Decl &d : decls) {
    switch (d.kind) {
    case Decl::Var: {
      const VarDecl &v = *d.var;
      if (v.where.where == Slot::None)
        break; // not bound (the unit did not compile)
      Value init = v.init ? coerce(eval(*v.init, f), v.type, dateFormat()) : initial(v.type, f);
      slotRef(v.where, f) = std::move(init);
      break;
    }
    case Decl::Cursor: {
      if (d.cursor->where.where == Slot::None)
        break;
      Value &c = slotRef(d.cursor->where, f);
      c.t = VType::Cursor;
      c.cur = std::make_shared<CursorState>();
      c.cur->session = &FSession;
      break;
    }
    default:
      break;
    }
  }
}

} // namespace localdb::plsql

namespace localdb::plsql {

namespace {

bool handles(const Handler &h, const PlsqlError &e) {
  if (h.others)
    return true;
  for (const ExceptionDecl *d : h.user)
    if (d == e.user || (d->bound && d->code == e.code))
      return true;
  bool plainUser = e.user && !e.user->bound;
  if (!plainUser)
    for (int c : h.codes)
      if (c == e.code)
        return true;
  return false;
}

bool hasLabel(const Stmt &s, const std::string &label) {
  for (const std::string &l : s.labels)
    if (l == label)
      return true;
  return false;
}

} // namespace

Interp::Flow Interp::execList(const std::vector<StmtPtr> &list, Frame &f) {
  for (size_t i = 0; i < list.size(); ++i) {
    Flow fl = exec(*list[i], f);
    if (fl == Flow::Normal)
      continue;
    if (fl == Flow::Goto) {
      // A label of this list: continue there (a backward jump polls the break request).
      size_t target = list.size();
      for (size_t k = 0; k < list.size(); ++k)
        if (hasLabel(*list[k], *FGotoLabel))
          target = k;
      if (target == list.size())
        return fl;
      checkBreak();
      FGotoLabel = nullptr;
      i = target - 1;
      continue;
    }
    return fl;
  }
  return Flow::Normal;
}

Interp::Flow Interp::execBlock(const Block &b, Frame &f) {
  // Errors while declarations are elaborated go to the enclosing block, as in Oracle.
  elaborate(b.decls, f);
  if (b.handlers.empty())
    return execList(b.body, f);
  PlsqlError caught;
  try {
    return execList(b.body, f);
  } catch (PlsqlError &e) {
    caught = std::move(e);
  }
  for (const Handler &h : b.handlers) {
    if (!handles(h, caught))
      continue;
    caught.trace.clear();
    const PlsqlError *outer = f.handling;
    f.handling = &caught;
    struct Restore {
      Frame &f;
      const PlsqlError *p;
      ~Restore() { f.handling = p; }
    } restore{f, outer};
    return execList(h.body, f);
  }
  throw caught;
}

Interp::Flow Interp::loopBody(const Stmt &s, Frame &f, bool &stop) {
  stop = false;
  Flow fl = execList(s.body, f);
  if (fl == Flow::Normal)
    return fl;
  if (fl == Flow::Exit && (!FExitLabel || hasLabel(s, *FExitLabel))) {
    FExitLabel = nullptr;
    stop = true;
    return Flow::Normal;
  }
  if (fl == Flow::Continue && (!FExitLabel || hasLabel(s, *FExitLabel))) {
    FExitLabel = nullptr; // the next round of this loop
    return Flow::Normal;
  }
  stop = true;
  return fl;
}

void Interp::checkMutating(const SqlStmt &q) {
  for (const DmlTarget *t : FState.mutating)
    for (const std::string &name : q.tables)
      if (name.size() == t->owner.size() + 1 + t->table.size() &&
          name.compare(0, t->owner.size(), t->owner) == 0 && name[t->owner.size()] == '.' &&
          name.compare(t->owner.size() + 1, std::string::npos, t->table) == 0)
        throw fromOra(oraErrorArg(4091, name));
}

sqlite3_stmt *Interp::prepare(const SqlStmt &q, Frame &f) {
  if (!FState.mutating.empty())
    checkMutating(q);
  sqlite3_stmt *st = FSession.takeStatement(q.sqlite);
  try {
    for (size_t i = 0; i < q.paramOf.size(); ++i)
      bindParam(st, static_cast<int>(i + 1), eval(*q.params[static_cast<size_t>(q.paramOf[i])], f));
  } catch (...) {
    FSession.giveBackStatement(st);
    throw;
  }
  return st;
}

void Interp::fetchRow(CursorState &c, Value &record) {
  if (record.t != VType::Record || !record.rec)
    raise(6502);
  Record &r = *record.rec;
  for (size_t i = 0; i < r.fields.size() && i < c.columnTypes.size(); ++i) {
    Value v = columnValue(c.stmt, static_cast<int>(i), c.columnTypes[i]);
    r.fields[i] = r.type ? coerce(v, r.type->fields[i].type, dateFormat()) : v;
  }
}

bool Interp::nextRow(CursorState &c) {
  // A FOR UPDATE cursor's rows are locked by the transaction it opened in; once that ended
  // the cursor is out of sequence.
  if (c.forUpdate && (!FSession.inTransaction() || FSession.transactionSerial() != c.transaction))
    raise(1002);
  c.rowid = -1;
  if (c.done) {
    c.found = 0;
    return false;
  }
  int rc = sqlite3_step(c.stmt);
  if (rc == SQLITE_DONE) {
    c.done = true;
    c.found = 0;
    return false;
  }
  if (rc != SQLITE_ROW)
    throw fromOra(stepFailure(FSession.db(), rc));
  c.found = 1;
  ++c.rowCount;
  if (c.rowidColumn >= 0)
    c.rowid = sqlite3_column_int64(c.stmt, c.rowidColumn);
  return true;
}

// BULK COLLECT: the target tables, emptied first.
std::vector<Value *> Interp::bulkTargets(const std::vector<ExprPtr> &into, Frame &f) {
  std::vector<Value *> tables;
  for (const auto &t : into) {
    Value &v = lvalue(*t, f);
    if (v.isNull() && isDenseCollection(t->type.decl))
      v = emptyCollection(t->type.decl); // BULK COLLECT initialises a nested table or VARRAY
    if (v.t != VType::Table || !v.tab)
      raise(6502);
    v.tab->elements.clear();
    v.tab->size = 0;
    tables.push_back(&v);
  }
  return tables;
}

// One row of a BULK COLLECT as element n of each table (or a record element of the one).
void Interp::bulkRow(const std::vector<Value *> &tables, sqlite3_stmt *st,
                     const std::vector<SqlType> &types, int32_t n) {
  std::vector<Value> row;
  for (size_t i = 0; i < types.size(); ++i)
    row.push_back(columnValue(st, static_cast<int>(i), types[i]));
  bulkRow(tables, std::move(row), n);
}

namespace {
// Element n of a table filled in ascending order: at the end without a search from the root.
template <class Map> void put(Map &elements, int32_t n, Value v) {
  if (elements.empty() || elements.rbegin()->first < n)
    elements.emplace_hint(elements.end(), n, std::move(v));
  else
    elements[n] = std::move(v);
}
} // namespace

void Interp::bulkRow(const std::vector<Value *> &tables, std::vector<Value> row, int32_t n) {
  for (Value *t : tables) {
    const TypeDecl *d = t->tab->type;
    if (d && d->collection == TypeDecl::Varray && n > d->limit)
      raise(6532);
    t->tab->size = n;
  }
  const TypeDecl *td = tables[0]->tab->type;
  if (tables.size() == 1 && td && td->elementType.kind == VType::Record) {
    Value rec = initialValue(td->elementType);
    if (rec.rec)
      for (size_t i = 0; i < rec.rec->fields.size() && i < row.size(); ++i)
        rec.rec->fields[i] =
            coerce(row[i], rec.rec->type ? rec.rec->type->fields[i].type : Type(), dateFormat());
    put(tables[0]->tab->elements, n, std::move(rec));
    return;
  }
  for (size_t i = 0; i < tables.size() && i < row.size(); ++i) {
    const TypeDecl *t = tables[i]->tab->type;
    put(tables[i]->tab->elements, n, t ? coerce(row[i], t->elementType, dateFormat()) : row[i]);
  }
}

// FETCH ... BULK COLLECT INTO [LIMIT n]: the next rows (at most n); %NOTFOUND once a fetch
// brings fewer than it could.
void Interp::fetchBulk(CursorState &c, const Stmt &s, Frame &f) {
  if (!c.isOpen)
    raise(1001);
  int64_t limit = INT64_MAX;
  if (s.low) {
    Value l = toNumber(eval(*s.low, f));
    if (l.isNull() || l.n.toDouble() < 1)
      raise(6502);
    limit = static_cast<int64_t>(l.n.toDouble());
  }
  std::vector<Value *> tables = bulkTargets(s.into, f);
  int32_t n = 0;
  while (n < limit && nextRow(c))
    bulkRow(tables, c.stmt, c.columnTypes, ++n);
  c.found = n == limit ? 1 : 0;
}

bool Interp::fetchInto(CursorState &c, const std::vector<ExprPtr> &into, Frame &f) {
  if (!c.isOpen)
    raise(1001);
  if (!nextRow(c))
    return false;
  if (into.size() == 1 && into[0]->type.kind == VType::Record) {
    fetchRow(c, lvalue(*into[0], f));
    return true;
  }
  for (size_t i = 0; i < into.size() && i < c.columnTypes.size(); ++i)
    assign(*into[i], f, columnValue(c.stmt, static_cast<int>(i), c.columnTypes[i]));
  return true;
}

void Interp::openCursor(const CursorDecl &c, const std::vector<ExprPtr> &args, Frame &f,
                        CursorState &state) {
  if (state.isOpen)
    raise(6511);
  if (!c.query || !c.query->ok)
    raise(6508);
  for (size_t k = 0; k < c.params.size(); ++k) {
    const Param &p = c.params[k];
    Value v;
    if (k < args.size())
      v = eval(*args[k], f);
    else if (p.defaultValue)
      v = eval(*p.defaultValue, f);
    Slot s = c.where;
    s.index = p.slot;
    slotRef(s, f) = coerce(v, p.type, dateFormat());
  }
  startQuery(*c.query, f, state);
}

void Interp::startQuery(const SqlStmt &q, Frame &f, CursorState &c) {
  // FOR UPDATE locks the rows for this transaction: it starts one.
  if (q.forUpdate)
    FSession.beginWrite();
  c.start(FSession, prepare(q, f));
  c.counters.assign(static_cast<size_t>(q.counters), RownumCounter{});
  for (size_t i = 0; i < c.counters.size(); ++i)
    sqlite3_bind_pointer(c.stmt, static_cast<int>(q.binds.size() + i + 1), &c.counters[i],
                         kRownumPointerType, nullptr);
  c.columnTypes = q.columnTypes;
  c.columnNames = q.columnNames;
  c.columnInfo = q.columnInfo;
  c.isOpen = true;
  c.done = false;
  c.found = -1;
  c.rowCount = 0;
  c.forUpdate = q.forUpdate;
  c.transaction = FSession.transactionSerial();
  c.rowidColumn = q.rowidColumn;
  c.rowid = -1;
}

void Interp::execSql(const Stmt &s, Frame &f) {
  const SqlStmt &q = *s.sql;
  if (!q.ok)
    raise(6550);
  if (q.sqlite.empty()) {
    FSession.beginWrite();
    return;
  }
  if (q.kind != StmtKind::Select)
    FSession.beginWrite();
  if (!q.parts.empty()) {
    execParts(q, f);
    return;
  }
  sqlite3_stmt *st = prepare(q, f);
  StatementLease lease{FSession, st};
  std::vector<RownumCounter> counters(static_cast<size_t>(q.counters));
  for (size_t i = 0; i < counters.size(); ++i)
    sqlite3_bind_pointer(st, static_cast<int>(q.binds.size() + i + 1), &counters[i],
                         kRownumPointerType, nullptr);
  if (q.kind != StmtKind::Select) {
    // RETURNING ... INTO: the changed rows' values, every one into tables under BULK COLLECT,
    // else at most one (more is TOO_MANY_ROWS, and the statement is undone).
    bool returns = !s.into.empty();
    std::vector<Value *> tables;
    if (returns && q.bulkCollect)
      tables = bulkTargets(s.into, f);
    std::vector<Value> row;
    int changes = 0, returned = 0;
    auto change = [&] {
      int rc;
      while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (!returns)
          continue; // a view's check: read to the end, where SQLite counts the changes
        ++returned;
        if (q.bulkCollect)
          bulkRow(tables, st, q.columnTypes, returned);
        else if (returned == 1)
          for (size_t i = 0; i < q.columnTypes.size(); ++i)
            row.push_back(columnValue(st, static_cast<int>(i), q.columnTypes[i]));
      }
      if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        OraError e = stepFailure(FSession.db(), rc);
        sqlite3_reset(st);
        throw fromOra(e);
      }
      changes = changedRows(FSession);
      sqlite3_reset(st);
    };
    bool marked = returns && !q.bulkCollect &&
                  sqlite3_exec(FSession.db(), "SAVEPOINT \"plsql$returning\"", nullptr, nullptr,
                               nullptr) == SQLITE_OK;
    auto endMark = [&](bool undo) {
      if (!marked)
        return;
      marked = false;
      if (undo)
        sqlite3_exec(FSession.db(), "ROLLBACK TO \"plsql$returning\"", nullptr, nullptr, nullptr);
      sqlite3_exec(FSession.db(), "RELEASE \"plsql$returning\"", nullptr, nullptr, nullptr);
    };
    try {
      runWithStatementTriggers(FSession, q.target, std::ref(change));
    } catch (const OraError &e) {
      endMark(true);
      throw fromOra(e); // a statement trigger's failure
    } catch (...) {
      endMark(true);
      throw;
    }
    endMark(returned > 1);
    if (returned > 1 && !q.bulkCollect) {
      FSqlRowCount = 0;
      FSqlFound = 0;
      raise(1422);
    }
    FSqlRowCount = changes;
    FSqlFound = FSqlRowCount > 0;
    if (returns && !q.bulkCollect) {
      row.resize(q.columnTypes.size()); // no row changed: NULLs
      intoTargets(s, f, row);
    }
    return;
  }
  if (q.bulkCollect) {
    // Every row, none being no error.
    struct Reset {
      sqlite3_stmt *st;
      ~Reset() { sqlite3_reset(st); }
    } reset{st};
    std::vector<Value *> tables = bulkTargets(s.into, f);
    int32_t n = 0;
    for (int rc; (rc = sqlite3_step(st)) != SQLITE_DONE;) {
      if (rc != SQLITE_ROW)
        throw fromOra(stepFailure(FSession.db(), rc));
      bulkRow(tables, st, q.columnTypes, ++n);
    }
    FSqlFound = n > 0;
    FSqlRowCount = n;
    return;
  }
  int rc = sqlite3_step(st);
  if (rc == SQLITE_DONE) {
    sqlite3_reset(st);
    FSqlFound = 0;
    FSqlRowCount = 0;
    raise(1403);
  }
  if (rc != SQLITE_ROW) {
    OraError e = stepFailure(FSession.db(), rc);
    sqlite3_reset(st);
    throw fromOra(e);
  }
  std::vector<Value> row;
  for (size_t i = 0; i < q.columnTypes.size(); ++i)
    row.push_back(columnValue(st, static_cast<int>(i), q.columnTypes[i]));
  rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc == SQLITE_ROW) {
    FSqlFound = 1;
    FSqlRowCount = 1; // as Oracle reports it, not the rows the query has
    raise(1422);
  }
  intoTargets(s, f, row);
  FSqlFound = 1;
  FSqlRowCount = 1;
}

// MERGE or a multi-table INSERT: its statements in turn inside one savepoint, so a failing one
// undoes those before it.
void Interp::execParts(const SqlStmt &q, Frame &f) {
  if (!FState.mutating.empty())
    checkMutating(q);
  std::vector<Value> values;
  for (int k : q.paramOf)
    values.push_back(eval(*q.params[static_cast<size_t>(k)], f));
  int64_t rows = runStatementParts(FSession, q.parts, q.target, 0, 1, [&](sqlite3_stmt *st, int) {
    for (size_t i = 0; i < values.size(); ++i)
      bindParam(st, static_cast<int>(i + 1), values[i]);
  });
  FSqlRowCount = rows;
  FSqlFound = rows > 0;
}

void Interp::intoTargets(const Stmt &s, Frame &f, std::vector<Value> &row) {
  if (s.into.size() == 1 && s.into[0]->type.kind == VType::Record) {
    Value &r = lvalue(*s.into[0], f);
    if (r.t != VType::Record || !r.rec)
      raise(6502);
    for (size_t i = 0; i < r.rec->fields.size() && i < row.size(); ++i)
      r.rec->fields[i] =
          r.rec->type ? coerce(row[i], r.rec->type->fields[i].type, dateFormat()) : row[i];
  } else {
    for (size_t i = 0; i < s.into.size() && i < row.size(); ++i)
      assign(*s.into[i], f, row[i]);
  }
}

Interp::Flow Interp::exec(const Stmt &s, Frame &f) {
  f.line = s.line;
  try {
    switch (s.kind) {
    case SKind::Null:
      return Flow::Normal;
    case SKind::Assign:
      execAssign(s, f);
      return Flow::Normal;
    case SKind::Call:
      eval(*s.target, f);
      return Flow::Normal;
    case SKind::If: {
      for (const ElsIf &b : s.branches) {
        bool isNull;
        if (truth(*b.cond, f, isNull))
          return execList(b.body, f);
      }
      return execList(s.elseBody, f);
    }
    case SKind::Loop:
      while (true) {
        checkBreak();
        bool stop;
        Flow fl = loopBody(s, f, stop);
        if (stop)
          return fl;
      }
    case SKind::While:
      while (true) {
        checkBreak();
        bool isNull;
        if (!truth(*s.value, f, isNull))
          return Flow::Normal;
        bool stop;
        Flow fl = loopBody(s, f, stop);
        if (stop)
          return fl;
      }
    case SKind::ForNum:
      return execForNum(s, f);
    case SKind::ForCursor:
      return execForCursor(s, f);
    case SKind::Exit:
    case SKind::Continue:
      if (s.value) {
        bool isNull;
        if (!truth(*s.value, f, isNull))
          return Flow::Normal;
      }
      FExitLabel = s.label.empty() ? nullptr : &s.label;
      return s.kind == SKind::Exit ? Flow::Exit : Flow::Continue;
    case SKind::Case:
      return execCase(s, f);
    case SKind::Dynamic:
      execDynamic(s, f);
      return Flow::Normal;
    case SKind::PipeRow: {
      Value v = eval(*s.value, f);
      if (!f.pipe || f.pipe->t != VType::Table || !f.pipe->tab)
        raise(6531);
      PlTable &rows = *f.pipe->tab;
      const TypeDecl *d = rows.type;
      if (d && d->collection == TypeDecl::Varray && rows.size >= d->limit)
        raise(6532);
      int32_t n = ++rows.size;
      rows.elements.emplace_hint(rows.elements.end(), n,
                                 d ? coerce(v, d->elementType, dateFormat()) : v);
      return Flow::Normal;
    }
    case SKind::Goto:
      FGotoLabel = &s.label;
      return Flow::Goto;
    case SKind::Return:
      if (s.value)
        FReturn = eval(*s.value, f);
      return Flow::Return;
    case SKind::Raise:
      execRaise(s, f);
    case SKind::Block:
      return execBlock(*s.block, f);
    case SKind::Sql:
      execSql(s, f);
      return Flow::Normal;
    case SKind::Commit:
      refuseInTrigger("COMMIT");
      FSession.commit();
      return Flow::Normal;
    case SKind::Rollback:
      refuseInTrigger("ROLLBACK");
      if (s.savepoint.empty())
        FSession.rollback();
      else
        FSession.rollbackTo(s.savepoint);
      return Flow::Normal;
    case SKind::Savepoint:
      refuseInTrigger("SET SAVEPOINT");
      FSession.savepoint(s.savepoint);
      return Flow::Normal;
    case SKind::Open:
      openCursor(*s.target->cursor, s.args, f, cursorOf(*s.target, f));
      return Flow::Normal;
    case SKind::OpenFor:
      execOpenFor(s, f);
      return Flow::Normal;
    case SKind::Fetch:
      if (s.bulk)
        fetchBulk(cursorOf(*s.target, f), s, f);
      else
        fetchInto(cursorOf(*s.target, f), s.into, f);
      return Flow::Normal;
    case SKind::Close: {
      CursorState &c = cursorOf(*s.target, f);
      if (!c.isOpen)
        raise(1001);
      c.close();
      return Flow::Normal;
    }
    }
  } catch (const OraError &e) {
    throw fromOra(e);
  }
  return Flow::Normal;
}

void Interp::execAssign(const Stmt &s, Frame &f) {
  const Expr &t = *s.target;
  if (t.kind == EKind::Var && t.path.empty() && t.slot.where == Slot::Frame &&
      t.slot.level == f.level && t.type.kind == VType::Number) {
    // The common case: a number into a local variable.
    Value v = eval(*s.value, f);
    Value &dst = f.slots[static_cast<size_t>(t.slot.index)];
    if (v.t == VType::Number && v.n.isInt && !t.type.integer && t.type.precision < 0) {
      dst = std::move(v);
    } else if (v.t == VType::Number && v.n.isInt && t.type.binaryInteger && !t.type.ranged &&
               v.n.i <= 2147483647 && v.n.i >= -2147483647) {
      dst.t = VType::Number;
      dst.n = v.n;
    } else {
      dst = coerce(v, t.type, dateFormat());
    }
    return;
  }
  const Expr &v = *s.value;
  if (t.kind == EKind::Var && t.path.empty() && t.type.sqlType == SqlType::Clob &&
      v.kind == EKind::Binary && v.op == Op::Concat) {
    // c := c || x [|| y ...] on a CLOB appends in place: building a CLOB piece by piece stays
    // linear rather than copying the whole of it for every piece.
    std::vector<const Expr *> pieces;
    const Expr *left = &v;
    for (; left->kind == EKind::Binary && left->op == Op::Concat; left = left->operands[0].get())
      pieces.push_back(left->operands[1].get());
    if (left->kind == EKind::Var && left->path.empty() && sameSlot(left->slot, t.slot)) {
      // Every piece is read before the CLOB changes (c := c || ',' || c).
      std::string add;
      bool any = false;
      for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
        Value piece = eval(**it, f);
        if (piece.isNull())
          continue; // NULL is the empty string in concatenation
        add += toText(piece, dateFormat()).s;
        any = true;
        if (add.size() > kMaxLobBytes)
          raise(22925);
      }
      Value &dst = lvalue(t, f);
      if (!any)
        return;
      if (dst.s.size() + add.size() > kMaxLobBytes)
        raise(22925);
      dst.t = VType::Char;
      dst.s += add;
      if (!dst.lob)
        dst.lob = 2;
      return;
    }
  }
  assign(t, f, eval(v, f));
}

// EXECUTE IMMEDIATE: the text runs on this logon as a statement of the call contract would
// (SQL, DDL with its commit, or a PL/SQL block), the USING values bound to its placeholders in
// the order they first appear, a query's one row read into the INTO targets.
// The binds of a dynamic statement: its distinct placeholders in order of first appearance,
// each taking the USING argument of its place as text; OUT and IN OUT ones (and RETURNING INTO
// targets) get room for what the statement writes back.
struct Interp::DynamicBinds {
  std::vector<std::string> names;
  std::vector<std::string> buffers;
  std::vector<int16_t> indicators;
  std::vector<uint16_t> lengths;
};

std::vector<std::string> dynamicNames(const std::string &text) {
  std::vector<std::string> names;
  try {
    for (const Token &t : tokenize(text, true))
      if (t.kind == Tok::Bind && std::find(names.begin(), names.end(), t.text) == names.end())
        names.push_back(t.text);
  } catch (const OraError &) {
    // the statement's own parse reports it
  }
  return names;
}

void Interp::bindDynamic(const Stmt &s, Frame &f, const std::vector<std::string> &names, Cursor &c,
                         DynamicBinds &b) {
  b.names = names;
  if (b.names.size() != s.args.size())
    raise(1008); // not all variables bound
  size_t n = s.args.size();
  b.buffers.resize(n);
  b.indicators.assign(n, 0);
  b.lengths.assign(n, 0);
  for (size_t i = 0; i < n; ++i) {
    unsigned char mode =
        i < s.argModes.size() ? s.argModes[i] : static_cast<unsigned char>(Param::In);
    Value v = mode == Param::Out ? Value() : toText(eval(*s.args[i], f), dateFormat());
    b.buffers[i] = v.s;
    b.indicators[i] = v.isNull() ? -1 : 0;
    b.lengths[i] = static_cast<uint16_t>(std::min<size_t>(v.s.size(), 65535));
    if (mode != Param::In)
      b.buffers[i].resize(kMaxStringBytes);
  }
  for (size_t i = 0; i < n; ++i)
    c.bind(":" + b.names[i], b.buffers[i].data(), static_cast<int>(b.buffers[i].size()), 1,
           &b.indicators[i], &b.lengths[i], nullptr, 0, nullptr);
}

void Interp::writeBackDynamic(const Stmt &s, Frame &f, const DynamicBinds &b) {
  for (size_t i = 0; i < s.args.size() && i < s.argModes.size(); ++i)
    if (s.argModes[i] != Param::In)
      assign(*s.args[i], f,
             b.indicators[i] < 0 ? Value() : Value::text(b.buffers[i].substr(0, b.lengths[i])));
}

void Interp::execDynamic(const Stmt &s, Frame &f) {
  Value text = toText(eval(*s.value, f), dateFormat());
  if (text.isNull())
    raise(6535);
  std::shared_ptr<Session> session(std::shared_ptr<Session>(), &FSession); // not owned
  DynamicBinds binds;
  if (s.into.empty()) {
    // A DML text run again by the same statement keeps its cursor, parsed once, as a cursor
    // cache would.
    auto it = FDynamic.find(&s);
    if (it == FDynamic.end() || it->second.text != text.s) {
      DynamicCursor fresh{text.s, dynamicNames(text.s), std::make_unique<Cursor>(session)};
      fresh.cursor->parse(text.s.data(), text.s.size(), false);
      if (it != FDynamic.end())
        FDynamic.erase(it);
      it = FDynamic.emplace(&s, std::move(fresh)).first;
    }
    std::unique_ptr<Cursor> c = std::move(it->second.cursor);
    bindDynamic(s, f, it->second.names, *c, binds);
    c->execute(1, 0);
    FSqlFound = c->rowsProcessed > 0 ? 1 : 0;
    FSqlRowCount = c->rowsProcessed;
    int code = c->functionCode;
    if (code == fcInsert || code == fcUpdate || code == fcDelete)
      it->second.cursor = std::move(c);
    else
      FDynamic.erase(it);
    writeBackDynamic(s, f, binds);
    return;
  }
  Cursor c(session);
  c.parse(text.s.data(), text.s.size(), false);
  bindDynamic(s, f, dynamicNames(text.s), c, binds);
  // The query's rows as text, a batch at a time: one (or TOO_MANY_ROWS), or every one into
  // tables under BULK COLLECT.
  constexpr int kWidth = 4001, kBatch = 64;
  size_t columns = s.into.size();
  if (s.bulk && columns == 1 && s.into[0]->type.decl &&
      s.into[0]->type.decl->elementType.kind == VType::Record)
    columns = s.into[0]->type.decl->elementType.decl
                  ? s.into[0]->type.decl->elementType.decl->fields.size()
                  : 1;
  if (columns > 1000)
    raise(1007);
  std::vector<std::vector<char>> buffers(columns, std::vector<char>(kBatch * kWidth));
  std::vector<int16_t> nulls(columns * kBatch);
  std::vector<uint16_t> sizes(columns * kBatch);
  for (size_t i = 0; i < columns; ++i)
    c.define(static_cast<int>(i + 1), buffers[i].data(), kWidth, 1, &nulls[kBatch * i],
             &sizes[kBatch * i], nullptr);
  auto rowAt = [&](size_t r) {
    std::vector<Value> row;
    for (size_t i = 0; i < columns; ++i)
      row.push_back(
          nulls[kBatch * i + r] == -1
              ? Value()
              : Value::text(std::string(buffers[i].data() + r * kWidth, sizes[kBatch * i + r])));
    return row;
  };
  if (!s.bulk) {
    c.executeFetch(2, false, false);
    if (c.rowsProcessed == 0)
      raise(1403);
    if (c.rowsProcessed > 1)
      raise(1422);
    FSqlFound = 1;
    FSqlRowCount = 1;
    std::vector<Value> row = rowAt(0);
    intoTargets(s, f, row);
    writeBackDynamic(s, f, binds);
    return;
  }
  std::vector<Value *> tables = bulkTargets(s.into, f);
  uint32_t seen = 0;
  int rc = c.executeFetch(kBatch, false, false);
  while (true) {
    for (uint32_t r = seen; r < c.rowsProcessed; ++r)
      bulkRow(tables, rowAt(r - seen), static_cast<int32_t>(r + 1));
    bool more = rc == 0 && c.rowsProcessed - seen == kBatch;
    seen = c.rowsProcessed;
    if (!more)
      break;
    rc = c.fetch(kBatch);
  }
  FSqlFound = seen > 0;
  FSqlRowCount = seen;
  writeBackDynamic(s, f, binds);
}

// CASE statement: as the expression, but no branch taken and no ELSE is CASE_NOT_FOUND.
Interp::Flow Interp::execCase(const Stmt &s, Frame &f) {
  const Value selector = s.value ? eval(*s.value, f) : Value();
  for (const ElsIf &b : s.branches)
    if (whenHolds(s.value ? &selector : nullptr, *b.cond, f))
      return execList(b.body, f);
  if (!s.hasElse)
    raise(6592);
  return execList(s.elseBody, f);
}

std::vector<std::pair<int64_t, int64_t>> Interp::forallRounds(const Stmt &s, Frame &f) {
  Value &c = *place(*s.value, f, false);
  if (c.t != VType::Table || !c.tab) {
    if (c.isNull())
      raise(6531);
    raise(6502);
  }
  std::vector<std::pair<int64_t, int64_t>> rounds;
  if (s.bounds == Stmt::IndicesOf) {
    int64_t lo = INT64_MIN, hi = INT64_MAX;
    if (s.low) {
      Value a = toNumber(eval(*s.low, f)), b = toNumber(eval(*s.high, f));
      if (a.isNull() || b.isNull())
        raise(6502);
      lo = clampToInt(roundNumber(a.n, 0), INT64_C(1) << 40);
      hi = clampToInt(roundNumber(b.n, 0), INT64_C(1) << 40);
    }
    for (const auto &[k, v] : c.tab->elements)
      if (k >= lo && k <= hi)
        rounds.emplace_back(k, k);
    return rounds;
  }
  // VALUES OF: each element's value is an index of the statement's collections.
  for (const auto &[k, v] : c.tab->elements) {
    Value n = toNumber(v);
    if (n.isNull())
      raise(6502);
    rounds.emplace_back(clampToInt(roundNumber(n.n, 0), 2147483647), k);
  }
  return rounds;
}

Interp::Flow Interp::execForNum(const Stmt &s, Frame &f) {
  if (s.forall && (s.bounds != Stmt::Range || s.saveExceptions)) {
    // FORALL over a collection's indexes or values, or saving its rounds' errors: the rounds
    // are listed first, as the statement's binds would be.
    std::vector<std::pair<int64_t, int64_t>> rounds;
    if (s.bounds != Stmt::Range) {
      rounds = forallRounds(s, f);
    } else {
      Value lo = toNumber(eval(*s.low, f)), hi = toNumber(eval(*s.high, f));
      if (lo.isNull() || hi.isNull())
        raise(6502);
      int64_t a = clampToInt(roundNumber(lo.n, 0), 2147483647);
      int64_t b = clampToInt(roundNumber(hi.n, 0), 2147483647);
      for (int64_t i = a; i <= b; ++i) {
        if (i - a >= kMaxCollectionElements)
          raise(6500);
        rounds.emplace_back(i, i);
      }
    }
    FBulkRowCount.clear();
    FBulkErrors.clear();
    Value &index = f.slots[static_cast<size_t>(s.loopSlot)];
    int64_t rows = 0, round = 0;
    for (const auto &[i, sub] : rounds) {
      ++round;
      if ((round & 1023) == 0)
        checkBreak();
      index = Value::integer(i);
      FSqlRowCount = 0;
      try {
        bool stop;
        loopBody(s, f, stop);
      } catch (PlsqlError &x) {
        if (!s.saveExceptions || x.code == 1013)
          throw;
        FBulkErrors.emplace_back(round, x.code < 0 ? -x.code : x.code);
      }
      FBulkRowCount.emplace_back(sub, FSqlRowCount);
      rows += FSqlRowCount;
    }
    FSqlRowCount = rows;
    FSqlFound = rows > 0;
    if (!FBulkErrors.empty())
      raise(24381);
    return Flow::Normal;
  }
  Value lo = toNumber(eval(*s.low, f)), hi = toNumber(eval(*s.high, f));
  if (lo.isNull() || hi.isNull())
    raise(6502);
  OraNum a = roundNumber(lo.n, 0), b = roundNumber(hi.n, 0);
  if (!a.isInt || !b.isInt || a.i < -2147483647 || a.i > 2147483647 || b.i < -2147483647 ||
      b.i > 2147483647)
    raise(6502);
  int64_t from = a.i, to = b.i;
  Value &index = f.slots[static_cast<size_t>(s.loopSlot)];
  int64_t i = s.reverse ? to : from;
  int64_t step = s.reverse ? -1 : 1;
  int64_t rows = 0; // FORALL: the rows of all its rounds
  if (s.forall) {
    FBulkRowCount.clear();
    FBulkErrors.clear();
  }
  for (; s.reverse ? i >= from : i <= to; i += step) {
    if ((i & 1023) == 0)
      checkBreak();
    index.t = VType::Number;
    index.n = OraNum::of(i);
    bool stop;
    Flow fl = loopBody(s, f, stop);
    if (stop)
      return fl;
    if (s.forall) {
      rows += FSqlRowCount;
      // SQL%BULK_ROWCOUNT holds a count per round: as many as a collection's elements at most.
      if (static_cast<int64_t>(FBulkRowCount.size()) >= kMaxCollectionElements)
        raise(6500);
      FBulkRowCount.emplace_back(i, FSqlRowCount);
    }
  }
  if (s.forall) {
    FSqlRowCount = rows;
    FSqlFound = rows > 0;
  }
  return Flow::Normal;
}

Interp::Flow Interp::execForCursor(const Stmt &s, Frame &f) {
  const CursorDecl *c = s.inlineCursor ? s.inlineCursor.get() : s.target->cursor;
  Value &cv = slotRef(c->where, f);
  if (!cv.cur) {
    cv.t = VType::Cursor;
    cv.cur = std::make_shared<CursorState>();
  }
  std::shared_ptr<CursorState> state = cv.cur;
  openCursor(*c, s.args, f, *state);
  struct Closer {
    CursorState &c;
    ~Closer() { c.close(); }
  } closer{*state};
  Type rt;
  rt.kind = VType::Record;
  rt.decl = c->rowType.get();
  Value &row = f.slots[static_cast<size_t>(s.loopSlot)];
  while (true) {
    checkBreak();
    if (!nextRow(*state))
      break;
    row = initialValue(rt);
    fetchRow(*state, row);
    bool stop;
    Flow fl = loopBody(s, f, stop);
    if (stop)
      return fl;
  }
  return Flow::Normal;
}

void Interp::execRaise(const Stmt &s, Frame &f) {
  if (!s.value) {
    if (!f.handling)
      raise(6510);
    PlsqlError again = *f.handling;
    again.trace.clear();
    throw again;
  }
  if (s.exception) {
    PlsqlError e;
    e.user = s.exception;
    e.code = s.exception->code;
    e.message = s.exception->bound ? messageOf(e.code) : oraMessage(6510);
    throw e;
  }
  raise(static_cast<int>(s.value->ival ? s.value->ival : 6510));
}

void Interp::execOpenFor(const Stmt &s, Frame &f) {
  if (s.sql && !s.sql->ok)
    raise(6550);
  std::unique_ptr<SqlStmt> dynamic;
  if (!s.sql)
    dynamic = dynamicQuery(s, f);
  Value &v = lvalue(*s.target, f);
  if (!v.cur || v.cur.use_count() > 1) {
    v.t = VType::RefCursor;
    v.cur = std::make_shared<CursorState>();
  }
  startQuery(s.sql ? *s.sql : *dynamic, f, *v.cur);
}

// OPEN c FOR 'text' USING ...: the query compiled as it runs, its binds the arguments' values.
std::unique_ptr<SqlStmt> Interp::dynamicQuery(const Stmt &s, Frame &f) {
  Value text = toText(eval(*s.value, f), dateFormat());
  if (text.isNull())
    raise(6535);
  auto q = std::make_unique<SqlStmt>();
  q->text = text.s;
  auto ast = parseStatement(text.s, FSession.modernSql());
  if (ast->kind != StmtKind::Select)
    raise(1001); // invalid cursor: OPEN FOR takes a query
  Select &sel = *static_cast<SelectStmt &>(*ast).query;
  localdb::Binder b(FSession.db(), FSession.user());
  b.setModern(FSession.modernSql());
  b.bindQuery(sel);
  for (SelectItem *item : sel.columns) {
    q->columnTypes.push_back(item->expr->type.type);
    q->columnNames.push_back(item->name);
    q->columnInfo.push_back(item->expr->type);
  }
  Emitter em(b.bindNames(), FSession.user());
  q->sqlite = em.select(sel);
  q->forUpdate = sel.forUpdate;
  q->binds = b.bindNames();
  q->counters = b.counterCount();
  // Placeholders take the arguments by their order of first appearance in the text.
  std::vector<std::string> names;
  for (const Token &t : tokenize(text.s, true))
    if (t.kind == Tok::Bind && std::find(names.begin(), names.end(), t.text) == names.end())
      names.push_back(t.text);
  if (names.size() != s.args.size())
    raise(1008);
  for (const auto &a : s.args) {
    auto x = std::make_unique<Expr>();
    Value v = toText(eval(*a, f), dateFormat());
    x->kind = v.isNull() ? EKind::Null : EKind::String;
    x->text = v.s;
    q->params.push_back(std::move(x));
  }
  for (const std::string &bn : q->binds)
    q->paramOf.push_back(
        static_cast<int>(std::find(names.begin(), names.end(), bn) - names.begin()));
  q->ok = true;
  return q;
}

// ---------------------------------------------------------------- entry points

void Interp::runBlock(const Unit &u, HostValues &binds) {
  FHost = &binds;
  Frame f;
  f.unit = &u;
  f.slots.resize(static_cast<size_t>(u.frameSize));
  try {
    execBlock(*u.init, f);
  } catch (PlsqlError &e) {
    e.trace.push_back("ORA-06512: at line " + std::to_string(f.line));
    throw;
  }
}

void Interp::refuseInTrigger(const char *what) {
  if (FState.triggers > 0)
    throw fromOra(oraErrorArg(4092, what));
}

bool Interp::runTrigger(const Unit &u, Record *newRow, Record *oldRow, int event) {
  Frame f;
  f.unit = &u;
  // :OLD of an INSERT and :NEW of a DELETE are rows whose every field is NULL.
  Record noNew, noOld;
  noNew.fields.resize(u.triggerColumns.size());
  noOld.fields.resize(u.triggerColumns.size());
  f.trigNew = newRow ? newRow : &noNew;
  f.trigOld = oldRow ? oldRow : &noOld;
  f.slots.resize(static_cast<size_t>(u.sub->frameSize));
  FTriggerEvent = event;
  // Also what the trigger calls: the triggering statement owns the transaction.
  struct Running {
    int &n;
    explicit Running(int &c) : n(++c) {}
    ~Running() { --n; }
  } running(FState.triggers);
  if (u.trigger.when) {
    bool isNull;
    if (!truth(*u.trigger.when, f, isNull))
      return false;
  }
  try {
    execBlock(*u.sub->body, f);
  } catch (PlsqlError &e) {
    e.trace.push_back("ORA-06512: at " + unitLabel(&u) + ", line " + std::to_string(f.line));
    throw;
  }
  return true;
}

} // namespace localdb::plsql
