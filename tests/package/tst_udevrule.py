"""Reads the udev rule for the module's service port as udev does and follows
it for a few devices: the module's port must get the uaccess tag, the
ModemManager switch and its /dev/zorvel-SERIAL link, and other devices
nothing. The file must sort before the rules that act on what it sets.
(udevadm cannot load a rule from outside the system's folders, and the
machine has no module to test it on.)

    tst_udevrule.py RULES
"""

import fnmatch
import pathlib
import re
import sys

PAIR = re.compile(r'\s*([A-Z_]+)(?:\{([^}]*)\})?\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*(?:,|$)')
MATCH_KEYS = {"ACTION", "SUBSYSTEM", "SUBSYSTEMS", "ATTRS", "ENV"}
ASSIGN_KEYS = {"TAG", "ENV", "SYMLINK", "IMPORT", "GOTO", "LABEL"}
PARENT_KEYS = {"SUBSYSTEMS", "ATTRS"}
LATER_RULES = ["73-seat-late.rules", "77-mm-usb-device-blacklist.rules", "80-mm-candidate.rules"]


def parse(text):
    """Each rule as a list of (key, attribute, operator, value); anything
    udev would not read raises ValueError."""
    rules = []
    for number, line in enumerate(text.splitlines(), 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        pairs, position = [], 0
        while position < len(line):
            pair = PAIR.match(line, position)
            if not pair:
                raise ValueError("line %d: cannot read %r" % (number, line[position:]))
            key, _, operator, _ = pair.groups()
            if key not in (MATCH_KEYS if operator in ("==", "!=") else ASSIGN_KEYS):
                raise ValueError("line %d: %s does not take %s" % (number, key, operator))
            pairs.append(pair.groups())
            position = pair.end()
        rules.append(pairs)
    return rules


def test(pair, actual):
    _, _, operator, pattern = pair
    hit = actual is not None and any(fnmatch.fnmatchcase(actual, p) for p in pattern.split("|"))
    return hit == (operator == "==")


def matches(pairs, device, env):
    """udev's matching: the device's own keys, and all parent keys on one
    and the same parent."""
    own = {"ACTION": lambda a: device["action"], "SUBSYSTEM": lambda a: device["subsystem"], "ENV": env.get}
    parent = {"SUBSYSTEMS": lambda d, a: d["subsystem"], "ATTRS": lambda d, a: d["attrs"].get(a)}
    conditions = [p for p in pairs if p[2] in ("==", "!=")]
    if not all(test(p, own[p[0]](p[1])) for p in conditions if p[0] not in PARENT_KEYS):
        return False
    on_parents = [p for p in conditions if p[0] in PARENT_KEYS]
    return not on_parents or any(all(test(p, parent[p[0]](d, p[1])) for p in on_parents)
                                 for d in device["parents"])


def run(rules, device):
    """The tags, the ModemManager switch and the links the rules give."""
    labels = {pairs[0][3]: i for i, pairs in enumerate(rules) if pairs[0][0] == "LABEL"}
    env, tags, links = {}, set(), []
    index = 0
    while index < len(rules):
        pairs = rules[index]
        index += 1
        if not matches(pairs, device, env):
            continue
        for key, attribute, operator, value in pairs:
            if key == "GOTO":
                if labels.get(value, -1) < index:
                    raise ValueError("GOTO %s leads to no label further down" % value)
                index = labels[value]
            elif key == "TAG":
                tags.add(value)
            elif key == "ENV" and operator == "=":
                env[attribute] = value
            elif key == "IMPORT":
                if (attribute, value) != ("builtin", "usb_id"):
                    raise ValueError("unexpected import %s" % value)
                env.update(device["usb_id"])
            elif key == "SYMLINK":
                links.append(re.sub(r"\$env\{(\w+)\}", lambda m: env.get(m.group(1), ""), value))
    return tags, env.get("ID_MM_DEVICE_IGNORE"), links


def port(product, serial="ZV0042", subsystem="tty", action="add"):
    """A CDC ACM port: its USB interface, then the USB device with the
    product string and serial number that usb_id reads."""
    return {"action": action, "subsystem": subsystem,
            "parents": [{"subsystem": "usb", "attrs": {"interface": "CDC Abstract Control Model (ACM)"}},
                        {"subsystem": "usb", "attrs": {"product": product, "serial": serial}}],
            "usb_id": {"ID_SERIAL_SHORT": serial} if serial else {}}


NOTHING = (set(), None, [])
CASES = [
    ("the module's service port", port("ZORVEL Service Port"), ({"uaccess"}, "1", ["zorvel-ZV0042"])),
    ("a module without a serial number", port("ZORVEL Service Port", serial=""), ({"uaccess"}, "1", [])),
    ("the name in another letter case", port("Zorvel Service Port"), NOTHING),
    ("another USB serial port", port("USB Serial"), NOTHING),
    ("the module's USB device itself", port("ZORVEL Service Port", subsystem="usb"), NOTHING),
    ("the port going away", port("ZORVEL Service Port", action="remove"), NOTHING),
]


def main():
    path = pathlib.Path(sys.argv[1])
    problems = ["%s sorts after %s" % (path.name, later) for later in LATER_RULES if path.name >= later]
    try:
        rules = parse(path.read_text())
        for name, device, expected in CASES:
            got = run(rules, device)
            if got != expected:
                problems.append("%s: got %s, expected %s" % (name, got, expected))
    except ValueError as error:
        problems.append(str(error))
    for problem in problems:
        print("FAIL:", problem, file=sys.stderr)
    print("%d devices followed through %s" % (len(CASES), path.name))
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
