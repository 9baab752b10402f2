"""Headless Debian Chromium on the page, served by a local static server: the harness of the page's
tests and of its benchmark.

Browser(site_dir, download_dir) serves site_dir from python3 -m http.server on a free port of
127.0.0.1 and starts Chromium through chromedriver with a new empty profile and no background
networking; close() ends both (by their own process ids). open_page() loads the page and returns a
Page, which acts as a user does: file inputs, clicks, keys; and reads what a user sees: labels,
texts, the canvas's pixels, screenshots, downloaded files.
"""

import base64
import io
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

from PIL import Image
from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.expected_conditions import staleness_of
from selenium.webdriver.support.ui import WebDriverWait

TYPES = ['bmp', 'rle', 'gif', 'gif-i', 'gif-t', 'gif-ti', 'png', 'png-t']
EXTENSIONS = ['.bmp', '.bmp', '.gif', '.gif', '.gif', '.gif', '.png', '.png']

CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                  '--disable-background-networking', '--disable-component-update', '--disable-sync',
                  '--disable-dev-shm-usage', '--window-size=1600,1200']


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


class Browser:
    def __init__(self, site_dir, download_dir, language='ja'):
        self.download_root = download_dir
        os.makedirs(download_dir, exist_ok=True)
        port = free_port()
        # The server's log names every file it was asked for.
        self.server_log = tempfile.NamedTemporaryFile(prefix='qelva-http-', suffix='.log')
        self.server = subprocess.Popen(
            ['/usr/bin/python3', '-m', 'http.server', str(port), '--bind', '127.0.0.1', '--directory', site_dir],
            stdout=subprocess.DEVNULL, stderr=self.server_log)
        self.url = f'http://127.0.0.1:{port}/index.html'
        self.profile = tempfile.mkdtemp(prefix='qelva-chromium-')
        options = webdriver.ChromeOptions()
        options.binary_location = '/usr/lib/chromium/chromium'
        # Every other host is cut off: the page must need nothing but its own server.
        cut_off = '--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1'
        for flag in CHROMIUM_FLAGS + [f'--user-data-dir={self.profile}', f'--lang={language}', cut_off]:
            options.add_argument(flag)
        # The browser's network log, to see every request the page and its worker make.
        options.set_capability('goog:loggingPrefs', {'performance': 'ALL'})
        options.add_experimental_option('prefs', {
            'intl.accept_languages': language,
            'download.prompt_for_download': False,
            'profile.default_content_setting_values.automatic_downloads': 1,
        })
        try:
            self.wait_for_server(port)
            self.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        except Exception:
            self.server.kill()
            self.server.wait()
            raise
        self.downloads = 0

    @staticmethod
    def wait_for_server(port):
        for _ in range(100):
            try:
                with socket.create_connection(('127.0.0.1', port), timeout=0.2):
                    return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError('the static server did not start')

    def new_download_dir(self):
        self.downloads += 1
        path = os.path.join(self.download_root, str(self.downloads))
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
        self.driver.execute_cdp_cmd('Browser.setDownloadBehavior', {'behavior': 'allow', 'downloadPath': path})
        return path

    def open_page(self, query=''):
        """Loads the page, with a query string ('?ahead=0') when given."""
        self.driver.get(self.url + query)
        WebDriverWait(self.driver, 20).until(lambda d: d.execute_script(
            "return document.getElementById('download-all').textContent !== ''"))
        return Page(self)

    def served_paths(self):
        """The paths the static server was asked for so far, in order."""
        self.server_log.flush()
        with open(self.server_log.name, encoding='utf-8', errors='replace') as f:
            return [m.group(1) for m in re.finditer(r'"GET (\S+) HTTP', f.read())]

    def requested_urls(self):
        """The URLs the page itself requested since the last call (its worker's requests are not
        in this log; the server's log has those it made to the server)."""
        urls = []
        for entry in self.driver.get_log('performance'):
            message = json.loads(entry['message'])['message']
            if message.get('method') == 'Network.requestWillBeSent':
                urls.append(message['params']['request']['url'])
        return urls

    def close(self):
        try:
            self.driver.quit()
        finally:
            self.server.terminate()
            self.server.wait()
            self.server_log.close()
            shutil.rmtree(self.profile, ignore_errors=True)


class Page:
    def __init__(self, browser):
        self.browser = browser
        self.d = browser.driver

    def js(self, script, *args):
        return self.d.execute_script(script, *args)

    # --- opening ---------------------------------------------------------------------------

    def choose_folder(self, folder):
        self.choose('folder', folder)

    def choose_files(self, paths):
        self.choose('files', '\n'.join(paths))

    def choose(self, input_id, keys):
        # A new choice replaces the grid: wait for the old one to go before looking at the new.
        old = self.d.find_elements(By.CSS_SELECTOR, '#grid > li, #failures > li')
        self.d.find_element(By.CSS_SELECTOR, f'input[type=file]#{input_id}').send_keys(keys)
        if old:
            WebDriverWait(self.d, 10).until(staleness_of(old[0]))

    def drop_files(self, named_bytes):
        """Drops files on the page as a drag from another program would: a drop event whose
        DataTransfer holds them (files only: a synthetic drop cannot carry folders)."""
        old = self.d.find_elements(By.CSS_SELECTOR, '#grid > li, #failures > li')
        files = {name: base64.b64encode(data).decode() for name, data in named_bytes.items()}
        self.js("""
            const dt = new DataTransfer();
            for (const [name, b64] of Object.entries(arguments[0])) {
              const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
              dt.items.add(new File([bytes], name));
            }
            document.querySelector('main').dispatchEvent(
              new DragEvent('drop', {dataTransfer: dt, bubbles: true, cancelable: true}));""", files)
        if old:
            WebDriverWait(self.d, 10).until(staleness_of(old[0]))

    def opened(self):
        """The picture count once the page says every file is done, else None."""
        return self.js("""
            const t = document.getElementById('count').textContent;
            const m = /^(\\d+) (枚の画像|pictures)$/.exec(t);
            return m ? Number(m[1]) : null;""")

    def wait_until_opened(self, timeout=60):
        """Waits for the complete grid; returns its picture count."""
        count = WebDriverWait(self.d, timeout, poll_frequency=0.02).until(
            lambda d: self.opened() if self.opened() is not None else False)
        return count

    def grid_labels(self):
        return self.js("return Array.from(document.querySelectorAll('#grid > li'), li => li.getAttribute('aria-label'))")

    def failure_lines(self):
        return self.js("return Array.from(document.querySelectorAll('#failures > li'), li => li.textContent)")

    def blank_thumbnails(self):
        """How many thumbnails show nothing: drawn into a canvas of ours, every pixel is 0."""
        return self.js("""
            let blank = 0;
            for (const c of document.querySelectorAll('#grid canvas')) {
              const copy = document.createElement('canvas');
              copy.width = c.width;
              copy.height = c.height;
              const g = copy.getContext('2d');
              g.drawImage(c, 0, 0);
              if (g.getImageData(0, 0, c.width, c.height).data.every(v => v === 0)) blank++;
            }
            return blank;""")

    def button_texts(self):
        return [b.text for b in self.d.find_elements(By.TAG_NAME, 'button') if b.is_displayed()]

    def set_language_from_switch(self, lang):
        for _ in range(2):
            if self.js('return document.documentElement.lang') == lang:
                return
            self.d.find_element(By.ID, 'language').click()
        raise AssertionError(f'the switch never gave {lang}')

    def grid_shown(self):
        return self.d.find_element(By.ID, 'grid').is_displayed()

    # --- the big view ----------------------------------------------------------------------

    def click_item(self, label_start):
        for li in self.d.find_elements(By.CSS_SELECTOR, '#grid > li'):
            if li.get_attribute('aria-label').startswith(label_start):
                before = self.caption_text_or_none()
                self.d.execute_script('arguments[0].scrollIntoView()', li)
                li.click()
                self.wait_for_caption_change(before)
                return
        raise AssertionError(f'no picture labelled {label_start}')

    def caption_text_or_none(self):
        view = self.d.find_element(By.ID, 'picture-view')
        return self.caption() if view.is_displayed() else None

    def wait_for_caption_change(self, before):
        WebDriverWait(self.d, 10).until(
            lambda d: d.find_element(By.ID, 'picture-view').is_displayed() and self.caption() != before)

    def caption(self):
        return self.d.find_element(By.ID, 'caption').text

    def canvas_label(self):
        return self.d.find_element(By.CSS_SELECTOR, 'canvas#picture').get_attribute('aria-label')

    def press(self, key):
        """A real key press through the browser's input pipeline."""
        codes = {'ArrowLeft': ('ArrowLeft', 37), 'ArrowRight': ('ArrowRight', 39), 'Escape': ('Escape', 27)}
        code, key_code = codes[key] if key in codes else ('Digit' + key, ord(key))
        before = self.caption()
        for kind in ('keyDown', 'keyUp'):
            self.d.execute_cdp_cmd('Input.dispatchKeyEvent', {
                'type': kind, 'key': key, 'code': code, 'windowsVirtualKeyCode': key_code,
                'text': key if len(key) == 1 and kind == 'keyDown' else ''})
        if key in ('ArrowLeft', 'ArrowRight'):
            try:
                self.wait_for_caption_change(before)
            except TimeoutException:
                pass  # at the first or last picture the view stays
        # Let the page apply it before the next look.
        self.js('return new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))')

    def canvas_rgba(self):
        """The canvas's own pixels: (width, height, RGBA bytes)."""
        w, h, b64 = self.js("""
            const c = document.getElementById('picture');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            let s = '';
            for (let i = 0; i < d.length; i += 0x8000) s += String.fromCharCode.apply(null, d.subarray(i, i + 0x8000));
            return [c.width, c.height, btoa(s)];""")
        return w, h, base64.b64decode(b64)

    def canvas_css_size(self):
        return tuple(self.js("""
            const r = document.getElementById('picture').getBoundingClientRect();
            return [Math.round(r.width * devicePixelRatio), Math.round(r.height * devicePixelRatio)];"""))

    def screenshot_rgba(self):
        """What the screen shows of the canvas, in device pixels: (width, height, RGBA bytes).
        The whole viewport is captured (a clip at a fractional position would be resampled by the
        capture itself) and the canvas's device pixels cut out of it."""
        self.js("document.getElementById('picture').scrollIntoView()")
        left, top, width, height, ratio = self.js("""
            const r = document.getElementById('picture').getBoundingClientRect();
            return [r.left, r.top, r.width, r.height, devicePixelRatio];""")
        shot = self.d.execute_cdp_cmd('Page.captureScreenshot', {'format': 'png'})
        with Image.open(io.BytesIO(base64.b64decode(shot['data']))) as im:
            box = (round(left * ratio), round(top * ratio),
                   round((left + width) * ratio), round((top + height) * ratio))
            if box[2] > im.width or box[3] > im.height:
                raise AssertionError(f'the canvas {box} is not all on the screen {im.size}')
            im = im.convert('RGBA').crop(box)
            return im.width, im.height, im.tobytes()

    def set_device_pixel_ratio(self, ratio):
        if ratio is None:
            self.d.execute_cdp_cmd('Emulation.clearDeviceMetricsOverride', {})
        else:
            self.d.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
                'width': 1600, 'height': 1200, 'deviceScaleFactor': ratio, 'mobile': False})

    # --- saving ----------------------------------------------------------------------------

    def wait_for_download(self, folder, name, timeout=60):
        path = os.path.join(folder, name)
        deadline = time.time() + timeout
        while time.time() < deadline:
            done = [n for n in os.listdir(folder) if not n.endswith('.crdownload')]
            if os.path.exists(path) and not any(n.endswith('.crdownload') for n in os.listdir(folder)):
                with open(path, 'rb') as f:
                    return f.read()
            if done and name not in done:
                raise AssertionError(f'downloaded {done}, not {name}')
            time.sleep(0.02)
        raise AssertionError(f'{name} was not downloaded')

    def select_type(self, select_id, type_index):
        self.js(f"""const s = document.getElementById('{select_id}');
                    s.value = '{type_index}'; s.dispatchEvent(new Event('change'));""")

    def save(self, type_index, name):
        folder = self.browser.new_download_dir()
        self.select_type('save-type', type_index)
        self.d.find_element(By.ID, 'save').click()
        return self.wait_for_download(folder, name)

    def download_all(self, type_index):
        folder = self.browser.new_download_dir()
        self.select_type('download-type', type_index)
        self.d.find_element(By.ID, 'download-all').click()
        return self.wait_for_download(folder, TYPES[type_index] + '.zip', timeout=120)

    def grid_names(self):
        """The pictures' names in the grid, in order ('a.bin', 'b.dat[3]')."""
        return self.js("return Array.from(document.querySelectorAll('#grid > li'), (li) => li.children[1].textContent)")

    def zip_helped(self):
        """How many pictures of the last Download all the second worker wrote."""
        return self.js("const e = performance.getEntriesByName('qelva-zip'); return e[e.length - 1].detail.helped")

    def zip_written_ahead(self):
        """How many pictures of the last Download all had been written before the click."""
        return self.js("const e = performance.getEntriesByName('qelva-zip'); return e[e.length - 1].detail.spent.ahead")

    def written_ahead(self):
        """How many pictures the page said it has written ahead for a Download all, or None."""
        return self.js("const e = performance.getEntriesByName('qelva-ahead'); "
                       "return e.length ? e[e.length - 1].detail.count : null")

    def wait_until_written_ahead(self, timeout=20):
        """Waits until the page has written ahead what it will; returns how many pictures."""
        WebDriverWait(self.d, timeout, poll_frequency=0.02).until(lambda d: self.written_ahead() is not None)
        return self.written_ahead()

    def wait_until_warmed_up(self, type_index, timeout=20):
        """Waits for the page's start-up warm-up in the type to be done; returns what it told."""
        script = ("return performance.getEntriesByName('qelva-warm').map((e) => e.detail)"
                  ".filter((d) => d.type === arguments[0]).pop() || null")
        return WebDriverWait(self.d, timeout, poll_frequency=0.02).until(lambda d: self.js(script, type_index))

    def progress(self):
        return self.js("return document.getElementById('zip-progress').position")

    def copy_and_read_clipboard_png(self):
        origin = self.browser.url.rsplit('/', 1)[0]
        self.d.execute_cdp_cmd('Browser.grantPermissions', {
            'origin': origin, 'permissions': ['clipboardReadWrite', 'clipboardSanitizedWrite']})
        self.d.find_element(By.ID, 'copy').click()
        WebDriverWait(self.d, 10).until(lambda d: d.find_element(By.ID, 'view-status').text != '')
        status = self.d.find_element(By.ID, 'view-status').text
        b64 = self.d.execute_async_script("""
            const done = arguments[arguments.length - 1];
            (async () => {
              const items = await navigator.clipboard.read();
              const blob = await items[0].getType('image/png');
              const d = new Uint8Array(await blob.arrayBuffer());
              let s = '';
              for (let i = 0; i < d.length; i += 0x8000) s += String.fromCharCode.apply(null, d.subarray(i, i + 0x8000));
              return btoa(s);
            })().then(done, () => done(null));""")
        if b64 is None:
            raise AssertionError(f'nothing on the clipboard; the page says {status}')
        return base64.b64decode(b64)


if __name__ == '__main__':
    sys.exit('browser.py is the harness of page_test.py and bench/web_page.py')
