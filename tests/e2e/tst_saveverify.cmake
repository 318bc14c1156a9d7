# The window's Save and loggerctl write append to one sealed audit log.
target_compile_definitions(tst_saveverify PRIVATE LOGGERCTL="$<TARGET_FILE:loggerctl>")
add_dependencies(tst_saveverify loggerctl)
if(LOGGERCFG_SANITIZE STREQUAL "thread")
  # loggerctl is started while the emulator's threads run; the race detector
  # would end the forked child, which does nothing but exec the program.
  set_tests_properties(e2e-saveverify PROPERTIES
    ENVIRONMENT_MODIFICATION "TSAN_OPTIONS=string_append: die_after_fork=0")
endif()
