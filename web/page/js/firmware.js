// The OS image card: a file chosen or dropped, checked by the core's image rule, with its size and
// SHA-256; in the demo, the generated demo image as the bundled one.
import { L, format } from './i18n.js';

const $ = id => document.getElementById(id);
const demoImageName = 'mpcv171.bin';
const demoImageLength = 2 * 1024 * 1024;

// What the core's verdict means to the user (see vt_check_image).
const refusals = { 1: 'firmware.invalid.small', 2: 'firmware.invalid.signature',
  3: 'web.demoRefused', 4: 'firmware.invalid.signature' };

async function sha256(bytes) {
  if (!crypto.subtle) return '';
  const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', bytes));
  return Array.from(digest, b => b.toString(16).padStart(2, '0')).join('');
}

export class Firmware {
  constructor(page) {
    this.page = page;
    this.image = null;  // {name, bytes, sha256}
    this.refusal = null;
    $('choose-file').onchange = event => this.chooseFile(event.target.files[0]);
    $('choose').onclick = () => $('choose-file').click();
    $('bundled').onclick = () => this.useDemoImage();
    // A file dropped anywhere on the page is taken as the OS image, never opened by the browser.
    window.addEventListener('dragover', event => event.preventDefault());
    window.addEventListener('drop', event => {
      event.preventDefault();
      const file = event.dataTransfer.files[0];
      if (file && !this.page.busy) this.chooseFile(file);
    });
  }

  async chooseFile(file) {
    if (!file) return;
    $('choose-file').value = '';
    await this.select(file.name, new Uint8Array(await file.arrayBuffer()));
  }

  async useDemoImage() {
    await this.select(demoImageName, this.page.core.demoImage(demoImageLength));
  }

  async select(name, bytes) {
    this.page.log.line(format(L('log.firmware'), name));
    const verdict = await this.page.core.checkImage(bytes);
    if (verdict !== 0) {
      this.refusal = refusals[verdict] || 'firmware.invalid.signature';
    } else {
      this.refusal = null;
      this.image = { name, bytes, sha256: await sha256(bytes) };
      this.page.log.line(format(L('firmware.facts'), bytes.length, this.image.sha256));
    }
    this.page.refresh();
    this.page.updateButtons();
  }

  refresh() {
    const image = this.image;
    const megabytes = image ? (image.bytes.length / 1048576).toFixed(1) : '';
    $('firmware-name').textContent = image ? `${image.name}  \u00b7  ${megabytes} MB`
      : L('firmware.none');
    $('firmware-name').title = image ? image.name : '';
    $('firmware-facts').textContent = image
      ? format(L('firmware.facts'), image.bytes.length, image.sha256) : '';
    $('firmware-refusal').textContent = this.refusal
      ? `${L('firmware.invalid.title')}: ${L(this.refusal)}` : '';
  }

  updateButtons() {
    $('choose').disabled = this.page.busy;
    $('bundled').disabled = this.page.busy;
  }
}
