#include "app/MainWindowModel.hpp"

#include "app/PackedArgument.hpp"
#include "database/TextNumber.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace {

constexpr std::array<Element, 4> kDevicePanel{
    Element::ImageView_Device,
    Element::txt_device_name,
    Element::txt_device_gps_version,
    Element::txt_device_rd_version,
};

} // namespace

MainWindowModel::MainWindowModel(std::string qvtDbLayoutText)
    : m_layoutText(std::move(qvtDbLayoutText)) {
    at(Element::txt_QVT_DB).text = m_layoutText;
}

void MainWindowModel::restoreLayout() {
    const ElementState layout{};
    for (const Element element : allElements()) {
        setAnimating(element, layout.animating);
        setHidden(element, layout.hidden);
        setEnabled(element, layout.enabled);
        setTicked(element, layout.ticked);
        setText(element, element == Element::txt_QVT_DB ? m_layoutText : layout.text);
        setTextColour(element, layout.textColour);
        setValue(element, layout.value);
    }
    m_background = Colour::White;
}

void MainWindowModel::setListener(ChangeListener listener) { m_listener = std::move(listener); }

void MainWindowModel::viewDidLoad(const Localizer& localizer) {
    // The bar's range is fixed at kProgressMinimum..kProgressMaximum; bring the value into it.
    setValue(Element::progressbar_download, state(Element::progressbar_download).value);
    setHidden(Element::circle_progressbar_connect, true);
    setHidden(Element::circle_progressbar_download, true);
    setEnabled(Element::btn_download, false);
    m_background = Colour::Black;
    setTextColour(Element::txt_Infomation_upper, Colour::White);
    setTextColour(Element::txt_Infomation, Colour::White);
    setText(Element::txt_Infomation_upper, localizer.L("str_ready_upper"));
    setText(Element::txt_Infomation, localizer.L("str_ready_under"));
    setTextColour(Element::txt_device_name, Colour::White);
    setTextColour(Element::txt_device_gps_version, Colour::White);
    setTextColour(Element::txt_device_rd_version, Colour::White);
    setTextColour(Element::txt_QVT_DB, Colour::White);
    for (const Element element : kDevicePanel) {
        setHidden(element, true);
    }
    setHidden(Element::ImageView_QVT_DB, true);
    setHidden(Element::checkbox_gui_audio, true);
    setHidden(Element::txt_checkbox, true);
    setTextColour(Element::txt_checkbox, Colour::White);
}

void MainWindowModel::setCheckbox_gui(const std::string& text) {
    const auto fields = packed::splitFields(text);
    if (fields.size() < 4) {
        return;
    }
    const bool hidden = packed::isYes(fields[0]);
    setHidden(Element::txt_checkbox, hidden);
    setText(Element::txt_checkbox, fields[3]);
    setHidden(Element::checkbox_gui_audio, hidden);
    setTicked(Element::checkbox_gui_audio, packed::isYes(fields[1]));
    setEnabled(Element::checkbox_gui_audio, packed::isYes(fields[2]));
}

void MainWindowModel::setBtnConnect(const std::string& text) {
    if (const auto on = packed::readSwitch(text)) {
        setEnabled(Element::btn_connect, *on);
    }
}

void MainWindowModel::setBtnDownload(const std::string& text) {
    if (const auto on = packed::readSwitch(text)) {
        setEnabled(Element::btn_download, *on);
    }
}

void MainWindowModel::setProgBar(const std::string& text) {
    // The leading number of the text; a text without one reads as 0.
    setValue(Element::progressbar_download, codec::readDecimalNumber(text));
}

void MainWindowModel::setInfoUpperLabel(const std::string& text) {
    setText(Element::txt_Infomation_upper, text);
}

void MainWindowModel::setInfoLabel(const std::string& text) {
    setText(Element::txt_Infomation, text);
}

void MainWindowModel::setDeviceLabel(const std::string& text) {
    const auto fields = packed::splitFields(text);
    if (fields.size() < 5) {
        return;
    }
    const bool hidden = packed::isYes(fields[0]);
    for (const Element element : kDevicePanel) {
        setHidden(element, hidden);
    }
    const Colour colour = panelColour(fields[4]);
    setTextColour(Element::txt_device_gps_version, colour);
    setTextColour(Element::txt_device_rd_version, colour);
    setText(Element::txt_device_name, fields[1]);
    setText(Element::txt_device_gps_version, fields[2]);
    setText(Element::txt_device_rd_version, fields[3]);
}

void MainWindowModel::setQVTDB(const std::string& text) {
    const auto fields = packed::splitFields(text);
    if (fields.size() < 2) {
        return;
    }
    setHidden(Element::ImageView_QVT_DB, true);
    setHidden(Element::txt_QVT_DB, packed::isYes(fields[0]));
    setText(Element::txt_QVT_DB, fields[1]);
}

void MainWindowModel::setHidden(Element element, bool hidden) {
    change(element, Property::Hidden, &ElementState::hidden, hidden);
}

void MainWindowModel::setEnabled(Element element, bool enabled) {
    change(element, Property::Enabled, &ElementState::enabled, enabled);
}

void MainWindowModel::setTicked(Element element, bool ticked) {
    change(element, Property::Ticked, &ElementState::ticked, ticked);
}

void MainWindowModel::setAnimating(Element element, bool animating) {
    change(element, Property::Animating, &ElementState::animating, animating);
}

void MainWindowModel::setText(Element element, const std::string& text) {
    change(element, Property::Text, &ElementState::text, text);
}

void MainWindowModel::setTextColour(Element element, Colour colour) {
    change(element, Property::TextColour, &ElementState::textColour, colour);
}

void MainWindowModel::setValue(Element element, double value) {
    const double kept = std::isnan(value) ? kProgressMinimum
                                          : std::clamp(value, kProgressMinimum, kProgressMaximum);
    change(element, Property::Value, &ElementState::value, kept);
}

const ElementState& MainWindowModel::state(Element element) const {
    return m_states.at(static_cast<std::size_t>(element));
}

Colour MainWindowModel::panelColour(const std::string& state) {
    if (state == "COMPLETE") {
        return Colour::Green;
    }
    if (state == "FAIL") {
        return Colour::Red;
    }
    if (state == "DOWNLOADING") {
        return Colour::Yellow;
    }
    return Colour::White;
}

ElementState& MainWindowModel::at(Element element) {
    return m_states.at(static_cast<std::size_t>(element));
}

template <typename T>
void MainWindowModel::change(Element element, Property property, T ElementState::*member,
                             const T& value) {
    ElementState& current = at(element);
    if (current.*member == value) {
        return;
    }
    current.*member = value;
    if (m_listener) {
        // A copy: the listener may change the model again while it runs.
        const ElementChange notice{element, property, current};
        m_listener(notice);
    }
}

void MainWindowModel::replay(const ChangeListener& to) const {
    for (const Element element : allElements()) {
        const ElementState& s = state(element);
        for (const Property property :
             {Property::Hidden, Property::Enabled, Property::Ticked, Property::Animating,
              Property::Text, Property::TextColour, Property::Value}) {
            if (property == Property::TextColour && kindOf(element) != ElementKind::TextLine) {
                continue;
            }
            to(ElementChange{element, property, s});
        }
    }
}
