#!/usr/bin/env bash
# Runs the benchmarks of a build that already exists (nothing is built here) and prints
# their summary.
#
#   bash bench/run.sh BUILD_DIR [benchmark flags...]
#
# Environment:
#   QV_BENCH_ALBUMS      folder in which the large test albums are kept between runs
#                        (made on first use); unset: a temporary folder, removed at the end
#   QV_BENCH_ITERATIONS  timed runs of each measurement (default 5)
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: bash bench/run.sh BUILD_DIR [benchmark flags...]" >&2
  exit 2
fi
build=$1
shift

bench="$build/bench/check_bench"
if [[ ! -x "$bench" ]]; then
  echo "run.sh: $bench not found; build first (make build, with QV_BENCH=ON and no sanitizers)" >&2
  exit 1
fi
if ! command -v sqlite3 >/dev/null; then
  echo "run.sh: the sqlite3 shell is needed for the comparison (Debian package sqlite3)" >&2
  exit 1
fi

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
echo "check_bench on $(nproc) cores; $(sqlite3 --version | cut -d' ' -f1,2)"
exec "$bench" --benchmark_counters_tabular=true "$@"
