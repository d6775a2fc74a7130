// The application object and the start-up: the launch opens one empty window, files the
// desktop asks to open get a window each when they are albums, and a fault while the
// document types are built stops start-up, is reported once and still ends cleanly.
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

#include "framework/application.h"
#include "framework/base/exceptions.h"
#include "framework/file_type.h"
#include "framework/window.h"
#include "shell/app.h"
#include "shell/file_types.h"
#include "shell/main_menu_bar.h"
#include "shell/startup.h"
#include "tests/support/albums.h"
#include "tests/support/test_interaction.h"
#include "tests/support/window1_probe.h"

namespace {

namespace fs = std::filesystem;
using testalbums::ScratchFolder;

std::vector<std::shared_ptr<Window1>> AlbumWindows() {
  std::vector<std::shared_ptr<Window1>> result;
  for (const auto& w : fw::Window::OpenWindows()) result.push_back(std::dynamic_pointer_cast<Window1>(w));
  return result;
}

/// Runs the whole program in this process with `files` on its command line; `whileRunning`
/// runs inside the event loop once the launch is handled, then the program is quit.
int RunWithFiles(const std::vector<std::string>& files, std::function<void()> whileRunning) {
  std::vector<std::string> args{"quorvanta-album-repair"};
  args.insert(args.end(), files.begin(), files.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  QTimer::singleShot(50, [&] {
    whileRunning();
    fw::QuitApplication(0);
  });
  return RunProgram(static_cast<int>(argv.size()), argv.data());
}

TEST(AppObject, OpenDocumentTakesAlbumsInAnyLetterCaseAndIgnoresOtherFiles) {
  testsupport::InteractionGuard person;
  ScratchFolder folder;
  const fs::path album = folder / "Holiday.QvA";
  testalbums::MakeSoundAlbum(album, 3);
  const std::string bytes = testalbums::FileBytes(album);
  auto app = std::make_shared<shell::App>();

  app->Event_OpenDocument(fw::FolderItem::Make(album));
  app->Event_OpenDocument(fw::FolderItem::Make(album));  // the same album twice: two windows
  app->Event_OpenDocument(fw::FolderItem::Make(folder / "notes.txt"));
  app->Event_OpenDocument(fw::FolderItem::Make(folder / "qva"));
  auto windows = AlbumWindows();
  ASSERT_EQ(windows.size(), 2u);
  for (const auto& w : windows) {
    EXPECT_EQ(Window1Probe::Source(*w)->NativePath(), album);
    EXPECT_EQ(Window1Probe::Status(*w), "Album OK - No need to repair");
  }
  EXPECT_TRUE(person->messages.empty());
  EXPECT_THROW(app->Event_OpenDocument(nullptr), fw::NilObjectException);
  EXPECT_EQ(AlbumWindows().size(), 2u);
  EXPECT_EQ(testalbums::FileBytes(album), bytes);
}

TEST(AppObject, AccessorRefusesAnApplicationThatIsNotApp) {
  fw::RegisterApplication(std::make_shared<fw::Application>());
  EXPECT_THROW(App(), fw::IllegalCastException);
  auto app = std::make_shared<shell::App>();
  fw::RegisterApplication(app);
  EXPECT_EQ(App(), app);
  EXPECT_EQ(App(), App());
}

TEST(StartUp, LaunchMakesTheAppWithItsVersionAndOpensOneEmptyWindowAndEachAlbum) {
  testsupport::InteractionGuard person;
  ScratchFolder folder;
  const fs::path damaged = folder / "damaged.qva";
  testalbums::MakeDamagedAlbum(damaged);
  const std::string bytes = testalbums::FileBytes(damaged);
  const fs::path missing = folder / "missing.qva";
  fw::RegisterApplication(nullptr);  // a fresh process: no application object yet
  int appSeenByRegistration = -1;
  fw::DocumentTypeRegistry::SetRegistrationHook(
      [&](const std::string&) { appSeenByRegistration = fw::CurrentApplication() != nullptr; });

  std::vector<std::shared_ptr<Window1>> windows;
  std::shared_ptr<shell::App> app;
  const int status = RunWithFiles({damaged.string(), missing.string(), (folder / "other.txt").string()}, [&] {
    windows = AlbumWindows();
    app = App();
  });
  fw::DocumentTypeRegistry::SetRegistrationHook(nullptr);

  EXPECT_EQ(status, 0);
  EXPECT_EQ(appSeenByRegistration, 0) << "the album type is built before the application object";
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(app->MajorVersion(), 1);
  EXPECT_EQ(app->MinorVersion(), 2);
  EXPECT_EQ(app->BugVersion(), 0);
  EXPECT_EQ(app->NonReleaseVersion(), 0);
  EXPECT_EQ(app->StageCode(), 3);
  EXPECT_EQ(app->ShortVersion(), "1.2");
  EXPECT_EQ(app->LongVersion(), "Tessavine Software Inc.");
  EXPECT_EQ(app->PackageInfo(), "");
  EXPECT_EQ(app->MenuBar(), MainMenuBar());
  ASSERT_NE(FileTypes::Quorvantaalbum(), nullptr);
  EXPECT_TRUE(FileTypes::Quorvantaalbum()->Registered());

  ASSERT_EQ(windows.size(), 3u) << "one empty window, then one per album";
  EXPECT_EQ(Window1Probe::Source(*windows[0]), nullptr);
  for (const auto& w : windows) {
    QWidget* bar = w->NativeWindow()->menuWidget();
    ASSERT_NE(bar, nullptr) << "every window shows the menu bar";
    EXPECT_NE(bar->findChild<QMenu*>("FileMenu"), nullptr);
  }
  EXPECT_EQ(Window1Probe::Status(*windows[1]).rfind("Album Corrupted - ", 0), 0u);
  EXPECT_EQ(Window1Probe::Status(*windows[2]), "Could not connect to album");
  EXPECT_FALSE(fs::exists(missing)) << "opening a missing album never creates it";
  EXPECT_EQ(testalbums::FileBytes(damaged), bytes);
  EXPECT_TRUE(fw::Window::OpenWindows().empty()) << "shutdown closes the windows";
  EXPECT_TRUE(person->messages.empty());
}

TEST(StartUp, FaultWhileBuildingTheDocumentTypesStopsStartUpAndIsReportedOnce) {
  testsupport::InteractionGuard person;
  fw::RegisterApplication(nullptr);
  fw::DocumentTypeRegistry::SetRegistrationHook(
      [](const std::string&) { throw fw::IOException("the type registry is not available"); });
  bool loopRan = false;
  const int status = RunWithFiles({}, [&] { loopRan = true; });
  fw::DocumentTypeRegistry::SetRegistrationHook(nullptr);

  EXPECT_NE(status, 0);
  EXPECT_FALSE(loopRan) << "no event loop after a failed start-up";
  EXPECT_EQ(fw::CurrentApplication(), nullptr) << "no application object";
  ASSERT_EQ(person->messages.size(), 1u);
  EXPECT_NE(person->messages[0].find("IOException"), std::string::npos);
  EXPECT_NE(person->messages[0].find("the type registry is not available"), std::string::npos);
  EXPECT_TRUE(fw::Window::OpenWindows().empty());
}

}  // namespace
