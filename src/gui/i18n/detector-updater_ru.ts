<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name></name>
    <message id="str_ready_upper">
        <source>Ready to update</source>
        <translation>Готово к обновлению</translation>
    </message>
    <message id="str_ready_under">
        <source>Plug the detector into a USB port and press Connect.</source>
        <translation>Подключите детектор к USB-порту и нажмите «Подключить».</translation>
    </message>
    <message id="str_searching_device">
        <source>Searching for the detector…</source>
        <translation>Поиск детектора…</translation>
    </message>
    <message id="str_empty">
        <source></source>
        <translation type="unfinished"></translation>
    </message>
    <message id="str_connect_server">
        <source>Connecting to the update server…</source>
        <translation>Соединение с сервером обновлений…</translation>
    </message>
    <message id="str_check_internet">
        <source>Check the Internet connection.</source>
        <translation>Проверьте подключение к интернету.</translation>
    </message>
    <message id="str_clickDownload">
        <source>Press Download to choose countries and update.</source>
        <translation>Нажмите «Загрузить», чтобы выбрать страны и обновить детектор.</translation>
    </message>
    <message id="str_FW_downloading_coment_RD">
        <source>Writing the radar firmware…</source>
        <translation>Запись прошивки радара…</translation>
    </message>
    <message id="str_FW_downloading_coment_GPS">
        <source>Writing the GPS firmware…</source>
        <translation>Запись прошивки GPS…</translation>
    </message>
    <message id="str_FW_downloading_coment_DB">
        <source>Writing the camera database…</source>
        <translation>Запись базы камер…</translation>
    </message>
    <message id="str_download_success">
        <source>Update complete</source>
        <translation>Обновление завершено</translation>
    </message>
    <message id="str_finish_coment">
        <source>You can unplug the detector now.</source>
        <translation>Теперь детектор можно отключить.</translation>
    </message>
    <message id="str_download_fail">
        <source>Update failed</source>
        <translation>Ошибка обновления</translation>
    </message>
    <message id="str_device_not_permitted">
        <source>The detector is plugged in, but this user may not open it. Install the udev rule from the source folder: sudo cp packaging/udev/70-detector-updater.rules /etc/udev/rules.d/ &amp;&amp; sudo udevadm control --reload &amp;&amp; sudo udevadm trigger, then plug the detector in again.</source>
        <translation>Детектор подключён, но у пользователя нет прав на него. Установите правило udev из папки исходников: sudo cp packaging/udev/70-detector-updater.rules /etc/udev/rules.d/ &amp;&amp; sudo udevadm control --reload &amp;&amp; sudo udevadm trigger, затем переподключите детектор.</translation>
    </message>
    <message id="str_device_not_permitted_windows">
        <source>The detector is plugged in, but Windows does not let the updater open it. Close the updater and start it again with &quot;Run as administrator&quot; (right-click its icon), and close other programs that may hold the detector&apos;s drive: Explorer windows, disk tools, antivirus scans.</source>
        <translation>Детектор подключён, но Windows не даёт программе открыть его. Закройте программу обновления и запустите её снова командой «Запуск от имени администратора» (правой кнопкой мыши по значку), а также закройте другие программы, которые могут занимать диск детектора: окна Проводника, дисковые утилиты, проверку антивирусом.</translation>
    </message>
    <message id="str_device_busy">
        <source>The detector is plugged in, but another program holds it. Close that program (another updater, a disk tool) or unmount the detector.</source>
        <translation>Детектор подключён, но его занимает другая программа. Закройте её (другой программатор, дисковую утилиту) или отмонтируйте детектор.</translation>
    </message>
    <message id="gui_window_title">
        <source>Detector Updater</source>
        <translation>Обновление детектора</translation>
    </message>
    <message id="gui_btn_connect">
        <source>Connect</source>
        <translation>Подключить</translation>
    </message>
    <message id="gui_btn_download">
        <source>Download</source>
        <translation>Загрузить</translation>
    </message>
    <message id="gui_qvt_db_layout">
        <source>Camera database</source>
        <translation>База камер</translation>
    </message>
    <message id="gui_dialog_check_column">
        <source>Chosen</source>
        <translation>Выбрано</translation>
    </message>
    <message id="gui_dialog_count_column">
        <source>Cameras</source>
        <translation>Камер</translation>
    </message>
    <message id="gui_dialog_exclude_strelka">
        <source>Exclude Strelka cameras</source>
        <translation>Без камер «Стрелка»</translation>
    </message>
    <message id="gui_dialog_exclude_fake">
        <source>Exclude Fake cameras</source>
        <translation>Без муляжей</translation>
    </message>
    <message id="gui_dialog_select">
        <source>Write the chosen countries</source>
        <translation>Записать выбранные страны</translation>
    </message>
    <message id="gui_quit_title">
        <source>Stop the update?</source>
        <translation>Остановить обновление?</translation>
    </message>
    <message id="gui_quit_question">
        <source>The detector is being written right now. If you stop, it may not work until it is updated again. Stop and quit?</source>
        <translation>Сейчас идёт запись в детектор. Если остановить её, детектор может не работать, пока его не обновят снова. Остановить и выйти?</translation>
    </message>
    <message id="gui_demo_badge">
        <source>Demo: virtual detector and simulated server</source>
        <translation>Демо: виртуальный детектор и имитация сервера</translation>
    </message>
    <message id="gui_about_action">
        <source>About Detector Updater</source>
        <translation>О программе</translation>
    </message>
    <message id="gui_about_text">
        <source>Detector Updater %1

Updates the firmware and the speed-camera database of USB radar and GPS detectors.

Copyright (c) 2026 the detector-updater authors. Licence: %2.</source>
        <translation>Обновление детектора %1

Обновляет прошивку и базу камер радар-детекторов и GPS-информаторов по USB.

© 2026 авторы detector-updater. Лицензия: %2.</translation>
    </message>
    <message id="gui_btn_start_over">
        <source>Update another detector</source>
        <translation>Обновить другой детектор</translation>
    </message>
    <message id="gui_btn_show_log">
        <source>Show log</source>
        <translation>Показать журнал</translation>
    </message>
    <message id="gui_time_left_minutes">
        <source>%1 min %2 s left</source>
        <translation>Осталось %1 мин %2 с</translation>
    </message>
    <message id="gui_time_left_seconds">
        <source>%1 s left</source>
        <translation>Осталось %1 с</translation>
    </message>
    <message id="gui_a11y_connect">
        <source>Connect to the detector</source>
        <translation>Подключиться к детектору</translation>
    </message>
    <message id="gui_a11y_download">
        <source>Choose countries and write the update</source>
        <translation>Выбрать страны и записать обновление</translation>
    </message>
    <message id="gui_a11y_show_log">
        <source>Open the folder of this run's log</source>
        <translation>Открыть папку с журналом этого обновления</translation>
    </message>
    <message id="gui_a11y_status">
        <source>Status</source>
        <translation>Состояние</translation>
    </message>
    <message id="gui_a11y_details">
        <source>Details</source>
        <translation>Подробности</translation>
    </message>
    <message id="gui_a11y_device_name">
        <source>Detector</source>
        <translation>Детектор</translation>
    </message>
    <message id="gui_a11y_gps_version">
        <source>GPS version</source>
        <translation>Версия GPS</translation>
    </message>
    <message id="gui_a11y_rd_version">
        <source>Radar version</source>
        <translation>Версия радара</translation>
    </message>
    <message id="gui_a11y_progress">
        <source>Progress</source>
        <translation>Ход обновления</translation>
    </message>
    <message id="gui_a11y_time_left">
        <source>Time left</source>
        <translation>Оставшееся время</translation>
    </message>
    <message id="gui_a11y_country_table">
        <source>Countries</source>
        <translation>Страны</translation>
    </message>
    <message id="gui_a11y_country_table_help">
        <source>Click a country, or press Space on it, to choose it or take it out.</source>
        <translation>Щёлкните страну или нажмите на ней пробел, чтобы выбрать её или убрать.</translation>
    </message>
    <message id="gui_a11y_total">
        <source>Cameras chosen</source>
        <translation>Выбрано камер</translation>
    </message>
    <message id="gui_dialog_last_choice">
        <source>Last choice</source>
        <translation>Как в прошлый раз</translation>
    </message>
    <message id="gui_dialog_total">
        <source>%1 of %2 cameras</source>
        <translation>%1 из %2 камер</translation>
    </message>
    <message id="gui_dialog_refused">
        <source>Not added: %3 would make %1, more than the limit of %2 cameras</source>
        <translation>Не добавлено: с «%3» было бы %1 — больше предела в %2 камер</translation>
    </message>
    <message id="gui_dialog_last_choice_refused">
        <source>The last choice now holds %1 cameras, more than %2: not applied</source>
        <translation>В прошлом выборе теперь %1 — больше предела в %2 камер: выбор не применён</translation>
    </message>
    <message id="gui_dialog_last_choice_missing">
        <source>No longer listed, skipped: %1</source>
        <translation>Больше нет в списке, пропущены: %1</translation>
    </message>
</context>
</TS>
