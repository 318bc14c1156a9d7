# Settings travel from the window through a file and loggerctl to a logger.
target_link_libraries(tst_filesroundtrip PRIVATE settings)
target_compile_definitions(tst_filesroundtrip PRIVATE LOGGERCTL="$<TARGET_FILE:loggerctl>")
add_dependencies(tst_filesroundtrip loggerctl)
add_test(NAME e2e-filesroundtrip-comma COMMAND tst_filesroundtrip)
set_tests_properties(e2e-filesroundtrip-comma PROPERTIES
  LABELS e2e
  TIMEOUT 300
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=de_DE.UTF-8;LANG=de_DE.UTF-8")
