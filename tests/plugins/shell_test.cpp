// Shell: synchronous and asynchronous runs, exit codes, output that nobody reads, and the
// ending of a command with its children.
#include "plugins/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "framework/base/exceptions.h"
#include "framework/base/temporary_folder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Polls until the shell's child has ended; false after `limit`.
bool WaitForEnd(plugins::Shell& shell, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (shell.IsRunning()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// The pid written by the command into `file`, once it is there (0 after 10 s).
pid_t WaitForPid(const fs::path& file) {
  for (int i = 0; i < 2000; ++i) {
    const std::string text = ReadBytes(file);
    if (!text.empty() && text.back() == '\n') return static_cast<pid_t>(std::stol(text));
    std::this_thread::sleep_for(5ms);
  }
  return 0;
}

// True when the process is gone: no such process, or a zombie that only its new parent
// (which may be a PID 1 that does not reap) has still to collect.
bool ProcessGone(pid_t pid) {
  if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

bool ProcessGoneWithin(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ProcessGone(pid)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// True when `pid` is no longer our child (it was reaped: waitpid knows nothing of it).
bool Reaped(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, WNOHANG) < 0 && errno == ECHILD;
}

}  // namespace

TEST(ShellTest, ModeProperty) {
  plugins::Shell shell;
  EXPECT_EQ(shell.Mode(), 0);
  shell.SetMode(1);
  EXPECT_EQ(shell.Mode(), 1);
  shell.SetMode(0);
  EXPECT_EQ(shell.Mode(), 0);
  EXPECT_THROW(shell.SetMode(2), fw::RuntimeException);
  EXPECT_THROW(shell.SetMode(-1), fw::RuntimeException);
  EXPECT_EQ(shell.Mode(), 0);
}

TEST(ShellTest, SynchronousRunWaitsAndGivesTheExitCode) {
  fw::TemporaryFolder tmp;
  plugins::Shell shell;
  EXPECT_EQ(shell.ExitCode(), -1);
  shell.Execute("printf 'hello' > " + tmp.Child("out")->ShellPath() + "; exit 7");
  EXPECT_FALSE(shell.IsRunning());
  EXPECT_EQ(shell.ExitCode(), 7);
  EXPECT_EQ(ReadBytes(tmp.Path() / "out"), "hello");
  shell.Execute("kill -TERM $$");
  EXPECT_EQ(shell.ExitCode(), 128 + SIGTERM);
  shell.Execute("/no/such/program");
  EXPECT_EQ(shell.ExitCode(), 127);
}

TEST(ShellTest, AsynchronousRunCreatesAFileThroughRedirection) {
  fw::TemporaryFolder tmp;
  auto in = tmp.Child("in put");
  std::ofstream(in->NativePath()) << "from a file\n";
  auto out = tmp.Child("out'put");
  plugins::Shell shell;
  shell.SetMode(1);
  const auto start = std::chrono::steady_clock::now();
  shell.Execute("sleep 0.3; cat < " + in->ShellPath() + " > " + out->ShellPath());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 250ms);  // returned at once
  EXPECT_TRUE(shell.IsRunning());
  EXPECT_GT(shell.ProcessID(), 0);
  EXPECT_EQ(shell.ExitCode(), -1);
  EXPECT_THROW(shell.Execute("true"), fw::RuntimeException);  // one command at a time
  const pid_t pid = shell.ProcessID();
  ASSERT_TRUE(WaitForEnd(shell, 10s));
  EXPECT_EQ(shell.ExitCode(), 0);
  EXPECT_EQ(shell.ProcessID(), 0);
  EXPECT_EQ(ReadBytes(out->NativePath()), "from a file\n");
  EXPECT_TRUE(Reaped(pid));

  shell.Execute("exit 3");  // the next command may start once the last one has ended
  ASSERT_TRUE(WaitForEnd(shell, 10s));
  EXPECT_EQ(shell.ExitCode(), 3);
}

TEST(ShellTest, StdinIsEmpty) {
  fw::TemporaryFolder tmp;
  plugins::Shell shell;
  shell.Execute("wc -c > " + tmp.Child("count")->ShellPath());
  EXPECT_EQ(shell.ExitCode(), 0);
  EXPECT_EQ(std::stoi(ReadBytes(tmp.Path() / "count")), 0);
}

TEST(ShellTest, CommandLineWithNulIsRefused) {
  plugins::Shell shell;
  EXPECT_THROW(shell.Execute(std::string("true\0rm -rf x", 13)), fw::RuntimeException);
  EXPECT_FALSE(shell.IsRunning());
}

TEST(ShellTest, MuchOutputOnStdoutAndStderrDoesNotBlock) {
  plugins::Shell shell;
  shell.SetMode(1);
  shell.Execute("i=0; while [ $i -lt 100000 ]; do echo \"line $i of output\"; "
                "echo \"error $i\" >&2; i=$((i+1)); done");
  ASSERT_TRUE(WaitForEnd(shell, 60s)) << "the command blocked";
  EXPECT_EQ(shell.ExitCode(), 0);

  // Big blocks too, through a single write.
  shell.SetMode(0);
  shell.Execute("head -c 50000000 /dev/zero; head -c 50000000 /dev/zero >&2");
  EXPECT_EQ(shell.ExitCode(), 0);
}

TEST(ShellTest, TerminateEndsTheChildAndItsChildren) {
  fw::TemporaryFolder tmp;
  auto pidFile = tmp.Child("grandchild.pid");
  plugins::Shell shell;
  shell.SetMode(1);
  shell.Execute("sh -c 'sleep 30 & echo $! > " + pidFile->ShellPath() + "; sleep 30; wait'");
  const pid_t child = shell.ProcessID();
  const pid_t grandchild = WaitForPid(pidFile->NativePath());
  ASSERT_GT(grandchild, 0);
  ASSERT_TRUE(shell.IsRunning());
  ASSERT_FALSE(ProcessGone(grandchild));

  const auto start = std::chrono::steady_clock::now();
  shell.Terminate();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_FALSE(shell.IsRunning());
  EXPECT_EQ(shell.ExitCode(), 128 + SIGTERM);
  EXPECT_TRUE(Reaped(child));  // no zombie of ours
  EXPECT_TRUE(ProcessGoneWithin(grandchild, 2s));
  shell.Terminate();  // nothing runs: does nothing
}

TEST(ShellTest, TerminateKillsWhatIgnoresSigterm) {
  fw::TemporaryFolder tmp;
  auto pidFile = tmp.Child("stubborn.pid");
  plugins::Shell shell;
  shell.SetMode(1);
  shell.Execute("trap '' TERM; sh -c 'trap \"\" TERM; sleep 30 & echo $! > " + pidFile->ShellPath() +
                "; wait'; sleep 30");
  const pid_t child = shell.ProcessID();
  const pid_t grandchild = WaitForPid(pidFile->NativePath());
  ASSERT_GT(grandchild, 0);
  const auto start = std::chrono::steady_clock::now();
  shell.Terminate();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_FALSE(shell.IsRunning());
  EXPECT_EQ(shell.ExitCode(), 128 + SIGKILL);
  EXPECT_TRUE(Reaped(child));
  EXPECT_TRUE(ProcessGoneWithin(grandchild, 2s));
}

TEST(ShellTest, TerminateEndsAStoppedChild) {
  plugins::Shell shell;
  shell.SetMode(1);
  shell.Execute("sleep 30");
  const pid_t child = shell.ProcessID();
  std::this_thread::sleep_for(50ms);
  ASSERT_EQ(::kill(child, SIGSTOP), 0);
  shell.Terminate();
  EXPECT_FALSE(shell.IsRunning());
  EXPECT_TRUE(Reaped(child));
}

TEST(ShellTest, DestructorEndsTheChildAndItsChildren) {
  fw::TemporaryFolder tmp;
  auto pidFile = tmp.Child("grandchild.pid");
  pid_t child = 0;
  pid_t grandchild = 0;
  {
    plugins::Shell shell;
    shell.SetMode(1);
    shell.Execute("sh -c 'sleep 30 & echo $! > " + pidFile->ShellPath() + "; sleep 30; wait'");
    child = shell.ProcessID();
    grandchild = WaitForPid(pidFile->NativePath());
    ASSERT_GT(grandchild, 0);
  }
  EXPECT_TRUE(Reaped(child));
  EXPECT_TRUE(ProcessGoneWithin(grandchild, 2s));
}

// exit(), which a library may call from anywhere, destroys nothing on the stack: the
// Shell still ends its command with its children, and waits for them, before the
// program is gone.
TEST(ShellTest, ExitWhileACommandRunsEndsItAndItsChildrenFirst) {
  fw::TemporaryFolder tmp;
  auto pidFile = tmp.Child("pids");
  const pid_t program = ::fork();
  ASSERT_GE(program, 0);
  if (program == 0) {
    ::alarm(20);  // never hang the suite should exit() block here
    plugins::Shell shell;
    shell.SetMode(1);
    shell.Execute("sleep 30 & echo $$ $! > " + pidFile->ShellPath() + ".new; mv " + pidFile->ShellPath() +
                  ".new " + pidFile->ShellPath() + "; wait");
    while (ReadBytes(pidFile->NativePath()).empty()) std::this_thread::sleep_for(5ms);
    std::exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(program, &status, 0), program);
  std::ifstream pids(pidFile->NativePath());
  pid_t command = 0, child = 0;
  ASSERT_TRUE(pids >> command >> child);
  EXPECT_TRUE(ProcessGone(command));
  EXPECT_TRUE(ProcessGone(child));
  ::kill(-command, SIGKILL);  // should they run on
}

TEST(ShellTest, ChildEndingOnItsOwnIsReapedByPoll) {
  plugins::Shell shell;
  shell.SetMode(1);
  shell.Execute("exit 5");
  const pid_t child = shell.ProcessID();
  std::this_thread::sleep_for(200ms);
  shell.Poll();
  EXPECT_EQ(shell.ExitCode(), 5);
  EXPECT_FALSE(shell.IsRunning());
  EXPECT_TRUE(Reaped(child));
}

TEST(ShellTest, OurDescriptorsAreNotInherited) {
  fw::TemporaryFolder tmp;
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);  // without O_CLOEXEC on purpose
  // Moved high, away from the descriptor that ls opens for its own listing.
  const int fds[2] = {::fcntl(pipeFds[0], F_DUPFD, 60), ::fcntl(pipeFds[1], F_DUPFD, 60)};
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  ASSERT_GE(fds[0], 60);
  ASSERT_GE(fds[1], 60);
  plugins::Shell shell;
  shell.Execute("ls /proc/self/fd > " + tmp.Child("fds")->ShellPath());
  ::close(fds[0]);
  ::close(fds[1]);
  const std::string listing = ReadBytes(tmp.Path() / "fds");
  EXPECT_NE(listing.find("0\n"), std::string::npos) << listing;
  EXPECT_EQ(listing.find(std::to_string(fds[0]) + "\n"), std::string::npos) << listing;
  EXPECT_EQ(listing.find(std::to_string(fds[1]) + "\n"), std::string::npos) << listing;
}
