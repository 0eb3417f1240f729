#!/usr/bin/env python3
"""Writes the umockdev description of the emulated USB pad that vextd's real input path is
tested with (tests/data/emulated-pad): pad.umockdev (sysfs and udev properties, so that SDL
finds it through libudev) and pad.ioctl (the evdev ioctl answers, in umockdev's text format:
NAME(arg) <return value> <hex of the bytes the kernel copies out>).
The pad: 12 buttons BTN_SOUTH..BTN_START (SDL buttons 0 to 11), the axes ABS_X and ABS_Y
(-32768..32767) and one hat ABS_HAT0X/ABS_HAT0Y (-1..1), at /dev/input/event20.
usage: tools/make-emulated-pad.py [OUTPUT_DIR]"""
import os
import struct
import sys

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "emulated-pad")
NODE = "/dev/input/event20"
NAME = "VextKey Emulated Pad"
BUTTONS = range(0x130, 0x13C)
AXES = {0x00: (-32768, 32767), 0x01: (-32768, 32767), 0x10: (-1, 1), 0x11: (-1, 1)}


def bits(numbers, size):
    data = bytearray(size)
    for n in numbers:
        data[n // 8] |= 1 << (n % 8)
    return bytes(data)


def sysfs_mask(numbers, words):
    """A capability mask as sysfs prints it: hex longs, most significant first."""
    value = sum(1 << n for n in numbers)
    longs = [(value >> (64 * i)) & (2**64 - 1) for i in range(words)]
    while len(longs) > 1 and longs[-1] == 0:
        longs.pop()
    return " ".join("%x" % v for v in reversed(longs))


ev = {0x00, 0x01, 0x03}  # EV_SYN, EV_KEY, EV_ABS
key_mask = sysfs_mask(BUTTONS, 12)
abs_mask = sysfs_mask(AXES, 1)
ev_mask = sysfs_mask(ev, 1)
sys_input = "/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/0003:5645:5850.0001/input/input20"
with open(os.path.join(out, "pad.umockdev"), "w") as f:
    f.write(f"""P: {sys_input}/event20
N: input/event20
E: DEVNAME={NODE}
E: ID_INPUT=1
E: ID_INPUT_JOYSTICK=1
E: ID_BUS=usb
E: ID_VENDOR_ID=5645
E: ID_MODEL_ID=5850
E: MAJOR=13
E: MINOR=84
E: SUBSYSTEM=input
A: dev=13:84
L: device=../../input20

P: {sys_input}
E: ID_INPUT=1
E: ID_INPUT_JOYSTICK=1
E: ID_BUS=usb
E: NAME="{NAME}"
E: PRODUCT=3/5645/5850/111
E: EV={ev_mask}
E: KEY={key_mask}
E: ABS={abs_mask}
E: SUBSYSTEM=input
A: name={NAME}
A: phys=usb-0000:00:14.0-1/input0
A: uniq=
A: properties=0
A: capabilities/ev={ev_mask}
A: capabilities/key={key_mask}
A: capabilities/abs={abs_mask}
A: capabilities/rel=0
A: capabilities/ff=0
A: id/bustype=0003
A: id/vendor=5645
A: id/product=5850
A: id/version=0111

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/0003:5645:5850.0001
E: HID_ID=0003:00005645:00005850
E: HID_NAME={NAME}
E: SUBSYSTEM=hid
E: DRIVER=hid-generic

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0
E: DEVTYPE=usb_interface
E: SUBSYSTEM=usb
E: INTERFACE=3/0/0
A: bInterfaceClass=03

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1
E: DEVTYPE=usb_device
E: SUBSYSTEM=usb
E: PRODUCT=5645/5850/111
A: idVendor=5645
A: idProduct=5850
A: manufacturer=VextKey
A: product={NAME}

P: /devices/pci0000:00/0000:00:14.0/usb1
E: DEVTYPE=usb_device
E: SUBSYSTEM=usb

P: /devices/pci0000:00/0000:00:14.0
E: SUBSYSTEM=pci
""")


def hx(data):
    return data.hex().upper()


def string(text):
    data = text.encode() + b"\0"
    return "%d %s" % (len(data), hx(data.ljust(128, b"\0")))


lines = [
    f"@DEV {NODE} (evdev)",
    "EVIOCGVERSION 0 " + hx(struct.pack("<I", 0x010001)),
    "EVIOCGID 0 " + hx(struct.pack("<HHHH", 3, 0x5645, 0x5850, 0x111)),
    "EVIOCGNAME(0) " + string(NAME),
    "EVIOCGPHYS(0) " + string("usb-0000:00:14.0-1/input0"),
    "EVIOCGUNIQ(0) 1 " + hx(b"\0" * 128),
    "EVIOCGPROP(0) 8 " + hx(b"\0" * 8),
    "EVIOCGBIT(0) 8 " + hx(bits(ev, 8)),
    "EVIOCGBIT(1) 96 " + hx(bits(BUTTONS, 96)),
    "EVIOCGBIT(2) 8 " + hx(b"\0" * 8),
    "EVIOCGBIT(3) 8 " + hx(bits(AXES, 8)),
    "EVIOCGBIT(4) 8 " + hx(b"\0" * 8),
    "EVIOCGBIT(21) 16 " + hx(b"\0" * 16),
]
for code, (low, high) in sorted(AXES.items()):
    # value min max fuzz flat resolution
    lines.append("EVIOCGABS(%d) 0 %s" % (code, hx(struct.pack("<6i", 0, low, high, 0, 0, 0))))
lines.append("EVIOCGKEY(0) 96 " + hx(b"\0" * 96))  # nothing held when it is opened
with open(os.path.join(out, "pad.ioctl"), "w") as f:
    f.write("\n".join(lines) + "\n")
