#!/usr/bin/python3
"""snowglobe studio in a real browser (headless chromium), against snowglobe-pack.

usage: studio_test.py SITE_DIR SNOWGLOBE_PACK BUILD_ROOT WORK_DIR

Serves SITE_DIR (build/web/studio) and WORK_DIR/fixtures on a free port and
checks that the page shows the command line's pixels, exports what the command
line builds and binds, and refuses bad input with the command line's messages.
Exits 77 (skipped) when the site is not built.
"""
import base64
import functools
import http.server
import io
import json
import os
import shutil
import struct
import subprocess
import sys
import tarfile
import threading
import time
import unittest
import wave
import zipfile
import zlib

SITE, PACK, BUILD, WORK = (os.path.abspath(a) for a in sys.argv[1:5])
FIXTURES = os.path.join(WORK, "fixtures")


def png_rgb(path):
    """The pixels of an 8-bit RGB or RGBA PNG as RGB bytes."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour in (2, 6) and interlace == 0, "unexpected PNG form"
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    bpp = 3 if colour == 2 else 4
    raw, stride = zlib.decompress(idat), width * bpp
    rows, prev, pos = [], bytearray(stride), 0
    for _ in range(height):
        f, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride if f else 0):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1: line[i] = (line[i] + a) & 255
            elif f == 2: line[i] = (line[i] + b) & 255
            elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    pixels = b"".join(rows)
    if bpp == 4:
        pixels = b"".join(pixels[i:i + 3] for i in range(0, len(pixels), 4))
    return width, height, pixels


def write_png(path, width, height, rgb):
    """A plain 8-bit RGB PNG of one colour."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + bytes(rgb) * width for _ in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def pack(*args, cwd=None):
    return subprocess.run([PACK, *args], cwd=cwd, capture_output=True, text=True)


def rendered(source, size, ticks):
    out = os.path.join(WORK, "render-%s-%s-%d.png" % (os.path.basename(source), size, ticks))
    r = pack("render", source, "--size", size, "--ticks", str(ticks), "-o", out)
    assert r.returncode == 0, r.stderr
    return png_rgb(out)


class Handler(http.server.SimpleHTTPRequestHandler):
    def translate_path(self, path):
        path = path.split("?", 1)[0].split("#", 1)[0]
        if path.startswith("/fixtures/"):
            return os.path.join(FIXTURES, os.path.basename(path))
        return os.path.join(SITE, path.lstrip("/")) if path != "/" else os.path.join(SITE, "index.html")

    def log_message(self, *args):
        pass


class Studio(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        cls.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()
        cls.base = "http://127.0.0.1:%d/" % cls.server.server_address[1]
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for a in ["--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1400,1000",
                  "--disable-dev-shm-usage", "--autoplay-policy=no-user-gesture-required"]:
            options.add_argument(a)
        cls.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.driver.set_script_timeout(120)
        cls.driver.get(cls.base)
        cls.wait_for(lambda: cls.driver.execute_script("return document.body.dataset.ready"), "the page to start")

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()

    @classmethod
    def wait_for(cls, condition, what, seconds=60):
        end = time.time() + seconds
        while time.time() < end:
            value = condition()
            if value:
                return value
            time.sleep(0.05)
        raise AssertionError("timed out waiting for " + what + "; messages: " + cls.messages())

    @classmethod
    def messages(cls):
        return cls.driver.execute_script("return document.getElementById('messages').textContent")

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def go(self, hash_):
        self.js("location.hash = arguments[0]", hash_)

    def at_tick(self, tick):
        self.wait_for(lambda: self.js("return document.body.dataset.tick") == str(tick), "tick %d" % tick)

    def tick_now(self):
        """The stage's tick, once the run playing has shown one (a new run starts without)."""
        return int(self.wait_for(lambda: self.js("return document.body.dataset.tick"), "a tick"))

    def goto(self, tick):
        self.js("const g = document.getElementById('goto'); g.value = arguments[0]; g.dispatchEvent(new Event('change'))",
                tick)
        self.at_tick(tick)

    def canvas(self):
        """The #stage canvas as (width, height, RGB bytes)."""
        w, h, data = self.js("""
            const c = document.getElementById('stage');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            const rgb = new Uint8Array(c.width * c.height * 3);
            for (let i = 0, o = 0; i < d.length; i += 4) { rgb[o++] = d[i]; rgb[o++] = d[i + 1]; rgb[o++] = d[i + 2]; }
            let s = ''; for (let i = 0; i < rgb.length; i += 32768) s += String.fromCharCode.apply(null, rgb.subarray(i, i + 32768));
            return [c.width, c.height, btoa(s)];""")
        return w, h, base64.b64decode(data)

    def bytes_of(self, call, kind):
        """What the page's `call` (a promise of bytes, or of {name, bytes}) gives: (name, bytes)."""
        result = self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            (%s)(arguments[0]).then((got) => {
              const bytes = got.bytes || got;
              let s = ''; for (let i = 0; i < bytes.length; i += 32768) s += String.fromCharCode.apply(null, bytes.subarray(i, i + 32768));
              done([got.name || '', btoa(s)]);
            }, (e) => done({ error: String(e.message || e) }));""" % call, kind)
        if isinstance(result, dict):
            raise AssertionError(kind + ": " + result["error"])
        return result[0], base64.b64decode(result[1])

    def exported(self, kind):
        return self.bytes_of("exported", kind)[1]

    def downloaded(self, kind):
        """(file name, bytes) as the download button saves them."""
        return self.bytes_of("(kind) => downloaded(kind, 'scene.' + kind)", kind)

    def assert_same_pixels(self, got, want, what):
        self.assertEqual(got[:2], want[:2], what + ": size")
        if got[2] == want[2]:
            return
        g, w = got[2], want[2]
        first = next(i for i in range(len(w)) if g[i] != w[i]) // 3
        # Whole rows first: a frame that is off differs in most of them.
        differ = sum(1 for y in range(want[1]) if g[y * want[0] * 3:(y + 1) * want[0] * 3] != w[y * want[0] * 3:(y + 1) * want[0] * 3])
        self.fail("%s: %d of %d rows differ, first at pixel (%d, %d): page %s, render %s" % (
            what, differ, want[1], first % want[0], first // want[0], g[first * 3:first * 3 + 3].hex(), w[first * 3:first * 3 + 3].hex()))

    def open_at(self, url, size, tick):
        self.go("#scene=%s&size=%s&tick=%d" % (url, size, tick))
        self.at_tick(tick)

    # ---- the canvas is the command line's picture ----
    def test_link_to_a_moment_shows_the_rendered_frame(self):
        scenes = {"scenes/default.kavren": os.path.join(SITE, "scenes/default.kavren"),
                  "scenes/aquarium.kavren": os.path.join(SITE, "scenes/aquarium.kavren")}
        for url, path in scenes.items():
            for size in ("640x480", "1366x768"):
                for tick in (1, 37, 150):
                    with self.subTest(scene=url, size=size, tick=tick):
                        self.open_at(url, size, tick)
                        self.assert_same_pixels(self.canvas(), rendered(path, size, tick), "%s %s %d" % (url, size, tick))
                        self.assertEqual(self.js("return studio.stage.playing"), False, "paused at the tick")

    # ---- an edit shows at once and is what the exports hold ----
    def test_speed_edit_plays_and_exports(self):
        from selenium.webdriver.support.ui import Select
        self.open_at("scenes/aquarium.kavren", "640x480", 60)
        before = self.canvas()
        field = self.driver.find_element("name", "layer[2].speed")
        self.js("document.body.dataset.tick = ''")
        Select(field).select_by_value("4")
        self.tick_now()  # the restart
        self.goto(60)
        after = self.canvas()
        self.assertNotEqual(before[2], after[2], "the faster fish show")
        # The monitors choice goes into the package and changes no picture.
        self.js("document.body.dataset.tick = ''")
        Select(self.driver.find_element("name", "monitors")).select_by_value("each")
        self.wait_for(lambda: self.js("return document.body.dataset.tick") == "1", "the restart")

        kavren = self.exported("kavren")
        path = os.path.join(WORK, "edited.kavren")
        with open(path, "wb") as f:
            f.write(kavren)
        self.assert_same_pixels(after, rendered(path, "640x480", 60), "edited scene at tick 60")
        inspect = json.loads(pack("inspect", path, "--json").stdout)
        self.assertIn("speed", json.dumps(inspect))
        self.assertEqual(inspect["monitors"], "each")

        # The zip builds to the same bytes on the command line.
        folder = os.path.join(WORK, "zip")
        shutil.rmtree(folder, ignore_errors=True)
        with zipfile.ZipFile(__import__("io").BytesIO(self.exported("zip"))) as z:
            self.assertIsNone(z.testzip())
            z.extractall(folder)
        rebuilt = os.path.join(WORK, "rebuilt.kavren")
        r = pack("build", "scene.toml", "-o", rebuilt, cwd=folder)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(read(rebuilt), kavren, "zip -> build gives the exported package")

        # Savers bound in the page are the command line's bind, byte for byte.
        engines = {"get-scr32": "win32/snowglobe.scr", "get-scr64": "win64/snowglobe.scr",
                   "get-linux": "linux/apps/linux/snowglobe"}
        offered = self.js("return studio.products")
        for button, engine in engines.items():
            with self.subTest(saver=engine):
                if "engines/" + os.path.basename(self.js("return document.getElementById(arguments[0]).dataset.engine", button)) not in offered:
                    self.skipTest(engine + " was not built, so the site has no such engine (CI builds all)")
                out = os.path.join(WORK, button + ".bin")
                r = pack("bind", os.path.join(BUILD, engine), path, "-o", out)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(self.exported(button), read(out), engine + " bound in the page")

        # Downloads are named as bind without -o names the saver: after the title.
        named = os.path.join(WORK, "named")
        shutil.rmtree(named, ignore_errors=True)
        os.makedirs(named)
        shutil.copy(path, os.path.join(named, "scene.kavren"))
        r = pack("bind", os.path.join(BUILD, "linux/apps/linux/snowglobe"), os.path.join(named, "scene.kavren"))
        self.assertEqual(r.returncode, 0, r.stderr)
        [name] = [f for f in os.listdir(named) if f != "scene.kavren"]
        self.assertEqual(self.js('return saverName("get-linux")'), name)
        self.assertEqual(self.js('return saverName("get-scr32")'), name + ".scr")
        self.assertEqual(self.downloaded("kavren")[0], name + ".kavren")
        # The Linux program comes in a .tar.gz that keeps its run bit.
        if "engines/snowglobe" in offered:
            archive, data = self.downloaded("get-linux")
            self.assertEqual(archive, name + ".tar.gz")
            with tarfile.open(fileobj=io.BytesIO(data), mode="r:gz") as t:
                [member] = t.getmembers()
                self.assertEqual((member.name, member.mode, member.isfile()), (name, 0o755, True))
                self.assertEqual(t.extractfile(member).read(), read(os.path.join(named, name)))

    # ---- bad input: the command line's messages, and the page goes on ----
    def test_damaged_package_is_refused_with_validate_message(self):
        self.go("#scene=scenes/default.kavren&size=640x480&tick=0")
        self.wait_for(lambda: int(self.js("return document.body.dataset.tick") or 0) > 3, "the default scene")
        with open(os.path.join(SITE, "scenes/default.kavren"), "rb") as f:
            good = f.read()
        with open(os.path.join(FIXTURES, "damaged.kavren"), "wb") as f:
            f.write(good[:300])
        want = pack("validate", "damaged.kavren", cwd=FIXTURES)
        self.assertEqual(want.returncode, 1)
        self.go("#scene=fixtures/damaged.kavren&size=640x480&tick=0")
        self.wait_for(lambda: self.messages().strip() == want.stdout.strip(), "validate's message")
        tick = self.tick_now()
        self.wait_for(lambda: self.tick_now() > tick + 3, "the previous scene to go on")
        self.assertEqual(self.js("return studio.playPath"), "/s/opened/default.kavren")

    def test_text_named_png_is_refused_with_build_message(self):
        self.open_at("scenes/aquarium.kavren", "640x480", 5)
        text = os.path.join(FIXTURES, "not-a-picture.png")
        with open(text, "w") as f:
            f.write("this is a text file\n")
        adder = self.driver.find_element("name", "layer[2].frames.add")
        adder.send_keys(text)
        self.wait_for(lambda: self.driver.find_elements("css selector", "[data-setting^='layer[2].frames'] .problem"),
                      "the message at the frames")
        shown = self.messages()
        # The command line, given the page's own manifest and files, says the same.
        folder = os.path.join(WORK, "bad-zip")
        shutil.rmtree(folder, ignore_errors=True)
        with zipfile.ZipFile(__import__("io").BytesIO(self.exported("zip"))) as z:
            z.extractall(folder)
        want = pack("build", "scene.toml", "-o", os.path.join(WORK, "never.kavren"), cwd=folder)
        self.assertEqual(want.returncode, 1)
        self.assertIn("not-a-picture.png", want.stderr)
        self.assertEqual(shown.splitlines()[0], want.stderr.strip().splitlines()[0])
        self.assertFalse(os.path.exists(os.path.join(WORK, "never.kavren")))
        # The previous scene stays on, and the next good edit goes through.
        self.assertEqual(self.js("return studio.playPath"), "/s/opened/aquarium.kavren")
        self.js("""const items = document.querySelectorAll("[data-setting^='layer[2].frames['] button");
                   items[items.length - 1].click();""")
        self.wait_for(lambda: not self.driver.find_elements("css selector", ".problem"), "the message to go")
        self.wait_for(lambda: self.js("return studio.playPath") == "/s/built.kavren", "the fixed scene to play")

    def test_bad_zips_and_sizes_are_refused(self):
        self.open_at("scenes/aquarium.kavren", "640x480", 3)
        cases = {
            "outside.zip": ([("../scene.toml", b"title = 'x'\n")], "../scene.toml: a name outside the folder"),
            "absolute.zip": ([("/etc/scene.toml", b"title = 'x'\n")], "/etc/scene.toml: a name outside the folder"),
            "nomanifest.zip": ([("a.png", b"not a picture")], "nomanifest.zip: the zip holds no manifest (.toml)"),
            "badtoml.zip": ([("scene.toml", b"title = \n")], "scene.toml:1:"),
        }
        for name, (entries, message) in cases.items():
            with self.subTest(zip=name):
                with zipfile.ZipFile(os.path.join(FIXTURES, name), "w") as z:
                    for entry, data in entries:
                        z.writestr(zipfile.ZipInfo(entry), data)
                self.go("#scene=fixtures/%s&size=640x480&tick=0" % name)
                self.wait_for(lambda: message in self.messages(), message)
                self.assertEqual(self.js("return studio.playPath"), "/s/opened/aquarium.kavren")
        # Sizes the engine cannot have are refused before anything runs.
        self.go("#scene=scenes/aquarium.kavren&size=0x480&tick=2")
        self.wait_for(lambda: self.messages() == "#size must look like 640x480", "the refusal of 0x480")
        self.js("const s = document.getElementById('size'); s.value = 'custom'; s.dispatchEvent(new Event('change'));"
                "const t = document.getElementById('size-typed'); t.value = '20000x10'; t.dispatchEvent(new Event('change'))")
        self.wait_for(lambda: "at most 16384 on a side" in self.messages(), "the refusal of 20000x10")
        self.assertEqual(self.js("return [studio.size.width, studio.size.height]"), [640, 480])

    def test_savers_open_as_their_scene(self):
        offered = self.js("return studio.products")
        for engine in ("engines/snowglobe-win32.scr", "engines/snowglobe-win64.scr", "engines/snowglobe"):
            with self.subTest(saver=engine):
                if engine not in offered:
                    self.skipTest(engine + " was not built, so the site has no such engine (CI builds all)")
                self.open_at(engine, "640x480", 10)
                self.assert_same_pixels(self.canvas(), rendered(os.path.join(SITE, engine), "640x480", 10), engine)

    def test_zip_opens_and_bad_zip_is_refused(self):
        folder = os.path.join(WORK, "aquarium-extracted")
        shutil.rmtree(folder, ignore_errors=True)
        r = pack("extract", os.path.join(SITE, "scenes/aquarium.kavren"), folder)
        self.assertEqual(r.returncode, 0, r.stderr)
        zpath = os.path.join(FIXTURES, "aquarium.zip")
        with zipfile.ZipFile(zpath, "w", zipfile.ZIP_DEFLATED) as z:
            for name in sorted(os.listdir(folder)):
                z.write(os.path.join(folder, name), "aquarium/" + name)
        self.open_at("fixtures/aquarium.zip", "640x480", 20)
        self.assert_same_pixels(self.canvas(), rendered(os.path.join(SITE, "scenes/aquarium.kavren"), "640x480", 20),
                                "aquarium from a zip")
        with open(os.path.join(FIXTURES, "cut.zip"), "wb") as f:
            f.write(read(zpath)[:5000])
        self.go("#scene=fixtures/cut.zip&size=640x480&tick=0")
        self.wait_for(lambda: "cut.zip:" in self.messages(), "the zip's refusal")
        self.assertEqual(self.js("return studio.playPath"), "/s/built.kavren")

    # ---- packages the saver plays open, as render plays them ----
    def test_tolerated_value_and_refused_set_play_as_render(self):
        folder = os.path.join(WORK, "odd")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        write_png(os.path.join(folder, "red.png"), 24, 16, (255, 0, 0))
        with open(os.path.join(folder, "scene.toml"), "w") as f:
            f.write('title = "odd"\n[[layer]]\nframes = ["red.png"]\ninstances = 5\n'
                    'start = { corner = { code = 4 }, x = 30, y = 20 }\n')
        tolerated = os.path.join(FIXTURES, "corner4.kavren")
        r = pack("build", "scene.toml", "-o", tolerated, cwd=folder)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("start corner 4 is not one of 0..3", r.stderr)
        # The aquarium with its first layer's set refused (its magic spoilt).
        refused = os.path.join(FIXTURES, "refused.kavren")
        data = bytearray(read(os.path.join(SITE, "scenes/aquarium.kavren")))
        chunk = struct.unpack_from("<i", data, 8)[0]
        at = chunk + struct.unpack_from("<i", data, chunk + 4)[0]
        self.assertEqual(bytes(data[at:at + 4]), b"AP01")
        data[at + 3] = ord("9")
        with open(refused, "wb") as f:
            f.write(data)
        self.assertEqual(pack("validate", refused).returncode, 1)
        # A set with no frames plays (nothing is drawn) but no manifest builds it.
        empty = os.path.join(FIXTURES, "noframes.kavren")
        data = bytearray(read(tolerated))
        chunk = struct.unpack_from("<i", data, 8)[0]
        at = chunk + struct.unpack_from("<i", data, chunk + 4)[0]
        for field in (8, 16, 96, 176):  # the frame count, frame 0's offset, size and duration
            struct.pack_into("<i", data, at + field, 0)
        with open(empty, "wb") as f:
            f.write(data)
        self.assertEqual(pack("validate", empty).returncode, 0)
        for path, errors in ((tolerated, False), (refused, True), (empty, False)):
            name = os.path.basename(path)
            with self.subTest(package=name):
                self.open_at("fixtures/" + name, "640x480", 25)
                self.assertEqual(self.js("return studio.playPath"), "/s/opened/" + name)
                self.assert_same_pixels(self.canvas(), rendered(path, "640x480", 25), name)
                self.assertEqual("error at byte" in self.messages(), errors, self.messages())
                if errors:
                    self.assertIn("layer 0", self.messages())
                if path == empty:  # build's refusal at the setting, and the downloads hold the file's package
                    self.assertTrue(self.driver.find_elements("css selector", "[data-setting='layer[0].frames'] .problem"))
                    self.assertEqual(self.exported("kavren"), read(empty))
                elif not errors:  # the form keeps the raw code
                    self.assertIn("code 4", self.js("const s = document.querySelector(\"[name='layer[0].start.corner']\");"
                                                    "return s.options[s.selectedIndex].text"))
                self.assertNotIn("/s/", self.messages())

    # ---- drops, sizes and the layout ----
    def test_picture_dropped_outside_a_box_is_not_a_package(self):
        self.open_at("scenes/aquarium.kavren", "640x480", 3)
        png = os.path.join(FIXTURES, "dropped.png")
        write_png(png, 40, 30, (0, 200, 0))
        self.js("""const bytes = Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0));
                   const data = new DataTransfer();
                   data.items.add(new File([bytes], 'photo.png', { type: 'image/png' }));
                   document.querySelector('header').dispatchEvent(
                     new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));""",
                base64.b64encode(read(png)).decode())
        self.wait_for(lambda: self.driver.find_elements("css selector", "dialog#drop-ask[open]"), "the question")
        self.assertNotIn("error at byte", self.messages())
        self.assertEqual(self.js("return studio.playPath"), "/s/opened/aquarium.kavren")
        self.js("[...document.querySelectorAll('#drop-ask button')].find((b) => b.textContent.includes('background picture')).click()")
        self.wait_for(lambda: self.js("return studio.playPath") == "/s/built.kavren", "the scene with the picture")
        self.assertEqual(self.js("return [studio.model.background, studio.model.picture]"), ["picture", "photo.png"])
        # Thumbnails: the picture and the frames of every layer, as stored.
        self.assertEqual(self.js("const c = document.querySelector('[data-thumbs=picture] canvas'); return [c.width, c.height]"),
                         [40, 30])
        self.assertTrue(self.driver.find_elements("css selector", "[data-thumbs='layer[2].frames'] canvas"))

    def test_page_fits_1366x768_and_sizes_are_read_loosely(self):
        self.open_at("scenes/aquarium.kavren", "640x480", 2)
        try:
            # A 1366 x 768 screen leaves a browser's page about 600 pixels
            # high (the taskbar, tabs and address bar); a 1280-wide window, too.
            for width, height in ((1366, 768), (1366, 600), (1280, 600)):
                self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                            {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
                self.js("window.scrollTo(0, 0)")
                self.wait_for(lambda: self.js("return innerWidth") == width, "the window of %d" % width)
                self.assertLessEqual(self.js("return document.documentElement.scrollWidth"), width, "no sideways scroll")
                for button in ("get-kavren", "get-linux", "play"):
                    bottom = self.js("return document.getElementById(arguments[0]).getBoundingClientRect().bottom", button)
                    self.assertLessEqual(bottom, height, button + " in view at %dx%d" % (width, height))
                if height == 768:
                    self.driver.save_screenshot(os.path.join(WORK, "studio-1366x768.png"))
        finally:
            self.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
        self.assertEqual(self.js("return parseSize(' 1920 x 1080 ')"), {"width": 1920, "height": 1080})
        self.js("const s = document.getElementById('size'); s.value = 'screen'; s.dispatchEvent(new Event('change'))")
        self.wait_for(lambda: self.js("return studio.stage.canvas.width === Math.round(screen.width * devicePixelRatio)"),
                      "the stage at the screen's size")


class StudioAuthoring(Studio):
    """A new scene made in the forms builds and plays as the command line does."""
    test_link_to_a_moment_shows_the_rendered_frame = None
    test_speed_edit_plays_and_exports = None
    test_damaged_package_is_refused_with_validate_message = None
    test_text_named_png_is_refused_with_build_message = None
    test_zip_opens_and_bad_zip_is_refused = None
    test_savers_open_as_their_scene = None
    test_bad_zips_and_sizes_are_refused = None
    test_tolerated_value_and_refused_set_play_as_render = None
    test_picture_dropped_outside_a_box_is_not_a_package = None
    test_page_fits_1366x768_and_sizes_are_read_loosely = None

    def test_page_opened_from_disk_says_how_to_serve_it(self):
        self.driver.get("file://" + os.path.join(SITE, "index.html"))
        self.wait_for(lambda: "scripts/studio" in self.messages(), "the advice")
        self.assertNotIn("Failed to fetch", self.messages())
        self.driver.get(self.base)
        self.wait_for(lambda: self.js("return document.body.dataset.ready"), "the page to start again")

    def test_empty_scene_gets_a_layer_and_frames(self):
        from selenium.webdriver.support.ui import Select
        self.driver.find_element("id", "open-empty").click()
        self.wait_for(lambda: self.js("return studio.model && studio.model.title") == "my scene", "the empty scene")
        self.driver.find_element("id", "add-layer").click()
        # A layer without frames is build's error, shown at the layer's frames.
        self.wait_for(lambda: self.driver.find_elements("css selector", "[data-setting^='layer[0]'] .problem"),
                      "build's message for the empty layer")
        # A refused edit is kept too: a reload brings it back, with build's message.
        self.wait_for(lambda: self.js("return document.body.dataset.saved == studio.history.current.id"), "the scene kept")
        self.driver.refresh()
        self.wait_for(lambda: self.js("return document.body.dataset.ready") and self.driver.find_elements(
            "css selector", "[data-setting^='layer[0]'] .problem"), "the kept layer and its message")
        red, blue = os.path.join(FIXTURES, "red.png"), os.path.join(FIXTURES, "blue.png")
        write_png(red, 24, 16, (255, 0, 0))
        write_png(blue, 24, 16, (0, 0, 255))
        self.driver.find_element("name", "layer[0].frames.add").send_keys(red + "\n" + blue)
        self.wait_for(lambda: self.js("return studio.playPath") == "/s/built.kavren" and
                      not self.driver.find_elements("css selector", ".problem"), "the layer to build")
        self.assertEqual(self.js("return studio.model.layer[0].frames"), ["red.png", "blue.png"])
        # Reorder the frames, give one a duration, add a second layer and move it first.
        self.js("document.querySelector(\"[data-setting='layer[0].frames[1]'] button\").click()")
        duration = self.driver.find_element("name", "layer[0].frames[0].duration")
        duration.send_keys("5\n")
        self.wait_for(lambda: self.js("return JSON.stringify(studio.model.layer[0].frames)") ==
                      '[{"file":"blue.png","duration":5},"red.png"]', "the frames' new order and duration")
        self.driver.find_element("id", "add-layer").click()
        self.driver.find_element("name", "layer[1].frames.add").send_keys(red)
        Select(self.driver.find_element("name", "layer[1].direction")).select_by_value("right")
        self.js("document.querySelector(\"fieldset[data-layer='1'] .bar button\").click()")  # up
        self.wait_for(lambda: self.js("return studio.model.layer[0].direction") == "right", "the layers' new order")
        self.wait_for(lambda: self.js("return studio.playPath") == "/s/built.kavren" and
                      not self.driver.find_elements("css selector", ".problem"), "the scene to build")
        self.js("const g = document.getElementById('goto'); g.value = 12; g.dispatchEvent(new Event('change'))")
        self.at_tick(12)
        path = os.path.join(WORK, "authored.kavren")
        with open(path, "wb") as f:
            f.write(self.exported("kavren"))
        self.assert_same_pixels(self.canvas(), rendered(path, "640x480", 12), "the authored scene at tick 12")

    def test_western_title_and_a_gif_layer_build_as_the_command_line(self):
        # A manifest naming code page 1252, whose layer is one GIF (frames as a string).
        folder = os.path.join(WORK, "nice")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        with open(os.path.join(folder, "walk.gif"), "wb") as f:  # 1x1, red
            f.write(bytes.fromhex("474946383961010001008000 00ff0000000000 2c00000000010001000002024401003b"
                                  .replace(" ", "")))
        with open(os.path.join(folder, "scene.toml"), "w") as f:
            f.write('codepage = 1252\ntitle = "x"\n[[layer]]\nframes = "walk.gif"\n')
        with zipfile.ZipFile(os.path.join(FIXTURES, "nice.zip"), "w") as z:
            for name in ("scene.toml", "walk.gif"):
                z.write(os.path.join(folder, name), name)
        self.go("#scene=fixtures/nice.zip&size=640x480&tick=0")
        self.wait_for(lambda: self.js("return studio.model && studio.model.title") == "x", "the GIF scene to open")
        title = "Coucher de soleil à Nice"
        self.js("const t = document.querySelector('[name=title]'); t.value = arguments[0];"
                "t.dispatchEvent(new Event('change'))", title)
        with open(os.path.join(folder, "scene.toml"), "w", encoding="utf-8") as f:
            f.write('codepage = 1252\ntitle = "%s"\n[[layer]]\nframes = "walk.gif"\n' % title)
        native = os.path.join(FIXTURES, "nice.kavren")
        r = pack("build", "scene.toml", "-o", native, cwd=folder)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.wait_for(lambda: self.exported("kavren") == read(native), "the page's package to be build's")
        self.assertFalse(self.driver.find_elements("css selector", ".problem"))
        # The package opened again shows its title as text.
        self.go("#scene=fixtures/nice.kavren&size=640x480&tick=0")
        self.wait_for(lambda: self.js("return studio.playPath") == "/s/opened/nice.kavren", "the package to open")
        self.assertEqual(self.driver.find_element("name", "title").get_attribute("value"), title)

    def test_edits_undo_redo_and_outlive_a_reload(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys
        from selenium.webdriver.support.ui import Select
        keys = lambda *k: ActionChains(self.driver).key_down(Keys.CONTROL).send_keys(*k).key_up(Keys.CONTROL).perform()
        self.open_at("scenes/aquarium.kavren", "640x480", 60)
        before = self.canvas()
        Select(self.driver.find_element("name", "layer[2].speed")).select_by_value("4")
        self.assertEqual(self.js("return document.activeElement.name"), "layer[2].speed", "the focus stays on the edit")
        self.goto(60)
        after = self.canvas()
        self.assertNotEqual(before[2], after[2], "the edit shows")
        keys("z")
        self.wait_for(lambda: self.js("return studio.playPath") == "/s/opened/aquarium.kavren", "the undo")
        self.goto(60)
        self.assert_same_pixels(self.canvas(), before, "undone")
        keys("y")
        self.wait_for(lambda: self.js("return studio.playPath === '/s/built.kavren' && studio.model.layer[2].speed"), "the redo")
        self.goto(60)
        self.assert_same_pixels(self.canvas(), after, "redone")
        # What the browser keeps comes back after a reload, still an edited scene.
        self.wait_for(lambda: self.js("return document.body.dataset.saved == studio.history.current.id"), "the scene to be kept")
        self.driver.refresh()
        self.wait_for(lambda: self.js("return document.body.dataset.ready"), "the page to start again")
        self.assertEqual(self.js("return studio.model.layer[2].speed"), 4)
        self.goto(60)
        self.assert_same_pixels(self.canvas(), after, "after the reload")
        # Replacing it asks first; keeping it changes nothing.
        for answer in ("ask-no", "ask-yes"):
            self.driver.find_element("id", "open-default").click()
            self.wait_for(lambda: self.js("const d = document.getElementById('ask'); return d && d.open"), "the question")
            self.driver.find_element("id", answer).click()
            self.wait_for(lambda: not self.js("return document.getElementById('ask').open"), "the answer")
            if answer == "ask-no":
                self.assertEqual(self.js("return [studio.model.layer[2].speed, studio.history.canUndo]"), [4, False])
        self.wait_for(lambda: self.js("return studio.playPath") == "/s/opened/default.kavren", "the default scene")
        self.assertFalse(self.js("return studio.history.edited"))

    def test_sound_loops_while_playing_mutes_and_undecodable_is_silent(self):
        rate, frames = 22050, 2205
        cases = {"tone": None, "odd": 0x1234}  # odd: an encoding no player knows (build warns)
        for name, tag in cases.items():
            folder = os.path.join(WORK, name)
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
            wav = io.BytesIO()
            with wave.open(wav, "wb") as w:
                w.setnchannels(1)
                w.setsampwidth(2)
                w.setframerate(rate)
                w.writeframes(bytes(2 * frames))
            data = wav.getvalue()
            if tag:
                data = data[:20] + struct.pack("<H", tag) + data[22:]
            with zipfile.ZipFile(os.path.join(FIXTURES, name + ".zip"), "w") as z:
                z.writestr("scene.toml", 'title = "%s"\nsound = "%s.wav"\n' % (name, name))
                z.writestr(name + ".wav", data)
        self.go("#scene=fixtures/tone.zip&size=640x480&tick=0")
        sound = "const s = studio.sound; return [!!s.source, s.context && s.context.state, s.context && s.context.sampleRate, s.gain && s.gain.gain.value]"
        self.wait_for(lambda: self.js(sound) == [True, "running", rate, 1], "the tone to play")
        self.driver.find_element("id", "mute").click()
        self.wait_for(lambda: self.js(sound) == [True, "running", rate, 0], "the tone muted")
        self.driver.find_element("id", "mute").click()
        self.driver.find_element("id", "play").click()  # pause
        self.wait_for(lambda: self.js(sound) == [True, "suspended", rate, 1], "the tone paused")
        self.driver.find_element("id", "play").click()
        self.go("#scene=fixtures/odd.zip&size=640x480&tick=0")
        note = lambda: self.js("return document.getElementById('sound-note').textContent")
        self.wait_for(lambda: note().startswith("silent"), "the odd WAV's refusal")
        self.assertIn("format 0x1234", note())
        self.assertFalse(self.js("return !!studio.sound.source"))

    def test_texts_choose_their_code_page_and_settings_explain_themselves(self):
        # A scene without a code page (932): a French title picks 1252, a Greek
        # one 1253, each package the one build makes of the manifest naming it.
        folder = os.path.join(WORK, "soleil")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        with open(os.path.join(folder, "walk.gif"), "wb") as f:  # 1x1, red
            f.write(bytes.fromhex("47494638396101000100800000ff00000000002c00000000010001000002024401003b"))
        layer = '[[layer]]\nframes = "walk.gif"\ninstances = 3\n'
        with open(os.path.join(folder, "scene.toml"), "w") as f:
            f.write('title = "x"\n' + layer)
        with zipfile.ZipFile(os.path.join(FIXTURES, "soleil.zip"), "w") as z:
            for name in ("scene.toml", "walk.gif"):
                z.write(os.path.join(folder, name), name)
        self.go("#scene=fixtures/soleil.zip&size=640x480&tick=0")
        self.wait_for(lambda: self.js("return studio.model && studio.model.title") == "x", "the scene to open")
        self.assertEqual(self.js("return document.querySelector('[name=codepage]').value"), "932")

        def typed(selector, text):
            self.js("const t = document.querySelector(arguments[0]); t.value = arguments[1];"
                    "t.dispatchEvent(new Event('change'))", selector, text)

        for title, page in (("Coucher de soleil à Nice", "1252"), ("Ηλιοβασίλεμα στη Νίκαια", "1253")):
            with self.subTest(page=page):
                typed("[name=title]", title)
                self.wait_for(lambda: self.js("return document.querySelector('[name=codepage]').value") == page,
                              "code page " + page)
                self.assertIn("the first that holds them all", self.messages())
                with open(os.path.join(folder, "scene.toml"), "w", encoding="utf-8") as f:
                    f.write('codepage = %s\ntitle = "%s"\n%s' % (page, title, layer))
                native = os.path.join(FIXTURES, "soleil-%s.kavren" % page)
                r = pack("build", "scene.toml", "-o", native, cwd=folder)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.wait_for(lambda: self.exported("kavren") == read(native), "the page's package to be build's")
                typed("#goto", "9")
                self.at_tick(9)
                self.assert_same_pixels(self.canvas(), rendered(native, "640x480", 9), "code page %s at tick 9" % page)

        # Hebrew beside an accent: no one code page; the Greek scene plays on.
        typed("[name=title]", "Café שלום")
        self.wait_for(lambda: self.driver.find_elements("css selector", "[data-setting=codepage] .problem"), "the clash")
        self.assertIn('"ש" (U+05E9) only in 1255 (Hebrew)', self.messages())
        self.assertIn('"é" (U+00E9) is in 1252 (Western European)', self.messages())
        self.assertEqual(self.exported("kavren"), read(native))

        # Plain words beside the keys, defaults as values, and validate's word
        # for a screen that stays empty.
        typed("[name=title]", "x")
        field = self.driver.find_element("css selector", "[data-setting='layer[0].reentry_cycles']")
        self.assertIn("Re-enter after cycles", field.text)
        self.assertIn("reentry_cycles", field.find_element("css selector", ".key").text)
        self.assertEqual(field.find_element("css selector", "input").get_attribute("placeholder"), "default: 65535")
        typed("[name='layer[0].reentry_cycles']", "0")
        self.wait_for(lambda: "no sprite ever shows" in self.messages(), "the warning")
        self.assertIn("layer 0 never shows (random_start with reentry_cycles = 0", self.messages())

        # A package whose title has a byte 1252 has no character for: shown as
        # text with that byte escaped, and an edit keeps the byte.
        with open(os.path.join(folder, "scene.toml"), "w") as f:
            f.write('codepage = 1252\ntitle_bytes = "43616681"\n' + layer)
        odd = os.path.join(FIXTURES, "odd.kavren")
        self.assertEqual(pack("build", "scene.toml", "-o", odd, cwd=folder).returncode, 0)
        self.go("#scene=fixtures/odd.kavren&size=640x480&tick=0")
        self.wait_for(lambda: self.js("return studio.playPath") == "/s/opened/odd.kavren", "the package to open")
        self.assertEqual(self.driver.find_element("name", "title_bytes").get_attribute("value"), "Caf\\x81")
        typed("[name=title_bytes]", "Café\\x81")
        self.wait_for(lambda: self.js("return studio.model.title_bytes") == "436166e981", "the bytes kept")

    def test_file_too_large_is_refused(self):
        self.go("#scene=scenes/aquarium.kavren&size=640x480&tick=0")
        self.wait_for(lambda: self.js("return studio.playPath") == "/s/opened/aquarium.kavren", "the aquarium")
        huge = os.path.join(FIXTURES, "huge.kavren")
        with open(huge, "wb") as f:
            f.truncate((64 << 20) + 1)
        self.driver.find_element("id", "open-file").send_keys(huge)
        self.wait_for(lambda: "huge.kavren: larger than 64 MiB" in self.messages(), "the refusal")
        tick = self.tick_now()
        self.wait_for(lambda: self.tick_now() > tick + 3, "the aquarium to go on")

    # ---- pictures build converts: JPEG, animated GIF, 8 bits ----
    def plays_as_built(self, name, tick):
        """The page's zip builds on the command line to the page's own package, whose
        frame at `tick` is the canvas."""
        folder = os.path.join(WORK, name)
        shutil.rmtree(folder, ignore_errors=True)
        with zipfile.ZipFile(__import__("io").BytesIO(self.exported("zip"))) as z:
            z.extractall(folder)
        path = os.path.join(WORK, name + ".kavren")
        r = pack("build", "scene.toml", "-o", path, cwd=folder)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(read(path), self.exported("kavren"), name + ": the page's package is build's")
        self.js("const g = document.getElementById('goto'); g.value = arguments[0]; g.dispatchEvent(new Event('change'))", tick)
        self.at_tick(tick)
        self.assert_same_pixels(self.canvas(), rendered(path, "640x480", tick), name)

    def built_cleanly(self):
        return self.js("return studio.playPath") == "/s/built.kavren" and not self.driver.find_elements("css selector", ".problem")

    def test_jpeg_photo_background_at_24_and_8_bits(self):
        from selenium.webdriver.support.ui import Select
        # A 160x120 JPEG of 956 colours (subsampled chroma, as cameras write).
        photo = os.path.join(FIXTURES, "photo.jpg")
        subprocess.run(["convert", "-size", "160x120", "gradient:#203060-#f0c080", "-swirl", "120",
                        "-quality", "85", photo], check=True)
        self.driver.find_element("id", "open-empty").click()
        self.wait_for(lambda: self.js("return studio.model && studio.model.title") == "my scene", "the empty scene")
        Select(self.driver.find_element("name", "background")).select_by_value("picture")
        picker = self.driver.find_element("css selector", "[data-setting='picture'] input[type=file]")
        self.assertIn(".jpg", picker.get_attribute("accept").split(","))
        picker.send_keys(photo)
        self.wait_for(lambda: self.js("return studio.model.picture") == "photo.jpg" and self.built_cleanly(), "the photo")
        self.plays_as_built("photo-24", 4)
        # More than 256 colours at 8 bits: reduced as the command line reduces them.
        Select(self.driver.find_element("name", "picture.bits")).select_by_value("8")
        self.wait_for(lambda: self.js("return studio.model.picture.bits") == 8 and self.built_cleanly(), "the 8-bit photo")
        self.plays_as_built("photo-8", 4)

    def test_animated_gif_layer_shows_its_delays_and_plays(self):
        walk = os.path.join(FIXTURES, "walk.gif")  # 3 frames of 100, 250 and 40 ms
        subprocess.run(["convert", "-delay", "10", "-size", "24x16", "xc:red", "-delay", "25", "xc:blue",
                        "-delay", "4", "xc:lime", "-loop", "0", walk], check=True)
        red = os.path.join(FIXTURES, "red.png")
        write_png(red, 24, 16, (255, 0, 0))
        self.driver.find_element("id", "open-empty").click()
        self.wait_for(lambda: self.js("return studio.model && studio.model.title") == "my scene", "the empty scene")
        self.driver.find_element("id", "add-layer").click()
        # A GIF is a layer's whole animation, never one frame among others.
        self.driver.find_element("name", "layer[0].frames.add").send_keys(walk + "\n" + red)
        self.wait_for(lambda: "walk.gif: an animated GIF gives a layer all its frames" in
                      self.js("return document.querySelector(\"[data-setting='layer[0].frames'] .problem\")?.textContent || ''"),
                      "the refusal of a GIF among pictures")
        self.assertEqual(self.js("return studio.model.layer[0].frames"), [])
        adder = self.driver.find_element("name", "layer[0].frames.add")
        self.js("arguments[0].value = ''", adder)  # chromedriver adds to a multiple input's files
        adder.send_keys(walk)
        self.wait_for(lambda: self.js("return studio.model.layer[0].frames") == "walk.gif" and self.built_cleanly(),
                      "the GIF layer")
        shown = self.js("return [...document.querySelectorAll(\"[data-setting^='layer[0].frames['] \")].map((e) => e.textContent)")
        self.assertEqual(shown, ["24 x 16, 100 ms → 3 ticks", "24 x 16, 250 ms → 8 ticks", "24 x 16, 40 ms → 1 tick"])
        self.plays_as_built("walk", 9)
        # Back to a list of pictures, a frame's time given in milliseconds.
        from selenium.webdriver.support.ui import Select
        self.js("[...document.querySelectorAll(\"[data-setting='layer[0].frames'] button\")]"
                ".find((b) => b.textContent === 'use pictures instead').click()")
        self.driver.find_element("name", "layer[0].frames.add").send_keys(red)
        self.wait_for(lambda: self.js("return studio.model.layer[0].frames") == ["red.png"], "the picture frame")
        Select(self.driver.find_element("name", "layer[0].frames[0].unit")).select_by_value("duration_ms")
        self.driver.find_element("name", "layer[0].frames[0].duration").send_keys("120\n")
        self.wait_for(lambda: self.js("return JSON.stringify(studio.model.layer[0].frames)") ==
                      '[{"file":"red.png","duration_ms":120}]' and self.built_cleanly(), "the frame's time in ms")
        self.plays_as_built("red-ms", 5)


def main():
    if not os.path.exists(os.path.join(SITE, "index.html")) or not os.path.exists(os.path.join(SITE, "snowglobe.wasm")):
        print("skipped: the studio site is not built (%s); cmake --preset web && cmake --build build/web" % SITE)
        return 77
    try:
        import selenium  # noqa: F401
    except ImportError:
        print("skipped: python3-selenium is not installed (scripts/install-deps)")
        return 77
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(FIXTURES)
    result = unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[5:], exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
