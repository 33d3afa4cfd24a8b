// The annotation file: what YANG leaves open, kept beside the models so that
// the IETF files stay untouched. JSON of this shape:
//   {"paths": {"/module:node/child": {"string-size": N, "max-elements": N,
//                                     "pattern": "ERE"}},
//    "alarms": [{"key": "/module:list/*/leaf", "name": "...",
//                "description": "...", "severity": "major",
//                "category": "communications"}]}
// The file is read strictly (json-c's strict mode refuses text after the
// value), with no
// unknown member, no number out of range, no text with a NUL in it.
#include "core/json_ref.h"
#include "dsgen.h"

#include <json-c/json.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace dsgen
{

namespace
{

class Reader
{
  public:
    explicit Reader(const std::string &file) : file_(file) {}

    bool
    fail(const std::string &where, const std::string &what)
    {
        report_error({file_, 0, where}, what, "fix the annotation file");
        return false;
    }

    bool
    text(json_object *jo, const std::string &where, std::string &out)
    {
        if (!json_object_is_type(jo, json_type_string))
            return fail(where, "expected a JSON string");
        out.assign(json_object_get_string(jo), json_object_get_string_len(jo));
        if (out.find('\0') != std::string::npos)
            return fail(where, "the text holds a NUL character");
        return true;
    }

    bool
    count(json_object *jo, const std::string &where, uint32_t &out)
    {
        if (!json_object_is_type(jo, json_type_int))
            return fail(where, "expected a whole number");
        int64_t value = json_object_get_int64(jo);
        if (value < 1 || value > 65535)
            return fail(where, "expected a number from 1 to 65535");
        out = static_cast<uint32_t>(value);
        return true;
    }

    bool
    path(const std::string &path, json_object *jo, PathAnnotation &out)
    {
        if (!json_object_is_type(jo, json_type_object))
            return fail(path, "expected an object");
        json_object_object_foreach(jo, key, value)
        {
            std::string member = key;
            std::string where = path + " " + member;
            uint32_t n = 0;
            std::string ere, error;
            if (member == "string-size") {
                if (!count(value, where, n))
                    return false;
                if (n < 2)
                    return fail(where, "a string needs at least 2 bytes");
                out.string_size = n;
            } else if (member == "max-elements") {
                if (!count(value, where, n))
                    return false;
                out.max_elements = n;
            } else if (member == "pattern") {
                if (!text(value, where, ere))
                    return false;
                if (!ere_compiles(ere, error))
                    return fail(where, error);
                out.pattern = ere;
            } else {
                return fail(where, "unknown member (string-size, max-elements, pattern)");
            }
        }
        return true;
    }

    bool
    alarm(size_t index, json_object *jo, AlarmRow &out)
    {
        std::string where = "alarms[" + std::to_string(index) + "]";
        if (!json_object_is_type(jo, json_type_object))
            return fail(where, "expected an object");
        std::map<std::string, std::string *> fields = {{"key", &out.key},
                                                       {"name", &out.name},
                                                       {"description", &out.description},
                                                       {"severity", &out.severity},
                                                       {"category", &out.category}};
        json_object_object_foreach(jo, key, value)
        {
            auto field = fields.find(key);
            if (field == fields.end())
                return fail(where + " " + key,
                            "unknown member (key, name, description, severity, category)");
            if (!text(value, where + " " + key, *field->second))
                return false;
        }
        for (const auto &[name, field] : fields)
            if (field->empty())
                return fail(where, "the member \"" + name + "\" is missing or empty");
        if (!valid_name(out.severity, ds_global_types[DS_BUILTIN_ALARM_SEVERITY]))
            return fail(where + " severity", "expected critical, major or minor");
        if (!valid_name(out.category, ds_global_types[DS_BUILTIN_ALARM_CATEGORY]))
            return fail(where + " category",
                        "expected communications, service_quality, processing_error, "
                        "equipment, environment or content");
        return true;
    }

  private:
    static bool
    valid_name(const std::string &name, const DsType &type)
    {
        for (uint32_t i = 0; i < type.p.enumeration.count; ++i)
            if (name == type.p.enumeration.values[i].name)
                return true;
        return false;
    }

    std::string file_;
};

} // namespace

bool
load_annotations(const std::string &file, Annotations &out)
{
    Reader reader(file);
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return reader.fail("", "cannot read the file");
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();
    std::unique_ptr<json_tokener, void (*)(json_tokener *)> tok(json_tokener_new(),
                                                                json_tokener_free);
    if (!tok)
        return reader.fail("", "out of memory");
    json_tokener_set_flags(tok.get(), JSON_TOKENER_STRICT);
    JsonRef root(json_tokener_parse_ex(tok.get(), text.c_str(), static_cast<int>(text.size())));
    if (!root || json_tokener_get_error(tok.get()) != json_tokener_success)
        return reader.fail("", std::string("not JSON: ") +
                                   json_tokener_error_desc(json_tokener_get_error(tok.get())));
    if (!json_object_is_type(root.get(), json_type_object))
        return reader.fail("", "expected an object with \"paths\" and \"alarms\"");
    json_object_object_foreach(root.get(), key, value)
    {
        std::string member = key;
        if (member == "paths") {
            if (!json_object_is_type(value, json_type_object))
                return reader.fail("paths", "expected an object");
            json_object_object_foreach(value, path, annotation)
            {
                if (!reader.path(path, annotation, out.paths[path]))
                    return false;
            }
        } else if (member == "alarms") {
            if (!json_object_is_type(value, json_type_array))
                return reader.fail("alarms", "expected an array");
            for (size_t i = 0; i < json_object_array_length(value); ++i) {
                AlarmRow row;
                if (!reader.alarm(i, json_object_array_get_idx(value, i), row))
                    return false;
                out.alarms.push_back(row);
            }
        } else {
            return reader.fail(member, "unknown member (paths, alarms)");
        }
    }
    return true;
}

} // namespace dsgen
