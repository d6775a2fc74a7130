// Application: the one object that stands for the running application. It carries the
// version data and the menu bar, sets the application-wide mouse cursor, runs pending
// events for handlers that wait, and quits. A program's application class answers some
// of its events through its class description.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/base/folder_item.h"
#include "framework/class_description.h"
#include "framework/mouse_cursor.h"

namespace fw {

class MenuBar;
using MenuBarPtr = std::shared_ptr<MenuBar>;

enum class AppEvent {
  Activate, AppearanceChanged, CancelClose, Close, Deactivate, EnableMenuItems, HandleAppleEvent,
  NewDocument, Open, OpenDocument, UnhandledException
};

/// What an application event passes to its handler.
struct AppEventArgs {
  FolderItemPtr item;  // OpenDocument: the file to open

  template <class Self>
  void Call(Self& self, void (Self::*method)()) { (self.*method)(); }
  template <class Self>
  void Call(Self& self, void (Self::*method)(FolderItemPtr)) { (self.*method)(item); }
};

class Application;
using ApplicationClasses = ClassRegistry<Application, AppEvent, AppEventArgs>;

/// One line of an application class's event table.
template <class Self, class... A>
std::pair<AppEvent, ApplicationClasses::Handler> On(AppEvent event, void (Self::*method)(A...)) {
  return {event, BindHandler<Self, Application, AppEventArgs>(method)};
}

/// Registers the class description of application class `Self`.
template <class Self, class... Lines>
void RegisterApplicationClass(std::string name, Lines... lines) {
  ApplicationClasses::Register(typeid(Self), {std::move(name), {lines...}});
}

class Application : public std::enable_shared_from_this<Application> {
 public:
  Application() = default;
  virtual ~Application() = default;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Version data.
  std::int64_t MajorVersion() const noexcept { return majorVersion_; }
  void SetMajorVersion(std::int64_t v) { majorVersion_ = v; }
  std::int64_t MinorVersion() const noexcept { return minorVersion_; }
  void SetMinorVersion(std::int64_t v) { minorVersion_ = v; }
  std::int64_t BugVersion() const noexcept { return bugVersion_; }
  void SetBugVersion(std::int64_t v) { bugVersion_ = v; }
  std::int64_t NonReleaseVersion() const noexcept { return nonReleaseVersion_; }
  void SetNonReleaseVersion(std::int64_t v) { nonReleaseVersion_ = v; }
  std::int64_t StageCode() const noexcept { return stageCode_; }
  void SetStageCode(std::int64_t v) { stageCode_ = v; }
  const std::string& LongVersion() const noexcept { return longVersion_; }
  void SetLongVersion(const std::string& v) { longVersion_ = v; }
  const std::string& ShortVersion() const noexcept { return shortVersion_; }
  void SetShortVersion(const std::string& v) { shortVersion_ = v; }
  const std::string& PackageInfo() const noexcept { return packageInfo_; }
  void SetPackageInfo(const std::string& v) { packageInfo_ = v; }

  /// The menu bar shown in every window (installed in windows shown from now on and in
  /// those already open).
  const MenuBarPtr& MenuBar() const noexcept { return menuBar_; }
  void SetMenuBar(MenuBarPtr menuBar);

  /// The cursor shown over all windows; nullptr is each window's normal cursor. Setting
  /// a cursor twice and nullptr once gives the normal cursor: nothing stacks.
  const MouseCursorPtr& MouseCursor() const noexcept { return mouseCursor_; }
  void SetMouseCursor(MouseCursorPtr cursor);

  /// Handles the pending events once (`milliseconds` -1), or handles events as they come
  /// for that long: a pause during which the windows stay live. When the application is
  /// quitting, throws QuitUnwind (at once, also in the middle of a pause) so that the
  /// waiting handler unwinds.
  void DoEvents(int milliseconds = -1);
  /// Blocks the main thread for `milliseconds`.
  void SleepCurrentThread(int milliseconds);
  /// Asks the application to quit with `exitCode`; a request while quitting changes nothing.
  void Quit(int exitCode = 0);
  bool Quitting() const noexcept;

  /// True when the application's class answers `event`.
  bool AnswersEvent(AppEvent event) const;
  /// Raises `event` on the application's class; false when it has no handler for it.
  bool Raise(AppEvent event, AppEventArgs args = {});

 private:
  std::int64_t majorVersion_ = 0, minorVersion_ = 0, bugVersion_ = 0, nonReleaseVersion_ = 0, stageCode_ = 0;
  std::string longVersion_, shortVersion_, packageInfo_;
  MenuBarPtr menuBar_;
  MouseCursorPtr mouseCursor_;
};

/// Makes `app` the process's application object.
void RegisterApplication(std::shared_ptr<Application> app);
/// The registered application object, or nullptr before registration.
std::shared_ptr<Application> CurrentApplication();
/// The registered application object; throws NilObjectException when there is none.
std::shared_ptr<Application> RequireApplication();
/// Quits the application with `exitCode` (through the registered object when there is
/// one); a second request while quitting changes nothing.
void QuitApplication(int exitCode);
/// True once a quit was requested.
bool ApplicationQuitting() noexcept;
/// Forgets a quit request; for tests that quit and go on.
void ResetQuitRequest() noexcept;

}  // namespace fw
