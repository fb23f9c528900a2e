# The Windows builds: quillet.scr and the small Windows programs the Wine tests use.
enable_language(RC)

# A .scr must run on a plain Windows 95-era installation: static runtime, no C++ exceptions
# or RTTI of our own, GUI subsystem, OS and subsystem version 4.0.
set(QUILLET_WIN_COMPILE_OPTIONS -Wall -Wextra -fno-exceptions -fno-rtti -Os)
# The C++ library switches stdio to MinGW's own printf and scanf, which are large and import
# Unicode functions that Windows 95 only stubs. The saver's two sscanf patterns and two
# fprintf lines are served as well by msvcrt's: take stdio.h first, before that switch.
set(QUILLET_PRODUCT_COMPILE_OPTIONS -D__USE_MINGW_ANSI_STDIO=0 -include stdio.h)
set(QUILLET_WIN_LINK_OPTIONS
    -static -static-libgcc -static-libstdc++ -mwindows -s
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0)

set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
set_property(SOURCE resources/quillet.rc APPEND PROPERTY COMPILE_DEFINITIONS QUILLET_VERSION_MAJOR=${PROJECT_VERSION_MAJOR} QUILLET_VERSION_MINOR=${PROJECT_VERSION_MINOR} QUILLET_VERSION_PATCH=${PROJECT_VERSION_PATCH})
file(GLOB QUILLET_ARTWORK CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.bmp ${CMAKE_SOURCE_DIR}/resources/*.ico ${CMAKE_SOURCE_DIR}/resources/*.rc ${CMAKE_SOURCE_DIR}/resources/*.manifest)
set_property(SOURCE resources/quillet.rc APPEND PROPERTY OBJECT_DEPENDS ${QUILLET_ARTWORK})

# Every step composes each bird's patch pixel by pixel and tests each bird against every other:
# the saver's only hot loops, worth their speed over a few bytes.
set_source_files_properties(saver/compositor.cpp saver/flock.cpp PROPERTIES COMPILE_OPTIONS -O3)

add_executable(quillet WIN32 ${QUILLET_CORE_SOURCES} ${QUILLET_WIN32_SOURCES} ${QUILLET_RESOURCE_SOURCES})
set_target_properties(quillet PROPERTIES SUFFIX ".scr")
target_include_directories(quillet PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(quillet PRIVATE ${QUILLET_WIN_COMPILE_OPTIONS} ${QUILLET_PRODUCT_COMPILE_OPTIONS})
target_link_options(quillet PRIVATE ${QUILLET_WIN_LINK_OPTIONS})
target_link_libraries(quillet PRIVATE ${QUILLET_WIN_LIBRARIES} user32 gdi32 kernel32 advapi32)

add_subdirectory(tests/win32)
add_subdirectory(tools/bench)
add_subdirectory(tools/release)
add_subdirectory(tools/sample_desktop)
