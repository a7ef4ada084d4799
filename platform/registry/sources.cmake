target_sources(platform PRIVATE
  registry/hive.cpp
  registry/store.cpp
  registry/registry.cpp)
ce_add_test(platform_registry_test SOURCES registry/hive_test.cpp registry/registry_test.cpp LIBS platform THREADED)
