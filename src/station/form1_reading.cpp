#include "output/db_record.h"
#include "output/set_files.h"
#include "reading/alarm_check.h"
#include "reading/set_accumulation.h"
#include "station/form1.h"
#include "text/text_util.h"

namespace meterstation {

namespace {

constexpr std::size_t kShownRejectLength = 80;

}  // namespace

void Form1::ProcessReading() {
  state_.lineCount += 1;
  // One reading of the clock for everything the reading carries: the end
  // of its quiet period, which is when a station never held up takes it.
  const LocalMoment moment = clock_.momentAt(timer_.dueAt());
  const std::string dateStamp = makeDateStamp(moment.date);
  const std::string timeStamp = makeTimeStamp(moment.time);
  ParsedReading reading;
  if (!parseStage(reading)) return;
  accumulate(reading, moment);
  // The reading that completes the last set ends the station before its
  // alarm check.
  if (ended_) return;
  alarmCheck(reading, dateStamp, timeStamp);
}

bool Form1::parseStage(ParsedReading& reading) {
  const std::string received = serial_.input();
  if (window_.checkValue(CheckId::Check1) == 1) {
    window_.addItem(ListId::List2, " comm:" + received + "end");
  }
  state_.lastInput = received;
  if (received.empty()) {
    // A notification that brought no characters is no reading.
    state_.lineCount -= 1;
    return false;
  }

  ParseOutcome outcome;
  if (window_.checkValue(CheckId::Check2) != 1) {
    outcome = scratchFileParse(received);
  } else {
    window_.setCaption(LabelId::Label3, "qNII");
    state_.commaPos =
        received.size() <= kMaxSplitLength ? commaPositions(received) : CommaPositions{};
    outcome = splitInMemory(received);
  }
  if (!outcome.ok) {
    rejectReading(received);
    return false;
  }
  reading = outcome.reading;
  zeroFill(reading.f);
  keepOnOneLine(reading.f);
  return true;
}

ParseOutcome Form1::scratchFileParse(const std::string& received) {
  ParseOutcome failed;
  const std::string path = pathOf(kScratchFile);
  if (!replaceFile(kScratchFile, scratchFileText(received))) return failed;
  const ReadResult written = files_.read(path);
  if (!written.ok) {
    reportFileProblem(kScratchFile);
    return failed;
  }
  const std::string cleaned = withoutNuls(written.bytes);
  if (cleaned.size() != written.bytes.size()) {
    if (!files_.writeAt(path, 0, cleaned)) {
      reportFileProblem(kScratchFile);
      return failed;
    }
  }
  window_.setCaption(LabelId::Label3, "qNII");
  const ReadResult readBack = files_.read(path);
  if (!readBack.ok) {
    reportFileProblem(kScratchFile);
    return failed;
  }
  ParseOutcome outcome = readItems(readBack.bytes);
  if (!outcome.ok) return outcome;
  applyShiftRule(outcome.reading.item);
  outcome.reading.f = fieldsFromItems(outcome.reading.item);
  return outcome;
}

void Form1::rejectReading(const std::string& received) {
  // A set always holds sixteen parsed readings.
  state_.lineCount -= 1;
  window_.addItem(ListId::List2, "bad reading: " + visibleText(received, kShownRejectLength));
  appendLine(kRejectsFile, visibleText(received) + "\r\n");
}

void Form1::accumulate(const ParsedReading& reading, const LocalMoment& moment) {
  const std::string readingText = readingTextOf(reading.f);
  window_.addItem(ListId::List1, readingText);
  publishReading(reading, readingText, moment);
  state_.setRecord += ',';
  state_.setRecord += readingText;
  window_.setText(TextId::Text2, decimalText(static_cast<double>(state_.lineCount)));
  state_.readingLog += readingLogLine(readingText);
  state_.timeLog += timeLogLine(moment.time, moment.date);
  journalReading({readingText, moment.time + " " + moment.date});

  if (state_.lineCount == kAnnounceReading) {
    window_.setLampColour(kLampGreen);
    window_.setCaption(LabelId::Label1, " Update pending ... ");
  }
  if (state_.lineCount == kReadingsPerSet) {
    state_.setSnapshot = makeDateStamp(moment.date) + makeTimeStamp(moment.time) + state_.setRecord;
    BuildDbRecord();
    WriteSetFiles();
    window_.setLampColour(kLampGreen);
    window_.setCaption(LabelId::Label1, "We have a good reading ");
    state_.lineCount = 0;
    state_.obsCount += 1;
    window_.setCaption(LabelId::Label4, decimalText(static_cast<double>(state_.obsCount)));
    state_.setRecord.clear();
    state_.readingLog.clear();
    state_.timeLog.clear();
    if (state_.setsLeft > 0) {
      state_.setsLeft -= 1;
      window_.setText(TextId::Text3, decimalText(state_.setsLeft));
    }
    window_.beep();
  }
  if (state_.setsLeft < 1) Command5_Click();
}

void Form1::BuildDbRecord() {
  state_.dbRecord = buildDbRecord(state_.setSnapshot, window_.text(TextId::Text1));
}

void Form1::alarmCheck(const ParsedReading& reading, const std::string& dateStamp,
                       const std::string& timeStamp) {
  const AlarmDecision d =
      checkAlarm(reading.item[0], reading.item[1], state_.lowTable, state_.highTable);
  state_.lowLimit = d.lowLimit;
  state_.highLimit = d.highLimit;
  if (window_.checkValue(CheckId::Check1) == 1) window_.addItem(ListId::List2, d.debugLine);
  if (d.high) {
    const std::string text = alarmText(reading.f[0], kHighKind, dateStamp, timeStamp);
    window_.addItem(ListId::List2, text);
    appendLine(kAlarmLogFile, text + "\r\n");
    publishAlarm(reading, "high", static_cast<double>(d.highLimit), dateStamp, timeStamp);
  }
  if (d.low) {
    const std::string text = alarmText(reading.f[0], kLowKind, dateStamp, timeStamp);
    window_.addItem(ListId::List2, text);
    appendLine(kAlarmLogFile, text + "\r\n");
    publishAlarm(reading, "low", d.lowLimit, dateStamp, timeStamp);
  }
}

}  // namespace meterstation
