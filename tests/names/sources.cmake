# The tests of Windows' name rules and the text conversions (src/names), and
# of the writer and make against lint over generated names. They run in the
# toolkit's test program, natively (tests/native) and under Wine
# (tests/script_tool), for the toolkit is what stands on those rules.
set(DEVIDUDI_NAMES_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/windows_names_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/name_rules_property_test.cpp)
