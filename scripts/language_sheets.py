#!/usr/bin/python3
"""Contact sheets of what the game says outside its pictures, in every language: the
start-up dialog (the real program on a private Xvfb) and the help page's paragraphs on
languages and on the letters of names (headless Chromium), each at 1x and 2x. The drawn screens have their own sheets (assets/preview.py).

usage: language_sheets.py RUNTIME_DIR OUT_DIR      (RUNTIME_DIR: build/app)
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageDraw, ImageFont

FONT = '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf'
WAIT = 30   # seconds a window or a page may take on a loaded machine


def languages(runtime):
    return ['en'] + sorted(os.listdir(os.path.join(runtime, 'locale')))


def start_xvfb():
    """A private X server on a free display number; (process, DISPLAY)."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(write), '-screen', '0', '1600x1200x24', '-noreset'],
                            pass_fds=[write], stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        return xvfb, ':' + f.readline().strip()


def poll(what, step=0.05):
    end = time.monotonic() + WAIT
    while time.monotonic() < end:
        found = what()
        if found:
            return found
        time.sleep(step)
    raise RuntimeError('gave up waiting')


def dialog_shot(game, env, out):
    """The start-up dialog as it first shows, captured once two captures agree."""
    run = subprocess.Popen([os.path.join(game, 'brolix')], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = poll(lambda: subprocess.run(['xdotool', 'search', '--onlyvisible', '--classname', 'brolix'], env=env,
                                             capture_output=True, text=True).stdout.split())[0]
        shots = []

        def settled():
            subprocess.run(['import', '-window', window, out], env=env, check=True)
            shots.append(open(out, 'rb').read())
            return len(shots) > 1 and shots[-1] == shots[-2]
        poll(settled, 0.3)
    finally:
        run.send_signal(signal.SIGTERM)
        run.wait()


def dialogs(runtime, work, display, scale):
    game = os.path.join(work, 'game')
    if not os.path.isdir(game):
        os.makedirs(game)
        shutil.copy(os.path.join(runtime, 'brolix'), game)
        for folder in ('data', 'locale'):
            shutil.copytree(os.path.join(runtime, folder), os.path.join(game, folder), symlinks=True)
    shots = []
    for code in languages(runtime):
        env = dict(os.environ, DISPLAY=display, LANG='C.UTF-8', LANGUAGE=code, GDK_SCALE=str(scale))
        env.pop('LC_ALL', None), env.pop('LC_MESSAGES', None)
        out = os.path.join(work, 'dialog-%s-%dx.png' % (code, scale))
        dialog_shot(game, env, out)
        shots.append((code, out))
    return shots


# Headless screenshots do not scroll: the page shows only its languages and the letters a name takes.
ONLY_LANGUAGES = ('<style>nav, header p, main > :not(#languages):not(#spoken):not(#names) { display: none }</style>')


def help_pages(runtime, work, scale):
    shots = []
    help_folder = os.path.join(runtime, 'data', 'help')
    for code in languages(runtime):
        with open(os.path.join(help_folder, 'index.html' if code == 'en' else 'index.%s.html' % code), encoding='utf-8') as f:
            text = f.read()
        page = os.path.join(work, 'help-%s.html' % code)
        with open(page, 'w', encoding='utf-8') as f:
            f.write(text.replace('<head>', '<head><base href="file://%s/">%s' % (help_folder, ONLY_LANGUAGES), 1))
        out = os.path.join(work, 'help-%s-%dx.png' % (code, scale))
        # A profile of its own: with another Chromium's, this one would hand the page over and write nothing.
        subprocess.run(['chromium', '--headless', '--no-sandbox', '--disable-gpu', '--hide-scrollbars',
                        '--user-data-dir=' + os.path.join(work, 'chromium'),
                        '--force-device-scale-factor=%d' % scale, '--window-size=720,480', '--screenshot=' + out,
                        'file://' + page], check=True, capture_output=True, timeout=WAIT * 4)
        shots.append((code, out))
    return shots


def sheet(shots, columns, out):
    """The pictures in a grid, each under its language's code."""
    pictures = [(code, Image.open(path).convert('RGB')) for code, path in shots]
    width = max(p.width for _, p in pictures)
    height = max(p.height for _, p in pictures)
    font = ImageFont.truetype(FONT, max(14, height // 40))
    label = font.size + 10
    rows = (len(pictures) + columns - 1) // columns
    canvas = Image.new('RGB', (columns * (width + 10) + 10, rows * (height + label + 10) + 10), (40, 40, 40))
    draw = ImageDraw.Draw(canvas)
    for k, (code, picture) in enumerate(pictures):
        x, y = 10 + (k % columns) * (width + 10), 10 + (k // columns) * (height + label + 10)
        draw.text((x, y), code, fill=(255, 255, 255), font=font)
        canvas.paste(picture, (x, y + label))
    if out.endswith('.jpg'):
        canvas.save(out, quality=80, optimize=True)
    else:
        canvas.save(out, optimize=True)


def main(runtime, out):
    runtime = os.path.abspath(runtime)
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        xvfb, display = start_xvfb()
        try:
            for scale in (1, 2):
                sheet(dialogs(runtime, work, display, scale), 5, os.path.join(out, 'dialog-%dx.png' % scale))
        finally:
            xvfb.terminate()
            xvfb.wait()
        for scale in (1, 2):
            sheet(help_pages(runtime, work, scale), 5, os.path.join(out, 'help-%dx.jpg' % scale))


if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(*sys.argv[1:])
