#include "station/form1.h"

#include "text/text_util.h"

namespace meterstation {

Form1::Form1(WindowControls& window, SerialPort& serial, Timer& timer, Timer& retryTimer,
             Clock& clock, Files& files, Host& host, SettingsStore& settings)
    : window_(window),
      serial_(serial),
      timer_(timer),
      retryTimer_(retryTimer),
      clock_(clock),
      files_(files),
      host_(host),
      settings_(settings) {}

void Form1::Form_Load() {
  state_.lineCount = 0;
  state_.obsCount = 0;
  state_.tickCount = 0;
  state_.setsLeft = 0;
  state_.setRecord.clear();
  state_.readingLog.clear();
  state_.timeLog.clear();
  adoptWaitingLines();
}

// The operator's close ends the run: it is not taken up again.
void Form1::Form_Unload() {
  if (ended_) return;
  endStation(false);
}

// The session ends under a running station (logout, shutdown): the run
// goes on at the next start.
void Form1::Session_End() {
  if (ended_) return;
  endStation(true);
}

void Form1::endStation(bool interrupted) {
  timer_.setEnabled(false);
  // Closing a port cannot fail; what is still leaving gets its bound.
  if (serial_.portOpen()) (void)serial_.setPortOpen(false);
  if (!interrupted) rememberRun(false);
  if (!setEntries_.empty()) {
    keepIncompleteSet(journalDir_, setEntries_, interrupted);
    clearJournal();
  }
  flushWaitingLines();
  reportLinesLeftWaiting();
  releaseQueueLock();
  ended_ = true;
  retryTimer_.setEnabled(false);
}

void Form1::Drive1_Change() {
  if (ended_) return;
  window_.setDirPath(window_.drive());
}

void Form1::Dir1_Change() {
  if (ended_) return;
  for (ButtonId button :
       {ButtonId::Command1, ButtonId::Command2, ButtonId::Command3, ButtonId::Command4}) {
    window_.setEnabled(button, true);
  }
}

// The directory list says why; the list itself stays where it was.
void Form1::Dir1_ReadError() {
  if (ended_) return;
  window_.addItem(ListId::List2, window_.dirReadError());
}

std::string Form1::chosenWorkDir() const {
  const std::string path = window_.dirPath();
  const char separator = host_.pathSeparator();
  return !path.empty() && path.back() == separator ? path : path + separator;
}

void Form1::SelectWorkDir() {
  state_.workDir = chosenWorkDir();
  const std::string& dir = state_.workDir;
  const std::string marker =
      dir.size() < 5 ? piece(dir, 1, 4) : piece(dir, static_cast<std::int64_t>(dir.size()) - 4, 4);
  window_.setText(TextId::Text1, marker);
}

}  // namespace meterstation
