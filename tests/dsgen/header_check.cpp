// The generated header compiles as C++ with -Wall -Wextra -Werror; YANG names
// such as "class" and "operator" stay usable inside longer identifiers.
#include "dsgen_ietf.h"

#include <cstring>

static_assert(sizeof(ietf_inet_types__ipv4_address_no_zone) == 4,
              "an IPv4 address packs in 4 bytes");
static_assert(DS_IDENTITY_iana_if_type__ethernetCsmacd != 0, "identities are constants");

extern const char *const dsgen_header_check_cpp;
const char *const dsgen_header_check_cpp = DS_PATH_ietf_hardware__hardware__component__class;
