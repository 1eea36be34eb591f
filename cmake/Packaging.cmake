# The Windows packages: a zip of the programs, and the installer
# (resources/windows/installer.nsi, built with NSIS) that puts them under
# Program Files with a Start-menu entry and the .7kx file type. Both programs
# are linked statically and need no DLL beside them; a dynamic build gets
# the cross compiler's runtime DLLs it imports copied beside it.
if(NOT TARGET orvexcard)
  return()
endif()

set(ORVEX_WINDOWS_PROGRAMS orvexcard)
if(TARGET orvexcard-wizard)
  list(APPEND ORVEX_WINDOWS_PROGRAMS orvexcard-wizard)
endif()
install(TARGETS ${ORVEX_WINDOWS_PROGRAMS} RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
if(TARGET orvexcard-wizard)
  # Qt is linked into the window: its licence, the GPL it builds on, Debian's
  # record of every part's copyright (the bundled libraries included) and
  # where the source and the program's relink kit are.
  file(GLOB ORVEX_QT_LICENSES ${QT6_INSTALL_PREFIX}/share/licenses/*)
  if(NOT ORVEX_QT_LICENSES)
    message(FATAL_ERROR "The Qt in ${QT6_INSTALL_PREFIX} has no licence texts (share/licenses); build it with scripts/qt-mingw.sh")
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/resources/windows/QT-NOTICE.txt.in
                 ${CMAKE_BINARY_DIR}/generated/QT-NOTICE.txt @ONLY)
  install(FILES ${ORVEX_QT_LICENSES} ${CMAKE_BINARY_DIR}/generated/QT-NOTICE.txt DESTINATION licenses)
endif()

find_program(ORVEX_OBJDUMP NAMES ${CMAKE_CXX_COMPILER_TARGET}-objdump x86_64-w64-mingw32-objdump objdump)
set(ORVEX_RUNTIME_DLLS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
# Where the posix-thread cross compiler keeps them.
file(GLOB ORVEX_RUNTIME_DIRS
  /usr/lib/gcc/x86_64-w64-mingw32/*-posix
  /usr/x86_64-w64-mingw32/lib)
foreach(program ${ORVEX_WINDOWS_PROGRAMS})
  install(CODE "
    execute_process(COMMAND \"${ORVEX_OBJDUMP}\" -p \"$<TARGET_FILE:${program}>\"
                    OUTPUT_VARIABLE imports RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR \"cannot read the DLL imports of ${program}.exe\")
    endif()
    foreach(dll ${ORVEX_RUNTIME_DLLS})
      string(FIND \"\${imports}\" \"DLL Name: \${dll}\" at)
      if(at EQUAL -1)
        continue()
      endif()
      set(found \"\")
      foreach(dir ${ORVEX_RUNTIME_DIRS})
        if(NOT found AND EXISTS \"\${dir}/\${dll}\")
          set(found \"\${dir}/\${dll}\")
        endif()
      endforeach()
      if(NOT found)
        message(FATAL_ERROR \"${program}.exe needs \${dll}, which the cross compiler does not have\")
      endif()
      file(INSTALL \"\${found}\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}\")
    endforeach()
  ")
endforeach()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME orvexcard)
set(CPACK_PACKAGE_VENDOR Tessovanwerk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)  # the debug information stays in the build
include(CPack)

if(NOT TARGET orvexcard-wizard)
  return()
endif()

# cmake --build build-win --target installer: the programs installed into a
# staging folder, stripped, and wrapped by NSIS into orvexcard-<v>-setup.exe.
find_program(ORVEX_MAKENSIS makensis)
set(ORVEX_STAGE ${CMAKE_BINARY_DIR}/installer-stage)
set(ORVEX_SETUP ${CMAKE_BINARY_DIR}/orvexcard-${PROJECT_VERSION}-setup.exe)
orvex_icon()
add_custom_target(installer
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ORVEX_STAGE}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${ORVEX_STAGE} --strip
  COMMAND ${ORVEX_MAKENSIS} -V2 -DSTAGE=${ORVEX_STAGE} -DVERSION=${PROJECT_VERSION}
          -DOUTFILE=${ORVEX_SETUP} -DICON=${ORVEX_ICON}
          ${CMAKE_SOURCE_DIR}/resources/windows/installer.nsi
  DEPENDS ${ORVEX_WINDOWS_PROGRAMS} orvex_icon ${CMAKE_SOURCE_DIR}/resources/windows/installer.nsi
  BYPRODUCTS ${ORVEX_SETUP}
  COMMENT "Building the installer ${ORVEX_SETUP}")

# cmake --build build-win --target relink_kit: orvexcard-<v>-win64-relink.zip,
# the window's own objects and the command that links them with another Qt.
add_custom_target(relink_kit
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/relink-kit.sh ${CMAKE_BINARY_DIR}
  DEPENDS orvexcard-wizard
  BYPRODUCTS ${CMAKE_BINARY_DIR}/orvexcard-${PROJECT_VERSION}-win64-relink.zip
  COMMENT "Making the relink kit")
