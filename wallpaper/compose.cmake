# Fitting, composition and preview.
tavrino_core_sources(FitImageBox.cpp decode/Resample.cpp)
tavrino_app_sources(ScreenMetricsSource.cpp decode/ImageDecoding.cpp BitmapComposition.cpp
                    WallpaperComposer.cpp PreviewController.cpp decode/RowPipeline.cpp)

# JPEG and GIF pictures are decoded with libjpeg-turbo and giflib directly: they hand their
# rows over one by one (and libjpeg-turbo shrinks by any eighth while it decodes), so a large
# picture is never held whole. Without them Qt's readers are used.
if(TARGET tavrino_app)
  find_package(JPEG GLOBAL)
  if(JPEG_FOUND)
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_INCLUDES ${JPEG_INCLUDE_DIRS})
    check_cxx_source_compiles([[
      #include <cstdio>
      #include <jpeglib.h>
      int main() { return JCS_EXT_BGRX == JCS_EXT_XRGB; }]] TAVRINO_LIBJPEG_TURBO)
    unset(CMAKE_REQUIRED_INCLUDES)
  endif()
  if(TAVRINO_LIBJPEG_TURBO)
    tavrino_app_sources(decode/JpegDecoder.cpp)
    target_compile_definitions(tavrino_app PUBLIC TAVRINO_HAVE_LIBJPEG)
    target_link_libraries(tavrino_app PUBLIC JPEG::JPEG)
  endif()
  find_package(GIF 5 GLOBAL)
  if(GIF_FOUND)
    tavrino_app_sources(decode/GifDecoder.cpp)
    target_compile_definitions(tavrino_app PUBLIC TAVRINO_HAVE_GIFLIB)
    target_link_libraries(tavrino_app PUBLIC GIF::GIF)
  endif()
endif()
