#!/usr/bin/env bash
# The Windows release: cross-builds KVXMon.exe and kvxctl.exe (scripts/build-windows.sh), checks
# that both need no DLL beside them, and makes <build>/dist/KVXMon-<version>-setup.exe (NSIS) and
# the portable <build>/dist/KVXMon-<version>-windows-x64.zip. Then it installs the setup silently
# into a scratch Wine prefix and uninstalls it again, checking the files, the Start menu shortcut,
# its working folder, the Add/Remove Programs entry, and that the user's files stay.
# Usage: scripts/package-windows.sh [build-dir]   (default build-windows; installs what is missing)
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
build=${1:-build-windows}

scripts/install-deps.sh nsis zip python3
CCACHE_BASEDIR=${CCACHE_BASEDIR:-$source} CCACHE_NOHASHDIR=1 scripts/build-windows.sh "$build" >/dev/null
build=$(realpath "$build")
version=$(sed -n 's/^project(KVXMon VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package-windows: no version in CMakeLists.txt"; exit 1; }

failed=0
check() {  # check NAME CONDITION-COMMAND...
  local name=$1
  shift
  if "$@"; then echo "PASS $name"; else echo "FAIL $name"; failed=$((failed + 1)); fi
}

# Linked statically: every DLL a program imports is one that Windows itself brings.
system_dlls='^(kernel32|user32|gdi32|comctl32|comdlg32|winspool\.drv|shell32|advapi32|ole32|oleaut32|uxtheme|shcore|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$|^winspool\.drv$'
only_system_dlls() {  # only_system_dlls EXE
  local others
  others=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p' |
    tr 'A-Z' 'a-z' | grep -Ev "$system_dlls" || true)
  [ -z "$others" ] || { echo "  $1 imports: $others"; false; }
}
check "KVXMon.exe imports only system DLLs" only_system_dlls "$build/KVXMon.exe"
check "kvxctl.exe imports only system DLLs" only_system_dlls "$build/kvxctl.exe"
resources=$(x86_64-w64-mingw32-windres -i "$build/KVXMon.exe" -O rc 2>/dev/null || true)
check "KVXMon.exe: version $version" grep -q "\"FileVersion\", \"$version\"" <<<"$resources"
check "KVXMon.exe: manifest with per-monitor v2 DPI awareness and Common Controls 6" sh -c \
  'echo "$1" | grep -q "^1 24 /\* RT_MANIFEST" && echo "$1" | grep -q ">PerMonitorV2" &&
   echo "$1" | grep -q "Microsoft.Windows.Common-Controls"' _ "$resources"
[ "$failed" -eq 0 ] || { echo "package-windows: $failed failed"; exit 1; }

dist=$build/dist
rm -rf "$dist"
mkdir -p "$dist"
setup=$dist/KVXMon-$version-setup.exe
size_kb=$(du -ck "$build/KVXMon.exe" "$build/kvxctl.exe" README.md LICENSE | tail -1 | cut -f1)
makensis -V2 -DVERSION="$version" -DBUILD="$build" -DSOURCE="$source" -DOUTFILE="$setup" \
  -DSIZE_KB="$size_kb" packaging/windows/kvxmon.nsi
portable=KVXMon-$version-windows-x64
mkdir "$dist/$portable"
cp "$build/KVXMon.exe" "$build/kvxctl.exe" README.md LICENSE "$dist/$portable/"
(cd "$dist" && zip -q -X -r "$portable.zip" "$portable" && rm -r "$portable")
echo "$setup: $(file -b "$setup")"
echo "$dist/$portable.zip"
check "the zip holds both programs, README and LICENSE" sh -c \
  '[ "$(zip -sf "$1" | grep -cE "^  $2/(KVXMon\.exe|kvxctl\.exe|README\.md|LICENSE)\$")" = 4 ]' \
  _ "$dist/$portable.zip" "$portable"

# The setup under Wine, in a prefix of its own, bounded in time, leaving no wineserver behind.
scratch=$(mktemp -d /tmp/kvx-setup.XXXXXX)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" HOME=$scratch
unset DISPLAY
WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
cleanup() {
  timeout 20 "$WINESERVER" -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
wine() { timeout 120 "$WINE" "$@" 2>>"$scratch/wine.log"; }
unix_path() { wine winepath -u "$1" | tr -d '\r'; }
timeout 240 "$WINE" wineboot -i >"$scratch/wine.log" 2>&1
wine "$setup" /S
timeout 60 "$WINESERVER" -w

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KVXMon'
programs=$(unix_path 'C:\Program Files\KVXMon')
menu=$(unix_path "$(wine cmd /c echo %APPDATA% | tr -d '\r')")/Microsoft/Windows/Start\ Menu/Programs
# The "Start in" folder of a shell link (MS-SHLLINK: header, ID list, link info, then the counted
# strings name, relative path, working folder, each present when its flag is set).
working_folder() {
  python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 20)[0]
pos = 76
if flags & 0x1:
    pos += 2 + struct.unpack_from("<H", data, pos)[0]
if flags & 0x2:
    pos += struct.unpack_from("<I", data, pos)[0]
unicode = flags & 0x80
for bit in (0x4, 0x8, 0x10):
    if flags & bit:
        count = struct.unpack_from("<H", data, pos)[0]
        size = count * (2 if unicode else 1)
        text = data[pos + 2 : pos + 2 + size].decode("utf-16-le" if unicode else "mbcs")
        pos += 2 + size
        if bit == 0x10:
            print(text.rstrip("\0"))
EOF
}
check "setup /S: both programs, README and LICENSE in Program Files\\KVXMon" \
  test -f "$programs/KVXMon.exe" -a -f "$programs/kvxctl.exe" -a -f "$programs/README.md" \
  -a -f "$programs/LICENSE"
check "setup /S: the installed KVXMon.exe is the built one" cmp "$programs/KVXMon.exe" "$build/KVXMon.exe"
check "setup /S: a Start menu shortcut" test -f "$menu/KVXMon.lnk"
work_win=$(working_folder "$menu/KVXMon.lnk" 2>/dev/null || true)
work=$([ -n "$work_win" ] && unix_path "$work_win" || true)
check "the shortcut starts in a folder of the user's ($work_win)" \
  sh -c '[ -n "$1" ] && [ -d "$1" ] && touch "$1/KVXMon.cnf" && case "$2" in *"Program Files"*) false;; esac' \
  _ "$work" "$work_win"
check "Add/Remove Programs: name, version, publisher, uninstaller" sh -c \
  'for v in DisplayName DisplayVersion Publisher UninstallString; do echo "$1" | grep -q "$v" || exit 1; done;
   echo "$1" | grep -q "DisplayVersion.*$2"' _ "$(wine reg query "$key" | tr -d '\r\0')" "$version"

[ -n "$work" ] && printf 'the user'"'"'s settings' >"$work/KVXMon.cnf" || true
wine "C:\\Program Files\\KVXMon\\Uninstall.exe" /S
timeout 60 "$WINESERVER" -w  # the uninstaller runs on from a copy of itself
check "uninstall /S: the programs and the shortcut are gone" \
  sh -c '! [ -e "$1/KVXMon.exe" ] && ! [ -e "$1/kvxctl.exe" ] && ! [ -e "$2/KVXMon.lnk" ]' \
  _ "$programs" "$menu"
check "uninstall /S: Add/Remove Programs entry gone" sh -c '! timeout 60 "$1" reg query "$2" >/dev/null 2>&1' \
  _ "$WINE" "$key"
check "uninstall /S: KVXMon.cnf in the working folder stays" \
  sh -c '[ -n "$1" ] && [ "$(cat "$1/KVXMon.cnf")" = "the user'"'"'s settings" ]' _ "$work"

[ "$failed" -eq 0 ] || { echo "package-windows: $failed failed"; exit 1; }
echo "package-windows: $setup and $dist/$portable.zip"
