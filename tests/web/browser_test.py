#!/usr/bin/env python3
"""The show's page in a real browser: headless Chromium (Debian's chromium and chromium-driver,
driven by Selenium) against the real `ktr --play` playing to a GPIO chip faked under libgpiod,
which logs every level it is given. The page is opened with the key, boxes are clicked, START is
pressed, the marker is watched, the chip must get the clicked pattern, the speed is changed and
the effect saved, and the file's bytes are checked.

Usage: browser_test.py KTR FAKE_GPIO_PRELOAD [--skip REASON]
Exit 77 (skipped) with the reason when the build cannot run it (sanitizers, qemu-user).
"""
import json
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

SKIPPED = 77
STEPS, CHANNELS = 22, 12


def skip(reason):
    print(f"SKIP   : tst_web_browser {reason}")
    sys.exit(SKIPPED)


def fail(message):
    print(f"FAIL!  : tst_web_browser {message}")
    sys.exit(1)


def effect_bytes(rows, enabled, speed):
    """An effect file as the program writes it: 22 rows, the speed, the enable line, CR LF."""
    out = b""
    for step in range(1, STEPS + 1):
        out += rows.get(step, "0" * CHANNELS).encode() + b"\r\n"
    out += str(speed).encode() + b"\r\n"
    out += "".join("x" if s in enabled else "0" for s in range(1, STEPS + 1)).encode() + b"\r\n"
    return out


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def api(base, method, path, key=None, body=None):
    request = urllib.request.Request(base + path, method=method,
                                     data=None if body is None else json.dumps(body).encode())
    if key:
        request.add_header("Authorization", "Bearer " + key)
    try:
        with urllib.request.urlopen(request, timeout=5) as response:
            return response.status, json.loads(response.read())
    except urllib.error.HTTPError as error:
        return error.code, json.loads(error.read() or b"{}")


def wait_for(what, predicate, timeout=15.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    fail(f"timed out waiting for {what}")


def main():
    args = sys.argv[1:]
    if "--skip" in args:
        skip(args[args.index("--skip") + 1])
    if os.environ.get("KTR_TEST_NO_CHILD_PROCESSES"):
        skip(os.environ["KTR_TEST_NO_CHILD_PROCESSES"])
    ktr, preload = args[0], args[1]
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.common.by import By
        from selenium.webdriver.common.keys import Keys
    except ImportError:
        fail("python3-selenium is missing: scripts/install-deps.sh installs it")

    work = tempfile.TemporaryDirectory()
    show = os.path.join(work.name, "show.eff")
    with open(show, "wb") as f:
        f.write(effect_bytes({1: "x" * CHANNELS}, set(), 40))
    with open(os.path.join(work.name, "other.eff"), "wb") as f:
        f.write(effect_bytes({}, set(), 200))
    key_file = os.path.join(work.name, "web.key")
    port = free_port()
    lines = ",".join(str(i) for i in range(CHANNELS))
    env = dict(os.environ, LD_PRELOAD=preload, KTR_FAKE_GPIO="gpiochip0,12,fake",
               KTR_FAKE_GPIO_SYSFS=work.name, KTR_FAKE_GPIO_TRACE="1")
    env.pop("DISPLAY", None)
    stderr_path = os.path.join(work.name, "stderr.txt")
    stderr = open(stderr_path, "w+b")
    player = subprocess.Popen([ktr, "--play", show, "--output", f"gpio:gpiochip0:{lines}",
                               "--web", f"127.0.0.1:{port}", "--web-key-file", key_file],
                              stdout=subprocess.DEVNULL, stderr=stderr, env=env)
    driver = None
    try:
        def log():
            with open(stderr_path, "rb") as f:
                return f.read().decode("utf-8", "replace")
        url = wait_for("the address on stderr",
                       lambda: re.search(r"http://127\.0\.0\.1:%d/#key=([0-9a-f]{32})" % port, log()))
        key = url.group(1)
        base = f"http://127.0.0.1:{port}"
        if oct(os.stat(key_file).st_mode & 0o777) != "0o600":
            fail("the key file is not 0600")
        if api(base, "GET", "/api/state")[0] != 401 or api(base, "GET", "/api/state", "0" * 32)[0] != 401:
            fail("the API answers without the key")

        options = webdriver.ChromeOptions()
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--window-size=360,740", f"--user-data-dir={work.name}/profile"):
            options.add_argument(flag)
        options.binary_location = "/usr/bin/chromium"
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        driver.get(url.group(0))
        find = lambda css: driver.find_element(By.CSS_SELECTOR, css)
        wait_for("the page to connect", lambda: find("#status").text == "Kapcsolódva.")
        if "key=" in driver.current_url:
            fail("the key stays in the address bar: " + driver.current_url)

        # Step 3 lights channels 1, 3 and 5, step 5 channel 12; both take part.
        clicks = {3: [1, 3, 5], 5: [12]}
        for step, channels in clicks.items():
            for channel in channels:
                find(f'input[type=checkbox][data-step="{step}"][data-channel="{channel}"]').click()
                wait_for("the click to be taken", lambda: api(base, "GET", "/api/state", key)[1]["steps"]
                         [step - 1]["channels"][channel - 1] == "x")
            find(f'input[type=checkbox][data-step="{step}"][data-enable]').click()
            wait_for("the step to be enabled",
                     lambda: api(base, "GET", "/api/state", key)[1]["steps"][step - 1]["enabled"])
        wait_for("the unsaved mark", lambda: find("#file").text.endswith("*"))

        # The player plays from its start: STOP, then START plays the clicked steps from the top.
        if find("#start-stop").text != "STOP":
            fail("the page does not show the player playing")
        find("#start-stop").click()
        wait_for("START on the button", lambda: find("#start-stop").text == "START")
        if api(base, "GET", "/api/state", key)[1]["running"]:
            fail("STOP did not stop the show")
        find("#start-stop").click()
        wait_for("STOP on the button", lambda: find("#start-stop").text == "STOP")
        for step in (3, 5, 3):
            wait_for(f"the marker on step {step}",
                     lambda: driver.find_elements(By.CSS_SELECTOR, f'tr.playing input[data-step="{step}"][data-enable]'))
        # The chip got exactly the clicked rows: lines 0, 2, 4 high for step 3, line 11 for step 5.
        def levels_played():
            played = set()
            for match in re.finditer(r"fake gpio: set((?: \d+=\d)+)", log()):
                pairs = dict(p.split("=") for p in match.group(1).split())
                played.add("".join("x" if pairs.get(str(i)) == "1" else "0" for i in range(CHANNELS)))
            return played
        expected = {"x0x0x0000000", "00000000000x"}
        played = wait_for("the chip to get both rows", lambda: levels_played() >= expected and levels_played())
        if not played <= expected | {"0" * CHANNELS}:  # START's all-off, then only the clicked rows
            fail(f"the chip got rows nobody clicked: {sorted(played)}")
        state = api(base, "GET", "/api/state", key)[1]
        if not state["running"] or state["step"] not in (3, 5):
            fail(f"the API does not show the show playing steps 3 and 5: {state}")

        speed = find("#speed-number")
        speed.clear()
        speed.send_keys("120", Keys.TAB)
        wait_for("the new speed", lambda: api(base, "GET", "/api/state", key)[1]["speed"] == 120)
        if find("#speed").get_attribute("value") != "120":
            fail("the slider does not show the new speed")

        find("#save").click()
        wait_for("the save", lambda: find("#status").text == "Mentve.")
        with open(show, "rb") as f:
            saved = f.read()
        want = effect_bytes({1: "x" * CHANNELS, 3: "x0x0x0000000", 5: "00000000000x"}, {3, 5}, 120)
        if saved != want:
            fail(f"the saved file differs:\n{saved!r}\n{want!r}")
        wait_for("the unsaved mark to go", lambda: not find("#file").text.endswith("*"))

        find("#start-stop").click()
        wait_for("START on the button", lambda: find("#start-stop").text == "START")
        print("PASS   : tst_web_browser page, clicks, START, marker, chip, speed, save")
    finally:
        if driver:
            driver.quit()
        player.send_signal(signal.SIGTERM)
        try:
            code = player.wait(10)
        except subprocess.TimeoutExpired:
            player.kill()
            fail("the player did not end on SIGTERM")
    if code != 0:
        fail(f"the player ended with {code}:\n" + open(stderr_path, encoding="utf-8", errors="replace").read())
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
