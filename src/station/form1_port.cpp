#include <limits>

#include "station/form1.h"
#include "text/text_util.h"

namespace meterstation {

namespace {

constexpr const char* kLineSettings = "300,N,8,1";
constexpr const char* kStopText = "AT TESSARO:";

std::string portName(int port) { return "COM" + std::to_string(port); }

}  // namespace

void Form1::ResetPort() {
  // Closing a port cannot fail; the open that follows says what went wrong.
  if (serial_.portOpen()) (void)serial_.setPortOpen(false);
  serial_.setSettings(kLineSettings);
  window_.setLampColour(kLampRed);
  window_.setCaption(LabelId::Label1, "Please wait 3 minutes");
}

void Form1::choosePort(int port) {
  if (ended_) return;
  // A directory another station works in is left alone: the choice changes
  // nothing and the port stays as it was.
  if (!lockWorkDir(chosenWorkDir())) return;
  SelectWorkDir();
  announceStation();
  takeUpJournal();
  releaseOtherLock();
  removeStaleTemporaries();
  loadSupportFilesIfPresent();
  ResetPort();
  serial_.setCommPort(port);
  const Result opened = serial_.setPortOpen(true);
  if (!opened)
    window_.addItem(ListId::List2, "cannot open " + portName(port) + ": " + opened.error);
  port_ = port;
  rememberRun();
  flushWaitingLines();
}

void Form1::Command1_Click() { choosePort(1); }
void Form1::Command2_Click() { choosePort(2); }
void Form1::Command3_Click() { choosePort(3); }
void Form1::Command4_Click() { choosePort(4); }

void Form1::MSComm1_OnComm() {
  if (ended_) return;
  const std::string intervalText = window_.text(TextId::Text4);
  const auto interval =
      roundHalfEven(numericValue(intervalText), 0, std::numeric_limits<std::int32_t>::max());
  timer_.setInterval(interval ? static_cast<int>(*interval) : 0);
  if (interval && *interval > 0) {
    intervalWarnedFor_.reset();
  } else {
    // An interval of 0, or one the timer cannot take, arms nothing, so no
    // reading would ever be processed; say so once for each text the
    // operator enters.
    if (intervalWarnedFor_ != intervalText) {
      window_.addItem(ListId::List2, "invalid interval");
      intervalWarnedFor_ = intervalText;
    }
  }
  timer_.setEnabled(true);
  state_.setsLeft = numericValue(window_.text(TextId::Text3));
  reportCommEvent();
}

void Form1::reportCommEvent() {
  const std::string name = portName(serial_.commPort());
  switch (serial_.commEvent()) {
    case CommEvent::PortLost:
      window_.setLampColour(kLampRed);
      window_.addItem(ListId::List2, "lost " + name + ": " + serial_.commEventText() +
                                         "; trying again every " +
                                         decimalText(serial_.commEventRetryMs() / 1000.0) + " s");
      break;
    case CommEvent::PortBack:
      window_.addItem(ListId::List2, name + " is back");
      break;
    case CommEvent::OutputStalled:
      // The stop command is the only thing the station sends.
      window_.addItem(ListId::List2, "stop command not sent: " + serial_.commEventText());
      break;
    case CommEvent::Receive:
    case CommEvent::Other:
      break;
  }
}

void Form1::Timer1_Timer() {
  if (ended_) return;
  timer_.setEnabled(false);
  if (state_.tickCount > 0) {
    ProcessReading();
  } else {
    // The first burst after start only synchronises.
    window_.addItem(ListId::List1, "sync ");
    window_.setLampColour(kLampYellow);
    (void)serial_.input();
  }
  state_.tickCount += 1;
}

void Form1::Command5_Click() {
  if (ended_) return;
  const double n = numericValue(window_.text(TextId::Text3));
  const auto count = static_cast<char>(roundHalfEvenClamped(n, 0, 255));
  std::string command = kStopText;
  command += count;
  command += "\r\n";
  if (!serial_.portOpen()) {
    window_.addItem(ListId::List2, "port not open");
  } else {
    const Result sent = serial_.output(command);
    if (!sent) window_.addItem(ListId::List2, "stop command not sent: " + sent.error);
  }
  window_.setText(TextId::Text3, "0");
  if (state_.setsLeft < 1) {
    endStation(false);
    window_.endProgram();
  }
}

}  // namespace meterstation
