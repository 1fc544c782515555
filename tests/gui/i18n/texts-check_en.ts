<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Messages that take every path of tools/generate-texts.py; gui-tests compares its table
     with what lrelease and QTranslator make of the same files. -->
<TS version="2.1" language="en_US">
<context>
    <name></name>
    <message id="check_plain">
        <source>Plain</source>
        <translation>Plain text</translation>
    </message>
    <message id="check_escapes">
        <source>x</source>
        <translation>Say &quot;hi&quot; to C:\new\table\ &amp; the &lt;tag&gt;: it&apos;s ??= fine?</translation>
    </message>
    <message id="check_lines">
        <source>x</source>
        <translation>  first line	tab
second line, trailing blanks  </translation>
    </message>
    <message id="check_bytes">
        <source>x</source>
        <translation>escape<byte value="x1b"/>[0m, bell<byte value="7"/>7 &#x263A;1</translation>
    </message>
    <message id="check_unfinished_text">
        <source>source</source>
        <translation type="unfinished">draft</translation>
    </message>
    <message id="check_unfinished_empty">
        <source>from the source</source>
        <translation type="unfinished"></translation>
    </message>
    <message id="check_unfinished_nothing">
        <source></source>
        <translation type="unfinished"></translation>
    </message>
    <message id="check_finished_empty">
        <source>source</source>
        <translation>English of an empty finished one</translation>
    </message>
    <message id="check_obsolete">
        <source>source</source>
        <translation>English of an obsolete one</translation>
    </message>
    <message id="check_vanished">
        <source>source</source>
        <translation>English of a vanished one</translation>
    </message>
    <message id="check_english_only">
        <source>source</source>
        <translation>Only in English</translation>
    </message>
</context>
<context>
    <name>OtherContext</name>
    <message id="check_other_context">
        <source>source</source>
        <translation>The context does not count</translation>
    </message>
</context>
</TS>
