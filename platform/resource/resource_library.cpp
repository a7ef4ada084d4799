// A library with resources of its own, loaded by the resource tests.
extern "C" int resource_library_marker() { return 42; }
