target_sources(platform PRIVATE
  sync/errors.cpp
  sync/thread.cpp
  sync/wait.cpp
  sync/mutex.cpp
  sync/time.cpp
  sync/heap.cpp)

# A second process for the cross-process tests (mutex names, tick count start).
add_executable(platform_sync_child sync/sync_child.cpp)
target_link_libraries(platform_sync_child PRIVATE platform)

ce_add_test(platform_sync_test
  SOURCES sync/thread_test.cpp sync/mutex_test.cpp sync/time_test.cpp sync/heap_test.cpp sync/child.cpp
  LIBS platform THREADED)
target_compile_definitions(platform_sync_test PRIVATE SYNC_CHILD="$<TARGET_FILE:platform_sync_child>")
add_dependencies(platform_sync_test platform_sync_child)
