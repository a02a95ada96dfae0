# The toolkit's test sources, built natively (tests/native) and for Windows.
set(DEVIDUDI_SCRIPT_TOOL_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/script_reader/text_mode_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_reader/script_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/make/make_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tree_walker/exclude_glob_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/verify/verify_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tree_walker/tree_walker_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_reader/run_program_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preflight/preflight_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_reader/text_mode_differential_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lint/lint_rules_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lint/file_kind_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/print/print_rows_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/tool_cli_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/progress_line_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/findings/finding_codes_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/findings/formats_test.cpp)
