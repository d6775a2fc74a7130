// What start-up gives every window before the event loop runs: the album document type
// and an application object with the tool's version. Test programs that show main
// windows install this as a gtest environment.
#pragma once

#include <gtest/gtest.h>

#include "framework/application.h"
#include "shell/file_types.h"

namespace testsupport {

class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    FileTypes::_InitModule();
    FileTypes::_Initialize();
    auto app = std::make_shared<fw::Application>();
    app->SetMajorVersion(1);
    app->SetMinorVersion(2);
    fw::RegisterApplication(app);
  }
  void TearDown() override { fw::RegisterApplication(nullptr); }
};

}  // namespace testsupport
