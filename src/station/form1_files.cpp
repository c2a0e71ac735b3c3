#include "output/set_files.h"
#include "output/support_files.h"
#include "reading/set_accumulation.h"
#include "station/form1.h"
#include "text/text_util.h"

namespace meterstation {

namespace {

std::string waitingMessage(std::size_t count, const std::string& name) {
  return count == 1 ? "1 line waits for " + name
                    : std::to_string(count) + " lines wait for " + name;
}

}  // namespace

std::string Form1::pathOf(const std::string& name) const { return state_.workDir + name; }

void Form1::reportFileProblem(const std::string& name) {
  window_.addItem(ListId::List2, "Problem with file " + name);
}

bool Form1::replaceFile(const std::string& name, const std::string& bytes) {
  if (files_.replace(pathOf(name), bytes)) return true;
  reportFileProblem(name);
  return false;
}

bool Form1::appendLine(const std::string& name, const std::string& line) {
  if (name == kDatabaseFile && !recoverTornDatabaseLine()) {
    // A line appended onto a torn one would be spoilt with it; it waits
    // until the torn line is out of the way.
    window_.addItem(ListId::List2, waitingMessage(pending_.hold(name, line), name));
    return false;
  }
  const std::size_t before = pending_.waiting(name);
  const AppendQueue::Outcome outcome = pending_.append(files_, name, pathOf(name), line);
  if (outcome.waiting > 0) {
    reportFileProblem(name);
    window_.addItem(ListId::List2, waitingMessage(outcome.waiting, name));
    return false;
  }
  if (before > 0) {
    window_.addItem(ListId::List2, std::to_string(before) + " waiting lines written to " + name);
  }
  return true;
}

// True once the database holds no torn last line, so appending is safe.
bool Form1::recoverTornDatabaseLine() {
  const std::string path = pathOf(kDatabaseFile);
  if (checkedDatabases_.contains(path)) return true;
  if (!files_.exists(path)) {
    checkedDatabases_.insert(path);
    return true;
  }
  const ReadResult current = files_.read(path);
  if (!current.ok) {
    reportFileProblem(kDatabaseFile);
    return false;  // looked at again before the next append
  }
  const auto cut = tornLineStart(current.bytes);
  if (cut) {
    // A power cut in the middle of an append leaves a torn last line; keep
    // it aside and cut it off, so no line is appended onto it.
    const std::string torn = current.bytes.substr(*cut);
    if (!files_.append(pathOf(kTornLineFile), torn + "\r\n")) {
      reportFileProblem(kTornLineFile);
      return false;
    }
    if (!files_.truncate(path, *cut)) {
      reportFileProblem(kDatabaseFile);
      return false;
    }
    window_.addItem(ListId::List2, "torn last line of " + std::string(kDatabaseFile) +
                                       " moved to " + kTornLineFile);
  }
  checkedDatabases_.insert(path);
  return true;
}

void Form1::flushWaitingLines() {
  std::vector<std::string> names;
  for (const auto& [name, lines] : pending_.lines()) names.push_back(name);
  for (const std::string& name : names) {
    if (name == kDatabaseFile && !recoverTornDatabaseLine()) {
      window_.addItem(ListId::List2, waitingMessage(pending_.waiting(name), name));
      continue;
    }
    const AppendQueue::Outcome outcome = pending_.retry(files_, name, pathOf(name));
    if (outcome.waiting > 0) window_.addItem(ListId::List2, waitingMessage(outcome.waiting, name));
  }
}

void Form1::keepWaitingLines() {
  if (pending_.totalWaiting() == 0) return;
  // Lines that never reached their files go where the user can find them;
  // as a last resort, to standard error.
  const std::string dir = host_.recoveryDirectory();
  const std::string stamp =
      makeDateStamp(clock_.dateText()).substr(4) + "-" + makeTimeStamp(clock_.timeText());
  for (const auto& [name, lines] : pending_.lines()) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line;
    const std::string path = dir + window_.pathSeparator() + "recovered-" + stamp + "-" + name;
    const std::string count = std::to_string(lines.size());
    if (!dir.empty() && files_.append(path, bytes)) {
      const std::string message =
          count + " lines that could not be written to " + name + " are kept in " + path;
      window_.addItem(ListId::List2, message);
      host_.printError("meterstation: " + message);
    } else {
      host_.printError("meterstation: " + count + " lines could not be written to " + name +
                       " nor kept; here they are:");
      for (const std::string& line : lines) {
        host_.printError(line.ends_with("\r\n") ? line.substr(0, line.size() - 2) : line);
      }
    }
  }
}

void Form1::WriteSetFiles() {
  restoreTailSpace(state_.dbRecord);
  const CountdownStep step = databaseCountdown(state_.dbCountdown, state_.dbInterval);
  if (step.writeLine) appendLine(kDatabaseFile, state_.dbRecord + "\r\n");
  state_.dbCountdown = step.countdownAfter;
  replaceFile(kSnapshotFile, snapshotFileText(state_.readingLog));
  appendLine(kUsageFile, usageLine(state_.readingLog));
  replaceFile(kTimesFile, timesFileText(state_.timeLog));
}

// Support files.

bool Form1::createSupportFile(const std::string& name, const std::string& bytes) {
  if (files_.replace(pathOf(name), bytes)) return true;
  window_.setText(TextId::Text2, "Problem creating file " + name);
  supportFilesFailed_ = true;
  return false;
}

void Form1::CreateDefaultsFile() { createSupportFile(kDefaultsFile, defaultsFileText()); }
void Form1::CreateMeterTable() { createSupportFile(kMeterTableFile, meterTableText()); }
void Form1::CreateBillTemplate() { createSupportFile(kBillTemplateFile, billTemplateText()); }

void Form1::Command6_Click() {
  if (ended_) return;
  if (numericValue(window_.text(TextId::Text3)) > 0) {
    window_.addItem(ListId::List2, "invalid operation");
    return;
  }
  SelectWorkDir();
  supportFilesFailed_ = false;
  CreateDefaultsFile();
  CreateMeterTable();
  CreateBillTemplate();
  window_.addItem(ListId::List2, supportFilesFailed_ ? "files not created" : "files created");
}

void Form1::LoadDefaultsFile() {
  const std::string failure = "Problem with file " + std::string(kDefaultsFile);
  const ReadResult file = files_.read(pathOf(kDefaultsFile));
  if (!file.ok) {
    window_.setText(TextId::Text2, failure);
    return;
  }
  const DefaultsValues parsed = parseDefaultsFile(file.bytes);
  for (std::size_t k = 0; k < parsed.values.size() && k < 5; ++k) {
    if (k < 4) {
      state_.defaultsValues[k] = parsed.values[k];
    } else {
      state_.defaultsValue5 = static_cast<float>(parsed.values[k]);
    }
  }
  if (!parsed.complete) {
    window_.setText(TextId::Text2, failure);
    return;
  }
  state_.dbInterval = parsed.values[7] - 10;
  state_.dbCountdown = state_.dbInterval;
}

void Form1::LoadMeterTable() {
  const std::string failure = "Problem with file " + std::string(kMeterTableFile);
  const ReadResult file = files_.read(pathOf(kMeterTableFile));
  if (!file.ok) {
    window_.setText(TextId::Text2, failure);
    return;
  }
  const std::vector<std::string> lines = fileLines(file.bytes);
  for (int meter = 1; meter <= kMeterLines; ++meter) {
    const auto index = static_cast<std::size_t>(meter);
    if (index > lines.size()) {
      window_.setText(TextId::Text2, failure);
      return;
    }
    state_.ctLine = lines[index - 1];
    const MeterEntry entry = parseMeterLine(state_.ctLine);
    state_.meterLabel[index] = entry.label;
    state_.ctSize[index] = entry.ctSize;
    state_.multiplier[index] = entry.multiplier;
    state_.volts[index] = entry.volts;
    state_.lowTable[index] = entry.lowLimit;
    state_.highTable[index] = entry.highLimit;
  }
}

void Form1::LoadBillHeader() {
  const ReadResult file = files_.read(pathOf(kBillTemplateFile));
  if (!file.ok || fileLines(file.bytes).empty()) {
    window_.setText(TextId::Text2, "Problem with file " + std::string(kBillTemplateFile));
  }
}

void Form1::loadSupportFilesIfPresent() {
  // So the limits of "ct.dat" take effect and the alarm check can fire.
  if (files_.exists(pathOf(kDefaultsFile))) LoadDefaultsFile();
  if (files_.exists(pathOf(kMeterTableFile))) LoadMeterTable();
}

}  // namespace meterstation
