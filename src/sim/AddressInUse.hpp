#pragma once
// Whether a port is taken, for telling a user why the server could not listen.

#include <string>

namespace sim {

// True when `host`:`port` cannot be bound because something listens there already.
bool addressInUse(const std::string& host, int port);

} // namespace sim
