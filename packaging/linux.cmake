# Install rules (make install: PREFIX, DESTDIR) and the Debian package that
# CPack builds from them (make package).
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME velkrane)
set(velkrane_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/velkrane)
set(velkrane_desktop ${PROJECT_SOURCE_DIR}/ui/fltk/desktop)

find_program(VELKRANE_GZIP gzip REQUIRED)
# Debian's form of a compressed document: -9, and -n so that the same text
# gives the same bytes.
function(velkrane_gzip input output)
  execute_process(COMMAND ${VELKRANE_GZIP} -9n -c INPUT_FILE ${input} OUTPUT_FILE ${output}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${input} failed: ${status}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()

# The man pages' footers name the version being installed.
set(velkrane_man_pages ${PROJECT_SOURCE_DIR}/ui/cli/velkrane-cli.1
                       ${CMAKE_CURRENT_SOURCE_DIR}/linux/velkrane.1)
set(velkrane_man_gz)
foreach(page IN LISTS velkrane_man_pages)
  get_filename_component(name ${page} NAME)
  file(READ ${page} text)
  string(REGEX REPLACE "^(\\.TH [^\n]*)\"Velkrane[^\"]*\"" "\\1\"Velkrane ${VELKRANE_RELEASE}\""
         text "${text}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name} "${text}")
  velkrane_gzip(${CMAKE_CURRENT_BINARY_DIR}/${name} ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
  list(APPEND velkrane_man_gz ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
endforeach()

install(TARGETS velkrane velkrane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${velkrane_desktop}/velkrane.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(DIRECTORY ${velkrane_desktop}/icons/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons)
install(FILES ${velkrane_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${velkrane_notices} DESTINATION ${velkrane_docdir})

# What Debian asks of every package's documentation folder: the licence as
# `copyright` and the changelog. Only the package carries them (CPack installs
# this component; make install leaves it out).
configure_file(linux/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
velkrane_gzip(${CMAKE_CURRENT_BINARY_DIR}/changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
file(READ ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES notices)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/copyright "${licence}\n\n${notices}
On Debian systems, the complete texts of the GNU Library General Public
License version 2 and of the GNU General Public License version 3 can be
found in /usr/share/common-licenses/LGPL-2 and
/usr/share/common-licenses/GPL-3.
")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${velkrane_notices})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${velkrane_docdir} COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkrane)
set(CPACK_PACKAGE_VERSION ${VELKRANE_RELEASE})
set(CPACK_PACKAGE_VENDOR ${VELKRANE_PUBLISHER})
set(CPACK_PACKAGE_CONTACT ${VELKRANE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL velkrane debian)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME velkrane)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.velkrane.example)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's text font: the first of these it finds (ui/shared/ui_font.h).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation | fonts-dejavu-core")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "repair X3F camera raw files that carry data past their end")
# CPack puts the summary above this as the description's first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Some X3F camera raw files carry data past their real end: files recovered
from a damaged memory card, or by a recovery tool that glued the next photo
or junk behind them.
.
Velkrane writes a trimmed copy of each file into a PostProcessed folder
beside it, cut where the file's own directory says the X3F ends, and checks
the copy before it takes the file's name. The source is never changed.
.
The package holds the Velkrane window (pick files, press Decode) and
velkrane-cli, which repairs whole folder trees from the command line.")
include(CPack)
