# The key index behind ds_find_key, ds_find_alarm and ds__do_key: the same
# nodes, modules and rows as matching every forest in list order.
dstest_scenario(registry_key_index_test
  SOURCES key_index_test.cpp
  MODULES dstest_mod_pair0 dstest_mod_pair1 dstest_mod_walk_a dstest_mod_walk_b dstypes_example
          dstest_mod_shapes dstest_mod_dup_a=a.so dstest_mod_dup_b=b.so
          dstest_mod_typed_top)
