target_sources(platform PRIVATE
  ui/frontend.cpp
  ui/headless/headless.cpp
  ui/headless/driver.cpp)
# The terminal front-end registers itself when it is built in.
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/ui/terminal/sources.cmake)
  include(ui/terminal/sources.cmake)
endif()
