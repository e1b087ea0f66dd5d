// What the user reads: the menu entry in English and Russian, and the man page of vtflash, which
// must document every option of the installed tool and every error line the troubleshooting page
// explains.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include "desktop/Translations.h"
#include "package_root.h"

namespace {

// The keys of the [Desktop Entry] group.
QMap<QString, QString> DesktopEntry(const QByteArray& text) {
  QMap<QString, QString> keys;
  bool inEntry = false;
  for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
    if (line.startsWith(QLatin1Char('['))) {
      inEntry = line.trimmed() == QLatin1String("[Desktop Entry]");
      continue;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (inEntry && equals > 0 && !line.startsWith(QLatin1Char('#'))) {
      keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
  }
  return keys;
}

QMap<QString, QString> InstalledDesktopEntry(const InstalledPackage& package) {
  return DesktopEntry(
      ReadAll(package.path(QStringLiteral("usr/share/applications/veltrin.desktop"))));
}

QString Subtitle(int language) {
  for (const TranslationEntry& entry : Translations()) {
    if (qstrcmp(entry.key, "subtitle") == 0) {
      return QString::fromUtf16(language == 0 ? entry.english : entry.russian);
    }
  }
  return {};
}

TEST(MenuEntry, StartsTheInstalledApplicationWithItsIcon) {
  REQUIRE_PACKAGE();
  const QMap<QString, QString> entry = InstalledDesktopEntry(package);
  EXPECT_EQ(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
  EXPECT_EQ(entry.value(QStringLiteral("Terminal")), QStringLiteral("false"));
  // The command is looked up on PATH, where the package put it.
  const QString command = entry.value(QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0);
  EXPECT_TRUE(QFileInfo(package.path(QStringLiteral("usr/bin/") + command)).isExecutable())
      << command.toStdString();
  const QString icon = entry.value(QStringLiteral("Icon"));
  EXPECT_TRUE(QFileInfo::exists(
      package.path(QStringLiteral("usr/share/icons/hicolor/scalable/apps/%1.svg").arg(icon))))
      << icon.toStdString();
  EXPECT_FALSE(entry.value(QStringLiteral("Categories")).isEmpty());
  // A file manager's "Open with Veltrin" hands over the file, of the type the package installs.
  EXPECT_TRUE(entry.value(QStringLiteral("Exec")).endsWith(QStringLiteral(" %f")));
  EXPECT_EQ(entry.value(QStringLiteral("MimeType")),
            QStringLiteral("application/x-mpc4000-os-image;"));
}

struct EntryText {
  const char* key;
  int language;  // 0 English, 1 Russian
};

class MenuEntryText : public ::testing::TestWithParam<EntryText> {};

TEST_P(MenuEntryText, IsPresentInBothLanguages) {
  REQUIRE_PACKAGE();
  const QMap<QString, QString> entry = InstalledDesktopEntry(package);
  const QString key = QString::fromLatin1(GetParam().key);
  const QString localized = GetParam().language == 0 ? key : key + QStringLiteral("[ru]");
  ASSERT_FALSE(entry.value(localized).isEmpty()) << localized.toStdString();
  if (key == QLatin1String("Comment")) {
    // The menu describes the program as its window's subtitle does.
    EXPECT_EQ(entry.value(localized), Subtitle(GetParam().language));
  }
}

INSTANTIATE_TEST_SUITE_P(Keys, MenuEntryText,
                         ::testing::Values(EntryText{"Name", 0}, EntryText{"GenericName", 0},
                                           EntryText{"GenericName", 1}, EntryText{"Comment", 0},
                                           EntryText{"Comment", 1}, EntryText{"Keywords", 0},
                                           EntryText{"Keywords", 1}),
                         [](const auto& test) {
                           return std::string(test.param.key) +
                                  (test.param.language == 0 ? "English" : "Russian");
                         });

// The installed man page as plain text, with lines as wide as its paragraphs.
QString RenderedManPage(const InstalledPackage& package) {
  const QString page = package.path(QStringLiteral("usr/share/man/man1/vtflash.1.gz"));
  const QString roff = package.scratch + QStringLiteral("/vtflash.1");
  const ProgramRun unzip =
      RunProgram(QStringLiteral("sh"),
                 {QStringLiteral("-c"), QStringLiteral("gzip -dc \"$0\" > \"$1\""), page, roff});
  if (unzip.exitCode != 0) {
    return {};
  }
  const ProgramRun groff = RunProgram(
      QStringLiteral("groff"), {QStringLiteral("-man"), QStringLiteral("-Tascii"),
                                QStringLiteral("-P-cbou"), QStringLiteral("-rLL=1000n"), roff});
  return groff.output;
}

// One section of the rendered page (from its heading to the next), with runs of white space
// collapsed so that texts can be searched for whatever the line breaks.
QString ManSection(const QString& page, const QString& heading) {
  const qsizetype start = page.indexOf(QLatin1Char('\n') + heading + QLatin1Char('\n'));
  if (start < 0) {
    return {};
  }
  static const QRegularExpression nextHeading(QStringLiteral("\n[A-Z]"));
  const qsizetype end = page.indexOf(nextHeading, start + heading.size() + 2);
  return page.mid(start, end < 0 ? -1 : end - start).simplified();
}

TEST(ManPage, HasTheSectionsOfACommandsManual) {
  REQUIRE_PACKAGE();
  const QString page = RenderedManPage(package);
  for (const char* heading :
       {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "EXAMPLES", "DIAGNOSTICS"}) {
    EXPECT_FALSE(ManSection(page, QLatin1String(heading)).isEmpty()) << heading;
  }
  EXPECT_TRUE(page.contains(QStringLiteral("Veltrin " VELTRIN_PROJECT_VERSION)));
}

// The options the tool's usage text lists ("  --firmware PATH  ..." lines).
QStringList UsageOptions(const QString& usage) {
  QStringList options;
  const QRegularExpression line(QStringLiteral("^  (--[a-z0-9]+)"),
                                QRegularExpression::MultilineOption);
  for (auto it = line.globalMatch(usage); it.hasNext();) {
    options.append(it.next().captured(1));
  }
  return options;
}

TEST(ManPage, ExplainsEveryOptionOfTheInstalledToolUnderOptions) {
  REQUIRE_PACKAGE();
  const ProgramRun help =
      RunProgram(package.path(QStringLiteral("usr/bin/vtflash")), {QStringLiteral("--help")});
  const QStringList options = UsageOptions(help.errors);
  ASSERT_FALSE(options.isEmpty()) << help.errors.toStdString();
  const QString text = ManSection(RenderedManPage(package), QStringLiteral("OPTIONS"));
  for (const QString& option :
       options + QStringList{QStringLiteral("--help"), QStringLiteral("-h")}) {
    const QRegularExpression word(
        QStringLiteral("(^|[^\\w-])%1($|[^\\w-])").arg(QRegularExpression::escape(option)));
    EXPECT_TRUE(text.contains(word)) << option.toStdString();
  }
}

// The error lines of vtflash in the troubleshooting page's tables: the code spans in each row's
// first cell, without a trailing "..." that stands for the rest of the line.
QStringList TroubleshootingLines() {
  const QString page =
      QString::fromUtf8(ReadAll(QStringLiteral(VELTRIN_SOURCE_DIR "/docs/troubleshooting.md")));
  const qsizetype start = page.indexOf(QStringLiteral("\n## Error lines of vtflash"));
  if (start < 0) {
    return {};
  }
  const qsizetype end = page.indexOf(QStringLiteral("\n## "), start + 1);
  const QString section = page.mid(start, end < 0 ? -1 : end - start);
  QStringList lines;
  const QRegularExpression row(QStringLiteral("^\\| ([^|]*`[^|]*) \\|"),
                               QRegularExpression::MultilineOption);
  const QRegularExpression code(QStringLiteral("`([^`]+)`"));
  for (auto rows = row.globalMatch(section); rows.hasNext();) {
    const QString cell = rows.next().captured(1);
    for (auto spans = code.globalMatch(cell); spans.hasNext();) {
      QString line = spans.next().captured(1);
      if (line.endsWith(QLatin1String("..."))) {
        line.chop(3);
      }
      lines.append(line.simplified());
    }
  }
  return lines;
}

TEST(ManPage, ExplainsEveryErrorLineOfTheTroubleshootingPageUnderDiagnostics) {
  REQUIRE_PACKAGE();
  const QStringList lines = TroubleshootingLines();
  ASSERT_GT(lines.size(), 20);
  const QString text = ManSection(RenderedManPage(package), QStringLiteral("DIAGNOSTICS"));
  for (const QString& line : lines) {
    EXPECT_TRUE(text.contains(line))
        << "missing from packaging/vtflash.1.in: " << line.toStdString();
  }
}

}  // namespace
