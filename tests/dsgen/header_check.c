// The generated header compiles as C11 with -Wall -Wextra -Werror, and its
// packed types have the sizes of the module's descriptors.
#include "dsgen_ietf.h"

_Static_assert(sizeof(ietf_inet_types__ipv6_address_no_zone) == 16,
               "an IPv6 address packs in 16 bytes");
_Static_assert(sizeof(ietf_yang_types__counter64) == 8, "a counter64 packs in 8 bytes");

const char *dsgen_header_check_c =
    DS_PATH_ietf_interfaces__interfaces__interface__ietf_ip__ipv4__address__prefix_length;
