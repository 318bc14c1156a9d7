# The exe's icon and version resource, compiled by windres (RC is enabled at
# the top, the common ancestor of app/ and this folder).
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/windows/loggercfg.rc.in ${CMAKE_CURRENT_BINARY_DIR}/loggercfg.rc @ONLY)
target_sources(loggercfg PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/loggercfg.rc)
set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/loggercfg.rc APPEND PROPERTY
  OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/resources/icons/loggercfg.ico)
