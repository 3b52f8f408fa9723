# `make package`: a Debian package of the installed tree, from a release build.
find_program(GZIP gzip REQUIRED)

set(HOSHIWA_MAINTAINER "Hoshiwa developers <hoshiwa@example.org>"
    CACHE STRING "Maintainer named in the package and its changelog")

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/hoshiwa)
set(package_dir ${PROJECT_BINARY_DIR}/package-files)

# The changelog and the manual page are compressed without a time stamp, so that equal sources give
# equal packages.
execute_process(COMMAND env LC_ALL=C date -u -R -d "${HOSHIWA_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE HOSHIWA_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
configure_file(${PROJECT_SOURCE_DIR}/data/changelog.Debian.in ${package_dir}/changelog.Debian @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/hoshiwa.1.in ${package_dir}/hoshiwa.1 @ONLY)
foreach(doc changelog.Debian hoshiwa.1)
    add_custom_command(OUTPUT ${package_dir}/${doc}.gz
                       COMMAND ${GZIP} -9nkf ${package_dir}/${doc}
                       DEPENDS ${package_dir}/${doc} VERBATIM)
endforeach()
add_custom_target(hoshiwa_docs ALL DEPENDS ${package_dir}/changelog.Debian.gz
                                           ${package_dir}/hoshiwa.1.gz)
install(FILES ${package_dir}/changelog.Debian.gz ${PROJECT_SOURCE_DIR}/data/copyright
        DESTINATION ${doc_dir})
install(FILES ${package_dir}/hoshiwa.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hoshiwa)
set(CPACK_PACKAGE_VENDOR "The Hoshiwa developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Hoshiwa is a small IRC client in one window. It shows the ISO-2022-JP\n"
    "text that Japanese servers send as Japanese, sends what you type as\n"
    "Shift_JIS, answers the server's PING and logs every line sent and\n"
    "received with the time of day.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "${HOSHIWA_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the linked libraries (libssl among them): Qt loads its platform plugin at run time, the
# text boxes name a Japanese font that IPA's Gothic stands in for, and encrypted connections check
# servers against the system's trusted roots.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
