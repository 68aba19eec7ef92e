#!/usr/bin/env bash
# One entry point for a fresh Debian machine: installs what is missing,
# configures, builds, and runs the chosen job.
#   ./build.sh demo    build and render the demo to demo.wav
#   ./build.sh test    build and run the whole test suite
#   ./build.sh build   build only
#   ./build.sh bench   build and run the benchmarks
#   ./build.sh format  check the formatting of every source file
# ZORVA_SANITIZE=address,undefined (or thread) builds into its own folder.
set -euo pipefail
cd "$(dirname "$0")"

BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config
  libpng-dev zlib1g-dev libcairo2-dev libfontconfig-dev libfreetype-dev
  fonts-liberation2 fonts-dejavu-core libsndfile1-dev libcurl4-openssl-dev libssl-dev
  libx11-dev lv2-dev liblilv-dev lilv-utils librtaudio-dev librtmidi-dev
  liblo-dev libgtest-dev libbenchmark-dev)
TEST_PACKAGES=(xvfb xdotool libxtst-dev openssl clang-format libebur128-dev jackd2 libjack-jackd2-dev jalv sordi)

install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing Debian packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_dir() {
  if [ -n "${ZORVA_SANITIZE:-}" ]; then
    echo "build-san-${ZORVA_SANITIZE//,/-}"
  else
    echo "build"
  fi
}

configure_and_build() {
  local dir
  dir=$(build_dir)
  local bench=ON
  # Benchmarks measure the plain build; under sanitizers they would only cost time.
  [ -n "${ZORVA_SANITIZE:-}" ] && bench=OFF
  cmake -S . -B "$dir" -G Ninja -DZORVA_SANITIZE="${ZORVA_SANITIZE:-}" -DZORVA_BUILD_BENCH=$bench >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}

check_format() {
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
  echo "formatting: clean"
}

job=${1:-build}
case "$job" in
  build)
    install_packages "${BUILD_PACKAGES[@]}"
    configure_and_build
    ;;
  test)
    install_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    configure_and_build
    ctest --test-dir "$(build_dir)" --output-on-failure -j"$(nproc)"
    ;;
  demo)
    install_packages "${BUILD_PACKAGES[@]}"
    configure_and_build
    dir=$(build_dir)
    if [ -x "$dir/apps/zorva-render" ] && [ -f resources/demo.mid ]; then
      "$dir/apps/zorva-render" resources/demo.mid -o demo.wav
    else
      "$dir/tests/zorva-smoke"
    fi
    ;;
  bench)
    install_packages "${BUILD_PACKAGES[@]}"
    configure_and_build
    for b in "$(build_dir)"/bench/bench_*; do [ -x "$b" ] && "$b"; done
    ;;
  format)
    install_packages clang-format
    check_format
    ;;
  *)
    echo "usage: $0 [build|test|demo|bench|format]" >&2
    exit 2
    ;;
esac
