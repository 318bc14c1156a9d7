# Install rules for a Debian-style layout under CMAKE_INSTALL_PREFIX, in two
# components, and CPack's DEB generator that turns each into a package.
set(LOGGERCFG_MAINTAINER "The loggercfg developers <maintainers@loggercfg.invalid>"
    CACHE STRING "Maintainer of the Debian packages")
set(linux_dir ${CMAKE_CURRENT_SOURCE_DIR}/linux)
set(generated ${CMAKE_CURRENT_BINARY_DIR}/linux)

# Debian wants the package's file modes whatever the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

execute_process(COMMAND date -u -R -d "${LOGGERCFG_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE LOGGERCFG_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

configure_file(${linux_dir}/loggercfg.desktop.in ${generated}/${LOGGERCFG_APP_ID}.desktop COPYONLY)
configure_file(${linux_dir}/loggercfg.metainfo.xml.in ${generated}/${LOGGERCFG_APP_ID}.metainfo.xml @ONLY)

# Man pages and changelogs go compressed, with no name or time stamp in the
# gzip header, so that two builds give the same package.
set(compressed "")
function(loggercfg_gzip input output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9 -n -c ${input} > ${output}
    DEPENDS ${input}
    VERBATIM)
  set(compressed ${compressed} ${output} PARENT_SCOPE)
endfunction()

foreach(page loggercfg loggerctl logger-emulator)
  configure_file(${linux_dir}/${page}.1.in ${generated}/${page}.1 @ONLY)
  loggercfg_gzip(${generated}/${page}.1 ${generated}/${page}.1.gz)
endforeach()
foreach(PACKAGE loggercfg loggercfg-emulator)
  configure_file(${linux_dir}/changelog.in ${generated}/${PACKAGE}/changelog @ONLY)
  loggercfg_gzip(${generated}/${PACKAGE}/changelog ${generated}/${PACKAGE}/changelog.gz)
endforeach()
add_custom_target(package-files ALL DEPENDS ${compressed})

# The program
install(TARGETS loggercfg RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT loggercfg)
install(FILES ${generated}/${LOGGERCFG_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT loggercfg)
install(FILES ${generated}/${LOGGERCFG_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo COMPONENT loggercfg)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/loggercfg-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
          RENAME loggercfg.png COMPONENT loggercfg)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/loggercfg.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps COMPONENT loggercfg)
install(FILES ${LOGGERCFG_HELP_PDF} ${linux_dir}/copyright ${generated}/loggercfg/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/loggercfg COMPONENT loggercfg)
install(FILES ${generated}/loggercfg.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT loggercfg)
# Its command-line companion
install(TARGETS loggerctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT loggercfg)
install(FILES ${generated}/loggerctl.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT loggercfg)

# The emulator
install(TARGETS logger-emulator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT emulator)
install(FILES ${linux_dir}/copyright ${generated}/loggercfg-emulator/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/loggercfg-emulator COMPONENT emulator)
install(FILES ${generated}/logger-emulator.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT emulator)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME loggercfg)
set(CPACK_PACKAGE_VENDOR "The loggercfg developers")
set(CPACK_PACKAGE_CONTACT "${LOGGERCFG_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL loggercfg emulator)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LOGGERCFG_MAINTAINER}")

set(CPACK_DEBIAN_LOGGERCFG_PACKAGE_NAME loggercfg)
# loggerctl prints its configuration records as PDF, which needs a font; the
# shared libraries alone do not pull one in.
set(CPACK_DEBIAN_LOGGERCFG_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_COMPONENT_LOGGERCFG_DESCRIPTION
"configuration tool for temperature and humidity data loggers
loggercfg reads the parameter set of a temperature and humidity data logger
over a serial port, shows it in one window for editing, checks the entries
and writes it back together with the computer's clock.

Its command-line companion loggerctl reads a logger into a settings file,
writes a settings file to a logger and verifies every setting, keeps a
backup of what the logger held, and compares a file with a logger. It also
prepares loggers in series from one template, keeping a tamper-evident audit
log and a printed configuration record of each.

To open a serial port the user must be a member of the dialout group.")

set(CPACK_DEBIAN_EMULATOR_PACKAGE_NAME loggercfg-emulator)
set(CPACK_DEBIAN_EMULATOR_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_EMULATOR_DESCRIPTION
"data logger emulator for trying loggercfg without hardware
logger-emulator answers like a temperature and humidity data logger on a
pseudo-terminal and registers it as a serial port for loggercfg, so that the
tool can be tried and tested without a logger.")

# Each package's first description line is its own summary.
set(CPACK_PROJECT_CONFIG_FILE ${linux_dir}/cpack-options.cmake)

include(CPack)
