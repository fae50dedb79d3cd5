#!/usr/bin/env bash
# Installs the Windows installer ($1) silently into a fresh Wine prefix, for every user (the
# default of an administrator) and then for the current user alone (/CurrentUser), and checks
# each time: both programs run (--version), the Start-menu entry is there, .am2 files open in
# quelvar-gsm.exe, the uninstaller is registered; then uninstalls silently and checks that no
# program file and no registration is left.
set -euo pipefail
installer=$(realpath "$1")
repo="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX=$repo/build-windows/wine-install-prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
version=$(sed -n 's/^project(QuelvarGsm VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A registry value as Wine's reg tool prints it, without the CR of its line ends.
reg_value() {
    wine reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'
}

check_mode() {
    local mode=$1 root=$2 folder=$3 menu=$4
    echo "-- $mode: install"
    wine "$installer" /S "/$mode"
    wineserver --wait
    [ -f "$folder/bin/quelvar-gsm.exe" ] || fail "no $folder/bin/quelvar-gsm.exe"
    [ -f "$folder/bin/quelvar-gsm-cli.exe" ] || fail "no quelvar-gsm-cli.exe"
    [ -f "$folder/README.md" ] || fail "no README.md"
    [ -f "$menu/Quelvar GSM.lnk" ] || fail "no Start-menu entry in $menu"
    local out
    out=$(wine "$folder/bin/quelvar-gsm.exe" --version 2>&1 | tr -d '\r')
    [ "$out" = "quelvar-gsm $version" ] || fail "quelvar-gsm.exe --version said \"$out\""
    out=$(wine "$folder/bin/quelvar-gsm-cli.exe" --version 2>&1 | tr -d '\r')
    grep -q "$version" <<<"$out" || fail "quelvar-gsm-cli.exe --version said \"$out\""
    [ "$(reg_value "$root\\Software\\Classes\\.am2")" = "QuelvarGsm.Settings" ] ||
        fail ".am2 is not associated"
    local command
    command=$(reg_value "$root\\Software\\Classes\\QuelvarGsm.Settings\\shell\\open\\command")
    grep -q 'quelvar-gsm.exe" "%1"' <<<"$command" || fail ".am2 opens with \"$command\""
    wine reg query "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuelvarGsm" \
        /v UninstallString >/dev/null 2>&1 || fail "the uninstaller is not registered"
    echo "   installed in $folder: both programs run, .am2 opens with $command"

    echo "-- $mode: uninstall"
    wine "$folder/Uninstall.exe" /S "/$mode"
    wineserver --wait  # the uninstaller runs from a copy of itself and ends after it
    [ ! -e "$folder" ] || fail "left behind: $(find "$folder" | head -n 5)"
    [ ! -e "$menu/Quelvar GSM.lnk" ] || fail "the Start-menu entry is left"
    [ -z "$(reg_value "$root\\Software\\Classes\\.am2")" ] || fail ".am2 is still associated"
    if wine reg query "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuelvarGsm" \
        >/dev/null 2>&1; then
        fail "the uninstaller is still registered"
    fi
    echo "   uninstalled: no program file, Start-menu entry or registration left"
}

wineserver --kill 2>/dev/null || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineboot --init >/dev/null 2>&1
wineserver --wait
trap 'wineserver --kill 2>/dev/null || true' EXIT
drive=$WINEPREFIX/drive_c
user_data=$(find "$drive/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
check_mode AllUsers HKLM "$drive/Program Files/Quelvar GSM" \
    "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs"
check_mode CurrentUser HKCU "$user_data/AppData/Local/Programs/Quelvar GSM" \
    "$user_data/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
echo "Installer: $(( $(stat -c %s "$installer") / 1024 )) KiB; installs, associates .am2 and" \
     "uninstalls silently, for every user and for the current user"
