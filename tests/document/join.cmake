# The join side held against libyang on dsgen's module of the IETF models
# (compiled here as tests/dsgen compiles them, with iana-hardware, and
# ietf-alarms for its union of a number and an enumeration), where
# dsgen and the models of libyuma-base are at hand.
find_path(DOC_YUMA_DIR modules/ietf/ietf-system@2014-08-06.yang PATHS /usr/share/yuma NO_DEFAULT_PATH)
if(TARGET dsgen AND DOC_YUMA_DIR)
  set(nmda ${DOC_YUMA_DIR}/nmda-modules/ietf)
  set(ietf ${DOC_YUMA_DIR}/modules/ietf)
  set(doc_ietf_files
    ${nmda}/ietf-interfaces@2018-02-20.yang ${nmda}/ietf-ip@2018-02-22.yang
    ${ietf}/ietf-system@2014-08-06.yang ${ietf}/ietf-routing@2016-11-04.yang
    ${ietf}/ietf-hardware@2018-03-13.yang ${ietf}/iana-hardware@2018-03-13.yang
    ${ietf}/iana-if-type@2014-05-08.yang ${ietf}/ietf-alarms@2019-09-11.yang)
  dstypes_add_schema_module(doc_ietf ${doc_ietf_files} SEARCH_PATH ${nmda} ${ietf}
    ANNOTATIONS ${PROJECT_SOURCE_DIR}/tests/dsgen/ietf.annotations.json NO_INSTALL)
  dstest_scenario(doc_join_ietf_test SOURCES join_ietf_test.cpp ietf_documents.cpp MODULES doc_ietf)
  string(REPLACE ";" "\;" files "${doc_ietf_files}")
  target_compile_definitions(doc_join_ietf_test PRIVATE "DOC_YANG_FILES=\"${files}\""
    "DOC_SEARCH_DIRS=\"${nmda}:${ietf}\"")
  target_link_libraries(doc_join_ietf_test PRIVATE dstypes_doc_obj PkgConfig::LIBYANG)
  target_compile_definitions(doc_join_ietf_test PRIVATE DOC_DSTOOL="$<TARGET_FILE:dstool_testcopy>")
  add_dependencies(doc_join_ietf_test dstool_testcopy)
  # gcc 12 sees an overlap in string concatenation that is not there
  target_compile_options(doc_join_ietf_test PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
  # The C++ face, as its users build it: without exceptions.
  dstest_scenario(doc_hpp_test SOURCES doc_hpp_test.cpp MODULES doc_ietf)
  target_link_libraries(doc_hpp_test PRIVATE dstypes_doc_obj)
  target_compile_options(doc_hpp_test PRIVATE -fno-exceptions)

  # The work-counting build of the document library (see join_linear_test.cpp).
  get_target_property(doc_sources dstypes_doc_obj SOURCES)
  add_library(dstypes_doc_counted_obj OBJECT ${doc_sources})
  target_include_directories(dstypes_doc_counted_obj PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR})
  target_compile_options(dstypes_doc_counted_obj PRIVATE -fsanitize-coverage=trace-pc
                         $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
  target_link_libraries(dstypes_doc_counted_obj PUBLIC PkgConfig::JSONC dstypes_core ${CMAKE_DL_LIBS})
  set_target_properties(dstypes_doc_counted_obj PROPERTIES CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  dstest_scenario(doc_join_linear_test SOURCES join_linear_test.cpp MODULES doc_ietf)
  target_link_libraries(doc_join_linear_test PRIVATE dstypes_doc_counted_obj)
else()
  message(STATUS "join tests against libyang skipped: no dsgen, or no YANG files of libyuma-base")
endif()

# libdstypes-doc exports exactly the names of its version script.
add_test(NAME exports.doc_only_listed_names
  COMMAND ${PROJECT_SOURCE_DIR}/tests/check_exports.sh $<TARGET_FILE:dstypes_doc>
          ${PROJECT_SOURCE_DIR}/document/dstypes-doc.map)
