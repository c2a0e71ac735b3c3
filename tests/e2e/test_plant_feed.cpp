// The station publishing to a real mosquitto while processor-sim feeds it
// on a pseudo-terminal: the exact messages of a set; the broker stopped in
// the middle of a set and started again; a station killed with messages
// waiting, and taken up by `meterstation --resume`.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <regex>
#include <set>

#include "e2e/station_under_test.h"
#include "platform/qt/dir_list.h"
#include "support/mosquitto_broker.h"
#include "support/serial_lock.h"

namespace meterstation::e2e {
namespace {

using testsupport::MosquittoBroker;
using testsupport::ReceivedMessage;
using testsupport::Subscriber;

constexpr int kPlantSetWithinMs = 30000;

const std::regex kReadingPayload(
    R"re(\{"id":"([0-9a-f]{16})-([0-9]+)","meter":([0-9]+),"reading":"([^"]*)",)re"
    R"re("fields":\[([^\]]*)\],"value":([0-9]+),)re"
    R"re("time":"(20\d\d-[01]\d-[0-3]\dT[0-2]\d:[0-5]\d:[0-5]\d)"\})re");
const std::regex kSetPayload(
    R"re(\{"id":"([0-9a-f]{16})-([0-9]+)","line":"([^"]*)",)re"
    R"re("time":"(20\d\d-[01]\d-[0-3]\dT[0-2]\d:[0-5]\d:[0-5]\d)","database":true\})re");

// The message's place in its run, from the number after its run's id.
long numberOf(const ReceivedMessage& m) {
  static const std::regex id(R"re("id":"[0-9a-f]{16}-([0-9]+)")re");
  std::smatch match;
  return std::regex_search(m.payload, match, id) ? std::stol(match[1]) : -1;
}

// The readings and sets in the order they first arrived, each once:
// a broker may deliver a message twice, never out of its order.
std::vector<ReceivedMessage> firstArrivals(const std::vector<ReceivedMessage>& all) {
  std::vector<ReceivedMessage> out;
  std::set<std::string> seen;
  for (const ReceivedMessage& m : all) {
    if (m.topic.ends_with("/status")) continue;
    if (seen.insert(m.payload).second) out.push_back(m);
  }
  return out;
}

// The payload the station must publish for this reading, its id and time
// taken from what it did publish once they are checked for their form.
::testing::AssertionResult isReading(const ReceivedMessage& m, const std::string& sent) {
  std::smatch match;
  if (m.topic != "meterstation/qN42/reading" ||
      !std::regex_match(m.payload, match, kReadingPayload))
    return ::testing::AssertionFailure() << m.topic << " " << m.payload;
  const std::string text = sent.substr(0, 40);
  std::string fields;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    fields += (fields.empty() ? "\"" : ",\"") + text.substr(at, comma - at) + "\"";
    at = comma + 1;
  }
  const std::string expected = "{\"id\":\"" + match[1].str() + "-" + match[2].str() +
                               "\",\"meter\":" + std::to_string(std::stoi(text.substr(0, 2))) +
                               ",\"reading\":\"" + text + "\",\"fields\":[" + fields +
                               "],\"value\":" + std::to_string(std::stoi(text.substr(3, 3))) +
                               ",\"time\":\"" + match[7].str() + "\"}";
  if (m.payload != expected)
    return ::testing::AssertionFailure() << m.payload << "\ninstead of\n" << expected;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult isSet(const ReceivedMessage& m, const std::string& dbLine) {
  std::smatch match;
  if (m.topic != "meterstation/qN42/set" || !std::regex_match(m.payload, match, kSetPayload))
    return ::testing::AssertionFailure() << m.topic << " " << m.payload;
  if (match[3].str() + "\r\n" != dbLine)
    return ::testing::AssertionFailure() << match[3].str() << "\ninstead of\n" << dbLine;
  // The set's time is its line's, columns 5 to 18.
  const std::string t = match[4].str();
  const std::string digits = t.substr(0, 4) + t.substr(5, 2) + t.substr(8, 2) + t.substr(11, 2) +
                             t.substr(14, 2) + t.substr(17, 2);
  if (digits != dbLine.substr(4, 14)) return ::testing::AssertionFailure() << t;
  return ::testing::AssertionSuccess();
}

class PlantFeedEndToEnd : public StationDirTest {
 protected:
  void SetUp() override {
    StationDirTest::SetUp();
    brokerDir = (root + "/.broker").toStdString();
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(brokerDir)));
    broker = std::make_unique<MosquittoBroker>(brokerDir);
  }
  void TearDown() override {
    station.reset();
    testsupport::removeSerialLock((root + "/com1").toStdString());
    StationDirTest::TearDown();
  }
  void watch() {
    ASSERT_TRUE(broker->start()) << broker->log();
    watcher = std::make_unique<Subscriber>(*broker, brokerDir, "meterstation/#");
    ASSERT_TRUE(watcher->subscribed(*broker)) << broker->log();
  }
  PlantOptions plant() const {
    PlantOptions options;
    options.url = broker->url();
    return options;
  }
  // As an operator with the station started with --mqtt: the data
  // directory, the interval, the number of sets, Com1.
  void operate(const QString& obs) {
    station = std::make_unique<StationUnderTest>();
    MqttPlantFeed::Setup setup;
    setup.retryMin = std::chrono::milliseconds(200);
    setup.retryMax = std::chrono::milliseconds(500);
    station->attachPlant(plant(), setup);
    QtWindow& w = station->window;
    w.setDirPath(data.toStdString());
    ASSERT_EQ(w.dirPath(), data.toStdString());
    station->form.Dir1_Change();
    w.textBox(TextId::Text4)->setText(QStringLiteral("150"));
    w.textBox(TextId::Text3)->setText(obs);
    QTest::mouseClick(w.button(ButtonId::Command1), Qt::LeftButton);
  }
  bool received(std::size_t dataMessages, int timeoutMs) {
    return waitWithEvents([&] { return firstArrivals(watcher->messages()).size() >= dataMessages; },
                          timeoutMs);
  }
  std::vector<std::string> dbLines() const {
    const std::string db = file("qn.db1");
    std::vector<std::string> lines;
    for (std::size_t at = 0; at + 678 <= db.size(); at += 678) lines.push_back(db.substr(at, 678));
    return lines;
  }
  std::string storeDir() const { return (user->dataDir() + "/mqtt").toStdString(); }

  std::string brokerDir;
  std::unique_ptr<MosquittoBroker> broker;
  std::unique_ptr<Subscriber> watcher;
  Simulator sim;
};

TEST_F(PlantFeedEndToEnd, ASetArrivesAsItsSixteenReadingsAndItsDatabaseLine) {
  watch();
  if (HasFatalFailure()) return;
  startSimulator(sim, {"--fast", "--silence", "400", "--sets", "1", "--seed", "31"});
  operate("1");
  ASSERT_TRUE(waitWithEvents([&] { return station->form.ended(); }, kPlantSetWithinMs));
  ASSERT_TRUE(received(17, 10000)) << MosquittoBroker::readAll(watcher->file());
  station.reset();  // the station's end: offline

  const std::vector<std::string> readings = sim.sent("reading");
  ASSERT_EQ(readings.size(), 16U);
  const std::vector<ReceivedMessage> got = firstArrivals(watcher->messages());
  ASSERT_EQ(got.size(), 17U);
  for (std::size_t i = 0; i < 16; ++i) {
    EXPECT_TRUE(isReading(got[i], readings[i])) << "reading " << i + 1;
    EXPECT_EQ(numberOf(got[i]), static_cast<long>(i + 1));
  }
  ASSERT_EQ(dbLines().size(), 1U);
  EXPECT_TRUE(isSet(got[16], dbLines()[0]));
  ASSERT_TRUE(waitWithEvents([&] { return watcher->of("status").size() >= 2; }, 10000));
  EXPECT_EQ(watcher->of("status").front().payload, "online");
  EXPECT_EQ(watcher->of("status").back().payload, "offline");
}

TEST_F(PlantFeedEndToEnd, TheBrokerStoppedInTheMiddleOfASetAndStartedAgainMissesNothing) {
  watch();
  if (HasFatalFailure()) return;
  startSimulator(sim, {"--fast", "--silence", "400", "--sets", "2", "--seed", "32"});
  operate("2");
  ASSERT_TRUE(received(5, kPlantSetWithinMs));
  broker->stop();
  // Readings go on meanwhile, some seconds of them.
  const std::int64_t before = station->form.state().lineCount;
  ASSERT_TRUE(waitWithEvents([&] { return station->form.state().lineCount >= before + 6; },
                             kPlantSetWithinMs));
  ASSERT_TRUE(broker->start()) << broker->log();
  ASSERT_TRUE(waitWithEvents([&] { return station->form.ended(); }, 2 * kPlantSetWithinMs));
  ASSERT_TRUE(received(34, 20000)) << MosquittoBroker::readAll(watcher->file());

  const std::vector<std::string> readings = sim.sent("reading");
  ASSERT_EQ(readings.size(), 32U);
  const std::vector<ReceivedMessage> got = firstArrivals(watcher->messages());
  ASSERT_EQ(got.size(), 34U);
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(numberOf(got[i]), static_cast<long>(i + 1)) << "in order, none missing";
  }
  for (std::size_t i = 0; i < 16; ++i) {
    EXPECT_TRUE(isReading(got[i], readings[i])) << "reading " << i + 1;
    EXPECT_TRUE(isReading(got[17 + i], readings[16 + i])) << "reading " << 17 + i;
  }
  ASSERT_EQ(dbLines().size(), 2U);
  EXPECT_TRUE(isSet(got[16], dbLines()[0]));
  EXPECT_TRUE(isSet(got[33], dbLines()[1]));
  EXPECT_TRUE(station->list2Has("mqtt: lost the broker at " + broker->url()));
  EXPECT_TRUE(station->list2Has("mqtt: the broker at " + broker->url() + " is back"));
}

TEST_F(PlantFeedEndToEnd, AStationKilledWithMessagesWaitingHasThemSentByItsResume) {
  // No broker yet: the killed station's messages can only wait on disk.
  Simulator first;
  startSimulator(first, {"--fast", "--silence", "400", "--seed", "33"}, "first.log");
  ProgramProcess runner;
  ASSERT_TRUE(runner.start(QStringLiteral(STATION_RUNNER_PATH),
                           {"--dir", data, "--obs", "2", "--interval", "150", "--mqtt",
                            QString::fromStdString(broker->url())}));
  const auto waitingFiles = [&] {
    return QDir(QString::fromStdString(storeDir()))
        .entryList({QStringLiteral("*.msg")}, QDir::Files, QDir::Name);
  };
  ASSERT_TRUE(waitWithEvents([&] { return waitingFiles().size() >= 6 || !runner.running(); },
                             kPlantSetWithinMs));
  ASSERT_TRUE(runner.running()) << runner.errors();
  runner.killHard();
  const QStringList kept = waitingFiles();
  ASSERT_GE(kept.size(), 6);
  ASSERT_LT(kept.size(), 16) << "still in its first set";
  first.process.terminate();
  ASSERT_TRUE(first.process.waitForFinished(5000));
  ASSERT_TRUE(waitWithEvents([&] { return !QFile::exists(first.link); }, 5000));
  testsupport::removeSerialLock((root + "/com1").toStdString());

  watch();
  if (HasFatalFailure()) return;
  startSimulator(sim, {"--fast", "--silence", "400", "--sets", "2", "--seed", "34"}, "second.log");
  ProgramProcess resumed;
  ASSERT_TRUE(resumed.start(QStringLiteral(METERSTATION_PATH), {"--resume"}));
  ASSERT_TRUE(resumed.process.waitForFinished(3 * kPlantSetWithinMs)) << resumed.errors();
  EXPECT_EQ(resumed.process.exitCode(), 0) << resumed.errors();

  // The killed run's messages first, as they were kept, then the resumed
  // run's two sets.
  const std::size_t killed = static_cast<std::size_t>(kept.size());
  ASSERT_TRUE(received(killed + 34, 20000)) << MosquittoBroker::readAll(watcher->file());
  const std::vector<ReceivedMessage> got = firstArrivals(watcher->messages());
  ASSERT_EQ(got.size(), killed + 34);
  const std::vector<std::string> before = first.sent("reading");
  for (std::size_t i = 0; i < killed; ++i) {
    EXPECT_TRUE(isReading(got[i], before[i])) << "killed run's reading " << i + 1;
    EXPECT_EQ(numberOf(got[i]), static_cast<long>(i + 1));
  }
  const std::vector<std::string> after = sim.sent("reading");
  ASSERT_EQ(after.size(), 32U);
  for (std::size_t i = 0; i < 16; ++i) {
    EXPECT_TRUE(isReading(got[killed + i], after[i])) << "resumed reading " << i + 1;
  }
  EXPECT_TRUE(waitingFiles().isEmpty()) << "delivered files go";
}

}  // namespace
}  // namespace meterstation::e2e
