// Texts only the page has, in the application's two languages (the window's own texts come from
// the application's table, generated as texts.js).
export const pageTexts = {
  'web.connect': ['Connect\u2026', 'Подключить\u2026'],
  'web.demoImage': ['Demo image', 'Демо-образ'],
  'web.demoRefused': ['this is Veltrin\'s demo image, not an MPC4000 OS.',
    'это демо-образ Veltrin, а не OS для MPC4000.'],
  'web.dropHint': ['or drop an OS file here', 'или перетащите сюда файл OS'],
  'web.otherMode': ['AKAI device in another mode', 'Устройство AKAI в другом режиме'],
  'web.otherMode.detail': [
    'Product %@ is not the OS Loader. Switch the MPC4000 to OS Loader mode, then connect it again.',
    'Продукт %@ — не OS Loader. Включите на MPC4000 режим OS Loader и подключите его снова.'],
  'web.unsupported': [
    'This browser cannot reach USB devices. Open this page in Chrome, Edge or Opera, or install ' +
    'the OS with the Veltrin desktop application for Linux.',
    'Этот браузер не может работать с USB-устройствами. Откройте страницу в Chrome, Edge или ' +
    'Opera либо установите OS настольным приложением Veltrin для Linux.'],
  'web.windows': [
    'On Windows the MPC4000 needs the WinUSB driver: switch it to OS Loader mode, start Zadig, ' +
    'choose the AKAI device (USB ID 09E8 0061), pick WinUSB and press Install Driver. Then connect ' +
    'it here.',
    'В Windows для MPC4000 нужен драйвер WinUSB: включите режим OS Loader, запустите Zadig, ' +
    'выберите устройство AKAI (USB ID 09E8 0061), укажите WinUSB и нажмите Install Driver. Затем ' +
    'подключите его здесь.'],
  'web.udev': [
    'Linux did not let the browser open the MPC4000. Save this rule as ' +
    '/etc/udev/rules.d/70-veltrin.rules, run "sudo udevadm control --reload-rules", then unplug the ' +
    'sampler and plug it in again:',
    'Linux не дал браузеру открыть MPC4000. Сохраните это правило в ' +
    '/etc/udev/rules.d/70-veltrin.rules, выполните «sudo udevadm control --reload-rules», затем ' +
    'отключите сэмплер и подключите его снова:'],
  'web.failed.windows': [
    'Check USB, OS Loader mode and the WinUSB driver (see the note above).',
    'Проверьте USB, режим OS Loader и драйвер WinUSB (см. примечание выше).'],
  'web.failed.other': [
    'Check USB and OS Loader mode, and that no other program uses the device.',
    'Проверьте USB и режим OS Loader, и что устройство не занято другой программой.'],
};

// The rule of the desktop package (packaging/70-veltrin.rules).
export const udevRule = 'SUBSYSTEM=="usb", ENV{DEVTYPE}=="usb_device", ATTR{idVendor}=="09e8", ' +
  'ATTR{idProduct}=="0061", TAG+="uaccess"';
