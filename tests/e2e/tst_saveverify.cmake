# The window's Save and loggerctl write append to one sealed audit log.
target_compile_definitions(tst_saveverify PRIVATE LOGGERCTL="$<TARGET_FILE:loggerctl>")
add_dependencies(tst_saveverify loggerctl)
