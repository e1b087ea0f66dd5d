#include "desktop/DemoSampler.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#ifndef VELTRIN_DEMO_SCENARIO
#define VELTRIN_DEMO_SCENARIO ""
#endif

DemoSampler::DemoSampler() {
  const QString scenario = qEnvironmentVariableIsSet("VTFLASH_SIM")
                               ? qEnvironmentVariable("VTFLASH_SIM")
                               : QStringLiteral(VELTRIN_DEMO_SCENARIO);
  for (const QString& setting : scenario.split(QLatin1Char(','))) {
    if (setting.startsWith(QLatin1String("plug="))) {
      plugPath_ = setting.mid(5);
      return;
    }
  }
  plugPath_ = QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
                  .filePath(QStringLiteral("veltrin-demo-sampler"));
  const QString plugged = QStringLiteral("plug=") + plugPath_;
  qputenv("VTFLASH_SIM",
          QFile::encodeName(scenario.isEmpty() ? plugged : scenario + QLatin1Char(',') + plugged));
  plugIn();
}

bool DemoSampler::plugIn() const {
  QFile plug(plugPath_);
  return plug.open(QIODevice::WriteOnly | QIODevice::Append);
}

bool DemoSampler::unplug() const {
  return !QFile::exists(plugPath_) || QFile::remove(plugPath_);
}
