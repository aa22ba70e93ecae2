// Conditional compilation ($IF ... $THEN ... $ELSIF ... $ELSE ... $END, $ERROR ... $END): the
// branches not taken are blanked before parsing, newlines kept, so every position and line of
// the unit stays where it was written.
#include <cctype>
#include <optional>

#include "localdb/plsql/PlsqlParser.h"
#include "localdb/sql/OraError.h"
#include "localdb/sql/SqlLexer.h"

namespace localdb::plsql {

namespace {

// This server answers as release 19.0 (COMPATIBLE's default).
constexpr int kVersion = 19, kRelease = 0;

// A value of an inquiry or selection expression: NULL, a boolean, a number or a string.
struct CcValue {
  enum Kind { Null, Bool, Number, Text } kind = Null;
  bool b = false;
  double n = 0;
  std::string s;
};

class Evaluator {
public:
  Evaluator(const std::vector<Token> &t, size_t from, size_t to) : FT(t), FPos(from), FEnd(to) {}
  // The condition; a NULL or a condition that is not a boolean counts as not met.
  bool condition() {
    CcValue v = orExpr();
    if (FPos != FEnd)
      throw oraError(0, FT[FPos].pos);
    return v.kind == CcValue::Bool && v.b;
  }

private:
  const std::vector<Token> &FT;
  size_t FPos, FEnd;

  bool is(const char *s) const { return FPos < FEnd && FT[FPos].is(s); }
  bool accept(const char *s) {
    if (!is(s))
      return false;
    ++FPos;
    return true;
  }
  static CcValue boolean(std::optional<bool> b) {
    CcValue v;
    if (b) {
      v.kind = CcValue::Bool;
      v.b = *b;
    }
    return v;
  }
  CcValue orExpr() {
    CcValue l = andExpr();
    while (accept("OR")) {
      CcValue r = andExpr();
      bool lt = l.kind == CcValue::Bool && l.b, rt = r.kind == CcValue::Bool && r.b;
      bool lf = l.kind == CcValue::Bool && !l.b, rf = r.kind == CcValue::Bool && !r.b;
      l = boolean(lt || rt   ? std::optional<bool>(true)
                  : lf && rf ? std::optional<bool>(false)
                             : std::nullopt);
    }
    return l;
  }
  CcValue andExpr() {
    CcValue l = notExpr();
    while (accept("AND")) {
      CcValue r = notExpr();
      bool lt = l.kind == CcValue::Bool && l.b, rt = r.kind == CcValue::Bool && r.b;
      bool lf = l.kind == CcValue::Bool && !l.b, rf = r.kind == CcValue::Bool && !r.b;
      l = boolean(lf || rf   ? std::optional<bool>(false)
                  : lt && rt ? std::optional<bool>(true)
                             : std::nullopt);
    }
    return l;
  }
  CcValue notExpr() {
    if (accept("NOT")) {
      CcValue v = notExpr();
      return v.kind == CcValue::Bool ? boolean(!v.b) : CcValue();
    }
    return comparison();
  }
  CcValue comparison() {
    CcValue l = primary();
    if (accept("IS")) {
      bool negated = accept("NOT");
      if (!accept("NULL"))
        throw oraError(0, FPos < FEnd ? FT[FPos].pos : 0);
      return boolean((l.kind == CcValue::Null) != negated);
    }
    for (const char *op : {"=", "<>", "!=", "~=", "^=", "<=", ">=", "<", ">"}) {
      if (!accept(op))
        continue;
      CcValue r = primary();
      if (l.kind == CcValue::Null || r.kind == CcValue::Null)
        return CcValue();
      int c = 0;
      if (l.kind == CcValue::Number && r.kind == CcValue::Number)
        c = l.n < r.n ? -1 : l.n > r.n ? 1 : 0;
      else if (l.kind == CcValue::Bool && r.kind == CcValue::Bool)
        c = l.b == r.b ? 0 : l.b ? 1 : -1;
      else
        c = l.s.compare(r.s) < 0 ? -1 : l.s.compare(r.s) > 0 ? 1 : 0;
      std::string o = op;
      return boolean(o == "="    ? c == 0
                     : o == "<"  ? c < 0
                     : o == ">"  ? c > 0
                     : o == "<=" ? c <= 0
                     : o == ">=" ? c >= 0
                                 : c != 0);
    }
    return l;
  }
  CcValue primary() {
    if (FPos >= FEnd)
      throw oraError(0, FEnd < FT.size() ? FT[FEnd].pos : 0);
    const Token &t = FT[FPos++];
    CcValue v;
    if (t.is("(")) {
      v = orExpr();
      if (!accept(")"))
        throw oraError(0, t.pos);
      return v;
    }
    if (t.kind == Tok::Number) {
      v.kind = CcValue::Number;
      v.n = std::atof(t.text.c_str());
      return v;
    }
    if (t.kind == Tok::String) {
      v.kind = CcValue::Text;
      v.s = t.text;
      return v;
    }
    if (t.kind != Tok::Ident)
      throw oraError(0, t.pos);
    if (t.text == "TRUE" || t.text == "FALSE")
      return boolean(t.text == "TRUE");
    if (t.text == "NULL")
      return v;
    if (t.text.compare(0, 2, "$$") == 0)
      return v; // a flag nobody set (PLSQL_CCFLAGS is empty here)
    if (t.text == "DBMS_DB_VERSION" && accept(".") && FPos < FEnd) {
      std::string c = FT[FPos++].text;
      if (c == "VERSION" || c == "RELEASE") {
        v.kind = CcValue::Number;
        v.n = c == "VERSION" ? kVersion : kRelease;
        return v;
      }
      // VER_LE_n or VER_LE_n_m: this release is at most n (.m).
      int n = 0, m = -1;
      if (std::sscanf(c.c_str(), "VER_LE_%d_%d", &n, &m) >= 1)
        return boolean(kVersion < n || (kVersion == n && (m < 0 || kRelease <= m)));
    }
    throw oraError(0, t.pos);
  }
};

void blank(std::string &text, int from, int to) {
  for (int i = from; i < to && i < static_cast<int>(text.size()); ++i)
    if (text[static_cast<size_t>(i)] != '\n')
      text[static_cast<size_t>(i)] = ' ';
}

} // namespace

std::string preprocess(const std::string &text, std::vector<CompileError> &errors) {
  if (text.find('$') == std::string::npos)
    return text;
  std::vector<Token> t;
  try {
    Lexer lexer(text, true, true);
    do
      t.push_back(lexer.next());
    while (t.back().kind != Tok::End);
  } catch (const OraError &) {
    return text; // the parser reports it
  }
  auto isDirective = [&](size_t i, const char *w) {
    return t[i].kind == Tok::Ident && t[i].text == w;
  };
  std::string out = text;
  // Each open $IF: whether a branch was taken, and whether the current one is.
  struct Open {
    bool taken, active, outerActive;
    int pos;
  };
  std::vector<Open> stack;
  auto active = [&] { return stack.empty() || stack.back().active; };
  size_t i = 0;
  auto syntax = [&](int pos, const std::string &what) {
    errors.push_back({pos, "PLS-00103: Encountered the symbol \"" + what +
                               "\" when expecting one of the following:\n\n   $THEN"});
  };
  // The condition after $IF / $ELSIF, up to its $THEN: position after the $THEN.
  auto condition = [&](size_t from, bool &met) -> size_t {
    size_t to = from;
    while (t[to].kind != Tok::End && !isDirective(to, "$THEN"))
      ++to;
    if (t[to].kind == Tok::End) {
      syntax(t[to].pos, "end-of-file");
      met = false;
      return to;
    }
    try {
      met = Evaluator(t, from, to).condition();
    } catch (const OraError &e) {
      errors.push_back({e.offset, "PLS-00174: a static boolean expression must be used"});
      met = false;
    }
    return to + 1;
  };
  while (t[i].kind != Tok::End) {
    int start = t[i].pos;
    if (isDirective(i, "$IF")) {
      bool met = false;
      size_t next = condition(i + 1, met);
      bool outer = active();
      stack.push_back({met && outer, met && outer, outer, start});
      blank(out, start, t[next - 1].end);
      i = next;
    } else if (isDirective(i, "$ELSIF") && !stack.empty()) {
      bool met = false;
      size_t next = condition(i + 1, met);
      Open &o = stack.back();
      o.active = o.outerActive && !o.taken && met;
      o.taken = o.taken || o.active;
      blank(out, start, t[next - 1].end);
      i = next;
    } else if (isDirective(i, "$ELSE") && !stack.empty()) {
      Open &o = stack.back();
      o.active = o.outerActive && !o.taken;
      o.taken = true;
      blank(out, start, t[i].end);
      ++i;
    } else if (isDirective(i, "$END") && !stack.empty()) {
      stack.pop_back();
      blank(out, start, t[i].end);
      ++i;
    } else if (isDirective(i, "$ERROR")) {
      // $ERROR text $END: a compile error where it is reached.
      size_t to = i + 1;
      while (t[to].kind != Tok::End && !isDirective(to, "$END"))
        ++to;
      if (active()) {
        std::string message;
        for (size_t k = i + 1; k < to; ++k)
          message += t[k].kind == Tok::String ? t[k].text : "";
        errors.push_back({start, "PLS-00179: $ERROR: " + message});
      }
      blank(out, start, t[to].kind == Tok::End ? t[to].pos : t[to].end);
      i = t[to].kind == Tok::End ? to : to + 1;
    } else {
      if (!active())
        blank(out, start, t[i].end);
      ++i;
    }
  }
  if (!stack.empty())
    syntax(static_cast<int>(text.size()), "end-of-file");
  return out;
}

} // namespace localdb::plsql
