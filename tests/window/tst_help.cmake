# The manual's test reads the Help.pdf that the build put next to loggercfg.
# The Windows build has no renderer of its own; its test of the text is skipped.
if(TARGET help-pdf)
  add_dependencies(tst_help help-pdf)
endif()
target_compile_definitions(tst_help PRIVATE
  LOGGERCFG_PROGRAM_DIR="$<TARGET_FILE_DIR:loggercfg>"
  LOGGERCFG_MANUAL="${PROJECT_SOURCE_DIR}/docs/manual.md")
