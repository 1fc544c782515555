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
    {"cli_no_database",
     "the server's information on this model disables the database, so there are no countries "
     "to choose",
     "по сведениям сервера база данных для этой модели отключена: выбрать страны нельзя"},
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
    {"cli_verify_not_written", "not written by an update of this model",
     "обновление этой модели его не записывает"},
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
    // The help.
    {"cli_help", R"(usage: detector-updater-cli [OPTIONS] COMMAND
commands:
  info [--offline]
              wait for a detector, identify it and print its model and versions
              (--offline: without any request to the update server)
  check       info, then ask the update server and print what an update would write
  countries   print the server's country list with camera, Strelka and Fake counts
              (needs only the server, no detector)
  update --countries NAME[,NAME...]|all [--exclude-strelka] [--exclude-fake] [--yes]
              write the firmware and the database for the chosen countries
  verify      check, then read back the RD and GPS images and their verify blocks and
              say for each whether the detector holds the same; writes nothing
  list        show every attached detector (USB 0483:5720): port, release, product and
              state; it takes none from anyone. Another release: its descriptors only, not
              opened. Held by a kernel driver (usb-storage): opened to read its product
              string, not claimed. Otherwise: claimed for a moment, asked INQUIRY and
              released (busy: another program holds it; not permitted: the udev rule)
  station --countries NAME[,NAME...]|all [--exclude-strelka] [--exclude-fake]
          [--log FILE] [--jobs N]
              workshop mode: update every detector plugged in, each in its own process with
              --device usb:PORT, one live line per device; the first Ctrl-C stops taking new
              detectors, the second stops the running updates; a summary at the end
options:
  --server URL         update server base address
  --probe-url URL      connectivity probe address
  --device usb|usb:PORT|sim:PROFILE.json
                       the detector on USB (default: the first one free), only the one on
                       PORT (e.g. 1-4.2, as 'list' shows it), or a virtual detector
  --wait SECONDS       give up when no detector is there in time (default: wait until Ctrl-C);
                       station: end once nothing has run or arrived for SECONDS
  --log FILE           station: append one JSON line per finished device to FILE
  --jobs N             station: at most N updates at once (default: one per processor core)
  --no-pauses          skip the fixed pauses (virtual detector only)
  --trace FILE         write every USB transaction and HTTP request to FILE
  --dump-memory DIR    write the virtual detector's memory as DIR/selector0.hex, selector1.hex
                       at the end (DIR is made if missing; one that cannot be written is a
                       usage error before anything runs)
  --json               print one JSON result object on stdout (texts go to stderr); list:
                       a JSON array
  --lang ru|en         language of the texts (default from LANG)
  --demo               embedded simulated update server and virtual detector
  --version            print the version and exit
exit status: 0 complete (verify: all the same), 1 failed, declined or differs,
  2 usage error, 3 no device, 130 interrupted; station: 0 only when every device completed
)",
                 R"(использование: detector-updater-cli [ПАРАМЕТРЫ] КОМАНДА
команды:
  info [--offline]
              дождаться детектора, опознать его и показать модель и версии
              (--offline: без единого запроса к серверу обновлений)
  check       то же, что info, затем спросить сервер обновлений и показать, что запишет
              обновление
  countries   показать список стран сервера с числом камер, Стрелок и муляжей
              (нужен только сервер, детектор не нужен)
  update --countries СТРАНА[,СТРАНА...]|all [--exclude-strelka] [--exclude-fake] [--yes]
              записать прошивки и базу камер выбранных стран
  verify      то же, что check, затем прочитать образы RD и GPS и их проверочные блоки и
              сказать о каждом, то ли в детекторе; ничего не записывает
  list        показать все подключённые детекторы (USB 0483:5720): порт, выпуск, изделие и
              состояние; ни один не отнимается. Другой выпуск: только дескрипторы, без
              открытия. Занят драйвером ядра (usb-storage): открыт ради строки изделия, не
              захвачен. Иначе: захвачен на миг, спрошен INQUIRY и отпущен (занят: его
              держит другая программа; нет прав: правило udev)
  station --countries СТРАНА[,СТРАНА...]|all [--exclude-strelka] [--exclude-fake]
          [--log ФАЙЛ] [--jobs N]
              режим мастерской: обновить каждый подключаемый детектор, каждый в своём
              процессе с --device usb:PORT, по живой строке на устройство; первый Ctrl-C
              перестаёт брать новые детекторы, второй останавливает идущие обновления; в
              конце итог
параметры:
  --server URL         адрес сервера обновлений
  --probe-url URL      адрес проверки связи
  --device usb|usb:PORT|sim:PROFILE.json
                       детектор на USB (по умолчанию первый свободный), только тот, что на
                       порту PORT (например 1-4.2, как его показывает 'list'), или
                       виртуальный детектор
  --wait СЕКУНДЫ       сдаться, если детектора нет в это время (по умолчанию ждать до Ctrl-C);
                       station: закончить, когда СЕКУНДЫ ничего не шло и не появлялось
  --log ФАЙЛ           station: дописывать в ФАЙЛ по строке JSON на каждое готовое устройство
  --jobs N             station: не больше N обновлений сразу (по умолчанию по одному на ядро)
  --no-pauses          без постоянных пауз (только виртуальный детектор)
  --trace ФАЙЛ         записать в ФАЙЛ каждую передачу по USB и каждый запрос HTTP
  --dump-memory ПАПКА  в конце записать память виртуального детектора в ПАПКА/selector0.hex,
                       selector1.hex (ПАПКА создаётся, если её нет; папка, в которую нельзя
                       писать, — ошибка использования ещё до начала работы)
  --json               вывести на stdout один объект JSON с итогом (тексты идут в stderr);
                       list: массив JSON
  --lang ru|en         язык текстов (по умолчанию из LANG)
  --demo               встроенный имитатор сервера обновлений и виртуальный детектор
  --version            показать версию и выйти
код выхода: 0 готово (verify: всё совпадает), 1 ошибка, отказ или отличие,
  2 ошибка использования, 3 нет устройства, 130 прервано; station: 0, только если все
  устройства обновлены
)"},
    // Usage errors.
    {"cli_usage_server", "--server needs a URL",
                       "--server: нужен URL"},
    {"cli_usage_probe", "--probe-url needs a URL",
                      "--probe-url: нужен URL"},
    {"cli_usage_device", "--device needs 'usb', 'usb:PORT' or 'sim:PROFILE.json'",
                       "--device: нужно 'usb', 'usb:PORT' или 'sim:PROFILE.json'"},
    {"cli_usage_port", "--device usb:PORT takes a port path such as 1-4.2 (see 'list'), not '{1}'",
                     "--device usb:PORT: нужен путь порта, например 1-4.2 (см. 'list'), а не '{1}'"},
    {"cli_usage_device_kind", "--device takes 'usb', 'usb:PORT' or 'sim:PROFILE.json', not '{1}'",
                            "--device: нужно 'usb', 'usb:PORT' или 'sim:PROFILE.json', а не '{1}'"},
    {"cli_usage_wait", "--wait needs a number of seconds",
                     "--wait: нужно число секунд"},
    {"cli_usage_wait_value", "--wait takes a number of seconds of 0 or more, not '{1}'",
                           "--wait: нужно число секунд, 0 или больше, а не '{1}'"},
    {"cli_usage_trace", "--trace needs a file name",
                      "--trace: нужно имя файла"},
    {"cli_usage_dump", "--dump-memory needs a folder",
                     "--dump-memory: нужна папка"},
    {"cli_usage_lang", "--lang takes 'ru' or 'en'",
                     "--lang: нужно 'ru' или 'en'"},
    {"cli_usage_countries", "--countries needs NAME[,NAME...] or 'all'",
                          "--countries: нужно СТРАНА[,СТРАНА...] или 'all'"},
    {"cli_usage_empty_name", "--countries has an empty name in '{1}'",
                           "--countries: пустое имя в '{1}'"},
    {"cli_usage_log", "--log needs a file name",
                    "--log: нужно имя файла"},
    {"cli_usage_jobs", "--jobs takes a number from 1 to 64",
                     "--jobs: нужно число от 1 до 64"},
    {"cli_usage_unknown_option", "unknown option '{1}'",
                               "неизвестный параметр '{1}'"},
    {"cli_usage_two_commands", "more than one command ('{1}')",
                             "больше одной команды ('{1}')"},
    {"cli_usage_unknown_command", "unknown command '{1}'",
                                "неизвестная команда '{1}'"},
    {"cli_usage_no_command", "no command given",
                           "не указана команда"},
    {"cli_usage_no_pauses", "--no-pauses is only for a simulated device (--device sim:... or --demo); a real detector needs the pauses",
                          "--no-pauses только для виртуального детектора (--device sim:... или --demo): настоящему нужны паузы"},
    {"cli_usage_dump_sim", "--dump-memory is only for a simulated device (--device sim:... or --demo)",
                         "--dump-memory только для виртуального детектора (--device sim:... или --demo)"},
    {"cli_usage_usb_only", "'list' and 'station' work on the detectors attached over USB",
                         "'list' и 'station' работают с детекторами, подключёнными по USB"},
    {"cli_usage_station_port", "'station' takes every port; --device usb:PORT belongs to one update",
                             "'station' берёт все порты; --device usb:PORT относится к одному обновлению"},
    {"cli_usage_station_options", "--log and --jobs belong to 'station'",
                                "--log и --jobs относятся к 'station'"},
    {"cli_usage_station_json", "'station' writes JSON lines with --log FILE, not --json",
                             "'station' пишет строки JSON через --log FILE, а не --json"},
    {"cli_usage_selection", "--countries and --exclude-* belong to 'update', 'check' and 'station'",
                          "--countries и --exclude-* относятся к 'update', 'check' и 'station'"},
    {"cli_usage_offline", "--offline belongs to 'info'",
                        "--offline относится к 'info'"},
    {"cli_usage_yes", "--yes belongs to 'update'",
                    "--yes относится к 'update'"},
    {"cli_usage_needs_countries", "{1} needs --countries NAME[,NAME...] or --countries all",
                                "{1}: нужно --countries СТРАНА[,СТРАНА...] или --countries all"},
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
