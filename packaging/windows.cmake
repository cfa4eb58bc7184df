# The Windows installer (NSIS) and the portable zip, built from one staged
# folder by the target velkrane_packages (make windows) into
# <build>/packages.
set(stage_name Velkrane-${VELKRANE_RELEASE}-win32)
set(stage ${CMAKE_CURRENT_BINARY_DIR}/${stage_name})
set(packages ${CMAKE_BINARY_DIR}/packages)
set(setup ${packages}/Velkrane-${VELKRANE_RELEASE}-setup.exe)
set(zip ${packages}/${stage_name}.zip)
set(nsi ${CMAKE_CURRENT_SOURCE_DIR}/windows/velkrane.nsi)
set(icon ${PROJECT_SOURCE_DIR}/ui/win32/velkrane.ico)

# CRLF line ends: Notepad before Windows 10 shows a LF-only file as one line.
# configure_file copies only what changed, so configuring again repacks nothing.
function(velkrane_windows_text input output)
  file(READ ${input} text)
  string(REPLACE "\n" "\r\n" text "${text}")
  get_filename_component(name ${output} NAME)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/crlf/${name} "${text}")
  configure_file(${CMAKE_CURRENT_BINARY_DIR}/crlf/${name} ${output} COPYONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()

configure_file(windows/README.txt.in ${CMAKE_CURRENT_BINARY_DIR}/README.txt @ONLY)
velkrane_windows_text(${CMAKE_CURRENT_BINARY_DIR}/README.txt ${stage}/README.txt)
velkrane_windows_text(${PROJECT_SOURCE_DIR}/LICENSE ${stage}/LICENSE.txt)
velkrane_windows_text(${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES ${stage}/THIRD-PARTY-NOTICES.txt)
set(stage_texts ${stage}/README.txt ${stage}/LICENSE.txt ${stage}/THIRD-PARTY-NOTICES.txt)

find_program(VELKRANE_MAKENSIS makensis)
if(VELKRANE_MAKENSIS)
  set(make_setup ${VELKRANE_MAKENSIS} -V2 -DVERSION=${VELKRANE_RELEASE}
      -DVERSION_FULL=${PROJECT_VERSION} -DSTAGE=${stage} -DICON=${icon} -DOUTFILE=${setup}
      ${nsi})
else()
  # The rest of the tree builds without it; this target alone says why not.
  set(make_setup ${CMAKE_COMMAND} -E echo
      "makensis is missing: install nsis (tools/install-deps windows)"
      COMMAND ${CMAKE_COMMAND} -E false)
endif()

add_custom_command(OUTPUT ${setup} ${zip}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Velkrane> $<TARGET_FILE:velkrane-cli> ${stage}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${packages}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${packages}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${stage_name}
  COMMAND ${make_setup}
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  DEPENDS Velkrane velkrane-cli ${nsi} ${icon} ${stage_texts}
  COMMENT "Packing ${stage_name}.zip and Velkrane-${VELKRANE_RELEASE}-setup.exe"
  VERBATIM)
add_custom_target(velkrane_packages DEPENDS ${setup} ${zip})
