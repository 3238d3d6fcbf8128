# What the packages hold and how they are made: on Linux the install rules and CPack's Debian
# package, on Windows (cross-built) the target kt57_windows_packages for the NSIS installer and the
# portable zip. scripts/package.sh makes all three into dist/; docs/packaging.md explains them.
set(KT57_DIST_DIR "${PROJECT_SOURCE_DIR}/dist" CACHE PATH "Where the packages are written")
set(kt57_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(kt57_studio_page ${PROJECT_SOURCE_DIR}/tools/kt57-run/studio)

if(WIN32)
  find_program(KT57_MAKENSIS makensis)
  find_program(KT57_STRIP NAMES ${kt57_mingw_prefix}-strip strip)
  add_custom_target(kt57_windows_packages
    COMMAND ${CMAKE_COMMAND}
      -DVERSION=${KT57_VERSION}
      -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
      -DPROGRAM=$<TARGET_FILE:kt57d>
      -DRUN=$<TARGET_FILE:kt57-run>
      -DCHECK=$<TARGET_FILE:kt57-check>
      -DSTUDIO_PAGE=${kt57_studio_page}
      -DSUBSTITUTE=$<TARGET_FILE:kt57_ftd2xx_substitute>
      -DSTAGE=${PROJECT_BINARY_DIR}/windows-packages
      -DDIST=${KT57_DIST_DIR}
      -DMAKENSIS=${KT57_MAKENSIS}
      -DSTRIP=${KT57_STRIP}
      -P ${kt57_packaging}/windows/make_packages.cmake
    DEPENDS kt57d kt57-run kt57-check kt57_ftd2xx_substitute
    VERBATIM)
  return()
endif()

include(GNUInstallDirs)
# Debian 12's udev package keeps its rules there, and udev reads them from there.
set(KT57_UDEV_RULES_DIR "/lib/udev/rules.d" CACHE PATH "Where udev reads packaged rules")

# Debian wants manual pages and the changelog compressed without a time stamp (gzip -n).
set(kt57_man_pages kt57d kt57-board kt57-run kt57-check kt57-ctl)
set(kt57_compressed)
foreach(page IN LISTS kt57_man_pages)
  set(out ${PROJECT_BINARY_DIR}/packaging/${page}.1.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND sh -c "gzip -9n < '${kt57_packaging}/man/${page}.1' > '${out}'"
    DEPENDS ${kt57_packaging}/man/${page}.1 VERBATIM)
  list(APPEND kt57_compressed ${out})
endforeach()
configure_file(${kt57_packaging}/debian/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
set(changelog_gz ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND sh -c "gzip -9n < '${PROJECT_BINARY_DIR}/packaging/changelog' > '${changelog_gz}'"
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog VERBATIM)
list(APPEND kt57_compressed ${changelog_gz})
add_custom_target(kt57_package_files ALL DEPENDS ${kt57_compressed})

set(kt57_installed_programs kt57-board kt57-run kt57-check kt57-ctl)
if(TARGET kt57d)
  list(PREPEND kt57_installed_programs kt57d)
endif()
install(TARGETS ${kt57_installed_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(page IN LISTS kt57_man_pages)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${kt57_packaging}/linux/kt57d.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${kt57_packaging}/linux/kt57d.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Software centres learn from it that the package serves FTDI boards, which the udev rule tags.
install(FILES ${kt57_packaging}/linux/io.github.kt57d.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${kt57_packaging}/linux/70-kt57-board.rules DESTINATION ${KT57_UDEV_RULES_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kt57d/examples)
# kt57-run --studio's page, found from /usr/bin as ../share/kt57d/studio.
install(DIRECTORY ${kt57_studio_page}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kt57d/studio)
set(kt57_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/kt57d)
install(FILES ${kt57_packaging}/debian/copyright ${changelog_gz} ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${kt57_doc_dir})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${kt57_doc_dir}/docs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kt57d)
set(CPACK_PACKAGE_VERSION ${KT57_VERSION})
set(CPACK_PACKAGE_VENDOR "The KT57D authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "digital-I/O sequencer for 24-bit boards behind an FTDI USB bridge")
set(CPACK_OUTPUT_FILE_PREFIX ${KT57_DIST_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# IPAGothic is the console's face; without it the cells fall back to another font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-ipafont-gothic)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The KT57D authors <kt57d@example.org>")
# CPack puts the summary in front as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "KT57D runs short sequence programs (KT57Data.txt) line by line against a
24-bit digital-I/O board behind an FTDI USB bridge, and shows the program
in a window where the operator starts, stops, steps and sets break lines.
.
This package holds the Qt desktop program kt57d, the virtual board
kt57-board, the headless rehearsal tool kt57-run with its rehearsal page
for the browser, the program checker kt57-check and kt57-ctl, which posts
commands to a running kt57d, with a udev rule that gives FTDI boards a
1 ms latency timer.")
include(CPack)
