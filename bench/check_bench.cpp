// check_bench: what the album check costs on a large album, next to the sqlite3 shell
// doing the same check on the same file.
//
//   (a) Window1::Action_Init on a plain (rollback-journal) album, which is opened in
//       place, read-only: no copy is made.
//   (b) `sqlite3 ALBUM "PRAGMA integrity_check"` run through /bin/sh, output thrown away.
//   (c) Window1::Action_Init on a WAL-mode album with the same content, which is checked
//       on a private copy; (c') is that copy alone (AlbumSnapshot made and removed).
//
// The albums (about 200 MB, about a million rows) are made once per run in a temporary
// folder that is removed at the end, or, when QV_BENCH_ALBUMS names a folder, kept there
// and reused by later runs. Each measurement is taken QV_BENCH_ITERATIONS times (default
// 7), one check per repetition, after one untimed warm-up check. The repetitions of all
// four run in random interleaved order (unless --benchmark_enable_random_interleaving
// says otherwise), so a slow spell of the machine does not fall on one of them only. The
// summary at the end gives the medians, the ratio (a)/(b) against its goal of 1.10, and
// what the copy adds.
#include <benchmark/benchmark.h>

#include "bench/bench_start.h"
#include <sqlite3.h>
#include <stdlib.h>

#include <QApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_albums.h"
#include "framework/base/folder_item.h"
#include "framework/window.h"
#include "plugins/album_snapshot.h"
#include "repair_window/window1.h"
#include "tests/support/window1_probe.h"

namespace {

using namespace benchalbums;

constexpr const char* kAlbumTag = kLargeAlbumTag;
constexpr const char* kOkVerdict = "Album OK - No need to repair";

// Per-benchmark wall times of every timed iteration, in seconds.
std::map<std::string, std::vector<double>>& Samples() {
  static std::map<std::string, std::vector<double>> samples;
  return samples;
}
// What the checks of one benchmark showed: the most bytes this process wrote during
// one, and SQLite's heap peak during the warm-up check (bytes). -1: not known.
struct CheckCost {
  double written = -1;
  long long heapPeak = -1;
};
std::map<std::string, CheckCost>& Costs() {
  static std::map<std::string, CheckCost> costs;
  return costs;
}

struct Albums {
  fs::path plain;  // rollback-journal mode, no journal beside it
  fs::path wal;    // write-ahead-log mode, closed cleanly (no -wal, no -shm)
};
Albums g_albums;

// Bytes this process has handed to write() and friends so far (/proc/self/io "wchar"),
// or -1 where the system does not say.
long long BytesWrittenSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value) {
    if (key == "wchar:") return value;
  }
  return -1;
}

// SQLite's heap in use and its peak (bytes); `reset` brings the peak down to what is in
// use now, so the peak read next is that of what ran in between.
long long SqliteHeapPeak(bool reset) {
  sqlite3_int64 current = 0, peak = 0;
  sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &current, &peak, reset ? 1 : 0);
  return peak;
}

// ---------------------------------------------------------------------------------
// The three checks
// ---------------------------------------------------------------------------------

// One check by the window; returns the bytes this process wrote meanwhile. Fails when
// the verdict is not the sound album's.
long long CheckInWindow(Window1& window, const fs::path& album) {
  const long long before = BytesWrittenSoFar();
  window.Action_Init(fw::FolderItem::Make(album));
  const long long written = BytesWrittenSoFar() - before;
  if (Window1Probe::Status(window) != kOkVerdict) Fail("unexpected verdict: " + Window1Probe::Status(window));
  return written;
}

std::string ShellCommand(const fs::path& album) {
  return "sqlite3 " + ShellWord(album.native()) + " \"PRAGMA integrity_check\" >/dev/null 2>&1 </dev/null";
}

// The shell's check, for the warm-up: its output must be "ok". Returns the shell's own
// account of SQLite's heap peak ("Memory Used: N (max M) bytes" of -stats), or -1.
long long VerifyShellSaysOk(const fs::path& album) {
  const std::string arguments = ShellWord(album.native()) + " \"PRAGMA integrity_check\" </dev/null";
  const std::string verdict = OutputOf("sqlite3 " + arguments);
  if (verdict != "ok\n") Fail("sqlite3 says: " + verdict);
  const std::string stats = OutputOf("sqlite3 -stats " + arguments);
  const std::size_t line = stats.find("Memory Used:");
  const std::size_t max = stats.find("(max ", line);
  if (line == std::string::npos || max == std::string::npos) return -1;
  return std::atoll(stats.c_str() + max + 5);
}

// Keys of the samples: the benchmark names.
constexpr const char* kPlain = "BM_A_ActionInitPlain";
constexpr const char* kShell = "BM_B_Sqlite3Shell";
constexpr const char* kWal = "BM_C_ActionInitWal";
constexpr const char* kCopy = "BM_C_PrivateCopyOnly";

void Record(const char* key, double seconds) { Samples()[key].push_back(seconds); }

// The untimed first check of a benchmark: it warms up, and it is where the bytes written
// and the memory are looked at.
void WarmUpCheck(const char* key, Window1& window, const fs::path& album) {
  SqliteHeapPeak(true);
  CheckCost cost;
  cost.written = static_cast<double>(CheckInWindow(window, album));
  cost.heapPeak = SqliteHeapPeak(false);
  Costs()[key] = cost;
}

// (a) and (c): checks of `album` by one window; the most bytes written by any of them
// is kept with the warm-up's figures.
void ChecksInWindow(benchmark::State& state, const char* key, const fs::path& album) {
  auto window = fw::New<Window1>();
  if (Costs().count(key) == 0) WarmUpCheck(key, *window, album);
  double& mostWritten = Costs()[key].written;
  for (auto _ : state) {
    const auto start = Clock::now();
    const long long written = CheckInWindow(*window, album);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    Record(key, seconds);
    mostWritten = std::max(mostWritten, static_cast<double>(written));
  }
}

void ActionInitPlain(benchmark::State& state) { ChecksInWindow(state, kPlain, g_albums.plain); }

void Sqlite3Shell(benchmark::State& state) {
  if (Costs().count(kShell) == 0) Costs()[kShell].heapPeak = VerifyShellSaysOk(g_albums.plain);
  const std::string command = ShellCommand(g_albums.plain);
  for (auto _ : state) {
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (status != 0) {
      state.SkipWithError("sqlite3 failed");
      break;
    }
    state.SetIterationTime(seconds);
    Record(kShell, seconds);
  }
}

void ActionInitWal(benchmark::State& state) { ChecksInWindow(state, kWal, g_albums.wal); }

void PrivateCopyOnly(benchmark::State& state) {
  const fw::FolderItem album(g_albums.wal);
  static bool warm = false;
  if (!warm) {
    plugins::AlbumSnapshot warmUp(album);
    warm = true;
  }
  for (auto _ : state) {
    const auto start = Clock::now();
    { plugins::AlbumSnapshot snapshot(album); }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    Record(kCopy, seconds);
  }
}

// A failed check ends its benchmark with the reason instead of ending the whole run.
template <void (*Body)(benchmark::State&)>
void Guarded(benchmark::State& state) {
  try {
    Body(state);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

void BM_A_ActionInitPlain(benchmark::State& state) { Guarded<ActionInitPlain>(state); }
void BM_B_Sqlite3Shell(benchmark::State& state) { Guarded<Sqlite3Shell>(state); }
void BM_C_ActionInitWal(benchmark::State& state) { Guarded<ActionInitWal>(state); }
void BM_C_PrivateCopyOnly(benchmark::State& state) { Guarded<PrivateCopyOnly>(state); }

int Iterations() {
  const char* text = std::getenv("QV_BENCH_ITERATIONS");
  const int n = text != nullptr ? std::atoi(text) : 0;
  return n > 0 ? n : 7;
}

// ---------------------------------------------------------------------------------
// Summary
// ---------------------------------------------------------------------------------

struct Figure {
  bool present = false;
  double median = 0, min = 0, max = 0;
  std::size_t runs = 0;
};

Figure FigureOf(const char* key) {
  const auto found = Samples().find(key);
  if (found != Samples().end() && !found->second.empty()) {
    std::vector<double> sorted = found->second;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    const double median = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    return Figure{true, median, sorted.front(), sorted.back(), n};
  }
  return {};
}

CheckCost CostOf(const char* key) {
  const auto found = Costs().find(key);
  return found != Costs().end() ? found->second : CheckCost{};
}

void PrintLine(const char* label, const Figure& f) {
  if (!f.present) {
    std::printf("  %-52s (not run)\n", label);
    return;
  }
  std::printf("  %-52s median %8.1f ms   min %8.1f ms   max %8.1f ms   (%zu runs)\n", label, f.median * 1e3,
              f.min * 1e3, f.max * 1e3, f.runs);
}

void PrintSummary() {
  const Figure a = FigureOf(kPlain);
  const Figure b = FigureOf(kShell);
  const Figure c = FigureOf(kWal);
  const Figure copy = FigureOf(kCopy);
  std::printf("\n=== Album check summary ===\n");
  std::printf("  album %s: %.1f MB (plain), %.1f MB (WAL)\n", g_albums.plain.filename().c_str(),
              static_cast<double>(fs::file_size(g_albums.plain)) / 1e6,
              static_cast<double>(fs::file_size(g_albums.wal)) / 1e6);
  PrintLine("(a)  Window1::Action_Init, plain album", a);
  PrintLine("(b)  sqlite3 ALBUM \"PRAGMA integrity_check\"", b);
  PrintLine("(c)  Window1::Action_Init, WAL-mode album", c);
  PrintLine("(c') private copy alone (AlbumSnapshot)", copy);
  const CheckCost costA = CostOf(kPlain), costB = CostOf(kShell), costC = CostOf(kWal);
  if (costA.written >= 0) std::printf("  (a) bytes written by one check: %.0f B (most of all runs)\n", costA.written);
  if (costC.written >= 0) {
    std::printf("  (c) bytes written by one check: %.1f MB (most of all runs)\n", costC.written / 1e6);
  }
  std::printf("  SQLite heap peak during a check:");
  const char* separator = " ";
  for (const auto& [label, cost] : {std::pair{"(a)", costA}, std::pair{"(b)", costB}, std::pair{"(c)", costC}}) {
    if (cost.heapPeak < 0) continue;
    std::printf("%s%s %.2f MB", separator, label, static_cast<double>(cost.heapPeak) / 1e6);
    separator = ", ";
  }
  std::printf("\n");
  if (a.present && b.present) {
    const double ratio = a.median / b.median;
    std::printf("  ratio (a)/(b) = %.3f (of minima: %.3f)   goal <= 1.10: %s\n", ratio, a.min / b.min,
                ratio <= 1.10 ? "MET" : "NOT MET");
  }
  if (a.present && c.present) {
    std::printf("  WAL-mode album: (c)-(a) = %+.1f ms, (c)/(a) = %.3f", (c.median - a.median) * 1e3,
                c.median / a.median);
    if (b.present) std::printf(", (c)/(b) = %.3f", c.median / b.median);
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!bench::StartBenchmarks(argc, argv)) return 1;
  QApplication app(argc, argv);
  int status = 0;
  try {
    AlbumFolder folder("check_bench");
    g_albums.plain = folder.Path() / (std::string(kAlbumTag) + "-plain.qva");
    g_albums.wal = folder.Path() / (std::string(kAlbumTag) + "-wal.qva");
    MakeOnce(g_albums.plain, MakeLargeAlbum);
    MakeOnce(g_albums.wal, [](const fs::path& to) { MakeWalCopy(g_albums.plain, to); });
    std::printf("Album: %.1f MB, %lld images, %lld notes, in %s%s\n",
                static_cast<double>(fs::file_size(g_albums.plain)) / 1e6, CountRows(g_albums.plain, "images"),
                CountRows(g_albums.plain, "notes"), folder.Path().c_str(),
                folder.Temporary() ? " (removed at the end)" : " (kept)");
    {
      // The plain album must be checked in place and the WAL-mode one on a copy;
      // otherwise (a) and (c) would not measure what they claim to.
      const plugins::AlbumSnapshot plain{fw::FolderItem(g_albums.plain)};
      const plugins::AlbumSnapshot wal{fw::FolderItem(g_albums.wal)};
      if (plain.IsPrivateCopy() || plain.DatabasePath() != fs::canonical(g_albums.plain)) {
        Fail("the plain album would be copied");
      }
      if (!wal.IsPrivateCopy()) Fail("the WAL-mode album would not be copied");
    }
    ReadThrough(g_albums.plain);
    ReadThrough(g_albums.wal);
    const std::map<std::string, fs::file_time_type> unchangedSince = {
        {g_albums.plain.native(), fs::last_write_time(g_albums.plain)},
        {g_albums.wal.native(), fs::last_write_time(g_albums.wal)},
    };
    std::fflush(stdout);

    // One check per repetition; the summary works from every repetition's time.
    const std::array<std::pair<const char*, void (*)(benchmark::State&)>, 4> benchmarks = {{
        {kPlain, BM_A_ActionInitPlain},
        {kShell, BM_B_Sqlite3Shell},
        {kWal, BM_C_ActionInitWal},
        {kCopy, BM_C_PrivateCopyOnly},
    }};
    for (const auto& [name, function] : benchmarks) {
      benchmark::RegisterBenchmark(name, function)
          ->Iterations(1)
          ->Repetitions(Iterations())
          ->ReportAggregatesOnly(true)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    std::fflush(stdout);
    PrintSummary();
    // The checks must have left both albums as they were.
    for (const fs::path& album : {g_albums.plain, g_albums.wal}) {
      for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        if (fs::exists(album.native() + suffix)) Fail("a file appeared beside " + album.native());
      }
      if (fs::last_write_time(album) != unchangedSince.at(album.native())) Fail(album.native() + " was changed");
    }
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "check_bench: %s\n", e.what());
    status = 1;
  }
  benchmark::Shutdown();
  fw::Window::ForgetAll();
  return status;
}
