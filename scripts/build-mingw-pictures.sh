#!/bin/sh
# Builds libpng and libjpeg-turbo for MinGW-w64 from Debian's own source packages, at the
# versions Debian 12's archive holds, so that the Windows tools read and write pictures with the very
# code the Linux tools use. zlib is Debian's libz-mingw-w64-dev.
# Usage: scripts/build-mingw-pictures.sh PREFIX   (e.g. build-windows/pictures)
# Runs once: a PREFIX that holds both libraries at these versions is left alone.
set -e

# bookworm's own point release of libpng; its security update's source is not on every mirror.
libpng_version=1.6.39-2+deb12u5
libjpeg_turbo_version=1:2.1.5-2
triple=x86_64-w64-mingw32

prefix=${1:?usage: build-mingw-pictures.sh PREFIX}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
stamp="$prefix/versions"
wanted="libpng1.6 $libpng_version
libjpeg-turbo $libjpeg_turbo_version"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

# apt-get source needs a deb-src line for the archive that the deb lines name.
sources=/etc/apt/sources.list.d/quillon-debian-src.sources
if ! apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q "^Version: $libjpeg_turbo_version\$" ||
   ! apt-cache showsrc libpng1.6 2>/dev/null | grep -q "^Version: $libpng_version\$"; then
    echo "build-mingw-pictures: adding Debian's source packages to apt ($sources)"
    $sudo sh -c "cat > $sources" <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    $sudo apt-get update -qq
fi

work="$prefix/source"
rm -rf "$work"
mkdir -p "$work"
log="$prefix/build.log"
: > "$log"
trap 'status=$?; [ $status -eq 0 ] || { tail -n 20 "$log" >&2; echo "build-mingw-pictures: failed, see $log" >&2; }' EXIT
echo "build-mingw-pictures: libpng1.6 $libpng_version and libjpeg-turbo $libjpeg_turbo_version for $triple (log: $log)"
(cd "$work" && apt-get source -qq "libpng1.6=$libpng_version" "libjpeg-turbo=$libjpeg_turbo_version") >> "$log" 2>&1

toolchain=$(cd "$(dirname "$0")/../cmake" && pwd)/mingw-w64.cmake
cross_build() {
    name=$1
    shift
    source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$name-*" | head -n 1)
    cmake -S "$source_dir" -B "$work/build-$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >> "$log" 2>&1
    cmake --build "$work/build-$name" -j "${JOBS:-2}" >> "$log" 2>&1
    cmake --install "$work/build-$name" >> "$log" 2>&1
}

# Static libraries only, so that every tool is one .exe file.
cross_build libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_INCLUDE_DIR=/usr/$triple/include -DZLIB_LIBRARY=/usr/$triple/lib/libz.a
cross_build libjpeg-turbo -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_JPEG8=OFF -DCMAKE_INSTALL_LIBDIR="$prefix/lib" -DCMAKE_INSTALL_INCLUDEDIR="$prefix/include"

rm -rf "$work"
echo "$wanted" > "$stamp"
