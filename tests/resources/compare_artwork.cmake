# Runs birdgen into a fresh folder and fails unless every file matches resources/ byte for
# byte: the committed artwork must be reproducible from the generator's numbers.
file(REMOVE_RECURSE "${OUT_DIR}")
file(MAKE_DIRECTORY "${OUT_DIR}")
execute_process(COMMAND "${BIRDGEN}" "${OUT_DIR}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "birdgen failed: ${result}")
endif()
foreach(name bird1 bird2 bird3 bird4 mask1 mask2 mask3 mask4)
    list(APPEND files "${name}.bmp")
endforeach()
list(APPEND files quillet.ico)
foreach(file ${files})
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
        "${OUT_DIR}/${file}" "${RESOURCES_DIR}/${file}" RESULT_VARIABLE differs)
    if(NOT differs EQUAL 0)
        message(FATAL_ERROR "${file} differs from the generator's output; run birdgen resources")
    endif()
endforeach()
