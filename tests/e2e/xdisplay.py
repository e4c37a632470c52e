"""The X server of the test run, for the Wine programs that show windows: which display they use
and a picture of its screen, kept with the test output so that a person can look at it.

The test command starts the server (scripts/x-server.sh) before the first Wine program, since
Wine's desktop process takes its display from the program that starts it, and says which one
in DISPLAY. A run that chose to do without it (KIV_LEAVE_OUT=xvfb) skips the cases that need
it, saying so; one that simply has no server fails them."""
import os
import shutil
import struct
import subprocess
import unittest
import zlib

from kivtest import BUILD, LEFT_OUT, run_wine

# Beside ctest's own records of the run.
SCREENSHOTS = os.path.join(BUILD, "Testing", "screenshots")
DRIVER = os.path.join(BUILD, "bin", "window_driver.exe")
# What the driver's probe says where Wine refuses every top-level window: a Wine built without a
# graphics driver (no winex11.drv, as the WoW64 Wine of the 32-bit tests is) has its window
# creation fail with ERROR_INVALID_WINDOW_HANDLE.
NO_GRAPHICS_DRIVER = "no window, error 1400"
# What such a Wine lacks, as an expected failure names it.
GRAPHICS_DRIVER = ("a graphics driver (winex11.drv): CreateWindowExW fails for every top-level "
                   "window")


def display_env():
    """The variables that put a Wine program's windows on the test run's X server."""
    display = os.environ.get("DISPLAY", "")
    if "xvfb" in LEFT_OUT:
        raise unittest.SkipTest("left out by KIV_LEAVE_OUT=xvfb: no X server for windows")
    if not display:
        raise AssertionError("no X server: DISPLAY is not set (scripts/test.sh starts one with "
                             "scripts/x-server.sh; KIV_LEAVE_OUT=xvfb leaves these cases out)")
    return {"DISPLAY": display}


def windows_refused():
    """The driver's word when this Wine cannot make a top-level window at all (no graphics
    driver), which only such a Wine gives; None when it made one. Any other outcome fails."""
    result = run_wine(DRIVER, ["probe"], env=display_env())
    said = result.stdout.decode("utf-8").strip()
    if result.returncode == 0:
        return None
    if (result.returncode, said) == (3, NO_GRAPHICS_DRIVER):
        return said
    raise AssertionError("window_driver probe: exit code %d, %r" % (result.returncode, said))


def _shift(mask):
    return (mask & -mask).bit_length() - 1


def xwd_to_png(xwd):
    """The PNG bytes of an X window dump of a true-colour screen (xwd's format, version 7)."""
    fields = struct.unpack_from(">25I", xwd, 0)
    header_size, version = fields[0], fields[1]
    width, height, byte_order = fields[4], fields[5], fields[7]
    bits, line = fields[11], fields[12]
    masks = fields[14:17]
    colours = fields[19]
    if version != 7 or bits not in (24, 32):
        raise ValueError("not a true-colour dump of version 7 (version %d, %d bits)"
                         % (version, bits))
    data = xwd[header_size + 12 * colours:]
    step = bits // 8
    order = "little" if byte_order == 0 else "big"
    shifts = [_shift(mask) for mask in masks]
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        row = data[y * line:y * line + width * step]
        for x in range(0, width * step, step):
            pixel = int.from_bytes(row[x:x + step], order)
            rows += bytes((pixel & mask) >> shift for mask, shift in zip(masks, shifts))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body)))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(rows))) + chunk(b"IEND", b""))


def screenshot(name):
    """Saves the whole screen of the test run's X server as NAME.png among the screenshots of
    the build's test output and returns the file's path (printed too, for the test's log)."""
    if not shutil.which("xwd"):
        raise AssertionError("no xwd (Debian package x11-apps) to take the screenshot")
    dump = subprocess.run(["xwd", "-root", "-silent"], env={**os.environ, **display_env()},
                          stdout=subprocess.PIPE, check=True, timeout=60).stdout
    os.makedirs(SCREENSHOTS, exist_ok=True)
    path = os.path.join(SCREENSHOTS, name + ".png")
    with open(path, "wb") as f:
        f.write(xwd_to_png(dump))
    print("screenshot: " + path, flush=True)
    return path
