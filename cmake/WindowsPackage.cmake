# `make package-windows`: what a Windows user is handed. A zip of the program with its README and
# licence (CR LF line ends, and the README's UTF-8 marked as such, as Notepad of every Windows
# shows them), and an installer made with NSIS (data/hoshiwa.nsi.in says what it does).
find_program(MAKENSIS makensis REQUIRED)
find_program(ZIP zip REQUIRED)

set(HOSHIWA_PACKAGE_DIR ${PROJECT_BINARY_DIR}/package CACHE PATH
    "Where make package-windows puts the zip and the installer")
set(HOSHIWA_PACKAGE_STAGE ${PROJECT_BINARY_DIR}/package-stage)
set(HOSHIWA_ZIP ${HOSHIWA_PACKAGE_DIR}/hoshiwa-${PROJECT_VERSION}-win64.zip)
set(HOSHIWA_SETUP ${HOSHIWA_PACKAGE_DIR}/hoshiwa-${PROJECT_VERSION}-setup.exe)

set(stage ${HOSHIWA_PACKAGE_STAGE})
configure_file(${PROJECT_SOURCE_DIR}/data/README-windows.txt.in ${stage}/README.txt @ONLY
               NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${stage}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/data/hoshiwa.nsi.in ${stage}/hoshiwa.nsi @ONLY)

add_custom_command(OUTPUT ${stage}/hoshiwa.exe
                   COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:hoshiwa> ${stage}/hoshiwa.exe
                   DEPENDS hoshiwa VERBATIM)
set(staged ${stage}/hoshiwa.exe ${stage}/README.txt ${stage}/LICENSE.txt)
add_custom_command(OUTPUT ${HOSHIWA_ZIP}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${HOSHIWA_PACKAGE_DIR}
                   COMMAND ${CMAKE_COMMAND} -E rm -f ${HOSHIWA_ZIP}
                   COMMAND ${ZIP} -q -X -j ${HOSHIWA_ZIP} ${staged}
                   DEPENDS ${staged} VERBATIM)
add_custom_command(OUTPUT ${HOSHIWA_SETUP}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${HOSHIWA_PACKAGE_DIR}
                   COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8 ${stage}/hoshiwa.nsi
                   DEPENDS ${staged} ${stage}/hoshiwa.nsi ${HOSHIWA_ICO} VERBATIM)
add_custom_target(package_windows DEPENDS ${HOSHIWA_ZIP} ${HOSHIWA_SETUP})
