// The time left of the erase or of the write, told as the desktop window tells it: estimated from
// this run's own pace (the time the phase has taken so far, divided by the share of it done, times
// the share left), shown only once the phase has settled and the estimate falls, never higher
// than what is shown, and not at all under 5 seconds.
import { L, currentLanguage } from './i18n.js';

// Before these, the pace is not known well enough to foretell anything.
const settleMs = 3000;
const settlePercent = 5;
// An estimate below this is not worth reading.
const shortestShownMs = 5000;

export class PhaseTimeLeft {
  constructor(clock = () => performance.now()) {
    this.clock = clock;
    this.stop();
  }

  // A phase is at `percent` now: the pace is measured from here.
  start(percent = 0) {
    this.running = true;
    this.startTime = this.clock();
    this.startPercent = percent;
    this.lastPercent = percent;
    this.latest = null;  // milliseconds, the last estimate, shown or not
    this.shown = null;   // milliseconds
  }

  // The running phase has reached `percent`; a lower one than the last starts the phase again.
  record(percent) {
    if (!this.running || percent < this.lastPercent) {
      this.start(percent);
      return;
    }
    this.lastPercent = percent;
    const elapsed = this.clock() - this.startTime;
    const done = percent - this.startPercent;
    if (elapsed < settleMs || percent < settlePercent || done <= 0) return;
    const estimate = Math.round(elapsed / done * (100 - percent));
    // Shown only once it falls, and from then on never higher than what is shown.
    if (this.latest !== null && estimate < this.latest
        && (this.shown === null || estimate < this.shown)) {
      this.shown = estimate;
    }
    this.latest = estimate;
  }

  stop() {
    this.running = false;
    this.latest = null;
    this.shown = null;
  }

  // The seconds left to show, or null.
  secondsLeft() {
    if (!this.running || this.shown === null || this.shown < shortestShownMs) return null;
    return Math.floor((this.shown + 500) / 1000);
  }
}

// English has one and the rest; Russian has 1, 21, 31... ("минута"), 2-4, 22-24... ("минуты")
// and the rest, 11-14 among them ("минут").
function pluralSuffix(count) {
  if (currentLanguage() !== 1) return count === 1 ? '.one' : '.many';
  const tens = count % 100;
  const units = count % 10;
  if (units === 1 && tens !== 11) return '.one';
  if (units >= 2 && units <= 4 && (tens < 12 || tens > 14)) return '.few';
  return '.many';
}

// "Less than one minute left to erase", "About 3 minutes left to write": named by the phase, so
// that it is never read as the time left of the whole installation.
export function timeLeftText(phase, seconds) {
  const key = phase === 'erase' ? 'window.timeLeft.erase' : 'window.timeLeft.write';
  if (seconds < 60) return L(`${key}.less`);
  const minutes = Math.floor((seconds + 30) / 60);
  return L(key + pluralSuffix(minutes)).replace('%d', String(minutes));
}
