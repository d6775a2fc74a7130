// The one place where the framework calls the program's event handlers. No exception
// crosses into Qt: what leaves a handler goes to the report of unhandled exceptions.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace fw {

/// Thrown through a handler that waits (for a process, say) when the application is
/// quitting, so the handler unwinds through its guards. It is no error: the dispatch
/// swallows it without a report.
struct QuitUnwind {};

/// Runs `handler`; an exception that escapes it is handed to the report of unhandled
/// exceptions (QuitUnwind excepted).
void DispatchEvent(const std::function<void()>& handler);

/// The class name and message of an exception, as the report shows them.
std::string DescribeException(std::exception_ptr error);

using UnhandledExceptionReport = std::function<void(std::exception_ptr)>;
/// The default report: the exception's class and message in a modal message box and on
/// standard error; then the application quits with exit status 1.
void DefaultUnhandledExceptionReport(std::exception_ptr error);
/// Hands `error` to the report in force.
void ReportUnhandledException(std::exception_ptr error);
/// Replaces the report (nullptr: the default) and returns the previous one.
UnhandledExceptionReport SetUnhandledExceptionReport(UnhandledExceptionReport report);

}  // namespace fw
