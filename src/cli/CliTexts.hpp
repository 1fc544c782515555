#pragma once
// The localisation table of the terminal front end: the flow's keys and the CLI's own texts.

#include "app/TableLocalizer.hpp"
#include "cli/CliOptions.hpp"

#include <vector>

class CliTexts {
public:
    // Every key has a text in both languages (str_empty is the empty text in both).
    static TableLocalizer::Table table(CliLanguage language);
    // The keys the update flow looks up, for the test that both tables hold them.
    static const std::vector<const char*>& flowKeys();
};
