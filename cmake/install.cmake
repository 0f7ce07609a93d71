# What `cmake --install` puts where: the programs, their man pages, the shell
# completion, and for the desktop program its desktop entry, icon and
# AppStream metadata. Paths follow GNUInstallDirs.

set(LAB_APP_ID org.encounterlab.encounter)

set(LAB_RESOURCES ${PROJECT_SOURCE_DIR}/resources)

# Man pages, made from each program's --help and --version, with examples and
# cross references from resources/NAME.h2m, compressed as Debian keeps them. help2man is optional: without it the programs install
# without man pages.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
function(lab_man_page target summary)
  set(page ${CMAKE_BINARY_DIR}/man/${target}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${HELP2MAN} --no-info --name ${summary} --include ${LAB_RESOURCES}/${target}.h2m
            --output ${page} $<TARGET_FILE:${target}>
    COMMAND ${GZIP} -9nf ${page}
    DEPENDS ${target} ${LAB_RESOURCES}/${target}.h2m
    COMMENT "Making the man page of ${target}"
    VERBATIM)
  add_custom_target(${target}-man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

if(HELP2MAN AND GZIP)
  lab_man_page(encounter-batch "series of three-body encounter tests without windows, as CSV")
  if(ENCOUNTER_GUI)
    lab_man_page(encounter "laboratory for close encounters of three gravitating bodies")
  endif()
else()
  message(STATUS "help2man or gzip not found: the programs install without man pages")
endif()

install(FILES ${LAB_RESOURCES}/encounter-batch.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME encounter-batch)

if(ENCOUNTER_GUI)
  install(FILES ${LAB_RESOURCES}/${LAB_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # The release of this version, with its number and date, from CMakeLists.txt.
  configure_file(${LAB_RESOURCES}/${LAB_APP_ID}.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/generated/${LAB_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/generated/${LAB_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${LAB_RESOURCES}/encounter.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# The licence and the changelog, where a Debian package keeps them: under the
# package's name.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/encounter-lab)

# The library for other programs: find_package(EncounterLab), then
# target_link_libraries(app EncounterLab::encounter).
include(CMakePackageConfigHelpers)
set(LAB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/EncounterLab)
install(TARGETS encounter_library EXPORT EncounterLabTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime
        NAMELINK_COMPONENT Development)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/encounter
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development PATTERN "*.in" EXCLUDE)
install(FILES ${CMAKE_BINARY_DIR}/generated/include/encounter/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/encounter COMPONENT Development)
install(EXPORT EncounterLabTargets NAMESPACE EncounterLab::
        DESTINATION ${LAB_CMAKE_DIR} COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/EncounterLabConfig.cmake.in
  ${CMAKE_BINARY_DIR}/EncounterLabConfig.cmake INSTALL_DESTINATION ${LAB_CMAKE_DIR})
# Before 1.0 a minor version may change the API.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/EncounterLabConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/EncounterLabConfig.cmake
        ${CMAKE_BINARY_DIR}/EncounterLabConfigVersion.cmake
        DESTINATION ${LAB_CMAKE_DIR} COMPONENT Development)
