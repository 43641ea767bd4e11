# velnorctl, the examples and the installed package. The tool's tests run it
# against the virtual board, so they need the virtual platform; the package
# test installs into a temporary prefix and builds a consumer project there.
if(VELNOR_BUILD_TOOLS)
  if(NOT WIN32)
    velnor_add_test(velnorctl_parts_test SOURCES velnorctl_parts_test.cpp LIBS velnor_tool_core)

    velnor_add_test(velnorctl_test SOURCES velnorctl_test.cpp)
    velnor_add_test(velnorctl_field_test SOURCES velnorctl_field_test.cpp LIBS velnorctl_json)
    velnor_add_test(velnorctl_detail_test SOURCES velnorctl_detail_test.cpp LIBS velnor_tool_core
                    TIMEOUT 30) # 0.4 s
    # Sessions recorded through the recording build, shown and replayed.
    velnor_add_test(velnorctl_trace_test SOURCES velnorctl_trace_test.cpp LIBS velnorctl_json)
    target_compile_definitions(velnorctl_trace_test PRIVATE
      VELNOR_TRACE_LIB_DIR="$<TARGET_FILE_DIR:velnor_recording>")
    add_dependencies(velnorctl_trace_test velnor_recording)
    # `velnorctl record`: a program run on the recording build beside the tool.
    velnor_add_test(velnorctl_record_test SOURCES velnorctl_record_test.cpp)
    add_dependencies(velnorctl_record_test velnor_recording)
    foreach(_suite velnorctl_test velnorctl_field_test velnorctl_detail_test velnorctl_trace_test
                   velnorctl_record_test)
      target_compile_definitions(${_suite} PRIVATE VELNORCTL_EXE="$<TARGET_FILE:velnorctl>")
      add_dependencies(${_suite} velnorctl)
    endforeach()
    # Preloaded into a run of `velnorctl watch` to make virtual boards come and
    # go in that process while it watches.
    add_library(velnorctl_board_changes SHARED velnorctl_board_changes.cpp)
    find_package(Threads REQUIRED)
    target_link_libraries(velnorctl_board_changes PRIVATE velnor_sim Threads::Threads)
    velnor_warnings(velnorctl_board_changes)
    target_compile_definitions(velnorctl_field_test PRIVATE
      VELNORCTL_BOARD_CHANGES="$<TARGET_FILE:velnorctl_board_changes>")
    add_dependencies(velnorctl_field_test velnorctl_board_changes)

    add_test(NAME consumer_project
      COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
              -DSOURCE_DIR=${CMAKE_CURRENT_SOURCE_DIR}/consumer
              -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/consumer_project
              -DGENERATOR=${CMAKE_GENERATOR} -DC_COMPILER=${CMAKE_C_COMPILER}
              -DREFERENCE=$<$<TARGET_EXISTS:velnor_api_reference>:share/doc/Velnor/html/index.html>
              -P ${CMAKE_CURRENT_SOURCE_DIR}/consumer/run_consumer_test.cmake)
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/consumer_tmp)
    set_tests_properties(consumer_project PROPERTIES TIMEOUT 300
      ENVIRONMENT "TMPDIR=${CMAKE_CURRENT_BINARY_DIR}/consumer_tmp")

    set(_demo_tmp ${CMAKE_CURRENT_BINARY_DIR}/demo_tmp)
    file(MAKE_DIRECTORY ${_demo_tmp})
    add_test(NAME demo_script COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/demo.sh ${PROJECT_BINARY_DIR})
    set_tests_properties(demo_script PROPERTIES ENVIRONMENT "TMPDIR=${_demo_tmp}"
      PASS_REGULAR_EXPRESSION "Try 123125000Hz or 123750000Hz.*firmware now 1\\.4\\.0")
    velnor_test_timeout(30 demo_script) # 0.3 s
  endif()

  # The Windows tool under Wine, as a Windows user runs it: file names in any
  # script, a reader that goes away during an update, the library it loaded.
  if(WIN32 AND TARGET velnorctl_virtual)
    velnor_add_test(velnorctl_windows_test SOURCES velnorctl_windows_test.cpp
                    TIMEOUT 30) # 2.7 s under Wine
    target_compile_definitions(velnorctl_windows_test PRIVATE
      VELNORCTL_EXE="$<TARGET_FILE:velnorctl>"
      VELNORCTL_VIRTUAL_DIR="$<TARGET_FILE_DIR:velnorctl_virtual>"
      VELNOR_PRODUCT_DLL="$<TARGET_FILE:velnor>" VELNOR_VERSION="${PROJECT_VERSION}")
    add_dependencies(velnorctl_windows_test velnorctl velnorctl_virtual)
    # The made-up cfgmgr32.dll of the end-to-end runs, planted beside the
    # tool, with the native DLL preferred (elsewhere Wine's own is taken).
    if(TARGET velnor_e2e_planted_cfgmgr32)
      target_compile_definitions(velnorctl_windows_test PRIVATE
        VELNOR_PLANTED_CFGMGR32="$<TARGET_FILE:velnor_e2e_planted_cfgmgr32>")
      add_dependencies(velnorctl_windows_test velnor_e2e_planted_cfgmgr32)
      set_tests_properties(velnorctl_windows_test PROPERTIES
        ENVIRONMENT "WINEDLLOVERRIDES=cfgmgr32=n,b")
    endif()
  endif()

  # The tool under Wine stopped by each signal sent to it during an update:
  # the script sends Unix signals, so it runs on the host, not through Wine.
  if(WIN32 AND TARGET velnorctl_virtual AND CMAKE_HOST_UNIX AND VELNOR_WINE)
    add_test(NAME velnorctl_wine_stops
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/velnorctl_wine_stops.sh
                     $<TARGET_FILE:velnorctl_virtual>)
    set_tests_properties(velnorctl_wine_stops PROPERTIES TIMEOUT 120
                         ENVIRONMENT "WINE=${VELNOR_WINE}")
  endif()

  if(NOT WIN32 OR VELNOR_BACKEND STREQUAL "virtual")
    # The examples' refused clocks are logged: into a folder of the run's own.
    set(_examples_tmp ${CMAKE_CURRENT_BINARY_DIR}/examples_tmp)
    file(MAKE_DIRECTORY ${_examples_tmp})
    add_test(NAME example_list_and_clock COMMAND list_and_clock)
    set_tests_properties(example_list_and_clock PROPERTIES
      PASS_REGULAR_EXPRESSION "clock 125000000 Hz: set.*clock 123456789 Hz: refused"
      ENVIRONMENT "TMPDIR=${_examples_tmp};TMP=${_examples_tmp};TEMP=${_examples_tmp}")
    add_test(NAME example_versions_and_clock COMMAND versions_and_clock)
    set_tests_properties(example_versions_and_clock PROPERTIES
      PASS_REGULAR_EXPRESSION "clock now 250000000 Hz.*800000000 Hz refused"
      ENVIRONMENT "TMPDIR=${_examples_tmp};TMP=${_examples_tmp};TEMP=${_examples_tmp}")
    velnor_test_timeout(30 example_list_and_clock example_versions_and_clock) # 0.01 s each
  endif()
endif()

# velnor-panel's API and its gate, through HTTP, on virtual boards.
if(TARGET velnor-panel AND NOT WIN32)
  add_library(panel_board_changes SHARED panel_board_changes.cpp)
  target_link_libraries(panel_board_changes PRIVATE velnor_sim)
  velnor_warnings(panel_board_changes)
  find_program(VELNOR_PANEL_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
  add_test(NAME panel_api COMMAND ${VELNOR_PANEL_PYTHON} -m pytest -q -p no:cacheprovider
           ${CMAKE_CURRENT_SOURCE_DIR}/panel_api_test.py)
  set_tests_properties(panel_api PROPERTIES ENVIRONMENT
    "VELNOR_PANEL=$<TARGET_FILE:velnor-panel>;VELNOR_PANEL_CHANGES_LIB=$<TARGET_FILE:panel_board_changes>")
  add_dependencies(panel_board_changes velnor-panel)
  velnor_test_timeout(120 panel_api)

  # The page in Debian's Chromium through Playwright (tests/panel_page; its
  # node_modules come from `npm ci` in scripts/install-deps.sh).
  find_program(VELNOR_NODE node REQUIRED)
  set(_page_tests ${CMAKE_CURRENT_SOURCE_DIR}/panel_page)
  add_test(NAME panel_page COMMAND ${VELNOR_NODE} ${_page_tests}/node_modules/@playwright/test/cli.js
           test --config ${_page_tests}/playwright.config.mjs)
  set_tests_properties(panel_page PROPERTIES ENVIRONMENT
    "VELNOR_PANEL=$<TARGET_FILE:velnor-panel>;VELNOR_PANEL_CHANGES_LIB=$<TARGET_FILE:panel_board_changes>;VELNOR_PANEL_PAGE_OUTPUT=${CMAKE_CURRENT_BINARY_DIR}/panel_page")
  velnor_test_timeout(300 panel_page)
endif()
