# The Windows package: a zip holding orvexcard.exe, the README and whichever
# runtime DLLs of the cross compiler the program imports. A build linked with
# -static imports none of them; a dynamic one gets them copied beside it.
if(NOT TARGET orvexcard)
  return()
endif()

install(TARGETS orvexcard RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)

find_program(ORVEX_OBJDUMP NAMES ${CMAKE_CXX_COMPILER_TARGET}-objdump x86_64-w64-mingw32-objdump objdump)
set(ORVEX_RUNTIME_DLLS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
# Where the posix-thread cross compiler keeps them.
file(GLOB ORVEX_RUNTIME_DIRS
  /usr/lib/gcc/x86_64-w64-mingw32/*-posix
  /usr/x86_64-w64-mingw32/lib)
install(CODE "
  execute_process(COMMAND \"${ORVEX_OBJDUMP}\" -p \"$<TARGET_FILE:orvexcard>\"
                  OUTPUT_VARIABLE imports RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR \"cannot read the DLL imports of orvexcard.exe\")
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
      message(FATAL_ERROR \"orvexcard.exe needs \${dll}, which the cross compiler does not have\")
    endif()
    file(INSTALL \"\${found}\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}\")
  endforeach()
")

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME orvexcard)
set(CPACK_PACKAGE_VENDOR Tessovanwerk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)  # the debug information stays in the build
include(CPack)
