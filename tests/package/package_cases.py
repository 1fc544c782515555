#!/usr/bin/env python3
"""Builds the Debian package from a build tree with CPack and checks it as a user's system would
see it: lintian, the desktop entry, the AppStream metainfo, the file list, the control fields,
the post-install script, the bash completion, and the binaries run from the unpacked package.

usage: package_cases.py CASE --build-dir DIR --source-dir DIR --version X.Y.Z

The case 'build' writes DIR/package-test/ (the .deb and root/, the package unpacked with
dpkg -x); every other case reads it.
"""

import argparse
import glob
import gzip
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

APP_ID = "org.detectorupdater.DetectorUpdater"
BINARIES = ["detector-updater", "detector-updater-cli", "detector-update-server",
            "detector-usb-probe"]


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def run(args, **kwargs):
    kwargs.setdefault("stdout", subprocess.PIPE)
    kwargs.setdefault("stderr", subprocess.STDOUT)
    kwargs.setdefault("text", True)
    kwargs.setdefault("timeout", 240)
    return subprocess.run(args, **kwargs)


class Package:
    def __init__(self, args):
        self.args = args
        self.work = os.path.join(args.build_dir, "package-test")
        self.root = os.path.join(self.work, "root")

    def deb(self):
        debs = glob.glob(os.path.join(self.work, "detector-updater_*.deb"))
        check(len(debs) == 1, "expected one package in %s, found %s" % (self.work, debs))
        return debs[0]

    def usb_ids(self):
        """(vendor, product) as the udev rule in the source tree names them."""
        with open(os.path.join(self.args.source_dir, "packaging/udev/70-detector-updater.rules"),
                  encoding="utf-8") as f:
            rule = f.read()
        vendor = re.search(r'ATTR\{idVendor\}=="([0-9a-f]{4})"', rule)
        product = re.search(r'ATTR\{idProduct\}=="([0-9a-f]{4})"', rule)
        check(vendor and product, "the udev rule names no vendor and product")
        return vendor.group(1), product.group(1)

    def clean_environment(self):
        """The environment without anything that points the binaries at their data."""
        env = {k: v for k, v in os.environ.items() if not k.startswith("DETECTOR_")}
        env["LC_ALL"] = "C.UTF-8"
        return env


def case_build(p):
    shutil.rmtree(p.work, ignore_errors=True)
    os.makedirs(p.work)
    done = run(["cpack", "--config", os.path.join(p.args.build_dir, "CPackConfig.cmake"),
                "-B", p.work])
    print(done.stdout)
    check(done.returncode == 0, "cpack failed")
    expected = "detector-updater_%s_" % p.args.version
    check(os.path.basename(p.deb()).startswith(expected), "package name is not " + expected)
    done = run(["dpkg-deb", "-x", p.deb(), p.root])
    check(done.returncode == 0, "dpkg -x failed: " + done.stdout)


def case_lintian(p):
    # Errors and warnings both fail; the package has none to leave.
    done = run(["lintian", "--allow-root", "--no-tag-display-limit", p.deb()])
    print(done.stdout)
    tags = [line for line in done.stdout.splitlines() if re.match(r"^[EW]: ", line)]
    check(not tags, "lintian: %d errors or warnings" % len(tags))
    check(done.returncode == 0, "lintian ended with status %d" % done.returncode)


def case_desktop_entry(p):
    path = os.path.join(p.root, "usr/share/applications", APP_ID + ".desktop")
    done = run(["desktop-file-validate", path])
    print(done.stdout)
    check(done.returncode == 0 and not done.stdout.strip(), "desktop-file-validate complained")
    with open(path, encoding="utf-8") as f:
        entry = f.read()
    for key in ("Keywords=", "Keywords[ru]=", "Categories=", "Icon=" + APP_ID + "\n",
                "Exec=detector-updater\n"):
        check(key in entry, "the desktop entry lacks " + key.strip())


def case_metainfo(p):
    path = os.path.join(p.root, "usr/share/metainfo", APP_ID + ".metainfo.xml")
    done = run(["appstreamcli", "validate", "--no-net", path])
    print(done.stdout)
    check(done.returncode == 0, "appstreamcli validate failed")
    check(not re.search(r"^[EW]: ", done.stdout, re.M), "appstreamcli reports errors or warnings")
    component = ET.parse(path).getroot()
    lang = "{http://www.w3.org/XML/1998/namespace}lang"
    releases = component.findall("releases/release")
    check(releases and releases[0].get("version") == p.args.version,
          "the newest release is not %s" % p.args.version)
    paragraphs = component.findall("description/p")
    check(any(x.get(lang) == "ru" for x in paragraphs), "no Russian description")
    check(any(x.get(lang) is None for x in paragraphs), "no English description")
    vendor, product = p.usb_ids()
    modaliases = [m.text for m in component.findall("provides/modalias")]
    check("usb:v%sp%sd*" % (vendor.upper(), product.upper()) in modaliases,
          "no modalias for %s:%s in %s" % (vendor, product, modaliases))
    binaries = sorted(b.text for b in component.findall("provides/binary"))
    check(binaries == sorted(BINARIES), "provided binaries: %s" % binaries)
    check(len(component.findall("screenshots/screenshot")) >= 1, "no screenshots")
    for image in component.findall("screenshots/screenshot/image"):
        name = image.text.split("/screenshots/", 1)[-1]
        check(os.path.isfile(os.path.join(p.args.source_dir, "docs/screenshots", name)),
              "screenshot %s is not in docs/screenshots" % name)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n", path + " is not a PNG")
    return struct.unpack(">II", head[16:24])


def case_files(p):
    done = run(["dpkg-deb", "-c", p.deb()])
    check(done.returncode == 0, "dpkg-deb -c failed")
    listed = {line.split()[-1].lstrip(".") for line in done.stdout.splitlines()}
    wanted = ["/usr/bin/" + b for b in BINARIES] + [
        "/usr/lib/udev/rules.d/70-detector-updater.rules",
        "/usr/share/applications/%s.desktop" % APP_ID,
        "/usr/share/icons/hicolor/scalable/apps/%s.svg" % APP_ID,
        "/usr/share/metainfo/%s.metainfo.xml" % APP_ID,
        "/usr/share/bash-completion/completions/detector-updater-cli",
        "/usr/share/detector-updater/demo-catalog/catalog.json",
        "/usr/share/detector-updater/profiles/signature-5810e.json",
        "/usr/share/doc/detector-updater/copyright",
        "/usr/share/doc/detector-updater/changelog.gz",
    ] + ["/usr/share/man/man1/%s.1.gz" % b for b in BINARIES]
    for px in (48, 128, 256):
        icon = "/usr/share/icons/hicolor/%dx%d/apps/%s.png" % (px, px, APP_ID)
        wanted.append(icon)
        if icon in listed:
            check(png_size(p.root + icon) == (px, px), icon + " has the wrong size")
    missing = [w for w in wanted if w not in listed]
    check(not missing, "missing from the package: %s" % missing)
    for binary in BINARIES:
        with gzip.open(os.path.join(p.root, "usr/share/man/man1/%s.1.gz" % binary), "rt") as f:
            header = f.readline()
        check(header.startswith(".TH ") and '"detector-updater %s"' % p.args.version in header,
              "manual page of %s is not for %s: %s" % (binary, p.args.version, header))
    stray = [f for f in listed if f and not f.startswith("/usr/")]
    check(not stray, "outside /usr: %s" % stray)


def case_control(p):
    fields = {}
    for name in ("Depends", "Recommends", "Description", "Section", "Maintainer"):
        done = run(["dpkg-deb", "-f", p.deb(), name])
        fields[name] = done.stdout
    # Computed by dpkg-shlibdeps from the binaries, so every linked library is there.
    for library in ("libc6", "libstdc++6", "libqt6widgets6", "libusb-1.0-0", "libcurl4"):
        check(re.search(r"(^|, )%s( |,|$)" % re.escape(library), fields["Depends"]),
              "Depends lacks %s: %s" % (library, fields["Depends"]))
    # Without it the completion script finds no _init_completion and silently does nothing.
    check(re.search(r"(^|, )bash-completion( |,|$)", fields["Recommends"]),
          "Recommends lacks bash-completion: %r" % fields["Recommends"])
    lines = fields["Description"].splitlines()
    check(len(lines) > 3, "no long description")
    check(lines[1].strip() != lines[0].strip(), "the long description repeats the synopsis")
    check(fields["Section"].strip() == "utils", "section " + fields["Section"])
    check(re.match(r".+ <[^@ ]+@[^@ ]+>$", fields["Maintainer"].strip()), "maintainer address")


def fake_udevadm(folder, status):
    path = os.path.join(folder, "udevadm")
    with open(path, "w", encoding="utf-8") as f:
        f.write('#!/bin/sh\necho "udevadm $*" >> "%s/calls"\necho noise\necho noise >&2\n'
                'exit %d\n' % (folder, status))
    os.chmod(path, 0o755)


def case_postinst(p):
    work = tempfile.mkdtemp(dir=p.work)
    control = os.path.join(work, "control")
    check(run(["dpkg-deb", "-e", p.deb(), control]).returncode == 0, "dpkg-deb -e failed")
    script = os.path.join(control, "postinst")
    check(os.stat(script).st_mode & 0o777 == 0o755, "postinst is not 0755")
    vendor, product = p.usb_ids()
    env = dict(os.environ)
    # A udevadm that talks and fails: the script stays quiet and succeeds. Without /run/udev
    # (no udev running) it must not call udevadm at all.
    for status in (1, 0):
        fake = tempfile.mkdtemp(dir=work)
        fake_udevadm(fake, status)
        env["PATH"] = fake + ":/usr/bin:/bin"
        done = run(["sh", script, "configure", ""], env=env)
        check(done.returncode == 0, "postinst failed with a udevadm that fails")
        check(done.stdout == "", "postinst printed: %r" % done.stdout)
        calls_file = os.path.join(fake, "calls")
        calls = open(calls_file).read() if os.path.exists(calls_file) else ""
        if not os.path.isdir("/run/udev"):
            check(calls == "", "udevadm called without udev running: %r" % calls)
        else:
            check("udevadm control --reload-rules" in calls, "rules not reloaded: %r" % calls)
            check(re.search(r"trigger .*idVendor=%s.*idProduct=%s" % (vendor, product), calls),
                  "detector not triggered: %r" % calls)
    # Other maintainer actions do nothing.
    fake = tempfile.mkdtemp(dir=work)
    fake_udevadm(fake, 0)
    env["PATH"] = fake + ":/usr/bin:/bin"
    check(run(["sh", script, "abort-upgrade", "0.0.1"], env=env).returncode == 0, "abort-upgrade")
    check(not os.path.exists(os.path.join(fake, "calls")), "udevadm called on abort-upgrade")


def case_versions(p):
    # As on a server or over ssh: no display, and nothing that would stand in for one.
    env = {k: v for k, v in p.clean_environment().items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    for binary in BINARIES:
        done = run([os.path.join(p.root, "usr/bin", binary), "--version"], env=env,
                   stderr=subprocess.PIPE, cwd=p.work)
        check(done.returncode == 0, "%s --version: status %d %s" % (binary, done.returncode,
                                                                    done.stderr))
        check(re.match(r"^%s %s( \(git [^)]+\))?\n"
                       r"Copyright \(c\) 2026 the detector-updater authors\. Licence: MIT\.\n$"
                       % (re.escape(binary), re.escape(p.args.version)), done.stdout),
              "%s --version printed %r" % (binary, done.stdout))
        done = run([os.path.join(p.root, "usr/bin", binary), "--help"], env=env,
                   stderr=subprocess.PIPE, cwd=p.work)
        check(done.returncode == 0 and "--version" in done.stdout,
              "%s --help: status %d, printed %r %r" % (binary, done.returncode, done.stdout,
                                                       done.stderr))


def copyright_paragraphs(text):
    """The paragraphs of a machine-readable copyright file, as lists of lines."""
    return [block.split("\n") for block in text.strip("\n").split("\n\n")]


def case_licence(p):
    with open(os.path.join(p.args.source_dir, "LICENSE"), encoding="utf-8") as f:
        licence = f.read().strip("\n").split("\n")
    check(licence[0] == "MIT License", "LICENSE is not the MIT licence: " + licence[0])
    check(licence[2] == "Copyright (c) 2026 the detector-updater authors", licence[2])
    permission = licence[4:]
    with open(os.path.join(p.root, "usr/share/doc/detector-updater/copyright"),
              encoding="utf-8") as f:
        paragraphs = copyright_paragraphs(f.read())
    check(paragraphs[0][0].startswith("Format: https://www.debian.org/doc/packaging-manuals/"
                                      "copyright-format/1.0/"), "not machine-readable")
    files = [x for x in paragraphs if x[0] == "Files: *"]
    check(len(files) == 1 and "License: Expat" in files[0],
          "the copyright file does not put every file under Expat: %s" % files)
    texts = [x for x in paragraphs if x[0] == "License: Expat"]
    check(len(texts) == 1, "no stand-alone Expat licence text")
    text = ["" if line == " ." else line[1:] for line in texts[0][1:]]
    check(text == permission, "the copyright file's licence text is not LICENSE's")
    with open(os.path.join(p.args.source_dir, "THIRD-PARTY-NOTICES.md"), encoding="utf-8") as f:
        notices = f.read()
    for name in ("nlohmann-json", "cpp-httplib", "GoogleTest"):
        check(("## " + name) in notices, "THIRD-PARTY-NOTICES.md has no notice for " + name)
        check(name in "\n".join(paragraphs[0]), "the copyright file does not name " + name)
    component = ET.parse(os.path.join(p.root, "usr/share/metainfo",
                                      APP_ID + ".metainfo.xml")).getroot()
    check(component.findtext("project_license") == "MIT",
          "metainfo project_license: %r" % component.findtext("project_license"))
    with open(os.path.join(p.args.source_dir, "README.md"), encoding="utf-8") as f:
        check(re.search(r"^## Licence\n\n.*\bMIT\b", f.read(), re.M),
              "the README has no Licence section naming MIT")


def case_demo_update(p):
    cli = os.path.join(p.root, "usr/bin/detector-updater-cli")
    # Nothing in the binary's own folder: the data must come from usr/share/detector-updater.
    check(not os.path.exists(os.path.join(p.root, "usr/bin/demo-catalog")), "catalog in bin/")
    with tempfile.TemporaryDirectory(dir=p.work) as cwd:
        done = run([cli, "--demo", "--no-pauses", "update", "--countries", "Latvija", "--yes"],
                   env=p.clean_environment(), cwd=cwd)
    print(done.stdout[-2000:])
    check(done.returncode == 0, "the demo update ended with status %d" % done.returncode)
    check("COMPLETE" in done.stdout, "no COMPLETE")
    # A bare profile name is one of the installed profiles.
    with tempfile.TemporaryDirectory(dir=p.work) as cwd:
        done = run([cli, "--demo", "--no-pauses", "--device", "sim:signature-5810e.json", "info"],
                   env=p.clean_environment(), cwd=cwd)
    check(done.returncode == 0, "info on the installed profile: status %d\n%s"
          % (done.returncode, done.stdout))


def complete(p, line):
    """The words bash completion offers for line (completing its last word)."""
    script = os.path.join(p.root, "usr/share/bash-completion/completions/detector-updater-cli")
    stub = r'''
_init_completion() { cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]};
                     words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD; }
_filedir() { :; }
source "$1"
read -ra COMP_WORDS <<< "$2"
[[ $2 == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
_detector_updater_cli
printf '%s\n' "${COMPREPLY[@]}"
'''
    done = run(["bash", "-c", stub, "bash", script, line])
    check(done.returncode == 0, "completion failed: " + done.stdout)
    return sorted(w for w in done.stdout.split("\n") if w)


def case_completion(p):
    table = [
        ("detector-updater-cli ", ["check", "countries", "info", "list", "station", "update",
                                   "verify"]),
        ("detector-updater-cli info --off", ["--offline"]),
        ("detector-updater-cli up", ["update"]),
        ("detector-updater-cli --la", ["--lang"]),
        ("detector-updater-cli --lang ", ["en", "ru"]),
        ("detector-updater-cli update --ex", ["--exclude-fake", "--exclude-strelka"]),
        ("detector-updater-cli update ", []),
        ("detector-updater-cli --device ", ["sim:", "usb", "usb:"]),
        ("detector-updater-cli station --jo", ["--jobs"]),
    ]
    for line, expected in table:
        got = complete(p, line)
        check(got == expected, "%r completes to %s, not %s" % (line, got, expected))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case")
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--version", required=True)
    args = parser.parse_args()
    try:
        globals()["case_" + args.case](Package(args))
    except Failure as failure:
        print("FAILED: %s" % failure)
        return 1
    print("PASSED")
    return 0


if __name__ == "__main__":
    sys.exit(main())
