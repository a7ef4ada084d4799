target_sources(platform PRIVATE
  controls/classes.cpp
  controls/button.cpp
  controls/static.cpp
  controls/edit.cpp
  controls/combobox.cpp)

ce_add_test(platform_controls_test SOURCES controls/controls_test.cpp LIBS platform THREADED)
ce_add_resources(platform_controls_test window/dialog_test.rc)
