# Sourced by the package tests: build_debs BUILD_DIR OUT_DIR packs the build
# into loggercfg_*.deb and loggercfg-emulator_*.deb in OUT_DIR.
build_debs() {
  # cpack works in the build tree's CPackConfig; -B keeps its scratch files
  # and packages out of the build tree so that runs do not meet.
  (cd "$1" && cpack -G DEB -B "$2" >"$2/cpack.log" 2>&1) || { cat "$2/cpack.log"; return 1; }
}
