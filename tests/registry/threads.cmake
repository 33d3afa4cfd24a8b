# Threads: eight of them using one built list at once, and eight making the
# first lookup of the process together. Both also run under ThreadSanitizer
# (DSTYPES_TSAN).
find_package(Threads REQUIRED)
foreach(name registry_threads_test registry_threads_first_call_test)
  string(REPLACE "registry_" "" source ${name})
  dstest_scenario(${name} SOURCES ${source}.cpp MODULES dstypes_example dstest_mod_pair0)
  target_link_libraries(${name} PRIVATE Threads::Threads)
endforeach()
