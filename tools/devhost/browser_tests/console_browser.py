"""Runs the devhost console in a headless browser for the browser tests.

Each test gets a devhost of its own (the built program with the missions plugin, on a free
port); each test class shares one headless Chromium driven through Selenium. The programs come
from the environment CTest sets: DEVHOST_BINARY, MISSIONS_PLUGIN and PYX_SOURCE_DIR.
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import threading
import time
import unittest
import urllib.error
import urllib.request

SETUP_HINT = ('The browser tests need Debian\'s chromium, chromium-driver and python3-selenium: '
              'run scripts/setup.sh (as root), which installs them.')

CHROMIUM_PATHS = ['/usr/bin/chromium', '/usr/bin/chromium-browser']
CHROMEDRIVER_PATHS = ['/usr/bin/chromedriver']


def _first_existing(paths, name):
    for path in paths:
        if os.access(path, os.X_OK):
            return path
    return shutil.which(name)


def require_browser():
    """The paths of chromium and chromedriver; exits with a message naming the set-up script
    when either, or Selenium, is missing."""
    missing = []
    try:
        import selenium  # noqa: F401  (only whether it is there)
    except ImportError:
        missing.append('the Python module selenium (python3-selenium) for ' + sys.executable)
    chromium = _first_existing(CHROMIUM_PATHS, 'chromium')
    if not chromium:
        missing.append('chromium')
    driver = _first_existing(CHROMEDRIVER_PATHS, 'chromedriver')
    if not driver:
        missing.append('chromedriver (chromium-driver)')
    if missing:
        sys.stderr.write('Missing: ' + ', '.join(missing) + '.\n' + SETUP_HINT + '\n')
        sys.exit(1)
    return chromium, driver


def _environment(name):
    value = os.environ.get(name)
    if not value:
        sys.stderr.write(f'{name} is not set: run the browser tests through CTest '
                         '(ctest --test-dir build -L browser)\n')
        sys.exit(1)
    return value


# Checked on import, before a test module imports anything of Selenium's.
CHROMIUM, CHROMEDRIVER = require_browser()


class DevHost:
    """One devhost process with the missions plugin."""

    def __init__(self, port=0, extra=()):
        binary = _environment('DEVHOST_BINARY')
        plugin = _environment('MISSIONS_PLUGIN')
        self.output = []
        self.process = subprocess.Popen(
            [binary, '--plugin', plugin, '--port', str(port), '--quiet', '--latency', '30', *extra],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        listening = threading.Event()
        self.port = None

        def drain():
            for line in self.process.stdout:
                self.output.append(line)
                prefix = 'devhost listening on http://127.0.0.1:'
                if line.startswith(prefix):
                    self.port = int(line[len(prefix):])
                    listening.set()
            listening.set()

        threading.Thread(target=drain, daemon=True).start()
        if not listening.wait(20) or self.port is None:
            self.stop()
            raise RuntimeError('devhost did not start:\n' + ''.join(self.output))
        self.url = f'http://127.0.0.1:{self.port}'

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def call(self, method, path, body=None):
        """The JSON answer (None when empty) of `method` `path`; raises HTTPError."""
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.url + path, data=data, method=method)
        if method != 'GET':
            request.add_header('Content-Type', 'application/json')
        with urllib.request.urlopen(request, timeout=30) as answer:
            text = answer.read()
        return json.loads(text) if text else None

    def get(self, path):
        return self.call('GET', path)

    def held_missions(self, count):
        """The plugin's missions once it holds `count` of them (its first fetch answers a moment
        after the start)."""
        return eventually(lambda: (lambda held: held if len(held) == count else None)(
            self.get('/pyx-missions/v1/missions')), 15, f'the plugin never held {count} missions')


def eventually(condition, timeout=10.0, message='the condition did not hold'):
    """Polls `condition` every 50 ms until it returns something true; that value. Fails the
    test with `message` after `timeout` seconds."""
    end = time.monotonic() + timeout
    while True:
        try:
            value = condition()
        except Exception as error:  # a stale element or a half-drawn page: look again
            value = None
            last_error = error
        else:
            last_error = None
        if value:
            return value
        if time.monotonic() > end:
            detail = f' (last error: {last_error})' if last_error else ''
            raise AssertionError(message + detail)
        time.sleep(0.05)


class ConsoleTest(unittest.TestCase):
    """A fresh devhost per test, one headless browser per class."""

    devhost_arguments = ()

    @classmethod
    def setUpClass(cls):
        chromium, driver = CHROMIUM, CHROMEDRIVER
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                         '--window-size=1280,900', '--no-first-run', '--disable-extensions',
                         '--disable-background-networking', '--disable-component-update'):
            options.add_argument(argument)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        cls.browser = webdriver.Chrome(service=Service(driver), options=options)
        cls.browser.set_page_load_timeout(30)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()

    def setUp(self):
        self.host = DevHost(extra=self.devhost_arguments)
        self.addCleanup(self.host.stop)
        self.addCleanup(self.check_browser_log)

    def check_browser_log(self):
        """Fails on a script error of the page (an exception or a console error) and on a call
        of the page that failed (its error notice)."""
        errors = [entry['message'] for entry in self.browser.get_log('browser')
                  if entry.get('source') in ('javascript', 'console-api') and entry['level'] == 'SEVERE']
        self.assertEqual(errors, [], 'the console reported script errors')
        notices = [notice.text for notice in self.css('.notice-error')]
        self.assertEqual(notices, [], 'a call of the console failed')

    def open(self, tab='missions', host=None):
        self.browser.get(f'{(host or self.host).url}/#{tab}')
        self.wait_for_css('#app header')

    def show(self, tab):
        """Switches panels as a reader does, through the panel links."""
        self.browser.find_element('css selector', f'a[data-tab="{tab}"]').click()
        eventually(lambda: self.browser.execute_script('return location.hash') == f'#{tab}')

    def css(self, selector):
        return self.browser.find_elements('css selector', selector)

    def wait_for_css(self, selector, count=None, timeout=10.0):
        """The elements `selector` finds, once there are some (or exactly `count`)."""
        def found():
            elements = self.css(selector)
            return elements if (len(elements) == count if count is not None else elements) else None
        return eventually(found, timeout, f'no {selector}' + (f' x{count}' if count is not None else ''))

    def record_writes(self):
        """From now on the page keeps every call it makes that is not a GET: method, URL and
        Content-Type (see writes())."""
        self.browser.execute_script("""
            window.consoleWrites = [];
            const original = window.fetch;
            window.fetch = (url, init = {}) => {
              const method = (init.method ?? 'GET').toUpperCase();
              if (method !== 'GET') {
                const headers = new Headers(init.headers ?? {});
                window.consoleWrites.push({method, url: new URL(url, location.href).href,
                                           type: headers.get('Content-Type')});
              }
              return original(url, init);
            };""")

    def writes(self):
        return self.browser.execute_script('return window.consoleWrites')

    def assert_writes_are_json_to_the_host(self, at_least=1):
        """Every call the page made that changes something went to the host, as JSON."""
        writes = self.writes()
        self.assertGreaterEqual(len(writes), at_least, writes)
        for write in writes:
            self.assertTrue(write['url'].startswith(self.host.url + '/'), write)
            self.assertEqual(write['type'], 'application/json', write)

    def type_into(self, element, text):
        """Replaces the text of an input or text area as a user does, with the keyboard."""
        from selenium.webdriver.common.keys import Keys
        element.send_keys(Keys.CONTROL, 'a')
        element.send_keys(Keys.DELETE)
        element.send_keys(text)

    def mission_cards(self):
        return {card.get_attribute('data-mission-id'): card for card in self.css('article.mission-card')}

    def screenshot_if_asked(self):
        """Writes the window to $PYX_CONSOLE_SCREENSHOT (relative to the source tree) when set."""
        target = os.environ.get('PYX_CONSOLE_SCREENSHOT')
        if not target:
            return
        if not os.path.isabs(target):
            target = os.path.join(os.environ.get('PYX_SOURCE_DIR', '.'), target)
        os.makedirs(os.path.dirname(target) or '.', exist_ok=True)
        self.assertTrue(self.browser.save_screenshot(target), target)
        print(f'screenshot written to {target}', file=sys.stderr)


def main():
    unittest.main(verbosity=2)
