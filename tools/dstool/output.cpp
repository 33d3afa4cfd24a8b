// Output helpers: json-c construction that reports allocation failure as
// std::bad_alloc (so main turns it into one error line instead of a crash),
// padded text tables and their JSON form, and writes to standard output that
// notice a full disk or a closed pipe.
#include "dstool.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>

namespace dstool
{

JsonPtr
json_object_or_throw()
{
    json_object *jo = json_object_new_object();
    if (jo == nullptr)
        throw std::bad_alloc();
    return JsonPtr(jo);
}

JsonPtr
json_array_or_throw()
{
    json_object *jo = json_object_new_array();
    if (jo == nullptr)
        throw std::bad_alloc();
    return JsonPtr(jo);
}

// Takes over value (which may be null, JSON null) whatever happens.
void
json_set(json_object *object, const char *key, json_object *value)
{
    if (json_object_object_add(object, key, value) != 0) {
        json_object_put(value);
        throw std::bad_alloc();
    }
}

void
json_set(json_object *object, const char *key, const std::string &value)
{
    json_object *jo = json_object_new_string_len(value.data(), static_cast<int>(value.size()));
    if (jo == nullptr)
        throw std::bad_alloc();
    json_set(object, key, jo);
}

void
json_set(json_object *object, const char *key, int64_t value)
{
    json_object *jo = json_object_new_int64(value);
    if (jo == nullptr)
        throw std::bad_alloc();
    json_set(object, key, jo);
}

void
json_set(json_object *object, const char *key, bool value)
{
    json_object *jo = json_object_new_boolean(value);
    if (jo == nullptr)
        throw std::bad_alloc();
    json_set(object, key, jo);
}

json_object *
json_text_or_null(const char *text)
{
    if (text == nullptr)
        return nullptr;
    json_object *jo = json_object_new_string(text);
    if (jo == nullptr)
        throw std::bad_alloc();
    return jo;
}

void
json_append(json_object *array, json_object *value)
{
    if (json_object_array_add(array, value) != 0) {
        json_object_put(value);
        throw std::bad_alloc();
    }
}

std::string
json_pretty(json_object *jo)
{
    const char *text = json_object_to_json_string_ext(
        jo, JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_SPACED | JSON_C_TO_STRING_NOSLASHESCAPE);
    if (text == nullptr)
        throw std::bad_alloc();
    return text;
}

std::string
json_text(json_object *jo)
{
    const char *text = json_object_to_json_string(jo);
    if (text == nullptr)
        throw std::bad_alloc();
    return text;
}

std::string
Table::text() const
{
    std::vector<size_t> widths(headers.size(), 0);
    auto measure = [&widths](const std::vector<std::string> &cells) {
        for (size_t i = 0; i < cells.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], cells[i].size());
    };
    measure(headers);
    for (const auto &row : rows)
        measure(row);
    std::string out;
    auto line = [&out, &widths](const std::vector<std::string> &cells) {
        for (size_t i = 0; i < cells.size(); ++i) {
            out += cells[i];
            if (i + 1 < cells.size())
                out += std::string(widths[i] - cells[i].size() + 2, ' ');
        }
        out += '\n';
    };
    line(headers);
    for (const auto &row : rows)
        line(row);
    return out;
}

std::string
Table::json() const
{
    JsonPtr array = json_array_or_throw();
    for (const auto &row : rows) {
        JsonPtr object = json_object_or_throw();
        for (size_t i = 0; i < row.size() && i < keys.size(); ++i) {
            if (keys[i].empty())
                continue;
            if (i < numeric.size() && numeric[i])
                json_set(object.get(), keys[i].c_str(), static_cast<int64_t>(std::stoll(row[i])));
            else
                json_set(object.get(), keys[i].c_str(), row[i]);
        }
        size_t index = static_cast<size_t>(&row - rows.data());
        if (index < extra.size() && extra[index] != nullptr) {
            json_object_object_foreach(extra[index].get(), key, value)
                json_set(object.get(), key, json_object_get(value));
        }
        json_append(array.get(), object.release());
    }
    return json_pretty(array.get()) + "\n";
}

void
print_json(json_object *jo)
{
    print(json_pretty(jo) + "\n");
}

void
print(const std::string &text)
{
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        fail(kStatusFailed, "standard output", errno_text(errno));
}

} // namespace dstool
