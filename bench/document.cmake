# Paints, loads and memory of documents in a window without a display.
if(NIMBOLT_GUI)
    add_executable(document-bench ${CMAKE_CURRENT_LIST_DIR}/DocumentBench.cpp)
    target_link_libraries(document-bench PRIVATE nimbolt_headless nimbolt_platform)
    nimbolt_warnings(document-bench)
endif()
