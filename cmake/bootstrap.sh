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
  zlib1g-dev libminizip-dev libdeflate-dev liblzma-dev googletest
  clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine32:i386 wine64 fonts-wine xvfb x11-utils imagemagick
  zip unzip python3 nsis locales osslsigncode openssl
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

# Debian's source packages of zlib (for minizip's C files), libdeflate and xz-utils (for
# liblzma), which the Windows builds compile.
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

# fetch_source PACKAGE DEST MARKER: Debian's source package PACKAGE unpacked as DEST, once;
# MARKER is a file of the unpacked tree, which shows that it is there and whole.
fetch_source() {
  local package=$1 dest=$2 marker=$3 tmp srcdir
  [ -f "$dest/$marker" ] && return 0
  apt_update_once
  tmp=$(mktemp -d "$deps_dir/$package.XXXXXX")
  (cd "$tmp" && apt-get source -q "$package" >/dev/null 2>&1)
  srcdir=$(find "$tmp" -mindepth 2 -maxdepth 4 -type f -path "*/$marker" | head -n 1)
  srcdir=${srcdir%/"$marker"}
  [ -n "$srcdir" ] || { echo "bootstrap: $package source has no $marker" >&2; exit 1; }
  rm -rf "$dest"
  mv "$srcdir" "$dest"
  rm -rf "$tmp"
}

fetch_source zlib "$deps_dir/zlib-src" contrib/minizip/unzip.c
fetch_source libdeflate "$deps_dir/libdeflate-src" lib/deflate_compress.c
fetch_source xz-utils "$deps_dir/xz-src" src/liblzma/liblzma.pc.in
echo "bootstrap: ready (minizip, libdeflate and liblzma sources in $deps_dir)"
