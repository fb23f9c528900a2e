# COMCTL32 import library for the saver. CreateUpDownControl is imported by its ordinal, 16,
# the form every COMCTL32 since Windows 95 answers, so it is made here with dlltool from a
# small .def rather than taken from the toolchain's name-based library.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 32-bit stdcall symbols carry their argument bytes; --kill-at drops them from the DLL names.
    set(QUILLET_COMCTL32_EXPORTS "CreateUpDownControl@48 @16 NONAME\nInitCommonControlsEx@4\n")
    set(QUILLET_DLLTOOL_FLAGS --kill-at)
else()
    set(QUILLET_COMCTL32_EXPORTS "CreateUpDownControl @16 NONAME\nInitCommonControlsEx\n")
    set(QUILLET_DLLTOOL_FLAGS)
endif()

set(QUILLET_COMCTL32_DEF "${CMAKE_BINARY_DIR}/comctl32_ordinal.def")
set(QUILLET_COMCTL32_LIB "${CMAKE_BINARY_DIR}/libcomctl32_ordinal.a")
# Written beside and copied only when it changes, so a reconfigure does not relink the saver.
file(WRITE "${QUILLET_COMCTL32_DEF}.new" "LIBRARY COMCTL32.dll\nEXPORTS\n${QUILLET_COMCTL32_EXPORTS}")
configure_file("${QUILLET_COMCTL32_DEF}.new" "${QUILLET_COMCTL32_DEF}" COPYONLY)

add_custom_command(
    OUTPUT "${QUILLET_COMCTL32_LIB}"
    COMMAND ${CMAKE_DLLTOOL} ${QUILLET_DLLTOOL_FLAGS} -d "${QUILLET_COMCTL32_DEF}"
            -l "${QUILLET_COMCTL32_LIB}"
    DEPENDS "${QUILLET_COMCTL32_DEF}"
    VERBATIM)
add_custom_target(comctl32_ordinal_lib DEPENDS "${QUILLET_COMCTL32_LIB}")

add_library(comctl32_ordinal STATIC IMPORTED)
set_target_properties(comctl32_ordinal PROPERTIES IMPORTED_LOCATION "${QUILLET_COMCTL32_LIB}")
add_dependencies(comctl32_ordinal comctl32_ordinal_lib)
