# Libraries from Debian packages (native) or cross-built from Debian's source
# packages into the toolchain's find root (Windows).

find_path(ZELKO_LZ4_INCLUDE_DIR lz4.h REQUIRED)
if(WIN32)
  find_library(ZELKO_LZ4_LIBRARY NAMES liblz4.a lz4_static lz4 REQUIRED)
else()
  find_library(ZELKO_LZ4_LIBRARY NAMES lz4 REQUIRED)
endif()
add_library(zelko::lz4 INTERFACE IMPORTED)
target_include_directories(zelko::lz4 INTERFACE ${ZELKO_LZ4_INCLUDE_DIR})
target_link_libraries(zelko::lz4 INTERFACE ${ZELKO_LZ4_LIBRARY})

# Image file codecs: WIC on Windows; libtiff, giflib and libpng elsewhere
# (stb is header-only).
add_library(zelko::imagefile INTERFACE IMPORTED)
if(WIN32)
  target_link_libraries(zelko::imagefile INTERFACE windowscodecs ole32 oleaut32 uuid shlwapi)
else()
  find_package(TIFF REQUIRED)
  find_package(GIF REQUIRED)
  find_package(PNG REQUIRED)
  target_link_libraries(zelko::imagefile INTERFACE TIFF::TIFF GIF::GIF PNG::PNG)
endif()
