# What `cmake --install` puts under the prefix besides the programs: the data folder, found by
# the programs as <bindir>/../share/vantrel, and the desktop integration.

# The data folder as the build assembles it, generated skin and images included.
install(DIRECTORY ${CMAKE_BINARY_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vantrel)

install(FILES docs/man/vantrel.1 docs/man/vantrel-sim.1 docs/man/vantrel-cli.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(VANTREL_BUILD_UI)
  install(FILES data/linux/org.vantrel.Vantrel.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/linux/org.vantrel.Vantrel.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(DIRECTORY ${VANTREL_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()
