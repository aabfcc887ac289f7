#!/usr/bin/python3
"""The leaderboard in Chromium against brolix-scored on a seeded database: laid out and readable
at every width and scheme, and every record link downloads a file the game shows (needs an X display)."""
import argparse
import json
import os
import select
import shutil
import subprocess
import sys
import tempfile
import urllib.request

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.wait import WebDriverWait

WIDTHS = (320, 390, 1280, 1920, 2560)   # the narrowest phone to a large desktop
SCHEMES = ("light", "dark")

# Returns one line per fault of the page as laid out now.
LAYOUT_FAULTS = r"""
const faults = [];
const say = (text) => faults.push(text);
const contents = (el) => { const range = document.createRange(); range.selectNodeContents(el); return range; };
const lines = (el) => new Set([...contents(el).getClientRects()].filter((r) => r.width > 0).map((r) => Math.round(r.top))).size;
const label = (el) => el.closest('section').querySelector('h2').textContent + ' / ' +
                      el.closest('table').querySelector('caption').textContent.trim();
const root = document.documentElement;
if (root.scrollWidth > root.clientWidth) say(`the page is ${root.scrollWidth - root.clientWidth} px wider than the window`);
for (const cell of document.querySelectorAll('tbody tr:not(:has(.empty)) td:nth-child(2)'))
  if (lines(cell) !== 1) say(`${label(cell)}: "${cell.textContent}" takes ${lines(cell)} lines`);
for (const table of document.querySelectorAll('table')) {
  const section = table.closest('section').getBoundingClientRect(), box = table.getBoundingClientRect();
  if (box.left < section.left - 0.5 || box.right > section.right + 0.5) say(`${label(table)}: the table runs past its section`);
  for (const other of table.closest('.grid').querySelectorAll('table')) {
    const o = other.getBoundingClientRect();
    if (other !== table && box.left < o.right - 0.5 && o.left < box.right - 0.5 && box.top < o.bottom - 0.5 && o.top < box.bottom - 0.5)
      say(`${label(table)}: overlaps ${label(other)}`);
  }
  // The header is one row of cells: a text that stays in its own cell runs into no other.
  for (const cell of table.querySelectorAll('thead th, tbody td')) {
    const text = contents(cell).getBoundingClientRect(), box = cell.getBoundingClientRect();
    if (text.width > 0 && (text.left < box.left - 0.5 || text.right > box.right + 0.5)) say(`${label(table)}: "${cell.textContent}" spills out of its cell`);
  }
}
// WCAG contrast of every text against the background it is drawn on.
const rgb = (text) => (text.match(/[\d.]+/g) || []).map(Number);
const luminance = ([r, g, b]) => [r, g, b].map((c) => { c /= 255; return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4; })
                                        .reduce((sum, c, i) => sum + c * [0.2126, 0.7152, 0.0722][i], 0);
const canvas = document.createElement('div');
canvas.style.background = 'Canvas';
document.body.append(canvas);
const page = rgb(getComputedStyle(canvas).backgroundColor);
canvas.remove();
const background = (el) => {
  for (; el; el = el.parentElement) { const c = rgb(getComputedStyle(el).backgroundColor); if (c.length === 3 || c[3] > 0) return c; }
  return page;
};
for (const el of document.querySelectorAll('h1, h2, p, caption, th, td, a, span')) {
  if (![...el.childNodes].some((n) => n.nodeType === 3 && n.textContent.trim()) || el.closest('.hidden')) continue;
  const fg = luminance(rgb(getComputedStyle(el).color)), bg = luminance(background(el));
  const ratio = (Math.max(fg, bg) + 0.05) / (Math.min(fg, bg) + 0.05);
  if (ratio < 4.5) say(`"${el.textContent.trim().slice(0, 30)}" has a contrast of ${ratio.toFixed(2)}`);
}
return faults;
"""


def wait_for(what, condition, seconds):
    """Polls until condition() gives something true, which it returns; TimeoutException names `what`."""
    return WebDriverWait(None, seconds, poll_frequency=0.05).until(lambda _: condition(), what)


def start_server(scored, db):
    server = subprocess.Popen([scored, "--port", "0", "--db", db, "--trust-unverified"],
                              stdout=subprocess.PIPE, text=True)
    ready, _, _ = select.select([server.stdout], [], [], 20)
    line = server.stdout.readline() if ready else ""
    if "http://" not in line:
        server.kill()
        raise RuntimeError("brolix-scored did not start")
    return server, line.split()[-1].rstrip("/")


def browser(downloads):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--hide-scrollbars", "--window-size=1920,1080"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
    return driver


def show(driver, url, width, scheme):
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": 900, "deviceScaleFactor": 1, "mobile": width < 600})
    driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                           {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
    driver.get(url)


def check_feed(url, driver, say):
    """The feed holds what the page shows; its record links are the ones clicked, so the page must have them."""
    with urllib.request.urlopen(url + "/scores.json") as answer:
        feed = json.load(answer)
    shown = driver.execute_script("""return [...document.querySelectorAll('table')].map((t) => [...t.querySelectorAll('tbody tr')]
        .filter((tr) => !tr.querySelector('.empty')).map((tr) => [...tr.children].map((c) => c.textContent)));""")
    fed = [[[str(r["place"]), r["name"], r["result"], r["date"], "record" if r["record"] else "unverified"]
            for r in board["rows"]] for board in feed["boards"]]
    if shown != fed:
        say("the feed does not hold what the page shows")
    return [r["record"] for board in feed["boards"] for r in board["rows"] if r["record"]]


def game_accepts(command, record, home, env=os.environ):
    """None when the game shows the record, else what went wrong. The game reads and
    replays the whole file before its window opens: a window means it took the file."""
    env = dict(env, XDG_DATA_HOME=home, XDG_STATE_HOME=home, ALSOFT_CONF=os.path.join(home, "alsoft.conf"))
    game = subprocess.Popen(command + [record], env=env, stderr=subprocess.PIPE, text=True)
    try:
        def window():
            if game.poll() is not None:
                return "gone"
            found = subprocess.run(["xdotool", "search", "--name", "^Brolix$"], capture_output=True, text=True).stdout.split()
            return found[0] if found else None
        shown = wait_for("the game's window", window, 60)
        if shown == "gone":
            return f"exit {game.returncode}: {game.stderr.read().strip()}"
        # Escape leaves once the game plays; while it loads, a press goes unseen.
        def escaped():
            subprocess.run(["xdotool", "windowfocus", "--sync", shown, "key", "Escape"], timeout=20)
            try:
                return str(game.wait(timeout=0.5))
            except subprocess.TimeoutExpired:
                return None
        status = wait_for("the game to leave at Escape", escaped, 60)
        return None if status == "0" else f"exit {status} after Escape"
    except TimeoutException as waited:
        return f"no end of waiting for {waited.msg}"
    finally:
        if game.poll() is None:
            game.kill()
            game.wait()


def desktop(cmake, build, home):
    """The environment of a scratch desktop with the game installed."""
    stage = os.path.join(home, "usr")
    subprocess.run([cmake, "--install", build, "--prefix", stage], check=True, stdout=subprocess.DEVNULL, timeout=300)
    share = os.path.join(stage, "share")
    env = {k: v for k, v in os.environ.items() if not k.startswith(("XDG_", "DESKTOP_SESSION", "KDE_", "GNOME_"))}
    env.update(XDG_DATA_DIRS=share + ":/usr/share", XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_CONFIG_DIRS=os.path.join(home, "config"))
    subprocess.run(["update-mime-database", os.path.join(share, "mime")], env=env, check=True, timeout=60)
    subprocess.run(["update-desktop-database", os.path.join(share, "applications")], env=env, check=True, timeout=60)
    return env


def check_downloads(url, driver, links, downloads, args, say):
    home = tempfile.mkdtemp(prefix="brolix-watch-", dir=downloads)
    with open(os.path.join(home, "alsoft.conf"), "w") as conf:
        conf.write(f"[general]\ndrivers=wave\nchannels=mono\nsample-type=int16\n[wave]\nfile={home}/sound.wav\n")
    installed = desktop(args.cmake, args.build, home)
    show(driver, url, 1280, "light")
    if not links:
        say("no record to download")
    for i, link in enumerate(links):
        name = f"brolix-{link.rsplit('=', 1)[1]}.brxr"
        driver.find_element("css selector", f'a[href="{link}"]').click()
        path = os.path.join(downloads, name)
        try:
            wait_for(name, lambda: os.path.exists(path) and not os.path.exists(path + ".crdownload"), 20)
        except TimeoutException:
            say(f"{link} did not download as {name}")
            continue
        # By the option, as a file manager passes it, and (the last) by a double click on the desktop:
        # xdg-open fails unless the installed type and association send the file to the game.
        if i == len(links) - 1:
            fault = game_accepts(["xdg-open"], path, home, installed)
        else:
            fault = game_accepts([args.brolix] + (["--replay"] if i % 2 == 0 else []), path, home)
        if fault:
            say(f"the game does not show {name}: {fault}")


def main():
    parser = argparse.ArgumentParser()
    for name in ("--scored", "--seed", "--brolix", "--cmake", "--build"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    faults = []
    work = tempfile.mkdtemp(prefix="brolix-browser-")
    server = driver = None
    try:
        db = os.path.join(work, "scores.db")
        subprocess.run([args.seed, db], check=True, timeout=120)
        server, url = start_server(args.scored, db)
        downloads = os.path.join(work, "downloads")
        os.mkdir(downloads)
        driver = browser(downloads)
        for width in WIDTHS:
            for scheme in SCHEMES:
                show(driver, url + "/", width, scheme)
                if driver.execute_script("return document.documentElement.clientWidth") != width:
                    faults.append(f"{width} px {scheme}: the window is not {width} px wide")
                faults += [f"{width} px {scheme}: {fault}" for fault in driver.execute_script(LAYOUT_FAULTS)]
        links = check_feed(url, driver, faults.append)
        check_downloads(url, driver, links, downloads, args, faults.append)
        print(f"{len(WIDTHS) * len(SCHEMES)} layouts and {len(links)} records looked at")
    finally:
        if driver:
            driver.quit()
        if server:
            server.terminate()
            server.wait(timeout=20)
        shutil.rmtree(work, ignore_errors=True)
    for fault in faults:
        print("FAULT:", fault)
    print(f"{len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
