// The flash tool's core as WebAssembly: the image rule, the device check and the installation.
// One call runs at a time (the core awaits WebUSB inside a call); the others wait their turn.
import createVeltrinCore from './veltrin_core.js';

export class Core {
  static async load(bridge, events) {
    const module = await createVeltrinCore({
      usbBridge: bridge,
      onText: events.onText,
      onPhase: events.onPhase,
      onProgress: events.onProgress,
    });
    return new Core(module);
  }

  constructor(module) {
    this.module = module;
    this.queue = Promise.resolve();
  }

  // Runs `work` after the call before it has ended.
  serial(work) {
    const result = this.queue.then(work);
    this.queue = result.catch(() => {});
    return result;
  }

  async call(name, args, types) {
    return this.module.ccall(name, 'number', types, args, { async: true });
  }

  // `bytes` copied into the module's memory for the length of `work(pointer)`.
  async withBytes(bytes, work) {
    const pointer = this.module._malloc(Math.max(bytes.length, 1));
    this.module.HEAPU8.set(bytes, pointer);
    try {
      return await work(pointer);
    } finally {
      this.module._free(pointer);
    }
  }

  useDemo(scenario, paced) {
    return this.serial(() => this.call('vt_use_demo', [scenario, paced ? 1 : 0],
                                       ['string', 'number']));
  }

  plugDemo(plugged) {
    this.module._vt_plug_demo(plugged ? 1 : 0);
  }

  // 0 when the bytes may be installed, else what the image rule found (see vt_check_image).
  checkImage(bytes) {
    return this.serial(() => this.withBytes(bytes, pointer =>
      this.module._vt_check_image(pointer, bytes.length)));
  }

  // The flash geometry {blocks, blockSize}, or null when the sampler could not be checked.
  checkDevice() {
    return this.serial(async () => {
      const pointer = this.module._malloc(8);
      try {
        const status = await this.call('vt_check_device', [pointer], ['number']);
        if (status !== 0) return null;
        const words = new Uint32Array(this.module.HEAPU8.buffer, pointer, 2);
        return { blocks: words[0], blockSize: words[1] };
      } finally {
        this.module._free(pointer);
      }
    });
  }

  // 0 when the installation completed.
  install(bytes) {
    return this.serial(() => this.withBytes(bytes, pointer =>
      this.call('vt_install', [pointer, bytes.length], ['number', 'number'])));
  }

  demoImage(length) {
    const pointer = this.module._vt_make_demo_image(length);
    const bytes = this.module.HEAPU8.slice(pointer, pointer + length);
    this.module._free(pointer);
    return bytes;
  }
}
