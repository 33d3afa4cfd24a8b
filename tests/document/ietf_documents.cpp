// The document generator of the join tests: each seed draws a data tree of
// the IETF models, members in a shuffled order and values in the forms YANG
// accepts but does not print (libyang's print is the expected text).
#include "ietf_documents.h"

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

namespace dstest
{

namespace
{

using Members = std::vector<std::pair<std::string, std::string>>;

class Draw
{
  public:
    explicit Draw(uint32_t seed) : rng_(seed) {}

    bool
    maybe(int percent = 50)
    {
        return int(rng_() % 100) < percent;
    }
    int
    number(int low, int high)
    {
        return low + int(rng_() % uint32_t(high - low + 1));
    }
    template <class T>
    const T &
    pick(const std::vector<T> &from)
    {
        return from[rng_() % from.size()];
    }
    // An object of the members that are not empty, in a shuffled order.
    std::string
    object(Members members)
    {
        std::erase_if(members, [](const auto &m) { return m.second.empty(); });
        std::shuffle(members.begin(), members.end(), rng_);
        std::string out = "{";
        for (const auto &[name, value] : members)
            out += (out.size() > 1 ? "," : "") + text(name) + ":" + value;
        return out + "}";
    }
    static std::string
    array(const std::vector<std::string> &items)
    {
        std::string out = "[";
        for (const std::string &item : items)
            out += (out.size() > 1 ? "," : "") + item;
        return out + "]";
    }
    // A JSON string with the escapes JSON requires (and \n, \t as such).
    static std::string
    text(const std::string &s)
    {
        std::string out = "\"";
        for (char c : s) {
            if (c == '"' || c == '\\')
                out += std::string("\\") + c;
            else if (c == '\n')
                out += "\\n";
            else if (c == '\t')
                out += "\\t";
            else
                out += c;
        }
        return out + "\"";
    }
    std::string
    when()
    {
        static const std::vector<std::string> times = {
            "2023-01-01T00:00:00Z", "2023-06-30T23:59:59-05:00", "2024-02-29T12:30:00.125+05:30",
            "1999-12-31T23:00:00+00:00", "2010-10-10T10:10:10.5-00:00"};
        return text(pick(times));
    }
    std::string
    words()
    {
        static const std::vector<std::string> texts = {"uplink",
                                                       "a\nb",
                                                       "tab\there",
                                                       "quote \" and \\ backslash",
                                                       "slash/in/it",
                                                       "\xc3\xbcnic\xc3\xb6"
                                                       "de",
                                                       "",
                                                       "  spaced  "};
        return text(pick(texts));
    }

  private:
    std::mt19937 rng_;
};

std::string
ipv4_part(Draw &d, int i)
{
    std::vector<std::string> addresses;
    for (int a = 0; a < d.number(0, 2); ++a) {
        std::string subnet = d.maybe()
                                 ? std::to_string(d.number(8, 32))
                                 : Draw::text(d.pick<std::string>({"255.255.255.0", "255.0.0.0"}));
        addresses.push_back(d.object(
            {{"ip", Draw::text("192.0." + std::to_string(i) + "." + std::to_string(a + 1))},
             {subnet.front() == '"' ? "netmask" : "prefix-length", subnet}}));
    }
    return d.object({{"enabled", d.maybe() ? "false" : ""},
                     {"mtu", d.maybe() ? std::to_string(d.number(68, 9000)) : ""},
                     {"address", addresses.empty() ? "" : Draw::array(addresses)}});
}

std::string
ipv6_part(Draw &d, int i)
{
    std::vector<std::string> addresses, neighbors;
    for (int a = 0; a < d.number(0, 2); ++a)
        addresses.push_back(d.object({{"ip", Draw::text("2001:DB8:0:0:" + std::to_string(i) +
                                                        ":0:0:" + std::to_string(a + 1))},
                                      {"prefix-length", std::to_string(d.number(48, 128))}}));
    if (d.maybe())
        neighbors.push_back(d.object({{"ip", Draw::text("FE80::" + std::to_string(i + 10))},
                                      {"link-layer-address", Draw::text("00:1A:2b:3C:4d:5E")},
                                      {"is-router", d.maybe() ? "[null]" : ""}}));
    return d.object(
        {{"forwarding", d.maybe() ? "true" : ""},
         {"address", addresses.empty() ? "" : Draw::array(addresses)},
         {"neighbor", neighbors.empty() ? "" : Draw::array(neighbors)},
         {"autoconf", d.maybe() ? d.object({{"create-global-addresses", "false"}}) : ""}});
}

std::string
interfaces(Draw &d, int count)
{
    std::vector<std::string> entries, names;
    for (int i = 0; i < count; ++i)
        names.push_back(d.maybe(70) ? "eth" + std::to_string(i) : "Gi0/" + std::to_string(i));
    for (int i = 0; i < count; ++i) {
        std::string statistics = d.object(
            {{"discontinuity-time", d.when()},
             {"in-octets", Draw::text(d.pick<std::string>({"+7", "0", "9223372036854775807"}))},
             {"out-errors", d.maybe() ? std::to_string(d.number(0, 100000)) : ""}});
        std::string higher = i > 0 && d.maybe() ? Draw::array({Draw::text(names[0])}) : "";
        entries.push_back(
            d.object({{"name", Draw::text(names[i])},
                      {"type", Draw::text("iana-if-type:" +
                                          d.pick<std::string>({"ethernetCsmacd", "softwareLoopback",
                                                               "ieee8023adLag"}))},
                      {"description", d.maybe() ? d.words() : ""},
                      {"enabled", d.maybe() ? d.pick<std::string>({"true", "false"}) : ""},
                      {"admin-status", Draw::text(d.pick<std::string>({"up", "down", "testing"}))},
                      {"oper-status", Draw::text(d.pick<std::string>({"up", "down", "dormant"}))},
                      {"if-index", std::to_string(i + 1)},
                      {"phys-address", d.maybe() ? Draw::text("00:1A:2b:3C:4d:5E") : ""},
                      {"speed", d.maybe() ? Draw::text("+1000000000") : ""},
                      {"higher-layer-if", higher},
                      {"statistics", statistics},
                      {"ietf-ip:ipv4", d.maybe() ? ipv4_part(d, i) : ""},
                      {"ietf-ip:ipv6", d.maybe() ? ipv6_part(d, i) : ""}}));
    }
    return entries.empty() ? "" : d.object({{"interface", Draw::array(entries)}});
}

std::string
system_config(Draw &d, int count)
{
    std::vector<std::string> servers, users;
    for (int i = 0; i < count; ++i)
        servers.push_back(d.object(
            {{"name", Draw::text("ntp" + std::to_string(i))},
             {"udp", d.object({{"address", Draw::text(d.pick<std::string>(
                                               {"2001:DB8::0:1", "192.0.2.9", "NTP.Example.com"}))},
                               {"port", d.maybe() ? "1123" : ""}})},
             {"iburst", d.maybe() ? "true" : ""}}));
    for (int i = 0; i < count; ++i)
        users.push_back(d.object({{"name", Draw::text("user" + std::to_string(i))},
                                  {"password", d.maybe() ? Draw::text("$0$secret") : ""}}));
    std::string clock =
        d.maybe() ? d.object({{"timezone-utc-offset", std::to_string(d.number(-1500, 1500))}})
                  : d.object({{"timezone-name", Draw::text("Europe/Berlin")}});
    return d.object(
        {{"contact", d.maybe() ? d.words() : ""},
         {"hostname", d.maybe() ? Draw::text("Host.Example.") : ""},
         {"location", d.maybe() ? d.words() : ""},
         {"clock", d.maybe() ? clock : ""},
         {"ntp", d.maybe() ? d.object({{"enabled", d.maybe() ? "false" : ""},
                                       {"server", servers.empty() ? "" : Draw::array(servers)}})
                           : ""},
         {"dns-resolver", d.maybe() ? d.object({{"search", Draw::array({Draw::text("Example.com"),
                                                                        Draw::text("b.org")})}})
                                    : ""},
         {"authentication",
          d.maybe()
              ? d.object({{"user-authentication-order", Draw::array({Draw::text("local-users")})},
                          {"user", users.empty() ? "" : Draw::array(users)}})
              : ""}});
}

std::string
hardware(Draw &d, int count)
{
    std::vector<std::string> components;
    for (int i = 0; i < count; ++i)
        components.push_back(d.object(
            {{"name", Draw::text("slot-" + std::to_string(i))},
             {"class",
              Draw::text("iana-hardware:" + d.pick<std::string>({"chassis", "module", "port"}))},
             {"parent", i > 0 ? Draw::text("slot-0") : ""},
             {"description", d.maybe() ? d.words() : ""},
             {"mfg-date", d.maybe() ? d.when() : ""},
             {"uri", d.maybe() ? Draw::array({Draw::text("urn:x:" + std::to_string(i))}) : ""},
             {"uuid", d.maybe() ? Draw::text("12345678-ABCD-1234-abcd-123456789ABC") : ""},
             {"is-fru", d.maybe() ? "true" : ""}}));
    return d.object({{"component", components.empty() ? "" : Draw::array(components)},
                     {"last-change", d.maybe() ? d.when() : ""}});
}

std::string
routing_state(Draw &d, int count)
{
    std::vector<std::string> routes;
    for (int i = 0; i < count; ++i)
        routes.push_back(d.object(
            {{"route-preference", std::to_string(d.number(0, 255))},
             {"next-hop", d.object({{"special-next-hop", Draw::text(d.pick<std::string>(
                                                             {"blackhole", "unreachable"}))}})},
             {"source-protocol", Draw::text("ietf-routing:static")},
             {"active", d.maybe() ? "[null]" : ""},
             {"last-updated", d.maybe() ? d.when() : ""}}));
    std::string rib =
        d.object({{"name", Draw::text("main")},
                  {"address-family", Draw::text("ietf-routing:ipv4")},
                  {"default-rib", d.maybe(20) ? "false" : ""},
                  {"routes", routes.empty() ? "" : d.object({{"route", Draw::array(routes)}})}});
    return d.object({{"router-id", d.maybe() ? Draw::text("192.0.2.1") : ""},
                     {"ribs", d.object({{"rib", Draw::array({rib})}})}});
}

// A union of uint16 and an enumeration: a number or a name.
std::string
alarms(Draw &d)
{
    std::string changes = d.maybe() ? std::to_string(d.number(0, 65535)) : "\"infinite\"";
    return d.object({{"control", d.object({{"max-alarm-status-changes", changes},
                                           {"notify-status-changes",
                                            d.maybe() ? "\"raise-and-clear\"" : ""}})}});
}

} // namespace

std::string
ietf_document(uint32_t seed, int size)
{
    Draw d(seed);
    int count = d.number(0, 2 + size);
    return d.object({{"ietf-interfaces:interfaces", d.maybe(80) ? interfaces(d, count + 1) : ""},
                     {"ietf-system:system", d.maybe() ? system_config(d, count) : ""},
                     {"ietf-hardware:hardware", d.maybe() ? hardware(d, count) : ""},
                     {"ietf-routing:routing-state", routing_state(d, count)},
                     {"ietf-alarms:alarms", d.maybe() ? alarms(d) : ""}});
}

} // namespace dstest
