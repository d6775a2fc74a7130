#include "framework/application.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include "framework/base/exceptions.h"
#include "framework/event_dispatch.h"
#include "framework/main_thread.h"
#include "framework/menu_bar.h"
#include "framework/window.h"

namespace fw {

namespace {

std::shared_ptr<Application>& RegisteredApplication() {
  static std::shared_ptr<Application> app;
  return app;
}

bool quitRequested = false;  // main thread only
int quitCode = 0;            // the exit code of the request in force
unsigned quitRequest = 0;    // counts the requests, so a forgotten one stays forgotten

}  // namespace

MouseCursorPtr System::Cursors::Wait() {
  static const MouseCursorPtr wait = std::make_shared<MouseCursor>(Qt::WaitCursor);
  return wait;
}

void Application::SetMenuBar(MenuBarPtr menuBar) {
  menuBar_ = std::move(menuBar);
  for (const auto& window : Window::OpenWindows()) window->InstallMenuBar(menuBar_);
}

void Application::SetMouseCursor(MouseCursorPtr cursor) {
  RequireMainThread();
  mouseCursor_ = std::move(cursor);
  if (mouseCursor_) {
    if (QApplication::overrideCursor() != nullptr) {
      QApplication::changeOverrideCursor(QCursor(mouseCursor_->Shape()));
    } else {
      QApplication::setOverrideCursor(QCursor(mouseCursor_->Shape()));
    }
  } else {
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  }
}

void Application::DoEvents(int milliseconds) {
  RequireMainThread();
  if (quitRequested) throw QuitUnwind{};
  if (milliseconds < 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  } else {
    // Events are handled as they come, for the whole time; a quit ends the wait at once.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
  }
  if (quitRequested) throw QuitUnwind{};
}

void Application::SleepCurrentThread(int milliseconds) {
  if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void Application::Quit(int exitCode) { QuitApplication(exitCode); }

bool Application::Quitting() const noexcept { return quitRequested; }

bool Application::AnswersEvent(AppEvent event) const { return ApplicationClasses::Answers(*this, event); }

bool Application::Raise(AppEvent event, AppEventArgs args) { return ApplicationClasses::Raise(*this, event, args); }

void RegisterApplication(std::shared_ptr<Application> app) { RegisteredApplication() = std::move(app); }

std::shared_ptr<Application> CurrentApplication() { return RegisteredApplication(); }

std::shared_ptr<Application> RequireApplication() {
  if (!RegisteredApplication()) throw NilObjectException("There is no application object.");
  return RegisteredApplication();
}

void QuitApplication(int exitCode) {
  if (quitRequested) return;
  quitRequested = true;
  quitCode = exitCode;
  ++quitRequest;
  if (QCoreApplication::instance() == nullptr) return;
  if (QThread::currentThread()->loopLevel() > 0) {
    QCoreApplication::exit(exitCode);  // ends the loops that run, nested ones included
    return;
  }
  // No loop runs now, and QCoreApplication::exit would not wait for one: it would make
  // every modal dialog shown later return at once, even after ResetQuitRequest, while
  // the application's own loop, once started, would not end. The first loop that runs
  // ends instead, unless the request has been forgotten by then.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [request = quitRequest] {
        if (quitRequested && request == quitRequest && QThread::currentThread()->loopLevel() > 0) {
          QCoreApplication::exit(quitCode);
        }
      },
      Qt::QueuedConnection);
}

bool ApplicationQuitting() noexcept { return quitRequested; }

void ResetQuitRequest() noexcept { quitRequested = false; }

}  // namespace fw
