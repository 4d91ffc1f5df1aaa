# How Qt for the Windows build is configured: the initial cache (cmake -C) of a qtbase build
# from Debian's own Qt source, with the cross toolchain mingw-w64-x86_64.cmake beside this file.
# Only what the window and its tests need, static, so that an .exe needs nothing but the
# system's own DLLs. scripts/setup-qt-mingw builds it; editing this file makes it build anew.

# moc, rcc and uic are the build machine's own, of the same Qt version.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

set(CMAKE_BUILD_TYPE Release CACHE STRING "")
set(BUILD_SHARED_LIBS OFF CACHE BOOL "")
set(QT_BUILD_EXAMPLES OFF CACHE BOOL "")
set(QT_BUILD_TESTS OFF CACHE BOOL "")
set(QT_BUILD_BENCHMARKS OFF CACHE BOOL "")

foreach(module gui widgets testlib)
    set(FEATURE_${module} ON CACHE BOOL "")
endforeach()
foreach(module network sql dbus opengl vulkan printsupport concurrent xml)
    set(FEATURE_${module} OFF CACHE BOOL "")
endforeach()
# Without OpenGL, its loading at run time must go too: 6.4 leaves it on and fails to build.
set(FEATURE_dynamicgl OFF CACHE BOOL "")

# Qt's bundled copies: the machine's libraries are for Linux.
foreach(library zlib pcre2 png freetype harfbuzz)
    set(FEATURE_system_${library} OFF CACHE BOOL "")
endforeach()
foreach(feature icu jpeg)
    set(FEATURE_${feature} OFF CACHE BOOL "")
endforeach()

# Debian's source lacks the tablet (wintab) and IAccessible2 headers that these need; without
# Direct2D, DirectWrite 3 leaves an unresolved font database behind.
foreach(feature tabletevent direct2d directwrite3)
    set(FEATURE_${feature} OFF CACHE BOOL "")
endforeach()
