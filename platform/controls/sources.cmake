target_sources(platform PRIVATE
  controls/classes.cpp
  controls/button.cpp
  controls/static.cpp
  controls/edit.cpp
  controls/combobox.cpp)
