#include "desktop/Translations.h"

#include <algorithm>
#include <string>

int CurrentLanguage = 0;

namespace {

// Sorted by key in ascending byte order, so a lookup is a binary search. "\u2026" is the single
// ellipsis character, never three full stops.
constexpr TranslationEntry kTable[] = {
    {"button.bundled", u"Bundled", u"Встроенная"},
    {"button.check", u"Check", u"Проверить"},
    {"button.choose", u"Choose\u2026", u"Выбрать\u2026"},
    {"button.install", u"Flash OS", u"Прошить OS"},
    {"confirm.cancel", u"Cancel", u"Отмена"},
    {"confirm.ok", u"Flash", u"Прошить"},
    {"confirm.text",
     u"Flash memory is erased before writing. Do not power off the MPC4000 or unplug USB until it "
     u"finishes.",
     u"Flash-память будет стерта перед записью. Не выключайте MPC4000 и не отключайте USB до "
     u"завершения."},
    {"confirm.title", u"Flash the OS to the MPC4000?", u"Прошить OS в MPC4000?"},
    {"device.absent", u"MPC4000 not connected", u"MPC4000 не подключен"},
    {"device.caption", u"DEVICE", u"УСТРОЙСТВО"},
    {"device.checking", u"Checking MPC4000\u2026", u"Проверяю MPC4000\u2026"},
    {"device.checking.detail", u"Opening the USB interface and reading the flash geometry.",
     u"Открываю USB-интерфейс и читаю flash geometry."},
    {"device.failed", u"MPC4000 not opened", u"MPC4000 не открыт"},
#ifdef Q_OS_MACOS
    {"device.failed.detail",
     u"Check USB, OS Loader mode and the macOS permission to access the device.",
     u"Проверьте USB, режим OS Loader и разрешение macOS на доступ к устройству."},
#else
    // Elsewhere the permission to open the sampler comes from the udev rule installed with the
    // application.
    {"device.failed.detail",
     u"Check USB, OS Loader mode and the udev rule that permits access to the device.",
     u"Проверьте USB, режим OS Loader и правило udev, разрешающее доступ к устройству."},
#endif
    {"device.ready", u"MPC4000 connected", u"MPC4000 подключен"},
    {"device.unknown", u"MPC4000 not checked", u"MPC4000 не проверен"},
    {"device.unknown.detail", u"Connect the MPC4000 over USB and switch it to OS Loader mode.",
     u"Подключите MPC4000 по USB и включите режим OS Loader на устройстве."},
    {"device.why.inUse", u"Another program or a driver is using it. Quit it, then press Check.",
     u"Занят другой программой или драйвером. Закройте её и нажмите «Проверить»."},
    {"device.why.inUseBy", u"%@ (process %@) is using it. Quit that program, then press Check.",
     u"Его занимает %@ (процесс %@). Закройте её и нажмите «Проверить»."},
    {"device.why.noPermission",
     u"No permission to open it: install the udev rule 70-veltrin.rules (see README).",
     u"Нет прав на доступ: установите правило udev 70-veltrin.rules (см. README)."},
    {"device.why.otherDevice", u"%@ is connected instead. Switch the MPC4000 to OS Loader mode.",
     u"Подключён %@. Переключите MPC4000 в режим OS Loader."},
    {"done.text", u"Wait for the MPC4000 to finish, then restart it.",
     u"Дождитесь завершения на MPC4000, затем перезагрузите устройство."},
    {"done.title", u"Flashing complete", u"Прошивка завершена"},
    {"failed.erased",
     u"The MPC4000 has no complete OS now. Keep it switched on and connected, fix the cause shown "
     u"in the log, and press Flash OS again.",
     u"Сейчас в MPC4000 нет полной OS. Не выключайте и не отключайте его, устраните причину, "
     u"указанную в журнале, и снова нажмите «Прошить OS»."},
    {"failed.text", u"See the log at the bottom of the window.",
     u"Смотрите журнал в нижней части окна."},
    {"failed.title", u"Flashing did not complete", u"Прошивка не завершилась"},
    {"failed.why.disconnected",
     u"The MPC4000 was disconnected during the installation. Connect it again directly, "
     u"without a USB hub, then press Check and Flash OS.",
     u"MPC4000 был отключён во время установки. Подключите его снова напрямую, без "
     u"USB-хаба, затем нажмите «Проверить» и «Прошить OS»."},
    {"failed.why.imageChanged",
     u"The OS file changed after it was chosen, so nothing was written. Choose the file "
     u"again, then press Flash OS.",
     u"Файл OS изменился после выбора, поэтому ничего не записано. Выберите файл снова "
     u"и нажмите «Прошить OS»."},
    {"failed.why.inUse",
     u"Another program or a driver is using the MPC4000. Quit that program, then press "
     u"Flash OS again.",
     u"MPC4000 занят другой программой или драйвером. Закройте эту программу и снова "
     u"нажмите «Прошить OS»."},
    {"failed.why.inUseBy",
     u"%@ (process %@) is using the MPC4000. Quit that program, then press Flash OS "
     u"again.",
     u"MPC4000 занят программой %@ (процесс %@). Закройте её и снова нажмите «Прошить "
     u"OS»."},
    {"failed.why.noPermission",
     u"Veltrin may not open the MPC4000. Install the udev rule 70-veltrin.rules (see "
     u"README), connect the MPC4000 again, then press Flash OS.",
     u"У Veltrin нет прав на доступ к MPC4000. Установите правило udev 70-veltrin.rules "
     u"(см. README), подключите MPC4000 снова и нажмите «Прошить OS»."},
    {"failed.why.notFound",
     u"The MPC4000 was not found. Connect it, switch it to OS Loader mode, then press "
     u"Check and Flash OS.",
     u"MPC4000 не найден. Подключите его, включите режим OS Loader, затем нажмите "
     u"«Проверить» и «Прошить OS»."},
    {"failed.why.otherDevice",
     u"%@ is connected, but no MPC4000 in OS Loader mode. Switch the MPC4000 to OS "
     u"Loader mode, then press Check and Flash OS.",
     u"Подключён %@, но не MPC4000 в режиме OS Loader. Переключите MPC4000 в режим OS "
     u"Loader, затем нажмите «Проверить» и «Прошить OS»."},
    {"failed.why.refused",
     u"The MPC4000 refused a step (status error %@). Check that it is in OS Loader "
     u"mode, then press Check and Flash OS.",
     u"MPC4000 отклонил шаг (ошибка статуса %@). Проверьте, что он в режиме OS Loader, "
     u"затем нажмите «Проверить» и «Прошить OS»."},
    {"failed.why.timeout",
     u"The MPC4000 stopped answering: a step got no answer within two minutes. Check "
     u"the cable and that it is in OS Loader mode, then press Check and Flash OS.",
     u"MPC4000 перестал отвечать: шаг не получил ответа за две минуты. Проверьте кабель "
     u"и режим OS Loader, затем нажмите «Проверить» и «Прошить OS»."},
    {"firmware.bundledMissing", u"No bundled firmware. Choose a .bin file.",
     u"Встроенной прошивки нет. Выберите .bin файл."},
    {"firmware.caption", u"FIRMWARE", u"ПРОШИВКА"},
    {"firmware.facts", u"Size: %@ bytes, SHA-256: %@", u"Размер: %@ байт, SHA-256: %@"},
    {"firmware.invalid.signature", u"The file has no MPC4000 Operating System signature.",
     u"В файле нет сигнатуры MPC4000 Operating System."},
    {"firmware.invalid.small", u"The file is too small to be MPC4000 firmware.",
     u"Файл слишком маленький для прошивки MPC4000."},
    {"firmware.invalid.title", u"This does not look like MPC4000 firmware",
     u"Это не похоже на прошивку MPC4000"},
    {"firmware.none", u"No firmware selected", u"Прошивка не выбрана"},
    {"firmware.size", u"Size: %@ bytes", u"Размер: %@ байт"},
    {"language.switch", u"Language", u"Язык"},
    {"last.failedAtBlock", u"failed at block %@", u"прервалась ошибкой на блоке %@"},
    {"last.failedAtOffset", u"failed at offset %@", u"прервалась ошибкой на смещении %@"},
    {"last.interrupted", u"was interrupted before it ended", u"была прервана до завершения"},
    {"last.stoppedAtBlock", u"was stopped at block %@", u"была остановлена на блоке %@"},
    {"last.stoppedAtOffset", u"was stopped at offset %@", u"была остановлена на смещении %@"},
    {"last.unfinished",
     u"The last installation, on %@, %@. Install the OS again before you restart the MPC4000.",
     u"Последняя установка, %@, %@. Установите ОС заново, прежде чем перезапускать MPC4000."},
    {"log.caption", u"LOG", u"ЖУРНАЛ"},
    {"log.deviceLeft", u"MPC4000 disconnected.", u"MPC4000 отключен."},
    {"log.exit", u"Process exited with code %d.", u"Процесс завершился с кодом %d."},
    {"log.fileFailed", u"Could not write the log file %@: %@",
     u"Не удалось записать файл журнала %@: %@"},
    {"log.firmware", u"Firmware selected: %@", u"Выбрана прошивка: %@"},
    {"log.helperFailed", u"Could not start the helper: %@", u"Не удалось запустить helper: %@"},
    {"log.helperMissing", u"Helper not found: %@", u"Не найден helper: %@"},
    {"log.saveFailed", u"Could not save the log to %@: %@",
     u"Не удалось сохранить журнал в %@: %@"},
    {"log.saved", u"Log saved to %@.", u"Журнал сохранён в %@."},
    {"log.started", u"Veltrin started.", u"Veltrin запущен."},
    {"menu.copy", u"Copy", u"Скопировать"},
    {"menu.demo", u"Demo", u"Демо"},
    {"menu.demo.connect", u"Connect the MPC4000", u"Подключить MPC4000"},
    {"menu.demo.disconnect", u"Disconnect the MPC4000", u"Отключить MPC4000"},
    {"menu.edit", u"Edit", u"Правка"},
    {"menu.quit", u"Quit Veltrin", u"Завершить Veltrin"},
    {"menu.saveLog", u"Save Log\u2026", u"Сохранить журнал\u2026"},
    {"menu.selectAll", u"Select All", u"Выбрать все"},
    {"op.checkFailed", u"Check failed", u"Проверка не удалась"},
    {"op.checking", u"Checking the connection", u"Проверка подключения"},
    {"op.deviceReady", u"Device is ready", u"Устройство готово"},
    {"op.done", u"Flashing complete", u"Прошивка завершена"},
    {"op.erase", u"Erasing flash", u"Стирание flash"},
    {"op.error", u"Flashing failed", u"Ошибка прошивки"},
    {"op.flashing", u"Flashing the MPC4000", u"Прошивка MPC4000"},
    {"op.ready", u"Ready", u"Готово"},
    {"op.write", u"Writing OS", u"Запись OS"},
    {"op.write.none", u"Nothing written: the file changed", u"Ничего не записано: файл изменился"},
    {"panel.message", u"Choose an OS file for the MPC4000", u"Выберите файл OS для MPC4000"},
    {"panel.saveLog", u"Save the log", u"Сохранить журнал"},
    {"quit.keep", u"Keep Veltrin Open", u"Не закрывать Veltrin"},
    {"quit.quit", u"Quit", u"Завершить"},
    {"quit.text",
     u"If Veltrin quits, the installation goes on by itself until it ends. Do not switch off or "
     u"unplug the MPC4000 until then.",
     u"Если Veltrin завершится, установка продолжится сама до конца. До тех пор не выключайте "
     u"MPC4000 и не отключайте его от USB."},
    {"quit.title", u"The installation is still running", u"Установка ещё идёт"},
    {"stall.notice",
     u"The MPC4000 has not answered for %d seconds. Do not unplug it: vtflash waits up "
     u"to two minutes for each step.",
     u"MPC4000 не отвечает уже %d с. Не отключайте его: vtflash ждёт ответа на каждый "
     u"шаг до двух минут."},
    {"subtitle", u"Install the OS on an Akai MPC4000 over USB",
     u"Загрузка OS в Akai MPC4000 через USB"},
    {"window.demo", u"Veltrin \u2014 demo with a simulated sampler",
     u"Veltrin \u2014 демо с имитацией сэмплера"},
    // The time left of the erase and of the write, beside the percentage: the phase is named, so
    // that nobody takes it for the time left of the whole installation. The minutes come in the
    // plural form of their number (".one", ".few", ".many").
    {"window.timeLeft.erase.few", u"About %d minutes left to erase",
     u"До конца стирания примерно %d минуты"},
    {"window.timeLeft.erase.less", u"Less than one minute left to erase",
     u"До конца стирания меньше минуты"},
    {"window.timeLeft.erase.many", u"About %d minutes left to erase",
     u"До конца стирания примерно %d минут"},
    {"window.timeLeft.erase.one", u"About %d minute left to erase",
     u"До конца стирания примерно %d минута"},
    {"window.timeLeft.write.few", u"About %d minutes left to write",
     u"До конца записи примерно %d минуты"},
    {"window.timeLeft.write.less", u"Less than one minute left to write",
     u"До конца записи меньше минуты"},
    {"window.timeLeft.write.many", u"About %d minutes left to write",
     u"До конца записи примерно %d минут"},
    {"window.timeLeft.write.one", u"About %d minute left to write",
     u"До конца записи примерно %d минута"},
};

constexpr bool IsSortedByKey() {
  for (std::size_t i = 1; i < std::size(kTable); ++i) {
    if (std::string_view(kTable[i - 1].key) >= std::string_view(kTable[i].key))
      return false;
  }
  return true;
}
static_assert(IsSortedByKey(), "the text table must stay sorted by key");

QString RawText(const char16_t* text) {
  // The texts live as long as the process, so the string can refer to them without a copy.
  const auto length = static_cast<qsizetype>(std::char_traits<char16_t>::length(text));
  return QString::fromRawData(reinterpret_cast<const QChar*>(text), length);
}

}  // namespace

std::span<const TranslationEntry> Translations() {
  return kTable;
}

QString L(const QString& key) {
  const auto table = Translations();
  const auto it = std::lower_bound(
      table.begin(), table.end(), key, [](const TranslationEntry& entry, const QString& wanted) {
        return QString::compare(QLatin1StringView(entry.key), wanted, Qt::CaseSensitive) < 0;
      });
  if (it == table.end() || key != QLatin1StringView(it->key))
    return key;
  // A language index that is not Russian reads as English rather than out of the table.
  return RawText(CurrentLanguage == 1 ? it->russian : it->english);
}
