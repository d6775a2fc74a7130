#!/usr/bin/env bash
# Runs the benchmarks of a build that already exists (nothing is built here) and prints
# their summaries: check_bench (the album check) and then repair_bench (the album repair,
# the copy of its dump, and its memory).
#
#   bash bench/run.sh BUILD_DIR [benchmark flags...]
#
# The flags go to each benchmark program as they are.
#
# Environment:
#   QV_BENCH_ONLY        "check" or "repair": run only that one
#   QV_BENCH_ALBUMS      folder in which the large test albums are kept between runs
#                        (made on first use); unset: a temporary folder shared by both
#                        programs, removed at the end
#   QV_BENCH_ITERATIONS  timed runs of each check (default 7) and of each copy of the 1 GB
#                        dump (default 5)
#   QV_BENCH_REPAIR_ITERATIONS  timed runs of the repair and of the bare pipeline
#                        (default 1; each takes about a minute)
#   QV_BENCH_WORK        folder for the repair's files (default /dev/shm when it is a tmpfs
#                        with room, else $TMPDIR or /tmp)
#   QV_BENCH_COPY_DIR    folder on the disk for the 1 GB dump and its copies (default
#                        $TMPDIR or /tmp; 3.5 GB free needed)
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: bash bench/run.sh BUILD_DIR [benchmark flags...]" >&2
  exit 2
fi
build=$1
shift

case "${QV_BENCH_ONLY:-}" in
  "") programs=(check_bench repair_bench) ;;
  check) programs=(check_bench) ;;
  repair) programs=(repair_bench) ;;
  *) echo "run.sh: QV_BENCH_ONLY must be check or repair" >&2; exit 2 ;;
esac
for program in "${programs[@]}"; do
  if [[ ! -x "$build/bench/$program" ]]; then
    echo "run.sh: $build/bench/$program not found; build first (make build, with QV_BENCH=ON and no sanitizers)" >&2
    exit 1
  fi
done
if ! command -v sqlite3 >/dev/null; then
  echo "run.sh: the sqlite3 shell is needed for the comparison (Debian package sqlite3)" >&2
  exit 1
fi

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
if [[ -z "${QV_BENCH_ALBUMS:-}" && ${#programs[@]} -gt 1 ]]; then
  # One album for both programs, made once.
  QV_BENCH_ALBUMS=$(mktemp -d "${TMPDIR:-/tmp}/qv_bench_albums.XXXXXX")
  export QV_BENCH_ALBUMS
  trap 'rm -rf -- "$QV_BENCH_ALBUMS"' EXIT
fi

status=0
for program in "${programs[@]}"; do
  echo "$program on $(nproc) cores; $(sqlite3 --version | cut -d' ' -f1,2)"
  "$build/bench/$program" --benchmark_counters_tabular=true "$@" || status=$?
  echo
done
exit $status
