# What `cmake --install` puts on a Linux desktop: the programs, the window's
# menu entry and icon, and the sample file type with the window as its
# handler, so a .7kx opened in the file manager starts the window with it.
include(GNUInstallDirs)

set(ORVEX_DESKTOP_DIR ${CMAKE_SOURCE_DIR}/resources/desktop)

if(TARGET orvexcard)
  install(TARGETS orvexcard RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(TARGET orvexcard-wizard)
  install(TARGETS orvexcard-wizard RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${ORVEX_DESKTOP_DIR}/orvexcard-wizard.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${ORVEX_DESKTOP_DIR}/orvexcard-wizard.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${ORVEX_DESKTOP_DIR}/orvexcard-sample.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  # The desktop's caches learn of the new type and handler. Skipped for a
  # staged install (DESTDIR), where the package manager's triggers do it.
  install(CODE [[
    if(NOT DEFINED ENV{DESTDIR} OR "$ENV{DESTDIR}" STREQUAL "")
      set(share "${CMAKE_INSTALL_PREFIX}/share")
      find_program(UPDATE_MIME update-mime-database)
      if(UPDATE_MIME)
        execute_process(COMMAND ${UPDATE_MIME} "${share}/mime")
      endif()
      find_program(UPDATE_DESKTOP update-desktop-database)
      if(UPDATE_DESKTOP)
        execute_process(COMMAND ${UPDATE_DESKTOP} -q "${share}/applications")
      endif()
    endif()
  ]])
endif()
