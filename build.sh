#!/usr/bin/env bash
# Builds Velmarin on Debian 12, installing the packages it needs when they are missing.
#   ./build.sh test             configure, build and run every test
#   ./build.sh run              build and start the workstation (extra arguments go to
#                               velmarin)
#   ./build.sh install [PREFIX] build and install into PREFIX (/usr/local without one)
#   ./build.sh package          build the Debian package build/velmarin_VERSION_ARCH.deb
#   ./build.sh bench            build and run the benchmarks (bench/run)
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          clang libclang-rt-14-dev qt6-base-dev libxcb1-dev qt6-svg-dev qt6-qpa-plugins fonts-dejavu-core
          fonts-liberation2 xvfb xauth poppler-utils libwmf-bin fonts-urw-base35
          help2man desktop-file-utils dpkg-dev file libxbyak-dev clang-format)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

cmd=${1:-run}
[ $# -gt 0 ] && shift
install_missing
case "$cmd" in
  test)
    configure -DVELMARIN_WERROR=ON
    cmake --build build
    ctest --test-dir build --output-on-failure -j "$(nproc)"
    ;;
  run)
    configure
    cmake --build build --target velmarin
    # Without a display velmarin says so and stops (status 1).
    exec build/src/app/velmarin "$@"
    ;;
  install)
    configure
    cmake --build build --target velmarin manpage
    prefix=${1:-/usr/local}
    # A directory the user cannot write to takes sudo, as the package installs do.
    as=""
    if [ "$(id -u)" -ne 0 ] && ! { mkdir -p "$prefix" 2>/dev/null && [ -w "$prefix" ]; }; then
      as=sudo
    fi
    $as cmake --install build --prefix "$prefix"
    ;;
  package)
    configure
    cmake --build build --target velmarin manpage
    (cd build && cpack -G DEB)
    ;;
  bench)
    configure
    cmake --build build
    exec bench/run build
    ;;
  *)
    echo "usage: ./build.sh test | run [velmarin arguments] | install [PREFIX] | package | bench" >&2
    exit 64
    ;;
esac
