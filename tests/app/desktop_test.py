#!/usr/bin/env python3
"""End-to-end cases of the desktop program, each under an Xvfb of its own, watched from outside
(window tree, screen pixels, xdotool input, its output, settings and exit code).

    desktop_test.py NIMBOLT CASE BUILD   exit 0 passed, 1 failed, 77 skipped (a tool is missing)
"""
import glob
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import zlib

SKIP = 77


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def poll(what, probe, timeout=20.0, interval=0.05):
    """The first true value probe() gives within the timeout."""
    end = time.monotonic() + timeout
    while not (value := probe()):
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)
    return value


def stop(process):
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


PROBE_PALETTE = [(255, 0, 255), (20, 40, 200), (200, 40, 20)]


def shape_picture():
    """40 x 30, keyed on index 0 (its top-left pixel): a ring with a hole, an isolated pixel and a
    diagonal, so that the shape is more than one rectangle."""
    rows = [[1 if 3 <= y < 27 and 5 <= x < 35 and not (10 <= y < 20 and 15 <= x < 25) else 0
             for x in range(40)] for y in range(30)]
    rows[1][38] = 2
    for i in range(8):
        rows[29 - i][i] = 2
    return rows


def write_mascot(path, title, script="", body_attributes="", body=""):
    """A mascot document showing the probe picture, written beside it as an 8-bit BMP."""
    with open(path, "w", encoding="shift_jis") as out:
        out.write("<nbml><head><title>%s</title><script>%s</script></head>\n"
                  "<body background=\"probe.bmp\" %s>%s</body></nbml>\n" % (title, script, body_attributes, body))
    rows = shape_picture()
    stride = (len(rows[0]) + 3) & ~3  # rows bottom up, each padded to 4 bytes
    pixels = b"".join(bytes(row) + b"\0" * (stride - len(row)) for row in reversed(rows))
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PROBE_PALETTE)
    colours += b"\0" * (4 * (256 - len(PROBE_PALETTE)))
    offset = 14 + 40 + len(colours)
    with open(os.path.join(os.path.dirname(path), "probe.bmp"), "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset))
        out.write(struct.pack("<IiiHHIIiiII", 40, len(rows[0]), len(rows), 1, 8, 0, len(pixels), 2835, 2835, 256, 0))
        out.write(colours + pixels)


def probe_over(key_colour, scale=1):
    """The probe picture's pixels, each a block of scale x scale, with key_colour for the key's."""
    rows = shape_picture()
    return {(x * scale + dx, y * scale + dy): PROBE_PALETTE[index] if index != rows[0][0] else key_colour
            for y, row in enumerate(rows) for x, index in enumerate(row) for dy in range(scale) for dx in range(scale)}


class Display:
    """A virtual X server of the case's own with a black root window. It never resets (one that
    resets when its last client leaves refuses the next program meanwhile). Its framebuffer (an xwd
    dump) holds what a compositing manager made of the windows."""

    def __init__(self):
        self.home = tempfile.mkdtemp(prefix="nimbolt-home-")
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "800x600x24", "-br", "-nolisten", "tcp", "-noreset",
             "-fbdir", self.home], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end, "rb") as reader:
            number = reader.readline().strip()
        check(number, "Xvfb did not start")
        self.name = ":" + number.decode()
        self.framebuffer = os.path.join(self.home, "Xvfb_screen0")
        self.config = os.path.join(self.home, "config")
        self.runtime = os.path.join(self.home, "runtime")
        os.mkdir(self.runtime, 0o700)
        self.env = dict(os.environ, DISPLAY=self.name, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=self.config,
                        XDG_RUNTIME_DIR=self.runtime)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.helpers = []

    def run(self, *args, check_status=True, timeout=20):
        result = subprocess.run(list(args), env=self.env, capture_output=True, encoding="utf-8", timeout=timeout)
        if check_status and result.returncode != 0:
            raise Failure("%s failed: %s" % (" ".join(args), result.stderr.strip()))
        return result.stdout

    def start_helper(self, *args):
        self.helpers.append(subprocess.Popen(args, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))

    def start_manager(self, manager):
        self.start_helper(manager)
        poll("the window manager", lambda: "window id" in self.run(
            "xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check_status=False))

    def start_tray(self):
        self.start_helper("trayer", "--edge", "top", "--align", "left", "--widthtype", "pixel", "--width", "64",
                          "--heighttype", "pixel", "--height", "32", "--expand", "false")
        poll("the tray's panel", lambda: self.window_named("panel"))

    def visible(self, *search):
        out = self.run("xdotool", "search", "--onlyvisible", *search, check_status=False)
        return [int(w) for w in out.split()]

    def window_named(self, title):
        return (self.visible("--name", "^%s$" % title) or [None])[0]

    def geometry(self, window):
        """(x, y, width, height) of the window on the screen."""
        fields = dict(line.strip().partition(":")[::2] for line in self.run("xwininfo", "-id", str(window)).splitlines())
        return tuple(int(fields[key].strip()) for key in
                     ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    def click_middle(self, window, button):
        x, y, width, height = self.geometry(window)
        self.run("xdotool", "mousemove", str(x + width // 2), str(y + height // 2), "click", button)

    def box_line(self, box, below=(22, 16, 28, 12, 34)):
        """A line of a box's selectable text: a triple click on it puts it in the X selection."""
        bx, by, bwidth, _ = self.geometry(box)

        def selected_text():
            for dy in below:
                self.run("xdotool", "mousemove", str(bx + bwidth // 3), str(by + dy),
                         "click", "--repeat", "3", "--delay", "80", "1")
                text = self.run("xclip", "-o", check_status=False)
                if text:
                    return text
            return None
        return poll("the box's text in the selection", selected_text, timeout=10)

    def docked_icon(self):
        """The program's one window that is not a direct child of the root (it sits in the tray)."""
        tree = self.run("xwininfo", "-root", "-tree", check_status=False).splitlines()
        top = min((len(l) - len(l.lstrip()) for l in tree if l.strip().startswith("0x")), default=0)
        for line in tree:
            if len(line) - len(line.lstrip()) > top and '("nimbolt" "nimbolt")' in line:
                return int(line.split()[0], 16)
        return None

    def hints(self, window):
        return self.run("xprop", "-id", str(window), "_NET_WM_STATE", "_NET_WM_DESKTOP")

    def close(self):
        for process in self.helpers + [self.server]:
            stop(process)
        shutil.rmtree(self.home, ignore_errors=True)


def screen_colours(display, left, top, width, height):
    """The screen's pixels in the rectangle as {(x, y): (red, green, blue)}, relative to its corner,
    from the framebuffer: an xwd dump of 32-bit pixels, its header 25 big-endian words."""
    with open(display.framebuffer, "rb") as screen:
        data = screen.read()
    fields = struct.unpack(">25I", data[:100])
    check((fields[7], fields[11], fields[14:17]) == (0, 32, (0xFF0000, 0xFF00, 0xFF)), "screen format %r" % (fields,))
    image, stride = data[fields[0] + 12 * fields[19]:], fields[12]
    return {(x, y): tuple(image[(top + y) * stride + (left + x) * 4 + 2 - c] for c in range(3))
            for y in range(height) for x in range(width)}


def differing(screen, expected, left=0, top=0):
    """The expected pixels that differ by more than 2 in a channel on the screen, placed at left, top."""
    seen = {point: screen.get((left + point[0], top + point[1]), (-9, -9, -9)) for point in expected}
    return [(point, seen[point], colour) for point, colour in expected.items()
            if any(abs(s - e) > 2 for s, e in zip(seen[point], colour))]


def on_screen(display, left, top, expected):
    width, height = max(x for x, _ in expected) + 1, max(y for _, y in expected) + 1
    return lambda: differing(screen_colours(display, left, top, width, height), expected)


def check_pixels(what, wrong, timeout=5, interval=0.05):
    """Waits until wrong() lists no pixel; fails naming a few of them otherwise."""
    try:
        poll(what, lambda: not wrong(), timeout, interval)
    except Failure:
        pixels = wrong()
        raise Failure("%s: %d pixels differ (point, seen, expected), e.g. %s" % (what, len(pixels), pixels[:5]))


class Nimbolt:
    """The program run from a folder of its own, its start document showing the probe picture
    titled Probe (unless start is false), its standard output and error in files there."""

    started = []  # every program a case started: reported on a failure, stopped at the end

    def __init__(self, display, executable, script="", body_attributes="", body="", extra_env={}, args=(), start=True):
        self.display, self.env = display, dict(display.env, **extra_env)
        self.folder = tempfile.mkdtemp(prefix="nimbolt-test-")
        self.program = os.path.join(self.folder, "nimbolt")
        try:
            os.link(executable, self.program)
        except OSError:
            shutil.copy2(executable, self.program)
        if start:
            os.mkdir(os.path.join(self.folder, "clock.dat"))
            write_mascot(os.path.join(self.folder, "clock.dat", "start.nbm"), "Probe", script, body_attributes, body)
        Nimbolt.started.append(self)
        self.restart(*args)

    def restart(self, *args):
        with open(os.path.join(self.folder, "output"), "wb") as out, open(os.path.join(self.folder, "errors"), "wb") as errors:
            self.process = subprocess.Popen([self.program, *args], env=self.env, stdout=out, stderr=errors, cwd="/")

    def again(self, *args):
        """Starts the program once more while it runs: it must hand over and end with 0 at once."""
        result = subprocess.run([self.program, *args], env=self.env, cwd=self.folder, capture_output=True, timeout=20)
        check(result.returncode == 0, "a start with %r ended with %d: %r" % (args, result.returncode, result.stderr))

    def read(self, name="output"):
        with open(os.path.join(self.folder, name), encoding="utf-8", errors="replace") as log:
            return log.read()

    def wait_exit(self):
        try:
            return self.process.wait(15)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end")

    def find_mascot(self, title="Probe", other_than=None, at=None):
        """The shown window of the title (but other_than), once it has its size and, if given, place."""
        display = self.display
        window = poll("the %s window" % title, lambda: [w for w in display.visible("--name", "^%s$" % title)
                                                         if w != other_than])[0]
        poll("the window to reach its size", lambda: display.geometry(window)[2] > 1)
        if at:
            poll("the window at %r" % (at,), lambda: display.geometry(window)[:2] == at)
        return window

    def choose(self, x, y, key):
        """Right-clicks the window at x, y and chooses the menu item with the key."""
        self.display.run("xdotool", "mousemove", str(x), str(y), "click", "3")
        time.sleep(0.3)
        self.display.run("xdotool", "key", key)


# A mascot whose frame (the probe picture's ring) echoes the presses on it, placed at 100, 80.
FRAME_SCRIPT = "function down(x) { Echo('down', x, '\\n'); } window.moveTo(100, 80);"
FRAME = "<div left=\"5\" top=\"3\" width=\"30\" height=\"24\" onmousedown=\"down(this.id)\" id=\"frame\"></div>"


def case_shape(display, executable, scale=2):
    """The mascot takes the picture's shape and size, stays out of the taskbar and scales unsmoothed."""
    program = Nimbolt(display, executable, FRAME_SCRIPT, body=FRAME,
                      extra_env={"QT_SCALE_FACTOR": str(scale)} if scale > 1 else {})
    window = program.find_mascot(at=(100 * scale, 80 * scale))
    check(display.geometry(window)[2:] == (40 * scale, 30 * scale),
          "window is %r, picture is 40x30 at scale %d" % (display.geometry(window), scale))
    state = display.run("xprop", "-id", str(window), "_NET_WM_STATE")
    check("_NET_WM_STATE_SKIP_TASKBAR" in state and "_NET_WM_STATE_SKIP_PAGER" in state,
          "the mascot may show in a taskbar: " + state.strip())
    check_pixels("the picture in its shape", on_screen(display, 100 * scale, 80 * scale, probe_over((0, 0, 0), scale)))
    return program, window


def case_pointer(display, executable, manager=None):
    """Clicks in the shape's hole miss the mascot, a click leaves it, a drag moves it; restarted, the
    program shows the last document where it was dragged, or on the screen's nearest corner."""
    if manager:
        display.start_manager(manager)
    mascot = os.path.join(display.home, "mascot.nbm")
    write_mascot(mascot, "Mascot", FRAME_SCRIPT, body=FRAME)
    program = Nimbolt(display, executable, args=(mascot,))
    window = program.find_mascot("Mascot", at=(100, 80))
    display.run("xdotool", "mousemove", "120", "94", "click", "1")  # the hole
    display.run("xdotool", "mousemove", "107", "85", "click", "1")  # the frame
    poll("the handler's Echo", lambda: "down frame" in program.read())
    display.run("xdotool", "mousemove", "300", "200")
    time.sleep(0.5)
    check(display.geometry(window)[:2] == (100, 80), "the click moved the mascot to %r" % (display.geometry(window),))
    display.run("xdotool", "mousemove", "107", "85", "mousedown", "1")
    poll("the handler's Echo", lambda: program.read().count("down frame") == 2)
    for step in range(1, 11):
        display.run("xdotool", "mousemove", str(107 + 13 * step), str(85 + 7 * step))
    display.run("xdotool", "mouseup", "1")
    poll("the dragged window", lambda: display.geometry(window)[:2] == (230, 150))
    check(program.read().count("down frame") == 2,
          "the click in the hole reached the window (%d downs)" % program.read().count("down frame"))
    settings = os.path.join(display.config, "nimbolt", "nimbolt.conf")
    poll("the place written", lambda: os.path.exists(settings) and "x=230" in open(settings).read())
    for place, expected in (((230, 150), (230, 150)), ((5000, 5000), (800 - 40, 600 - 30))):
        stop(program.process)
        with open(settings) as old:
            text = re.sub(r"\\x=-?\d+", r"\\x=%d" % place[0], old.read())
            text = re.sub(r"\\y=-?\d+", r"\\y=%d" % place[1], text)
        with open(settings, "w") as new:
            new.write(text)
        program.restart()
        window = program.find_mascot("Mascot", at=expected)
    if manager:
        display.run("xdotool", "windowactivate", "--sync", str(window), "key", "alt+F4")
        check(program.wait_exit() == 0, "exit code is not 0 (Alt+F4 without a tray)")


def shape_extents(display, window):
    """The window's X bounding shape as xwininfo states it, e.g. "39x29+0+1"; None when unshaped."""
    match = re.search(r"Window shape extents:\s+(\S+)", display.run("xwininfo", "-shape", "-id", str(window)))
    return match.group(1) if match else None


def png_colours(path):
    """The pixels of an 8-bit RGB or RGBA PNG file as {(x, y): (red, green, blue)}."""
    with open(path, "rb") as picture:
        data = picture.read()
    at, chunks = 8, {}
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        chunks[kind] = chunks.get(kind, b"") + data[at + 8:at + 8 + length]
        at += 12 + length
    width, height, depth, kind = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
    check(depth == 8 and kind in (2, 6), "unexpected PNG format %d/%d" % (depth, kind))
    size = 4 if kind == 6 else 3
    raw, stride, rows = zlib.decompress(chunks[b"IDAT"]), width * size, [bytearray(width * size)]  # a row of 0 above
    for y in range(height):
        method, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left, up, corner = (line[i - size], rows[-1][i], rows[-1][i - size]) if i >= size else (0, rows[-1][i], 0)
            guess = left + up - corner
            paeth = min((abs(guess - left), 0, left), (abs(guess - up), 1, up), (abs(guess - corner), 2, corner))[2]
            line[i] = (line[i] + (0, left, up, (left + up) // 2, paeth)[method]) & 255
        rows.append(line)
    return {(x, y): tuple(rows[y + 1][x * size:x * size + 3]) for y in range(height) for x in range(width)}


# An alpha mascot: an opaque ring with a transparent hole, soft pixels at its left and right
# edges and below it. Pixels at alpha 128 and more make the shape, 127 and less stay out.
ALPHA_KEY = {".": ((9, 9, 9), 0), "#": ((200, 60, 20), 255), "h": ((40, 120, 220), 192),
             "m": ((40, 120, 220), 128), "l": ((40, 120, 220), 127), "f": ((40, 120, 220), 64)}
ALPHA_MASCOT = ["............",
                "..########..",
                ".h########m.",
                ".h##....##l.",
                ".h##....##f.",
                "..########..",
                "...mmmmlll..",
                "............"]


def write_alpha(folder, script="", body_attributes=""):
    """The alpha mascot's document, titled Alpha, with its picture (an 8-bit RGBA PNG) beside it."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + bytes(channel for key in row for channel in ALPHA_KEY[key][0] + (ALPHA_KEY[key][1],))
                   for row in ALPHA_MASCOT)
    header = struct.pack(">IIBBBBB", len(ALPHA_MASCOT[0]), len(ALPHA_MASCOT), 8, 6, 0, 0, 0)
    with open(os.path.join(folder, "alpha.png"), "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
    document = os.path.join(folder, "alpha.nbm")
    with open(document, "w") as out:
        out.write("<nbml><head><title>Alpha</title><script>%s</script></head>\n"
                  "<body background=\"alpha.png\" %s></body></nbml>\n" % (script, body_attributes))
    return document


def alpha_over(desktop, cut=False):
    """The alpha mascot's pixels blended over the desktop colour; cut: those below alpha 128 left out."""
    return {(x, y): tuple(round((c * alpha + d * (255 - alpha)) / 255) for c, d in zip(ALPHA_KEY[key][0], desktop))
            for y, row in enumerate(ALPHA_MASCOT) for x, key in enumerate(row)
            for alpha in (0 if cut and ALPHA_KEY[key][1] < 128 else ALPHA_KEY[key][1],)}


def case_composited(display, executable):
    """Under a compositing manager the mascot trades its X shape for alpha, blended over the desktop
    and taking clicks at alpha 128 and more; without one, its shape cuts it there."""
    program, window = case_shape(display, executable, scale=1)
    # The picture's figure spans columns 0-38 and rows 1-29.
    check(shape_extents(display, window) == "39x29+0+1", "shape %r without a compositor" % shape_extents(display, window))
    display.start_helper("xcompmgr")
    poll("the window to lose its X shape", lambda: shape_extents(display, window) is None)
    # What the compositing manager paints for the root window (not black, so unlike a cleared window).
    desktop = poll("the desktop painted", lambda: [c for c in screen_colours(display, 50, 50, 1, 1).values()
                                                    if c != (0, 0, 0)])[0]
    check_pixels("the picture over the desktop", on_screen(display, 100, 80, probe_over(desktop)))
    display.run("xdotool", "mousemove", "120", "94", "click", "1")  # the hole
    display.run("xdotool", "mousemove", "107", "85", "click", "1")  # the frame
    poll("the handler's Echo", lambda: "down frame" in program.read())
    check(program.read().count("down frame") == 1, "the click on a transparent pixel reached the mascot")
    display.run("xdotool", "mousemove", "300", "200")  # the pointer out of the picture
    program.again(write_alpha(display.home, "window.moveTo(100, 80);", "onmousedown=\"Echo('alpha down\\n')\""))
    window = program.find_mascot("Alpha", at=(100, 80))
    check_pixels("the alpha picture over the desktop", on_screen(display, 100, 80, alpha_over(desktop)))
    for x, y in ((5, 3), (10, 3), (3, 2)):  # the hole, alpha 127, then the ring
        display.run("xdotool", "mousemove", str(100 + x), str(80 + y), "click", "1")
    poll("the handler's Echo", lambda: "alpha down" in program.read())
    time.sleep(0.3)
    check(program.read().count("alpha down") == 1, "a click on a pixel below alpha 128 reached the mascot")
    display.run("xdotool", "mousemove", "300", "200")
    stop(display.helpers.pop())
    # The pixels at alpha 128 and more span columns 1-10 and rows 1-6.
    poll("the shape back", lambda: shape_extents(display, window) == "10x6+1+1")
    check_pixels("the alpha picture cut, over black", on_screen(display, 100, 80, alpha_over((0, 0, 0), cut=True)))


def case_weston(display, executable):
    """Under a headless weston, the screenshot shows its background through every key pixel of a
    Wayland mascot, and every pixel of the alpha mascot, an X client of its XWayland, blended."""
    background = (0x40, 0x80, 0x50)
    folder = tempfile.mkdtemp(prefix="nimbolt-weston-", dir=display.home)
    with open(os.path.join(folder, "weston.ini"), "w") as config:
        config.write("[shell]\nbackground-color=0xff%02x%02x%02x\npanel-position=none\n" % background)
    log = os.path.join(folder, "weston.log")
    display.start_helper("weston", "--backend=headless-backend.so", "--use-pixman", "--width=400", "--height=300",
                         "--socket=nimbolt-weston", "--idle-time=0", "--debug", "--log=" + log,
                         "--config=" + os.path.join(folder, "weston.ini"), "--xwayland")
    number = poll("XWayland's display", lambda: re.findall(r"xserver listening on display (:\d+)",
                                                           open(log).read() if os.path.exists(log) else ""))[0]

    def screenshot_wrong(expected, anchor, at):
        """The expected pixels the screenshot shows otherwise, the picture's pixel `at` placed on
        its first pixel (in reading order) of the colour `anchor`."""
        for old in glob.glob(os.path.join(folder, "wayland-screenshot*.png")):
            os.remove(old)
        subprocess.run(["weston-screenshooter"], env=dict(display.env, WAYLAND_DISPLAY="nimbolt-weston"), cwd=folder,
                       capture_output=True, timeout=20)
        shots = glob.glob(os.path.join(folder, "wayland-screenshot*.png"))
        screen = png_colours(shots[0]) if shots else {}
        found = [point for point, colour in screen.items() if colour == anchor]
        if not found:
            return ["no picture on the screen"]
        return differing(screen, expected, min(x for x, _ in found) - at[0], min(y for _, y in found) - at[1])
    if glob.glob("/usr/lib/*/qt6/plugins/platforms/libqwayland*"):
        program = Nimbolt(display, executable, extra_env={"QT_QPA_PLATFORM": "wayland", "DISPLAY": "",
                                                          "WAYLAND_DISPLAY": "nimbolt-weston"})
        # The figure's first colour starts at column 5, row 3.
        check_pixels("the picture over the background", lambda: screenshot_wrong(
            probe_over(background), PROBE_PALETTE[1], (5, 3)), timeout=10, interval=0.5)
        stop(program.process)
    else:
        check(not os.environ.get("CI"), "Qt's Wayland support (qt6-wayland) is not installed")
    Nimbolt(display, executable, args=(write_alpha(folder),), start=False,
            extra_env={"DISPLAY": number, "QT_QPA_PLATFORM": "xcb"})
    # The ring's first pixel is at column 2, row 1.
    check_pixels("the alpha picture blended over the background", lambda: screenshot_wrong(
        alpha_over(background), ALPHA_KEY["#"][0], (2, 1)), timeout=15, interval=0.5)


def case_boxes(display, executable):
    """Clock, interval and mouse handlers go on while a box waits; Escape closes an alert, answers
    a Question with 0, Return with 1; Shell.exit from an interval ends with 0 while a box is open."""
    script = ("var ticks = 0;"
              "function tick() { ticks = ticks + 1; Echo('tick', ticks, '\\n'); }"
              "function later() { Shell.exit(); }"
              "window.moveTo(300, 300);"
              "window.setInterval(tick, 100);"
              "window.alert('箱の中からこんにちは');"
              "Echo('after alert\\n');"
              "Echo('first', window.confirm('One?'), '\\n');"
              "Echo('second', window.confirm('Two?'), '\\n');"
              "window.setInterval(later, 500);"
              "window.alert('left open');")
    program = Nimbolt(display, executable, script, "onmousedown=\"Echo('clicked\\n')\"",
                      "<clock id=\"c\" fmt=\"%S\" locale=\"C\" left=\"5\" top=\"5\"></clock>")
    box = poll("the alert box", lambda: display.window_named("alert"))
    first = poll("a tick", lambda: program.read().count("tick"))
    poll("more ticks while the box is open", lambda: program.read().count("tick") >= first + 5)
    program.find_mascot(at=(300, 300))
    display.run("xdotool", "mousemove", "307", "305", "click", "1")
    poll("the mouse handler while the box is open", lambda: "clicked" in program.read())
    check("after alert" not in program.read(), "the script went on before the box closed")
    text = display.box_line(box)
    check(text.strip() == "箱の中からこんにちは", "box reads %r" % text)
    for caption, key, answer in (("alert", "Escape", "after alert"), ("Question", "Escape", "first 0"),
                                 ("Question", "Return", "second 1")):
        poll("the %s box before %r" % (caption, answer), lambda: display.window_named(caption))
        display.run("xdotool", "key", key)
        poll("the script to say %r" % answer, lambda: answer in program.read())
    check(program.wait_exit() == 0, "exit code is not 0 (exit from an interval while a box is open)")


def case_open_dialog(display, executable):
    """The icon docks in a tray. A document opened from the menu while a script waits in a box
    replaces the old one, whose script ends when its box closes; the tray menu's exit ends with 0."""
    display.start_tray()
    program = Nimbolt(display, executable, "window.moveTo(300, 300); window.alert('waiting'); Echo('after alert\\n');")
    other = os.path.join(program.folder, "other.nbm")
    with open(other, "w") as out:
        out.write("<nbml><head><title>Other</title></head>"
                  "<body type=\"screen\" width=\"50\" height=\"40\" bgcolor=\"#00ff00\" "
                  "onmousedown=\"Echo('clicked other\\n'); window.alert('last');\"></body></nbml>\n")
    box = poll("the alert box", lambda: display.window_named("alert"))
    program.find_mascot(at=(300, 300))
    icon = poll("the docked tray icon", display.docked_icon)
    program.choose(307, 305, "o")
    poll("the open dialog", lambda: display.window_named("ファイルのロード"))
    time.sleep(0.3)
    display.run("xdotool", "type", "--delay", "20", other)
    display.run("xdotool", "key", "Return")
    other_window = poll("the new window", lambda: display.window_named("Other"))
    check(not display.window_named("Probe"), "the old window is still shown")
    display.run("xdotool", "windowfocus", "--sync", str(box), "key", "Return")
    poll("the old script after its box", lambda: "after alert" in program.read())
    poll("the box gone", lambda: not display.window_named("alert"))
    display.click_middle(other_window, "1")
    poll("the new document's handler", lambda: "clicked other" in program.read())
    poll("its box", lambda: display.window_named("alert"))
    before = len(display.visible("--class", "nimbolt"))
    display.click_middle(icon, "3")
    poll("the tray menu", lambda: len(display.visible("--class", "nimbolt")) > before, timeout=5)
    time.sleep(0.2)
    display.run("xdotool", "key", "x")
    check(program.wait_exit() == 0, "exit code is not 0 (exit from the tray while a box waits)")


def case_options(display, executable):
    """The menu's stacking and workspace items set the hints of later windows and are remembered;
    its login item writes and removes the autostart entry. A second start hands over its document
    (relative to its folder) or none; a stale socket is taken over; only --trace writes traces."""
    program = Nimbolt(display, executable, "window.moveTo(300, 300);")
    window = program.find_mascot()
    check("= 4294967295" in display.hints(window), "not on every workspace by default")
    start = os.path.join(program.folder, "clock.dat", "start.nbm")
    for key, above, below, everywhere in (("t", True, False, True), ("b", False, True, True),
                                          ("n", False, False, True), ("a", False, False, False),
                                          ("t", True, False, False)):
        program.choose(307, 305, key)
        program.again(start)
        window = program.find_mascot(other_than=window, at=(300, 300))
        hints = display.hints(window)
        check(("_NET_WM_STATE_ABOVE" in hints, "_NET_WM_STATE_BELOW" in hints, "= 4294967295" in hints)
              == (above, below, everywhere), "after %r: %s" % (key, hints))
    check("Destroy(" not in program.read(), "traces without --trace: " + program.read())
    stop(program.process)
    path = os.path.join(display.runtime, "nimbolt-" + display.name)
    if os.path.exists(path):
        os.remove(path)
    with socket.socket(socket.AF_UNIX) as stale:
        stale.bind(path)
    program.restart("--trace")
    hints = display.hints(program.find_mascot())
    check("_NET_WM_STATE_ABOVE" in hints and "4294967295" not in hints, "the options were not remembered")
    entry = os.path.join(display.config, "autostart", "nimbolt.desktop")
    program.choose(307, 305, "l")
    poll("the autostart entry", lambda: os.path.exists(entry))
    check('Exec="%s"' % program.program in open(entry).read(), "the entry does not start this program")
    program.choose(307, 305, "l")
    poll("the autostart entry gone", lambda: not os.path.exists(entry))
    write_mascot(os.path.join(program.folder, "other.nbm"), "Other", "Echo('other loaded\\n');")
    program.again("other.nbm")
    program.find_mascot("Other")
    check(not display.window_named("Probe"), "the first document is still shown")
    poll("the closed document's traces", lambda: "DocObj Destroy(body," in program.read())
    program.again()
    time.sleep(0.5)
    check(display.window_named("Other") and program.read().count("other loaded") == 1,
          "a start without a document changed the shown one")


def case_settings_trouble(display, executable):
    """Settings that cannot be read or written are reported once, however often saved. With a tray,
    Alt+F4 hides the window and a left click on the tray icon shows it again."""
    display.start_manager("openbox")
    display.start_tray()
    blocked = os.path.join(display.home, "file")
    open(blocked, "w").close()
    for what, config, content, message in (
            ("damaged", display.config, b"\0\1garbage[[[\n=\n[a\nfoo\n", "cannot be read"),
            ("unwritable", os.path.join(blocked, "config"), None, "cannot be written")):
        if content:
            os.makedirs(os.path.join(config, "nimbolt"), exist_ok=True)
            with open(os.path.join(config, "nimbolt", "nimbolt.conf"), "wb") as out:
                out.write(content)
        program = Nimbolt(display, executable, "window.moveTo(300, 300);", extra_env={"XDG_CONFIG_HOME": config})
        window = program.find_mascot(at=(300, 300))
        poll("the %s settings reported" % what, lambda: message in program.read("errors"))
        for key in "tn":
            program.choose(307, 305, key)
        time.sleep(0.5)
        check(program.read("errors").count("nimbolt.conf") == 1, "%s: %r" % (what, program.read("errors")))
        if content:  # the next row starts one of its own
            stop(program.process)
            poll("the window gone", lambda: not display.window_named("Probe"))
    icon = poll("the docked tray icon", display.docked_icon)
    display.run("xdotool", "windowactivate", "--sync", str(window), "key", "alt+F4")
    poll("the window gone", lambda: not display.window_named("Probe"))
    check(program.process.poll() is None, "the program ended")
    display.click_middle(icon, "1")
    poll("the window back", lambda: display.window_named("Probe"))


def case_package(display, executable):
    """The Debian package holds the program, its menu entry, icons, document type and description."""
    folder = tempfile.mkdtemp(prefix="nimbolt-package-", dir=display.home)
    display.run("cpack", "--config", os.path.join(sys.argv[3], "CPackConfig.cmake"), "-G", "DEB", "-B", folder,
                timeout=300)
    package = glob.glob(os.path.join(folder, "nimbolt_*.deb"))
    check(len(package) == 1, "no package in %s" % os.listdir(folder))
    root = os.path.join(folder, "root")
    display.run("dpkg-deb", "-x", package[0], root)
    share = os.path.join(root, "usr", "share")
    entry = os.path.join(share, "applications", "org.nimbolt.Nimbolt.desktop")
    metainfo = os.path.join(share, "metainfo", "org.nimbolt.Nimbolt.metainfo.xml")
    for path in [entry, metainfo, os.path.join(share, "mime", "packages", "nimbolt-nbml.xml")] + [
            os.path.join(share, "icons", "hicolor", "%dx%d" % (size, size), "apps", "nimbolt.png")
            for size in (16, 22, 24, 32, 48, 64, 128, 256)]:
        check(os.path.isfile(path), "the package lacks " + os.path.relpath(path, root))
    depends = display.run("dpkg-deb", "-f", package[0], "Depends")
    check("libqt6widgets6" in depends and "qt6-qpa-plugins" in depends, "depends on " + depends)
    if shutil.which("desktop-file-validate"):
        display.run("desktop-file-validate", entry)
    if shutil.which("appstreamcli"):
        display.run("appstreamcli", "validate", "--no-net", metainfo)
    document = os.path.join(folder, "shown.nbm")
    write_mascot(document, "Installed")
    display.start_helper(os.path.join(root, "usr", "bin", "nimbolt"), document)
    poll("the installed program's window", lambda: display.window_named("Installed"))


def case_start_trouble(display, executable):
    """The command line and a missing display are answered on the standard streams; a missing start
    document in a box naming its path; a handler failing on each click opens one ScriptError box."""
    runtime = tempfile.mkdtemp(prefix="nimbolt-runtime-", dir=display.home)
    compositor = socket.socket(socket.AF_UNIX)
    compositor.bind(os.path.join(runtime, "wayland-test"))
    compositor.listen(1)
    env = {key: value for key, value in os.environ.items()
           if key not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR")}
    rows = [  # arguments, environment, exit status, standard output # standard error, line ends as |
        (["--help"], {}, 0, r"usage: nimbolt .*--trace .*--version .*#"),
        (["--version"], {}, 0, r"nimbolt 0[.]1\|#"),
        (["--frobnicate"], {}, 2, r"#usage: nimbolt [^|]*\| *nimbolt --help \| --version\|"),
        (["one.nbm", "two.nbm"], {}, 2, r"#usage: nimbolt .*"),
        ([], {}, 1, r"#[^|]*no display[^|]*\|"),
        ([], {"DISPLAY": ":4711"}, 1, r"#[^|]*cannot open the display :4711[^|]*\|"),
        ([], {"WAYLAND_DISPLAY": "wayland-test", "XDG_RUNTIME_DIR": runtime}, 1, r"#[^|]*qt6-wayland[^|]*\|")]
    with compositor:
        for args, extra, status, expected in rows:
            if "WAYLAND_DISPLAY" in extra and glob.glob("/usr/lib/*/qt6/plugins/platforms/libqwayland*"):
                continue
            result = subprocess.run([executable, *args], env=dict(env, **extra), capture_output=True, text=True,
                                    timeout=20)
            seen = (result.stdout + "#" + result.stderr).replace("\n", "|")
            check(result.returncode == status and re.fullmatch(expected, seen),
                  "%r %r: exit %d, %r" % (args, extra, result.returncode, seen[-500:]))
    program = Nimbolt(display, executable, start=False)
    box = poll("the box", lambda: display.window_named("Nimbolt"))
    expected = os.path.join(program.folder, "clock.dat", "start.nbm")
    text = display.box_line(box, below=range(30, 80, 6))
    check(text.strip() == expected, "box reads %r, expected the path %s" % (text, expected))
    check(program.process.poll() is None, "the program ended")
    document = os.path.join(display.home, "failing.nbm")
    write_mascot(document, "Failing", "window.moveTo(20, 20); window.alert('x');",
                 "onmousedown=\"Echo('pressed\\n'); missing();\"")
    program.again(document)
    box = poll("the alert", lambda: display.window_named("alert"))
    check(display.geometry(box)[2] >= 240, "the box is %d pixels wide" % display.geometry(box)[2])
    display.run("xdotool", "windowfocus", "--sync", str(box), "key", "Return")
    program.find_mascot("Failing", at=(20, 20))
    for presses in range(1, 4):
        display.run("xdotool", "mousemove", "27", "25", "click", "1")
        poll("the handler", lambda: program.read().count("pressed") == presses)
        poll("a box", lambda: display.window_named("ScriptError"))
    check(len(display.visible("--name", "^ScriptError$")) == 1,
          "%d boxes open" % len(display.visible("--name", "^ScriptError$")))


CASES = {  # name: (case, the tools it needs besides Xvfb, xdotool and xwininfo)
    "shape": (case_shape, ()),
    "pointer": (case_pointer, ()),
    "pointer-openbox": (lambda display, executable: case_pointer(display, executable, "openbox"), ("openbox",)),
    "composited": (case_composited, ("xcompmgr",)),
    "weston": (case_weston, ("weston", "weston-screenshooter", "Xwayland")),
    "boxes": (case_boxes, ()),
    "open-dialog": (case_open_dialog, ("trayer",)),
    "options": (case_options, ()),
    "settings-trouble": (case_settings_trouble, ("openbox", "trayer")),
    "package": (case_package, ("cpack", "dpkg-deb")),
    "start-trouble": (case_start_trouble, ()),
}


def main():
    if len(sys.argv) != 4 or sys.argv[2] not in CASES:
        print(__doc__, file=sys.stderr)
        return 2
    executable, name = sys.argv[1], sys.argv[2]
    run, needed = CASES[name]
    missing = [tool for tool in ("Xvfb", "xdotool", "xwininfo") + needed if not shutil.which(tool)]
    if missing:
        # CI installs every tool, so a missing one there is a fault, not a reason to skip.
        print("%s: %s not installed" % ("FAILED" if os.environ.get("CI") else "skipped", " ".join(missing)))
        return 1 if os.environ.get("CI") else SKIP
    display = Display()
    try:
        run(display, executable)
        print("passed " + name)
        return 0
    except Failure as failure:
        print("FAILED %s: %s" % (name, failure))
        print("windows on %s:\n%s" % (display.name, display.run("xwininfo", "-root", "-tree", check_status=False)))
        for program in Nimbolt.started:
            print("program %d (exit %s) standard output:\n%s\nstandard error:\n%s" % (
                program.process.pid, program.process.poll(), program.read()[-3000:], program.read("errors")[-3000:]))
        return 1
    finally:
        for program in Nimbolt.started:
            stop(program.process)
            shutil.rmtree(program.folder, ignore_errors=True)
        display.close()


if __name__ == "__main__":
    sys.exit(main())
