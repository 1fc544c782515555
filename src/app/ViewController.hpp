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

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
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
        // Told on the UI thread when a sequence has ended (after its last window change). A
        // sequence that was stopped is not told: the dispatcher may be gone by then.
        std::function<void(bool downloadSequence, Outcome outcome)> onSequenceEnded;
        // requestStop() requests a stop on this source; give the sleeping Pacer its token so
        // that pauses end at once.
        std::stop_source stop{};
        // The system log: receives the "EE <name> , <reason> " line of an unexpected failure in
        // the connect sequence. Empty: standard error.
        std::function<void(const std::string& line)> log{};
    };

    // Fixed device addresses of the download sequence.
    static constexpr std::uint32_t kRdVerifyBlockAddress = 0x08001C00;
    static constexpr std::uint32_t kRdVerifyBlockLength = 1024;
    static constexpr std::uint32_t kDatabaseHeaderAddress = 0x0801FF00;
    static constexpr std::uint32_t kDatabaseHeaderLength = 256;
    static constexpr std::uint32_t kGpsVerifyBlockLength = 256;
    static constexpr std::uint32_t kMaxPageSize = 4096;
    // Pause between two polls of the device connection; waiting never spins.
    static constexpr double kDevicePollSeconds = 0.2;
    // The download's fixed schedule: after each stage, and twice per page (after the write and
    // after the read-back) by memory selector. Front ends derive the time left from it.
    static constexpr double kStepSeconds = 1.0;
    static constexpr double kSelectorOnePageSeconds = 0.15;
    static constexpr double kSelectorZeroPageSeconds = 0.07;
    static constexpr const char* kFinishPath = "/qvt_database/finish/%@m";

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
    // The same on a given link, for the front ends' and tests' own use of the write loop.
    bool downloadToDevice(MassStorageController& link, const Bytes& image,
                          std::uint32_t startAddress, std::uint32_t pageSize,
                          std::uint32_t memorySelector, std::uint32_t cutStart,
                          std::uint32_t cutEnd);

    // A verify block of `length` bytes: the text's bytes, then 0xFF.
    static Bytes verifyBlock(const std::string& text, std::uint32_t length);
    // The 256-byte database header: the low 16 bits of the image's record count, least
    // significant byte first, then their complement, then zeros. Empty for an image of fewer
    // than four bytes.
    static Bytes databaseHeaderBlock(const Bytes& image);

    // Quitting: ends any wait (device, pause, request) so the workers return promptly. Nothing
    // is written to the device after this. Safe from any thread.
    void requestStop();
    // True while the download worker may be writing pages (the window asks before quitting).
    [[nodiscard]] bool isWriting() const;
    // Joins the workers that were started. Safe from several threads at once: every caller
    // returns only once each worker has ended (a worker calling it does not wait for itself).
    void waitForWorkers();

    // Running until the sequence has ended (also before it was started).
    [[nodiscard]] Outcome connectOutcome() const;
    [[nodiscard]] Outcome downloadOutcome() const;
    // True once the connect sequence has the server's device information (its update type).
    [[nodiscard]] bool deviceInfoRead() const;
    // Image pages that the download sequence wrote; the version blocks and the database header
    // are not pages of an image.
    [[nodiscard]] std::uint32_t imagePagesWritten() const;

    // The members the sequences create; null until created.
    [[nodiscard]] std::shared_ptr<ConnectedTargetInfo> connectedTargetInfo() const;
    [[nodiscard]] MassStorageController* massStorageController() const;
    [[nodiscard]] WebServer_GetDataBase* webServer_GetDataBase() const;
    [[nodiscard]] ConnectedTargetInit* connectedTargetInit() const;

private:
    class Delegate;
    // A worker thread; `joining` while some caller of waitForWorkers joins it outside the lock.
    struct Worker {
        std::thread thread;
        std::thread::id id;
        bool joining = false;
    };

    Outcome runConnectSequence();
    Outcome connectFailedUnexpectedly(const std::string& name, const std::string& reason);
    // "Error" and `reason` in red, the spinner stopped: the connect sequence cannot go on.
    Outcome showConnectFailure(const std::string& reason);
    // While searching: names a detector that is there but cannot be opened, and how to fix it;
    // clears that text once a device opened. Runs on the connect worker.
    void showSkippedDevice(const std::optional<usb::SkipReason>& reason);
    Outcome runDownloadSequence();
    // One download stage: its upper text and "0 %", then `body`; the stage's error text when it
    // failed, then the stage's pause. False once a stop was requested.
    bool runStage(const char* upperKey, const char* errorText, ConnectedTargetInfo& record,
                  bool& flag, const std::function<bool()>& body);
    bool writeBlock(MassStorageController& link, std::uint8_t selector, std::uint32_t address,
                    const Bytes& block);
    void finishSequence(bool downloadSequence, Outcome outcome);
    // A window change through the dispatcher; none once a stop was requested.
    void ui(const std::function<void()>& change);
    void post(int progress);
    // A fixed pause; false when the application is stopping.
    bool pause(double seconds);
    [[nodiscard]] bool stopping() const { return m_stop.stop_requested(); }
    [[nodiscard]] std::string L(const char* key) const;
    void startWorker(Worker& worker, void (ViewController::*body)());

    MainWindowModel& m_window;
    UiDispatcher& m_dispatcher;
    Pacer& m_pacer;
    const Localizer& m_localizer;
    SelectionPresenter& m_presenter;
    std::function<std::unique_ptr<MassStorageController>()> m_makeLink;
    server::ServerAccess m_server;
    std::function<void(bool, Outcome)> m_onSequenceEnded;
    std::stop_source m_stop;
    std::function<void(const std::string&)> m_log;

    // Guards the members below that requestStop() and the accessors read from other threads.
    mutable std::mutex m_mutex;
    std::unique_ptr<MassStorageController> m_massStorageController;
    std::shared_ptr<ConnectedTargetInfo> m_connectedTargetInfo;
    std::unique_ptr<ConnectedTargetInit> m_connectedTargetInit;
    std::unique_ptr<WebServer_CheckInternet> m_webServer_CheckInternet;
    std::unique_ptr<WebServer_GetDeviceInfo> m_webServer_GetDeviceInfo;
    std::unique_ptr<WebServer_GetDataBase> m_webServer_GetDataBase;
    std::unique_ptr<WebServer_GetFirmware> m_webServer_GetFirmware;
    std::unique_ptr<WebServer_CheckVersion> m_webServer_CheckVersion;
    Worker m_connectThread;
    Worker m_downloadThread;
    std::condition_variable m_workerJoined;
    bool m_connectStarted = false;
    bool m_downloadStarted = false;

    std::atomic<Outcome> m_connectOutcome{Outcome::Running};
    std::atomic<bool> m_deviceInfoRead{false};
    std::atomic<std::uint32_t> m_imagePagesWritten{0};
    std::atomic<Outcome> m_downloadOutcome{Outcome::Running};
    std::atomic<bool> m_writing{false};
    // The lower text names a skipped device (connect worker only).
    bool m_skipShown = false;
    // The dialog's delegate; it forwards the answer to this controller while it lives.
    std::shared_ptr<Delegate> m_delegate;
};
