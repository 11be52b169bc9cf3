#!/usr/bin/env bash
# Builds and runs the whole test suite, with a private PostgreSQL on 127.0.0.1 and unixODBC
# for the database tests, on two builds: the Debug build with ASan and UBSan, then the
# package's own Release build, where the package is built and installed into a scratch root
# and valgrind memcheck watches real runs of the programs (ASan cannot see a read of memory
# never written; a Release build is where such a read turns into a wrong value or a crash).
# On each build the screen, redemption and end-to-end suites run in the cashier's locale
# (pt_BR.UTF-8, their default) and once more in C.UTF-8. Exits non-zero on any failure.
#   VAK_TEST_PRESETS="debug release-test"   the builds to test, in order
# Arguments are passed to every ctest run (for example -R pattern or -L label).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
source scripts/services.sh
# dpkg-dev and lintian: the package test builds the Debian package and lints it;
# valgrind: the memory check of the Release programs; locales: the cashier's locale.
# faketime: the clock moved under a running host in the recovery tests.
vak_install_deps dpkg-dev lintian valgrind locales faketime
vak_ensure_locale pt_BR.UTF-8

read -r -a presets <<<"${VAK_TEST_PRESETS:-debug release-test}"
for preset in "${presets[@]}"; do
  echo "== building $preset"
  # Everything: the tests, the fuzz targets' corpus replays, and on the Debug build the
  # benchmarks (built, so they keep compiling; they are run by hand, never as tests).
  cmake --preset "$preset" -DBUILD_TESTING=ON >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done

trap vak_stop_services EXIT
vak_start_postgres

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for preset in "${presets[@]}"; do
  echo "== $preset: the whole suite"
  ctest --preset "$preset" -j"$(nproc)" "$@" || failed+=("$preset")
  echo "== $preset: the screen, redemption and end-to-end suites in C.UTF-8"
  LC_ALL=C.UTF-8 ctest --preset "$preset" -j"$(nproc)" -L locale "$@" || failed+=("$preset in C.UTF-8")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "All suites passed on: ${presets[*]}"
