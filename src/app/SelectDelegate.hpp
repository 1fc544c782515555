#pragma once
// The receiver of the country selection dialog's answer.

#include <string>
#include <vector>

class SelectDelegate {
public:
    SelectDelegate() = default;
    SelectDelegate(const SelectDelegate&) = delete;
    SelectDelegate& operator=(const SelectDelegate&) = delete;
    SelectDelegate(SelectDelegate&&) = delete;
    SelectDelegate& operator=(SelectDelegate&&) = delete;
    virtual ~SelectDelegate() = default;

    // Called once, on the UI thread, after the dialog has closed. checked has one "YES" or
    // "NO" per country row, in the order the dialog was given them; excludeStrelka and
    // excludeFake true mean leave those cameras out. The dialog answers only for a total of
    // 1 to 9300 camera records.
    virtual void slectedData(const std::vector<std::string>& checked, bool excludeStrelka,
                             bool excludeFake) = 0;
};
