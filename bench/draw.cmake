# Draws a 400 x 400 frame the way a document window composes one and prints the time per frame.
if(NIMBOLT_GUI)
    add_executable(draw-bench ${CMAKE_CURRENT_LIST_DIR}/DrawBench.cpp)
    target_link_libraries(draw-bench PRIVATE nimbolt_elements)
    nimbolt_warnings(draw-bench)
endif()
