# The close test holds a port open: a pseudo-terminal on Linux, under wine one
# end of a null-modem pair that the driver maps.
if(WIN32)
  target_sources(tst_chrome PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/FarEnd_win.cpp)
  set_property(TARGET tst_chrome PROPERTY CROSSCOMPILING_EMULATOR ${WINE_RUN} --pair COM5,COM6 --)
else()
  target_sources(tst_chrome PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/FarEnd_unix.cpp)
endif()
