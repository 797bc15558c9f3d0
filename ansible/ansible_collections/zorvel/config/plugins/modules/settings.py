#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: ZORVEL Custom Config developers
# MIT License (see the LICENSE file of ZORVEL Custom Config)

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
  - New settings take effect once the module is power-cycled.
  - Runs C(zorvel) on the managed host as a list of arguments with the document on its standard
    input, never through a shell.
version_added: "1.0.4"
author:
  - ZORVEL Custom Config developers
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
        I(settings).
    type: path
  verify:
    description:
      - Read the written groups back and fail when they differ from what was written.
    type: bool
    default: true
attributes:
  check_mode:
    support: full
    details: Reads the module and reports what would be written; nothing is written.
  diff_mode:
    support: full
    details: The keys that differ, with the module's values before and the document's after.
notes:
  - A value outside the rules, a module that cannot be reached or does not answer, and a
    read-back that differs fail the task with C(zorvel)'s message in I(msg) and its exit status
    in I(rc).
extends_documentation_fragment:
  - zorvel.config.zorvel
'''

EXAMPLES = r'''
- name: Every module's RS232C host at 19200 bit/s with hardware flow control
  zorvel.config.settings:
    serial: ZV000001
    settings:
      rs232c:
        bitrate: 19200
        flowControl: HARDWARE

- name: The lab's known-good document, on the one module of the station
  zorvel.config.settings:
    src: /etc/zorvel/known-good.json
'''

RETURN = r'''
changes:
  description: Each key that differs, with the module's value and the document's, as C(zorvel diff --json) gives them.
  returned: success and failure, once the module was read
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
  description: Whether the groups read back match what was written; null when nothing was read back (I(verify) false, check mode, nothing to write, or a read-back that did not finish).
  returned: when zorvel ran
  type: bool
  sample: true
module:
  description: The module's port and the USB serial number of its service port.
  returned: when zorvel ran
  type: dict
  sample: {port: /dev/ttyACM0, serialNumber: ZV000001}
rc:
  description: The exit status of C(zorvel).
  returned: failure
  type: int
  sample: 3
'''

import json

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.zorvel.config.plugins.module_utils.zorvel import (
    COMMON_ARGUMENTS, DOCUMENT_FORMAT, failure_message, port_arguments, run_zorvel)


def document_of(module):
    """The settings document to apply, as text."""
    if module.params["src"]:
        try:
            with open(module.params["src"], "rb") as source:
                return source.read().decode("utf-8")
        except (IOError, OSError, UnicodeDecodeError) as error:
            module.fail_json(msg="cannot read %s: %s" % (module.params["src"], error))
    document = {"format": DOCUMENT_FORMAT}
    document.update(module.params["settings"])
    return json.dumps(document)


def differences(changes):
    """Ansible's diff of the keys that differ: the module's values, then the document's."""
    before, after = {}, {}
    for change in changes:
        before.setdefault(change["group"], {})[change["key"]] = change["module"]
        after.setdefault(change["group"], {})[change["key"]] = change["file"]
    return {"before": before, "after": after}


def argument_spec():
    arguments = dict(
        port=dict(type="str"),
        serial=dict(type="str"),
        settings=dict(type="dict"),
        src=dict(type="path"),
        verify=dict(type="bool", default=True),
    )
    arguments.update(COMMON_ARGUMENTS)
    return arguments


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(),
        mutually_exclusive=[("port", "serial"), ("settings", "src")],
        required_one_of=[("settings", "src")],
        supports_check_mode=True,
    )
    arguments = ["apply", "-", "--yes", "--json"]
    if module.check_mode:
        arguments.append("--dry-run")
    elif module.params["verify"]:
        arguments.append("--verify")
    arguments += port_arguments([module.params["port"]] if module.params["port"] else None,
                                [module.params["serial"]] if module.params["serial"] else None)

    status, result, errors = run_zorvel(module, arguments, document_of(module))
    result = result if isinstance(result, dict) else {}
    changes = result.get("changes", [])
    written = result.get("written", [])
    outcome = dict(
        changed=bool(written) or (module.check_mode and bool(changes)),
        changes=changes,
        written=written,
        verified=result.get("verified"),
        module=dict(port=result.get("port", module.params["port"]), serialNumber=result.get("serialNumber", "")),
    )
    if module._diff:
        outcome["diff"] = differences(changes)
    if status != 0:
        module.fail_json(msg=failure_message(result, errors), rc=status, **outcome)
    for line in errors.splitlines():
        module.warn(line)
    module.exit_json(**outcome)


if __name__ == "__main__":
    main()
