// Fuzz target: NUMBER text and bytes. Whatever parses prints back to the same value, its Oracle
// bytes decode to it and order as compareNumbers does; arithmetic on two of them ends in a value
// or an overflow, never a crash; any bytes decode to a value or nothing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "localdb/sql/OraNumber.h"

using namespace localdb;

namespace {

void check(bool ok) {
  if (!ok)
    std::abort();
}

int bytesOrder(const OraNum &a, const OraNum &b) {
  unsigned char p[22], q[22];
  int n = numberToBytes(a, p), m = numberToBytes(b, q);
  int c = std::memcmp(p, q, static_cast<size_t>(std::min(n, m)));
  c = c ? c : n - m;
  return c < 0 ? -1 : c > 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string in(reinterpret_cast<const char *>(data), size);
  numberFromBytes(data, static_cast<int>(std::min<size_t>(size, 21)));
  size_t cut = in.find(' ');
  auto a = parseNumber(in.substr(0, cut));
  if (!a)
    return 0;
  auto back = parseNumber(formatNumber(*a));
  check(back && compareNumbers(*back, *a) == 0);
  unsigned char p[22];
  auto decoded = numberFromBytes(p, numberToBytes(*a, p));
  check(decoded && compareNumbers(*decoded, *a) == 0);
  if (cut == std::string::npos)
    return 0;
  auto b = parseNumber(in.substr(cut + 1));
  if (!b)
    return 0;
  check(bytesOrder(*a, *b) == compareNumbers(*a, *b));
  addNumbers(*a, *b);
  multiplyNumbers(*a, *b);
  if (auto d = subtractNumbers(*a, *b))
    check(compareNumbers(*d, OraNum{}) == compareNumbers(*a, *b) || d->isZero());
  if (!b->isZero())
    divideNumbers(*a, *b);
  modNumbers(*a, *b);
  return 0;
}
