# The native build: unit tests of the decision logic, and the registration of every test
# that runs Windows programs under Wine (on the i686 build, the product, and the x86_64 build).
enable_testing()
find_package(GTest REQUIRED)

# The tests' Python is the system's: it has the Debian packages they use, which an interpreter
# earlier on PATH (pyenv, a virtualenv) does not see.
set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Python 3 with python3-pil, python3-pefile and python3-xlib")
find_package(Python3 REQUIRED COMPONENTS Interpreter)
execute_process(COMMAND ${Python3_EXECUTABLE} -c "import PIL, pefile, Xlib"
                RESULT_VARIABLE quillet_python_lacks ERROR_QUIET)
if(quillet_python_lacks)
    message(FATAL_ERROR "${Python3_EXECUTABLE} cannot import PIL, pefile and Xlib: run tools/install-deps.sh")
endif()

set(QUILLET_WIN32_DIR "${CMAKE_SOURCE_DIR}/build/win32" CACHE PATH "i686 MinGW build folder")
set(QUILLET_WIN64_DIR "${CMAKE_SOURCE_DIR}/build/win64" CACHE PATH "x86_64 MinGW build folder")
set(QUILLET_DIST_DIR "${CMAKE_SOURCE_DIR}/dist" CACHE PATH "folder holding quillet.scr")

# The settings file's calls made with POSIX ones, answering in the system's error codes as the
# Windows build's KERNEL32 calls do.
list(APPEND QUILLET_CORE_SOURCES saver/settings_disk_posix.cpp)
add_library(quillet_core STATIC ${QUILLET_CORE_SOURCES})
target_include_directories(quillet_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(quillet_core PRIVATE -Wall -Wextra)

# Subfolders that rebuild the core with other flags (sanitizers, fuzzing) need full paths.
list(TRANSFORM QUILLET_CORE_SOURCES PREPEND "${CMAKE_SOURCE_DIR}/" OUTPUT_VARIABLE QUILLET_CORE_SOURCES_ABS)

add_subdirectory(tests/unit)
add_subdirectory(tools/birdgen)
add_subdirectory(tests/resources)
add_subdirectory(tests/release)
add_subdirectory(tests/tools)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_subdirectory(tests/fuzz)
endif()
add_subdirectory(tests/e2e)

# C++ laid out as .clang-format says; `make format` fixes what this finds.
add_test(NAME format COMMAND ${CMAKE_SOURCE_DIR}/tools/check-format.sh)
set_tests_properties(format PROPERTIES TIMEOUT 120)
