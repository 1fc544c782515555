#pragma once
// Keeps the last successful update's country choice in the user's settings (QSettings).

#include "app/LastChoiceStore.hpp"

class SettingsLastChoiceStore final : public LastChoiceStore {
public:
    [[nodiscard]] std::optional<LastChoice> load() const override;
    void save(const LastChoice& choice) override;
};
