#!/usr/bin/env python3
"""Builds the Ansible collection's tarball, with its bill of materials, so
that the same files give the same bytes.

    build-collection.py COLLECTION_DIR OUTPUT_DIR STAGE_DIR

The collection is copied to STAGE_DIR, its bill written there as
zorvel-custom-config.spdx.json and beside the tarball in OUTPUT_DIR as
TARBALL.spdx.json. ansible-galaxy walks folders in the file system's order
and stamps its manifests and the gzip header with the clock: here it lists
folders sorted and reads the clock from SOURCE_DATE_EPOCH, which every
staged file takes as its time too."""

import json
import os
import shutil
import subprocess
import sys
import tarfile
import tempfile
import time

import yaml

BILL = "zorvel-custom-config.spdx.json"
EPOCH = int(os.environ["SOURCE_DATE_EPOCH"])


def galaxy(collection, output):
    """ansible-galaxy collection build, with folders listed sorted and the
    clock at SOURCE_DATE_EPOCH; in a process of its own, as ansible-galaxy
    takes its arguments once a process."""
    listdir = os.listdir
    os.listdir = lambda path=".": sorted(listdir(path))
    time.time = lambda: float(EPOCH)
    from ansible.cli.galaxy import GalaxyCLI
    GalaxyCLI(["ansible-galaxy", "collection", "build", "--force", "--output-path", output, collection]).run()


def galaxy_build(collection, output, metadata):
    subprocess.run([sys.executable, os.path.abspath(__file__), "--galaxy", collection, output], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(output, "%(namespace)s-%(name)s-%(version)s.tar.gz" % metadata)


def packed_files(tarball):
    with tarfile.open(tarball) as archive:
        listing = json.load(archive.extractfile("FILES.json"))
    return {entry["name"] for entry in listing["files"] if entry["ftype"] == "file"}


def stage(collection, staged):
    """Copies the collection without what a run of it or of its tests left."""
    left_over = shutil.ignore_patterns("__pycache__", "*.pyc", "*.tar.gz")

    def ignored(folder, names):
        found = left_over(folder, names)
        if os.path.samefile(folder, os.path.join(collection, "tests")):
            found |= {"output"} & set(names)
        return found
    shutil.rmtree(staged, ignore_errors=True)
    shutil.copytree(collection, staged, ignore=ignored)


def set_times(staged):
    for folder, folders, names in os.walk(staged):
        for name in folders + names:
            os.utime(os.path.join(folder, name), (EPOCH, EPOCH), follow_symlinks=False)
    os.utime(staged, (EPOCH, EPOCH))


def write_bill(staged, metadata, bill):
    """The bill lists what ansible-galaxy packs, which leaves out galaxy.yml
    and writes its own manifests: a first build says what that is."""
    with tempfile.TemporaryDirectory() as scratch:
        packed = packed_files(galaxy_build(staged, scratch, metadata))
    unpacked = []
    for folder, _, names in os.walk(staged):
        unpacked += [os.path.relpath(os.path.join(folder, name), staged) for name in names]
    excluded = [item for path in sorted(set(unpacked) - packed) for item in ("--exclude", path)]
    subprocess.run([sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)), "make-spdx.py"),
                    "--root", staged, "--name", "%(namespace)s-%(name)s" % metadata,
                    "--version", metadata["version"], "--all-ours", "--output", bill,
                    "--made-later", "MANIFEST.json", "--made-later", "FILES.json"] + excluded, check=True)


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--galaxy":
        galaxy(sys.argv[2], sys.argv[3])
        return
    if len(sys.argv) != 4:
        sys.exit(__doc__.split("\n\n")[1])
    collection, output, staged = (os.path.abspath(argument) for argument in sys.argv[1:])
    with open(os.path.join(collection, "galaxy.yml"), encoding="utf-8") as description:
        metadata = yaml.safe_load(description)
    stage(collection, staged)
    os.makedirs(output, exist_ok=True)
    bill = os.path.join(staged, BILL)
    write_bill(staged, metadata, bill)
    set_times(staged)
    tarball = galaxy_build(staged, output, metadata)
    shutil.copyfile(bill, tarball + ".spdx.json")
    print("Collection tarball: %s, with its bill %s.spdx.json" % (tarball, os.path.basename(tarball)))


if __name__ == "__main__":
    main()
