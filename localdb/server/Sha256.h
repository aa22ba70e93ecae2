// SHA-256, for the salted password hashes of the accounts.
#pragma once
#include <string>

namespace localdb {

// The digest of bytes as 64 lower-case hex digits.
std::string sha256Hex(const std::string &bytes);

} // namespace localdb
