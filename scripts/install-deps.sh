#!/bin/sh
# Installs the Debian packages a make target needs, and only those that are missing.
# Usage: scripts/install-deps.sh GROUP...   (groups: build windows e2e pictures fuzz bench web web-test)
set -e

packages_for() {
    case "$1" in
        build) echo "cmake make g++ pkg-config libsdl2-dev googletest libgtest-dev libpng-dev libjpeg62-turbo-dev" ;;
        windows) echo "cmake g++-mingw-w64-x86-64 wine wine64 xvfb xauth libz-mingw-w64-dev dpkg-dev nasm imagemagick" ;;
        e2e) echo "xvfb xauth xdotool x11-apps imagemagick" ;;
        pictures) echo "imagemagick" ;;
        fuzz) echo "clang libclang-rt-14-dev" ;;
        bench) echo "libbenchmark-dev imagemagick xvfb xauth" ;;
        web) echo "cmake make emscripten nodejs node-acorn python3" ;;
        web-test) echo "chromium chromium-driver python3-selenium firefox-esr" ;;
        *) echo "install-deps: unknown group '$1'" >&2; exit 2 ;;
    esac
}

missing=""
for group in "$@"; do
    for package in $(packages_for "$group"); do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
            missing="$missing $package"
        fi
    done
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    sudo=""
else
    sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
