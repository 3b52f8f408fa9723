# What makes hoshiwa.exe a Windows program as users know them: its icon (drawn once as SVG and
# made into one .ico of every size Windows asks for), its version information from project(), and
# its manifest (visual styles, per-monitor DPI awareness, the supported Windows versions). The
# tests that build the window link the same resources, so that they run it as users do.
enable_language(RC)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)

set(HOSHIWA_PUBLISHER "The Hoshiwa developers")
set(HOSHIWA_COPYRIGHT "Copyright (c) 2026 The Hoshiwa developers")
# Up to 48 pixels the icon's images are plain bitmaps, as every reader of icons takes them; the
# larger ones are kept as PNG, as Windows reads them since Vista, which keeps them small.
set(HOSHIWA_ICO_BITMAP_SIZES 16 20 24 32 40 48)
set(HOSHIWA_ICO_PNG_SIZES 64 96 128 256)

set(resource_dir ${PROJECT_BINARY_DIR}/resources)
set(HOSHIWA_ICO ${resource_dir}/hoshiwa.ico)
set(HOSHIWA_MANIFEST ${resource_dir}/hoshiwa.exe.manifest)

set(ico_pngs)
set(ico_arguments)
foreach(size IN LISTS HOSHIWA_ICO_BITMAP_SIZES HOSHIWA_ICO_PNG_SIZES)
    set(png ${resource_dir}/hoshiwa-${size}.png)
    add_custom_command(OUTPUT ${png}
                       COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --output=${png}
                               ${PROJECT_SOURCE_DIR}/data/hoshiwa.svg
                       DEPENDS ${PROJECT_SOURCE_DIR}/data/hoshiwa.svg VERBATIM)
    list(APPEND ico_pngs ${png})
    if(size IN_LIST HOSHIWA_ICO_PNG_SIZES)
        list(APPEND ico_arguments --raw=${png})
    else()
        list(APPEND ico_arguments ${png})
    endif()
endforeach()
add_custom_command(OUTPUT ${HOSHIWA_ICO}
                   COMMAND ${ICOTOOL} --create --output=${HOSHIWA_ICO} ${ico_arguments}
                   DEPENDS ${ico_pngs} VERBATIM)
add_custom_target(hoshiwa_ico DEPENDS ${HOSHIWA_ICO})

configure_file(${PROJECT_SOURCE_DIR}/data/hoshiwa.exe.manifest.in ${HOSHIWA_MANIFEST} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/hoshiwa.rc.in ${resource_dir}/hoshiwa.rc @ONLY)

add_library(hoshiwa_resources OBJECT ${resource_dir}/hoshiwa.rc)
target_include_directories(hoshiwa_resources PRIVATE ${PROJECT_SOURCE_DIR})
set_source_files_properties(${resource_dir}/hoshiwa.rc PROPERTIES
                            OBJECT_DEPENDS "${HOSHIWA_ICO};${HOSHIWA_MANIFEST}")
add_dependencies(hoshiwa_resources hoshiwa_ico)

target_link_libraries(hoshiwa PRIVATE hoshiwa_resources)
# The program users get carries no symbols; the optimised build has no debug information.
target_link_options(hoshiwa PRIVATE $<$<NOT:$<CONFIG:Debug>>:-s>)
