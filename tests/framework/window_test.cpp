// Windows and controls of the framework: design values by name, the lock rules that keep
// controls at their edges, the registry, events answered by class, the main thread, and
// controls that share one life with their widgets.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>
#include <thread>

#include "framework/application.h"
#include "framework/base/exceptions.h"
#include "framework/find_control.h"
#include "framework/label.h"
#include "framework/menu_bar.h"
#include "framework/push_button.h"
#include "framework/text_area.h"
#include "framework/window.h"

namespace {

using I = std::int64_t;

/// A window that records the order of its events and builds one control per lock kind.
class TraceWindow : public fw::Window {
 public:
  void Layout() {
    trace.push_back("Layout");
    fw::ApplyDesignValues(*this, {{"Width", I{300}}, {"Height", I{200}}, {"MinimumHeight", I{100}}});
  }
  void CreateControls() {
    trace.push_back("CreateControls");
    Add("fixed", {10, 10, 50, 20}, false, false, false, false);
    Add("right", {240, 10, 50, 20}, false, false, true, false);
    Add("stretch", {10, 40, 280, 20}, true, false, true, false);
    Add("bottom", {10, 170, 50, 20}, true, false, false, true);
    Add("tall", {10, 70, 50, 90}, false, true, false, true);
  }
  void Open() { trace.push_back(NativeWindow()->isVisible() ? "Open(visible)" : "Open"); }
  std::vector<std::string> trace;

 private:
  void Add(const char* name, QRect r, bool left, bool top, bool right, bool bottom) {
    RegisterControl(name, NewControl<fw::Label>());
    fw::ApplyDesignValues(*LookUpControl(name),
                          {{"Name", std::string(name)}, {"Left", I{r.left()}}, {"Top", I{r.top()}},
                           {"Width", I{r.width()}}, {"Height", I{r.height()}}, {"LockLeft", left},
                           {"LockTop", top}, {"LockRight", right}, {"LockBottom", bottom}});
  }
};

const bool kTraceClass = [] {
  using fw::WindowEvent;
  fw::RegisterWindowClass<TraceWindow>("TraceWindow", fw::On(WindowEvent::Layout, &TraceWindow::Layout),
                                       fw::On(WindowEvent::CreateControls, &TraceWindow::CreateControls),
                                       fw::On(WindowEvent::Open, &TraceWindow::Open));
  return true;
}();

QRect Geometry(const fw::Window& w, const char* name) { return w.LookUpControl(name)->Widget()->geometry(); }

TEST(FrameworkWindow, EventsComeInOrderAndOpenBeforeTheWindowIsVisible) {
  auto window = std::make_shared<TraceWindow>();
  EXPECT_TRUE(window->trace.empty());
  window->Constructor();
  EXPECT_EQ(window->trace, (std::vector<std::string>{"Layout", "CreateControls"}));
  window->Show();
  window->Show();  // Open comes once
  EXPECT_EQ(window->trace, (std::vector<std::string>{"Layout", "CreateControls", "Open"}));
  EXPECT_TRUE(window->NativeWindow()->isVisible());
}

TEST(FrameworkWindow, LocksKeepTheDistancesToTheirEdges) {
  auto window = fw::New<TraceWindow>();
  window->SetWidth(400);
  window->SetHeight(250);
  EXPECT_EQ(Geometry(*window, "fixed"), QRect(10, 10, 50, 20));      // no lock: stays
  EXPECT_EQ(Geometry(*window, "right"), QRect(340, 10, 50, 20));     // right only: moves
  EXPECT_EQ(Geometry(*window, "stretch"), QRect(10, 40, 380, 20));   // left and right: grows
  EXPECT_EQ(Geometry(*window, "bottom"), QRect(10, 220, 50, 20));    // bottom only: moves down
  EXPECT_EQ(Geometry(*window, "tall"), QRect(10, 70, 50, 140));      // top and bottom: grows
  window->SetHeight(50);  // below the minimum: held at 100
  EXPECT_EQ(window->Height(), 100);
  EXPECT_EQ(Geometry(*window, "tall").height(), 0);  // squeezed out, not negative
  window->SetHeight(250);  // and back: no drift
  EXPECT_EQ(Geometry(*window, "tall"), QRect(10, 70, 50, 140));
  EXPECT_EQ(Geometry(*window, "bottom"), QRect(10, 220, 50, 20));
}

TEST(FrameworkWindow, DesignValuesGoByNameAndRefuseUnknownNamesAndKinds) {
  auto window = fw::New<TraceWindow>();
  auto label = window->LookUpControl("fixed");
  fw::ApplyDesignValues(*label, {{"Text", std::string("first")}, {"Text", std::string("second")}});
  EXPECT_EQ(fw::Cast<fw::Label>(label)->Text(), "second");  // applied in order
  EXPECT_EQ(std::get<std::string>(label->PropertyValue("Text")), "second");
  EXPECT_THROW(label->SetProperty("NoSuchProperty", true), fw::RuntimeException);
  EXPECT_THROW(label->SetProperty("Left", std::string("ten")), fw::RuntimeException);
  EXPECT_EQ(label->Left(), 10);  // a refused value changes nothing
}

TEST(FrameworkWindow, RegistryGivesTheObjectRegisteredAndNothingForOtherNames) {
  auto window = fw::New<TraceWindow>();
  auto control = window->LookUpControl("fixed");
  EXPECT_EQ(control, window->LookUpControl("fixed"));
  EXPECT_EQ(window->LookUpControl("never registered"), nullptr);
  EXPECT_EQ(fw::FindControl<fw::Label>(window.get(), "never registered"), nullptr);
  EXPECT_THROW(fw::FindControl<fw::PushButton>(window.get(), "fixed"), fw::IllegalCastException);
}

TEST(FrameworkWindow, WindowOperationsRefuseOtherThreads) {
  auto window = fw::New<TraceWindow>();
  const auto widgetsBefore = QApplication::allWidgets().size();
  bool refusedTitle = false, refusedText = false, refusedWindow = false;
  std::thread worker([&] {
    try { window->SetTitle("from a worker"); } catch (const fw::ThreadAccessingUIException&) { refusedTitle = true; }
    try { fw::FindControl<fw::Label>(window.get(), "fixed"); } catch (const fw::ThreadAccessingUIException&) { refusedText = true; }
    try { TraceWindow another; } catch (const fw::ThreadAccessingUIException&) { refusedWindow = true; }
  });
  worker.join();
  EXPECT_TRUE(refusedTitle);
  EXPECT_TRUE(refusedText);
  EXPECT_TRUE(refusedWindow);
  EXPECT_EQ(QApplication::allWidgets().size(), widgetsBefore);  // refused before a widget was made
  EXPECT_NE(window->Title(), "from a worker");
}

TEST(FrameworkWindow, ClosedWindowIsReleasedAfterItsCloseEvent) {
  std::weak_ptr<TraceWindow> weak;
  {
    auto window = fw::New<TraceWindow>();
    window->Show();
    weak = window;
  }
  ASSERT_FALSE(weak.expired());  // the framework keeps a shown window
  EXPECT_EQ(fw::Window::OpenWindows().size(), 1u);
  weak.lock()->Close();
  QApplication::processEvents();
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(fw::Window::OpenWindows().empty());
}

TEST(FrameworkControls, ControlReplacedUnderItsNameTakesItsWidgetAlong) {
  auto window = fw::New<TraceWindow>();
  int pressed = 0;
  auto first = window->NewControl<fw::PushButton>();
  first->SetAction([&](fw::PushButton&) { ++pressed; });
  window->RegisterControl("button", first);
  const QPointer<QPushButton> firstWidget = qobject_cast<QPushButton*>(first->Widget());
  ASSERT_NE(firstWidget, nullptr);
  first.reset();
  window->RegisterControl("button", window->NewControl<fw::PushButton>());
  if (firstWidget) firstWidget->click();  // a button left on the window would reach its freed control
  EXPECT_EQ(firstWidget, nullptr);
  EXPECT_EQ(pressed, 0);
  EXPECT_EQ(window->ContentWidget()->findChildren<QPushButton*>().size(), 1);
}

TEST(FrameworkControls, ControlsKeptAfterTheirWindowDoNothing) {
  auto window = fw::New<TraceWindow>();
  auto label = fw::FindControl<fw::Label>(window.get(), "fixed");
  auto area = window->NewControl<fw::TextArea>();
  window.reset();
  label->SetText("after");
  area->SetText("after");
  fw::ApplyDesignValues(*label, {{"Multiline", true}, {"Visible", true}, {"Left", I{5}}, {"Bold", true}});
  fw::ApplyDesignValues(*area, {{"ReadOnly", true}, {"TextColor", fw::kBlack}});
  EXPECT_EQ(label->Text(), "");
  EXPECT_EQ(area->Text(), "");
  EXPECT_EQ(label->Widget(), nullptr);
}

TEST(FrameworkMenus, ShortcutTextsBecomeThisPlatformsKeys) {
  EXPECT_EQ(fw::NativeShortcut("Cmd+Q"), "Ctrl+Q");
  EXPECT_EQ(fw::NativeShortcut("Cmd+Shift+Cmd"), "Ctrl+Shift+Ctrl");
  EXPECT_EQ(fw::NativeShortcut(""), "");
}

}  // namespace
