#include "platform/qt/qt_settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

namespace meterstation {

namespace {

QString latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string bytes(const QString& text) { return text.toLatin1().toStdString(); }

std::string problemText(QSettings::Status status) {
  return status == QSettings::FormatError ? "it is not a settings file" : "it cannot be written";
}

// Values come back from the file as text; anything but a whole number in
// range means the file is not one this station wrote.
std::optional<int> numberIn(const QSettings& store, const char* key, int lowest, int highest) {
  bool ok = false;
  const int value = store.value(QLatin1String(key)).toString().toInt(&ok);
  if (!ok || value < lowest || value > highest) return std::nullopt;
  return value;
}

std::optional<bool> flagIn(const QSettings& store, const char* key) {
  const QString text = store.value(QLatin1String(key)).toString();
  if (text == QLatin1String("true")) return true;
  if (text == QLatin1String("false")) return false;
  return std::nullopt;
}

std::optional<std::string> textIn(const QSettings& store, const char* key) {
  const QVariant value = store.value(QLatin1String(key));
  if (!value.isValid()) return std::nullopt;
  const QString text = value.toString();
  const bool fits =
      std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
  if (!fits) return std::nullopt;
  return bytes(text);
}

// The broker's keys are written only for a run that publishes, so a
// station that does not keeps the file it always wrote.
void savePlant(QSettings& store, const PlantOptions& plant) {
  const char* const keys[] = {"mqttUrl",          "mqttPrefix", "mqttUser",
                              "mqttPasswordFile", "mqttCa",     "mqttMaxWaiting"};
  if (!plant.enabled()) {
    for (const char* key : keys) store.remove(QLatin1String(key));
    return;
  }
  store.setValue(QLatin1String(keys[0]), latin1(plant.url));
  store.setValue(QLatin1String(keys[1]), latin1(plant.prefix));
  store.setValue(QLatin1String(keys[2]), latin1(plant.user));
  store.setValue(QLatin1String(keys[3]), latin1(plant.passwordFile));
  store.setValue(QLatin1String(keys[4]), latin1(plant.caFile));
  store.setValue(QLatin1String(keys[5]), QString::number(plant.maxWaiting));
}

// A file of a station that did not publish, or of an older one, has no
// broker keys: no broker. One that has them must have them all readable.
std::optional<PlantOptions> plantIn(const QSettings& store) {
  if (!store.contains(QStringLiteral("mqttUrl"))) return PlantOptions{};
  const auto url = textIn(store, "mqttUrl");
  const auto prefix = textIn(store, "mqttPrefix");
  const auto user = textIn(store, "mqttUser");
  const auto passwordFile = textIn(store, "mqttPasswordFile");
  const auto caFile = textIn(store, "mqttCa");
  bool ok = false;
  const qlonglong maxWaiting =
      store.value(QStringLiteral("mqttMaxWaiting")).toString().toLongLong(&ok);
  if (!url || !prefix || !user || !passwordFile || !caFile || !ok || maxWaiting < 1) {
    return std::nullopt;
  }
  return PlantOptions{*url, *prefix, *user, *passwordFile, *caFile, maxWaiting};
}

}  // namespace

QString QtSettingsStore::file() const {
  if (!file_.isEmpty()) return file_;
  return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
         QStringLiteral("/run.conf");
}

Result QtSettingsStore::save(const RunSettings& settings) {
  const QString path = file();
  const std::string shown = QDir::toNativeSeparators(path).toStdString();
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    return Result::failure("cannot write " + shown + ": its directory cannot be made");
  }
  QSettings store(path, QSettings::IniFormat);
  store.beginGroup(QStringLiteral("run"));
  store.setValue(QStringLiteral("workDir"), latin1(settings.workDir));
  store.setValue(QStringLiteral("port"), settings.port);
  store.setValue(QStringLiteral("marker"), latin1(settings.marker));
  store.setValue(QStringLiteral("obs"), latin1(settings.obs));
  store.setValue(QStringLiteral("interval"), latin1(settings.interval));
  store.setValue(QStringLiteral("debug"), settings.debug);
  store.setValue(QStringLiteral("vistaFix"), settings.vistaFix);
  store.setValue(QStringLiteral("going"), settings.going);
  savePlant(store, settings.plant);
  store.endGroup();
  store.sync();
  if (store.status() != QSettings::NoError) {
    return Result::failure("cannot write " + shown + ": " + problemText(store.status()));
  }
  return Result::success();
}

std::optional<RunSettings> QtSettingsStore::load() {
  const QString path = file();
  if (!QFileInfo(path).isFile()) return std::nullopt;
  QSettings store(path, QSettings::IniFormat);
  if (store.status() != QSettings::NoError) return std::nullopt;
  store.beginGroup(QStringLiteral("run"));
  const auto workDir = textIn(store, "workDir");
  const auto port = numberIn(store, "port", 1, 4);
  const auto marker = textIn(store, "marker");
  const auto obs = textIn(store, "obs");
  const auto interval = textIn(store, "interval");
  const auto debug = numberIn(store, "debug", 0, 1);
  const auto vistaFix = numberIn(store, "vistaFix", 0, 1);
  const auto going = flagIn(store, "going");
  const auto plant = plantIn(store);
  if (!workDir || !port || !marker || !obs || !interval || !debug || !vistaFix || !going ||
      !plant) {
    return std::nullopt;
  }
  return RunSettings{*workDir, *port, *marker, *obs, *interval, *debug, *vistaFix, *going, *plant};
}

}  // namespace meterstation
