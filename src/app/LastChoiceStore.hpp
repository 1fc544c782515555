#pragma once
// Where the last successful update's country choice is kept between runs of the window.

#include "app/LastChoice.hpp"

#include <filesystem>
#include <optional>

class LastChoiceStore {
public:
    LastChoiceStore() = default;
    LastChoiceStore(const LastChoiceStore&) = delete;
    LastChoiceStore& operator=(const LastChoiceStore&) = delete;
    LastChoiceStore(LastChoiceStore&&) = delete;
    LastChoiceStore& operator=(LastChoiceStore&&) = delete;
    virtual ~LastChoiceStore() = default;

    // Nothing when no choice was stored or the stored one names no country.
    [[nodiscard]] virtual std::optional<LastChoice> load() const = 0;
    virtual void save(const LastChoice& choice) = 0;
};

// A small UTF-8 text file of key=value lines, for a window with no settings store of its own.
// Saving writes a neighbour file and renames it over the old one, so a crash mid-save leaves the
// previous choice; a file that cannot be read as a stored choice counts as none.
class FileLastChoiceStore final : public LastChoiceStore {
public:
    explicit FileLastChoiceStore(std::filesystem::path file);

    [[nodiscard]] std::optional<LastChoice> load() const override;
    void save(const LastChoice& choice) override;

private:
    std::filesystem::path m_file;
};
