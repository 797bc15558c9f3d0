"""The Ansible collection zorvel.config, run by Debian's ansible-playbook on
localhost against modules simulated on pseudo-terminals, with the frames
each module received checked.

    ZORVEL_BIN_DIR=build/bin ZORVEL_COLLECTIONS=ansible ZORVEL_VERSION=1.0.4 pytest-3 test_collection.py
"""

import json
import os
import pathlib
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

    def stop(self):
        self.process.terminate()
        self.process.wait()


@pytest.fixture
def modules():
    started = [SimulatedModule(), SimulatedModule()]
    yield started
    for module in started:
        module.stop()


def run_playbook(tmp_path, tasks, *options):
    """The results of the tasks on localhost, each registered and written to a
    file by a last task, as ansible-core has no callback that prints them."""
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
    return json.loads(results.read_text())


def settings_task(ports, **options):
    task = {"zorvel.config.settings": dict(port="{{ item }}", **options)}
    task["loop"] = ports
    return task


def test_check_mode_reports_the_change_and_its_diff_and_writes_nothing(tmp_path, modules):
    ports = [module.path for module in modules]
    [result] = run_playbook(tmp_path, [settings_task(ports, settings={"rs232c": {"bitrate": 19200}})],
                            "--check", "--diff")
    for item in result["results"]:
        assert item["changed"] and item["written"] == []
        assert item["diff"] == {"before": {"rs232c": {"bitrate": 9600}}, "after": {"rs232c": {"bitrate": 19200}}}
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
        assert message in result["msg"]
        assert module.writes() == []
    finally:
        module.stop()


def test_info_returns_every_module_named(tmp_path, modules):
    ports = [module.path for module in modules]
    [result] = run_playbook(tmp_path, [{"zorvel.config.info": {"port": ports}}])
    assert not result["changed"]
    assert [found["module"]["port"] for found in result["modules"]] == ports
    assert result["modules"][0]["rs232c"]["bitrate"] == 9600
    assert [module.writes() for module in modules] == [[], []]


@pytest.mark.parametrize("name", ["settings", "info"])
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


def test_collection_has_the_project_version():
    galaxy = (COLLECTIONS / "ansible_collections/zorvel/config/galaxy.yml").read_text()
    assert "\nversion: %s\n" % os.environ["ZORVEL_VERSION"] in galaxy
