#pragma once
// One camera record of the speed-camera database, as the server describes it.

#include <memory>
#include <string>
#include <vector>

// Camera types the whole updater treats by name.
inline constexpr double kStrelkaCamera = 0.0;
inline constexpr double kFakeCamera = 9.0;

// Filled once from a decoded record line and never changed afterwards, so the lists of the
// database client share the same objects.
struct DataBase {
    double parsing_camera = 0.0;    // camera type; 0 Strelka, 9 Fake
    double parsing_lat = 0.0;       // degrees
    double parsing_lng = 0.0;       // degrees
    double parsing_direction = 0.0; // 9-bit device field (0 to 511)
    double parsing_speed = 0.0;     // the device takes it in tens (0 to 159)
    double parsing_autodoria = 0.0; // the device takes it as an unsigned 16-bit number
    std::string parsing_country;    // matched exactly against the country list
};

using DataBaseList = std::vector<std::shared_ptr<const DataBase>>;
