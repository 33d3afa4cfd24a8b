// Test fixtures shared by the suite: capture of the library's log lines (the
// test executable defines rk_syslog itself), capture of standard error, and
// small helpers to show bytes and JSON as text.
#ifndef DSTYPES_TESTS_DSTEST_H
#define DSTYPES_TESTS_DSTEST_H

#include "dstypes.h"

#include <json-c/json.h>

#include <cstdint>
#include <string>
#include <vector>

namespace dstest
{

// One call of rk_syslog as the library made it.
struct LogLine {
    int level;
    int arg2;
    int arg3;
    uint32_t message_id;
    std::string format; // the format text as handed over
    std::string text;   // the format applied to its arguments
};

// Every rk_syslog call since the last clear, oldest first.
std::vector<LogLine> &logs();
void clear_logs();

// Asserts that exactly one line was logged, with the library's leading
// arguments (3, 2, 0), the given message id and text; then clears the capture.
void expect_one_log(uint32_t message_id, const std::string &text);
// Asserts that nothing was logged.
void expect_no_log();

// Captures what is written to file descriptor 2 while it lives.
class StderrCapture
{
  public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;
    // Stops capturing (once) and returns everything written.
    std::string text();

  private:
    int saved_fd_ = -1;
    int file_fd_ = -1;
    std::string text_;
    bool done_ = false;
};

// The built-in type of that name, or null.
const DsType *builtin(const char *name);
// A descriptor for tests that need one the built-in table lacks, its three
// parameter words given as numbers (pointers through word()).
DsType type_of(DsKind kind, uint16_t size, uint64_t w0, uint64_t w1 = 0, uint64_t w2 = 0,
               const char *name = nullptr);
uint64_t word(const void *pointer);

// Bytes as lowercase hex pairs separated by blanks: "0a 00 00 01".
std::string hex(const void *bytes, size_t len);
// JSON text of an object as json-c prints it by default; "(null)" for null.
std::string json_text(json_object *jo);

} // namespace dstest

#endif
