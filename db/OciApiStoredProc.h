// The stored procedure component: describes a procedure, function or package member through
// odessp, builds one parameter per argument and the anonymous block that calls it.
#pragma once

#include "db/OciApiQuery.h"

// Calls one stored procedure or function by name. Setting ProcedureName describes it; Execute
// binds the parameters and runs the generated call block.
class TOracleStoredProc : public TOracleQueryLite {
public:
  explicit TOracleStoredProc(QObject *AOwner = nullptr);

  const std::string &PackageName() const { return FPackageName; }
  // A different package clears ProcedureName, and with it Params and the call block.
  void SetPackageName(const std::string &AValue);
  // Passed to the server unchanged; a package member is "PACKAGE.MEMBER".
  const std::string &ProcedureName() const { return FProcedureName; }
  void SetProcedureName(const std::string &AValue);
  // Which overload the parameters describe: 1-based, 0 when the procedure is not overloaded.
  std::int32_t OverloadIndex() const { return FOverloadIndex; }
  void SetOverloadIndex(std::int32_t AValue);
  // The number of overloads the last description found; written only by loading.
  std::int32_t OverloadCount() const { return FOverloadCount; }
  void SetOverloadCount(std::int32_t AValue);

  // The description: always fills this component's own Params, whatever list it is handed.
  void ParseParams(TParams &AList) override;
  // The parameter list changes only through the property writes.
  void RefreshParams() override {}
  // The call block, built and kept in SQL when SQL is empty.
  void GetSQL(std::string &AText) override;

  // DatabaseName, Params, PackageName, ProcedureName, OverloadIndex and OverloadCount.
  static const TClassProperties &Properties();

private:
  // The server's description of ProcedureName into Params, then the call block.
  void Describe();

  std::string FPackageName;
  std::string FProcedureName;
  std::int32_t FOverloadIndex = 0;
  std::int32_t FOverloadCount = 0;
};
