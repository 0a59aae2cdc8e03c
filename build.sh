#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./build.sh run    installs what is missing, builds, starts the simulator
#   ./build.sh build  installs what is missing, builds
#   ./build.sh test   installs what is missing, builds, runs every test, then
#                     builds and runs them again with ASan and UBSan (build-asan/)
#   ./build.sh pictures  installs what is missing and a virtual display (xvfb),
#                     builds, and draws every picture in docs/ again
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libsdl2-dev libsdl2-mixer-dev libsndfile1-dev libmpg123-dev libfluidsynth-dev timgm6mb-soundfont
  fonts-ipafont-gothic fonts-ipafont-mincho fontconfig
  libzbar-dev
  libespeak-ng-dev libmecab-dev mecab-ipadic-utf8
  libzip-dev libcsv-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  dbus-daemon
)

# Only the pictures need them.
PICTURE_PACKAGES=(xvfb xauth)

install_missing() {
  local missing=()
  for p in "$@"; do
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

# Every picture in docs/, each from its tool, on a virtual screen large enough
# for the console beside the panel. No sound device is opened.
pictures() {
  local bin="$PWD/build/bin" docs="$PWD/docs"
  local screen=(xvfb-run -a -s '-screen 0 1600x1000x24')
  export SDL_AUDIODRIVER=dummy
  # The user's own preferences (the panel's size, 自動送り) stay out of the pictures.
  XDG_CONFIG_HOME="$(mktemp -d)"
  export XDG_CONFIG_HOME
  trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
  "${screen[@]}" "$bin/panel_snapshot" "$docs"
  QT_SCALE_FACTOR=2 "${screen[@]}" "$bin/panel_snapshot" "$docs"
  "${screen[@]}" "$bin/console_snapshot" "$docs"
  "${screen[@]}" "$bin/options_snapshot" "$docs"
  "${screen[@]}" "$bin/ride_snapshot" "$docs"
  "${screen[@]}" "$bin/ticket_snapshot" "$docs" assets/plugins/*.4SP
}

case "${1:-}" in
  run)
    install_missing "${PACKAGES[@]}"
    build
    exec ./build/bin/427
    ;;
  build)
    install_missing "${PACKAGES[@]}"
    build
    ;;
  test)
    install_missing "${PACKAGES[@]}"
    build
    (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j "$(nproc)")
    build_sanitized
    cd build-asan
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 -j "$(nproc)"
    ;;
  pictures)
    install_missing "${PACKAGES[@]}" "${PICTURE_PACKAGES[@]}"
    build
    pictures
    ;;
  *)
    echo "usage: $0 run|build|test|pictures" >&2
    exit 2
    ;;
esac
