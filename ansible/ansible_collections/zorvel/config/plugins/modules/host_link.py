#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: ZORVEL Custom Config developers
# MIT License (see LICENSE or https://opensource.org/licenses/MIT)
# SPDX-License-Identifier: MIT

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: host_link
short_description: Check that the instrument answers through a ZORVEL module with the settings it holds
description:
  - Tries a ZORVEL module's host link end to end with C(zorvel check-host), the command line of ZORVEL
    Custom Config. It reads the module's settings over its USB service port, opens I(host), the
    computer's end of the host link, with the module's bit rate, stop bits and flow control, sends the
    identification query and compares the answer with the *IDN text the module read from its
    instrument.
  - Changes nothing, on the module or elsewhere; it sends only the query, and runs the same in check
    mode.
  - Settings written since the module's last power cycle take effect only after the next one, so check
    the link after the power cycle.
version_added: "1.1.0"
author:
  - ZORVEL Custom Config developers (@zorvel-custom-config)
options:
  host:
    description:
      - The computer's end of the host link, a serial port such as C(/dev/ttyUSB0) or C(COM7); with a
        USB host interface, the instrument's USBTMC device file on Linux, such as C(/dev/usbtmc0).
    type: str
    required: true
  port:
    description:
      - The module's service port, a name such as C(ttyACM0) or a device path.
      - Without I(port) and I(serial), the one service port there is.
    type: str
  serial:
    description:
      - The service port of the module with this USB serial number.
    type: str
  timeout:
    description:
      - How long to wait for each reply of the module, and for the instrument's answer, in milliseconds.
    type: int
    default: 2000
attributes:
  check_mode:
    support: full
    details: Runs as otherwise, since it sends only the query and changes nothing.
  diff_mode:
    support: none
  platform:
    platforms: posix
notes:
  - A link that does not answer as the settings say it should (no answer, another instrument's answer,
    bytes that are not text) fails the task with what to try in I(msg); so do the PELTA protocol being
    on, a I(host) that is the service port, and a module or a I(host) that cannot be reached.
extends_documentation_fragment:
  - ansible.builtin.action_common_attributes
  - zorvel.config.zorvel
'''

EXAMPLES = r'''
- name: The instrument answers on the station's first serial adapter
  zorvel.config.host_link:
    host: /dev/ttyUSB0
    serial: ZV000001
  register: link

- name: What the instrument said
  ansible.builtin.debug:
    msg: "{{ link.line }}: {{ link.received }}"
'''

RETURN = r'''
match:
  description: Whether the answer is the *IDN text the module read from its instrument; null where the module reports none.
  returned: when the link was tried
  type: bool
  sample: true
sent:
  description: What was sent on I(host), the query and the terminator.
  returned: when the link was tried
  type: str
  sample: "*IDN?\n"
received:
  description: What came back.
  returned: when the link was tried
  type: str
  sample: "MAKER,METER,SN1,1.0\n"
expected:
  description: The *IDN text the module read from its instrument.
  returned: when the link was tried
  type: str
  sample: "MAKER,METER,SN1,1.0"
line:
  description: The line settings used.
  returned: when the link was tried
  type: str
  sample: 19200 bit/s, 8 data bits, no parity, 1 stop bit, RTS/CTS, terminator 0x0A
host_port:
  description: The computer's end of the host link that was tried.
  returned: when the link was tried
  type: str
  sample: /dev/ttyUSB0
settings:
  description: The line settings one by one, those of a serial line null where the host interface is USB.
  returned: when the link was tried
  type: dict
  sample: {hostInterface: RS232C, bitrate: 19200, dataBits: 8, parity: none, stopbits: 1,
           flowControl: HARDWARE, termchar: "0x0A"}
module:
  description: The module's port and the USB serial number of its service port.
  returned: when the link was tried
  type: dict
  sample: {port: /dev/ttyACM0, serialNumber: ZV000001}
cmd:
  description: The command that ran.
  returned: failure
  type: list
  elements: str
  sample: [/usr/bin/zorvel, check-host, /dev/ttyUSB0, --json, --timeout, "2000"]
rc:
  description: The exit status of C(zorvel); 5 when the link did not answer as the settings say it should.
  returned: failure
  type: int
  sample: 5
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
    EXECUTABLE_ARGUMENT, EXIT_SUCCESS, fail, port_arguments, run_zorvel, warn_of)

SETTINGS = ("hostInterface", "bitrate", "dataBits", "parity", "stopbits", "flowControl", "termchar")


def argument_spec():
    arguments = dict(
        host=dict(type="str", required=True),
        port=dict(type="str"),
        serial=dict(type="str"),
        timeout=dict(type="int", default=2000),
    )
    arguments.update(EXECUTABLE_ARGUMENT)
    return arguments


def link_of(result):
    """What the check found, as the task returns it."""
    if "hostPort" not in result:
        return {}
    return dict(
        match=result["match"],
        sent=result["sent"],
        received=result["received"],
        expected=result["expected"],
        line=result["line"],
        host_port=result["hostPort"],
        settings=dict((key, result[key]) for key in SETTINGS),
        module=dict(port=result["port"], serialNumber=result["serialNumber"]),
    )


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(),
        mutually_exclusive=[("port", "serial")],
        supports_check_mode=True,
    )
    arguments = ["check-host", module.params["host"], "--json"]
    arguments += port_arguments([module.params["port"]] if module.params["port"] else None,
                                [module.params["serial"]] if module.params["serial"] else None)
    run = run_zorvel(module, arguments)
    link = link_of(run["result"] if isinstance(run["result"], dict) else {})
    if run["rc"] != EXIT_SUCCESS:
        fail(module, run, changed=False, **link)
    warn_of(module, run)
    module.exit_json(changed=False, **link)


if __name__ == "__main__":
    main()
