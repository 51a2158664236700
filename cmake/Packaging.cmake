# What `cpack` makes from the build: on Linux a Debian package holding the window (with its
# desktop entry and icons, installed by its own rules), strovanik-report and the manual
# pages; in the Windows cross build a .zip of the two programs.

set(CPACK_PACKAGE_NAME strovanik)
set(CPACK_PACKAGE_VENDOR Strovanik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(STROVANIK_PACKAGE_MAINTAINER "Strovanik developers <strovanik@invalid>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${STROVANIK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_CHECKSUM SHA256)
# The programs are built with debug information; the packages do without it.
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # A Windows user unpacks the programs and runs them where they are: no bin/ folder, no
  # installer. Only the programs go in, not the rest of what the cross build installs.
  set(windows_programs strovanik-report)
  if(TARGET strovanik)
    list(APPEND windows_programs strovanik)
  endif()
  install(TARGETS ${windows_programs} RUNTIME DESTINATION . COMPONENT windows_programs)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL windows_programs)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_PACKAGE_FILE_NAME strovanik-${PROJECT_VERSION}-win32)
  set(CPACK_ARCHIVE_FILE_NAME strovanik-${PROJECT_VERSION}-win32)
else()
  # Manual pages carry the version and are installed compressed, as Debian has them.
  find_program(STROVANIK_GZIP gzip REQUIRED)
  set(man_pages strovanik-report)
  if(TARGET strovanik)
    list(APPEND man_pages strovanik)
  endif()
  set(man_files)
  foreach(page IN LISTS man_pages)
    set(page_file ${PROJECT_BINARY_DIR}/man/${page}.1)
    configure_file(${PROJECT_SOURCE_DIR}/man/${page}.1 ${page_file} @ONLY)
    add_custom_command(OUTPUT ${page_file}.gz
                       COMMAND ${STROVANIK_GZIP} -9 -n -k -f ${page_file}
                       DEPENDS ${page_file}
                       COMMENT "Compressing the manual page ${page}(1)")
    list(APPEND man_files ${page_file}.gz)
  endforeach()
  add_custom_target(strovanik_man_pages ALL DEPENDS ${man_files})
  install(FILES ${man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Who made what the package holds, and on what terms: /usr/share/doc/strovanik/copyright.
  install(FILES ${PROJECT_SOURCE_DIR}/docs/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION video)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the programs link come from dpkg-shlibdeps (package dpkg-dev): those of
  # the window, since strovanik-report is linked statically and needs none. Qt's platform
  # plugins are loaded at run time, so no linked library names them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  if(TARGET strovanik)
    # Every caption of the window is Korean, and without a font that has Hangul each one is
    # a row of empty boxes, so a Korean font is a dependency, not a recommendation. The
    # report box needs a fixed-pitch one in which a Hangul syllable is two columns wide, and
    # either package below has one that also serves the captions; NanumGothic, the
    # captions' own proportional font, is only recommended.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-nanum-coding | fonts-noto-cjk")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-nanum)
  endif()
  set(CPACK_PACKAGE_DESCRIPTION
      "Strovanik recognises the container of a video file from its first bytes, reads the\n"
      "header records of an AVI file, names its video and sound codecs and works out its\n"
      "running time, frame rate, data rates and picture ratio. It writes a plain-text\n"
      "report in English, in Korean in full or in Korean in brief.\n"
      "\n"
      "The package holds the Qt window, strovanik, and the command-line tool\n"
      "strovanik-report, which also reports on whole folders as text, JSON or CSV.")
  string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
endif()

include(CPack)
