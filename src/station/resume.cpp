#include "station/resume.h"

#include "station/port_buttons.h"
#include "text/text_util.h"

namespace meterstation {

Resume::Resume(Form1& form, WindowControls& window, SettingsStore& store, Files& files, Host& host,
               SerialPort& serial, Timer& timer)
    : form_(form),
      window_(window),
      store_(store),
      files_(files),
      host_(host),
      serial_(serial),
      timer_(timer) {}

void Resume::start() {
  const std::optional<RunSettings> run = store_.load();
  if (!run || !run->going || run->port < 1 || run->port > 4 || run->workDir.empty()) {
    window_.addItem(ListId::List2, "nothing to resume");
    return;
  }
  run_ = *run;
  tryDirectory();
}

void Resume::Timer_Tick() {
  // An operator who chose a port meanwhile has taken over.
  if (!waiting_ || form_.ended() || form_.chosenPort() != 0) {
    waiting_ = false;
    timer_.setEnabled(false);
    return;
  }
  tryDirectory();
}

// A disk mounted late: the directory is looked at again every ten seconds,
// and said once.
void Resume::tryDirectory() {
  if (!files_.isDirectory(run_.workDir)) {
    if (!waiting_) {
      window_.addItem(ListId::List2, "working directory " + run_.workDir +
                                         " is not there yet; trying again every " +
                                         decimalText(kDirectoryRetryMs / 1000.0) + " s");
    }
    waiting_ = true;
    if (!timer_.enabled()) {
      timer_.setInterval(kDirectoryRetryMs);
      timer_.setEnabled(true);
    }
    return;
  }
  waiting_ = false;
  timer_.setEnabled(false);
  choosePort();
}

// The directory list's path has no separator at its end but at a root.
std::string Resume::dirListPath() const {
  std::string path = run_.workDir;
  const char separator = host_.pathSeparator();
  const bool root = path.size() == 1 || (path.size() == 3 && path[1] == ':');
  if (!root && path.size() > 1 && path.back() == separator) path.pop_back();
  return path;
}

// As the operator would: the directory, the controls, the port button;
// the marker last, since the port choice fills it from the directory's
// name and the operator may have corrected it afterwards.
void Resume::choosePort() {
  window_.setDirPath(dirListPath());
  window_.setText(TextId::Text3, run_.obs);
  window_.setText(TextId::Text4, run_.interval);
  window_.setCheckValue(CheckId::Check1, run_.debug);
  window_.setCheckValue(CheckId::Check2, run_.vistaFix);
  clickPortButton(form_, run_.port);
  if (form_.chosenPort() != run_.port || form_.ended()) return;  // refused: in use elsewhere
  window_.setText(TextId::Text1, run_.marker);
  if (!serial_.portOpen()) {
    serial_.retryOpenUntilBack();
    window_.addItem(ListId::List2, "COM" + std::to_string(run_.port) +
                                       " cannot be opened yet; trying again every " +
                                       decimalText(serial_.reopenPeriodMs() / 1000.0) + " s");
  }
}

}  // namespace meterstation
