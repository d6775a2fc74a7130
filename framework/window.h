// Window: a top-level window of the application, built from design values, holding its
// controls in a registry by name. A program's window class answers some of the window's
// events through its class description; every other event keeps its default behaviour.
//
// Life of a window: make it with std::make_shared (or fw::New), call Constructor() (the
// Layout and CreateControls events, so its controls exist when it returns), then Show()
// (the Open event before it first becomes visible). Once shown, the framework keeps the
// window alive until it is closed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QPointer>
#include <QSize>

#include "framework/class_description.h"
#include "framework/design_values.h"
#include "framework/drag_item.h"
#include "framework/rect_control.h"


namespace fw {

class MenuBar;

enum class WindowEvent {
  Activate, CancelClose, Close, ContentsChanged, CreateControls, Deactivate, DragEnter, DragExit, DragOver,
  DropObject, Layout, Maximize, Minimize, Moved, Open, Paint, Resized, Resizing, Restore
};

/// What a window event passes to its handler.
struct WindowEventArgs {
  std::shared_ptr<DragItem> item;  // DropObject: the dropped item
  std::int64_t action = 0;         // DropObject: the drag's action

  template <class Self>
  void Call(Self& self, void (Self::*method)()) { (self.*method)(); }
  template <class Self>
  void Call(Self& self, void (Self::*method)(std::shared_ptr<DragItem>, std::int64_t)) { (self.*method)(item, action); }
};

class Window;
using WindowClasses = ClassRegistry<Window, WindowEvent, WindowEventArgs>;

/// One line of a window class's event table: `event` is answered by `method`.
template <class Self, class... A>
std::pair<WindowEvent, WindowClasses::Handler> On(WindowEvent event, void (Self::*method)(A...)) {
  return {event, BindHandler<Self, Window, WindowEventArgs>(method)};
}

/// Registers the class description of window class `Self`.
template <class Self, class... Lines>
void RegisterWindowClass(std::string name, Lines... lines) {
  WindowClasses::Register(typeid(Self), {std::move(name), {lines...}});
}

class Window : public PropertyObject, public std::enable_shared_from_this<Window> {
 public:
  Window();
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  /// Builds the window: raises Layout, then CreateControls.
  void Constructor();
  /// Shows the window; the first time, raises Open before it becomes visible. From now
  /// on the framework keeps the window alive until it is closed.
  void Show();
  /// Closes the window as its close box does (raising Close).
  void Close();

  std::string Title() const;
  void SetTitle(const std::string& title);

  /// The content area's size (the window without its frame and menu bar).
  int Width() const { return content_.width(); }
  int Height() const { return content_.height(); }
  /// Resizes the content area, within the minimum and maximum sizes.
  void SetWidth(int width);
  void SetHeight(int height);
  QSize MinimumSize() const { return minimum_; }
  QSize MaximumSize() const { return maximum_; }

  /// Registers `control` under `name` (replacing an earlier control of that name).
  void RegisterControl(const std::string& name, std::shared_ptr<RectControl> control);
  /// The very object registered under `name`, or nullptr.
  std::shared_ptr<RectControl> LookUpControl(const std::string& name) const;
  /// A new control of class `C` in this window (not yet registered).
  template <class C>
  std::shared_ptr<C> NewControl() { return std::make_shared<C>(*this); }

  /// Drops the framework's hold on every open window; for the end of the process, before
  /// the QApplication goes away.
  static void ForgetAll();
  /// From now on the window accepts drops of files of the registered document type
  /// called `typeName`: a drag is taken only when it carries a local file whose extension
  /// is one of that type's, in any letter case; any other drag is refused at once.
  void AcceptFileDrop(const std::string& typeName);
  /// The files of a drag that this window accepts, in the drag's order; none while drops
  /// are refused.
  std::vector<FolderItemPtr> AcceptableFiles(const std::vector<std::string>& localPaths) const;
  /// While drops are refused, the window declines every drag as it enters, whatever it
  /// carries, so that the drag's source sees the decline (a busy window takes no drop).
  bool DropsRefused() const noexcept { return dropsRefused_; }
  void SetDropsRefused(bool refused) noexcept { dropsRefused_ = refused; }

  /// True when the window's class answers `event`.
  bool AnswersEvent(WindowEvent event) const;
  /// The windows that are shown and not yet closed, oldest first.
  static std::vector<std::shared_ptr<Window>> OpenWindows();

  // For the framework's own parts (controls, menus, drops) and for tests.
  QMainWindow* NativeWindow() const { return native_.data(); }
  QWidget* ContentWidget() const;
  QSize ContentSize() const { return content_; }
  /// Shows `menuBar` in this window (nullptr: none).
  void InstallMenuBar(const std::shared_ptr<MenuBar>& menuBar);

 protected:
  /// Raises `event`: calls the handler of the window's class, if it answers it.
  /// Returns false when the class has no handler for it.
  bool Raise(WindowEvent event, WindowEventArgs args = {});

 private:
  class NativeWindowWidget;
  friend class NativeWindowWidget;
  void ContentResized(QSize size);
  void ResizeContent(QSize size);
  void ApplyWindowFlags();
  void ApplySizeLimits();
  int FrameExtraHeight() const;
  void Closed();

  QPointer<QMainWindow> native_;  // the Qt window, owned by this object (deleted with it)
  std::map<std::string, std::shared_ptr<RectControl>> controls_;  // registry by name
  QSize content_{0, 0};          // content area size the controls are laid out for
  QSize minimum_{0, 0};
  QSize maximum_{QWIDGETSIZE_MAX_VALUE, QWIDGETSIZE_MAX_VALUE};
  bool opened_ = false;          // Open has been raised
  std::vector<std::string> dropTypes_;  // names of the document types accepted by drops
  bool dropsRefused_ = false;           // every drag is declined while true
  bool hasCloseButton_ = true, hasMinimizeButton_ = false, hasMaximizeButton_ = false, resizeable_ = true;
  static constexpr int QWIDGETSIZE_MAX_VALUE = (1 << 24) - 1;
};

/// Makes a window of class `W` and builds it (Constructor).
template <class W>
std::shared_ptr<W> New() {
  auto window = std::make_shared<W>();
  window->Constructor();
  return window;
}

}  // namespace fw
