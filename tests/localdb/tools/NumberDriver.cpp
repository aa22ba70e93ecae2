// Reads one case a line, "op a [b]", and prints the server's answer, for the differential check
// against python3's decimal module (fuzz/localdb/number_diff.py). An error prints "ORA-nnnnn".
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "localdb/sql/OraNumber.h"

using namespace localdb;

namespace {

std::string answer(const std::string &op, const std::string &x, const std::string &y) {
  int err = 0;
  auto a = parseNumber(x, &err);
  if (!a)
    return "ORA-0" + std::to_string(err);
  if (op == "text")
    return formatNumber(*a);
  if (op == "btext") { // the text made straight from the stored bytes
    unsigned char p[22];
    char out[64];
    int n = formatNumberBytes(p, numberToBytes(*a, p), out);
    return n < 0 ? "BAD bytes" : std::string(out, static_cast<size_t>(n));
  }
  if (op == "bytes") { // the internal form back to the value, and its order against y's
    unsigned char p[22], q[22];
    int n = numberToBytes(*a, p);
    auto back = numberFromBytes(p, n);
    if (!back || compareNumbers(*back, *a) != 0)
      return "BAD round trip";
    auto b = parseNumber(y, &err);
    if (!b)
      return "ORA-0" + std::to_string(err);
    int m = numberToBytes(*b, q);
    int c = std::memcmp(p, q, static_cast<size_t>(std::min(n, m)));
    c = c ? c : n - m;
    return std::to_string(c < 0 ? -1 : c > 0) + " " + std::to_string(compareNumbers(*a, *b));
  }
  bool overflow = false;
  std::optional<OraNum> r;
  if (op == "sqrt")
    r = sqrtNumber(*a);
  else if (op == "exp")
    r = expNumber(*a, &overflow);
  else if (op == "ln")
    r = lnNumber(*a);
  else if (op == "round" || op == "trunc") {
    int places = std::stoi(y);
    r = op == "round" ? roundNumber(*a, places) : truncNumber(*a, places);
  } else if (op == "fit") {
    int p = std::stoi(y.substr(0, y.find(','))), s = std::stoi(y.substr(y.find(',') + 1));
    r = fitNumber(*a, p, s);
    if (!r)
      return "ORA-01438";
  } else {
    auto b = parseNumber(y, &err);
    if (!b)
      return "ORA-0" + std::to_string(err);
    if (op == "add")
      r = addNumbers(*a, *b);
    else if (op == "sub")
      r = subtractNumbers(*a, *b);
    else if (op == "mul")
      r = multiplyNumbers(*a, *b);
    else if (op == "div") {
      if (b->isZero())
        return "ORA-01476";
      r = divideNumbers(*a, *b);
    } else if (op == "cmp")
      return std::to_string(compareNumbers(*a, *b));
    else if (op == "mod")
      r = modNumbers(*a, *b);
    else if (op == "power")
      r = powerNumber(*a, *b, &overflow);
    else
      return "unknown op";
    if (!r && op != "power")
      overflow = true;
  }
  if (!r)
    return overflow ? "ORA-01426" : "ORA-01428";
  return formatNumber(*r);
}

} // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string op, a, b;
    in >> op >> a >> b;
    std::cout << answer(op, a, b) << '\n';
  }
  return 0;
}
