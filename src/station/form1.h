#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "output/append_queue.h"
#include "output/set_files.h"
#include "output/set_journal.h"
#include "output/support_files.h"
#include "output/waiting_lines.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/host.h"
#include "platform/plant_feed.h"
#include "platform/plant_options.h"
#include "platform/serial_port.h"
#include "platform/settings_store.h"
#include "platform/station_events.h"
#include "platform/timer.h"
#include "platform/window_controls.h"
#include "reading/reading_parser.h"
#include "station/station_state.h"

namespace meterstation {

// The station's window logic: the station state and every handler and
// procedure of the window. The procedures take no arguments; they move
// values between the state, the controls and the pure text functions.
//
// Which file holds what:
//   form1.cpp             loading, unloading, drive and directory lists
//   form1_port.cpp        port choice, notifications, ticks, the stop command
//   form1_reading.cpp     ProcessReading: parse stage, accumulation, alarms
//   form1_output.cpp      WriteSetFiles: the files of a completed set
//   form1_support.cpp     support files, Init and their loaders
//   form1_append.cpp      appends, torn tails and the lines waiting for files
//   form1_continuity.cpp  the run's settings, the journal of the set in
//                         progress, the working directory's lock
//   form1_plant.cpp       readings, sets and alarms for the site's broker
class Form1 : public StationEvents {
 public:
  static constexpr int kRetryMs = 30000;  // waiting lines are tried again this often

  Form1(WindowControls& window, SerialPort& serial, Timer& timer, Timer& retryTimer, Clock& clock,
        Files& files, Host& host, SettingsStore& settings);

  // Handlers.
  void Form_Load() override;
  void Form_Unload() override;
  void Drive1_Change() override;
  void Dir1_Change() override;
  void Dir1_ReadError() override;
  void Command1_Click() override;
  void Command2_Click() override;
  void Command3_Click() override;
  void Command4_Click() override;
  void Command5_Click() override;
  void Command6_Click() override;
  void MSComm1_OnComm() override;
  void Timer1_Timer() override;
  void Controls_Change() override;
  void Timer2_Timer() override;
  void Session_End() override;
  void Plant_Notice() override;

  // Procedures.
  void SelectWorkDir();
  void ResetPort();
  void ProcessReading();
  void BuildDbRecord();
  void WriteSetFiles();
  void CreateDefaultsFile();
  void CreateMeterTable();
  void CreateBillTemplate();
  void LoadDefaultsFile();
  void LoadMeterTable();
  void LoadBillHeader();

  StationState& state() { return state_; }
  const StationState& state() const { return state_; }
  // True once the stop command has ended the program.
  bool ended() const { return ended_; }
  // The port chosen last in this run; 0 before any choice.
  int chosenPort() const { return port_; }
  // Lines that could not yet be appended, per file path.
  const AppendQueue& pendingAppends() const { return pending_; }
  // Where the lines waiting for their files are kept on disk.
  const std::string& waitingLinesFile() const { return queueFile_; }

  // From now on every accepted reading, completed set and listed alarm
  // also goes to the feed, and the options are remembered with the run.
  // Without a feed the station publishes nothing.
  void attachPlantFeed(PlantFeed& feed, const PlantOptions& options);

 private:
  void choosePort(int port);
  void loadSupportFilesIfPresent();
  bool parseStage(ParsedReading& reading);
  ParseOutcome scratchFileParse(const std::string& received);
  void rejectReading(const std::string& received);
  void accumulate(const ParsedReading& reading, const LocalMoment& moment);
  void alarmCheck(const ParsedReading& reading, const std::string& dateStamp,
                  const std::string& timeStamp);

  // The site's broker.
  void announceStation();
  std::string nextPlantId();
  void publishReading(const ParsedReading& reading, const std::string& readingText,
                      const LocalMoment& moment);
  void publishSet(bool inDatabase);
  void publishAlarm(const ParsedReading& reading, const char* kind, double limit,
                    const std::string& dateStamp, const std::string& timeStamp);
  void reportCommEvent();

  // File work through the one files service, with the station's messages.
  std::string pathOf(const std::string& name) const;
  std::string nameOf(const std::string& path) const;
  std::string waitingMessage(std::size_t count, const std::string& path) const;
  bool replaceFile(const std::string& name, const std::string& bytes);
  bool appendLine(const std::string& name, const std::string& line);
  bool appendToFile(const std::string& path, const std::string& line);
  struct Delivery {
    std::size_t written = 0;
    std::size_t waiting = 0;
  };
  Delivery deliver(const std::string& path);
  void reportFileProblem(const std::string& name);
  bool repairTail(const std::string& path);
  bool moveTornTail(const std::string& path, const TailRepair& repair);
  void flushWaitingLines();
  void saveWaitingLines();
  void armRetry();
  void adoptWaitingLines();
  void adoptQueueFile(const std::string& path);
  void removeStaleQueueLocks(const std::string& base);
  void removeQueueLock(const std::string& lock);
  void releaseQueueLock();
  WaitingLines withoutDelivered(const DecodedWaitingLines& decoded);
  void reportLinesLeftWaiting();
  void endStation(bool interrupted);
  bool createSupportFile(const std::string& name, const std::string& bytes);
  // A support file that could not be read, or not whole, named in Text2.
  void showLoadProblem(const std::string& name);

  // Continuity of an unattended run.
  bool lockWorkDir(const std::string& dir);
  void releaseOtherLock();
  void rememberRun(bool going = true);
  void saveRun(const RunSettings& run);
  std::string chosenWorkDir() const;
  void journalReading(JournalEntry entry);
  void journalCompletion(const std::optional<std::string>& databaseLine);
  void clearJournal();
  void takeUpJournal();
  bool setReachedItsFile(const Journal& journal) const;
  void keepIncompleteSet(const std::string& dir, const std::vector<JournalEntry>& entries,
                         bool interrupted);
  void removeStaleTemporaries();

  WindowControls& window_;
  SerialPort& serial_;
  Timer& timer_;
  Timer& retryTimer_;
  Clock& clock_;
  Files& files_;
  Host& host_;
  SettingsStore& settings_;

  StationState state_;
  AppendQueue pending_;
  bool ended_ = false;
  bool supportFilesFailed_ = false;
  std::optional<std::string> intervalWarnedFor_;
  // Appended files whose tail was looked at in this run.
  std::set<std::string> checkedFiles_;
  ParsedBytes<DefaultsValues> defaultsParse_;
  ParsedBytes<MeterTable> meterTableParse_;

  std::string queueFile_;  // the waiting lines on disk, held under its lock
  bool queueSaveFailed_ = false;
  int port_ = 0;           // the port chosen last; 0 before any choice
  std::string lockedDir_;  // the working directory this station holds
  std::string previousLockedDir_;
  std::string journalDir_;                // where the set in progress is journalled
  std::vector<JournalEntry> setEntries_;  // the readings of the set in progress
  bool journalFailed_ = false;
  bool runSaveFailed_ = false;

  PlantFeed* plant_ = nullptr;  // none unless the program was given a broker
  PlantOptions plantOptions_;
  std::string plantRunId_;
  std::int64_t plantCount_ = 0;  // messages of this run so far
  std::string stationId_;
};

}  // namespace meterstation
