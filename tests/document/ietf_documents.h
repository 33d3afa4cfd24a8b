// Generated RFC 7951 documents of the IETF models that the join tests
// compile (ietf-interfaces with ietf-ip and iana-if-type, ietf-system,
// ietf-hardware with iana-hardware, ietf-routing, ietf-alarms): valid data written with
// non-canonical values where YANG allows them (upper-case and uncompressed
// IPv6, "+7", "Z" and other time offsets, identities without their
// module, control characters in texts), each from a seed.
#ifndef DSTYPES_TESTS_DOCUMENT_IETF_DOCUMENTS_H
#define DSTYPES_TESTS_DOCUMENT_IETF_DOCUMENTS_H

#include <cstdint>
#include <string>

namespace dstest
{

// The document of seed; size (0 and up) scales the number of list entries.
std::string ietf_document(uint32_t seed, int size);

} // namespace dstest

#endif
