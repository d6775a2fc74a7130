// The album repair as a person meets it: the dialog with its texts, each way a repair can
// end with its words in the window and in a message box, the rebuilt album's content,
// and what must never happen: the album changed or chosen as its own output, a command
// smuggled in by a file name, a user's file deleted, a process or temporary file left.
#include <QApplication>
#include <QTimer>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iterator>

#include "framework/application.h"
#include "framework/base/folder_item.h"
#include "framework/base/temporary_folder.h"
#include "framework/event_dispatch.h"
#include "repair_window/dump_rewrite.h"
#include "tests/support/albums.h"
#include "tests/support/test_interaction.h"
#include "tests/support/window1_probe.h"

namespace {

namespace fs = std::filesystem;
using testalbums::FileBytes;
using testalbums::ScratchFolder;

long Count(const fs::path& database, const std::string& table) {
  return std::stol(testalbums::QueryColumn(database, "SELECT count(*) FROM " + table).at(0));
}

class Repair : public ::testing::Test {
 protected:
  void SetUp() override {
    app->SetMajorVersion(1);
    app->SetMinorVersion(2);
    fw::RegisterApplication(app);
    fw::ResetQuitRequest();
    // A private HOME, so that the repair's hands are seen to stay off the user's folders.
    setenv("HOME", (folder / "home").c_str(), 1);
    path = getenv("PATH");
    fs::create_directories(folder / "home" / "Desktop");
    fs::create_directories(folder / "home" / "Documents");
  }
  void TearDown() override {
    // Nothing of any repair is left behind in the process's temporary folder.
    EXPECT_TRUE(testalbums::FolderListing(fw::ProcessTemporaryFolder()).empty());
    app->SetMouseCursor(nullptr);
    setenv("PATH", path.c_str(), 1);
  }

  std::shared_ptr<Window1> Load(const fs::path& album) {
    auto window = fw::New<Window1>();
    window->Show();
    window->Action_Init(fw::FolderItem::Make(album));
    return window;
  }
  void Choose(const fs::path& output) {
    person->answers.push_back([output](const fw::SaveAsDialog&) { return fw::FolderItem::Make(output); });
  }
  /// Puts a stand-in `sqlite3` first on the search path; it runs `script` with the same
  /// arguments (the real one is /usr/bin/sqlite3).
  void StandIn(const std::string& script) {
    const fs::path bin = folder / "bin";
    fs::create_directories(bin);
    std::ofstream(bin / "sqlite3") << "#!/bin/sh\n" << script << "\n";
    fs::permissions(bin / "sqlite3", fs::perms::owner_all);
    setenv("PATH", (bin.string() + ":" + getenv("PATH")).c_str(), 1);
  }
  /// Row counts of the two tables in what the bare pipeline `sqlite3 ALBUM .dump |
  /// (the rewrite) | sqlite3 NEW` builds from a copy of `album`.
  std::pair<long, long> PipelineCounts(const fs::path& album) {
    ScratchFolder work;
    testalbums::CopyAlbumSet(album, work / "copy.qva");
    std::ofstream(work / "raw.sql", std::ios::binary) << testalbums::RunSqlite3((work / "copy.qva").string(), ".dump");
    CopyCleanedDump(fw::FolderItem::Make(work / "raw.sql"), fw::FolderItem::Make(work / "clean.sql"));
    const std::string command = "sqlite3 " + testalbums::ShellQuote((work / "new.qva").string()) + " < " +
                                testalbums::ShellQuote((work / "clean.sql").string()) + " 2>/dev/null";
    std::system(command.c_str());  // statements that fail are skipped, as in the repair
    EXPECT_TRUE(fs::exists(work / "new.qva"));
    return {Count(work / "new.qva", "images"), Count(work / "new.qva", "notes")};
  }

  /// Asks for a repair and lets the window judge it: the person's expectation is that the
  /// repair's failure ends with the message box read and the button and cursor back.
  void ExpectFailedRepair(Window1& window, const std::string& words) {
    person->messages.clear();
    window.cmdRepair_Action(*Window1Probe::RepairButton(window));
    EXPECT_EQ(Window1Probe::RepairLine(window), words);
    EXPECT_EQ(person->messages, std::vector<std::string>{"Album failed to repair successfully"}) << words;
    EXPECT_TRUE(Window1Probe::RepairButton(window)->Enabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }

  /// Forgets a quit, Qt's side included: once told to exit, Qt's event loops return at once
  /// until its application loop has run again.
  static void ForgetTheQuit() {
    fw::ResetQuitRequest();
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QApplication::exec();
  }

  ScratchFolder folder;
  std::string path;  // the search path before the test
  testsupport::InteractionGuard person;
  std::shared_ptr<fw::Application> app = std::make_shared<fw::Application>();
};

TEST_F(Repair, WithoutAnAlbumNothingHappens) {
  auto window = fw::New<Window1>();
  Window1Probe::Repair(*window);
  EXPECT_TRUE(person->dialogs.empty());
  EXPECT_TRUE(person->messages.empty());
  EXPECT_EQ(Window1Probe::RepairLine(*window), "");
}

TEST_F(Repair, CancelledDialogChangesNothing) {
  const fs::path album = folder / "Summer.qva";
  testalbums::MakeDamagedAlbum(album);
  const std::string bytes = FileBytes(album);
  auto window = Load(album);
  fw::FindControl<fw::Label>(window.get(), "lblRepaired")->SetText("earlier words");
  const testalbums::FolderSnapshot before(folder.Path());

  Window1Probe::Repair(*window);  // no answer queued: the person cancels
  ASSERT_EQ(person->dialogs.size(), 1u);
  const fw::SaveAsDialog& shown = person->dialogs[0];
  EXPECT_EQ(shown.Title, "Select Output Album");
  EXPECT_EQ(shown.ActionButtonCaption, "Repair");
  EXPECT_EQ(shown.PromptText, "Prompt");
  EXPECT_EQ(shown.Filter, ".qva");
  EXPECT_EQ(shown.SuggestedFileName, "Summer_repaired.qva");
  EXPECT_EQ(shown.InitialDirectory->NativePath(), folder.Path());

  EXPECT_EQ(testalbums::FolderSnapshot(folder.Path()), before);
  EXPECT_EQ(FileBytes(album), bytes);
  EXPECT_EQ(Window1Probe::RepairLine(*window), "earlier words");
  EXPECT_EQ(Window1Probe::Dest(*window)->NativePath(), folder / "Summer_repaired.qva");
  EXPECT_FALSE(Window1Probe::RepairButton(*window)->Enabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(person->messages.empty());
}

TEST_F(Repair, DamagedAlbumIsRebuiltWithWhatTheDumpCouldRead) {
  for (auto make : {testalbums::MakeDamagedAlbum, testalbums::MakeDamagedAlbumWithDumpErrors}) {
    ScratchFolder here;
    const fs::path album = here / "album.qva";
    make(album);
    const std::string bytes = FileBytes(album);
    const auto expected = PipelineCounts(album);
    auto window = Load(album);
    const fs::path output = here / "chosen name.qva";
    std::ofstream(output) << "an older file the person chose to replace";
    Choose(output);
    bool buttonWhileMessage = true;
    bool waitCursorWhileMessage = false;
    person->onMessage = [&](const std::string&) {
      buttonWhileMessage = Window1Probe::RepairButton(*window)->Enabled();
      waitCursorWhileMessage = QApplication::overrideCursor() != nullptr &&
                               QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    };
    person->messages.clear();
    Window1Probe::Repair(*window);

    EXPECT_EQ(person->messages, std::vector<std::string>{"Album Database Structure Repaired"});
    EXPECT_EQ(Window1Probe::RepairLine(*window), "Album Database Structure Repaired");
    EXPECT_FALSE(buttonWhileMessage);
    EXPECT_TRUE(waitCursorWhileMessage);
    EXPECT_EQ(Window1Probe::Dest(*window)->NativePath(), output);
    EXPECT_EQ(testalbums::QueryColumn(output, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_EQ(Count(output, "images"), expected.first);
    EXPECT_EQ(Count(output, "notes"), expected.second);
    EXPECT_GT(expected.first, 0);
    EXPECT_EQ(FileBytes(album), bytes);
    EXPECT_EQ(testalbums::FolderListing(here.Path()), (std::vector<std::string>{"album.qva", "chosen name.qva"}));
    EXPECT_TRUE(Window1Probe::Status(*window).rfind("Album Corrupted - ", 0) == 0) << "the verdict stays";
  }
}

TEST_F(Repair, TheNewAlbumKeepsTheAlbumsUserVersionAndApplicationId) {
  // .dump does not write them; an application that reads user_version as the version of
  // its schema would take an album without it for an empty or an old one.
  const fs::path album = folder / "album.qva";
  testalbums::MakeDamagedAlbum(album);
  testalbums::RunSqlite3(album.native(), "PRAGMA user_version = 7; PRAGMA application_id = 1364350529;");
  const std::string bytes = FileBytes(album);
  auto window = Load(album);
  const fs::path output = folder / "new.qva";
  Choose(output);
  Window1Probe::Repair(*window);
  EXPECT_EQ(person->messages, std::vector<std::string>{"Album Database Structure Repaired"});
  EXPECT_EQ(testalbums::QueryColumn(output, "PRAGMA user_version"), std::vector<std::string>{"7"});
  EXPECT_EQ(testalbums::QueryColumn(output, "PRAGMA application_id"), std::vector<std::string>{"1364350529"});
  EXPECT_EQ(FileBytes(album), bytes);
}

TEST_F(Repair, SecondRepairSuggestsTheOutputChosenFirst) {
  const fs::path album = folder / "a.qva";
  testalbums::MakeDamagedAlbum(album);
  fs::create_directories(folder / "out");
  auto window = Load(album);
  Choose(folder / "out" / "first.qva");
  Window1Probe::Repair(*window);
  Window1Probe::Repair(*window);  // cancelled
  ASSERT_EQ(person->dialogs.size(), 2u);
  EXPECT_EQ(person->dialogs[1].SuggestedFileName, "first.qva");
  EXPECT_EQ(person->dialogs[1].InitialDirectory->NativePath(), folder / "out");
}

TEST_F(Repair, FileThatIsNotADatabaseRecoversNothingAndSaysSo) {
  const fs::path album = folder / "noise.qva";
  testalbums::MakeNotADatabase(album);
  const std::string bytes = FileBytes(album);
  auto window = Load(album);
  Choose(folder / "noise_repaired.qva");
  Window1Probe::Repair(*window);
  EXPECT_EQ(person->messages, std::vector<std::string>{"Album failed to repair successfully"});
  EXPECT_EQ(Window1Probe::RepairLine(*window), "No data could be recovered from the album");
  EXPECT_TRUE(Window1Probe::RepairButton(*window)->Enabled());
  EXPECT_TRUE(fs::exists(folder / "noise_repaired.qva")) << "a failed repair keeps its output";
  EXPECT_EQ(FileBytes(album), bytes);
}

TEST_F(Repair, NoRawDumpEndsTheRepairAfterTheOldOutputIsGone) {
  // The stand-in removes the file that the shell made for its output before it exits.
  StandIn("rm -f \"$(readlink /proc/$$/fd/1)\"; exit 1");
  const fs::path album = folder / "a.qva";
  testalbums::MakeDamagedAlbum(album);
  const fs::path output = folder / "old.qva";
  std::ofstream(output) << "old";
  auto window = Load(album);
  Choose(output);
  Window1Probe::Repair(*window);
  EXPECT_EQ(Window1Probe::RepairLine(*window), "Could not export to repaired file [DUMP]");
  EXPECT_EQ(person->messages, std::vector<std::string>{"Could not export to repaired file [DUMP]"});
  EXPECT_FALSE(fs::exists(output)) << "the chosen output is deleted before the dump";
  EXPECT_FALSE(Window1Probe::RepairButton(*window)->Enabled());
}

TEST_F(Repair, RebuildThatMakesNoAlbumOrAFolderIsReported) {
  // The stand-in dumps for real; the rebuild takes away the empty album that the repair
  // made for it and leaves nothing, or a folder, where the album goes.
  for (const auto& [rebuild, words] : std::vector<std::pair<std::string, std::string>>{
           {"rm \"$2\"", "Could not export to repaired file"},
           {"rm \"$2\"; mkdir \"$2\"", "Could not connect to repaired album"}}) {
    ScratchFolder here;
    StandIn("if [ \"$3\" = .dump ]; then exec /usr/bin/sqlite3 \"$@\"; fi; " + rebuild);
    const fs::path album = here / "a.qva";
    testalbums::MakeDamagedAlbum(album);
    auto window = Load(album);
    Choose(here / "out.qva");
    person->messages.clear();
    Window1Probe::Repair(*window);
    EXPECT_EQ(Window1Probe::RepairLine(*window), words);
    EXPECT_EQ(person->messages, std::vector<std::string>{words});
    EXPECT_FALSE(Window1Probe::RepairButton(*window)->Enabled());
  }
}

TEST_F(Repair, RebuiltAlbumWithFindingsOrNoDatabaseIsAFailedRepair) {
  const fs::path damaged = folder / "still damaged.qva";
  testalbums::MakeDamagedAlbum(damaged);
  ScratchFolder copy;
  testalbums::CopyAlbumSet(damaged, copy / "c.qva");
  const std::string finding = testalbums::QueryColumn(copy / "c.qva", "PRAGMA integrity_check").at(0);
  const fs::path noise = folder / "noise.bin";
  testalbums::MakeNotADatabase(noise);
  for (const auto& [source, words] : std::vector<std::pair<fs::path, std::string>>{
           {damaged, finding}, {noise, "file is not a database"}}) {
    // The rebuild leaves a damaged album, or no database at all, at the output.
    StandIn("if [ \"$3\" = .dump ]; then exec /usr/bin/sqlite3 \"$@\"; fi; cp " +
            testalbums::ShellQuote(source.string()) + " \"$2\"");
    const fs::path album = folder / "album.qva";
    if (!fs::exists(album)) testalbums::MakeDamagedAlbum(album);
    auto window = Load(album);
    Choose(folder / "out.qva");
    person->messages.clear();
    Window1Probe::Repair(*window);
    EXPECT_EQ(Window1Probe::RepairLine(*window), words);
    EXPECT_EQ(person->messages, std::vector<std::string>{"Album failed to repair successfully"});
    EXPECT_TRUE(Window1Probe::RepairButton(*window)->Enabled());
  }
}

TEST_F(Repair, TheAlbumOrAFolderIsNeverTakenAsTheOutput) {
  const fs::path album = folder / "album.qva";
  testalbums::MakeDamagedAlbum(album);
  fs::create_directories(folder / "sub");
  fs::create_symlink(album, folder / "link.qva");
  fs::create_hard_link(album, folder / "hard.qva");
  fs::create_directories(folder / "Holiday.qva");
  fs::create_directories(folder / "Full.qva");
  std::ofstream(folder / "Full.qva" / "inside") << "x";
  const std::string bytes = FileBytes(album);
  const testalbums::FolderSnapshot before(folder.Path());
  auto window = Load(album);
  const std::vector<std::pair<fs::path, std::string>> refused = {
      {album, "cannot replace the album"},
      {folder / "link.qva", "cannot replace the album"},
      {folder / "hard.qva", "cannot replace the album"},
      {folder / "sub" / ".." / "album.qva", "cannot replace the album"},
      {folder / "Holiday.qva", "cannot take the place of a folder"},
      {folder / "Full.qva", "cannot take the place of a folder"}};
  for (const auto& [place, words] : refused) Choose(place);
  Window1Probe::Repair(*window);  // each refused, then the dialog is cancelled
  EXPECT_EQ(person->dialogs.size(), refused.size() + 1);
  ASSERT_EQ(person->messages.size(), refused.size());
  for (std::size_t i = 0; i < refused.size(); ++i) {
    EXPECT_NE(person->messages[i].find(refused[i].second), std::string::npos) << refused[i].first;
  }
  EXPECT_EQ(FileBytes(album), bytes);
  EXPECT_EQ(testalbums::FolderSnapshot(folder.Path()), before);
  EXPECT_EQ(Window1Probe::RepairLine(*window), "");
}

TEST_F(Repair, HostileNamesRunNothing) {
  const fs::path hostile = folder / "it's $(touch pwned1) `touch pwned2`; touch pwned3 & \"x\"";
  fs::create_directories(hostile);
  const fs::path album = hostile / "a'b $(touch pwned4).qva";
  testalbums::MakeDamagedAlbum(album);
  auto window = Load(album);
  const fs::path output = hostile / "out `touch pwned5`\n;rm -rf x.qva";
  Choose(output);
  Window1Probe::Repair(*window);
  EXPECT_EQ(Window1Probe::RepairLine(*window), "Album Database Structure Repaired");
  EXPECT_TRUE(fs::exists(output));
  for (const auto& place : {folder.Path(), hostile, fs::current_path(), fs::path(getenv("HOME"))}) {
    for (int i = 1; i <= 5; ++i) EXPECT_FALSE(fs::exists(place / ("pwned" + std::to_string(i)))) << place;
  }
}

TEST_F(Repair, UsersDumpCleanSqlOnTheDesktopSurvives) {
  const fs::path usersFile = folder / "home" / "Desktop" / "dump_clean.sql";
  std::ofstream(usersFile) << "the person's own notes";
  const fs::path album = folder / "a.qva";
  testalbums::MakeDamagedAlbum(album);
  auto window = Load(album);
  Choose(folder / "out.qva");
  Window1Probe::Repair(*window);
  EXPECT_EQ(Window1Probe::RepairLine(*window), "Album Database Structure Repaired");
  EXPECT_EQ(FileBytes(usersFile), "the person's own notes");
  EXPECT_EQ(testalbums::FolderListing(folder / "home" / "Desktop"), std::vector<std::string>{"dump_clean.sql"});
}

TEST_F(Repair, AlbumWithJournalOrWalIsDumpedFromAPrivateCopy) {
  for (auto make : {testalbums::MakeAlbumWithHotJournal, testalbums::MakeAlbumWithWal}) {
    ScratchFolder here;
    const fs::path album = here / "album.qva";
    make(album);
    const testalbums::FolderSnapshot before(here.Path());
    const auto expected = PipelineCounts(album);
    auto window = Load(album);
    Choose(folder / "out.qva");
    person->messages.clear();
    Window1Probe::Repair(*window);
    EXPECT_EQ(person->messages, std::vector<std::string>{"Album Database Structure Repaired"});
    EXPECT_EQ(testalbums::FolderSnapshot(here.Path()), before) << "album, journal and log are unchanged";
    EXPECT_EQ(Count(folder / "out.qva", "notes"), expected.second) << "the content as SQLite recovers it";
    fs::remove(folder / "out.qva");
  }
}

TEST_F(Repair, TwoWindowsRepairingAtOnceBothSucceed) {
  const fs::path albumA = folder / "a.qva";
  const fs::path albumB = folder / "b.qva";
  testalbums::MakeDamagedAlbum(albumA);
  testalbums::MakeDamagedAlbumWithDumpErrors(albumB);
  auto a = Load(albumA);
  auto b = Load(albumB);
  Choose(folder / "a_out.qva");
  Choose(folder / "b_out.qva");
  bool bRan = false;
  // B's repair starts while A's waits for sqlite3 and handles events.
  QTimer::singleShot(0, [&] {
    bRan = true;
    Window1Probe::Repair(*b);
  });
  Window1Probe::Repair(*a);
  ASSERT_TRUE(bRan);
  EXPECT_EQ(Window1Probe::RepairLine(*a), "Album Database Structure Repaired");
  EXPECT_EQ(Window1Probe::RepairLine(*b), "Album Database Structure Repaired");
  EXPECT_EQ(testalbums::QueryColumn(folder / "a_out.qva", "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  EXPECT_EQ(testalbums::QueryColumn(folder / "b_out.qva", "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  EXPECT_EQ(Count(folder / "a_out.qva", "images"), PipelineCounts(albumA).first);
  EXPECT_EQ(Count(folder / "b_out.qva", "images"), PipelineCounts(albumB).first);
}

TEST_F(Repair, ARepairBuildsOnlyIntoAFileOfItsOwn) {
  const fs::path album = folder / "a.qva";
  testalbums::MakeDamagedAlbum(album);
  const std::string bytes = FileBytes(album);
  const long rows = PipelineCounts(album).first;
  const fs::path output = folder / "out.qva";
  auto first = Load(album);
  auto second = Load(album);  // the same album in a second window suggests the same output
  struct Case {
    std::function<void()> meanwhile;  // while the first repair dumps
    std::vector<std::string> messages;
    std::string line;  // the first window's repair line
  };
  for (const Case& c : std::vector<Case>{
           {[&] {  // a second repair chooses the output that the first is making
              Choose(output);
              Window1Probe::Repair(*second);
            },
            {"Another repair is making its album at that place. Please choose another name or folder.",
             "Album Database Structure Repaired"},
            "Album Database Structure Repaired"},
           {[&] { std::ofstream(output) << "another program's file"; },
            {"Album failed to repair successfully"},
            "Not rebuilt: a file has appeared at the chosen place since it was cleared; it was left as it is"}}) {
    fs::remove(output);
    person->messages.clear();
    Choose(output);
    QTimer::singleShot(0, c.meanwhile);
    Window1Probe::Repair(*first);
    EXPECT_EQ(person->messages, c.messages);
    EXPECT_EQ(Window1Probe::RepairLine(*first), c.line);
    if (c.line == "Album Database Structure Repaired") {
      EXPECT_EQ(Count(output, "images"), rows) << "built once, not twice";
    } else {
      EXPECT_EQ(FileBytes(output), "another program's file");
    }
    EXPECT_EQ(testalbums::FolderListing(folder.Path()), (std::vector<std::string>{"a.qva", "home", "out.qva"}));
    EXPECT_EQ(FileBytes(album), bytes);
  }
}

TEST_F(Repair, TheNewAlbumIsNoLessPrivateThanTheAlbum) {
  // The rebuild keeps its journal (PERSIST), so that its permissions can be read afterwards.
  StandIn("if [ \"$3\" = .dump ]; then exec /usr/bin/sqlite3 \"$@\"; fi; "
          "exec /usr/bin/sqlite3 -cmd 'PRAGMA journal_mode = PERSIST' \"$@\"");
  const mode_t umaskBefore = ::umask(022);
  auto mode = [](const fs::path& file) { return static_cast<int>(fs::status(file).permissions() & fs::perms::mask); };
  for (const auto& [albumMode, expected] : std::vector<std::pair<int, int>>{
           {0600, 0600}, {0640, 0640}, {0400, 0600}}) {  // the owner writes the new album
    ScratchFolder here;
    const fs::path album = here / "private.qva";
    testalbums::MakeDamagedAlbum(album);
    fs::permissions(album, fs::perms(albumMode));
    const std::string bytes = FileBytes(album);
    auto window = Load(album);
    Choose(here / "out.qva");
    Window1Probe::Repair(*window);
    EXPECT_EQ(Window1Probe::RepairLine(*window), "Album Database Structure Repaired");
    EXPECT_EQ(mode(here / "out.qva"), expected) << std::oct << albumMode;
    EXPECT_EQ(mode(here / "out.qva-journal"), expected) << std::oct << albumMode;
    EXPECT_EQ(FileBytes(album), bytes);
  }
  ::umask(umaskBefore);
}

TEST_F(Repair, QuitWhileWaitingEndsTheProcessesAndLeavesNoFile) {
  // The stand-in starts a grandchild and waits; both write their process ids down. While
  // it waits as the rebuild, it has begun the new album and its journal.
  const fs::path pids = folder / "pids";
  const std::string waits = "sleep 60 & echo $! >> " + testalbums::ShellQuote(pids.string()) + "; echo $$ >> " +
                            testalbums::ShellQuote(pids.string()) + "; wait";
  for (const std::string stage : {"dump", "rebuild"}) {
    StandIn(stage == "dump" ? waits
                            : "case \" $* \" in *\" .dump \"*) exec /usr/bin/sqlite3 \"$@\";; esac; "
                              "for output; do :; done; echo begun > \"$output\"; echo begun > \"$output-journal\"; " +
                                  waits);
    fs::remove(pids);
    const fs::path album = folder / "a.qva";
    if (!fs::exists(album)) testalbums::MakeDamagedAlbum(album);
    const std::string bytes = FileBytes(album);
    auto window = Load(album);
    Choose(folder / "out.qva");
    QTimer waiting;  // quits once both processes run
    QObject::connect(&waiting, &QTimer::timeout, [&] {
      if (fs::exists(pids) && std::count(std::istreambuf_iterator<char>(*std::make_unique<std::ifstream>(pids)),
                                         std::istreambuf_iterator<char>(), '\n') == 2) {
        fw::QuitApplication(0);
      }
    });
    waiting.start(20);
    EXPECT_THROW(Window1Probe::Repair(*window), fw::QuitUnwind);
    waiting.stop();
    ForgetTheQuit();

    std::ifstream list(pids);
    int count = 0;
    for (pid_t pid; list >> pid; ++count) {
      // Gone, or at most a zombie awaiting a reaper that is not ours.
      const bool gone = kill(pid, 0) != 0 || testalbums::FileBytes("/proc/" + std::to_string(pid) + "/stat")
                                                     .find(") Z ") != std::string::npos;
      EXPECT_TRUE(gone) << stage << ": process " << pid << " still runs";
    }
    EXPECT_EQ(count, 2) << stage;
    EXPECT_EQ(FileBytes(album), bytes);
    EXPECT_EQ(testalbums::FolderListing(folder.Path()), (std::vector<std::string>{"a.qva", "bin", "home", "pids"}))
        << stage << ": a half-built album is left";
    EXPECT_TRUE(testalbums::FolderListing(fw::ProcessTemporaryFolder()).empty());
  }
}

std::string SqlText(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

TEST_F(Repair, NothingThatAnAlbumSmugglesInIsRun) {
  // A crafted album's schema text holds more than its CREATE statement; .dump writes the
  // text as it stands, followed by ";". Line 3 of the dump is "CREATE TABLE t(a);".
  const fs::path pwned = folder / "PWNED";
  const fs::path notes = folder / "notes.txt";
  std::ofstream(notes) << "the person's notes";
  fs::create_directories(folder / "ssh");
  std::ofstream(folder / "ssh" / "id_ed25519") << "the person's private key";
  const std::string ssh = SqlText((folder / "ssh").native());
  const std::string writefile = "SELECT writefile(" + SqlText(pwned.native()) + ", 'x')";
  const std::string notPartOfIt = "Not rebuilt: the album holds a statement that is not part of its structure";
  struct Smuggled {
    std::string schema, words;
    bool rebuilt;  // the rebuild ran (and stopped at what safe mode refuses)
  };
  for (const auto& [schema, words, rebuilt] : std::vector<Smuggled>{
           {"CREATE TABLE t(a);\n.shell touch " + testalbums::ShellQuote(pwned.native()),
            "Not rebuilt: the album holds a command for the sqlite3 shell (line 4 of its dump)", false},
           {"CREATE TABLE t(a);\n.trace " + notes.native(),  // allowed in the shell's safe mode
            "Not rebuilt: the album holds a command for the sqlite3 shell (line 4 of its dump)", false},
           // fsdir, the shell's table of a folder's files, is not refused in safe mode
           {"CREATE TABLE t(a);\nCREATE TABLE stolen AS SELECT name, data FROM fsdir(" + ssh + ")",
            notPartOfIt + " (line 4 of its dump)", false},
           {"CREATE TABLE t(a); INSERT INTO t VALUES((SELECT data FROM fsdir(" + ssh + ")))",
            notPartOfIt + " (line 3 of its dump)", false},
           {"CREATE TABLE t(a);CREATE TRIGGER x AFTER INSERT ON t BEGIN " + writefile + "; END",
            "Building the new album failed: cannot use the writefile() function in safe mode", true}}) {
    ScratchFolder here;
    const fs::path album = here / "a.qva";
    testalbums::RunSqlite3(album.native(), "CREATE TABLE t(a); INSERT INTO t VALUES(1); PRAGMA writable_schema = ON; "
                                           "UPDATE sqlite_master SET sql = " + SqlText(schema) + " WHERE name = 't'");
    const std::string bytes = FileBytes(album);
    auto window = Load(album);
    Choose(here / "out.qva");
    ExpectFailedRepair(*window, words);
    EXPECT_EQ(FileBytes(album), bytes);
    EXPECT_EQ(fs::exists(here / "out.qva"), rebuilt) << words;
    EXPECT_FALSE(fs::exists(pwned)) << words;
    EXPECT_EQ(FileBytes(notes), "the person's notes");
  }
}

TEST_F(Repair, AStepThatCouldNotFinishIsAFailedRepair) {
  // A stand-in sqlite3 hands the step that it does not spoil to the real one.
  const std::string dump = "if [ \"$3\" = .dump ]; then ";
  const std::string real = "exec /usr/bin/sqlite3 \"$@\"";
  auto pageOneDamaged = [](const fs::path& album) {
    testalbums::MakeDamagedAlbum(album);
    std::fstream(album, std::ios::in | std::ios::out | std::ios::binary).seekp(100).write("\0\0\0\0\0\0\0\0", 8);
  };
  auto headerOnly = [](const fs::path& album) {
    testalbums::MakeSoundAlbum(album);
    fs::resize_file(album, 100);
  };
  auto onlyPageDamaged = [](const fs::path& album) {  // the table's one page is page 2
    testalbums::RunSqlite3(album.native(), "CREATE TABLE t(x); INSERT INTO t VALUES('a row')");
    std::fstream(album, std::ios::in | std::ios::out | std::ios::binary).seekp(4096).write("ZZZZZZZZ", 8);
  };
  struct Case {
    std::string standIn;  // empty: no sqlite3 on the search path at all
    std::function<void(const fs::path&)> make;
    std::string words;
  };
  for (const Case& c : std::vector<Case>{
           {dump + "/usr/bin/sqlite3 \"$@\"; kill -KILL $$; fi; " + real, testalbums::MakeDamagedAlbum,
            "Dumping the album failed: sqlite3 was stopped (Killed)"},
           {dump + real + "; fi; /usr/bin/sqlite3 \"$@\"; kill -KILL $$", testalbums::MakeDamagedAlbum,
            "Building the new album failed: sqlite3 was stopped (Killed)"},
           {"", testalbums::MakeDamagedAlbum, "Dumping the album failed: sqlite3 could not be run"},
           {dump + real + "; fi; exec /usr/bin/sqlite3 -cmd 'PRAGMA query_only = 1' \"$@\"",
            testalbums::MakeDamagedAlbum, "Building the new album failed: attempt to write a readonly database"},
           {dump + real + "; fi; exec /usr/bin/sqlite3 -cmd 'PRAGMA max_page_count = 4' \"$@\"",
            testalbums::MakeDamagedAlbum, "Building the new album failed: database or disk is full"},
           {real, pageOneDamaged, "No data could be recovered from the album"},
           {real, headerOnly, "No data could be recovered from the album"},
           {real, onlyPageDamaged, "No data could be recovered from the album"}}) {
    ScratchFolder here;
    const fs::path album = here / "a.qva";
    c.make(album);
    const std::string bytes = FileBytes(album);
    auto window = Load(album);
    Choose(here / "out.qva");
    if (c.standIn.empty()) {
      setenv("PATH", here.Path().c_str(), 1);
    } else {
      StandIn(c.standIn);
    }
    ExpectFailedRepair(*window, c.words);
    EXPECT_EQ(FileBytes(album), bytes);
    setenv("PATH", path.c_str(), 1);
  }
}

TEST_F(Repair, AFailureOfThisMachineEndsOnlyThisRepair) {
  const fs::path album = folder / "a.qva";
  testalbums::MakeDamagedAlbum(album);
  const std::string bytes = FileBytes(album);
  auto window = Load(album);
  const fs::path temporary = fw::ProcessTemporaryFolder();

  // The temporary folder was removed from under the running tool.
  fs::remove_all(temporary);
  Choose(folder / "out.qva");
  ExpectFailedRepair(*window, "Could not make a temporary folder: No such file or directory");
  fs::create_directory(temporary);
  fs::permissions(temporary, fs::perms::owner_all);

  // The cleaned dump cannot be written (a file-size limit of this process only: the
  // stand-in lifts it for sqlite3).
  StandIn("ulimit -f unlimited; exec /usr/bin/sqlite3 \"$@\"");
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  rlimit small = before;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  signal(SIGXFSZ, SIG_IGN);
  Choose(folder / "out.qva");
  ExpectFailedRepair(*window, "Could not write the cleaned dump: File too large");
  setrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(FileBytes(album), bytes);
}

TEST_F(Repair, AFileThatCannotBeReplacedStopsTheRepairBeforeTheDump) {
  // A file stands in a folder that may not be changed.
  if (geteuid() == 0) GTEST_SKIP() << "root may change any folder";
  const fs::path album = folder / "a.qva";
  testalbums::MakeDamagedAlbum(album);
  const std::string bytes = FileBytes(album);
  auto window = Load(album);
  fs::create_directories(folder / "locked");
  testalbums::MakeSoundAlbum(folder / "locked" / "old.qva");
  fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  StandIn("echo called >> " + testalbums::ShellQuote((folder / "calls").native()) + "; exec /usr/bin/sqlite3 \"$@\"");
  const testalbums::FolderSnapshot before(folder / "locked");
  Choose(folder / "locked" / "old.qva");
  ExpectFailedRepair(*window, "Could not replace the file at the chosen place: Permission denied");
  EXPECT_EQ(testalbums::FolderSnapshot(folder / "locked"), before);
  fs::permissions(folder / "locked", fs::perms::owner_all);
  EXPECT_FALSE(fs::exists(folder / "calls")) << "sqlite3 was run";
  EXPECT_EQ(FileBytes(album), bytes);
}


TEST_F(Repair, ARebuildThatFillsTheDiskIsAFailedRepair) {
  // The temporary folder and the output share one small disk, as they often do: sqlite3's
  // messages must still be kept once the rebuild has filled it. The disk is a tmpfs in a
  // mount namespace of this test's own (root only).
  if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    GTEST_SKIP() << "no mount namespace of its own: " << std::strerror(errno);
  }
  const fs::path album = folder / "a.qva";
  testalbums::RunSqlite3(album.native(), "CREATE TABLE t(x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                         "FROM n LIMIT 20000) INSERT INTO t SELECT printf('%0100d', i) FROM n");
  const std::string bytes = FileBytes(album);
  // Room for the dump and its cleaned copy, not for the new album besides the copy.
  const std::size_t dump = testalbums::RunSqlite3(album.native(), ".dump").size();
  struct Mounted {
    fs::path at;
    ~Mounted() { ::umount2(at.c_str(), MNT_DETACH); }
  };
  const fs::path disk = folder / "disk";
  fs::create_directory(disk);
  const std::string size = "size=" + std::to_string(2 * dump + (256 << 10));
  ASSERT_EQ(::mount("tmpfs", disk.c_str(), "tmpfs", 0, size.c_str()), 0) << std::strerror(errno);
  Mounted small{disk};
  fs::create_directory(disk / "tmp");
  ASSERT_EQ(::mount((disk / "tmp").c_str(), fw::ProcessTemporaryFolder().c_str(), nullptr, MS_BIND, nullptr), 0);
  Mounted temporary{fw::ProcessTemporaryFolder()};
  auto window = Load(album);
  Choose(disk / "out.qva");
  ExpectFailedRepair(*window, "Building the new album failed: database or disk is full");
  EXPECT_TRUE(testalbums::FolderListing(disk / "tmp").empty());
  EXPECT_EQ(FileBytes(album), bytes);
}

}  // namespace
