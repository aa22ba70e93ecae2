// Oracle's regular-expression functions (REGEXP_LIKE, _COUNT, _SUBSTR, _INSTR, _REPLACE) over
// PCRE2, whose syntax covers Oracle's POSIX operators and its Perl-style extensions (\d, \w, \s,
// lazy quantifiers). Text is single bytes here, so the 8-bit library without UTF is the match.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "localdb/sql/SqlFunctions.h"

namespace localdb {

namespace {

constexpr size_t kMaxPattern = 512;          // Oracle's limit on a pattern (ORA-12733)
constexpr uint32_t kMatchLimit = 10'000'000; // a runaway backtracking pattern fails, never hangs
constexpr size_t kCacheSize = 64;

struct Regex {
  pcre2_code *code = nullptr;
  pcre2_match_data *data = nullptr;
  pcre2_match_context *context = nullptr;
  ~Regex() {
    pcre2_match_data_free(data);
    pcre2_match_context_free(context);
    pcre2_code_free(code);
  }
};

// The ORA error of a pattern PCRE2 refuses, by what is wrong with it.
int patternError(int pcreError) {
  switch (pcreError) {
  case PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS:
  case PCRE2_ERROR_UNMATCHED_CLOSING_PARENTHESIS:
    return 12725;
  case PCRE2_ERROR_MISSING_SQUARE_BRACKET:
    return 12726;
  case PCRE2_ERROR_BAD_SUBPATTERN_REFERENCE:
  case PCRE2_ERROR_BACKSLASH_G_SYNTAX:
    return 12727;
  case PCRE2_ERROR_CLASS_RANGE_ORDER:
  case PCRE2_ERROR_CLASS_INVALID_RANGE:
    return 12728;
  case PCRE2_ERROR_UNKNOWN_POSIX_CLASS:
  case PCRE2_ERROR_POSIX_CLASS_NOT_IN_CLASS:
    return 12729;
  case PCRE2_ERROR_QUANTIFIER_OUT_OF_ORDER:
  case PCRE2_ERROR_QUANTIFIER_TOO_BIG:
    return 12732;
  default:
    return 12722;
  }
}

// The options of a match parameter: i (ignore case), c (respect case; the last of i and c
// wins), n (the period matches a newline), m (^ and $ at each line), x (blanks ignored).
// Without m, $ is the end of the text only, as in POSIX.
bool optionsOf(sqlite3_context *ctx, sqlite3_value *param, uint32_t &options) {
  bool caseless = false, multiline = false;
  options = 0;
  if (param && sqlite3_value_type(param) != SQLITE_NULL)
    for (char c : argText(param)) {
      switch (c) {
      case 'i':
        caseless = true;
        break;
      case 'c':
        caseless = false;
        break;
      case 'n':
        options |= PCRE2_DOTALL;
        break;
      case 'm':
        multiline = true;
        break;
      case 'x':
        options |= PCRE2_EXTENDED;
        break;
      default:
        resultOraError(ctx, 1760);
        return false;
      }
    }
  options |= (caseless ? PCRE2_CASELESS : 0) | (multiline ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY);
  return true;
}

// The compiled pattern, from a small per-thread cache (a statement calls it once a row, mostly
// with one pattern). Null, with the error set, when the pattern is not one.
Regex *regexOf(sqlite3_context *ctx, sqlite3_value *pattern, sqlite3_value *param) {
  uint32_t options;
  if (!optionsOf(ctx, param, options))
    return nullptr;
  std::string text = argText(pattern);
  if (text.size() > kMaxPattern) {
    resultOraError(ctx, 12733);
    return nullptr;
  }
  thread_local std::map<std::pair<std::string, uint32_t>, std::unique_ptr<Regex>> cache;
  auto key = std::make_pair(text, options);
  auto hit = cache.find(key);
  if (hit != cache.end())
    return hit->second.get();
  int error = 0;
  PCRE2_SIZE offset = 0;
  auto r = std::make_unique<Regex>();
  r->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), options, &error,
                          &offset, nullptr);
  if (!r->code) {
    resultOraError(ctx, patternError(error));
    return nullptr;
  }
  r->data = pcre2_match_data_create_from_pattern(r->code, nullptr);
  r->context = pcre2_match_context_create(nullptr);
  pcre2_set_match_limit(r->context, kMatchLimit);
  if (cache.size() >= kCacheSize)
    cache.clear();
  return cache.emplace(std::move(key), std::move(r)).first->second.get();
}

// A whole-number argument (position, occurrence, ...) from `least` to `most` (ORA-01428
// outside).
bool countArg(sqlite3_context *ctx, sqlite3_value *v, int64_t least, int64_t &out,
              int64_t most = INT64_MAX) {
  OraNum n;
  if (!argNumber(ctx, v, n))
    return false;
  out = clampToInt(n);
  if (out < least || out > most) {
    resultOraError(ctx, 1428, formatNumber(n));
    return false;
  }
  return true;
}

// The matches of `re` in `s` from byte `from` on, each passed to f(ovector, groups) until f
// returns false. After a match the search goes on where it ended (one further after an empty
// one). False, with the error set, when the match failed (its limit).
template <class F>
bool eachMatch(sqlite3_context *ctx, Regex &re, const std::string &s, size_t from, F f) {
  size_t at = from;
  while (at <= s.size()) {
    int rc = pcre2_match(re.code, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), at, 0, re.data,
                         re.context);
    if (rc == PCRE2_ERROR_NOMATCH)
      return true;
    if (rc < 0) {
      resultOraError(ctx, 12722);
      return false;
    }
    PCRE2_SIZE *ov = pcre2_get_ovector_pointer(re.data);
    if (!f(ov, rc))
      return true;
    at = ov[1] > ov[0] ? ov[1] : ov[0] + 1;
  }
  return true;
}

bool isNullArg(sqlite3_value *v) { return sqlite3_value_type(v) == SQLITE_NULL; }

void resultText(sqlite3_context *ctx, const std::string &s) {
  if (s.empty()) // Oracle's empty string is NULL
    sqlite3_result_null(ctx);
  else
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// REGEXP_LIKE(source, pattern [, match_parameter]): 1 or 0, NULL when either is NULL.
void fnRegexpLike(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  if (isNullArg(argv[0]) || isNullArg(argv[1]))
    return sqlite3_result_null(ctx);
  Regex *re = regexOf(ctx, argv[1], argc > 2 ? argv[2] : nullptr);
  if (!re)
    return;
  bool found = false;
  if (eachMatch(ctx, *re, argText(argv[0]), 0, [&](PCRE2_SIZE *, int) { return !(found = true); }))
    sqlite3_result_int(ctx, found);
}

// REGEXP_COUNT(source, pattern [, position [, match_parameter]]).
void fnRegexpCount(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  if (isNullArg(argv[0]) || isNullArg(argv[1]) || (argc > 2 && isNullArg(argv[2])))
    return sqlite3_result_null(ctx);
  int64_t pos = 1;
  if (argc > 2 && !countArg(ctx, argv[2], 1, pos))
    return;
  Regex *re = regexOf(ctx, argv[1], argc > 3 ? argv[3] : nullptr);
  if (!re)
    return;
  std::string s = argText(argv[0]);
  int64_t n = 0;
  if (static_cast<size_t>(pos) <= s.size() &&
      !eachMatch(ctx, *re, s, static_cast<size_t>(pos - 1), [&](PCRE2_SIZE *, int) {
        ++n;
        return true;
      }))
    return;
  sqlite3_result_int64(ctx, n);
}

// The occurrence-th match from position on, for SUBSTR and INSTR: its whole span or the span of
// subexpression `sub`. False when there is none (or sub took no part); `failed` when an error
// was set.
struct Occurrence {
  size_t start = 0, end = 0;
  bool found = false, failed = false;
};
Occurrence findOccurrence(sqlite3_context *ctx, Regex &re, const std::string &s, int64_t pos,
                          int64_t occurrence, int64_t sub) {
  Occurrence o;
  if (static_cast<size_t>(pos) > s.size() + (s.empty() ? 1 : 0))
    return o;
  int64_t seen = 0;
  o.failed = !eachMatch(ctx, re, s, static_cast<size_t>(pos - 1), [&](PCRE2_SIZE *ov, int groups) {
    if (++seen < occurrence)
      return true;
    if (sub < groups && ov[2 * sub] != PCRE2_UNSET) {
      o.found = true;
      o.start = ov[2 * sub];
      o.end = ov[2 * sub + 1];
    }
    return false;
  });
  return o;
}

// REGEXP_SUBSTR(source, pattern [, position [, occurrence [, match_parameter [, subexpr]]]]).
void fnRegexpSubstr(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  for (int i = 0; i < argc; ++i)
    if (i != 4 && isNullArg(argv[i]))
      return sqlite3_result_null(ctx);
  int64_t pos = 1, occurrence = 1, sub = 0;
  if ((argc > 2 && !countArg(ctx, argv[2], 1, pos)) ||
      (argc > 3 && !countArg(ctx, argv[3], 1, occurrence)) ||
      (argc > 5 && !countArg(ctx, argv[5], 0, sub, 9)))
    return;
  Regex *re = regexOf(ctx, argv[1], argc > 4 ? argv[4] : nullptr);
  if (!re)
    return;
  std::string s = argText(argv[0]);
  Occurrence o = findOccurrence(ctx, *re, s, pos, occurrence, sub);
  if (o.failed)
    return;
  if (!o.found)
    return sqlite3_result_null(ctx);
  resultText(ctx, s.substr(o.start, o.end - o.start));
}

// REGEXP_INSTR(source, pattern [, position [, occurrence [, return_option [, match_parameter
// [, subexpr]]]]]): where the match starts, or (return_option 1) the position after it; 0 when
// there is none.
void fnRegexpInstr(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  for (int i = 0; i < argc; ++i)
    if (i != 5 && isNullArg(argv[i]))
      return sqlite3_result_null(ctx);
  int64_t pos = 1, occurrence = 1, after = 0, sub = 0;
  if ((argc > 2 && !countArg(ctx, argv[2], 1, pos)) ||
      (argc > 3 && !countArg(ctx, argv[3], 1, occurrence)) ||
      (argc > 4 && !countArg(ctx, argv[4], 0, after)) ||
      (argc > 6 && !countArg(ctx, argv[6], 0, sub, 9)))
    return;
  Regex *re = regexOf(ctx, argv[1], argc > 5 ? argv[5] : nullptr);
  if (!re)
    return;
  Occurrence o = findOccurrence(ctx, *re, argText(argv[0]), pos, occurrence, sub);
  if (o.failed)
    return;
  sqlite3_result_int64(ctx, !o.found ? 0 : static_cast<int64_t>(after ? o.end : o.start) + 1);
}

// The replacement of one match: \1 to \9 are its subexpressions (empty when they took no
// part), \\ is a backslash, any other character stands for itself.
void appendReplacement(std::string &out, const std::string &rep, const std::string &s,
                       PCRE2_SIZE *ov, int groups) {
  for (size_t i = 0; i < rep.size(); ++i) {
    char c = rep[i];
    if (c == '\\' && i + 1 < rep.size()) {
      char d = rep[i + 1];
      if (d >= '1' && d <= '9') {
        int g = d - '0';
        if (g < groups && ov[2 * g] != PCRE2_UNSET)
          out.append(s, ov[2 * g], ov[2 * g + 1] - ov[2 * g]);
        ++i;
        continue;
      }
      if (d == '\\') {
        out += '\\';
        ++i;
        continue;
      }
    }
    out += c;
  }
}

// REGEXP_REPLACE(source, pattern [, replace [, position [, occurrence [, match_parameter]]]]):
// occurrence 0 (the default) replaces every match. A NULL pattern leaves the source as it is, a
// NULL replacement removes the matches.
void fnRegexpReplace(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  if (isNullArg(argv[0]) || (argc > 3 && isNullArg(argv[3])) || (argc > 4 && isNullArg(argv[4])))
    return sqlite3_result_null(ctx);
  std::string s = argText(argv[0]);
  if (isNullArg(argv[1]))
    return resultText(ctx, s);
  int64_t pos = 1, occurrence = 0;
  if ((argc > 3 && !countArg(ctx, argv[3], 1, pos)) ||
      (argc > 4 && !countArg(ctx, argv[4], 0, occurrence)))
    return;
  Regex *re = regexOf(ctx, argv[1], argc > 5 ? argv[5] : nullptr);
  if (!re)
    return;
  std::string rep = argc > 2 ? argText(argv[2]) : std::string();
  if (static_cast<size_t>(pos) > s.size())
    return resultText(ctx, s);
  std::string out = s.substr(0, static_cast<size_t>(pos - 1));
  size_t copied = out.size();
  int64_t seen = 0;
  if (!eachMatch(ctx, *re, s, copied, [&](PCRE2_SIZE *ov, int groups) {
        ++seen;
        if (occurrence && seen < occurrence)
          return true;
        out.append(s, copied, ov[0] - copied);
        appendReplacement(out, rep, s, ov, groups);
        copied = ov[1];
        return occurrence == 0;
      }))
    return;
  out.append(s, copied, std::string::npos);
  resultText(ctx, out);
}

} // namespace

void registerRegexpFunctions(sqlite3 *db) {
  struct Def {
    const char *name;
    void (*fn)(sqlite3_context *, int, sqlite3_value **);
  };
  static const Def kDefs[] = {{"ora_regexp_like", fnRegexpLike},
                              {"ora_regexp_count", fnRegexpCount},
                              {"ora_regexp_substr", fnRegexpSubstr},
                              {"ora_regexp_instr", fnRegexpInstr},
                              {"ora_regexp_replace", fnRegexpReplace}};
  for (const Def &d : kDefs)
    sqlite3_create_function_v2(db, d.name, -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, d.fn,
                               nullptr, nullptr, nullptr);
}

} // namespace localdb
