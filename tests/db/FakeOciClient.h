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

inline std::string FakeOciFolder(const char *AVariant) {
  return std::string(FAKEOCI_ROOT) + "/" + AVariant;
}
