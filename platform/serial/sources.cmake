target_sources(platform PRIVATE
  serial/dcb.cpp
  serial/line_io.cpp
  serial/port_map.cpp
  serial/port.cpp
  serial/file_hooks.cpp)

ce_add_test(platform_serial_test
  SOURCES serial/dcb_test.cpp serial/port_test.cpp serial/port_io_test.cpp sync/child.cpp
  LIBS platform THREADED)
target_compile_definitions(platform_serial_test PRIVATE SYNC_CHILD="$<TARGET_FILE:platform_sync_child>")
add_dependencies(platform_serial_test platform_sync_child)
