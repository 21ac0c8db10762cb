# The directory search, common dialogs, clipboard and notice box.

# Name matching against search masks: portable, so its rules are also tested natively.
add_library(vantrel_wildcard STATIC ${CMAKE_CURRENT_LIST_DIR}/wildcard.cpp)
target_link_libraries(vantrel_wildcard PUBLIC vantrel_warnings)

if(WIN32)
    target_sources(vantrel_layer PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/clipboard.cpp
        ${CMAKE_CURRENT_LIST_DIR}/directory_search.cpp
        ${CMAKE_CURRENT_LIST_DIR}/folder_dialog.cpp
        ${CMAKE_CURRENT_LIST_DIR}/notice.cpp
        ${CMAKE_CURRENT_LIST_DIR}/open_save_dialog.cpp
    )
    target_link_libraries(vantrel_layer PUBLIC vantrel_wildcard)
endif()
