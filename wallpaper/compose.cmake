# Fitting, composition and preview.
tavrino_core_sources(FitImageBox.cpp decode/Resample.cpp)
tavrino_app_sources(ScreenMetricsSource.cpp decode/ImageDecoding.cpp BitmapComposition.cpp
                    WallpaperComposer.cpp PreviewController.cpp decode/RowPipeline.cpp
                    decode/JpegDecoder.cpp decode/JpegDcScan.cpp decode/GifDecoder.cpp decode/DecodeJobs.cpp)

if(NOT TARGET tavrino_app)
  return()
endif()

# JPEG and GIF pictures are decoded with libjpeg-turbo and giflib directly: they hand their
# rows over one by one (and libjpeg-turbo shrinks by any eighth while it decodes), so a large
# picture is never held whole. Qt's reader takes BMP.
find_package(JPEG REQUIRED GLOBAL)
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_INCLUDES ${JPEG_INCLUDE_DIRS})
check_cxx_source_compiles([[
  #include <cstdio>
  #include <jpeglib.h>
  int main() { return JCS_EXT_BGRX == JCS_EXT_XRGB; }]] TAVRINO_LIBJPEG_TURBO)
unset(CMAKE_REQUIRED_INCLUDES)
if(NOT TAVRINO_LIBJPEG_TURBO)
  message(FATAL_ERROR "libjpeg-turbo is required (its extended colour spaces are used)")
endif()
find_package(GIF 5 REQUIRED GLOBAL)
target_link_libraries(tavrino_app PUBLIC JPEG::JPEG GIF::GIF)

# Pictures are decoded in a helper process with limits (Linux: libseccomp for its system-call
# filter); on Windows in the program's own process.
set(TAVRINO_DECODER_HELPER OFF)
if(WIN32)
  tavrino_app_sources(decode/ImageFile_win.cpp decode/DecoderProcess_win.cpp)
else()
  tavrino_app_sources(decode/ImageFile_posix.cpp decode/DecoderProcess_posix.cpp)
  set(TAVRINO_DECODER_HELPER ON)
endif()

if(TAVRINO_DECODER_HELPER)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(SECCOMP REQUIRED IMPORTED_TARGET libseccomp)
  # A companion executable rather than the program itself with a switch: it loads only
  # QtCore, QtGui and the decoders, so it starts in a few milliseconds, and it carries nothing
  # of the windows, the network or D-Bus.
  add_executable(tavrino-wallpaper-decoder decode/DecoderHelper.cpp
                 decode/DecoderSandbox_posix.cpp)
  target_link_libraries(tavrino-wallpaper-decoder PRIVATE tavrino_app PkgConfig::SECCOMP)
  target_link_options(tavrino-wallpaper-decoder PRIVATE -Wl,--as-needed)
  # Beside the program in the build tree, where the program looks first.
  set_target_properties(tavrino-wallpaper-decoder PROPERTIES
      RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
  tavrino_warnings(tavrino-wallpaper-decoder)
  install(TARGETS tavrino-wallpaper-decoder
          RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/tavrino-wallpaper-manager)
  file(RELATIVE_PATH decoder_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_FULL_LIBEXECDIR}/tavrino-wallpaper-manager)
  # Tests and benchmarks run from elsewhere in the build tree and find the helper where it was
  # built; an installed program never looks into a build tree.
  set(decoder_built "")
  if(TAVRINO_BUILD_TESTS OR TAVRINO_BUILD_BENCH)
    set(decoder_built "$<TARGET_FILE:tavrino-wallpaper-decoder>")
  endif()
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/decode/DecoderProcess_posix.cpp
      TARGET_DIRECTORY tavrino_app APPEND PROPERTY COMPILE_DEFINITIONS
      TAVRINO_DECODER_FROM_BIN="${decoder_from_bin}"
      TAVRINO_DECODER_BUILT="${decoder_built}")
  if(TARGET tavrino-wallpaper-manager)
    add_dependencies(tavrino-wallpaper-manager tavrino-wallpaper-decoder)
  endif()
endif()
