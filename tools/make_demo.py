#!/usr/bin/python3
"""Writes the demo ride under examples/demo/: the route as a spreadsheet CSV
(route12.csv, turned into 12.hy3 by soratobi4-route at build time), its
announcement list 12tp.csv in code page 932, and the chimes, synthesised
here (WAV with the standard library, MP3 through `lame`, MIDI by hand).
Only this script needs lame; the build uses the committed files.
Run from the repository root: /usr/bin/python3 tools/make_demo.py"""
import math
import os
import struct
import subprocess
import tempfile
import wave

OUT = os.path.join("examples", "demo")
RATE = 22050

# A fictional city line: stop name, km from the first stop.
STOPS = [
    ("空見駅前", 0.0), ("本町一丁目", 0.5), ("市役所前", 1.1), ("市民病院前", 1.8),
    ("桜坂", 2.4), ("図書館前", 3.0), ("青葉台小学校", 3.9), ("風見橋", 4.6),
    ("若草団地", 5.4), ("中央公民館", 6.1), ("月見ヶ丘", 7.0), ("県営グラウンド前", 7.9),
    ("北浜三丁目", 8.6), ("水鳥公園", 9.5), ("鷺沼", 10.3), ("工業団地入口", 11.2),
    ("東雲高校前", 12.0), ("丘の上ニュータウン", 13.1), ("星見台", 14.0), ("空見台ターミナル", 15.2),
]


def fare(km):
    # 180 yen for the first 2 km, then 30 yen for each started kilometre.
    return 180 + 30 * max(0, math.ceil(km - 2.0 - 1e-9))


def route_csv():
    lines = []
    for i, (name, km) in enumerate(STOPS, start=1):
        # Column c is ticket number c: boarded at stop c, fare to stop i.
        cols = [str(fare(km - STOPS[c - 1][1])) for c in range(1, i + 1)]
        lines.append(",".join([name, str(i)] + cols))
    return "\r\n".join(lines) + "\r\n"


def tape_csv():
    last = len(STOPS)
    lines = []
    for i, (name, _) in enumerate(STOPS, start=1):
        if i == 1:
            text, sound = f"ご乗車ありがとうございます。このバスは、{STOPS[-1][0]}行きです。発車します。", 3
        elif i == last:
            text, sound = f"次は、終点、{name}です。お忘れ物のないよう、ご注意ください。", 2
        else:
            text, sound = f"次は、{name}です。お降りの方は、ボタンでお知らせください。", 1
        lines.append(f'"{text}",1,{sound}')
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


def tone(freqs, seconds, decay, volume=0.5, start=0.0):
    """A bell-like note: partials with an exponential decay."""
    n = int(RATE * seconds)
    out = []
    for k in range(n):
        t = k / RATE
        env = math.exp(-t * decay) * min(1.0, t / 0.004)
        s = sum(a * math.sin(2 * math.pi * f * t) for f, a in freqs)
        out.append(volume * env * s)
    return start, out


def mix(notes, seconds):
    buf = [0.0] * int(RATE * seconds)
    for start, samples in notes:
        o = int(RATE * start)
        for k, v in enumerate(samples):
            if o + k < len(buf):
                buf[o + k] += v
    peak = max(1e-9, max(abs(v) for v in buf))
    return [v / peak * 0.8 for v in buf]


def bell(f):
    return [(f, 1.0), (f * 2.0, 0.35), (f * 3.01, 0.12)]


def write_wav(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(v * 32767)) for v in samples))


def write_mp3(path, samples):
    with tempfile.TemporaryDirectory() as d:
        tmp = os.path.join(d, "t.wav")
        write_wav(tmp, samples)
        subprocess.run(["lame", "--quiet", "-m", "m", "-b", "48", tmp, path], check=True)


def write_midi(path, notes, program, tempo_us=500000):
    """A format-0 file: (start beat, length beat, key) on channel 0."""
    tpq = 480
    events = []
    for start, length, key in notes:
        events.append((int(start * tpq), 0x90, key, 96))
        events.append((int((start + length) * tpq), 0x80, key, 0))
    events.sort(key=lambda e: (e[0], e[1] == 0x90))

    def vlq(v):
        b = [v & 0x7F]
        while v > 0x7F:
            v >>= 7
            b.insert(0, (v & 0x7F) | 0x80)
        return bytes(b)

    track = b"\x00\xff\x51\x03" + tempo_us.to_bytes(3, "big") + b"\x00\xc0" + bytes([program])
    now = 0
    for tick, status, key, vel in events:
        track += vlq(tick - now) + bytes([status, key, vel])
        now = tick
    track += b"\x00\xff\x2f\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, tpq))
        f.write(b"MTrk" + struct.pack(">I", len(track)) + track)


def main():
    snd = os.path.join(OUT, "sounds")
    os.makedirs(snd, exist_ok=True)
    with open(os.path.join(OUT, "route12.csv"), "w", encoding="utf-8", newline="") as f:
        f.write(route_csv())
    with open(os.path.join(OUT, "12tp.csv"), "wb") as f:
        f.write(tape_csv())

    # Route set: a rising two-tone call (MP3).
    write_mp3(os.path.join(snd, "keito.mp3"),
              mix([tone(bell(784), 1.0, 3.5), tone(bell(1047), 1.2, 3.0, start=0.35)], 1.6))
    # Reset: three short beeps (WAV).
    write_wav(os.path.join(snd, "reset.wav"),
              mix([tone([(1200, 1.0)], 0.09, 8, start=s) for s in (0.0, 0.15, 0.30)], 0.45))
    # Step: one soft knock (WAV).
    write_wav(os.path.join(snd, "step.wav"), mix([tone(bell(660), 0.35, 12)], 0.35))
    # Next stop: four bells (MIDI, tubular bells).
    write_midi(os.path.join(snd, "next.mid"),
               [(0, 0.9, 76), (0.5, 0.9, 72), (1.0, 0.9, 74), (1.5, 1.6, 67)], program=14)
    # Terminus: a falling then rising phrase (MP3).
    write_mp3(os.path.join(snd, "terminus.mp3"),
              mix([tone(bell(f), 1.0, 3.0, start=s)
                   for f, s in ((1047, 0.0), (880, 0.3), (784, 0.6), (1047, 0.9))], 2.2))
    # Departure: a major triad (WAV).
    write_wav(os.path.join(snd, "depart.wav"),
              mix([tone(bell(f), 1.0, 3.5, start=s) for f, s in ((523, 0.0), (659, 0.2), (784, 0.4))], 1.4))


if __name__ == "__main__":
    main()
