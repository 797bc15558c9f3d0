"""The yardstick for `zorvel show --json`: the same three reads (module
information, RS232C-host and USBTMC-host settings) with pyserial, one request
and its reply at a time, printed as a JSON document.

Usage: pyserialshow.py PORT
"""
import json
import struct
import sys

import serial

FLOW_CONTROL = {0: "NONE", 1: "SOFTWARE", 2: "HARDWARE"}


def text(field):
    return field.split(b"\0", 1)[0].decode("utf-8", "replace")


def exchange(port, frame_type):
    port.write(bytes([0x4D, 0x30, frame_type, 0]))
    while True:
        header = port.read(4)
        if len(header) < 4:
            sys.exit("no reply")
        payload = port.read(header[3])
        if header[2] == 8 and payload[:1] == b"\0":
            sys.exit("the module restarted")
        if header[2] == frame_type:
            return header + payload


def main(name):
    with serial.Serial(name, 9600, timeout=1) as port:
        info = exchange(port, 1)
        rs232c = exchange(port, 3)
        usbtmc = exchange(port, 5)
    flags = info[20]
    bitrate, stopbits, flow, termchar, block = struct.unpack_from("<iBBBB", rs232c, 4)
    document = {
        "format": "zorvel-settings/1",
        "module": {
            "port": name,
            "version": text(info[4:20]),
            "hostInterface": "USB" if flags & 0x40 else "RS232C",
            "gpibAddress": flags & 0x1F,
            "customMode": bool(flags & 0x20),
            "idn": text(info[22:22 + info[21]]),
        },
        "rs232c": {
            "bitrate": bitrate,
            "stopbits": stopbits,
            "flowControl": FLOW_CONTROL.get(flow, flow),
            "termchar": "0x%02X" % termchar,
            "block4882": bool(block),
            "idnQuery": text(rs232c[12:28]),
            "pelta": bool(rs232c[28]),
        },
        "usbtmc": {
            "autoSerialPoll": bool(usbtmc[4]),
            "autoSerialPollInterval": struct.unpack_from("<i", usbtmc, 5)[0],
        },
    }
    print(json.dumps(document, indent=2))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
