# Installing Movitrel for others to build on: the program, the module, the libraries with
# their headers, a CMake package and pkg-config files; and the Debian package made from them.
#
#   cmake --install build --prefix P      P/bin/movitrel, P/lib/movitrel/MOVITREL.OCX,
#                                        P/lib/libmovitrel-*.so.1 and .a, P/include/movitrel,
#                                        P/lib/cmake/Movitrel, P/lib/pkgconfig, P/share
#   cpack --config build/CPackConfig.cmake   movitrel_<version>_amd64.deb
include(CMakePackageConfigHelpers)
set(movitrel_libdir lib)
set(movitrel_module_dir ${movitrel_libdir}/movitrel)

# Names of their own, so nothing clashes with another project's "libplatform"; the two shared
# libraries carry the major version in their sonames.
set(movitrel_libraries platform framework image codecs playback control proppages host_headless
    host_instance host_qt)
foreach(t IN LISTS movitrel_libraries)
  if(TARGET ${t})
    string(REPLACE "_" "-" name ${t})
    set_target_properties(${t} PROPERTIES OUTPUT_NAME movitrel-${name} EXPORT_NAME ${t}_library)
    target_include_directories(${t} INTERFACE $<INSTALL_INTERFACE:include>)
    list(APPEND movitrel_installed ${t})
  endif()
endforeach()
set_target_properties(platform framework PROPERTIES
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR} INSTALL_RPATH "$ORIGIN")

# The three targets others use: Movitrel::image, Movitrel::control, Movitrel::qt.
add_library(movitrel_image INTERFACE)
target_link_libraries(movitrel_image INTERFACE codecs image)
add_library(movitrel_control INTERFACE)
target_link_libraries(movitrel_control INTERFACE control proppages)
set_target_properties(movitrel_image PROPERTIES EXPORT_NAME image)
set_target_properties(movitrel_control PROPERTIES EXPORT_NAME control)
list(APPEND movitrel_installed movitrel_image movitrel_control)
if(TARGET host_qt)
  add_library(movitrel_qt INTERFACE)
  target_link_libraries(movitrel_qt INTERFACE host_qt host_instance)
  set_target_properties(movitrel_qt PROPERTIES EXPORT_NAME qt)
  list(APPEND movitrel_installed movitrel_qt)
endif()

install(TARGETS ${movitrel_installed} EXPORT MovitrelTargets
  LIBRARY DESTINATION ${movitrel_libdir}
  ARCHIVE DESTINATION ${movitrel_libdir})
# The module beside the libraries it needs, the program beside both.
set_target_properties(module PROPERTIES INSTALL_RPATH "$ORIGIN/..")
install(TARGETS module LIBRARY DESTINATION ${movitrel_module_dir})
if(TARGET movitrel)
  set_target_properties(movitrel PROPERTIES INSTALL_RPATH "$ORIGIN/../${movitrel_libdir}")
  install(TARGETS movitrel RUNTIME DESTINATION bin)
endif()

# Headers keep their folders under include/movitrel and name each other <movitrel/...>.
install(CODE "set(MOVITREL_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallHeaders.cmake)

install(EXPORT MovitrelTargets NAMESPACE Movitrel:: DESTINATION ${movitrel_libdir}/cmake/Movitrel)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/MovitrelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/MovitrelConfig.cmake
  INSTALL_DESTINATION ${movitrel_libdir}/cmake/Movitrel
  PATH_VARS movitrel_module_dir)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/MovitrelConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/MovitrelConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/MovitrelConfigVersion.cmake
  DESTINATION ${movitrel_libdir}/cmake/Movitrel)

foreach(pc movitrel-image movitrel-control movitrel-qt)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc DESTINATION ${movitrel_libdir}/pkgconfig)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/THIRD-PARTY
  DESTINATION share/doc/movitrel)
# The manual page, from the program's own --help (help2man).
find_program(MOVITREL_HELP2MAN help2man)
if(TARGET movitrel AND MOVITREL_HELP2MAN AND NOT MOVITREL_SANITIZE AND NOT MOVITREL_FUZZ)
  set(man ${CMAKE_CURRENT_BINARY_DIR}/movitrel.1)
  add_custom_command(OUTPUT ${man}.gz
    COMMAND ${MOVITREL_HELP2MAN} --no-info --section=1 --help-option=--help-all
            "--name=plays a directory of JPEG frames as an animation"
            --output=${man} $<TARGET_FILE:movitrel>
    COMMAND gzip -9nf ${man}
    DEPENDS movitrel
    COMMENT "Writing the manual page")
  add_custom_target(movitrel_man ALL DEPENDS ${man}.gz)
  install(FILES ${man}.gz DESTINATION share/man/man1)
endif()

# The Debian package: one package with the program, the module, the libraries and what
# developers need; its dependencies come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME movitrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Movitrel authors")
set(CPACK_PACKAGE_CONTACT "the Movitrel authors <movitrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "animation control that plays a directory of JPEG frames, with its image library")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_CURRENT_BINARY_DIR}/platform
    ${CMAKE_CURRENT_BINARY_DIR}/framework)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libjpeg62-turbo-dev, libpng-dev, qt6-base-dev")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
