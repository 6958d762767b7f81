#!/usr/bin/env python3
"""The medium command (tools/medium/make_medium.py) on sample folders, and
setup.exe as the medium ships it.

Read from the environment (tests/e2e/CMakeLists.txt sets them):
  LUMIRO_SOURCE_DIR  the checkout
  MEDIUM_SETUP       the build's release/setup.exe (no debug information)
  SETUP_DEBUG_BUILD  the build's setup.exe with debug information
  HOST_LUMPACK       the build machine's lumpack
  E2E_PAYLOAD        the sample payload's four folders
  E2E_PAYLOAD_32     the same of 32-bit files (the 9x packages are made of them)
  E2E_PAYLOAD_64     the same of 64-bit files
  TOOL_PREFIX        the MinGW binutils' prefix, e.g. /usr/bin/x86_64-w64-mingw32-
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile
import zlib

import yaml

SOURCE = os.environ["LUMIRO_SOURCE_DIR"]
sys.path.insert(0, os.path.join(SOURCE, "tests", "support"))
sys.path.insert(0, os.path.join(SOURCE, "tools", "medium"))
from medium_record import read_record  # noqa: E402
from pe_image import PeImage  # noqa: E402
from package_layout import parse_package  # noqa: E402

TOOL = os.path.join(SOURCE, "tools", "medium", "make_medium.py")
SETUP = os.environ["MEDIUM_SETUP"]
SETUP_DEBUG_BUILD = os.environ["SETUP_DEBUG_BUILD"]
LUMPACK = os.environ["HOST_LUMPACK"]
PAYLOAD = os.environ["E2E_PAYLOAD"]
PAYLOAD_32 = os.environ["E2E_PAYLOAD_32"]
PAYLOAD_64 = os.environ["E2E_PAYLOAD_64"]
TOOLS = os.environ["TOOL_PREFIX"]
PACKAGES = ["RTDLL_NT.PKG", "APPS_NT.PKG", "RTDLL_95.PKG", "APPS_95.PKG"]
MANIFESTS = ["Corvane.Lumiro.yaml", "Corvane.Lumiro.locale.en-US.yaml", "Corvane.Lumiro.installer.yaml"]
EPOCH = 1_700_000_000
EPOCH_TICKS = 116444736000000000 + EPOCH * 10**7

# winget's installer manifest 1.6.0: the properties of the manifest and of
# one installer, and the return responses it knows.
MANIFEST_PROPERTIES = {
    "PackageIdentifier", "PackageVersion", "Channel", "InstallerLocale", "Platform", "MinimumOSVersion",
    "InstallerType", "NestedInstallerType", "NestedInstallerFiles", "Scope", "InstallModes", "InstallerSwitches",
    "InstallerSuccessCodes", "ExpectedReturnCodes", "UpgradeBehavior", "Commands", "Protocols", "FileExtensions",
    "Dependencies", "PackageFamilyName", "ProductCode", "Capabilities", "RestrictedCapabilities", "Markets",
    "InstallerAbortsTerminal", "ReleaseDate", "InstallLocationRequired", "RequireExplicitUpgrade",
    "DisplayInstallWarnings", "UnsupportedOSArchitectures", "UnsupportedArguments", "AppsAndFeaturesEntries",
    "ElevationRequirement", "InstallationMetadata", "Installers", "ManifestType", "ManifestVersion"}
INSTALLER_PROPERTIES = (MANIFEST_PROPERTIES - {"PackageIdentifier", "PackageVersion", "Channel", "Installers",
                                               "ManifestType", "ManifestVersion"}) | {
    "Architecture", "InstallerUrl", "InstallerSha256", "SignatureSha256"}
RETURN_RESPONSES = {
    "packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse", "missingDependency", "diskFull",
    "insufficientMemory", "invalidParameter", "noNetwork", "contactSupport", "rebootRequiredToFinish",
    "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser", "alreadyInstalled", "downgrade",
    "blockedByPolicy", "systemNotSupported", "custom"}
# winget's version and default-locale manifests 1.6.0: the properties of
# each, and the ones winget's repository requires of the default locale.
VERSION_PROPERTIES = {"PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"}
LOCALE_PROPERTIES = {
    "PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PublisherUrl", "PublisherSupportUrl",
    "PrivacyUrl", "Author", "PackageName", "PackageUrl", "License", "LicenseUrl", "Copyright", "CopyrightUrl",
    "ShortDescription", "Description", "Moniker", "Tags", "Agreements", "ReleaseNotes", "ReleaseNotesUrl",
    "PurchaseUrl", "InstallationNotes", "Documentations", "Icons", "ManifestType", "ManifestVersion"}
LOCALE_REQUIRED = {"PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName", "License",
                   "ShortDescription", "ManifestType", "ManifestVersion"}
# Given by a setup that another one is running; the engine's exit codes
# gain it with the check for a second setup.
ANOTHER_SETUP_RUNNING = 1618


def read(path):
    with open(path, "rb") as f:
        return f.read()


def setup_exit_codes():
    """The exit codes src/run/ExitCodes.h declares, 0 aside."""
    with open(os.path.join(SOURCE, "src", "run", "ExitCodes.h")) as f:
        codes = {int(c) for c in re.findall(r"constexpr int EXIT_\w+ = \w+; +// (\d+)", f.read())}
    assert {0, 1602, 1603, 3010}.issubset(codes), codes
    return codes - {0}


def binutil(name, *args):
    return subprocess.run([TOOLS + name] + list(args), check=True, capture_output=True, text=True).stdout


def version_resource(path):
    """FILEVERSION of the program's version resource, as windres reads it."""
    rc = binutil("windres", "-i", path, "-O", "rc")
    return ".".join(re.search(r"FILEVERSION (\d+), (\d+), (\d+), (\d+)", rc).groups())


def pe_checksum(data):
    """The PE image checksum: 16-bit one's-complement sum of the file with
    the checksum field left out, plus the file's length."""
    field = struct.unpack_from("<I", data, 0x3C)[0] + 24 + 64
    padded = data + b"\0" * (len(data) % 2)
    words = struct.unpack("<%dH" % (len(padded) // 2), padded)
    total = sum(words) - words[field // 2] - words[field // 2 + 1]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


class MediumTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="medium-")
        os.chmod(self.dir, 0o755)
        self.inputs = {}
        for name in ("APPS_NT", "RTDLL_NT", "APPS_95", "RTDLL_95"):
            self.inputs[name] = self.path("in", name)
            # Windows 9x runs 32-bit programs only.
            shutil.copytree(os.path.join(PAYLOAD_32 if name.endswith("_95") else PAYLOAD, name), self.inputs[name])
        os.makedirs(self.path("in", "APPS_NT", "Help", "Empty"))
        with open(self.path("in", "APPS_NT", "Help", "index.txt"), "w") as f:
            f.write("help")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def tree(self):
        return sorted(os.path.join(r, n) for r, ds, fs in os.walk(self.dir) for n in ds + fs)

    def make(self, out, folders=None, extra=(), epoch=EPOCH, tool=TOOL, setup=SETUP, lumpack=LUMPACK, user=None,
             check=False):
        """Runs the command; folders maps a package's name (APPS_NT) to its
        folder, all four sample folders unless given."""
        # Another user runs the system's Python: this one may lie in root's home.
        python = "/usr/bin/python3" if user else sys.executable
        args = [python, tool] + (["--check"] if check else ["--setup", setup, "--lumpack", lumpack])
        for name, folder in (self.inputs if folders is None else folders).items():
            args += ["--" + name.lower().replace("_", "-"), folder]
        env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
        if epoch is not None:
            env["SOURCE_DATE_EPOCH"] = str(epoch)
        p = subprocess.run(args + list(extra) + [out], capture_output=True, text=True, env=env, user=user)
        return p.returncode, p.stdout, p.stderr

    def made(self, out="out", **kwargs):
        rc, stdout, stderr = self.make(self.path(out), **kwargs)
        self.assertEqual(0, rc, stderr)
        return stdout

    def manifest(self, out="out", name="Corvane.Lumiro.installer.yaml"):
        with open(self.path(out, name)) as f:
            return yaml.safe_load(f)

    def test_a_medium_is_the_setup_the_packages_and_a_zip_of_them_with_their_hashes(self):
        stdout = self.made()
        version = version_resource(SETUP)
        architecture = "x64" if "x86-64" in binutil("objdump", "-f", SETUP) else "x86"
        zip_name = "Lumiro-%s-%s.zip" % (version, architecture)
        names = ["setup.exe"] + PACKAGES + [zip_name] + MANIFESTS + ["SHA256SUMS"]
        self.assertEqual(sorted(names), sorted(os.listdir(self.path("out"))))
        # setup.exe is the shipped one with the packages recorded in its
        # ".medium" section, and its image checksum set anew.
        shipped, medium = read(SETUP), read(self.path("out", "setup.exe"))
        self.assertEqual(len(shipped), len(medium))
        record_at = PeImage(shipped).section(".medium")[0]
        self.assertEqual(b"LUMIRO-MEDIUM-01", shipped[record_at:record_at + 16])
        checksum_at = struct.unpack_from("<I", shipped, 0x3C)[0] + 24 + 64
        differing = [i for i in range(len(shipped)) if shipped[i] != medium[i]]
        self.assertTrue(all(record_at + 16 <= i < record_at + 512 or checksum_at <= i < checksum_at + 4
                            for i in differing), "only the record and the checksum differ")
        self.assertEqual(pe_checksum(medium), struct.unpack_from("<I", medium, checksum_at)[0])
        self.assertEqual([(p, os.path.getsize(self.path("out", p)), hashlib.sha256(read(self.path("out", p))).hexdigest())
                          for p in PACKAGES], read_record(medium))
        self.assertEqual([], read_record(shipped), "a build records no package")

        for package in PACKAGES:
            folder = self.inputs[package[:-4]]
            p = parse_package(read(self.path("out", package)))
            self.assertEqual((2093, 1, b"Lumiro " + package[:-4].encode()), (p["build"], p["compressed"], p["label"]))
            files = sorted(os.path.relpath(os.path.join(r, f), folder).replace(os.sep, "\\")
                           for r, _, fs in os.walk(folder) for f in fs)
            self.assertEqual(files, sorted(e["name"] for e in p["entries"] if e["kind"] == 0), package)
            folders = [e["name"] for e in p["entries"] if e["kind"] == 1]
            self.assertEqual(["Help", "Help\\Empty"] if package == "APPS_NT.PKG" else [], folders,
                             "the application's empty folders are kept, no folder goes to the system folder")
            for e in p["entries"]:
                if e["kind"] == 0:
                    self.assertEqual((EPOCH_TICKS, EPOCH_TICKS), struct.unpack_from("<QQ", e["kind_data"]), e["name"])

        with zipfile.ZipFile(self.path("out", zip_name)) as z:
            self.assertEqual(["setup.exe"] + PACKAGES, z.namelist())
            for info in z.infolist():
                self.assertEqual(read(self.path("out", info.filename)), z.read(info))
                self.assertEqual(time.gmtime(EPOCH)[:6], info.date_time)
                self.assertEqual((b"", 0, 0), (info.extra, info.create_system, info.external_attr >> 16),
                                 "no extra field, no owner or permissions of this machine")

        sums = dict(reversed(line.split("  ")) for line in read(self.path("out", "SHA256SUMS")).decode().splitlines())
        self.assertEqual(names[:-1], list(sums))
        for name in names:
            digest = hashlib.sha256(read(self.path("out", name))).hexdigest()
            self.assertEqual(digest, sums.get(name, digest), name)
            self.assertRegex(stdout, r"(?m)^%s  %s " % (digest, re.escape(name)), "the hash is printed")

    def test_it_says_the_machine_type_of_each_packages_files(self):
        stdout = self.made()
        for name, folder in sorted(self.inputs.items()):
            images = sorted(os.listdir(os.path.join(PAYLOAD_32 if name.endswith("_95") else PAYLOAD, name)))
            # The sample folders hold images of one kind, as objdump reads it;
            # the application's folder also the help file.
            kind = "64-bit (x64)" if "x86-64" in binutil("objdump", "-f", os.path.join(folder, images[0])) \
                else "32-bit (x86)"
            text = "%d %s images" % (len(images), kind) + (", 1 data file" if name == "APPS_NT" else "")
            self.assertRegex(stdout, r"(?m)^%s\.PKG: .*, from .*: %s$" % (name, re.escape(text)))

    def test_a_folder_not_given_makes_an_empty_package(self):
        # (into a folder whose parents are made as well)
        out = os.path.join("new", "deeper", "out")
        stdout = self.made(out, folders={"APPS_NT": self.inputs["APPS_NT"]})
        for package in ("RTDLL_NT.PKG", "RTDLL_95.PKG", "APPS_95.PKG"):
            self.assertEqual([], parse_package(read(self.path(out, package)))["entries"], package)
            self.assertIn("%s: empty, no folder given" % package, stdout)
        self.assertNotEqual([], parse_package(read(self.path(out, "APPS_NT.PKG")))["entries"])

    def test_the_manifest_follows_wingets_installer_schema_with_the_setups_exit_codes(self):
        self.made(extra=("--url", "https://example.org/lumiro/medium.zip"))
        m = self.manifest()
        self.assertEqual(set(), set(m) - MANIFEST_PROPERTIES)
        self.assertEqual(("installer", "1.6.0"), (m["ManifestType"], m["ManifestVersion"]))
        self.assertEqual(("Corvane.Lumiro", version_resource(SETUP)), (m["PackageIdentifier"], m["PackageVersion"]))
        self.assertEqual(("zip", "exe", [{"RelativeFilePath": "setup.exe"}], "machine"),
                         (m["InstallerType"], m["NestedInstallerType"], m["NestedInstallerFiles"], m["Scope"]))
        self.assertEqual({"Silent": "/S", "SilentWithProgress": "/PASSIVE", "InstallLocation": '/DIR="<INSTALLPATH>"',
                          "Log": '/LOG="<LOGPATH>"'}, m["InstallerSwitches"])
        self.assertEqual(["interactive", "silent", "silentWithProgress"], m["InstallModes"])
        self.assertEqual(("install", "elevatesSelf"), (m["UpgradeBehavior"], m["ElevationRequirement"]))
        self.assertEqual([{"DisplayName": "Lumiro", "Publisher": "Corvane", "DisplayVersion": version_resource(SETUP),
                           "ProductCode": "Lumiro"}], m["AppsAndFeaturesEntries"])

        # Every exit code the setup gives has its place: success or a
        # response from winget's own list, none twice.
        responses = {e["InstallerReturnCode"]: e["ReturnResponse"] for e in m["ExpectedReturnCodes"]}
        self.assertEqual(len(responses), len(m["ExpectedReturnCodes"]))
        self.assertLessEqual(set(responses.values()), RETURN_RESPONSES)
        self.assertEqual([1641], m["InstallerSuccessCodes"])
        self.assertEqual(setup_exit_codes() | {ANOTHER_SETUP_RUNNING}, set(responses) | {1641})
        self.assertEqual({3010: "rebootRequiredToFinish", 1602: "cancelledByUser", 1603: "custom",
                          1618: "installInProgress", 1620: "custom", 1638: "downgrade", 1639: "invalidParameter"},
                         responses)

        [installer] = m["Installers"]
        self.assertEqual(set(), set(installer) - INSTALLER_PROPERTIES)
        zip_path = self.path("out", "Lumiro-%s-%s.zip" % (m["PackageVersion"], installer["Architecture"]))
        self.assertEqual({"Architecture": "x64" if "x86-64" in binutil("objdump", "-f", SETUP) else "x86",
                          "InstallerUrl": "https://example.org/lumiro/medium.zip",
                          "InstallerSha256": hashlib.sha256(read(zip_path)).hexdigest().upper()}, installer)

    def test_the_version_and_default_locale_manifests_complete_the_set_winget_s_repository_takes(self):
        self.made()
        version, locale, installer = (self.manifest(name=name) for name in MANIFESTS)
        self.assertEqual(set(VERSION_PROPERTIES), set(version))
        self.assertEqual(("version", "en-US"), (version["ManifestType"], version["DefaultLocale"]))
        self.assertEqual(set(), set(LOCALE_REQUIRED) - set(locale), "the fields winget's repository requires")
        self.assertEqual(set(), set(locale) - LOCALE_PROPERTIES)
        self.assertEqual({"ManifestType": "defaultLocale", "PackageLocale": version["DefaultLocale"],
                          "Publisher": "Corvane", "PackageName": "Lumiro", "License": "Proprietary"},
                         {k: locale[k] for k in ("ManifestType", "PackageLocale", "Publisher", "PackageName",
                                                 "License")})
        self.assertTrue(0 < len(locale["ShortDescription"]) <= 256)
        # One package, one version, one manifest version in all three.
        for key in ("PackageIdentifier", "PackageVersion", "ManifestVersion"):
            self.assertEqual({installer[key]}, {version[key], locale[key]}, key)
        self.assertEqual(("Corvane.Lumiro", "1.6.0"), (version["PackageIdentifier"], version["ManifestVersion"]))
        for name in MANIFESTS:
            with open(self.path("out", name)) as f:
                first = f.readline()
            kind = self.manifest(name=name)["ManifestType"]
            self.assertEqual("# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.1.6.0.schema.json\n"
                             % kind, first)

    def certificate(self, password):
        """A code-signing key (PEM, encrypted with password) and its
        self-signed certificate, made for the test, and the two as PKCS#12."""
        key, cert, bundle = self.path("key.pem"), self.path("cert.pem"), self.path("bundle.p12")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-keyout", key, "-out", cert, "-days", "30",
                        "-subj", "/CN=Corvane Test Signing", "-addext", "extendedKeyUsage=codeSigning",
                        "-passout", "env:TEST_KEY_PASSWORD"], check=True, capture_output=True,
                       env=dict(os.environ, TEST_KEY_PASSWORD=password))
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", bundle,
                        "-passin", "env:TEST_KEY_PASSWORD", "-passout", "env:TEST_KEY_PASSWORD"], check=True,
                       capture_output=True, env=dict(os.environ, TEST_KEY_PASSWORD=password))
        return key, cert, bundle

    def watched_signing_tool(self):
        """A folder for PATH whose osslsigncode writes its command line to a
        file, then runs the real one."""
        folder = self.path("watched")
        os.makedirs(folder)
        with open(os.path.join(folder, "osslsigncode"), "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s/arguments"\nexec %s "$@"\n'
                    % (folder, shutil.which("osslsigncode")))
        os.chmod(os.path.join(folder, "osslsigncode"), 0o755)
        return folder

    def test_with_sign_setup_exe_carries_an_authenticode_signature_the_signing_tool_verifies(self):
        password = "correct horse 7"
        key, cert, bundle = self.certificate(password)
        watched = self.watched_signing_tool()
        os.environ["LUMIRO_SIGN_PASSWORD"] = password
        os.environ["PATH"] = watched + os.pathsep + os.environ["PATH"]
        try:
            outputs = {}
            for out, sign in (("pem", (key, cert)), ("again", (key, cert)), ("p12", (bundle, bundle)),
                              ("p12-dash", (bundle, "-"))):
                with self.subTest(out):
                    stdout = self.made(out, extra=["--sign"] + list(sign))
                    self.assertIn("setup.exe: signed (Authenticode, SHA-256)", stdout)
                    setup = self.path(out, "setup.exe")
                    verified = subprocess.run(["osslsigncode", "verify", "-in", setup, "-CAfile", cert],
                                              capture_output=True, text=True)
                    self.assertEqual(0, verified.returncode, verified.stdout + verified.stderr)
                    self.assertIn("Signature verification: ok", verified.stdout)
                    self.assertIn("Subject: /CN=Corvane Test Signing", verified.stdout)
                    self.assertRegex(verified.stdout, r"Message digest algorithm *: SHA256")
                    self.assertIn("Signing time: Nov 14 22:13:20 2023 GMT", verified.stdout,
                                  "SOURCE_DATE_EPOCH is the signing time")
                    # The signature covers the record of the packages: the
                    # setup.exe without its signature records them.
                    self.assertEqual([(p, os.path.getsize(self.path(out, p)),
                                       hashlib.sha256(read(self.path(out, p))).hexdigest()) for p in PACKAGES],
                                     read_record(read(setup)))
                    self.assertEqual(pe_checksum(read(setup)),
                                     struct.unpack_from("<I", read(setup), struct.unpack_from("<I", read(setup), 0x3C)[0] + 88)[0])
                    # The zip, the manifest and the sums are of the signed setup.exe.
                    sums = read(self.path(out, "SHA256SUMS")).decode()
                    self.assertIn("%s  setup.exe" % hashlib.sha256(read(setup)).hexdigest(), sums)
                    with zipfile.ZipFile(self.path(out, [n for n in os.listdir(self.path(out)) if n.endswith(".zip")][0])) as z:
                        self.assertEqual(read(setup), z.read("setup.exe"))
                    outputs[out] = read(setup)
            self.assertEqual(outputs["pem"], outputs["again"], "the same key and SOURCE_DATE_EPOCH: the same bytes")
            with open(os.path.join(watched, "arguments")) as f:
                arguments = f.read()
            self.assertEqual(4, arguments.count("sign "), arguments)
            self.assertNotIn(password, arguments, "the password is never on a command line")
            self.assertIn("-readpass", arguments)

            # A wrong password: refused, nothing made, the password not told.
            os.environ["LUMIRO_SIGN_PASSWORD"] = "wrong"
            before = self.tree()
            rc, _, stderr = self.make(self.path("wrong"), extra=["--sign", key, cert])
            self.assertEqual(1, rc)
            self.assertIn("osslsigncode could not sign setup.exe", stderr)
            self.assertIn("nothing made", stderr)
            self.assertNotIn(password, stderr)
            self.assertEqual(before, self.tree())
        finally:
            del os.environ["LUMIRO_SIGN_PASSWORD"]
            os.environ["PATH"] = os.environ["PATH"].split(os.pathsep, 1)[1]

    def test_without_sign_setup_exe_has_no_signature(self):
        self.made()
        data = read(self.path("out", "setup.exe"))
        image = PeImage(data)
        # The security directory (the fifth) is empty: no certificate table.
        self.assertEqual((0, 0), struct.unpack_from("<II", data, image.directories + 8 * 4))
        verified = subprocess.run(["osslsigncode", "verify", "-in", self.path("out", "setup.exe")],
                                  capture_output=True, text=True)
        self.assertNotEqual(0, verified.returncode)

    def test_two_runs_with_the_same_source_date_epoch_make_the_same_bytes_whenever_the_files_were_written(self):
        outputs = []
        for n, touched in enumerate((EPOCH + 1000, EPOCH + 5_000_000)):
            for folder in self.inputs.values():
                for r, _, fs in os.walk(folder):
                    for f in fs:
                        os.utime(os.path.join(r, f), (touched, touched))
            self.made("out%d" % n)
            outputs.append({name: read(self.path("out%d" % n, name)) for name in os.listdir(self.path("out%d" % n))})
        self.assertEqual(outputs[0], outputs[1])
        # Without it the times are the files' own, and so differ.
        self.made("out-without", epoch=None)
        self.assertNotEqual(outputs[1]["APPS_NT.PKG"], read(self.path("out-without", "APPS_NT.PKG")))

    def test_each_bad_input_is_refused_with_its_reason_and_nothing_is_made(self):
        os.makedirs(self.path("held"))
        with open(self.path("held", "setup.exe"), "wb") as f:
            f.write(b"an earlier medium's")
        with open(self.path("a-file"), "w") as f:
            f.write("not a folder")
        os.makedirs(self.path("x64-95"))
        shutil.copy(os.path.join(PAYLOAD_64, "RTDLL_NT", "LumRtl.dll"), self.path("x64-95"))
        os.makedirs(self.path("arm"))
        with open(self.path("arm", "arm.dll"), "wb") as f:
            f.write(b"MZ" + b"\0" * 0x3A + struct.pack("<I", 0x40) + b"PE\0\0" + struct.pack("<H", 0xAA64))
        refused_names = {"CON.txt": "device", "readme.": "ends with a dot"}
        for name in refused_names:
            os.makedirs(self.path("bad-" + name))
            with open(self.path("bad-" + name, name), "w") as f:
                f.write("x")
        apps = {"APPS_NT": self.inputs["APPS_NT"]}
        # (what, output, folders, extra arguments, SOURCE_DATE_EPOCH, message, also refused by --check)
        cases = [
            ("a folder that does not exist", "out", {"APPS_NT": self.path("missing")}, (), EPOCH, "no such folder", True),
            ("a file for a folder", "out", {"RTDLL_NT": self.path("a-file")}, (), EPOCH, "not a folder", True),
            ("a device name", os.path.join("new", "out"), {"APPS_NT": self.path("bad-CON.txt")}, (), EPOCH,
             "not packed", False),
            ("a name ending with a dot", "out", {"APPS_NT": self.path("bad-readme.")}, (), EPOCH, "not packed", False),
            ("an output folder that holds a medium", "held", apps, (), EPOCH, "already holds a medium", True),
            ("an output folder inside an input folder", os.path.join("in", "APPS_NT", "out"), apps, (), EPOCH,
             "inside --apps-nt", True),
            ("a SOURCE_DATE_EPOCH that is no time", "out", apps, (), "yesterday", "SOURCE_DATE_EPOCH", True),
            ("an address that is no web address", "out", apps, ("--url", "ftp://x/y.zip"), EPOCH,
             "not an http or https address", True),
            ("an output below a file", os.path.join("a-file", "out"), apps, (), EPOCH, "not a folder", True),
            ("a 64-bit program for Windows 9x", "out", {"RTDLL_95": self.path("x64-95")}, (), EPOCH,
             "is a 64-bit program, which Windows 9x cannot run", True),
            ("a program for another processor", "out", {"APPS_NT": self.path("arm")}, (), EPOCH,
             "is built for another processor (machine 0xaa64)", True),
            ("a signing key that does not exist", "out", apps, ("--sign", self.path("none.pem"), self.path("a-file")),
             EPOCH, "--sign key", True),
            ("a PKCS#12 key with another certificate", "out", apps, ("--sign", self.path("a-file"),
                                                                     self.path("held", "setup.exe")),
             EPOCH, "a PKCS#12 key holds its certificate", True),
        ]
        for what, out, folders, extra, epoch, message, checked in cases:
            for check in (False, True) if checked else (False,):
                with self.subTest(what, check=check):
                    before = self.tree()
                    rc, _, stderr = self.make(self.path(out), folders, extra, epoch, check=check)
                    self.assertEqual(1, rc, stderr)
                    self.assertIn(message, stderr)
                    self.assertIn("nothing made", stderr)
                    self.assertEqual(before, self.tree(), "nothing made, nothing changed")

    def test_an_unreadable_folder_or_file_is_refused_and_nothing_is_made(self):
        # As root every file is readable: the command then runs as nobody,
        # with its own copies of the programs it needs.
        user = "nobody" if os.geteuid() == 0 else None
        tools = self.path("tools")
        os.makedirs(tools)
        for f in (TOOL, os.path.join(os.path.dirname(TOOL), "pe_image.py"),
                  os.path.join(os.path.dirname(TOOL), "medium_record.py"), SETUP, LUMPACK):
            shutil.copy2(f, tools)
        for r, ds, fs in os.walk(self.dir):
            for d in ds:
                os.chmod(os.path.join(r, d), 0o755)
            for f in fs:
                os.chmod(os.path.join(r, f), 0o644)
        os.chmod(os.path.join(tools, "lumpack"), 0o755)
        os.chmod(self.dir, 0o777)
        locked = self.inputs["RTDLL_NT"]
        unreadable_file = os.path.join(self.inputs["APPS_NT"], sorted(os.listdir(self.inputs["APPS_NT"]))[0])
        before = self.tree()
        for what, path, message in (("a folder", locked, "cannot be read"),
                                    ("a file", unreadable_file, "denied")):
            with self.subTest(what):
                os.chmod(path, 0)
                try:
                    rc, _, stderr = self.make(self.path("out"), tool=os.path.join(tools, "make_medium.py"),
                                              setup=os.path.join(tools, "setup.exe"),
                                              lumpack=os.path.join(tools, "lumpack"), user=user)
                finally:
                    os.chmod(path, 0o755 if os.path.isdir(path) else 0o644)
                self.assertEqual(1, rc, stderr)
                self.assertIn(os.path.basename(path), stderr)
                self.assertIn(message, stderr.lower())
                self.assertIn("nothing made", stderr)
                self.assertEqual(before, self.tree())


class ShippedSetupTest(unittest.TestCase):
    """setup.exe as the medium carries it: the build's code without its
    debug information, which stays in a file beside it."""

    def test_it_is_the_built_code_without_debug_information(self):
        debug_file = SETUP + ".debug"
        shipped, built = read(SETUP), read(SETUP_DEBUG_BUILD)
        self.assertLess(len(shipped) * 4, len(built))
        sections = binutil("objdump", "-h", SETUP)
        self.assertNotIn(".debug_", sections)
        self.assertIn(".debug_info", binutil("objdump", "-h", debug_file))
        texts = []
        for program in (SETUP, SETUP_DEBUG_BUILD):
            out = os.path.join(tempfile.mkdtemp(), "text")
            binutil("objcopy", "-O", "binary", "--only-section=.text", program, out)
            texts.append(read(out))
            shutil.rmtree(os.path.dirname(out))
        self.assertEqual(texts[0], texts[1], "the same code")
        self.assertEqual(version_resource(SETUP_DEBUG_BUILD), version_resource(SETUP))

        # .gnu_debuglink: the debug file's name, padding, its CRC-32.
        scratch = tempfile.mkdtemp()
        binutil("objcopy", "--dump-section", ".gnu_debuglink=" + os.path.join(scratch, "link"), SETUP,
                os.path.join(scratch, "copy"))
        data = read(os.path.join(scratch, "link"))
        shutil.rmtree(scratch)
        self.assertEqual(b"setup.exe.debug\0", data[:16])
        self.assertEqual(zlib.crc32(read(debug_file)), struct.unpack_from("<I", data, len(data) - 4)[0])

    def test_a_crash_address_is_read_with_the_debug_file(self):
        debug_file = SETUP + ".debug"
        symbols = binutil("nm", debug_file)
        # i686 decorates the stdcall function: _WinMain@16.
        address = re.search(r"(?m)^([0-9a-f]+) T _?WinMain(@16)?$", symbols).group(1)
        where = binutil("addr2line", "-f", "-e", debug_file, "0x" + address)
        self.assertRegex(where.splitlines()[0], r"^WinMain(@16)?$")
        self.assertRegex(where.splitlines()[1], r"^/lumiro/src/gui/app/main\.cpp:\d+$",
                         "a path in the checkout, not of this machine")

    def test_nothing_in_it_depends_on_when_or_where_it_was_built(self):
        places = {os.path.realpath(SOURCE).encode(), os.path.realpath(os.path.dirname(os.path.dirname(SETUP))).encode()}
        for path in (SETUP, SETUP + ".debug", SETUP_DEBUG_BUILD):
            with self.subTest(os.path.basename(path)):
                data = read(path)
                pe = struct.unpack_from("<I", data, 0x3C)[0]
                self.assertEqual(0, struct.unpack_from("<I", data, pe + 8)[0], "the PE time stamp")
                checksum = struct.unpack_from("<I", data, pe + 24 + 64)[0]
                self.assertEqual(pe_checksum(data), checksum, "a PE checksum is set and right")
                for place in places:
                    self.assertNotIn(place, data)


if __name__ == "__main__":
    unittest.main(verbosity=1)
