#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks and the fuzzers need.
# Does nothing when everything is there; says what it installed otherwise.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-dev
  qt6-base-dev fonts-ipafont-gothic
  libgtest-dev libgmock-dev libbenchmark-dev
  libqscintilla2-qt6-dev libpcre2-dev libonig-dev
  nkf perl grep coreutils sharutils poppler-utils libxml2-utils
  python3 python3-doc php-cli php-pear node-acorn libjs-jquery libjs-underscore
  libreoffice-writer chromium-headless-shell source-highlight highlight xvfb xauth xclip
  postgresql shared-mime-info fpc-source libc6-dev openjdk-17-jdk-headless openjdk-17-source
  unzip ruby
)

# A real input method for the typing tests: fcitx5 with mozc, Qt 6's module for it, a session
# bus of their own, key presses sent to the X server, and what the session script runs them
# with (its own user, process ids).
packages+=(fcitx5 fcitx5-mozc fcitx5-frontend-qt6 dbus-daemon dbus-bin xdotool passwd util-linux
  procps)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "setup-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "setup-deps: installed ${#missing[@]} packages"
