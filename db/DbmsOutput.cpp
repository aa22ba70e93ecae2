// DBMS_OUTPUT's ENABLE and GET_LINE through a described stored-procedure call.
#include "db/DbmsOutput.h"

#include "classes/Exceptions.h"
#include "db/OciApiStoredProc.h"

namespace {

// An argument of the described procedure; a server describing it otherwise gets a clear error.
TParam &Argument(TOracleStoredProc &AProc, int AIndex) {
  TParams &Params = AProc.Params();
  if (AIndex >= Params.Count())
    throw Exception(AProc.ProcedureName() + " has fewer arguments than expected");
  return *Params.Items(AIndex);
}

} // namespace

TStoredProcOutputServer::TStoredProcOutputServer(QObject *AOwner)
    : FStoredProc(new TOracleStoredProc(AOwner)), FOwned(AOwner == nullptr) {
  FStoredProc->SetName("StoredProc");
  FStoredProc->SetDatabaseName("Database");
}

TStoredProcOutputServer::~TStoredProcOutputServer() {
  if (FOwned)
    delete FStoredProc;
}

void TStoredProcOutputServer::Enable(int ABufferSize) {
  FStoredProc->SetProcedureName("DBMS_OUTPUT.ENABLE");
  Argument(*FStoredProc, 0).SetAsInteger(ABufferSize);
  FStoredProc->Execute();
  FStoredProc->SetProcedureName("DBMS_OUTPUT.GET_LINE");
}

bool TStoredProcOutputServer::GetLine(std::string &ALine) {
  FStoredProc->Execute();
  if (Argument(*FStoredProc, 1).AsString() == "1")
    return false; // no more lines
  ALine = Argument(*FStoredProc, 0).AsString();
  return true;
}
