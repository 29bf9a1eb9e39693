#!/usr/bin/env python3
"""What the desktop program costs on a desktop, measured from outside on a virtual X server.

    desktop_cost.py idle BUILD [SECONDS [DOCUMENT...]]
                                              nimbolt beside `xclock -update 1`: processor time,
                                              memory and wakeups while both only tick; memory
                                              and loaded toolkits under GNOME and Xfce settings;
                                              the screen areas one tick sends to the X server.
                                              Each DOCUMENT is shown by one more nimbolt beside
                                              them, in the first table
    desktop_cost.py startup BUILD [STARTS]    process start to the end of the first paint, for
                                              nimbolt and for bench/BareWindow.cpp
    desktop_cost.py goals BUILD [SECONDS [STARTS [ENGINES]]]
                                              the desktop goals in one run, side by side: idle
                                              processor time against xclock, memory against the
                                              bare window with a line of text (all three running
                                              at once), then start-up against that window; with
                                              ENGINES (the output of bench/compare-engines.sh)
                                              the engine rows too; prints a Markdown table

BUILD is a build folder holding src/app/nimbolt (with clock.dat beside it) and bench/bare-window.
Figures come from /proc (utime + stime, VmRSS, VmHWM, context switches of every thread) and
from the programs themselves at their first paint (NIMBOLT_EXIT_AFTER_FIRST_PAINT). Processor
time is the robust figure on a busy machine; wall times vary with the load.
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
PAGE_SIZE = os.sysconf("SC_PAGE_SIZE")
WARM_UP = 5.0
# The reference clock, ticking once a second as nimbolt's does, beside it rather than over it.
XCLOCK = ["xclock", "-update", "1", "-geometry", "164x164+400+0"]
GTK_LIBRARIES = ("libqgtk3", "libgtk-3")


class Display:
    """A virtual X server of our own, which never resets between clients, and a session bus as a
    desktop has one: without it, Qt's programs try to start one (dbus-launch) when they look for
    a tray or menus on the bus, a cost no desktop session has."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end, "rb") as reader:
            number = reader.readline().strip().decode()
        if not number:
            sys.exit("Xvfb did not start")
        self.name = ":" + number
        self.runtime = tempfile.mkdtemp(prefix="nimbolt-bench-")
        # Settings of our own: the user's would show the last document they showed, not the bundled clock.
        self.env = dict(os.environ, DISPLAY=self.name, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=self.runtime,
                        XDG_CONFIG_HOME=os.path.join(self.runtime, "config"))
        self.bus = None
        if shutil.which("dbus-daemon"):
            self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.stdout.readline().strip()
        for name in ("WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "QT_QPA_PLATFORMTHEME",
                     "NIMBOLT_EXIT_AFTER_FIRST_PAINT"):
            self.env.pop(name, None)
        self.programs = []

    def start(self, args, **extra_env):
        program = subprocess.Popen(args, env=dict(self.env, **extra_env), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.programs.append(program)
        return program

    def close(self):
        for program in self.programs:
            if program.poll() is None:
                program.terminate()
                try:
                    program.wait(5)
                except subprocess.TimeoutExpired:
                    program.kill()
                    program.wait()
        self.server.terminate()
        self.server.wait()
        if self.bus:
            self.bus.terminate()
            self.bus.wait()
        shutil.rmtree(self.runtime, ignore_errors=True)


# --- what /proc tells about a process ------------------------------------------------------------

def cpu_seconds(pid):
    """utime + stime of the whole process (all its threads), in seconds."""
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def scheduled_seconds(pid):
    """Time on a processor of the live threads, from the scheduler's nanosecond counts: finer
    than utime + stime, which count whole clock ticks."""
    total = 0
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, tid)) as schedstat:
                total += int(schedstat.read().split()[0])
        except FileNotFoundError:
            continue
    return total / 1e9


def status_of(path):
    values = {}
    with open(path) as status:
        for line in status:
            key, _, value = line.partition(":")
            values[key] = value.strip()
    return values


def memory_mb(pid):
    """(VmRSS, VmHWM) in MB."""
    status = status_of("/proc/%d/status" % pid)
    return int(status["VmRSS"].split()[0]) / 1024, int(status["VmHWM"].split()[0]) / 1024


def switches_by_thread(pid):
    """{thread id: (name, voluntary, involuntary context switches)} of the live threads."""
    threads = {}
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            status = status_of("/proc/%d/task/%s/status" % (pid, tid))
        except FileNotFoundError:
            continue
        threads[int(tid)] = (status["Name"], int(status["voluntary_ctxt_switches"]),
                             int(status["nonvoluntary_ctxt_switches"]))
    return threads


def wakeups_between(before, after):
    """Context switches per thread between two samples, as rows (name, voluntary, involuntary);
    a thread that started in between counts from zero."""
    rows = []
    for tid, (name, voluntary, involuntary) in sorted(after.items()):
        _, voluntary0, involuntary0 = before.get(tid, (name, 0, 0))
        rows.append((name, voluntary - voluntary0, involuntary - involuntary0))
    return rows


def loaded_libraries(pid, names):
    with open("/proc/%d/maps" % pid) as maps:
        paths = {line.split()[-1] for line in maps if "/" in line}
    return sorted({os.path.basename(p) for p in paths if any(n in os.path.basename(p) for n in names)})


def rss_by_mapping(pid, top=8):
    """The mappings holding most resident memory, as (kB, name)."""
    sizes = {}
    name = None
    with open("/proc/%d/smaps" % pid) as smaps:
        for line in smaps:
            if re.match(r"^[0-9a-f]+-[0-9a-f]+ ", line):
                parts = line.split()
                name = os.path.basename(parts[5]) if len(parts) > 5 else "[anonymous]"
            elif line.startswith("Rss:"):
                sizes[name] = sizes.get(name, 0) + int(line.split()[1])
    return sorted(((kb, n) for n, kb in sizes.items()), reverse=True)[:top]


# --- what one tick sends to the X server -----------------------------------------------------------

def extension_opcode(display, name):
    out = subprocess.run(["xdpyinfo", "-queryExtensions"], env=display.env, capture_output=True, text=True).stdout
    found = re.search(r"^\s*%s\s+\(opcode: (\d+)" % re.escape(name), out, re.M)
    return int(found.group(1)) if found else None


def drawn_rectangles(display, pid, seconds):
    """The image transfers the process sends to the X server over `seconds`, read from its writes
    to the X connection with strace: (time, request, width, height, x, y) per transfer. Core
    PutImage is opcode 72; MIT-SHM's ShmPutImage is minor 3 of its extension."""
    if not shutil.which("strace"):
        return None
    shm = extension_opcode(display, "MIT-SHM")
    log = os.path.join(display.runtime, "strace.log")
    tracer = subprocess.Popen(["strace", "-f", "-tt", "-xx", "-s", "1000000", "-e", "trace=writev,write,sendmsg",
                               "-o", log, "-p", str(pid)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(seconds)
    tracer.terminate()
    tracer.wait()
    transfers = []
    with open(log) as lines:
        for line in lines:
            stamp = re.match(r"^\d+\s+(\d+:\d+:\d+\.\d+)\s", line)
            if not stamp:
                continue
            data = b"".join(bytes.fromhex(chunk.replace("\\x", "")) for chunk in re.findall(r'"((?:\\x[0-9a-f]{2})*)"', line))
            offset = 0
            while offset + 4 <= len(data):
                major = data[offset]
                length = int.from_bytes(data[offset + 2:offset + 4], "little") * 4
                if length == 0:  # a big request: the length follows in 32 bits
                    length = int.from_bytes(data[offset + 4:offset + 8], "little") * 4
                    body = data[offset + 8:offset + length]
                else:
                    body = data[offset + 4:offset + length]
                if length == 0:
                    break
                if major == 72 and len(body) >= 16:
                    width, height, x, y = (int.from_bytes(body[i:i + 2], "little", signed=True) for i in (8, 10, 12, 14))
                    transfers.append((stamp.group(1), "PutImage", width, height, x, y))
                elif shm is not None and major == shm and data[offset + 1] == 3 and len(body) >= 24:
                    width, height, x, y = (int.from_bytes(body[i:i + 2], "little", signed=True) for i in (16, 18, 20, 22))
                    transfers.append((stamp.group(1), "ShmPutImage", width, height, x, y))
                offset += length
    return transfers


# --- the measurements -------------------------------------------------------------------------------

def programs_in(build):
    """nimbolt, the bare window and the picture the bare window shows, in the build folder."""
    return (os.path.join(build, "src/app/nimbolt"), os.path.join(build, "bench/bare-window"),
            os.path.join(build, "src/app/clock.dat/face.bmp"))


def need_xclock():
    if not shutil.which("xclock"):
        sys.exit("xclock is missing (Debian package x11-apps; scripts/install-deps.sh bench installs it)")


def idle(build, seconds, documents=()):
    nimbolt = programs_in(build)[0]
    need_xclock()
    display = Display()
    try:
        print("Idle cost over %.0f s of ticking, after %.0f s of warm-up (start-up excluded; the"
              " machine may be shared, processor time is the figure to go by)" % (seconds, WARM_UP))
        ours = display.start([nimbolt])
        theirs = display.start(XCLOCK)
        others = []
        for index, document in enumerate(documents):
            # Folders of its own, so that it does not hand its document over to the first nimbolt.
            folder = os.path.join(display.runtime, "other%d" % index)
            os.mkdir(folder, 0o700)
            others.append((os.path.basename(os.path.dirname(os.path.abspath(document))),
                           display.start([nimbolt, document], XDG_RUNTIME_DIR=folder, XDG_CONFIG_HOME=folder)))
        time.sleep(WARM_UP)
        if others and shutil.which("xdotool"):
            # Side by side with the clock (at 0,0) rather than over it.
            for index, (_, program) in enumerate(others):
                found = subprocess.run(["xdotool", "search", "--pid", str(program.pid)], env=display.env,
                                       capture_output=True, text=True)
                for window in found.stdout.split():
                    subprocess.run(["xdotool", "windowmove", window, "0", str(200 * (index + 1))], env=display.env)
        measured = [("nimbolt", ours), ("xclock", theirs)] + others
        first = {p.pid: (cpu_seconds(p.pid), scheduled_seconds(p.pid), switches_by_thread(p.pid)) for _, p in measured}
        time.sleep(seconds)
        print("%-12s %8s %14s %14s %8s %8s %14s" % ("program", "CPU s", "CPU s (sched)", "with start-up", "RSS MB",
                                                     "peak MB", "wakeups per s"))
        wakeup_rows = {}
        for label, program in measured:
            cpu0, scheduled0, switches0 = first[program.pid]
            cpu = cpu_seconds(program.pid) - cpu0
            scheduled = scheduled_seconds(program.pid) - scheduled0
            rows = wakeups_between(switches0, switches_by_thread(program.pid))
            wakeup_rows[label] = rows
            rss, peak = memory_mb(program.pid)
            voluntary = sum(r[1] for r in rows)
            print("%-12s %8.2f %14.3f %14.2f %8.1f %8.1f %14.2f" % (label, cpu, scheduled, cpu_seconds(program.pid), rss, peak,
                                                               voluntary / seconds))
        print("(CPU s: utime + stime over the %.0f s; CPU s (sched): the same from the scheduler's nanosecond"
              " counts; with start-up: utime + stime since the program started)" % seconds)
        print("(goals: nimbolt's CPU at most xclock's, its RSS under 30 MB, about one wakeup per tick)")
        print("\nContext switches per thread over the %.0f s (voluntary: the thread slept and was woken;"
              " involuntary: it was preempted)" % seconds)
        for label, rows in wakeup_rows.items():
            for name, voluntary, involuntary in rows:
                print("  %-12s %-18s %8d voluntary %8d involuntary" % (label, name, voluntary, involuntary))
        print("\nnimbolt's largest resident mappings (kB):")
        for kb, name in rss_by_mapping(ours.pid):
            print("  %8d %s" % (kb, name))

        transfers = drawn_rectangles(display, ours.pid, 3.5)
        if transfers is None:
            print("\n(strace is missing: the areas sent per tick were not traced)")
        else:
            print("\nImages nimbolt sent to the X server over 3.5 s of ticks (time, request, width x height at x,y):")
            for stamp, request, width, height, x, y in transfers:
                print("  %s %-11s %3d x %-3d at %d,%d" % (stamp, request, width, height, x, y))
            if transfers:
                area = sum(t[2] * t[3] for t in transfers)
                ticks = len({t[0] for t in transfers})
                print("  %d transfers in %d writes, %d pixels in all: %.0f a write (the window is 160 x 160 = 25600)"
                      % (len(transfers), ticks, area, area / ticks))
        for _, program in measured:
            program.terminate()
            program.wait()

        print("\nEach program alone on an X server of its own for %.0f s (after %.0f s of warm-up): the"
              " program's processor time and the server's, which draws what xclock asks of it while"
              " nimbolt sends finished pixels" % (seconds, WARM_UP))
        alone_in_own_servers(nimbolt, seconds)

        print("\nnimbolt under desktops whose settings would load Qt's GTK theme, after %.0f s:" % WARM_UP)
        print("%-34s %10s %10s   %s" % ("environment", "RSS MB", "peak MB", "GTK libraries mapped"))
        desktops = (("XDG_CURRENT_DESKTOP=GNOME", {"XDG_CURRENT_DESKTOP": "GNOME", "DESKTOP_SESSION": "gnome"}),
                    ("XDG_CURRENT_DESKTOP=XFCE", {"XDG_CURRENT_DESKTOP": "XFCE", "DESKTOP_SESSION": "xfce"}),
                    ("XDG_CURRENT_DESKTOP=XFCE, a tray", {"XDG_CURRENT_DESKTOP": "XFCE", "DESKTOP_SESSION": "xfce"}),
                    ("QT_QPA_PLATFORMTHEME=gtk3 (user)", {"QT_QPA_PLATFORMTHEME": "gtk3"}))
        for label, extra in desktops:
            tray = None
            if "tray" in label:
                if not shutil.which("trayer"):
                    continue
                tray = display.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                                      "64", "--heighttype", "pixel", "--height", "32", "--expand", "false"])
                time.sleep(1)
            program = display.start([nimbolt], **extra)
            time.sleep(WARM_UP)
            rss, peak = memory_mb(program.pid)
            gtk = loaded_libraries(program.pid, GTK_LIBRARIES)
            print("%-34s %10.1f %10.1f   %s" % (label, rss, peak, ", ".join(gtk) or "none"))
            program.terminate()
            program.wait()
            if tray:
                tray.terminate()
                tray.wait()
    finally:
        display.close()


def alone_in_own_servers(nimbolt, seconds):
    displays = [Display(), Display()]
    try:
        programs = [("nimbolt", displays[0], displays[0].start([nimbolt])),
                    ("xclock", displays[1], displays[1].start(["xclock", "-update", "1"]))]
        time.sleep(WARM_UP)
        first = [(scheduled_seconds(p.pid), scheduled_seconds(d.server.pid)) for _, d, p in programs]
        time.sleep(seconds)
        print("%-8s %14s %14s %14s" % ("program", "program CPU s", "server CPU s", "together"))
        for (label, display, program), (program0, server0) in zip(programs, first):
            ours = scheduled_seconds(program.pid) - program0
            server = scheduled_seconds(display.server.pid) - server0
            print("%-8s %14.3f %14.3f %14.3f" % (label, ours, server, ours + server))
    finally:
        for display in displays:
            display.close()


def first_frame(display, args):
    """(wall s, processor s) from just before the process is started to the end of its first paint."""
    env = dict(display.env, NIMBOLT_EXIT_AFTER_FIRST_PAINT="1")
    start = time.monotonic()
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=60)
    for line in result.stdout.splitlines():
        if line.startswith("first-frame "):
            _, painted, cpu = line.split()
            return float(painted) - start, float(cpu)
    sys.exit("%s painted nothing (exit %d): %s" % (args[0], result.returncode, result.stderr.strip()))


def first_frames(display, programs, starts):
    """{label: [(wall s, processor s)] of `starts` starts} of (label, args) programs started in
    turn, after one unmeasured start of each so that all find their files in the page cache."""
    for _, args in programs:
        first_frame(display, args)
    times = {label: [] for label, _ in programs}
    for _ in range(starts):
        for label, args in programs:
            times[label].append(first_frame(display, args))
    return times


def startup(build, starts):
    nimbolt, bare, picture = programs_in(build)
    display = Display()
    try:
        programs = (("nimbolt", [nimbolt]), ("bare-window", [bare, picture]), ("bare + text", [bare, "--text", picture]))
        times = first_frames(display, programs, starts)
        print("Process start to the end of the first paint, median of %d starts (ms; the machine may"
              " be shared, processor time is the figure to go by)" % starts)
        print("%-12s %10s %10s %10s %10s" % ("program", "wall", "CPU", "min wall", "min CPU"))
        medians = {}
        for label, _ in programs:
            walls = [t[0] * 1000 for t in times[label]]
            cpus = [t[1] * 1000 for t in times[label]]
            medians[label] = (statistics.median(walls), statistics.median(cpus))
            print("%-12s %10.1f %10.1f %10.1f %10.1f" % (label, medians[label][0], medians[label][1], min(walls), min(cpus)))
        for yardstick in ("bare-window", "bare + text"):
            print("%-30s %8.2f %10.2f" % ("nimbolt / " + yardstick, medians["nimbolt"][0] / medians[yardstick][0],
                                            medians["nimbolt"][1] / medians[yardstick][1]))
        print("(goal: nimbolt at most 1.20 times bare-window; \"bare + text\" also draws the time in a font)")
    finally:
        display.close()


def goals(build, seconds, starts, engines=None):
    """Every goal's figure and its reference, taken in one run on one X server with a session bus."""
    nimbolt, bare, picture = programs_in(build)
    need_xclock()
    display = Display()
    try:
        programs = [("nimbolt", display.start([nimbolt])),
                    ("xclock", display.start(XCLOCK)),
                    ("bare + text", display.start([bare, "--text", picture]))]
        time.sleep(WARM_UP)
        first = {p.pid: scheduled_seconds(p.pid) for _, p in programs}
        time.sleep(seconds)
        cpu = {label: scheduled_seconds(p.pid) - first[p.pid] for label, p in programs}
        rss = {label: memory_mb(p.pid)[0] for label, p in programs}
        for _, program in programs:
            program.terminate()
            program.wait()
        frames = first_frames(display, (("nimbolt", [nimbolt]), ("bare + text", [bare, "--text", picture])), starts)
    finally:
        display.close()
    wall = {label: statistics.median(t[0] for t in frames[label]) * 1000 for label in frames}
    start_cpu = {label: statistics.median(t[1] for t in frames[label]) * 1000 for label in frames}

    print("| goal | measured | reference | ratio | met |")
    print("|---|---|---|---|---|")

    def row(goal, ours, theirs, unit, limit):
        ratio = ours / theirs
        print("| %s | %.3f %s | %.3f %s | %.2f | %s |" % (goal, ours, unit, theirs, unit, ratio, "yes" if ratio <= limit else "no"))

    row("idle CPU over %.0f s <= xclock -update 1" % seconds, cpu["nimbolt"], cpu["xclock"], "s", 1.0)
    row("resident memory <= bare window with a line of text", rss["nimbolt"], rss["bare + text"], "MB", 1.0)
    row("start-up CPU, median of %d <= bare + text" % starts, start_cpu["nimbolt"], start_cpu["bare + text"], "ms", 1.0)
    row("start-up wall, median of %d <= bare + text" % starts, wall["nimbolt"], wall["bare + text"], "ms", 1.0)
    if engines:
        # Rows of bench/compare-engines.sh: name, nimbolt, mujs, duktape, mujs/nimbolt, duk/nimbolt.
        with open(engines) as table:
            for line in table:
                fields = line.split()
                if len(fields) == 6 and fields[0] != "program":
                    row("engine %s <= 0.5 of MuJS" % fields[0], float(fields[1]), float(fields[2]), "s", 0.5)
    print("(CPU: the scheduler's counts; idle and memory: nimbolt, xclock and the bare window running at once;"
          " start-up: nimbolt and the bare window started in turn)")


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("idle", "startup", "goals"):
        sys.exit(__doc__)
    if sys.argv[1] == "goals":
        goals(sys.argv[2], float(sys.argv[3]) if len(sys.argv) > 3 else 120.0,
              int(sys.argv[4]) if len(sys.argv) > 4 else 10, sys.argv[5] if len(sys.argv) > 5 else None)
    elif sys.argv[1] == "idle":
        idle(sys.argv[2], float(sys.argv[3]) if len(sys.argv) > 3 else 60.0, sys.argv[4:])
    else:
        startup(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 10)


if __name__ == "__main__":
    main()
