# The unit tests of platform, image, codecs, playback and control, cross-built against
# GoogleTest from Debian's source and run under Wine, one CTest entry per program, in the prefix
# that tests/wine's `wine` fixture makes. They link statically, as tests/wine's programs do, so
# no MinGW DLL has to be found.
set(gtest_disable_pthreads ON CACHE BOOL "GoogleTest on the system's threads" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(MOVITREL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source (Debian's googletest)")
add_subdirectory(${MOVITREL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

find_package(PNG REQUIRED)  # the tests write and read PNG files with libpng itself

set(wine_sh ${CMAKE_SOURCE_DIR}/tests/wine/wine.sh)
set(prefix ${CMAKE_BINARY_DIR}/wine-prefix)

# layer [LIBS libraries...] [SOURCES extra sources...] [WITHOUT test files...]
#       [EXCLUDE gtest patterns...]
function(movitrel_windows_tests layer)
  cmake_parse_arguments(arg "" "" "LIBS;SOURCES;WITHOUT;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/*.cpp)
  foreach(f ${arg_WITHOUT})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/${f})
  endforeach()
  add_executable(test_${layer} ${sources} ${arg_SOURCES})
  target_link_libraries(test_${layer} PRIVATE ${layer} ${arg_LIBS} gtest gtest_main gmock)
  target_include_directories(test_${layer} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  # Paths as the Windows programs see them: / is the Z: drive.
  target_compile_definitions(test_${layer} PRIVATE
    MOVITREL_SOURCE_DIR="Z:${PROJECT_SOURCE_DIR}"
    MOVITREL_TEST_DATA_DIR="Z:${CMAKE_CURRENT_SOURCE_DIR}/data"
    MOVITREL_TEST_TMP_ROOT="Z:${CMAKE_CURRENT_BINARY_DIR}/tmp_${layer}")
  target_link_options(test_${layer} PRIVATE -static)
  set(filter)
  if(arg_EXCLUDE)
    list(JOIN arg_EXCLUDE ":" patterns)
    set(filter "--gtest_filter=-${patterns}")
  endif()
  add_test(NAME unit.${layer}
           COMMAND bash ${wine_sh} ${prefix} run $<TARGET_FILE:test_${layer}> ${filter})
  # A program that does not start under Wine (a 32-bit one without wine32) exits 0 silently:
  # only GoogleTest's own summary passes it.
  set_tests_properties(unit.${layer} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 900
                       ENVIRONMENT GTEST_COLOR=no
                       PASS_REGULAR_EXPRESSION "\\[  PASSED  \\]"
                       FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
endfunction()

# The Gdi tests are the software device's (platform/posix): on Windows the blits, palettes and
# surfaces are the system's GDI under a thin CDC, which has none of that device's own members
# (borrowed surfaces, SetPixel, SavePng, the realised colours) and offers more raster operations.
movitrel_windows_tests(platform
  WITHOUT GdiBlitTest.cpp GdiDeepBlitTest.cpp GdiDeviceTest.cpp GdiPaletteTest.cpp
  EXCLUDE
    # Only Linux says which files are open for writing (inotify's close-write); elsewhere a
    # file under way joins at once, as DirWatch.h says.
    DirWatchTest.AFileCountsOnceClosedAndIsUnderWayUntilThen
    DirWatchTest.AFileHeldOpenForWritingStaysHeldBackUntilClosed
    DirWatchTest.NamesUnderWayStayBoundedWhateverTheBurst
    # Wine keeps a removed folder whose handle is open (the watch's) at its path and opens it
    # again as if nothing had happened, where Windows refuses the open (delete pending): Wine's
    # server unlinks at the last close and open_fd (server/fd.c) never checks for the pending
    # delete, so the watch cannot see the folder go.
    DirWatchTest.AFolderRemovedAndMadeAgainIsFollowedAgain)
movitrel_windows_tests(image LIBS codecs SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/support/RegisterCodecs.cpp)
# giflib, the GIF tests' oracle, from Debian's source of the installed Linux library (which
# scripts/build-windows.sh fetches), compiled into the test program alone.
set(MOVITREL_GIFLIB_SOURCE ${CMAKE_SOURCE_DIR}/build-win-deps/src/giflib CACHE PATH
    "giflib's source, for the GIF tests' oracle")
set(codecs_libs PNG::PNG)
set(codecs_without)
if(EXISTS ${MOVITREL_GIFLIB_SOURCE}/gif_lib.h)
  set(giflib_sources dgif_lib.c egif_lib.c gifalloc.c gif_err.c gif_font.c gif_hash.c
                     openbsd-reallocarray.c quantize.c)
  list(TRANSFORM giflib_sources PREPEND ${MOVITREL_GIFLIB_SOURCE}/)
  add_library(giflib_oracle STATIC EXCLUDE_FROM_ALL ${giflib_sources})
  target_include_directories(giflib_oracle PUBLIC ${MOVITREL_GIFLIB_SOURCE})
  target_compile_options(giflib_oracle PRIVATE -w)  # not our code
  list(APPEND codecs_libs giflib_oracle)
else()
  message(STATUS "no giflib source at ${MOVITREL_GIFLIB_SOURCE}: the GIF oracle tests are left out")
  set(codecs_without GifOracleTest.cpp GifAnimationWriteTest.cpp)
endif()
movitrel_windows_tests(codecs LIBS ${codecs_libs}
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/support/RegisterCodecs.cpp
  WITHOUT ${codecs_without}
  EXCLUDE
    # Counts the open files in /proc/self/fd; the system's count of handles
    # (GetProcessHandleCount) answers 0 under Wine, whatever is open.
    PngDamage.FailedReadsLeaveNoFilesOpen)
# The JPEG oracle: the tools built with the same libjpeg-turbo (build-win-deps/<arch>/bin).
get_filename_component(jpeg_prefix ${JPEG_INCLUDE_DIR} DIRECTORY)
target_compile_definitions(test_codecs PRIVATE MOVITREL_JPEG_TOOLS="Z:${jpeg_prefix}/bin")
movitrel_windows_tests(playback)

# The control's tests stand on the headless container, which needs nothing but the framework.
add_subdirectory(${CMAKE_SOURCE_DIR}/host/headless ${CMAKE_BINARY_DIR}/host/headless EXCLUDE_FROM_ALL)
movitrel_windows_tests(control LIBS host_headless
  EXCLUDE
    # The fall-back for a press on a scroll bar or border is the system's DefWindowProc,
    # which enters its modal tracking loop and waits for a release a sent message never gives.
    BorderResizeTest.FallsBackWithoutTrackingWhenResizingDoesNotApply
    # A folder removed under the watch's open handle stays at its path under Wine (see the
    # platform's DirWatchTest exclusion): the new frames go into the doomed folder.
    CacheWatchTest.WatchFollowsAFolderRemovedAndMadeAgainWithNewFrames)
