#include "output/support_files.h"
#include "station/form1.h"
#include "text/text_util.h"

namespace meterstation {

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

void Form1::showLoadProblem(const std::string& name) {
  window_.setText(TextId::Text2, "Problem with file " + name);
}

void Form1::LoadDefaultsFile() {
  const ReadResult file = files_.read(pathOf(kDefaultsFile));
  if (!file.ok) {
    showLoadProblem(kDefaultsFile);
    return;
  }
  const DefaultsValues& parsed = defaultsParse_.of(file.bytes, parseDefaultsFile);
  for (std::size_t k = 0; k < parsed.values.size() && k < 5; ++k) {
    if (k < 4) {
      state_.defaultsValues[k] = parsed.values[k];
    } else {
      state_.defaultsValue5 = static_cast<float>(parsed.values[k]);
    }
  }
  if (!parsed.complete) {
    showLoadProblem(kDefaultsFile);
    return;
  }
  state_.dbInterval = parsed.values[7] - 10;
  state_.dbCountdown = state_.dbInterval;
}

void Form1::LoadMeterTable() {
  const ReadResult file = files_.read(pathOf(kMeterTableFile));
  if (!file.ok) {
    showLoadProblem(kMeterTableFile);
    return;
  }
  const MeterTable& table = meterTableParse_.of(file.bytes, parseMeterTable);
  for (std::size_t k = 0; k < table.entries.size(); ++k) {
    const MeterEntry& entry = table.entries[k];
    const std::size_t index = k + 1;
    state_.meterLabel[index] = entry.label;
    state_.ctSize[index] = entry.ctSize;
    state_.multiplier[index] = entry.multiplier;
    state_.volts[index] = entry.volts;
    state_.lowTable[index] = entry.lowLimit;
    state_.highTable[index] = entry.highLimit;
  }
  if (!table.entries.empty()) state_.ctLine = table.lastLine;
  if (table.entries.size() < static_cast<std::size_t>(kMeterLines))
    showLoadProblem(kMeterTableFile);
}

void Form1::LoadBillHeader() {
  const ReadResult file = files_.read(pathOf(kBillTemplateFile));
  if (!file.ok || fileLineViews(file.bytes).empty()) showLoadProblem(kBillTemplateFile);
}

void Form1::loadSupportFilesIfPresent() {
  // So the limits of "ct.dat" take effect and the alarm check can fire.
  if (files_.exists(pathOf(kDefaultsFile))) LoadDefaultsFile();
  if (files_.exists(pathOf(kMeterTableFile))) LoadMeterTable();
}

}  // namespace meterstation
