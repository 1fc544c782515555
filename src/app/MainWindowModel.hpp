#pragma once
// The main window as a toolkit-free model: sixteen elements, their set-up and the eight operations.

#include "app/Localizer.hpp"
#include "app/WindowElement.hpp"
#include "app/WindowView.hpp"

#include <array>
#include <functional>
#include <string>

// Lives on the UI thread; nothing here locks. Every change of an element's aspect is told to
// the listener at once, in the order the changes are made; setting an aspect to the value it
// already has is not a change and is not told. The front ends render from these notices
// (or from state()), tests record them.
//
// Packed operations that get fewer fields than they need change nothing at all, so a
// damaged argument can never leave half of a group (the device panel, the option check box)
// updated. Fields beyond those needed are ignored.
class MainWindowModel final : public WindowView {
public:
    using ChangeListener = std::function<void(const ElementChange&)>;

    // The progress bar's range, set by viewDidLoad; values are kept inside it.
    static constexpr double kProgressMinimum = 0.0;
    static constexpr double kProgressMaximum = 100.0;

    // Before viewDidLoad every element is as the layout made it: shown, enabled, unticked,
    // still, empty, black text; txt_QVT_DB holds qvtDbLayoutText.
    explicit MainWindowModel(std::string qvtDbLayoutText = {});

    // Every element back as the layout made it (see the constructor), each change told; the
    // background white again. With viewDidLoad after it, the window is as at start-up.
    void restoreLayout();

    // Replaces the listener; an empty one silences the model.
    void setListener(ChangeListener listener);

    // The start-up state: spinners hidden, download disabled, ready texts from localizer,
    // device panel, database picture and update option hidden, every text line white.
    void viewDidLoad(const Localizer& localizer);

    void setCheckbox_gui(const std::string& text) override;
    void setBtnConnect(const std::string& text) override;
    void setBtnDownload(const std::string& text) override;
    void setProgBar(const std::string& text) override;
    void setInfoUpperLabel(const std::string& text) override;
    void setInfoLabel(const std::string& text) override;
    void setDeviceLabel(const std::string& text) override;
    void setQVTDB(const std::string& text) override;

    // Direct changes for the controller's own UI-thread steps (hiding the logo, starting a
    // spinner, turning the status texts red).
    void setHidden(Element element, bool hidden);
    void setEnabled(Element element, bool enabled);
    void setTicked(Element element, bool ticked);
    void setAnimating(Element element, bool animating);
    void setText(Element element, const std::string& text);
    void setTextColour(Element element, Colour colour);
    // Kept inside the progress range; NaN gives the minimum.
    void setValue(Element element, double value);

    [[nodiscard]] const ElementState& state(Element element) const;
    // Every aspect of every element as a change notice, in layout order (text colours only for
    // text lines), so a new view can draw the whole window from the notices it already handles.
    void replay(const ChangeListener& to) const;
    // The window background: the plain window's white until viewDidLoad paints it black.
    [[nodiscard]] Colour windowBackground() const { return m_background; }

    // The colour of the version texts for a device panel state word.
    static Colour panelColour(const std::string& state);

private:
    ElementState& at(Element element);
    template <typename T>
    void change(Element element, Property property, T ElementState::*member, const T& value);

    std::string m_layoutText;
    std::array<ElementState, kElementCount> m_states{};
    Colour m_background = Colour::White;
    ChangeListener m_listener;
};
