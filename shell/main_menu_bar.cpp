#include "shell/main_menu_bar.h"

namespace {

std::shared_ptr<shell::MainMenuBar> _implicitInstance;  // the one menu bar, once made

}  // namespace

namespace shell {

void MainMenuBar::Constructor() { FileMenu(); }

void MainMenuBar::FileMenu() {
  auto fileMenu = std::make_shared<fw::MenuItem>();
  fileMenu->SetName("FileMenu");
  fileMenu->SetAutoEnabled(true);
  fileMenu->SetText("&File");
  fileMenu->SetVisible(true);
  fileMenu->SetShortcut("");
  AddMenu(fileMenu);

  auto quit = std::make_shared<fw::QuitMenuItem>();
  quit->SetName("FileQuit");
  quit->SetAutoEnabled(true);
  quit->SetText("&Quit");
  quit->SetVisible(true);
  quit->SetShortcut("Cmd+Q");
  Child("FileMenu")->AddMenu(quit);
}

void InitMainMenuBarModule() { _implicitInstance = nullptr; }

}  // namespace shell

std::shared_ptr<shell::MainMenuBar> MainMenuBar() {
  if (_implicitInstance) return _implicitInstance;
  auto bar = std::make_shared<shell::MainMenuBar>();
  bar->Constructor();
  _implicitInstance = bar;  // only once the constructor has finished
  return bar;
}
