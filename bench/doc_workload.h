// The document workload of doc_bench: an RFC 7951 document of
// ietf-interfaces with ietf-ip, each interface with its configuration and
// state (the usual leaves, statistics, two IPv4 and two IPv6 addresses), the
// same text in every run.
#ifndef DSBENCH_DOC_WORKLOAD_H
#define DSBENCH_DOC_WORKLOAD_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace dsbench
{

// The document of count interfaces, or of as many as reach min_bytes.
std::string interfaces_document(uint32_t count, size_t min_bytes = 0);

} // namespace dsbench

#endif
