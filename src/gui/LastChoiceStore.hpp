#pragma once
// Keeps the last successful update's country choice in the user's settings (QSettings).

#include "app/LastChoice.hpp"

#include <optional>

class LastChoiceStore {
public:
    // Nothing when no choice was stored or the stored one names no country.
    static std::optional<LastChoice> load();
    static void save(const LastChoice& choice);
};
