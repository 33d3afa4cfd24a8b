## ExitCodesFollowOneRule example
$ types --module other.so
! dstool: types: other.so: no loaded module matches this file
[1]
$ types --bogus
! dstool: types: unknown option --bogus (see dstool types --help)
[2]
$ type nosuch
! dstool: type: type "nosuch": no such type
[1]
$ type
! dstool: type: missing arguments: type NAME | --key KEYPATH [--json] (see dstool type --help)
[2]
$ keys x
! dstool: keys: too many arguments: keys [--module FILE] [--json] (see dstool keys --help)
[2]
$ alarms --json=1
! dstool: alarms: option --json takes no value (see dstool alarms --help)
[2]
$ validate u8
! dstool: validate: missing arguments: validate TYPE JSON [--json] (see dstool validate --help)
[2]
$ canonical u8 1 2
! dstool: canonical: too many arguments: canonical TYPE JSON [--json] (see dstool canonical --help)
[2]
$ pack u8 x
! dstool: pack: u8 x: not JSON: unexpected character at offset 0
[1]
$ pack u8 1 --leaf
! dstool: pack: unknown option --leaf (see dstool pack --help)
[2]
$ unpack u8
! dstool: unpack: missing arguments: unpack TYPE HEX [--json] (see dstool unpack --help)
[2]
$ build-key '/vlans/*/name' 5000
! dstool: build-key: /vlans/*/name level 2 (id: vlan-id) 5000: 5000 is outside the range 1..4094 of vlan-id
[1]
$ build-key /nope 1
! dstool: build-key: key "/nope": no key has this name (see dstool keys)
[1]
$ build-key '/vlans/*/name' 1 2
! dstool: build-key: /vlans/*/name: the key takes 1 value (id (vlan-id)), 2 given
[2]
$ find-key /vlans/abc/name
  key: /vlans/*/name
  module: example.so
  typed levels: id (vlan-id)
  leaf type: word
$ find-key /x
! dstool: find-key: /x: no key has this path
[1]
$ find-key
! dstool: find-key: missing arguments: find-key PATH [--leaf] [--check] [--json] (see dstool find-key --help)
[2]
$ field 5 '/vlans/*/name' 1
  json: 5
  packed: 05 00
$ field x '/vlans/*/name' 1
! dstool: field: /vlans/*/name field 1 of x level 2 (id: vlan-id): not JSON: unexpected character at offset 0
[1]
$ compat x.so
! dstool: compat: missing arguments: compat OLD.so NEW.so [--json] (see dstool compat --help)
[2]
$ compat nosuch.so other.so
! dstool: compat: nosuch.so: does not open: ./nosuch.so: cannot open shared object file: No such file or directory
[2]
$ demo x
! dstool: demo: too many arguments: demo [--json] (see dstool demo --help)
[2]
$ 
! dstool: missing command (see dstool --help)
[2]
$ bogus
! dstool: bogus: unknown command (see dstool --help)
[2]
$ --help
  usage: dstool [--json] COMMAND [ARGS...]
  
  Looks into libdstypes and its schema modules (module directory
  $MODDIR), and converts values with the library.
  
  Commands:
    types       table of the types of the built-in table and of every loaded module
    type        the whole description of one type
    keys        every key of every module
    tree        the key forests as YANG tree diagrams
    alarms      the key of every alarm row
    validate    check a JSON value against a type
    canonical   the canonical JSON text of a value
    pack        the packed form of a JSON value, in hex
    unpack      the JSON value of a packed form
    leaf        a value of a key's leaf type
    build-key   the key path of a key and its values
    find-key    the key that a key path names
    field       field N of a key's field text
    demo        the round trip on the example module
    doc split   an RFC 7951 document as key paths and packed values
    doc join    entries joined into an RFC 7951 document
    check       name every mistake in schema module files or a module directory
    compat      whether a new module reads every value an old one stored
  
  Options, before or after the command:
    --json      print the result as JSON (shape in the README); not for check
    --help      show this help, or after a command that command's
  
  Run "dstool COMMAND --help" for a command's arguments. A JSON argument "-"
  reads the next value from standard input (values separated by white space).
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ types --help
  usage: dstool types [--module FILE] [--json]
  
  Lists every type record in module list order: the built-in table first,
  then each schema module in the order it was loaded. Columns: module (its
  file name, or "builtin"), type name, kind, size of the packed form in
  bytes, and a summary of the kind's parameters.
  
  Options:
    --module FILE  only the module FILE: "builtin", a path that dlopen(FILE, RTLD_NOLOAD)
                   resolves to a loaded module, or a module's file name or path
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ type --help
  usage: dstool type NAME | --key KEYPATH [--json]
  
  Describes the type NAME and, recursively, every type it refers to:
  ranges, patterns, enumeration rows in table order, array elements,
  sequence fields, choice arms with their discriminator values, and the
  converter and base of a converted type. --key describes instead the leaf
  type of the key that KEYPATH names, which has no name in a generated
  module.
  
  Options:
    --key KEYPATH  the leaf type of the key ds_find_key(KEYPATH, 1) finds; a key's
                   name as "dstool keys" prints it is such a path
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ keys --help
  usage: dstool keys [--module FILE] [--json]
  
  Lists every key node in walk order: module, key name (literal levels by
  name, typed levels as "*"), the typed levels with their field types, and
  the leaf type ("-" for a key that stores no value).
  
  Options:
    --module FILE  only the module FILE: "builtin", a path that dlopen(FILE, RTLD_NOLOAD)
                   resolves to a loaded module, or a module's file name or path
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ alarms --help
  usage: dstool alarms [--module FILE] [--json]
  
  Lists every row of every module's alarm table: module, row number and
  the name of the row's key.
  
  Options:
    --module FILE  only the module FILE: "builtin", a path that dlopen(FILE, RTLD_NOLOAD)
                   resolves to a loaded module, or a module's file name or path
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ validate --help
  usage: dstool validate TYPE JSON [--json]
  
  Prints "valid" when JSON is a valid value of TYPE; otherwise exits 1 and
  says why: where in the value, and what the type allows there. JSON may
  be "-" to read it from standard input.
  
  Options:
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ canonical --help
  usage: dstool canonical TYPE JSON [--json]
  
  Prints the canonical text of the JSON value under TYPE: packed and
  converted back by the library. JSON may be "-" to read standard input.
  
  Options:
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ pack --help
  usage: dstool pack TYPE JSON [--json]
  
  Prints the packed form of the JSON value under TYPE as hex pairs,
  all of the type's size. JSON may be "-" to read standard input.
  
  Options:
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ unpack --help
  usage: dstool unpack TYPE HEX [--json]
  
  Converts the packed bytes HEX (hex pairs, blanks allowed between pairs)
  under TYPE and prints the JSON value. HEX must hold exactly the type's
  size in bytes. HEX may be "-" to read all of standard input.
  
  Options:
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ leaf --help
  usage: dstool leaf validate|canonical|pack KEYPATH JSON [--json]
  
  Does what "dstool validate", "canonical" or "pack" does, with the leaf
  type of the key that KEYPATH names (ds_find_key(KEYPATH, 1)) in place of a
  type name: the way to reach the anonymous leaf types of generated
  modules. A key's name as "dstool keys" prints it is such a path; typed
  components are not checked. pack converts with ds_leaf_to_c. JSON may be
  "-" to read standard input.
  
  Options:
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ build-key --help
  usage: dstool build-key KEYNAME VALUE... [--json]
  
  Finds the key named KEYNAME (as "dstool keys" prints it), packs each
  VALUE (a JSON text) with the field type of the matching typed level, top
  level first, and prints the key path that ds_build_key builds from them.
  Give exactly one VALUE per typed level. Each VALUE "-" reads the next
  JSON value from standard input, where values are separated by white
  space; the last "-" takes all that remains, which must be one value.
  
  Options:
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ find-key --help
  usage: dstool find-key PATH [--leaf] [--check] [--json]
  
  Looks PATH up with ds_find_key and prints the key's name, module, typed
  levels and leaf type. Exits 1 when no key has the path. The library lets
  a typed level match any component; --check also requires each typed
  component to be a valid value of its level's type and names the first
  one that is not.
  
  Options:
    --leaf         only a key that stores a value counts
    --check        validate every typed component
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ field --help
  usage: dstool field TEXT KEYNAME N [--json]
  
  Takes field N (1 for the first typed level) out of the field text TEXT of
  the key KEYNAME: the typed levels' JSON texts joined by "/", without
  literal levels and without a leading "/". Prints the field's JSON value
  and its packed form under the level's field type. TEXT may be "-" to
  read all of standard input.
  
  Options:
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.
$ demo --help
  usage: dstool demo [--json]
  
  Runs the library's round trip on the example module (example.so in the
  module directory $MODDIR): a packed "interface" value,
  ds_build_key on /interfaces/*/state, ds_find_key on the path,
  ds_leaf_to_c of the leaf value "up", and ds_key_field_c giving the packed
  value back. Exits 1 when the example module is not loaded.
  
  Options:
    --json         print the result as JSON (shape in the README)
    --help         show this help
  Exit status: 0 done; 1 the value or lookup failed (also an unreadable module
  directory, input or output); 2 the command line is wrong.


## SeenCasesSayWhy example
$ validate u8 '7 garbage'
! dstool: validate: u8 7 garbage: text after the JSON value at offset 2: garbage
[1]
$ canonical oper-state -
< "\"up\"\n\"down\"\n"
! dstool: canonical: oper-state "up"\n"down": more than one JSON value: a second one begins at offset 5
[1]
$ canonical i64 99999999999999999999999
! dstool: canonical: i64 99999999999999999999999: 99999999999999999999999 is outside the 64-bit integer range -9223372036854775808..9223372036854775807
[1]
$ validate i64 -9223372036854775809
! dstool: validate: i64 -9223372036854775809: -9223372036854775809 is outside the 64-bit integer range -9223372036854775808..9223372036854775807
[1]
$ canonical double 1e400
! dstool: canonical: double 1e400: 1e400 is not a finite number
[1]
$ validate alarm '{"eventId": 1, "timestamp": NaN}'
! dstool: validate: alarm {"eventId": 1, "timestamp": NaN}: .timestamp: NaN is not a finite number
[1]
$ unpack double 000000000000f07f
! dstool: unpack: double 000000000000f07f: Infinity is not a finite number, which JSON cannot write
[1]
$ unpack u8 0001
! dstool: unpack: u8 0001: the packed form of u8 is 1 byte; 2 given
[1]
$ unpack interface 04010301ff
! dstool: unpack: interface 04010301ff: the packed form of interface is 4 bytes; 5 given
[1]
$ canonical alarm_severity 3
! dstool: canonical: alarm_severity 3: 3 is not in the enumeration of alarm_severity (critical = 1, major = 2, minor = 4)
[1]
$ validate u8 256
! dstool: validate: u8 256: 256 is outside the range 0..255 of u8
[1]
$ build-key '/interfaces/*/state' '{"kind": "GigabitEthernet", "slot": 5, "port": 7}'
! dstool: build-key: /interfaces/*/state level 2 (name: interface) {"kind": "GigabitEthernet", "slot": 5, "port": 7}: .slot: 5 is outside the range 0..1 (in the arm for kind GigabitEthernet)
[1]
$ unpack interface 04050301
! dstool: unpack: interface 04050301: .slot: byte 1: 5 is outside the range 0..1 (in the arm for kind InlinePort)
[1]
$ unpack bool 02
! dstool: unpack: bool 02: byte 0: 2 is not in the enumeration of bool (false = 0, true = 1)
[1]
$ field 5 '/vlans/*/name' 2
! dstool: field: /vlans/*/name field 2 of 5: the key has 1 field: id (vlan-id)
[1]
$ field 5 '/vlans/*/name' 0
! dstool: field: 0: field numbers count from 1
[2]
$ field 5 '/vlans/*/name' -1
! dstool: field: -1: not a valid field number (1, 2, ...)
[2]
$ canonical u8 ''
! dstool: canonical: u8 (empty text): no JSON value: the text is empty
[1]
$ canonical u8 '   '
! dstool: canonical: u8    : no JSON value: the text is blank
[1]
$ canonical '' 1
! dstool: canonical: type "": no such type
[1]
$ build-key '/interfaces/*/units/*/address' - -
< "{\"kind\": \"Virtual\", \"index\": 1}\n 7\n"
  /interfaces/{ "kind": "Virtual", "index": 1 }/units/7/address
$ build-key '/interfaces/*/units/*/address' - -
< "{\"kind\": \"Virtual\", \"index\": 1} 7 8"
! dstool: build-key: /interfaces/*/units/*/address level 4 (unit: if-unit) 7 8: more than one JSON value: a second one begins at offset 2
[1]
$ find-key /vlans/abc/name --check
! dstool: find-key: /vlans/abc/name level 2 (id: vlan-id) abc: not JSON: unexpected character at offset 0
[1]
$ find-key /vlans/5000/name --check
! dstool: find-key: /vlans/5000/name level 2 (id: vlan-id) 5000: 5000 is outside the range 1..4094 of vlan-id
[1]
$ find-key /vlans/10/name --check
  key: /vlans/*/name
  module: example.so
  typed levels: id (vlan-id)
  leaf type: word
  check: every typed component is a valid value


## RefusalsNameWhatTheTypeAllows example
$ validate vlan-bitmap '"1,5-5"'
! dstool: validate: vlan-bitmap "1,5-5": range 5-5 does not run upwards
[1]
$ validate vlan-bitmap '"4096"'
! dstool: validate: vlan-bitmap "4096": bit 4096 is outside the bitmap (bits 0..4095 of vlan-bitmap)
[1]
$ validate vlan-bitmap '"1;2"'
! dstool: validate: vlan-bitmap "1;2": unexpected ";" at offset 1; items are N or N-M separated by ","
[1]
$ validate word '" "'
! dstool: validate: word " ": " " does not match the pattern [a-zA-Z0-9_-]+ of word
[1]
$ validate word '"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"'
! dstool: validate: word "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa": "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa" has 33 characters; word holds at most 32
[1]
$ validate alarm '{"eventId": 7}'
! dstool: validate: alarm {"eventId": 7}: member "timestamp" is missing
[1]
$ validate alarm '{"eventId": 7, "timestamp": 1, "x": 1}'
! dstool: validate: alarm {"eventId": 7, "timestamp": 1, "x": 1}: unknown member "x"; the members are eventId, timestamp
[1]
$ validate interface '{"slot": 1}'
! dstool: validate: interface {"slot": 1}: member "kind" (which selects the arm) is missing
[1]
$ validate interface '{"kind": 2, "slot": 0, "port": 1, "index": 1}'
! dstool: validate: interface {"kind": 2, "slot": 0, "port": 1, "index": 1}: unknown member "index"; the members are kind, slot, port (in the arm for kind GigabitEthernet)
[1]
$ validate sys-dns-servers '["10.0.0.1", "1.2.3.4.5"]'
! dstool: validate: sys-dns-servers ["10.0.0.1", "1.2.3.4.5"]: [1]: "1.2.3.4.5" is not an IPv4 address
[1]
$ validate sys-dns-servers '["1.1.1.1", "1.1.1.1", "1.1.1.1", "1.1.1.1", "1.1.1.1"]'
! dstool: validate: sys-dns-servers ["1.1.1.1", "1.1.1.1", "1.1.1.1", "1.1.1.1", "1.1.1.1"]: 5 elements; sys-dns-servers holds at most 4
[1]
$ validate bool '"1"'
! dstool: validate: bool "1": "1" is not in the enumeration of bool (false = 0, true = 1)
[1]
$ validate alarm_severity true
! dstool: validate: alarm_severity true: a boolean is taken only by the type bool; this enumeration takes a name or a number (critical = 1, major = 2, minor = 4)
[1]
$ validate string '"a\u0000b"'
! dstool: validate: string "a\u0000b": a \u0000 escape at offset 2: the library cuts texts at a NUL character
[1]
$ validate string '"ab\udc00"'
! dstool: validate: string "ab\udc00": a \u escape of half a surrogate pair at offset 3: json-c would put U+FFFD in its place
[1]
$ validate u8 5.0
! dstool: validate: u8 5.0: expected an integer, got a number with a fraction or exponent 5.0
[1]
$ validate u8 ''"'"'a'"'"''
! dstool: validate: u8 'a': not JSON: unexpected character at offset 0
[1]
$ validate u8 '[1,]'
! dstool: validate: u8 [1,]: not JSON: unexpected character at offset 3
[1]
$ validate u8 null
! dstool: validate: u8 null: JSON null is no value
[1]
$ validate alarm '{"eventId": 1, "timestamp": null}'
! dstool: validate: alarm {"eventId": 1, "timestamp": null}: member "timestamp" is null
[1]


## ValuesConvertOrSayWhy example
$ validate i8 -128
  valid
$ canonical alarm '{"timestamp": 2, "eventId": 7}'
  { "eventId": 7, "timestamp": 2.0 }
$ canonical vlan-bitmap '"10,9,3"'
  "3,9-10"
$ pack interface '{"kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan"}'
  04 01 03 01
$ pack ipv4 -
< "\"10.0.0.1\"\n"
  0a 00 00 01
$ unpack interface '04 01 03 01'
  { "kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan" }
$ unpack interface -
< "02 00\n07 00\n"
  { "kind": "GigabitEthernet", "slot": 0, "port": 7 }
$ unpack macaddress '00 1A 2b 3c 4d 5e'
  "00:1a:2b:3c:4d:5e"
$ unpack interface 040
! dstool: unpack: interface 040: odd number of hex digits in a byte at offset 2
[1]
$ unpack interface '04 0g'
! dstool: unpack: interface 04 0g: not a hex digit at offset 4
[1]
$ build-key '/users/*/role' '"al/ice"'
  /users/"al\/ice"/role
$ build-key '/vlans/*/name'
! dstool: build-key: /vlans/*/name: the key takes 1 value (id (vlan-id)), 0 given
[2]
$ build-key '/vlans/*/nope' 10
! dstool: build-key: key "/vlans/*/nope": no key has this name (see dstool keys)
[1]
$ find-key '/users/"al\/ice"/role' --check
  key: /users/*/role
  module: example.so
  typed levels: user (word)
  leaf type: user-role
  check: every typed component is a valid value
$ find-key /interfaces/x --leaf
! dstool: find-key: /interfaces/x: no key with a leaf type has this path
[1]
$ field '{"kind": "Virtual", "index": 2}/7' '/interfaces/*/units/*/address' 2
  json: 7
  packed: 07 00
$ field 5 '/interfaces/*/units/*/address' 2
! dstool: field: /interfaces/*/units/*/address field 2 of 5: the text has 1 component (separated by "/")
[1]
$ field '5 x' '/vlans/*/name' 1
! dstool: field: /vlans/*/name field 1 of 5 x level 2 (id: vlan-id): text after the JSON value at offset 2: x
[1]
$ field '"a"' '/vlans/*/name' 1
! dstool: field: /vlans/*/name field 1 of "a" level 2 (id: vlan-id): expected an integer, got a string "a"
[1]
$ type oper-state
  oper-state: enum, 1 byte
    base u8: int, 1 byte, range 0..255
    value up = 1
    value down = 2
    value testing = 3
$ type sys-address
  sys-address: choice, 17 bytes
    discriminator 0 family: sys-address-family: enum, 1 byte
      base u8: int, 1 byte, range 0..255
      value ipv4 = 4
      value ipv6 = 6
    arm 1: 4 (ipv4)
      field 1 address: ipv4: converted, 4 bytes, converter 1 (ipv4)
        base ipv4-str: string, 16 bytes, pattern (25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}
    arm 2: 6 (ipv6)
      field 2 address: ipv6: converted, 16 bytes, converter 2 (ipv6)
        base ipv6-str: string, 46 bytes, pattern ((([0-9A-Fa-f]{1,4}:){7}([0-9A-Fa-f]{1,4}|:))|(([0-9A-Fa-f]{1,4}:){6}(:[0-9A-Fa-f]{1,4}|((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3})|:))|(([0-9A-Fa-f]{1,4}:){5}(((:[0-9A-Fa-f]{1,4}){1,2})|:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3})|:))|(([0-9A-Fa-f]{1,4}:){4}(((:[0-9A-Fa-f]{1,4}){1,3})|((:[0-9A-Fa-f]{1,4})?:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:))|(([0-9A-Fa-f]{1,4}:){3}(((:[0-9A-Fa-f]{1,4}){1,4})|((:[0-9A-Fa-f]{1,4}){0,2}:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:))|(([0-9A-Fa-f]{1,4}:){2}(((:[0-9A-Fa-f]{1,4}){1,5})|((:[0-9A-Fa-f]{1,4}){0,3}:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:))|(([0-9A-Fa-f]{1,4}:){1}(((:[0-9A-Fa-f]{1,4}){1,6})|((:[0-9A-Fa-f]{1,4}){0,4}:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:))|(:(((:[0-9A-Fa-f]{1,4}){1,7})|((:[0-9A-Fa-f]{1,4}){0,5}:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:)))(%.+)?
$ alarms
  MODULE      ROW  KEY
  example.so  0    /interfaces/*/state
  example.so  1    /interfaces/*/counters
  example.so  2    /system/boot-time


## JsonOutputsHaveTheirShapes example
$ type uri
  uri: string, 256 bytes, pattern ((scp|http|https|ftp|ftps|tftp)://(([-A-Za-z0-9._~]|%[A-Fa-f0-9]{2}|[!$&'()*+,;=]|:)+@)?(([-A-Za-z0-9._~]|%[A-Fa-f0-9]{2}|[!$&'()*+,;=])+|\[((([0-9A-Fa-f]{1,4}:){7}([0-9A-Fa-f]{1,4}|:))|(([0-9A-Fa-f]{1,4}:){6}(:[0-9A-Fa-f]{1,4}|((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3})|:))|(([0-9A-Fa-f]{1,4}:){5}(((:[0-9A-Fa-f]{1,4}){1,2})|:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3})|:))|(([0-9A-Fa-f]{1,4}:){4}(((:[0-9A-Fa-f]{1,4}){1,3})|((:[0-9A-Fa-f]{1,4})?:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:))|(([0-9A-Fa-f]{1,4}:){3}(((:[0-9A-Fa-f]{1,4}){1,4})|((:[0-9A-Fa-f]{1,4}){0,2}:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:))|(([0-9A-Fa-f]{1,4}:){2}(((:[0-9A-Fa-f]{1,4}){1,5})|((:[0-9A-Fa-f]{1,4}){0,3}:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:))|(([0-9A-Fa-f]{1,4}:){1}(((:[0-9A-Fa-f]{1,4}){1,6})|((:[0-9A-Fa-f]{1,4}){0,4}:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:))|(:(((:[0-9A-Fa-f]{1,4}){1,7})|((:[0-9A-Fa-f]{1,4}){0,5}:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:)))(%.+)?\])(:[0-9]+)?(/([-A-Za-z0-9._~]|%[A-Fa-f0-9]{2}|[!$&'()*+,;=]|[:@])*)*(\?([-A-Za-z0-9._~]|%[A-Fa-f0-9]{2}|[!$&'()*+,;=]|[:@/?])*)?(\#([-A-Za-z0-9._~]|%[A-Fa-f0-9]{2}|[!$&'()*+,;=]|[:@/?])*)?|(bootflash|usb1|usb2|slot1|slot2):[^\x01-\x1f"<>\\|:*?]+)
$ alarms --json
  [
    {
      "module": "example.so",
      "row": 0,
      "key": "/interfaces/*/state"
    },
    {
      "module": "example.so",
      "row": 1,
      "key": "/interfaces/*/counters"
    },
    {
      "module": "example.so",
      "row": 2,
      "key": "/system/boot-time"
    }
  ]
$ type interface --json
  {
    "name": "interface",
    "kind": "converted",
    "size": 4,
    "converter": 0,
    "converter_name": "base",
    "base": {
      "name": "interface-impl",
      "kind": "choice",
      "size": 4,
      "discriminator": {
        "index": 0,
        "name": "kind",
        "type": {
          "name": "interface-type",
          "kind": "enum",
          "size": 1,
          "base": {
            "name": "u8",
            "kind": "int",
            "size": 1,
            "min": 0,
            "max": 255
          },
          "values": [
            {
              "name": "None",
              "value": 0
            },
            {
              "name": "Virtual",
              "value": 1
            },
            {
              "name": "GigabitEthernet",
              "value": 2
            },
            {
              "name": "TenGigabitEthernet",
              "value": 3
            },
            {
              "name": "InlineGroup",
              "value": 5
            },
            {
              "name": "InlinePort",
              "value": 4
            },
            {
              "name": "Standby",
              "value": 6
            },
            {
              "name": "PortChannel",
              "value": 7
            },
            {
              "name": "Bridge",
              "value": 8
            },
            {
              "name": "VirtualBlade",
              "value": 9
            }
          ]
        }
      },
      "arms": [
        {
          "values": [
            {
              "value": 1,
              "name": "Virtual"
            }
          ],
          "fields": [
            {
              "index": 1,
              "name": "index",
              "type": {
                "name": null,
                "kind": "int",
                "size": 1,
                "min": 1,
                "max": 4
              }
            }
          ]
        },
        {
          "values": [
            {
              "value": 2,
              "name": "GigabitEthernet"
            },
            {
              "value": 3,
              "name": "TenGigabitEthernet"
            },
            {
              "value": 5,
              "name": "InlineGroup"
            }
          ],
          "fields": [
            {
              "index": 2,
              "name": "slot",
              "type": {
                "name": null,
                "kind": "int",
                "size": 1,
                "min": 0,
                "max": 1
              }
            },
            {
              "index": 3,
              "name": "port",
              "type": {
                "name": null,
                "kind": "int",
                "size": 1,
                "min": 0,
                "max": 15
              }
            }
          ]
        },
        {
          "values": [
            {
              "value": 4,
              "name": "InlinePort"
            }
          ],
          "fields": [
            {
              "index": 4,
              "name": "slot",
              "type": {
                "name": null,
                "kind": "int",
                "size": 1,
                "min": 0,
                "max": 1
              }
            },
            {
              "index": 5,
              "name": "port",
              "type": {
                "name": null,
                "kind": "int",
                "size": 1,
                "min": 0,
                "max": 4
              }
            },
            {
              "index": 6,
              "name": "direction",
              "type": {
                "name": null,
                "kind": "enum",
                "size": 1,
                "base": {
                  "name": "u8",
                  "kind": "int",
                  "size": 1,
                  "min": 0,
                  "max": 255
                },
                "values": [
                  {
                    "name": "lan",
                    "value": 0
                  },
                  {
                    "name": "wan",
                    "value": 1
                  }
                ]
              }
            }
          ]
        },
        {
          "values": [
            {
              "value": 8,
              "name": "Bridge"
            }
          ],
          "fields": [
            {
              "index": 7,
              "name": "index",
              "type": {
                "name": null,
                "kind": "int",
                "size": 1,
                "min": 1,
                "max": 8
              }
            }
          ]
        },
        {
          "values": [
            {
              "value": 6,
              "name": "Standby"
            }
          ],
          "fields": [
            {
              "index": 8,
              "name": "index",
              "type": {
                "name": "standby-index-range",
                "kind": "int",
                "size": 1,
                "min": 1,
                "max": 2
              }
            }
          ]
        },
        {
          "values": [
            {
              "value": 7,
              "name": "PortChannel"
            }
          ],
          "fields": [
            {
              "index": 9,
              "name": "index",
              "type": {
                "name": "port-channel-index-range",
                "kind": "int",
                "size": 1,
                "min": 1,
                "max": 8
              }
            }
          ]
        }
      ]
    }
  }
$ validate alarm_severity 2 --json
  {
    "type": "alarm_severity",
    "value": 2,
    "valid": true
  }
$ canonical bool 1 --json
  {
    "type": "bool",
    "canonical": "true",
    "value": true
  }
$ pack interface '{"kind": "Virtual", "index": 1}' --json
  {
    "type": "interface",
    "size": 4,
    "hex": "01 01 00 00",
    "bytes": [
      1,
      1,
      0,
      0
    ]
  }
$ unpack interface 02000700 --json
  {
    "type": "interface",
    "value": {
      "kind": "GigabitEthernet",
      "slot": 0,
      "port": 7
    }
  }
$ build-key '/vlans/*/name' 10 --json
  {
    "key": "/vlans/*/name",
    "path": "/vlans/10/name"
  }
$ find-key /vlans/10/name --check --json
  {
    "module": "example.so",
    "key": "/vlans/*/name",
    "leaf_type": "word",
    "levels": [
      {
        "name": "vlans",
        "field_type": null
      },
      {
        "name": "id",
        "field_type": "vlan-id"
      },
      {
        "name": "name",
        "field_type": null
      }
    ],
    "path": "/vlans/10/name",
    "checked": true
  }
$ field '{"kind": "Virtual", "index": 2}/7' '/interfaces/*/units/*/address' 2 --json
  {
    "key": "/interfaces/*/units/*/address",
    "field": 2,
    "name": "unit",
    "type": "if-unit",
    "value": 7,
    "hex": "07 00"
  }
$ demo --json
  {
    "steps": [
      {
        "call": "ds_c_to_jo",
        "result": "{ \"kind\": \"InlinePort\", \"slot\": 1, \"port\": 3, \"direction\": \"wan\" }"
      },
      {
        "call": "ds_build_key",
        "result": "/interfaces/{ \"kind\": \"InlinePort\", \"slot\": 1, \"port\": 3, \"direction\": \"wan\" }/state"
      },
      {
        "call": "ds_find_key",
        "result": "/interfaces/*/state"
      },
      {
        "call": "ds_leaf_to_c",
        "result": "01"
      },
      {
        "call": "ds_key_field_c",
        "result": "04 01 03 01"
      }
    ],
    "match": true
  }


## DemoRoundTripMatches example
$ demo
  1. packed "interface" value 04 01 03 01
     ds_c_to_jo: { "kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan" }
  2. ds_build_key(/interfaces/*/state, 04 01 03 01)
     path: /interfaces/{ "kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan" }/state
  3. ds_find_key(path, 1)
     key: /interfaces/*/state in example.so (the key the path was built from)
  4. ds_leaf_to_c(path, "up")
     packed oper-state: 01
  5. ds_key_field_c(field text, 1)
     field text: { "kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan" }
     packed: 04 01 03 01
     original 04 01 03 01, extracted 04 01 03 01: match


## DemoNamesMissingModuleDirectory none
$ demo
! dstool: demo: example.so: the example module is not loaded; install it in $MODDIR
[1]
$ keys
  MODULE  KEY  TYPED LEVELS  LEAF TYPE
$ alarms --json
  [
  ]


## MissingModuleDirectoryIsOneLine missing
$ types
! dstool: types: $MODDIR: No such file or directory; built-in types are unavailable until it exists
[1]
$ validate u8 1
! dstool: validate: $MODDIR: No such file or directory; built-in types are unavailable until it exists
[1]
$ find-key /a
! dstool: find-key: $MODDIR: No such file or directory; built-in types are unavailable until it exists
[1]


## LogLinesReachStderrOnRequest none
env DSTYPES_LOG_STDERR=1
$ @probe
! dstypes: 0x2a862: Bad translation of JSON value (value { error unexpected end of data)
env DSTYPES_LOG_STDERR=0
$ @probe
$ @probe

## GeneratedLeavesByKeyPath example+tools_generated
$ keys --module tools_generated.so
  MODULE              KEY                      TYPED LEVELS               LEAF TYPE
  tools_generated.so  /gen:ports               -                          -
  tools_generated.so  /gen:ports/port          -                          -
  tools_generated.so  /gen:ports/port/*        name ((anonymous string))  -
  tools_generated.so  /gen:ports/port/*/mtu    name ((anonymous string))  (anonymous int)
  tools_generated.so  /gen:ports/port/*/admin  name ((anonymous string))  (anonymous enum)
  tools_generated.so  /gen:ports/port/*/load   name ((anonymous string))  gen:percent
$ tree --module tools_generated.so
  module: gen
    +--rw ports
       +--rw port* [name]
          +--rw name        (anonymous string), 17 bytes
          +--rw mtu?        (anonymous int), 2 bytes
          +--ro admin?      (anonymous enum), 1 byte
          +--ro (measure)
             +--:(load)
                +--ro load?   gen:percent, 1 byte
$ tree --module example.so
  module: example.so
    +--interfaces
    |  +--[name: interface]
    |     +--state         oper-state, 1 byte
    |     +--admin         bool, 1 byte
    |     +--speed         if-speed, 4 bytes
    |     +--mtu           if-mtu, 2 bytes
    |     +--description   if-description, 65 bytes
    |     +--counters      if-counters, 24 bytes
    |     +--utilization   if-utilization, 8 bytes
    |     +--vlans         vlan-bitmap, 512 bytes
    |     +--units
    |        +--[unit: if-unit]
    |           +--address         ipv4, 4 bytes
    |           +--prefix-length   if-prefix-length, 1 byte
    +--system
    |  +--hostname             dnsname, 253 bytes
    |  +--ipv4-address         ipv4, 4 bytes
    |  +--ipv6-address         ipv6, 16 bytes
    |  +--mac-address          macaddress, 6 bytes
    |  +--router-id            sys-router-id, 4 bytes
    |  +--dns-servers          sys-dns-servers, 18 bytes
    |  +--management-address   sys-address, 17 bytes
    |  +--boot-time            timestamp, 8 bytes
    +--vlans
    |  +--[id: vlan-id]
    |     +--name     word, 33 bytes
    |     +--uplink   interface, 4 bytes
    +--users
       +--[user: word]
          +--role   user-role, 1 byte
$ alarms --module tools_generated.so
  MODULE              ROW  KEY
  tools_generated.so  0    /gen:ports/port/*/admin
$ alarms --module builtin
  MODULE  ROW  KEY
$ keys --module nosuch.so
! dstool: keys: nosuch.so: no loaded module matches this file
[1]
$ find-key '/gen:ports/port/"eth0"/mtu' --json
  {
    "module": "tools_generated.so",
    "key": "/gen:ports/port/*/mtu",
    "leaf_type": {
      "kind": "int",
      "size": 2,
      "parameters": {
        "min": 68,
        "max": 9216
      }
    },
    "levels": [
      {
        "name": "gen:ports",
        "field_type": null
      },
      {
        "name": "port",
        "field_type": null
      },
      {
        "name": "name",
        "field_type": {
          "kind": "string",
          "size": 17,
          "parameters": {
            "pattern": "^[a-z][a-z0-9]*$"
          }
        }
      },
      {
        "name": "mtu",
        "field_type": null
      }
    ],
    "path": "/gen:ports/port/\"eth0\"/mtu",
    "checked": false
  }
$ type --key '/gen:ports/port/*/admin'
  (anonymous): enum, 1 byte
    base u8: int, 1 byte, range 0..255
    value up = 1
    value down = 2
$ type --key '/gen:ports/port/*/mtu' --json
  {
    "name": null,
    "kind": "int",
    "size": 2,
    "min": 68,
    "max": 9216
  }
$ type --key /gen:ports/port
! dstool: type: /gen:ports/port: the key /gen:ports/port stores no value (it has no leaf type)
[1]
$ type --key /nope
! dstool: type: /nope: no key has this path
[1]
$ type u8 --key '/gen:ports/port/*/mtu'
! dstool: type: arguments and --key together: type NAME | --key KEYPATH [--json] (see dstool type --help)
[2]
$ leaf validate '/gen:ports/port/*/mtu' 9000
  valid
$ leaf validate '/gen:ports/port/*/mtu' 20
! dstool: leaf: /gen:ports/port/*/mtu 20: 20 is outside the range 68..9216
[1]
$ leaf pack '/gen:ports/port/"eth0"/mtu' 9000
  28 23
$ leaf canonical '/gen:ports/port/*/admin' 2
  "down"
$ leaf canonical '/gen:ports/port/*/admin' 3
! dstool: leaf: /gen:ports/port/*/admin 3: 3 is not in the enumeration (up = 1, down = 2)
[1]
$ leaf pack '/gen:ports/port/*/load' 101
! dstool: leaf: /gen:ports/port/*/load 101: 101 is outside the range 0..100 of gen:percent
[1]
$ --json leaf pack '/gen:ports/port/*/admin' '"down"'
  {
    "key": "/gen:ports/port/*/admin",
    "type": {
      "kind": "enum",
      "size": 1,
      "parameters": {
        "base": "u8",
        "values": [
          {
            "name": "up",
            "value": 1
          },
          {
            "name": "down",
            "value": 2
          }
        ]
      }
    },
    "size": 1,
    "hex": "02",
    "bytes": [
      2
    ]
  }
$ leaf validate '/gen:ports/port/*' '"eth0"'
! dstool: leaf: /gen:ports/port/*: the key /gen:ports/port/* stores no value (it has no leaf type)
[1]
$ leaf check '/gen:ports/port/*/mtu' 1
! dstool: leaf: check: not a leaf action: validate, canonical or pack (see dstool leaf --help)
[2]
$ leaf pack '/gen:ports/port/*/mtu'
! dstool: leaf: missing arguments: leaf validate|canonical|pack KEYPATH JSON [--json] (see dstool leaf --help)
[2]
$ --json validate u8 5
  {
    "type": "u8",
    "value": 5,
    "valid": true
  }
$ --json check x.so
! dstool: check: unknown option --json (see dstool check --help)
[2]
$ --json
! dstool: missing command (see dstool --help)
[2]
$ check $FIXTURES/tools_generated.so
  $FIXTURES/tools_generated.so: ok

## MistakesDoNotPass example
$ check $EXAMPLE
  $EXAMPLE: ok
$ check $FIXTURES/tools_mistakes.so
  $FIXTURES/tools_mistakes.so: ds_types[2] "": empty name: every row of the table needs one
  $FIXTURES/tools_mistakes.so: ds_types[3] "if-mtu": hidden by the type of the same name in $MODDIR/example.so, which comes earlier
  $FIXTURES/tools_mistakes.so: ds_types[0] "tiny": range 0..70000 does not fit its 1 byte: an int whose min is not negative is read unsigned, 0..255
  $FIXTURES/tools_mistakes.so: ds_types[1] "wide-signed": range -40000..100 does not fit its 2 bytes: an int whose min is negative is read signed, -32768..32767
  $FIXTURES/tools_mistakes.so: ds_keys[1] "a/b": a key path cuts it at its "/" into 2 components: no key path reaches it
  $FIXTURES/tools_mistakes.so: ds_keys[2] "*": named "*", as key names write a typed level: its key name reads as a typed one
  $FIXTURES/tools_mistakes.so: ds_keys[4] "open"x": its double quote opens a quoted stretch that the name does not close, so the "/" after it separates nothing: no key path reaches the levels below it
  $FIXTURES/tools_mistakes.so: ds_keys[7] "": empty name: no key path ends at it, since a "/" that ends a path adds no component
  $FIXTURES/tools_mistakes.so: ds_keys[9] "twin": same name as its earlier sibling ds_keys[8] "twin", which a key path reaches first
  $FIXTURES/tools_mistakes.so: ds_keys[11] "late": comes after the typed level ds_keys[10] "id" among its siblings, which fits every component first: no key path reaches it
[1]
$ check $FIXTURES/tools_doc_mistakes.so
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema: version 2 unknown: this dstool reads version 1
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[0] "gen:ports": module "other", but the key name says "gen"
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[0] "gen:ports": choices "choice-alone" are not "choice/case" pairs joined by "/"
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[1] "port": a list of 2 keys not followed by 2 key levels in order, each the only child of the one before
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[2] "name" value: int8 does not fit the string of 17 bytes that holds the value
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[3] "mtu" value: fraction digits 0 on decimal64, not 1..18
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[3] "mtu" value: decimal64 does not fit the int of 2 bytes that holds the value
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[3] "mtu": default "{" is not JSON
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[4] "admin" value: bits does not fit the enum of 1 byte that holds the value
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[5] "load": module 2 beyond the 2 modules
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[5] "load": name "weight" is not the key node's "load"
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[5] "load" value: identityref does not fit the "gen:percent" int of 1 byte that holds the value
  $FIXTURES/tools_doc_mistakes.so: ds_doc_schema.nodes[4] "admin": order 1 also that of sibling ds_doc_schema.nodes[3] "mtu"
[1]
$ validate alarm '{"eventId": 7, "eventId": 8, "timestamp": 1.5}'
! dstool: validate: alarm {"eventId": 7, "eventId": 8, "timestamp": 1.5}: member "eventId" again at offset 15: an object holds each name once, and the library would keep only the last
[1]
$ canonical alarm '{"eventId": 7, "timestamp": 1.5, "\u0065ventId": 8}'
! dstool: canonical: alarm {"eventId": 7, "timestamp": 1.5, "\u0065ventId": 8}: member "eventId" again at offset 33: an object holds each name once, and the library would keep only the last
[1]
$ pack interface '{"kind": "Virtual", "index": 1, "kind": "Bridge"}'
! dstool: pack: interface {"kind": "Virtual", "index": 1, "kind": "Bridge"}: member "kind" again at offset 32: an object holds each name once, and the library would keep only the last
[1]
$ build-key '/interfaces/*/state' '{"kind": "GigabitEthernet", "slot": 0, "port": 7, "port": 9}'
! dstool: build-key: /interfaces/*/state level 2 (name: interface) {"kind": "GigabitEthernet", "slot": 0, "port": 7, "port": 9}: member "port" again at offset 50: an object holds each name once, and the library would keep only the last
[1]
$ validate interface '{"kind": "Virtual", "index": 1, "Index": 2}'
! dstool: validate: interface {"kind": "Virtual", "index": 1, "Index": 2}: unknown member "Index"; the members are kind, index (in the arm for kind Virtual)
[1]
$ validate u8 '[{"a": 1}, {"a": 2}]'
! dstool: validate: u8 [{"a": 1}, {"a": 2}]: expected an integer, got an array [{"a":1},{"a":2}]
[1]
$ field 5/6 '/vlans/*/name' 1
! dstool: field: /vlans/*/name field 1 of 5/6: the text has 2 components (separated by "/"), the key has 1 field: id (vlan-id)
[1]
$ field 5/ '/vlans/*/name' 1
! dstool: field: /vlans/*/name field 1 of 5/: the text has 2 components (separated by "/"), the key has 1 field: id (vlan-id)
[1]
$ field '{"kind":"Virtual","index":2}/7/8' '/interfaces/*/units/*/address' 1
! dstool: field: /interfaces/*/units/*/address field 1 of {"kind":"Virtual","index":2}/7/8: the text has 3 components (separated by "/"), the key has 2 fields: name (interface), unit (if-unit)
[1]
$ field '{"kind":"Virtual","index":2}/7' '/interfaces/*/units/*/address' 2
  json: 7
  packed: 07 00
## DocumentsSplitIntoEntries tools_doc
$ doc split -
< "{\"dt:top\": {\"count\": 7, \"item\": [{\"v\": -2, \"id\": \"a/b\"}], \"flag\": [null]}}"
  /dt:top/count	07
  /dt:top/item/"a\/b"	
  /dt:top/item/"a\/b"/v	fe ff ff ff
  /dt:top/flag	01
$ doc split --at '/dt:top/item/"a"'
< "{\"dt:item\": [{\"id\": \"a\", \"v\": 1}]}"
  /dt:top/item/"a"	
  /dt:top/item/"a"/v	01 00 00 00
$ doc split
< "{\"dt:top\": {\"count\": 7, \"item\": [{\"id\": \"a\"}, {\"id\": \"a\"}]}}"
! dstool: doc split: standard input: /dt:top/item/1: a second entry with the same keys
[1]
$ doc split -
< "{\"dt:top\": {\"big\": \"9223372036854775808\"}}"
! dstool: doc split: standard input: /dt:top/big: out of the range of type int64
[1]
$ doc split --at /dt:top/nothing -
< "{}"
! dstool: doc split: standard input: /dt:top/nothing: no key of a loaded module has this path
[1]
$ doc split /nonexistent/doc.json
! dstool: doc split: /nonexistent/doc.json: No such file or directory
[1]
$ doc split a b
! dstool: doc split: too many arguments: doc split [--at KEYPATH] [FILE|-] (see dstool doc split --help)
[2]
$ doc split --at
! dstool: doc split: option --at needs KEYPATH (see dstool doc split --help)
[2]
$ doc join
< "/dt:top/count\t07\n/dt:top/item/\"a\\/b\"\t\n/dt:top/item/\"a\\/b\"/v\tfe ff ff ff\n/dt:top/flag\t01\n"
  {
    "dt:top": {
      "count": 7,
      "item": [
        {
          "id": "a/b",
          "v": -2
        }
      ],
      "flag": [null]
    }
  }
$ doc join
< "/dt:top/count\t07\n/dt:top/item/\"b\"\tzz\n"
! dstool: doc join: line 2 zz: not a hex digit at offset 0
[1]
$ doc join
< "/dt:top/count\n"
! dstool: doc join: line 1: no TAB between the key path and the value
[1]
$ doc join
< "/dt:top/item/\"a\"\t\n/dt:top/item/\"a\"\t\n"
! dstool: doc join: line 2: /dt:top/item/"a": is given twice
[1]
$ doc join -
< "/dt:top/count\t07\n/dt:top/nothing\t\n"
! dstool: doc join: line 2: /dt:top/nothing: names no key of a loaded module
[1]
$ doc join --no-such-option
! dstool: doc join: unknown option --no-such-option (see dstool doc join --help)
[2]
$ doc join a b
! dstool: doc join: too many arguments: doc join [--compact] [--at KEYPATH] [FILE|-] (see dstool doc join --help)
[2]
