#pragma once
// The main window's controller: the connect sequence, the download sequence and the write loop.

#include "app/Localizer.hpp"
#include "app/MainWindowModel.hpp"
#include "app/Pacer.hpp"
#include "app/SelectionPresenter.hpp"
#include "app/UiDispatcher.hpp"
#include "database/WebServer_GetDataBase.hpp"
#include "device/ConnectedTargetInfo.hpp"
#include "device/ConnectedTargetInit.hpp"
#include "server/ServerAccess.hpp"
#include "server/WebServer_CheckInternet.hpp"
#include "server/WebServer_CheckVersion.hpp"
#include "server/WebServer_GetDeviceInfo.hpp"
#include "server/WebServer_GetFirmware.hpp"
#include "usb/MassStorageController.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

// Owns the record and the workers, creates them as the connect sequence goes, and changes the
// window only on the UI thread through the dispatcher. Each sequence runs on its own worker
// thread; at most one connect and one download run per controller.
class ViewController {
public:
    // How a sequence ended, for front ends that need to know without reading the window.
    enum class Outcome { Running, Succeeded, Failed, Stopped };

    struct Dependencies {
        MainWindowModel& window;
        UiDispatcher& dispatcher;
        Pacer& pacer;
        const Localizer& localizer;
        SelectionPresenter& presenter;
        // Creates the USB link at step 1 of the connect sequence: libusb discovery for real
        // devices, an in-process virtual detector for the demo and the tests.
        std::function<std::unique_ptr<MassStorageController>()> makeLink;
        // The server every client of this controller talks to.
        server::ServerAccess server;
        // Told on the UI thread when a sequence has ended (after its last window change).
        std::function<void(bool downloadSequence, Outcome outcome)> onSequenceEnded;
    };

    explicit ViewController(Dependencies dependencies);
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;
    ViewController(ViewController&&) = delete;
    ViewController& operator=(ViewController&&) = delete;
    // Requests a stop and joins the workers.
    ~ViewController();

    // The start-up state of the window.
    void viewDidLoad();

    // Connect button, on the UI thread: sets the searching state and starts the worker.
    void btn_Start();
    // The connect sequence's body (worker thread).
    void threadDownLoadBinartFile();

    // Download button, on the UI thread: hands the country data to a new selection dialog and
    // presents it.
    void btn_DownloadStart();
    // The dialog's answer, on the UI thread: stores the choice, rebuilds the database image and
    // starts the download worker, or shows "Error - 701".
    void slectedData(const std::vector<std::string>& checked, bool excludeStrelka,
                     bool excludeFake);
    // The download sequence's body (worker thread).
    void thread_Download();

    // Writes image[cutStart, cutEnd) padded with 0xFF to whole pages at startAddress, reading
    // every page back. False at the first page whose write or read-back failed, came back short
    // or differed; also false for a page size of 0 or above 4096 and a cut end below the cut
    // start, before anything is written.
    bool downloadToDevice(const Bytes& image, std::uint32_t startAddress, std::uint32_t pageSize,
                          std::uint32_t memorySelector, std::uint32_t cutStart,
                          std::uint32_t cutEnd);

    // Quitting: ends any wait (device, pause, request) so the workers return promptly. Nothing
    // is written to the device after this. Safe from any thread.
    void requestStop();
    // True while the download worker may be writing pages (the window asks before quitting).
    [[nodiscard]] bool isWriting() const;
    // Joins the workers that were started (tests and the command line).
    void waitForWorkers();

    [[nodiscard]] Outcome connectOutcome() const;
    [[nodiscard]] Outcome downloadOutcome() const;

    // The members the sequences create; null until created.
    [[nodiscard]] std::shared_ptr<ConnectedTargetInfo> connectedTargetInfo() const;
    [[nodiscard]] MassStorageController* massStorageController() const;
    [[nodiscard]] WebServer_GetDataBase* webServer_GetDataBase() const;
};
