#!/usr/bin/env bash
# Builds the MSI, installs it quietly with msiexec into a fresh wine prefix,
# checks the files, the Start-menu shortcuts (the window, and a command prompt
# in which loggerctl runs by name), the installed-programs entry, the third-
# party notices and both exes' version resources, starts the installed exe offscreen until its
# window is shown (see ShownHook.cpp), uninstalls, and checks that all is gone.
#
#   install-msi.sh LINUX_BUILD DIST VERSION PLUGINS QT_MINGW SCRATCH
set -euo pipefail
linux_build=$1 dist=$2 version=$3 plugins=$4 qt=$5 scratch=$6
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

[[ -f $dist/loggercfg.exe ]] || { echo "FAIL: no $dist/loggercfg.exe; run scripts/build-windows first"; exit 1; }
mkdir -p "$scratch"
work=$(mktemp -d "$scratch/msi.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() { echo "FAIL: $*"; exit 1; }
windows_path() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }

msi=$work/loggercfg-$version-x64.msi
"$source_dir/packaging/windows/make-msi" "$linux_build" "$dist" "$msi"

wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; fail "wineboot -i"; }
wine msiexec /i "$(windows_path "$msi")" /qn || fail "msiexec /i ended with status $?"
wineserver -w

installed=$WINEPREFIX/drive_c/Program\ Files/loggercfg
(cd "$dist" && find . -type f) | while read -r file; do
  cmp -s "$dist/$file" "$installed/$file" || fail "$file is not installed as built"
done
# Windows puts a per-machine install's shortcut in the common Start menu; wine
# resolves ProgramMenuFolder to the user's own whatever the scope.
shortcut=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Data Logger Configuration.lnk')
[[ -n $shortcut ]] || fail "no Start-menu shortcut"
strings "$shortcut" | grep -qi 'loggercfg.exe' || fail "the shortcut does not start loggercfg.exe"

# loggerctl by its name in a command prompt: the second entry opens one with
# the folder on PATH.
prompt=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/loggerctl Command Prompt.lnk')
[[ -n $prompt ]] || fail "no Start-menu entry for a loggerctl command prompt"
strings "$prompt" | grep -qi 'cmd.exe' || fail "the loggerctl entry does not open a command prompt"
strings -el "$prompt" | grep -qi 'set PATH=C:\\Program Files\\loggercfg\\;%PATH%' \
  || fail "the loggerctl command prompt does not put the program's folder on PATH: $(strings -el "$prompt")"
by_name=$(cd "$work" && wine cmd /c 'set PATH=C:\Program Files\loggercfg\;%PATH%&& loggerctl --version' 2>/dev/null | tr -d '\r')
[[ $by_name == "loggerctl $version" ]] || fail "loggerctl does not run by its name with the folder on PATH: \"$by_name\""

# The third-party parts' notices and the licence texts they name.
grep -q 'toml++ 3.3.0' "$installed/THIRD-PARTY-NOTICES.txt" || fail "the notices do not name toml++"
grep -q 'Permission is hereby granted' "$installed/THIRD-PARTY-NOTICES.txt" || fail "the notices lack toml++'s licence"
grep -q 'GNU Lesser General Public License version 3' "$installed/THIRD-PARTY-NOTICES.txt" || fail "the notices lack Qt's licence"
for text in LGPL-3.txt GPL-3.txt GCC-RUNTIME-LIBRARY-EXCEPTION.txt; do
  [[ -s $installed/licenses/$text ]] || fail "licenses/$text is not installed"
done

uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
entries=$(wine reg query "$uninstall" /s 2>/dev/null | tr -d '\r')
grep -q 'DisplayName.*REG_SZ.*Data Logger Configuration' <<<"$entries" || fail "not among the installed programs"
grep -q "DisplayVersion.*REG_SZ.*$version" <<<"$entries" || fail "the installed programs do not show version $version"

# The console companion runs from the installed folder and answers on stdout.
[[ -f $installed/loggerctl.exe ]] || fail "loggerctl.exe is not installed"
ctl_version=$(wine 'C:\Program Files\loggercfg\loggerctl.exe' --version 2>/dev/null | tr -d '\r')
[[ $ctl_version == "loggerctl $version" ]] || fail "the installed loggerctl.exe says \"$ctl_version\""

x86_64-w64-mingw32-windres -J coff -O rc -i "$installed/loggercfg.exe" >"$work/resources.rc"
grep -q "VALUE \"ProductVersion\", \"$version\"" "$work/resources.rc" || fail "the exe's version resource is not $version"
grep -q 'RT_GROUP_ICON' "$work/resources.rc" || fail "the exe carries no icon"
x86_64-w64-mingw32-windres -J coff -O rc -i "$installed/loggerctl.exe" >"$work/ctl-resources.rc"
grep -q "VALUE \"ProductVersion\", \"$version\"" "$work/ctl-resources.rc" \
  || fail "loggerctl.exe's version resource is not $version"
grep -q 'VALUE "OriginalFilename", "loggerctl.exe"' "$work/ctl-resources.rc" || fail "loggerctl.exe's resource names another file"

# The shipped folder has no offscreen platform; the test brings it with its plugin.
mkdir -p "$work/plugins/platforms" "$work/plugins/generic"
cp "$qt/plugins/platforms/qoffscreen.dll" "$work/plugins/platforms/"
cp "$plugins"/generic/*.dll "$work/plugins/generic/"
# Wine keeps the Linux side's QT_ variables from Windows programs; the
# user's environment in the registry reaches them.
for setting in QT_QPA_PLATFORM=offscreen QT_QPA_GENERIC_PLUGINS=shownhook \
               "QT_PLUGIN_PATH=$(windows_path "$work/plugins")"; do
  wine reg add 'HKCU\Environment' /v "${setting%%=*}" /t REG_SZ /d "${setting#*=}" /f >/dev/null \
    || fail "cannot set ${setting%%=*}"
done
status=0
SHOWN_HOOK_REPORT=$(windows_path "$work/report") \
  timeout 120 wine 'C:\Program Files\loggercfg\loggercfg.exe' >"$work/output" 2>&1 || status=$?
report=$(tr -d '\r' <"$work/report" 2>/dev/null || true)
echo "$report"
[[ $status == 0 ]] || { cat "$work/output"; fail "loggercfg.exe ended with status $status"; }
grep -qx 'window TParamter 1388x789' <<<"$report" || fail "the window was not shown"
grep -qix 'help C:/Program Files/loggercfg/Help.pdf exists' <<<"$report" || fail "Help does not open the installed manual"

wine msiexec /x "$(windows_path "$msi")" /qn || fail "msiexec /x ended with status $?"
wineserver -w
[[ ! -e $installed ]] || fail "files are left in Program Files: $(find "$installed" | head -5)"
[[ ! -e $shortcut ]] || fail "the Start-menu shortcut is left"
[[ ! -e $prompt ]] || fail "the loggerctl command prompt entry is left"
! wine reg query "$uninstall" /s 2>/dev/null | tr -d '\r' | grep -q 'Data Logger Configuration' \
  || fail "still among the installed programs"
echo "MSI install test passed"
