# Each exe's icon and version resource, compiled by windres (RC is enabled at
# the top, the common ancestor of app/, cli/ and this folder).
function(loggercfg_version_resource target description)
  set(RC_NAME ${target})
  set(RC_DESCRIPTION ${description})
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/windows/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY
    OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/resources/icons/loggercfg.ico)
endfunction()

loggercfg_version_resource(loggercfg "Data Logger Configuration")
loggercfg_version_resource(loggerctl "Data Logger Configuration, command line")
