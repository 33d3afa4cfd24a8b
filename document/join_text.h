// The text that a join prints: written in many short pieces straight into
// room kept ahead in a heap block, which is handed over as the caller's
// text (join_print.cpp writes it, join.cpp hands it over).
#ifndef DSTYPES_DOCUMENT_JOIN_TEXT_H
#define DSTYPES_DOCUMENT_JOIN_TEXT_H

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace doc
{

class PrintedText
{
  public:
    PrintedText() = default;
    ~PrintedText() { std::free(text_); }
    PrintedText(const PrintedText &) = delete;
    PrintedText &operator=(const PrintedText &) = delete;

    PrintedText &
    operator+=(char c)
    {
        room(1);
        text_[length_++] = c;
        return *this;
    }
    PrintedText &
    operator+=(std::string_view piece)
    {
        room(piece.size());
        std::memcpy(text_ + length_, piece.data(), piece.size());
        length_ += piece.size();
        return *this;
    }
    // A literal: its length is known, and so is its copy.
    template <size_t N>
    PrintedText &
    operator+=(const char (&literal)[N])
    {
        room(N - 1);
        std::memcpy(text_ + length_, literal, N - 1);
        length_ += N - 1;
        return *this;
    }
    // A line feed and the blanks of an indentation, written eight at a time.
    void
    new_line(size_t blanks)
    {
        room(1 + blanks + 8);
        char *at = text_ + length_;
        *at++ = '\n';
        for (size_t i = 0; i < blanks; i += 8)
            std::memcpy(at + i, "        ", 8);
        length_ += 1 + blanks;
    }
    // The NUL-terminated text, which the caller releases with free.
    char *release();

  private:
    void
    room(size_t n)
    {
        if (n >= capacity_ - length_)
            grow(n);
    }
    // Makes room for n more bytes and a NUL, or throws std::bad_alloc.
    void grow(size_t n);

    char *text_ = nullptr;
    size_t length_ = 0;
    size_t capacity_ = 0;
};

} // namespace doc

#endif
