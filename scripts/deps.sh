# Sourced by demo.sh and test.sh: installs the Debian packages the build, the tests
# and the demo need, when any is missing. Nothing is fetched from anywhere else.
VAK_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc
  libgtest-dev libgmock-dev libbenchmark-dev
  libqrencode-dev libsqlite3-dev libpq-dev fonts-liberation
  unixodbc unixodbc-dev libsqliteodbc odbc-postgresql postgresql
  xvfb xauth python3
)

vak_install_deps() {
  local missing=()
  for p in "${VAK_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
      echo "error: these packages are missing and installing them needs root: ${missing[*]}" >&2
      return 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# vak_ensure_locale NAME: the system locale NAME (pt_BR.UTF-8) generated when it is not,
# from the `locales` package's sources. The cashier's locale is what the screen formats
# with (decimal comma, dd/MM/yyyy); Qt follows LANG even without it, the C library does not.
vak_ensure_locale() {
  local name=$1 lang=${1%%.*} charset=${1#*.}
  locale -a 2>/dev/null | grep -qix "$lang.$(echo "$charset" | tr -d - | tr '[:upper:]' '[:lower:]')" && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "error: the locale $name is missing and generating it needs root" >&2
    return 1
  fi
  vak_install_deps locales
  echo "Generating the locale $name"
  localedef -i "$lang" -f "$charset" "$name"
}
