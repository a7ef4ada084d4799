target_sources(platform PRIVATE
  resource/res_format.cpp
  resource/elf_section.cpp
  resource/modules.cpp
  resource/find.cpp
  resource/strings.cpp
  resource/version.cpp)
target_link_libraries(platform PRIVATE ${CMAKE_DL_LIBS})

# The resource tests carry real resources, compiled from resource_test.rc.
ce_add_test(platform_resource_test SOURCES resource/resource_test.cpp LIBS platform)
ce_add_resources(platform_resource_test resource/resource_test.rc)

ce_add_test(platform_res_format_test SOURCES resource/res_format_test.cpp LIBS platform)
add_dependencies(platform_res_format_test platform_resource_test)
target_compile_definitions(platform_res_format_test PRIVATE
  CE_TEST_RES="${CMAKE_CURRENT_BINARY_DIR}/platform_resource_test_resource_test.res"
  CE_TEST_MODULE="$<TARGET_FILE:platform_resource_test>")

# A library with resources of its own, loaded by the library test, which
# also carries the program's resources.
add_library(resource_test_library MODULE resource/resource_library.cpp)
target_link_libraries(resource_test_library PRIVATE platform)
ce_add_resources(resource_test_library resource/resource_library.rc)
ce_add_test(platform_resource_library_test SOURCES resource/library_test.cpp LIBS platform ${CMAKE_DL_LIBS} THREADED)
ce_add_resources(platform_resource_library_test resource/resource_test.rc)
add_dependencies(platform_resource_library_test resource_test_library)
target_compile_definitions(platform_resource_library_test PRIVATE
  CE_TEST_LIBRARY="$<TARGET_FILE:resource_test_library>")

# ce_file_version: the file version a built module declares (ce_check_file_version).
add_executable(ce_file_version resource/file_version_tool.cpp)
target_include_directories(ce_file_version PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ce_file_version PRIVATE platform)
add_test(NAME file_version_of_resource_test COMMAND ce_file_version $<TARGET_FILE:platform_resource_test> 1.2.3.4)
set_tests_properties(file_version_of_resource_test PROPERTIES LABELS unit)
add_test(NAME file_version_mismatch_is_reported COMMAND ce_file_version $<TARGET_FILE:platform_resource_test> 1.2.3.5)
set_tests_properties(file_version_mismatch_is_reported PROPERTIES LABELS unit
  PASS_REGULAR_EXPRESSION "declares file version 1\\.2\\.3\\.4, expected 1\\.2\\.3\\.5")
