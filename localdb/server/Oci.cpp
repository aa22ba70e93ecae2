// The exported OCI 7 calls: data-area handles, per-logon serialisation, errors to return codes.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#pragma GCC visibility push(default)
#include "db/OciCalls.h"
#pragma GCC visibility pop

#include "localdb/plsql/PlsqlDescribe.h"
#include "localdb/server/Cursor.h"
#include "localdb/server/Session.h"
#include "localdb/sql/OraError.h"

using namespace localdb;

namespace {

// Our handle in the caller's data area: a magic number at 16 and a registry id at 24. Nothing
// read from caller memory is ever dereferenced; an id is only looked up in the registry.
constexpr uint32_t kLdaMagic = 0x4c595354; // "TSYL"
constexpr uint32_t kCdaMagic = 0x43595354; // "TSYC"

struct Registry {
  std::mutex mutex;
  std::unordered_map<uint64_t, std::shared_ptr<Session>> sessions;
  std::unordered_map<uint64_t, std::shared_ptr<Cursor>> cursors;
  uint64_t next = 1;
};

// Never destroyed: a call may still arrive while the process exits.
Registry &registry() {
  static Registry *r = new Registry;
  return *r;
}

// The last failure on this thread, for oerhms when the data area has no logon (a failed olog).
thread_local int tlsCode = 0;
thread_local std::string tlsText;

void setHandle(ub1 *area, uint32_t magic, uint64_t id) {
  std::memcpy(area + 16, &magic, 4);
  std::memset(area + 20, 0, 4);
  std::memcpy(area + 24, &id, 8);
}

uint64_t handleOf(const ub1 *area, uint32_t magic) {
  if (!area)
    return 0;
  uint32_t m;
  uint64_t id;
  std::memcpy(&m, area + 16, 4);
  std::memcpy(&id, area + 24, 8);
  return m == magic ? id : 0;
}

void clearHandle(ub1 *area) { std::memset(area + 16, 0, 16); }

void setReturnCode(ub1 *area, int rc) {
  ub2 v = static_cast<ub2>(rc);
  std::memcpy(area + OCI_CDA_RC, &v, 2);
  sb2 v2 = rc == 0 ? 0 : static_cast<sb2>(rc == 1403 ? 4 : -1);
  std::memcpy(area + OCI_CDA_V2_RC, &v2, 2);
}

// The object a data area's handle names, or none; with take, it also leaves the registry.
template <class T>
std::shared_ptr<T> lookUp(std::unordered_map<uint64_t, std::shared_ptr<T>> &objects,
                          const ub1 *area, uint32_t magic, bool take = false) {
  uint64_t id = handleOf(area, magic);
  if (!id)
    return nullptr;
  std::lock_guard<std::mutex> lock(registry().mutex);
  auto it = objects.find(id);
  if (it == objects.end())
    return nullptr;
  std::shared_ptr<T> found = it->second;
  if (take)
    objects.erase(it);
  return found;
}

std::shared_ptr<Session> findSession(const ub1 *area) {
  return lookUp(registry().sessions, area, kLdaMagic);
}

std::shared_ptr<Cursor> findCursor(const ub1 *area) {
  return lookUp(registry().cursors, area, kCdaMagic);
}

void rememberThread(const OraError &e) {
  tlsCode = e.code;
  tlsText = e.message;
}

std::string cstr(const text *p, sword len) {
  if (!p || len == 0)
    return std::string();
  const char *s = reinterpret_cast<const char *>(p);
  if (len < 0)
    return std::string(s, strnlen(s, 65535));
  return std::string(s, static_cast<size_t>(len));
}

// Runs f under the logon's lock, turning every failure into a return code in the area.

// Runs a call on an open logon; every failure becomes the return code the logon remembers (and
// the thread, for oerhms): Oracle's error, ORA-04030 for memory, ORA-00600 for anything else.
// An error's offset goes to *offset when given (a cursor's parse error offset).
template <class F> int guarded(Session &s, F f, int *offset = nullptr) {
  try {
    if (!s.open())
      throw oraError(1012);
    return f();
  } catch (const OraError &e) {
    if (offset && e.offset >= 0)
      *offset = e.offset;
    s.remember(e);
    rememberThread(e);
    return e.code;
  } catch (const std::bad_alloc &) {
    const OraError e = oraErrorText(4030, "out of process memory");
    s.remember(e);
    rememberThread(e);
    return e.code;
  } catch (...) {
    const OraError e = oraErrorArg(600, "localdb");
    s.remember(e);
    rememberThread(e);
    return e.code;
  }
}

template <class F> sword onSession(Lda_Def *lda, F f) {
  if (!lda)
    return 1012;
  std::shared_ptr<Session> s = findSession(lda->area);
  if (!s || !s->open()) {
    OraError e = oraError(1012);
    rememberThread(e);
    setReturnCode(lda->area, e.code);
    return e.code;
  }
  std::lock_guard<std::recursive_mutex> lock(s->mutex);
  const int rc = guarded(*s, [&] { return f(*s); });
  setReturnCode(lda->area, rc);
  return rc;
}

void writeCursor(ub1 *area, const Cursor &c, int rc) {
  setReturnCode(area, rc);
  ub2 ft = static_cast<ub2>(c.functionCode);
  std::memcpy(area + OCI_CDA_FT, &ft, 2);
  ub4 rpc = c.rowsProcessed;
  std::memcpy(area + OCI_CDA_RPC, &rpc, 4);
  ub2 peo = static_cast<ub2>(c.parseErrorOffset);
  std::memcpy(area + OCI_CDA_PEO, &peo, 2);
  area[OCI_CDA_WRN] = c.warningFlags;
}

template <class F> sword onCursor(Cda_Def *cda, F f) {
  if (!cda)
    return 1001;
  std::shared_ptr<Cursor> c = findCursor(cda->area);
  if (!c) {
    OraError e = oraError(1001);
    rememberThread(e);
    setReturnCode(cda->area, e.code);
    return e.code;
  }
  const std::shared_ptr<Session> &s = c->session();
  std::lock_guard<std::recursive_mutex> lock(s->mutex);
  s->clearBreak(); // a break aims at the call running when it came, never at a later one
  const int rc = guarded(
      *s, [&] { return f(*c); }, &c->parseErrorOffset);
  writeCursor(cda->area, *c, rc);
  return rc;
}

// The cursor variables an execute opened for binds of external type 102 become the cursors of
// the data areas bound: an area that holds a cursor of this logon takes the query in place
// (its handle stays valid), any other gets a new cursor. Runs under the logon's lock.
void adoptOpenedCursors(Cursor &c) {
  for (auto &[area, state] : c.takeOpenedCursors()) {
    Cda_Def *cda = static_cast<Cda_Def *>(area);
    std::shared_ptr<Cursor> target = findCursor(cda->area);
    if (target.get() == &c)
      throw oraError(1001); // a cursor cannot receive its own block's result
    if (!target || target->session() != c.session()) {
      target = std::make_shared<Cursor>(c.session());
      Registry &r = registry();
      uint64_t id;
      {
        std::lock_guard<std::mutex> lock(r.mutex);
        id = r.next++;
        r.cursors[id] = target;
      }
      std::memset(cda->area, 0, 16);
      setHandle(cda->area, kCdaMagic, id);
    }
    target->adopt(std::move(state));
    writeCursor(cda->area, *target, 0);
  }
}

} // namespace

extern "C" {

sword opinit(ub4) { return 0; }

sword olog(Lda_Def *lda, ub1 *, text *uid, sword uidl, text *pswd, sword pswdl, text *conn,
           sword connl, ub4) {
  if (!lda)
    return 1012;
  // A logon area used again: the old logon ends as a logoff would.
  {
    std::shared_ptr<Session> s = lookUp(registry().sessions, lda->area, kLdaMagic, true);
    if (s) {
      std::lock_guard<std::recursive_mutex> lock(s->mutex);
      try {
        s->close();
      } catch (const OraError &) {
      }
    }
  }
  clearHandle(lda->area);
  try {
    std::string u = cstr(uid, uidl);
    std::string p = cstr(pswd, pswdl), c = cstr(conn, connl);
    std::shared_ptr<Session> s =
        logon(u, pswd && pswdl != 0 ? &p : nullptr, conn && connl != 0 ? &c : nullptr);
    Registry &r = registry();
    uint64_t id;
    {
      std::lock_guard<std::mutex> lock(r.mutex);
      id = r.next++;
      r.sessions[id] = s;
    }
    setHandle(lda->area, kLdaMagic, id);
    setReturnCode(lda->area, 0);
    return 0;
  } catch (const OraError &e) {
    rememberThread(e);
    setReturnCode(lda->area, e.code);
    return e.code;
  } catch (...) {
    OraError e = oraErrorArg(600, "localdb logon");
    rememberThread(e);
    setReturnCode(lda->area, e.code);
    return e.code;
  }
}

sword ologof(Lda_Def *lda) {
  if (!lda)
    return 1012;
  std::shared_ptr<Session> s = lookUp(registry().sessions, lda->area, kLdaMagic, true);
  if (!s) {
    OraError e = oraError(1012);
    rememberThread(e);
    setReturnCode(lda->area, e.code);
    return e.code;
  }
  clearHandle(lda->area);
  std::lock_guard<std::recursive_mutex> lock(s->mutex);
  try {
    s->close();
  } catch (const OraError &e) {
    rememberThread(e);
    setReturnCode(lda->area, e.code);
    return e.code;
  }
  setReturnCode(lda->area, 0);
  return 0;
}

sword oerhms(Lda_Def *lda, sb2 rcode, text *buf, sword bufsiz) {
  if (!buf || bufsiz <= 0)
    return 0;
  // The code comes as the 16 bits of the data area's return code: numbers above 32767
  // (ORA-32795) arrive negative.
  int code = rcode < 0 ? rcode + 65536 : rcode;
  std::string msg;
  if (std::shared_ptr<Session> s = lda ? findSession(lda->area) : nullptr) {
    std::lock_guard<std::recursive_mutex> lock(s->mutex);
    msg = s->lastText(code);
  }
  if (msg.empty() && tlsCode == code)
    msg = tlsText;
  if (msg.empty())
    msg = oraMessage(code);
  size_t n = std::min(msg.size(), static_cast<size_t>(bufsiz - 1));
  std::memcpy(buf, msg.data(), n);
  buf[n] = 0;
  return static_cast<sword>(n);
}

sword ocom(Lda_Def *lda) {
  return onSession(lda, [](Session &s) {
    s.commit();
    return 0;
  });
}

sword orol(Lda_Def *lda) {
  return onSession(lda, [](Session &s) {
    s.rollback();
    return 0;
  });
}

sword oopen(Cda_Def *cursor, Lda_Def *lda, text *, sword, sword, text *, sword) {
  if (!cursor)
    return 1001;
  // An area that already holds a cursor is reopened: the old cursor ends first, under its
  // logon's lock like any other call on it.
  {
    std::shared_ptr<Cursor> c = lookUp(registry().cursors, cursor->area, kCdaMagic, true);
    if (c) {
      std::shared_ptr<Session> s = c->session();
      std::lock_guard<std::recursive_mutex> lock(s->mutex);
      c.reset();
    }
  }
  clearHandle(cursor->area);
  std::memset(cursor->area, 0, 16);
  std::shared_ptr<Session> s = lda ? findSession(lda->area) : nullptr;
  if (!s || !s->open()) {
    OraError e = oraError(1012);
    rememberThread(e);
    setReturnCode(cursor->area, e.code);
    if (lda)
      setReturnCode(lda->area, e.code);
    return e.code;
  }
  std::shared_ptr<Cursor> c;
  try {
    std::lock_guard<std::recursive_mutex> lock(s->mutex);
    c = std::make_shared<Cursor>(s);
  } catch (const OraError &e) {
    s->remember(e);
    rememberThread(e);
    setReturnCode(cursor->area, e.code);
    if (lda)
      setReturnCode(lda->area, e.code);
    return e.code;
  } catch (...) {
    OraError e = oraErrorText(4030, "out of process memory");
    rememberThread(e);
    setReturnCode(cursor->area, e.code);
    return e.code;
  }
  Registry &r = registry();
  uint64_t id;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    id = r.next++;
    r.cursors[id] = c;
  }
  setHandle(cursor->area, kCdaMagic, id);
  writeCursor(cursor->area, *c, 0);
  return 0;
}

sword oclose(Cda_Def *cursor) {
  if (!cursor)
    return 1001;
  std::shared_ptr<Cursor> c = lookUp(registry().cursors, cursor->area, kCdaMagic, true);
  if (!c) {
    OraError e = oraError(1001);
    rememberThread(e);
    setReturnCode(cursor->area, e.code);
    return e.code;
  }
  clearHandle(cursor->area);
  {
    // The statement is finalised under the logon's lock.
    std::shared_ptr<Session> s = c->session();
    std::lock_guard<std::recursive_mutex> lock(s->mutex);
    c.reset();
  }
  setReturnCode(cursor->area, 0);
  return 0;
}

sword oparse(Cda_Def *cursor, text *sqlstm, sb4 sqllen, sword defflg, ub4) {
  return onCursor(cursor, [&](Cursor &c) {
    if (!sqlstm)
      throw oraError(900, 0);
    const char *s = reinterpret_cast<const char *>(sqlstm);
    size_t n = sqllen < 0 ? strnlen(s, 1u << 30) : static_cast<size_t>(sqllen);
    c.parse(s, n, defflg != 0);
    return 0;
  });
}

sword obndra(Cda_Def *cursor, text *sqlvar, sword sqlvl, ub1 *progv, sword progvl, sword ftype,
             sword, sb2 *indp, ub2 *alen, ub2 *arcode, ub4 maxsiz, ub4 *cursiz, text *, sword,
             sword) {
  return onCursor(cursor, [&](Cursor &c) {
    c.bind(cstr(sqlvar, sqlvl), progv, progvl, ftype, indp, alen, arcode, maxsiz, cursiz);
    return 0;
  });
}

sword odefin(Cda_Def *cursor, sword pos, ub1 *buf, sword bufl, sword ftype, sword, sb2 *indp,
             text *, sword, sword, ub2 *rlen, ub2 *rcode) {
  return onCursor(cursor, [&](Cursor &c) {
    c.define(pos, buf, bufl, ftype, indp, rlen, rcode);
    return 0;
  });
}

sword odescr(Cda_Def *cursor, sword pos, sb4 *dbsize, sb2 *dbtype, sb1 *cbuf, sb4 *cbufl,
             sb4 *dsize, sb2 *prec, sb2 *scale, sb2 *nullok) {
  return onCursor(cursor, [&](Cursor &c) {
    DescribeInfo d = c.describe(pos);
    if (dbsize)
      *dbsize = d.dbsize;
    if (dbtype)
      *dbtype = static_cast<sb2>(d.dbtype);
    if (cbufl) {
      sb4 room = *cbufl;
      sb4 n = static_cast<sb4>(d.name.size());
      if (cbuf && room > 0) {
        n = std::min(n, room);
        std::memcpy(cbuf, d.name.data(), static_cast<size_t>(n));
      }
      *cbufl = n;
    }
    if (dsize)
      *dsize = d.displaySize;
    if (prec)
      *prec = static_cast<sb2>(d.precision);
    if (scale)
      *scale = static_cast<sb2>(d.scale);
    if (nullok)
      *nullok = d.nullOk ? 1 : 0;
    return 0;
  });
}

sword odessp(Lda_Def *lda, text *objnam, size_t onlen, ub1 *, size_t, ub1 *, size_t, ub2 *ovrld,
             ub2 *pos, ub2 *level, text (*argnm)[30], ub2 *arnlen, ub2 *dtype, ub1 *defsup,
             ub1 *mode, ub4 *dtsiz, sb2 *prec, sb2 *scale, ub1 *radix, ub4 *spare, ub4 *arrsiz) {
  // The room is read before anything else: every array holds *arrsiz entries, no more.
  const ub4 room = arrsiz ? *arrsiz : 0;
  if (arrsiz)
    *arrsiz = 0;
  return onSession(lda, [&](Session &s) -> int {
    std::string name =
        cstr(objnam, onlen == static_cast<size_t>(-1) ? -1 : sword(std::min<size_t>(onlen, 65535)));
    std::vector<plsql::DescribedArgument> entries = plsql::describeProcedure(s, name);
    // A description longer than the caller's arrays is refused whole, never written past them.
    if (entries.size() > room)
      throw oraErrorText(6513,
                         "PL/SQL: index for PL/SQL table out of range for host language array");
    for (size_t i = 0; i < entries.size(); ++i) {
      const plsql::DescribedArgument &e = entries[i];
      if (ovrld)
        ovrld[i] = static_cast<ub2>(e.overload);
      if (pos)
        pos[i] = static_cast<ub2>(e.position);
      if (level)
        level[i] = static_cast<ub2>(e.level);
      size_t n = std::min<size_t>(e.name.size(), 30);
      if (argnm) {
        std::memset(argnm[i], ' ', 30);
        std::memcpy(argnm[i], e.name.data(), n);
      }
      if (arnlen)
        arnlen[i] = static_cast<ub2>(n);
      if (dtype)
        dtype[i] = static_cast<ub2>(e.type);
      if (defsup)
        defsup[i] = e.hasDefault ? 1 : 0;
      if (mode)
        mode[i] = static_cast<ub1>(e.mode);
      if (dtsiz)
        dtsiz[i] = e.size;
      if (prec)
        prec[i] = static_cast<sb2>(e.precision);
      if (scale)
        scale[i] = static_cast<sb2>(e.scale);
      if (radix)
        radix[i] = static_cast<ub1>(e.radix);
      if (spare)
        spare[i] = 0;
    }
    if (arrsiz)
      *arrsiz = static_cast<ub4>(entries.size());
    return 0;
  });
}

sword oexfet(Cda_Def *cursor, ub4 nrows, sword cancel, sword exact) {
  return onCursor(cursor, [&](Cursor &c) {
    int rc = c.executeFetch(nrows, cancel != 0, exact != 0);
    adoptOpenedCursors(c);
    return rc;
  });
}

sword ofen(Cda_Def *cursor, sword nrows) {
  return onCursor(cursor, [&](Cursor &c) { return c.fetch(nrows < 0 ? 0u : ub4(nrows)); });
}

sword oexn(Cda_Def *cursor, sword iters, sword rowoff) {
  return onCursor(cursor, [&](Cursor &c) {
    int rc = c.execute(iters, rowoff);
    adoptOpenedCursors(c);
    return rc;
  });
}

sword ocan(Cda_Def *cursor) {
  return onCursor(cursor, [&](Cursor &c) {
    c.cancel();
    return 0;
  });
}

sword obreak(Lda_Def *lda) {
  // Not under the logon's lock: the call to abort holds it.
  std::shared_ptr<Session> s = lda ? findSession(lda->area) : nullptr;
  if (!s)
    return 1012;
  s->requestBreak();
  return 0;
}

sword oopt(Cda_Def *, sword, sword) { return 0; }

} // extern "C"
