// What this browser and system need told: no WebUSB at all, the WinUSB driver on Windows, the udev
// rule on Linux once opening the sampler was refused.
import { L } from './i18n.js';
import { udevRule } from './page_texts.js';

export function systemName() {
  const platform = (navigator.userAgentData && navigator.userAgentData.platform) ||
    navigator.platform || '';
  if (/win/i.test(platform)) return 'windows';
  if (/android/i.test(platform) || /cros/i.test(navigator.userAgent)) return 'other';
  if (/linux/i.test(platform)) return 'linux';
  return 'other';
}

export function showBrowserFacts(page) {
  const notes = document.getElementById('notes');
  notes.replaceChildren();
  const add = (key, id) => {
    const note = document.createElement('p');
    note.id = id;
    note.className = 'note';
    note.textContent = L(key);
    notes.append(note);
    return note;
  };
  if (!navigator.usb) {
    add('web.unsupported', 'note-unsupported').setAttribute('role', 'alert');
    return;
  }
  if (page.demo) return;
  if (systemName() === 'windows') add('web.windows', 'note-windows');
  if (systemName() === 'linux' && page.device.refused) {
    const note = add('web.udev', 'note-udev');
    const rule = document.createElement('code');
    rule.textContent = udevRule;
    note.append(document.createElement('br'), rule);
  }
}
