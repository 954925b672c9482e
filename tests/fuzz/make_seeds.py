#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into corpus/<target>/seed-*.

The targets read their inputs through libFuzzer's FuzzedDataProvider: numbers come off the end of the
input (most significant byte first), byte strings off the front. Input encodes the values in the
order a target reads them, so each seed below reads like the calls it makes.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


class Input:
    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()   # in reading order; the file ends with it reversed

    def int(self, value, low, high, bits=32):
        """A number read with ConsumeIntegralInRange(low, high) on a `bits`-wide type."""
        assert low <= value <= high
        span, offset, count = high - low, 0, 0
        while offset < bits and (span >> offset) > 0:
            offset += 8
            count += 1
        self.back += (value - low).to_bytes(count, "big") if count else b""
        return self

    def int32(self, value):
        return self.int(value, -2**31, 2**31 - 1)

    def bool(self, value):
        return self.int(1 if value else 0, 0, 255, 8)

    def bytes(self, data):
        self.front += data
        return self

    def write(self, target, name):
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "seed-" + name), "wb") as f:
            f.write(bytes(self.front) + bytes(reversed(self.back)))


def word(value):
    return (value & 0xFFFFFFFF).to_bytes(4, "little")


# fuzz_export: one command as FuzzExport.cpp reads it.
def command(i, code, in_size, out_size, contents=b"", live_handle=None, callback=None):
    i.int(code - 1024, 0, 255)                  # selector: one of the seven commands
    for size in (in_size, out_size):            # size words, small or around the descriptor image
        if size <= 32:
            i.int(0, 0, 2).int(size, 0, 32)
        else:
            i.int(1, 0, 2).int(size, 0, 10000)
    for _ in range(3):                          # input, output and count pointers all present
        i.int(1, 0, 15)
    i.bytes(contents[:min(in_size, 8)])
    if in_size >= 4:
        if code == 1030:
            i.bool(callback)
        elif live_handle is not None:           # (index, number of live instances)
            i.bool(True).int(live_handle[0], 0, live_handle[1] - 1)
    return i


def export_seeds():
    i = Input()
    command(i, 1025, 0, 8)
    command(i, 1026, 4, 4, word(0), live_handle=(0, 1))
    i.write("export", "create-destroy")

    i = Input()
    command(i, 1024, 0, 10000)
    command(i, 1024, 0, 56)
    i.write("export", "descriptor")

    i = Input()
    command(i, 1030, 4, 4, word(0), callback=True)
    command(i, 1025, 0, 8)
    command(i, 1025, 0, 8)
    command(i, 1027, 0, 24)
    command(i, 1028, 8, 4, word(0) + word(48000), live_handle=(1, 2))
    command(i, 1029, 8, 4, word(0) + word(7), live_handle=(0, 2))
    command(i, 1026, 4, 4, word(0), live_handle=(0, 2))
    i.write("export", "two-instances")


# fuzz_control and fuzz_audio: the operations of their loops (positions in kPanelSlots, FuzzHost.cpp).
PANEL_SLOTS = {1: (0, 0, 1), 3: (1, 0, 1), 12: (2, 0, 1), 5: (3, 0, 1), 2: (4, 1, 1100), 11: (5, 1, 30),
               13: (6, -1, 8), 18: (7, -1, 11), 47: (8, 1, 100), 48: (9, -1, 2), 4: (10, 0, 4),
               20: (11, 0, 17), 24: (12, 0, 1), 32: (13, 0, 255)}


def panel(i, slot, value, index=0):
    position, low, high = PANEL_SLOTS[slot]
    i.int(0, 0, 7)                              # operation 0 of both loops: a panel value
    i.int(position, 0, len(PANEL_SLOTS) - 1)
    if slot in (20, 24):
        i.int(index, 0, 3)
    if slot == 32:
        i.int(index, 0, 11)
    return i.int(value, low, high)


def pins(i, changes):
    i.int(len(changes), 0, 4)
    for pin, value in changes:
        i.int(pin, 0, 80).int32(value)
    return i


def control_seeds():
    i = Input()
    i.int(2, 0, 7).int(32, 1, 32)               # start-up in one run of calls
    i.int(3, 0, 7)
    pins(i, [(44, 1), (4, 2048)])
    i.int(3, 0, 7)
    pins(i, [(44, 0)])
    i.write("control", "startup-show-hide")

    i = Input()
    i.int(2, 0, 7).int(30, 1, 32)
    panel(i, 1, 1)                              # spectrum view
    panel(i, 4, 4)                              # 8192 points
    panel(i, 18, 1)                             # Hann
    i.int(1, 0, 7).int32(96000)                 # sample rate
    i.int(3, 0, 7)
    pins(i, [])
    panel(i, 47, 50)
    i.int(2, 0, 7).int(2, 1, 32)
    i.write("control", "spectrum-settings")


def block(i, signals, length, start, count, change=None):
    if change is None:
        i.int(4, 0, 7)
    else:
        i.int(3, 0, 7)
        pins(i, change)
    i.int(length, 1, 4096)
    for kind, *values in signals:
        i.int(kind, 0, 4)
        if kind == 1:
            i.int32(values[0])
        elif kind == 2:
            i.int(values[0], 0, 2**31 - 1).int(values[1], 2, 4096)
        elif kind == 3:
            i.int(values[0], 1, 2048)
        elif kind == 4:
            i.int(values[0], 0, 2**32 - 1)
    i.int(start, 0, length)
    i.int(count, 0, length - start)
    return i.bool(True)                         # wait for the drawing workers


def audio_seeds():
    sines = [(2, 1 << 30, 64), (2, 1 << 28, 100), (4, 12345), (3, 300)]

    i = Input()
    panel(i, 1, 1)
    panel(i, 3, 1)
    for k, selection in enumerate((2, 3, 6, 12)):  # A, B, A+B, A-B
        panel(i, 20, selection, k)
    for _ in range(3):
        block(i, sines, 512, 0, 512)
    i.write("audio", "spectrum-four-traces")

    i = Input()
    panel(i, 48, 1)                             # X*Y
    panel(i, 20, 2, 0)
    panel(i, 20, 3, 1)
    panel(i, 13, 1)                             # trigger on A rising
    for start in (0, 100, 7):
        block(i, sines, 1500, start, 1500 - start - 3)
    i.write("audio", "phase-trigger")

    i = Input()
    panel(i, 1, 1)
    panel(i, 4, 4)                              # 8192 points
    panel(i, 12, 1)                             # Vibes Watch
    panel(i, 20, 4, 2)
    block(i, sines, 16, 0, 0, change=[(44, 1)])
    for _ in range(3):
        block(i, sines, 4096, 0, 4096)
    panel(i, 5, 1)                              # hold
    block(i, sines, 64, 10, 20)
    i.write("audio", "long-transform-hold")


if __name__ == "__main__":
    export_seeds()
    control_seeds()
    audio_seeds()
