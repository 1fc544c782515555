#pragma once
// The countries and exclusions of the last successful update, offered again in the dialog.

#include "app/SelectionDBViewController.hpp"
#include "device/ConnectedTargetInfo.hpp"

#include <cstdint>
#include <string>
#include <vector>

// Countries are kept by name, so a list that the server has since reordered or shortened
// still finds them. Applying goes through the dialog's own operations (the boxes, then a
// click per country), so the limit rules are exactly those of the user's clicks.
class LastChoice {
public:
    struct Result {
        // False when the stored choice would pass the limit: the dialog is then as before.
        bool applied = false;
        // Stored names the dialog no longer lists; they are skipped.
        std::vector<std::string> missing;
        // With applied false: the total the stored choice would have, with its boxes.
        std::uint32_t refusedTotal = 0;
    };

    LastChoice() = default;
    LastChoice(std::vector<std::string> countries, bool excludeStrelka, bool excludeFake);

    // The choice a finished download wrote: the names checked "YES" and the two exclusions.
    static LastChoice fromRecord(const ConnectedTargetInfo& record);

    // Replaces the dialog's choice with this one: every chosen row taken out, the boxes set,
    // the stored countries clicked in list order. Should a click be refused, the dialog's
    // previous choice and boxes are put back and nothing of this one stays.
    Result applyTo(SelectionDBViewController& dialog) const;

    [[nodiscard]] const std::vector<std::string>& countries() const { return m_countries; }
    [[nodiscard]] bool excludeStrelka() const { return m_excludeStrelka; }
    [[nodiscard]] bool excludeFake() const { return m_excludeFake; }
    [[nodiscard]] bool empty() const { return m_countries.empty(); }

private:
    std::vector<std::string> m_countries;
    bool m_excludeStrelka = false;
    bool m_excludeFake = false;
};
