// The POSIX expressions of the IETF address texts that dsgen writes for
// ietf-inet-types' address typedefs (whose XSD patterns must be ANDed, which
// one ERE cannot do by translation), and that the document split recognises
// in a module in order to read such texts without regexec.
#ifndef DSTYPES_CORE_IETF_PATTERNS_H
#define DSTYPES_CORE_IETF_PATTERNS_H

#include <string>

namespace core
{

// A dotted-quad IPv4 address, unanchored and without a zone.
inline std::string
ipv4_expression()
{
    const std::string octet = "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])";
    return octet + "(\\." + octet + "){3}";
}

// The eight forms of an IPv6 address text (RFC 4291 2.2) with an embedded
// IPv4 address in the last 32 bits allowed, unanchored and without a zone.
inline std::string
ipv6_expression()
{
    const std::string h = "[0-9A-Fa-f]{1,4}";
    const std::string v4 = "(" + ipv4_expression() + ")";
    std::string e = "(";
    e += "((" + h + ":){7}(" + h + "|:))";
    e += "|((" + h + ":){6}(:" + h + "|" + v4 + "|:))";
    e += "|((" + h + ":){5}(((:" + h + "){1,2})|:" + v4 + "|:))";
    e += "|((" + h + ":){4}(((:" + h + "){1,3})|((:" + h + ")?:" + v4 + ")|:))";
    e += "|((" + h + ":){3}(((:" + h + "){1,4})|((:" + h + "){0,2}:" + v4 + ")|:))";
    e += "|((" + h + ":){2}(((:" + h + "){1,5})|((:" + h + "){0,3}:" + v4 + ")|:))";
    e += "|((" + h + ":){1}(((:" + h + "){1,6})|((:" + h + "){0,4}:" + v4 + ")|:))";
    e += "|(:(((:" + h + "){1,7})|((:" + h + "){0,5}:" + v4 + ")|:))";
    e += ")";
    return e;
}

} // namespace core

#endif
