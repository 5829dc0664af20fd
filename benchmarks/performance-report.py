#!/usr/bin/env python3
"""Writes docs/performance.md from the results folder that scripts/benchmark fills.

Every figure is the median of the runs, with their minimum and maximum. Each
engine's part is set against two floors computed here from the protocol's own
numbers and the programmed file: the wire floor (the protocol's fixed sleeps,
and for every wait the wire time of its frames: the 1500000 baud line and the
250 kbit/s bus), the least any console could take; and the polling floor,
where every wait also rounds up to the whole polls that the engines once
looked for their answers in.

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
ACK_BYTES = 5  # the console's Ack of a received frame: 7E 01 01 00 7F
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


def answer_back_ms(word, reply, extended):
    """The answer on the bus, over the line to the console, and the console's
    Ack of it, which goes out before the console's next frame."""
    return bus_ms(len(reply), extended) + line_ms(frame_bytes(word, reply, pad_to_eight=True)) + line_ms(ACK_BYTES)


def round_trip_ms(word, data, reply_word, reply, extended):
    """A request and its answer back to back: line, bus, bus, line."""
    return line_ms(frame_bytes(word, data)) + bus_ms(len(data), extended) + answer_back_ms(reply_word, reply, extended)


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


READ_OUT = "Reading Memory"  # the node's old program read out before the erase
READ_OUT_WINDOWS = 32768 // 8  # the node's whole memory, whatever the file holds


def atmel_floors(hex_path):
    """Wire and polling floor per status step (the status text that starts it), in ms."""
    image = hex_image(hex_path)
    frames = len(image) // 8
    word = lambda identifier: identifier | STANDARD_MARKER
    exchange = lambda identifier, data, reply: round_trip_ms(word(identifier), data, word(identifier), reply, False)
    erase = exchange(4, [0x00, 0xFF], [0x00])
    blank = exchange(3, [0x01, 0x00, 0x00, 0x7F, 0xFF], [])
    address = exchange(1, [0x00, 0x00, 0x00, 0x7F, 0xFF], [0x00])
    data = max(exchange(2, image[8 * k:8 * k + 8], [0x01]) for k in range(frames))
    window = exchange(3, [0, 0x7F, 0xF8, 0x7F, 0xFF], image[:8])
    # Each data frame waits for its answer, goes out and is followed by 10 ms
    # of sleep, which the answer beats; then the closing command's 100 ms.
    programming = frames * max(10.0, data) + 100.0
    fixed = {"Sorting": 0.0, "Opening Port": 2 * 100.0, "Reading Registers": 100.0, "Resetting": 2000.0}
    # The read-out's windows go one after the other like Verifying's; the
    # image's first window stands in for the node's bytes on the line.
    wire = dict(fixed, **{READ_OUT: READ_OUT_WINDOWS * window, "Erasing": erase, "Blank Check": blank, "Set Address": address,
                          "Programming": programming,
                          # each window goes when the answer to the one before is in, and
                          # the last one's answer is awaited too
                          "Verifying": frames * window})
    polling = dict(fixed, **{READ_OUT: READ_OUT_WINDOWS * poll_wait(window, 3), "Erasing": poll_wait(erase, 100), "Blank Check": poll_wait(blank, 100),
                             "Set Address": poll_wait(address, 100), "Programming": programming,
                             "Verifying": frames * poll_wait(window, 3)})
    order = ["Sorting", "Opening Port", "Reading Registers", READ_OUT, "Erasing", "Blank Check", "Set Address", "Programming",
             "Verifying", "Resetting"]
    return ({step: wire[step] for step in order}, {step: polling[step] for step in order},
            {"frames": frames, "data_wire": data, "window_wire": window})


def st10_lines(hex_path):
    """The lines as streamed: carriage returns dropped, line feed kept."""
    text = Path(hex_path).read_bytes().replace(b"\r", b"")
    return [line + b"\n" for line in text.split(b"\n")[:-1]]


def st10_line_parts(line):
    """A line's stop-and-wait on the wire, in the order it happens: its first
    frame over the line, every frame on the bus (the later frames cross the
    line while earlier ones are on the bus, which is the slower of the two),
    the answer D4 01 on the bus, and back over the line with the console's Ack
    of it."""
    chunks = [line[i:i + 8] for i in range(0, len(line), 8)]
    answer = [0xD4, 0x01]
    return {"first": line_ms(frame_bytes(ST10_TO_NODE | STANDARD_MARKER, chunks[0])),
            "frames": [bus_ms(len(c), True) for c in chunks],
            "answer": bus_ms(len(answer), True),
            "back": answer_back_ms(ST10_FROM_NODE, answer, True) - bus_ms(len(answer), True)}


def st10_line_wire(line):
    parts = st10_line_parts(line)
    return parts["first"] + sum(parts["frames"]) + parts["answer"] + parts["back"]


def st10_floors(hex_path):
    lines = st10_lines(hex_path)
    # A line whose length is a multiple of 8 is not waited for: it shares the
    # wait of the next one.
    wire_stream = polling_stream = pending = 0.0
    waits = 0
    for line in lines:
        pending += st10_line_wire(line)
        if len(line) % 8 != 0:
            wire_stream += pending
            polling_stream += poll_wait(pending, 1.0)  # the stream looked every 1 ms
            pending = 0.0
            waits += 1
    command = lambda text, code: round_trip_ms(ST10_TO_NODE | STANDARD_MARKER, text, ST10_FROM_NODE, [code, 0x01],
                                               True)
    start, erase, prog, reset = command(b"<Start>", 0xD1), command(b"<Erase>", 0xD2), command(b"<Prog>", 0xD3), \
        command(b"<Reset>", 0xD6)
    files = {"Accessing File": 0.0, "Loading File": 0.0}
    wire = dict(files, **{"Opening Port": start, "Erasing... Please Wait": erase, "Programming": prog,
                          "Programming...": wire_stream, "Resetting": reset})
    # <Start> and <Erase> were looked for every 10 ms, <Prog> and <Reset> after 100 ms.
    polling = dict(files, **{"Opening Port": poll_wait(start, 10), "Erasing... Please Wait": poll_wait(erase, 10),
                             "Programming": poll_wait(prog, 100), "Programming...": polling_stream,
                             "Resetting": poll_wait(reset, 100)})
    longest = max(lines, key=len)
    return wire, polling, {"lines": len(lines), "waits": waits, "line_wire": st10_line_wire(longest),
                           "line_length": len(longest)}


# ---- Floor of the node query ---------------------------------------------------

INFO_WAIT_MS = 500  # the start-up's wait for the gateway's info words
REPLY_WINDOW_MS = 300  # after the last request left
LOOK_WINDOW_MS = 200  # the question for a waiting bootloader, after its last frame left
LOOK = "Looking for a node waiting in its bootloader"
QUERY_ADDRESSES = [0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x20, 0x30, 0x40, 0x60, 0x70, 0x22,
                   0x90, 0x31, 0x35, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x72, 0x32, 0x33, 0x34, 0x36, 0x37, 0x38, 0x39]


def query_floor_ms(answering):
    """One Cal Request to every address, each written after the gateway's Ack
    of the one before, then the reply window from the last one on the bus.
    The answers of the nodes asked share the bus with the requests."""
    request_word = lambda address: (0x18EF0010 + address * 256) | STANDARD_MARKER
    on_line = sum(line_ms(frame_bytes(request_word(a), [0xBF])) + line_ms(ACK_BYTES) for a in QUERY_ADDRESSES)
    on_bus = len(QUERY_ADDRESSES) * bus_ms(1, True) + answering * bus_ms(5, True)
    return max(on_line, on_bus) + REPLY_WINDOW_MS


# ---- Reading the runs ------------------------------------------------------------

COMPLETE = "Press OK to program another node.  When finished, press Exit and remove USB drive."
ALREADY_RUNS = "The node already runs this file, so nothing was erased or written. " + COMPLETE
PLEASE_WAIT = "Programming... Please Wait"  # the first line after the warning's OK
READ_OUT_GOAL = 1.15


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


def erased_at(frames):
    """The bench's stamp of the erase command: display windows before it read
    the old program out, those after it verify."""
    return next((f[0] for f in frames if f[1] == "can0" and f[2] == 4), math.inf)


def atmel_periods(folder):
    """ms between consecutive data frames, between consecutive verify windows
    and between consecutive read-out windows as the bench delivered them."""
    frames = trace(folder)
    erased = erased_at(frames)
    sent = lambda identifier, request: [f[0] for f in frames
                                        if f[1] == "can0" and f[2] == identifier and request(f[3])]
    data = sent(2, lambda d: True)
    windows = sent(3, lambda d: d[:1] == b"\x00")
    gaps = lambda stamps: [b - a for a, b in zip(stamps, stamps[1:])]
    return gaps(data), gaps([w for w in windows if w > erased]), gaps([w for w in windows if w < erased])


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


def atmel_window_times(folder, verify=True):
    """Per verify (or read-out) window after the first, from the bench's
    trace: (period, console) in ms. console: the previous window's answer
    delivered to this window delivered."""
    rows, previous, answered = [], None, None
    frames = trace(folder)
    erased = erased_at(frames)
    for stamp, interface, identifier, data in frames:
        if identifier != 3 or (stamp > erased) != verify:
            continue
        if interface == "can0" and data[:1] == b"\x00":
            if previous is not None and answered is not None:
                rows.append((stamp - previous, stamp - answered))
            previous, answered = stamp, None
        elif interface == "can1" and previous is not None:
            answered = stamp
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


def verdict(ok, short_by=""):
    return "met" if ok else f"**missed**{' by ' + short_by if short_by else ''}"


class Engine:
    """One engine's runs beside its two floors."""

    def __init__(self, report, test, start_line, floors, apart=()):
        """apart: steps timed on their own rows but left out of the engine's part."""
        self.test = test
        self.apart = apart
        self.wire, self.polling, self.numbers = floors(report.done(test)[0] / "image.hex")
        self.folders = report.done(test)
        self.runs = [phases(f, start_line, self.wire.keys()) for f in self.folders]
        self.times = [r["engine"] - sum(r[step] for step in apart) for r in self.runs]
        self.wire_total = sum(v for step, v in self.wire.items() if step not in apart)
        self.polling_total = sum(v for step, v in self.polling.items() if step not in apart)
        self.ratios = [t / self.wire_total for t in self.times]
        self.ratio = median(self.ratios)

    def rows(self):
        rows = []
        for step in self.wire:
            measured = [r[step] for r in self.runs]
            rows.append(f"| \"{step}\" | {spread(measured, 0)} | {self.wire[step]:,.0f} | "
                        f"{self.polling[step]:,.0f} | {median(measured) - self.wire[step]:+,.0f} |")
        name = "".join(f", without \"{step}\"" for step in self.apart)
        rows.append(f"| Engine's part{name} | {spread(self.times, 0)} | {self.wire_total:,.0f} | "
                    f"{self.polling_total:,.0f} | {median(self.times) - self.wire_total:+,.0f} |")
        return rows

    def goal_cells(self, goal):
        measured = (f"{spread(self.ratios, 3)}: {median(self.times) / 1000:,.2f} s against "
                    f"{self.wire_total / 1000:,.2f} s")
        over = self.ratio - goal
        return measured, verdict(over <= 0, f"{over:.3f} ({over * self.wire_total / 1000:,.2f} s)")


class Report:
    def __init__(self, results):
        self.results = Path(results)
        self.runs = sorted(p for p in self.results.glob("run-*") if p.is_dir())
        self.out = []

    def folder(self, run, test, program="EndToEndTiming"):
        return run / "e2e-output" / f"{program}.{test}"

    def done(self, test):
        return [self.folder(r, test) for r in self.runs if (self.folder(r, test) / "log-times.txt").exists()]

    def write(self, text=""):
        self.out.append(text)

    def gather(self):
        self.info = json.loads((self.results / "machine.json").read_text())
        count = len(self.runs)
        link = [benchmark_entries(self.results / f"LinkBenchmark-{i}.json") for i in range(1, count + 1)]
        paint = [benchmark_entries(self.results / f"RepaintBenchmark-{i}.json") for i in range(1, count + 1)]
        self.atmel = Engine(self, "Atmel", "Atmel Mode - node is in bootloader mode", atmel_floors, (READ_OUT,))
        self.read_outs = [r[READ_OUT] for r in self.atmel.runs]
        self.skipped = [self.span_ms(f, PLEASE_WAIT, ALREADY_RUNS) for f in self.done("AtmelAlreadyRuns")]
        self.full = [self.span_ms(f, PLEASE_WAIT, COMPLETE) for f in self.atmel.folders]
        self.st10 = Engine(self, "St10", "ST10 MODE - node is in bootloader mode", st10_floors)
        self.round_trip = [benchmark_value(e, "QueueToReplyOverPty", "median_us") for e in link]
        self.round_trip_p99 = [benchmark_value(e, "QueueToReplyOverPty", "p99_us") for e in link]
        self.frames_per_s = [benchmark_value(e, "FramesThroughInstantGateway", "items_per_second") for e in link]
        self.repaint = [benchmark_value(e, "BM_FullRepaint", "real_time", "median") for e in paint]
        self.cross = [benchmark_value(e, "BM_RepaintFromProgrammingThread", "real_time", "median") for e in paint]
        self.idle = [m for m in (measurements(self.folder(r, "Idle")) for r in self.runs) if "idle_seconds" in m]
        self.idle_cpu = [100 * m["idle_cpu_seconds"] / m["idle_seconds"] for m in self.idle]
        self.rss_idle = [m.get("peak_rss_kb") for m in self.idle]
        self.startups = [self.startup_ms(f) for f in self.done("Queries")]
        self.closings = [self.span_ms(f, "Initializing... Please Wait", "Programming... Finished")
                         for f in self.done("Queries")]
        self.looks = [self.span_ms(f, LOOK, "Sending bootloader:") for t in ("Atmel", "St10") for f in self.done(t)]
        self.everywhere = [self.startup_ms(f) for f in self.done("EveryAddress")]
        self.everywhere_found = [self.rx_lines(f) for f in self.done("EveryAddress")]
        self.rss_run = [max(measurements(self.folder(r, t)).get("peak_rss_kb", 0) for t in ("Atmel", "St10"))
                        for r in self.runs]

    def startup_ms(self, folder):
        start = measurements(folder)["start_unix_us"] / 1000
        return next(at for at, text in timeline(folder) if text == "Enter load program list") - start

    def span_ms(self, folder, first, last):
        stamps = timeline(folder)
        begin = next(i for i, (_, text) in enumerate(stamps) if text == first)
        end = next(i for i in range(begin, len(stamps)) if stamps[i][1].startswith(last))
        return stamps[end][0] - stamps[begin][0]

    def rx_lines(self, folder):
        return sum(1 for _, text in timeline(folder) if text.startswith("Rx - "))

    def build(self):
        self.gather()
        self.head()
        self.goals()
        self.programming()
        self.link()
        self.idle_and_memory()
        self.repainting()
        self.batch()
        return "\n".join(self.out) + "\n"

    def head(self):
        info, w = self.info, self.write
        loads = info.get("loads", [])
        quiet = sum(1 for load in loads if load < 1)
        w("# Performance")
        w()
        w("Written by `scripts/benchmark` (do not edit by hand). Every figure is the median of "
          f"{len(self.runs)} run{'' if len(self.runs) == 1 else 's'}, with the lowest and highest run in "
          "brackets.")
        w()
        w(f"Machine: {info['cpu']}, {info['cores']} cores; commit {info['commit']}; {info['date']}. Load average "
          f"(1, 5, 15 min) {info['load_before']} before the runs and {info['load_after']} after; over the last "
          "minute before each run: " + ", ".join(f"{load:.2f}" for load in loads) +
          f", below 1 (a quiet machine) before {quiet} of {len(loads)} runs. The timed programs ran at nice "
          f"{info['nice']} in a session (autogroup) of their own at the same nice, so that other jobs on the "
          "machine weigh less on the figures: on the console the uploader runs alone.")
        w()

    def goals(self):
        w = self.write
        rss_peak = max(v for v in self.rss_run if v) / 1024
        idle = median(self.idle_cpu)
        trip = median(self.round_trip)
        paint = median(self.repaint) / 1000
        st10_cells = self.st10.goal_cells(1.10)
        atmel_cells = self.atmel.goal_cells(1.03)
        w("| Figure | Goal | Measured | |")
        w("|---|---|---|---|")
        w(f"| ST10 32 KB, engine's part / wire floor | ≤ 1.10 | {st10_cells[0]} | {st10_cells[1]} |")
        w(f"| Atmel 32 KB, engine's part without the read-out / wire floor | ≤ 1.03 | {atmel_cells[0]} | "
          f"{atmel_cells[1]} |")
        read_out = self.read_out_ratios()
        over = median(read_out) - READ_OUT_GOAL
        w(f"| Atmel read-out, \"{READ_OUT}\" to \"Erasing\" / wire floor | ≤ {READ_OUT_GOAL:.2f} | "
          f"{spread(read_out, 3)}: {median(self.read_outs) / 1000:,.2f} s against "
          f"{self.atmel.wire[READ_OUT] / 1000:,.2f} s | "
          f"{verdict(over <= 0, f'{over:.3f} ({over * self.atmel.wire[READ_OUT] / 1000:,.2f} s)')} |")
        skipped, full = median(self.skipped), median(self.full)
        w(f"| Skipped node (already runs the file), the warning's OK to its box | shorter than a full run | "
          f"{spread(self.skipped, 2, 0.001)} s against {spread(self.full, 2, 0.001)} s for a full Atmel run, "
          f"{skipped / full:.3f} of it | {verdict(skipped < full, f'{(skipped - full) / 1000:.2f} s')} |")
        w(f"| Idle CPU on the main screen | < 0.3 % of a core | {spread(self.idle_cpu, 2)} % | "
          f"{verdict(idle < 0.3, f'{idle - 0.3:.2f} points')} |")
        w(f"| Link round trip, pty, median | < 200 µs | {spread(self.round_trip, 0)} µs | "
          f"{verdict(trip < 200, f'{trip - 200:.0f} µs')} |")
        w(f"| Full repaint, median | < 0.5 ms | {spread(self.repaint, 3, 0.001)} ms | "
          f"{verdict(paint < 0.5, f'{paint - 0.5:.3f} ms')} |")
        for figure, goal, values, floor, extra in (
                ("Start to the screen up, gateway and 4 nodes", 1500, self.startups,
                 INFO_WAIT_MS + query_floor_ms(4), ""),
                ("A run's closing query, \"Initializing... Please Wait\" to \"Programming... Finished\"", 1000,
                 self.closings, query_floor_ms(4), ""),
                ("Question for a waiting bootloader, before each bootloader command", REPLY_WINDOW_MS, self.looks,
                 LOOK_WINDOW_MS, ""),
                ("Start to the screen up, a node at each of the 32 addresses", 1500, self.everywhere,
                 INFO_WAIT_MS + query_floor_ms(32),
                 f"; slots found {spread(self.everywhere_found, 0)} of 48")):
            lost = bool(extra) and min(self.everywhere_found, default=0) < 48
            over = median(values) - goal
            w(f"| {figure} | ≤ {goal / 1000:.1f} s | {spread(values, 2, 0.001)} s against a floor of "
              f"{floor / 1000:.2f} s{extra} | "
              f"{verdict(over <= 0 and not lost, 'nodes lost' if lost else f'{over / 1000:.2f} s')} |")
        w(f"| Peak RSS after a 32 KB run | < 20 MB | {spread(self.rss_run, 1, 1 / 1024)} MB | "
          f"{verdict(rss_peak < 20, f'{rss_peak - 20:.1f} MB')} |")
        w()
        reasons = self.misses(idle, trip, paint, rss_peak)
        if reasons:
            w("Where a goal is missed, why:")
            w()
            for reason in reasons:
                w(f"- {reason}")
            w()
        w("The node queries' floor: at start-up the 500 ms wait for the gateway's info words; one Cal Request "
          "to each of the 32 addresses, each written once the gateway acknowledged the one before and carried on "
          "the 250 kbit/s bus together with the answers of the nodes asked; then the reply window of 300 ms after "
          "the last request. `EndToEndTiming.Queries` times start-up from the uploader's start to \"Enter load "
          "program list\", and the closing query of a short Atmel run; `EndToEndTiming.EveryAddress` the start-up "
          "with a node at every address, whose answers all come within a few milliseconds.")
        w()
        w("The wire floor is the least any console could take: the protocol's fixed sleeps, and every wait as "
          "long as its frames take on the wire (section 1). Against the polling floor, where every wait also "
          "rounds up to the whole polls that the engines once looked for their answers in:")
        w()
        w("| Engine's part, 32 KB | Measured, s | Wire floor, s | Polling floor, s | Measured / polling floor |")
        w("|---|---|---|---|---|")
        for name, engine in (("ST10", self.st10), ("Atmel", self.atmel)):
            w(f"| {name} | {spread(engine.times, 2, 0.001)} | {engine.wire_total / 1000:,.2f} | "
              f"{engine.polling_total / 1000:,.2f} | {median(engine.times) / engine.polling_total:.3f} |")
        w()
        w(f"Without the machine's stalls (section 1), at the runs' median frame and line rates, the engine's part "
          f"would take {self.atmel_steady() / 1000:,.2f} s for Atmel ({self.atmel_steady() / self.atmel.wire_total:.3f}"
          f" of the wire floor) and {self.st10_steady() / 1000:,.2f} s for ST10 "
          f"({self.st10_steady() / self.st10.wire_total:.3f}).")
        w()

    def read_out_ratios(self):
        return [t / self.atmel.wire[READ_OUT] for t in self.read_outs]

    def read_out_trace(self):
        """The read-out windows' periods and the console's share of each, from the bench's trace, in ms."""
        periods = [p for f in self.atmel.folders for p in atmel_periods(f)[2]]
        consoles = [row[1] for f in self.atmel.folders for row in atmel_window_times(f, verify=False)]
        typical = statistics.median(periods)
        slow, lost = stalls(periods, typical)
        return {"window": typical, "window_mean": statistics.mean(periods),
                "console_own": statistics.median(consoles) - self.atmel_trace()["console_wire"],
                "stalls": slow / len(self.atmel.folders), "lost": lost / len(self.atmel.folders)}

    def misses(self, idle, trip, paint, rss_peak):
        reasons = []
        frames = self.atmel.numbers["frames"]
        if median(self.read_out_ratios()) > READ_OUT_GOAL:
            t = self.read_out_trace()
            floor = self.atmel.wire[READ_OUT]
            above = median(self.read_outs) - floor
            elsewhere = above - t["console_own"] * READ_OUT_WINDOWS - t["lost"]
            reasons.append(
                f"Atmel read-out: {above / 1000:.2f} s above the wire floor. Its "
                f"windows follow one another every {t['window']:.3f} ms (median; mean {t['window_mean']:.3f} ms) "
                f"against {floor / READ_OUT_WINDOWS:.3f} ms on the wire: {t['console_own'] * 1000:.0f} µs of the "
                f"console's own per window ({t['console_own'] * READ_OUT_WINDOWS / 1000:.2f} s in all); "
                f"{t['stalls']:.1f} windows a run slower than twice the median, adding {t['lost'] / 1000:.2f} s, and "
                f"{elsewhere / 1000:.2f} s elsewhere: the progress bar's repaints and the slower than median but "
                "not stalled windows (section 1).")
        if self.st10.ratio > 1.10:
            t = self.st10_trace()
            reasons.append(
                f"ST10: {(median(self.st10.times) - self.st10.wire_total) / 1000:.2f} s above the wire floor. Each of "
                f"the {self.st10.numbers['waits']:,} waited lines spends {t['console_own'] * 1000:.0f} µs (median) "
                f"in the console beyond its wire, {t['console_own'] * self.st10.numbers['waits'] / 1000:.2f} s in "
                f"all; lines slower than twice the wire add {t['slow_excess'] / 1000:.2f} s (section 1).")
        if self.atmel.ratio > 1.03:
            t = self.atmel_trace()
            above = median(self.atmel.times) - self.atmel.wire_total
            parts = [(t["data"] - 10) * frames, t["console_own"] * frames, t["lost"]]
            reasons.append(
                f"Atmel: {above / 1000:.2f} s above the wire floor: {parts[0] / 1000:.2f} s of wake-ups and work "
                f"after the {frames:,} sleeps of 10 ms ({(t['data'] - 10) * 1000:.0f} µs each), "
                f"{parts[1] / 1000:.2f} s of the console's own part of the verify windows "
                f"({t['console_own'] * 1000:.0f} µs each), {parts[2] / 1000:.2f} s of stalls, and "
                f"{(above - sum(parts)) / 1000:.2f} s elsewhere: the progress bar's repaints and the slower than "
                "median but not stalled frames and windows (section 1).")
        if idle >= 0.3:
            reasons.append(f"Idle CPU: {median(self.idle_wakeups()):.1f} wake-ups a second (section 3).")
        if trip >= 200:
            reasons.append("Link round trip: the echo crosses five thread wake-ups (the send thread, the test "
                           "gateway's thread, the reader, the receive thread, the waiting caller), each the "
                           "scheduler's to give on a machine at the load above (section 2).")
        if paint >= 0.5 or rss_peak >= 20:
            reasons.append("Repaint or memory: see sections 3 and 4.")
        return reasons

    def atmel_steady(self):
        """The median run less the time its slow data frames and windows (over twice the median) lost."""
        return median(self.atmel.times) - self.atmel_trace()["lost"]

    def st10_steady(self):
        """Each run with every waited line at the run's median line period."""
        estimates = []
        for run, folder in zip(self.st10.runs, self.st10.folders):
            periods = [row[0] for row in st10_line_times(folder)]
            estimates.append(run["engine"] - run["Programming..."] + statistics.median(periods) * len(periods))
        return median(estimates)

    def programming(self):
        w = self.write
        w("## 1. Programming a 32 KB image end to end")
        w()
        w("`benchmarks/EndToEndTiming` runs the real uploader, headless, against "
          "`canbench --bus-bitrate 250000 --line-baud 1500000` over a pseudo-terminal with the end-to-end tests' "
          "rig: a random 32 KB image made into Intel HEX, one node on the bus, touches through the control FIFO, "
          "and the node's flash dump compared with the image afterwards. The bench gives every frame its time on "
          "the serial line and on the bus, its timers fire within microseconds (it polls without sleeping for "
          "the last 0.1 ms before each), and its nodes answer at once; a frame from the console still has to wake "
          "the bench, which the console's share below includes. "
          "Every log line is stamped as it is flushed (inotify), on the clock of the bench's candump trace.")
        w()
        w("The time taken is the engine's part: from \"... node is in bootloader mode\" to the completion box's "
          "text, which the box logs as it goes up. It holds everything the engine does, the Atmel reset's 2 s "
          "included, and leaves out the operator (the box) and the wrap-up's node query; the Atmel engine's part "
          "also leaves out the read-out of the node's old program (\"Reading Memory\" to \"Erasing\"), timed on "
          "its own row. Each step runs from its status line to the next one.")
        w()
        w("Both floors are computed from the programmed file. The wire: "
          f"{BAUD:,} baud with 10 bits a byte for every frame on the line (markers and stuffing counted) and "
          "the console's Ack of each answer, and the bit time of every bus frame at 250 kbit/s (47 + 8 × length "
          "bits for 11-bit identifiers, 67 + 8 × length for 29-bit ones, no stuff bits). The wire floor holds the "
          "protocol's fixed sleeps (Atmel: 2 × 100 ms to open, 100 ms for the registers, 10 ms after each data "
          "frame, 100 ms after the closing command, 2000 ms before the reset) and, for every wait on an answer, "
          "the wire time of the request and its answer; a wait that overlaps a sleep costs nothing more. The "
          "polling floor rounds each wait up to whole polls of the old engines (ST10: 1 ms a line, 10 ms for "
          "start and erase, 100 ms for program and reset; Atmel: 3 ms a verify or read-out window, 100 ms for erase, blank "
          "check and address range). Time the node itself takes (erasing, writing flash) is in neither; the "
          "bench's nodes take none.")
        w()
        self.atmel_section()
        self.st10_section()

    def atmel_section(self):
        w, engine, numbers = self.write, self.atmel, self.atmel.numbers
        w("### Atmel")
        w()
        w(f"{numbers['frames']:,} data frames and as many verify windows; before the erase, {READ_OUT_WINDOWS:,} "
          "windows read the node's old program out (\"Reading Memory\"). A data frame and its answer take "
          f"{numbers['data_wire']:.3f} ms on the wire, under the 10 ms sleep after each; a window and its "
          f"answer {numbers['window_wire']:.3f} ms, and the next window waits for that answer. The engine's part "
          f"leaves the read-out out, so that it compares with the rounds before the read-out; the read-out has its "
          "own row and goal.")
        w()
        w("| Step | Measured, ms | Wire floor, ms | Polling floor, ms | Above the wire floor, ms |")
        w("|---|---|---|---|---|")
        for row in engine.rows():
            w(row)
        w()
        t = self.atmel_trace()
        w(f"From the bench's trace, over all runs: data frames follow one another every {t['data']:.3f} ms "
          f"(median; mean {t['data_mean']:.3f} ms) against the protocol's 10 ms: the engine's wake-up after each "
          f"sleep and its work up to the next frame take {(t['data'] - 10) * 1000:.0f} µs. Verify windows follow one "
          f"another every {t['window']:.3f} ms (mean {t['window_mean']:.3f} ms) against "
          f"{numbers['window_wire']:.3f} ms on the wire. From a window's answer leaving the bus to the next "
          f"window reaching it takes {t['console']:.3f} ms (median), of which {t['console_wire']:.3f} ms "
          "are wire (the answer over the line, the console's Ack, the next window over the line and on the bus) "
          f"and {t['console_own'] * 1000:.0f} µs the console's own: the answer through the reader, the receive "
          "thread and the reply handler, the engine's wake-up, the send thread.")
        w()
        w(f"Stalls of more than twice the median: {t['data_stalls']:.1f} data frames and {t['window_stalls']:.1f} "
          f"windows a run, adding {t['lost'] / 1000:.2f} s (median of the runs); they fall at no fixed place in "
          f"the stream. Beside them, {self.probe_text('Atmel')} At the median rates the engine's part would take "
          f"{self.atmel_steady() / 1000:,.2f} s, {self.atmel_steady() / engine.wire_total:.3f} of the wire floor.")
        w()
        r = self.read_out_trace()
        w(f"The read-out's windows follow one another every {r['window']:.3f} ms (median; mean "
          f"{r['window_mean']:.3f} ms), the console's own part {r['console_own'] * 1000:.0f} µs of each; "
          f"{r['stalls']:.1f} windows a run took over twice the median, adding {r['lost'] / 1000:.2f} s.")
        w()
        self.skipped_node()

    def skipped_node(self):
        w = self.write
        w("`EndToEndTiming.AtmelAlreadyRuns` starts the node with the same 32 KB image in its memory "
          "(`flash=` the file): the engine opens the node, reads its registers and its memory, finds the file's "
          "image, resets the node and shows \"The node already runs this file, so nothing was erased or "
          "written.\" From the warning's OK (\"Programming... Please Wait\") to that box it took "
          f"{spread(self.skipped, 2, 0.001)} s, against {spread(self.full, 2, 0.001)} s from the same line to "
          "the completion box of the full run above.")
        w()

    def atmel_trace(self):
        """The Atmel runs' frame and window periods from the bench's trace, in ms."""
        gaps = [atmel_periods(f)[:2] for f in self.atmel.folders]
        data_all = [p for data, _ in gaps for p in data]
        window_all = [p for _, windows in gaps for p in windows]
        consoles = [row[1] for f in self.atmel.folders for row in atmel_window_times(f)]
        word = 3 | STANDARD_MARKER
        console_wire = (answer_back_ms(word, [0] * 8, False) - bus_ms(8, False)
                        + line_ms(frame_bytes(word, [0, 0x7F, 0xF8, 0x7F, 0xFF])) + bus_ms(5, False))
        data, window = statistics.median(data_all), statistics.median(window_all)
        return {"data": data, "data_mean": statistics.mean(data_all), "window": window,
                "window_mean": statistics.mean(window_all), "console": statistics.median(consoles),
                "console_wire": console_wire, "console_own": statistics.median(consoles) - console_wire,
                "data_stalls": stalls(data_all, data)[0] / len(gaps),
                "window_stalls": stalls(window_all, window)[0] / len(gaps),
                "lost": median([stalls(d, statistics.median(d))[1] + stalls(v, statistics.median(v))[1]
                                for d, v in gaps])}

    def st10_section(self):
        w, engine, numbers = self.write, self.st10, self.st10.numbers
        w("### ST10")
        w()
        w(f"{numbers['lines']:,} hex lines, of which {numbers['waits']:,} are waited for (the others are a "
          f"multiple of 8 characters long). A line of {numbers['line_length']} characters (line feed included) "
          f"goes as {math.ceil(numbers['line_length'] / 8)} frames; its stop-and-wait on the wire (first frame's "
          "line time, the bus time of all its frames, the node's answer D4 01 on the bus and back over the line, "
          f"the console's Ack) is {numbers['line_wire']:.3f} ms. The commands' waits end with their answers.")
        w()
        w("| Step | Measured, ms | Wire floor, ms | Polling floor, ms | Above the wire floor, ms |")
        w("|---|---|---|---|---|")
        for row in engine.rows():
            w(row)
        w()
        self.st10_breakdown()

    def link(self):
        w = self.write
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
        w(f"| Queue to echo over the pty, median of each run | {spread(self.round_trip, 0)} µs |")
        w(f"| Same, 99th percentile of each run | {spread(self.round_trip_p99, 0)} µs |")
        w(f"| Frames per second through `CanDispatch` | {spread(self.frames_per_s, 0)} |")
        w()
        w("At 1500000 baud a queued 8-byte frame and its Ack take about "
          f"{line_ms(frame_bytes(0x38EF0110, [0] * 8)) + line_ms(ACK_BYTES):.2f} ms of line time, so the link never "
          "waits on itself at the rates the engines ask for (one frame every 10 ms, or a few frames a line).")
        w()

    def idle_and_memory(self):
        w, idle = self.write, self.idle
        wakeups = self.idle_wakeups()
        busiest = [m["idle_busiest_wakeups"] / m["idle_seconds"] for m in idle if "idle_busiest_wakeups" in m]
        seconds = median([m["idle_seconds"] for m in idle])
        tick = 1 / self.info["clock_ticks"]
        w("## 3. Idle CPU and memory")
        w()
        w("`EndToEndTiming.Idle` starts the uploader (one node on the bus), lets it settle 2 s after its main "
          "screen is up, then reads utime + stime of all its threads from /proc/PID/stat over "
          f"{seconds:.0f} s, their voluntary context switches (each one a "
          "wake-up) from /proc/PID/task/*/status, and VmHWM from /proc/PID/status; the programming runs read "
          "VmHWM again as their completion box goes up.")
        w()
        w("| Figure | Median of the runs (lowest – highest) |")
        w("|---|---|")
        w(f"| CPU while idle, % of one core | {spread(self.idle_cpu, 2)} |")
        w(f"| Wake-ups while idle, all threads, per second | {spread(wakeups, 1)} |")
        w(f"| Same, the thread that wakes most, per second | {spread(busiest, 1)} |")
        w(f"| CPU per wake-up while idle, all runs together, µs | {self.idle_cost(tick)} |")
        w(f"| Peak RSS after start-up, MB | {spread(self.rss_idle, 1, 1 / 1024)} |")
        w(f"| Peak RSS after a 32 KB programming run, MB | {spread(self.rss_run, 1, 1 / 1024)} |")
        w()
        w("While idle every thread of the uploader sleeps until something arrives: the main thread in poll on "
          "the control FIFO and its wake-up descriptor, the link's reader in poll on the port, the receive and "
          "send threads on their events. The one timed wake-up is the link's probe of an idle gateway: every 5 s "
          "the send thread writes an InfoRequest, and the reader and the receive thread wake for the InfoReply. "
          "The CPU time left is what the clock ticks charge to those sleepers and the wake-ups counted above. "
          f"The kernel counts it in clock ticks of {tick * 1000:.0f} ms, each charged whole to the thread it "
          f"finds running: one tick in {seconds:.0f} s is {100 * tick / seconds:.2f} % of a core, and a run's "
          "figure is a whole number of them, often none; hence the CPU per wake-up over all runs together.")
        w()

    def idle_cost(self, tick):
        """CPU per wake-up over all idle runs together, in µs, with the ticks and wake-ups it comes from."""
        ticks = round(sum(m["idle_cpu_seconds"] for m in self.idle) / tick)
        wakeups = sum(m["idle_wakeups"] for m in self.idle)
        if not wakeups:
            return "n/a: no wake-up"
        if not ticks:
            return f"under {1e6 * tick / wakeups:.0f} (no clock tick in {wakeups:.0f} wake-ups)"
        return f"{1e6 * ticks * tick / wakeups:.0f} ({ticks} clock ticks in {wakeups:.0f} wake-ups)"

    def idle_wakeups(self):
        return [m["idle_wakeups"] / m["idle_seconds"] for m in self.idle]

    def repainting(self):
        w = self.write
        st10_size = len(Path(self.st10.folders[0] / "image.hex").read_bytes())
        st10_steps = len(self.st10.wire)
        atmel_steps = len(self.atmel.wire)
        frames = self.atmel.numbers["frames"]
        st10_repaints = math.ceil(st10_size / (st10_size // 100)) + 1 + st10_steps
        atmel_repaints = 3 * (frames // (frames // 100)) + 1 + atmel_steps
        cross_ms = median(self.cross) / 1000
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
        w(f"| Full repaint on the user-interface thread, µs | {spread(self.repaint, 0)} |")
        w(f"| Repaint from the programming thread, µs | {spread(self.cross, 0)} |")
        w()
        w(f"An ST10 run of the {st10_size:,}-byte file repaints about {st10_repaints} times (0, then "
          f"{st10_repaints - 1 - st10_steps} progress values, and {st10_steps} status lines), so repaints take "
          f"about {st10_repaints * cross_ms:.0f} ms, {st10_repaints * cross_ms / median(self.st10.times):.2%} of "
          f"the engine's part. An Atmel run repaints about {atmel_repaints} times (0, then "
          f"{atmel_repaints - 1 - atmel_steps} progress values over the read-out, programming and verifying, and "
          f"{atmel_steps} "
          f"status lines): {atmel_repaints * cross_ms:.0f} ms, "
          f"{atmel_repaints * cross_ms / median([r['engine'] for r in self.atmel.runs]):.2%} of its engine's part "
          "with the read-out.")
        w()

    def batch(self):
        w = self.write
        times, queries = zip(*(self.batch_runs(test) for test in ("OneTouchOnAll", "ThreeSingleRuns")))
        longer = median(times[1]) - median(times[0])
        extra = median(queries[1]) - median(queries[0])
        w("## 5. Three nodes in one go")
        w()
        w("`benchmarks/BatchTiming`: three Alpha Nodes (Atmel) at positions 1, 2 and 4 on canbench with the "
          "1500000 baud line and the 250 kbit/s bus take one 8 KB image, first by one touch on \"All\", then in a "
          "fresh start by three single runs one after the other; every box is answered as soon as it is up. The "
          "time runs from the first touch of \"All\" (or of \"Node 1\") to the last \"Programming... Finished\"; "
          "the node queries after programming are counted in the uploader's log.")
        w()
        w("| | One \"All\" | Three single runs |")
        w("|---|---|---|")
        w(f"| Wall-clock time, s | {spread(times[0], 1)} | {spread(times[1], 1)} |")
        w("| Touches from the file on | 4 (file, \"All\", the warning's OK, the summary's OK) | 12 (file, node "
          "button, two OKs, for each node) |")
        w(f"| Node queries after programming | {spread(queries[0], 0)} | {spread(queries[1], 0)} |")
        w()
        w(f"The programming itself is the same in both. The three single runs took {abs(longer):.1f} s "
          f"{'longer' if longer >= 0 else 'less'} (medians) and made {extra:.0f} more node queries, of "
          f"{median(self.closings) / 1000:.2f} s each (a run's closing query, above); the batch spares the operator "
          "eight touches, and with them eight chances to touch the wrong node.")
        w()

    def batch_runs(self, test):
        """Each run's wall-clock seconds and its node queries after programming (the start-up's left out)."""
        folders = [self.folder(r, test, "BatchTiming") for r in self.runs]
        done = [f for f in folders if "seconds" in measurements(f)]
        return ([measurements(f)["seconds"] for f in done],
                [(f / "LOGFILE.txt").read_text().splitlines().count("Sending Cal Request:") - 1 for f in done])

    def probe_text(self, test):
        probes = [measurements(f) for f in self.done(test)]
        stalls_per_run = [m.get("probe_stalls") for m in probes]
        lost = [m.get("probe_stall_ms", 0) / 1000 for m in probes]
        return (f"a thread of the timing driver that does nothing but sleep 2 ms at a time woke more than 20 ms "
                f"late {spread(stalls_per_run, 0)} times a run during the same runs, {spread(lost, 2)} s in all.")

    def st10_trace(self):
        """The ST10 runs' waited lines from the bench's trace, in ms: each row (period, console, bus, node)."""
        rows = [row for folder in self.st10.folders for row in st10_line_times(folder)]
        parts = st10_line_parts(b"x" * self.st10.numbers["line_length"])
        wires = [self.st10.numbers["line_wire"], parts["back"] + parts["first"] + parts["frames"][0],
                 sum(parts["frames"][1:]), parts["answer"]]
        periods = sorted(r[0] for r in rows)
        typical = statistics.median(periods)
        slow = [p for p in periods if p > 2 * wires[0]]
        return {"rows": rows, "wires": wires, "periods": periods, "slow": slow,
                "slow_excess": sum(p - typical for p in slow) / len(self.st10.folders),
                "console_own": statistics.median(r[1] for r in rows) - wires[1]}

    def st10_breakdown(self):
        t = self.st10_trace()
        rows, wires, periods, slow = t["rows"], t["wires"], t["periods"], t["slow"]
        w = self.write
        w("Where a waited line's time goes, over every line of every run, from the bench's candump trace "
          "(stamps are taken when the bench delivers a frame on the bus):")
        w()
        w("| Per waited line | Median, ms | Mean, ms | Wire, ms |")
        w("|---|---|---|---|")
        names = ["Line to line (answer to answer)", "Console: answer delivered → next line's first frame delivered",
                 "Bus: first frame → last frame delivered", "Node: last frame → answer delivered"]
        for index, name in enumerate(names):
            values = [r[index] for r in rows]
            w(f"| {name} | {statistics.median(values):.3f} | {statistics.mean(values):.3f} | {wires[index]:.3f} |")
        w()
        w(f"Line periods: 50th percentile {percentile(periods, 0.5):.2f} ms, 90th {percentile(periods, 0.9):.2f} ms, "
          f"99th {percentile(periods, 0.99):.2f} ms, slowest {periods[-1]:.1f} ms. Lines slower than twice the "
          f"wire: {len(slow) / len(periods):.1%} of them, holding {sum(slow) / sum(periods):.1%} of the stream's "
          f"time; {self.probe_text('St10')} The console's share holds, besides its {wires[1]:.3f} ms of wire (the "
          "answer over the line, the console's Ack, the next line's first frame over the line and on the bus), "
          f"{t['console_own'] * 1000:.0f} µs (median) of the console's own: the answer through the reader, "
          "the receive thread and the reply handler, the engine's wake-up, queueing the line's frames and the "
          "send thread writing the first.")
        w()


def main():
    sys.stdout.write(Report(sys.argv[1]).build())


if __name__ == "__main__":
    main()
