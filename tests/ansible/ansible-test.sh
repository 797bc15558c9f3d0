#!/usr/bin/env bash
# Runs ansible-test on the collection as its maintainers would, offline, with
# Debian's ansible-core and Debian's linters:
#   ansible-test.sh sanity COLLECTION_DIR
#   ansible-test.sh integration COLLECTION_DIR BIN_DIR   # zorvel and zorvel-sim in BIN_DIR
# The collection is copied into a new folder, HOME included, so that nothing
# is written beside it; that folder is removed at the end.
#
# ansible-test makes a virtual environment for each sanity test under
# ~/.ansible/test/venv/LABEL/X.Y/HASH and fills it with pip unless marker.txt
# is there. Those environments are made here beforehand from Debian's python,
# at the paths ansible-test computes with its own code, with the files it
# reads: marker.txt, and meta.yaml.json, which says whether PyYAML has libyaml
# (yamllint is skipped without it). The linters' environments see Debian's
# packages; the import test's do not, but for PyYAML, Jinja2 and MarkupSafe in
# the plugin importer's, as ansible-test would install them, so that an
# unguarded import of another package still fails.
set -euo pipefail
mode=${1:?usage: ansible-test.sh sanity|integration COLLECTION_DIR [BIN_DIR]}
source=$(cd "${2:?the collection folder}" && pwd)
bin=${3:+$(cd "$3" && pwd)}

# Debian's python and tools, whatever python comes first on PATH.
export PATH=${bin:+$bin:}/usr/bin:/bin
python=/usr/bin/python3
version=$($python -c 'import sys; print("%d.%d" % sys.version_info[:2])')

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home
collection=$work/ansible_collections/zorvel/config
mkdir -p "$HOME" "$collection"
tar -C "$source" --exclude=./tests/output --exclude=__pycache__ -cf - . | tar -C "$collection" -xf -
cd "$collection"

if [ "$mode" = integration ]; then
    exec ansible-test integration --python "$version"
fi

$python - "$version" <<'PY'
import json, os, subprocess, sys
from ansible_test._internal.commands.sanity import hash_pip_commands, sanity_get_tests, SanitySingleVersion
from ansible_test._internal.host_configs import NativePythonConfig
from ansible_test._internal.python_requirements import PipInstall, collect_requirements

DEBIAN = {'pyyaml': ['yaml', '_yaml'], 'jinja2': ['jinja2'], 'markupsafe': ['markupsafe']}
python = NativePythonConfig(version=sys.argv[1], path=sys.executable)


def make(name, minimize=False):
    commands = collect_requirements(python=python, controller=True, virtualenv=False, command=None, ansible=False,
                                    cryptography=False, coverage=False, minimize=minimize, sanity=name)
    label = 'sanity.%s' % name if commands else 'sanity'
    path = os.path.join(os.path.expanduser('~/.ansible/test/venv'), label, python.version, hash_pip_commands(commands))
    isolated = name.startswith('import.') or not commands
    subprocess.run([sys.executable, '-m', 'venv', '--clear', '--without-pip']
                   + ([] if isolated else ['--system-site-packages']) + [path], check=True)
    wanted = [line.split('#')[0].split('==')[0].strip().lower()
              for command in commands if isinstance(command, PipInstall)
              for _, text in command.requirements for line in text.splitlines()]
    wanted = [package for package in wanted if package]
    if isolated:
        site = os.path.join(path, 'lib', 'python' + python.version, 'site-packages')
        for package in wanted:
            for module in DEBIAN[package]:
                os.symlink(os.path.join('/usr/lib/python3/dist-packages', module), os.path.join(site, module))
    libyaml = None
    if 'pyyaml' in wanted:
        found = subprocess.run([os.path.join(path, 'bin', 'python'), '-c', 'import yaml; print(yaml.__with_libyaml__)'],
                               check=True, capture_output=True, text=True).stdout
        libyaml = found.strip() == 'True'
    with open(os.path.join(path, 'meta.install.json'), 'w') as meta:
        json.dump([command.serialize() for command in commands], meta, indent=4)
    with open(os.path.join(path, 'meta.yaml.json'), 'w') as meta:
        json.dump(libyaml, meta)
    open(os.path.join(path, 'marker.txt'), 'w').close()


for test in sanity_get_tests():
    if isinstance(test, SanitySingleVersion):
        make(test.name)
    elif test.name == 'import':
        make('import.module', minimize=True)
        make('import.plugin', minimize=True)
        make('import')
PY

# The changelog test needs a tool Debian does not package. ansible-doc runs
# on its own: when it fails or warns, this ansible-test stops with a
# traceback, and would never run the tests after it.
status=0
ansible-test sanity --python "$version" --junit --skip-test changelog --skip-test ansible-doc || status=$?
if ! ansible-test sanity --python "$version" --junit --test ansible-doc; then
    status=1
    ANSIBLE_COLLECTIONS_PATH=$work ansible-doc -t module --json \
        zorvel.config.settings zorvel.config.settings_info zorvel.config.host_link > /dev/null || true
fi
for test in validate-modules pep8 pylint yamllint import ansible-doc runtime-metadata; do
    result=tests/output/junit/ansible-test-sanity-$test.xml
    [ -e "$result" ] || result=tests/output/junit/ansible-test-sanity-$test-python-$version.xml
    if [ ! -e "$result" ] || grep -q 'skipped="[1-9]' "$result"; then
        echo "FAIL: the sanity test $test did not run" >&2
        status=1
    fi
done
exit $status
