#!/usr/bin/env bash
# Installs what the builds need on Debian 12, idempotently: every step checks before it acts,
# so a second run costs a few seconds and touches nothing.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
deps_dir="$here/.deps"

need_root() {
  if [ "$(id -u)" != 0 ]; then
    echo "bootstrap: run as root (it installs Debian packages)" >&2
    exit 2
  fi
}

# Packages for both builds, the tests and the benchmark.
packages=(
  cmake ninja-build g++ make pkg-config dpkg-dev
  zlib1g-dev libminizip-dev googletest
  clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine32:i386 wine64 fonts-wine xvfb x11-utils imagemagick
  zip unzip python3 nsis locales
)

missing() {
  local p out=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${db:Status-Status}\n' "$p" 2>/dev/null | grep -qx installed || out+=("$p")
  done
  printf '%s\n' "${out[@]}"
}

ensure_i386() {
  dpkg --print-foreign-architectures | grep -qx i386 && return 0
  need_root
  dpkg --add-architecture i386
  touch "$deps_dir/.apt-stale"
}

# Debian's zlib source package carries minizip's C files, which the Windows build compiles.
ensure_deb_src() {
  grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && return 0
  grep -qs '^deb-src ' /etc/apt/sources.list && return 0
  need_root
  cat > /etc/apt/sources.list.d/installer-deb-src.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  touch "$deps_dir/.apt-stale"
}

apt_update_once() {
  if [ -e "$deps_dir/.apt-stale" ] || [ ! -e "$deps_dir/.apt-updated" ]; then
    apt-get update -q
    rm -f "$deps_dir/.apt-stale"
    touch "$deps_dir/.apt-updated"
  fi
}

mkdir -p "$deps_dir"
ensure_i386
ensure_deb_src

todo=$(missing)
if [ -n "$todo" ]; then
  need_root
  apt_update_once
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $todo
fi

# Wine takes its ANSI code page from the Unix locale: the code page 932 tests run under
# ja_JP.UTF-8.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  need_root
  sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)$/\1/' /etc/locale.gen
  grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi

zsrc="$deps_dir/zlib-src"
if [ ! -f "$zsrc/contrib/minizip/unzip.c" ]; then
  apt_update_once
  tmp=$(mktemp -d "$deps_dir/zlib.XXXXXX")
  (cd "$tmp" && apt-get source -q zlib >/dev/null 2>&1)
  srcdir=$(find "$tmp" -maxdepth 3 -type d -path '*/contrib/minizip' | head -n 1)
  srcdir=${srcdir%/contrib/minizip}
  [ -n "$srcdir" ] || { echo "bootstrap: zlib source has no contrib/minizip" >&2; exit 1; }
  rm -rf "$zsrc"
  mv "$srcdir" "$zsrc"
  rm -rf "$tmp"
fi
echo "bootstrap: ready (minizip sources in $zsrc)"
