tavrino_test(NAME test_options SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_options.cpp)
tavrino_test(NAME test_settings_store SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_settings_store.cpp
             QT LABELS gui)
