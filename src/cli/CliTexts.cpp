#include "cli/CliTexts.hpp"

namespace {

struct Entry {
    const char* key;
    const char* english;
    const char* russian;
};

// clang-format off
const Entry kEntries[] = {
    {"str_ready_upper", "READY", "ГОТОВО"},
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
