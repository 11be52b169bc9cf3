#!/usr/bin/env bash
# Builds everything (Debug, ASan + UBSan) and runs the whole test suite, with a private
# PostgreSQL on 127.0.0.1 and unixODBC for the database tests. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
source scripts/services.sh
# dpkg-dev and lintian: the package test builds the Debian package and lints it.
vak_install_deps dpkg-dev lintian

preset=${VAK_TEST_PRESET:-debug}
# Everything: the tests, the fuzz targets' corpus replays and the benchmarks (built, so
# they keep compiling; they are run by hand, never as tests).
cmake --preset "$preset" -DBUILD_TESTING=ON -DVAK_BUILD_BENCH=ON >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"

trap vak_stop_services EXIT
vak_start_postgres

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --preset "$preset" -j"$(nproc)" "$@"
