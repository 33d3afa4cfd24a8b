# The round trip against the shipped example module, loaded from the module
# directory: packed values into key paths, paths back to keys and leaf values,
# field text back to packed values.
dstest_scenario(registry_roundtrip_test
  SOURCES roundtrip_test.cpp
  MODULES dstypes_example)
