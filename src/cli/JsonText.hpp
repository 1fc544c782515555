#pragma once
// JSON output that carries device and server bytes.

#include <string>

#include <nlohmann/json.hpp>

// The value as JSON text. Texts that are not UTF-8 (a name block from the device, an answer from
// the server) show each stray byte as \xHH instead of aborting the dump.
std::string jsonText(const nlohmann::json& value, int indent = -1);
