// Every test here starts where the application's start-up leaves a window.
#include "tests/support/application_environment.h"

namespace {

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new testsupport::ApplicationEnvironment);

}  // namespace
