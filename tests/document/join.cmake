# Split and join held against libyang on dsgen's module of the IETF models
# with ietf-alarms (for its union of a number and an enumeration), included
# where dsgen and the models of libyuma-base are at hand.
set(join_files ${doc_ietf_files} ${ietf}/ietf-alarms@2019-09-11.yang)
dstypes_add_schema_module(doc_join_ietf ${join_files} SEARCH_PATH ${nmda} ${ietf}
  ANNOTATIONS ${PROJECT_SOURCE_DIR}/tests/dsgen/ietf.annotations.json NO_INSTALL)
string(REPLACE ";" "\;" join_files "${join_files}")
dstest_scenario(doc_join_ietf_test SOURCES ietf_test.cpp ietf_documents.cpp
  MODULES doc_join_ietf)
target_compile_definitions(doc_join_ietf_test PRIVATE "DOC_YANG_FILES=\"${join_files}\""
  "DOC_SEARCH_DIRS=\"${nmda}:${ietf}\"")
target_link_libraries(doc_join_ietf_test PRIVATE dstypes_doc_obj PkgConfig::LIBYANG)
# gcc 12 sees an overlap in string concatenation that is not there
target_compile_options(doc_join_ietf_test PRIVATE -Wno-cast-qual $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)

# The C++ face, as its users build it: without exceptions.
dstest_scenario(doc_hpp_test SOURCES doc_hpp_test.cpp MODULES doc_join_ietf)
target_link_libraries(doc_hpp_test PRIVATE dstypes_doc_obj)
target_compile_options(doc_hpp_test PRIVATE -fno-exceptions)


# A model with what the IETF ones lack (dsgen's document data test model).
set(join_shapes ${PROJECT_SOURCE_DIR}/tests/dsgen/doc-shapes.yang
  ${PROJECT_SOURCE_DIR}/tests/dsgen/aaa-doc-aug.yang)
dstypes_add_schema_module(doc_join_shapes ${join_shapes}
  SEARCH_PATH ${PROJECT_SOURCE_DIR}/tests/dsgen NO_INSTALL)
dstest_scenario(doc_join_shapes_test SOURCES join_shapes_test.cpp MODULES doc_join_shapes)
string(REPLACE ";" "\;" join_shapes "${join_shapes}")
target_compile_definitions(doc_join_shapes_test PRIVATE "DOC_SHAPES_FILES=\"${join_shapes}\""
  DOC_SHAPES_DIR="${PROJECT_SOURCE_DIR}/tests/dsgen")
target_link_libraries(doc_join_shapes_test PRIVATE dstypes_doc_obj PkgConfig::LIBYANG)
target_compile_options(doc_join_shapes_test PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
