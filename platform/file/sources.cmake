target_sources(platform PRIVATE
  file/paths.cpp
  file/attributes.cpp
  file/copy.cpp
  file/directories.cpp
  file/cmdline.cpp
  file/process.cpp)
ce_add_test(platform_file_test
  SOURCES file/paths_test.cpp file/files_test.cpp file/cmdline_test.cpp
  LIBS platform)
ce_add_test(platform_process_test SOURCES file/process_test.cpp LIBS platform THREADED)
