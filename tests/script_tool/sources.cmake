# The toolkit's test sources, built natively (tests/native) and for Windows.
set(DEVIDUDI_SCRIPT_TOOL_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/windows_names_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/name_rules_property_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_mode_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/make_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/verify_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_program_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preflight_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_mode_differential_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lint_rules_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/print_rows_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tool_cli_test.cpp)
