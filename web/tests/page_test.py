#!/usr/bin/python3
"""The web page in headless Chromium, driven through its real file inputs and keys.

usage: page_test.py SITE_DIR WORK_DIR [unittest arguments]

WORK_DIR is prepared by web/tests/run.sh: samples/ (the sample game folder, broken/ inside it),
hostile/ (the load fuzzer's corpus as game files), expected/<type>/ (what `qelvaconv -r -o` wrote
for samples/ in each type), and the native converter's --list lines and error lines for samples/
and hostile/ (samples.list, samples.err, hostile.list, hostile.err, paths relative to WORK_DIR).
Everything the page shows or saves is compared with those.
"""

import io
import os
import re
import shutil
import sys
import time
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tests', 'peer'))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import peer_decode  # noqa: E402
from browser import Browser, TYPES, EXTENSIONS  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

SITE = WORK = None


def listed_labels(list_file):
    """The grid labels the converter's --list lines call for: name[entry] title WxH."""
    labels = []
    with open(list_file, encoding='utf-8') as f:
        for line in f.read().splitlines():
            fields = line.split('\t')
            name = fields[0].rsplit('/', 1)[-1]
            width, height, _ = fields[1].split('x')
            title = ' ' + fields[2] if len(fields) > 2 and fields[2] else ''
            labels.append(f'{name}{title} {width}×{height}')
    return labels


def written_as(name):
    """A picture's file name without its extension, as the converter writes it: 'a.bin' and
    'sub/a.gif' give 'a', 'b.dat[3]' gives 'b-3'."""
    base = os.path.basename(name)
    entry = re.fullmatch(r'(.*)\.[^.]*\[(\d+)\]', base)
    return f'{entry[1]}-{entry[2]}' if entry else os.path.splitext(base)[0]


def error_lines(err_file):
    with open(err_file, encoding='utf-8') as f:
        return f.read().splitlines()


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.browser = Browser(SITE, os.path.join(WORK, 'downloads'))

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()

    def setUp(self):
        self.page = self.browser.open_page()

    def open_samples(self):
        self.page.choose_folder(os.path.join(WORK, 'samples'))
        return self.page.wait_until_opened()

    def expected_rgba(self, name):
        """The native converter's bitmap of a picture, as (width, height, RGBA bytes)."""
        width, height, rgba = peer_decode.decode_rgba(os.path.join(WORK, 'expected', 'bmp', name))
        return width, height, bytes(rgba)

    def test_folder_grid_lists_every_picture_and_every_failure_as_the_converter_does(self):
        count = self.open_samples()
        labels = self.page.grid_labels()
        self.assertEqual(labels, listed_labels(os.path.join(WORK, 'samples.list')))
        self.assertEqual(count, len(labels))
        self.assertEqual(self.page.failure_lines(), error_lines(os.path.join(WORK, 'samples.err')))
        # Every thumbnail has been drawn: none is blank.
        self.assertEqual(self.page.blank_thumbnails(), 0)
        # The Download all rehearsed after listing shows nothing: no more lines, no progress.
        time.sleep(0.5)
        self.assertEqual(self.page.failure_lines(), error_lines(os.path.join(WORK, 'samples.err')))
        self.assertTrue(self.page.js("return document.getElementById('zip-status').hidden"))

    def test_hostile_files_are_listed_with_their_messages_and_the_page_keeps_working(self):
        self.page.choose_folder(os.path.join(WORK, 'hostile'))
        self.page.wait_until_opened(timeout=120)
        self.assertEqual(self.page.grid_labels(), listed_labels(os.path.join(WORK, 'hostile.list')))
        self.assertEqual(self.page.failure_lines(), error_lines(os.path.join(WORK, 'hostile.err')))
        # Afterwards the same page still shows a hostile folder's good picture, and opens good files.
        self.page.click_item(self.page.grid_labels()[0])
        self.assertTrue(self.page.caption().startswith('QelvaView '))
        self.page.press('Escape')
        samples = os.path.join(WORK, 'samples')
        self.page.choose_files([os.path.join(samples, 'Kabe01.bin'), os.path.join(samples, 'omall.dat')])
        self.page.wait_until_opened()
        labels = self.page.grid_labels()
        self.assertEqual((len(labels), labels[0]), (14, 'Kabe01.bin 320×224'))

    def test_the_page_asks_its_own_server_alone(self):
        # Every test runs with every other host cut off; here the requests are looked at too.
        self.browser.requested_urls()
        self.page = self.browser.open_page()
        self.open_samples()
        self.page.click_item('omall.dat[3]')
        self.page.press('Escape')
        self.page.download_all(TYPES.index('png'))
        urls = self.browser.requested_urls()
        origin = self.browser.url.rsplit('/', 1)[0] + '/'
        self.assertEqual([u for u in urls if not u.startswith((origin, 'blob:', 'data:'))], [])
        # The workers' modules, the core and fflate came from the page's server.
        served = self.browser.served_paths()
        for name in ('index.html', 'app.js', 'worker.js', 'zip-helper.js', 'core.js', 'qelva.js', 'qelva.wasm', 'fflate.js'):
            self.assertIn('/' + name, served)

    def test_a_site_missing_its_core_says_so(self):
        broken_site = os.path.join(WORK, 'site-without-wasm')
        shutil.rmtree(broken_site, ignore_errors=True)
        shutil.copytree(SITE, broken_site, ignore=shutil.ignore_patterns('qelva.wasm'))
        browser = Browser(broken_site, os.path.join(WORK, 'downloads-broken'))
        try:
            page = browser.open_page()
            page.choose_files([os.path.join(WORK, 'samples', 'Kabe01.bin')])
            WebDriverWait(browser.driver, 30).until(lambda d: page.failure_lines())
            self.assertTrue(page.failure_lines()[0].startswith('処理中にｴﾗｰが発生しました: '), page.failure_lines())
            self.assertEqual(page.grid_labels(), [])
        finally:
            browser.close()

    def test_files_chosen_one_by_one_name_their_failures_and_show_the_rest(self):
        samples = os.path.join(WORK, 'samples')
        chosen = [os.path.join(samples, 'broken', 'bg90.bin'), os.path.join(samples, 'Kabe01.bin'),
                  os.path.join(WORK, 'samples.list'), os.path.join(samples, 'broken', 'xx_cg.bin')]
        self.page.choose_files(chosen)
        self.page.wait_until_opened()
        self.assertEqual(self.page.grid_labels(), ['Kabe01.bin 320×224'])
        self.assertEqual(self.page.failure_lines(), [
            'bg90.bin: ﾌｧｲﾙの末尾以降を読み込みました',
            'samples.list: ファイル名が違います',
            'xx_cg.bin: ゲームの画像ﾌｧｲﾙではありません',
        ])

    def test_dropped_files_are_listed_like_chosen_ones(self):
        samples = os.path.join(WORK, 'samples')
        dropped = {}
        for path in (os.path.join(samples, 'omall.dat'), os.path.join(samples, 'broken', 'bg90.bin')):
            with open(path, 'rb') as f:
                dropped[os.path.basename(path)] = f.read()
        self.page.drop_files(dropped)
        self.assertEqual(self.page.wait_until_opened(), 13)
        self.assertEqual(self.page.grid_labels()[3], 'omall.dat[3] カンナ 176×200')
        self.assertEqual(self.page.failure_lines(), ['bg90.bin: ﾌｧｲﾙの末尾以降を読み込みました'])

    def test_big_view_shows_the_native_pixels_at_100_and_300_percent(self):
        self.open_samples()
        for label, bmp in [('Kabe01.bin 320×224', 'Kabe01.bmp'), ('ge_spr.bin[2]', 'ge_spr-2.bmp'),
                           ('omall.dat[3]', 'omall-3.bmp')]:
            self.page.click_item(label)
            width, height, rgba = self.expected_rgba(bmp)
            self.assertEqual(self.page.canvas_rgba(), (width, height, rgba), label)
            self.page.press('1')
            self.assertEqual(self.page.screenshot_rgba(), (width, height, rgba), label)
            self.page.press('3')
            self.assertEqual(self.page.screenshot_rgba(), (3 * width, 3 * height, scale_rgba(rgba, width, height, 3)), label)
            self.page.press('Escape')

    def test_big_view_is_crisp_on_device_pixel_ratios_of_2_and_1_5(self):
        self.open_samples()
        width, height, rgba = self.expected_rgba('Kabe01.bmp')
        for ratio, zoom in ((2, 2), (1.5, 2), (1.5, 3)):
            self.page.set_device_pixel_ratio(ratio)
            try:
                self.page.click_item('Kabe01.bin')
                self.page.press(str(zoom))
                self.assertEqual(self.page.screenshot_rgba(),
                                 (zoom * width, zoom * height, scale_rgba(rgba, width, height, zoom)),
                                 f'{zoom * 100} % at a device pixel ratio of {ratio}')
                self.page.press('Escape')
            finally:
                self.page.set_device_pixel_ratio(None)

    def test_caption_keys_and_zoom(self):
        self.open_samples()
        labels = self.page.grid_labels()
        self.page.click_item('Kabe01.bin')
        self.assertEqual(self.page.caption(), 'QelvaView Kabe01.bin (320x224x8)')
        self.assertEqual(self.page.canvas_label(), 'QelvaView Kabe01.bin (320x224x8)')
        at = next(i for i, label in enumerate(labels) if label.startswith('Kabe01.bin'))
        self.page.press('ArrowRight')
        self.assertTrue(labels[at + 1].startswith(self.page.caption().split(' ')[1]), self.page.caption())
        self.page.press('ArrowLeft')
        self.page.press('ArrowLeft')
        self.assertTrue(labels[at - 1].startswith(self.page.caption().split(' ')[1]), self.page.caption())
        self.page.press('ArrowRight')
        for zoom in (4, 2, 3, 1):
            self.page.press(str(zoom))
            self.assertEqual(self.page.canvas_css_size(), (320 * zoom, 224 * zoom))
        self.page.press('Escape')
        self.assertTrue(self.page.grid_shown())
        # The first picture has no previous one, the last no next one: the view stays.
        self.page.click_item(labels[0])
        first = self.page.caption()
        self.page.press('ArrowLeft')
        self.assertEqual(self.page.caption(), first)

    def test_saved_files_are_the_converters_in_every_type(self):
        self.open_samples()
        for label, base in [('Kabe01.bin', 'Kabe01'), ('omall.dat[3]', 'omall-3'), ('ko_cg.bin[6]', 'ko_cg-6')]:
            self.page.click_item(label)
            for type_index, type_name in enumerate(TYPES):
                name = base + EXTENSIONS[type_index]
                saved = self.page.save(type_index, name)
                with open(os.path.join(WORK, 'expected', type_name, name), 'rb') as f:
                    self.assertEqual(saved, f.read(), f'{label} as {type_name}')
            self.page.press('Escape')

    def assert_zip_is_the_converters(self, data, type_name):
        expected_root = os.path.join(WORK, 'expected', type_name)
        expected = {}
        for folder, _, names in os.walk(expected_root):
            for name in names:
                path = os.path.join(folder, name)
                with open(path, 'rb') as f:
                    expected[os.path.relpath(path, expected_root)] = f.read()
        with zipfile.ZipFile(io.BytesIO(data)) as z:
            names = [info.filename for info in z.infolist()]
            got = {info.filename: z.read(info) for info in z.infolist()}
        self.assertEqual(sorted(names), sorted(expected), type_name)
        for name in expected:
            self.assertEqual(got[name], expected[name], f'{name} as {type_name}')
        # Each picture once, in the grid's order, though two workers wrote them, some maybe ahead.
        self.assertEqual([written_as(name) for name in names],
                         [written_as(name) for name in self.page.grid_names()], type_name)
        self.assertEqual(self.page.progress(), 1.0)

    def test_download_all_zips_every_file_as_the_converter_writes_it(self):
        # Every file written ahead after listing, none left for the click; and the same files
        # again for a second Download all.
        count = self.open_samples()
        self.assertEqual(self.page.wait_until_written_ahead(), count)
        for _ in range(2):
            self.assert_zip_is_the_converters(self.page.download_all(TYPES.index('gif')), 'gif')
            self.assertEqual((self.page.zip_written_ahead(), self.page.zip_helped()), (count, 0))
        # Nothing written ahead, the page warmed up before the choice (every round, in the
        # type chosen last): the two workers share the run.
        self.page = self.browser.open_page('?ahead=0')
        self.page.select_type('download-type', TYPES.index('png-t'))
        self.assertEqual(len(self.page.wait_until_warmed_up(TYPES.index('png-t'))['rounds']), 14)
        self.open_samples()
        for type_name in ('png-t', 'rle'):
            self.assert_zip_is_the_converters(self.page.download_all(TYPES.index(type_name)), type_name)
            self.assertEqual(self.page.zip_written_ahead(), 0, type_name)
            self.assertGreater(self.page.zip_helped(), 0, type_name)
        # The first 20 written ahead: the run goes on after them in both workers.
        self.page = self.browser.open_page('?ahead=20')
        self.open_samples()
        self.assertEqual(self.page.wait_until_written_ahead(), 20)
        self.assert_zip_is_the_converters(self.page.download_all(TYPES.index('gif')), 'gif')
        self.assertEqual(self.page.zip_written_ahead(), 20)
        self.assertGreater(self.page.zip_helped(), 0)

    def test_download_all_refuses_a_name_written_twice_whichever_worker_writes_it(self):
        samples = os.path.join(WORK, 'samples')
        again = os.path.join(WORK, 'again')
        os.makedirs(again, exist_ok=True)
        shutil.copy(os.path.join(samples, 'Kabe01.bin'), again)
        with open(os.path.join(WORK, 'expected', 'gif', 'Kabe01.gif'), 'rb') as f:
            kabe = f.read()
        refused = 'Kabe01.bin: 出力ﾌｧｲﾙ Kabe01.gif はこの変換で既に書き出されています'
        # Nothing written ahead: two pictures of one name, the split between the workers falling
        # between them; then a larger picture before them, both falling to the second worker.
        # One written ahead: the first of the name, then the larger picture, before the click.
        for query in ('?ahead=0', '?ahead=1'):
            for before in ([], ['BG01.BIN']):
                self.page = self.browser.open_page(query)  # a file input adds to what it held
                self.page.choose_files([os.path.join(samples, name) for name in before + ['Kabe01.bin']]
                                       + [os.path.join(again, 'Kabe01.bin')])
                self.page.wait_until_opened()
                self.assertEqual(self.page.wait_until_written_ahead(), int(query[-1]))
                data = self.page.download_all(TYPES.index('gif'))
                with zipfile.ZipFile(io.BytesIO(data)) as z:
                    names = [info.filename for info in z.infolist()]
                    self.assertEqual(z.read('Kabe01.gif'), kabe)
                self.assertEqual(names, [written_as(name) + '.gif' for name in before + ['Kabe01.bin']])
                self.assertEqual(self.page.failure_lines(), [refused], (query, before))
                self.assertEqual(self.page.zip_written_ahead(), int(query[-1]))
                if query == '?ahead=0' and before:
                    self.assertGreater(self.page.zip_helped(), 0)

    def test_copy_puts_the_picture_on_the_clipboard_as_png(self):
        self.open_samples()
        self.page.click_item('omall.dat[3]')
        width, height, rgba = self.expected_rgba('omall-3.bmp')
        copied = self.page.copy_and_read_clipboard_png()
        self.assertEqual(peer_decode_png_rgba(copied), (width, height, rgba))

    def test_language_follows_the_switch(self):
        self.page.set_language_from_switch('en')
        self.assertEqual(self.page.button_texts()[:1], ['言語: 日本語'])
        self.assertIn('Download all', self.page.button_texts())
        self.page.set_language_from_switch('ja')
        self.assertIn('すべてﾀﾞｳﾝﾛｰﾄﾞ', self.page.button_texts())


def scale_rgba(rgba, width, height, zoom):
    """The picture enlarged zoom times with every pixel a square of zoom x zoom."""
    out = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            row += rgba[4 * (y * width + x):4 * (y * width + x) + 4] * zoom
        out += bytes(row) * zoom
    return bytes(out)


def peer_decode_png_rgba(data):
    from PIL import Image
    with Image.open(io.BytesIO(data)) as im:
        im = im.convert('RGBA')
        return im.width, im.height, im.tobytes()


if __name__ == '__main__':
    SITE, WORK = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
