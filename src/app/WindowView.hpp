#pragma once
// The eight operations through which the update flow changes the main window.

#include <string>

// Every operation takes one text, because a worker hands each change to the UI thread as one
// object: several values are packed into one text separated by commas, flags are "YES"/"NO".
// All operations run on the UI thread (a worker reaches them through UiDispatcher::runAndWait)
// and report nothing back; a text they cannot use changes nothing or what each contract says.
class WindowView {
public:
    WindowView() = default;
    WindowView(const WindowView&) = delete;
    WindowView& operator=(const WindowView&) = delete;
    WindowView(WindowView&&) = delete;
    WindowView& operator=(WindowView&&) = delete;
    virtual ~WindowView() = default;

    // "hidden,ticked,enabled,caption": the update option check box and its caption.
    virtual void setCheckbox_gui(const std::string& text) = 0;
    // "YES" or "NO" in any case enables or disables the connect button; other texts do nothing.
    virtual void setBtnConnect(const std::string& text) = 0;
    // "YES" or "NO" in any case enables or disables the download button; other texts do nothing.
    virtual void setBtnDownload(const std::string& text) = 0;
    // A number as text ("47") sets the progress bar; a text that is not a number sets it to 0.
    virtual void setProgBar(const std::string& text) = 0;
    // The main status text.
    virtual void setInfoUpperLabel(const std::string& text) = 0;
    // The detail text: an error text, a percentage or empty.
    virtual void setInfoLabel(const std::string& text) = 0;
    // "hidden,name,GPS text,RD text,state": the device panel; the state colours the versions.
    virtual void setDeviceLabel(const std::string& text) = 0;
    // "hidden,caption": the database caption.
    virtual void setQVTDB(const std::string& text) = 0;
};
