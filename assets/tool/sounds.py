"""A small synthesiser: sound recipes (JSON) to 16-bit mono WAV and Ogg Vorbis."""
import json
import os
import struct
import subprocess
import tempfile

import numpy as np

RATE = 44100


def _envelope(n, attack, decay):
    t = np.arange(n) / RATE
    env = np.exp(-np.maximum(t - attack, 0) / decay) if decay else np.ones(n)
    if attack > 0:
        env *= np.minimum(t / attack, 1.0)
    tail = min(n, int(0.004 * RATE))
    env[n - tail:] *= np.linspace(1, 0, tail)   # no click at the cut
    return env


def _wave(kind, phase):
    if kind == 'sine':
        return np.sin(phase)
    frac = (phase / (2 * np.pi)) % 1.0
    if kind == 'triangle':
        return 4 * np.abs(frac - 0.5) - 1
    if kind == 'square':
        return np.tanh(np.sin(phase) * 4) * 0.8  # soft edges, less harsh
    if kind == 'saw':
        return 2 * frac - 1
    raise ValueError('unknown wave ' + kind)


def _tone(layer, n):
    t = np.arange(n) / RATE
    f0 = layer['freq']
    f1 = layer.get('freq_end', f0)
    freq = f0 * (f1 / f0) ** (t / max(t[-1], 1e-9)) if f1 != f0 else np.full(n, float(f0))
    if 'vibrato' in layer:
        rate, depth = layer['vibrato']
        freq = freq * (1 + depth * np.sin(2 * np.pi * rate * t))
    phase = 2 * np.pi * np.cumsum(freq) / RATE
    harmonics = layer.get('harmonics', [1])
    out = sum(a * _wave(layer['wave'], phase * (i + 1)) for i, a in enumerate(harmonics))
    return out / sum(harmonics)


def _noise(layer, n, rng):
    white = rng.uniform(-1, 1, n)
    c0 = layer.get('cutoff', 20000)
    c1 = layer.get('cutoff_end', c0)
    cut = c0 * (c1 / c0) ** (np.arange(n) / max(n - 1, 1))
    alpha = 1 - np.exp(-2 * np.pi * cut / RATE)
    out = np.empty(n)
    y = 0.0
    for i in range(n):   # one-pole low-pass with a moving cut-off
        y += alpha[i] * (white[i] - y)
        out[i] = y
    return out / max(np.abs(out).max(), 1e-9)


def render(recipe):
    """Float samples in -1..1 of a recipe, peak at recipe['peak_db'] dBFS."""
    total = int(recipe['seconds'] * RATE)
    mix = np.zeros(total)
    rng = np.random.default_rng(recipe.get('seed', 0))
    for layer in recipe['layers']:
        start = int(layer['start'] * RATE)
        n = min(int(layer['dur'] * RATE), total - start)
        part = _tone(layer, n) if layer['type'] == 'tone' else _noise(layer, n, rng)
        mix[start:start + n] += layer['gain'] * part * _envelope(n, layer.get('attack', 0.002),
                                                                  layer.get('decay', 0))
    fade = int(0.002 * RATE)
    mix[:fade] *= np.linspace(0, 1, fade)
    return mix * (10 ** (recipe['peak_db'] / 20) / np.abs(mix).max())


def wav_bytes(samples):
    pcm = np.round(samples * 32767).astype('<i2').tobytes()
    fmt = struct.pack('<HHIIHH', 1, 1, RATE, RATE * 2, 2, 16)
    return (b'RIFF' + struct.pack('<I', 36 + len(pcm)) + b'WAVE' + b'fmt ' + struct.pack('<I', 16) + fmt
            + b'data' + struct.pack('<I', len(pcm)) + pcm)


def build(recipe_path, out_dir):
    """Write the sound of one recipe; returns the file name."""
    with open(recipe_path) as f:
        recipe = json.load(f)
    name = os.path.splitext(os.path.basename(recipe_path))[0]
    data = wav_bytes(render(recipe))
    if recipe['format'] == 'wav':
        target = os.path.join(out_dir, name + '.wav')
        with open(target, 'wb') as f:
            f.write(data)
        return target
    target = os.path.join(out_dir, name + '.ogg')
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, name + '.wav')
        with open(src, 'wb') as f:
            f.write(data)
        subprocess.run(['oggenc', '-Q', '-q', '5', '-s', str(recipe['serial']), '-o', target, src], check=True)
    return target
