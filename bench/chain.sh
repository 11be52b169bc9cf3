#!/usr/bin/env bash
# The benchmarks on the chain (shopgen --size chain: 50 branches, 1,000,000 consumers,
# 20 million point movements) on PostgreSQL and on SQLite, each against the same SQL
# through the raw driver in the same run, and the plans of every statement the data service
# and the host run on PostgreSQL during a redemption.
#
#   bench/chain.sh [--regenerate] [BENCHMARK ARGUMENTS...]
#
# A private PostgreSQL (scripts/services.sh) keeps its files in build/release/chain-cache/pg;
# the chain is generated into it, and into chain-cache/chain.db, on the first run only
# (--regenerate: again). Figures: p50 over the repetitions, the raw driver's time and the
# ratio, processor times; the screen's opening time and peak memory.
# VAK_CHAIN_SIZE=large (or demo) and VAK_CHAIN_CACHE=DIR try the runner on a smaller shop.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/release
cache=${VAK_CHAIN_CACHE:-$build/chain-cache}
size=${VAK_CHAIN_SIZE:-chain}
regenerate=0
if [ "${1:-}" = --regenerate ]; then regenerate=1; shift; fi
bench_args=("$@")
[ ${#bench_args[@]} -gt 0 ] || bench_args=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true)

cmake --preset release >/dev/null
cmake --build --preset release --target shopgen server_bench screen_bench consumer_list_bench pdvhost Vak04100 >/dev/null
bin=$build/bin

source scripts/services.sh
trap vak_stop_services EXIT
mkdir -p "$cache"
[ $regenerate = 1 ] && rm -rf "$cache/pg" "$cache/chain.db" "$cache/pg.ready"
vak_start_postgres "$cache/pg" >/dev/null
psql=("$VAK_PG_BINDIR/psql" -X -q -h 127.0.0.1 -p "$VAK_PG_PORT" -U postgres)
pg="Provider=PostgreSQL;Host=127.0.0.1;Port=$VAK_PG_PORT;Database=chain;User ID=postgres;Password="

uptime
if [ ! -f "$cache/pg.ready" ]; then
  "${psql[@]}" -c "DROP DATABASE IF EXISTS chain" -c "CREATE DATABASE chain"
  echo "== generating the chain into PostgreSQL"
  /usr/bin/time -f "shopgen: %e s elapsed, %U s user, %M KB peak" "$bin/shopgen" --db "$pg" --size "$size"
  touch "$cache/pg.ready"
fi
if [ ! -f "$cache/chain.db" ]; then
  echo "== generating the chain into SQLite"
  /usr/bin/time -f "shopgen: %e s elapsed, %U s user, %M KB peak" \
    "$bin/shopgen" --db "Provider=SQLite;Data Source=$cache/chain.db.new" --size "$size"
  mv "$cache/chain.db.new" "$cache/chain.db"
fi

echo "== plans of the statements of a redemption on PostgreSQL"
term=$(mktemp -d /tmp/vak-chain-term.XXXXXX)
trap 'rm -rf "$term"; vak_stop_services' EXIT
"$bin/shopgen" terminal "$term/t" --profile fiscal --db "$pg" >/dev/null
"${psql[@]}" -d chain -c "ALTER DATABASE chain SET session_preload_libraries = 'auto_explain'" \
  -c "ALTER DATABASE chain SET auto_explain.log_min_duration = 0" \
  -c "ALTER DATABASE chain SET auto_explain.log_format = 'json'"
start=$(wc -l <"$VAK_PG_LOG")
QT_QPA_PLATFORM=offscreen "$bin/pdvhost" --terminal "$term/t" --script bench/chain-redemption.txt \
  --out "$term/out" >"$term/pdvhost.log" 2>&1 || { cat "$term/pdvhost.log"; echo "the redemption failed"; }
"${psql[@]}" -d chain -c "ALTER DATABASE chain RESET ALL"
tail -n +"$((start + 1))" "$VAK_PG_LOG" >"$term/plans.log"
python3 bench/plan_findings.py "$term/plans.log" || true

echo "== data service on PostgreSQL (raw: libpq)"
uptime
VAK_BENCH_PG="$pg" "$bin/server_bench" "${bench_args[@]}"
echo "== data service on SQLite (raw: the SQLite C API)"
uptime
VAK_BENCH_SHOP="$cache/chain.db" "$bin/server_bench" "${bench_args[@]}"
echo "== the consumer list and the search list over it (1,000,000 consumers), PostgreSQL then SQLite"
uptime
VAK_BENCH_PG="$pg" "$bin/consumer_list_bench" --benchmark_filter=ListaConsumidores "${bench_args[@]}"
VAK_BENCH_CONSUMERS="$cache/chain.db" "$bin/consumer_list_bench" "${bench_args[@]}"
echo "== the screen opening without a consumer (1,000,000 consumers), PostgreSQL then SQLite"
uptime
VAK_BENCH_PG="$pg" "$bin/screen_bench" --benchmark_filter=SemConsumidor "${bench_args[@]}"
VAK_BENCH_SHOP="$cache/chain.db" "$bin/screen_bench" --benchmark_filter=SemConsumidor "${bench_args[@]}"
uptime
