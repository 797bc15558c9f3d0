#!/usr/bin/env python3
"""Writes the bill of materials of what a package holds, as SPDX 2.3 JSON.

    make-spdx.py --root DIR --name NAME --version VERSION --output FILE
                 [--driver-package] [--all-ours] [--exclude PATH]... [--made-later PATH]...

PATH, relative to DIR, is a file or a folder the bill leaves out; a file
made later is one the package will hold beside the bill, which the bill
names as left out of its verification code, as it does itself.
Every regular file below DIR belongs to one of the packages below, found by
its path: our programs and documents, Qt, the GCC runtime, or a driver
package given to the build. A file that belongs to none stops the script,
so that no package carries a file its bill leaves out; with --all-ours,
every file is ours, as in the Debian package and the Ansible collection.
The time stamp is SOURCE_DATE_EPOCH's, and the document's name and
namespace follow from the files, so that the same files give the same
bill."""

import argparse
import datetime
import hashlib
import json
import os
import re
import sys

SUPPLIER = "Organization: ZORVEL Custom Config developers"
NOTICES = "See THIRD-PARTY-NOTICES.txt beside this file."

OURS = dict(
    key="ours", name="ZORVEL Custom Config", supplier=SUPPLIER, license="MIT",
    copyright="Copyright (c) the ZORVEL Custom Config developers",
    source="The ZORVEL Custom Config source tree of this version, under the MIT licence.",
    patterns=[r"(Maritor|zorvel)(\.exe)?", r"help/.+", r"LICENSE(\.txt)?", r"THIRD-PARTY-NOTICES\.txt",
              r"usbdrv/Tarnwick\.exe"])
STAND_INS = [r"usbdrv/DPInst(64)?\.exe"]
# Qt is offered under the LGPL 3 or the GPL 2 or 3, and is taken under the
# LGPL 3; it holds third-party code under the permissive licences after it.
QT_BUNDLED = "BSD-3-Clause AND Zlib AND MIT AND FTL AND Libpng AND Unicode-DFS-2016 AND Imlib2 AND CC0-1.0"
QT = dict(
    key="qt", name="Qt", version="5.15.8", supplier="Organization: The Qt Company",
    license="(LGPL-3.0-only OR GPL-2.0-only OR GPL-3.0-only) AND " + QT_BUNDLED,
    concluded="LGPL-3.0-only AND " + QT_BUNDLED,
    copyright="Copyright (C) The Qt Company Ltd. and other contributors",
    source="qtbase from Debian 12's source package qtbase-opensource-src 5.15.8+dfsg, with two Wine headers "
           "added, and qtserialport-everywhere-src-5.15.8; the build steps are in THIRD-PARTY-NOTICES.txt.",
    patterns=[r"Qt5[A-Za-z]+\.dll", r"(platforms|styles|imageformats)/[^/]+\.dll"])
GCC_RUNTIME = dict(
    key="gcc-runtime", name="GCC runtime (libstdc++, libgcc)", version="12.2.0",
    supplier="Organization: Free Software Foundation", license="GPL-3.0-or-later WITH GCC-exception-3.1",
    copyright="Copyright (C) Free Software Foundation, Inc.",
    source="Debian 12's source package gcc-mingw-w64 (GCC 12.2.0), as its package g++-mingw-w64-x86-64-win32 "
           "ships these libraries.",
    patterns=[r"libstdc\+\+-6\.dll", r"libgcc_s_seh-1\.dll"])
# Linked into every program rather than shipped as files of its own.
MINGW_RUNTIME = dict(
    key="mingw-w64-runtime", name="mingw-w64 runtime", version="10.0.0", supplier="Organization: mingw-w64 project",
    license="ZPL-2.1", concluded="NOASSERTION", copyright="Copyright (c) 2009-2016 the mingw-w64 project",
    source="Debian 12's source package mingw-w64 (10.0.0), as its package mingw-w64-x86-64-dev ships the "
           "start-up code and helpers that the compiler links into each program.",
    comment="ZPL-2.1 as a whole, with parts in the public domain or under other permissive licences, as "
            "THIRD-PARTY-NOTICES.txt gives them; which parts each program links is not analysed.",
    patterns=[])
# Its maker states its version and licence, not we.
DRIVER = dict(
    key="driver-package", name="Service port driver package", version=None, supplier="NOASSERTION",
    license="NOASSERTION", copyright="NOASSERTION",
    source="The module maker's driver package, given to the build as it was published.",
    patterns=[r"usbdrv/(?!Tarnwick\.exe$).+"])


def digests(path):
    sha1, sha256 = hashlib.sha1(), hashlib.sha256()
    with open(path, "rb") as data:
        for block in iter(lambda: data.read(1 << 16), b""):
            sha1.update(block)
            sha256.update(block)
    return sha1.hexdigest(), sha256.hexdigest()


def is_excluded(relative, excluded):
    """Whether a file is one of those excluded, or in a folder excluded."""
    return any(relative == path or relative.startswith(path.rstrip("/") + "/") for path in excluded)


def regular_files(root, excluded):
    found = []
    for folder, folders, names in os.walk(root):
        folders.sort()
        for name in sorted(names):
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, root).replace(os.sep, "/")
            if os.path.isfile(path) and not os.path.islink(path) and not is_excluded(relative, excluded):
                found.append(relative)
    return sorted(found)


def owner(relative, packages):
    for package in packages:
        if any(re.fullmatch(pattern, relative) for pattern in package["patterns"]):
            return package
    return None


def file_entries(root, excluded, packages):
    """The files of the bill, and the ids and SHA1 sums of each package's
    files."""
    files, members = [], {package["key"]: [] for package in packages}
    for index, relative in enumerate(regular_files(root, excluded), 1):
        package = owner(relative, packages)
        if package is None:
            sys.exit("make-spdx.py: %s belongs to no package of the bill; name it in %s" % (relative, __file__))
        sha1, sha256 = digests(os.path.join(root, relative))
        spdx_id = "SPDXRef-File-%d" % index
        files.append({
            "SPDXID": spdx_id,
            "fileName": "./" + relative,
            "checksums": [{"algorithm": "SHA1", "checksumValue": sha1},
                          {"algorithm": "SHA256", "checksumValue": sha256}],
            "licenseConcluded": package.get("concluded", package["license"]),
            "copyrightText": package["copyright"],
        })
        members[package["key"]].append((spdx_id, sha1))
    return files, members


def package_entry(package, held, unlisted):
    entry = {
        "SPDXID": "SPDXRef-Package-" + package["key"],
        "name": package["name"],
        "supplier": package["supplier"],
        "downloadLocation": "NOASSERTION",
        "sourceInfo": package["source"],
        "filesAnalyzed": bool(held),
        "licenseConcluded": package.get("concluded", package["license"]),
        "licenseDeclared": package["license"],
        "copyrightText": package["copyright"],
        "comment": package.get("comment", NOTICES),
    }
    if package["version"]:
        entry["versionInfo"] = package["version"]
    if held:
        # SPDX's verification code: the SHA1 of the files' sorted SHA1 sums.
        verification = hashlib.sha1("".join(sorted(sha1 for _, sha1 in held)).encode()).hexdigest()
        entry["packageVerificationCode"] = {"packageVerificationCodeValue": verification}
        if unlisted:
            entry["packageVerificationCode"]["packageVerificationCodeExcludedFiles"] = unlisted
    return entry


def relationship(element, kind, related):
    return {"spdxElementId": element, "relationshipType": kind, "relatedSpdxElement": related}


def main():
    arguments = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    arguments.add_argument("--root", required=True)
    arguments.add_argument("--name", required=True)
    arguments.add_argument("--version", required=True)
    arguments.add_argument("--output", required=True)
    arguments.add_argument("--driver-package", action="store_true")
    arguments.add_argument("--all-ours", action="store_true")
    arguments.add_argument("--exclude", action="append", default=[])
    arguments.add_argument("--made-later", action="append", default=[])
    options = arguments.parse_args()

    ours = dict(OURS, version=options.version, comment="The programs and documents of ZORVEL Custom Config.")
    if options.all_ours:
        ours["patterns"] = [r".+"]
    elif not options.driver_package:
        ours["patterns"] = ours["patterns"] + STAND_INS
    packages = [ours, QT, GCC_RUNTIME] + ([DRIVER] if options.driver_package else [])
    files, members = file_entries(options.root, set(options.exclude), packages)
    if members["qt"]:
        packages.append(MINGW_RUNTIME)

    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
    created = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
    fingerprint = hashlib.sha256("".join(f["checksums"][1]["checksumValue"] + f["fileName"] for f in files)
                                 .encode()).hexdigest()
    document = {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": "%s-%s" % (options.name, options.version),
        "documentNamespace": "https://zorvel-custom-config.example/spdx/%s-%s-%s"
                             % (options.name, options.version, fingerprint),
        "creationInfo": {"created": created, "creators": [SUPPLIER, "Tool: make-spdx.py"]},
        "packages": [],
        "files": files,
        "relationships": [],
    }
    # The files of ours that the package holds but the bill cannot list: the
    # bill itself, and what is made after it.
    output = os.path.relpath(os.path.abspath(options.output), os.path.abspath(options.root)).replace(os.sep, "/")
    unlisted = ([] if output.startswith("../") else ["./" + output]) + ["./" + path for path in options.made_later]
    relationships = document["relationships"]
    for package in packages:
        held = members.get(package["key"], [])
        if package["patterns"] and not held:
            continue
        entry = package_entry(package, held, unlisted if package is ours else [])
        document["packages"].append(entry)
        relationships.append(relationship("SPDXRef-DOCUMENT", "DESCRIBES", entry["SPDXID"]))
        relationships.extend(relationship(entry["SPDXID"], "CONTAINS", file_id) for file_id, _ in held)
    if members["qt"]:
        # The Windows programs load Qt and the GCC runtime as DLLs; the
        # launcher has the GCC runtime linked in, and every program the
        # mingw-w64 runtime's start-up code.
        programs = "SPDXRef-Package-ours"
        relationships.append(relationship(programs, "DYNAMIC_LINK", "SPDXRef-Package-qt"))
        relationships.append(relationship(programs, "DYNAMIC_LINK", "SPDXRef-Package-gcc-runtime"))
        relationships.append(relationship(programs, "STATIC_LINK", "SPDXRef-Package-gcc-runtime"))
        relationships.append(relationship(programs, "STATIC_LINK", "SPDXRef-Package-mingw-w64-runtime"))
    with open(options.output, "w", encoding="utf-8") as output:
        json.dump(document, output, indent=2)
        output.write("\n")


if __name__ == "__main__":
    main()
