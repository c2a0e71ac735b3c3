#include "output/plant_messages.h"
#include "reading/set_accumulation.h"
#include "station/form1.h"
#include "text/text_util.h"

namespace meterstation {

namespace {

// The fourteen digits of a stamp from the clock's two texts.
std::string stampDigits(const LocalMoment& moment) {
  return piece(makeDateStamp(moment.date), 5) + makeTimeStamp(moment.time);
}

}  // namespace

void Form1::attachPlantFeed(PlantFeed& feed, const PlantOptions& options) {
  plant_ = &feed;
  plantOptions_ = options;
  plantRunId_ = feed.runId();
}

// Problems go to standard error as well, for a station started from a
// terminal or a service's log; news of the broker only to the list.
void Form1::Plant_Notice() {
  if (plant_ == nullptr) return;
  for (const PlantNotice& notice : plant_->takeNotices()) {
    if (!ended_) window_.addItem(ListId::List2, notice.text);
    if (notice.problem) host_.printError("meterstation: " + notice.text);
  }
}

void Form1::announceStation() {
  if (plant_ == nullptr) return;
  stationId_ = stationIdOf(state_.workDir, host_.pathSeparator());
  plant_->stationChosen(utf8FromLatin1(stationId_));
}

std::string Form1::nextPlantId() {
  plantCount_ += 1;
  return plantRunId_ + "-" + std::to_string(plantCount_);
}

void Form1::publishReading(const ParsedReading& reading, const std::string& readingText,
                           const LocalMoment& moment) {
  if (plant_ == nullptr) return;
  const ReadingMessage message{nextPlantId(), reading.item[0], readingText,
                               reading.f,     reading.item[1], isoLocalTime(stampDigits(moment))};
  plant_->publish(
      {plantTopic(plantOptions_.prefix, stationId_, "reading"), readingPayload(message)});
}

// The set's moment is its last reading's, at the head of its snapshot.
void Form1::publishSet(bool inDatabase) {
  if (plant_ == nullptr) return;
  const SetMessage message{nextPlantId(), state_.dbRecord,
                           isoLocalTime(piece(state_.setSnapshot, 5, 14)), inDatabase};
  plant_->publish({plantTopic(plantOptions_.prefix, stationId_, "set"), setPayload(message)});
}

void Form1::publishAlarm(const ParsedReading& reading, const char* kind, double limit,
                         const std::string& dateStamp, const std::string& timeStamp) {
  if (plant_ == nullptr) return;
  const AlarmMessage message{nextPlantId(), reading.item[0],
                             kind,          reading.item[1],
                             limit,         isoLocalTime(piece(dateStamp, 5) + timeStamp)};
  plant_->publish({plantTopic(plantOptions_.prefix, stationId_, "alarm"), alarmPayload(message)});
}

}  // namespace meterstation
