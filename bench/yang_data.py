#!/usr/bin/env python3
"""Instance data for the YANG workload benchmark, the same for both libraries.

usage: yang_data.py SEED COUNT OUT_DIR

Writes OUT_DIR/interfaces.json, an RFC 7951 document of COUNT interfaces of
ietf-interfaces with ietf-ip, and OUT_DIR/leaves.tsv, one line per leaf of
that document: the libdstypes key path, the leaf's JSON text, the libyang
path and the value as lyd_new_path takes it. Each interface has a name, a
description, a type, enabled, two IPv4 addresses with prefix lengths and
the 14 statistics leaves, plus the three state leaves the model makes
mandatory (admin-status, oper-status, if-index), so that the document
validates.
"""
import json
import random
import sys

COUNTERS = ["in-octets", "in-unicast-pkts", "in-broadcast-pkts", "in-multicast-pkts",
            "in-discards", "in-errors", "in-unknown-protos", "out-octets", "out-unicast-pkts",
            "out-broadcast-pkts", "out-multicast-pkts", "out-discards", "out-errors"]
COUNTERS32 = {"in-discards", "in-errors", "in-unknown-protos", "out-discards", "out-errors"}
TYPES = ["iana-if-type:ethernetCsmacd", "iana-if-type:softwareLoopback", "iana-if-type:l2vlan"]
STATES = ["up", "down", "testing"]
IF = "ietf-interfaces:"
IP = "ietf-ip:"


def interface(rng, i):
    name = "eth%d" % i
    addresses = []
    for _ in range(2):
        ip = "10.%d.%d.%d" % (rng.randrange(256), rng.randrange(256), rng.randrange(1, 255))
        while any(a["ip"] == ip for a in addresses):
            ip = "10.%d.%d.%d" % (rng.randrange(256), rng.randrange(256), rng.randrange(1, 255))
        addresses.append({"ip": ip, "prefix-length": rng.randrange(8, 33)})
    stats = {"discontinuity-time": "2026-%02d-%02dT%02d:%02d:%02dZ" % (
        rng.randrange(1, 13), rng.randrange(1, 29), rng.randrange(24), rng.randrange(60),
        rng.randrange(60))}
    for counter in COUNTERS:
        if counter in COUNTERS32:
            stats[counter] = rng.randrange(2**32)
        else:
            stats[counter] = str(rng.randrange(2**40))  # counter64 is a string in RFC 7951
    return {
        "name": name,
        "description": "port %d of line card %d" % (i % 48, i // 48),
        "type": rng.choice(TYPES),
        "enabled": rng.random() < 0.8,
        "admin-status": rng.choice(STATES),
        "oper-status": rng.choice(STATES),
        "if-index": i + 1,
        IP + "ipv4": {"address": addresses},
        "statistics": stats,
    }


def json_text(value):
    # The library takes every integer as a JSON number, also the 64-bit
    # counters that RFC 7951 writes as strings.
    if isinstance(value, str) and value.isdigit():
        return value
    return json.dumps(value, separators=(",", ":"))


def yang_value(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value)


def leaves(entry):
    """(key path, JSON text, libyang path, libyang value) for every leaf."""
    key = '/%sinterfaces/interface/"%s"' % (IF, entry["name"])
    xpath = "/%sinterfaces/interface[name='%s']" % (IF, entry["name"])
    for leaf in ["description", "type", "enabled", "admin-status", "oper-status", "if-index"]:
        yield key + "/" + leaf, json_text(entry[leaf]), xpath + "/" + leaf, yang_value(entry[leaf])
    for address in entry[IP + "ipv4"]["address"]:
        yield (key + '/%sipv4/address/"%s"/prefix-length' % (IP, address["ip"]),
               json_text(address["prefix-length"]),
               xpath + "/%sipv4/address[ip='%s']/prefix-length" % (IP, address["ip"]),
               yang_value(address["prefix-length"]))
    for leaf, value in entry["statistics"].items():
        yield (key + "/statistics/" + leaf, json_text(value), xpath + "/statistics/" + leaf,
               yang_value(value))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    seed, count, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    rng = random.Random(seed)
    entries = [interface(rng, i) for i in range(count)]
    with open(out + "/interfaces.json", "w") as f:
        json.dump({IF + "interfaces": {"interface": entries}}, f, indent=1)
    with open(out + "/leaves.tsv", "w") as f:
        for entry in entries:
            for row in leaves(entry):
                f.write("\t".join(row) + "\n")


if __name__ == "__main__":
    main()
