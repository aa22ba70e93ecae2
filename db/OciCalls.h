/* The OCI 7 call contract: the 19 entry points the program resolves by name, with the
   argument lists of the OCI 7 documentation, and the members of the data areas it reads.
   Plain C, shared by the database layer (which calls through pointers) and the local
   server (which exports the functions). */
#ifndef TESSALY_OCICALLS_H
#define TESSALY_OCICALLS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef signed short sb2;
typedef unsigned int ub4;
typedef signed int sb4;
typedef int sword;
typedef unsigned char text;

/* The cursor data area (CDA) and the logon data area (LDA) share one 64-byte layout;
   the host data area (HDA) is 256 bytes. Only the members below are read by the program;
   the rest belongs to the library. */
enum { OCI_CDA_SIZE = 64, OCI_HDA_SIZE = 256 };
typedef struct cda_def {
  ub1 area[OCI_CDA_SIZE];
} Cda_Def;
typedef Cda_Def Lda_Def;

enum {
  OCI_CDA_V2_RC = 0,   /* sb2: V2 return code */
  OCI_CDA_FT = 2,      /* ub2: SQL function code */
  OCI_CDA_RPC = 4,     /* ub4: rows processed */
  OCI_CDA_PEO = 8,     /* ub2: parse error offset */
  OCI_CDA_FC = 10,     /* ub1: OCI function code */
  OCI_CDA_RC = 12,     /* ub2: V7 return code */
  OCI_CDA_WRN = 14,    /* ub1: warning flags */
  OCI_CDA_PRIVATE = 16 /* bytes 16..63: the library's own */
};

/* Warning flag bits at OCI_CDA_WRN. */
enum { OCI_WRN_ANY = 0x01, OCI_WRN_COMPILE = 0x20 };

/* External data types the program binds and defines with. */
enum {
  OCI_EXT_VARCHAR2 = 1,
  OCI_EXT_INTEGER = 3,
  OCI_EXT_RAW = 23,
  OCI_EXT_LONG_RAW = 24,
  OCI_EXT_CURSOR = 102
};

/* Return codes the program gives a meaning to. */
enum { OCI_NO_DATA_FOUND = 1403, OCI_VAR_NOT_IN_SELECT_LIST = 1007 };

typedef sword (*olog_t)(Lda_Def *lda, ub1 *hda, text *uid, sword uidl, text *pswd, sword pswdl,
                        text *conn, sword connl, ub4 mode);
typedef sword (*ologof_t)(Lda_Def *lda);
typedef sword (*oerhms_t)(Lda_Def *lda, sb2 rcode, text *buf, sword bufsiz);
typedef sword (*ocom_t)(Lda_Def *lda);
typedef sword (*orol_t)(Lda_Def *lda);
typedef sword (*oopen_t)(Cda_Def *cursor, Lda_Def *lda, text *dbn, sword dbnl, sword arsize,
                         text *uid, sword uidl);
typedef sword (*oclose_t)(Cda_Def *cursor);
typedef sword (*oparse_t)(Cda_Def *cursor, text *sqlstm, sb4 sqllen, sword defflg, ub4 lngflg);
typedef sword (*obndra_t)(Cda_Def *cursor, text *sqlvar, sword sqlvl, ub1 *progv, sword progvl,
                          sword ftype, sword scale, sb2 *indp, ub2 *alen, ub2 *arcode, ub4 maxsiz,
                          ub4 *cursiz, text *fmt, sword fmtl, sword fmtt);
typedef sword (*odefin_t)(Cda_Def *cursor, sword pos, ub1 *buf, sword bufl, sword ftype,
                          sword scale, sb2 *indp, text *fmt, sword fmtl, sword fmtt, ub2 *rlen,
                          ub2 *rcode);
typedef sword (*odescr_t)(Cda_Def *cursor, sword pos, sb4 *dbsize, sb2 *dbtype, sb1 *cbuf,
                          sb4 *cbufl, sb4 *dsize, sb2 *prec, sb2 *scale, sb2 *nullok);
typedef sword (*odessp_t)(Lda_Def *lda, text *objnam, size_t onlen, ub1 *rsv1, size_t rsv1ln,
                          ub1 *rsv2, size_t rsv2ln, ub2 *ovrld, ub2 *pos, ub2 *level,
                          text (*argnm)[30], ub2 *arnlen, ub2 *dtype, ub1 *defsup, ub1 *mode,
                          ub4 *dtsiz, sb2 *prec, sb2 *scale, ub1 *radix, ub4 *spare, ub4 *arrsiz);
typedef sword (*oexfet_t)(Cda_Def *cursor, ub4 nrows, sword cancel, sword exact);
typedef sword (*ofen_t)(Cda_Def *cursor, sword nrows);
typedef sword (*oexn_t)(Cda_Def *cursor, sword iters, sword rowoff);
typedef sword (*ocan_t)(Cda_Def *cursor);
typedef sword (*obreak_t)(Lda_Def *lda);
typedef sword (*oopt_t)(Cda_Def *cursor, sword rbopt, sword waitopt);
typedef sword (*opinit_t)(ub4 mode);

/* The same calls as functions, for a library that provides them. */
sword olog(Lda_Def *lda, ub1 *hda, text *uid, sword uidl, text *pswd, sword pswdl, text *conn,
           sword connl, ub4 mode);
sword ologof(Lda_Def *lda);
sword oerhms(Lda_Def *lda, sb2 rcode, text *buf, sword bufsiz);
sword ocom(Lda_Def *lda);
sword orol(Lda_Def *lda);
sword oopen(Cda_Def *cursor, Lda_Def *lda, text *dbn, sword dbnl, sword arsize, text *uid,
            sword uidl);
sword oclose(Cda_Def *cursor);
sword oparse(Cda_Def *cursor, text *sqlstm, sb4 sqllen, sword defflg, ub4 lngflg);
sword obndra(Cda_Def *cursor, text *sqlvar, sword sqlvl, ub1 *progv, sword progvl, sword ftype,
             sword scale, sb2 *indp, ub2 *alen, ub2 *arcode, ub4 maxsiz, ub4 *cursiz, text *fmt,
             sword fmtl, sword fmtt);
sword odefin(Cda_Def *cursor, sword pos, ub1 *buf, sword bufl, sword ftype, sword scale, sb2 *indp,
             text *fmt, sword fmtl, sword fmtt, ub2 *rlen, ub2 *rcode);
sword odescr(Cda_Def *cursor, sword pos, sb4 *dbsize, sb2 *dbtype, sb1 *cbuf, sb4 *cbufl,
             sb4 *dsize, sb2 *prec, sb2 *scale, sb2 *nullok);
sword odessp(Lda_Def *lda, text *objnam, size_t onlen, ub1 *rsv1, size_t rsv1ln, ub1 *rsv2,
             size_t rsv2ln, ub2 *ovrld, ub2 *pos, ub2 *level, text (*argnm)[30], ub2 *arnlen,
             ub2 *dtype, ub1 *defsup, ub1 *mode, ub4 *dtsiz, sb2 *prec, sb2 *scale, ub1 *radix,
             ub4 *spare, ub4 *arrsiz);
sword oexfet(Cda_Def *cursor, ub4 nrows, sword cancel, sword exact);
sword ofen(Cda_Def *cursor, sword nrows);
sword oexn(Cda_Def *cursor, sword iters, sword rowoff);
sword ocan(Cda_Def *cursor);
sword obreak(Lda_Def *lda);
sword oopt(Cda_Def *cursor, sword rbopt, sword waitopt);
sword opinit(ub4 mode);

#ifdef __cplusplus
}
#endif

#endif
