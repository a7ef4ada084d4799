target_sources(cetestsupport PRIVATE
  testsupport/temp_root.cpp)
target_sources(cetestsupport PRIVATE testsupport/pty_pair.cpp)
