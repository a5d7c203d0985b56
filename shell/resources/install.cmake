# Installs what a desktop needs to list and show the program: the application icon, the desktop
# entry and the AppStream metadata. Included by the shell's CMakeLists.txt.
include(GNUInstallDirs)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/tellweir.svg
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tellweir.desktop
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/io.github.tellweir.Tellweir.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
