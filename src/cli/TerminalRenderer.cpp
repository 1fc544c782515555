#include "cli/TerminalRenderer.hpp"

#include "database/Utf8.hpp"

#include <cmath>
#include <regex>

namespace {

const char* ansi(Colour colour) {
    switch (colour) {
    case Colour::Red:
        return "\033[31m";
    case Colour::Green:
        return "\033[32m";
    case Colour::Yellow:
        return "\033[33m";
    default:
        return "";
    }
}

bool isPercentage(const std::string& text) {
    static const std::regex kPercentage("^-?[0-9]+ %$");
    return std::regex_match(text, kPercentage);
}

bool isPanel(Element element) {
    return element == Element::ImageView_Device || element == Element::txt_device_name ||
           element == Element::txt_device_gps_version || element == Element::txt_device_rd_version;
}

std::string stateWord(Colour colour) {
    switch (colour) {
    case Colour::Green:
        return "COMPLETE";
    case Colour::Red:
        return "FAIL";
    case Colour::Yellow:
        return "DOWNLOADING";
    default:
        return "";
    }
}

} // namespace

TerminalRenderer::TerminalRenderer(std::FILE* out, bool terminal, bool colour)
    : m_out(out)
    , m_terminal(terminal)
    , m_colour(colour) {}

void TerminalRenderer::write(const std::string& text, Colour colour, bool newline) {
    const bool paint = m_colour && *ansi(colour) != '\0';
    // Device and server texts may carry bytes that are not UTF-8; a terminal shows them as \xHH.
    std::fprintf(m_out, "%s%s%s%s", paint ? ansi(colour) : "", codec::printable(text).c_str(),
                 paint ? "\033[0m" : "", newline ? "\n" : "");
    std::fflush(m_out);
}

void TerminalRenderer::endLine() {
    if (!m_lineOpen) {
        return;
    }
    m_lineOpen = false;
    // A bar that never moved says nothing: the next line takes its place.
    if (m_barEmpty) {
        std::fputs("\r\033[K", m_out);
        return;
    }
    std::fputc('\n', m_out);
}

void TerminalRenderer::print(const std::string& text) {
    flush();
    write(text, Colour::White);
}

void TerminalRenderer::flush() {
    if (m_panelDirty) {
        printPanel();
    }
    endLine();
    std::fflush(m_out);
}

void TerminalRenderer::printPanel() {
    m_panelDirty = false;
    // The start-up state paints the hidden panel; only a panel the flow filled is shown.
    if (m_panelHidden || m_name.empty()) {
        return;
    }
    endLine();
    write(m_name + "   GPS " + m_gps + "   RD " + m_rd, m_versionColour);
    m_panelState = stateWord(m_versionColour);
    if (m_panelState == "COMPLETE" || m_panelState == "FAIL") {
        write(m_panelState, m_versionColour);
    }
}

void TerminalRenderer::render(const ElementChange& change) {
    const auto& state = change.state;
    if (isPanel(change.element)) {
        switch (change.element) {
        case Element::txt_device_name:
            m_name = state.text;
            m_panelHidden = state.hidden;
            break;
        case Element::txt_device_gps_version:
            m_gps = state.text;
            m_versionColour = state.textColour;
            break;
        case Element::txt_device_rd_version:
            m_rd = state.text;
            m_versionColour = state.textColour;
            break;
        default:
            break;
        }
        m_panelDirty = true;
        return;
    }
    if (m_panelDirty) {
        printPanel();
    }
    switch (change.element) {
    case Element::txt_Infomation_upper:
        if (change.property == Property::Text) {
            m_upper = state.text;
            if (!state.text.empty()) {
                endLine();
                write(state.text, state.textColour);
            }
        }
        break;
    case Element::txt_Infomation:
        if (change.property != Property::Text) {
            break;
        }
        m_lower = state.text;
        if (isPercentage(state.text)) {
            // On a terminal the bar below shows it.
            if (!m_terminal) {
                write(state.text, Colour::White);
            }
        } else if (!state.text.empty()) {
            endLine();
            write("  " + state.text, state.textColour);
        }
        break;
    case Element::progressbar_download:
        if (change.property == Property::Value) {
            m_progress = state.value;
            if (m_terminal) {
                constexpr int kWidth = 40;
                const int filled = static_cast<int>(std::lround(state.value * kWidth / 100.0));
                std::string bar = "\r  [";
                for (int i = 0; i < kWidth; ++i) {
                    bar += i < filled ? '#' : '.';
                }
                bar += "] " + std::to_string(static_cast<int>(state.value)) + " %";
                write(bar, Colour::White, false);
                m_lineOpen = true;
                m_barEmpty = state.value <= 0.0;
            }
        }
        break;
    case Element::txt_QVT_DB:
        if (change.property == Property::Text && !state.hidden && !state.text.empty()) {
            endLine();
            write("  DB " + state.text, Colour::White);
        }
        break;
    case Element::txt_checkbox:
        if ((change.property == Property::Hidden || change.property == Property::Text) &&
            !state.hidden && !state.text.empty()) {
            endLine();
            write("  option: " + state.text, Colour::White);
        }
        break;
    default:
        break;
    }
}
