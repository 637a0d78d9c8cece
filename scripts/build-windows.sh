#!/usr/bin/env bash
# Builds Kalvendor for 64-bit Windows on Debian 12 and runs its tests under Wine.
#   scripts/build-windows.sh [--qt-only | --cache-ready | --key | --tests [ctest's options]]
# --tests builds the program and its tests and runs them under Wine, nothing else.
# Qt and pugixml are built once from Debian's own source packages with mingw-w64, into
# $KALVENDOR_WINDOWS_CACHE (default ~/.cache/kalvendor-windows), and reused while the version
# and the configure options stay the same. A prefix built ahead for the same key is unpacked
# instead, from $KALVENDOR_WINDOWS_PREBUILT (default ../shared/windows beside the checkout),
# when SHA256SUMS there vouches for it.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cache=${KALVENDOR_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kalvendor-windows}
toolchain="$src/cmake/mingw-w64-x86_64.cmake"
jobs=$(nproc)

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

# With the clock and the seconds since the start, so that a log shows where the time went.
step() { printf '\n== %s [%s, +%ss]\n' "$*" "$(date +%T)" "$SECONDS"; }

install_tools() {
    step "Tools"
    "$src/scripts/install-deps.sh" qt6-base-dev-tools g++-mingw-w64-x86-64-posix wine wine64 xvfb \
        xauth openbox imagemagick x11-utils xdotool dpkg-dev nsis zip
}

# Debian's source packages: one list of our own, nothing else of the system is changed. Only a
# build of Qt or pugixml needs it.
add_source_list() {
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
    add_source_list >&2
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

[ "${1:-}" = --key ] && { echo "$key"; exit 0; }

# Qt for Windows built ahead, beside the checkout; it is used only for the very same key.
prebuilt=${KALVENDOR_WINDOWS_PREBUILT:-$src/../shared/windows}
tarball="$prebuilt/prefix-$key.tar.xz"

# Whether the tarball is there and its own line in SHA256SUMS vouches for it; if not, $why says why.
why=""
prebuilt_valid() {
    if [ ! -f "$tarball" ]; then
        why="nema $tarball"
        return 1
    fi
    local line
    line=$(grep -E "^[0-9a-f]{64} [ *]prefix-$key\.tar\.xz\$" "$prebuilt/SHA256SUMS" 2>/dev/null |
        head -n1 || true)
    if [ -z "$line" ]; then
        why="$prebuilt/SHA256SUMS nema kontrolnog zbroja za prefix-$key.tar.xz"
        return 1
    fi
    if ! (cd "$prebuilt" && sha256sum --check --status <<<"$line"); then
        why="$tarball ne odgovara svojem kontrolnom zbroju u SHA256SUMS"
        return 1
    fi
}

# Into a folder of its own first and renamed only when whole: a killed unpack leaves no prefix
# that looks ready.
unpack_prebuilt() {
    step "Qt for Windows built ahead: $tarball"
    mkdir -p "$cache"
    rm -rf "$cache"/.unpack-*
    local tmp
    tmp=$(mktemp -d "$cache/.unpack-$key.XXXXXX")
    tar -xJf "$tarball" -C "$tmp" --no-same-owner
    if [ ! -f "$tmp/prefix-$key/.qt-complete" ]; then
        echo "Windows: u $tarball nema cijelog prefix-$key." >&2
        rm -rf "$tmp"
        return 1
    fi
    # A prefix that a killed build of Qt left half done goes with the temporary folder.
    [ ! -e "$prefix" ] || mv "$prefix" "$tmp/old"
    mv -T "$tmp/prefix-$key" "$prefix"
    rm -rf "$tmp"
}

# --cache-ready: whether Qt for Windows is there for this key, in the cache or built ahead (for
# CI, which cannot build it in time); if not, says why.
if [ "${1:-}" = --cache-ready ]; then
    [ -f "$prefix/.qt-complete" ] && exit 0
    prebuilt_valid && exit 0
    echo "Windows: Qt za Windows (ključ $key) nije u $cache, a $why."
    exit 1
fi
install_tools
if [ ! -f "$prefix/.qt-complete" ]; then
    if prebuilt_valid; then
        unpack_prebuilt
    else
        echo "Windows: $why, pa se Qt za Windows gradi iz Debianova izvornog koda (oko sat vremena)."
    fi
fi
build_pugixml
build_qt
[ "${1:-}" = --qt-only ] && { echo "Qt za Windows je u $prefix"; exit 0; }

build="$src/build-windows"
portable="$build/Kalvendor"
display=:77
wine_prefix="$build/wine"
mingw_runtime=(/usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)

# Wine in a prefix of its own, without the optional components' prompts, on a display of its own.
start_wine() {
    export WINEPREFIX="$wine_prefix" WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export DISPLAY=$display
    if ! xdpyinfo >/dev/null 2>&1; then
        Xvfb $display -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
        # A window manager, so that a window can be given the keyboard as a clerk's would.
        openbox >/dev/null 2>&1 &
    fi
    if [ ! -d "$wine_prefix" ]; then
        wineboot --init >/dev/null 2>&1
        wineserver -w
    fi
    # Qt's and the compiler's libraries, for the programs run from the build folder.
    local path="" dir
    for dir in "$prefix/bin" "${mingw_runtime[@]}"; do path+="$(winepath -w "$dir" 2>/dev/null);"; done
    export WINEPATH="$path"
}

build_program() {
    step "Kalvendor for Windows"
    # Qt's own texts in Croatian, where Qt looks for them.
    mkdir -p "$prefix/translations"
    cp /usr/share/qt6/translations/qtbase_hr.qm "$prefix/translations/"
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DKALVENDOR_WERROR=ON \
        -DKALVENDOR_BENCH=OFF -DCMAKE_CROSSCOMPILING_EMULATOR="$src/scripts/wine-test.sh" >/dev/null
    cmake --build "$build" -j"$jobs"
}

run_tests() {
    step "The tests under Wine"
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j1 --timeout 600 "$@")
}

lay_out_portable() {
    step "The portable folder"
    rm -rf "$portable"
    mkdir -p "$portable/platforms" "$portable/styles" "$portable/translations"
    cp "$build/kalvendor.exe" "$portable/"
    cp "$prefix"/bin/Qt6{Core,Gui,Widgets,PrintSupport}.dll "$portable/"
    cp "$prefix/plugins/platforms/qwindows.dll" "$portable/platforms/"
    cp "$prefix/plugins/styles/qwindowsvistastyle.dll" "$portable/styles/" 2>/dev/null || true
    cp "$prefix/translations/qtbase_hr.qm" "$portable/translations/"
    local dll
    for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
        cp "$(find "${mingw_runtime[@]}" -name "$dll" | head -n1)" "$portable/"
    done
    cp "$src/resources/icons/kalvendor.ico" "$portable/"
    printf '[Paths]\nPrefix=.\nPlugins=.\nTranslations=translations\n' >"$portable/qt.conf"
}

version=""
setup=""
package() {
    step "The installer and the portable zip"
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    setup="$build/Kalvendor-$version-Setup.exe"
    makensis -V2 -DVERSION="$version" -DPORTABLE="$portable" -DOUTFILE="$setup" \
        "$src/cmake/Installer.nsi"
    rm -f "$build/Kalvendor-$version-portable.zip"
    (cd "$build" && zip -qr "Kalvendor-$version-portable.zip" Kalvendor)
    echo "$setup"
}

# Installs silently into a fresh Wine prefix, starts the installed program in the clerk's
# Documents\Kalvendor, types a record and closes; "Baza.xml" must hold it, also after the
# program is uninstalled.
installer_test() {
    step "The installer under Wine"
    local wp="$build/wine-install"
    rm -rf "$wp" "$wp-home"
    mkdir -p "$wp-home"
    (
        # A home of its own: Wine links the prefix's Documents to $HOME, and a folder left
        # there by an earlier trial would hold another program's database and lock.
        export WINEPREFIX="$wp" WINEPATH= HOME="$wp-home"
        wineboot --init >/dev/null 2>&1
        wineserver -w
        wine "$setup" /S
        wineserver -w
        local home="$wp/drive_c/users/$(id -un)"
        local program="$home/AppData/Local/Programs/Kalvendor/kalvendor.exe"
        local docs="$home/Documents/Kalvendor"
        [ -f "$program" ] || { echo "Program nije instaliran." >&2; exit 1; }
        [ -d "$docs" ] || { echo "Mapa Documents\\Kalvendor nije stvorena." >&2; exit 1; }
        (cd "$docs" && wine "$program" >/dev/null 2>&1 &)
        wait_for_window "Kalvendor" || { echo "Poruka pri pokretanju se nije pojavila." >&2; exit 1; }
        dismiss_start_message ||
            { echo "Glavni prozor se nije pojavio." >&2; exit 1; }
        local window
        window=$(xdotool search --name '^Kalvendor - suglasnost' | head -n1)
        xdotool windowactivate --sync "$window" mousemove --window "$window" 8 300 click 1
        sleep 1
        xdotool key --delay 100 Return
        xdotool type --delay 60 30049000
        xdotool key Tab
        xdotool type --delay 60 "Aspirin 500"
        xdotool key Tab
        sleep 1
        xdotool key alt+F4
        wineserver -w
        grep -q 'Aspirin 500' "$docs/Baza.xml" || { echo "Baza.xml ne sadrži upisani zapis." >&2; exit 1; }
        wine "$home/AppData/Local/Programs/Kalvendor/Uninstall.exe" /S
        wineserver -w
        sleep 2
        [ ! -e "$program" ] || { echo "Program nije uklonjen." >&2; exit 1; }
        grep -q 'Aspirin 500' "$docs/Baza.xml" || { echo "Uklanjanje je izbrisalo podatke." >&2; exit 1; }
    )
}

# Starts the portable program in an empty folder: the start-up message, then the main window,
# found by their titles.
smoke_test() {
    step "The program under Wine"
    local work="$build/smoke" shot="$build/kalvendor-windows.png"
    rm -rf "$work" && mkdir -p "$work"
    (cd "$work" && WINEPATH= wine "$portable/kalvendor.exe" >/dev/null 2>&1 &)
    wait_for_window "Kalvendor" || { echo "Poruka pri pokretanju se nije pojavila." >&2; return 1; }
    dismiss_start_message ||
        { echo "Glavni prozor se nije pojavio." >&2; return 1; }
    sleep 2
    import -window root "$shot"
    # "Baza.xml" was written at the start; the program is not needed any longer.
    wineserver -k
    [ -f "$work/Baza.xml" ] || { echo "Baza.xml nije zapisana." >&2; return 1; }
    echo "Snimka zaslona: $shot"
}

# Answers the start-up message until the main window is there: a key sent before the box can
# take it is lost.
dismiss_start_message() {
    local box WIDTH HEIGHT
    for _ in $(seq 30); do
        xdotool search --name '^Kalvendor - suglasnost' >/dev/null 2>&1 && return 0
        box=$(xdotool search --name '^Kalvendor$' 2>/dev/null | tail -n1)
        if [ -n "$box" ] && eval "$(xdotool getwindowgeometry --shell "$box" 2>/dev/null)"; then
            # A click on "U redu" at the box's lower right: Wine does not always give a fresh
            # window the keyboard.
            xdotool windowactivate --sync "$box" mousemove --window "$box" $((WIDTH - 49)) \
                $((HEIGHT - 23)) click 1 2>/dev/null
        fi
        sleep 1
    done
    return 1
}

wait_for_window() {
    for _ in $(seq 300); do
        xdotool search --name "^$1\$" >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    return 1
}

build_program
start_wine
if [ "${1:-}" = --tests ]; then
    shift
    run_tests "$@"
    exit
fi
run_tests
lay_out_portable
smoke_test
package
installer_test
echo "Windows: svi testovi prošli pod Wineom; program se pokreće do glavnog prozora; izgrađeni $(basename "$setup") i prijenosni zip; instalirani program upisuje i čuva Baza.xml."
