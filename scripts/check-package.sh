#!/usr/bin/env bash
# Builds the Debian package and checks it as Debian and the desktops would: lintian, the metainfo
# and the desktop entry; then installs it, runs it without a display, looks for its manual page and
# removes it again. The machine's packages are left as they were found, also when a check fails.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build="$src/build-package"
package=kalvendor

# file: CPack looks for the programs to hand to dpkg-shlibdeps with it.
"$src/scripts/install-deps.sh" dpkg-dev file lintian appstream desktop-file-utils man-db

fail() {
    echo "check-package: $*" >&2
    exit 1
}
state() { dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || echo not-installed; }

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
# Other installations may hold dpkg's lock for a while.
apt=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=600)

# Replacing an installed copy and then removing it would not leave the machine as it was.
[ "$(state $package)" = not-installed ] || fail "$package je već instaliran; provjera ga ne dira."

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVENDOR_TESTS=OFF \
    -DKALVENDOR_BENCH=OFF >/dev/null
cmake --build "$build" -j2
rm -f "$build"/${package}_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build/${package}"_*.deb)
{ [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ]; } || fail "CPack nije napravio jedan paket."
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)

echo "== lintian"
lintian --fail-on error,warning --display-info --pedantic "$deb"

tmp=$(mktemp -d)
pulled=()
installing=false
cleanup() {
    local status=$?
    if $installing; then
        "${apt[@]}" remove --purge "$package" "${pulled[@]}" || status=1
    fi
    rm -rf "$tmp"
    exit $status
}
trap cleanup EXIT

echo "== metainfo i .desktop"
dpkg-deb -x "$deb" "$tmp/root"
metainfo="$tmp/root/usr/share/metainfo/example.kalvendor.Kalvendor.metainfo.xml"
report=$(appstreamcli validate --no-net "$metainfo") || fail "$report"
echo "$report"
! grep -q '^[EW]:' <<<"$report" || fail "metainfo ima pogrešaka ili upozorenja."
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo nema izdanje $version."
report=$(desktop-file-validate "$tmp/root/usr/share/applications/example.kalvendor.Kalvendor.desktop" 2>&1) ||
    fail "$report"
[ -z "$report" ] || fail "$report"

# Minimal images (debian:12-slim and the like) tell dpkg to leave manual pages out. The page is part
# of what is checked, so for this installation it alone is let in; the setting itself stays. dpkg
# reads its settings first, so the later include wins; it brings back the folders above a file only
# up to the pattern's first wildcard, hence the "*" right after man1/.
dpkg_options=()
if grep -qs '^path-exclude=\?[[:space:]]*/usr/share/man' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/*; then
    dpkg_options=(-o "DPkg::Options::=--path-include=/usr/share/man/man1/*$package.1*")
fi

echo "== instalacija"
# What apt will add besides the package, so that removing it takes that away too.
mapfile -t pulled < <("${apt[@]}" -s install "$deb" | awk -v p=$package '$1 == "Inst" && $2 != p { print $2 }' |
    while read -r name; do [ "$(state "$name")" = installed ] || echo "$name"; done)
installing=true
"${apt[@]}" "${dpkg_options[@]}" install "$deb"

echo "== pokretanje bez zaslona"
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=nema-zaslona)
printed=$("${no_display[@]}" /usr/bin/$package --version) || fail "--version nije uspio."
[ "$printed" = "Kalvendor $version" ] || fail "--version ispisuje '$printed', a paket je $version."
printed=$("${no_display[@]}" /usr/bin/$package --help) || fail "--help nije uspio."
grep -q -- '--version' <<<"$printed" || fail "--help ne ispisuje opcije: $printed"

echo "== priručnik"
page=$(env -u MANPATH man -w $package) || fail "man ne nalazi stranicu za $package."
[ "$page" = "/usr/share/man/man1/$package.1.gz" ] || fail "man nalazi $page."

echo "== uklanjanje"
installing=false
"${apt[@]}" remove --purge "$package" "${pulled[@]}"
[ "$(state $package)" = not-installed ] || fail "$package nije uklonjen."
echo "Paket $package $version je ispravan."
