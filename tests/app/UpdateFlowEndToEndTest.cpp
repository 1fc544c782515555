#include "app/FlowFixture.hpp"
#include "sim/VirtualUsbBus.hpp"
#include "support/TestSupport.hpp"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <unordered_map>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using flow_testing::describeWrite;
using flow_testing::FlowRig;
using flow_testing::profile;
using flow_testing::smallCatalog;
using testing::ElementsAre;
using testing::ElementsAreArray;
using Outcome = ViewController::Outcome;
using E = Element;

namespace {

constexpr std::uint32_t kImageBase = 0x08000000;
constexpr std::string_view kMarker = "BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2012~";
constexpr const char* kGpsVersion = "1606011200";
constexpr const char* kRdVersion = "1605101000";

struct Write {
    std::uint8_t selector;
    std::uint32_t address;
    Bytes bytes;
};

std::uint32_t infoHex(const sim::CatalogModel& model, std::size_t field) {
    return static_cast<std::uint32_t>(std::stoul(model.info.at(field), nullptr, 16));
}

void addPages(std::vector<Write>& plan, const Bytes& image, std::uint32_t start, std::uint32_t page,
              std::uint8_t selector, std::uint32_t cutStart, std::uint32_t cutEnd) {
    for (std::uint32_t offset = 0; cutStart + offset < cutEnd; offset += page) {
        Bytes bytes(page, 0xFF);
        for (std::uint32_t i = 0; i < page; ++i) {
            if (cutStart + offset + i < image.size()) {
                bytes[i] = image[cutStart + offset + i];
            }
        }
        plan.push_back({selector, start + offset, std::move(bytes)});
    }
}

Bytes textBlock(const std::string& text, std::size_t length) {
    Bytes block(length, 0xFF);
    std::copy_n(text.begin(), std::min(text.size(), length), block.begin());
    return block;
}

struct Expectation {
    bool rd = true;
    std::uint8_t gpsSelector = 0;
    Bytes database;
    std::string strDate;
    std::string key = "5810";
    std::string gpsVersion = kGpsVersion;
    std::string rdVersion = kRdVersion;
};

// The writes a full update must make, worked out from the catalog's model alone.
std::vector<Write> plannedWrites(const sim::CatalogModel& model, const Expectation& x) {
    std::vector<Write> plan;
    const Bytes& rd = model.images.at(model.firmware[0]);
    const Bytes& gps = model.images.at(model.firmware[1]);
    if (x.rd) {
        const std::uint32_t start = infoHex(model, 4);
        addPages(plan, rd, start, infoHex(model, 6), 1, start - kImageBase,
                 infoHex(model, 5) - kImageBase);
        plan.push_back({1, 0x08001C00,
                        textBlock(std::string(kMarker) + "$:" + x.key + "RD" + x.rdVersion, 1024)});
    }
    const std::uint32_t gpsStart = infoHex(model, 0);
    addPages(plan, gps, gpsStart, infoHex(model, 2), x.gpsSelector, gpsStart - kImageBase,
             infoHex(model, 1) - kImageBase);
    addPages(plan, x.database, infoHex(model, 9), infoHex(model, 10), 0, 4,
             static_cast<std::uint32_t>(x.database.size()));
    Bytes header(256, 0x00);
    header[0] = x.database[3];
    header[1] = x.database[2];
    header[2] = static_cast<std::uint8_t>(~x.database[3]);
    header[3] = static_cast<std::uint8_t>(~x.database[2]);
    plan.push_back({0, 0x0801FF00, header});
    plan.push_back(
        {0, 0x08002F00,
         textBlock(std::string(kMarker) + "$:" + x.key + "GX" + x.strDate + x.gpsVersion.substr(6),
                   256)});
    return plan;
}

// The device keeps a page at block x length, the block being address / length.
std::uint32_t placed(const Write& w) {
    const auto length = static_cast<std::uint32_t>(w.bytes.size());
    return w.address / length * length;
}

// Every write of the plan, and nothing else, went to the device in this order, and the device
// memory holds the bytes the last write to each place left there. A last write that the device
// never took (it was gone) is only in the trace.
void expectDeviceHolds(const FlowRig& rig, std::vector<Write> plan, bool lastLanded = true) {
    std::vector<std::string> expected;
    std::unordered_map<std::uint64_t, std::uint8_t> memory;
    for (const auto& w : plan) {
        expected.push_back(
            describeWrite(w.selector, placed(w), static_cast<std::uint32_t>(w.bytes.size())));
        for (std::size_t i = 0; i < w.bytes.size(); ++i) {
            memory[(std::uint64_t{w.selector} << 32U) + placed(w) + i] = w.bytes[i];
        }
    }
    ASSERT_THAT(rig.writes(), ElementsAreArray(expected));
    if (!lastLanded) {
        memory.clear();
        plan.pop_back();
        for (const auto& w : plan) {
            for (std::size_t i = 0; i < w.bytes.size(); ++i) {
                memory[(std::uint64_t{w.selector} << 32U) + placed(w) + i] = w.bytes[i];
            }
        }
    }
    std::size_t mismatches = 0;
    for (const auto& w : plan) {
        const auto onDevice = rig.detector->readMemory(w.selector, placed(w),
                                                       static_cast<std::uint32_t>(w.bytes.size()));
        for (std::size_t i = 0; i < w.bytes.size(); ++i) {
            if (onDevice[i] != memory[(std::uint64_t{w.selector} << 32U) + placed(w) + i]) {
                ++mismatches;
            }
        }
    }
    EXPECT_EQ(mismatches, 0U);
}

// Clicks the named countries, sets the boxes, presses select.
std::function<void(SelectionDBViewController&)> choose(std::vector<std::string> countries,
                                                       bool excludeStrelka, bool excludeFake) {
    return [=](SelectionDBViewController& d) {
        for (const auto& name : countries) {
            const auto& rows = d.arOptions();
            const auto at = std::find(rows.begin(), rows.end(), name);
            ASSERT_NE(at, rows.end()) << name;
            d.tableView_shouldSelectRow(static_cast<std::uint32_t>(at - rows.begin()));
        }
        if (excludeStrelka) {
            d.setCheckBox_StrelkaState(true);
            d.CheckBox_Strelka_Event();
        }
        if (excludeFake) {
            d.setCheckBox_FakeState(true);
            d.CheckBox_Fake_Event();
        }
        d.btn_Selecte_Click_Event();
    };
}

// Ten-thousandths of a degree as the device takes them: micro-degrees in double precision,
// truncated, then whole hundreds of them (so 55.1 may land on 550999, as on the device).
std::int32_t tenThousandths(const std::string& text) {
    return static_cast<std::int32_t>(std::stod(text) * 1000000.0) / 100;
}

// The database image for a choice, worked out from the catalog's camera lines without the
// client: fields read from the text, records packed bit by bit, the count big-endian, then every
// byte from the fourth on XORed with the device key.
Bytes databaseFor(FlowRig& rig, const sim::UpdateCatalog& catalog,
                  const std::set<std::string>& countries, bool excludeStrelka, bool excludeFake) {
    const auto keyList = rig.controller->connectedTargetInfo()->Info_T_Key();
    std::vector<std::uint8_t> key;
    for (const auto& entry : *keyList) {
        key.push_back(static_cast<std::uint8_t>(std::get<std::uint32_t>(entry)));
    }
    Bytes image(4, 0);
    std::uint32_t count = 0;
    for (const auto& line : catalog.cameras) {
        std::vector<std::string> f;
        std::size_t start = 0;
        for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos;
             start = comma + 1) {
            f.push_back(line.substr(start, comma - start));
        }
        f.push_back(line.substr(start));
        const int type = std::stoi(f[0]);
        if (countries.count(f[6]) == 0 || (excludeStrelka && type == 0) ||
            (excludeFake && type == 9)) {
            continue;
        }
        const auto bytes =
            testing_support::recordBitByBit(type, tenThousandths(f[1]), tenThousandths(f[2]),
                                            std::stoi(f[3]), std::stoi(f[4]) / 10, std::stoi(f[5]));
        image.insert(image.end(), bytes.bytes.begin(), bytes.bytes.end());
        ++count;
    }
    image[0] = static_cast<std::uint8_t>(count >> 24U);
    image[1] = static_cast<std::uint8_t>(count >> 16U);
    image[2] = static_cast<std::uint8_t>(count >> 8U);
    image[3] = static_cast<std::uint8_t>(count);
    for (std::size_t p = 4; p < image.size(); ++p) {
        image[p] ^= key[(p - 4) % key.size()];
    }
    return image;
}

// The record count the catalog gives for a choice, counted from its camera lines.
std::uint32_t catalogCount(const sim::UpdateCatalog& catalog,
                           const std::set<std::string>& countries, bool excludeStrelka,
                           bool excludeFake) {
    std::uint32_t count = 0;
    for (const auto& line : catalog.cameras) {
        const std::string type = line.substr(0, line.find(','));
        const std::string country = line.substr(line.rfind(',') + 1);
        if (countries.count(country) == 0 || (excludeStrelka && type == "0") ||
            (excludeFake && type == "9")) {
            continue;
        }
        ++count;
    }
    return count;
}

std::uint32_t countOf(const Bytes& image) {
    return (std::uint32_t{image[0]} << 24U) | (std::uint32_t{image[1]} << 16U) |
           (std::uint32_t{image[2]} << 8U) | image[3];
}

void expectComplete(FlowRig& rig, const std::string& gpsText, const std::string& rdText) {
    EXPECT_EQ(rig.controller->downloadOutcome(), Outcome::Succeeded);
    EXPECT_EQ(rig.state(E::txt_device_gps_version).text, gpsText);
    EXPECT_EQ(rig.state(E::txt_device_rd_version).text, rdText);
    EXPECT_EQ(rig.state(E::txt_device_gps_version).textColour, Colour::Green);
    EXPECT_EQ(rig.state(E::txt_device_rd_version).textColour, Colour::Green);
    EXPECT_EQ(rig.state(E::txt_Infomation_upper).text, "Done");
    EXPECT_EQ(rig.state(E::txt_Infomation).text, "Unplug");
    EXPECT_FALSE(rig.state(E::btn_connect).enabled);
    EXPECT_FALSE(rig.state(E::btn_download).enabled);
    EXPECT_TRUE(rig.state(E::circle_progressbar_download).hidden);
    EXPECT_EQ(rig.state(E::progressbar_download).value, 100.0);
    const auto record = rig.controller->connectedTargetInfo();
    EXPECT_THAT(rig.finishRequests(), ElementsAre("/qvt_database/finish/" + record->SsId() + "m"));
}

void expectFailed(FlowRig& rig, const std::string& lower) {
    EXPECT_EQ(rig.controller->downloadOutcome(), Outcome::Failed);
    EXPECT_EQ(rig.state(E::txt_device_gps_version).text, "Update Failed");
    EXPECT_EQ(rig.state(E::txt_device_rd_version).text, "Update Failed");
    EXPECT_EQ(rig.state(E::txt_device_gps_version).textColour, Colour::Red);
    EXPECT_EQ(rig.state(E::txt_Infomation_upper).text, "Failed");
    EXPECT_EQ(rig.state(E::txt_Infomation).text, lower);
    EXPECT_FALSE(rig.state(E::btn_connect).enabled);
    EXPECT_FALSE(rig.state(E::btn_download).enabled);
    EXPECT_TRUE(rig.finishRequests().empty());
}

sim::UpdateCatalog demoCatalog() {
    std::string error;
    auto catalog = sim::UpdateCatalog::load(DETECTOR_DEMO_CATALOG_DIR, error);
    EXPECT_TRUE(catalog.has_value()) << error;
    return catalog.value_or(sim::UpdateCatalog{});
}

const std::set<std::string> kSmallChoice{"Alpha", "Charlie"};

void connectAndChoose(FlowRig& rig) {
    rig.connect();
    ASSERT_EQ(rig.controller->connectOutcome(), Outcome::Succeeded);
    rig.presenter.script = choose({"Alpha", "Charlie"}, false, true);
}

} // namespace

// Bulk-only wrappers on the pipes, and whole transactions through a storage driver: the device
// must end up holding the same bytes.
class DemoUpdate : public ::testing::TestWithParam<sim::VirtualCarrier> {};

TEST_P(DemoUpdate, UpdatesTheSignatureDeviceByteForByte) {
    const auto catalog = demoCatalog();
    const auto* model = catalog.model("5810_SIGNATUREE");
    ASSERT_NE(model, nullptr);
    FlowRig rig(catalog, profile("signature-5810e.json"));
    auto bus = std::make_shared<sim::VirtualUsbBus>(GetParam());
    bus->plug(rig.detector);
    rig.makeLink = [bus] { return std::make_unique<MassStorageController>(bus); };
    rig.rebuild();
    // The replaced controller stopped the shared client on its way out.
    rig.server.access().client()->resume();
    rig.connect();
    ASSERT_EQ(rig.controller->connectOutcome(), Outcome::Succeeded)
        << rig.state(E::txt_Infomation).text;
    const std::set<std::string> chosen{"Россия", "Polska"};
    rig.presenter.script = choose({"Россия", "Polska"}, false, true);
    rig.download();
    ASSERT_EQ(rig.presenter.presented, 1);

    const auto record = rig.controller->connectedTargetInfo();
    Expectation x;
    x.database = databaseFor(rig, catalog, chosen, false, true);
    x.strDate = record->Info_strDate();
    // The versions tools/make-demo-catalog puts into this model's images.
    x.gpsVersion = "1606011300";
    x.rdVersion = "1605011000";
    EXPECT_EQ(countOf(x.database), catalogCount(catalog, chosen, false, true));
    expectDeviceHolds(rig, plannedWrites(*model, x));
    // The new GPS block carries the database date and the image version's last four digits.
    expectComplete(rig, "5810Gx" + x.strDate + "1300", "5810RD" + x.rdVersion);
    usb::releaseOpenInterface();
}

INSTANTIATE_TEST_SUITE_P(Carriers, DemoUpdate,
                         ::testing::Values(sim::VirtualCarrier::BulkOnly,
                                           sim::VirtualCarrier::PassThrough),
                         [](const auto& info) {
                             return info.param == sim::VirtualCarrier::BulkOnly ? "BulkOnly"
                                                                                : "PassThrough";
                         });

TEST(UpdateFlow, SmallCatalogWritesEveryStageInOrderAndShowsTheNewVersions) {
    const auto catalog = smallCatalog();
    FlowRig rig(catalog, profile("signature-5810e.json"));
    connectAndChoose(rig);
    rig.recordingPacer.clear();
    rig.changes.clear();
    rig.download();

    const auto record = rig.controller->connectedTargetInfo();
    Expectation x;
    x.database = databaseFor(rig, catalog, kSmallChoice, false, true);
    x.strDate = record->Info_strDate();
    // Alpha and Charlie without their Fake cameras: 2 + 2 records.
    EXPECT_EQ(countOf(x.database), 4U);
    EXPECT_EQ(catalogCount(catalog, kSmallChoice, false, true), 4U);
    const auto plan = plannedWrites(catalog.models[0], x);
    expectDeviceHolds(rig, plan);
    expectComplete(rig, "5810Gx" + x.strDate + "1200", std::string("5810RD") + kRdVersion);

    // Pauses: per RD page 2 x 0.15, stage pause; GPS pages 2 x 0.07; DB page 2 x 0.07.
    std::vector<double> pauses(8, 0.15);
    pauses.push_back(1.0);
    pauses.insert(pauses.end(), 64, 0.07);
    pauses.push_back(1.0);
    pauses.insert(pauses.end(), 2, 0.07);
    pauses.push_back(1.0);
    EXPECT_THAT(rig.recordingPacer.pauses(), ElementsAreArray(pauses));
    // Progress: 0, then each stage from its first page to 100.
    std::vector<int> progress{0, 25, 50, 75, 100};
    for (int page = 1; page <= 32; ++page) {
        const int percent = page * 100 / 32;
        if (percent != progress.back()) {
            progress.push_back(percent);
        }
    }
    progress.push_back(100); // the database's single page, after the GPS stage's 100
    // A value equal to the previous one is not a change of the bar.
    std::vector<int> changesOnly{progress.front()};
    for (std::size_t i = 1; i < progress.size(); ++i) {
        if (progress[i] != changesOnly.back()) {
            changesOnly.push_back(progress[i]);
        }
    }
    EXPECT_THAT(rig.progress(), ElementsAreArray(changesOnly));
    std::vector<std::string> uppers;
    for (const auto& c : rig.changes) {
        if (c.element == E::txt_Infomation_upper && c.property == Property::Text) {
            uppers.push_back(c.state.text);
        }
    }
    EXPECT_THAT(uppers, ElementsAre("Writing RD", "Writing GPS", "Writing DB", "Done"));
    EXPECT_THAT(rig.ended, ElementsAre(std::pair{false, Outcome::Succeeded},
                                       std::pair{true, Outcome::Succeeded}));

    // Each stage starts with its upper text and "0 %" before its first page.
    std::vector<std::string> texts;
    for (const auto& c : rig.changes) {
        if (c.property == Property::Text &&
            (c.element == E::txt_Infomation_upper || c.element == E::txt_Infomation)) {
            texts.push_back((c.element == E::txt_Infomation ? "L:" : "U:") + c.state.text);
        }
    }
    for (const char* stage : {"U:Writing RD", "U:Writing GPS", "U:Writing DB"}) {
        const auto at = std::find(texts.begin(), texts.end(), stage);
        ASSERT_NE(at, texts.end()) << stage;
        ASSERT_NE(at + 1, texts.end()) << stage;
        EXPECT_EQ(*(at + 1), "L:0 %") << stage;
    }
    // While writing, the panel shows the versions being installed, in yellow.
    std::vector<std::string> panel;
    for (const auto& c : rig.changes) {
        if (c.element == E::txt_device_gps_version || c.element == E::txt_device_rd_version) {
            panel.push_back(describe(c));
        }
    }
    ASSERT_GE(panel.size(), 4U);
    EXPECT_THAT(std::vector<std::string>(panel.begin(), panel.begin() + 4),
                ElementsAre("txt_device_gps_version.colour=yellow",
                            "txt_device_rd_version.colour=yellow",
                            // The update's GPS text has the block's tag "GX".
                            "txt_device_gps_version.text=5810GX" + x.strDate + "1200",
                            "txt_device_rd_version.text=5810RD" + std::string(kRdVersion)));
}

TEST(UpdateFlow, CurrentGpsVersionIsRewrittenAllTheSame) {
    const auto catalog = smallCatalog();
    // The device carries the GPS version the server offers.
    auto device = profile("signature-5810e.json");
    const std::string block = std::string(kMarker) + "$:5810GX" + kGpsVersion;
    device.memory.push_back(sim::MemoryEntry{0, 0x08002F00, {block.begin(), block.end()}});
    FlowRig rig(catalog, device);
    connectAndChoose(rig);
    const auto record = rig.controller->connectedTargetInfo();
    ASSERT_EQ(record->ConnectedDevice_Version_GPS_Current(), kGpsVersion);
    ASSERT_EQ(record->ConnectedDevice_Enable_GPS_Firmware(), 0) << "the connect found it current";
    rig.download();
    Expectation x;
    x.database = databaseFor(rig, catalog, kSmallChoice, false, true);
    x.strDate = record->Info_strDate();
    expectDeviceHolds(rig, plannedWrites(catalog.models[0], x));
    EXPECT_EQ(record->ConnectedDevice_Enable_GPS_Firmware(), 1);
}

TEST(UpdateFlow, StarredDeviceTakesTheGpsImageOnSelectorOne) {
    const auto catalog = smallCatalog("ORIGINAL", true, "RV7810M", "7810");
    FlowRig rig(catalog, profile("star-7810m.json"));
    connectAndChoose(rig);
    rig.download();
    Expectation x;
    x.key = "7810";
    x.gpsSelector = 1;
    x.database = databaseFor(rig, catalog, kSmallChoice, false, true);
    x.strDate = rig.controller->connectedTargetInfo()->Info_strDate();
    expectDeviceHolds(rig, plannedWrites(catalog.models[0], x));
    // A starred device has no GPS version read.
    expectComplete(rig, "UNKNOWN", std::string("7810RD") + kRdVersion);
}

TEST(UpdateFlow, CurrentRdVersionSkipsTheRdStageAndItsBlock) {
    auto device = profile("signature-5810e.json");
    for (auto& entry : device.memory) {
        if (entry.selector == 1 && entry.address == 0x08001C00) {
            const std::string text = std::string(kMarker) + "$:5810RD" + kRdVersion;
            entry.bytes.assign(text.begin(), text.end());
        }
    }
    const auto catalog = smallCatalog();
    FlowRig rig(catalog, device);
    connectAndChoose(rig);
    EXPECT_EQ(rig.controller->connectedTargetInfo()->ConnectedDevice_Enable_RD_Firmware(), 0);
    rig.download();
    Expectation x;
    x.rd = false;
    x.database = databaseFor(rig, catalog, kSmallChoice, false, true);
    x.strDate = rig.controller->connectedTargetInfo()->Info_strDate();
    expectDeviceHolds(rig, plannedWrites(catalog.models[0], x));
    expectComplete(rig, "5810Gx" + x.strDate + "1200", std::string("5810RD") + kRdVersion);
    for (const auto& c : rig.changes) {
        EXPECT_FALSE(c.element == E::txt_Infomation_upper && c.state.text == "Writing RD");
    }
}

TEST(UpdateFlow, TheFinishRequestFailingChangesNothing) {
    FlowRig rig(smallCatalog(), profile("signature-5810e.json"));
    connectAndChoose(rig);
    rig.server.sim().addFault(sim::ServerFault::NotFoundHtml, "/qvt_database/finish/");
    rig.download();
    EXPECT_EQ(rig.controller->downloadOutcome(), Outcome::Succeeded);
    EXPECT_EQ(rig.state(E::txt_Infomation_upper).text, "Done");
    EXPECT_EQ(rig.finishRequests().size(), 1U);
}

TEST(UpdateFlow, ClosingTheDialogWithoutAnAnswerKeepsTheDownloadButton) {
    FlowRig rig(smallCatalog(), profile("signature-5810e.json"));
    rig.connect();
    rig.download();
    EXPECT_EQ(rig.presenter.presented, 1);
    EXPECT_TRUE(rig.state(E::btn_download).enabled);
    EXPECT_EQ(rig.writeCount(), 0U);
    // The dialog got the country lists, every country unchosen.
    EXPECT_THAT(rig.presenter.dialog->arOptions(),
                ElementsAre("Alpha", "Bravo", "Charlie", "Delta"));
    EXPECT_THAT(rig.presenter.dialog->locCountrySpeedCamNumArray(),
                ElementsAre("3", "2", "3", "1"));
    // Pressed again, a new dialog.
    rig.presenter.script = choose({"Bravo"}, false, false);
    rig.download();
    EXPECT_EQ(rig.presenter.presented, 2);
    EXPECT_EQ(rig.controller->downloadOutcome(), Outcome::Succeeded);
}

// ---- Fault matrix ----

struct StageFault {
    std::string name;
    sim::Fault fault;
    // Writes the device takes before the failing one; the failing write is the last.
    std::size_t writesBefore;
    std::string lower;
    // False when the failing write itself never reached the device.
    bool lastLanded = true;
};

sim::Fault corruptAt(std::uint8_t selector, std::uint32_t address) {
    sim::Fault f = sim::Fault::make(sim::FaultKind::CorruptRead, sim::Operation::Read);
    f.selector = selector;
    f.address = address;
    return f;
}

class DownloadFault : public testing::TestWithParam<StageFault> {};

TEST_P(DownloadFault, EndsAtTheFailingPageWithTheStagesText) {
    const auto& c = GetParam();
    FlowRig rig(smallCatalog(), profile("signature-5810e.json"));
    connectAndChoose(rig);
    sim::Fault fault = c.fault;
    if (fault.kind == sim::FaultKind::Unplug) {
        fault.after += static_cast<std::uint32_t>(rig.detector->completedTransactions());
    }
    rig.detector->addFault(fault);
    rig.download();
    expectFailed(rig, c.lower);
    Expectation x;
    x.database = databaseFor(rig, smallCatalog(), kSmallChoice, false, true);
    x.strDate = rig.controller->connectedTargetInfo()->Info_strDate();
    auto plan = plannedWrites(smallCatalog().models[0], x);
    plan.resize(c.writesBefore + 1);
    expectDeviceHolds(rig, plan, c.lastLanded);
    EXPECT_TRUE(rig.state(E::circle_progressbar_download).hidden);
}

// RD: 4 pages and a block (two transactions per page, one per block); GPS: 32 pages; database:
// one page, the header and the GPS verify block.
INSTANTIATE_TEST_SUITE_P(
    UpdateFlow, DownloadFault,
    testing::Values(
        StageFault{"RdReadBack", corruptAt(1, 0x08003400 + 9), 1, "RD Firmware Error"},
        StageFault{"GpsReadBack", corruptAt(0, 0x08004200 + 3), 5 + 2, "GPS Firmware Error"},
        StageFault{"DatabaseReadBack", corruptAt(0, 0x00000010), 5 + 32, "DB Firmware Error"},
        // The host clears the stalled pipe and reads the status; the loop ends at that page.
        StageFault{"GpsReadBackStall",
                   [] {
                       sim::Fault f =
                           sim::Fault::make(sim::FaultKind::StallData, sim::Operation::Read);
                       f.selector = 0;
                       f.address = 0x08004200;
                       return f;
                   }(),
                   5 + 2, "GPS Firmware Error"},
        // Unplugged after n transactions of the download.
        StageFault{"RdUnplug",
                   [] {
                       sim::Fault f = sim::Fault::make(sim::FaultKind::Unplug);
                       f.after = 3; // page 2's read-back fails
                       return f;
                   }(),
                   1, "RD Firmware Error"},
        StageFault{"RdBlockUnplug",
                   [] {
                       sim::Fault f = sim::Fault::make(sim::FaultKind::Unplug);
                       f.after = 8; // every RD page, then the block write fails
                       return f;
                   }(),
                   4, "RD Firmware Error", false},
        StageFault{"GpsUnplug",
                   [] {
                       sim::Fault f = sim::Fault::make(sim::FaultKind::Unplug);
                       f.after = 9 + 10; // the sixth GPS page's write fails
                       return f;
                   }(),
                   5 + 5, "GPS Firmware Error", false},
        StageFault{"DatabaseUnplug",
                   [] {
                       sim::Fault f = sim::Fault::make(sim::FaultKind::Unplug);
                       f.after = 9 + 64 + 1; // the database page's read-back fails
                       return f;
                   }(),
                   5 + 32, "DB Firmware Error"},
        StageFault{"HeaderUnplug",
                   [] {
                       sim::Fault f = sim::Fault::make(sim::FaultKind::Unplug);
                       f.after = 9 + 64 + 2;
                       return f;
                   }(),
                   5 + 32 + 1, "DB Firmware Error", false},
        StageFault{"GpsVerifyBlockStall",
                   [] {
                       sim::Fault f =
                           sim::Fault::make(sim::FaultKind::StallStatus, sim::Operation::Write);
                       f.address = 0x08002F00;
                       return f;
                   }(),
                   5 + 32 + 2, "DB Firmware Error"}),
    [](const auto& info) { return info.param.name; });

struct RequestDown {
    std::string name;
    std::string path;
    std::string lower;
};

class ServerDownAtRequest : public testing::TestWithParam<RequestDown> {};

TEST_P(ServerDownAtRequest, FailsTheConnectWithoutTouchingTheDevice) {
    const auto& c = GetParam();
    FlowRig rig(smallCatalog(), profile("signature-5810e.json"));
    rig.server.sim().addFault(sim::ServerFault::NotFoundHtml, c.path);
    rig.connect();
    EXPECT_EQ(rig.controller->connectOutcome(), Outcome::Failed);
    EXPECT_EQ(rig.state(E::txt_Infomation_upper).text, "Error");
    std::string lower = c.lower;
    if (const auto slot = lower.find("{base}"); slot != std::string::npos) {
        lower.replace(slot, 6, rig.server.sim().baseAddress());
    }
    EXPECT_EQ(rig.state(E::txt_Infomation).text, lower);
    EXPECT_FALSE(rig.state(E::btn_download).enabled);
    EXPECT_EQ(rig.writeCount(), 0U);
    EXPECT_TRUE(rig.finishRequests().empty());
}

INSTANTIATE_TEST_SUITE_P(
    UpdateFlow, ServerDownAtRequest,
    testing::Values(
        RequestDown{"DeviceInfo", "/qvt_products/info/",
                    "Error_Code_301/ ShortHexField / field 0 (GPS start address) '' has fewer "
                    "than 2 characters "},
        // A wrong identifier leads to an error page for the database.
        RequestDown{"DatabaseId", "/qvt_database/get_id/",
                    "Error_Code_401/ BadDate / database date '<!DOCTYPE ' has fewer than 3 "
                    "parts "},
        RequestDown{"Database", "/qvt_database/get_database/",
                    "Error_Code_401/ BadDate / database date '<!DOCTYPE ' has fewer than 3 "
                    "parts "},
        RequestDown{"FirmwareList", "/qvt_products_firmware/info/",
                    "Error_Code_501/ MissingField / field 1 of 1-field answer (GPS firmware "
                    "address) "},
        RequestDown{"CountryList", "/qvt_database/countries",
                    "Error_Code_401/ NoCountries / the 180-byte country list answer (HTTP 404) "
                    "is not Base64 "},
        // An error page in place of an image: "{base}" is the server's address.
        RequestDown{"RdImage", "/firmware/5810_SIGNATUREE/rd.bin",
                    "Error_Code_501/ NoVersion / RD image (189 bytes from "
                    "{base}/firmware/5810_SIGNATUREE/rd.bin) holds no version block "},
        RequestDown{"GpsImage", "/firmware/5810_SIGNATUREE/gps.bin",
                    "Error_Code_501/ NoVersion / GPS image (190 bytes from "
                    "{base}/firmware/5810_SIGNATUREE/gps.bin) holds no version block "}),
    [](const auto& info) { return info.param.name; });

TEST(UpdateFlow, AnUnexpectedFailureWhileWritingEndsInFailWithItsReason) {
    flow_testing::HookPacer pacer;
    FlowRig rig(smallCatalog(), profile("signature-5810e.json"), &pacer);
    connectAndChoose(rig);
    // The first pause of the writing (after the first RD page) fails unexpectedly.
    pacer.actAt = pacer.pauses.size() + 1;
    pacer.action = [] { throw std::runtime_error("pacer broke"); };
    rig.download();
    expectFailed(rig, "pacer broke");
    EXPECT_EQ(rig.state(E::txt_device_gps_version).textColour, Colour::Red);
    EXPECT_TRUE(rig.state(E::circle_progressbar_download).hidden);
    EXPECT_EQ(rig.writeCount(), 1U) << "nothing written after the failure";
    EXPECT_THAT(rig.ended, ElementsAre(std::pair{false, Outcome::Succeeded},
                                       std::pair{true, Outcome::Failed}));
}

// The connect sequence goes on after a failed radar version read; the download's first write
// must meet a device that waits for a wrapper, not one that still holds the late page.
TEST(UpdateFlow, RadarVersionReadThatTimedOutLeavesTheLinkReadyForTheDownload) {
    FlowRig rig(smallCatalog(), profile("signature-5810e.json"));
    sim::Fault late = sim::Fault::make(sim::FaultKind::NoAnswer, sim::Operation::Read);
    late.selector = 1;
    late.address = 0x08001C00;
    late.phase = sim::Phase::Data;
    late.times = 1;
    rig.detector->addFault(late);
    connectAndChoose(rig);
    EXPECT_EQ(rig.controller->connectedTargetInfo()->ConnectedDevice_Version_RD_Current(),
              "UNKNOWN");
    rig.download();
    EXPECT_EQ(rig.controller->downloadOutcome(), Outcome::Succeeded)
        << rig.state(E::txt_Infomation).text;
    EXPECT_EQ(rig.finishRequests().size(), 1U);
}

TEST(UpdateFlow, ServerGoneBeforeTheFinishStillCompletes) {
    FlowRig rig(smallCatalog(), profile("signature-5810e.json"));
    connectAndChoose(rig);
    rig.server.sim().stop();
    rig.download();
    EXPECT_EQ(rig.controller->downloadOutcome(), Outcome::Succeeded);
    EXPECT_EQ(rig.state(E::txt_Infomation_upper).text, "Done");
}

TEST(UpdateFlow, RebuildOverTheLimitLeavesTheDeviceUntouched) {
    // The country list understates the records: the dialog accepts, the rebuild refuses.
    auto catalog = smallCatalog();
    for (int i = 0; i < 9301; ++i) {
        catalog.cameras.push_back("1,55.5,37.5,0,60,0,Bravo");
    }
    FlowRig rig(catalog, profile("signature-5810e.json"));
    rig.server.sim().setAnswer(
        "/qvt_database/countries",
        sim::UpdateServerSim::base64Encode("4$Alpha|3|1|1$Bravo|2|1|0$Charlie|3|0|1$Delta|1|0|0"));
    rig.connect();
    ASSERT_EQ(rig.controller->connectOutcome(), Outcome::Succeeded);
    rig.presenter.script = choose({"Bravo"}, false, false);
    const auto transactions = rig.detector->completedTransactions();
    rig.download();
    EXPECT_EQ(rig.detector->completedTransactions(), transactions);
    EXPECT_EQ(rig.state(E::txt_Infomation).text, "Error - 701");
    EXPECT_EQ(rig.state(E::txt_Infomation_upper).text, "Failed");
    EXPECT_EQ(rig.state(E::txt_device_gps_version).text, "Update Failed");
    EXPECT_EQ(rig.state(E::txt_device_gps_version).textColour, Colour::Red);
    EXPECT_FALSE(rig.state(E::btn_download).enabled);
    // The spinner was started for the rebuild and keeps turning.
    EXPECT_FALSE(rig.state(E::circle_progressbar_download).hidden);
    EXPECT_TRUE(rig.state(E::circle_progressbar_download).animating);
    EXPECT_EQ(rig.controller->downloadOutcome(), Outcome::Failed);
    EXPECT_TRUE(rig.finishRequests().empty());
}

TEST(UpdateFlow, AStopDuringTheWritingEndsItAtOnce) {
    flow_testing::HookPacer pacer;
    FlowRig rig(smallCatalog(), profile("signature-5810e.json"), &pacer);
    connectAndChoose(rig);
    const std::size_t connectPauses = pacer.pauses.size();
    // Stops during the GPS stage's third page.
    pacer.actAt = connectPauses + 8 + 1 + 5;
    pacer.action = [&rig] { rig.controller->requestStop(); };
    const auto changesBefore = rig.changes.size();
    rig.download();
    EXPECT_EQ(rig.controller->downloadOutcome(), Outcome::Stopped);
    EXPECT_FALSE(rig.controller->isWriting());
    // Four RD pages, the block and three GPS pages; nothing after the stop.
    EXPECT_EQ(rig.writeCount(), 4U + 1U + 3U);
    EXPECT_EQ(pacer.pauses.size(), pacer.actAt);
    EXPECT_TRUE(rig.finishRequests().empty());
    EXPECT_THAT(rig.ended, ElementsAre(std::pair{false, Outcome::Succeeded}));
    EXPECT_GT(rig.changes.size(), changesBefore);
}
