# Helpers shared by every subsystem's CMakeLists.txt.

function(tavrino_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
        -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
        -Wconversion -Wsign-conversion -Wnull-dereference -Wformat=2)
  endif()
  if(TAVRINO_WERROR)
    if(MSVC)
      target_compile_options(${target} PRIVATE /WX)
    else()
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

# tavrino_core_sources(file ...): Qt-free sources compiled into tavrino_core.
function(tavrino_core_sources)
  foreach(f IN LISTS ARGN)
    target_sources(tavrino_core PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${f})
  endforeach()
endfunction()

# tavrino_app_sources(file ...): Qt sources (and .ui/.qrc files); ignored in core-only builds.
function(tavrino_app_sources)
  if(TARGET tavrino_app)
    foreach(f IN LISTS ARGN)
      target_sources(tavrino_app PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${f})
    endforeach()
  endif()
endfunction()

# tavrino_test(NAME n SOURCES ... [QT] [LABELS l ...] [ENVIRONMENT k=v ...] [TIMEOUT s] [LINK lib ...])
# One GoogleTest executable, registered with ctest. QT tests link tavrino_app, run offscreen,
# and are skipped in core-only builds.
function(tavrino_test)
  cmake_parse_arguments(T "QT" "NAME;TIMEOUT" "SOURCES;LABELS;ENVIRONMENT;LINK" ${ARGN})
  if(T_QT AND NOT TARGET tavrino_app)
    return()
  endif()
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  tavrino_warnings(${T_NAME})
  if(T_QT)
    # Widget tests may include the generated form classes (ui_frmMain.h, ...).
    set_target_properties(${T_NAME} PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/layouts)
    target_link_libraries(${T_NAME} PRIVATE tavrino_app Qt6::Test tavrino_test_main_qt)
  else()
    target_link_libraries(${T_NAME} PRIVATE tavrino_core tavrino_test_main)
  endif()
  target_link_libraries(${T_NAME} PRIVATE ${T_LINK})
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env "TAVRINO_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR}" ${T_ENVIRONMENT})
  if(T_QT)
    list(APPEND env QT_QPA_PLATFORM=offscreen)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
      ENVIRONMENT "${env}")
endfunction()
