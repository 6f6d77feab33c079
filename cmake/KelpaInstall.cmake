# Installation: the program in bin/, its default configuration files and manual in
# share/kelpa/, the desktop entry and the program icon in the hicolor theme. The data folder's
# layout is what platform/data_paths looks for beside bin/.

include(GNUInstallDirs)

set(KELPA_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/kelpa")
set(KELPA_ICON_SIZES 16 22 24 32 48 64 128 256)

install(TARGETS kelpa RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

install(FILES
    "${PROJECT_SOURCE_DIR}/data/kelpa.cfg"
    "${PROJECT_SOURCE_DIR}/data/kcommon.cfg"
    DESTINATION "${KELPA_INSTALL_DATADIR}")

# The manual: its pages and pictures, whatever docs/ holds when installing.
install(DIRECTORY "${PROJECT_SOURCE_DIR}/docs/"
    DESTINATION "${KELPA_INSTALL_DATADIR}/docs"
    OPTIONAL
    FILES_MATCHING
    PATTERN "*.html" PATTERN "*.css" PATTERN "*.js"
    PATTERN "*.png" PATTERN "*.jpg" PATTERN "*.svg" PATTERN "*.webp")

install(FILES "${PROJECT_SOURCE_DIR}/data/kelpa.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")

foreach(size IN LISTS KELPA_ICON_SIZES)
    install(FILES "${PROJECT_SOURCE_DIR}/data/icons/hicolor/${size}x${size}/apps/kelpa.png"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()
install(FILES "${PROJECT_SOURCE_DIR}/src/gui/resources/icons/kelpa.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
