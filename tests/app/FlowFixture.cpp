#include "app/FlowFixture.hpp"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace flow_testing {

namespace {

constexpr std::uint32_t kImageBase = 0x08000000;
constexpr std::uint32_t kGpsStart = 0x08004000;
constexpr std::uint32_t kRdStart = 0x08003000;
constexpr std::string_view kMarker = "BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2012~";

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

} // namespace

std::vector<std::string> layoutInfo(std::uint32_t gpsEnd, std::uint32_t rdEnd,
                                    const std::string& updateType) {
    return {hex(kGpsStart), hex(gpsEnd),  "0x100",      "true",    hex(kRdStart), hex(rdEnd),
            "0x400",        "true",       "0x00000000", "0x4",     "0x1000",      "true",
            "FLASH",        "0x00100000", "0x100",      "false",   "FLASH",       "0x00200000",
            "0x100",        "false",      "MCU",        updateType};
}

std::vector<std::uint8_t> firmwareImage(std::uint32_t start, std::uint32_t end,
                                        const std::string& key, const std::string& tag,
                                        const std::optional<std::string>& version,
                                        std::uint8_t seed) {
    std::vector<std::uint8_t> image(end - kImageBase, 0xFF);
    std::uint32_t state = seed * 2654435761U + 1U;
    for (std::size_t i = start - kImageBase; i < image.size(); ++i) {
        state = state * 1664525U + 1013904223U;
        image[i] = static_cast<std::uint8_t>(state >> 24U);
    }
    if (version) {
        const std::string block = std::string(kMarker) + "$:" + key + tag + *version;
        const std::size_t at = start - kImageBase + 0x400;
        for (std::size_t i = 0; i < 60; ++i) {
            image[at + i] = i < block.size() ? static_cast<std::uint8_t>(block[i]) : 0xFF;
        }
    }
    return image;
}

sim::UpdateCatalog smallCatalog(const std::string& updateType, bool gpsVersionBlock,
                                const std::string& keyword, const std::string& key) {
    sim::UpdateCatalog catalog;
    sim::CatalogModel model;
    model.keyword = keyword;
    // 32 GPS pages of 0x100 (a page size that reads the GPS version block where it lies) and
    // four RD pages of 0x400.
    model.info = layoutInfo(0x08006000, 0x08004000, updateType);
    model.firmware = {"rd.bin", "gps.bin", "", ""};
    model.images["rd.bin"] = firmwareImage(kRdStart, 0x08004000, key, "RD", "1605101000", 1);
    model.images["gps.bin"] =
        firmwareImage(kGpsStart, 0x08006000, key, "GX",
                      gpsVersionBlock ? std::optional<std::string>("1606011200") : std::nullopt, 2);
    model.databaseId = "DB5810";
    catalog.models.push_back(model);
    catalog.countries = {"Alpha", "Bravo", "Charlie", "Delta"};
    catalog.cameras = {
        "0,55.100000,37.200000,90,60,0,Alpha",   "9,55.200000,37.300000,90,60,0,Alpha",
        "1,55.300000,37.400000,180,40,0,Alpha",  "2,50.100000,30.200000,0,40,0,Bravo",
        "0,50.200000,30.300000,45,60,0,Bravo",   "3,41.100000,44.700000,270,90,12,Charlie",
        "9,41.200000,44.800000,10,50,0,Charlie", "4,41.300000,44.900000,20,70,0,Charlie",
        "5,59.400000,24.700000,30,80,0,Delta",
    };
    return catalog;
}

sim::DeviceProfile profile(const std::string& file) {
    return sim::DeviceProfile::load(std::string(DETECTOR_PROFILES_DIR) + "/" + file);
}

std::string describeWrite(std::uint8_t selector, std::uint32_t address, std::uint32_t length) {
    return "sel=" + std::to_string(selector) + " addr=" + hex(address) +
           " len=" + std::to_string(length);
}

FlowRig::FlowRig(sim::UpdateCatalog catalog, sim::DeviceProfile deviceProfile, Pacer* pacer)
    : server(std::move(catalog))
    , detector(std::make_shared<sim::VirtualDetector>(std::move(deviceProfile))) {
    pacerInUse = pacer != nullptr ? pacer : &recordingPacer;
    window.viewDidLoad(texts());
    window.setListener([this](const ElementChange& change) { changes.push_back(change); });
    rebuild();
}

void FlowRig::rebuild() {
    controller.reset();
    auto device = detector;
    controller = std::make_unique<ViewController>(ViewController::Dependencies{
        .window = window,
        .dispatcher = dispatcher,
        .pacer = *pacerInUse,
        .localizer = texts(),
        .presenter = presenter,
        .makeLink = makeLink ? makeLink
                             : [device] {
                                   return std::make_unique<MassStorageController>(
                                       std::shared_ptr<usb::UsbTransport>(device));
                               },
        .server = server.access(),
        .onSequenceEnded =
            [this](bool download, ViewController::Outcome outcome) {
                ended.emplace_back(download, outcome);
            },
        .log = [this](const std::string& line) { logLines.push_back(line); },
    });
}

FlowRig::~FlowRig() { controller.reset(); }

void FlowRig::connect() {
    controller->btn_Start();
    controller->waitForWorkers();
}

void FlowRig::download() {
    controller->btn_DownloadStart();
    controller->waitForWorkers();
}

std::vector<int> FlowRig::progress() const {
    std::vector<int> values;
    for (const auto& c : changes) {
        if (c.element == Element::progressbar_download && c.property == Property::Value) {
            values.push_back(static_cast<int>(c.state.value));
        }
    }
    return values;
}

std::vector<std::string> FlowRig::lowerTexts() const {
    std::vector<std::string> values;
    for (const auto& c : changes) {
        if (c.element == Element::txt_Infomation && c.property == Property::Text) {
            values.push_back(c.state.text);
        }
    }
    return values;
}

std::vector<std::string> FlowRig::writes() const {
    std::vector<std::string> lines;
    for (const auto& t : detector->trace()) {
        if (t.operation == sim::Operation::Write) {
            lines.push_back(describeWrite(t.selector, t.address, t.length));
        }
    }
    return lines;
}

std::size_t FlowRig::writeCount() const { return writes().size(); }

std::vector<std::string> FlowRig::finishRequests() {
    std::vector<std::string> found;
    for (const auto& r : server.sim().requests()) {
        if (r.rfind("/qvt_database/finish/", 0) == 0) {
            found.push_back(r);
        }
    }
    return found;
}

} // namespace flow_testing
