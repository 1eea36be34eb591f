# The icon and version resource of the Windows programs. The icon is made
# from the same drawing as the Linux menu entry's (resources/desktop), at the
# sizes Explorer and the task bar ask for.
set(ORVEX_ICON_SVG ${CMAKE_SOURCE_DIR}/resources/desktop/orvexcard-wizard.svg)
set(ORVEX_ICON ${CMAKE_BINARY_DIR}/generated/orvexcard-wizard.ico)

function(orvex_icon)
  if(TARGET orvex_icon)
    return()
  endif()
  find_program(ORVEX_RSVG rsvg-convert REQUIRED)
  find_program(ORVEX_ICOTOOL icotool REQUIRED)
  set(pngs)
  set(commands)
  foreach(size 16 24 32 48 64 256)
    set(png ${CMAKE_BINARY_DIR}/generated/icon-${size}.png)
    list(APPEND pngs ${png})
    list(APPEND commands COMMAND ${ORVEX_RSVG} -w ${size} -h ${size} -o ${png} ${ORVEX_ICON_SVG})
  endforeach()
  add_custom_command(OUTPUT ${ORVEX_ICON}
    ${commands}
    COMMAND ${ORVEX_ICOTOOL} -c -o ${ORVEX_ICON} ${pngs}
    DEPENDS ${ORVEX_ICON_SVG}
    COMMENT "Making the program icon")
  add_custom_target(orvex_icon DEPENDS ${ORVEX_ICON})
endfunction()

# orvex_windows_resources(target "description" [ICON]): the version resource,
# and with ICON the program icon as IDI_ICON1, the name under which Qt's
# Windows platform also takes it for the window's title bar.
function(orvex_windows_resources target description)
  set(ORVEX_RC_NAME ${target})
  set(ORVEX_RC_FILE ${target}.exe)
  set(ORVEX_RC_DESCRIPTION ${description})
  set(ORVEX_RC_ICON "")
  if(ARGN STREQUAL "ICON")
    orvex_icon()
    set(ORVEX_RC_ICON "IDI_ICON1 ICON \"${ORVEX_ICON}\"")
    add_dependencies(${target} orvex_icon)
    set_source_files_properties(${CMAKE_BINARY_DIR}/generated/${target}.rc PROPERTIES OBJECT_DEPENDS ${ORVEX_ICON})
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/resources/windows/program.rc.in
                 ${CMAKE_BINARY_DIR}/generated/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated/${target}.rc)
endfunction()
