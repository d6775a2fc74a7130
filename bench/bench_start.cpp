#include "bench/bench_start.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace bench {

bool StartBenchmarks(int& argc, char**& argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr || *std::getenv("QT_QPA_PLATFORM") == '\0') {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  static std::vector<char*> args;
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.assign(argv, argv + argc);
  if (std::none_of(args.begin(), args.end(), [](const char* arg) {
        return std::string_view(arg).starts_with("--benchmark_enable_random_interleaving");
      })) {
    args.insert(args.begin() + 1, interleave);
  }
  argc = static_cast<int>(args.size());
  args.push_back(nullptr);
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  return !benchmark::ReportUnrecognizedArguments(argc, argv);
}

}  // namespace bench
