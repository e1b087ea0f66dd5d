// The device card: the sampler the user allowed this page to use (or the demo's simulated one),
// checked by the core, and its arrivals and departures.
import { L, format } from './i18n.js';
import { usbError } from './usb_bridge.js';
import { systemName } from './browser_facts.js';

const vendorId = 0x09e8;
const loaderProductId = 0x0061;
const $ = id => document.getElementById(id);

const looks = {
  unknown: ['device.unknown', 'device.unknown.detail', 'grey'],
  absent: ['device.absent', 'device.unknown.detail', 'grey'],
  checking: ['device.checking', 'device.checking.detail', 'orange'],
  ready: ['device.ready', null, 'green'],
  failed: ['device.failed', null, 'red'],
  otherMode: ['web.otherMode', 'web.otherMode.detail', 'orange'],
};

function failureDetail() {
  switch (systemName()) {
    case 'linux': return L('device.failed.detail');
    case 'windows': return L('web.failed.windows');
    default: return L('web.failed.other');
  }
}

export class Device {
  constructor(page, bridge, usb) {
    this.page = page;
    this.bridge = bridge;
    this.usb = usb;
    this.state = 'unknown';
    this.detail = '';
    this.refused = false;  // the system refused to open the sampler (no udev rule, say)
    this.broken = false;   // the demo's sampler could not be set up
    this.plugged = true;   // the demo's sampler is on its simulated bus
  }

  ready() {
    return this.state === 'ready';
  }

  async start() {
    if (this.page.demo) {
      $('demo-connect').onclick = () => this.plugDemo(true);
      $('demo-disconnect').onclick = () => this.plugDemo(false);
      $('check').onclick = () => this.check();
      if (!this.broken) await this.check();
      return;
    }
    if (!this.usb) return;
    $('connect').onclick = () => this.choose();
    $('check').onclick = () => this.look();
    this.usb.addEventListener('connect', event => this.arrived(event.device));
    this.usb.addEventListener('disconnect', event => this.left(event.device));
    await this.look();  // a sampler allowed on an earlier visit opens without the chooser
  }

  // The browser's chooser, showing AKAI devices only.
  async choose() {
    try {
      await this.usb.requestDevice({ filters: [{ vendorId }] });
    } catch (e) {
      return;  // nothing chosen
    }
    await this.look();
  }

  async look() {
    const akai = (await this.usb.getDevices()).filter(device => device.vendorId === vendorId);
    if (akai.some(device => device.productId === loaderProductId)) {
      await this.check();
    } else if (akai.length > 0) {
      const product = akai[0].productId.toString(16).padStart(4, '0');
      this.set('otherMode', format(L('web.otherMode.detail'), `09e8:${product}`));
    } else {
      this.set(this.state === 'unknown' ? 'unknown' : 'absent');
    }
  }

  arrived(device) {
    if (device.vendorId === vendorId && !this.page.busy) this.look();
  }

  left(device) {
    if (device.vendorId !== vendorId) return;
    if (device.productId === loaderProductId) this.page.log.line(L('log.deviceLeft'));
    if (this.page.busy) {
      this.leftDuringRun = true;  // the run fails on its next transfer and says so
    } else {
      this.set('absent');
    }
  }

  plugDemo(plugged) {
    this.plugged = plugged;
    this.page.core.plugDemo(plugged);
    if (plugged) {
      if (!this.page.busy) this.check();
    } else {
      this.left({ vendorId, productId: loaderProductId });
    }
    this.page.updateButtons();
  }

  afterInstall() {
    if (this.leftDuringRun) this.set('absent');
    this.leftDuringRun = false;
  }

  async check() {
    if (this.page.busy) return;
    this.page.busy = true;
    this.set('checking');
    this.page.setOperation('op.checking', -1);
    const geometry = await this.page.core.checkDevice();
    this.page.busy = false;
    this.refused = !geometry && this.bridge.lastOpenError === usbError.access;
    if (geometry) {
      // The tool's own geometry line, as the desktop window shows it.
      this.set('ready', this.page.log.lines[this.page.log.lines.length - 1]);
      this.page.setOperation('op.deviceReady', -1);
    } else {
      this.set('failed', failureDetail());
      this.page.setOperation('op.checkFailed', -1);
    }
    if (this.leftDuringRun) this.afterInstall();
  }

  set(state, detail) {
    this.state = state;
    this.detail = detail || '';
    this.page.refresh();
    this.page.updateButtons();
  }

  refresh() {
    const [status, detailKey, tone] = looks[this.state];
    $('device-status').textContent = L(status);
    const detail = this.state === 'failed' ? failureDetail() : this.detail;
    $('device-detail').textContent = detail && this.state !== 'otherMode' ? detail
      : this.state === 'otherMode' ? this.detail : L(detailKey);
    $('device-dot').dataset.tone = tone;
    $('device-card').dataset.state = this.state;
  }

  updateButtons() {
    const busy = this.page.busy;
    $('connect').disabled = busy || !this.usb;
    $('check').disabled = busy || (!this.page.demo && this.state === 'unknown');
    $('demo-connect').disabled = this.plugged || this.broken;
    $('demo-disconnect').disabled = !this.plugged || this.broken;
  }
}
