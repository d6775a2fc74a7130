#include "framework/window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QMenuBar>
#include <QResizeEvent>
#include <QTimer>
#include <algorithm>

#include "framework/application.h"
#include "framework/event_dispatch.h"
#include "framework/file_type.h"
#include "framework/main_thread.h"
#include "framework/menu_bar.h"

namespace fw {

namespace {

// The two lists are never destroyed. The runtime lets go of the windows before the
// QApplication ends (ForgetAll); a process that exit() ends in the middle (Qt's X11
// plug-in does so when the display goes away) leaves them to the process's end, since
// no widget may be destroyed during static destruction.
std::vector<std::shared_ptr<Window>>& OpenWindowList() {
  // Shown and not yet closed, oldest first.
  static auto* const windows = new std::vector<std::shared_ptr<Window>>;
  return *windows;
}

std::vector<std::shared_ptr<Window>>& ClosedWindowList() {
  // Closed, released at the next turn of the loop.
  static auto* const windows = new std::vector<std::shared_ptr<Window>>;
  return *windows;
}

void ReleaseClosedWindows() {
  std::vector<std::shared_ptr<Window>> closed;
  closed.swap(ClosedWindowList());
}

/// The content area: tells its window when its size changes.
class ContentArea : public QWidget {
 public:
  explicit ContentArea(std::function<void(QSize)> resized) : resized_(std::move(resized)) {}

 protected:
  void resizeEvent(QResizeEvent* event) override { resized_(event->size()); }

 private:
  std::function<void(QSize)> resized_;
};

}  // namespace

/// The local files that a drag carries, in its order.
static std::vector<std::string> LocalPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return paths;
}

/// The Qt top-level window: turns its close box into the window's Close event and file
/// drops into its DropObject event.
class Window::NativeWindowWidget : public QMainWindow {
 public:
  explicit NativeWindowWidget(Window& owner) : owner_(owner) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    DispatchEvent([this] { owner_.Raise(WindowEvent::Close); });
    event->accept();
    owner_.Closed();
  }
  void dragEnterEvent(QDragEnterEvent* event) override { TakeOrRefuse(event); }
  void dragMoveEvent(QDragMoveEvent* event) override { TakeOrRefuse(event); }
  void dropEvent(QDropEvent* event) override {
    std::vector<FolderItemPtr> files = owner_.AcceptableFiles(LocalPaths(event->mimeData()));
    if (files.empty()) {
      event->ignore();
      return;
    }
    event->acceptProposedAction();
    // Only the first file is offered, as the drag presents it.
    WindowEventArgs args{std::make_shared<DragItem>(files.front()), static_cast<std::int64_t>(event->dropAction())};
    DispatchEvent([this, &args] { owner_.Raise(WindowEvent::DropObject, args); });
  }

 private:
  template <class Event>
  void TakeOrRefuse(Event* event) {
    if (owner_.AcceptableFiles(LocalPaths(event->mimeData())).empty()) {
      event->ignore();
    } else {
      event->acceptProposedAction();
    }
  }

  Window& owner_;
};

Window::Window() {
  RequireMainThread();  // before any widget is made: Qt widgets belong to the main thread
  native_ = new NativeWindowWidget(*this);
  native_->setCentralWidget(new ContentArea([this](QSize size) { ContentResized(size); }));
  native_->setAttribute(Qt::WA_DeleteOnClose, false);

  DefineProperty("Width", [this](const Value& v) { SetWidth(static_cast<int>(AsInt(v, "Width"))); });
  DefineProperty("Height", [this](const Value& v) { SetHeight(static_cast<int>(AsInt(v, "Height"))); });
  DefineProperty("MinimumWidth", [this](const Value& v) { minimum_.setWidth(static_cast<int>(AsInt(v, "MinimumWidth"))); ApplySizeLimits(); });
  DefineProperty("MinimumHeight", [this](const Value& v) { minimum_.setHeight(static_cast<int>(AsInt(v, "MinimumHeight"))); ApplySizeLimits(); });
  DefineProperty("MaximumWidth", [this](const Value& v) { maximum_.setWidth(static_cast<int>(AsInt(v, "MaximumWidth"))); ApplySizeLimits(); });
  DefineProperty("MaximumHeight", [this](const Value& v) { maximum_.setHeight(static_cast<int>(AsInt(v, "MaximumHeight"))); ApplySizeLimits(); });
  DefineProperty("Title", [this](const Value& v) { SetTitle(AsText(v, "Title")); });
  DefineProperty("HasCloseButton", [this](const Value& v) { hasCloseButton_ = AsBool(v, "HasCloseButton"); ApplyWindowFlags(); });
  DefineProperty("HasMaximizeButton", [this](const Value& v) { hasMaximizeButton_ = AsBool(v, "HasMaximizeButton"); ApplyWindowFlags(); });
  DefineProperty("HasMinimizeButton", [this](const Value& v) { hasMinimizeButton_ = AsBool(v, "HasMinimizeButton"); ApplyWindowFlags(); });
  DefineProperty("Resizeable", [this](const Value& v) { resizeable_ = AsBool(v, "Resizeable"); ApplySizeLimits(); });
  DefineProperty("HasBackgroundColor", [this](const Value& v) { ContentWidget()->setAutoFillBackground(AsBool(v, "HasBackgroundColor")); });
  DefineProperty("BackgroundColor", [this](const Value& v) {
    QPalette palette = ContentWidget()->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(AsColor(v, "BackgroundColor").rgb));
    ContentWidget()->setPalette(palette);
  });
  // Kept for reading back: a window is shown by Show(), follows its size live, and has
  // no full-screen button or classic window kinds on this platform.
  for (const char* stored : {"Type", "HasFullScreenButton", "Composite", "MacProcID", "FullScreen",
                             "DefaultLocation", "Visible", "MenuBarVisible", "LiveResize"}) {
    DefineProperty(stored);
  }
  ApplyWindowFlags();
}

Window::~Window() {
  controls_.clear();
  delete native_.data();
}

void Window::Constructor() {
  RequireMainThread();
  Raise(WindowEvent::Layout);
  Raise(WindowEvent::CreateControls);
}

void Window::Show() {
  RequireMainThread();
  if (!opened_) {
    opened_ = true;
    // Every window shows the application's menu bar.
    if (std::shared_ptr<Application> app = CurrentApplication(); app && app->MenuBar()) InstallMenuBar(app->MenuBar());
    Raise(WindowEvent::Open);
    OpenWindowList().push_back(shared_from_this());
  }
  native_->show();
  native_->raise();
}

void Window::Close() {
  RequireMainThread();
  native_->close();
}

void Window::Closed() {
  auto& list = OpenWindowList();
  auto it = std::find_if(list.begin(), list.end(), [this](const auto& w) { return w.get() == this; });
  if (it == list.end()) return;
  // Released once the close event has returned: the window may not die inside its own event.
  ClosedWindowList().push_back(*it);
  list.erase(it);
  QTimer::singleShot(0, ReleaseClosedWindows);
}

std::vector<std::shared_ptr<Window>> Window::OpenWindows() { return OpenWindowList(); }

void Window::ForgetAll() {
  OpenWindowList().clear();
  ReleaseClosedWindows();
}

std::string Window::Title() const {
  RequireMainThread();
  return native_->windowTitle().toStdString();
}

void Window::SetTitle(const std::string& title) {
  RequireMainThread();
  native_->setWindowTitle(QString::fromStdString(title));
}

QWidget* Window::ContentWidget() const { return native_->centralWidget(); }

void Window::SetWidth(int width) { ResizeContent(QSize(width, content_.height())); }
void Window::SetHeight(int height) { ResizeContent(QSize(content_.width(), height)); }

void Window::ResizeContent(QSize size) {
  RequireMainThread();
  size = size.expandedTo(minimum_).boundedTo(maximum_);
  native_->resize(size.width(), size.height() + FrameExtraHeight());
  ContentWidget()->resize(size);
  ContentResized(size);
}

void Window::ContentResized(QSize size) {
  if (size == content_) return;
  content_ = size;
  for (auto& [name, control] : controls_) control->FollowContentSize(size);
}

int Window::FrameExtraHeight() const {
  const QWidget* menu = native_->menuWidget();
  return menu != nullptr && !menu->isHidden() ? menu->sizeHint().height() : 0;
}

void Window::ApplySizeLimits() {
  const int extra = FrameExtraHeight();
  if (resizeable_) {
    native_->setMinimumSize(minimum_.width(), minimum_.height() + extra);
    native_->setMaximumSize(maximum_.width(), std::min(maximum_.height() + extra, QWIDGETSIZE_MAX_VALUE));
  } else {
    native_->setFixedSize(content_.width(), content_.height() + extra);
  }
  ContentWidget()->setMinimumSize(minimum_);
  ContentWidget()->setMaximumSize(maximum_);
  if (content_ != content_.expandedTo(minimum_).boundedTo(maximum_)) ResizeContent(content_);
}

void Window::ApplyWindowFlags() {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
  if (hasCloseButton_) flags |= Qt::WindowCloseButtonHint;
  if (hasMinimizeButton_) flags |= Qt::WindowMinimizeButtonHint;
  if (hasMaximizeButton_) flags |= Qt::WindowMaximizeButtonHint;
  native_->setWindowFlags(flags);
}

void Window::InstallMenuBar(const std::shared_ptr<MenuBar>& menuBar) {
  RequireMainThread();
  native_->setMenuBar(menuBar ? menuBar->BuildNativeMenuBar() : nullptr);
  ApplySizeLimits();
  ResizeContent(content_);
}

void Window::RegisterControl(const std::string& name, std::shared_ptr<RectControl> control) {
  RequireMainThread();
  controls_.insert_or_assign(name, std::move(control));
}

std::shared_ptr<RectControl> Window::LookUpControl(const std::string& name) const {
  RequireMainThread();
  auto it = controls_.find(name);
  return it == controls_.end() ? nullptr : it->second;
}

void Window::AcceptFileDrop(const std::string& typeName) {
  RequireMainThread();
  if (std::find(dropTypes_.begin(), dropTypes_.end(), typeName) == dropTypes_.end()) dropTypes_.push_back(typeName);
  native_->setAcceptDrops(true);
}

std::vector<FolderItemPtr> Window::AcceptableFiles(const std::vector<std::string>& localPaths) const {
  std::vector<FolderItemPtr> files;
  if (dropsRefused_) return files;
  for (const std::string& path : localPaths) {
    const auto file = FolderItem::Make(std::filesystem::path(path));
    for (const std::string& typeName : dropTypes_) {
      const DocumentType* type = DocumentTypeRegistry::Find(typeName);
      if (type != nullptr && DocumentTypeRegistry::Matches(*type, file->Name())) {
        files.push_back(file);
        break;
      }
    }
  }
  return files;
}

bool Window::AnswersEvent(WindowEvent event) const { return WindowClasses::Answers(*this, event); }

bool Window::Raise(WindowEvent event, WindowEventArgs args) { return WindowClasses::Raise(*this, event, args); }

}  // namespace fw
