// Implementation of the shared test fixtures. rk_syslog is defined here, in
// the test executable, and takes the place of the logging library's.
#include "dstest.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace dstest
{

std::vector<LogLine> &
logs()
{
    static std::vector<LogLine> lines;
    return lines;
}

void
clear_logs()
{
    logs().clear();
}

void
expect_one_log(uint32_t message_id, const std::string &text)
{
    ASSERT_EQ(logs().size(), 1u) << "expected exactly one log line: " << text;
    const LogLine &line = logs().front();
    EXPECT_EQ(line.level, 3);
    EXPECT_EQ(line.arg2, 2);
    EXPECT_EQ(line.arg3, 0);
    EXPECT_EQ(line.message_id, message_id);
    EXPECT_EQ(line.text, text);
    clear_logs();
}

void
expect_no_log()
{
    EXPECT_TRUE(logs().empty()) << "unexpected log line: " << logs().front().text;
}

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    char name[] = "/tmp/dstest-stderr-XXXXXX";
    file_fd_ = mkstemp(name);
    if (file_fd_ < 0)
        return;
    unlink(name);
    saved_fd_ = dup(2);
    dup2(file_fd_, 2);
}

std::string
StderrCapture::text()
{
    if (done_ || file_fd_ < 0)
        return text_;
    std::fflush(stderr);
    dup2(saved_fd_, 2);
    close(saved_fd_);
    lseek(file_fd_, 0, SEEK_SET);
    char chunk[4096];
    ssize_t n;
    while ((n = read(file_fd_, chunk, sizeof chunk)) > 0)
        text_.append(chunk, static_cast<size_t>(n));
    close(file_fd_);
    done_ = true;
    return text_;
}

StderrCapture::~StderrCapture()
{
    text();
}

const DsType *
builtin(const char *name)
{
    for (uint16_t i = 0; i < ds_global_type_count; ++i) {
        if (std::strcmp(ds_global_types[i].name, name) == 0)
            return &ds_global_types[i];
    }
    return nullptr;
}

DsType
type_of(DsKind kind, uint16_t size, uint64_t w0, uint64_t w1, uint64_t w2, const char *name)
{
    return DsType{.name = name, .kind = kind, .size = size, .p = {.words = {w0, w1, w2}}};
}

uint64_t
word(const void *pointer)
{
    return reinterpret_cast<uint64_t>(pointer);
}

std::string
hex(const void *bytes, size_t len)
{
    static const char digits[] = "0123456789abcdef";
    const auto *p = static_cast<const unsigned char *>(bytes);
    std::string out;
    for (size_t i = 0; i < len; ++i) {
        if (i != 0)
            out += ' ';
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

std::string
json_text(json_object *jo)
{
    if (jo == nullptr)
        return "(null)";
    return json_object_to_json_string(jo);
}

} // namespace dstest

extern "C" void
rk_syslog(int level, int arg2, int arg3, uint32_t message_id, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    dstest::logs().push_back({level, arg2, arg3, message_id, format, text});
}
