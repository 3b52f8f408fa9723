# What makes Hoshiwa a desktop program: the icon (drawn once as SVG, rendered to the sizes icon
# themes ask for), the menu entry, the AppStream metadata, and where `cmake --install` puts them.
include(GNUInstallDirs)

find_package(Qt6 REQUIRED COMPONENTS Core)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)

# The reverse-DNS id names the desktop entry, the metadata and the icon, so that software centres,
# menus and (on Wayland) the window all find each other.
set(HOSHIWA_APP_ID io.github.hoshiwa.Hoshiwa)
# The day PROJECT_VERSION was released: the AppStream release and the package changelog carry it.
set(HOSHIWA_RELEASE_DATE 2026-12-07)
set(HOSHIWA_ICON_SIZES 16 24 32 48 64 128 256)

set(data_dir ${PROJECT_SOURCE_DIR}/data)
set(out_dir ${PROJECT_BINARY_DIR}/desktop)
set(icon_svg ${data_dir}/hoshiwa.svg)

set(icon_pngs)
foreach(size IN LISTS HOSHIWA_ICON_SIZES)
    set(png ${out_dir}/icons/hoshiwa-${size}.png)
    add_custom_command(OUTPUT ${png}
                       COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --output=${png}
                               ${icon_svg}
                       DEPENDS ${icon_svg} VERBATIM)
    list(APPEND icon_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${HOSHIWA_APP_ID}.png)
endforeach()

configure_file(${data_dir}/metainfo.xml.in ${out_dir}/${HOSHIWA_APP_ID}.metainfo.xml @ONLY)

add_custom_target(hoshiwa_icons ALL DEPENDS ${icon_pngs})

# The window shows the same picture as the menu: the PNGs are compiled into the program.
qt_add_resources(hoshiwa_qt app_icon PREFIX /icons BASE ${out_dir}/icons FILES ${icon_pngs})
add_dependencies(hoshiwa_qt hoshiwa_icons)
target_compile_definitions(hoshiwa PRIVATE HOSHIWA_APP_ID="${HOSHIWA_APP_ID}")

install(TARGETS hoshiwa RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${data_dir}/hoshiwa.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${HOSHIWA_APP_ID}.desktop)
install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${HOSHIWA_APP_ID}.svg)
install(FILES ${out_dir}/${HOSHIWA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

if(HOSHIWA_TESTS)
    add_test(NAME installed_tree
             COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/check_installed_tree.sh
                     ${PROJECT_BINARY_DIR} ${PROJECT_VERSION} ${PROJECT_SOURCE_DIR}/README.md)
    set_tests_properties(installed_tree PROPERTIES TIMEOUT 120)
endif()
