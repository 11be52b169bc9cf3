#!/usr/bin/env bash
# The consumer list at a chain's scale (1,000,000 consumers) on PostgreSQL and on SQLite,
# without the whole chain: the list against the raw driver's fetch, the search list typed
# into, and the screen opening without a consumer.
#
#   bench/consumers.sh [BENCHMARK ARGUMENTS...]
#
# The chain's branches, clients and consumers are generated on the first run only: into a
# private PostgreSQL (scripts/services.sh) whose files stay in build/release/consumers-cache/pg,
# and into ~/.cache/vak/chain-consumers.db.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$PWD/build/release
cache=$build/consumers-cache
bench_args=("$@")
[ ${#bench_args[@]} -gt 0 ] || bench_args=(--benchmark_repetitions=3)

cmake --preset release >/dev/null
cmake --build --preset release --target consumer_list_bench screen_bench >/dev/null
bin=$build/bin
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

source scripts/services.sh
trap vak_stop_services EXIT
mkdir -p "$cache"
vak_start_postgres "$cache/pg" >/dev/null
psql=("$VAK_PG_BINDIR/psql" -X -q -h 127.0.0.1 -p "$VAK_PG_PORT" -U postgres)
"${psql[@]}" -tAc "SELECT 1 FROM pg_database WHERE datname = 'consumers'" | grep -q 1 \
  || "${psql[@]}" -c "CREATE DATABASE consumers"
pg="Provider=PostgreSQL;Host=127.0.0.1;Port=$VAK_PG_PORT;Database=consumers;User ID=postgres;Password="

echo "== the consumer list and the search list, SQLite then PostgreSQL"
uptime
"$bin/consumer_list_bench" "${bench_args[@]}"
VAK_BENCH_PG="$pg" "$bin/consumer_list_bench" --benchmark_filter=ListaConsumidores "${bench_args[@]}"
echo "== the screen opening without a consumer, SQLite then PostgreSQL"
uptime
VAK_BENCH_SHOP="$HOME/.cache/vak/chain-consumers.db" "$bin/screen_bench" --benchmark_filter=SemConsumidor "${bench_args[@]}"
VAK_BENCH_PG="$pg" "$bin/screen_bench" --benchmark_filter=SemConsumidor "${bench_args[@]}"
uptime
