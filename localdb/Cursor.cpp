// A cursor: parse, bind, define, describe, execute and fetch over a compiled statement.
#include "Cursor.h"

#include "StatementKind.h"

namespace localdb {

struct Cursor::Impl {
  std::string text;
};

Cursor::Cursor(std::shared_ptr<Session> session)
    : FSession(std::move(session)), FImpl(std::make_unique<Impl>()) {}

Cursor::~Cursor() = default;

void Cursor::parse(const char *text, size_t length, bool deferred) {
  FImpl->text.assign(text, length);
  functionCode = statementKind(FImpl->text);
  parseErrorOffset = 0;
  rowsProcessed = 0;
  if (!deferred)
    throw oraError(3001, 0);
}

void Cursor::bind(const std::string &, void *, int, int, int16_t *, uint16_t *, uint16_t *,
                  uint32_t, uint32_t *) {
  throw oraError(3001);
}

void Cursor::define(int, void *, int, int, int16_t *, uint16_t *, uint16_t *) {
  throw oraError(3001);
}

DescribeInfo Cursor::describe(int) { throw oraError(3001); }

int Cursor::execute(int, int) { throw oraError(3001); }

int Cursor::executeFetch(uint32_t, bool, bool) { throw oraError(3001); }

int Cursor::fetch(uint32_t) { throw oraError(3001); }

void Cursor::cancel() {}

} // namespace localdb
