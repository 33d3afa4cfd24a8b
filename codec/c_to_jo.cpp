// From packed form to JSON: the packed walk of core/packed_walk.h under the
// converter's rules, with a sink that builds the json-c objects. The walk
// checks every int range, enum table and string pattern; the sink adds each
// value to the object or array it belongs to, and every partial result is
// released when the walk fails. Nothing here logs.
#include "codec/codec.h"
#include "core/packed_walk.h"

namespace
{

class JsonSink : public core::QuietSink
{
  public:
    static constexpr bool kConverts = true;

    // An object or array being built; it joins its parent when it ends.
    struct Frame {
        explicit Frame(JsonSink &) {}
        JsonRef jo;
        const char *key = nullptr; // the member name of the next value of an object
        bool is_array = false;
        Frame *parent = nullptr;
    };

    JsonRef
    take()
    {
        return std::move(result_);
    }

    bool
    begin_object(Frame &frame)
    {
        return open(frame, json_object_new_object(), false);
    }
    bool
    begin_array(Frame &frame)
    {
        return open(frame, json_object_new_array(), true);
    }
    bool
    end_object(Frame &frame)
    {
        return close(frame);
    }
    bool
    end_array(Frame &frame)
    {
        return close(frame);
    }
    bool
    key(Frame &frame, const char *name)
    {
        frame.key = name;
        return true;
    }

    bool
    int_value(int64_t value)
    {
        return put(JsonRef(json_object_new_int64(value)));
    }
    bool
    double_value(double value)
    {
        return put(JsonRef(json_object_new_double(value)));
    }
    bool
    bool_value(bool value)
    {
        return put(JsonRef(json_object_new_boolean(value)));
    }
    bool
    text_value(const char *text)
    {
        return put(JsonRef(json_object_new_string(text)));
    }
    bool
    pattern(const DsType *type, const char *text)
    {
        return pattern_matches(type, text);
    }

  private:
    bool
    open(Frame &frame, json_object *jo, bool is_array)
    {
        if (jo == nullptr)
            return false;
        frame.jo.reset(jo);
        frame.is_array = is_array;
        frame.parent = top_;
        top_ = &frame;
        return true;
    }
    bool
    close(Frame &frame)
    {
        top_ = frame.parent;
        return put(std::move(frame.jo));
    }

    // Hands a finished value to the open container, or makes it the result.
    // json-c keeps the reference only on success; on failure value still owns
    // it and drops it. A member without a name is dropped here: the walk
    // refuses it.
    bool
    put(JsonRef value)
    {
        if (value == nullptr)
            return false;
        if (top_ == nullptr) {
            result_ = std::move(value);
            return true;
        }
        if (top_->is_array) {
            if (json_object_array_add(top_->jo.get(), value.get()) != 0)
                return false;
        } else if (top_->key != nullptr) {
            if (json_object_object_add(top_->jo.get(), top_->key, value.get()) != 0)
                return false;
        } else {
            return true;
        }
        value.release();
        return true;
    }

    Frame *top_ = nullptr;
    JsonRef result_;
};

} // namespace

// Returns a new object holding one reference for the caller, or null. The
// walk only reads through its cursor, so the caller's const bytes are safe
// behind its non-const pointer.
extern "C" DS_EXPORT json_object *
ds_c_to_jo(const DsType *type, const void *buf, size_t len)
{
    if (type == nullptr)
        return nullptr;
    JsonSink sink;
    if (!core::walk_packed(sink, type, static_cast<const uint8_t *>(buf), len))
        return nullptr;
    return sink.take().release();
}
