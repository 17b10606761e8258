#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks and the fuzzers need, and
# the user the input-method session runs as. Does nothing when everything is there; says what
# it installed otherwise.
set -euo pipefail

packages=(
  # build, and the symbolizer that names functions in sanitizer reports (llvm)
  cmake ninja-build g++ clang libclang-rt-dev llvm python3
  qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
  # the tests' own connection to their X server
  libxcb1-dev
  # print queues: the client library the printer service talks to them with, and the scheduler,
  # its tools and a queue that prints into PDF files, for the printing tests
  libcups2-dev cups-daemon cups-client printer-driver-cups-pdf
  # fonts the program maps faces to and the tests name
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-dejavu-core fontconfig
  # programs the tests and benchmarks run as oracles or peers
  coreutils diffutils grep libc-bin nkf perl sharutils poppler-utils libxml2-utils xxd
  nodejs php-cli ruby unzip dpkg openjdk-17-jdk-headless
  libreoffice-writer chromium-headless-shell source-highlight highlight xvfb xauth xclip xdotool
  x11-xserver-utils
  libqscintilla2-qt6-dev libpcre2-dev libonig-dev
  # what a save keeps of a file and where it writes: ACLs, extended attributes, file
  # capabilities, a bind mount, an append-only folder (chattr), a full disk (loop-mounted ext4
  # and btrfs images: mkfs.ext4, mkfs.btrfs, mount)
  acl attr libcap2-bin mount e2fsprogs btrfs-progs
  # real files the highlighter tests read
  python3-doc php-pear node-acorn libjs-jquery libjs-underscore postgresql shared-mime-info
  fpc-source libc6-dev openjdk-17-source
  # real files the highlighter tests read and the tools that check the generated corpora
  texlive-latex-base libreoffice-common gnucobol3 gfortran binutils
)

# A real input method for the typing tests: fcitx5 with mozc, Qt 6's module for it, a session
# bus of their own, key presses sent to the X server, and what the session script runs them
# with (its own user, process ids).
packages+=(fcitx5 fcitx5-mozc fcitx5-frontend-qt6 dbus-daemon dbus-bin xdotool passwd util-linux
  procps)

# The input-method session runs fcitx5 and mozc as this user when the tests run as root
# (mozc_server will not run as root).
readonly ime_user=rid-ime

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup-deps: all ${#packages[@]} packages present"
else
  echo "setup-deps: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  echo "setup-deps: installed ${#missing[@]} packages"
fi

if ! id -u "$ime_user" >/dev/null 2>&1; then
  $sudo useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
    "$ime_user"
  echo "setup-deps: created the user $ime_user"
fi
