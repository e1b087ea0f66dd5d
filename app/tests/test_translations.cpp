#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <string_view>

#include "desktop/Translations.h"

namespace {

// Sets the interface language for one test and puts English back afterwards.
class LanguageScope {
 public:
  explicit LanguageScope(int language) : saved_(CurrentLanguage) { CurrentLanguage = language; }
  ~LanguageScope() { CurrentLanguage = saved_; }
  LanguageScope(const LanguageScope&) = delete;
  LanguageScope& operator=(const LanguageScope&) = delete;

 private:
  int saved_;
};

struct ExpectedText {
  const char* key;
  const char* english;  // UTF-8
  const char* russian;  // UTF-8
};

// Every text the interface shows, exactly as the user must see it.
constexpr ExpectedText kExpected[] = {
    {"button.bundled", "Bundled", "Встроенная"},
    {"button.check", "Check", "Проверить"},
    {"button.choose", "Choose…", "Выбрать…"},
    {"button.install", "Flash OS", "Прошить OS"},
    {"confirm.cancel", "Cancel", "Отмена"},
    {"confirm.ok", "Flash", "Прошить"},
    {"confirm.text",
     "Flash memory is erased before writing. Do not power off the MPC4000 or unplug USB until it "
     "finishes.",
     "Flash-память будет стерта перед записью. Не выключайте MPC4000 и не отключайте USB до "
     "завершения."},
    {"confirm.title", "Flash the OS to the MPC4000?", "Прошить OS в MPC4000?"},
    {"device.absent", "MPC4000 not connected", "MPC4000 не подключен"},
    {"device.caption", "DEVICE", "УСТРОЙСТВО"},
    {"device.checking", "Checking MPC4000…", "Проверяю MPC4000…"},
    {"device.checking.detail", "Opening the USB interface and reading the flash geometry.",
     "Открываю USB-интерфейс и читаю flash geometry."},
    {"device.failed", "MPC4000 not opened", "MPC4000 не открыт"},
#ifdef Q_OS_MACOS
    {"device.failed.detail",
     "Check USB, OS Loader mode and the macOS permission to access the device.",
     "Проверьте USB, режим OS Loader и разрешение macOS на доступ к устройству."},
#else
    {"device.failed.detail",
     "Check USB, OS Loader mode and the udev rule that permits access to the device.",
     "Проверьте USB, режим OS Loader и правило udev, разрешающее доступ к устройству."},
#endif
    {"device.ready", "MPC4000 connected", "MPC4000 подключен"},
    {"device.unknown", "MPC4000 not checked", "MPC4000 не проверен"},
    {"device.unknown.detail", "Connect the MPC4000 over USB and switch it to OS Loader mode.",
     "Подключите MPC4000 по USB и включите режим OS Loader на устройстве."},
    {"device.why.inUse", "Another program or a driver is using it. Quit it, then press Check.",
     "Занят другой программой или драйвером. Закройте её и нажмите «Проверить»."},
    {"device.why.inUseBy", "%@ (process %@) is using it. Quit that program, then press Check.",
     "Его занимает %@ (процесс %@). Закройте её и нажмите «Проверить»."},
    {"device.why.noPermission",
     "No permission to open it: install the udev rule 70-veltrin.rules (see README).",
     "Нет прав на доступ: установите правило udev 70-veltrin.rules (см. README)."},
    {"device.why.otherDevice", "%@ is connected instead. Switch the MPC4000 to OS Loader mode.",
     "Подключён %@. Переключите MPC4000 в режим OS Loader."},
    {"done.text", "Wait for the MPC4000 to finish, then restart it.",
     "Дождитесь завершения на MPC4000, затем перезагрузите устройство."},
    {"done.title", "Flashing complete", "Прошивка завершена"},
    {"failed.erased",
     "The MPC4000 has no complete OS now. Keep it switched on and connected, fix the cause shown "
     "in the log, and press Flash OS again.",
     "Сейчас в MPC4000 нет полной OS. Не выключайте и не отключайте его, устраните причину, "
     "указанную в журнале, и снова нажмите «Прошить OS»."},
    {"failed.text", "See the log at the bottom of the window.",
     "Смотрите журнал в нижней части окна."},
    {"failed.title", "Flashing did not complete", "Прошивка не завершилась"},
    {"failed.why.disconnected",
     "The MPC4000 was disconnected during the installation. Connect it again directly, "
     "without a USB hub, then press Check and Flash OS.",
     "MPC4000 был отключён во время установки. Подключите его снова напрямую, без "
     "USB-хаба, затем нажмите «Проверить» и «Прошить OS»."},
    {"failed.why.imageChanged",
     "The OS file changed after it was chosen, so nothing was written. Choose the file "
     "again, then press Flash OS.",
     "Файл OS изменился после выбора, поэтому ничего не записано. Выберите файл снова "
     "и нажмите «Прошить OS»."},
    {"failed.why.inUse",
     "Another program or a driver is using the MPC4000. Quit that program, then press "
     "Flash OS again.",
     "MPC4000 занят другой программой или драйвером. Закройте эту программу и снова "
     "нажмите «Прошить OS»."},
    {"failed.why.inUseBy",
     "%@ (process %@) is using the MPC4000. Quit that program, then press Flash OS "
     "again.",
     "MPC4000 занят программой %@ (процесс %@). Закройте её и снова нажмите «Прошить "
     "OS»."},
    {"failed.why.noPermission",
     "Veltrin may not open the MPC4000. Install the udev rule 70-veltrin.rules (see "
     "README), connect the MPC4000 again, then press Flash OS.",
     "У Veltrin нет прав на доступ к MPC4000. Установите правило udev 70-veltrin.rules "
     "(см. README), подключите MPC4000 снова и нажмите «Прошить OS»."},
    {"failed.why.notFound",
     "The MPC4000 was not found. Connect it, switch it to OS Loader mode, then press "
     "Check and Flash OS.",
     "MPC4000 не найден. Подключите его, включите режим OS Loader, затем нажмите "
     "«Проверить» и «Прошить OS»."},
    {"failed.why.otherDevice",
     "%@ is connected, but no MPC4000 in OS Loader mode. Switch the MPC4000 to OS "
     "Loader mode, then press Check and Flash OS.",
     "Подключён %@, но не MPC4000 в режиме OS Loader. Переключите MPC4000 в режим OS "
     "Loader, затем нажмите «Проверить» и «Прошить OS»."},
    {"failed.why.refused",
     "The MPC4000 refused a step (status error %@). Check that it is in OS Loader "
     "mode, then press Check and Flash OS.",
     "MPC4000 отклонил шаг (ошибка статуса %@). Проверьте, что он в режиме OS Loader, "
     "затем нажмите «Проверить» и «Прошить OS»."},
    {"failed.why.timeout",
     "The MPC4000 stopped answering: a step got no answer within two minutes. Check "
     "the cable and that it is in OS Loader mode, then press Check and Flash OS.",
     "MPC4000 перестал отвечать: шаг не получил ответа за две минуты. Проверьте кабель "
     "и режим OS Loader, затем нажмите «Проверить» и «Прошить OS»."},
    {"firmware.bundledMissing", "No bundled firmware. Choose a .bin file.",
     "Встроенной прошивки нет. Выберите .bin файл."},
    {"firmware.caption", "FIRMWARE", "ПРОШИВКА"},
    {"firmware.facts", "Size: %@ bytes, SHA-256: %@", "Размер: %@ байт, SHA-256: %@"},
    {"firmware.invalid.signature", "The file has no MPC4000 Operating System signature.",
     "В файле нет сигнатуры MPC4000 Operating System."},
    {"firmware.invalid.small", "The file is too small to be MPC4000 firmware.",
     "Файл слишком маленький для прошивки MPC4000."},
    {"firmware.invalid.title", "This does not look like MPC4000 firmware",
     "Это не похоже на прошивку MPC4000"},
    {"firmware.none", "No firmware selected", "Прошивка не выбрана"},
    {"firmware.size", "Size: %@ bytes", "Размер: %@ байт"},
    {"language.switch", "Language", "Язык"},
    {"last.failedAtBlock", "failed at block %@", "прервалась ошибкой на блоке %@"},
    {"last.failedAtOffset", "failed at offset %@", "прервалась ошибкой на смещении %@"},
    {"last.interrupted", "was interrupted before it ended", "была прервана до завершения"},
    {"last.stoppedAtBlock", "was stopped at block %@", "была остановлена на блоке %@"},
    {"last.stoppedAtOffset", "was stopped at offset %@", "была остановлена на смещении %@"},
    {"last.unfinished",
     "The last installation, on %@, %@. Install the OS again before you restart the MPC4000.",
     "Последняя установка, %@, %@. Установите ОС заново, прежде чем перезапускать MPC4000."},
    {"log.caption", "LOG", "ЖУРНАЛ"},
    {"log.deviceLeft", "MPC4000 disconnected.", "MPC4000 отключен."},
    {"log.exit", "Process exited with code %d.", "Процесс завершился с кодом %d."},
    {"log.fileFailed", "Could not write the log file %@: %@",
     "Не удалось записать файл журнала %@: %@"},
    {"log.firmware", "Firmware selected: %@", "Выбрана прошивка: %@"},
    {"log.helperFailed", "Could not start the helper: %@", "Не удалось запустить helper: %@"},
    {"log.helperMissing", "Helper not found: %@", "Не найден helper: %@"},
    {"log.saveFailed", "Could not save the log to %@: %@", "Не удалось сохранить журнал в %@: %@"},
    {"log.saved", "Log saved to %@.", "Журнал сохранён в %@."},
    {"log.started", "Veltrin started.", "Veltrin запущен."},
    {"menu.copy", "Copy", "Скопировать"},
    {"menu.demo", "Demo", "Демо"},
    {"menu.demo.connect", "Connect the MPC4000", "Подключить MPC4000"},
    {"menu.demo.disconnect", "Disconnect the MPC4000", "Отключить MPC4000"},
    {"menu.edit", "Edit", "Правка"},
    {"menu.quit", "Quit Veltrin", "Завершить Veltrin"},
    {"menu.saveLog", "Save Log…", "Сохранить журнал…"},
    {"menu.selectAll", "Select All", "Выбрать все"},
    {"op.checkFailed", "Check failed", "Проверка не удалась"},
    {"op.checking", "Checking the connection", "Проверка подключения"},
    {"op.deviceReady", "Device is ready", "Устройство готово"},
    {"op.done", "Flashing complete", "Прошивка завершена"},
    {"op.erase", "Erasing flash", "Стирание flash"},
    {"op.error", "Flashing failed", "Ошибка прошивки"},
    {"op.flashing", "Flashing the MPC4000", "Прошивка MPC4000"},
    {"op.ready", "Ready", "Готово"},
    {"op.write", "Writing OS", "Запись OS"},
    {"op.write.none", "Nothing written: the file changed", "Ничего не записано: файл изменился"},
    {"panel.message", "Choose an OS file for the MPC4000", "Выберите файл OS для MPC4000"},
    {"panel.saveLog", "Save the log", "Сохранить журнал"},
    {"quit.keep", "Keep Veltrin Open", "Не закрывать Veltrin"},
    {"quit.quit", "Quit", "Завершить"},
    {"quit.text",
     "If Veltrin quits, the installation goes on by itself until it ends. Do not switch off or "
     "unplug the MPC4000 until then.",
     "Если Veltrin завершится, установка продолжится сама до конца. До тех пор не выключайте "
     "MPC4000 и не отключайте его от USB."},
    {"quit.title", "The installation is still running", "Установка ещё идёт"},
    {"stall.notice",
     "The MPC4000 has not answered for %d seconds. Do not unplug it: vtflash waits up "
     "to two minutes for each step.",
     "MPC4000 не отвечает уже %d с. Не отключайте его: vtflash ждёт ответа на каждый "
     "шаг до двух минут."},
    {"subtitle", "Install the OS on an Akai MPC4000 over USB",
     "Загрузка OS в Akai MPC4000 через USB"},
    {"window.demo", "Veltrin — demo with a simulated sampler",
     "Veltrin — демо с имитацией сэмплера"},
    {"window.timeLeft.erase.few", "About %d minutes left to erase",
     "До конца стирания примерно %d минуты"},
    {"window.timeLeft.erase.less", "Less than one minute left to erase",
     "До конца стирания меньше минуты"},
    {"window.timeLeft.erase.many", "About %d minutes left to erase",
     "До конца стирания примерно %d минут"},
    {"window.timeLeft.erase.one", "About %d minute left to erase",
     "До конца стирания примерно %d минута"},
    {"window.timeLeft.write.few", "About %d minutes left to write",
     "До конца записи примерно %d минуты"},
    {"window.timeLeft.write.less", "Less than one minute left to write",
     "До конца записи меньше минуты"},
    {"window.timeLeft.write.many", "About %d minutes left to write",
     "До конца записи примерно %d минут"},
    {"window.timeLeft.write.one", "About %d minute left to write",
     "До конца записи примерно %d минута"},
};

class EveryText : public ::testing::TestWithParam<ExpectedText> {};

TEST_P(EveryText, ReadsTheSameInEnglishAndRussianAsTheUserMustSeeIt) {
  const ExpectedText& expected = GetParam();
  {
    LanguageScope english(0);
    EXPECT_EQ(L(expected.key), QString::fromUtf8(expected.english));
  }
  {
    LanguageScope russian(1);
    EXPECT_EQ(L(expected.key), QString::fromUtf8(expected.russian));
  }
}

INSTANTIATE_TEST_SUITE_P(Translations, EveryText, ::testing::ValuesIn(kExpected),
                         [](const ::testing::TestParamInfo<ExpectedText>& test) {
                           QString name = QString::fromLatin1(test.param.key);
                           name.replace(QLatin1Char('.'), QLatin1Char('_'));
                           return name.toStdString();
                         });

TEST(Translations, HoldExactlyTheExpectedTextsInKeyOrder) {
  const auto table = Translations();
  ASSERT_EQ(table.size(), std::size(kExpected));
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_STREQ(table[i].key, kExpected[i].key) << "entry " << i;
  }
  for (std::size_t i = 1; i < table.size(); ++i) {
    EXPECT_LT(std::strcmp(table[i - 1].key, table[i].key), 0) << table[i].key;
  }
}

TEST(Translations, FormatTextsKeepTheSamePlaceholdersInBothLanguages) {
  const QRegularExpression placeholder(QStringLiteral("%[d@]"));
  auto placeholders = [&](const char16_t* text) {
    QStringList found;
    auto it = placeholder.globalMatch(QString::fromUtf16(text));
    while (it.hasNext())
      found << it.next().captured();
    return found;
  };
  int formats = 0;
  for (const TranslationEntry& entry : Translations()) {
    const QStringList english = placeholders(entry.english);
    EXPECT_EQ(english, placeholders(entry.russian)) << entry.key;
    if (!english.isEmpty())
      ++formats;
  }
  // No text became a format by accident: the expected texts have as many.
  const auto expectedFormats =
      std::count_if(std::begin(kExpected), std::end(kExpected), [](const ExpectedText& expected) {
        return std::strstr(expected.english, "%@") || std::strstr(expected.english, "%d");
      });
  EXPECT_EQ(formats, expectedFormats);
}

TEST(Translations, UseTheEllipsisCharacterNeverThreeFullStops) {
  for (const TranslationEntry& entry : Translations()) {
    for (const char16_t* text : {entry.english, entry.russian}) {
      EXPECT_FALSE(QString::fromUtf16(text).contains(QStringLiteral("..."))) << entry.key;
    }
  }
  EXPECT_TRUE(L(QStringLiteral("button.choose")).endsWith(QChar(0x2026)));
}

TEST(Lookup, QuitMenuItemFollowsTheInterfaceLanguage) {
  {
    LanguageScope english(0);
    EXPECT_EQ(L(QStringLiteral("menu.quit")), QStringLiteral("Quit Veltrin"));
  }
  LanguageScope russian(1);
  EXPECT_EQ(L(QStringLiteral("menu.quit")), QString::fromUtf8("Завершить Veltrin"));
}

TEST(Lookup, UnknownKeyComesBackUnchangedInBothLanguages) {
  for (int language : {0, 1}) {
    LanguageScope scope(language);
    for (const char* key : {"no.such.key", "", "Menu.quit", "menu.quit ", "menu", "zzz"}) {
      EXPECT_EQ(L(QString::fromLatin1(key)), QString::fromLatin1(key)) << key;
    }
  }
}

TEST(Lookup, LanguageOutsideTheTableReadsAsEnglish) {
  for (int language : {-1, 2, 1000}) {
    LanguageScope scope(language);
    EXPECT_EQ(L(QStringLiteral("op.ready")), QStringLiteral("Ready")) << language;
  }
}

TEST(Lookup, ExitLineFormatsWithTheStatusInBothLanguages) {
  auto exitLine = [] {
    return L(QStringLiteral("log.exit")).replace(QStringLiteral("%d"), QString::number(0));
  };
  {
    LanguageScope english(0);
    EXPECT_EQ(exitLine(), QStringLiteral("Process exited with code 0."));
  }
  LanguageScope russian(1);
  EXPECT_EQ(exitLine(), QString::fromUtf8("Процесс завершился с кодом 0."));
}

TEST(Lookup, TextOutlivesLanguageChanges) {
  LanguageScope english(0);
  const QString text = L(QStringLiteral("op.erase"));
  CurrentLanguage = 1;
  EXPECT_EQ(text, QStringLiteral("Erasing flash"));
  EXPECT_EQ(L(QStringLiteral("op.erase")), QString::fromUtf8("Стирание flash"));
}

}  // namespace
