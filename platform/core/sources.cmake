target_sources(platform PRIVATE
  core/handles.cpp
  core/lasterror.cpp
  core/root.cpp
  core/codepage.cpp
  core/text.cpp
  core/format.cpp)
ce_add_test(platform_text_test SOURCES core/text_test.cpp LIBS platform)
