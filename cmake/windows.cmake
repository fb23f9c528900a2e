# The Windows builds: quillet.scr and the small Windows programs the Wine tests use.
enable_language(RC)

# A .scr must run on a plain Windows 95-era installation: no C++ exceptions or RTTI of our own,
# GUI subsystem, OS and subsystem version 4.0.
set(QUILLET_WIN_COMPILE_OPTIONS -Wall -Wextra -fno-exceptions -fno-rtti -Os)
# Two builds of one commit give the same bytes wherever and whenever they run: no link time in
# the PE header, and no folder of the machine that built it in the file.
list(APPEND QUILLET_WIN_COMPILE_OPTIONS -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
     -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
# The helper programs of the tests and the bench reference: the static runtime of MinGW.
set(QUILLET_WIN_LINK_OPTIONS
    -static -static-libgcc -static-libstdc++ -mwindows -s -Wl,--no-insert-timestamp
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0)

# The saver itself needs no C runtime library: Windows 95 as first released had no msvcrt.dll.
# It brings its own entry point (host/startup.cpp), heap allocation (host/allocation.cpp) and
# block copies (host/memory.cpp), and imports from the four system libraries only. libgcc
# stays for what the compiler calls on its own: 64-bit division on the 32-bit build and the
# stack probe of large frames. Nothing runs static constructors any more; the function-local
# statics need no guard, since the saver has one thread.
set(QUILLET_PRODUCT_COMPILE_OPTIONS -fno-threadsafe-statics)
set(QUILLET_PRODUCT_LINK_OPTIONS -nostartfiles -nodefaultlibs -mwindows -s -Wl,--no-insert-timestamp
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0)
# The compiler would turn the loops of memcpy, memmove, memset and strlen back into calls to them.
set_source_files_properties(host/memory.cpp PROPERTIES COMPILE_OPTIONS
                            "-fno-builtin;-fno-tree-loop-distribute-patterns;-O2")

set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
set_property(SOURCE resources/quillet.rc APPEND PROPERTY COMPILE_DEFINITIONS QUILLET_VERSION_MAJOR=${PROJECT_VERSION_MAJOR} QUILLET_VERSION_MINOR=${PROJECT_VERSION_MINOR} QUILLET_VERSION_PATCH=${PROJECT_VERSION_PATCH})
# The manifest names the program with the version resource's four numbers and the processor
# of this build, so each build writes its own from the one template.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QUILLET_MANIFEST_ARCHITECTURE amd64)
else()
    set(QUILLET_MANIFEST_ARCHITECTURE x86)
endif()
set(QUILLET_MANIFEST_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
configure_file(resources/quillet.manifest.in ${CMAKE_BINARY_DIR}/resources/quillet.manifest @ONLY)
set_property(SOURCE resources/quillet.rc APPEND PROPERTY INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/resources)
file(GLOB QUILLET_ARTWORK CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.bmp ${CMAKE_SOURCE_DIR}/resources/*.ico ${CMAKE_SOURCE_DIR}/resources/*.rc)
set_property(SOURCE resources/quillet.rc APPEND PROPERTY OBJECT_DEPENDS ${QUILLET_ARTWORK} ${CMAKE_BINARY_DIR}/resources/quillet.manifest)

# Every step composes each bird's patch pixel by pixel and tests each bird against every other:
# the saver's only hot loops, worth their speed over a few bytes. The background's resampling
# runs once, but over a whole photo.
set_source_files_properties(saver/compositor.cpp saver/flock.cpp saver/wallpaper_layout.cpp PROPERTIES COMPILE_OPTIONS -O3)

# The saver's code, compiled once: the saver links it, and so does a console test program that
# drives the saver's own code through its main (tests/windows_helpers/erase_probe.cpp).
add_library(quillet_objects OBJECT ${QUILLET_CORE_SOURCES} ${QUILLET_WIN32_SOURCES})
target_include_directories(quillet_objects PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(quillet_objects PUBLIC ${QUILLET_WIN_COMPILE_OPTIONS} ${QUILLET_PRODUCT_COMPILE_OPTIONS})

add_executable(quillet WIN32 host/entry.cpp ${QUILLET_RESOURCE_SOURCES})
set_target_properties(quillet PROPERTIES SUFFIX ".scr")
target_link_libraries(quillet PRIVATE quillet_objects)
target_link_options(quillet PRIVATE ${QUILLET_PRODUCT_LINK_OPTIONS})
target_link_options(quillet PRIVATE -Wl,-Map,${CMAKE_BINARY_DIR}/quillet.map)
target_link_libraries(quillet PRIVATE user32 gdi32 kernel32 advapi32 gcc)
# No import library beyond the four above is offered to the saver's link.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
add_custom_command(TARGET quillet POST_BUILD
                   COMMAND ${CMAKE_COMMAND} -DMAP=${CMAKE_BINARY_DIR}/quillet.map
                           -P ${CMAKE_SOURCE_DIR}/cmake/check-no-constructors.cmake
                   VERBATIM)

add_subdirectory(tests/windows_helpers)
add_subdirectory(tools/bench)
add_subdirectory(tools/release)
add_subdirectory(tools/sample_desktop)
