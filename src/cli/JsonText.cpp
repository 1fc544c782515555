#include "cli/JsonText.hpp"

#include "database/Utf8.hpp"

namespace {

nlohmann::json printable(const nlohmann::json& value) {
    if (value.is_string()) {
        return codec::printable(value.get_ref<const std::string&>());
    }
    if (value.is_array()) {
        auto out = nlohmann::json::array();
        for (const auto& item : value) {
            out.push_back(printable(item));
        }
        return out;
    }
    if (value.is_object()) {
        auto out = nlohmann::json::object();
        for (const auto& [key, item] : value.items()) {
            out[codec::printable(key)] = printable(item);
        }
        return out;
    }
    return value;
}

} // namespace

std::string jsonText(const nlohmann::json& value, int indent) {
    return printable(value).dump(indent);
}
