// The one owner of a json-c reference used inside the library and its tools:
// a unique_ptr whose deleter drops the reference, so every partial result of
// a walk is released on each failure path. It is the owner that ds::Json of
// the installed C++ header holds, named here for the library's own code.
// Header only, no library symbols.
#ifndef DSTYPES_CORE_JSON_REF_H
#define DSTYPES_CORE_JSON_REF_H

#include "dstypes_base.hpp"

using JsonPut = ds::detail::JsonPut;
using JsonRef = ds::detail::JsonPtr;

#endif
