// repair_bench: what the album repair costs, in one run.
//
//   (1) Window1::Action_Repair on a damaged copy of the large album (about 200 MB, a
//       million rows; 1000 bytes at offset 3000 of the first leaf page of the index
//       images_by_name overwritten, so ".dump" still reads every table), against the
//       bare pipeline on the same album: `sqlite3 ALBUM .dump > raw`, the same rewrite
//       (CopyCleanedDump), `sqlite3 NEW < clean`. The repair pauses on purpose: 1000 ms
//       after "Checking dumped data...", 1000 ms after starting the rebuild, and each of
//       its two waits looks at its process only every 500 ms. The ended sqlite3
//       processes are watched from a sampling thread, so the time each wait spent on a
//       process that had already ended (the poll rounding) is measured, not guessed.
//       Goal: repair <= 1.10 x (pipeline + 2000 ms + the measured poll rounding).
//   (2) CopyCleanedDump alone on a synthetic dump of about 1 GB (INSERT lines as the shell
//       writes them, some far longer than the 64 KiB stream buffers, triggers over
//       several lines, and some "BEGIN TRANSACTION;" and "ROLLBACK; -- due to errors"
//       lines) against `cp` of the same file, both in a temporary folder on the disk
//       (QV_BENCH_COPY_DIR, else $TMPDIR, else /tmp). The copy checks every statement of
//       the dump as it goes (DumpStatements), and the whole dump passes the check, so it
//       is checked to its end. A plain 64 KiB read()/write() loop is shown beside them.
//       Goal: the copy with its check takes under 1 s per 100 MB of dump.
//   (3) The resident memory of this process, sampled every 10 ms and read as VmHWM
//       (reset through /proc/self/clear_refs where the kernel allows it), during each
//       repair against an idle second of the loaded window just before it. Goal: the
//       repair's peak within 16 MB of the idle peak. The peaks of the sqlite3 processes
//       are reported too (VmHWM sampled for both the repair's and the pipeline's, and the
//       pipeline's maximum resident set by /usr/bin/time where it is installed).
//   And a finding: the rebuild runs every INSERT of the cleaned dump as a transaction
//   of its own (the rewrite removes "BEGIN TRANSACTION;"), so where the output lives
//   matters a great deal: the start of the cleaned dump is rebuilt once on the disk and
//   once in the work folder, and the time of the full rebuild on the disk extrapolated.
//
// The repair, the pipeline and their dumps work in QV_BENCH_WORK, else /dev/shm when it is
// a tmpfs with room, else $TMPDIR or /tmp: on a disk, the million single-statement
// transactions of each rebuild take minutes (see the finding). The albums are made as
// check_bench makes them (and shared with it through QV_BENCH_ALBUMS). Repetitions: the
// repair and the pipeline QV_BENCH_REPAIR_ITERATIONS times (default 1; each takes about a
// minute), the copies QV_BENCH_ITERATIONS times (default 5), in random interleaved order
// unless --benchmark_enable_random_interleaving says otherwise. MB is 10^6 bytes.
#include <benchmark/benchmark.h>

#include "bench/bench_start.h"
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

#include "bench/bench_albums.h"
#include "framework/application.h"
#include "framework/base/folder_item.h"
#include "framework/window.h"
#include "plugins/album_snapshot.h"
#include "plugins/sqlite_database.h"
#include "repair_window/dump_rewrite.h"
#include "repair_window/window1.h"
#include "shell/file_types.h"
#include "tests/support/test_interaction.h"
#include "tests/support/window1_probe.h"

extern char** environ;

namespace {

using namespace benchalbums;

constexpr const char* kDamagedTag = "repair-bench-v1";  // change when the damage changes
constexpr const char* kRepairedMessage = "Album Database Structure Repaired";
constexpr double kFixedPausesMs = 2000;   // the two SleepCurrentThread(1000)
constexpr double kPollIntervalMs = 500;   // each wait's look at its process
constexpr double kRepairGoal = 1.10;      // repair <= 1.10 x (pipeline + pauses)
constexpr double kCopyGoalSeconds = 1.0;  // the copy with its check, per 100 MB of dump
constexpr double kMemoryGoalMB = 16;      // repair peak - idle peak
constexpr std::uint64_t kSyntheticDumpBytes = 1'000'000'000;
constexpr int kSampleIntervalMs = 10;
constexpr int kDiskSampleStatements = 5000;

double MB(double bytes) { return bytes / 1e6; }
double KbToMB(long kb) { return static_cast<double>(kb) * 1024 / 1e6; }

Clock::time_point g_epoch = Clock::now();
double Now() { return std::chrono::duration<double>(Clock::now() - g_epoch).count(); }

int EnvInt(const char* name, int fallback) {
  const char* text = std::getenv(name);
  const int n = text != nullptr ? std::atoi(text) : 0;
  return n > 0 ? n : fallback;
}

// ---------------------------------------------------------------------------------
// /proc
// ---------------------------------------------------------------------------------

std::string ReadSmallFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return text;
}

// A "Key:   123 kB" field of a /proc status file in kB, or -1.
long StatusKb(const std::string& status, const char* key) {
  const std::size_t at = status.find(key);
  if (at == std::string::npos) return -1;
  return std::atol(status.c_str() + at + std::strlen(key));
}

long OwnStatusKb(const char* key) { return StatusKb(ReadSmallFile("/proc/self/status"), key); }

// Brings this process's VmHWM down to its VmRSS; false where the kernel does not allow it.
bool ResetPeakRss() {
  const int fd = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::write(fd, "5", 1) == 1;
  ::close(fd);
  return ok;
}

std::vector<pid_t> ChildrenOf(const std::string& taskFolder) {
  std::vector<pid_t> pids;
  std::istringstream list(ReadSmallFile(taskFolder + "/children"));
  long pid = 0;
  while (list >> pid) pids.push_back(static_cast<pid_t>(pid));
  return pids;
}

// ---------------------------------------------------------------------------------
// The sampling thread: this process's VmRSS, and every process below it with the
// moments it was first seen, seen ended (a zombie not yet reaped) and seen gone.
// ---------------------------------------------------------------------------------

struct RssSample {
  double t;
  long kb;
};

struct ChildSeen {
  pid_t pid = 0;
  bool direct = false;  // a child of this process (not a grandchild)
  bool sqlite = false;  // the process is sqlite3 itself
  bool dump = false;    // its command line holds ".dump"
  double firstSeen = 0, zombieAt = -1, goneAt = -1;
  long hwmKb = 0;  // the largest VmHWM seen
};

class Sampler {
 public:
  Sampler() : thread_([this] { Run(); }) {}
  ~Sampler() {
    stop_ = true;
    thread_.join();
  }
  Sampler(const Sampler&) = delete;
  Sampler& operator=(const Sampler&) = delete;

  // The largest and the mean VmRSS sampled in [from, to], in kB; -1 when none.
  std::pair<long, double> Rss(double from, double to) const {
    std::lock_guard lock(mutex_);
    long most = -1;
    double sum = 0;
    int n = 0;
    for (const RssSample& s : rss_) {
      if (s.t < from || s.t > to) continue;
      most = std::max(most, s.kb);
      sum += static_cast<double>(s.kb);
      ++n;
    }
    return {most, n > 0 ? sum / n : -1};
  }
  // The processes first seen in [from, to].
  std::vector<ChildSeen> Children(double from, double to) const {
    std::lock_guard lock(mutex_);
    std::vector<ChildSeen> found;
    for (const ChildSeen& c : children_) {
      if (c.firstSeen >= from && c.firstSeen <= to) found.push_back(c);
    }
    return found;
  }

 private:
  void Run() {
    auto next = Clock::now();
    while (!stop_) {
      const double t = Now();
      const long kb = OwnStatusKb("VmRSS:");
      {
        std::lock_guard lock(mutex_);
        rss_.push_back({t, kb});
        std::vector<bool> seen(children_.size(), false);
        try {
          for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            for (pid_t pid : ChildrenOf(task.path().native())) Visit(pid, true, t, seen);
          }
        } catch (const std::exception&) {
          // A thread that ended during the listing: this round's look is incomplete.
          std::fill(seen.begin(), seen.end(), true);
        }
        for (std::size_t i = 0; i < seen.size(); ++i) {
          if (!seen[i] && children_[i].goneAt < 0) children_[i].goneAt = t;
        }
      }
      next += std::chrono::milliseconds(kSampleIntervalMs);
      std::this_thread::sleep_until(next);
    }
  }

  void Visit(pid_t pid, bool direct, double t, std::vector<bool>& seen) {
    const std::string folder = "/proc/" + std::to_string(pid);
    const std::string stat = ReadSmallFile(folder + "/stat");
    const std::size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 2 >= stat.size()) return;
    const std::string comm = stat.substr(open + 1, close - open - 1);
    const char state = stat[close + 2];
    auto live = live_.find(pid);
    if (live == live_.end() || children_[live->second].goneAt >= 0) {
      ChildSeen c;
      c.pid = pid;
      c.direct = direct;
      c.firstSeen = t;
      children_.push_back(c);
      seen.push_back(false);
      live = live_.insert_or_assign(pid, children_.size() - 1).first;
    }
    ChildSeen& c = children_[live->second];
    seen[live->second] = true;
    if (state == 'Z') {
      if (c.zombieAt < 0) c.zombieAt = t;
      return;
    }
    // Looked at again while alive: a child seen before its exec still has this process's
    // command line, and sh may exec sqlite3 later.
    c.sqlite = c.sqlite || comm == "sqlite3";
    if (!c.dump) {
      std::string cmdline = ReadSmallFile(folder + "/cmdline");
      std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
      // sh -c 'sqlite3 ALBUM ".dump" > RAW', or sqlite3 itself once sh has exec'd it
      c.dump = cmdline.find("\".dump\"") != std::string::npos || cmdline.find(" .dump ") != std::string::npos;
    }
    if (c.sqlite) c.hwmKb = std::max(c.hwmKb, StatusKb(ReadSmallFile(folder + "/status"), "VmHWM:"));
    for (pid_t grandchild : ChildrenOf(folder + "/task/" + std::to_string(pid))) Visit(grandchild, false, t, seen);
  }

  mutable std::mutex mutex_;
  std::vector<RssSample> rss_;
  std::vector<ChildSeen> children_;
  std::map<pid_t, std::size_t> live_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

Sampler* g_sampler = nullptr;

// ---------------------------------------------------------------------------------
// Child processes of the pipeline: /bin/sh -c, standard streams on /dev/null as the
// tool's Shell has them. (wait4's ru_maxrss is no help for their memory: a child made by
// posix_spawn shares this process's memory until it execs, and exec records that
// memory's peak as the child's own.)
// ---------------------------------------------------------------------------------

struct ChildRun {
  double seconds = 0;
};

ChildRun RunShell(const std::string& command) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  char argv0[] = "sh", argv1[] = "-c";
  char* argv[] = {argv0, argv1, const_cast<char*>(command.c_str()), nullptr};
  pid_t pid = 0;
  const auto start = Clock::now();
  const int rc = posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) Fail("cannot start " + command + ": " + std::strerror(rc));
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid, &status, 0);
  } while (r < 0 && errno == EINTR);
  ChildRun run;
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (r != pid || !WIFEXITED(status)) Fail(command + " did not end normally");
  // The rebuild's COMMIT without a transaction makes sqlite3 exit with 1, as in the repair.
  if (WEXITSTATUS(status) > 1) Fail(command + " exited with " + std::to_string(WEXITSTATUS(status)));
  return run;
}

// As the repair runs it: in the shell's safe mode.
std::string Sqlite3(const fs::path& database) { return "sqlite3 -safe " + ShellWord(database.native()); }

// ---------------------------------------------------------------------------------
// The setting
// ---------------------------------------------------------------------------------

struct Setting {
  fs::path sound, damaged;
  long long damagedPage = 0;
  long long images = 0, notes = 0;
  fs::path work;        // repair and pipeline files; TMPDIR points below it
  std::string workFs;   // what kind of file system
  fs::path copyFolder;  // the synthetic dump and its copies
  std::string copyFs;
  fs::path syntheticDump;
  std::uint64_t syntheticBytes = 0, syntheticCleanedBytes = 0, syntheticLines = 0, syntheticLongLines = 0,
                syntheticLongest = 0, syntheticRewritten = 0;
  std::shared_ptr<Window1> window;
  testsupport::TestInteraction* person = nullptr;
  bool peakResettable = false;
  bool haveTime = false;  // /usr/bin/time, for the exact peak of the pipeline's sqlite3
};
Setting g;

std::string FileSystemOf(const fs::path& path) {
  struct statfs info {};
  if (::statfs(path.c_str(), &info) != 0) return "unknown";
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0x01021994ul: return "tmpfs";
    case 0xEF53ul: return "ext2/3/4";
    case 0x9123683Eul: return "btrfs";
    case 0x58465342ul: return "xfs";
    case 0x794C7630ul: return "overlayfs";
    default: {
      char hex[32];
      std::snprintf(hex, sizeof hex, "fs 0x%lx", static_cast<unsigned long>(info.f_type));
      return hex;
    }
  }
}

double FreeBytes(const fs::path& path) {
  struct statvfs info {};
  if (::statvfs(path.c_str(), &info) != 0) return 0;
  return static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize);
}

// Removes a folder tree at the end of the run.
class FolderGuard {
 public:
  explicit FolderGuard(fs::path path) : path_(std::move(path)) {}
  ~FolderGuard() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  FolderGuard(const FolderGuard&) = delete;
  FolderGuard& operator=(const FolderGuard&) = delete;

 private:
  fs::path path_;
};

// ---------------------------------------------------------------------------------
// The synthetic dump
// ---------------------------------------------------------------------------------

// Writes lines as the sqlite3 shell's .dump does, block after block until `target` bytes:
// each block opens a transaction, makes two tables and fills them (one images line to
// three notes lines), adds an index and a trigger written over four lines, and ends with
// the roll-back of a dump that met errors. Every 100th blob is 4 to 16 KB, every 5000th
// 64 KB to 1 MB (a line of up to 2 MB of hex, far past the streams' 64 KiB buffers); a
// few of the short lines differ from the rewritten ones only in letter case. Every
// statement is one that .dump writes, so the copy's check passes the whole dump.
void MakeSyntheticDump(const fs::path& path, std::uint64_t target) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("cannot make " + path.native() + ": " + std::strerror(errno));
  std::string out;
  out.reserve(16 << 20);
  std::uint64_t bytes = 0, cleaned = 0, lines = 0, longLines = 0, longest = 0, rewritten = 0;
  auto flush = [&] {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::write(fd, out.data() + done, out.size() - done);
      if (n <= 0) Fail("cannot write " + path.native() + ": " + std::strerror(errno));
      done += static_cast<std::size_t>(n);
    }
    out.clear();
  };
  // `start` is where the line begins in `out`; `becomes` its length once rewritten
  // (without the line end), or -1 when it passes unchanged.
  auto endLine = [&](std::size_t start, long becomes) {
    const std::size_t length = out.size() - start;
    out += '\n';
    bytes += length + 1;
    cleaned += (becomes < 0 ? length : static_cast<std::size_t>(becomes)) + 1;
    rewritten += becomes < 0 ? 0 : 1;
    ++lines;
    longest = std::max<std::uint64_t>(longest, length);
    if (length >= 64 * 1024) ++longLines;
    if (out.size() >= (8u << 20)) flush();
  };
  auto line = [&](std::string_view text, long becomes = -1) {
    const std::size_t start = out.size();
    out += text;
    endLine(start, becomes);
  };
  static const char kHex[] = "0123456789abcdef";
  static const std::array<const char*, 6> kPlaces = {"Beach", "Caf\xc3\xa9 de l''\xc3\x89t\xc3\xa9", "Garden",
                                                     "Z\xc3\xbcrich", "Birthday \"Oma\"", "Snow"};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz      ,.'";
  Random random{20240612};
  char number[160];
  line("PRAGMA foreign_keys=OFF;");
  long long image = 0, note = 0;
  for (int block = 0; bytes < target; ++block) {
    if (block % 5 == 4) {
      line("begin transaction;", 0);  // rewritten too: letter case is ignored
    } else {
      line("BEGIN TRANSACTION;", 0);
    }
    std::snprintf(number, sizeof number, "CREATE TABLE images_%d(id INTEGER PRIMARY KEY, name TEXT, data BLOB);", block);
    line(number);
    for (int i = 0; i < 50'000 && bytes < target; ++i) {
      ++image;
      const std::size_t start = out.size();
      const std::uint64_t key = random.Next();
      std::snprintf(number, sizeof number, "INSERT INTO images_%d VALUES(%lld,'%s %08llx IMG_%07lld.jpg',", block,
                    image, kPlaces[key % kPlaces.size()], static_cast<unsigned long long>(key >> 32), image);
      out += number;
      if (image % 997 == 0) {
        out += "NULL";
      } else {
        const int size = image % 5000 == 0  ? 65'536 + random.Below(983'041)
                         : image % 100 == 0 ? 4096 + random.Below(12 * 1024)
                                            : random.Below(701);
        out += "X'";
        const std::size_t at = out.size();
        out.resize(at + 2 * static_cast<std::size_t>(size));
        char* hex = out.data() + at;
        for (int b = 0; b < size; b += 8) {
          std::uint64_t word = random.Next();
          for (int k = 0; k < 8 && b + k < size; ++k, word >>= 8) {
            *hex++ = kHex[(word >> 4) & 15];
            *hex++ = kHex[word & 15];
          }
        }
        out += '\'';
      }
      out += ");";
      endLine(start, -1);
    }
    std::snprintf(number, sizeof number, "CREATE TABLE notes_%d(id INTEGER PRIMARY KEY, image_id INTEGER, body TEXT, score REAL);",
                  block);
    line(number);
    for (int i = 0; i < 150'000 && bytes < target; ++i) {
      ++note;
      const std::size_t start = out.size();
      std::snprintf(number, sizeof number, "INSERT INTO notes_%d VALUES(%lld,%d,", block, note, 1 + random.Below(240'000));
      out += number;
      if (note % 13 == 0) {
        out += "NULL";
      } else {
        const int length = 16 + random.Below(81);
        const bool newline = note % 7 == 0;  // the shell writes a newline as \n inside replace()
        out += newline ? "replace('" : "'";
        for (int k = 0; k < length; ++k) {
          const char c = kLetters[random.Below(static_cast<int>(sizeof kLetters - 1))];
          out += c;
          if (c == '\'') out += '\'';
          if (newline && k == length / 2) out += "\\n";
        }
        out += newline ? "','\\n',char(10))" : "'";
      }
      std::snprintf(number, sizeof number, ",%d.%03d);", random.Below(1000), random.Below(1000));
      out += number;
      endLine(start, -1);
    }
    std::snprintf(number, sizeof number, "CREATE INDEX notes_%d_by_image ON notes_%d(image_id);", block, block);
    line(number);
    std::snprintf(number, sizeof number, "CREATE TRIGGER notes_%d_touch AFTER INSERT ON notes_%d BEGIN", block, block);
    line(number);
    std::snprintf(number, sizeof number, "  UPDATE images_%d SET name = name WHERE id = new.image_id;", block);
    line(number);
    line("  SELECT 'Loading';");
    line("END;");
    line("COMMIT;");                     // short, but not one of the rewritten lines
    line("PRAGMA writable_schema=ON;");  // short and compared, but not rewritten
    line("PRAGMA writable_schema=OFF;");
    if (block % 3 == 2) {
      line("Rollback; -- Due To Errors", 7);
    } else {
      line("ROLLBACK; -- due to errors", 7);
    }
  }
  flush();
  if (::fsync(fd) != 0 || ::close(fd) != 0) Fail("cannot finish " + path.native());
  g.syntheticBytes = bytes;
  g.syntheticCleanedBytes = cleaned;
  g.syntheticLines = lines;
  g.syntheticLongLines = longLines;
  g.syntheticLongest = longest;
  g.syntheticRewritten = rewritten;
}

// ---------------------------------------------------------------------------------
// Measurements
// ---------------------------------------------------------------------------------

std::map<std::string, std::vector<double>>& Samples() {
  static std::map<std::string, std::vector<double>> samples;
  return samples;
}
void Record(const std::string& key, double value) { Samples()[key].push_back(value); }

constexpr const char* kRepair = "BM_1_RepairInWindow";
constexpr const char* kPipeline = "BM_1_BarePipeline";
constexpr const char* kCopy = "BM_2_CopyCleanedDump";
constexpr const char* kCp = "BM_2_Cp";
constexpr const char* kLoop = "BM_2_ReadWrite64KiB";

// What the last pipeline left for the finding: the start of its cleaned dump, and the
// statement count and sizes of its dumps.
struct PipelineFacts {
  fs::path sample;  // the first lines of the cleaned dump, with kDiskSampleStatements INSERTs
  long long statements = 0;
  std::uintmax_t rawBytes = 0, cleanBytes = 0;
};
PipelineFacts g_facts;

long long CountLinesStartingWith(const fs::path& path, std::string_view prefix) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  long long n = 0;
  while (std::getline(in, text)) n += text.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
  return n;
}

void KeepSampleOf(const fs::path& cleaned) {
  g_facts.sample = g.work / "rebuild_sample.sql";
  std::ifstream in(cleaned, std::ios::binary);
  std::ofstream out(g_facts.sample, std::ios::binary);
  std::string text;
  int inserts = 0;
  while (inserts < kDiskSampleStatements && std::getline(in, text)) {
    if (text.rfind("INSERT", 0) == 0) ++inserts;
    out << text << '\n';
  }
  if (!out) Fail("cannot write the rebuild sample");
}

// The repair's last stage as it does it: the new album's own PRAGMA integrity_check.
std::string IntegrityOf(const fs::path& album) {
  auto db = std::make_shared<plugins::SQLiteDatabase>();
  db->SetDatabaseFile(fw::FolderItem::Make(album));
  if (!db->Connect()) return "cannot connect: " + db->ErrorMessage();
  std::shared_ptr<plugins::RecordSet> rows = db->SQLSelect("PRAGMA integrity_check");
  std::string verdict = "no rows: " + db->ErrorMessage();
  if (rows && !rows->AtEOF()) {
    std::shared_ptr<plugins::DatabaseField> field = rows->Field("integrity_check");
    verdict = field ? field->StringValue() : "no field";
  }
  if (rows) rows->Close();
  db->Close();
  return verdict;
}

void VerifyRebuilt(const fs::path& album, const char* who) {
  const long long images = CountRows(album, "images"), notes = CountRows(album, "notes");
  if (images != g.images || notes != g.notes) {
    Fail(std::string(who) + " rebuilt " + std::to_string(images) + " images and " + std::to_string(notes) +
         " notes, not " + std::to_string(g.images) + " and " + std::to_string(g.notes));
  }
}

void RemoveIfThere(const fs::path& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

// (1) the repair, with the idle second before it.
struct RepairFacts {
  double startToDump = 0, dumpRun = 0, dumpRounding = 0, betweenWaits = 0, rebuildRun = 0, rebuildRounding = 0,
         tail = 0;
  bool observed = false;
  long idleMaxKb = -1, repairMaxKb = -1;
  double idleMeanKb = -1, repairMeanKb = -1;
  long idleHwmKb = -1, repairHwmKb = -1;
  long dumpChildKb = 0, rebuildChildKb = 0;
};
std::vector<RepairFacts> g_repairs;

void IdleSecond() {
  const std::shared_ptr<fw::Application> app = fw::RequireApplication();
  const auto until = Clock::now() + std::chrono::seconds(1);
  while (Clock::now() < until) {
    app->DoEvents(-1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void RepairInWindow(benchmark::State& state) {
  const fs::path output = g.work / "repaired.qva";
  for (auto _ : state) {
    RemoveIfThere(output);
    g.person->answers.push_back([output](const fw::SaveAsDialog&) { return fw::FolderItem::Make(output); });
    g.person->messages.clear();
    RepairFacts facts;

    if (g.peakResettable) ResetPeakRss();
    const double idleFrom = Now();
    IdleSecond();
    const double idleTo = Now();
    facts.idleHwmKb = g.peakResettable ? OwnStatusKb("VmHWM:") : -1;

    if (g.peakResettable) ResetPeakRss();
    const double from = Now();
    const auto start = Clock::now();
    Window1Probe::Repair(*g.window);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double to = Now();
    facts.repairHwmKb = g.peakResettable ? OwnStatusKb("VmHWM:") : -1;
    state.SetIterationTime(seconds);

    if (g.person->messages != std::vector<std::string>{kRepairedMessage}) {
      Fail("the repair said: " + (g.person->messages.empty() ? std::string("nothing") : g.person->messages.back()) +
           " (" + Window1Probe::RepairLine(*g.window) + ")");
    }
    VerifyRebuilt(output, "the repair");
    RemoveIfThere(output);
    Record(kRepair, seconds);

    // Let the sampler take its last look before the windows are read.
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * kSampleIntervalMs));
    std::tie(facts.idleMaxKb, facts.idleMeanKb) = g_sampler->Rss(idleFrom, idleTo);
    std::tie(facts.repairMaxKb, facts.repairMeanKb) = g_sampler->Rss(from, to);
    const ChildSeen* dump = nullptr;
    const ChildSeen* rebuild = nullptr;
    const std::vector<ChildSeen> children = g_sampler->Children(from, to);
    for (const ChildSeen& c : children) {
      if (c.direct) {
        if (c.dump) {
          dump = &c;
        } else {
          rebuild = &c;
        }
      }
      if (c.sqlite) {
        long& peak = c.dump ? facts.dumpChildKb : facts.rebuildChildKb;
        peak = std::max(peak, c.hwmKb);
      }
    }
    if (dump != nullptr && rebuild != nullptr && dump->goneAt >= 0 && rebuild->goneAt >= 0) {
      // A process reaped before the sampler saw it ended is taken as ended when reaped.
      const double dumpEnd = dump->zombieAt >= 0 ? dump->zombieAt : dump->goneAt;
      const double rebuildEnd = rebuild->zombieAt >= 0 ? rebuild->zombieAt : rebuild->goneAt;
      facts.startToDump = dump->firstSeen - from;
      facts.dumpRun = dumpEnd - dump->firstSeen;
      facts.dumpRounding = dump->goneAt - dumpEnd;
      facts.betweenWaits = rebuild->firstSeen - dump->goneAt;
      facts.rebuildRun = rebuildEnd - rebuild->firstSeen;
      facts.rebuildRounding = rebuild->goneAt - rebuildEnd;
      facts.tail = to - rebuild->goneAt;
      facts.observed = true;
    }
    g_repairs.push_back(facts);
  }
}

// (1) the bare pipeline, and the repair's closing check timed apart.
struct PipelineRun {
  double dump = 0, copy = 0, rebuild = 0, removeDumps = 0, check = 0;
  long dumpKb = 0, rebuildKb = 0;            // sqlite3's VmHWM, sampled as in the repair
  long dumpExactKb = -1, rebuildExactKb = -1;  // its maximum resident set by /usr/bin/time
};
std::vector<PipelineRun> g_pipelines;

// One sqlite3 command of the pipeline; under /usr/bin/time when there is one (its fork and
// exec add about a millisecond).
ChildRun PipelineStage(const std::string& command, long& sampledKb, long& exactKb) {
  const fs::path report = g.work / "time_report.txt";
  RemoveIfThere(report);
  const double from = Now();
  const ChildRun run =
      RunShell(g.haveTime ? "/usr/bin/time -f %M -o " + ShellWord(report.native()) + " " + command : command);
  for (const ChildSeen& c : g_sampler->Children(from, Now())) {
    if (c.sqlite) sampledKb = std::max(sampledKb, c.hwmKb);
  }
  if (g.haveTime) {
    std::ifstream in(report);
    long kb = -1;
    // A failing command makes time write "Command exited with non-zero status N" first.
    for (std::string text; std::getline(in, text);) {
      if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))) kb = std::atol(text.c_str());
    }
    exactKb = kb;
  }
  return run;
}

// A dump that the check stopped in would be copied without being checked to its end.
void RequirePassed(const DumpFindings& found, const std::string& what) {
  if (found.shellCommandLine != 0 || found.foreignStatementLine != 0) {
    Fail("the copy's check stopped in " + what + " at line " +
         std::to_string(found.shellCommandLine + found.foreignStatementLine));
  }
}

void BarePipeline(benchmark::State& state) {
  const fs::path raw = g.work / "pipeline_raw.sql", clean = g.work / "pipeline_clean.sql",
                 output = g.work / "pipeline_new.qva";
  for (auto _ : state) {
    for (const fs::path& p : {raw, clean, output}) RemoveIfThere(p);
    PipelineRun run;
    const auto start = Clock::now();
    const ChildRun dump =
        PipelineStage(Sqlite3(g.damaged) + " \".dump\" > " + ShellWord(raw.native()), run.dumpKb, run.dumpExactKb);
    const auto dumped = Clock::now();
    const DumpFindings found = CopyCleanedDump(fw::FolderItem::Make(raw), fw::FolderItem::Make(clean));
    const auto copied = Clock::now();
    RequirePassed(found, "the damaged album's dump");
    const ChildRun rebuild =
        PipelineStage(Sqlite3(output) + " < " + ShellWord(clean.native()), run.rebuildKb, run.rebuildExactKb);
    const auto end = Clock::now();
    const double seconds = std::chrono::duration<double>(end - start).count();
    state.SetIterationTime(seconds);
    run.dump = dump.seconds;
    run.copy = std::chrono::duration<double>(copied - dumped).count();
    run.rebuild = rebuild.seconds;

    if (g_facts.sample.empty()) {
      KeepSampleOf(clean);
      g_facts.statements = CountLinesStartingWith(clean, "INSERT");
    }
    g_facts.rawBytes = fs::file_size(raw);
    g_facts.cleanBytes = fs::file_size(clean);
    // What the repair does after its rebuild, timed here apart from the pipeline.
    const auto removeFrom = Clock::now();
    fs::remove(raw);
    fs::remove(clean);
    const auto checkFrom = Clock::now();
    const std::string verdict = IntegrityOf(output);
    run.removeDumps = std::chrono::duration<double>(checkFrom - removeFrom).count();
    run.check = std::chrono::duration<double>(Clock::now() - checkFrom).count();
    if (verdict != "ok") Fail("the pipeline's album: " + verdict);
    VerifyRebuilt(output, "the pipeline");
    RemoveIfThere(output);
    Record(kPipeline, seconds);
    g_pipelines.push_back(run);
  }
}

// (2) the copies of the synthetic dump.
void CheckCopy(const fs::path& copy, std::uint64_t expected, const char* who) {
  const std::uintmax_t size = fs::file_size(copy);
  if (size != expected) {
    Fail(std::string(who) + " made " + std::to_string(size) + " bytes, not " + std::to_string(expected));
  }
  RemoveIfThere(copy);
}

void CopyCleaned(benchmark::State& state) {
  const fs::path copy = g.copyFolder / "cleaned.sql";
  for (auto _ : state) {
    RemoveIfThere(copy);
    const auto start = Clock::now();
    const DumpFindings found = CopyCleanedDump(fw::FolderItem::Make(g.syntheticDump), fw::FolderItem::Make(copy));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    if (!found.closedWithErrors) Fail("CopyCleanedDump saw no roll-back line");
    RequirePassed(found, "the synthetic dump");
    CheckCopy(copy, g.syntheticCleanedBytes, "CopyCleanedDump");
    Record(kCopy, seconds);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g.syntheticBytes));
}

void Cp(benchmark::State& state) {
  const fs::path copy = g.copyFolder / "cp.sql";
  for (auto _ : state) {
    RemoveIfThere(copy);
    const ChildRun run = RunShell("cp " + ShellWord(g.syntheticDump.native()) + " " + ShellWord(copy.native()));
    state.SetIterationTime(run.seconds);
    CheckCopy(copy, g.syntheticBytes, "cp");
    Record(kCp, run.seconds);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g.syntheticBytes));
}

void ReadWriteLoop(benchmark::State& state) {
  const fs::path copy = g.copyFolder / "loop.sql";
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    RemoveIfThere(copy);
    const auto start = Clock::now();
    const int in = ::open(g.syntheticDump.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (in < 0 || out < 0) Fail("cannot open for the read/write loop");
    ssize_t n;
    while ((n = ::read(in, buffer.data(), buffer.size())) > 0) {
      for (ssize_t done = 0; done < n;) {
        const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
        if (w <= 0) Fail("write failed in the read/write loop");
        done += w;
      }
    }
    ::close(in);
    if (n < 0 || ::close(out) != 0) Fail("the read/write loop failed");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    CheckCopy(copy, g.syntheticBytes, "the read/write loop");
    Record(kLoop, seconds);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g.syntheticBytes));
}

template <void (*Body)(benchmark::State&)>
void Guarded(benchmark::State& state) {
  try {
    Body(state);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

// The finding: the start of the cleaned dump rebuilt on the disk and in the work folder.
struct DiskSample {
  bool run = false;
  double diskSeconds = 0, workSeconds = 0;
};
DiskSample MeasureRebuildSample() {
  DiskSample sample;
  if (g_facts.sample.empty()) return sample;
  const fs::path onDisk = g.copyFolder / "sample.qva", inWork = g.work / "sample.qva";
  for (const fs::path& p : {onDisk, inWork}) RemoveIfThere(p);
  sample.diskSeconds = RunShell(Sqlite3(onDisk) + " < " + ShellWord(g_facts.sample.native())).seconds;
  sample.workSeconds = RunShell(Sqlite3(inWork) + " < " + ShellWord(g_facts.sample.native())).seconds;
  for (const fs::path& p : {onDisk, inWork}) RemoveIfThere(p);
  sample.run = true;
  return sample;
}

// ---------------------------------------------------------------------------------
// Summary
// ---------------------------------------------------------------------------------

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <class T, class F>
double MedianOf(const std::vector<T>& runs, F field) {
  std::vector<double> values;
  for (const T& run : runs) values.push_back(field(run));
  return Median(values);
}

void PrintTimes(const char* label, const char* key) {
  const auto found = Samples().find(key);
  if (found == Samples().end() || found->second.empty()) {
    std::printf("  %-46s (not run)\n", label);
    return;
  }
  const std::vector<double>& v = found->second;
  std::printf("  %-46s median %9.1f ms   min %9.1f   max %9.1f   (%zu runs)\n", label, Median(v) * 1e3,
              *std::min_element(v.begin(), v.end()) * 1e3, *std::max_element(v.begin(), v.end()) * 1e3, v.size());
}

const char* Verdict(bool met) { return met ? "MET" : "NOT MET"; }

void PrintSummary(const DiskSample& disk) {
  std::printf("\n=== Album repair summary (MB = 10^6 bytes) ===\n");
  std::printf("  album: %s, %.1f MB, %lld images + %lld notes; damaged: 1000 bytes at offset 3000 of page %lld\n",
              g.damaged.filename().c_str(), MB(static_cast<double>(fs::file_size(g.damaged))), g.images, g.notes,
              g.damagedPage);
  std::printf("         (first leaf page of images_by_name); raw dump %.1f MB, cleaned dump %.1f MB, %lld INSERTs\n",
              MB(static_cast<double>(g_facts.rawBytes)), MB(static_cast<double>(g_facts.cleanBytes)),
              g_facts.statements);
  std::printf("  work folder (repair, pipeline, their dumps): %s (%s)\n", g.work.c_str(), g.workFs.c_str());

  // (1)
  std::printf("\n  (1) Repair against the bare pipeline\n");
  PrintTimes("repair: Window1 Action_Repair", kRepair);
  PrintTimes("pipeline: .dump > raw; CopyCleanedDump; < clean", kPipeline);
  const bool haveRepair = !g_repairs.empty() && Samples().count(kRepair) > 0;
  const bool havePipeline = !g_pipelines.empty() && Samples().count(kPipeline) > 0;
  std::vector<RepairFacts> observed;
  for (const RepairFacts& f : g_repairs) {
    if (f.observed) observed.push_back(f);
  }
  auto pipe = [](double PipelineRun::*field) {
    return MedianOf(g_pipelines, [field](const PipelineRun& r) { return r.*field; }) * 1e3;
  };
  auto rep = [&observed](double RepairFacts::*field) {
    return MedianOf(observed, [field](const RepairFacts& f) { return f.*field; }) * 1e3;
  };
  if (haveRepair && havePipeline && !observed.empty()) {
    // The repair's own stages, from the moments its sqlite3 processes were seen to start,
    // to end and to be reaped; beside them the pipeline's.
    std::printf("      where the time goes (ms; medians; the repair's stages as seen by the sampler, +-%d ms):\n",
                kSampleIntervalMs);
    std::printf("        %-64s %10s %10s %10s\n", "", "repair", "pipeline", "difference");
    auto row = [](const char* label, double repair, double pipeline) {
      std::printf("        %-64s %10.1f %10.1f %+10.1f\n", label, repair, pipeline, repair - pipeline);
    };
    row("start until the dump runs", rep(&RepairFacts::startToDump), 0);
    row("dump: sqlite3 ALBUM .dump > raw", rep(&RepairFacts::dumpRun), pipe(&PipelineRun::dump));
    row("dump ended until noticed (poll rounding)", rep(&RepairFacts::dumpRounding), 0);
    row("pause of 1000 ms + copy (CopyCleanedDump) + start of the rebuild", rep(&RepairFacts::betweenWaits),
        pipe(&PipelineRun::copy));
    row("rebuild: sqlite3 NEW < clean (the other 1000 ms pause runs meanwhile)", rep(&RepairFacts::rebuildRun),
        pipe(&PipelineRun::rebuild));
    row("rebuild ended until noticed (poll rounding)", rep(&RepairFacts::rebuildRounding), 0);
    row("remove both dumps + PRAGMA integrity_check of the new album", rep(&RepairFacts::tail), 0);
    row("total", Median(Samples()[kRepair]) * 1e3, Median(Samples()[kPipeline]) * 1e3);
    std::printf("      the repair's closing work timed apart on the pipeline's album: removing the dumps %.1f ms, "
                "integrity check %.1f ms\n",
                pipe(&PipelineRun::removeDumps), pipe(&PipelineRun::check));
  }
  if (haveRepair && havePipeline) {
    const double repair = Median(Samples()[kRepair]) * 1e3;
    const double pipeline = Median(Samples()[kPipeline]) * 1e3;
    const double rounding = observed.empty() ? kPollIntervalMs
                                             : MedianOf(observed, [](const RepairFacts& f) {
                                                 return f.dumpRounding + f.rebuildRounding;
                                               }) * 1e3;
    const double difference = repair - pipeline;
    std::printf("      repair - pipeline = %+.1f ms; poll rounding %.1f ms of it%s (dump %.1f + rebuild %.1f; "
                "worst case %.0f)\n",
                difference, rounding, observed.empty() ? " (not observed: taken as 500)" : ", measured",
                observed.empty() ? 0.0 : rep(&RepairFacts::dumpRounding),
                observed.empty() ? 0.0 : rep(&RepairFacts::rebuildRounding), 2 * kPollIntervalMs);
    if (!observed.empty()) {
      const double closing = rep(&RepairFacts::tail);
      const double work = rep(&RepairFacts::dumpRun) + rep(&RepairFacts::betweenWaits) - 1000 +
                          rep(&RepairFacts::rebuildRun) -
                          (pipe(&PipelineRun::dump) + pipe(&PipelineRun::copy) + pipe(&PipelineRun::rebuild));
      std::printf("        + pause 1000 ms (the second pause of 1000 ms overlaps a rebuild that takes longer) + "
                  "closing work %.1f ms\n"
                  "        + before the dump %.1f ms + dump, copy and rebuild slower (+) or faster (-) than the "
                  "pipeline's %+.1f ms\n",
                  closing, rep(&RepairFacts::startToDump), work);
    }
    const double allowance = pipeline + kFixedPausesMs + rounding;
    const double ratio = repair / allowance;
    std::printf("      repair / (pipeline + pauses %.0f ms + poll rounding) = %.1f / %.1f = %.3f   goal <= %.2f: %s\n",
                kFixedPausesMs, repair, allowance, ratio, kRepairGoal, Verdict(ratio <= kRepairGoal));
    std::printf("      (with the worst-case rounding of 2 x 500 ms: %.3f; without any rounding: %.3f; repair / "
                "pipeline: %.3f)\n",
                repair / (pipeline + kFixedPausesMs + 2 * kPollIntervalMs), repair / (pipeline + kFixedPausesMs),
                repair / pipeline);
  }

  // (2)
  std::printf("\n  (2) CopyCleanedDump against cp, %.2f MB synthetic dump in %s (%s)\n",
              MB(static_cast<double>(g.syntheticBytes)), g.copyFolder.c_str(), g.copyFs.c_str());
  std::printf("      %llu lines, %llu of them rewritten, %llu of 64 KiB or more (longest %.2f MB)\n",
              static_cast<unsigned long long>(g.syntheticLines), static_cast<unsigned long long>(g.syntheticRewritten),
              static_cast<unsigned long long>(g.syntheticLongLines), MB(static_cast<double>(g.syntheticLongest)));
  auto rate = [](const char* key) {
    const auto found = Samples().find(key);
    return found == Samples().end() || found->second.empty() ? 0.0
                                                             : MB(static_cast<double>(g.syntheticBytes)) / Median(found->second);
  };
  PrintTimes("CopyCleanedDump", kCopy);
  PrintTimes("cp", kCp);
  PrintTimes("read()/write() loop, 64 KiB buffer", kLoop);
  const double copyRate = rate(kCopy), cpRate = rate(kCp), loopRate = rate(kLoop);
  std::printf("      throughput (source MB / median time): CopyCleanedDump %.0f MB/s, cp %.0f MB/s, 64 KiB loop %.0f MB/s\n",
              copyRate, cpRate, loopRate);
  if (copyRate > 0) {
    const double per100 = 100 / copyRate;
    std::printf("      CopyCleanedDump with its check: %.3f s per 100 MB   goal < %.1f s: %s\n", per100,
                kCopyGoalSeconds, Verdict(per100 < kCopyGoalSeconds));
  }
  if (copyRate > 0 && cpRate > 0) {
    std::printf("      CopyCleanedDump / cp = %.3f   (CopyCleanedDump / 64 KiB loop = %.3f)\n", copyRate / cpRate,
                loopRate > 0 ? copyRate / loopRate : 0.0);
  }

  // (3)
  std::printf("\n  (3) Resident memory of this process, idle second before each repair against the repair\n");
  if (!g_repairs.empty()) {
    long worstSampled = -1000000000, worstHwm = -1000000000;
    for (std::size_t i = 0; i < g_repairs.size(); ++i) {
      const RepairFacts& f = g_repairs[i];
      std::printf("      run %zu: sampled VmRSS idle max %.1f MB (mean %.1f), repair max %.1f MB (mean %.1f): %+.1f MB",
                  i + 1, KbToMB(f.idleMaxKb), f.idleMeanKb * 1024 / 1e6, KbToMB(f.repairMaxKb),
                  f.repairMeanKb * 1024 / 1e6, KbToMB(f.repairMaxKb - f.idleMaxKb));
      worstSampled = std::max(worstSampled, f.repairMaxKb - f.idleMaxKb);
      if (f.idleHwmKb >= 0 && f.repairHwmKb >= 0) {
        std::printf("; VmHWM idle %.1f MB, repair %.1f MB: %+.1f MB", KbToMB(f.idleHwmKb), KbToMB(f.repairHwmKb),
                    KbToMB(f.repairHwmKb - f.idleHwmKb));
        worstHwm = std::max(worstHwm, f.repairHwmKb - f.idleHwmKb);
      }
      std::printf("\n");
    }
    const long worst = std::max(worstSampled, worstHwm);
    std::printf("      repair peak - idle peak = %+.1f MB (largest of all runs and both readings%s)   goal <= %.0f MB: %s\n",
                KbToMB(worst), g.peakResettable ? "" : "; VmHWM could not be reset, sampled only", kMemoryGoalMB,
                Verdict(KbToMB(worst) <= kMemoryGoalMB));
    long dumpKb = 0, rebuildKb = 0;
    for (const RepairFacts& f : g_repairs) {
      dumpKb = std::max(dumpKb, f.dumpChildKb);
      rebuildKb = std::max(rebuildKb, f.rebuildChildKb);
    }
    std::printf("      sqlite3 processes (separate; peak resident set): repair, VmHWM sampled: dump %.1f MB, "
                "rebuild %.1f MB\n",
                KbToMB(dumpKb), KbToMB(rebuildKb));
    if (!g_pipelines.empty()) {
      long pipeDump = 0, pipeRebuild = 0, exactDump = -1, exactRebuild = -1;
      for (const PipelineRun& r : g_pipelines) {
        pipeDump = std::max(pipeDump, r.dumpKb);
        pipeRebuild = std::max(pipeRebuild, r.rebuildKb);
        exactDump = std::max(exactDump, r.dumpExactKb);
        exactRebuild = std::max(exactRebuild, r.rebuildExactKb);
      }
      std::printf("        pipeline, VmHWM sampled: dump %.1f MB, rebuild %.1f MB", KbToMB(pipeDump), KbToMB(pipeRebuild));
      if (exactDump >= 0 && exactRebuild >= 0) {
        std::printf("; /usr/bin/time maximum resident set: dump %.1f MB, rebuild %.1f MB", KbToMB(exactDump),
                    KbToMB(exactRebuild));
      }
      std::printf("\n");
    }
  } else {
    std::printf("      (not run)\n");
  }

  // Finding
  if (disk.run) {
    const double perDisk = disk.diskSeconds / kDiskSampleStatements, perWork = disk.workSeconds / kDiskSampleStatements;
    std::printf("\n  Rebuild, one transaction per statement: the first %d INSERTs of the cleaned dump take\n"
                "      %.1f ms on the disk (%s, %.3f ms each) and %.1f ms in the work folder (%s, %.3f ms each);\n"
                "      all %lld statements on that disk: about %.0f s per rebuild (%.0f s in the work folder)\n",
                kDiskSampleStatements, disk.diskSeconds * 1e3, g.copyFs.c_str(), perDisk * 1e3, disk.workSeconds * 1e3,
                g.workFs.c_str(), perWork * 1e3, g_facts.statements, perDisk * static_cast<double>(g_facts.statements),
                perWork * static_cast<double>(g_facts.statements));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!bench::StartBenchmarks(argc, argv)) return 1;

  int status = 0;
  try {
    // The albums and the copy folder go where $TMPDIR says; the work folder may not.
    AlbumFolder albums("repair_bench");
    const char* tmp = std::getenv("TMPDIR");
    const fs::path diskTmp = tmp != nullptr && *tmp != '\0' ? fs::path(tmp) : fs::path("/tmp");
    const char* copyDir = std::getenv("QV_BENCH_COPY_DIR");
    const fs::path copyParent = copyDir != nullptr && *copyDir != '\0' ? fs::path(copyDir) : diskTmp;
    const char* workDir = std::getenv("QV_BENCH_WORK");
    fs::path workParent = diskTmp;
    if (workDir != nullptr && *workDir != '\0') {
      workParent = workDir;
    } else if (FileSystemOf("/dev/shm") == "tmpfs" && FreeBytes("/dev/shm") > 6e9) {
      workParent = "/dev/shm";
    }
    g.work = MakeTemporaryFolderUnder(workParent, "repair_bench.");
    const FolderGuard workGuard(g.work);
    g.workFs = FileSystemOf(g.work);
    fs::create_directory(g.work / "tmp");
    setenv("TMPDIR", (g.work / "tmp").c_str(), 1);  // the repair's own dumps go there

    QApplication qapp(argc, argv);
    struct WindowsGone {  // before the QApplication goes, on every way out
      ~WindowsGone() {
        g.window.reset();
        fw::Window::ForgetAll();
        fw::RegisterApplication(nullptr);
      }
    } windowsGone;
    FileTypes::_InitModule();
    FileTypes::_Initialize();
    {
      auto app = std::make_shared<fw::Application>();
      app->SetMajorVersion(1);
      app->SetMinorVersion(2);
      fw::RegisterApplication(app);
    }
    testsupport::InteractionGuard person;
    g.person = &*person;
    Sampler sampler;
    g_sampler = &sampler;

    // The albums.
    g.sound = albums.Path() / (std::string(kLargeAlbumTag) + "-plain.qva");
    g.damaged = albums.Path() / (std::string(kDamagedTag) + "-damaged.qva");
    MakeOnce(g.sound, MakeLargeAlbum);
    MakeOnce(g.damaged, [](const fs::path& to) { MakeDamagedCopy(g.sound, to); });
    g.images = CountRows(g.damaged, "images");
    g.notes = CountRows(g.damaged, "notes");
    {
      Db db = OpenReadOnly(g.sound);  // the same layout; the damaged page may not parse
      Stmt leaf = Prepare(db.get(),
                          "SELECT min(pageno) FROM dbstat WHERE name = 'images_by_name' AND pagetype = 'leaf'");
      if (sqlite3_step(leaf.get()) == SQLITE_ROW) g.damagedPage = sqlite3_column_int64(leaf.get(), 0);
      const plugins::AlbumSnapshot snapshot{fw::FolderItem(g.damaged)};
      if (snapshot.IsPrivateCopy()) Fail("the damaged album would be copied before its dump");
    }
    std::printf("Damaged album: %.1f MB, %lld images, %lld notes, in %s%s\n",
                MB(static_cast<double>(fs::file_size(g.damaged))), g.images, g.notes, albums.Path().c_str(),
                albums.Temporary() ? " (removed at the end)" : " (kept)");
    std::printf("Work folder: %s (%s, %.1f GB free)\n", g.work.c_str(), g.workFs.c_str(), FreeBytes(g.work) / 1e9);
    if (g.workFs != "tmpfs") {
      std::printf("  note: not a tmpfs; each rebuild commits every INSERT on its own and may take many minutes\n");
    }

    // The window holds the damaged album, as after a drop.
    ReadThrough(g.damaged);
    g.window = fw::New<Window1>();
    g.window->Show();
    g.window->Action_Init(fw::FolderItem::Make(g.damaged));
    if (Window1Probe::Status(*g.window).rfind("Album Corrupted - ", 0) != 0) {
      Fail("the window's verdict on the damaged album: " + Window1Probe::Status(*g.window));
    }
    g.peakResettable = ResetPeakRss();
    g.haveTime = ::access("/usr/bin/time", X_OK) == 0;

    // The synthetic dump, on the disk.
    const double needed = 3.5 * static_cast<double>(kSyntheticDumpBytes);
    const double free = FreeBytes(copyParent);
    std::printf("Copy folder parent: %s (%s, %.1f GB free, %.1f GB needed)\n", copyParent.c_str(),
                FileSystemOf(copyParent).c_str(), free / 1e9, needed / 1e9);
    if (free < needed) Fail("not enough free space in " + copyParent.native() + " (set QV_BENCH_COPY_DIR)");
    g.copyFolder = MakeTemporaryFolderUnder(copyParent, "repair_bench_copy.");
    const FolderGuard copyGuard(g.copyFolder);
    g.copyFs = FileSystemOf(g.copyFolder);
    g.syntheticDump = g.copyFolder / "synthetic_dump.sql";
    {
      const auto start = Clock::now();
      MakeSyntheticDump(g.syntheticDump, kSyntheticDumpBytes);
      std::printf("Made the synthetic dump (%.1f MB, %llu lines) in %.1f s\n", MB(static_cast<double>(g.syntheticBytes)),
                  static_cast<unsigned long long>(g.syntheticLines),
                  std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::fflush(stdout);

    const int repairRuns = EnvInt("QV_BENCH_REPAIR_ITERATIONS", 1);
    const int copyRuns = EnvInt("QV_BENCH_ITERATIONS", 5);
    const std::array<std::tuple<const char*, void (*)(benchmark::State&), int>, 5> benchmarks = {{
        {kRepair, Guarded<RepairInWindow>, repairRuns},
        {kPipeline, Guarded<BarePipeline>, repairRuns},
        {kCopy, Guarded<CopyCleaned>, copyRuns},
        {kCp, Guarded<Cp>, copyRuns},
        {kLoop, Guarded<ReadWriteLoop>, copyRuns},
    }};
    for (const auto& [name, function, runs] : benchmarks) {
      benchmark::RegisterBenchmark(name, function)
          ->Iterations(1)
          ->Repetitions(runs)
          ->ReportAggregatesOnly(runs > 1)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    std::fflush(stdout);
    const DiskSample disk = MeasureRebuildSample();
    PrintSummary(disk);
    if (fs::exists(g.damaged.native() + "-journal")) Fail("a journal appeared beside the damaged album");
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "repair_bench: %s\n", e.what());
    status = 1;
  }
  std::fflush(stdout);
  benchmark::Shutdown();
  return status;
}
