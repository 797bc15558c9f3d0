#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: ZORVEL Custom Config developers
# MIT License (see LICENSE or https://opensource.org/licenses/MIT)
# SPDX-License-Identifier: MIT

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: settings_info
short_description: Read the identity and settings of ZORVEL modules
description:
  - Reads ZORVEL GPIB converter modules over their USB service ports with C(zorvel show --json),
    the command line of ZORVEL Custom Config, and returns each module's settings document.
  - Never changes anything.
  - This module was called C(zorvel.config.info) before; that name still works, with a deprecation
    warning.
version_added: "1.1.0"
author:
  - ZORVEL Custom Config developers (@zorvel-custom-config)
options:
  port:
    description:
      - The service ports to read, each a name such as C(ttyACM0) or C(COM3), or a device path.
      - Without I(port) and I(serial), every service port there is.
    type: list
    elements: str
  serial:
    description:
      - The service ports to read, by the USB serial numbers of their modules.
    type: list
    elements: str
  timeout:
    description:
      - How long to wait for each reply of a module, in milliseconds.
    type: int
    default: 1000
attributes:
  check_mode:
    support: full
    details: Reads only, in check mode as otherwise.
  diff_mode:
    support: none
  platform:
    platforms: posix
notes:
  - A module that cannot be reached or does not answer fails the task with C(zorvel)'s message in
    I(msg), its exit status in I(rc), and the command with what it printed in I(cmd), I(stdout) and
    I(stderr); I(modules) then still holds what was read and, where several modules were read, each
    that failed as its port, serial number, message and exit status.
  - What C(zorvel) says besides, such as a module holding values its interlocks do not allow, becomes
    a warning.
  - With every service port and none found, I(modules) is empty and the task does not fail.
extends_documentation_fragment:
  - ansible.builtin.action_common_attributes
  - zorvel.config.zorvel
'''

EXAMPLES = r'''
- name: Every module of the station
  zorvel.config.settings_info:
  register: station

- name: The bit rate of each module
  ansible.builtin.debug:
    msg: "{{ item.module.serialNumber }}: {{ item.rs232c.bitrate }}"
  loop: "{{ station.modules }}"

- name: Two modules by their serial numbers
  zorvel.config.settings_info:
    serial: [ZV000001, ZV000002]
'''

RETURN = r'''
modules:
  description: The settings document of each module read, as C(zorvel show --json --all) gives them.
  returned: always
  type: list
  elements: dict
  sample:
    - format: zorvel-settings/1
      module: {port: /dev/ttyACM0, serialNumber: ZV000001, version: 01.02.07, hostInterface: RS232C,
               gpibAddress: 5, customMode: false, idn: "MAKER,MODEL,SN1,1.0"}
      rs232c: {bitrate: 9600, stopbits: 1, flowControl: NONE, termchar: "0x0A", block4882: true,
               idnQuery: "*IDN?", pelta: false}
      usbtmc: {autoSerialPoll: false, autoSerialPollInterval: 1000}
cmd:
  description: The command that ran.
  returned: failure
  type: list
  elements: str
  sample: [/usr/bin/zorvel, show, --json, --all, --timeout, "1000"]
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

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.zorvel.config.plugins.module_utils.zorvel import (
    EXECUTABLE_ARGUMENT, EXIT_NO_MODULE, EXIT_SUCCESS, fail, port_arguments, run_zorvel, warn_of)


def argument_spec():
    arguments = dict(
        port=dict(type="list", elements="str"),
        serial=dict(type="list", elements="str"),
        timeout=dict(type="int", default=1000),
    )
    arguments.update(EXECUTABLE_ARGUMENT)
    return arguments


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(),
        mutually_exclusive=[("port", "serial")],
        supports_check_mode=True,
    )
    named = port_arguments(module.params["port"], module.params["serial"])
    run = run_zorvel(module, ["show", "--json"] + (named or ["--all"]))
    result = run["result"]
    modules = result if isinstance(result, list) else [result] if result else []
    documents = [item for item in modules if "format" in item]
    if run["rc"] == EXIT_NO_MODULE and not named and not modules:
        warn_of(module, run)
        module.exit_json(changed=False, modules=[])
    if run["rc"] != EXIT_SUCCESS:
        fail(module, run, modules=modules if len(modules) > 1 else documents)
    warn_of(module, run)
    module.exit_json(changed=False, modules=modules)


if __name__ == "__main__":
    main()
