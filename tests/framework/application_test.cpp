// The application object (events answered by class, pending events, quitting, the
// registered instance), the dispatch of handlers with its report of unhandled
// exceptions, and what the simple controls do when pressed or redrawn.
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/application.h"
#include "framework/base/exceptions.h"
#include "framework/event_dispatch.h"
#include "framework/label.h"
#include "framework/push_button.h"
#include "framework/text_area.h"
#include "framework/window.h"
#include "tests/support/test_interaction.h"

namespace {

/// Forgets a quit request when the test ends, however it ends.
struct QuitRequestGuard {
  QuitRequestGuard() { EXPECT_FALSE(fw::ApplicationQuitting()) << "an earlier test left a quit request"; }
  ~QuitRequestGuard() { fw::ResetQuitRequest(); }
};

/// Runs the application's event loop with `inside` queued as its first event; ends it
/// with -99 and a failure if it is still running after the time limit.
int RunLoop(std::function<void()> inside) {
  QMetaObject::invokeMethod(qApp, std::move(inside), Qt::QueuedConnection);
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    ADD_FAILURE() << "the event loop was still running at the time limit";
    QCoreApplication::exit(-99);
  });
  watchdog.start(30000);
  return QCoreApplication::exec();
}

/// Installs a report of unhandled exceptions for the life of the guard.
class ReportGuard {
 public:
  explicit ReportGuard(fw::UnhandledExceptionReport report)
      : previous_(fw::SetUnhandledExceptionReport(std::move(report))) {}
  ~ReportGuard() { fw::SetUnhandledExceptionReport(previous_); }
  ReportGuard(const ReportGuard&) = delete;
  ReportGuard& operator=(const ReportGuard&) = delete;

 private:
  fw::UnhandledExceptionReport previous_;
};

/// Collects what reaches the report of unhandled exceptions.
struct Reports {
  std::vector<std::string> seen;
  ReportGuard guard{[this](std::exception_ptr e) { seen.push_back(fw::DescribeException(e)); }};
};

// --- Events answered by class ---------------------------------------------------------

class OpenOnlyApp : public fw::Application {
 public:
  void Event_Open() { ++opened; }
  int opened = 0;
};

class DocumentApp : public fw::Application {
 public:
  void Event_OpenDocument(fw::FolderItemPtr item) { documents.push_back(item); }
  std::vector<fw::FolderItemPtr> documents;
};

class UndescribedApp : public fw::Application {};

const bool kAppClasses = [] {
  fw::RegisterApplicationClass<OpenOnlyApp>("OpenOnlyApp", fw::On(fw::AppEvent::Open, &OpenOnlyApp::Event_Open));
  fw::RegisterApplicationClass<DocumentApp>(
      "DocumentApp", fw::On(fw::AppEvent::OpenDocument, &DocumentApp::Event_OpenDocument));
  return true;
}();

TEST(ApplicationClass, AnswersOnlyTheEventsOfItsDescription) {
  auto app = std::make_shared<OpenOnlyApp>();
  EXPECT_TRUE(app->AnswersEvent(fw::AppEvent::Open));
  for (auto other : {fw::AppEvent::Activate, fw::AppEvent::Close, fw::AppEvent::NewDocument,
                     fw::AppEvent::OpenDocument, fw::AppEvent::UnhandledException}) {
    EXPECT_FALSE(app->AnswersEvent(other)) << static_cast<int>(other);
  }
}

TEST(ApplicationClass, RaiseCallsTheHandlerOfAnAnsweredEventOnly) {
  auto app = std::make_shared<OpenOnlyApp>();
  EXPECT_TRUE(app->Raise(fw::AppEvent::Open));
  EXPECT_EQ(app->opened, 1);
  EXPECT_FALSE(app->Raise(fw::AppEvent::Close));
  EXPECT_FALSE(app->Raise(fw::AppEvent::OpenDocument));
  EXPECT_EQ(app->opened, 1);
}

TEST(ApplicationClass, OpenDocumentPassesTheFile) {
  auto app = std::make_shared<DocumentApp>();
  auto item = fw::FolderItem::Make("/tmp/Holiday.qva");
  EXPECT_TRUE(app->Raise(fw::AppEvent::OpenDocument, {item}));
  ASSERT_EQ(app->documents.size(), 1u);
  EXPECT_EQ(app->documents[0], item);
  EXPECT_FALSE(app->Raise(fw::AppEvent::Open));
}

TEST(ApplicationClass, AClassWithoutADescriptionAnswersNothing) {
  UndescribedApp app;
  fw::Application plain;
  EXPECT_FALSE(app.AnswersEvent(fw::AppEvent::Open));
  EXPECT_FALSE(app.Raise(fw::AppEvent::Open));
  EXPECT_FALSE(plain.AnswersEvent(fw::AppEvent::Open));
  EXPECT_FALSE(plain.Raise(fw::AppEvent::Open));
}

TEST(ApplicationObject, RegisteredApplicationIsTheCurrentOne) {
  std::shared_ptr<fw::Application> previous = fw::CurrentApplication();
  auto app = std::make_shared<OpenOnlyApp>();
  fw::RegisterApplication(app);
  EXPECT_EQ(fw::CurrentApplication(), app);
  EXPECT_EQ(fw::RequireApplication(), app);
  fw::RegisterApplication(nullptr);
  EXPECT_EQ(fw::CurrentApplication(), nullptr);
  EXPECT_THROW(fw::RequireApplication(), fw::NilObjectException);
  fw::RegisterApplication(previous);
}

// --- Pending events, sleeping and quitting ----------------------------------------------

TEST(ApplicationEvents, DoEventsHandlesAPostedEventOnce) {
  QuitRequestGuard quit;
  fw::Application app;
  int ran = 0;
  QMetaObject::invokeMethod(qApp, [&] { ++ran; }, Qt::QueuedConnection);
  app.DoEvents(-1);
  EXPECT_EQ(ran, 1);
  app.DoEvents(-1);
  EXPECT_EQ(ran, 1);
}

TEST(ApplicationEvents, DoEventsRunsAZeroTimer) {
  QuitRequestGuard quit;
  fw::Application app;
  int ran = 0;
  QTimer::singleShot(0, [&] { ++ran; });
  app.DoEvents(-1);
  EXPECT_EQ(ran, 1);
}

TEST(ApplicationEvents, TimedDoEventsHandlesEventsThatArriveDuringThePause) {
  QuitRequestGuard quit;
  fw::Application app;
  int ran = 0;
  QMetaObject::invokeMethod(qApp, [&] { ++ran; }, Qt::QueuedConnection);
  QTimer::singleShot(10, [&] { ++ran; });  // arrives while the pause runs
  app.DoEvents(100);
  EXPECT_EQ(ran, 2);
}

TEST(ApplicationEvents, DoEventsUnwindsOnceAQuitWasRequested) {
  QuitRequestGuard quit;
  fw::Application app;
  EXPECT_NO_THROW(app.DoEvents(-1));
  fw::QuitApplication(0);
  EXPECT_TRUE(app.Quitting());
  EXPECT_THROW(app.DoEvents(-1), fw::QuitUnwind);
  EXPECT_THROW(app.DoEvents(-1), fw::QuitUnwind);  // for as long as the application quits
  fw::ResetQuitRequest();
  EXPECT_FALSE(app.Quitting());
  EXPECT_NO_THROW(app.DoEvents(-1));
}

TEST(ApplicationEvents, SleepBlocksWithoutHandlingEvents) {
  fw::Application app;
  int ran = 0;
  QMetaObject::invokeMethod(qApp, [&] { ++ran; }, Qt::QueuedConnection);
  QElapsedTimer clock;
  clock.start();
  app.SleepCurrentThread(30);
  EXPECT_GE(clock.elapsed(), 30);  // a lower bound: sleeping never ends early
  EXPECT_EQ(ran, 0);
  app.SleepCurrentThread(0);
  app.SleepCurrentThread(-5);
  EXPECT_EQ(ran, 0);
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(ran, 1);
}

TEST(ApplicationQuit, QuitEndsTheEventLoopWithItsCodeAndASecondRequestChangesNothing) {
  QuitRequestGuard quit;
  auto app = std::make_shared<fw::Application>();
  const int status = RunLoop([app] {
    app->Quit(2);
    app->Quit(5);
  });
  EXPECT_EQ(status, 2);
  EXPECT_TRUE(app->Quitting());
  EXPECT_TRUE(fw::ApplicationQuitting());
}

TEST(ApplicationQuit, QuitEndsNestedLoopsAndAWaitingHandlerUnwinds) {
  QuitRequestGuard quit;
  auto app = std::make_shared<fw::Application>();
  bool unwound = false;
  const int status = RunLoop([&] {
    fw::DispatchEvent([&] {
      QMetaObject::invokeMethod(qApp, [] { fw::QuitApplication(3); }, Qt::QueuedConnection);
      QElapsedTimer clock;
      clock.start();
      try {
        while (clock.elapsed() < 30000) app->DoEvents(-1);
        ADD_FAILURE() << "DoEvents went on after the quit";
      } catch (const fw::QuitUnwind&) {
        unwound = true;
        throw;
      }
    });
  });
  EXPECT_TRUE(unwound);
  EXPECT_EQ(status, 3);
}

TEST(ApplicationQuit, ARequestMadeBeforeTheLoopRunsEndsTheLoopOnceItStarts) {
  QuitRequestGuard quit;
  fw::QuitApplication(4);  // no event loop runs here
  int ran = 0;
  const int status = RunLoop([&] { ++ran; });
  EXPECT_EQ(status, 4);
}

TEST(ApplicationQuit, AForgottenRequestDoesNotEndALaterLoop) {
  QuitRequestGuard quit;
  fw::QuitApplication(4);
  fw::ResetQuitRequest();
  const int status = RunLoop([] { QTimer::singleShot(0, [] { QCoreApplication::exit(7); }); });
  EXPECT_EQ(status, 7);
  EXPECT_FALSE(fw::ApplicationQuitting());
}

// --- Dispatch and the report of unhandled exceptions -----------------------------------

TEST(EventDispatch, AnEscapingExceptionReachesTheReportOnceWithClassAndMessage) {
  Reports reports;
  EXPECT_NO_THROW(fw::DispatchEvent([] { throw fw::NilObjectException("The album has no window."); }));
  EXPECT_EQ(reports.seen, (std::vector<std::string>{"NilObjectException: The album has no window."}));
}

TEST(EventDispatch, StandardAndForeignExceptionsAreReportedToo) {
  Reports reports;
  fw::DispatchEvent([] { throw std::runtime_error("disk on fire"); });
  fw::DispatchEvent([] { throw 42; });
  ASSERT_EQ(reports.seen.size(), 2u);
  EXPECT_NE(reports.seen[0].find("disk on fire"), std::string::npos) << reports.seen[0];
  EXPECT_FALSE(reports.seen[1].empty());
}

TEST(EventDispatch, QuitUnwindIsSwallowedWithoutAReport) {
  Reports reports;
  EXPECT_NO_THROW(fw::DispatchEvent([] { throw fw::QuitUnwind{}; }));
  EXPECT_TRUE(reports.seen.empty());
}

TEST(EventDispatch, AHandlerThatReturnsIsNotReported) {
  Reports reports;
  int ran = 0;
  fw::DispatchEvent([&] { ++ran; });
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(reports.seen.empty());
}

TEST(EventDispatch, SetUnhandledExceptionReportGivesBackThePreviousOne) {
  int first = 0, second = 0;
  ReportGuard outer([&](std::exception_ptr) { ++first; });
  fw::UnhandledExceptionReport previous = fw::SetUnhandledExceptionReport([&](std::exception_ptr) { ++second; });
  fw::ReportUnhandledException(std::make_exception_ptr(fw::IOException()));
  fw::SetUnhandledExceptionReport(previous);
  fw::ReportUnhandledException(std::make_exception_ptr(fw::IOException()));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
}

TEST(EventDispatch, DefaultReportShowsTheExceptionAndWritesItToStandardError) {
  QuitRequestGuard quit;
  testsupport::InteractionGuard person;
  testing::internal::CaptureStderr();
  fw::DefaultUnhandledExceptionReport(std::make_exception_ptr(fw::IOException("The album could not be read.")));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("IOException: The album could not be read."), std::string::npos) << err;
  ASSERT_EQ(person->messages.size(), 1u);
  EXPECT_NE(person->messages[0].find("IOException: The album could not be read."), std::string::npos)
      << person->messages[0];
}

TEST(EventDispatch, DefaultReportQuitsSoThatAWaitingHandlerUnwinds) {
  QuitRequestGuard quit;
  testsupport::InteractionGuard person;
  fw::Application app;
  testing::internal::CaptureStderr();
  fw::DefaultUnhandledExceptionReport(std::make_exception_ptr(fw::NilObjectException()));
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(fw::ApplicationQuitting());
  EXPECT_THROW(app.DoEvents(-1), fw::QuitUnwind);
}

TEST(EventDispatch, DefaultReportEndsTheEventLoopWithStatusOne) {
  QuitRequestGuard quit;
  testsupport::InteractionGuard person;
  ReportGuard defaultReport(nullptr);
  testing::internal::CaptureStderr();
  const int status = RunLoop([] { fw::DispatchEvent([] { throw fw::IllegalCastException(); }); });
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.find("IllegalCastException"), std::string::npos) << err;
  EXPECT_EQ(person->messages.size(), 1u);
}

// --- Controls: pressing and redrawing ---------------------------------------------------

/// Counts the paint events that reach a widget.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
  ~PaintCounter() override {
    if (widget_) widget_->removeEventFilter(this);
  }
  int count = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == widget_ && event->type() == QEvent::Paint) ++count;
    return false;
  }

 private:
  QPointer<QWidget> widget_;
};

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = fw::New<fw::Window>();
    window_->SetWidth(300);
    window_->SetHeight(200);
  }
  void TearDown() override {
    if (window_->NativeWindow() != nullptr && window_->NativeWindow()->isVisible()) window_->Close();
  }
  template <class C>
  std::shared_ptr<C> Place(const char* name) {
    auto control = window_->NewControl<C>();
    using I = std::int64_t;
    fw::ApplyDesignValues(*control, {{"Name", std::string(name)}, {"Left", I{10}}, {"Top", I{10}},
                                     {"Width", I{200}}, {"Height", I{60}}});
    window_->RegisterControl(name, control);
    return control;
  }
  /// Shows the window and lets its first paint happen.
  void ShowAndSettle() {
    window_->Show();
    for (int i = 0; i < 5; ++i) {
      QCoreApplication::processEvents();
      QCoreApplication::sendPostedEvents();
    }
  }
  /// Runs the pending events, the deferred paints among them.
  static void RunPending() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  std::shared_ptr<fw::Window> window_;
};

TEST_F(ControlTest, PressRaisesActionWithTheButtonWhileEnabledOnly) {
  auto button = Place<fw::PushButton>("repair");
  std::vector<fw::PushButton*> pressed;
  button->SetAction([&](fw::PushButton& b) { pressed.push_back(&b); });
  button->Press();
  ASSERT_EQ(pressed.size(), 1u);
  EXPECT_EQ(pressed[0], button.get());
  button->SetEnabled(false);
  button->Press();
  EXPECT_EQ(pressed.size(), 1u);
  button->SetEnabled(true);
  button->Press();
  EXPECT_EQ(pressed.size(), 2u);
}

TEST_F(ControlTest, PressWithoutAnActionDoesNothing) {
  Reports reports;
  auto button = Place<fw::PushButton>("idle");
  EXPECT_NO_THROW(button->Press());
  EXPECT_TRUE(reports.seen.empty());
}

TEST_F(ControlTest, AnExceptionFromTheActionGoesToTheReport) {
  Reports reports;
  auto button = Place<fw::PushButton>("broken");
  button->SetAction([](fw::PushButton&) { throw fw::NilObjectException("no album"); });
  EXPECT_NO_THROW(button->Press());
  EXPECT_EQ(reports.seen, (std::vector<std::string>{"NilObjectException: no album"}));
}

TEST_F(ControlTest, AnActionMayReplaceItselfWhileItRuns) {
  auto button = Place<fw::PushButton>("once");
  std::vector<std::string> trace;
  const std::string first = std::string(64, 'a');  // held by the running handler
  button->SetAction([&trace, first](fw::PushButton& b) {
    b.SetAction([&trace](fw::PushButton&) { trace.push_back("second"); });
    trace.push_back(first.substr(0, 5));  // the handler's own state, after replacing it
  });
  button->Press();
  button->Press();
  EXPECT_EQ(trace, (std::vector<std::string>{"aaaaa", "second"}));
}

TEST_F(ControlTest, RefreshPaintsAtOnceAndInvalidateLater) {
  auto label = Place<fw::Label>("status");
  label->SetText("Checking the album");
  ShowAndSettle();
  ASSERT_TRUE(label->Widget()->isVisible());
  PaintCounter paints(label->Widget());

  label->Invalidate(true);
  EXPECT_EQ(paints.count, 0);  // only asked for
  RunPending();
  EXPECT_GE(paints.count, 1);

  paints.count = 0;
  label->Refresh(true);
  EXPECT_GE(paints.count, 1);  // drawn before Refresh returned

  paints.count = 0;
  label->Refresh(false);
  EXPECT_EQ(paints.count, 0);
  RunPending();
  EXPECT_GE(paints.count, 1);
}

TEST_F(ControlTest, RefreshPaintsATextAreaAtOnceAndInvalidateLater) {
  auto area = Place<fw::TextArea>("log");
  area->SetText("line 1\nline 2");
  ShowAndSettle();
  ASSERT_TRUE(area->Widget()->isVisible());
  PaintCounter paints(area->Widget());

  area->Invalidate(true);
  EXPECT_EQ(paints.count, 0);
  RunPending();
  EXPECT_GE(paints.count, 1);

  paints.count = 0;
  area->Refresh(true);
  EXPECT_GE(paints.count, 1);
  EXPECT_EQ(area->Text(), "line 1\nline 2");
}

TEST_F(ControlTest, RefreshPaintsAButtonAtOnce) {
  auto button = Place<fw::PushButton>("repair");
  button->SetCaption("Repair");
  ShowAndSettle();
  PaintCounter paints(button->Widget());
  button->Invalidate(false);
  EXPECT_EQ(paints.count, 0);
  button->Refresh(true);
  EXPECT_GE(paints.count, 1);
}

TEST_F(ControlTest, RefreshAndInvalidateOfAHiddenControlDoNotThrow) {
  auto label = Place<fw::Label>("hidden");
  auto area = Place<fw::TextArea>("hiddenArea");
  auto button = Place<fw::PushButton>("hiddenButton");
  for (fw::RectControl* control : std::vector<fw::RectControl*>{label.get(), area.get(), button.get()}) {
    EXPECT_NO_THROW(control->Refresh(true));
    EXPECT_NO_THROW(control->Refresh(false));
    EXPECT_NO_THROW(control->Invalidate(true));
    EXPECT_NO_THROW(control->Invalidate(false));
  }
}

}  // namespace
