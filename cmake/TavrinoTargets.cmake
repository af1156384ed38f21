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
    # Pictures are decoded by the helper process.
    if(TARGET tavrino-wallpaper-decoder)
      add_dependencies(${T_NAME} tavrino-wallpaper-decoder)
    endif()
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

# tavrino_fuzzer(NAME n SOURCES ... [RUNS n] [MAX_LEN n] [ARGS ...] [LINK lib ...] [ENVIRONMENT k=v ...] [QT])
# A libFuzzer target (clang) with the sources under test compiled in, so the fuzzer sees their
# coverage, and a short ctest run (label fuzz) from the seed corpus in the folder's corpus/
# (corpus-qt/ for QT ones). New inputs go to the build tree, never into the sources. QT fuzzers
# run offscreen, also carry the label qt, and are built by the target qt_fuzzers.
function(tavrino_fuzzer)
  cmake_parse_arguments(F "QT" "NAME;RUNS;MAX_LEN;TIMEOUT" "SOURCES;ARGS;LINK;ENVIRONMENT" ${ARGN})
  if(NOT F_RUNS)
    set(F_RUNS 20000)
  endif()
  if(NOT F_MAX_LEN)
    set(F_MAX_LEN 4096)
  endif()
  if(NOT F_TIMEOUT)
    set(F_TIMEOUT 300)
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  target_include_directories(${F_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${F_NAME} PRIVATE
      TAVRINO_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
      TAVRINO_VERSION_MINOR=${PROJECT_VERSION_MINOR}
      TAVRINO_VERSION_REVISION=${PROJECT_VERSION_PATCH}
      TAVRINO_DEFAULT_VENDOR_SITE="${TAVRINO_VENDOR_SITE}")
  target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${F_NAME} PRIVATE ${F_LINK})
  tavrino_warnings(${F_NAME})
  if(TAVRINO_BUILD_TESTS)
    set(work_corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus-${F_NAME})
    file(MAKE_DIRECTORY ${work_corpus})
    set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/corpus)
    set(labels fuzz)
    if(F_QT)
      set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/corpus-qt)
      set(labels fuzz qt)
      list(APPEND F_ENVIRONMENT QT_QPA_PLATFORM=offscreen)
    endif()
    add_test(NAME ${F_NAME}
             COMMAND ${F_NAME} -runs=${F_RUNS} -max_len=${F_MAX_LEN} -seed=1 ${F_ARGS}
                     ${work_corpus} ${seeds})
    set_tests_properties(${F_NAME} PROPERTIES LABELS "${labels}" TIMEOUT ${F_TIMEOUT}
        ENVIRONMENT "${F_ENVIRONMENT}")
  endif()
  if(F_QT)
    add_dependencies(qt_fuzzers ${F_NAME})
  endif()
endfunction()
