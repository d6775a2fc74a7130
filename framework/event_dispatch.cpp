#include "framework/event_dispatch.h"

#include <iostream>

#include "framework/application.h"
#include "framework/base/exceptions.h"
#include "framework/interaction.h"

namespace fw {

namespace {

UnhandledExceptionReport& CurrentReport() {
  static UnhandledExceptionReport report = DefaultUnhandledExceptionReport;
  return report;
}

}  // namespace

void DispatchEvent(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const QuitUnwind&) {
    // The application is quitting; the handler has unwound as it should.
  } catch (...) {
    ReportUnhandledException(std::current_exception());
  }
}

std::string DescribeException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const RuntimeException& e) {
    return std::string(e.ClassName()) + ": " + e.what();
  } catch (const std::exception& e) {
    return std::string("Exception: ") + e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

void DefaultUnhandledExceptionReport(std::exception_ptr error) {
  const std::string text = "An unhandled exception occurred.\n" + DescribeException(error);
  std::cerr << text << std::endl;
  try {
    MsgBox(text);
  } catch (...) {
    // The report itself must not fail; standard error already holds the text.
  }
  // As any quit: handlers that wait in DoEvents unwind, and no loop is left ended early.
  QuitApplication(1);
}

void ReportUnhandledException(std::exception_ptr error) { CurrentReport()(error); }

UnhandledExceptionReport SetUnhandledExceptionReport(UnhandledExceptionReport report) {
  UnhandledExceptionReport previous = std::move(CurrentReport());
  CurrentReport() = report ? std::move(report) : UnhandledExceptionReport(DefaultUnhandledExceptionReport);
  return previous;
}

}  // namespace fw
