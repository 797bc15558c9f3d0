"""The Ansible collection zorvel.config, run by Debian's ansible-playbook on
localhost against modules simulated on pseudo-terminals, with the frames
each module received checked.

    ZORVEL_BIN_DIR=build/bin ZORVEL_COLLECTIONS=ansible pytest-3 test_collection.py
"""

import json
import os
import pathlib
import re
import signal
import subprocess
import sys
import threading
import time

import pytest

BIN = pathlib.Path(os.environ["ZORVEL_BIN_DIR"])
COLLECTIONS = pathlib.Path(os.environ["ZORVEL_COLLECTIONS"])
READS = {1, 3, 5}
WRITES = {2, 4, 9}


class SimulatedModule:
    """zorvel-sim on a new pseudo-terminal, keeping the type of each frame the
    module receives, which it logs as "  12 ms  /dev/pts/3  to module    4d 30 02 ..."."""

    def __init__(self, *options):
        self.process = subprocess.Popen([str(BIN / "zorvel-sim"), *options], stdout=subprocess.PIPE, text=True)
        self.path = self.process.stdout.readline().strip()
        self.host = self.process.stdout.readline().strip() if "--host" in options else None
        self.requests = []
        self.lines = 0
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines += 1
            if "to module" in line:
                self.requests.append(int(line.split("to module")[1].split()[2], 16))

    def writes(self):
        """The frames that write, once the log has stood still for half a second:
        zorvel ended before the playbook did, and the module logs what it
        receives before it answers."""
        logged = -1
        while logged != self.lines:
            logged = self.lines
            time.sleep(0.5)
        return [kind for kind in self.requests if kind in WRITES]

    def restart(self):
        """A restart notice, after which the module runs with what it stores."""
        self.process.send_signal(signal.SIGUSR1)

    def stop(self):
        self.process.terminate()
        self.process.wait()


@pytest.fixture
def modules():
    started = [SimulatedModule(), SimulatedModule()]
    yield started
    for module in started:
        module.stop()


def run_playbook(tmp_path, tasks, *options, output=None):
    """The results of the tasks on localhost, each registered and written to a
    file by a last task, as ansible-core has no callback that prints them;
    what ansible-playbook printed goes into the list output, where given."""
    registered = []
    for index, task in enumerate(tasks):
        task.update(register="result%d" % index, ignore_errors=True)
        registered.append("result%d" % index)
    results = tmp_path / "results.json"
    tasks.append({"ansible.builtin.copy": {"content": "{{ [%s] | to_json }}" % ", ".join(registered),
                                           "dest": str(results)}, "check_mode": False, "diff": False})
    play = tmp_path / "play.yml"
    play.write_text(json.dumps([{"hosts": "localhost", "connection": "local", "gather_facts": False,
                                 "tasks": tasks}]))
    environment = dict(os.environ, PATH="%s:%s" % (BIN, os.environ["PATH"]), HOME=str(tmp_path),
                       ANSIBLE_COLLECTIONS_PATH=str(COLLECTIONS), ANSIBLE_PYTHON_INTERPRETER=sys.executable,
                       ANSIBLE_LOCALHOST_WARNING="False", ANSIBLE_INVENTORY_UNPARSED_WARNING="False")
    finished = subprocess.run(["ansible-playbook", "-i", "localhost,", str(play), *options], env=environment,
                              capture_output=True, text=True, timeout=120)
    assert finished.returncode == 0, finished.stdout + finished.stderr
    if output is not None:
        output.append(finished.stdout + finished.stderr)
    return json.loads(results.read_text())


def settings_task(ports, **options):
    task = {"zorvel.config.settings": dict(port="{{ item }}", **options)}
    task["loop"] = ports
    return task


def test_check_mode_reports_the_change_and_its_diff_and_writes_nothing(tmp_path, modules):
    ports = [module.path for module in modules]
    [result] = run_playbook(tmp_path, [settings_task(ports, settings={"rs232c": {"bitrate": 19200}})],
                            "--check", "--diff")
    for item, port in zip(result["results"], ports):
        assert item["changed"] and item["written"] == [] and item["power_cycle_needed"]
        assert item["diff"] == {"before": {"rs232c": {"bitrate": 9600}}, "after": {"rs232c": {"bitrate": 19200}},
                                "before_header": port + " (no serial number): held",
                                "after_header": port + " (no serial number): settings"}
    for module in modules:
        assert module.writes() == [] and module.requests and set(module.requests) <= READS


def test_run_writes_the_differing_groups_and_a_second_run_is_ok(tmp_path, modules):
    ports = [module.path for module in modules]
    desired = {"rs232c": {"bitrate": 19200}, "usbtmc": {"autoSerialPollInterval": 1000}}
    [first] = run_playbook(tmp_path, [settings_task(ports, settings=desired)])
    for item, port in zip(first["results"], ports):
        assert item["changed"] and item["written"] == ["rs232c"] and item["verified"] is True
        assert item["module"] == {"port": port, "serialNumber": ""}
    assert [module.writes() for module in modules] == [[2], [2]]

    document = tmp_path / "known-good.json"
    document.write_text(json.dumps(dict(format="zorvel-settings/1", **desired)))
    [second] = run_playbook(tmp_path, [settings_task(ports, src=str(document))])
    assert [item["changed"] for item in second["results"]] == [False, False]
    assert [module.writes() for module in modules] == [[2], [2]]


@pytest.mark.parametrize("case, settings, status, message", [
    ("refused value", {"rs232c": {"bitrate": 14400}}, 2, "rs232c.bitrate = 14400: expected one of 115200"),
    ("silent module", {"rs232c": {"bitrate": 19200}}, 3, "no reply within 300 ms"),
])
def test_failures_give_the_message_and_write_nothing(tmp_path, case, settings, status, message):
    module = SimulatedModule("--silent") if case == "silent module" else SimulatedModule()
    try:
        [result] = run_playbook(tmp_path, [{"zorvel.config.settings": {
            "port": module.path, "settings": settings, "timeout": 300}}])
        assert result["failed"] and result["rc"] == status, result
        assert result["msg"].startswith(message) and result["cmd"][1] == "apply"
        assert message in result["stderr"] and json.loads(result["stdout"])["exitStatus"] == status
        assert module.writes() == []
    finally:
        module.stop()


def test_info_by_its_old_name_returns_every_module_named(tmp_path, modules):
    ports = [module.path for module in modules]
    output = []
    [result] = run_playbook(tmp_path, [{"zorvel.config.info": {"port": ports}}], output=output)
    assert "zorvel.config.info has been deprecated" in output[0]
    assert not result["changed"]
    assert [found["module"]["port"] for found in result["modules"]] == ports
    assert result["modules"][0]["rs232c"]["bitrate"] == 9600
    assert [module.writes() for module in modules] == [[], []]


@pytest.mark.parametrize("name", ["settings", "settings_info", "host_link"])
def test_documentation_renders_and_matches_the_arguments(name):
    environment = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=str(COLLECTIONS))
    shown = subprocess.run(["ansible-doc", "zorvel.config." + name], env=environment, capture_output=True,
                           text=True, check=True)
    assert "EXAMPLES" in shown.stdout and "RETURN VALUES" in shown.stdout
    documented = json.loads(subprocess.run(["ansible-doc", "--json", "zorvel.config." + name], env=environment,
                                           capture_output=True, text=True, check=True).stdout)
    options = documented["zorvel.config." + name]["doc"]["options"]
    sys.path.insert(0, str(COLLECTIONS.parent))
    sys.path.insert(0, str(COLLECTIONS))
    module = __import__("ansible_collections.zorvel.config.plugins.modules." + name, fromlist=["argument_spec"])
    arguments = module.argument_spec()
    assert sorted(options) == sorted(arguments)
    for option, argument in arguments.items():
        assert options[option]["type"] == argument["type"], option
        assert options[option].get("default") == argument.get("default"), option


def readme_block(after):
    """The indented block of the README that follows the line holding the text."""
    lines = (COLLECTIONS.parent / "README.md").read_text().splitlines()
    start = next(index for index, line in enumerate(lines) if after in line) + 1
    while not lines[start].startswith("    "):
        start += 1
    block = []
    for line in lines[start:]:
        if line and not line.startswith("    "):
            break
        block.append(line[4:])
    return "\n".join(block).strip() + "\n"


def test_readme_playbooks_rehearse_as_written(tmp_path):
    """The README's playbooks for many PCs, on this PC against two simulated
    modules with their host sides, named as the README says."""
    modules = [SimulatedModule("--host"), SimulatedModule("--host")]
    try:
        links = [{"port": module.path, "host": module.host} for module in modules]
        rehearsal = readme_block("add this PC to the inventory")
        rehearsal = re.sub(r"zorvel_links='.*'", "zorvel_links='%s'" % json.dumps(links), rehearsal)
        (tmp_path / "lab.ini").write_text("[stations]\n" + rehearsal)
        (tmp_path / "rack.json").write_text('{"format": "zorvel-settings/1", "rs232c": {"bitrate": 19200}}')
        for playbook in ("known-good.yml", "host-links.yml"):
            (tmp_path / playbook).write_text(readme_block("`%s`" % playbook))
        environment = dict(os.environ, PATH="%s:%s" % (BIN, os.environ["PATH"]), HOME=str(tmp_path),
                           ANSIBLE_COLLECTIONS_PATH=str(COLLECTIONS), ANSIBLE_PYTHON_INTERPRETER=sys.executable)

        def play(*arguments):
            return subprocess.run(["ansible-playbook", "-i", "lab.ini", *arguments], cwd=tmp_path, env=environment,
                                  capture_output=True, text=True, timeout=120)

        planned = play("known-good.yml", "--check", "--diff")
        assert planned.returncode == 0, planned.stdout
        for module in modules:
            assert "--- before: %s (no serial number): held" % module.path in planned.stdout
        assert [module.writes() for module in modules] == [[], []]
        written = play("known-good.yml")
        assert written.returncode == 0, written.stdout
        assert "Power-cycle now: %s, %s" % (modules[0].path, modules[1].path) in written.stdout, written.stdout
        assert play("host-links.yml").returncode != 0
        for module in modules:
            module.restart()
        time.sleep(0.5)
        checked = play("host-links.yml")
        assert checked.returncode == 0, checked.stdout
    finally:
        for module in modules:
            module.stop()


def test_collection_version_is_its_newest_release():
    collection = COLLECTIONS / "ansible_collections/zorvel/config"
    galaxy = (collection / "galaxy.yml").read_text()
    releases = re.findall(r"^  (\d+\.\d+\.\d+):$", (collection / "changelogs/changelog.yaml").read_text(), re.M)
    newest = max(releases, key=lambda release: tuple(int(part) for part in release.split(".")))
    assert "\nversion: %s\n" % newest in galaxy
