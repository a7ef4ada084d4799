target_sources(platform PRIVATE entry/command_line.cpp)

# main() for programs: ceentry_w calls WinMain(HINSTANCE, HINSTANCE, LPWSTR,
# int) as the handheld does, ceentry_a the desktop's form with LPSTR.
foreach(form w a)
  add_library(ceentry_${form} STATIC entry/main_${form}.cpp)
  target_include_directories(ceentry_${form} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(ceentry_${form} PUBLIC platform)
endforeach()

# Real programs started by the entry test.
add_executable(entry_probe_w entry/entry_probe.cpp)
target_include_directories(entry_probe_w PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(entry_probe_w PRIVATE ceentry_w)
ce_add_resources(entry_probe_w resource/resource_test.rc)
add_executable(entry_probe_a entry/entry_probe.cpp)
target_include_directories(entry_probe_a PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(entry_probe_a PRIVATE CE_PROBE_NARROW)
target_link_libraries(entry_probe_a PRIVATE ceentry_a)
ce_add_resources(entry_probe_a resource/resource_test.rc)

ce_add_test(platform_entry_test SOURCES entry/entry_test.cpp LIBS platform)
add_dependencies(platform_entry_test entry_probe_w entry_probe_a)
target_compile_definitions(platform_entry_test PRIVATE
  CE_PROBE_W="$<TARGET_FILE:entry_probe_w>" CE_PROBE_A="$<TARGET_FILE:entry_probe_a>")
