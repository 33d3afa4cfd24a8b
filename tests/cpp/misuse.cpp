// Misuse that C allows and the C++ interface must not: each CASE_ compiles as
// written (the control) and must fail with MISUSE defined.
#include "dstypes.hpp"

#include <string>

#ifdef MISUSE
#define PICK(misuse, control) misuse
#else
#define PICK(misuse, control) control
#endif

int
main()
{
    [[maybe_unused]] char buf[64];
    [[maybe_unused]] ds::Key key;
    [[maybe_unused]] uint32_t value = 0;
    [[maybe_unused]] ds::Json jo;
#if defined(CASE_raw_pointer)
    auto r = ds::build_key(buf, key, PICK(&value, value));
#elif defined(CASE_not_trivially_copyable)
    std::string text;
    auto r = ds::build_key(buf, key, PICK(text, value));
#elif defined(CASE_raw_json)
    [[maybe_unused]] json_object *raw = nullptr;
    auto r = ds::build_jo_key(buf, key, PICK(raw, jo));
#elif defined(CASE_raw_json_second)
    [[maybe_unused]] json_object *raw = nullptr;
    auto r = ds::build_jo_key(buf, key, jo, PICK(raw, jo));
#elif defined(CASE_const_json)
    [[maybe_unused]] const ds::Json &kept = jo;
    auto r = ds::build_jo_key(buf, key, PICK(kept, jo));
#elif defined(CASE_owner_copied)
    auto r = ds::canonical(PICK(jo, std::move(jo)), ds::Type());
#elif defined(CASE_string_view_path)
    std::string_view path = "/a";
    auto r = ds::find_key(PICK(path, std::string(path)));
#elif defined(CASE_result_ignored)
    PICK(, (void)) ds::find_type("u8");
    bool r = true;
#endif
    return r ? 0 : 1;
}
