// The core's USB platform on navigator.usb: the calls the WebAssembly core awaits (see
// core/webusb_platform.cpp). Every answer is a usb_error position (0 ok, 1 time-out, 2 no device,
// 3 access, 4 busy, 5 stall, 6 overflow, 7 no memory, 8 other).
export const usbError = { ok: 0, timeout: 1, noDevice: 2, access: 3, busy: 4, stall: 5,
  overflow: 6, noMemory: 7, other: 8 };

const transferTypes = { isochronous: 1, bulk: 2, interrupt: 3 };

// A DOMException of a WebUSB call, as the core's error.
function errorOf(exception) {
  switch (exception && exception.name) {
    case 'NotFoundError': return usbError.noDevice;
    case 'SecurityError': return usbError.access;
    case 'InvalidStateError': return usbError.busy;
    case 'NetworkError': return usbError.busy;
    case 'TimeoutError': return usbError.timeout;
    default: return usbError.other;
  }
}

function statusError(status) {
  if (status === 'stall') return usbError.stall;
  if (status === 'babble') return usbError.overflow;
  return usbError.ok;
}

export class UsbBridge {
  constructor(usb) {
    this.usb = usb;
    this.devices = [];
    this.lastOpenError = usbError.ok;  // the page explains a refused open (udev rule, WinUSB)
  }

  async list() {
    try {
      this.devices = await this.usb.getDevices();
      return this.devices.length;
    } catch (e) {
      return -1;
    }
  }

  ids(index) {
    const device = this.devices[index];
    return ((device.vendorId << 16) | device.productId) >>> 0;
  }

  // A configuration as bytes (see read_description in core/webusb_platform.cpp); index -1 is the
  // active configuration. Empty when there is none.
  describe(index, configuration) {
    const device = this.devices[index];
    const config = configuration < 0 ? device.configuration : device.configurations[configuration];
    if (!config) return new Uint8Array(0);
    const bytes = [config.configurationValue, config.interfaces.length];
    for (const iface of config.interfaces) {
      const alternate = iface.alternate || iface.alternates[0];
      bytes.push(iface.interfaceNumber, alternate.endpoints.length);
      for (const endpoint of alternate.endpoints) {
        const address = endpoint.endpointNumber | (endpoint.direction === 'in' ? 0x80 : 0);
        bytes.push(address, transferTypes[endpoint.type] || 0);
      }
    }
    return Uint8Array.from(bytes);
  }

  async open(index) {
    try {
      await this.devices[index].open();
      this.lastOpenError = usbError.ok;
    } catch (e) {
      this.lastOpenError = errorOf(e);
    }
    return this.lastOpenError;
  }

  async close(index) {
    try { await this.devices[index].close(); } catch (e) { /* already gone */ }
  }

  configuration(index) {
    const config = this.devices[index].configuration;
    return config ? config.configurationValue : 0;
  }

  async selectConfiguration(index, value) {
    return this.call(() => this.devices[index].selectConfiguration(value));
  }

  async claimInterface(index, number) {
    return this.call(() => this.devices[index].claimInterface(number));
  }

  async releaseInterface(index, number) {
    await this.call(() => this.devices[index].releaseInterface(number));
  }

  async transferOut(index, endpoint, bytes, timeoutMs) {
    const device = this.devices[index];
    const result = await this.timed(device, () => device.transferOut(endpoint, bytes), timeoutMs);
    return { error: result.error, moved: result.value ? result.value.bytesWritten : 0 };
  }

  async transferIn(index, endpoint, length, timeoutMs) {
    const device = this.devices[index];
    const result = await this.timed(device, () => device.transferIn(endpoint, length), timeoutMs);
    const data = result.value && result.value.data;
    const bytes = data ? new Uint8Array(data.buffer, data.byteOffset, data.byteLength) : null;
    return { error: result.error, bytes };
  }

  async call(action) {
    try {
      await action();
      return usbError.ok;
    } catch (e) {
      return errorOf(e);
    }
  }

  // WebUSB transfers have no time-out of their own: after `timeoutMs` the device is reset (or,
  // failing that, closed), which ends the transfer, and the core hears of a time-out.
  async timed(device, start, timeoutMs) {
    let timer;
    const expired = new Promise(resolve => { timer = setTimeout(() => resolve(null), timeoutMs); });
    try {
      const value = await Promise.race([start(), expired]);
      if (value === null) {
        try { await device.reset(); } catch (e) {
          try { await device.close(); } catch (e2) { /* gone already */ }
        }
        return { error: usbError.timeout };
      }
      return { error: statusError(value.status), value };
    } catch (e) {
      return { error: errorOf(e) };
    } finally {
      clearTimeout(timer);
    }
  }
}
