#include "station/form1.h"

#include "text/text_util.h"

namespace meterstation {

Form1::Form1(WindowControls& window, SerialPort& serial, Timer& timer, Clock& clock, Files& files,
             Host& host)
    : window_(window), serial_(serial), timer_(timer), clock_(clock), files_(files), host_(host) {}

void Form1::Form_Load() {
  state_.lineCount = 0;
  state_.obsCount = 0;
  state_.tickCount = 0;
  state_.setsLeft = 0;
  state_.setRecord.clear();
  state_.readingLog.clear();
  state_.timeLog.clear();
}

void Form1::Form_Unload() {
  if (ended_) return;
  endStation();
}

void Form1::endStation() {
  timer_.setEnabled(false);
  if (serial_.portOpen()) serial_.setPortOpen(false);
  flushWaitingLines();
  keepWaitingLines();
  ended_ = true;
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

void Form1::SelectWorkDir() {
  const std::string path = window_.dirPath();
  const char separator = window_.pathSeparator();
  state_.workDir = !path.empty() && path.back() == separator ? path : path + separator;
  const std::string& dir = state_.workDir;
  const std::string marker =
      dir.size() < 5 ? piece(dir, 1, 4) : piece(dir, static_cast<std::int64_t>(dir.size()) - 4, 4);
  window_.setText(TextId::Text1, marker);
}

}  // namespace meterstation
