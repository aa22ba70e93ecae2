// DBMS_SQL over the call contract's cursors of the same logon: a statement parsed (DDL runs
// then), its binds given by name as text, its columns fetched a row at a time into text buffers.
#include "localdb/packages/DbmsSql.h"

#include <algorithm>

#include "localdb/server/Cursor.h"
#include "localdb/server/Session.h"

namespace localdb::packages {

using plsql::Value;

namespace {

constexpr int kWidth = 4001; // a column's text, as EXECUTE IMMEDIATE reads it
constexpr size_t kBindRoom = 32767;

// A bind's buffer stays where the cursor was told it is.
struct BindBuffer {
  std::string data;
  int16_t indicator = 0;
  uint16_t length = 0;
};

std::string bindName(std::string name) {
  if (!name.empty() && name[0] == ':')
    name.erase(0, 1);
  for (char &c : name)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

} // namespace

struct DbmsSqlCursor {
  std::unique_ptr<Cursor> cursor;
  bool parsed = false, query = false;
  std::map<std::string, std::unique_ptr<BindBuffer>> binds;
  std::map<int, bool> defined; // the positions DEFINE_COLUMN named
  std::vector<std::vector<char>> buffers;
  std::vector<int16_t> nulls;
  std::vector<uint16_t> sizes;
  bool hasRow = false;
  uint32_t fetched = 0;
};

Value callDbmsSql(const std::string &member, std::vector<Value> &args, Session &s,
                  DbmsSqlCursors &cursors) {
  if (member == "NATIVE")
    return Value::integer(1);
  if (member == "V6")
    return Value::integer(0);
  if (member == "V7")
    return Value::integer(2);
  if (member == "LAST_ROW_COUNT")
    return Value::integer(cursors.lastRowCount);
  if (member == "OPEN_CURSOR") {
    auto c = std::make_shared<DbmsSqlCursor>();
    std::shared_ptr<Session> session(std::shared_ptr<Session>(), &s); // not owned
    c->cursor = std::make_unique<Cursor>(session);
    int64_t id = ++cursors.next;
    cursors.open[id] = c;
    return Value::integer(id);
  }
  int64_t id = args.empty() || args[0].isNull() ? 0 : static_cast<int64_t>(args[0].n.toDouble());
  auto it = cursors.open.find(id);
  if (member == "IS_OPEN")
    return Value::boolean(it != cursors.open.end());
  if (it == cursors.open.end())
    plsql::raise(1001); // invalid cursor
  DbmsSqlCursor &c = *it->second;
  if (member == "CLOSE_CURSOR") {
    cursors.open.erase(it);
    args[0] = Value();
    return Value();
  }
  if (member == "PARSE") {
    const std::string &text = args.size() > 1 ? args[1].s : std::string();
    c.binds.clear();
    c.defined.clear();
    c.hasRow = false;
    c.parsed = false;
    c.cursor->parse(text.data(), text.size(), false); // DDL runs now
    c.parsed = true;
    std::string first;
    for (char ch : text)
      if (std::isalpha(static_cast<unsigned char>(ch)))
        first += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      else if (!first.empty())
        break;
    c.query = first == "SELECT" || first == "WITH";
    return Value();
  }
  if (!c.parsed)
    plsql::raise(1003); // no statement parsed
  if (member == "BIND_VARIABLE") {
    std::string name = bindName(args.size() > 1 ? args[1].s : "");
    auto b = std::make_unique<BindBuffer>();
    Value v = args.size() > 2 ? args[2] : Value();
    b->data = v.t == plsql::VType::Number ? plsql::numberText(v.n) : v.s;
    b->indicator = v.isNull() ? -1 : 0;
    b->length = static_cast<uint16_t>(std::min<size_t>(b->data.size(), 65535));
    b->data.resize(std::max(kBindRoom, b->data.size()));
    c.cursor->bind(":" + name, b->data.data(), static_cast<int>(b->data.size()), 1, &b->indicator,
                   &b->length, nullptr, 0, nullptr);
    c.binds[name] = std::move(b);
    return Value();
  }
  if (member == "DEFINE_COLUMN") {
    int pos = args.size() > 1 ? static_cast<int>(args[1].n.toDouble()) : 0;
    if (pos < 1 || pos > 1000)
      plsql::raise(1007); // variable not in select list
    c.defined[pos] = true;
    return Value();
  }
  auto fetchRow = [&]() -> int64_t {
    int rc = c.cursor->fetch(1);
    c.hasRow = rc == 0 && c.cursor->rowsProcessed > c.fetched;
    c.fetched = c.cursor->rowsProcessed;
    cursors.lastRowCount = c.fetched;
    return c.hasRow ? 1 : 0;
  };
  auto execute = [&]() -> int64_t {
    if (c.query) {
      int n = c.defined.empty() ? 0 : c.defined.rbegin()->first;
      c.buffers.assign(static_cast<size_t>(n), std::vector<char>(kWidth));
      c.nulls.assign(static_cast<size_t>(n), 0);
      c.sizes.assign(static_cast<size_t>(n), 0);
      for (const auto &[pos, on] : c.defined) {
        (void)on;
        size_t k = static_cast<size_t>(pos - 1);
        c.cursor->define(pos, c.buffers[k].data(), kWidth, 1, &c.nulls[k], &c.sizes[k], nullptr);
      }
      c.cursor->execute(1, 0);
      c.fetched = 0;
      c.hasRow = false;
      return 0;
    }
    c.cursor->execute(1, 0);
    cursors.lastRowCount = c.cursor->rowsProcessed;
    return c.cursor->rowsProcessed;
  };
  if (member == "EXECUTE")
    return Value::integer(execute());
  if (member == "FETCH_ROWS") {
    if (!c.query)
      plsql::raise(1002); // fetch out of sequence
    return Value::integer(fetchRow());
  }
  if (member == "EXECUTE_AND_FETCH") {
    execute();
    int64_t got = fetchRow();
    bool exact = args.size() > 1 && args[1].t == plsql::VType::Boolean && args[1].b;
    if (exact && got == 0)
      plsql::raise(1403);
    if (exact && fetchRow() == 1)
      plsql::raise(1422);
    return Value::integer(got);
  }
  if (member == "COLUMN_VALUE") {
    int pos = args.size() > 1 ? static_cast<int>(args[1].n.toDouble()) : 0;
    if (!c.defined.count(pos))
      plsql::raise(1007);
    if (!c.hasRow)
      plsql::raise(1002);
    size_t k = static_cast<size_t>(pos - 1);
    if (args.size() > 2)
      args[2] =
          c.nulls[k] == -1 ? Value() : Value::text(std::string(c.buffers[k].data(), c.sizes[k]));
    return Value();
  }
  if (member == "VARIABLE_VALUE") {
    auto b = c.binds.find(bindName(args.size() > 1 ? args[1].s : ""));
    if (b == c.binds.end())
      plsql::raise(1006); // bind variable does not exist
    if (args.size() > 2)
      args[2] = b->second->indicator < 0
                    ? Value()
                    : Value::text(b->second->data.substr(0, b->second->length));
    return Value();
  }
  plsql::raise(6550);
}

} // namespace localdb::packages
