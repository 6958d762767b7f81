#!/usr/bin/env python3
"""make_medium.py: lays out an installation medium of Lumiro.

usage: make_medium.py --setup SETUP.EXE --lumpack LUMPACK
                      [--apps-nt DIR] [--rtdll-nt DIR] [--apps-95 DIR] [--rtdll-95 DIR]
                      [--url URL] [--sign KEY CERT] OUTPUT
       make_medium.py --check [the folders, --url, --sign] OUTPUT

OUTPUT receives setup.exe and the four packages the setup looks for beside
itself, each made by lumpack from its folder (a folder not given makes an
empty package: the setup then installs nothing from it); a zip of those five
files for deployment tools that take one file; winget's three manifests of
the zip (version, default locale, installer), as winget's repository takes
them; and SHA256SUMS. The SHA-256 of each file is printed.

setup.exe records each package's size and SHA-256 in its ".medium" section
(medium_record.py) and refuses a package whose bytes differ before it
changes anything. With --sign it is then signed with Authenticode (SHA-256)
by osslsigncode, before the zip, the manifests and the sums are made, so
that the signature covers the record and through it the packages. KEY is a
PEM private key and CERT its PEM certificate (with the chain), or KEY a
PKCS#12 file holding both (CERT then names it again, or is -). A password
for the key is read from the environment variable LUMIRO_SIGN_PASSWORD and
handed to osslsigncode in a file only this user can read, never on a
command line. With SOURCE_DATE_EPOCH set, it is the signing time too.

Everything is made in a folder of its own beside OUTPUT and moved into
OUTPUT only when all of it is complete, so a run that fails leaves nothing.
OUTPUT may exist, but not hold a medium already.

With SOURCE_DATE_EPOCH set, no time recorded in a package or in the zip is
later than it (lumpack clamps the packages' times), so the same inputs make
the same bytes whenever their files were written.

scripts/make-medium.sh builds setup.exe and lumpack and runs this.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from medium_record import record_packages, sha256_of  # noqa: E402
from pe_image import PeImage, machine_of_file  # noqa: E402

PRODUCT = "Lumiro"
PUBLISHER = "Corvane"
PACKAGE_IDENTIFIER = "Corvane.Lumiro"
# The Uninstall key's name, which winget matches installed programs by.
PRODUCT_CODE = "Lumiro"
MANIFEST_VERSION = "1.6.0"
LOCALE = "en-US"
LICENSE = "Proprietary"
SHORT_DESCRIPTION = "Lumiro, the script reader of Corvane"
# winget's repository takes three manifests per version, named so.
VERSION_MANIFEST = PACKAGE_IDENTIFIER + ".yaml"
LOCALE_MANIFEST = PACKAGE_IDENTIFIER + ".locale." + LOCALE + ".yaml"
MANIFEST_NAME = PACKAGE_IDENTIFIER + ".installer.yaml"
MANIFEST_NAMES = [VERSION_MANIFEST, LOCALE_MANIFEST, MANIFEST_NAME]
PASSWORD_VARIABLE = "LUMIRO_SIGN_PASSWORD"
SUMS_NAME = "SHA256SUMS"
DEFAULT_URL_BASE = "https://downloads.corvane.example/lumiro/"

# (file, option, with --dirs) in the order the setup installs them. The
# application packages keep their empty folders; the runtime libraries go
# into the system folder, where no folder of ours belongs.
PACKAGES = [
    ("RTDLL_NT.PKG", "rtdll_nt", False),
    ("APPS_NT.PKG", "apps_nt", True),
    ("RTDLL_95.PKG", "rtdll_95", False),
    ("APPS_95.PKG", "apps_95", True),
]

# The setup's exit codes (src/run/ExitCodes.h) and what winget makes of them.
# 0 is success to winget without saying. 1641 (done, the restart the person
# accepted is under way) is a success; 3010 (done, a restart is still to
# come) is the response winget reports as a success that waits for a
# restart. 1603 (failed) has no response of its own in winget's list:
# "custom" is its name for an installer's own failure code.
SUCCESS_CODES = [1641]
# 1620 (a package of the medium is damaged or changed) is the setup's own
# refusal too: "custom".
EXPECTED_RETURN_CODES = [
    (3010, "rebootRequiredToFinish"),
    (1602, "cancelledByUser"),
    (1603, "custom"),
    (1618, "installInProgress"),
    (1620, "custom"),
    (1638, "downgrade"),
    (1639, "invalidParameter"),
]


class Refused(Exception):
    """A reason to make nothing, for the person who ran the command."""


def source_date_epoch():
    value = os.environ.get("SOURCE_DATE_EPOCH", "")
    if value == "":
        return None
    if not value.isascii() or not value.isdigit():
        raise Refused("SOURCE_DATE_EPOCH=%s is not a whole number of seconds since 1970-01-01 UTC" % value)
    return int(value)


def check_folder(option, path):
    if not os.path.lexists(path):
        raise Refused("%s %s: no such folder" % (option, path))
    if not os.path.isdir(path):
        raise Refused("%s %s: not a folder" % (option, path))
    try:
        os.listdir(path)
    except OSError as e:
        raise Refused("%s %s: cannot be read: %s" % (option, path, e.strerror))


def is_within(path, folder):
    path, folder = os.path.realpath(path), os.path.realpath(folder)
    return path == folder or path.startswith(folder.rstrip(os.sep) + os.sep)


def read_setup(path):
    try:
        with open(path, "rb") as f:
            image = PeImage(f.read())
        return image.architecture, image.file_version()
    except OSError as e:
        raise Refused("%s: cannot be read: %s" % (path, e.strerror))
    except ValueError as e:
        raise Refused("%s: not a setup program to ship: %s" % (path, e))


def output_names(zip_name):
    return ["setup.exe"] + [p[0] for p in PACKAGES] + [zip_name] + MANIFEST_NAMES + [SUMS_NAME]


def check_output(out, folders):
    if os.path.lexists(out) and not os.path.isdir(out):
        raise Refused("%s: exists and is not a folder" % out)
    for option, folder in folders:
        if is_within(out, folder):
            raise Refused("%s lies inside %s %s, which would be packed with it" % (out, option, folder))
    if os.path.isdir(out):
        wanted = {n.lower() for n in output_names("")}
        held = sorted(n for n in os.listdir(out)
                      if n.lower() in wanted or (n.lower().startswith(PRODUCT.lower() + "-") and n.lower().endswith(".zip")))
        if held:
            raise Refused("%s already holds a medium (%s): nothing is replaced; name a new or empty folder"
                          % (out, ", ".join(held)))


def make_package(lumpack, name, folder, dirs, staging, machines):
    source = folder if folder is not None else os.path.join(staging, ".empty")
    if folder is None:
        os.mkdir(source)
    args = [lumpack, "create"] + (["--dirs"] if dirs else []) + ["--label", "Lumiro " + name[:-4],
                                                                 os.path.join(staging, name), source]
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    sys.stderr.write(result.stderr)
    if result.returncode != 0:
        raise Refused("%s not made from %s" % (name, folder))
    if folder is None:
        os.rmdir(source)
        print("%s: empty, no folder given" % name)
    else:
        # lumpack's line without the path it was given: "N entries, compressed".
        print("%s: %s, from %s: %s" % (name, result.stdout.strip().rpartition(": ")[2], folder,
                                      describe_machines(machines)))


def zip_time(path, sde):
    """The zip's time of a file: its last-write time, no later than
    SOURCE_DATE_EPOCH (in UTC, as reproducible builds read it); in the zip's
    range 1980 to 2107."""
    when = os.stat(path).st_mtime
    stamp = time.localtime(when) if sde is None else time.gmtime(min(when, sde))
    return min(max(tuple(stamp[:6]), (1980, 1, 1, 0, 0, 0)), (2107, 12, 31, 23, 59, 58))


def write_zip(path, folder, names, sde):
    # Entries in a fixed order, with no extra fields and no owner or
    # permission bits (made on "MS-DOS", attribute archive, as Windows'
    # own zip folders write them), so that only the contents and the clamped
    # times count.
    with zipfile.ZipFile(path, "x") as archive:
        for name in names:
            info = zipfile.ZipInfo(name, date_time=zip_time(os.path.join(folder, name), sde))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = 0x20
            with open(os.path.join(folder, name), "rb") as source, archive.open(info, "w") as target:
                shutil.copyfileobj(source, target, 1 << 20)


def yaml_text(value):
    """A scalar as YAML reads it back as the same string (or number)."""
    if isinstance(value, int):
        return str(value)
    if value and (value[0].isalpha() or value[0] == "/") and all(c.isalnum() or c in "./" for c in value):
        return value
    return "'" + value.replace("'", "''") + "'"


def manifest(version, architecture, url, sha256):
    lines = [
        "# yaml-language-server: $schema=https://aka.ms/winget-manifest.installer.%s.schema.json" % MANIFEST_VERSION,
        "PackageIdentifier: " + yaml_text(PACKAGE_IDENTIFIER),
        "PackageVersion: " + yaml_text(version),
        "InstallerType: zip",
        "NestedInstallerType: exe",
        "NestedInstallerFiles:",
        "- RelativeFilePath: setup.exe",
        "Scope: machine",
        # /S shows nothing; /PASSIVE shows the progress and the end, and asks
        # nothing.
        "InstallModes:",
        "- interactive",
        "- silent",
        "- silentWithProgress",
        "InstallerSwitches:",
        "  Silent: " + yaml_text("/S"),
        "  SilentWithProgress: " + yaml_text("/PASSIVE"),
        "  InstallLocation: " + yaml_text('/DIR="<INSTALLPATH>"'),
        "  Log: " + yaml_text('/LOG="<LOGPATH>"'),
        "InstallerSuccessCodes:",
    ] + ["- %d" % code for code in SUCCESS_CODES] + ["ExpectedReturnCodes:"]
    for code, response in EXPECTED_RETURN_CODES:
        lines += ["- InstallerReturnCode: %d" % code, "  ReturnResponse: " + response]
    lines += [
        # A newer build installs over an older one in its folder.
        "UpgradeBehavior: install",
        # The setup's own manifest asks Windows for administrator rights.
        "ElevationRequirement: elevatesSelf",
        "AppsAndFeaturesEntries:",
        "- DisplayName: " + yaml_text(PRODUCT),
        "  Publisher: " + yaml_text(PUBLISHER),
        "  DisplayVersion: " + yaml_text(version),
        "  ProductCode: " + yaml_text(PRODUCT_CODE),
        "Installers:",
        "- Architecture: " + architecture,
        "  InstallerUrl: " + yaml_text(url),
        "  InstallerSha256: " + yaml_text(sha256.upper()),
        "ManifestType: installer",
        "ManifestVersion: " + MANIFEST_VERSION,
    ]
    return "\n".join(lines) + "\n"


def version_manifest(version):
    return "\n".join([
        "# yaml-language-server: $schema=https://aka.ms/winget-manifest.version.%s.schema.json" % MANIFEST_VERSION,
        "PackageIdentifier: " + yaml_text(PACKAGE_IDENTIFIER),
        "PackageVersion: " + yaml_text(version),
        "DefaultLocale: " + yaml_text(LOCALE),
        "ManifestType: version",
        "ManifestVersion: " + MANIFEST_VERSION,
    ]) + "\n"


def locale_manifest(version):
    return "\n".join([
        "# yaml-language-server: $schema=https://aka.ms/winget-manifest.defaultLocale.%s.schema.json"
        % MANIFEST_VERSION,
        "PackageIdentifier: " + yaml_text(PACKAGE_IDENTIFIER),
        "PackageVersion: " + yaml_text(version),
        "PackageLocale: " + yaml_text(LOCALE),
        "Publisher: " + yaml_text(PUBLISHER),
        "PackageName: " + yaml_text(PRODUCT),
        "License: " + yaml_text(LICENSE),
        "ShortDescription: " + yaml_text(SHORT_DESCRIPTION),
        "ManifestType: defaultLocale",
        "ManifestVersion: " + MANIFEST_VERSION,
    ]) + "\n"


def check_signing(sign):
    """The key and certificate files of --sign, and how osslsigncode takes
    them: (["-key", KEY, "-certs", CERT] or ["-pkcs12", KEY])."""
    if sign is None:
        return None
    key, cert = sign
    for what, path in (("key", key), ("certificate", cert)):
        if path == "-" and what == "certificate":
            continue
        if not os.path.isfile(path):
            raise Refused("--sign %s %s: no such file" % (what, path))
        try:
            with open(path, "rb"):
                pass
        except OSError as e:
            raise Refused("--sign %s %s: cannot be read: %s" % (what, path, e.strerror))
    with open(key, "rb") as f:
        pem = b"-----BEGIN" in f.read(1 << 16)
    if pem:
        if cert == "-":
            raise Refused("--sign %s -: a PEM key needs its PEM certificate" % key)
        return ["-key", key, "-certs", cert]
    if cert not in ("-", key) and not os.path.samefile(cert, key):
        raise Refused("--sign %s %s: a PKCS#12 key holds its certificate: name it twice, or give -" % (key, cert))
    return ["-pkcs12", key]


def sign_setup(path, keys, sde):
    """Signs setup.exe in place: Authenticode with SHA-256, the signing time
    SOURCE_DATE_EPOCH when set. The password goes through a private file."""
    unsigned = path + ".unsigned"
    os.rename(path, unsigned)
    args = ["osslsigncode", "sign", "-h", "sha256", "-n", PRODUCT + " Setup"] + keys
    if sde is not None:
        args += ["-time", str(sde)]
    password = os.environ.get(PASSWORD_VARIABLE)
    secret = None
    try:
        if password is not None:
            handle, secret = tempfile.mkstemp(prefix="lumiro-sign-")
            with os.fdopen(handle, "w") as f:
                f.write(password)
            args += ["-readpass", secret]
        result = subprocess.run(args + ["-in", unsigned, "-out", path], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True)
    except FileNotFoundError:
        raise Refused("osslsigncode is not installed (scripts/install-deps.sh installs it)")
    finally:
        if secret is not None:
            os.remove(secret)
    if result.returncode != 0:
        raise Refused("osslsigncode could not sign setup.exe:\n%s" % result.stdout.strip())
    os.remove(unsigned)
    print("setup.exe: signed (Authenticode, SHA-256)")


def move_into(staging, out, names):
    """All files into out, or none: a fresh out is the staging folder
    renamed; into an existing one each file is renamed, and taken back if
    one cannot be."""
    if not os.path.exists(out):
        os.rename(staging, out)
        return
    moved = []
    try:
        for name in names:
            os.rename(os.path.join(staging, name), os.path.join(out, name))
            moved.append(name)
    except OSError:
        for name in moved:
            os.rename(os.path.join(out, name), os.path.join(staging, name))
        raise
    os.rmdir(staging)


def payload_machines(option, folder):
    """What kinds of executable images a package's folder holds, as
    {kind: count}, with "data" for the files that are none. Refuses what no
    Windows could run: a 64-bit image in a Windows 9x package, and an image
    for a processor Windows setups do not serve."""
    kinds = {}
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(root, name)
            try:
                kind = machine_of_file(path)
            except OSError as e:
                raise Refused("%s: cannot be read: %s" % (path, e.strerror))
            if kind is not None and kind.startswith("machine "):
                raise Refused("%s %s: %s is built for another processor (%s)" % (option, folder, path, kind))
            if kind == "64-bit (x64)" and option.endswith("-95"):
                raise Refused("%s %s: %s is a 64-bit program, which Windows 9x cannot run" % (option, folder, path))
            kinds[kind or "data"] = kinds.get(kind or "data", 0) + 1
    return kinds


def describe_machines(kinds):
    parts = ["%d %s" % (count, "data file%s" % ("" if count == 1 else "s") if kind == "data"
                        else "%s image%s" % (kind, "" if count == 1 else "s"))
             for kind, count in sorted(kinds.items())]
    return ", ".join(parts) if parts else "no files"


def check_arguments(args):
    """Everything that can be refused before setup.exe and lumpack are
    looked at (scripts/make-medium.sh asks this before it builds them)."""
    source_date_epoch()
    folders = [("--" + option.replace("_", "-"), getattr(args, option)) for _, option, _ in PACKAGES
               if getattr(args, option) is not None]
    for option, folder in folders:
        check_folder(option, folder)
    args.machines = {option: payload_machines(option, folder) for option, folder in folders}
    if args.url is not None and not args.url.lower().startswith(("https://", "http://")):
        raise Refused("--url %s: not an http or https address" % args.url)
    check_signing(args.sign)
    out = os.path.abspath(args.output)
    check_output(out, folders)
    ancestor = os.path.dirname(out)
    while not os.path.lexists(ancestor):
        ancestor = os.path.dirname(ancestor)
    if not os.path.isdir(ancestor):
        raise Refused("%s: not a folder to make %s in" % (ancestor, out))
    return out


def make_parents(folder, made):
    """Makes the folders missing above folder, adding each to made."""
    missing = []
    parent = os.path.dirname(folder)
    while not os.path.exists(parent):
        missing.append(parent)
        parent = os.path.dirname(parent)
    for path in reversed(missing):
        os.mkdir(path)
        made.append(path)


def make_medium(args):
    out = check_arguments(args)
    sde = source_date_epoch()
    if not args.lumpack or not os.access(args.lumpack, os.X_OK):
        raise Refused("%s: no lumpack to run" % args.lumpack)
    if not args.setup:
        raise Refused("no --setup given")
    architecture, version = read_setup(args.setup)
    keys = check_signing(args.sign)
    zip_name = "%s-%s-%s.zip" % (PRODUCT, version, architecture)
    names = output_names(zip_name)
    parents = []
    staging = None
    try:
        make_parents(out, parents)
        staging = tempfile.mkdtemp(prefix=".%s.making-" % os.path.basename(out), dir=os.path.dirname(out))
        # A folder as the person's mkdir would make it, not mkdtemp's private one.
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(staging, 0o777 & ~umask)
        for name, option, dirs in PACKAGES:
            make_package(args.lumpack, name, getattr(args, option), dirs, staging,
                         args.machines.get("--" + option.replace("_", "-"), {}))
        setup = os.path.join(staging, "setup.exe")
        shutil.copyfile(args.setup, setup)
        # The packages' record first, then the signature over it.
        record_packages(setup, [os.path.join(staging, p[0]) for p in PACKAGES])
        if keys is not None:
            sign_setup(setup, keys, sde)
        medium = names[:5]
        write_zip(os.path.join(staging, zip_name), staging, medium, sde)
        zip_sha256 = sha256_of(os.path.join(staging, zip_name))
        url = args.url or DEFAULT_URL_BASE + zip_name
        for name, text in ((VERSION_MANIFEST, version_manifest(version)), (LOCALE_MANIFEST, locale_manifest(version)),
                           (MANIFEST_NAME, manifest(version, architecture, url, zip_sha256))):
            with open(os.path.join(staging, name), "x", newline="\n") as f:
                f.write(text)
        sums = [(sha256_of(os.path.join(staging, name)), name) for name in names[:-1]]
        with open(os.path.join(staging, SUMS_NAME), "x", newline="\n") as f:
            f.writelines("%s  %s\n" % entry for entry in sums)
        sums.append((sha256_of(os.path.join(staging, SUMS_NAME)), SUMS_NAME))
        move_into(staging, out, names)
    except BaseException:
        if staging is not None:
            shutil.rmtree(staging, ignore_errors=True)
        for path in reversed(parents):
            os.rmdir(path)
        raise

    stamp = "" if sde is None else ", times no later than SOURCE_DATE_EPOCH=%d" % sde
    print("Medium of %s %s (%s) in %s%s:" % (PRODUCT, version, architecture, out, stamp))
    for digest, name in sums:
        print("%s  %s  (%d bytes)" % (digest, name, os.path.getsize(os.path.join(out, name))))
    if not args.url:
        print("note: the manifest's InstallerUrl is a stand-in (%s): give --url the address the zip is published at"
              % url)


def main(argv):
    parser = argparse.ArgumentParser(prog="make-medium", description=__doc__.split("\n\n")[1],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--setup", help="the setup program to ship")
    parser.add_argument("--lumpack", help="the packaging tool for this machine")
    parser.add_argument("--apps-nt", help="the application's files for the NT family (APPS_NT.PKG)")
    parser.add_argument("--rtdll-nt", help="the runtime libraries for the NT family (RTDLL_NT.PKG)")
    parser.add_argument("--apps-95", help="the application's files for Windows 9x (APPS_95.PKG)")
    parser.add_argument("--rtdll-95", help="the runtime libraries for Windows 9x (RTDLL_95.PKG)")
    parser.add_argument("--url", help="where the zip will be published (the manifest's InstallerUrl)")
    parser.add_argument("--sign", nargs=2, metavar=("KEY", "CERT"),
                        help="sign setup.exe with Authenticode: a PEM key and certificate, or a PKCS#12 file twice "
                             "(password in $%s)" % PASSWORD_VARIABLE)
    parser.add_argument("--check", action="store_true",
                        help="only check the folders, OUTPUT and SOURCE_DATE_EPOCH; make nothing")
    parser.add_argument("output", help="the folder to make the medium in")
    args = parser.parse_args(argv)
    try:
        if args.check:
            check_arguments(args)
        else:
            make_medium(args)
    except Refused as e:
        print("make-medium: %s; nothing made" % e, file=sys.stderr)
        return 1
    except OSError as e:
        print("make-medium: %s: %s; nothing made" % (e.filename or "", e.strerror), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
