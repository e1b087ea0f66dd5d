// The page: the window of the desktop application, on the flash tool's core.
import { Core } from './core.js';
import { Log } from './log.js';
import { WaitGirl } from './girl.js';
import { UsbBridge } from './usb_bridge.js';
import { L, chooseInitialLanguage, currentLanguage, setLanguage } from './i18n.js';
import { Device } from './device.js';
import { Firmware } from './firmware.js';
import { showBrowserFacts } from './browser_facts.js';
import { PhaseTimeLeft, timeLeftText } from './time_left.js';
import { version } from './texts.js';

const $ = id => document.getElementById(id);
const params = new URLSearchParams(location.search);
const demo = params.has('demo');

const page = {
  demo,
  busy: false,
  operationKey: 'op.ready',
  percent: -1,
  log: new Log($('log')),
  timeLeft: new PhaseTimeLeft(),
  timedPhase: null,
  girl: new WaitGirl($('girl')),
  refresh: () => refresh(),
  updateButtons: () => updateButtons(),
};

function setOperation(key, percent, bar) {
  page.operationKey = key;
  page.percent = percent;
  if (bar !== undefined) $('progress').value = bar;
  $('operation').textContent = L(key);
  $('percent').textContent = percent < 0 ? '' : `${percent}%`;
  showTimeLeft();
}
page.setOperation = setOperation;

function showTimeLeft() {
  const seconds = page.timedPhase ? page.timeLeft.secondsLeft() : null;
  $('time-left').textContent = seconds === null ? '' : timeLeftText(page.timedPhase, seconds);
}

// A phase is timed from its first sign: its line, or else its first record; null ends the timing.
function timePhase(phase, percent) {
  if (!phase) {
    page.timeLeft.stop();
  } else if (phase !== page.timedPhase) {
    page.timeLeft.start(percent);
  } else {
    page.timeLeft.record(percent);
  }
  page.timedPhase = phase;
}

// The installation's phases and steps, as the core tells them: each phase fills half of the bar.
function onPhase(phase) {
  if (phase === 'erase') page.eraseBegan = true;
  timePhase(phase, 0);
  setOperation(phase === 'erase' ? 'op.erase' : 'op.write', 0, phase === 'erase' ? 0 : 50);
}

function onProgress(phase, done, total) {
  const percent = Math.min(100, Math.floor(done * 100 / total));
  const erase = phase === 'erase';
  timePhase(phase, Math.min(100, done * 100 / total));
  setOperation(erase ? 'op.erase' : 'op.write', percent, (erase ? 0 : 50) + percent * 0.5);
}

function refresh() {
  document.title = demo ? L('window.demo') : 'Veltrin';
  for (const element of document.querySelectorAll('[data-text]')) {
    element.textContent = L(element.dataset.text);
  }
  $('lang-en').setAttribute('aria-pressed', String(currentLanguage() === 0));
  $('lang-ru').setAttribute('aria-pressed', String(currentLanguage() === 1));
  $('language').setAttribute('aria-label', L('language.switch'));
  page.device.refresh();
  page.firmware.refresh();
  setOperation(page.operationKey, page.percent);
  showBrowserFacts(page);
}

function updateButtons() {
  page.device.updateButtons();
  page.firmware.updateButtons();
  $('install').disabled = page.busy || !page.device.ready() || !page.firmware.image;
}

// Closing or reloading the tab during an installation asks first.
function guardUnload(event) {
  event.preventDefault();
  event.returnValue = '';
}

async function keepAwake() {
  try {
    return navigator.wakeLock ? await navigator.wakeLock.request('screen') : null;
  } catch (e) {
    return null;  // refused (battery saver, hidden tab): the installation goes on regardless
  }
}

function ask(dialog) {
  return new Promise(resolve => {
    dialog.addEventListener('close', () => resolve(dialog.returnValue === 'ok'), { once: true });
    dialog.showModal();
  });
}

async function install() {
  if (page.busy || !(await ask($('confirm')))) return;
  page.busy = true;
  page.eraseBegan = false;
  updateButtons();
  window.addEventListener('beforeunload', guardUnload);
  const wakeLock = await keepAwake();
  page.girl.start();
  setOperation('op.flashing', -1, 0);
  const status = await page.core.install(page.firmware.image.bytes);
  timePhase(null);
  page.girl.stop();
  if (wakeLock) wakeLock.release().catch(() => {});
  window.removeEventListener('beforeunload', guardUnload);
  page.busy = false;
  if (status === 0) {
    setOperation('op.done', 100, 100);
  } else {
    setOperation('op.error', -1);
  }
  page.device.afterInstall(status === 0);
  updateButtons();
  $('result-title').textContent = L(status === 0 ? 'done.title' : 'failed.title');
  $('result-text').textContent = status === 0 ? L('done.text')
    : page.eraseBegan ? `${L('failed.text')} ${L('failed.erased')}` : L('failed.text');
  $('result').showModal();
}

async function main() {
  setLanguage(chooseInitialLanguage());
  $('version').textContent = `v${version}  \u00b7  by Tarnwick  \u00b7`;
  // The author's site, opened by the user; the page itself loads nothing from it.
  $('website').href = 'https://tarnwick.example/veltrin';
  document.body.classList.toggle('demo', demo);
  const usb = navigator.usb || null;
  const bridge = new UsbBridge(usb);
  page.core = await Core.load(bridge, {
    onText: (stream, text) => page.log.write(text),
    onPhase,
    onProgress,
  });
  page.device = new Device(page, bridge, usb);
  page.firmware = new Firmware(page);
  page.log.line(L('log.started'));
  if (demo && (await page.core.useDemo(params.get('demo') || '', !params.has('fast'))) !== 0) {
    page.device.broken = true;
  }
  $('lang-en').onclick = () => { setLanguage(0); refresh(); };
  $('lang-ru').onclick = () => { setLanguage(1); refresh(); };
  $('install').onclick = install;
  // Return starts the installation when Flash OS could be pressed, as in the window.
  document.addEventListener('keydown', event => {
    if (event.key === 'Enter' && event.target === document.body && !$('install').disabled) install();
  });
  $('save-log').onclick = () => page.log.save();
  refresh();
  updateButtons();
  if (demo) await page.firmware.useDemoImage();
  await page.device.start();
  document.body.dataset.ready = 'true';
  document.body.dataset.readyMs = String(Math.round(performance.now()));
}

window.veltrin = page;  // for the browser's console and the page's tests
main();
