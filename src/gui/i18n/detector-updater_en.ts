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

Updates the firmware and the speed-camera database of USB radar and GPS detectors.</source>
        <translation>Detector Updater %1

Updates the firmware and the speed-camera database of USB radar and GPS detectors.</translation>
    </message>
</context>
</TS>
