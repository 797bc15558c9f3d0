# -*- coding: utf-8 -*-
# Copyright: ZORVEL Custom Config developers
# MIT License (see LICENSE or https://opensource.org/licenses/MIT)
# SPDX-License-Identifier: MIT
"""Running zorvel, the command line of ZORVEL Custom Config, for the modules
of this collection: always as a list of arguments, never through a shell,
with its JSON result read and its words left as they are."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

DOCUMENT_FORMAT = "zorvel-settings/1"

# The exit statuses of zorvel that the modules act on, as zorvel(1) lists them.
EXIT_SUCCESS = 0
EXIT_NO_MODULE = 3

# What every module of the collection takes to reach zorvel.
EXECUTABLE_ARGUMENT = dict(executable=dict(type="path"))


def port_arguments(ports=None, serials=None):
    """--port or --serial once for each module named; nothing for the one
    service port there is, or with --all where every module is meant."""
    arguments = []
    for name in ports or []:
        arguments += ["--port", name]
    for serial in serials or []:
        arguments += ["--serial", serial]
    return arguments


def run_zorvel(module, arguments, document=None):
    """Runs zorvel with the arguments, and the document, if any, on standard
    input. Returns its command, exit status, output, errors and JSON result
    (None where it printed none)."""
    executable = module.params["executable"] or module.get_bin_path("zorvel", required=True)
    command = [executable] + arguments + ["--timeout", str(module.params["timeout"])]
    rc, stdout, stderr = module.run_command(command, data=document, environ_update={"LC_ALL": "C.UTF-8"})
    run = dict(cmd=command, rc=rc, stdout=stdout, stderr=stderr)
    try:
        run["result"] = json.loads(stdout) if stdout.strip() else None
    except ValueError:
        module.fail_json(msg="zorvel printed no JSON", **run)
    return run


def message_of(run):
    """zorvel's own words for what went wrong: the message of its result, or
    of each module that failed in it; its errors where it printed neither."""
    result = run["result"]
    results = result if isinstance(result, list) else [result] if result else []
    messages = [item["message"] for item in results if item.get("exitStatus", EXIT_SUCCESS) != EXIT_SUCCESS]
    return "\n".join(messages) or run["stderr"].strip() or "zorvel failed with exit status %d" % run["rc"]


def fail(ansible_module, run, **results):
    """Fails the task with zorvel's message, the command and what it printed;
    the results may name the ZORVEL module in a result called module."""
    results.update((key, run[key]) for key in ("cmd", "rc", "stdout", "stderr"))
    ansible_module.fail_json(msg=message_of(run), **results)


def warn_of(module, run):
    """What zorvel says besides its result, such as a module holding values
    its interlocks do not allow, as warnings of the task."""
    for line in run["stderr"].splitlines():
        module.warn(line)
