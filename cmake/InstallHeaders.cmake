# Run at install time: copies the public headers under include/movitrel, rewriting the project's
# own includes ("image/Image.h") into the installed form (<movitrel/image/Image.h>).
set(dest "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/include/movitrel")
foreach(dir platform framework image codecs playback control proppages host/headless
            host/instance host/qt)
  file(GLOB headers "${MOVITREL_SOURCE_DIR}/${dir}/*.h")
  foreach(header IN LISTS headers)
    file(READ "${header}" text)
    string(REGEX REPLACE
           "#include \"((platform|framework|image|codecs|playback|control|proppages|host)/[^\"]+)\""
           "#include <movitrel/\\1>" text "${text}")
    get_filename_component(name "${header}" NAME)
    message(STATUS "Installing: ${dest}/${dir}/${name}")
    file(WRITE "${dest}/${dir}/${name}" "${text}")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${dest}/${dir}/${name}")
  endforeach()
endforeach()
