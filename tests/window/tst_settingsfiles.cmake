# Decimal texts use the locale's separator in the window and a point in files:
# the same test again where the separator is a comma.
add_test(NAME window-settingsfiles-comma COMMAND tst_settingsfiles)
set_tests_properties(window-settingsfiles-comma PROPERTIES
  LABELS window
  TIMEOUT 120
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=de_DE.UTF-8;LANG=de_DE.UTF-8")
