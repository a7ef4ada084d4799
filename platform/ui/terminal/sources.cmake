# The terminal front-end (ncurses, wide-character build). It registers itself
# with the front-end chooser when the platform library loads.
set(CURSES_NEED_WIDE TRUE)
set(CURSES_NEED_NCURSES TRUE)
find_package(Curses REQUIRED)
target_sources(platform PRIVATE
  ui/terminal/cells.cpp
  ui/terminal/geometry.cpp
  ui/terminal/canvas.cpp
  ui/terminal/painter.cpp
  ui/terminal/keys.cpp
  ui/terminal/restore.cpp
  ui/terminal/terminal.cpp)
target_include_directories(platform PRIVATE ${CURSES_INCLUDE_DIRS})
target_link_libraries(platform PRIVATE ${CURSES_LIBRARIES})

ce_add_test(platform_terminal_test
  SOURCES ui/terminal/cells_test.cpp ui/terminal/geometry_test.cpp ui/terminal/painter_test.cpp
          ui/terminal/keys_test.cpp
  LIBS platform)
target_include_directories(platform_terminal_test PRIVATE ${CURSES_INCLUDE_DIRS})

# A small dialog program, and the tests that run it in tmux.
add_executable(terminal_sample ui/terminal/sample/sample.cpp)
target_link_libraries(terminal_sample PRIVATE platform ceentry_w)
ce_add_resources(terminal_sample ui/terminal/sample/sample.rc DEPENDS ui/terminal/sample/sample_ids.h)


find_program(CE_TMUX tmux DOC "tmux, for the tests that run the sample dialog in a terminal")
if(NOT CE_TMUX)
  message(FATAL_ERROR "The terminal front-end's tests need tmux (Debian package tmux)")
endif()
ce_add_test(platform_terminal_tmux_test SOURCES ui/terminal/tmux_test.cpp LIBS platform)
add_dependencies(platform_terminal_tmux_test terminal_sample)
target_compile_definitions(platform_terminal_tmux_test PRIVATE
  CE_TERMINAL_SAMPLE="$<TARGET_FILE:terminal_sample>")
