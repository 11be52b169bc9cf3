#!/usr/bin/env bash
# memcheck.sh BIN_DIR SOURCE_DIR CASE: one real run of a Release program under valgrind
# memcheck. Fails (exit 1) on any memcheck error, on a crash, and when the run does not end
# as the case expects. The shop and the terminal are made beforehand by shopgen, outside
# valgrind; the programs run in the cashier's locale.
#   redeem-PROFILE   a scripted redemption (tests/memcheck/redemption.txt) on a fiscal,
#                    nfce or sat terminal: one more concluded sale
#   refused-fiscal   the printer refuses to open the receipt: nothing is left of the sale
#   undone-PROFILE   the close-out fails after the receipt or before the CF-e: undone
#   check-healthy    pdvhost check on a sound terminal (exit 0)
#   check-broken     pdvhost check on a terminal with a truncated parameter file (exit 1)
#   cdstool-binary, cdstool-xml   dump (table, --json) and convert (both encodings) of
#                    every file of that fuzz corpus (malformed ones are refused, exit 1)
#   cdstool-terminal the same over the client-dataset files of a terminal shopgen writes
set -uo pipefail
bin=$1 src=$2 case=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export LC_ALL=pt_BR.UTF-8 QT_QPA_PLATFORM=offscreen
# Code generated at run time has no symbols for memcheck to judge it by: Qt's regular
# expressions are interpreted here rather than compiled to machine code.
export QT_ENABLE_REGEXP_JIT=0
unset LANGUAGE
# Exit 99 is memcheck's own: no program of ours exits with it.
vg=(valgrind --tool=memcheck --error-exitcode=99 --leak-check=no --num-callers=40 -q
    --suppressions="$src/tests/memcheck/valgrind.supp" --gen-suppressions=all)
errors=0
# memcheck CMD...: runs CMD under valgrind; its exit status, memcheck's errors counted.
memcheck() {
  local rc
  "${vg[@]}" "$@" >"$work/last.out" 2>"$work/last.err"
  rc=$?
  if [ $rc = 99 ]; then
    echo "memcheck errors in: $*"
    cat "$work/last.err"
    errors=$((errors + 1))
  fi
  return $rc
}

shop() {  # shop PROFILE: a demo shop and a terminal of that profile in $work/PROFILE
  local t=$work/$1
  mkdir -p "$t/Dados" "$t/out"
  "$bin/shopgen" --db "Provider=SQLite;Data Source=$t/Dados/loja.db" --size demo >"$work/shopgen.txt" 2>&1 \
    && "$bin/shopgen" terminal "$t" --profile "$1" >>"$work/shopgen.txt" 2>&1 \
    || { cat "$work/shopgen.txt"; fail "shopgen ($1)"; }
}

concluded() {  # concluded PROFILE: the shop's concluded sales
  python3 -c 'import sqlite3, sys; print(sqlite3.connect(sys.argv[1]).execute(
    "SELECT COUNT(*) FROM VENDA WHERE IDSITUVENDA = '"'O'"'").fetchone()[0])' "$work/$1/Dados/loja.db"
}

redeem() {  # redeem PROFILE EXPECTED_NEW_SALES [SCRIPT_PREFIX]
  local profile=$1 more=$2 t=$work/$1
  shop "$profile"
  { printf '%s' "${3:-}"; cat "$src/tests/memcheck/redemption.txt"; } >"$work/script.txt"
  local before after
  before=$(concluded "$profile")
  memcheck "$bin/pdvhost" --terminal "$t" --script "$work/script.txt" --transcript "$t/out/t.jsonl" --out "$t/out"
  local rc=$?
  [ $rc = 0 ] || { cat "$work/last.out" "$work/last.err"; fail "pdvhost exit status $rc"; }
  after=$(concluded "$profile")
  grep -o '"text":"[^"]*"' "$t/out/t.jsonl" | head -5
  [ "$after" = $((before + more)) ] || fail "$profile: $before concluded sales before, $after after (expected +$more)"
  echo "$profile: concluded sales $before -> $after"
}

dumpAll() {  # dumpAll FILE...: dump and convert each, under memcheck
  local f n=0
  for f in "$@"; do
    memcheck "$bin/cdstool" dump "$f"
    memcheck "$bin/cdstool" dump "$f" --json
    memcheck "$bin/cdstool" convert "$f" "$work/copy.xml" && memcheck "$bin/cdstool" convert "$work/copy.xml" "$work/copy.cds"
    rm -f "$work/copy.xml" "$work/copy.cds"
    n=$((n + 1))
  done
  echo "$n files dumped and converted"
}

start=$SECONDS
case $case in
  redeem-fiscal | redeem-nfce | redeem-sat) redeem "${case#redeem-}" 1 ;;
  refused-fiscal) redeem fiscal 0 $'fail AbreCupom\n' ;;
  undone-fiscal) redeem fiscal 0 $'fail SetConcluiFechamento\n' ;;
  undone-sat) redeem sat 0 $'fail SATOnline\n' ;;
  check-healthy)
    shop nfce
    memcheck "$bin/pdvhost" check --terminal "$work/nfce"
    rc=$?
    [ $rc = 0 ] || { cat "$work/last.out"; fail "check of a sound terminal: exit $rc"; } ;;
  check-broken)
    shop fiscal
    params=$(find "$work/fiscal" -maxdepth 1 -iname 'parametrosqvn.cds')
    truncate -s 40 "$params"
    memcheck "$bin/pdvhost" check --terminal "$work/fiscal"
    rc=$?
    [ $rc = 1 ] || { cat "$work/last.out"; fail "check of a broken terminal: exit $rc, expected 1"; } ;;
  cdstool-binary) dumpAll "$src"/fuzz/corpus/binary_packet/* ;;
  cdstool-xml) dumpAll "$src"/fuzz/corpus/xml_packet/* ;;
  cdstool-terminal)
    shop sat
    mapfile -t files < <(find "$work/sat" -iname '*.cds' | sort)
    [ ${#files[@]} -gt 0 ] || fail "no client-dataset file in the terminal"
    dumpAll "${files[@]}" ;;
  *) fail "unknown case $case" ;;
esac
echo "$case: $errors run(s) with memcheck errors, $((SECONDS - start)) s"
[ $errors = 0 ]
