#pragma once
// The localisation table of the terminal front end: the flow's keys and the CLI's own texts.

#include "app/TableLocalizer.hpp"
#include "cli/CliOptions.hpp"

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

class CliTexts {
public:
    // Every key has a text in both languages (str_empty is the empty text in both).
    static TableLocalizer::Table table(CliLanguage language);
    // The table a run of `command` uses: an update leaves out the hint on how to start one.
    static TableLocalizer::Table table(CliLanguage language, CliCommand command);
    // Every key of the table.
    static std::vector<std::string> keys();
    // The pattern with {1}..{9} replaced by the values in order; a slot with no value stays.
    static std::string fill(std::string_view pattern, std::initializer_list<std::string> values);
    // The keys the update flow looks up, for the test that both tables hold them.
    static const std::vector<const char*>& flowKeys();
};
