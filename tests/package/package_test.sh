#!/usr/bin/env bash
# package_test.sh BUILD_DIR CPACK: builds the package of BUILD_DIR (the package's Release
# build), unpacks it with dpkg -x into a scratch root and runs the unpacked shopgen,
# pdvhost check and pdvhost call on a demo shop, then a whole scripted redemption on each
# terminal profile in the cashier's locale, checking the shop database afterwards. Nothing
# from the build tree is used once the package is made: no library path is set, the
# programs find their libraries and the module from their own place.
set -uo pipefail
build=$1 cpack=${2:-cpack}
for tool in dpkg dpkg-deb dpkg-shlibdeps "$cpack"; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

if ! (cd "$build" && "$cpack" -G DEB -B "$work/pkg") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "SKIP: the package cannot be built here"
  exit 77
fi
deb=$(ls "$work"/pkg/vak04100_*.deb) || fail "cpack wrote no vak04100_*.deb"
echo "package: $(basename "$deb")"
dpkg-deb -f "$deb" Depends Recommends
dpkg -x "$deb" "$work/root"
root=$work/root bin=$work/root/usr/bin

# The layout Debian expects.
for f in usr/bin/pdvhost usr/bin/cdstool usr/bin/shopgen usr/share/doc/vak04100/copyright \
         usr/share/doc/vak04100/changelog.Debian.gz usr/share/doc/vak04100/guide.md \
         usr/share/vak04100/schema/sqlite.sql usr/share/vak04100/schema/postgresql.sql \
         usr/share/vak04100/schema/mssql.sql usr/share/vak04100/schema/oracle.sql; do
  [ -e "$root/$f" ] || fail "$f is not in the package"
done
module=$(ls "$root"/usr/lib/*/vak04100/libVak04100.so) || fail "no module in /usr/lib/<multiarch>/vak04100"
# No RUNPATH may name the build tree: everything is $ORIGIN-relative.
for elf in "$bin"/* "$(dirname "$module")"/*.so; do
  runpath=$(readelf -d "$elf" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p')
  case "$runpath" in
    '$ORIGIN'*) ;;
    *) fail "$(basename "$elf") has RUNPATH '$runpath'" ;;
  esac
done

# The demo shop and a terminal, made and checked by the unpacked programs.
term=$work/caixa
mkdir -p "$term/Dados"
db="Provider=SQLite;Data Source=$term/Dados/loja.db"
env -u LD_LIBRARY_PATH "$bin/shopgen" --db "$db" --size demo >"$work/out.txt" 2>&1 || { cat "$work/out.txt"; fail "shopgen"; }
env -u LD_LIBRARY_PATH "$bin/shopgen" terminal "$term" --profile nfce >"$work/out.txt" 2>&1 \
  || { cat "$work/out.txt"; fail "shopgen terminal (with its check)"; }
env -u LD_LIBRARY_PATH "$bin/pdvhost" check --terminal "$term" >"$work/check.txt" 2>&1 \
  || { cat "$work/check.txt"; fail "pdvhost check"; }
grep -q "nothing blocks a redemption" "$work/check.txt" || { cat "$work/check.txt"; fail "check report"; }
env -u LD_LIBRARY_PATH "$bin/pdvhost" call --db "$db" GetBrinde FID2026 0001 >"$work/call.txt" 2>&1 \
  || { cat "$work/call.txt"; fail "pdvhost call"; }
grep -q '"CDPRODUTO"' "$work/call.txt" || { cat "$work/call.txt"; fail "GetBrinde gave no catalogue"; }
echo "unpacked pdvhost check and pdvhost call work"

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" || fail "lintian reports errors"
  echo "lintian: no error"
fi

# The redemption as a shop runs it: the packaged walk-through (choose a consumer, pick two
# gifts, cancel one, confirm with F5) in pt_BR.UTF-8, on a fresh demo shop per profile.
walk=$root/usr/share/doc/vak04100/demo/walkthrough.txt
# Concluded sales, the gift rows on them, and open sales, on one line.
counts() {
  python3 - "$1" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
one = lambda sql: db.execute(sql).fetchone()[0]
print(one("SELECT COUNT(*) FROM VENDA WHERE IDSITUVENDA = 'O'"),
      one("SELECT COUNT(*) FROM ITFIDELIDADE f JOIN VENDA v ON v.CDFILIAL = f.CDFILIAL AND v.CDCAIXA = f.CDCAIXA"
          " AND v.NRSEQVENDA = f.NRSEQVENDA WHERE v.IDSITUVENDA = 'O'"),
      one("SELECT COUNT(*) FROM VENDA WHERE IDSITUVENDA = 'A'"))
PY
}
for profile in fiscal nfce sat; do
  t=$work/$profile
  mkdir -p "$t/Dados" "$t/out"
  pdb="Provider=SQLite;Data Source=$t/Dados/loja.db"
  env -u LD_LIBRARY_PATH "$bin/shopgen" --db "$pdb" --size demo >"$work/out.txt" 2>&1 \
    && env -u LD_LIBRARY_PATH "$bin/shopgen" terminal "$t" --profile "$profile" >>"$work/out.txt" 2>&1 \
    || { cat "$work/out.txt"; fail "shopgen for the $profile terminal"; }
  counts "$t/Dados/loja.db" >"$t/before"
  env -u LD_LIBRARY_PATH -u LANGUAGE LC_ALL=pt_BR.UTF-8 QT_QPA_PLATFORM=offscreen \
    "$bin/pdvhost" --terminal "$t" --script "$walk" --transcript "$t/out/transcript.jsonl" --out "$t/out" \
    >"$work/run.txt" 2>&1 || { cat "$work/run.txt"; fail "pdvhost walk-through on the $profile terminal"; }
  grep -q '"event":"error"' "$t/out/transcript.jsonl" && { grep '"event":"error"' "$t/out/transcript.jsonl"; fail "an error reached the screen ($profile)"; }
  after=$(counts "$t/Dados/loja.db")
  echo "$profile: concluded sales, their gift rows, open sales: before $(cat "$t/before") after $after"
  read -r s0 g0 o0 <"$t/before"
  read -r s1 g1 o1 <<<"$after"
  [ "$s1" = $((s0 + 1)) ] && [ "$g1" = $((g0 + 1)) ] && [ "$o1" = "$o0" ] \
    || fail "the $profile redemption is not in the shop database as one concluded sale with one gift"
done
echo "the packaged walk-through redeems on every profile in pt_BR.UTF-8"
