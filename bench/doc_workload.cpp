// The document workload of doc_bench (doc_workload.h): interfaces with
// values drawn from a fixed sequence, so every run reads the same text.
#include "doc_workload.h"

#include <cstdarg>
#include <cstdio>

namespace dsbench
{

namespace
{

// A fixed linear congruential sequence: the same document in every run.
class Numbers
{
  public:
    uint32_t
    next(uint32_t below)
    {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state_ >> 33) % below;
    }

  private:
    uint64_t state_ = 1;
};

void append(std::string &out, const char *format, ...) __attribute__((format(printf, 2, 3)));

void
append(std::string &out, const char *format, ...)
{
    char buf[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    out.append(buf, size_t(n));
}

void
append_statistics(std::string &out, Numbers &rng)
{
    static const char *const counters64[] = {
        "in-octets",  "in-unicast-pkts",  "in-broadcast-pkts",  "in-multicast-pkts",
        "out-octets", "out-unicast-pkts", "out-broadcast-pkts", "out-multicast-pkts"};
    static const char *const counters32[] = {"in-discards", "in-errors", "in-unknown-protos",
                                             "out-discards", "out-errors"};
    append(out, "\"statistics\":{\"discontinuity-time\":\"2026-%02u-%02uT%02u:%02u:%02uZ\"",
           rng.next(12) + 1, rng.next(28) + 1, rng.next(24), rng.next(60), rng.next(60));
    for (const char *name : counters64)
        append(out, ",\"%s\":\"%llu\"", name,
               (unsigned long long)rng.next(1u << 30) * rng.next(1u << 10));
    for (const char *name : counters32)
        append(out, ",\"%s\":%u", name, rng.next(1u << 31));
    out += "}";
}

void
append_addresses(std::string &out, Numbers &rng, uint32_t i)
{
    append(out,
           ",\"ietf-ip:ipv4\":{\"enabled\":true,\"forwarding\":false,\"mtu\":1500,\"address\":["
           "{\"ip\":\"10.%u.%u.1\",\"prefix-length\":24,\"origin\":\"static\"},"
           "{\"ip\":\"172.%u.%u.%u\",\"prefix-length\":%u,\"origin\":\"dhcp\"}]}",
           (i >> 8) & 255, i & 255, 16 + (i >> 16), (i >> 8) & 255, i & 255, 16 + rng.next(15));
    append(out,
           ",\"ietf-ip:ipv6\":{\"enabled\":true,\"forwarding\":false,\"mtu\":1500,\"address\":["
           "{\"ip\":\"2001:db8:%x:%x::1\",\"prefix-length\":64,\"origin\":\"static\","
           "\"status\":\"preferred\"},"
           "{\"ip\":\"fe80::%x:%x\",\"prefix-length\":64,\"origin\":\"link-layer\","
           "\"status\":\"preferred\"}],\"dup-addr-detect-transmits\":1,"
           "\"autoconf\":{\"create-global-addresses\":true}}",
           i >> 16, i & 0xffff, rng.next(1u << 16), i & 0xffff);
}

void
append_interface(std::string &out, Numbers &rng, uint32_t i)
{
    static const char *const types[] = {"ethernetCsmacd", "softwareLoopback", "l2vlan"};
    static const char *const states[] = {"up", "down", "testing"};
    append(out,
           "{\"name\":\"eth%u\",\"description\":\"port %u of line card %u\","
           "\"type\":\"iana-if-type:%s\",\"enabled\":%s,\"link-up-down-trap-enable\":\"enabled\","
           "\"admin-status\":\"%s\",\"oper-status\":\"%s\","
           "\"last-change\":\"2026-12-0%uT%02u:%02u:00Z\",\"if-index\":%u,"
           "\"phys-address\":\"02:00:%02x:%02x:%02x:%02x\",\"speed\":\"%u000000\",",
           i, i % 48, i / 48, types[rng.next(3)], rng.next(5) != 0 ? "true" : "false",
           states[rng.next(3)], states[rng.next(3)], rng.next(7) + 1, rng.next(24), rng.next(60),
           i + 1, (i >> 24) & 255, (i >> 16) & 255, (i >> 8) & 255, i & 255,
           rng.next(2) != 0 ? 10000u : 1000u);
    append_statistics(out, rng);
    append_addresses(out, rng, i);
    out += "}";
}

} // namespace

std::string
interfaces_document(uint32_t count, size_t min_bytes)
{
    Numbers rng;
    std::string out = "{\"ietf-interfaces:interfaces\":{\"interface\":[";
    for (uint32_t i = 0; i < count || out.size() < min_bytes; ++i) {
        if (i > 0)
            out += ",\n";
        append_interface(out, rng, i);
    }
    return out + "]}}\n";
}

} // namespace dsbench
