#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "platform/qt/qt_settings_store.h"
#include "support/going_run.h"

namespace meterstation {
namespace {

RunSettings aRun() { return testsupport::goingRun("/home/op/data/qN07", "qN07", "2000"); }

void expectSame(const RunSettings& got, const RunSettings& want) {
  EXPECT_EQ(got.workDir, want.workDir);
  EXPECT_EQ(got.port, want.port);
  EXPECT_EQ(got.marker, want.marker);
  EXPECT_EQ(got.obs, want.obs);
  EXPECT_EQ(got.interval, want.interval);
  EXPECT_EQ(got.debug, want.debug);
  EXPECT_EQ(got.vistaFix, want.vistaFix);
  EXPECT_EQ(got.going, want.going);
}

// The user's configuration lives in a temporary directory for the test.
class QtSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.isValid());
    const char* old = std::getenv("XDG_CONFIG_HOME");
    hadConfigHome_ = old != nullptr;
    if (old) oldConfigHome_ = old;
    oldName_ = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("meterstation"));
    ::setenv("XDG_CONFIG_HOME", temp_.path().toLocal8Bit().constData(), 1);
  }
  void TearDown() override {
    if (hadConfigHome_) {
      ::setenv("XDG_CONFIG_HOME", oldConfigHome_.c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
    QCoreApplication::setApplicationName(oldName_);
  }
  // A file of its own for each case: QSettings caches what it read by path.
  QString fileWith(const char* name, const QByteArray& contents) {
    const QString path = temp_.filePath(QString::fromLatin1(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    return path;
  }

  QTemporaryDir temp_;
  bool hadConfigHome_ = false;
  std::string oldConfigHome_;
  QString oldName_;
};

TEST_F(QtSettingsStoreTest, KeepsTheRunInTheUsersConfiguration) {
  QtSettingsStore store;
  const QString expected = temp_.path() + QStringLiteral("/meterstation/run.conf");
  EXPECT_EQ(store.file(), expected);
  EXPECT_FALSE(store.load().has_value()) << "no run was ever remembered";

  const Result saved = store.save(aRun());
  ASSERT_TRUE(saved.ok) << saved.error;
  EXPECT_TRUE(QFile::exists(expected));
  std::optional<RunSettings> loaded = QtSettingsStore().load();
  ASSERT_TRUE(loaded.has_value());
  expectSame(*loaded, aRun());

  // A later save replaces every value: the run has ended.
  RunSettings ended = aRun();
  ended.obs = "0";
  ended.going = false;
  ended.port = 1;
  ASSERT_TRUE(store.save(ended).ok);
  loaded = store.load();
  ASSERT_TRUE(loaded.has_value());
  expectSame(*loaded, ended);
}

TEST_F(QtSettingsStoreTest, TheBrokerGoesWithTheRunAndARunWithoutOneWritesNoneOfItsKeys) {
  RunSettings run = aRun();
  run.plant = PlantOptions{"mqtts://broker.site:8884", "site/hall", "op", "/etc/ms/pw",
                           "/etc/ms/ca.pem",           250};
  QtSettingsStore store;
  ASSERT_TRUE(store.save(run).ok);
  std::optional<RunSettings> loaded = store.load();
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->plant, run.plant);

  run.plant = PlantOptions{};
  ASSERT_TRUE(store.save(run).ok);
  QFile file(store.file());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_FALSE(file.readAll().contains("mqtt"));
  loaded = store.load();
  ASSERT_TRUE(loaded.has_value());
  EXPECT_FALSE(loaded->plant.enabled());
}

TEST_F(QtSettingsStoreTest, TextsComeBackByteForByte) {
  RunSettings run = aRun();
  std::string everyByte;
  for (int b = 1; b <= 0xFF; ++b) everyByte.push_back(static_cast<char>(b));
  run.marker = everyByte;
  run.workDir = "/media/op/D\xE9p\xF4t 2/q;N#07=\"x\"[run]";
  run.obs = "@Variant(3)";
  run.interval = std::string(
                     "20\0"
                     "00",
                     5) +
                 "\\n";
  run.debug = 0;
  run.vistaFix = 1;
  QtSettingsStore store;
  ASSERT_TRUE(store.save(run).ok);
  const std::optional<RunSettings> loaded = store.load();
  ASSERT_TRUE(loaded.has_value());
  expectSame(*loaded, run);
}

TEST_F(QtSettingsStoreTest, WhatCannotBeReadIsNoRun) {
  const char* const whole =
      "[run]\nworkDir=/d\nport=2\nmarker=qN01\nobs=1\ninterval=2000\ndebug=0\nvistaFix=1\n"
      "going=true\n";
  const std::optional<RunSettings> older = QtSettingsStore(fileWith("whole.conf", whole)).load();
  ASSERT_TRUE(older.has_value());
  EXPECT_FALSE(older->plant.enabled()) << "a file from before the broker has none";

  const struct {
    const char* name;
    const char* contents;
  } broken[] = {
      {"empty.conf", ""},
      {"binary.conf",
       "\x7f"
       "ELF\x02\x01\x01\0\0\0"},
      {"other-group.conf", "[General]\nworkDir=/d\nport=2\n"},
      {"no-marker.conf",
       "[run]\nworkDir=/d\nport=2\nobs=1\ninterval=2000\ndebug=0\nvistaFix=1\ngoing=true\n"},
      {"port-seven.conf",
       "[run]\nworkDir=/d\nport=7\nmarker=qN01\nobs=1\ninterval=2000\ndebug=0\nvistaFix=1\n"
       "going=true\n"},
      {"port-text.conf",
       "[run]\nworkDir=/d\nport=two\nmarker=qN01\nobs=1\ninterval=2000\ndebug=0\nvistaFix=1\n"
       "going=true\n"},
      {"debug-five.conf",
       "[run]\nworkDir=/d\nport=2\nmarker=qN01\nobs=1\ninterval=2000\ndebug=5\nvistaFix=1\n"
       "going=true\n"},
      {"going-maybe.conf",
       "[run]\nworkDir=/d\nport=2\nmarker=qN01\nobs=1\ninterval=2000\ndebug=0\nvistaFix=1\n"
       "going=maybe\n"},
      {"broker-bound-text.conf",
       "[run]\nworkDir=/d\nport=2\nmarker=qN01\nobs=1\ninterval=2000\ndebug=0\nvistaFix=1\n"
       "going=true\nmqttUrl=mqtt://b\nmqttPrefix=p\nmqttUser=\nmqttPasswordFile=\nmqttCa=\n"
       "mqttMaxWaiting=lots\n"},
      {"wide-text.conf",
       "[run]\nworkDir=/\xe2\x82\xac\nport=2\nmarker=qN01\nobs=1\ninterval=2000\ndebug=0\n"
       "vistaFix=1\ngoing=true\n"},
  };
  for (const auto& file : broken) {
    EXPECT_FALSE(QtSettingsStore(fileWith(file.name, file.contents)).load().has_value())
        << file.name;
  }

  // A directory where the file should be.
  const QString directory = temp_.filePath(QStringLiteral("dir.conf"));
  ASSERT_TRUE(QDir().mkpath(directory));
  EXPECT_FALSE(QtSettingsStore(directory).load().has_value());
}

TEST_F(QtSettingsStoreTest, ASaveThatFailsSaysWhereAndWhy) {
  // The configuration directory cannot be made under a plain file.
  const QString blocker = fileWith("blocker", "x");
  ::setenv("XDG_CONFIG_HOME", blocker.toLocal8Bit().constData(), 1);
  Result saved = QtSettingsStore().save(aRun());
  EXPECT_FALSE(saved.ok);
  EXPECT_NE(saved.error.find((blocker + "/meterstation/run.conf").toStdString()), std::string::npos)
      << saved.error;

  const QString directory = temp_.filePath(QStringLiteral("taken.conf"));
  ASSERT_TRUE(QDir().mkpath(directory));
  saved = QtSettingsStore(directory).save(aRun());
  EXPECT_FALSE(saved.ok);
  EXPECT_EQ(saved.error, "cannot write " + directory.toStdString() + ": it cannot be written");
}

}  // namespace
}  // namespace meterstation
