// The window's events as a person causes them: the title, files dropped from a file
// manager, the Repair button's bracket around a repair, and quitting.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMainWindow>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <fstream>
#include <gtest/gtest.h>

#include "framework/application.h"
#include "framework/event_dispatch.h"
#include "tests/support/albums.h"
#include "tests/support/test_interaction.h"
#include "tests/support/window1_probe.h"

namespace {

namespace fs = std::filesystem;
using testalbums::ScratchFolder;

/// Drags `data` over the window and drops it there, as a file manager does; true when
/// the window took the drag.
bool Drop(Window1& window, QMimeData& data) {
  QMainWindow* native = window.NativeWindow();
  const QPoint at(300, 200);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(native, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(native, &drop);
  return drop.isAccepted();
}

QMimeData* Files(const std::vector<fs::path>& paths) {
  auto* data = new QMimeData;
  QList<QUrl> urls;
  for (const auto& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p.string()));
  data->setUrls(urls);
  return data;
}

class WindowEvents : public ::testing::Test {
 protected:
  void TearDown() override {
    fw::ResetQuitRequest();
    fw::CurrentApplication()->SetMouseCursor(nullptr);
  }
  std::shared_ptr<Window1> Open() {
    auto window = fw::New<Window1>();
    window->Action_Init(nullptr);
    window->Show();
    return window;
  }
  ScratchFolder folder;
  testsupport::InteractionGuard person;
};

TEST_F(WindowEvents, TitleCarriesTheVersionAsPlainDigits) {
  EXPECT_EQ(Open()->Title(), "Quorvanta Album Repair Tool 1.2");
  fw::CurrentApplication()->SetMinorVersion(10);
  EXPECT_EQ(Open()->Title(), "Quorvanta Album Repair Tool 1.10");
  fw::CurrentApplication()->SetMinorVersion(2);
}

TEST_F(WindowEvents, OfSeveralDroppedAlbumsTheFirstIsLoaded) {
  testalbums::MakeDamagedAlbum(folder / "first.QVA");
  testalbums::MakeSoundAlbum(folder / "second.qva", 2);
  auto window = Open();
  std::unique_ptr<QMimeData> data(Files({folder / "notes.txt", folder / "first.QVA", folder / "second.qva"}));
  EXPECT_TRUE(Drop(*window, *data));
  EXPECT_EQ(Window1Probe::Source(*window)->NativePath(), folder / "first.QVA");
  EXPECT_EQ(Window1Probe::Status(*window).rfind("Album Corrupted - ", 0), 0u);
  EXPECT_TRUE(person->messages.empty());
}

TEST_F(WindowEvents, DropsWithoutAnAlbumAreRefusedAndChangeNothing) {
  auto window = Open();
  std::ofstream(folder / "notes.txt") << "text";
  std::unique_ptr<QMimeData> text(new QMimeData);
  text->setText("just words");
  std::unique_ptr<QMimeData> web(new QMimeData);
  web->setUrls({QUrl("https://example.invalid/album.qva")});
  std::unique_ptr<QMimeData> other(Files({folder / "notes.txt"}));
  for (QMimeData* data : {text.get(), web.get(), other.get()}) EXPECT_FALSE(Drop(*window, *data));
  EXPECT_EQ(Window1Probe::Source(*window), nullptr);
  EXPECT_EQ(Window1Probe::FileLabel(*window), "Drop Album File to be repaired into this window");
  EXPECT_EQ(Window1Probe::Status(*window), "");
  EXPECT_TRUE(person->messages.empty());
}

TEST_F(WindowEvents, AfterEveryEndingTheButtonIsUsableAndTheCursorNormal) {
  testalbums::MakeDamagedAlbum(folder / "a.qva");
  auto window = Open();
  window->Action_Init(fw::FolderItem::Make(folder / "a.qva"));
  auto repair = Window1Probe::RepairButton(*window);

  repair->Press();  // the dialog is cancelled
  EXPECT_TRUE(repair->Enabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  person->answers.push_back([&](const fw::SaveAsDialog&) { return fw::FolderItem::Make(folder / "out.qva"); });
  bool enabledDuringMessage = true;
  bool waitCursorDuringMessage = false;
  person->onMessage = [&](const std::string&) {
    enabledDuringMessage = repair->Enabled();
    waitCursorDuringMessage = QApplication::overrideCursor() != nullptr;
  };
  repair->Press();  // a success
  EXPECT_EQ(person->messages, std::vector<std::string>{"Album Database Structure Repaired"});
  EXPECT_FALSE(enabledDuringMessage);
  EXPECT_TRUE(waitCursorDuringMessage);
  EXPECT_TRUE(repair->Enabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowEvents, DropWhileARepairWaitsIsRefusedInTheDragOnThatWindowOnly) {
  testalbums::MakeDamagedAlbum(folder / "a.qva");
  testalbums::MakeSoundAlbum(folder / "b.qva", 2);
  const std::string bytesA = testalbums::FileBytes(folder / "a.qva"), bytesB = testalbums::FileBytes(folder / "b.qva");
  auto window = Open();
  auto other = Open();
  window->Action_Init(fw::FolderItem::Make(folder / "a.qva"));
  person->answers.push_back([&](const fw::SaveAsDialog&) { return fw::FolderItem::Make(folder / "out.qva"); });
  bool takenHere = true, takenThere = false;
  std::unique_ptr<QMimeData> data(Files({folder / "b.qva"}));
  QTimer::singleShot(0, [&] {
    takenHere = Drop(*window, *data);
    takenThere = Drop(*other, *data);
  });
  Window1Probe::RepairButton(*window)->Press();
  EXPECT_FALSE(takenHere);  // refused as the drag enters: its source sees the decline
  EXPECT_TRUE(takenThere);
  EXPECT_EQ(Window1Probe::Source(*other)->NativePath(), folder / "b.qva");
  EXPECT_EQ(Window1Probe::Source(*window)->NativePath(), folder / "a.qva");
  EXPECT_EQ(Window1Probe::Dest(*window)->NativePath(), folder / "out.qva");
  EXPECT_EQ(Window1Probe::RepairLine(*window), "Album Database Structure Repaired");
  // Once the repair is over, drops are taken again.
  EXPECT_TRUE(Drop(*window, *data));
  EXPECT_EQ(Window1Probe::Source(*window)->NativePath(), folder / "b.qva");
  EXPECT_EQ(testalbums::FileBytes(folder / "a.qva"), bytesA);
  EXPECT_EQ(testalbums::FileBytes(folder / "b.qva"), bytesB);
}

TEST_F(WindowEvents, QuitButtonAndCloseBoxQuitTheApplication) {
  auto window = Open();
  auto other = Open();
  EXPECT_FALSE(fw::ApplicationQuitting());
  fw::FindControl<fw::PushButton>(window.get(), "PushButton1")->Press();
  EXPECT_TRUE(fw::ApplicationQuitting());
  fw::ResetQuitRequest();
  other->Close();
  EXPECT_TRUE(fw::ApplicationQuitting());
  fw::QuitApplication(3);  // a request while quitting changes nothing
}

}  // namespace
