// Reading and scripting the fake client library that a session has loaded.
#pragma once

#include "db/OciApi.h"

#include <dlfcn.h>
#include <string>

struct TFakeOci {
  void *Handle;
  explicit TFakeOci(const TSession &ASession) : Handle(ASession.LibraryHandle()) {}
  std::string Log() const { return Call<const char *(*)()>("fakeoci_log")(); }
  std::string Name() const { return Call<const char *(*)()>("fakeoci_name")(); }
  void Clear() const { Call<void (*)()>("fakeoci_clear")(); }
  void FailNext(const char *ACall, int ACode) const {
    Call<void (*)(const char *, int)>("fakeoci_fail_next")(ACall, ACode);
  }
  int Count(const std::string &ACall) const {
    std::string Text = "\n" + Log();
    int N = 0;
    for (size_t At = Text.find("\n" + ACall); At != std::string::npos;
         At = Text.find("\n" + ACall, At + 1))
      ++N;
    return N;
  }

private:
  template <typename F> F Call(const char *AName) const {
    return reinterpret_cast<F>(dlsym(Handle, AName));
  }
};

// The scripting side of the fake library's cursor section.
struct TFakeCursors {
  void *Handle;
  void Select(const char *AColumns, long ARows) const {
    Call<void (*)(const char *, long)>("fakeoci_script_select")(AColumns, ARows);
  }
  // A select list with scripted rows ("a|b" cells, one row per line) for the statements whose
  // text holds AMatch (compared in capitals).
  void Rows(const char *AMatch, const char *AColumns, const char *ARows) const {
    Call<void (*)(const char *, const char *, const char *)>("fakeoci_script_rows")(
        AMatch, AColumns, ARows);
  }
  // What odessp answers for a name: "overload,position,level,name,type,default,mode,size;..."
  // with "-" for an empty name.
  void Procedure(const char *AName, const char *AEntries) const {
    Call<void (*)(const char *, const char *)>("fakeoci_script_procedure")(AName, AEntries);
  }
  void Output(const char *AName, const char *AValue) const {
    Call<void (*)(const char *, const char *)>("fakeoci_script_output")(AName, AValue);
  }
  void ParseError(int AOffset) const { Call<void (*)(int)>("fakeoci_script_parse_error")(AOffset); }
  std::string Bound() const { return Call<const char *(*)()>("fakeoci_bound")(); }
  void Reset() const { Call<void (*)()>("fakeoci_reset_cursors")(); }
  template <typename F> F Call(const char *AName) const {
    return reinterpret_cast<F>(dlsym(Handle, AName));
  }
};

inline std::string FakeOciFolder(const char *AVariant) {
  return std::string(FAKEOCI_ROOT) + "/" + AVariant;
}
