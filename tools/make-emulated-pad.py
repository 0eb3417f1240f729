#!/usr/bin/env python3
"""Writes the umockdev descriptions of the emulated USB pads that vextd's real input path is
tested with, one folder each below tests/data: pad.umockdev (sysfs and udev properties, so that
SDL finds the pad through libudev) and pad.ioctl (the evdev ioctl answers, in umockdev's text
format: NAME(arg) <return value> <hex of the bytes the kernel copies out>).
- emulated-pad: a pad SDL does not know. 12 buttons BTN_SOUTH..BTN_START (SDL buttons 0 to 11),
  the axes ABS_X and ABS_Y (-32768..32767) and one hat, at /dev/input/event20.
- xbox360-pad: an Xbox 360 pad as the kernel's xpad driver gives it (BTN_X is its west button),
  at /dev/input/event21. SDL's mapping database knows it.
- ds4-pad: a DualShock 4 as hid-sony gives it (BTN_WEST is its west button; the triggers are
  axes and buttons both; sticks 0..255), at /dev/input/event22. SDL's database knows it too.
The two known pads number the same physical inputs differently, as real ones do.
usage: tools/make-emulated-pad.py [DATA_DIR]"""
import os
import struct
import sys

data_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data")

BTN_SOUTH, BTN_EAST, BTN_NORTH, BTN_WEST = 0x130, 0x131, 0x133, 0x134
BTN_TL, BTN_TR, BTN_TL2, BTN_TR2 = 0x136, 0x137, 0x138, 0x139
BTN_SELECT, BTN_START, BTN_MODE, BTN_THUMBL, BTN_THUMBR = 0x13A, 0x13B, 0x13C, 0x13D, 0x13E
STICK = (-32768, 32767)
HAT = (-1, 1)
BYTE = (0, 255)

PADS = [
    dict(folder="emulated-pad", name="VextKey Emulated Pad", vendor=0x5645, product=0x5850,
         version=0x111, number=20, bus=1, hid=1, manufacturer="VextKey",
         buttons=range(0x130, 0x13C),
         axes={0x00: STICK, 0x01: STICK, 0x10: HAT, 0x11: HAT}),
    dict(folder="xbox360-pad", name="Microsoft X-Box 360 pad", vendor=0x045E, product=0x028E,
         version=0x114, number=21, bus=2, hid=None, manufacturer="Microsoft",
         buttons=[BTN_SOUTH, BTN_EAST, BTN_NORTH, BTN_WEST, BTN_TL, BTN_TR, BTN_SELECT, BTN_START,
                  BTN_MODE, BTN_THUMBL, BTN_THUMBR],
         axes={0x00: STICK, 0x01: STICK, 0x02: BYTE, 0x03: STICK, 0x04: STICK, 0x05: BYTE,
               0x10: HAT, 0x11: HAT}),
    dict(folder="ds4-pad", name="Sony Interactive Entertainment Wireless Controller",
         vendor=0x054C, product=0x09CC, version=0x8111, number=22, bus=3, hid=3,
         manufacturer="Sony Interactive Entertainment",
         buttons=[BTN_SOUTH, BTN_EAST, BTN_NORTH, BTN_WEST, BTN_TL, BTN_TR, BTN_TL2, BTN_TR2,
                  BTN_SELECT, BTN_START, BTN_MODE, BTN_THUMBL, BTN_THUMBR],
         axes={0x00: BYTE, 0x01: BYTE, 0x02: BYTE, 0x03: BYTE, 0x04: BYTE, 0x05: BYTE,
               0x10: HAT, 0x11: HAT}),
]


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


def hx(data):
    return data.hex().upper()


def string(text):
    data = text.encode() + b"\0"
    return "%d %s" % (len(data), hx(data.ljust(128, b"\0")))


def place(pad):
    """Each pad on a USB controller of its own, so that the pads share no device of a testbed."""
    bus = pad["bus"]
    return f"{bus}-1", f"0000:00:{0x13 + bus:02x}.0", f"usb{bus}"


def umockdev(pad):
    name, n = pad["name"], pad["number"]
    port, pci, root = place(pad)
    vid, pid, ver = "%04x" % pad["vendor"], "%04x" % pad["product"], "%x" % pad["version"]
    ev = {0x00, 0x01, 0x03}  # EV_SYN, EV_KEY, EV_ABS
    ev_mask, key_mask = sysfs_mask(ev, 1), sysfs_mask(pad["buttons"], 12)
    abs_mask = sysfs_mask(pad["axes"], 1)
    usb = f"/devices/pci0000:00/{pci}/{root}/{port}"
    interface = f"{usb}/{port}:1.0"
    if pad["hid"] is not None:
        hid = f"{interface}/0003:{vid.upper()}:{pid.upper()}.{pad['hid']:04d}"
        parent = hid
    else:
        parent = interface
    sys_input = f"{parent}/input/input{n}"
    text = f"""P: {sys_input}/event{n}
N: input/event{n}
E: DEVNAME=/dev/input/event{n}
E: ID_INPUT=1
E: ID_INPUT_JOYSTICK=1
E: ID_BUS=usb
E: ID_VENDOR_ID={vid}
E: ID_MODEL_ID={pid}
E: MAJOR=13
E: MINOR={64 + n}
E: SUBSYSTEM=input
A: dev=13:{64 + n}
L: device=../../input{n}

P: {sys_input}
E: ID_INPUT=1
E: ID_INPUT_JOYSTICK=1
E: ID_BUS=usb
E: NAME="{name}"
E: PRODUCT=3/{pad['vendor']:x}/{pad['product']:x}/{ver}
E: EV={ev_mask}
E: KEY={key_mask}
E: ABS={abs_mask}
E: SUBSYSTEM=input
A: name={name}
A: phys=usb-{pci}-{port[2:]}/input0
A: uniq=
A: properties=0
A: capabilities/ev={ev_mask}
A: capabilities/key={key_mask}
A: capabilities/abs={abs_mask}
A: capabilities/rel=0
A: capabilities/ff=0
A: id/bustype=0003
A: id/vendor={vid}
A: id/product={pid}
A: id/version={pad['version']:04x}

"""
    if pad["hid"] is not None:
        text += f"""P: {hid}
E: HID_ID=0003:0000{vid.upper()}:0000{pid.upper()}
E: HID_NAME={name}
E: SUBSYSTEM=hid
E: DRIVER=hid-generic

P: {interface}
E: DEVTYPE=usb_interface
E: SUBSYSTEM=usb
E: INTERFACE=3/0/0
A: bInterfaceClass=03

"""
    else:
        text += f"""P: {interface}
E: DEVTYPE=usb_interface
E: SUBSYSTEM=usb
E: DRIVER=xpad
E: INTERFACE=255/93/1
A: bInterfaceClass=ff

"""
    text += f"""P: {usb}
E: DEVTYPE=usb_device
E: SUBSYSTEM=usb
E: PRODUCT={pad['vendor']:x}/{pad['product']:x}/{ver}
A: idVendor={vid}
A: idProduct={pid}
A: manufacturer={pad['manufacturer']}
A: product={name}

P: /devices/pci0000:00/{pci}/{root}
E: DEVTYPE=usb_device
E: SUBSYSTEM=usb

P: /devices/pci0000:00/{pci}
E: SUBSYSTEM=pci
"""
    return text


def ioctls(pad):
    ev = {0x00, 0x01, 0x03}
    port, pci, _ = place(pad)
    lines = [
        f"@DEV /dev/input/event{pad['number']} (evdev)",
        "EVIOCGVERSION 0 " + hx(struct.pack("<I", 0x010001)),
        "EVIOCGID 0 " + hx(struct.pack("<HHHH", 3, pad["vendor"], pad["product"],
                                         pad["version"])),
        "EVIOCGNAME(0) " + string(pad["name"]),
        "EVIOCGPHYS(0) " + string(f"usb-{pci}-{port[2:]}/input0"),
        "EVIOCGUNIQ(0) 1 " + hx(b"\0" * 128),
        "EVIOCGPROP(0) 8 " + hx(b"\0" * 8),
        "EVIOCGBIT(0) 8 " + hx(bits(ev, 8)),
        "EVIOCGBIT(1) 96 " + hx(bits(pad["buttons"], 96)),
        "EVIOCGBIT(2) 8 " + hx(b"\0" * 8),
        "EVIOCGBIT(3) 8 " + hx(bits(pad["axes"], 8)),
        "EVIOCGBIT(4) 8 " + hx(b"\0" * 8),
        "EVIOCGBIT(21) 16 " + hx(b"\0" * 16),
    ]
    for code, (low, high) in sorted(pad["axes"].items()):
        # value min max fuzz flat resolution; at rest in the middle (a trigger at its low end)
        rest = 0 if low < 0 else (low if code in (0x02, 0x05) else (low + high + 1) // 2)
        lines.append("EVIOCGABS(%d) 0 %s" % (code, hx(struct.pack("<6i", rest, low, high, 0, 0,
                                                                  0))))
    lines.append("EVIOCGKEY(0) 96 " + hx(b"\0" * 96))  # nothing held when it is opened
    return "\n".join(lines) + "\n"


for pad in PADS:
    folder = os.path.join(data_dir, pad["folder"])
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "pad.umockdev"), "w") as f:
        f.write(umockdev(pad))
    with open(os.path.join(folder, "pad.ioctl"), "w") as f:
        f.write(ioctls(pad))
