// The window's design: its own design values, its ten controls with theirs, the order in
// which the controls are made, and the accessors that find them again by name.
#include <vector>

#include "framework/find_control.h"
#include "repair_window/window1.h"
#include "shell/icon.h"

namespace {

using fw::NamedValue;
using Values = std::vector<NamedValue>;
using I = std::int64_t;

const Values kWindowDesign = {
    {"Width", I{621}},          {"Height", I{339}},
    {"MinimumWidth", I{621}},   {"MinimumHeight", I{339}},
    {"MaximumWidth", I{621}},   {"MaximumHeight", I{32000}},
    {"Type", I{0}},             {"Title", std::string("Quorvanta Album Repair Tool")},
    {"HasCloseButton", true},   {"HasMaximizeButton", false},
    {"HasMinimizeButton", false}, {"HasFullScreenButton", false},
    {"Resizeable", true},       {"Composite", false},
    {"MacProcID", I{0}},        {"FullScreen", false},
    {"DefaultLocation", I{0}},  {"Visible", true},
    {"HasBackgroundColor", false}, {"BackgroundColor", fw::kWhite},
    {"MenuBarVisible", true},   {"LiveResize", true},
};

struct Place {
  int left, top, width, height;
};
struct Locks {
  bool left, top, right, bottom;
};

/// The values every control carries: its place, locks, state and tab order.
Values Common(const char* name, Place p, Locks l, bool enabled, bool transparent, int tabIndex) {
  return {
      {"Name", std::string(name)},  {"Left", I{p.left}},
      {"Top", I{p.top}},             {"Width", I{p.width}},       {"Height", I{p.height}},
      {"LockLeft", l.left},          {"LockTop", l.top},          {"LockRight", l.right},
      {"LockBottom", l.bottom},      {"Enabled", enabled},        {"Transparent", transparent},
      {"TabIndex", I{tabIndex}},     {"InitialParent", std::string()}, {"TabPanelIndex", I{0}},
      {"Visible", true},             {"TabStop", true},           {"AllowAutoDeactivate", true},
      {"Tooltip", std::string()},
  };
}

/// The system font at `size` (0: its standard size), plain.
Values Font(int size) {
  return {{"FontName", std::string("System")}, {"FontSize", I{size}}, {"FontUnit", I{0}},
          {"Bold", false}, {"Italic", false}, {"Underline", false}};
}

Values LabelValues(const char* text, int alignment, bool multiline) {
  return {{"Text", std::string(text)}, {"TextAlignment", I{alignment}}, {"Multiline", multiline},
          {"Selectable", false}, {"DataField", std::string()}, {"DataSource", std::string()},
          {"TextColor", fw::kBlack}};
}

Values ButtonValues(const char* caption) {
  return {{"Caption", std::string(caption)}, {"Default", false}, {"Cancel", false}, {"MacButtonStyle", I{0}}};
}

Values Join(std::initializer_list<Values> parts) {
  Values all;
  for (const Values& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const char* const kInformation =
    "This Tool uses SQLite3 to dump and re-build the Quorvanta Album database. In some cases, it may "
    "successfully repair a corrupted album file. If it does appear to work you should carefully check the "
    "album to ensure that it has all the expected information. After repair, it is recommended that you use "
    "the information in the album file to create a new album from scratch to ensure no further issues.";

const Values kLabel1 = Join({Common("Label1", {20, 123, 153, 20}, {true, true, false, false}, true, true, 0),
                             Font(0), LabelValues("Quorvanta Album:", 3, false)});
const Values kLabel2 = Join({Common("Label2", {73, 150, 100, 20}, {true, true, false, false}, true, true, 3),
                             Font(0), LabelValues("Album Condition:", 3, false)});
const Values kLblFilename =
    Join({Common("lblFilename", {185, 123, 416, 20}, {true, true, true, false}, true, false, 5), Font(0),
          LabelValues("Drop Album File to be repaired into this window", 0, false)});
const Values kCmdRepair = Join({Common("cmdRepair", {185, 242, 123, 24}, {true, false, false, true}, false, true, 6),
                                Font(0), ButtonValues("Try to Repair")});
const Values kLabel3 = Join({Common("Label3", {73, 272, 100, 20}, {true, false, false, true}, true, true, 7),
                             Font(0), LabelValues("Repair Status:", 3, false)});
const Values kLblRepaired = Join({Common("lblRepaired", {185, 272, 400, 21}, {true, false, true, true}, true, false, 8),
                                  Font(12), LabelValues("", 0, false)});
const Values kCanvas1 = Join({Common("Canvas1", {19, 16, 80, 80}, {true, true, false, false}, true, true, 9),
                              {{"DoubleBuffer", false}, {"AllowFocusRing", true}, {"AllowFocus", false},
                               {"AllowTabs", false}}});
const Values kLabel4 = Join({Common("Label4", {116, 15, 474, 78}, {true, true, true, false}, true, true, 10),
                             Font(0), LabelValues(kInformation, 0, true)});
const Values kPushButton1 = Join({Common("PushButton1", {493, 299, 108, 24}, {false, false, true, true}, true, true, 11),
                                  Font(0), ButtonValues("Quit")});
const Values kTxtStatus = Join(
    {Common("txtStatus", {185, 155, 416, 75}, {true, true, true, true}, true, true, 13), Font(0),
     {{"Text", std::string()}, {"ReadOnly", true}, {"Multiline", true}, {"HasBorder", true},
      {"HasVerticalScrollbar", true}, {"HasHorizontalScrollbar", false}, {"AllowStyledText", true},
      {"AllowSpellChecking", false}, {"AllowTabs", false}, {"AllowFocusRing", true}, {"HideSelection", true},
      {"MaximumCharactersAllowed", I{0}}, {"Format", std::string()}, {"ValidationMask", std::string()},
      {"DataField", std::string()}, {"DataSource", std::string()}, {"LineHeight", 0.0}, {"LineSpacing", 1.0},
      {"UnicodeMode", I{0}}, {"TextAlignment", I{0}}, {"TextColor", fw::kBlack},
      {"BackgroundColor", fw::kWhite}}});

/// Binds a button's Action event to a method of its window.
template <void (Window1::*Method)(fw::PushButton&)>
void ConnectAction(Window1& window, const std::shared_ptr<fw::PushButton>& button) {
  button->SetAction([&window](fw::PushButton& pressed) { (window.*Method)(pressed); });
}

}  // namespace

void Window1::Layout() { fw::ApplyDesignValues(*this, kWindowDesign); }

void Window1::CreateControls() { _CreateControls0(); }

template <class C>
std::shared_ptr<C> Window1::MakeControl(const std::string& name, std::span<const fw::NamedValue> values,
                                        void (*beforeValues)(Window1&, C&)) {
  RegisterControl(name, NewControl<C>());
  std::shared_ptr<C> control = fw::FindControl<C>(this, name);
  if (beforeValues != nullptr) beforeValues(*this, *control);
  fw::ApplyDesignValues(*control, values);
  return control;
}

void Window1::_CreateControls0() {
  MakeControl<fw::Label>("Label1", kLabel1);
  MakeControl<fw::Label>("Label2", kLabel2);
  MakeControl<fw::Label>("lblFilename", kLblFilename);
  MakeControl<fw::PushButton>("cmdRepair", kCmdRepair);
  ConnectAction<&Window1::cmdRepair_Action>(*this, fw::FindControl<fw::PushButton>(this, "cmdRepair"));
  MakeControl<fw::Label>("Label3", kLabel3);
  MakeControl<fw::Label>("lblRepaired", kLblRepaired);
  MakeControl<fw::Canvas>("Canvas1", kCanvas1, [](Window1& window, fw::Canvas&) {
    fw::FindControl<fw::Canvas>(&window, "Canvas1")->SetBackdrop(v2022_Icon_repair());
  });
  MakeControl<fw::Label>("Label4", kLabel4);
  MakeControl<fw::PushButton>("PushButton1", kPushButton1);
  ConnectAction<&Window1::PushButton1_Action>(*this, fw::FindControl<fw::PushButton>(this, "PushButton1"));
  MakeControl<fw::TextArea>("txtStatus", kTxtStatus);
}

std::shared_ptr<fw::Label> Window1::Label1() const { return fw::FindControl<fw::Label>(this, "Label1"); }
std::shared_ptr<fw::Label> Window1::Label2() const { return fw::FindControl<fw::Label>(this, "Label2"); }
std::shared_ptr<fw::Label> Window1::lblFilename() const { return fw::FindControl<fw::Label>(this, "lblFilename"); }
std::shared_ptr<fw::PushButton> Window1::cmdRepair() const { return fw::FindControl<fw::PushButton>(this, "cmdRepair"); }
std::shared_ptr<fw::Label> Window1::Label3() const { return fw::FindControl<fw::Label>(this, "Label3"); }
std::shared_ptr<fw::Label> Window1::lblRepaired() const { return fw::FindControl<fw::Label>(this, "lblRepaired"); }
std::shared_ptr<fw::Canvas> Window1::Canvas1() const { return fw::FindControl<fw::Canvas>(this, "Canvas1"); }
std::shared_ptr<fw::Label> Window1::Label4() const { return fw::FindControl<fw::Label>(this, "Label4"); }
std::shared_ptr<fw::PushButton> Window1::PushButton1() const { return fw::FindControl<fw::PushButton>(this, "PushButton1"); }
std::shared_ptr<fw::TextArea> Window1::txtStatus() const { return fw::FindControl<fw::TextArea>(this, "txtStatus"); }
