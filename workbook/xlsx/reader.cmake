# The Open XML workbook reader (tbx_read_excel2007, tbx_list_excel2007),
# linked into the workbook library by workbook/CMakeLists.txt.
#
# It fills the book through the frame's store primitives, so it links the
# frame, and the frame links it back (the cycle between the two static
# libraries is resolved there with LINK_INTERFACE_MULTIPLICITY), as the
# legacy reader does.
add_library(tabx_xlsx STATIC
  ${CMAKE_CURRENT_LIST_DIR}/xml_scanner.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sheet_xml.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sheet_formulas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/part_workbook.cpp
  ${CMAKE_CURRENT_LIST_DIR}/part_shared_strings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/part_styles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/part_drawing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/part_chart.cpp
  ${CMAKE_CURRENT_LIST_DIR}/part_comments.cpp
  ${CMAKE_CURRENT_LIST_DIR}/part_custom_props.cpp
  ${CMAKE_CURRENT_LIST_DIR}/package_reader.cpp)
target_include_directories(tabx_xlsx PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tabx_xlsx PUBLIC tabx_xmltext orb tabx_frame vergle_charts)
set_target_properties(tabx_xlsx PROPERTIES POSITION_INDEPENDENT_CODE ON)
