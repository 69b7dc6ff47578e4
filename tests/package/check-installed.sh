#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks what a user would get on their system, in a temporary folder:
#   check-installed.sh tree BUILD_DIR   `cmake --install` of the build
#   check-installed.sh deb BUILD_DIR    the unpacked package scripts/package built there
# The programs must run from there (zelcor-cli with no display), and the desktop entry,
# metainfo, manual pages and completion must be sound. Exits 77 (a skipped test) when there
# is no package, or only one older than the build.
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
# The installed programs run with a home of their own: nothing they keep reaches the user's.
export HOME="$root/home" XDG_CONFIG_HOME="$root/home/.config" XDG_DATA_HOME="$root/home/.local/share"
export XDG_CACHE_HOME="$root/home/.cache"
mkdir -p "$HOME"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

case "$mode" in
tree)
    cmake --install "$build" --prefix "$root/usr" >/dev/null
    ;;
deb)
    deb=$(ls -t "$build"/zelcor_*.deb 2>/dev/null | head -n 1 || true)
    if [ -z "$deb" ]; then
        echo "SKIP: no package in $build; scripts/package builds one and runs this check"
        exit 77
    fi
    if [ "$build/bin/zelcor" -nt "$deb" ]; then
        echo "SKIP: $(basename "$deb") is older than the build; scripts/package makes a new one"
        exit 77
    fi
    dpkg-deb -x "$deb" "$root"
    version=$(dpkg-deb -f "$deb" Version)
    dpkg-deb -f "$deb" Depends | grep -q 'fonts-noto-cjk' ||
        fail "the package does not depend on the font for the Chinese captions"
    dpkg-deb -f "$deb" Depends | grep -q 'libqt6sql6-sqlite' ||
        fail "the package does not depend on the SQLite driver its records are written with"
    [ "$(basename "$deb")" = "zelcor_${version}_$(dpkg --print-architecture).deb" ] ||
        fail "package file name $(basename "$deb") does not carry version $version"
    ;;
*)
    fail "mode must be tree or deb, not $mode"
    ;;
esac
usr="$root/usr"

for program in zelcor zelcor-cli zelcor-sim; do
    [ -x "$usr/bin/$program" ] || fail "$program is not installed"
    out=$("$usr/bin/$program" --help) || fail "$program --help exited $?"
    grep -q "^Usage: $program" <<<"$out" || fail "$program --help printed: $out"
    man_page="$usr/share/man/man1/$program.1.gz"
    [ -f "$man_page" ] || fail "no manual page for $program"
    warnings=$(man --warnings -l "$man_page" 2>&1 >/dev/null) || fail "man cannot read $man_page"
    [ -z "$warnings" ] || fail "manual page of $program: $warnings"
done
# zelcor-cli needs no display and no widgets (Qt Gui only for the certificate, offscreen); a
# fresh home hands out request code 0001.
completion="$usr/share/bash-completion/completions/zelcor-cli"
[ -f "$completion" ] && bash -n "$completion" || fail "no sound bash completion for zelcor-cli"
! ldd "$usr/bin/zelcor-cli" | grep -E 'libQt6Widgets' || fail "zelcor-cli links Qt Widgets"
cli=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/zelcor-cli" --simulator)
out=$("${cli[@]}" dump) || fail "zelcor-cli --simulator dump exited $?"
[ "$(grep -c '^[0-9A-F][0-9A-F]H:.* [0-9A-F][0-9A-F]$' <<<"$out")" -eq 39 ] ||
    fail "zelcor-cli dump did not print the 39 cells 07H to 2DH: $out"
out=$("${cli[@]}" get --direction cw) || fail "zelcor-cli --simulator get exited $?"
grep -q '^Request 00010001/' <<<"$out" || fail "zelcor-cli get printed: $out"
grep -q 'lastCode=1' "$XDG_CONFIG_HOME/Zelcor/Zelcor.conf" || fail "the request code is not kept in the home"
printed=$("$usr/bin/zelcor" --version)
if [ "$mode" = deb ]; then
    [ "$printed" = "zelcor $version" ] || fail "zelcor --version printed '$printed', the package is $version"
fi

desktop=("$usr"/share/applications/*.desktop)
[ ${#desktop[@]} -eq 1 ] && [ -f "${desktop[0]}" ] || fail "expected one desktop entry"
desktop-file-validate "${desktop[0]}" || fail "desktop entry is not valid"
icon=$(sed -n 's/^Icon=//p' "${desktop[0]}")
[ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "icon $icon is not installed"
# The entry and each of its actions: the program is installed and takes the options (--help
# after them exits 0 only when it does: --language en needs the English texts in it).
while read -r exec_line; do
    read -r -a words <<<"$exec_line"
    [ -x "$usr/bin/${words[0]}" ] || fail "desktop entry runs ${exec_line}, which is not installed"
    "$usr/bin/${words[0]}" "${words[@]:1}" --help >/dev/null ||
        fail "desktop entry runs ${exec_line}, which its program refuses"
done < <(sed -n 's/^Exec=//p' "${desktop[0]}")
for metainfo in "$usr"/share/metainfo/*.metainfo.xml; do
    appstreamcli validate --no-net "$metainfo" >/dev/null || fail "$metainfo is not valid"
done
grep -q "GPL-3" "$usr/share/doc/zelcor/copyright" || fail "copyright does not name the licence"
zgrep -q '^## Playing a script' "$usr/share/doc/zelcor/README.md.gz" ||
    fail "the README, with the script language, is not installed"
echo "ok: $mode"
