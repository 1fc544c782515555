#!/usr/bin/env python3
"""Runs detector-updater-cli as a user would, against detector-update-server on a free loopback
port and virtual detectors, and checks what it printed, its exit status, its JSON result, its
trace and the detector memory it dumped.

usage: cli_cases.py CASE --cli BIN --server BIN --catalog DIR --profiles DIR [--emulator RUNNER]

With --emulator (the Windows build: tools/wine-run) both programs run under it.
"""

import argparse
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

RD_START, RD_END = 0x08003000, 0x08007000
GPS_START, GPS_END = 0x0800C000, 0x0800E000
IMAGE_BASE = 0x08000000
DB_HEADER = 0x0801FF00
RD_VERIFY = 0x08001C00
LIMIT = 9300
HALF_WRITTEN = "The detector is half written: run the update again before using it."
CATALOGUE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "cli",
                         "CliTexts.cpp")


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def parse_intel_hex(path):
    """{address: byte} of an Intel HEX file; every record's checksum must hold."""
    memory = {}
    upper = 0
    ended = False
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line:
                continue
            check(line.startswith(":"), "%s:%d does not start with ':'" % (path, number))
            raw = bytes.fromhex(line[1:])
            check(sum(raw) & 0xFF == 0, "%s:%d bad checksum" % (path, number))
            count, offset, kind = raw[0], (raw[1] << 8) | raw[2], raw[3]
            data = raw[4:4 + count]
            check(len(data) == count, "%s:%d short record" % (path, number))
            if kind == 0:
                for i, b in enumerate(data):
                    memory[upper + offset + i] = b
            elif kind == 4:
                upper = ((data[0] << 8) | data[1]) << 16
            elif kind == 1:
                ended = True
    check(ended, "%s has no end-of-file record" % path)
    return memory


def free_port():
    """A loopback port nothing listens on."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def english_texts():
    """Every English text of the command line's catalogue, cut at its {N} slots."""
    with open(CATALOGUE, encoding="utf-8") as f:
        entries = re.findall(r'\{"(\w+)",\s*"([^"]*)",\s*"([^"]*)"\}', f.read())
    check(len(entries) > 50, "the catalogue was read")
    pieces = set()
    for _, english, _ in entries:
        for piece in re.split(r"\{\d\}", english):
            piece = piece.strip(" .,:;()'")
            if len(re.findall(r"[A-Za-z]{2,}", piece)) >= 2:
                pieces.add(piece)
    return pieces


def read(memory, address, length):
    return bytes(memory.get(address + i, 0xFF) for i in range(length))


class Server:
    """detector-update-server on a free port of 127.0.0.1."""

    def __init__(self, binary, catalog, faults=(), emulator=()):
        self.log = tempfile.NamedTemporaryFile(prefix="cli-server-", suffix=".log", delete=False)
        args = [*emulator, binary, "--catalog", catalog, "--port", "0", "--log", self.log.name]
        for fault in faults:
            args += ["--fault", fault]
        self.process = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        found = re.search(r"at (http://127\.0\.0\.1:\d+)", line)
        check(found, "the server did not say where it listens: %r" % line)
        self.url = found.group(1)

    def requests(self):
        with open(self.log.name, encoding="utf-8") as f:
            return f.read()

    def close(self):
        self.process.send_signal(signal.SIGINT)
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
        os.unlink(self.log.name)


class Case:
    def __init__(self, args):
        self.args = args
        self.work = tempfile.mkdtemp(prefix="cli-case-")
        self.server = None

    def profile(self, name="signature-5810e.json", faults=None):
        path = os.path.join(self.args.profiles, name)
        if faults is None:
            return path
        with open(path, encoding="utf-8") as f:
            profile = json.load(f)
        profile["faults"] = faults
        made = os.path.join(self.work, "profile.json")
        with open(made, "w", encoding="utf-8") as f:
            json.dump(profile, f)
        return made

    def start_server(self, faults=(), catalog=None):
        self.server = Server(self.args.server, catalog or self.args.catalog, faults,
                             self.emulator())
        return self.server

    def emulator(self):
        return [self.args.emulator] if self.args.emulator else []

    def run(self, *cli_args, stdin_text=None, server=True, timeout=60):
        args = [*self.emulator(), self.args.cli]
        if server:
            if self.server is None:
                self.start_server()
            args += ["--server", self.server.url, "--probe-url", self.server.url + "/"]
        args += list(cli_args)
        env = self.env()
        done = subprocess.run(args, input=stdin_text if stdin_text is not None else "",
                              capture_output=True, text=True, timeout=timeout, env=env)
        print("$ " + " ".join(args))
        print("status %d\n--- stdout\n%s--- stderr\n%s---" % (done.returncode, done.stdout,
                                                           done.stderr))
        return done

    def env(self):
        # Wine reads the command line in the locale's character set: UTF-8 keeps every name.
        return dict(os.environ, LANG="C.UTF-8" if self.args.emulator else "C", NO_COLOR="1")

    def json_result(self, done):
        try:
            return json.loads(done.stdout)
        except ValueError as error:
            raise Failure("stdout is not one JSON object: %s" % error)

    def trace_writes(self, trace):
        with open(trace, encoding="utf-8") as f:
            return [line for line in f if " write sel=" in line]

    def camera_count(self, countries):
        counts = {}
        with open(os.path.join(self.args.catalog, "cameras.csv"), encoding="utf-8") as f:
            next(f)
            for line in f:
                name = line.rstrip("\n").split(",")[6]
                counts[name] = counts.get(name, 0) + 1
        return sum(counts[c] for c in countries), counts

    def image(self, kind):
        with open(os.path.join(self.args.catalog, "firmware", "5810_SIGNATUREE", kind + ".bin"),
                  "rb") as f:
            return f.read()

    def close(self):
        if self.server is not None:
            self.server.close()


def dumped(result):
    """The dump files a JSON result names, in the host's separators (Windows joins with '\\')."""
    return sorted(p.replace("\\", "/") for p in result["memoryDump"])


def case_unicode_paths(c):
    # Names beyond ASCII, as the command line takes them: the profile read, the trace and the
    # dump written.
    folder = os.path.join(c.work, "Проверка ñ")
    os.makedirs(folder)
    profile = os.path.join(folder, "профиль.json")
    shutil.copyfile(c.profile(), profile)
    trace = os.path.join(folder, "трасса.txt")
    dump = os.path.join(folder, "память")
    done = c.run("--device", "sim:" + profile, "--no-pauses", "--trace", trace,
                 "--dump-memory", dump, "--json", "check", "--countries", "Latvija")
    check(done.returncode == 0, "check succeeded")
    check(dumped(c.json_result(done)) == [os.path.join(dump, "selector0.hex"),
                                          os.path.join(dump, "selector1.hex")], "dump files")
    parse_intel_hex(os.path.join(dump, "selector1.hex"))
    with open(trace, encoding="utf-8") as f:
        check(" read sel=" in f.read(), "the trace was written")


def case_update_writes_images(c):
    dump = os.path.join(c.work, "dump")
    trace = os.path.join(c.work, "trace.txt")
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--dump-memory", dump,
                 "--trace", trace, "--json", "update", "--countries", "Latvija,Eesti", "--yes")
    check(done.returncode == 0, "update did not complete")
    result = c.json_result(done)
    check(result["status"] == "complete" and result["exitCode"] == 0, "status in JSON")
    check(result["command"] == "update", "command in JSON")
    check(result["panelState"] == "COMPLETE", "panel state COMPLETE")
    check(result["device"]["keyword"] == "5810_SIGNATUREE", "device keyword")
    check(result["selection"]["countries"] == ["Latvija", "Eesti"], "chosen countries")
    expected, _ = c.camera_count(["Latvija", "Eesti"])
    check(result["selection"]["records"] == expected, "record count %d" % expected)
    check("COMPLETE" in done.stderr, "COMPLETE shown")
    check(dumped(result) == [os.path.join(dump, "selector0.hex"),
                             os.path.join(dump, "selector1.hex")], "dump files")

    sel0 = parse_intel_hex(os.path.join(dump, "selector0.hex"))
    sel1 = parse_intel_hex(os.path.join(dump, "selector1.hex"))
    rd, gps = c.image("rd"), c.image("gps")
    check(read(sel1, RD_START, RD_END - RD_START) == rd[RD_START - IMAGE_BASE:],
          "the RD application in selector 1 is the RD image")
    check(read(sel0, GPS_START, GPS_END - GPS_START) == gps[GPS_START - IMAGE_BASE:],
          "the GPS application in selector 0 is the GPS image")
    lo, hi = expected & 0xFF, (expected >> 8) & 0xFF
    check(read(sel0, DB_HEADER, 4) == bytes([lo, hi, lo ^ 0xFF, hi ^ 0xFF]),
          "database header block")
    check(read(sel0, DB_HEADER + 4, 252) == bytes(252), "header block zeros")
    check(read(sel1, RD_VERIFY, 40) == b"BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2012~",
          "RD verify block")
    db_pages = (10 * expected + 0xFFF) // 0x1000
    rd_pages, gps_pages = (RD_END - RD_START) // 0x400, (GPS_END - GPS_START) // 0x100
    check(len(c.trace_writes(trace)) == rd_pages + gps_pages + db_pages + 3,
          "the trace holds every page write and the three blocks")
    check(result["pagesWritten"] == rd_pages + gps_pages + db_pages,
          "pagesWritten counts the image pages, not the blocks")
    check("/qvt_database/finish/" in c.server.requests(), "finish request sent")


def case_check_writes_nothing(c):
    dump = os.path.join(c.work, "dump")
    trace = os.path.join(c.work, "trace.txt")
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--trace", trace,
                 "--dump-memory", dump, "--json", "check", "--countries", "Latvija")
    check(done.returncode == 0, "check succeeded")
    result = c.json_result(done)
    stages = {s["stage"]: s for s in result["plan"]["stages"]}
    check(sorted(stages) == ["DB", "GPS", "RD"], "three stages")
    records, _ = c.camera_count(["Latvija"])
    check(stages["DB"]["imageBytes"] == 4 + 10 * records, "database size from the choice")
    check(stages["RD"]["address"] == RD_START and stages["RD"]["selector"] == 1, "RD stage")
    check(stages["RD"]["pages"] == (RD_END - RD_START) // 0x400, "RD pages")
    check(stages["GPS"]["pages"] == (GPS_END - GPS_START) // 0x100, "GPS pages")
    check(result["plan"]["rdVersion"] != "", "new RD version text")
    check(c.trace_writes(trace) == [], "no write in the trace")
    sel0 = parse_intel_hex(os.path.join(dump, "selector0.hex"))
    check(read(sel0, GPS_START, 64) == b"\xff" * 64, "GPS area untouched")
    check("/qvt_database/finish/" not in c.server.requests(), "no finish request")


def case_unknown_country(c):
    trace = os.path.join(c.work, "trace.txt")
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--trace", trace,
                 "update", "--countries", "Latvija,Atlantis", "--yes")
    check(done.returncode == 1, "status 1")
    check("unknown country: 'Atlantis'" in done.stdout, "names the unknown country")
    check(c.trace_writes(trace) == [], "device untouched")


def case_over_limit(c):
    trace = os.path.join(c.work, "trace.txt")
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--trace", trace, "--json",
                 "update", "--countries", "all", "--yes")
    check(done.returncode == 1, "status 1")
    result = c.json_result(done)
    check("at most 9300" in result["message"], "the message names the limit")
    _, counts = c.camera_count([])
    check(str(sum(counts.values())) in result["message"], "the message names the total")
    check(c.trace_writes(trace) == [], "device untouched")


def case_exclusions_within_limit(c):
    # Every country but one is over the limit; the exclusions are applied before the clicks.
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--json", "check",
                 "--countries", "Россия,Україна", "--exclude-strelka", "--exclude-fake")
    check(done.returncode == 0, "check succeeded")
    result = c.json_result(done)
    db = [s for s in result["plan"]["stages"] if s["stage"] == "DB"][0]
    total, _ = c.camera_count(["Россия", "Україна"])
    check(4 < db["imageBytes"] < 4 + 10 * total, "fewer records without Strelka and Fake")


def case_declined(c):
    trace = os.path.join(c.work, "trace.txt")
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--trace", trace, "update",
                 "--countries", "Eesti", stdin_text="n\n")
    check(done.returncode == 1, "status 1")
    check("Write this to the detector?" in done.stdout, "asked")
    check("RD" in done.stdout and "pages" in done.stdout, "the plan was shown")
    records, _ = c.camera_count(["Eesti"])
    check("(camera records: %d):" % records in done.stdout, "the rebuilt database's count")
    check(c.trace_writes(trace) == [], "device untouched")


def case_gps_failure(c):
    profile = c.profile(faults=[{"kind": "corrupt-read", "selector": 0, "address": "0x0800C810"}])
    done = c.run("--device", "sim:" + profile, "--no-pauses", "--json", "update", "--countries",
                 "Eesti", "--yes")
    check(done.returncode == 1, "status 1")
    result = c.json_result(done)
    check(result["lowerText"] == "GPS Firmware Error", "the window's error text")
    check(result["panelState"] == "FAIL", "FAIL")
    check("FAIL\n" in done.stderr and "GPS Firmware Error" in done.stderr, "shown")
    check(done.stderr.endswith("GPS Firmware Error\n" + HALF_WRITTEN + "\n"),
          "says the detector is half written")
    check("/qvt_database/finish/" not in c.server.requests(), "no finish request")


def case_name_not_utf8(c):
    # A name block with a byte that is no UTF-8 (0xC9): every output shows it as \xC9.
    with open(c.profile(), encoding="utf-8") as f:
        profile = json.load(f)
    block = "QV,5810 SIGNATUR\xc9 HW2 R1 2016 CIS E $$ZLM\x00".encode("latin-1")
    profile["memory"][0] = {"selector": 0, "address": "0x08002E00", "hex": block.hex()}
    path = os.path.join(c.work, "not-utf8.json")
    with open(path, "w", encoding="utf-8") as f:
        json.dump(profile, f)
    trace = os.path.join(c.work, "trace.txt")
    for command in (["info"], ["update", "--countries", "Eesti", "--yes"]):
        done = c.run("--device", "sim:" + path, "--no-pauses", "--trace", trace, "--json",
                     *command)
        check(done.returncode == 1, "%s: status 1, not an abort: %d" % (command[0],
                                                                        done.returncode))
        result = c.json_result(done)
        check(result["device"]["name"] == "5810 SIGNATUR\\xC9", "name %r" % result["device"])
        check("'5810_SIGNATUR\\xC9E'" in result["message"], "message %r" % result["message"])
        check("SIGNATUR\\xC9" in done.stderr, "terminal shows \\xC9")
        with open(trace, "rb") as f:
            text = f.read().decode("utf-8")  # raises on a stray byte
        check("SIGNATUR\\xC9" in text, "trace shows \\xC9")


def case_update_type_on_failure(c):
    done = c.run("--device", "sim:" + c.profile("qvt-ka7.json"), "--no-pauses", "--json", "info")
    check(done.returncode == 1, "status 1")
    result = c.json_result(done)
    check(result["lowerText"] == "Device does not supported", "the system's text")
    check(result.get("updateType") == 1, "updateType of MERIDIAN kept on the failure")


def case_database_disabled(c):
    # The demo catalog with the database turned off in the 5810's device information.
    catalog = os.path.join(c.work, "catalog")
    os.mkdir(catalog)
    for name in ("countries.csv", "cameras.csv", "firmware"):
        os.symlink(os.path.join(os.path.abspath(c.args.catalog), name), os.path.join(catalog, name))
    with open(os.path.join(c.args.catalog, "catalog.json"), encoding="utf-8") as f:
        data = json.load(f)
    model = next(m for m in data["models"] if m["keyword"] == "5810_SIGNATUREE")
    model["info"][11] = "false"
    with open(os.path.join(catalog, "catalog.json"), "w", encoding="utf-8") as f:
        json.dump(data, f)
    c.start_server(catalog=catalog)
    for command in (["check"], ["update", "--yes"]):
        done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--json", *command,
                     "--countries", "Latvija")
        check(done.returncode == 1, command[0] + ": status 1")
        message = c.json_result(done)["message"]
        check("disables the database" in message and "lists" not in message,
              command[0] + ": the cause named: " + message)
    check("/qvt_database/" not in c.server.requests(), "no country list asked for")


def case_gps_readback_stalled(c):
    # The read-back of the ninth GPS page stalls its data pipe until the host clears it.
    page = GPS_START + 8 * 0x100
    profile = c.profile(faults=[{"kind": "stall-data", "operation": "read", "selector": 0,
                                 "address": "0x%08X" % page}])
    trace = os.path.join(c.work, "trace.txt")
    done = c.run("--device", "sim:" + profile, "--no-pauses", "--trace", trace, "--json",
                 "update", "--countries", "Eesti", "--yes", timeout=30)
    check(done.returncode == 1, "status 1")
    result = c.json_result(done)
    check(result["lowerText"] == "GPS Firmware Error", "the window's error text")
    check(result["panelState"] == "FAIL", "FAIL")
    check("/qvt_database/finish/" not in c.server.requests(), "no finish request")
    with open(trace, encoding="utf-8") as f:
        lines = [line.rstrip("\n") for line in f]
    stalled = [i for i, line in enumerate(lines) if "read sel=0 addr=0x%08X" % page in line]
    check(len(stalled) == 1, "one read-back of the stalled page")
    after = lines[stalled[0] + 1:]
    check(any(line.endswith("usb data in 0 bytes failed: virtual detector stalled a read")
              for line in after[:1]), "the data phase stalled: %r" % after[:1])
    check(any(line.endswith("usb clear halt bulk in ok") for line in after[1:2]),
          "the host cleared the halt as a line of its own: %r" % after[1:2])
    check(any(line.endswith("usb status 1 residue 256 ok") for line in after[2:3]),
          "then read the status: %r" % after[2:3])
    check(not any(" write sel=" in line or " read sel=" in line for line in after),
          "nothing sent after the failed page")
    written = c.trace_writes(trace)
    check(written and "write sel=0 addr=0x%08X" % page in written[-1],
          "the stalled page was the last one written")


def case_database_error(c):
    c.start_server(faults=["404:/qvt_database"])
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "check")
    check(done.returncode == 1, "check: status 1")
    check("Error_Code_401/ NoCountries / " in done.stdout, "check: Error_Code_401 NoCountries")
    done = c.run("countries")
    check(done.returncode == 1, "countries: status 1")
    check("Error_Code_401/ NoCountries / " in done.stdout, "countries: Error_Code_401 NoCountries")


def case_countries(c):
    # No detector at all: the list needs only the server.
    done = c.run("--json", "countries")
    check(done.returncode == 0, "status 0")
    result = c.json_result(done)
    _, counts = c.camera_count([])
    check({e["name"]: int(e["cameras"]) for e in result["countries"]} == counts,
          "every country with its camera count")
    check(all(int(e["strelka"]) > 0 and int(e["fake"]) > 0 for e in result["countries"]),
          "Strelka and Fake counts")
    # Every row of the table as wide as the header, in characters (Cyrillic included).
    done = c.run("--lang", "ru", "countries")
    lines = done.stdout.rstrip("\n").split("\n")
    check(len(lines) == len(counts) + 1, "a header and one row per country")
    check(len({len(line) for line in lines}) == 1, "the columns line up")
    check(any(line.startswith("Україна ") for line in lines), "Cyrillic names")


def case_unwritable_dump_folder(c):
    blocker = os.path.join(c.work, "a-file")
    open(blocker, "w").close()
    trace = os.path.join(c.work, "trace.txt")
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--trace", trace,
                 "--dump-memory", os.path.join(blocker, "dump"), "update", "--countries",
                 "Eesti", "--yes")
    check(done.returncode == 2, "usage status 2")
    check("--dump-memory" in done.stdout, "says which option")
    check(not os.path.exists(trace) or c.trace_writes(trace) == [], "device untouched")
    check(c.server.requests() == "", "no request sent")


def case_server_port_in_use(c):
    first = c.start_server()
    port = first.url.rsplit(":", 1)[1]
    done = subprocess.run([*c.emulator(), c.args.server, "--catalog", c.args.catalog,
                           "--port", port], capture_output=True, text=True, timeout=30)
    print("second server: status %d\n%s%s" % (done.returncode, done.stdout, done.stderr))
    check(done.returncode == 2, "status 2")
    check("127.0.0.1:%s is in use" % port in done.stderr, "says the port is in use")


def case_info_russian(c):
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--lang", "ru", "info")
    check(done.returncode == 0, "status 0")
    check("5810_SIGNATUREE" in done.stdout and "5810 SIGNATURE" in done.stdout, "keyword and name")
    check("Поиск детектора" in done.stdout, "Russian texts")


def case_no_pauses_needs_sim(c):
    done = c.run("--no-pauses", "info", server=False)
    check(done.returncode == 2, "usage status 2")
    check("--no-pauses" in done.stderr, "says why")
    done = c.run("--dump-memory", c.work, "info", server=False)
    check(done.returncode == 2, "--dump-memory without sim: status 2")
    done = c.run("update", "--yes", server=False)
    check(done.returncode == 2, "update without --countries: status 2")
    done = c.run("frobnicate", server=False)
    check(done.returncode == 2, "unknown command: status 2")
    check(done.stderr == "detector-updater-cli: unknown command 'frobnicate'\n"
          "Try 'detector-updater-cli --help'.\n", "the error and a pointer to --help, no help")


def case_wait_no_device(c):
    busy = c.profile(faults=[{"kind": "refuse-interface"}])
    done = c.run("--device", "sim:" + busy, "--wait", "0.5", "--json", "info")
    check(done.returncode == 3, "status 3")
    result = c.json_result(done)
    check(result["status"] == "no-device", "no-device in JSON")
    # The held detector is named with the fix while searching, not searched for in silence.
    check("another program holds it" in done.stderr, "the busy detector is named")
    check(result["lowerText"].startswith("The detector is plugged in, but another program"),
          "the lower text names the busy detector")


def case_interrupt_while_waiting(c):
    busy = c.profile(faults=[{"kind": "refuse-interface"}])
    c.start_server()
    args = [*c.emulator(), c.args.cli, "--server", c.server.url, "--device", "sim:" + busy, "info"]
    process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    line = process.stdout.readline()
    while line and "Searching" not in line:
        line = process.stdout.readline()
    check("Searching" in line, "waiting for the device")
    time.sleep(0.3)
    check(process.poll() is None, "still waiting")
    process.send_signal(signal.SIGINT)
    # Generous: the process must be gone when we look after a few seconds.
    time.sleep(3)
    status = process.poll()
    if status is None:
        process.kill()
    out, _ = process.communicate()
    check(status == 130, "ended with 130 after Ctrl-C (got %r)" % status)
    check("Interrupted.\n" in out and "half written" not in out, "nothing written, none claimed")


def case_interrupt_while_writing(c):
    c.start_server()
    args = [*c.emulator(), c.args.cli, "--server", c.server.url, "--probe-url",
            c.server.url + "/", "--device", "sim:" + c.profile(), "update", "--countries",
            "Eesti", "--yes"]
    process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                               env=c.env())
    seen = ""
    for line in process.stdout:
        seen += line
        # With the pauses, a radar page is written every 0.3 s.
        if "Writing the radar firmware" in seen and line == "12 %\n":
            break
    process.send_signal(signal.SIGINT)
    out, _ = process.communicate(timeout=10)
    print(seen + out)
    check(process.returncode == 130, "ended with 130 (got %r)" % process.returncode)
    check(out.endswith("Interrupted.\n" + HALF_WRITTEN + "\n"), "says it is half written")


def case_info_offline(c):
    trace = os.path.join(c.work, "trace.txt")
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--trace", trace, "--json",
                 "info", "--offline")
    check(done.returncode == 0, "status 0")
    result = c.json_result(done)
    check(result["device"] == {"name": "5810 SIGNATURE", "keyword": "5810_SIGNATUREE",
                               "edition": "E", "star": False, "layout": 0,
                               "gpsVersion": "5810Gx1604150900", "rdVersion": "5810RD1603011000"},
          "the same device fields as info, versions read from the device")
    check(c.server.requests().strip() == "", "no request reached the server")
    with open(trace, encoding="utf-8") as f:
        check(" http " not in f.read(), "no HTTP request in the trace")
    check(c.run("--offline", "check", server=False).returncode == 2, "--offline is info's")


def case_verify(c):
    trace = os.path.join(c.work, "trace.txt")
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--trace", trace, "--json",
                 "verify")
    check(done.returncode == 1, "a detector that was never updated differs: status 1")
    result = c.json_result(done)
    check(result["status"] == "differs", "differs in JSON")
    stages = {s["stage"]: s for s in result["verify"]["stages"]}
    check(sorted(stages) == ["GPS", "GPS verify block", "RD", "RD verify block"], "four stages")
    check(stages["RD"]["result"] == "differs" and stages["RD"]["firstDifference"] == RD_START,
          "RD differs from its first page")
    check(stages["RD"]["differingPages"] == stages["RD"]["pages"] == (RD_END - RD_START) // 0x400,
          "every RD page differs")
    check(stages["GPS"]["selector"] == 0 and stages["GPS"]["pages"] == (GPS_END - GPS_START) // 0x100,
          "GPS pages and selector")
    check(result["verify"]["databaseHeader"]["readable"], "the database header was read")
    check(c.trace_writes(trace) == [], "nothing written")
    check("/qvt_database/finish/" not in c.server.requests(), "no finish request")
    check("differs from 0x08003000" in done.stderr, "the text report names the address")


def case_clean_output(c):
    trace = os.path.join(c.work, "trace.txt")
    done = c.run("--device", "sim:" + c.profile(), "--no-pauses", "--trace", trace, "check")
    check(done.returncode == 0, "check succeeded")
    check("direction" not in done.stdout + done.stderr, "the pipe directions stay off the terminal")
    with open(trace, encoding="utf-8") as f:
        check("direction in, " in f.read(), "and to the trace")


def case_demo(c):
    done = c.run("--demo", "--no-pauses", "update", "--countries", "Latvija,Eesti", "--yes",
                 server=False)
    check(done.returncode == 0, "the demo completes")
    check("COMPLETE" in done.stdout, "COMPLETE shown")
    check("direction" not in done.stdout + done.stderr, "no link diagnostics on the terminal")
    check("to write: update" not in done.stdout, "no hint on starting an update during one")


def case_no_server(c):
    # The system's texts stay; one line says where nothing answered and what to do.
    dead = "http://127.0.0.1:%d" % free_port()
    done = c.run("--server", dead, "countries", server=False)
    check(done.returncode == 1, "countries: status 1")
    lines = done.stdout.split("\n")
    check(lines[0].startswith("Error_Code_401/ NoCountries / connection refused by "),
          "the system's text")
    check(dead in lines[1] and all(w in lines[1] for w in ("--server", "--demo",
                                                           "detector-update-server")),
          "the hint names the address, --server, --demo and the server")
    probe = "http://127.0.0.1:%d/" % free_port()
    done = c.run("--server", dead, "--probe-url", probe, "--device", "sim:" + c.profile(),
                 "--no-pauses", "info", server=False)
    check(done.returncode == 1, "info: status 1")
    lines = done.stdout.split("\n")
    at = lines.index("  Check the Internet connection")
    check(probe in lines[at + 1] and "--probe-url " + dead in lines[at + 1] and
          "--demo" in lines[at + 1], "the hint names the probe and how to point it")


def case_russian_complete(c):
    # Each path a user meets, in Russian: no English text of the catalogue is left, nor an
    # English phrase from outside it (the system's own texts aside).
    c.start_server()
    plain = c.profile()
    gps_fault = c.profile(faults=[{"kind": "corrupt-read", "selector": 0,
                                   "address": "0x0800C810"}])
    dead = "http://127.0.0.1:%d" % free_port()
    runs = [
        (["info"], None, True),
        (["check", "--countries", "Latvija"], None, True),
        (["update", "--countries", "Eesti"], "n\n", True),
        (["update", "--countries", "Latvija,Atlantis", "--yes"], None, True),
        (["update", "--countries", "all", "--yes"], None, True),
        (["verify"], None, True),
        (["countries"], None, True),
        (["--device", "sim:" + gps_fault, "update", "--countries", "Eesti", "--yes"], None, True),
        (["--server", dead, "countries"], None, False),
        (["--wait", "soon", "info"], None, False),
        (["--help"], None, False),
    ]
    pieces = english_texts()
    system = ("GPS Firmware Error", "Update Failed", "connection refused by")
    for args, stdin_text, server in runs:
        if "--device" not in args:
            args = ["--device", "sim:" + plain] + args
        done = c.run("--lang", "ru", "--no-pauses", *args, stdin_text=stdin_text, server=server)
        shown = done.stdout + done.stderr
        left = [p for p in pieces if p in shown]
        check(not left, "English catalogue texts in %s: %r" % (args[-1], left))
        for text in system:
            shown = shown.replace(text, "")
        phrase = re.search(r"[A-Za-z]{2,} [A-Za-z]{2,} [A-Za-z]{2,}", shown)
        check(not phrase, "an English phrase in %s: %r" % (args[-1], phrase and phrase.group(0)))
        check("ГОТОВО" not in shown, "READY reads ready, not done")
        if args[-1] == "info" and done.returncode == 0:
            fields = [l for l in done.stdout.split("\n") if l.startswith("  ") and ": " in l]
            check(len(fields) == 7, "seven device fields")
            columns = {len(l) - len(l.split(": ", 1)[1].lstrip(" ")) for l in fields}
            check(len(columns) == 1, "the device fields line up: %r" % fields)


CASES = {name[5:]: f for name, f in globals().items() if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--cli", required=True)
    parser.add_argument("--server", required=True)
    parser.add_argument("--catalog", required=True)
    parser.add_argument("--profiles", required=True)
    parser.add_argument("--emulator")
    args = parser.parse_args()
    case = Case(args)
    try:
        CASES[args.case](case)
    except Failure as failure:
        print("FAILED: %s" % failure)
        return 1
    finally:
        case.close()
    print("PASSED")
    return 0


if __name__ == "__main__":
    sys.exit(main())
