target_sources(platform PRIVATE
  window/windows.cpp
  window/messages.cpp
  window/dialog_template.cpp
  window/dialog.cpp
  window/messagebox.cpp
  window/menubar.cpp)
