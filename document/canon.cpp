// Canonical texts of the string types that YANG tools rewrite: an IPv6
// address comes back as inet_ntop writes it (lowercased and compressed), a
// prefix with its host bits cleared, a date-and-time in the local time zone
// with its offset written out ("-00:00", an unknown offset, stays). IPv4
// addresses, MAC addresses, hex strings and UUIDs keep the text as given,
// as YANG tools do.
#include "core/address_text.h"
#include "document/doc.h"

#include <arpa/inet.h>

#include <cstring>
#include <ctime>

namespace doc
{

namespace
{

// An address of family as inet_ntop writes it, without its formatter.
void
print_address(int family, const unsigned char *bytes, char out[INET6_ADDRSTRLEN])
{
    if (family == AF_INET)
        core::format_ipv4(bytes, out);
    else
        core::format_ipv6(bytes, out);
}

bool
is_zone_char(char c)
{
    auto u = static_cast<unsigned char>(c);
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80;
}

// An address with an optional "%zone" (letters and digits) behind it.
bool
canonical_address(int family, std::string_view text, std::string &out)
{
    size_t percent = text.find('%');
    std::string_view zone;
    if (percent != std::string_view::npos) {
        zone = text.substr(percent + 1);
        if (zone.empty())
            return false;
        for (char c : zone)
            if (!is_zone_char(c))
                return false;
        text = text.substr(0, percent);
    }
    if (text.size() >= INET6_ADDRSTRLEN)
        return false;
    char in[INET6_ADDRSTRLEN];
    text.copy(in, text.size());
    in[text.size()] = '\0';
    unsigned char bytes[16];
    char printed[INET6_ADDRSTRLEN];
    if (inet_pton(family, in, bytes) != 1)
        return false;
    print_address(family, bytes, printed);
    out = printed;
    if (percent != std::string_view::npos)
        out += "%" + std::string(zone);
    return true;
}

// "address/length": the length in decimal without leading zeros, the host
// bits of the address cleared.
bool
canonical_prefix(int family, std::string_view text, std::string &out)
{
    size_t slash = text.find('/');
    unsigned max = family == AF_INET ? 32 : 128;
    if (slash == std::string_view::npos || slash + 1 == text.size() || text.size() - slash > 4)
        return false;
    std::string_view digits = text.substr(slash + 1);
    if (digits.size() > 1 && digits[0] == '0')
        return false;
    unsigned length = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        length = length * 10 + static_cast<unsigned>(c - '0');
    }
    std::string_view address = text.substr(0, slash);
    if (length > max || address.size() >= INET6_ADDRSTRLEN)
        return false;
    char in[INET6_ADDRSTRLEN];
    address.copy(in, address.size());
    in[address.size()] = '\0';
    unsigned char bytes[16] = {};
    if (inet_pton(family, in, bytes) != 1)
        return false;
    for (unsigned bit = length; bit < max; ++bit)
        bytes[bit / 8] &= static_cast<unsigned char>(~(0x80u >> (bit % 8)));
    char printed[INET6_ADDRSTRLEN];
    print_address(family, bytes, printed);
    out = std::string(printed) + "/" + std::to_string(length);
    return true;
}

// n decimal digits at text[at], as a number.
bool
digits_at(std::string_view text, size_t at, size_t n, int &value)
{
    if (at + n > text.size())
        return false;
    value = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// A year as "%04d" writes it: four characters at least, the sign of a
// negative year among them. Returns the end of what it wrote.
char *
put_year(char *out, int year)
{
    char digits[16];
    size_t at = sizeof digits;
    const size_t width = year < 0 ? 3 : 4;
    unsigned magnitude = year < 0 ? 0u - static_cast<unsigned>(year) : static_cast<unsigned>(year);
    do {
        digits[--at] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0 || sizeof digits - at < width);
    if (year < 0)
        *out++ = '-';
    std::memcpy(out, digits + at, sizeof digits - at);
    return out + (sizeof digits - at);
}

// A separator and a field of 0 to 99 in two digits, as "%c%02d" writes it
// (the fields of a struct tm that localtime_r fills stay in that range).
char *
put_field(char *out, char separator, int value)
{
    out[0] = separator;
    out[1] = static_cast<char>('0' + value / 10);
    out[2] = static_cast<char>('0' + value % 10);
    return out + 3;
}

// The seconds since the epoch of a UTC time, as timegm counts them for
// fields in their ranges (a day up to 31 in any month): the proleptic
// Gregorian calendar, days from the civil date as in Howard Hinnant's
// "chrono-compatible low-level date algorithms". month counts from 0.
int64_t
utc_seconds(int64_t year, int64_t month, int64_t mday, int64_t hour, int64_t minute, int64_t second)
{
    month += 1;
    const int64_t y = year - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t of_era = y - era * 400;
    const int64_t of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5;
    const int64_t days =
        era * 146097 + of_era * 365 + of_era / 4 - of_era / 100 + of_year - 719468 + (mday - 1);
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

// "YYYY-MM-DDTHH:MM:SS[.fraction](Z|+HH:MM|-HH:MM)" (digits where the
// pattern of ietf-yang-types has them, fields not checked further: the
// instant is normalised as YANG tools normalise it), written again at the
// same instant in the local time zone: "...+HH:MM", the fraction kept.
bool
canonical_date_and_time(std::string_view text, std::string &out)
{
    struct tm tm = {};
    int offset_h = 0, offset_m = 0;
    bool fields =
        digits_at(text, 0, 4, tm.tm_year) && text.size() > 19 && text[4] == '-' &&
        digits_at(text, 5, 2, tm.tm_mon) && text[7] == '-' && digits_at(text, 8, 2, tm.tm_mday) &&
        text[10] == 'T' && digits_at(text, 11, 2, tm.tm_hour) && text[13] == ':' &&
        digits_at(text, 14, 2, tm.tm_min) && text[16] == ':' && digits_at(text, 17, 2, tm.tm_sec);
    if (!fields)
        return false;
    size_t at = 19;
    std::string_view fraction;
    if (text[at] == '.') {
        size_t end = at + 1;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9')
            ++end;
        if (end == at + 1)
            return false;
        fraction = text.substr(at, end - at);
        at = end;
    }
    std::string_view zone = text.substr(at);
    if (zone == "-00:00") { // an unknown offset: the text stays as it is
        out = text;
        return true;
    }
    int sign = 0;
    if (zone == "Z") {
        sign = 1;
    } else if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':' &&
               digits_at(zone, 1, 2, offset_h) && digits_at(zone, 4, 2, offset_m)) {
        sign = zone[0] == '+' ? 1 : -1;
    } else {
        return false;
    }
    const bool in_ranges = tm.tm_mon >= 1 && tm.tm_mon <= 12 && tm.tm_mday >= 1 &&
                           tm.tm_mday <= 31 && tm.tm_hour <= 23 && tm.tm_min <= 59 &&
                           tm.tm_sec <= 59;
    time_t utc = 0;
    if (in_ranges) {
        utc = static_cast<time_t>(
            utc_seconds(tm.tm_year, tm.tm_mon - 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec));
    } else { // glibc's own way with fields beyond their ranges
        tm.tm_year -= 1900;
        tm.tm_mon -= 1;
        utc = timegm(&tm);
    }
    time_t instant = utc - sign * (offset_h * 3600 + offset_m * 60);
    struct tm local = {};
    if (localtime_r(&instant, &local) == nullptr)
        return false;
    int gmtoff = static_cast<int>(local.tm_gmtoff % 86400);
    int minutes = (gmtoff < 0 ? -gmtoff : gmtoff) / 60;
    char head[32];
    char *end = put_year(head, local.tm_year + 1900);
    end = put_field(end, '-', local.tm_mon + 1);
    end = put_field(end, '-', local.tm_mday);
    end = put_field(end, 'T', local.tm_hour);
    end = put_field(end, ':', local.tm_min);
    end = put_field(end, ':', local.tm_sec);
    out.assign(head, end);
    out += fraction;
    char tail[6];
    put_field(put_field(tail, gmtoff < 0 ? '-' : '+', minutes / 60), ':', minutes % 60);
    out.append(tail, sizeof tail);
    return true;
}

} // namespace

bool
canonical_text(uint8_t canon, std::string_view text, std::string &out)
{
    switch (canon) {
    case DS_DOC_CANON_IPV6_ADDRESS:
        return canonical_address(AF_INET6, text, out);
    case DS_DOC_CANON_IPV4_PREFIX:
        return canonical_prefix(AF_INET, text, out);
    case DS_DOC_CANON_IPV6_PREFIX:
        return canonical_prefix(AF_INET6, text, out);
    case DS_DOC_CANON_DATE_AND_TIME:
        return canonical_date_and_time(text, out);
    default:
        out = text;
        return true;
    }
}

} // namespace doc
