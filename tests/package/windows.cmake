# The Windows installer under wine: built from the folder that
# scripts/build-windows lays out, at the version of the Linux build's packages.
set(LOGGERCFG_WINDOWS_DIST ${PROJECT_SOURCE_DIR}/dist/loggercfg-windows-x64 CACHE PATH
    "The folder scripts/build-windows lays out, which the installer packs")
add_test(NAME package-msi
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install-msi.sh
          ${LOGGERCFG_LINUX_BUILD} ${LOGGERCFG_WINDOWS_DIST} ${PROJECT_VERSION}
          ${plugin_dir} ${LOGGERCFG_QT_MINGW} ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(package-msi PROPERTIES LABELS package TIMEOUT 600)
