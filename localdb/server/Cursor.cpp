// A cursor: compiles its statement, binds values from the caller's buffers, executes it and
// formats fetched rows straight into the defined buffers, a batch at a time.
#include "localdb/server/Cursor.h"

#include "db/SqlFunctionCodes.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

#include "localdb/catalog/Catalog.h"
#include "localdb/catalog/Ddl.h"
#include "localdb/catalog/Privileges.h"
#include "localdb/plsql/PlsqlRuntime.h"
#include "localdb/plsql/PlsqlUnits.h"
#include "localdb/sql/LiteralShape.h"
#include "localdb/sql/OraDate.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlBinder.h"
#include "localdb/sql/SqlEmitter.h"
#include "localdb/sql/SqlFunctions.h"
#include "localdb/sql/SqlLexer.h"
#include "localdb/sql/SqlParser.h"
#include "localdb/sql/StatementKind.h"

namespace localdb {

// A statement compiled once per text and schema: its tree, SQLite text and description.
struct CompiledStatement {
  std::unique_ptr<Statement> ast;
  std::vector<ExprPtr> defaults; // bound DEFAULT expressions an INSERT uses
  std::string sql;
  std::vector<std::string> binds;
  int counters = 0;
  std::vector<DescribeInfo> columns;
  std::vector<SqlType> columnTypes;
  bool forUpdate = false;
  plsql::DmlTarget target; // INSERT, UPDATE, DELETE: the table its statement triggers are on
  // The text's literals as parameters (after the binds, before the counters): the statement
  // serves every text of its shape, each binding its own values.
  int literals = 0;
  // MERGE, multi-table INSERT: the SQLite statements run in turn, sharing the binds.
  using Part = plsql::SqlPart;
  std::vector<Part> parts;
  std::vector<std::unique_ptr<Statement>> partAsts;
  // RETURNING ... INTO :b: the binds the changed row's values go to, and their types.
  std::vector<std::string> returnInto;
  std::vector<SqlType> returnTypes;
  std::vector<DescribeInfo> returnInfo;
};

namespace {

struct BindSlot {
  void *value = nullptr;
  int valueLength = 0;
  int type = 1;
  int16_t *indicators = nullptr;
  uint16_t *lengths = nullptr;
  uint16_t *returnCodes = nullptr;
  uint32_t maxElements = 0;
  uint32_t *currentElements = nullptr;
  unsigned char number[22]; // a float bind's value in Oracle's bytes, while a DML step reads it
};

struct DefineSlot {
  bool set = false;
  char *buffer = nullptr;
  int length = 0;
  int type = 1;
  int16_t *indicators = nullptr;
  uint16_t *lengths = nullptr;
  uint16_t *returnCodes = nullptr;
};

bool isQuery(StmtKind k) { return k == StmtKind::Select; }
bool isDml(StmtKind k) {
  return k == StmtKind::Insert || k == StmtKind::Update || k == StmtKind::Delete ||
         k == StmtKind::Multi;
}
bool isDdl(StmtKind k) {
  return !isQuery(k) && !isDml(k) && k != StmtKind::Commit && k != StmtKind::Rollback &&
         k != StmtKind::Savepoint && k != StmtKind::NoOp && k != StmtKind::AlterSession &&
         k != StmtKind::LockTable;
}

// ALTER SESSION: the date format is kept; parameters that change nothing here are accepted.
void alterSession(Session &s, const AlterSessionStmt &a) {
  for (size_t i = 0; i < a.settings.size(); ++i) {
    const std::string &p = a.settings[i].first;
    std::string v = a.settings[i].second;
    std::string upper = v;
    for (char &c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    int pos = a.positions[i];
    if (p == "NLS_DATE_FORMAT") {
      if (!formatDate(OraDateValue{2000, 9, 27, 23, 59, 59}, v) || v.empty())
        throw oraError(1821, pos);
      s.dateFormat = upper == "DD-MON-YY" ? "" : v;
    } else if (p == "NLS_TIMESTAMP_FORMAT" || p == "NLS_TIMESTAMP_TZ_FORMAT") {
      OraDateValue sample{2000, 9, 27, 23, 59, 59};
      sample.zoned = p == "NLS_TIMESTAMP_TZ_FORMAT";
      if (!formatDate(sample, v, 9) || v.empty())
        throw oraError(1821, pos);
      (sample.zoned ? s.timestampTzFormat : s.timestampFormat) = v;
    } else if (p == "SQL_TRACE" || p == "OPTIMIZER_GOAL" || p == "OPTIMIZER_MODE" ||
               p == "TIMED_STATISTICS" || p == "CLOSE_CACHED_OPEN_CURSORS" ||
               p == "HASH_JOIN_ENABLED" || (p == "NLS_LANGUAGE" && upper == "AMERICAN") ||
               (p == "NLS_TERRITORY" && upper == "AMERICA") ||
               (p == "NLS_SORT" && upper == "BINARY") ||
               (p == "NLS_NUMERIC_CHARACTERS" && v == ".,")) {
      // Nothing to change: this is how the local server already behaves.
    } else {
      throw oraErrorText(2248, "invalid option for ALTER SESSION", pos);
    }
  }
}

// ALTER SYSTEM SET COMPATIBLE = 'level': the server's language level, stored now and used from
// the next logon on, as Oracle's static parameter is from the next start. SCOPE = SPFILE (or no
// scope) only; the running instance cannot change it.
void alterSystem(Session &s, const AlterSessionStmt &a) {
  if (!hasSystemPrivilege(s.db(), s.user(), "ALTER SYSTEM"))
    throw oraError(1031, a.pos);
  std::string level;
  for (size_t i = 0; i < a.settings.size(); ++i) {
    const std::string &p = a.settings[i].first;
    std::string v = a.settings[i].second;
    int pos = a.positions[i];
    if (p == "SCOPE") {
      if (upperAscii(v) != "SPFILE")
        throw oraError(2095, pos);
    } else if (p == "COMPATIBLE") {
      // A release number: 7.3, 8.1.7, 19.0.0 ... (7.3 and later; the quotes are optional).
      bool ok = !v.empty() && std::isdigit(static_cast<unsigned char>(v[0])) &&
                v.find_first_not_of("0123456789.") == std::string::npos && v.back() != '.' &&
                v.find("..") == std::string::npos &&
                (std::atoi(v.c_str()) > 7 || v.compare(0, 3, "7.3") == 0);
      if (!ok)
        throw oraError(2097, pos);
      level = v;
    } else {
      throw oraError(2065, pos);
    }
  }
  if (!level.empty())
    setCompatibleLevel(s.db(), level);
}

std::string bindKey(std::string name) {
  if (!name.empty() && name[0] == ':')
    name.erase(0, 1);
  if (name.size() > 1 && name.front() == '"' && name.back() == '"')
    return name.substr(1, name.size() - 2);
  for (char &c : name)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

DescribeInfo describeColumn(const std::string &name, const TypeInfo &t) {
  DescribeInfo d;
  SqlType type = t.type == SqlType::Unknown ? SqlType::Varchar2 : t.type;
  ColumnInfo c;
  c.type = type;
  c.length = t.length;
  c.precision = t.precision;
  c.scale = t.scale;
  d.name = name;
  d.dbtype = static_cast<int>(type);
  d.displaySize = displaySize(c);
  switch (type) {
  case SqlType::Number:
    d.dbsize = 22;
    d.precision = t.precision > 0 ? t.precision : 0;
    d.scale = t.scale > 0 ? t.scale : 0;
    break;
  case SqlType::Date:
    d.dbsize = 7;
    break;
  case SqlType::Rowid:
    d.dbsize = 6;
    break;
  case SqlType::Timestamp:
  case SqlType::TimestampTz:
  case SqlType::TimestampLtz:
  case SqlType::IntervalYM:
  case SqlType::IntervalDS:
    // Oracle's internal sizes; the precision is an interval's leading one, the scale the digits
    // of a fraction of a second.
    d.dbsize = type == SqlType::TimestampTz ? 13 : type == SqlType::IntervalYM ? 5 : 11;
    d.precision = t.precision > 0 ? t.precision : isIntervalType(type) ? 2 : 0;
    d.scale = t.scale != kNoScale ? t.scale : type == SqlType::IntervalYM ? 0 : 6;
    break;
  default:
    d.dbsize = t.length;
  }
  d.nullOk = t.nullable;
  return d;
}

DescribeInfo describeItem(const SelectItem &item) {
  return describeColumn(item.name, item.expr->type);
}

} // namespace

struct Cursor::Impl {
  std::string text;
  bool parsed = false; // oparse has given a statement
  std::shared_ptr<CompiledStatement> compiled;
  long compiledEpoch = -1; // the logon's catalog epoch it was compiled (or found) in
  bool ddlDone = false;    // DDL ran at a non-deferred parse; the next execute has nothing to do
  bool ranDdl = false;
  sqlite3_stmt *stmt = nullptr;
  std::map<std::string, BindSlot> binds;
  std::vector<BindSlot *> slots; // binds in the statement's order, resolved once
  const CompiledStatement *slotsFor = nullptr;
  std::vector<DefineSlot> defines;
  std::vector<RownumCounter> counters;
  std::vector<ShapeLiteral> literals; // this text's values for the statement's literal parameters
  enum { Idle, Fetching, Done } state = Idle;
  plsql::PlsqlText plsql = plsql::PlsqlText::None; // a block or a unit's DDL: PL/SQL runs it
  // An adopted cursor variable: it owns stmt, which is never given back to the session.
  std::shared_ptr<plsql::CursorState> refCursor;
  std::vector<std::pair<void *, std::shared_ptr<plsql::CursorState>>> opened;
  int runPlsql(Session &s, bool compileOnly);
  void releaseStatement(Session &s) {
    if (stmt && !refCursor)
      s.giveBackStatement(stmt);
    stmt = nullptr;
    refCursor.reset();
  }
};

// PL/SQL text runs in the PL/SQL engine, with this cursor's binds as the block's variables.
int Cursor::Impl::runPlsql(Session &s, bool compileOnly) {
  opened.clear();
  return plsql::runPlsql(
      s, text,
      [this](const std::string &name, plsql::HostBind &out) {
        auto it = binds.find(name);
        if (it == binds.end())
          return false;
        const BindSlot &b = it->second;
        out.value = b.value;
        out.valueLength = b.valueLength;
        out.type = b.type;
        out.indicator = b.indicators;
        out.length = b.lengths;
        out.returnCode = b.returnCodes;
        out.maxElements = b.maxElements;
        out.currentElements = b.currentElements;
        if (b.type == 102 && b.value) {
          void *area = b.value;
          out.receiveCursor = [this, area](std::shared_ptr<plsql::CursorState> c) {
            opened.emplace_back(area, std::move(c));
          };
        }
        return true;
      },
      compileOnly);
}

Cursor::Cursor(std::shared_ptr<Session> session)
    : FSession(std::move(session)), FImpl(std::make_unique<Impl>()) {
  FSession->cursorOpened();
}

Cursor::~Cursor() {
  FImpl->releaseStatement(*FSession);
  FSession->cursorClosed();
}

void Cursor::adopt(std::shared_ptr<plsql::CursorState> state) {
  Impl &m = *FImpl;
  m.releaseStatement(*FSession);
  m.text.clear();
  m.parsed = true;
  m.ddlDone = m.ranDdl = false;
  m.binds.clear();
  m.slots.clear();
  m.slotsFor = nullptr;
  m.defines.clear();
  m.counters.clear();
  m.opened.clear();
  m.plsql = plsql::PlsqlText::None;
  auto cs = std::make_shared<CompiledStatement>();
  cs->ast = std::make_unique<Statement>(StmtKind::Select);
  for (size_t i = 0; i < state->columnTypes.size(); ++i) {
    TypeInfo t;
    if (i < state->columnInfo.size())
      t = state->columnInfo[i];
    else
      t.type = state->columnTypes[i];
    cs->columns.push_back(
        describeColumn(i < state->columnNames.size() ? state->columnNames[i] : std::string(), t));
    cs->columnTypes.push_back(state->columnTypes[i]);
  }
  m.compiled = std::move(cs);
  m.stmt = state->stmt;
  // A cursor PL/SQL already read to its end has no rows left (stepping it would start over).
  m.state = !m.stmt ? Impl::Idle : state->done ? Impl::Done : Impl::Fetching;
  m.refCursor = std::move(state);
  functionCode = fcSelect;
  rowsProcessed = 0;
  parseErrorOffset = 0;
  warningFlags = 0;
}

std::vector<std::pair<void *, std::shared_ptr<plsql::CursorState>>> Cursor::takeOpenedCursors() {
  std::vector<std::pair<void *, std::shared_ptr<plsql::CursorState>>> out;
  out.swap(FImpl->opened);
  return out;
}

namespace {

// MERGE and multi-table INSERT: every part is bound by the one binder (binds and ROWNUM
// counters are numbered across the parts), then each is emitted.
void compileParts(Session &s, Binder &binder, CompiledStatement &cs) {
  cs.parts = plsql::compileParts(static_cast<const MultiStmt &>(*cs.ast), binder, s.user(),
                                 s.modernSql(), cs.partAsts, cs.defaults, cs.target);
}

// Whether the word at offset of text names a TYPE in the catalog.
bool isTypeName(sqlite3 *db, const std::string &text, int offset) {
  size_t from = static_cast<size_t>(offset), to = from;
  while (to < text.size() && (std::isalnum(static_cast<unsigned char>(text[to])) ||
                              text[to] == '_' || text[to] == '$' || text[to] == '#'))
    ++to;
  std::string name = text.substr(from, to - from);
  for (char &c : name)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  sqlite3_stmt *st = nullptr;
  bool found = false;
  if (!name.empty() &&
      sqlite3_prepare_v2(db,
                         "SELECT 1 FROM ora_objects WHERE object_name = ?1 AND object_type "
                         "= 'TYPE'",
                         -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    found = sqlite3_step(st) == SQLITE_ROW;
  }
  sqlite3_finalize(st);
  return found;
}

// shape: the text's literals when it has a shape (see literalShape); the statement takes them
// as parameters when every one of them is a value only, and is this text's alone otherwise.
std::shared_ptr<CompiledStatement> compileText(Session &s, const std::string &text,
                                               const std::vector<ShapeLiteral> *shape = nullptr) {
  auto cs = std::make_shared<CompiledStatement>();
  try {
    cs->ast = parseStatement(text, s.modernSql());
  } catch (const OraError &e) {
    // A column of a schema-level type is no datatype the SQL here stores: said plainly.
    if (e.code == 902 && e.offset >= 0 && s.modernSql() && isTypeName(s.db(), text, e.offset))
      throw oraErrorText(3001, "unimplemented feature (columns of object and collection types)",
                         e.offset);
    throw;
  }
  sqlite3 *db = s.db();
  Binder binder(db, s.user());
  binder.setModern(s.modernSql());
  // Called once binding is done, before the emitter writes any literal.
  auto literalParams = [&](Emitter &em) {
    if (shape && literalsAreValues(*shape, cs->ast->literals, binder.readLiterals())) {
      cs->literals = static_cast<int>(shape->size());
      em.setLiteralParams(shape);
    }
  };
  switch (cs->ast->kind) {
  case StmtKind::Select: {
    Select &q = *static_cast<SelectStmt &>(*cs->ast).query;
    binder.bindQuery(q);
    cs->forUpdate = q.forUpdate;
    for (SelectItem *item : q.columns) {
      cs->columns.push_back(describeItem(*item));
      cs->columnTypes.push_back(item->expr->type.type);
    }
    Emitter em(binder.bindNames(), s.user());
    literalParams(em);
    cs->sql = em.select(q);
    break;
  }
  case StmtKind::Insert: {
    auto &ins = static_cast<InsertStmt &>(*cs->ast);
    binder.bindInsert(ins);
    std::vector<const Expr *> defaults = binder.bindInsertDefaults(ins, cs->defaults);
    Emitter em(binder.bindNames(), s.user());
    literalParams(em);
    cs->sql = em.insert(ins, defaults);
    break;
  }
  case StmtKind::Update: {
    auto &up = static_cast<UpdateStmt &>(*cs->ast);
    binder.bindUpdate(up);
    Emitter em(binder.bindNames(), s.user());
    literalParams(em);
    cs->sql = em.update(up);
    break;
  }
  case StmtKind::Delete: {
    auto &del = static_cast<DeleteStmt &>(*cs->ast);
    binder.bindDelete(del);
    Emitter em(binder.bindNames(), s.user());
    literalParams(em);
    cs->sql = em.remove(del);
    break;
  }
  case StmtKind::Multi:
    compileParts(s, binder, *cs);
    break;
  default:
    break;
  }
  const Returning *ret =
      cs->ast->kind == StmtKind::Insert   ? &static_cast<InsertStmt &>(*cs->ast).returning
      : cs->ast->kind == StmtKind::Update ? &static_cast<UpdateStmt &>(*cs->ast).returning
      : cs->ast->kind == StmtKind::Delete ? &static_cast<DeleteStmt &>(*cs->ast).returning
                                          : nullptr;
  if (ret && !ret->exprs.empty()) {
    if (ret->into.empty())
      throw oraError(925, static_cast<int>(text.size()));
    cs->returnInto = ret->into;
    for (const auto &e : ret->exprs) {
      cs->returnTypes.push_back(e->type.type);
      cs->returnInfo.push_back(describeColumn("", e->type));
    }
  }
  if (cs->parts.empty())
    cs->target = plsql::dmlTarget(*cs->ast); // while the binder's tables still exist
  cs->binds = binder.bindNames();
  cs->counters = binder.counterCount();
  return cs;
}

// A failed step of a statement as Oracle reports it.
OraError stepError(Session &s, int rc) {
  std::string m = sqlite3_errmsg(s.db());
  if (int code = oraCodeOf(m))
    return OraError{code, m, -1};
  OraError e;
  if ((rc & 0xff) == SQLITE_CONSTRAINT && mapConstraintError(s.db(), m, e))
    return e;
  if (m.compare(0, 14, "no such table:") == 0)
    return oraError(942);
  if (m.compare(0, 15, "no such column:") == 0)
    return oraError(904);
  if (m.find("integer overflow") != std::string::npos)
    return oraError(1426);
  return sqliteError(s.db(), rc);
}

} // namespace

namespace {
void ensureCompiled(Session &s, Cursor::Impl &m);
} // namespace

void Cursor::parse(const char *text, size_t length, bool deferred) {
  Impl &m = *FImpl;
  m.releaseStatement(*FSession);
  m.text.assign(text, length);
  m.parsed = true;
  m.compiled.reset();
  m.slotsFor = nullptr;
  m.ddlDone = false;
  m.state = Impl::Idle;
  m.binds.clear();
  m.slotsFor = nullptr;
  m.defines.clear();
  functionCode = statementKind(m.text);
  parseErrorOffset = 0;
  rowsProcessed = 0;
  warningFlags = 0;
  m.plsql = plsql::plsqlTextKind(m.text);
  if (m.plsql != plsql::PlsqlText::None) {
    // A block is compiled at a non-deferred parse and runs at execute; a unit's DDL runs now.
    if (!deferred) {
      bool ddl = m.plsql != plsql::PlsqlText::Block;
      warningFlags = static_cast<uint8_t>(m.runPlsql(*FSession, !ddl));
      m.ddlDone = ddl;
    }
    return;
  }
  if (!deferred) {
    // A non-deferred parse reports errors now; DDL runs at parse time, as Oracle does.
    ensureCompiled(*FSession, m);
    if (isDdl(m.compiled->ast->kind)) {
      m.ranDdl = false;
      execute(0, 0);
      m.ddlDone = m.ranDdl;
    }
  }
}

namespace {
void ensureCompiled(Session &s, Cursor::Impl &m) {
  if (m.compiled)
    return;
  if (!m.parsed)
    throw oraError(1003);
  if (m.text.find_first_not_of(" \t\r\n") == std::string::npos)
    throw oraError(900, 0);
  std::string shapeKey;
  m.literals.clear();
  bool shaped = literalShape(m.text, s.modernSql(), shapeKey, m.literals);
  auto cached = s.findCompiled(shaped ? shapeKey : m.text);
  if (!cached && shaped)
    cached = s.findCompiled(m.text);
  m.compiledEpoch = s.catalogEpoch();
  if (cached) {
    m.compiled = cached;
    return;
  }
  m.compiled = compileText(s, m.text, shaped ? &m.literals : nullptr);
  if (isDdl(m.compiled->ast->kind))
    return;
  s.keepCompiled(m.compiled->literals ? shapeKey : m.text, m.compiled);
}
} // namespace

void Cursor::bind(const std::string &name, void *value, int valueLength, int externalType,
                  int16_t *indicators, uint16_t *lengths, uint16_t *returnCodes,
                  uint32_t maxElements, uint32_t *currentElements) {
  std::string key = bindKey(name);
  if (key.empty())
    throw oraError(1036);
  if (const CompiledStatement *cs = FImpl->compiled.get();
      cs && std::find(cs->binds.begin(), cs->binds.end(), key) == cs->binds.end() &&
      std::find(cs->returnInto.begin(), cs->returnInto.end(), key) == cs->returnInto.end())
    throw oraError(1036);
  switch (externalType) {
  case 1:
  case 2:
  case 3:
  case 4:
  case 5:
  case 6:
  case 8:
  case 9:
  case 23:
  case 24:
  case 96:
  case 97:
  case 102:
    break;
  default:
    throw oraErrorText(3001, "unimplemented feature (bind of external type " +
                                 std::to_string(externalType) + ")");
  }
  bool intSize = valueLength == 1 || valueLength == 2 || valueLength == 4 || valueLength == 8;
  if ((externalType == 3 && value && !intSize) ||
      (externalType == 4 && value && valueLength != 4 && valueLength != 8))
    throw oraError(932);
  BindSlot b;
  b.value = value;
  b.valueLength = valueLength;
  b.type = externalType;
  b.indicators = indicators;
  b.lengths = lengths;
  b.returnCodes = returnCodes;
  b.maxElements = maxElements;
  b.currentElements = currentElements;
  // Rebinding a known name updates its slot in place (map nodes stay put), so the statement's
  // resolved slots stay valid; a new name has them resolved again.
  if (FImpl->binds.insert_or_assign(std::move(key), b).second)
    FImpl->slotsFor = nullptr;
}

void Cursor::define(int position, void *buffer, int bufferLength, int externalType,
                    int16_t *indicators, uint16_t *lengths, uint16_t *returnCodes) {
  Impl &m = *FImpl;
  ensureCompiled(*FSession, m);
  if (!isQuery(m.compiled->ast->kind) || position < 1 ||
      position > static_cast<int>(m.compiled->columns.size()))
    throw oraError(1007);
  switch (externalType) {
  case 1:
  case 2:
  case 3:
  case 4:
  case 5:
  case 6:
  case 8:
  case 12:
  case 23:
  case 24:
  case 94:
  case 95:
  case 96:
  case 97:
    break;
  default:
    throw oraError(932);
  }
  if (bufferLength < 0 || (!buffer && bufferLength > 0))
    throw oraError(932);
  // Binary numbers have the sizes C gives them; anything else would write past the buffer.
  bool intSize = bufferLength == 1 || bufferLength == 2 || bufferLength == 4 || bufferLength == 8;
  if ((externalType == 3 && !intSize) ||
      (externalType == 4 && bufferLength != 4 && bufferLength != 8) ||
      ((externalType == 3 || externalType == 4) && !buffer))
    throw oraError(932);
  if (m.defines.size() < m.compiled->columns.size())
    m.defines.resize(m.compiled->columns.size());
  DefineSlot &d = m.defines[static_cast<size_t>(position - 1)];
  d.set = true;
  d.buffer = static_cast<char *>(buffer);
  d.length = bufferLength;
  d.type = externalType;
  d.indicators = indicators;
  d.lengths = lengths;
  d.returnCodes = returnCodes;
}

DescribeInfo Cursor::describe(int position) {
  Impl &m = *FImpl;
  ensureCompiled(*FSession, m);
  if (!isQuery(m.compiled->ast->kind) || position < 1 ||
      position > static_cast<int>(m.compiled->columns.size()))
    throw oraError(1007);
  DescribeInfo d = m.compiled->columns[static_cast<size_t>(position - 1)];
  const SqlType type = static_cast<SqlType>(d.dbtype);
  if (isTimestampType(type)) {
    // The widest text the session's format makes of this type.
    OraDateValue widest{2000, 9, 27, 23, 59, 59};
    widest.zoned = type == SqlType::TimestampTz;
    widest.zoneMinutes = -600;
    d.displaySize = static_cast<int>(
        formatDate(widest, sessionDatetimeFormat(*FSession, type), d.scale).value_or("").size());
  }
  if (d.dbtype == static_cast<int>(SqlType::Date) && !FSession->dateFormat.empty()) {
    // The widest text the session's date format makes (September, Wednesday).
    d.displaySize =
        static_cast<int>(formatDate(OraDateValue{2000, 9, 27, 23, 59, 59}, FSession->dateFormat)
                             .value_or("")
                             .size());
  }
  return d;
}

namespace {

// Binds iteration `row` of every bind variable the statement names. `copy`: SQLite keeps its
// own copy of character data, as a query needs (its rows are read after the call returns);
// DML steps at once, so it reads the caller's buffers in place.
void bindValues(Cursor::Impl &m, int row, bool copy, sqlite3_stmt *st) {
  const sqlite3_destructor_type keep = copy ? SQLITE_TRANSIENT : SQLITE_STATIC;
  const CompiledStatement &cs = *m.compiled;
  if (m.slotsFor != &cs) {
    m.slots.clear();
    for (const std::string &name : cs.binds) {
      auto it = m.binds.find(name);
      if (it == m.binds.end())
        throw oraError(1008);
      m.slots.push_back(&it->second);
    }
    m.slotsFor = &cs;
  }
  for (size_t i = 0; i < cs.binds.size(); ++i) {
    int idx = static_cast<int>(i) + 1;
    BindSlot &b = *m.slots[i];
    if (b.maxElements > 0 || b.type == 102)
      throw oraErrorText(3001, "unimplemented feature (array or cursor bind in a SQL statement)");
    if ((b.indicators && b.indicators[row] < 0) || !b.value) {
      sqlite3_bind_null(st, idx);
      continue;
    }
    const char *p = static_cast<const char *>(b.value) +
                    static_cast<size_t>(row) * static_cast<size_t>(std::max(0, b.valueLength));
    switch (b.type) {
    case 3: {
      sqlite3_bind_int64(st, idx, readBinaryInteger(p, b.valueLength));
      break;
    }
    case 4: {
      double v;
      if (b.valueLength == 4) {
        float f;
        std::memcpy(&f, p, 4);
        v = f;
      } else {
        std::memcpy(&v, p, 8);
      }
      auto n = numberFromDouble(v);
      if (!n)
        throw oraError(1426);
      if (n->isInt || copy) {
        bindNumber(st, idx, *n);
      } else {
        sqlite3_bind_blob(st, idx, b.number, numberToBytes(*n, b.number), SQLITE_STATIC);
      }
      break;
    }
    case 2:   // Oracle's own bytes, as long as the length says
    case 6: { // VARNUM: a length byte, then those bytes
      const auto *u = reinterpret_cast<const unsigned char *>(p);
      int len = b.type == 6 ? u[0]
                : b.lengths ? static_cast<int>(b.lengths[row])
                            : std::min(b.valueLength, 21);
      auto n = numberFromBytes(b.type == 6 ? u + 1 : u, len);
      if (len == 0)
        sqlite3_bind_null(st, idx);
      else if (!n)
        throw oraError(1722);
      else
        bindNumber(st, idx, *n);
      break;
    }
    case 5:
    case 97: {
      size_t n = strnlen(p, static_cast<size_t>(b.valueLength > 0 ? b.valueLength : 65535));
      if (n == 0)
        sqlite3_bind_null(st, idx);
      else
        sqlite3_bind_text(st, idx, p, static_cast<int>(n), keep);
      break;
    }
    case 23:
    case 24: {
      size_t n = b.lengths ? b.lengths[row] : static_cast<size_t>(std::max(0, b.valueLength));
      if (n == 0)
        sqlite3_bind_null(st, idx);
      else
        sqlite3_bind_blob(st, idx, p, static_cast<int>(n), keep);
      break;
    }
    default: { // 1, 8, 96: character data of the given length
      size_t n = b.lengths ? b.lengths[row] : static_cast<size_t>(std::max(0, b.valueLength));
      if (n == 0)
        sqlite3_bind_null(st, idx);
      else
        sqlite3_bind_text(st, idx, p, static_cast<int>(n), keep);
    }
    }
  }
  for (int i = 0; i < cs.literals; ++i)
    bindLiteral(st, static_cast<int>(cs.binds.size()) + i + 1, m.literals[static_cast<size_t>(i)]);
  for (size_t i = 0; i < m.counters.size(); ++i) {
    m.counters[i].n = 0;
    sqlite3_bind_pointer(st,
                         static_cast<int>(cs.binds.size()) + cs.literals + static_cast<int>(i) + 1,
                         &m.counters[i], kRownumPointerType, nullptr);
  }
}

} // namespace

// The values of the row a DML statement changed to its RETURNING INTO binds, at an execute
// row; NULLs when no row changed (st null).
void writeReturned(Cursor::Impl &m, sqlite3_stmt *st, int row, const Session &session);

int Cursor::execute(int iterations, int rowOffset) {
  Impl &m = *FImpl;
  Session &s = *FSession;
  warningFlags = 0;
  parseErrorOffset = 0;
  if (m.ddlDone) {
    m.ddlDone = false;
    return 0;
  }
  if (m.plsql != plsql::PlsqlText::None) {
    rowsProcessed = 0;
    warningFlags = static_cast<uint8_t>(m.runPlsql(s, false));
    if (m.plsql == plsql::PlsqlText::Block)
      rowsProcessed = 1;
    return 0;
  }
  // Another logon changed the catalog since this statement was compiled (a view replaced, a
  // grant revoked): compile it again, as Oracle parses an invalidated cursor again. The
  // statement's last run ends first: a query left open would keep its old view of the file.
  if (m.stmt && !m.refCursor)
    sqlite3_reset(m.stmt);
  if (m.compiled && !m.refCursor && m.compiledEpoch != s.catalogEpoch() &&
      !isDdl(m.compiled->ast->kind)) {
    m.releaseStatement(s);
    m.compiled.reset();
    m.slotsFor = nullptr;
  }
  try {
    ensureCompiled(s, m);
  } catch (const OraError &) {
    m.compiled.reset();
    m.slotsFor = nullptr;
    throw;
  }
  CompiledStatement &cs = *m.compiled;
  StmtKind kind = cs.ast->kind;
  m.state = Impl::Idle;
  rowsProcessed = 0;
  switch (kind) {
  case StmtKind::Commit:
    s.commit();
    return 0;
  case StmtKind::Rollback: {
    auto &t = static_cast<TransactionStmt &>(*cs.ast);
    if (t.savepoint.empty())
      s.rollback();
    else
      s.rollbackTo(t.savepoint);
    return 0;
  }
  case StmtKind::Savepoint:
    s.savepoint(static_cast<TransactionStmt &>(*cs.ast).savepoint);
    return 0;
  case StmtKind::NoOp:
    return 0;
  case StmtKind::LockTable: {
    // Needs some privilege on each table; the lock itself is the server's write lock.
    auto &l = static_cast<LockStmt &>(*cs.ast);
    Binder binder(s.db(), s.user());
    for (size_t i = 0; i < l.tables.size(); ++i)
      if (ObjectRef o = binder.resolveTable(l.tables[i], l.positions[i]);
          o.type != "TABLE" && o.type != "VIEW")
        throw oraError(942, l.positions[i]);
    s.beginWrite();
    return 0;
  }
  case StmtKind::AlterSession: {
    auto &a = static_cast<AlterSessionStmt &>(*cs.ast);
    if (a.system) {
      s.commit();
      alterSystem(s, a);
    } else {
      alterSession(s, a);
    }
    return 0;
  }
  default:
    break;
  }
  if (isDdl(kind)) {
    // DDL commits what came before it and itself.
    s.commit();
    s.beginWrite(); // in line with the other writers
    try {
      executeDdl(s.db(), s.user(), *cs.ast);
      s.commit();
    } catch (...) {
      try {
        s.rollback();
      } catch (const OraError &) {
      }
      s.schemaChanged();
      m.compiled.reset();
      m.slotsFor = nullptr;
      throw;
    }
    s.schemaChanged();
    m.compiled.reset();
    m.slotsFor = nullptr; // a DDL statement is compiled anew each time it runs
    m.ranDdl = true;
    return 0;
  }
  if (cs.counters || !m.counters.empty())
    m.counters.assign(static_cast<size_t>(cs.counters), RownumCounter{});
  if (!cs.parts.empty()) {
    runParts(iterations, rowOffset);
    return 0;
  }
  if (!m.stmt)
    m.stmt = s.takeStatement(cs.sql);
  else
    sqlite3_reset(m.stmt);
  if (isQuery(kind)) {
    if (cs.forUpdate)
      s.beginWrite();
    bindValues(m, 0, true, m.stmt);
    m.state = Impl::Fetching;
    return 0;
  }
  s.beginWrite();
  int iters = std::max(1, iterations);
  int from = std::max(0, rowOffset);
  // An array execute is one statement for the table's statement triggers: they fire once, and
  // a failure then undoes the whole execute.
  bool undone = false;
  // RETURNING INTO: one row changed per execute row at most, or the whole execute is undone.
  bool returns = !cs.returnInto.empty();
  if (returns)
    sqlite3_exec(s.db(), "SAVEPOINT \"cursor$returning\"", nullptr, nullptr, nullptr);
  auto endReturning = [&](bool undo) {
    if (!returns)
      return;
    returns = false;
    if (undo)
      sqlite3_exec(s.db(), "ROLLBACK TO \"cursor$returning\"", nullptr, nullptr, nullptr);
    sqlite3_exec(s.db(), "RELEASE \"cursor$returning\"", nullptr, nullptr, nullptr);
  };
  try {
    auto steps = [&] {
      for (int i = from; i < iters; ++i) {
        if (i > from)
          sqlite3_reset(m.stmt);
        bindValues(m, i, false, m.stmt);
        int rc = sqlite3_step(m.stmt);
        for (int returned = 0; returns; rc = sqlite3_step(m.stmt)) {
          if (rc != SQLITE_ROW) {
            if (returned == 0)
              writeReturned(m, nullptr, i, s);
            break;
          }
          if (++returned > 1) {
            sqlite3_reset(m.stmt);
            throw oraError(1422);
          }
          writeReturned(m, m.stmt, i, s);
        }
        // Rows a RETURNING clause gives (a view's check) are read to the end: SQLite counts the
        // changes when the statement ends.
        while (rc == SQLITE_ROW)
          rc = sqlite3_step(m.stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
          OraError e = stepError(s, rc);
          sqlite3_reset(m.stmt);
          throw e;
        }
        rowsProcessed += static_cast<uint32_t>(plsql::changedRows(s));
      }
      sqlite3_reset(m.stmt);
    };
    // By reference: the callback is wrapped on every execute, and a copy would allocate.
    plsql::runWithStatementTriggers(s, cs.target, std::ref(steps), &undone);
  } catch (...) {
    endReturning(true);
    if (undone || !cs.returnInto.empty())
      rowsProcessed = 0;
    throw;
  }
  endReturning(false);
  return 0;
}

// The parts of a MERGE or multi-table INSERT, for each row of an array execute: one statement,
// so a failing part undoes those before it.
void Cursor::runParts(int iterations, int rowOffset) {
  Impl &m = *FImpl;
  Session &s = *FSession;
  const CompiledStatement &cs = *m.compiled;
  try {
    rowsProcessed = static_cast<uint32_t>(
        runStatementParts(s, cs.parts, cs.target, std::max(0, rowOffset), std::max(1, iterations),
                          [&](sqlite3_stmt *st, int row) { bindValues(m, row, false, st); }));
  } catch (...) {
    rowsProcessed = 0;
    throw;
  }
}

int64_t runStatementParts(Session &s, const std::vector<plsql::SqlPart> &parts,
                          const plsql::DmlTarget &target, int from, int to,
                          const std::function<void(sqlite3_stmt *, int)> &bind) {
  s.beginWrite();
  bool marked =
      sqlite3_exec(s.db(), "SAVEPOINT \"multi$statement\"", nullptr, nullptr, nullptr) == SQLITE_OK;
  int64_t rows = 0;
  auto steps = [&] {
    for (int i = from; i < to; ++i) {
      int64_t inserted = 0;
      for (const plsql::SqlPart &p : parts) {
        sqlite3_stmt *st = s.takeStatement(p.sql);
        StatementLease lease{s, st};
        bind(st, i);
        if (p.deletesBefore)
          sqlite3_bind_int64(st, sqlite3_bind_parameter_index(st, ":inserted"), inserted);
        int rc = sqlite3_step(st);
        while (rc == SQLITE_ROW) // a view's check: SQLite counts the changes at the end
          rc = sqlite3_step(st);
        if (rc != SQLITE_DONE) {
          OraError e = stepError(s, rc);
          sqlite3_reset(st);
          throw e;
        }
        sqlite3_reset(st);
        int changed = plsql::changedRows(s);
        if (p.counts)
          rows += changed;
        if (p.inserts)
          inserted += changed;
      }
    }
  };
  try {
    plsql::runWithStatementTriggers(s, target, std::ref(steps), nullptr);
  } catch (...) {
    if (marked) {
      sqlite3_exec(s.db(), "ROLLBACK TO \"multi$statement\"", nullptr, nullptr, nullptr);
      sqlite3_exec(s.db(), "RELEASE \"multi$statement\"", nullptr, nullptr, nullptr);
    }
    throw;
  }
  if (marked)
    sqlite3_exec(s.db(), "RELEASE \"multi$statement\"", nullptr, nullptr, nullptr);
  return rows;
}

namespace {

// Copies text into a defined buffer row; returns true when it had to cut it.
bool putBytes(DefineSlot &d, int row, const char *p, size_t n, bool nulTerminate) {
  size_t room = static_cast<size_t>(d.length);
  if (nulTerminate && room > 0)
    --room;
  char *dst = d.buffer + static_cast<size_t>(row) * static_cast<size_t>(d.length);
  size_t k = std::min(n, room);
  if (k)
    std::memcpy(dst, p, k);
  if (nulTerminate && d.length > 0)
    dst[k] = 0;
  if (d.lengths)
    d.lengths[row] = static_cast<uint16_t>(std::min<size_t>(k, 65535));
  bool cut = k < n;
  if (d.indicators)
    d.indicators[row] = cut ? static_cast<int16_t>(n > 32767 ? -2 : n) : 0;
  if (d.returnCodes)
    d.returnCodes[row] = cut ? 1406 : 0;
  return cut;
}

bool numberValue(sqlite3_stmt *st, int col, OraNum &out) {
  auto n = columnNumber(st, col);
  if (!n)
    return false;
  out = *n;
  return true;
}

// Formats column col of the current row into the defined buffer's row.
bool writeColumn(sqlite3_stmt *st, int col, SqlType type, DefineSlot &d, int row,
                 const Session &session, const DescribeInfo &info) {
  const std::string &dateFormat = session.dateFormat;
  if (sqlite3_column_type(st, col) == SQLITE_NULL) {
    if (!d.indicators)
      throw oraError(1405);
    d.indicators[row] = -1;
    if (d.lengths)
      d.lengths[row] = 0;
    if (d.returnCodes)
      d.returnCodes[row] = 0;
    return false;
  }
  char tmp[128];
  switch (d.type) {
  case 2:
  case 6: {
    OraNum n;
    if (!numberValue(st, col, n))
      throw oraError(1722);
    unsigned char b[23];
    int len = numberToBytes(n, b + 1);
    if (d.type == 6) {
      b[0] = static_cast<unsigned char>(len);
      return putBytes(d, row, reinterpret_cast<char *>(b), static_cast<size_t>(len + 1), false);
    }
    return putBytes(d, row, reinterpret_cast<char *>(b + 1), static_cast<size_t>(len), false);
  }
  case 3:
  case 4: {
    OraNum n;
    if (!numberValue(st, col, n))
      throw oraError(1722);
    char *dst = d.buffer + static_cast<size_t>(row) * static_cast<size_t>(d.length);
    if (d.type == 4) {
      double v = n.toDouble();
      if (d.length == 4) {
        float f = static_cast<float>(v);
        std::memcpy(dst, &f, 4);
      } else {
        std::memcpy(dst, &v, 8);
      }
    } else {
      OraNum whole = roundNumber(n, 0);
      if (!whole.isInt)
        throw oraError(1455);
      int64_t v = whole.i;
      int64_t lo = d.length == 1   ? INT8_MIN
                   : d.length == 2 ? INT16_MIN
                   : d.length == 4 ? INT32_MIN
                                   : INT64_MIN;
      int64_t hi = d.length == 1   ? INT8_MAX
                   : d.length == 2 ? INT16_MAX
                   : d.length == 4 ? INT32_MAX
                                   : INT64_MAX;
      if (v < lo || v > hi)
        throw oraError(1455);
      if (d.length == 1) {
        int8_t x = static_cast<int8_t>(v);
        std::memcpy(dst, &x, 1);
      } else if (d.length == 2) {
        int16_t x = static_cast<int16_t>(v);
        std::memcpy(dst, &x, 2);
      } else if (d.length == 8) {
        std::memcpy(dst, &v, 8);
      } else {
        int32_t x = static_cast<int32_t>(v);
        std::memcpy(dst, &x, 4);
      }
    }
    if (d.lengths)
      d.lengths[row] = static_cast<uint16_t>(d.length);
    if (d.indicators)
      d.indicators[row] = 0;
    if (d.returnCodes)
      d.returnCodes[row] = 0;
    return false;
  }
  case 12: {
    const char *t = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
    auto v = loadDate(t, static_cast<size_t>(sqlite3_column_bytes(st, col)));
    if (!v || (type != SqlType::Date && !isTimestampType(type))) // a timestamp loses its fraction
      throw oraError(932);
    unsigned char b[7] = {static_cast<unsigned char>(v->year / 100 + 100),
                          static_cast<unsigned char>(v->year % 100 + 100),
                          static_cast<unsigned char>(v->month),
                          static_cast<unsigned char>(v->day),
                          static_cast<unsigned char>(v->hour + 1),
                          static_cast<unsigned char>(v->minute + 1),
                          static_cast<unsigned char>(v->second + 1)};
    return putBytes(d, row, reinterpret_cast<char *>(b), 7, false);
  }
  case 23:
  case 24: {
    const char *p = static_cast<const char *>(sqlite3_column_blob(st, col));
    return putBytes(d, row, p, static_cast<size_t>(sqlite3_column_bytes(st, col)), false);
  }
  default:
    break;
  }
  bool nul = d.type == 5 || d.type == 97;
  if (isTimestampType(type) || isIntervalType(type)) {
    const char *t = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
    std::string s = datetimeText(session, t, static_cast<size_t>(sqlite3_column_bytes(st, col)),
                                 type, info.scale, info.precision);
    return putBytes(d, row, s.data(), s.size(), nul);
  }
  int vt = sqlite3_column_type(st, col);
  if (vt == SQLITE_INTEGER || vt == SQLITE_FLOAT ||
      (vt == SQLITE_BLOB && type == SqlType::Number)) {
    if (type == SqlType::Rowid && vt == SQLITE_INTEGER) {
      std::string r = rowidText(sqlite3_column_int64(st, col));
      return putBytes(d, row, r.data(), r.size(), nul);
    }
    int len;
    if (vt == SQLITE_BLOB) { // Oracle's bytes straight to text
      len = formatNumberBytes(static_cast<const unsigned char *>(sqlite3_column_blob(st, col)),
                              sqlite3_column_bytes(st, col), tmp);
      if (len < 0)
        throw oraError(1722);
    } else {
      OraNum n;
      if (!numberValue(st, col, n))
        throw oraError(1722);
      len = formatNumberTo(n, tmp);
    }
    return putBytes(d, row, tmp, static_cast<size_t>(len), nul);
  }
  if (vt == SQLITE_BLOB) {
    const unsigned char *p = static_cast<const unsigned char *>(sqlite3_column_blob(st, col));
    std::string h = hexText(p, static_cast<size_t>(sqlite3_column_bytes(st, col)));
    return putBytes(d, row, h.data(), h.size(), nul);
  }
  const char *t = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
  size_t n = static_cast<size_t>(sqlite3_column_bytes(st, col));
  if (type == SqlType::Date) {
    if (!dateFormat.empty()) {
      auto v = loadDate(t, n);
      std::string s = v ? formatDate(*v, dateFormat).value_or("") : std::string(t, n);
      return putBytes(d, row, s.data(), s.size(), nul);
    }
    int len = formatDefaultDate(t, n, tmp);
    return putBytes(d, row, tmp, static_cast<size_t>(len), nul);
  }
  return putBytes(d, row, t, n, nul);
}

} // namespace

void writeReturned(Cursor::Impl &m, sqlite3_stmt *st, int row, const Session &session) {
  const CompiledStatement &cs = *m.compiled;
  for (size_t k = 0; k < cs.returnInto.size(); ++k) {
    auto it = m.binds.find(cs.returnInto[k]);
    if (it == m.binds.end())
      throw oraError(1008);
    BindSlot &b = it->second;
    if (!b.value)
      continue;
    size_t at = static_cast<size_t>(row);
    DefineSlot d;
    d.set = true;
    d.buffer = static_cast<char *>(b.value) + at * static_cast<size_t>(std::max(0, b.valueLength));
    d.length = b.valueLength;
    d.type = b.type;
    d.indicators = b.indicators ? b.indicators + at : nullptr;
    d.lengths = b.lengths ? b.lengths + at : nullptr;
    d.returnCodes = b.returnCodes ? b.returnCodes + at : nullptr;
    if (st) {
      writeColumn(st, static_cast<int>(k), cs.returnTypes[k], d, 0, session, cs.returnInfo[k]);
    } else if (d.indicators) {
      d.indicators[0] = -1;
    }
  }
}

int Cursor::fetch(uint32_t rows) {
  Impl &m = *FImpl;
  if (m.state == Impl::Done)
    return 1403;
  if (m.state != Impl::Fetching || !m.stmt)
    throw oraError(1002);
  const CompiledStatement &cs = *m.compiled;
  size_t ncol = cs.columns.size();
  if (m.defines.size() < ncol)
    m.defines.resize(ncol);
  bool cut = false;
  for (uint32_t r = 0; r < rows; ++r) {
    int rc = sqlite3_step(m.stmt);
    if (rc == SQLITE_DONE) {
      m.state = Impl::Done;
      sqlite3_reset(m.stmt);
      return 1403;
    }
    if (rc != SQLITE_ROW) {
      OraError e = stepError(*FSession, rc);
      m.state = Impl::Idle;
      sqlite3_reset(m.stmt);
      throw e;
    }
    for (size_t c = 0; c < ncol; ++c) {
      DefineSlot &d = m.defines[c];
      if (d.set)
        cut |= writeColumn(m.stmt, static_cast<int>(c), cs.columnTypes[c], d, static_cast<int>(r),
                           *FSession, cs.columns[c]);
    }
    ++rowsProcessed;
  }
  if (cut)
    throw oraError(1406);
  return 0;
}

int Cursor::executeFetch(uint32_t rows, bool cancelAfter, bool exact) {
  execute(1, 0);
  if (FImpl->plsql != plsql::PlsqlText::None || !isQuery(FImpl->compiled->ast->kind))
    return 0;
  int rc = 0;
  try {
    rc = fetch(rows);
    if (exact && rc == 0 && FImpl->state == Impl::Fetching) {
      int more = sqlite3_step(FImpl->stmt);
      if (more == SQLITE_ROW) {
        cancel();
        throw oraError(1422);
      }
      FImpl->state = Impl::Done;
      sqlite3_reset(FImpl->stmt);
    }
  } catch (...) {
    if (cancelAfter)
      cancel();
    throw;
  }
  if (cancelAfter)
    cancel();
  return rc;
}

void Cursor::cancel() {
  Impl &m = *FImpl;
  if (m.stmt)
    sqlite3_reset(m.stmt);
  if (m.state != Impl::Idle)
    m.state = Impl::Idle;
}

} // namespace localdb
