#pragma once
// Renders the main window model's changes as terminal lines, the way the window shows them.

#include "app/WindowElement.hpp"

#include <cstdio>
#include <string>

// On a terminal the progress bar is redrawn in place and texts take the window's colours; into
// a pipe or file every page's percentage is a plain line and nothing is coloured. The device
// panel is printed once per group of changes, and its state colour is named: "COMPLETE" for
// green, "FAIL" for red. Runs on the UI thread only.
class TerminalRenderer {
public:
    TerminalRenderer(std::FILE* out, bool terminal, bool colour);

    void render(const ElementChange& change);
    // Prints what is still pending (the device panel) and ends an open progress line.
    void flush();
    // A line of the front end's own, kept apart from an open progress line.
    void print(const std::string& text);

    // What the window shows now, for the JSON result.
    [[nodiscard]] const std::string& upperText() const { return m_upper; }
    [[nodiscard]] const std::string& lowerText() const { return m_lower; }
    // "COMPLETE", "FAIL", "DOWNLOADING" or "" from the device panel's colour.
    [[nodiscard]] const std::string& panelState() const { return m_panelState; }
    [[nodiscard]] double progress() const { return m_progress; }

private:
    void endLine();
    void printPanel();
    void write(const std::string& text, Colour colour, bool newline = true);

    std::FILE* m_out;
    bool m_terminal;
    bool m_colour;
    bool m_lineOpen = false;
    // The open line is a progress bar still at 0 %.
    bool m_barEmpty = false;
    bool m_panelDirty = false;
    bool m_panelHidden = true;
    std::string m_name;
    std::string m_gps;
    std::string m_rd;
    Colour m_versionColour = Colour::White;
    std::string m_upper;
    std::string m_lower;
    std::string m_panelState;
    double m_progress = 0.0;
};
