#!/usr/bin/env bash
# Terminals redeeming at once on one PostgreSQL server (bench/terminals_bench.cpp): builds
# the Release benchmark, starts a private PostgreSQL of its own (scripts/services.sh, its
# files removed at the end) and runs it, printing the machine's load before and after.
#
#   bench/terminals.sh [BENCHMARK ARGUMENTS...]
#
# Without arguments: five repetitions, medians and spreads only. VAK_BENCH_TERMINALS_COUNT
# and VAK_BENCH_TERMINALS_SIZE pass through (see the benchmark).
set -euo pipefail
cd "$(dirname "$0")/.."
bench_args=("$@")
[ ${#bench_args[@]} -gt 0 ] || bench_args=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true)

cmake --preset release >/dev/null
cmake --build --preset release --target terminals_bench >/dev/null

source scripts/services.sh
trap vak_stop_services EXIT
vak_start_postgres >/dev/null
uptime
build/release/bin/terminals_bench "${bench_args[@]}"
uptime
