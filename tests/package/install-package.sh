#!/usr/bin/env bash
# Installs the Debian packages with apt as a user would, starts the installed
# program offscreen until its window is on screen, checks that its Help button
# finds the installed manual, and removes the packages, also on failure.
#
# The program takes no command line and has no test switch, so a small Qt
# plugin (ShownHook.cpp), loaded through Qt's own environment variables,
# reports the first window the platform exposes and the path Help opens, then
# ends the program.
set -euo pipefail
build=$1 version=$2 app_id=$3 plugins=$4
here=$(dirname "$0")
source "$here/build-debs.sh"

if [[ $(id -u) -ne 0 ]]; then
  echo "SKIPPED: installing a package needs root, and this runs as $(id -un); CI runs it as root"
  exit 77
fi
for package in loggercfg loggercfg-emulator; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
    echo "SKIPPED: $package is already installed on this machine, and this test would remove it"
    exit 77
  fi
done

work=$(mktemp -d)
installed=0
cleanup() {
  if [[ $installed == 1 ]]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq loggercfg loggercfg-emulator >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

build_debs "$build" "$work"
installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "$work/loggercfg_${version}_amd64.deb" "$work/loggercfg-emulator_${version}_amd64.deb" >"$work/apt.log" 2>&1 \
  || { cat "$work/apt.log"; echo "FAIL: apt-get install"; exit 1; }
[[ $(dpkg-query -W -f='${Version}' loggercfg) == "$version" ]] || { echo "FAIL: installed version"; exit 1; }
for file in /usr/bin/loggercfg /usr/bin/loggerctl /usr/bin/logger-emulator /usr/share/doc/loggercfg/Help.pdf \
            "/usr/share/applications/$app_id.desktop" "/usr/share/metainfo/$app_id.metainfo.xml" \
            /usr/share/icons/hicolor/48x48/apps/loggercfg.png /usr/share/man/man1/loggercfg.1.gz \
            /usr/share/man/man1/loggerctl.1.gz; do
  [[ -f $file ]] || { echo "FAIL: $file was not installed"; exit 1; }
done

# A clean environment, as from a desktop menu: nothing from the build tree.
mkdir -m 0700 "$work/runtime"
run() {
  env -i PATH=/usr/bin:/bin HOME="$work" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen "$@"
}
status=0
run QT_PLUGIN_PATH="$plugins" QT_QPA_GENERIC_PLUGINS=shownhook SHOWN_HOOK_REPORT="$work/report" \
  timeout 60 /usr/bin/loggercfg >"$work/output" 2>&1 || status=$?
report=$(cat "$work/report" 2>/dev/null || true)
echo "$report"
if [[ $status != 0 ]]; then
  echo "FAIL: loggercfg ended with status $status"
  cat "$work/output"
  exit 1
fi
grep -qx 'window TParamter 1388x789' <<<"$report" || { echo "FAIL: the window was not shown"; exit 1; }
grep -qx 'help /usr/share/doc/loggercfg/Help.pdf exists' <<<"$report" \
  || { echo "FAIL: Help does not open the installed manual"; exit 1; }

# The emulator starts, registers its port and ends on a signal; meanwhile the
# installed loggerctl reads it.
run timeout -s INT 5 /usr/bin/logger-emulator --name ttyPACKAGE0 >"$work/emulator" 2>&1 &
emulator_pid=$!
for ((i = 0; i < 50; ++i)); do
  grep -q 'is /dev/pts/' "$work/emulator" && break
  sleep 0.1
done
settings=$(run /usr/bin/loggerctl read --port ttyPACKAGE0 2>&1) || { echo "FAIL: loggerctl read: $settings"; exit 1; }
grep -q '^"Serial Number" = "A05123456"' <<<"$settings" || { echo "FAIL: loggerctl read gave: $settings"; exit 1; }
wait "$emulator_pid" || [[ $? == 124 ]]
grep -q '^logger-emulator: port ttyPACKAGE0 is /dev/pts/' "$work/emulator" \
  || { echo "FAIL: the emulator did not start: $(cat "$work/emulator")"; exit 1; }

DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq loggercfg loggercfg-emulator >/dev/null
installed=0
for path in /usr/bin/loggercfg /usr/bin/loggerctl /usr/bin/logger-emulator /usr/share/doc/loggercfg "/usr/share/applications/$app_id.desktop"; do
  [[ ! -e $path ]] || { echo "FAIL: $path is left after removal"; exit 1; }
done
echo "package install test passed"
