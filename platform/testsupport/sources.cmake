target_sources(cetestsupport PRIVATE
  testsupport/temp_root.cpp)
