// Test main for every test program: widgets need a QApplication, and without a display
// the offscreen platform stands in, so tests and test discovery run anywhere.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

#include "framework/window.h"

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr || *std::getenv("QT_QPA_PLATFORM") == '\0') {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  const int status = RUN_ALL_TESTS();
  fw::Window::ForgetAll();  // shown windows go before the QApplication does
  return status;
}
