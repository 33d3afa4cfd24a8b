# The name index behind the type lookup: the same first match as the walk
# over the tables, with names shared across modules and with built-in types;
# and the walk again when the index cannot be allocated.
dstest_scenario(registry_type_index_test
  SOURCES type_index_test.cpp
  MODULES dstest_mod_dup_a=a.so dstest_mod_dup_b=b.so dstypes_example dstest_mod_shapes)

# Allocation failures while the list is built: calloc is wrapped so that the
# test can fail a chosen call.
dstest_scenario(registry_alloc_failure_test
  SOURCES alloc_failure_test.cpp
  MODULES dstest_mod_dup_a=a.so dstest_mod_dup_b=b.so)
target_link_options(registry_alloc_failure_test PRIVATE "LINKER:--wrap=calloc")
