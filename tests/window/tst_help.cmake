# The manual's test reads the Help.pdf that the build put next to loggercfg.
add_dependencies(tst_help help-pdf)
target_compile_definitions(tst_help PRIVATE
  LOGGERCFG_PROGRAM_DIR="$<TARGET_FILE_DIR:loggercfg>"
  LOGGERCFG_MANUAL="${PROJECT_SOURCE_DIR}/docs/manual.md")
