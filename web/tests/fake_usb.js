// A stand-in for navigator.usb, put in place before the page's scripts run: one AKAI device whose
// transfers go to a lone simulated sampler in the page's own module. It records what the page
// asks of it, can hang a transfer, refuse opening, and leave and come back.
(() => {
  const record = { calls: [], transfers: [], longTimers: [], filters: null };
  const control = { productId: 0x0061, allowed: true, openError: null, hangNextIn: false,
                    fireLongTimers: false, unplugAtTransfer: -1 };
  const realSetTimeout = window.setTimeout.bind(window);
  // The loader's two-minute time-outs are noted, and fired at once when a test asks.
  window.setTimeout = (fn, ms, ...args) => {
    if (ms >= 60000) {
      record.longTimers.push(ms);
      if (control.fireLongTimers) ms = 0;
    }
    return realSetTimeout(fn, ms, ...args);
  };
  const gone = () => new DOMException('The device was disconnected.', 'NotFoundError');
  const endpoint = (endpointNumber, direction, type) => ({ endpointNumber, direction, type });
  // A first interface without bulk pipes, then the loader's.
  const interfaces = [[0, [endpoint(3, 'in', 'interrupt')]],
                      [1, [endpoint(1, 'in', 'bulk'), endpoint(2, 'out', 'bulk')]]]
    .map(([interfaceNumber, endpoints]) => {
      const alternate = { alternateSetting: 0, endpoints };
      return { interfaceNumber, alternate, alternates: [alternate] };
    });
  const configuration = { configurationValue: 1, interfaces };

  function lone(name, bytes, length) {
    const m = window.veltrin.core.module;
    const data = m._malloc(Math.max(length, 1));
    const moved = m._malloc(4);
    if (bytes) m.HEAPU8.set(bytes, data);
    const error = m['_' + name](data, length, moved);
    const count = m.HEAPU32[moved >> 2];
    const out = m.HEAPU8.slice(data, data + count);
    m._free(data);
    m._free(moved);
    return { error, count, out };
  }

  class FakeDevice {
    constructor(productId) {
      Object.assign(this, { vendorId: 0x09e8, productId, productName: 'MPC4000',
                            configurations: [configuration], configuration: null,
                            gone: false, pending: [] });
    }
    async open() {
      record.calls.push('open');
      if (this.gone) throw gone();
      if (control.openError) throw new DOMException('Access denied.', control.openError);
      window.veltrin.core.module.ccall('vt_lone_sampler', 'number', ['string'],
                                       ['blocks=4,block_size=65536']);
    }
    async close() { record.calls.push('close'); this.abort(gone()); }
    async reset() { record.calls.push('reset'); this.abort(new DOMException('reset', 'AbortError')); }
    async selectConfiguration(value) {
      record.calls.push(`selectConfiguration ${value}`);
      this.configuration = configuration;
    }
    async claimInterface(number) { record.calls.push(`claimInterface ${number}`); }
    async releaseInterface(number) { record.calls.push(`releaseInterface ${number}`); }
    abort(error) { this.pending.splice(0).forEach(reject => reject(error)); }
    async transferOut(endpointNumber, data) {
      record.transfers.push(`out ${endpointNumber} ${data.byteLength}`);
      if (record.transfers.length === control.unplugAtTransfer) window.fakeUsb.unplug();
      if (this.gone) throw gone();
      const result = lone('vt_lone_receive', new Uint8Array(data), data.byteLength);
      return { status: result.error === 0 ? 'ok' : 'stall', bytesWritten: result.count };
    }
    async transferIn(endpointNumber, length) {
      record.transfers.push(`in ${endpointNumber} ${length}`);
      if (this.gone) throw gone();
      if (control.hangNextIn) {
        control.hangNextIn = false;
        return new Promise((resolve, reject) => this.pending.push(reject));
      }
      const result = lone('vt_lone_send', null, length);
      return { status: result.error === 0 ? 'ok' : 'stall', data: new DataView(result.out.buffer) };
    }
  }

  class FakeUsb extends EventTarget {
    constructor() {
      super();
      this.device = new FakeDevice(control.productId);
    }
    async getDevices() { return control.allowed && !this.device.gone ? [this.device] : []; }
    async requestDevice(options) {
      record.filters = JSON.stringify(options.filters);
      control.allowed = true;
      return this.device;
    }
    unplug() {
      this.device.gone = true;
      this.device.abort(gone());
      this.dispatchEvent(Object.assign(new Event('disconnect'), { device: this.device }));
    }
    plug() {
      this.device = new FakeDevice(control.productId);
      this.dispatchEvent(Object.assign(new Event('connect'), { device: this.device }));
    }
  }

  const usb = new FakeUsb();
  Object.defineProperty(Navigator.prototype, 'usb', { get: () => usb, configurable: true });
  window.fakeUsb = { record, control, unplug: () => usb.unplug(), plug: () => usb.plug() };
  // A test sets up the device through the page's address: ?fake=productId,openError,allowed.
  const setup = new URLSearchParams(location.search).get('fake');
  if (setup) {
    const [productId, openError, allowed] = setup.split(',');
    Object.assign(control, { productId: Number(productId) || 0x0061, openError: openError || null,
                             allowed: allowed !== 'no' });
    usb.device = new FakeDevice(control.productId);
  }
})();
