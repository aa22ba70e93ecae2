// A fake OCI 7 client library for the database layer's tests: every call is recorded in a log the
// test reads back, and return codes can be scripted. Built in several variants (see CMakeLists).
#include "db/OciCalls.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex Mutex;
std::string Log;
std::map<std::string, int> FailNext; // call name -> return code for its next call

void Record(const std::string &ALine) {
  std::lock_guard Guard(Mutex);
  Log += ALine;
  Log += '\n';
}

void SetReturnCode(Cda_Def *AArea, int ACode) {
  if (!AArea)
    return;
  ub2 Code = static_cast<ub2>(ACode);
  std::memcpy(AArea->area + OCI_CDA_RC, &Code, sizeof Code);
}

// The scripted return code of this call, 0 when none was asked for.
int Outcome(const char *AName) {
  std::lock_guard Guard(Mutex);
  auto It = FailNext.find(AName);
  if (It == FailNext.end())
    return 0;
  int Code = It->second;
  FailNext.erase(It);
  return Code;
}

sword Finish(const char *AName, Cda_Def *AArea) {
  int Code = Outcome(AName);
  SetReturnCode(AArea, Code);
  return Code ? -1 : 0;
}

std::string Text(const text *AText, sword ALength) {
  if (!AText)
    return "(null)";
  return ALength < 0 ? std::string(reinterpret_cast<const char *>(AText))
                     : std::string(reinterpret_cast<const char *>(AText), ALength);
}

} // namespace

// ---- Test controls -----------------------------------------------------------------------------

FAKE_EXPORT const char *fakeoci_name() { return FAKEOCI_NAME; }
FAKE_EXPORT const char *fakeoci_log() {
  std::lock_guard Guard(Mutex);
  static std::string Copy;
  Copy = Log;
  return Copy.c_str();
}
FAKE_EXPORT void fakeoci_clear() {
  std::lock_guard Guard(Mutex);
  Log.clear();
  FailNext.clear();
}
FAKE_EXPORT void fakeoci_fail_next(const char *AName, int ACode) {
  std::lock_guard Guard(Mutex);
  FailNext[AName] = ACode;
}

// ---- The calls ---------------------------------------------------------------------------------

FAKE_EXPORT sword olog(Lda_Def *lda, ub1 *, text *uid, sword uidl, text *pswd, sword pswdl,
                       text *conn, sword connl, ub4 mode) {
  Record("olog " + Text(uid, uidl) + " pswd=" + Text(pswd, pswdl) + " conn=" +
         Text(conn, connl) + " mode=" + std::to_string(mode));
  return Finish("olog", lda);
}
FAKE_EXPORT sword ologof(Lda_Def *lda) {
  Record("ologof");
  return Finish("ologof", lda);
}
FAKE_EXPORT sword oerhms(Lda_Def *, sb2 rcode, text *buf, sword bufsiz) {
  Record("oerhms " + std::to_string(rcode));
  std::snprintf(reinterpret_cast<char *>(buf), bufsiz, "ORA-%05d: fake message %d", rcode,
                rcode);
  return 0;
}
FAKE_EXPORT sword ocom(Lda_Def *lda) {
  Record("ocom");
  return Finish("ocom", lda);
}
FAKE_EXPORT sword orol(Lda_Def *lda) {
  Record("orol");
  return Finish("orol", lda);
}
FAKE_EXPORT sword oopen(Cda_Def *cursor, Lda_Def *, text *, sword, sword, text *, sword) {
  Record("oopen");
  return Finish("oopen", cursor);
}
FAKE_EXPORT sword oclose(Cda_Def *cursor) {
  Record("oclose");
  return Finish("oclose", cursor);
}
FAKE_EXPORT sword oparse(Cda_Def *cursor, text *sqlstm, sb4 sqllen, sword defflg, ub4 lngflg) {
  Record("oparse " + Text(sqlstm, sqllen) + " defer=" + std::to_string(defflg) +
         " lang=" + std::to_string(lngflg));
  return Finish("oparse", cursor);
}
FAKE_EXPORT sword obndra(Cda_Def *cursor, text *sqlvar, sword sqlvl, ub1 *, sword progvl,
                         sword ftype, sword, sb2 *, ub2 *, ub2 *, ub4 maxsiz, ub4 *, text *, sword,
                         sword) {
  Record("obndra " + Text(sqlvar, sqlvl) + " size=" + std::to_string(progvl) +
         " type=" + std::to_string(ftype) + " max=" + std::to_string(maxsiz));
  return Finish("obndra", cursor);
}
FAKE_EXPORT sword odefin(Cda_Def *cursor, sword pos, ub1 *, sword bufl, sword ftype, sword,
                         sb2 *, text *, sword, sword, ub2 *, ub2 *) {
  Record("odefin " + std::to_string(pos) + " size=" + std::to_string(bufl) +
         " type=" + std::to_string(ftype));
  return Finish("odefin", cursor);
}
FAKE_EXPORT sword odescr(Cda_Def *cursor, sword pos, sb4 *, sb2 *, sb1 *, sb4 *, sb4 *, sb2 *,
                         sb2 *, sb2 *) {
  Record("odescr " + std::to_string(pos));
  // No select list: the first position already lies past its end.
  SetReturnCode(cursor, OCI_VAR_NOT_IN_SELECT_LIST);
  return -1;
}
#ifndef FAKEOCI_NO_ODESSP
FAKE_EXPORT sword odessp(Lda_Def *lda, text *objnam, size_t, ub1 *, size_t, ub1 *, size_t, ub2 *,
                         ub2 *, ub2 *, text (*)[30], ub2 *, ub2 *, ub1 *, ub1 *, ub4 *, sb2 *,
                         sb2 *, ub1 *, ub4 *, ub4 *arrsiz) {
  Record("odessp " + Text(objnam, -1));
  if (arrsiz)
    *arrsiz = 0;
  return Finish("odessp", lda);
}
#endif
FAKE_EXPORT sword oexfet(Cda_Def *cursor, ub4 nrows, sword cancel, sword exact) {
  Record("oexfet " + std::to_string(nrows) + " cancel=" + std::to_string(cancel) +
         " exact=" + std::to_string(exact));
  return Finish("oexfet", cursor);
}
FAKE_EXPORT sword ofen(Cda_Def *cursor, sword nrows) {
  Record("ofen " + std::to_string(nrows));
  return Finish("ofen", cursor);
}
FAKE_EXPORT sword oexn(Cda_Def *cursor, sword iters, sword rowoff) {
  Record("oexn " + std::to_string(iters) + " " + std::to_string(rowoff));
  return Finish("oexn", cursor);
}
FAKE_EXPORT sword ocan(Cda_Def *cursor) {
  Record("ocan");
  return Finish("ocan", cursor);
}
FAKE_EXPORT sword obreak(Lda_Def *) {
  Record("obreak");
  return 0;
}
FAKE_EXPORT sword oopt(Cda_Def *, sword, sword) {
  Record("oopt");
  return 0;
}
#ifndef FAKEOCI_NO_OPINIT
FAKE_EXPORT sword opinit(ub4 mode) {
  Record("opinit " + std::to_string(mode));
  return 0;
}
#endif
