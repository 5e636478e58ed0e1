# The release zip (target "release"): the exe, img/, the README with its pictures and the licence.
#
#   cmake --build build --target release
#
# gives build/nomaclip-<version>-win64.zip with one top folder nomaclip-<version>/ that holds
# nomaclip.exe, img/ (toolbar icons and lock pictures), README.md with docs/screenshots/ (the
# pictures it shows) and LICENSE. The exe is
# linked statically, so the folder runs as it is on any 64-bit Windows.

set(NOMACLIP_RELEASE_NAME nomaclip-${PROJECT_VERSION})
set(NOMACLIP_RELEASE_ZIP ${CMAKE_BINARY_DIR}/${NOMACLIP_RELEASE_NAME}-win64.zip)
set(NOMACLIP_RELEASE_STAGE ${CMAKE_BINARY_DIR}/release-stage)

file(GLOB NOMACLIP_RELEASE_IMAGES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/img/*.ico ${CMAKE_SOURCE_DIR}/img/*.png)
file(GLOB NOMACLIP_RELEASE_SCREENSHOTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/screenshots/*.png)

set(_stage_dir ${NOMACLIP_RELEASE_STAGE}/${NOMACLIP_RELEASE_NAME})
add_custom_command(
    OUTPUT ${NOMACLIP_RELEASE_ZIP}
    # A fresh staging folder each time, so that nothing stale slips into the zip.
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${NOMACLIP_RELEASE_STAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_stage_dir}/img ${_stage_dir}/docs/screenshots
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:nomaclip> ${_stage_dir}/nomaclip.exe
    COMMAND ${CMAKE_COMMAND} -E copy ${NOMACLIP_RELEASE_IMAGES} ${_stage_dir}/img/
    COMMAND ${CMAKE_COMMAND} -E copy ${NOMACLIP_RELEASE_SCREENSHOTS} ${_stage_dir}/docs/screenshots/
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE ${_stage_dir}/
    COMMAND ${CMAKE_COMMAND} -E rm -f ${NOMACLIP_RELEASE_ZIP}
    COMMAND ${CMAKE_COMMAND} -E chdir ${NOMACLIP_RELEASE_STAGE}
            ${CMAKE_COMMAND} -E tar cf ${NOMACLIP_RELEASE_ZIP} --format=zip ${NOMACLIP_RELEASE_NAME}
    DEPENDS nomaclip ${NOMACLIP_RELEASE_IMAGES} ${NOMACLIP_RELEASE_SCREENSHOTS} ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
    COMMENT "Packing ${NOMACLIP_RELEASE_NAME}-win64.zip"
    VERBATIM)
add_custom_target(release DEPENDS ${NOMACLIP_RELEASE_ZIP})
unset(_stage_dir)
