#include "framework/application.h"

#include <QApplication>
#include <QCursor>
#include <QThread>

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
  if (milliseconds < 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  } else {
    QCoreApplication::processEvents(QEventLoop::AllEvents, milliseconds);
  }
  if (quitRequested) throw QuitUnwind{};
}

void Application::SleepCurrentThread(int milliseconds) {
  if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void Application::Quit(int exitCode) { QuitApplication(exitCode); }

bool Application::Quitting() const noexcept { return quitRequested; }

bool Application::AnswersEvent(AppEvent event) const {
  auto description = ApplicationClasses::Find(typeid(*this));
  return description && description->Find(event) != nullptr;
}

bool Application::Raise(AppEvent event, AppEventArgs args) {
  auto description = ApplicationClasses::Find(typeid(*this));
  const ApplicationClasses::Handler* handler = description ? description->Find(event) : nullptr;
  if (handler == nullptr) return false;
  (*handler)(*this, args);
  return true;
}

void RegisterApplication(std::shared_ptr<Application> app) { RegisteredApplication() = std::move(app); }

std::shared_ptr<Application> CurrentApplication() { return RegisteredApplication(); }

void QuitApplication(int exitCode) {
  if (quitRequested) return;
  quitRequested = true;
  QCoreApplication::exit(exitCode);
}

bool ApplicationQuitting() noexcept { return quitRequested; }

void ResetQuitRequest() noexcept { quitRequested = false; }

}  // namespace fw
