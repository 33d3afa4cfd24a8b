# dstypes_add_schema_module(NAME YANG_FILE... [SEARCH_PATH DIR...]
#                           [ANNOTATIONS FILE] [FEATURES MODULE:FEATURE,...]
#                           [DESTINATION DIR] [NO_INSTALL])
# Compiles the YANG files with dsgen into NAME.c and NAME.h in the current
# binary directory and builds the schema module NAME.so from them.
# Programs include NAME.h from ${CMAKE_CURRENT_BINARY_DIR}.
# Installing, in component "modules": by default into the module directory,
# which lies outside any install prefix, so only an explicit
# `cmake --install BUILD --component modules` puts it there and a plain
# `cmake --install BUILD --prefix P` writes only under P. With DESTINATION
# (relative to the prefix, or absolute) it installs with everything else.
function(dstypes_add_schema_module name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_INSTALL" "ANNOTATIONS;DESTINATION" "SEARCH_PATH;FEATURES")
  if(NOT arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "dstypes_add_schema_module(${name}): no YANG file given")
  endif()
  if(NOT TARGET dstypes::dsgen)
    message(FATAL_ERROR "dstypes_add_schema_module(${name}): dsgen is not available (built without libyang)")
  endif()
  set(yang "")
  foreach(file ${arg_UNPARSED_ARGUMENTS})
    get_filename_component(file "${file}" ABSOLUTE)
    list(APPEND yang "${file}")
  endforeach()
  set(options "")
  foreach(dir ${arg_SEARCH_PATH})
    get_filename_component(dir "${dir}" ABSOLUTE)
    list(APPEND options -p "${dir}")
  endforeach()
  foreach(feature ${arg_FEATURES})
    list(APPEND options -F "${feature}")
  endforeach()
  set(depends ${yang})
  if(arg_ANNOTATIONS)
    get_filename_component(annotations "${arg_ANNOTATIONS}" ABSOLUTE)
    list(APPEND options -a "${annotations}")
    list(APPEND depends "${annotations}")
  endif()
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}.c)
  set(header ${CMAKE_CURRENT_BINARY_DIR}/${name}.h)
  add_custom_command(OUTPUT ${source} ${header}
    COMMAND dstypes::dsgen ${options} -o ${source} -H ${header} ${yang}
    DEPENDS dstypes::dsgen ${depends}
    COMMENT "dsgen: schema module ${name}"
    VERBATIM)
  add_library(${name} MODULE ${source} ${header})
  # A module names the library's built-in types by address and links
  # against nothing: the process that loads it has libdstypes already.
  target_include_directories(${name} PRIVATE
    $<TARGET_PROPERTY:dstypes::dstypes,INTERFACE_INCLUDE_DIRECTORIES>)
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".so" C_VISIBILITY_PRESET default)
  if(arg_NO_INSTALL)
    return()
  endif()
  if(arg_DESTINATION)
    install(TARGETS ${name} LIBRARY DESTINATION "${arg_DESTINATION}" COMPONENT modules)
  else()
    install(TARGETS ${name} LIBRARY DESTINATION "${dstypes_MODULE_DIR}" COMPONENT modules EXCLUDE_FROM_ALL)
  endif()
endfunction()
