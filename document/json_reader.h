// A strict pull reader of JSON text (RFC 8259) for the document walk: it
// hands out one token at a time and keeps nothing but its place, so that a
// walk over a document of any size holds only what its own nesting needs.
// Strings are checked as they are read (UTF-8, escapes, no raw control
// characters) and handed out unescaped; numbers keep the text they were
// written with.
#ifndef DSTYPES_DOCUMENT_JSON_READER_H
#define DSTYPES_DOCUMENT_JSON_READER_H

#include <cstddef>
#include <string>
#include <string_view>

namespace doc
{

class JsonReader
{
  public:
    enum class Token : char {
        object = '{',
        object_end = '}',
        array = '[',
        array_end = ']',
        comma = ',',
        colon = ':',
        string = '"',
        number = '0',
        literal = 't', // true, false or null
        end = '\0',    // the end of the text
        invalid = '?',
    };

    JsonReader(const char *text, size_t length) : text_(text), end_(text + length), at_(text) {}

    // The kind of the next token, after blanks; nothing is consumed.
    Token peek();
    // Consumes the next token when it is the character c; false otherwise.
    bool take(char c);
    // A string token, unescaped into out; false (error() says why) on a
    // malformed one.
    bool read_string(std::string &out);
    // A number token's text; false on a malformed one.
    bool read_number(std::string &out);
    // true, false or null; false on anything else.
    bool read_literal(std::string_view &out);
    // Passes over one whole value of any kind, checking it as strictly as
    // the readers above. Memory: one bit per level of nesting.
    bool skip_value();
    // The place of the next byte, and a jump back to an earlier place.
    size_t
    offset() const
    {
        return static_cast<size_t>(at_ - text_);
    }
    void
    seek(size_t offset)
    {
        at_ = text_ + offset;
    }
    // Why the last read failed.
    const std::string &
    error() const
    {
        return error_;
    }
    // Whether only blanks remain.
    bool at_end();

  private:
    void skip_blanks();
    bool fail(const char *why);
    bool read_escape(std::string &out);
    bool read_utf8(std::string &out);

    const char *text_;
    const char *end_;
    const char *at_;
    std::string error_;
};

} // namespace doc

#endif
