# The HTML printer of quillet-history (html_export.h) as a library of its own, so that the tool
# and the unit tests link the same. Included by tools/history/CMakeLists.txt and by the tests;
# the first include defines it.
include_guard(GLOBAL)

add_library(quillet_history_html STATIC "${CMAKE_CURRENT_LIST_DIR}/html_export.cpp")
target_include_directories(quillet_history_html PUBLIC "${PROJECT_SOURCE_DIR}")
target_link_libraries(quillet_history_html PUBLIC quillet_history quillet_platform
  PRIVATE quillet_warnings)
