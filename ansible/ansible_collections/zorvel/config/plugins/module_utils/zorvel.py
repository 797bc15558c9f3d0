# -*- coding: utf-8 -*-
# Copyright: ZORVEL Custom Config developers
# MIT License (see the LICENSE file of ZORVEL Custom Config)
"""Running zorvel, the command line of ZORVEL Custom Config, for the modules
of this collection: always as a list of arguments, never through a shell,
with a settings document on standard input."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os

DOCUMENT_FORMAT = "zorvel-settings/1"

# What every module of the collection takes to reach zorvel and the modules.
COMMON_ARGUMENTS = dict(
    timeout=dict(type="int", default=1000),
    executable=dict(type="str", default="zorvel"),
)


def executable_path(module):
    """The zorvel to run: a path as given, or a name looked up on PATH."""
    executable = module.params["executable"]
    if os.path.sep in executable:
        if not os.path.isabs(executable):
            module.fail_json(msg="executable: give a name on PATH or an absolute path, not %s" % executable)
        if not os.access(executable, os.X_OK):
            module.fail_json(msg="%s is not an executable file" % executable)
        return executable
    return module.get_bin_path(executable, required=True)


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
    """Runs zorvel with the arguments and the document, if any, on standard
    input. Returns its exit status, its JSON output (None when it printed
    none) and its error output without the program's name on each line."""
    command = [executable_path(module)] + arguments + ["--timeout", str(module.params["timeout"])]
    status, output, errors = module.run_command(command, data=document, environ_update={"LC_ALL": "C.UTF-8"})
    try:
        result = json.loads(output) if output.strip() else None
    except ValueError:
        module.fail_json(msg="zorvel printed no JSON: %s" % output, rc=status, stdout=output, stderr=errors)
    lines = [line[len("zorvel: "):] if line.startswith("zorvel: ") else line for line in errors.splitlines()]
    return status, result, "\n".join(lines)


def failure_message(result, errors):
    """zorvel's own words for what went wrong: its errors, or the message of
    its JSON result when it wrote no error."""
    if errors.strip():
        return errors.strip()
    if isinstance(result, dict) and result.get("message"):
        return result["message"]
    return "zorvel failed"
