#!/usr/bin/env python3
"""Writes docs/performance.md from the results folder that scripts/benchmark fills.

Every figure is the median of the runs, with their minimum and maximum. The
floors of the two programming protocols are computed here from the
protocol's own numbers (its sleeps and polls, the 1500000 baud line, the
250 kbit/s bus) and the programmed files, and set beside what was measured.

Usage: performance-report.py RESULTS_FOLDER > docs/performance.md
"""

import json
import math
import re
import statistics
import sys
from pathlib import Path

# ---- The wire ----------------------------------------------------------------

BAUD = 1_500_000  # the gateway line, 10 bits a byte (8N1)
BUS = 250_000  # the implement bus
CHANNEL = 1  # the one link channel the program opens
ST10_TO_NODE = 0x18EFF110
ST10_FROM_NODE = 0x18EF10F1
STANDARD_MARKER = 0x20000000  # bit 29 of the identifier word: not an extended frame


def line_ms(byte_count):
    return byte_count * 10 / BAUD * 1000


def bus_ms(data_length, extended):
    """Bit time of one frame without stuff bits."""
    return ((67 if extended else 47) + 8 * data_length) / BUS * 1000


def frame_bytes(identifier_word, data, pad_to_eight=False):
    """Bytes of a CanFrame on the line: markers and the stuffed packet."""
    data = list(data) + ([0xFF] * (8 - len(data)) if pad_to_eight else [])
    packet = [CHANNEL, 0, 32, 0] + list(identifier_word.to_bytes(4, "big")) + data
    checksum = 0
    for byte in packet:
        checksum ^= byte
    packet.append(checksum)
    return 2 + sum(2 if 0x70 <= byte <= 0x7F else 1 for byte in packet)


def round_trip_ms(word, data, reply_word, reply, extended):
    """A request and its answer back to back: line, bus, bus, line."""
    return (line_ms(frame_bytes(word, data)) + bus_ms(len(data), extended) + bus_ms(len(reply), extended)
            + line_ms(frame_bytes(reply_word, reply, pad_to_eight=True)))


def poll_wait(wire, sleep):
    """A wait that sleeps a fixed time before each look at the flag."""
    return max(1, math.ceil(wire / sleep)) * sleep


# ---- Floors of the two engines -------------------------------------------------

def hex_image(path):
    """The bytes of an Intel HEX file whose records start at address 0."""
    image = bytearray()
    for line in Path(path).read_text().split("\n"):
        line = line.strip()
        if not line.startswith(":") or line[7:9] != "00":
            continue
        record = bytes.fromhex(line[1:])
        address = int.from_bytes(record[1:3], "big")
        image[address:address + record[0]] = record[4:4 + record[0]]
    return bytes(image)


def atmel_floor(hex_path):
    """Per status step (the status text that starts it), in ms."""
    image = hex_image(hex_path)
    frames = len(image) // 8
    word = lambda identifier: identifier | STANDARD_MARKER
    data_wire = max(round_trip_ms(word(2), image[8 * k:8 * k + 8], word(2), [0x01], False) for k in range(frames))
    window_wire = round_trip_ms(word(3), [0, 0x7F, 0xF8, 0x7F, 0xFF], word(3), image[:8], False)
    return {
        "Sorting": 0.0,  # the file is parsed on the console: no wire, no sleep
        "Opening Port": 2 * 100.0,
        "Reading Registers": 100.0,
        "Erasing": 100.0,
        "Blank Check": 100.0,
        "Set Address": 100.0,
        # each frame waits for its answer, sends and sleeps 10 ms, which the
        # answer beats; then the closing command and its 100 ms
        "Programming": frames * poll_wait(data_wire, 10) + 100.0,
        # the first window goes at once, every later one after one 3 ms poll
        "Verifying": (frames - 1) * poll_wait(window_wire, 3),
        "Resetting": 2000.0,
    }, {"frames": frames, "data_wire": data_wire, "window_wire": window_wire}


def st10_lines(hex_path):
    """The lines as streamed: carriage returns dropped, line feed kept."""
    text = Path(hex_path).read_bytes().replace(b"\r", b"")
    return [line + b"\n" for line in text.split(b"\n")[:-1]]


def st10_line_wire(line):
    """From the line's first frame leaving the console to the node's answer
    being read back: the first frame's line time, every frame's bus time, the
    answer's bus and line time. The later frames cross the line while earlier
    ones are on the bus, which is the slower of the two."""
    chunks = [line[i:i + 8] for i in range(0, len(line), 8)]
    word = ST10_TO_NODE | STANDARD_MARKER
    answer = [0xD4, 0x01]
    return (line_ms(frame_bytes(word, chunks[0])) + sum(bus_ms(len(c), True) for c in chunks)
            + bus_ms(len(answer), True) + line_ms(frame_bytes(ST10_FROM_NODE, answer, pad_to_eight=True)))


def st10_floor(hex_path):
    lines = st10_lines(hex_path)
    # A line whose length is a multiple of 8 is not waited for: it shares the
    # wait of the next one.
    stream = 0.0
    pending = 0.0
    waits = 0
    for line in lines:
        pending += st10_line_wire(line)
        if len(line) % 8 != 0:
            stream += poll_wait(pending, 1.0)  # the stream looks every 1 ms
            pending = 0.0
            waits += 1
    command_wire = round_trip_ms(ST10_TO_NODE | STANDARD_MARKER, b"<Start>", ST10_FROM_NODE, [0xD1, 0x01], True)
    per_line = st10_line_wire(max(lines, key=len))
    return {
        "Accessing File": 0.0,
        "Loading File": 0.0,
        "Opening Port": poll_wait(command_wire, 10),  # <Start>, looked at every 10 ms
        "Erasing... Please Wait": poll_wait(command_wire, 10),  # <Erase>; the bench's erase is instant
        "Programming": 100.0,  # <Prog>: sent, then 100 ms before the first look
        "Programming...": stream,
        "Resetting": 100.0,  # <Reset>: likewise
    }, {"lines": len(lines), "waits": waits, "line_wire": per_line, "line_length": len(max(lines, key=len))}


# ---- Reading the runs ------------------------------------------------------------

COMPLETE = "Press OK to program another node.  When finished, press Exit and remove USB drive."


def timeline(folder):
    lines = []
    for row in (Path(folder) / "log-times.txt").read_text().splitlines():
        stamp, _, text = row.partition("\t")
        lines.append((float(stamp) * 1000, text))
    return lines


def phases(folder, start_line, steps):
    """ms from each status step to the next; the last ends at the completion box."""
    stamps = timeline(folder)
    start = next(i for i, (_, text) in enumerate(stamps) if text == start_line)
    marks = [(start_line, stamps[start][0])]
    at = start
    for step in list(steps) + [COMPLETE]:
        at = next(i for i in range(at + 1, len(stamps)) if stamps[i][1] == step)
        marks.append((step, stamps[at][0]))
    durations = {marks[i][0]: marks[i + 1][1] - marks[i][1] for i in range(len(marks) - 1)}
    durations["engine"] = marks[-1][1] - marks[0][1]
    return durations


def trace(folder):
    frames = []
    for row in (Path(folder) / "can.log").read_text().splitlines():
        match = re.match(r"\((\d+\.\d+)\) (can\d) ([0-9A-F]+)#([0-9A-F]*)", row)
        if match:
            frames.append((float(match[1]) * 1000, match[2], int(match[3], 16), bytes.fromhex(match[4])))
    return frames


def atmel_periods(folder):
    """ms between consecutive data frames and between consecutive verify
    windows as the bench delivered them."""
    frames = trace(folder)
    sent = lambda identifier, request: [f[0] for f in frames
                                        if f[1] == "can0" and f[2] == identifier and request(f[3])]
    data = sent(2, lambda d: True)
    windows = sent(3, lambda d: d[:1] == b"\x00")
    gaps = lambda stamps: [b - a for a, b in zip(stamps, stamps[1:])]
    return gaps(data), gaps(windows)


def stalls(periods, typical):
    """Periods longer than twice the typical one, and the time they add."""
    slow = [p for p in periods if p > 2 * typical]
    return len(slow), sum(p - typical for p in slow)


def st10_line_times(folder):
    """Per waited line, from the bench's trace: (period, console, bus, node) in ms.
    console: the node's answer delivered to the next line's first frame
    delivered; bus: that first frame to the line's last; node: last frame to
    the answer. Stamps are the bench's delivery times."""
    frames = trace(folder)
    start = next(i for i, f in enumerate(frames) if f[2] == ST10_FROM_NODE and f[3][:1] == b"\xD3") + 1
    rows, first, last, answered = [], None, None, None
    for stamp, interface, identifier, data in frames[start:]:
        if interface == "can0" and identifier == ST10_TO_NODE:
            first = stamp if first is None else first
            last = stamp
        elif interface == "can1" and identifier == ST10_FROM_NODE and data[:1] in (b"\xD4", b"\xD5"):
            if answered is not None and first is not None:
                rows.append((stamp - answered, first - answered, last - first, stamp - last))
            answered, first = stamp, None
    return rows


def measurements(folder):
    values = {}
    path = Path(folder) / "measurements.txt"
    if path.exists():
        for row in path.read_text().splitlines():
            name, _, value = row.partition("=")
            values[name] = float(value)
    return values


def benchmark_entries(path):
    return json.loads(Path(path).read_text())["benchmarks"] if Path(path).exists() else []


def benchmark_value(entries, name, field, aggregate=None):
    for entry in entries:
        if entry["name"].startswith(name) and (aggregate is None or entry.get("aggregate_name") == aggregate):
            return entry[field]
    return None


# ---- Writing ---------------------------------------------------------------------------

def spread(values, digits=1, scale=1.0):
    values = [v * scale for v in values if v is not None]
    if not values:
        return "n/a"
    f = lambda v: f"{v:,.{digits}f}"
    if len(values) == 1:
        return f(values[0])
    return f"{f(statistics.median(values))} ({f(min(values))} – {f(max(values))})"


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else float("nan")


def percentile(sorted_values, share):
    return sorted_values[min(len(sorted_values) - 1, int(share * len(sorted_values)))]


def verdict(ok):
    return "met" if ok else "**missed**"


class Report:
    def __init__(self, results):
        self.results = Path(results)
        self.runs = sorted(p for p in self.results.glob("run-*") if p.is_dir())
        self.out = []

    def folder(self, run, test):
        return run / "e2e-output" / f"EndToEndTiming.{test}"

    def done(self, test):
        return [self.folder(r, test) for r in self.runs if (self.folder(r, test) / "log-times.txt").exists()]

    def write(self, text=""):
        self.out.append(text)

    def engine(self, test, start_line, floor):
        folders = self.done(test)
        runs = [phases(f, start_line, floor.keys()) for f in folders]
        rows = []
        for step, floor_ms in floor.items():
            measured = [r[step] for r in runs]
            rows.append(f"| \"{step}\" | {spread(measured, 0)} | {floor_ms:,.0f} | {median(measured) - floor_ms:+,.0f} |")
        return runs, rows

    def build(self):
        info = json.loads((self.results / "machine.json").read_text())
        link = [benchmark_entries(self.results / f"LinkBenchmark-{i}.json") for i in range(1, len(self.runs) + 1)]
        paint = [benchmark_entries(self.results / f"RepaintBenchmark-{i}.json") for i in range(1, len(self.runs) + 1)]

        atmel_hex = self.done("Atmel")[0] / "image.hex"
        st10_hex = self.done("St10")[0] / "image.hex"
        atmel_steps, atmel_numbers = atmel_floor(atmel_hex)
        st10_steps, st10_numbers = st10_floor(st10_hex)
        atmel_runs, atmel_rows = self.engine("Atmel", "Atmel Mode - node is in bootloader mode", atmel_steps)
        st10_runs, st10_rows = self.engine("St10", "ST10 MODE - node is in bootloader mode", st10_steps)
        atmel_total = sum(atmel_steps.values())
        st10_total = sum(st10_steps.values())
        atmel_engine = [r["engine"] for r in atmel_runs]
        st10_engine = [r["engine"] for r in st10_runs]
        atmel_over = median(atmel_engine) / atmel_total - 1
        st10_over = median(st10_engine) / st10_total - 1
        atmel_gaps = [atmel_periods(f) for f in self.done("Atmel")]
        atmel_lost = median([sum(stalls(data, statistics.median(data))[1] + stalls(win, statistics.median(win))[1]
                                 for data, win in [gaps]) for gaps in atmel_gaps])
        atmel_steady = median(atmel_engine) - atmel_lost
        st10_periods = [[row[0] for row in st10_line_times(f)] for f in self.done("St10")]
        st10_steady = median([r["engine"] - r["Programming..."] + statistics.median(p) * len(p)
                              for r, p in zip(st10_runs, st10_periods)])

        round_trip = [benchmark_value(e, "QueueToReplyOverPty", "median_us") for e in link]
        round_trip_p99 = [benchmark_value(e, "QueueToReplyOverPty", "p99_us") for e in link]
        frames_per_s = [benchmark_value(e, "FramesThroughInstantGateway", "items_per_second") for e in link]
        repaint = [benchmark_value(e, "BM_FullRepaint", "real_time", "median") for e in paint]
        cross = [benchmark_value(e, "BM_RepaintFromProgrammingThread", "real_time", "median") for e in paint]

        idle = [measurements(f) for f in [self.folder(r, "Idle") for r in self.runs]]
        idle_cpu = [100 * m["idle_cpu_seconds"] / m["idle_seconds"] for m in idle if "idle_seconds" in m]
        wakeups = [m["idle_wakeups"] / m["idle_seconds"] for m in idle if "idle_seconds" in m]
        wakeup_cost = [1e6 * m["idle_cpu_seconds"] / m["idle_wakeups"] for m in idle if m.get("idle_wakeups")]
        rss_idle = [m.get("peak_rss_kb") for m in idle]
        rss_run = [max(measurements(self.folder(r, t)).get("peak_rss_kb", 0) for t in ("Atmel", "St10"))
                   for r in self.runs]
        peak_mb = max(v for v in rss_idle + rss_run if v) / 1024

        st10_size = len(Path(st10_hex).read_bytes())
        st10_repaints = math.ceil(st10_size / (st10_size // 100)) + 1 + len(st10_steps)
        atmel_repaints = 2 * (atmel_numbers["frames"] // (atmel_numbers["frames"] // 100)) + 1 + len(atmel_steps)
        repaint_share = st10_repaints * median(cross) / 1000 / median(st10_engine)

        w = self.write
        w("# Performance")
        w()
        w("Written by `scripts/benchmark` (do not edit by hand). Every figure is the median of "
          f"{len(self.runs)} runs, with the lowest and highest run in brackets.")
        w()
        w(f"Machine: {info['cpu']}, {info['cores']} cores; load average {info['load_before']} before the runs and "
          f"{info['load_after']} after; commit {info['commit']}; {info['date']}. "
          f"The timed programs ran at nice {info['nice']} in a session (autogroup) of their own at the same nice, "
          "so that other jobs on the machine weigh less on the figures: on the console the uploader runs alone.")
        w()
        w("| What | Goal | Measured | |")
        w("|---|---|---|---|")
        w(f"| Atmel, 32 KB, engine's part | within 3 % of the protocol's floor ({atmel_total / 1000:,.2f} s) | "
          f"{spread(atmel_engine, 2, 0.001)} s, {atmel_over:+.1%} | {verdict(atmel_over <= 0.03)} |")
        w(f"| ST10, 32 KB, engine's part | within 25 % of the protocol's floor ({st10_total / 1000:,.2f} s) | "
          f"{spread(st10_engine, 2, 0.001)} s, {st10_over:+.1%} | {verdict(st10_over <= 0.25)} |")
        w(f"| Link round trip over a pty, median | under 1 ms | {spread(round_trip, 0)} µs | "
          f"{verdict(median(round_trip) < 1000)} |")
        w(f"| Idle CPU on the main screen | under 2 % of one core | {spread(idle_cpu, 2)} % | "
          f"{verdict(median(idle_cpu) < 2)} |")
        w(f"| Peak resident memory, headless | under 24 MB | {peak_mb:,.1f} MB at most | {verdict(peak_mb < 24)} |")
        w(f"| Full repaint of the main screen, median | under 2 ms | {spread(repaint, 0)} µs | "
          f"{verdict(median(repaint) < 2000)} |")
        w()
        w("Without the machine's stalls (section 1), at the runs' median frame and line rates, the engine's part "
          f"would take {atmel_steady / 1000:,.2f} s for Atmel ({atmel_steady / atmel_total - 1:+.1%} on the floor) "
          f"and {st10_steady / 1000:,.2f} s for ST10 ({st10_steady / st10_total - 1:+.1%}).")
        w()

        w("## 1. Programming a 32 KB image end to end")
        w()
        w("`benchmarks/EndToEndTiming` runs the real uploader, headless, against `canbench --bus-bitrate 250000` "
          "over a pseudo-terminal with the end-to-end tests' rig: a random 32 KB image made into Intel HEX by "
          "objcopy, one node on the bus, touches through the control FIFO, and the node's flash dump compared "
          "with the image afterwards. Every log line is stamped as it is flushed (inotify), on the clock of the "
          "bench's candump trace.")
        w()
        w("The time taken is the engine's part: from \"... node is in bootloader mode\" to the completion box's "
          "text, which the box logs as it goes up. It holds everything the engine does, the Atmel reset's 2 s "
          "included, and leaves out the operator (the box) and the wrap-up's node query. Each step runs from its "
          "status line to the next one.")
        w()
        w("The floor is what the protocol itself imposes, computed from the programmed file: the sleeps and "
          f"polls each step must go through, and the wire: {BAUD:,} baud with 10 bits a byte for every frame on "
          "the line (markers and stuffing counted), and the bit time of every bus frame at 250 kbit/s "
          "(47 + 8 × length bits for 11-bit identifiers, 67 + 8 × length for 29-bit ones, no stuff bits). "
          "Where a step sleeps before it looks, the wire runs during the sleep, so the step costs the sleep, or "
          "whole polls until the answer is in, whichever is longer. Time the node itself takes (erasing, "
          "writing flash) is not in the floor; the bench's nodes take none.")
        w()
        w("### Atmel")
        w()
        w(f"{atmel_numbers['frames']:,} data frames and as many verify windows. Round trip of a data frame and "
          f"its answer on the wire: {atmel_numbers['data_wire']:.2f} ms, under its 10 ms sleep; of a verify "
          f"window: {atmel_numbers['window_wire']:.2f} ms, under one 3 ms poll. The floor: open 2 × 100 ms, "
          "registers 100 ms, erase, blank check and address range one 100 ms poll each, "
          f"{atmel_numbers['frames']:,} × 10 ms data plus 100 ms after the closing command, "
          f"{atmel_numbers['frames'] - 1:,} × 3 ms verify polls, 2000 ms before the reset.")
        w()
        w("| Step | Measured, ms | Floor, ms | Above the floor, ms |")
        w("|---|---|---|---|")
        for row in atmel_rows:
            w(row)
        w(f"| Engine's part | {spread(atmel_engine, 0)} | {atmel_total:,.0f} | "
          f"{median(atmel_engine) - atmel_total:+,.0f} ({atmel_over:+.1%}) |")
        w()
        data_all = [p for data, _ in atmel_gaps for p in data]
        window_all = [p for _, win in atmel_gaps for p in win]
        data_typical = statistics.median(data_all)
        window_typical = statistics.median(window_all)
        runs = len(atmel_gaps)
        data_stalls = stalls(data_all, data_typical)[0] / runs
        window_stalls = stalls(window_all, window_typical)[0] / runs
        w(f"From the bench's trace, over all runs: data frames follow one another every {data_typical:.3f} ms "
          f"(median; mean {statistics.mean(data_all):.3f} ms) against the protocol's 10 ms, verify windows every "
          f"{window_typical:.3f} ms (mean {statistics.mean(window_all):.3f} ms) against 3 ms. Between median and "
          "floor lies the wake-up after each sleep (the scheduler's; the sleeping threads ask for no timer "
          f"slack), about {(data_typical - 10) * 1000:.0f} µs. Stalls of more than twice the median: "
          f"{data_stalls:.1f} data frames and {window_stalls:.1f} windows a run, adding {atmel_lost / 1000:.2f} s "
          f"(median of the runs). They are the machine's, not the program's: {self.probe_text('Atmel')} At the "
          f"median rates the engine's part would take {atmel_steady / 1000:,.2f} s, "
          f"{atmel_steady / atmel_total - 1:+.1%} on the floor. Nothing can go under the floor: every sleep is "
          "the protocol's.")
        w()

        w("### ST10")
        w()
        w(f"{st10_numbers['lines']:,} hex lines, of which {st10_numbers['waits']:,} are waited for (the others "
          "are a multiple of 8 characters long). A line of "
          f"{st10_numbers['line_length']} characters (line feed included) goes as "
          f"{math.ceil(st10_numbers['line_length'] / 8)} frames; its stop-and-wait on the wire (first frame's "
          "line time, the bus time of all its frames, the node's answer D4 01 on the bus and back over the "
          f"line) is {st10_numbers['line_wire']:.3f} ms. The stream queues a line's frames at once and then looks "
          "for the answer every 1 ms, so a waited line costs at least its wire time rounded up to the next whole "
          f"poll, {poll_wait(st10_numbers['line_wire'], 1.0):.0f} ms. Start and erase are looked for every 10 ms, "
          "the program and reset commands after 100 ms.")
        w()
        w("| Step | Measured, ms | Floor, ms | Above the floor, ms |")
        w("|---|---|---|---|")
        for row in st10_rows:
            w(row)
        w(f"| Engine's part | {spread(st10_engine, 0)} | {st10_total:,.0f} | "
          f"{median(st10_engine) - st10_total:+,.0f} ({st10_over:+.1%}) |")
        w()
        self.st10_breakdown(st10_numbers)

        w("## 2. The link")
        w()
        w("`benchmarks/LinkBenchmark`: the round trip queues one frame to `CanDispatch` and waits until the "
          "gateway's echo of it has come back through the reader and receive threads to the channel callback "
          "(a gateway on the master side of a real pty that acknowledges and echoes at once); frames per second "
          "go through `CanDispatch` to a gateway that acknowledges every frame as it is written, so the send "
          "thread's one-Ack-at-a-time hand-off is all that is measured.")
        w()
        w("| Figure | Median of the runs (lowest – highest) |")
        w("|---|---|")
        w(f"| Queue to echo over the pty, median of each run | {spread(round_trip, 0)} µs |")
        w(f"| Same, 99th percentile of each run | {spread(round_trip_p99, 0)} µs |")
        w(f"| Frames per second through `CanDispatch` | {spread(frames_per_s, 0)} |")
        w()
        w("At 1500000 baud a queued 8-byte frame and its Ack take about "
          f"{line_ms(frame_bytes(0x38EF0110, [0] * 8)) + line_ms(5):.2f} ms of line time, so the link never waits "
          "on itself at the rates the engines ask for (one frame every 10 ms, or a few frames a line).")
        w()

        w("## 3. Idle CPU and memory")
        w()
        w(f"`EndToEndTiming.Idle` starts the uploader (one node on the bus), lets it settle 2 s after its main "
          "screen is up, then reads utime + stime of all its threads from /proc/PID/stat over "
          f"{median([m['idle_seconds'] for m in idle if 'idle_seconds' in m]):.0f} s, and VmHWM from "
          "/proc/PID/status; the programming runs read VmHWM again as their completion box goes up.")
        w()
        w("| Figure | Median of the runs (lowest – highest) |")
        w("|---|---|")
        w(f"| CPU while idle, % of one core | {spread(idle_cpu, 2)} |")
        w(f"| Voluntary context switches while idle, per second | {spread(wakeups, 0)} |")
        w(f"| CPU per context switch while idle, µs | {spread(wakeup_cost, 1)} |")
        w(f"| Peak RSS after start-up, MB | {spread(rss_idle, 1, 1 / 1024)} |")
        w(f"| Peak RSS after a 32 KB programming run, MB | {spread(rss_run, 1, 1 / 1024)} |")
        w()
        w("The context switches are the link reader's: it waits at most 1 ms for the port's first byte and "
          "reads again, about a thousand times a second; every other thread sleeps on an event or in poll. So "
          "the idle figure is the reader's wake-ups times what one costs, and that cost grows with the load of "
          "the machine (a busy core to take over, cold caches): with the load average above, "
          f"{median(wakeup_cost):.0f} µs a wake-up. Two per cent of a core allows "
          f"{20000 / max(median(wakeups), 1):.0f} µs a wake-up at this rate. Asking the port for bytes before "
          "waiting on it (one call fewer a wake-up) made no difference that could be measured.")
        w()

        w("## 4. Repainting")
        w()
        w("`benchmarks/RepaintBenchmark`: a full repaint of a main-screen-like layout into its 480 × 640 surface "
          "(title, list page of 7 rows, status line, 13 buttons, version lines, progress bar); and the same "
          "repaint asked for from another thread through the window manager with the headless display, which "
          "is what each `ShowStatus` and `SetProgress` costs the programming thread (paint, copy, compose, "
          "present, while the caller waits).")
        w()
        w("| Figure | Median of the runs (lowest – highest) |")
        w("|---|---|")
        w(f"| Full repaint on the user-interface thread, µs | {spread(repaint, 0)} |")
        w(f"| Repaint from the programming thread, µs | {spread(cross, 0)} |")
        w()
        st10_values = st10_repaints - 1 - len(st10_steps)
        atmel_values = atmel_repaints - 1 - len(atmel_steps)
        w(f"An ST10 run of the {st10_size:,}-byte file repaints about {st10_repaints} times (0, then "
          f"{st10_values} progress values, and {len(st10_steps)} status lines), so repaints take about "
          f"{st10_repaints * median(cross) / 1000:.0f} ms, {repaint_share:.2%} of the engine's part. An Atmel "
          f"run repaints about {atmel_repaints} times (0, then {atmel_values} progress values over programming "
          f"and verifying, and {len(atmel_steps)} status lines): {atmel_repaints * median(cross) / 1000:.0f} ms, "
          f"{atmel_repaints * median(cross) / 1000 / median(atmel_engine):.2%} of its engine's part.")
        w()
        return "\n".join(self.out) + "\n"

    def probe_text(self, test):
        probes = [measurements(f) for f in self.done(test)]
        stalls_per_run = [m.get("probe_stalls") for m in probes]
        lost = [m.get("probe_stall_ms", 0) / 1000 for m in probes]
        return (f"a thread of the timing driver that does nothing but sleep 2 ms at a time woke more than 20 ms "
                f"late {spread(stalls_per_run, 0)} times a run during the same runs, {spread(lost, 2)} s in all.")

    def st10_breakdown(self, numbers):
        rows = [row for folder in self.done("St10") for row in st10_line_times(folder)]
        if not rows:
            return
        periods = sorted(r[0] for r in rows)
        floor = poll_wait(numbers["line_wire"], 1.0)
        w = self.write
        w("Where a waited line's time goes, over every line of every run, from the bench's candump trace "
          "(stamps are taken when the bench delivers a frame, so time the bench's own loop is late shows in the "
          "part where it happened):")
        w()
        w("| Per waited line | Median, ms | Mean, ms | Floor, ms |")
        w("|---|---|---|---|")
        names = ["Line to line (answer to answer)", "Console: answer delivered → next line's first frame delivered",
                 "Bus: first frame → last frame delivered", "Node: last frame → answer delivered"]
        chunks = math.ceil(numbers["line_length"] / 8)
        frame = bus_ms(8, True)
        last = bus_ms(numbers["line_length"] - 8 * (chunks - 1), True)
        floors = [floor, floor - (chunks - 2) * frame - last - bus_ms(2, True),
                  (chunks - 2) * frame + last, bus_ms(2, True)]
        for index, name in enumerate(names):
            values = [r[index] for r in rows]
            w(f"| {name} | {statistics.median(values):.3f} | {statistics.mean(values):.3f} | {floors[index]:.3f} |")
        w()
        slow = [p for p in periods if p > 2 * floor]
        w(f"Line periods: 50th percentile {percentile(periods, 0.5):.2f} ms, 90th {percentile(periods, 0.9):.2f} ms, "
          f"99th {percentile(periods, 0.99):.2f} ms, slowest {periods[-1]:.1f} ms. Lines slower than twice the "
          f"floor: {len(slow) / len(periods):.1%} of them, holding {sum(slow) / sum(periods):.1%} of the stream's "
          f"time; {self.probe_text('St10')} "
          "The console's share holds the answer's trip over the pty into the uploader (reader, receive "
          "thread, reply handler), the rest of the stream's 1 ms poll and its wake-up, queueing the next "
          "line's first frame, the send thread writing it, and its 0.524 ms on the bus.")
        w()


def main():
    sys.stdout.write(Report(sys.argv[1]).build())


if __name__ == "__main__":
    main()
