#!/usr/bin/env python3
"""Builds resources/alarm.wav and resources/tick.wav.

The alarm is synthesised with sox and encoded with lame, then wrapped in a
WAVE file carrying MPEG Layer-3 data, so PlaySound can hand it to the stock
MP3 codec and the resource stays small. The tick is 8-bit PCM, computed here.

Output is deterministic: running the script twice gives identical bytes.
Needs sox and lame on PATH (Debian packages: sox, lame).
"""

import array
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

RATE = 8000

# At 8 kHz the stream is MPEG-2.5 Layer III: 576 samples per frame, and at
# 16 kbit/s every frame is exactly 72 * 16000 / 8000 = 144 bytes, so there is
# never a padding byte and the average is exactly 2000 bytes per second.
BITRATE_KBPS = 16
SAMPLES_PER_FRAME = 576
FRAME_BYTES = 144
ALARM_FRAMES = 38
# 36 frames of audio; lame adds its start delay and flushes to 38 frames.
ALARM_INPUT_SAMPLES = 20480

# lame's own encoder delay (576) plus the 529-sample delay of the decoder's
# synthesis filterbank, measured by round-tripping a tone onset.
CODEC_DELAY = 1105

TICK_BYTES = 468

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT_DIR = os.path.join(ROOT, "resources")


def fail(message):
    sys.exit("make-sounds: " + message)


# --- RIFF --------------------------------------------------------------------


def chunk(tag, payload):
    assert len(tag) == 4
    data = tag + struct.pack("<I", len(payload)) + payload
    if len(payload) % 2:
        data += b"\0"  # chunks start on even offsets; the pad is not counted
    return data


def riff_wave(chunks):
    body = b"WAVE" + b"".join(chunk(tag, payload) for tag, payload in chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def write_file(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


# --- alarm -------------------------------------------------------------------


def sox_tone(freq, seconds, gain_db):
    """One sine tone as signed 16-bit samples, with short fades against clicks."""
    cmd = [
        "sox", "-R", "-D",  # repeatable, and no dither noise
        "-r", str(RATE), "-n",
        "-t", "raw", "-e", "signed-integer", "-b", "16", "-c", "1", "-L", "-",
        "synth", "%.4f" % seconds, "sine", "%.2f" % freq,
        "fade", "h", "0.004", "%.4f" % seconds, "0.012",
        "gain", "%.1f" % gain_db,
    ]
    raw = subprocess.run(cmd, check=True, stdout=subprocess.PIPE).stdout
    samples = array.array("h")
    samples.frombytes(raw)
    if sys.byteorder != "little":
        samples.byteswap()
    return samples


def beep(freq, seconds):
    # A quiet octave above gives the beep some edge on small laptop speakers.
    fundamental = sox_tone(freq, seconds, -4.0)
    overtone = sox_tone(freq * 2, seconds, -18.0)
    n = min(len(fundamental), len(overtone))
    return [fundamental[i] + overtone[i] for i in range(n)]


def alarm_pcm():
    low = beep(1046.5, 0.100)  # C6
    high = beep(1318.5, 0.100)  # E6, a major third up: bright, not harsh

    def silence(seconds):
        return [0] * int(round(seconds * RATE))

    # Three bursts of four alternating beeps. The long gap after each burst
    # also separates the repeats when the sound is played in a loop.
    burst = low + silence(0.030) + high + silence(0.030) + low + silence(0.030) + high
    pcm = silence(0.020)
    for _ in range(3):
        pcm += burst + silence(0.350)
    pcm += silence(0.020)
    if len(pcm) > ALARM_INPUT_SAMPLES:
        fail("alarm pattern is %d samples, longer than %d" % (len(pcm), ALARM_INPUT_SAMPLES))
    pcm += [0] * (ALARM_INPUT_SAMPLES - len(pcm))
    for v in pcm:
        if not -32768 <= v <= 32767:
            fail("alarm pattern clips")
    return array.array("h", pcm)


def write_pcm16_wav(path, samples):
    data = array.array("h", samples)
    if sys.byteorder != "little":
        data.byteswap()
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    write_file(path, riff_wave([(b"fmt ", fmt), (b"data", data.tobytes())]))


def encode_mp3(pcm):
    tmp = tempfile.mkdtemp(prefix="vantorel-sounds-")
    try:
        src = os.path.join(tmp, "alarm.wav")
        dst = os.path.join(tmp, "alarm.mp3")
        # lame reads a file rather than stdin: its raw stdin reader seeks.
        write_pcm16_wav(src, pcm)
        subprocess.run(
            [
                "lame", "--silent",
                "-m", "m", "-b", str(BITRATE_KBPS), "--cbr", "--resample", "8",
                # No Xing/LAME info frame and no ID3 tags: the data chunk must
                # hold nothing but plain audio frames for the codec.
                "-t", "--noreplaygain", "--strictly-enforce-ISO",
                src, dst,
            ],
            check=True,
        )
        with open(dst, "rb") as f:
            return f.read()
    finally:
        shutil.rmtree(tmp)


def check_mp3(stream):
    """Fails unless stream is exactly ALARM_FRAMES frames of 8 kHz mono 16 kbit/s."""
    if stream[:3] == b"ID3" or b"TAG" == stream[-128:-125]:
        fail("lame wrote an ID3 tag")
    if len(stream) != ALARM_FRAMES * FRAME_BYTES:
        fail("MP3 stream is %d bytes, expected %d frames of %d"
             % (len(stream), ALARM_FRAMES, FRAME_BYTES))
    for n in range(ALARM_FRAMES):
        pos = n * FRAME_BYTES
        h = struct.unpack(">I", stream[pos:pos + 4])[0]
        fields = {
            "sync": (h >> 21) & 0x7FF,
            "version": (h >> 19) & 3,  # 0 = MPEG-2.5
            "layer": (h >> 17) & 3,  # 1 = Layer III
            "bitrate": (h >> 12) & 15,  # 2 = 16 kbit/s in MPEG-2/2.5 Layer III
            "rate": (h >> 10) & 3,  # 2 = 8000 Hz in MPEG-2.5
            "padding": (h >> 9) & 1,
            "mode": (h >> 6) & 3,  # 3 = single channel
        }
        want = {"sync": 0x7FF, "version": 0, "layer": 1, "bitrate": 2, "rate": 2,
                "padding": 0, "mode": 3}
        if fields != want:
            fail("frame %d header %08x: got %r, want %r" % (n, h, fields, want))
    first = stream[:FRAME_BYTES]
    if b"Xing" in first or b"Info" in first or b"LAME" in first:
        fail("lame wrote an info frame")


def alarm_wav(stream):
    # MPEGLAYER3WAVEFORMAT: WAVEFORMATEX plus 12 bytes. Block align 1 and 0
    # bits per sample are what the MP3 codec itself reports for this format.
    fmt = struct.pack(
        "<HHIIHHH",
        85,  # WAVE_FORMAT_MPEGLAYER3
        1,
        RATE,
        BITRATE_KBPS * 1000 // 8,
        1,
        0,
        12,
    ) + struct.pack(
        "<HIHHH",
        1,  # MPEGLAYER3_ID_MPEG
        2,  # MPEGLAYER3_FLAG_PADDING_OFF: no frame here carries a pad byte
        FRAME_BYTES,
        1,
        CODEC_DELAY,
    )
    fact = struct.pack("<I", ALARM_FRAMES * SAMPLES_PER_FRAME)
    return riff_wave([(b"fmt ", fmt), (b"fact", fact), (b"data", stream)])


# --- tick --------------------------------------------------------------------


def tick_samples():
    """A short, dry click: a noise transient over two fast-decaying partials."""
    seed = 0x2545F491
    out = bytearray()
    for i in range(TICK_BYTES):
        t = i / RATE
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noise = (seed / 0x3FFFFFFF) - 1.0
        v = (
            0.45 * noise * math.exp(-t / 0.0007)
            + 0.55 * math.sin(2 * math.pi * 2600 * t) * math.exp(-t / 0.0045)
            + 0.35 * math.sin(2 * math.pi * 1250 * t) * math.exp(-t / 0.0090)
        )
        # A few samples of attack keep the first step from being a hard edge.
        v *= min(1.0, i / 3.0)
        s = 128 + int(round(127 * max(-1.0, min(1.0, v))))
        out.append(s)
    # Settle exactly on the midpoint so back-to-back ticks don't pop.
    for i in range(TICK_BYTES - 16, TICK_BYTES):
        out[i] = 128
    return bytes(out)


def tick_wav():
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE, 1, 8)
    return riff_wave([(b"fmt ", fmt), (b"data", tick_samples())])


def main():
    for tool in ("sox", "lame"):
        if shutil.which(tool) is None:
            fail("%s not found (apt-get install %s)" % (tool, tool))
    stream = encode_mp3(alarm_pcm())
    check_mp3(stream)
    write_file(os.path.join(OUT_DIR, "alarm.wav"), alarm_wav(stream))
    write_file(os.path.join(OUT_DIR, "tick.wav"), tick_wav())


if __name__ == "__main__":
    main()
