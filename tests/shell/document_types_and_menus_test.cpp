// The album document type and the menu bar, as start-up builds them.
#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

#include "framework/application.h"
#include "framework/file_type.h"
#include "repair_window/window1.h"
#include "shell/file_types.h"
#include "shell/main_menu_bar.h"

namespace {

TEST(DocumentTypes, AlbumTypeIsBuiltOnceAndRegisteredOnce) {
  FileTypes::_InitModule();
  EXPECT_EQ(FileTypes::Quorvantaalbum(), nullptr);
  EXPECT_TRUE(FileTypes::AllFileTypes().empty());
  const int registrationsBefore = fw::DocumentTypeRegistry::RegistrationCount();

  FileTypes::_Initialize();
  fw::FileTypePtr album = FileTypes::Quorvantaalbum();
  ASSERT_NE(album, nullptr);
  ASSERT_EQ(FileTypes::AllFileTypes().size(), 1u);
  EXPECT_EQ(FileTypes::AllFileTypes()[0], album);
  EXPECT_EQ(FileTypes::Quorvantaalbum(), album);

  EXPECT_EQ(album->Name(), "quorvanta/album");
  EXPECT_EQ(album->Extensions(), ".qva");
  EXPECT_EQ(album->MacType(), "QRVA");
  EXPECT_EQ(album->MacCreator(), "");
  EXPECT_EQ(album->MimeType(), "");
  EXPECT_EQ(album->UTI(), "");
  EXPECT_EQ(album->ConformsTo(), ", public.data");
  EXPECT_TRUE(album->Imported());
  EXPECT_EQ(album->Icon(), nullptr);
  EXPECT_TRUE(album->Registered());
  EXPECT_EQ(fw::DocumentTypeRegistry::RegistrationCount(), registrationsBefore + 1);

  const fw::DocumentType* registered = fw::DocumentTypeRegistry::Find("quorvanta/album");
  ASSERT_NE(registered, nullptr);
  EXPECT_EQ(registered->macType, "QRVA");
  EXPECT_EQ(registered->extensions, ".qva");
  EXPECT_EQ(registered->uti, "");

  // Each window's Open takes the string form again: no new registration.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(album->Operator_Convert(), "quorvanta/album");
  auto w1 = fw::New<Window1>();
  auto w2 = fw::New<Window1>();
  w1->Show();
  w2->Show();
  EXPECT_EQ(fw::DocumentTypeRegistry::RegistrationCount(), registrationsBefore + 1);
}

TEST(DocumentTypes, ChangingARegisteredTypeWithdrawsItUntilItsNameIsTakenAgain) {
  fw::FileType type;
  type.SetName("test/kind");
  type.SetExtensions(".tk");
  type.Operator_Convert();
  ASSERT_NE(fw::DocumentTypeRegistry::Find("test/kind"), nullptr);
  type.SetExtensions(".tk;.tkk");
  EXPECT_FALSE(type.Registered());
  EXPECT_EQ(fw::DocumentTypeRegistry::Find("test/kind"), nullptr);
  type.Operator_Convert();
  EXPECT_EQ(fw::DocumentTypeRegistry::Find("test/kind")->extensions, ".tk;.tkk");
}

TEST(DocumentTypes, ExtensionsMatchInAnyLetterCase) {
  const fw::DocumentType album{"quorvanta/album", "", "QRVA", ".qva", ""};
  EXPECT_TRUE(fw::DocumentTypeRegistry::Matches(album, "x.qva"));
  EXPECT_TRUE(fw::DocumentTypeRegistry::Matches(album, "X.QvA"));
  EXPECT_FALSE(fw::DocumentTypeRegistry::Matches(album, ".qva"));  // a hidden file, no extension
  EXPECT_FALSE(fw::DocumentTypeRegistry::Matches(album, "x.qva.txt"));
  EXPECT_FALSE(fw::DocumentTypeRegistry::Matches(album, "xqva"));
}

TEST(MenuBar, FileMenuWithQuitIsBuiltOnce) {
  shell::InitMainMenuBarModule();
  auto bar = MainMenuBar();
  EXPECT_EQ(MainMenuBar(), bar);
  ASSERT_EQ(bar->Count(), 1u);
  auto file = bar->Item(0);
  EXPECT_EQ(file->Name(), "FileMenu");
  EXPECT_EQ(file->Text(), "&File");
  EXPECT_EQ(file->Shortcut(), "");
  EXPECT_TRUE(file->AutoEnabled());
  EXPECT_TRUE(file->Visible());
  EXPECT_EQ(bar->Child("FileMenu"), file);
  ASSERT_EQ(file->Count(), 1u);
  auto quit = file->Item(0);
  EXPECT_NE(std::dynamic_pointer_cast<fw::QuitMenuItem>(quit), nullptr);
  EXPECT_EQ(quit->Name(), "FileQuit");
  EXPECT_EQ(quit->Text(), "&Quit");
  EXPECT_EQ(quit->Shortcut(), "Cmd+Q");
  EXPECT_TRUE(quit->AutoEnabled());
  EXPECT_TRUE(quit->Visible());
}

TEST(MenuBar, QuitInAWindowsMenuQuitsTheApplication) {
  shell::InitMainMenuBarModule();
  auto window = fw::New<Window1>();
  window->InstallMenuBar(MainMenuBar());
  window->Show();
  QMenuBar* native = window->NativeWindow()->menuBar();
  auto* fileMenu = native->findChild<QMenu*>("FileMenu");
  ASSERT_NE(fileMenu, nullptr);
  EXPECT_EQ(fileMenu->title(), "&File");
  QAction* quit = nullptr;
  for (QAction* a : fileMenu->actions()) if (a->objectName() == "FileQuit") quit = a;
  ASSERT_NE(quit, nullptr);
  EXPECT_EQ(quit->shortcut().toString(), QStringLiteral("Ctrl+Q"));
  EXPECT_EQ(window->Height(), 339);  // the menu bar sits above the content area
  EXPECT_FALSE(fw::ApplicationQuitting());
  quit->trigger();
  EXPECT_TRUE(fw::ApplicationQuitting());
  fw::ResetQuitRequest();
}

}  // namespace
