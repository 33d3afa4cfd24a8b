// Checking a packed value without building anything: the packed walk of
// core/packed_walk.h under the validator's rules, with a sink that keeps
// nothing but the string patterns' verdicts. Nothing here logs.
#include "codec/codec.h"
#include "core/packed_walk.h"

namespace
{

struct ValidSink : core::QuietSink {
    static constexpr bool kConverts = false;
    bool
    pattern(const DsType *type, const char *text)
    {
        return pattern_matches(type, text);
    }
};

} // namespace

// True when the value is valid for the type and fills exactly len bytes.
extern "C" DS_EXPORT bool
ds_c_value_is_valid(const DsType *type, const void *buf, uint32_t len)
{
    if (type == nullptr || (buf == nullptr && len > 0))
        return false;
    ValidSink sink;
    core::PackedWalk<ValidSink> walk(sink);
    DsCursor cursor{const_cast<uint8_t *>(static_cast<const uint8_t *>(buf)), len};
    return walk.value(type, &cursor, 0) && cursor.remaining == 0;
}
