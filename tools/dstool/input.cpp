// Readers of the tool's inputs other than JSON values: packed values written
// as hex, field texts, numbers, and the cutting of paths into components.
// The library takes NUL-terminated texts, so an input that holds a NUL byte
// is refused here rather than silently cut short.
#include "dstool.h"

#include <cerrno>
#include <charconv>
#include <cstdio>

namespace dstool
{

namespace
{

// The value of one hex digit, or -1.
int
hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool
is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

std::string
read_text_arg(const std::string &arg, const std::string &context)
{
    std::string text = arg == "-" ? read_all_stdin() : arg;
    size_t nul = text.find('\0');
    if (nul != std::string::npos)
        fail(kStatusFailed, input_name(context, text), "NUL byte at offset " + std::to_string(nul));
    return text;
}

std::string
read_file_arg(const std::string &arg)
{
    if (arg.empty() || arg == "-")
        return read_all_stdin();
    std::FILE *file = std::fopen(arg.c_str(), "rb");
    if (file == nullptr)
        fail(kStatusFailed, printable(arg), errno_text(errno));
    std::string text;
    char chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        fail(kStatusFailed, printable(arg), "read error");
    return text;
}

std::string
input_name(const std::string &text)
{
    return text.empty() ? "(empty text)" : printable(text, 60);
}

std::string
input_name(const std::string &context, const std::string &text)
{
    return context.empty() ? input_name(text) : context + " " + input_name(text);
}

std::vector<uint8_t>
parse_hex(const std::string &text, const std::string &context)
{
    std::vector<uint8_t> bytes;
    size_t i = 0;
    while (i < text.size()) {
        if (is_blank(text[i])) {
            ++i;
            continue;
        }
        int high = hex_digit(text[i]);
        if (high < 0)
            fail(kStatusFailed, input_name(context, text),
                 "not a hex digit at offset " + std::to_string(i));
        if (i + 1 == text.size() || is_blank(text[i + 1]))
            fail(kStatusFailed, input_name(context, text),
                 "odd number of hex digits in a byte at offset " + std::to_string(i));
        int low = hex_digit(text[i + 1]);
        if (low < 0)
            fail(kStatusFailed, input_name(context, text),
                 "not a hex digit at offset " + std::to_string(i + 1));
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
        i += 2;
    }
    if (bytes.empty())
        fail(kStatusFailed, input_name(context, text), "no bytes");
    return bytes;
}

std::string
hex(const void *bytes, size_t len)
{
    static const char digits[] = "0123456789abcdef";
    const auto *p = static_cast<const uint8_t *>(bytes);
    std::string out;
    out.reserve(len * 3);
    for (size_t i = 0; i < len; ++i) {
        if (i != 0)
            out += ' ';
        out += digits[p[i] >> 4];
        out += digits[p[i] & 0x0f];
    }
    return out;
}

uint32_t
parse_u32(const std::string &text, const char *what)
{
    if (text.empty() || text.size() > 10)
        fail(kStatusUsage, printable(text), std::string("not a valid ") + what);
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            fail(kStatusUsage, printable(text), std::string("not a valid ") + what);
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > UINT32_MAX)
        fail(kStatusUsage, printable(text), std::string(what) + " out of range");
    return static_cast<uint32_t>(value);
}

std::vector<std::string>
split_components(std::string_view text)
{
    std::vector<std::string> components;
    ds::detail::for_each_component(
        text, [&components](std::string_view part) { components.emplace_back(part); });
    return components;
}

} // namespace dstool
