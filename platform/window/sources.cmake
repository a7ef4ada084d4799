target_sources(platform PRIVATE
  window/windows.cpp
  window/messages.cpp
  window/dialog_template.cpp
  window/dialog.cpp
  window/dialog_resource.cpp
  window/messagebox.cpp
  window/menubar.cpp)
target_sources(cetestsupport PRIVATE testsupport/message_recorder.cpp)

ce_add_test(platform_window_test SOURCES window/messages_test.cpp LIBS platform THREADED)
ce_add_test(platform_dialog_test SOURCES window/dialog_template_test.cpp window/dialog_test.cpp LIBS platform THREADED)
ce_add_resources(platform_dialog_test window/dialog_test.rc)
