// The macOS bundle's Info.plist, made from its template as CMake makes it there: the window's
// footer shows its CFBundleShortVersionString, and macOS starts the executable it names.

#include <gtest/gtest.h>

#include <QMap>
#include <QXmlStreamReader>

#include "package_root.h"

namespace {

// The string values of the property list by key (an array of strings keeps its last one); `error`
// is set for a malformed file.
QMap<QString, QString> PlistStrings(const QByteArray& xml, QString* error) {
  QMap<QString, QString> values;
  QXmlStreamReader reader(xml);
  QString key;
  while (!reader.atEnd()) {
    if (reader.readNext() != QXmlStreamReader::StartElement) {
      continue;
    }
    if (reader.name() == QLatin1String("key")) {
      key = reader.readElementText();
    } else if (reader.name() == QLatin1String("string")) {
      values.insert(key, reader.readElementText());
    }
  }
  *error = reader.hasError() ? reader.errorString() : QString();
  return values;
}

TEST(MacBundleInfo, IsAPropertyListWithEveryValueFilledIn) {
  const QByteArray xml = ReadAll(QStringLiteral(VELTRIN_INFO_PLIST));
  ASSERT_FALSE(xml.isEmpty());
  QString error;
  const QMap<QString, QString> values = PlistStrings(xml, &error);
  EXPECT_TRUE(error.isEmpty()) << error.toStdString();
  for (auto it = values.begin(); it != values.end(); ++it) {
    EXPECT_FALSE(it.value().isEmpty()) << it.key().toStdString();
  }
  EXPECT_FALSE(xml.contains("${"));
}

struct PlistValue {
  const char* key;
  const char* value;
};

class MacBundleValue : public ::testing::TestWithParam<PlistValue> {};

TEST_P(MacBundleValue, IsWhatMacOSAndTheFooterRead) {
  QString error;
  const QMap<QString, QString> values =
      PlistStrings(ReadAll(QStringLiteral(VELTRIN_INFO_PLIST)), &error);
  EXPECT_EQ(values.value(QString::fromLatin1(GetParam().key)), QString::fromUtf8(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(Keys, MacBundleValue,
                         ::testing::Values(PlistValue{"CFBundleShortVersionString",
                                                      VELTRIN_PROJECT_VERSION},
                                           PlistValue{"CFBundleExecutable", "Veltrin"},
                                           PlistValue{"CFBundleName", "Veltrin"},
                                           PlistValue{"CFBundlePackageType", "APPL"},
                                           PlistValue{"NSPrincipalClass", "NSApplication"}),
                         [](const auto& test) { return std::string(test.param.key); });

}  // namespace
