#include "sim/DeviceProfile.hpp"

#include "install/SystemPaths.hpp"

#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace sim {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw std::invalid_argument("device profile: " + where + ": " + what);
}

// A number, or a text "0x..." / decimal, within [0, max].
std::uint64_t number(const json& value, const std::string& where, std::uint64_t max) {
    std::uint64_t result = 0;
    if (value.is_number_unsigned()) {
        result = value.get<std::uint64_t>();
    } else if (value.is_number_integer()) {
        fail(where, "must not be negative");
    } else if (value.is_string()) {
        const auto text = value.get<std::string>();
        const bool isHex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const std::string digits = isHex ? text.substr(2) : text;
        if (digits.empty() || digits.size() > 16) {
            fail(where, "\"" + text + "\" is not a number");
        }
        for (const char c : digits) {
            const bool ok = isHex ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                                  : std::isdigit(static_cast<unsigned char>(c)) != 0;
            if (!ok) {
                fail(where, "\"" + text + "\" is not a number");
            }
        }
        try {
            result = std::stoull(digits, nullptr, isHex ? 16 : 10);
        } catch (const std::exception&) {
            fail(where, "\"" + text + "\" is out of range");
        }
    } else {
        fail(where, "must be a number or a \"0x...\" text");
    }
    if (result > max) {
        fail(where, std::to_string(result) + " is above " + std::to_string(max));
    }
    return result;
}

std::vector<std::uint8_t> hexBytes(const std::string& text, const std::string& where) {
    std::vector<std::uint8_t> out;
    int high = -1;
    for (const char c : text) {
        if (c == ' ') {
            continue;
        }
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
            fail(where, "hex text holds '" + std::string(1, c) + "'");
        }
        const int v = std::isdigit(static_cast<unsigned char>(c)) != 0
                          ? c - '0'
                          : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0) {
        fail(where, "hex text has an odd number of digits");
    }
    return out;
}

void onlyKeys(const json& object, std::initializer_list<const char*> allowed,
              const std::string& where) {
    if (!object.is_object()) {
        fail(where, "must be an object");
    }
    for (const auto& item : object.items()) {
        bool known = false;
        for (const char* key : allowed) {
            known = known || item.key() == key;
        }
        if (!known) {
            fail(where, "unknown key \"" + item.key() + "\"");
        }
    }
}

Operation operationFrom(const json& value, const std::string& where) {
    const std::string text = value.is_string() ? value.get<std::string>() : "";
    if (text == "read") {
        return Operation::Read;
    }
    if (text == "write") {
        return Operation::Write;
    }
    if (text == "inquiry") {
        return Operation::Inquiry;
    }
    if (text == "test-unit-ready") {
        return Operation::TestUnitReady;
    }
    fail(where, "operation must be read, write, inquiry or test-unit-ready");
}

FaultKind kindFrom(const json& value, const std::string& where) {
    static const std::pair<const char*, FaultKind> kKinds[] = {
        {"corrupt-read", FaultKind::CorruptRead},
        {"stall-data", FaultKind::StallData},
        {"stall-status", FaultKind::StallStatus},
        {"fail-status", FaultKind::FailStatus},
        {"phase-error", FaultKind::PhaseError},
        {"bad-status", FaultKind::BadStatus},
        {"no-answer", FaultKind::NoAnswer},
        {"unplug", FaultKind::Unplug},
        {"refuse-configuration", FaultKind::RefuseConfiguration},
        {"refuse-interface", FaultKind::RefuseInterface},
    };
    const std::string text = value.is_string() ? value.get<std::string>() : "";
    for (const auto& [name, kind] : kKinds) {
        if (text == name) {
            return kind;
        }
    }
    fail(where, "unknown fault kind \"" + text + "\"");
}

Fault faultFrom(const json& entry, const std::string& where) {
    onlyKeys(entry, {"kind", "operation", "selector", "address", "times", "phase", "after"}, where);
    if (!entry.contains("kind")) {
        fail(where, "needs a kind");
    }
    Fault fault;
    fault.kind = kindFrom(entry["kind"], where);
    if (entry.contains("operation")) {
        fault.operation = operationFrom(entry["operation"], where);
    }
    if (entry.contains("selector")) {
        fault.selector = static_cast<std::uint8_t>(number(entry["selector"], where, 1));
    }
    if (entry.contains("address")) {
        fault.address = static_cast<std::uint32_t>(number(entry["address"], where, 0xFFFFFFFF));
    }
    if (entry.contains("times")) {
        fault.times = static_cast<std::uint32_t>(number(entry["times"], where, 0xFFFFFFFF));
    }
    if (entry.contains("after")) {
        fault.after = static_cast<std::uint32_t>(number(entry["after"], where, 0xFFFFFFFF));
    }
    if (entry.contains("phase")) {
        const std::string phase =
            entry["phase"].is_string() ? entry["phase"].get<std::string>() : "";
        if (phase == "data") {
            fault.phase = Phase::Data;
        } else if (phase == "status") {
            fault.phase = Phase::Status;
        } else {
            fail(where, "phase must be data or status");
        }
    }
    return fault;
}

} // namespace

DeviceProfile DeviceProfile::fromJson(std::string_view text) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::exception& e) {
        fail("JSON", e.what());
    }
    onlyKeys(root, {"description", "product", "release", "memory", "faults"}, "top level");
    DeviceProfile profile;
    if (!root.contains("product") || !root["product"].is_string()) {
        fail("product", "a 24-character text is required");
    }
    profile.product = root["product"].get<std::string>();
    if (profile.product.size() != 24) {
        fail("product", "\"" + profile.product + "\" has " +
                            std::to_string(profile.product.size()) + " bytes, not 24");
    }
    if (root.contains("release")) {
        profile.release = static_cast<std::uint16_t>(number(root["release"], "release", 0xFFFF));
    }
    if (root.contains("memory")) {
        if (!root["memory"].is_array()) {
            fail("memory", "must be a list");
        }
        std::size_t index = 0;
        for (const auto& entry : root["memory"]) {
            const std::string where = "memory[" + std::to_string(index++) + "]";
            onlyKeys(entry, {"selector", "address", "text", "hex"}, where);
            if (!entry.contains("selector") || !entry.contains("address")) {
                fail(where, "needs selector and address");
            }
            MemoryEntry memory;
            memory.selector = static_cast<std::uint8_t>(number(entry["selector"], where, 1));
            memory.address =
                static_cast<std::uint32_t>(number(entry["address"], where, 0xFFFFFFFF));
            if (entry.contains("text") == entry.contains("hex")) {
                fail(where, "needs exactly one of text and hex");
            }
            if (entry.contains("text")) {
                if (!entry["text"].is_string()) {
                    fail(where, "text must be a text");
                }
                const auto bytes = entry["text"].get<std::string>();
                memory.bytes.assign(bytes.begin(), bytes.end());
            } else {
                if (!entry["hex"].is_string()) {
                    fail(where, "hex must be a text");
                }
                memory.bytes = hexBytes(entry["hex"].get<std::string>(), where);
            }
            if (memory.address + static_cast<std::uint64_t>(memory.bytes.size()) > 0x100000000ULL) {
                fail(where, "runs past the end of the 32-bit address space");
            }
            profile.memory.push_back(std::move(memory));
        }
    }
    if (root.contains("faults")) {
        if (!root["faults"].is_array()) {
            fail("faults", "must be a list");
        }
        std::size_t index = 0;
        for (const auto& entry : root["faults"]) {
            profile.faults.push_back(faultFrom(entry, "faults[" + std::to_string(index++) + "]"));
        }
    }
    return profile;
}

DeviceProfile DeviceProfile::load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::invalid_argument("device profile: cannot read " + sys::utf8FromPath(file));
    }
    std::ostringstream text;
    text << in.rdbuf();
    return fromJson(text.str());
}

} // namespace sim
