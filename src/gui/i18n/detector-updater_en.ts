<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name></name>
    <message id="str_ready_upper">
        <source>Ready to update</source>
        <translation>Ready to update</translation>
    </message>
    <message id="str_ready_under">
        <source>Plug the detector into a USB port and press Connect.</source>
        <translation>Plug the detector into a USB port and press Connect.</translation>
    </message>
    <message id="str_searching_device">
        <source>Searching for the detector…</source>
        <translation>Searching for the detector…</translation>
    </message>
    <message id="str_empty">
        <source></source>
        <translation type="unfinished"></translation>
    </message>
    <message id="str_connect_server">
        <source>Connecting to the update server…</source>
        <translation>Connecting to the update server…</translation>
    </message>
    <message id="str_check_internet">
        <source>Check the Internet connection.</source>
        <translation>Check the Internet connection.</translation>
    </message>
    <message id="str_clickDownload">
        <source>Press Download to choose countries and update.</source>
        <translation>Press Download to choose countries and update.</translation>
    </message>
    <message id="str_FW_downloading_coment_RD">
        <source>Writing the radar firmware…</source>
        <translation>Writing the radar firmware…</translation>
    </message>
    <message id="str_FW_downloading_coment_GPS">
        <source>Writing the GPS firmware…</source>
        <translation>Writing the GPS firmware…</translation>
    </message>
    <message id="str_FW_downloading_coment_DB">
        <source>Writing the camera database…</source>
        <translation>Writing the camera database…</translation>
    </message>
    <message id="str_download_success">
        <source>Update complete</source>
        <translation>Update complete</translation>
    </message>
    <message id="str_finish_coment">
        <source>You can unplug the detector now.</source>
        <translation>You can unplug the detector now.</translation>
    </message>
    <message id="str_download_fail">
        <source>Update failed</source>
        <translation>Update failed</translation>
    </message>
    <message id="str_device_not_permitted">
        <source>The detector is plugged in, but this user may not open it. Install the udev rule from the source folder: sudo cp packaging/udev/70-detector-updater.rules /etc/udev/rules.d/ &amp;&amp; sudo udevadm control --reload &amp;&amp; sudo udevadm trigger, then plug the detector in again.</source>
        <translation>The detector is plugged in, but this user may not open it. Install the udev rule from the source folder: sudo cp packaging/udev/70-detector-updater.rules /etc/udev/rules.d/ &amp;&amp; sudo udevadm control --reload &amp;&amp; sudo udevadm trigger, then plug the detector in again.</translation>
    </message>
    <message id="str_device_not_permitted_windows">
        <source>The detector is plugged in, but Windows does not let the updater open it. Close the updater and start it again with &quot;Run as administrator&quot; (right-click its icon), and close other programs that may hold the detector&apos;s drive: Explorer windows, disk tools, antivirus scans.</source>
        <translation>The detector is plugged in, but Windows does not let the updater open it. Close the updater and start it again with &quot;Run as administrator&quot; (right-click its icon), and close other programs that may hold the detector&apos;s drive: Explorer windows, disk tools, antivirus scans.</translation>
    </message>
    <message id="str_device_busy">
        <source>The detector is plugged in, but another program holds it. Close that program (another updater, a disk tool) or unmount the detector.</source>
        <translation>The detector is plugged in, but another program holds it. Close that program (another updater, a disk tool) or unmount the detector.</translation>
    </message>
    <message id="gui_window_title">
        <source>Detector Updater</source>
        <translation>Detector Updater</translation>
    </message>
    <message id="gui_btn_connect">
        <source>Connect</source>
        <translation>Connect</translation>
    </message>
    <message id="gui_btn_download">
        <source>Download</source>
        <translation>Download</translation>
    </message>
    <message id="gui_qvt_db_layout">
        <source>Camera database</source>
        <translation>Camera database</translation>
    </message>
    <message id="gui_dialog_check_column">
        <source>Chosen</source>
        <translation>Chosen</translation>
    </message>
    <message id="gui_dialog_count_column">
        <source>Cameras</source>
        <translation>Cameras</translation>
    </message>
    <message id="gui_dialog_exclude_strelka">
        <source>Exclude Strelka cameras</source>
        <translation>Exclude Strelka cameras</translation>
    </message>
    <message id="gui_dialog_exclude_fake">
        <source>Exclude Fake cameras</source>
        <translation>Exclude Fake cameras</translation>
    </message>
    <message id="gui_dialog_select">
        <source>Write the chosen countries</source>
        <translation>Write the chosen countries</translation>
    </message>
    <message id="gui_quit_title">
        <source>Stop the update?</source>
        <translation>Stop the update?</translation>
    </message>
    <message id="gui_quit_question">
        <source>The detector is being written right now. If you stop, it may not work until it is updated again. Stop and quit?</source>
        <translation>The detector is being written right now. If you stop, it may not work until it is updated again. Stop and quit?</translation>
    </message>
    <message id="gui_demo_badge">
        <source>Demo: virtual detector and simulated server</source>
        <translation>Demo: virtual detector and simulated server</translation>
    </message>
    <message id="gui_about_action">
        <source>About Detector Updater</source>
        <translation>About Detector Updater</translation>
    </message>
    <message id="gui_about_text">
        <source>Detector Updater %1

Updates the firmware and the speed-camera database of USB radar and GPS detectors.

Copyright (c) 2026 the detector-updater authors. Licence: %2.</source>
        <translation>Detector Updater %1

Updates the firmware and the speed-camera database of USB radar and GPS detectors.

Copyright (c) 2026 the detector-updater authors. Licence: %2.</translation>
    </message>
    <message id="gui_btn_start_over">
        <source>Update another detector</source>
        <translation>Update another detector</translation>
    </message>
    <message id="gui_btn_show_log">
        <source>Show log</source>
        <translation>Show log</translation>
    </message>
    <message id="gui_time_left_minutes">
        <source>%1 min %2 s left</source>
        <translation>%1 min %2 s left</translation>
    </message>
    <message id="gui_time_left_seconds">
        <source>%1 s left</source>
        <translation>%1 s left</translation>
    </message>
    <message id="gui_a11y_connect">
        <source>Connect to the detector</source>
        <translation>Connect to the detector</translation>
    </message>
    <message id="gui_a11y_download">
        <source>Choose countries and write the update</source>
        <translation>Choose countries and write the update</translation>
    </message>
    <message id="gui_a11y_show_log">
        <source>Open the folder of this run's log</source>
        <translation>Open the folder of this run's log</translation>
    </message>
    <message id="gui_a11y_status">
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message id="gui_a11y_details">
        <source>Details</source>
        <translation>Details</translation>
    </message>
    <message id="gui_a11y_device_name">
        <source>Detector</source>
        <translation>Detector</translation>
    </message>
    <message id="gui_a11y_gps_version">
        <source>GPS version</source>
        <translation>GPS version</translation>
    </message>
    <message id="gui_a11y_rd_version">
        <source>Radar version</source>
        <translation>Radar version</translation>
    </message>
    <message id="gui_a11y_progress">
        <source>Progress</source>
        <translation>Progress</translation>
    </message>
    <message id="gui_a11y_time_left">
        <source>Time left</source>
        <translation>Time left</translation>
    </message>
    <message id="gui_a11y_country_table">
        <source>Countries</source>
        <translation>Countries</translation>
    </message>
    <message id="gui_a11y_country_table_help">
        <source>Click a country, or press Space on it, to choose it or take it out.</source>
        <translation>Click a country, or press Space on it, to choose it or take it out.</translation>
    </message>
    <message id="gui_a11y_total">
        <source>Cameras chosen</source>
        <translation>Cameras chosen</translation>
    </message>
    <message id="gui_dialog_last_choice">
        <source>Last choice</source>
        <translation>Last choice</translation>
    </message>
    <message id="gui_dialog_total">
        <source>%1 of %2 cameras</source>
        <translation>%1 of %2 cameras</translation>
    </message>
    <message id="gui_dialog_refused">
        <source>Not added: %3 would make %1, more than the limit of %2 cameras</source>
        <translation>Not added: %3 would make %1, more than the limit of %2 cameras</translation>
    </message>
    <message id="gui_dialog_last_choice_refused">
        <source>The last choice now holds %1 cameras, more than %2: not applied</source>
        <translation>The last choice now holds %1 cameras, more than %2: not applied</translation>
    </message>
    <message id="gui_dialog_last_choice_missing">
        <source>No longer listed, skipped: %1</source>
        <translation>No longer listed, skipped: %1</translation>
    </message>
</context>
</TS>
