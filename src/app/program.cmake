# vantrel.exe: the window program, with its icon and version resources.
set(VANTREL_ICON ${CMAKE_CURRENT_BINARY_DIR}/vantrel.ico)
add_custom_command(OUTPUT ${VANTREL_ICON}
    COMMAND ${VANTREL_SYSTEM_PYTHON} ${PROJECT_SOURCE_DIR}/tools/make_icon.py ${VANTREL_ICON}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_icon.py
    COMMENT "Drawing the program icon")
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/vantrel.rc PROPERTIES
    OBJECT_DEPENDS ${VANTREL_ICON})

add_library(vantrel_app STATIC ${CMAKE_CURRENT_SOURCE_DIR}/main_form.cpp)
target_link_libraries(vantrel_app PUBLIC vantrel_layer vantrel_core)

add_executable(vantrel WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/vantrel_main.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/vantrel.rc)
target_include_directories(vantrel PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(vantrel PRIVATE vantrel_app vantrel_err)
