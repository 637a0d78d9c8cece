#!/usr/bin/env bash
# Builds Kalvendor for 64-bit Windows on Debian 12 and runs its tests under Wine.
#   scripts/build-windows.sh [--qt-only]
# Qt and pugixml are built once from Debian's own source packages with mingw-w64, into
# $KALVENDOR_WINDOWS_CACHE (default ~/.cache/kalvendor-windows), and reused while the version
# and the configure options stay the same.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cache=${KALVENDOR_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kalvendor-windows}
toolchain="$src/cmake/mingw-w64-x86_64.cmake"
jobs=$(nproc)

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

step() { printf '\n== %s\n' "$*"; }

install_tools() {
    "$src/scripts/install-deps.sh" qt6-base-dev-tools g++-mingw-w64-x86-64-posix wine64 xvfb \
        xauth openbox imagemagick x11-utils dpkg-dev nsis zip
    # Debian's source packages: one list of our own, nothing else of the system is changed.
    local list=/etc/apt/sources.list.d/kalvendor-deb-src.sources
    if [ ! -f "$list" ]; then
        "${as_root[@]}" tee "$list" >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
        "${as_root[@]}" apt-get update -q
    fi
}

# The Qt for Windows must be the very version of the host tools it is built with.
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || echo none)
pugixml_version=$(dpkg-query -W -f='${Version}' libpugixml-dev 2>/dev/null || echo none)
qt_options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF
    -DFEATURE_dbus=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_jpeg=OFF
    -DFEATURE_icu=OFF -DFEATURE_openssl=OFF
    # Debian's source leaves out the non-free wintab; without OpenGL there is no dynamic GL.
    -DFEATURE_tabletevent=OFF -DFEATURE_dynamicgl=OFF
    -DFEATURE_printsupport=ON -DFEATURE_testlib=ON -DFEATURE_widgets=ON
)
key=$(printf '%s\n' "$qt_version" "$pugixml_version" "${qt_options[@]}" | sha1sum | cut -c1-12)
prefix="$cache/prefix-$key"
export KALVENDOR_WINDOWS_PREFIX="$prefix"

fetch_source() { # package version
    local dir="$cache/source"
    mkdir -p "$dir"
    if ! ls -d "$dir/$1"-*/ >/dev/null 2>&1; then
        (cd "$dir" && apt-get source -q "$1=$2" >&2)
    fi
    ls -d "$dir/$1"-*/ | head -n1
}

build_pugixml() {
    [ -f "$prefix/lib/cmake/pugixml/pugixml-config.cmake" ] && return
    step "pugixml $pugixml_version for Windows"
    local dir
    dir=$(fetch_source pugixml "$pugixml_version")
    cmake -S "$dir" -B "$cache/build-pugixml-$key" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
        -DPUGIXML_BUILD_TESTS=OFF >/dev/null
    cmake --build "$cache/build-pugixml-$key" -j"$jobs"
    cmake --install "$cache/build-pugixml-$key" >/dev/null
}

build_qt() {
    [ -f "$prefix/.qt-complete" ] && return
    step "Qt $qt_version for Windows (once; about 45 minutes on two cores)"
    local dir
    dir=$(fetch_source qt6-base "$qt_version")
    cmake -S "$dir" -B "$cache/build-qt-$key" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${qt_options[@]}"
    cmake --build "$cache/build-qt-$key" -j"$jobs"
    cmake --install "$cache/build-qt-$key" >/dev/null
    touch "$prefix/.qt-complete"
}

install_tools
build_pugixml
build_qt
[ "${1:-}" = --qt-only ] && { echo "Qt za Windows je u $prefix"; exit 0; }
