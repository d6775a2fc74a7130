// The start both benchmark programs share: the offscreen platform unless another is set,
// interleaved repetitions unless the command line decides, and Google Benchmark's own
// arguments taken out of the command line.
#pragma once

namespace bench {

/// Prepares the environment and the command line; false when the command line holds an
/// argument that Google Benchmark does not know (it has said so on standard error).
/// `argv` afterwards points to storage that lives for the rest of the process.
bool StartBenchmarks(int& argc, char**& argv);

}  // namespace bench
