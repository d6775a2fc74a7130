// The main window as a person sees it: its controls at their places with their texts,
// how they follow a resize, the buttons reaching their own window, and the icon.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include "framework/base/exceptions.h"
#include "framework/canvas.h"
#include "framework/find_control.h"
#include "framework/label.h"
#include "framework/push_button.h"
#include "framework/text_area.h"
#include "repair_window/window1.h"
#include "shell/icon.h"

namespace {

struct Rect {
  int left, top, width, height;
  friend bool operator==(const Rect&, const Rect&) = default;
};

Rect PlaceOf(const fw::Window& window, const std::string& name) {
  auto control = window.LookUpControl(name);
  EXPECT_NE(control, nullptr) << name;
  if (!control) return {};
  // Where the widget really is, not only where the control wants it.
  const QRect g = control->Widget()->geometry();
  return {g.left(), g.top(), g.width(), g.height()};
}

std::ostream& operator<<(std::ostream& out, const Rect& r) {
  return out << "(" << r.left << "," << r.top << " " << r.width << "x" << r.height << ")";
}

const std::map<std::string, Rect> kDesignPlaces = {
    {"Label1", {20, 123, 153, 20}},     {"Label2", {73, 150, 100, 20}},   {"lblFilename", {185, 123, 416, 20}},
    {"cmdRepair", {185, 242, 123, 24}}, {"Label3", {73, 272, 100, 20}},   {"lblRepaired", {185, 272, 400, 21}},
    {"Canvas1", {19, 16, 80, 80}},      {"Label4", {116, 15, 474, 78}},   {"PushButton1", {493, 299, 108, 24}},
    {"txtStatus", {185, 155, 416, 75}},
};

TEST(MainWindowLayout, NewWindowShowsTenControlsAtTheirDesignPlaces) {
  auto window = fw::New<Window1>();
  window->Show();
  QApplication::processEvents();
  EXPECT_EQ(window->Width(), 621);
  EXPECT_EQ(window->Height(), 339);
  EXPECT_EQ(window->ContentWidget()->size(), QSize(621, 339));
  for (const auto& [name, place] : kDesignPlaces) EXPECT_EQ(PlaceOf(*window, name), place) << name;
}

TEST(MainWindowLayout, DesignTextsAndStatesBeforeAnyAlbum) {
  auto window = fw::New<Window1>();
  window->Action_Init(nullptr);
  EXPECT_EQ(window->Title(), "Quorvanta Album Repair Tool");
  auto label = [&](const char* name) { return fw::FindControl<fw::Label>(window.get(), name); };
  EXPECT_EQ(label("Label1")->Text(), "Quorvanta Album:");
  EXPECT_EQ(label("Label2")->Text(), "Album Condition:");
  EXPECT_EQ(label("lblFilename")->Text(), "Drop Album File to be repaired into this window");
  EXPECT_EQ(label("Label3")->Text(), "Repair Status:");
  EXPECT_EQ(label("lblRepaired")->Text(), "");
  const std::string info = label("Label4")->Text();
  EXPECT_EQ(info.size(), 397u);
  EXPECT_EQ(info.rfind("This Tool uses SQLite3 to dump", 0), 0u);
  EXPECT_TRUE(static_cast<QLabel*>(label("Label4")->Widget())->wordWrap());
  EXPECT_EQ(static_cast<QLabel*>(label("Label1")->Widget())->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

  auto repair = fw::FindControl<fw::PushButton>(window.get(), "cmdRepair");
  auto quit = fw::FindControl<fw::PushButton>(window.get(), "PushButton1");
  EXPECT_EQ(repair->Caption(), "Try to Repair");
  EXPECT_FALSE(repair->Enabled());
  EXPECT_EQ(quit->Caption(), "Quit");
  EXPECT_TRUE(quit->Enabled());

  auto status = fw::FindControl<fw::TextArea>(window.get(), "txtStatus");
  EXPECT_EQ(status->Text(), "");
  EXPECT_TRUE(status->ReadOnly());
  EXPECT_EQ(label("lblRepaired")->Widget()->font().pixelSize(), 12);
  EXPECT_EQ(label("Label1")->Widget()->font().pixelSize(), fw::kStandardFontPixels);
}

TEST(MainWindowLayout, TallerWindowMovesBottomControlsAndGrowsTheStatusArea) {
  auto window = fw::New<Window1>();
  window->Show();
  window->SetHeight(500);
  QApplication::processEvents();
  EXPECT_EQ(window->Height(), 500);
  EXPECT_EQ(PlaceOf(*window, "PushButton1"), (Rect{493, 460, 108, 24}));
  EXPECT_EQ(PlaceOf(*window, "cmdRepair"), (Rect{185, 403, 123, 24}));
  EXPECT_EQ(PlaceOf(*window, "Label3"), (Rect{73, 433, 100, 20}));
  EXPECT_EQ(PlaceOf(*window, "lblRepaired"), (Rect{185, 433, 400, 21}));
  EXPECT_EQ(PlaceOf(*window, "txtStatus"), (Rect{185, 155, 416, 236}));
  for (const char* still : {"Label1", "Label2", "lblFilename", "Canvas1", "Label4"}) {
    EXPECT_EQ(PlaceOf(*window, still), kDesignPlaces.at(still)) << still;
  }
  // And back: every control returns to its design place.
  window->SetHeight(339);
  for (const auto& [name, place] : kDesignPlaces) EXPECT_EQ(PlaceOf(*window, name), place) << name;
}

TEST(MainWindowLayout, ResizingByTheWindowSystemFollowsLiveWithinTheBounds) {
  auto window = fw::New<Window1>();
  window->Show();
  QMainWindow* native = window->NativeWindow();
  const int frame = native->height() - window->ContentWidget()->height();
  native->resize(900, 500 + frame);  // wider than allowed: the width stays 621
  QApplication::processEvents();
  EXPECT_EQ(window->ContentWidget()->size(), QSize(621, 500));
  EXPECT_EQ(PlaceOf(*window, "PushButton1").top, 460);

  native->resize(300, 100);  // smaller than allowed
  QApplication::processEvents();
  EXPECT_EQ(window->ContentWidget()->size(), QSize(621, 339));

  window->SetHeight(40000);
  EXPECT_EQ(window->Height(), 32000);
  window->SetWidth(700);
  EXPECT_EQ(window->Width(), 621);
}

TEST(MainWindowControls, AccessorsGiveTheVeryObjectRegistered) {
  auto window = fw::New<Window1>();
  auto first = window->LookUpControl("txtStatus");
  EXPECT_EQ(first, window->LookUpControl("txtStatus"));
  EXPECT_EQ(fw::FindControl<fw::TextArea>(window.get(), "txtStatus"), first);
  EXPECT_THROW(fw::FindControl<fw::Label>(window.get(), "txtStatus"), fw::IllegalCastException);
  EXPECT_THROW(fw::FindControl<fw::Label>(nullptr, "Label1"), fw::NilObjectException);
}

TEST(MainWindowControls, WindowAnswersExactlyItsFiveEvents) {
  auto window = fw::New<Window1>();
  using E = fw::WindowEvent;
  std::set<E> answered;
  for (E e : {E::Activate, E::CancelClose, E::Close, E::ContentsChanged, E::CreateControls, E::Deactivate,
              E::DragEnter, E::DragExit, E::DragOver, E::DropObject, E::Layout, E::Maximize, E::Minimize,
              E::Moved, E::Open, E::Paint, E::Resized, E::Resizing, E::Restore}) {
    if (window->AnswersEvent(e)) answered.insert(e);
  }
  EXPECT_EQ(answered, (std::set<E>{E::Close, E::CreateControls, E::DropObject, E::Layout, E::Open}));
}

/// A Window1 that records which of its buttons' handlers ran.
class ProbeWindow : public Window1 {
 public:
  void cmdRepair_Action(fw::PushButton& button) override { repairPressed.push_back(&button); }
  void PushButton1_Action(fw::PushButton& button) override { quitPressed.push_back(&button); }
  std::vector<fw::PushButton*> repairPressed, quitPressed;
};

const bool kProbeClass = [] {
  using fw::WindowEvent;
  fw::RegisterWindowClass<ProbeWindow>("ProbeWindow", fw::On(WindowEvent::CreateControls, &Window1::CreateControls),
                                       fw::On(WindowEvent::Layout, &Window1::Layout));
  return true;
}();

TEST(MainWindowControls, EachButtonReachesItsOwnWindow) {
  auto a = fw::New<ProbeWindow>();
  auto b = fw::New<ProbeWindow>();
  a->Show();
  b->Show();
  auto repairB = fw::FindControl<fw::PushButton>(b.get(), "cmdRepair");
  repairB->SetEnabled(true);
  static_cast<QPushButton*>(repairB->Widget())->click();
  auto quitA = fw::FindControl<fw::PushButton>(a.get(), "PushButton1");
  static_cast<QPushButton*>(quitA->Widget())->click();

  EXPECT_TRUE(a->repairPressed.empty());
  ASSERT_EQ(b->repairPressed.size(), 1u);
  EXPECT_EQ(b->repairPressed[0], repairB.get());
  ASSERT_EQ(a->quitPressed.size(), 1u);
  EXPECT_EQ(a->quitPressed[0], quitA.get());
  EXPECT_TRUE(b->quitPressed.empty());
}

TEST(MainWindowIcon, LoadedOnceAndSharedByEveryWindow) {
  int loads = 0;
  const fw::Picture::Loader resources = fw::Picture::SetLoader(nullptr);
  auto previous = fw::Picture::SetLoader([&loads, resources](const std::string& name) {
    ++loads;
    return resources(name);
  });
  auto first = v2022_Icon_repair();
  ASSERT_NE(first, nullptr) << "the icon resource is missing from the application";
  EXPECT_EQ(first->Width(), 80);
  auto w1 = fw::New<Window1>();
  auto w2 = fw::New<Window1>();
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(fw::FindControl<fw::Canvas>(w1.get(), "Canvas1")->Backdrop(), first);
  EXPECT_EQ(fw::FindControl<fw::Canvas>(w2.get(), "Canvas1")->Backdrop(), first);
  fw::Picture::SetLoader(previous);
}

TEST(MainWindowIcon, MissingPictureIsAskedForAgainAndWindowsStillBuild) {
  int loads = 0;
  auto previous = fw::Picture::SetLoader([&loads](const std::string& name) -> fw::PicturePtr {
    EXPECT_EQ(name, "v2022_Icon_repair");
    ++loads;
    return nullptr;
  });
  EXPECT_EQ(v2022_Icon_repair(), nullptr);
  EXPECT_EQ(v2022_Icon_repair(), nullptr);
  EXPECT_EQ(loads, 2);
  auto window = fw::New<Window1>();
  EXPECT_EQ(loads, 3);
  EXPECT_EQ(fw::FindControl<fw::Canvas>(window.get(), "Canvas1")->Backdrop(), nullptr);
  EXPECT_NE(window->LookUpControl("txtStatus"), nullptr);  // creation went on after the canvas
  fw::Picture::SetLoader(previous);
}

TEST(MainWindowLook, SavesAPictureOfANewWindow) {
  auto window = fw::New<Window1>();
  window->Action_Init(nullptr);
  window->Show();
  QApplication::processEvents();
  const QString file = QStringLiteral(QV_BINARY_DIR "/window1.png");
  ASSERT_TRUE(window->NativeWindow()->grab().save(file));
  // Nothing is clipped: the information text wraps within its label beside the icon, and
  // each single-line label's text fits its width.
  auto info = static_cast<QLabel*>(window->LookUpControl("Label4")->Widget());
  EXPECT_LE(info->heightForWidth(info->width()), info->height());
  for (const char* name : {"Label1", "Label2", "Label3", "lblFilename"}) {
    auto label = static_cast<QLabel*>(window->LookUpControl(name)->Widget());
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << name;
  }
}

}  // namespace
