#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./build.sh run    installs what is missing, builds, starts the simulator
#   ./build.sh build  installs what is missing, builds
#   ./build.sh test   installs what is missing, builds, runs every test, then
#                     builds and runs them again with ASan and UBSan (build-asan/)
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libsdl2-dev libsdl2-mixer-dev libsndfile1-dev libmpg123-dev libfluidsynth-dev timgm6mb-soundfont
  fonts-ipafont-gothic fonts-ipafont-mincho fontconfig
  libzbar-dev
  libespeak-ng-dev libmecab-dev mecab-ipadic-utf8
  dbus-daemon
)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build --parallel "$(nproc)"
}

# The same project with AddressSanitizer and UndefinedBehaviorSanitizer, in
# its own folder; its programs stop at the first finding.
build_sanitized() {
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DS4_SANITIZE=ON
  cmake --build build-asan --parallel "$(nproc)"
}

case "${1:-}" in
  run)
    install_missing
    build
    exec ./build/bin/427
    ;;
  build)
    install_missing
    build
    ;;
  test)
    install_missing
    build
    (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j "$(nproc)")
    build_sanitized
    cd build-asan
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 -j "$(nproc)"
    ;;
  *)
    echo "usage: $0 run|build|test" >&2
    exit 2
    ;;
esac
