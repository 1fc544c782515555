#include "cli/CliTexts.hpp"

namespace {

struct Entry {
    const char* key;
    const char* english;
    const char* russian;
};

// clang-format off
const Entry kEntries[] = {
    {"str_ready_upper", "READY", "ГОТОВ К ОБНОВЛЕНИЮ"},
    {"str_ready_under", "Plug in the detector", "Подключите детектор"},
    {"str_searching_device", "Searching for the detector...", "Поиск детектора..."},
    {"str_empty", "", ""},
    {"str_connect_server", "Connecting to the update server...", "Подключение к серверу обновлений..."},
    {"str_check_internet", "Check the Internet connection", "Проверьте подключение к Интернету"},
    // The window names its button here; a terminal says what to type.
    {"str_clickDownload", "Ready to update (to write: update --countries NAME[,NAME...])",
                          "Готово к обновлению (запись: update --countries СТРАНА[,СТРАНА...])"},
    {"str_FW_downloading_coment_RD", "Writing the radar firmware...", "Запись прошивки радара..."},
    {"str_FW_downloading_coment_GPS", "Writing the GPS firmware...", "Запись прошивки GPS..."},
    {"str_FW_downloading_coment_DB", "Writing the camera database...", "Запись базы камер..."},
    {"str_download_success", "Update complete", "Обновление завершено"},
    {"str_finish_coment", "You can unplug the detector now", "Теперь детектор можно отключить"},
    {"str_download_fail", "Update failed", "Обновление не удалось"},
    {"str_device_not_permitted", "The detector is plugged in, but this user may not open it. Install the udev rule from the source folder: sudo cp packaging/udev/70-detector-updater.rules /etc/udev/rules.d/ && sudo udevadm control --reload && sudo udevadm trigger, then plug the detector in again.",
                                 "Детектор подключён, но у пользователя нет прав на него. Установите правило udev из папки исходников: sudo cp packaging/udev/70-detector-updater.rules /etc/udev/rules.d/ && sudo udevadm control --reload && sudo udevadm trigger, затем переподключите детектор."},
    {"str_device_busy", "The detector is plugged in, but another program holds it. Close that program (another updater, a disk tool) or unmount the detector.",
                        "Детектор подключён, но его занимает другая программа. Закройте её (другой программатор, дисковую утилиту) или отмонтируйте детектор."},
    // The command line's own texts.
    {"cli_device", "Device", "Устройство"},
    {"cli_name", "Model", "Модель"},
    {"cli_keyword", "Keyword", "Ключевое слово"},
    {"cli_edition", "Edition", "Версия исполнения"},
    {"cli_star", "Star", "Звезда"},
    {"cli_layout", "Layout", "Раскладка памяти"},
    {"cli_gps_version", "GPS version", "Версия GPS"},
    {"cli_rd_version", "RD version", "Версия RD"},
    {"cli_yes", "yes", "да"},
    {"cli_no", "no", "нет"},
    {"cli_country", "Country", "Страна"},
    {"cli_cameras", "Cameras", "Камеры"},
    {"cli_strelka", "Strelka", "Стрелка"},
    {"cli_fake", "Fake", "Муляжи"},
    {"cli_plan", "What an update would write", "Что запишет обновление"},
    {"cli_plan_confirm", "Write this to the detector? [y/N] ", "Записать это в детектор? [y/N] "},
    {"cli_declined", "Nothing was written.", "Ничего не записано."},
    {"cli_no_device", "No detector within the waiting time.", "Детектор не найден за время ожидания."},
    {"cli_interrupted", "Interrupted.", "Прервано."},
    {"cli_records", "camera records", "записей камер"},
    {"cli_verify", "Read back from the detector", "Прочитано из детектора"},
    {"cli_verify_differs", "The detector does not hold what an update would write.",
                           "В детекторе не то, что записало бы обновление."},
    {"cli_database_open", "camera database: depends on the countries chosen (use --countries)",
                          "база камер: зависит от выбранных стран (укажите --countries)"},
    // What is left on the detector when writing stopped half way.
    {"cli_half_written", "The detector is half written: run the update again before using it.",
                         "Детектор записан не до конца: повторите обновление, прежде чем им пользоваться."},
    // Where the update server or the probe did not answer: {1} the address, {2} the failure,
    // {3} the update server's address.
    {"cli_hint_server", "Nothing answers at the update server {1} ({2}): start detector-update-server, give the server with --server URL, or try --demo.",
                        "Сервер обновлений {1} не отвечает ({2}): запустите detector-update-server, укажите сервер через --server URL или попробуйте --demo."},
    {"cli_hint_probe", "The connectivity probe {1} got no answer ({2}). Without the Internet, point it at the update server: --probe-url {3}/ (with --server URL, or start detector-update-server there), or try --demo.",
                       "Проверка связи {1} не получила ответа ({2}). Без Интернета направьте её на сервер обновлений: --probe-url {3}/ (вместе с --server URL, или запустите там detector-update-server), или попробуйте --demo."},
    {"cli_try_help", "Try 'detector-updater-cli --help'.", "Справка: 'detector-updater-cli --help'."},
    // The choice of countries.
    {"cli_unknown_country", "unknown country: {1}. The server lists: {2}.",
                            "неизвестная страна: {1}. Сервер предлагает: {2}."},
    {"cli_unknown_countries", "unknown countries: {1}. The server lists: {2}.",
                              "неизвестные страны: {1}. Сервер предлагает: {2}."},
    {"cli_no_countries", "the server lists no countries", "сервер не предлагает ни одной страны"},
    {"cli_over_limit", "the choice holds {1} camera records ({2}); a detector takes at most {3}. Choose fewer countries, or leave cameras out with --exclude-strelka or --exclude-fake. Nothing was written.",
                       "выбрано записей камер: {1} ({2}); детектор вмещает не больше {3}. Выберите меньше стран или исключите камеры через --exclude-strelka или --exclude-fake. Ничего не записано."},
    {"cli_no_records", "the chosen countries hold no camera records ({1}). Nothing was written.",
                       "в выбранных странах нет записей камер ({1}). Ничего не записано."},
    {"cli_not_offered", "the country choice could not be offered", "выбор стран не удалось предложить"},
    // The plan: {1} stage, {2} image bytes, {3}..{4} the cut, {5} pages, {6} page bytes,
    // {7} address, {8} selector.
    {"cli_plan_stage", "image {2} bytes, cut {3}..{4}, {5} pages of {6} bytes at {7} (selector {8})",
                       "образ {2} байт, вырезка {3}..{4}, страниц: {5} по {6} байт с {7} (селектор {8})"},
    {"cli_plan_stage_open", "at {7} (selector {8}, page {6}): size depends on the countries chosen",
                            "с {7} (селектор {8}, страница {6}): размер зависит от выбранных стран"},
    {"cli_plan_block", "then {1}, {2} bytes at {3} (selector {4})",
                       "затем {1}, {2} байт с {3} (селектор {4})"},
    {"cli_rd_verify_block", "RD verify block", "проверочный блок RD"},
    {"cli_gps_verify_block", "GPS verify block", "проверочный блок GPS"},
    {"cli_database_header_block", "database header block", "блок заголовка базы"},
    {"cli_plan_versions", "new versions: GPS {1}, RD {2}", "новые версии: GPS {1}, RD {2}"},
    {"cli_plan_rd_verify", "RD verify text: {1}", "проверочный текст RD: {1}"},
    {"cli_plan_gps_verify", "GPS verify text: {1}", "проверочный текст GPS: {1}"},
    {"cli_plan_pauses", "fixed pauses while writing: about {1} s", "постоянные паузы при записи: около {1} с"},
    // The read-back.
    {"cli_verify_database_header", "database header", "заголовок базы"},
    {"cli_verify_nothing", "nothing to compare", "нечего сравнивать"},
    {"cli_verify_same", "same ({1} pages from {2})", "совпадает (страниц: {1}, с {2})"},
    {"cli_verify_stage_differs", "differs from {1}, {2} of {3} pages ({4} unreadable)",
                                 "отличается с {1}: страниц {2} из {3} (не прочитано: {4})"},
    {"cli_verify_records", "{1} records", "записей: {1}"},
    {"cli_verify_check_bytes", "{1} records (its check bytes do not match)",
                               "записей: {1} (проверочные байты не совпадают)"},
    {"cli_verify_unreadable", "unreadable", "не читается"},
    {"cli_link_gone", "the detector's link is gone", "связь с детектором потеряна"},
    // Set-up failures: {1} the file, folder or profile, {2} why.
    {"cli_dump_unwritable", "--dump-memory: cannot write to {1} ({2})",
                            "--dump-memory: нельзя писать в {1} ({2})"},
    {"cli_trace_unwritable", "cannot write the trace file {1}", "нельзя записать файл трассировки {1}"},
    {"cli_demo_catalog", "the demo catalog {1} cannot be read ({2}); set DETECTOR_DEMO_CATALOG to a folder written by tools/make-demo-catalog",
                         "демонстрационный каталог {1} не читается ({2}); укажите в DETECTOR_DEMO_CATALOG папку, записанную tools/make-demo-catalog"},
    {"cli_demo_server", "the demo's update server could not start on loopback",
                        "демонстрационный сервер обновлений не запустился на loopback"},
    {"cli_profile_unusable", "the device profile {1} cannot be used: {2}",
                             "профиль устройства {1} нельзя использовать: {2}"},
    {"cli_dump_unwritten", "cannot write {1}", "нельзя записать {1}"},
    {"cli_not_a_folder", "not a folder", "это не папка"},
};
// clang-format on

} // namespace

TableLocalizer::Table CliTexts::table(CliLanguage language) {
    TableLocalizer::Table table;
    for (const auto& entry : kEntries) {
        table.emplace(entry.key, language == CliLanguage::Russian ? entry.russian : entry.english);
    }
    return table;
}

TableLocalizer::Table CliTexts::table(CliLanguage language, CliCommand command) {
    auto texts = table(language);
    // An update is already writing: telling how to start one only gets in the way.
    if (command == CliCommand::Update) {
        texts["str_clickDownload"] = "";
    }
    return texts;
}

std::vector<std::string> CliTexts::keys() {
    std::vector<std::string> all;
    for (const auto& entry : kEntries) {
        all.emplace_back(entry.key);
    }
    return all;
}

std::string CliTexts::fill(std::string_view pattern, std::initializer_list<std::string> values) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool slot = pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 1] >= '1' &&
                          pattern[i + 1] <= '9' && pattern[i + 2] == '}';
        const auto n = slot ? static_cast<std::size_t>(pattern[i + 1] - '1') : values.size();
        if (n < values.size()) {
            out += *(values.begin() + n);
            i += 2;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

const std::vector<const char*>& CliTexts::flowKeys() {
    static const std::vector<const char*> keys = {
        "str_ready_upper",
        "str_ready_under",
        "str_searching_device",
        "str_empty",
        "str_connect_server",
        "str_check_internet",
        "str_clickDownload",
        "str_FW_downloading_coment_RD",
        "str_FW_downloading_coment_GPS",
        "str_FW_downloading_coment_DB",
        "str_download_success",
        "str_finish_coment",
        "str_download_fail",
        "str_device_not_permitted",
        "str_device_busy",
    };
    return keys;
}
