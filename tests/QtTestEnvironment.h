// One Qt application object for a whole test program, headless unless a platform is chosen.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <gtest/gtest.h>
#include <memory>

template <class TApplicationClass> class TQtEnvironment : public ::testing::Environment {
public:
  explicit TQtEnvironment(const char *AName) : FName(AName) {}
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    FArgv[0] = const_cast<char *>(FName);
    FApplication = std::make_unique<TApplicationClass>(FArgc, FArgv);
  }
  void TearDown() override { FApplication.reset(); }

private:
  const char *FName;
  int FArgc = 1;
  char *FArgv[2] = {nullptr, nullptr};
  std::unique_ptr<TApplicationClass> FApplication;
};
