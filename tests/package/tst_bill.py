#!/usr/bin/env python3
"""The bills of materials of the packages that scripts/package made: each
is well-formed SPDX 2.3, its licence expressions parse, its checksums are
those of the files, the copy in the package is the one beside it, and it
lists every file of the package or names it as left out (itself, the
collection's manifests); the Windows libraries belong to the third-party
packages that name them, and a driver package's files to it. The script
refuses a file it cannot place.

    tst_bill.py PACKAGES_DIR MAKE_SPDX"""

import hashlib
import json
import os
import re
import subprocess
import sys
import tarfile
import tempfile
import unittest
import zipfile

PACKAGES = MAKE_SPDX = None
BILL = "zorvel-custom-config.spdx.json"
ID = re.compile(r"SPDXRef-[A-Za-z0-9.-]+")
TOKEN = re.compile(r"\s*(\(|\)|[A-Za-z0-9.+:-]+)")


def parse_licence(text):
    """Parses an SPDX licence expression; raises ValueError where it does
    not parse."""
    if text in ("NOASSERTION", "NONE"):
        return
    tokens, position = [], 0
    while position < len(text.rstrip()):
        match = TOKEN.match(text, position)
        if not match:
            raise ValueError("cannot read %r at %d" % (text, position))
        tokens.append(match.group(1))
        position = match.end()

    def simple(index):
        token = tokens[index] if index < len(tokens) else ""
        if not re.fullmatch(r"(DocumentRef-[A-Za-z0-9.-]+:)?LicenseRef-[A-Za-z0-9.-]+|[A-Za-z0-9.-]+\+?", token) \
                or token in ("AND", "OR", "WITH"):
            raise ValueError("%r: expected a licence at %r" % (text, token))
        index += 1
        if index < len(tokens) and tokens[index] == "WITH":
            if index + 1 >= len(tokens) or not re.fullmatch(r"[A-Za-z0-9.-]+", tokens[index + 1]):
                raise ValueError("%r: expected an exception after WITH" % text)
            index += 2
        return index

    def term(index):
        if index < len(tokens) and tokens[index] == "(":
            index = expression(index + 1)
            if index >= len(tokens) or tokens[index] != ")":
                raise ValueError("%r: unclosed parenthesis" % text)
            return index + 1
        return simple(index)

    def expression(index):
        index = term(index)
        while index < len(tokens) and tokens[index] in ("AND", "OR"):
            index = term(index + 1)
        return index

    if not tokens or expression(0) != len(tokens):
        raise ValueError("%r does not parse" % text)


def sha1_of(path):
    with open(path, "rb") as data:
        return hashlib.sha1(data.read()).hexdigest()


def regular_files(root):
    found = set()
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                found.add(os.path.relpath(path, root))
    return found


class TestBill(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.addCleanup(self.scratch.cleanup)

    def unpacked(self, package):
        """The package's files in a folder of their own, and the folder its
        bill lists them from."""
        root = os.path.join(self.scratch.name, os.path.basename(package))
        if package.endswith(".deb"):
            subprocess.run(["dpkg-deb", "-x", package, root], check=True)
            return root, root
        if package.endswith(".zip"):
            with zipfile.ZipFile(package) as archive:
                archive.extractall(root)
            return root, os.path.join(root, "ZORVEL Custom Config")
        if package.endswith(".msi"):
            subprocess.run(["msiextract", "-C", root, package], check=True, stdout=subprocess.DEVNULL)
            return root, os.path.join(root, "ZORVEL Custom Config")
        with tarfile.open(package) as archive:
            archive.extractall(root)
        return root, root

    def packages(self):
        with open(os.path.join(PACKAGES, "SHA256SUMS"), encoding="utf-8") as sums:
            listed = [line.split()[1] for line in sums]
        packages = [os.path.join(PACKAGES, name) for name in listed if not name.endswith(".spdx.json")]
        self.assertTrue(any(name.endswith(".deb") for name in packages))
        return packages

    def check_form(self, bill):
        self.assertEqual(bill["spdxVersion"], "SPDX-2.3")
        self.assertEqual(bill["dataLicense"], "CC0-1.0")
        self.assertEqual(bill["SPDXID"], "SPDXRef-DOCUMENT")
        self.assertTrue(bill["name"])
        self.assertRegex(bill["documentNamespace"], r"^https://[^#]+$")
        self.assertRegex(bill["creationInfo"]["created"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        self.assertTrue(bill["creationInfo"]["creators"])
        for creator in bill["creationInfo"]["creators"]:
            self.assertRegex(creator, r"^(Tool|Organization|Person): \S")
        ids = [bill["SPDXID"]]
        for package in bill["packages"]:
            for field in ("SPDXID", "name", "downloadLocation", "licenseConcluded", "licenseDeclared",
                          "copyrightText", "sourceInfo"):
                self.assertIn(field, package, package.get("name"))
            self.assertNotEqual(package.get("versionInfo"), "NOASSERTION", package["name"])
            if package.get("filesAnalyzed", True):
                self.assertIn("packageVerificationCode", package)
            for field in ("licenseConcluded", "licenseDeclared"):
                parse_licence(package[field])
            ids.append(package["SPDXID"])
        for entry in bill["files"]:
            self.assertTrue(entry["fileName"].startswith("./"), entry["fileName"])
            self.assertIn("SHA1", {checksum["algorithm"] for checksum in entry["checksums"]}, entry["fileName"])
            parse_licence(entry["licenseConcluded"])
            ids.append(entry["SPDXID"])
        for spdx_id in ids:
            self.assertRegex(spdx_id, ID)
        self.assertEqual(len(ids), len(set(ids)), "an SPDX id given twice")
        kinds = set()
        for relationship in bill["relationships"]:
            self.assertIn(relationship["spdxElementId"], ids)
            self.assertIn(relationship["relatedSpdxElement"], ids)
            kinds.add(relationship["relationshipType"])
        self.assertIn("DESCRIBES", kinds)

    def check_files(self, bill, root):
        """Every file is listed, with its own checksums, or named as left out
        of the verification code (the bill itself, and the collection's
        manifests); each package's verification code is that of the files
        it holds."""
        listed = {entry["fileName"][2:]: entry for entry in bill["files"]}
        present = regular_files(root)
        unlisted = {path[2:] for package in bill["packages"]
                    for path in package.get("packageVerificationCode", {}).get("packageVerificationCodeExcludedFiles", [])}
        self.assertEqual(present - set(listed), unlisted, "files the bill leaves out")
        self.assertEqual(set(listed) - present, set(), "files the bill lists that the package does not hold")
        for name, entry in listed.items():
            with open(os.path.join(root, name), "rb") as data:
                content = data.read()
            sums = {checksum["algorithm"]: checksum["checksumValue"] for checksum in entry["checksums"]}
            self.assertEqual(sums["SHA1"], hashlib.sha1(content).hexdigest(), name)
            self.assertEqual(sums["SHA256"], hashlib.sha256(content).hexdigest(), name)
        by_id = {entry["SPDXID"]: entry for entry in bill["files"]}
        for package in bill["packages"]:
            held = [by_id[relationship["relatedSpdxElement"]]["checksums"][0]["checksumValue"]
                    for relationship in bill["relationships"]
                    if relationship["spdxElementId"] == package["SPDXID"]
                    and relationship["relationshipType"] == "CONTAINS"]
            if package["filesAnalyzed"]:
                self.assertTrue(held, package["name"])
                self.assertEqual(package["packageVerificationCode"]["packageVerificationCodeValue"],
                                 hashlib.sha1("".join(sorted(held)).encode()).hexdigest(), package["name"])

    def owners(self, bill):
        """Each file's package, by the file's path."""
        packages = {package["SPDXID"]: package for package in bill["packages"]}
        files = {entry["SPDXID"]: entry["fileName"][2:] for entry in bill["files"]}
        return {files[relationship["relatedSpdxElement"]]: packages[relationship["spdxElementId"]]
                for relationship in bill["relationships"] if relationship["relationshipType"] == "CONTAINS"}

    def test_every_package_has_a_whole_bill(self):
        for package in self.packages():
            with self.subTest(package=os.path.basename(package)):
                with open(package + ".spdx.json", encoding="utf-8") as beside:
                    bill = json.load(beside)
                self.check_form(bill)
                unpacked, root = self.unpacked(package)
                inside = [path for path in regular_files(unpacked) if os.path.basename(path) == BILL]
                self.assertEqual(len(inside), 1, "the package holds its bill once")
                with open(os.path.join(unpacked, inside[0]), encoding="utf-8") as held:
                    self.assertEqual(json.load(held), bill)
                if package.endswith(".deb"):
                    self.assertEqual(inside[0], "opt/zorvel-custom-config/" + BILL)
                    self.assertTrue(any(name.startswith("opt/zorvel-custom-config/") for name in
                                        (entry["fileName"][2:] for entry in bill["files"])))
                self.check_files(bill, root)

    def test_windows_libraries_are_third_party(self):
        zips = [package for package in self.packages() if package.endswith(".zip")]
        if not zips:
            self.skipTest("no Windows packages: the build had no Qt for Windows")
        (zip_package,) = zips
        with open(zip_package + ".spdx.json", encoding="utf-8") as beside:
            bill = json.load(beside)
        owners = self.owners(bill)
        expected = {"Qt5Core.dll": "LGPL-3.0-only AND ", "platforms/qwindows.dll": "LGPL-3.0-only AND ",
                    "libstdc++-6.dll": "GPL-3.0-or-later WITH GCC-exception-3.1", "Maritor.exe": "MIT",
                    "usbdrv/Tarnwick.exe": "MIT", "LICENSE.txt": "MIT"}
        for name, licence in expected.items():
            self.assertTrue(owners[name]["licenseConcluded"].startswith(licence), name)
        for name, package in owners.items():
            if name.endswith(".dll") and not name.startswith("usbdrv/"):
                self.assertNotEqual(package["licenseConcluded"], "MIT", name)
                self.assertIn("versionInfo", package, name)
        statically = {relationship["relatedSpdxElement"] for relationship in bill["relationships"]
                      if relationship["relationshipType"] == "STATIC_LINK"}
        self.assertIn("SPDXRef-Package-mingw-w64-runtime", statically)

    def test_a_driver_package_is_its_makers(self):
        root = os.path.join(self.scratch.name, "folder")
        os.makedirs(os.path.join(root, "usbdrv", "amd64"))
        for name in ("Maritor.exe", "usbdrv/Tarnwick.exe", "usbdrv/DPInst.exe", "usbdrv/amd64/coinstaller.dll"):
            with open(os.path.join(root, name), "wb") as data:
                data.write(name.encode())
        output = os.path.join(root, BILL)
        subprocess.run([sys.executable, MAKE_SPDX, "--root", root, "--name", "n", "--version", "1",
                        "--driver-package", "--output", output], check=True)
        with open(output, encoding="utf-8") as written:
            bill = json.load(written)
        self.check_form(bill)
        self.check_files(bill, root)
        owners = self.owners(bill)
        for name in ("usbdrv/DPInst.exe", "usbdrv/amd64/coinstaller.dll"):
            self.assertEqual(owners[name]["licenseConcluded"], "NOASSERTION", name)
            self.assertNotIn("versionInfo", owners[name], name)
        self.assertEqual(owners["usbdrv/Tarnwick.exe"]["licenseConcluded"], "MIT")

    def test_a_file_no_package_claims_stops_the_bill(self):
        root = os.path.join(self.scratch.name, "folder")
        os.makedirs(os.path.join(root, "plugins"))
        for name in ("Maritor.exe", "plugins/stray.dll"):
            with open(os.path.join(root, name), "wb") as data:
                data.write(b"MZ")
        output = os.path.join(self.scratch.name, "bill.json")
        run = subprocess.run([sys.executable, MAKE_SPDX, "--root", root, "--name", "n", "--version", "1",
                              "--output", output], capture_output=True, text=True)
        self.assertNotEqual(run.returncode, 0)
        self.assertIn("plugins/stray.dll belongs to no package", run.stderr)
        self.assertFalse(os.path.exists(output))

    def test_licence_expressions(self):
        for good in ("MIT", "LGPL-3.0-only", "GPL-3.0-or-later WITH GCC-exception-3.1", "GPL-2.0+",
                     "(MIT OR Apache-2.0) AND ZPL-2.1", "LicenseRef-mingw-w64", "NOASSERTION"):
            parse_licence(good)
        for bad in ("", "MIT AND", "AND MIT", "(MIT", "GPL-3.0 WITH", "MIT / BSD", "MIT OR OR ISC"):
            with self.assertRaises(ValueError, msg=bad):
                parse_licence(bad)


if __name__ == "__main__":
    PACKAGES, MAKE_SPDX = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
