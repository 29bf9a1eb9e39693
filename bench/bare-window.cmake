# The yardstick of bench/startup.sh: a bare Qt program showing one picture in a frameless window.
if(NIMBOLT_GUI)
    find_package(Qt6 REQUIRED COMPONENTS Widgets)
    add_executable(bare-window ${CMAKE_CURRENT_LIST_DIR}/BareWindow.cpp)
    target_link_libraries(bare-window PRIVATE Qt6::Widgets)
    nimbolt_warnings(bare-window)
endif()
