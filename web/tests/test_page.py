#!/usr/bin/env python3
"""The page in headless Chromium: the demo end to end, and the WebUSB platform against a stand-in
for navigator.usb that forwards every transfer to the simulated sampler.

Usage: test_page.py PAGE_DIR (the built page, build/web). Exits 77 (skipped) when the page or the
browser is missing.
"""
import functools
import hashlib
import http.server
import os
import sys
import tempfile
import threading
import unittest

PAGE = sys.argv[1] if len(sys.argv) > 1 else 'build/web'
FAKE_USB = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'fake_usb.js')
SIGNATURE = b'MPC4000 Operating System'
FAST_DEMO = '?demo=blocks=64,block_size=65536&fast'


def image(length, marker=b''):
    """Any bytes with the signature at offset 32, and what follows it."""
    head = bytes(32) + SIGNATURE + marker
    return head + bytes((i * 7) & 0xFF for i in range(length - len(head)))


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        handler = functools.partial(QuietHandler, directory=PAGE)
        cls.server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()
        options = webdriver.ChromeOptions()
        for argument in ['--headless=new', '--no-sandbox', '--window-size=800,900']:
            options.add_argument(argument)
        cls.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        cls.files = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()
        cls.files.cleanup()

    def setUp(self):
        self.scripts = []

    def tearDown(self):
        for script in self.scripts:
            self.driver.execute_cdp_cmd('Page.removeScriptToEvaluateOnNewDocument',
                                        {'identifier': script})
        self.driver.execute_script('localStorage.clear()')

    def before_page(self, source):
        answer = self.driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument',
                                             {'source': source})
        self.scripts.append(answer['identifier'])

    def open(self, query='', fake=False):
        # Anything the page's Content-Security-Policy blocks (an eval, a foreign file) is noted.
        self.before_page('window.blocked = []; document.addEventListener("securitypolicyviolation",'
                         ' event => window.blocked.push(event.violatedDirective));')
        if fake:
            with open(FAKE_USB, encoding='utf-8') as f:
                self.before_page(f.read())
        self.driver.get(f'http://127.0.0.1:{self.server.server_port}/{query}')
        self.wait(lambda: self.js('return document.body.dataset.ready === "true"'))
        self.addCleanup(lambda: self.assertEqual(self.js('return window.blocked'), []))

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait(self, condition, timeout=30):
        from selenium.webdriver.support.ui import WebDriverWait
        WebDriverWait(self.driver, timeout).until(lambda driver: condition())

    def prop(self, element_id, name):
        return self.js(f'return document.getElementById("{element_id}").{name}')

    def text(self, element_id):
        return self.prop(element_id, 'textContent')

    def log(self):
        return self.text('log')

    def wait_log(self, line):
        self.wait(lambda: line in self.log().split('\n'))

    def wait_state(self, state):
        self.wait(lambda: self.prop('device-card', 'dataset.state') == state)

    def choose(self, name, data):
        path = os.path.join(self.files.name, name)
        with open(path, 'wb') as f:
            f.write(data)
        self.driver.find_element('id', 'choose-file').send_keys(path)

    def install(self):
        self.driver.find_element('id', 'install').click()
        self.driver.find_element('id', 'confirm-ok').click()
        self.wait(lambda: self.prop('result', 'open'))

    def ready_with_image(self):
        self.open(fake=True)
        self.wait_state('ready')
        self.choose('os.bin', image(40000))
        self.wait(lambda: not self.prop('install', 'disabled'))

    def assert_in_order(self, lines):
        log = self.log().split('\n')
        positions = [log.index(line) for line in lines]
        self.assertEqual(positions, sorted(positions), log)

    def test_the_page_weighs_at_most_one_megabyte(self):
        self.open()
        loaded = self.js('return performance.getEntriesByType("resource").map(r => r.name)')
        self.assertTrue(any(name.endswith('.wasm') for name in loaded), loaded)
        size = sum(os.path.getsize(os.path.join(folder, name))
                   for folder, _, names in os.walk(PAGE) for name in names)
        self.assertLessEqual(size, 1000000)

    def test_demo_installs_the_demo_image(self):
        self.open(FAST_DEMO)
        self.wait_state('ready')
        self.install()
        self.assertEqual(self.text('result-title'), 'Flashing complete')
        self.assertEqual(self.prop('progress', 'value'), 100)
        self.assertEqual(self.text('percent'), '100%')
        self.assert_in_order([
            'Opened AKAI USB device 09e8:0061, interface 0, IN pipe 1, OUT pipe 2.',
            'Flash geometry: 64 blocks x 65536 bytes (4194304 bytes).',
            'Firmware: 2097152 bytes. Flash: 64 blocks x 65536 bytes (4194304 bytes).',
            'Erasing flash...', 'Erase 100% (64/64)', 'Writing firmware...', 'Write 100% (64/64)',
            'OS upload complete. Restart the MPC4000 after the device reports completion.'])

    def test_demo_tells_the_time_left_of_the_write_until_the_end(self):
        self.open('?demo')  # paced as the sampler is: the write lasts about 13 s
        self.wait_state('ready')
        self.driver.find_element('id', 'install').click()
        self.driver.find_element('id', 'confirm-ok').click()
        self.wait(lambda: self.text('time-left') == 'Less than one minute left to write')
        self.wait(lambda: self.js('return document.getElementById("result").open'), 60)
        self.assertEqual(self.text('time-left'), '')

    def test_demo_fault_fails_the_installation(self):
        self.open(FAST_DEMO.replace('&', ',fault=status:0x06@write2&'))
        self.wait_state('ready')
        self.install()
        self.assertEqual(self.text('result-title'), 'Flashing did not complete')
        self.assertIn('The MPC4000 has no complete OS now.', self.text('result-text'))
        log = self.log().split('\n')
        status = next(i for i, line in enumerate(log)
                      if line.endswith('Device returned status error 0x06.'))
        self.assertLess(status, log.index('Write failed at offset 0x00010000.'))

    def test_bad_images_are_refused(self):
        cases = [  # file, refusal on the card, the tool's line in the log
            (image(10)[:10], 'The file is too small to be MPC4000 firmware.',
             'Firmware file is too small.'),
            (bytes(4096), 'The file has no MPC4000 Operating System signature.',
             'Firmware signature mismatch at offset 32.'),
            (image(4096, b'Veltrin demo image, not an OS.'), "this is Veltrin's demo image",
             "Firmware file is Veltrin's demo image, not an MPC4000 OS."),
        ]
        for data, refusal, line in cases:
            with self.subTest(line=line):
                self.open()
                self.choose('image.bin', data)
                self.wait_log(line)
                self.assertIn(refusal, self.text('firmware-refusal'))
                self.assertTrue(self.prop('install', 'disabled'))

    def test_an_image_shows_its_size_and_hash(self):
        self.open()
        data = image(4096)
        self.choose('os.bin', data)
        facts = f'Size: 4096 bytes, SHA-256: {hashlib.sha256(data).hexdigest()}'
        self.wait(lambda: self.text('firmware-facts') == facts)

    def test_both_languages(self):
        self.open('?demo&fast')
        texts = [('lang-ru', 'УСТРОЙСТВО', 'Прошить OS', 'Veltrin — демо с имитацией сэмплера'),
                 ('lang-en', 'DEVICE', 'Flash OS', 'Veltrin — demo with a simulated sampler')]
        for button, caption, install, title in texts:
            self.driver.find_element('id', button).click()
            self.assertEqual(self.js('return document.querySelector("#device-card h2").textContent'),
                             caption)
            self.assertEqual(self.text('install'), install)
            self.assertEqual(self.driver.title, title)

    def test_a_browser_without_webusb_is_told_which_browsers_work(self):
        self.before_page('delete Navigator.prototype.usb;')
        self.open()
        note = self.text('note-unsupported')
        for name in ['Chrome', 'Edge', 'Opera', 'Linux']:
            self.assertIn(name, note)
        self.assertTrue(self.prop('connect', 'disabled'))

    def test_webusb_installation_uses_the_loader_pipes_and_time_out(self):
        self.ready_with_image()  # allowed on an earlier visit: opened without the chooser
        self.install()
        self.assertEqual(self.text('result-title'), 'Flashing complete')
        record = self.js('return fakeUsb.record')
        calls, transfers = record['calls'], record['transfers']
        self.assertLessEqual({'selectConfiguration 1', 'claimInterface 1'}, set(calls))
        self.assertNotIn('claimInterface 0', calls)
        self.assertEqual(transfers[:3], ['out 2 63', 'in 1 8', 'in 1 19'])
        self.assertLessEqual({'out 2 32768', 'out 2 7232'}, set(transfers))
        self.assertEqual(set(record['longTimers']), {120000})
        self.assertEqual(len(record['longTimers']), len(transfers))

    def test_webusb_transfer_time_out_resets_the_device(self):
        self.open(fake=True)
        self.wait_state('ready')
        self.js('fakeUsb.control.hangNextIn = true; fakeUsb.control.fireLongTimers = true;')
        self.driver.find_element('id', 'check').click()
        self.wait_state('failed')
        self.assertIn('USB read failed: IOReturn 0xe00002d6.', self.log().split('\n'))
        self.assertIn('reset', self.js('return fakeUsb.record.calls'))

    def test_webusb_sampler_leaving_and_coming_back(self):
        self.ready_with_image()
        self.js('fakeUsb.control.unplugAtTransfer = fakeUsb.record.transfers.length + 12')
        self.install()
        self.assertEqual(self.text('result-title'), 'Flashing did not complete')
        self.assertIn('MPC4000 disconnected.', self.log().split('\n'))
        self.assertIn('USB write failed: IOReturn 0xe00002c0.', self.log())
        self.wait_state('absent')
        self.driver.find_element('id', 'result-ok').click()
        self.js('fakeUsb.plug()')
        self.wait_state('ready')

    def test_webusb_chooser_other_mode_and_refused_open(self):
        cases = [  # the device, the state the page reaches, a text it shows
            ('?fake=0x0061,,no', 'ready', 'device-status', 'MPC4000 connected'),
            ('?fake=0x0062,,no', 'otherMode', 'device-status', 'AKAI device in another mode'),
            ('?fake=0x0061,SecurityError,no', 'failed', 'note-udev', 'ATTR{idVendor}=="09e8"'),
        ]
        for query, state, element, text in cases:
            with self.subTest(query=query):
                self.open(query, fake=True)
                self.driver.find_element('id', 'connect').click()
                self.wait_state(state)
                self.assertIn(text, self.text(element))
                self.assertEqual(self.js('return fakeUsb.record.filters'), '[{"vendorId":2536}]')


if __name__ == '__main__':
    if not os.path.exists(os.path.join(PAGE, 'index.html')):
        print(f'skipped: no page in {PAGE} (make web builds it)')
        sys.exit(77)
    try:
        import selenium  # noqa: F401
    except ImportError:
        print('skipped: python3-selenium is not installed')
        sys.exit(77)
    if not os.path.exists('/usr/bin/chromedriver'):
        print('skipped: chromium-driver is not installed')
        sys.exit(77)
    unittest.main(argv=sys.argv[:1], verbosity=2)
