#include "app/ViewController.hpp"

#include "app/SelectDelegate.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <typeinfo>
#include <utility>

#if __has_include(<cxxabi.h>)
#include <cxxabi.h>
#define DETECTOR_HAS_CXXABI 1
#endif

namespace {

constexpr double kDeviceSettleSeconds = 5.0;
constexpr std::uint8_t kErased = 0xFF;

std::string typeName(const std::exception& e) {
    const char* mangled = typeid(e).name();
#ifdef DETECTOR_HAS_CXXABI
    int status = 0;
    char* readable = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    if (status == 0 && readable != nullptr) {
        std::string name(readable);
        std::free(readable); // NOLINT(cppcoreguidelines-no-malloc): the demangler's contract
        return name;
    }
    std::free(readable); // NOLINT(cppcoreguidelines-no-malloc)
#endif
    return mangled;
}

std::string joined(std::initializer_list<std::string> fields) {
    std::string text;
    bool first = true;
    for (const auto& field : fields) {
        if (!first) {
            text += ',';
        }
        text += field;
        first = false;
    }
    return text;
}

} // namespace

// Forwards the dialog's answer; the dialog may outlive the controller, so it can be detached.
class ViewController::Delegate final : public SelectDelegate {
public:
    explicit Delegate(ViewController* owner)
        : m_owner(owner) {}
    void detach() { m_owner = nullptr; }
    void slectedData(const std::vector<std::string>& checked, bool excludeStrelka,
                     bool excludeFake) override {
        if (m_owner != nullptr) {
            m_owner->slectedData(checked, excludeStrelka, excludeFake);
        }
    }

private:
    ViewController* m_owner;
};

ViewController::ViewController(Dependencies dependencies)
    : m_window(dependencies.window)
    , m_dispatcher(dependencies.dispatcher)
    , m_pacer(dependencies.pacer)
    , m_localizer(dependencies.localizer)
    , m_presenter(dependencies.presenter)
    , m_makeLink(std::move(dependencies.makeLink))
    , m_server(std::move(dependencies.server))
    , m_onSequenceEnded(std::move(dependencies.onSequenceEnded))
    , m_stop(std::move(dependencies.stop))
    , m_log(std::move(dependencies.log))
    , m_delegate(std::make_shared<Delegate>(this)) {}

ViewController::~ViewController() {
    requestStop();
    waitForWorkers();
    m_delegate->detach();
}

void ViewController::viewDidLoad() { m_window.viewDidLoad(m_localizer); }

std::string ViewController::L(const char* key) const { return m_localizer.L(key); }

void ViewController::ui(const std::function<void()>& change) {
    if (!stopping()) {
        m_dispatcher.runAndWait(change);
    }
}

void ViewController::post(int progress) {
    const std::string value = std::to_string(progress);
    ui([&] { m_window.setProgBar(value); });
}

bool ViewController::pause(double seconds) {
    if (stopping()) {
        return false;
    }
    const bool elapsed = m_pacer.pause(seconds);
    return elapsed && !stopping();
}

void ViewController::startWorker(Worker& worker, void (ViewController::*body)()) {
    worker.thread = std::thread([this, body] { (this->*body)(); });
    worker.id = worker.thread.get_id();
}

// ---- Connect sequence ----

void ViewController::btn_Start() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_connectStarted) {
            return;
        }
        m_connectStarted = true;
    }
    m_window.setHidden(Element::imageView_logo_download, true);
    m_window.setInfoUpperLabel(L("str_searching_device"));
    m_window.setInfoLabel(L("str_empty"));
    m_window.setHidden(Element::circle_progressbar_connect, false);
    m_window.setHidden(Element::circle_progressbar_download, true);
    m_window.setAnimating(Element::circle_progressbar_connect, true);
    m_window.setBtnConnect("NO");
    m_window.setBtnDownload("NO");
    const std::lock_guard lock(m_mutex);
    startWorker(m_connectThread, &ViewController::threadDownLoadBinartFile);
}

void ViewController::threadDownLoadBinartFile() {
    Outcome outcome = Outcome::Failed;
    try {
        outcome = runConnectSequence();
    } catch (const std::exception& e) {
        outcome = connectFailedUnexpectedly(typeName(e), e.what());
    } catch (...) {
        outcome = connectFailedUnexpectedly("unknown exception", "no reason given");
    }
    finishSequence(false, outcome);
}

ViewController::Outcome ViewController::connectFailedUnexpectedly(const std::string& name,
                                                                  const std::string& reason) {
    const std::string line = "EE " + name + " , " + reason + " ";
    if (m_log) {
        m_log(line);
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    if (stopping()) {
        return Outcome::Stopped;
    }
    return showConnectFailure(reason);
}

ViewController::Outcome ViewController::showConnectFailure(const std::string& reason) {
    // Not left spinning: the user sees the failure and its reason.
    ui([&] {
        m_window.setAnimating(Element::circle_progressbar_connect, false);
        m_window.setHidden(Element::circle_progressbar_connect, true);
        m_window.setTextColour(Element::txt_Infomation_upper, Colour::Red);
        m_window.setTextColour(Element::txt_Infomation, Colour::Red);
        m_window.setInfoUpperLabel("Error");
        m_window.setInfoLabel(reason);
        m_window.setBtnConnect("NO");
        m_window.setBtnDownload("NO");
    });
    return Outcome::Failed;
}

ViewController::Outcome ViewController::runConnectSequence() {
    m_deviceInfoRead = false;
    // 1. The link, and the wait for a device.
    std::unique_ptr<MassStorageController> created =
        m_makeLink ? m_makeLink() : std::make_unique<MassStorageController>();
    if (!created) {
        throw std::runtime_error("no USB link could be created");
    }
    MassStorageController& link = *created;
    {
        const std::lock_guard lock(m_mutex);
        m_massStorageController = std::move(created);
    }
    // A stop requested before the link was published did not reach it.
    if (stopping()) {
        return Outcome::Stopped;
    }
    link.setSkipListener(
        [this](const std::optional<usb::SkipReason>& reason) { showSkippedDevice(reason); });
    link.MassStorageControllerInit(m_stop.get_token());
    if (stopping()) {
        return Outcome::Stopped;
    }
    // Without a USB library no device can ever arrive: waiting would be for ever.
    if (const auto failure = link.startFailure()) {
        return showConnectFailure(*failure);
    }
    post(16);
    if (!pause(kDeviceSettleSeconds)) {
        return Outcome::Stopped;
    }
    while (!link.Check_UsbConnection()) {
        if (!pause(kDevicePollSeconds)) {
            return Outcome::Stopped;
        }
    }

    // 5. The record, then identification.
    auto record = std::make_shared<ConnectedTargetInfo>();
    {
        const std::lock_guard lock(m_mutex);
        m_connectedTargetInfo = record;
    }
    post(27);
    if (!pause(kStepSeconds)) {
        return Outcome::Stopped;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_connectedTargetInit = std::make_unique<ConnectedTargetInit>();
    }
    bool flag = m_connectedTargetInit->ConnectedDeviceInit(*record, link);
    post(38);
    if (!pause(kStepSeconds)) {
        return Outcome::Stopped;
    }

    // 10. Network, device information, update type.
    if (flag) {
        ui([&] {
            m_window.setInfoUpperLabel(L("str_connect_server"));
            m_window.setInfoLabel(L("str_empty"));
        });
        {
            const std::lock_guard lock(m_mutex);
            m_webServer_CheckInternet = std::make_unique<WebServer_CheckInternet>(m_server);
        }
        flag = flag && m_webServer_CheckInternet->isNetworkAvailable();
        if (stopping()) {
            return Outcome::Stopped;
        }
        if (!flag) {
            record->setErrorMessage(L("str_check_internet"));
        }
    }
    if (flag) {
        {
            const std::lock_guard lock(m_mutex);
            m_webServer_GetDeviceInfo = std::make_unique<WebServer_GetDeviceInfo>(m_server);
        }
        flag = flag && m_webServer_GetDeviceInfo->getDeviceInfo(*record);
        m_deviceInfoRead = flag;
        post(47);
        if (!pause(kStepSeconds)) {
            return Outcome::Stopped;
        }
    }
    if (record->UpdateType() != 0) {
        flag = false;
        record->setErrorMessage("Device does not supported");
    }

    // 13. Versions, database, firmware, version decision.
    if (flag) {
        flag = m_connectedTargetInit->getConnectedDeviceCurrentVersion(*record, link);
        post(57);
        if (!pause(kStepSeconds)) {
            return Outcome::Stopped;
        }
    }
    if (flag) {
        {
            const std::lock_guard lock(m_mutex);
            m_webServer_GetDataBase = std::make_unique<WebServer_GetDataBase>(m_server);
        }
        flag = flag && m_webServer_GetDataBase->getDatabase(*record);
        post(67);
        if (!pause(kStepSeconds)) {
            return Outcome::Stopped;
        }
    }
    if (flag) {
        {
            const std::lock_guard lock(m_mutex);
            m_webServer_GetFirmware = std::make_unique<WebServer_GetFirmware>(m_server);
        }
        flag = flag && m_webServer_GetFirmware->getFirmware(*record);
        post(78);
        if (!pause(kStepSeconds)) {
            return Outcome::Stopped;
        }
    }
    if (flag) {
        {
            const std::lock_guard lock(m_mutex);
            m_webServer_CheckVersion = std::make_unique<WebServer_CheckVersion>();
        }
        flag = flag && m_webServer_CheckVersion->CheckUpdateVersion(*record);
        if (!flag) {
            // Instead of the record's "Not Error": which image has no version, and why.
            record->setErrorMessage(WebServer_CheckVersion::noVersionText(
                *record, m_webServer_GetFirmware->imageFetch(WebServer_GetFirmware::kGpsImage),
                m_webServer_GetFirmware->imageFetch(WebServer_GetFirmware::kRdImage)));
        }
        post(88);
        if (!pause(kStepSeconds)) {
            return Outcome::Stopped;
        }
    }
    if (flag) {
        flag = flag && m_webServer_CheckVersion->SetUpdateOption(*record);
    }
    if (stopping()) {
        return Outcome::Stopped;
    }
    post(100);

    // 19. The option check box by update type: hidden, ticked, enabled, caption.
    std::string row;
    switch (record->UpdateType()) {
    case 1:
    case 4:
        row = record->ConnectedDevice_Enable_GPS_Firmware() != 0 ? "NO,YES,NO,GUI AUDIO"
                                                                 : "NO,NO,YES,GUI AUDIO";
        break;
    case 3:
        row = "NO,NO,YES,STRELKA";
        break;
    default:
        row = "YES,NO,NO,NONE";
        break;
    }
    ui([&] { m_window.setCheckbox_gui(row); });
    ui([&] { m_window.setHidden(Element::circle_progressbar_connect, true); });

    if (flag) {
        // Before the download button is enabled, so a click on it finds the connect done.
        m_connectOutcome = Outcome::Succeeded;
        const std::string panel =
            joined({"NO", record->ConnectedDevice_Name(),
                    record->ConnectedDevice_Version_GPS_Current_detail(),
                    record->ConnectedDevice_Version_RD_Current_detail(), "NORMAL"});
        ui([&] {
            m_window.setDeviceLabel(panel);
            m_window.setQVTDB("NO,v2.1.E");
            m_window.setInfoUpperLabel(L("str_clickDownload"));
            m_window.setInfoLabel(L("str_empty"));
            m_window.setBtnConnect("NO");
            m_window.setBtnDownload("YES");
        });
    } else {
        const std::string error = record->ErrorMessage();
        ui([&] {
            m_window.setTextColour(Element::txt_Infomation_upper, Colour::Red);
            m_window.setTextColour(Element::txt_Infomation, Colour::Red);
            m_window.setInfoUpperLabel("Error");
            m_window.setInfoLabel(error);
            m_window.setBtnConnect("NO");
            m_window.setBtnDownload("NO");
        });
    }
    return flag ? Outcome::Succeeded : Outcome::Failed;
}

void ViewController::showSkippedDevice(const std::optional<usb::SkipReason>& reason) {
    const char* key = nullptr;
    if (reason && reason->kind == usb::SkipKind::NotPermitted) {
        key = "str_device_not_permitted";
    } else if (reason && reason->kind == usb::SkipKind::Busy) {
        key = "str_device_busy";
    }
    if (key != nullptr) {
        m_skipShown = true;
        const std::string text = L(key);
        ui([&] { m_window.setInfoLabel(text); });
    } else if (m_skipShown) {
        // Another kind of skip, or a device opened: the fix shown no longer applies.
        m_skipShown = false;
        const std::string empty = L("str_empty");
        ui([&] { m_window.setInfoLabel(empty); });
    }
}

void ViewController::finishSequence(bool downloadSequence, Outcome outcome) {
    (downloadSequence ? m_downloadOutcome : m_connectOutcome).store(outcome);
    if (outcome != Outcome::Stopped && m_onSequenceEnded) {
        ui([&] { m_onSequenceEnded(downloadSequence, outcome); });
    }
}

// ---- Download sequence ----

void ViewController::btn_DownloadStart() {
    std::shared_ptr<ConnectedTargetInfo> record;
    {
        const std::lock_guard lock(m_mutex);
        if (m_downloadStarted || m_connectOutcome.load() != Outcome::Succeeded) {
            return;
        }
        record = m_connectedTargetInfo;
    }
    if (!record) {
        return;
    }
    auto dialog = std::make_shared<SelectionDBViewController>();
    dialog->setDataValue(record->Country_Name(), record->Country_SpeedCam_Num(),
                         record->Country_Strelka_Num(), record->Country_Fake_Num(),
                         record->Country_Total_Num());
    dialog->setDelegate(m_delegate);
    dialog->viewDidLoad();
    m_presenter.present(std::move(dialog));
}

void ViewController::slectedData(const std::vector<std::string>& checked, bool excludeStrelka,
                                 bool excludeFake) {
    std::shared_ptr<ConnectedTargetInfo> record;
    WebServer_GetDataBase* database = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        if (m_downloadStarted || m_connectOutcome.load() != Outcome::Succeeded) {
            return;
        }
        m_downloadStarted = true;
        record = m_connectedTargetInfo;
        database = m_webServer_GetDataBase.get();
    }
    if (!record || database == nullptr) {
        return;
    }
    // Entries the answer lacks keep what the fetch left ("NO").
    const SharedList previous = record->Country_Checked();
    auto marks = previous ? std::make_shared<List>(*previous) : std::make_shared<List>();
    const std::size_t total = record->Country_Total_Num();
    if (marks->size() < total) {
        marks->resize(total, ListEntry{std::string("NO")});
    }
    for (std::size_t i = 0; i < std::min(total, checked.size()); ++i) {
        (*marks)[i] = checked[i];
    }
    record->setCountry_Checked(std::move(marks));
    record->setIsExcludeStrelka(excludeStrelka ? 1 : 0);
    record->setIsExcludeFake(excludeFake ? 1 : 0);

    m_window.setEnabled(Element::checkbox_gui_audio, false);
    m_window.setHidden(Element::circle_progressbar_download, false);
    m_window.setAnimating(Element::circle_progressbar_download, true);

    if (database->reParsingForOriginal(*record)) {
        const std::lock_guard lock(m_mutex);
        startWorker(m_downloadThread, &ViewController::thread_Download);
        return;
    }
    m_window.setDeviceLabel(
        joined({"NO", record->ConnectedDevice_Name(), "Update Failed", "Update Failed", "FAIL"}));
    m_window.setInfoUpperLabel(L("str_download_fail"));
    m_window.setInfoLabel("Error - 701");
    m_window.setBtnConnect("NO");
    m_window.setBtnDownload("NO");
    m_downloadOutcome = Outcome::Failed;
    if (m_onSequenceEnded) {
        m_onSequenceEnded(true, Outcome::Failed);
    }
}

void ViewController::thread_Download() {
    m_writing = true;
    Outcome outcome = Outcome::Failed;
    try {
        outcome = runDownloadSequence();
    } catch (const std::exception& e) {
        // Nothing may escape a worker thread; the run ends as a failed download.
        m_writing = false;
        const std::string reason = e.what();
        const auto record = connectedTargetInfo();
        const std::string failed =
            joined({"NO", record ? record->ConnectedDevice_Name() : std::string{}, "Update Failed",
                    "Update Failed", "FAIL"});
        ui([&] {
            m_window.setHidden(Element::circle_progressbar_download, true);
            m_window.setDeviceLabel(failed);
            m_window.setInfoUpperLabel(L("str_download_fail"));
            m_window.setInfoLabel(reason);
            m_window.setBtnConnect("NO");
            m_window.setBtnDownload("NO");
        });
        outcome = stopping() ? Outcome::Stopped : Outcome::Failed;
    }
    m_writing = false;
    finishSequence(true, outcome);
}

bool ViewController::runStage(const char* upperKey, const char* errorText,
                              ConnectedTargetInfo& record, bool& flag,
                              const std::function<bool()>& body) {
    const std::string upper = L(upperKey);
    ui([&] {
        m_window.setInfoUpperLabel(upper);
        m_window.setInfoLabel("0 %");
    });
    flag = body() && flag;
    if (stopping()) {
        return false;
    }
    if (!flag) {
        record.setErrorMessage(errorText);
    }
    return pause(kStepSeconds);
}

bool ViewController::writeBlock(MassStorageController& link, std::uint8_t selector,
                                std::uint32_t address, const Bytes& block) {
    if (stopping() || block.empty()) {
        return false;
    }
    return link.WriteToDevice(selector, address, block, static_cast<std::uint32_t>(block.size()),
                              link);
}

ViewController::Outcome ViewController::runDownloadSequence() {
    m_imagePagesWritten = 0;
    std::shared_ptr<ConnectedTargetInfo> recordShared;
    MassStorageController* linkPointer = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        recordShared = m_connectedTargetInfo;
        linkPointer = m_massStorageController.get();
    }
    if (!recordShared || linkPointer == nullptr) {
        return Outcome::Failed;
    }
    ConnectedTargetInfo& record = *recordShared;
    MassStorageController& link = *linkPointer;
    bool flag = true;

    const std::string downloading = joined(
        {"NO", record.ConnectedDevice_Name(), record.ConnectedDevice_Version_GPS_Update_detail(),
         record.ConnectedDevice_Version_RD_Update_detail(), "DOWNLOADING"});
    ui([&] {
        m_window.setDeviceLabel(downloading);
        m_window.setBtnConnect("NO");
        m_window.setBtnDownload("NO");
        m_window.setProgBar("0");
    });

    // An image that is absent fails its stage without a write.
    const auto writeImage = [&](const SharedBytes& image, std::uint32_t start,
                                std::uint32_t pageSize, std::uint32_t selector,
                                std::uint32_t cutStart, std::uint32_t cutEnd) {
        return image && downloadToDevice(link, *image, start, pageSize, selector, cutStart, cutEnd);
    };

    if (record.ConnectedDevice_Enable_RD_Firmware() != 0) {
        const bool go =
            runStage("str_FW_downloading_coment_RD", "RD Firmware Error", record, flag, [&] {
                // The verify block claims the new version: only after a
                // good image.
                return writeImage(record.Download_Firmware_RD(), record.Info_RD_App_StartAddress(),
                                  record.Info_RD_App_PageSize(), 1,
                                  record.Info_RD_Binary_Cut_StartAddress(),
                                  record.Info_RD_Binary_Cut_EndAddress()) &&
                       writeBlock(
                           link, 1, kRdVerifyBlockAddress,
                           verifyBlock(record.VerifyBlock_RD_UpdateData().value_or(std::string{}),
                                       kRdVerifyBlockLength));
            });
        if (!go) {
            return Outcome::Stopped;
        }
    }

    // The GPS image is written even when its version was current.
    record.setConnectedDevice_Enable_GPS_Firmware(1);
    if (flag) {
        const bool go =
            runStage("str_FW_downloading_coment_GPS", "GPS Firmware Error", record, flag, [&] {
                return writeImage(
                    record.Download_Firmware_GPS(), record.Info_GPS_App_StartAddress(),
                    record.Info_GPS_App_PageSize(), record.isIncludeStar() != 0 ? 1 : 0,
                    record.Info_GPS_Binary_Cut_StartAddress(),
                    record.Info_GPS_Binary_Cut_EndAddress());
            });
        if (!go) {
            return Outcome::Stopped;
        }
    }

    if (record.ConnectedDevice_Enable_DATABASE_Firmware() != 0 && flag) {
        const bool go =
            runStage("str_FW_downloading_coment_DB", "DB Firmware Error", record, flag, [&] {
                const SharedBytes image = record.Download_Firmware_DATABASE();
                if (!image) {
                    return false;
                }
                return writeImage(image, record.Info_DataBase_SaveAddress(),
                                  record.Info_DataBase_PageSize(), 0, 4,
                                  static_cast<std::uint32_t>(image->size())) &&
                       writeBlock(link, 0, kDatabaseHeaderAddress, databaseHeaderBlock(*image)) &&
                       writeBlock(
                           link, 0, record.Info_VerifyBlock_GPS_Address(),
                           verifyBlock(record.VerifyBlock_GPS_UpdateData().value_or(std::string{}),
                                       kGpsVerifyBlockLength));
            });
        if (!go) {
            return Outcome::Stopped;
        }
    }

    ui([&] { m_window.setHidden(Element::circle_progressbar_download, true); });

    if (!flag) {
        const std::string error = record.ErrorMessage();
        const std::string failed =
            joined({"NO", record.ConnectedDevice_Name(), "Update Failed", "Update Failed", "FAIL"});
        ui([&] {
            m_window.setDeviceLabel(failed);
            m_window.setInfoUpperLabel(L("str_download_fail"));
            m_window.setInfoLabel(error);
            m_window.setBtnConnect("NO");
            m_window.setBtnDownload("NO");
        });
        return stopping() ? Outcome::Stopped : Outcome::Failed;
    }

    if (m_connectedTargetInit) {
        m_connectedTargetInit->getConnectedDeviceCurrentVersion(record, link);
    }
    m_writing = false;
    const std::string complete = joined(
        {"NO", record.ConnectedDevice_Name(), record.ConnectedDevice_Version_GPS_Current_detail(),
         record.ConnectedDevice_Version_RD_Current_detail(), "COMPLETE"});
    ui([&] {
        m_window.setDeviceLabel(complete);
        m_window.setInfoUpperLabel(L("str_download_success"));
        m_window.setInfoLabel(L("str_finish_coment"));
        m_window.setBtnConnect("NO");
        m_window.setBtnDownload("NO");
    });
    if (stopping()) {
        return Outcome::Stopped;
    }
    // The answer cannot change the outcome shown.
    (void)m_server.request(kFinishPath, record.SsId());
    return Outcome::Succeeded;
}

// ---- Write loop ----

Bytes ViewController::verifyBlock(const std::string& text, std::uint32_t length) {
    Bytes block(length, kErased);
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), length), block.begin());
    return block;
}

Bytes ViewController::databaseHeaderBlock(const Bytes& image) {
    if (image.size() < 4) {
        return {};
    }
    Bytes block(kDatabaseHeaderLength, 0x00);
    block[0] = image[3];
    block[1] = image[2];
    block[2] = static_cast<std::uint8_t>(image[3] ^ 0xFFU);
    block[3] = static_cast<std::uint8_t>(image[2] ^ 0xFFU);
    return block;
}

bool ViewController::downloadToDevice(const Bytes& image, std::uint32_t startAddress,
                                      std::uint32_t pageSize, std::uint32_t memorySelector,
                                      std::uint32_t cutStart, std::uint32_t cutEnd) {
    MassStorageController* link = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        link = m_massStorageController.get();
    }
    if (link == nullptr) {
        return false;
    }
    return downloadToDevice(*link, image, startAddress, pageSize, memorySelector, cutStart, cutEnd);
}

bool ViewController::downloadToDevice(MassStorageController& link, const Bytes& image,
                                      std::uint32_t startAddress, std::uint32_t pageSize,
                                      std::uint32_t memorySelector, std::uint32_t cutStart,
                                      std::uint32_t cutEnd) {
    // Sound limits first: a page the link cannot move, or a cut that runs backwards, would
    // otherwise write nonsense or gigabytes.
    if (pageSize == 0 || pageSize > kMaxPageSize || cutEnd < cutStart) {
        return false;
    }
    const std::uint64_t span = cutEnd - cutStart;
    const std::uint64_t total = (span + pageSize - 1) / pageSize * pageSize;
    const double pagePause =
        memorySelector == 1 ? kSelectorOnePageSeconds : kSelectorZeroPageSeconds;
    const auto selector = static_cast<std::uint8_t>(memorySelector);

    Bytes page(pageSize);
    Bytes readBack(pageSize);
    std::uint64_t source = cutStart;
    for (std::uint64_t offset = 0; offset < total; offset += pageSize) {
        if (stopping()) {
            return false;
        }
        // Bytes past the image read as erased, like the working copy's padding page.
        for (std::uint32_t i = 0; i < pageSize; ++i) {
            const std::uint64_t at = source + i;
            page[i] = at < image.size() ? image[static_cast<std::size_t>(at)] : kErased;
        }
        source += pageSize;
        const auto address = static_cast<std::uint32_t>(startAddress + offset);

        if (!link.WriteToDevice(selector, address, page, pageSize, link)) {
            return false;
        }
        ++m_imagePagesWritten;
        if (!pause(pagePause)) {
            return false;
        }
        if (!link.ReadFromDevice(selector, address, readBack, pageSize, link)) {
            return false;
        }
        if (!pause(pagePause)) {
            return false;
        }
        if (page != readBack) {
            return false;
        }
        const auto percent = static_cast<int>((offset + pageSize) * 100 / total);
        post(percent);
        const std::string label = std::to_string(percent) + " %";
        ui([&] { m_window.setInfoLabel(label); });
    }
    return true;
}

// ---- Stop and state ----

void ViewController::requestStop() {
    m_stop.request_stop();
    {
        const std::lock_guard lock(m_mutex);
        if (m_massStorageController) {
            m_massStorageController->requestStop();
        }
    }
    if (const auto& client = m_server.client()) {
        client->stop();
    }
}

bool ViewController::isWriting() const { return m_writing.load(); }

void ViewController::waitForWorkers() {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(m_mutex);
    for (Worker* worker : {&m_connectThread, &m_downloadThread}) {
        if (worker->id == self) {
            continue;
        }
        // Another caller joins it: its end is what this caller waits for too.
        m_workerJoined.wait(lock, [worker] { return !worker->joining; });
        if (!worker->thread.joinable()) {
            continue;
        }
        worker->joining = true;
        std::thread joining = std::move(worker->thread);
        lock.unlock();
        joining.join();
        lock.lock();
        worker->joining = false;
        m_workerJoined.notify_all();
    }
}

ViewController::Outcome ViewController::connectOutcome() const { return m_connectOutcome.load(); }

ViewController::Outcome ViewController::downloadOutcome() const { return m_downloadOutcome.load(); }

bool ViewController::deviceInfoRead() const { return m_deviceInfoRead.load(); }

std::uint32_t ViewController::imagePagesWritten() const { return m_imagePagesWritten.load(); }

std::shared_ptr<ConnectedTargetInfo> ViewController::connectedTargetInfo() const {
    const std::lock_guard lock(m_mutex);
    return m_connectedTargetInfo;
}

MassStorageController* ViewController::massStorageController() const {
    const std::lock_guard lock(m_mutex);
    return m_massStorageController.get();
}

WebServer_GetDataBase* ViewController::webServer_GetDataBase() const {
    const std::lock_guard lock(m_mutex);
    return m_webServer_GetDataBase.get();
}

ConnectedTargetInit* ViewController::connectedTargetInit() const {
    const std::lock_guard lock(m_mutex);
    return m_connectedTargetInit.get();
}
