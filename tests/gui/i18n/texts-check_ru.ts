<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- The Russian side of texts-check_en.ts. -->
<TS version="2.1" language="ru_RU">
<context>
    <name></name>
    <message id="check_plain">
        <source>Plain</source>
        <translation>Простой текст №1</translation>
    </message>
    <message id="check_escapes">
        <source>x</source>
        <translation>Скажите «привет» C:\new\ &amp; &quot;\&quot;</translation>
    </message>
    <message id="check_lines">
        <source>x</source>
        <translation>первая
вторая
</translation>
    </message>
    <message id="check_bytes">
        <source>x</source>
        <translation>Ж<byte value="x1b"/>7Ж</translation>
    </message>
    <message id="check_unfinished_text">
        <source>source</source>
        <translation type="unfinished">черновик</translation>
    </message>
    <message id="check_unfinished_empty">
        <source>из источника</source>
        <translation type="unfinished"></translation>
    </message>
    <message id="check_unfinished_nothing">
        <source></source>
        <translation type="unfinished"></translation>
    </message>
    <message id="check_finished_empty">
        <source>source</source>
        <translation></translation>
    </message>
    <message id="check_obsolete">
        <source>source</source>
        <translation type="obsolete">устарело</translation>
    </message>
    <message id="check_vanished">
        <source>source</source>
        <translation type="vanished">исчезло</translation>
    </message>
    <message id="check_russian_only">
        <source>source</source>
        <translation>Только по-русски</translation>
    </message>
</context>
</TS>
