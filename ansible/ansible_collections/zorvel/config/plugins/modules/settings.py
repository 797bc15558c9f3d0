#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: ZORVEL Custom Config developers
# MIT License (see LICENSE or https://opensource.org/licenses/MIT)
# SPDX-License-Identifier: MIT

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: settings
short_description: Bring a ZORVEL module's settings in line with a settings document
description:
  - Reads a ZORVEL GPIB converter module over its USB service port with C(zorvel), the command
    line of ZORVEL Custom Config, sets the given keys over what the module holds and writes only
    the groups of settings that differ, as C(zorvel apply) does.
  - A group is written, and the task reports a change, only where it differs, so that a second
    run is C(ok) and the module's memory is spared needless write cycles.
  - New settings take effect once the module is power-cycled; I(power_cycle_needed) says when.
  - Runs C(zorvel) on the managed host as a list of arguments, never through a shell.
author:
  - ZORVEL Custom Config developers (@zorvel-custom-config)
options:
  port:
    description:
      - The module's service port, a name such as C(ttyACM0) or C(COM3), or a device path such as
        C(/dev/zorvel-ZV000001).
      - Without I(port) and I(serial), the one service port there is.
    type: str
  serial:
    description:
      - The service port of the module with this USB serial number.
    type: str
  settings:
    description:
      - "The settings to hold, as the groups and keys of a settings document, for example
        C({rs232c: {bitrate: 19200}}). Keys left out keep the module's values; values are
        checked against the same rules as the program's fields and interlocks."
    type: dict
  src:
    description:
      - A settings document on the managed host, such as one C(zorvel export) wrote, instead of
        I(settings); C(zorvel) reads it there.
    type: path
  verify:
    description:
      - Read the written groups back and fail when they differ from what was written.
    type: bool
    default: true
  timeout:
    description:
      - How long to wait for each reply of the module, in milliseconds.
    type: int
    default: 1000
attributes:
  check_mode:
    support: full
    details: Reads the module and reports what would be written; nothing is written.
  diff_mode:
    support: full
    details:
      - The keys that differ, with the module's values before and the document's after, under headers
        that name the module and the source of the settings.
  platform:
    platforms: posix
notes:
  - A value outside the rules, a module that cannot be reached or does not answer, and a
    read-back that differs fail the task with C(zorvel)'s message in I(msg), its exit status in
    I(rc), and the command with what it printed in I(cmd), I(stdout) and I(stderr).
extends_documentation_fragment:
  - ansible.builtin.action_common_attributes
  - zorvel.config.zorvel
'''

EXAMPLES = r'''
- name: The RS232C host at 19200 bit/s with hardware flow control
  zorvel.config.settings:
    serial: ZV000001
    settings:
      rs232c:
        bitrate: 19200
        flowControl: HARDWARE
  notify: Power-cycle the written modules

- name: The lab's known-good document, on the one module of the station
  zorvel.config.settings:
    src: /etc/zorvel/known-good.json
'''

RETURN = r'''
changes:
  description: Each key that differs, with the module's value and the document's, as C(zorvel diff --json) gives them.
  returned: once the module was read
  type: list
  elements: dict
  sample: [{group: rs232c, key: bitrate, module: 9600, file: 19200}]
written:
  description: The groups of settings sent to the module; none in check mode.
  returned: when zorvel ran
  type: list
  elements: str
  sample: [rs232c]
verified:
  description:
    - Whether the groups read back match what was written.
    - Null when nothing was read back (I(verify) false, check mode, nothing to write, or a read-back that did not finish).
  returned: when zorvel ran
  type: bool
  sample: true
power_cycle_needed:
  description: Whether the module must be power-cycled for its settings to take effect, as a group was, or in check mode would be, written.
  returned: always
  type: bool
  sample: true
module:
  description: The module's port and the USB serial number of its service port.
  returned: always
  type: dict
  sample: {port: /dev/ttyACM0, serialNumber: ZV000001}
cmd:
  description: The command that ran.
  returned: failure
  type: list
  elements: str
  sample: [/usr/bin/zorvel, apply, "-", "--yes", "--json", "--verify", "--timeout", "1000"]
rc:
  description: The exit status of C(zorvel).
  returned: failure
  type: int
  sample: 3
stdout:
  description: What C(zorvel) printed, its JSON result.
  returned: failure
  type: str
stderr:
  description: The errors C(zorvel) printed.
  returned: failure
  type: str
'''

import json

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.zorvel.config.plugins.module_utils.zorvel import (
    DOCUMENT_FORMAT, EXECUTABLE_ARGUMENT, EXIT_SUCCESS, fail, port_arguments, run_zorvel, warn_of)


def module_name(module):
    """The module as a diff names it: its port and its serial number."""
    serial = module["serialNumber"] or "no serial number"
    return "%s (%s)" % (module["port"] or "the one service port", serial)


def difference(changes, module, source):
    """Ansible's diff of the keys that differ: the module's values, then the document's."""
    before, after = {}, {}
    for change in changes:
        before.setdefault(change["group"], {})[change["key"]] = change["module"]
        after.setdefault(change["group"], {})[change["key"]] = change["file"]
    name = module_name(module)
    return dict(before=before, after=after, before_header="%s: held" % name,
                after_header="%s: %s" % (name, source))


def argument_spec():
    arguments = dict(
        port=dict(type="str"),
        serial=dict(type="str"),
        settings=dict(type="dict"),
        src=dict(type="path"),
        verify=dict(type="bool", default=True),
        timeout=dict(type="int", default=1000),
    )
    arguments.update(EXECUTABLE_ARGUMENT)
    return arguments


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(),
        mutually_exclusive=[("port", "serial"), ("settings", "src")],
        required_one_of=[("settings", "src")],
        supports_check_mode=True,
    )
    src = module.params["src"]
    arguments = ["apply", src or "-", "--yes", "--json"]
    if module.check_mode:
        arguments.append("--dry-run")
    elif module.params["verify"]:
        arguments.append("--verify")
    arguments += port_arguments([module.params["port"]] if module.params["port"] else None,
                                [module.params["serial"]] if module.params["serial"] else None)
    document = None
    if not src:
        document = {"format": DOCUMENT_FORMAT}
        document.update(module.params["settings"])
        document = json.dumps(document)

    run = run_zorvel(module, arguments, document)
    result = run["result"] if isinstance(run["result"], dict) else {}
    changes = result.get("changes", [])
    written = result.get("written", [])
    power_cycle_needed = bool(written) or (module.check_mode and bool(changes))
    found = dict(port=result.get("port", module.params["port"]), serialNumber=result.get("serialNumber", ""))
    outcome = dict(
        changed=power_cycle_needed,
        power_cycle_needed=power_cycle_needed,
        changes=changes,
        written=written,
        verified=result.get("verified"),
        module=found,
        diff=difference(changes, found, src or "settings"),
    )
    if run["rc"] != EXIT_SUCCESS:
        fail(module, run, **outcome)
    warn_of(module, run)
    module.exit_json(**outcome)


if __name__ == "__main__":
    main()
