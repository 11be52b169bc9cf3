#!/usr/bin/env bash
# The redemption screen on the demo shop. Builds what it runs (the module, the reference
# host and the shop generator, release; nothing when they are up to date), generates the demo
# shop (SQLite) and a terminal in out/demo, then opens the screen through the reference
# host: in a window when a display exists; otherwise a headless walk-through (choose a
# consumer, pick two gifts, cancel one) that prints the balances at each step and saves
# screenshots in out/demo.
#   VAK_DEMO_PROFILE=fiscal|nfce|sat   the terminal's profile (default fiscal)
#   VAK_DEMO_HEADLESS=1                the walk-through even when a display exists
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
vak_install_deps python3 locales
# The screen speaks to a Brazilian cashier: it runs in pt_BR.UTF-8 whatever the caller's
# locale (decimal comma, dd/MM/yyyy).
vak_ensure_locale pt_BR.UTF-8
cashier=(env -u LANGUAGE LC_ALL=pt_BR.UTF-8)
# Qt wants a private runtime directory; a root shell without a session has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d /tmp/vak-runtime.XXXXXX)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
# Configured once; later runs go straight to the build, which does nothing when the
# sources have not changed (Ninja reconfigures by itself when a CMakeLists.txt has).
[ -f build/demo/build.ninja ] || cmake --preset demo >/dev/null
cmake --build --preset demo -j"$(nproc)"

bin=build/demo/bin
work=out/demo
term="$work/terminal"
rm -rf "$work"
mkdir -p "$work"
mkdir -p "$term/Dados"
"$bin/shopgen" --db "Provider=SQLite;Data Source=$term/Dados/loja.db" --size demo --replace
"$bin/shopgen" terminal "$term" --profile "${VAK_DEMO_PROFILE:-fiscal}"

if [ -z "${VAK_DEMO_HEADLESS:-}" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening the redemption screen (Esc leaves it); transcript in $work/transcript.jsonl"
  "${cashier[@]}" "$bin/pdvhost" --terminal "$term" --transcript "$work/transcript.jsonl" --out "$work"
  exit
fi

echo "No display: headless walk-through (docs/demo/walkthrough.txt)"
"${cashier[@]}" "$bin/pdvhost" --terminal "$term" --script docs/demo/walkthrough.txt \
  --transcript "$work/transcript.jsonl" --out "$work"
# The balances at each step, and whether the redemption was concluded (exit 1 if not).
python3 docs/demo/balances.py "$work/transcript.jsonl" || { echo "demo: the redemption was not concluded" >&2; exit 1; }
echo "Receipt journal: $work/fiscal/journal.txt"
echo "Customer copy:   $(ls "$work"/copias/*.pdf 2>/dev/null | tr '\n' ' ' || true)(NFC-e and SAT terminals)"
echo "Screenshots: $(ls "$work"/*.png | tr '\n' ' ')"
echo "Transcript:  $work/transcript.jsonl"
