// The SQL function code of a statement, chosen from its leading keywords.
#pragma once
#include <string>

namespace localdb {

// One of the 76 codes of the statement-kind table (4 = SELECT, 34 = PL/SQL block), 85 for
// TRUNCATE as Oracle 7.3 reports it, 0 when the leading keywords name no statement.
int statementKind(const std::string &text);

} // namespace localdb
