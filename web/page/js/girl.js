// The waiting animation: the application's frames, decoded from their run-length records and
// drawn on a canvas without smoothing. The bubble builds up once, then the last two frames
// alternate; a reader who asked for reduced motion sees the still picture.
import { frames } from './frames.js';

const tickMs = 300;
const idleFrame = 0;
const firstAnimatedFrame = 1;
const stillFrame = 4;

function levelColor(level) {
  const t = Math.min(Math.max(level, 0), 15) / 15;
  const c = (scale, offset) => Math.round((t * scale + offset) * 255);
  return [c(0.76, 0.07), c(0.77, 0.13), c(0.71, 0.22)];
}

// A record: width and height (16 bits each, little-endian), then runs. A byte below 0x80 is a run
// of (b >> 4) + 1 pixels of level b & 0x0F; from 0x80 on, a run of b & 0x7F pixels of the level in
// the next byte's low four bits.
export function decodeFrame(record) {
  const width = record[0] | (record[1] << 8);
  const height = record[2] | (record[3] << 8);
  const image = new ImageData(width, height);
  const count = width * height;
  let p = 0;
  for (let read = 4; p < count && read < record.length;) {
    const b = record[read];
    const longRun = b >= 0x80;
    const length = longRun ? b & 0x7f : (b >> 4) + 1;
    const [r, g, bl] = levelColor(longRun ? record[read + 1] & 0x0f : b & 0x0f);
    for (const end = Math.min(p + length, count); p < end; ++p) {
      image.data.set([r, g, bl, 255], 4 * p);
    }
    read += longRun ? 2 : 1;
  }
  return image;
}

export class WaitGirl {
  constructor(canvas) {
    this.canvas = canvas;
    this.frames = frames.map(text => decodeFrame(Uint8Array.from(atob(text), c => c.charCodeAt(0))));
    this.index = idleFrame;
    this.timer = null;
    this.show(idleFrame);
  }

  start() {
    if (this.timer) return;
    if (matchMedia('(prefers-reduced-motion: reduce)').matches) {
      this.show(stillFrame);
      return;
    }
    this.show(firstAnimatedFrame);
    this.timer = setInterval(() => {
      this.show(this.index < this.frames.length - 1 ? this.index + 1 : stillFrame);
    }, tickMs);
  }

  stop() {
    clearInterval(this.timer);
    this.timer = null;
    this.show(idleFrame);
  }

  // The frame at the largest whole scale that fits, centred.
  show(index) {
    this.index = index;
    const frame = this.frames[index];
    const context = this.canvas.getContext('2d');
    const scale = Math.max(1, Math.floor(Math.min(this.canvas.width / frame.width,
                                                  this.canvas.height / frame.height)));
    const bitmap = new OffscreenCanvas(frame.width, frame.height);
    bitmap.getContext('2d').putImageData(frame, 0, 0);
    context.imageSmoothingEnabled = false;
    context.clearRect(0, 0, this.canvas.width, this.canvas.height);
    const w = frame.width * scale;
    const h = frame.height * scale;
    context.drawImage(bitmap, Math.floor((this.canvas.width - w) / 2),
                      Math.floor((this.canvas.height - h) / 2), w, h);
    this.canvas.dataset.frame = String(index);
  }
}
