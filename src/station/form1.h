#pragma once

#include <optional>
#include <set>
#include <string>

#include "output/append_queue.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/host.h"
#include "platform/serial_port.h"
#include "platform/station_events.h"
#include "platform/timer.h"
#include "platform/window_controls.h"
#include "reading/reading_parser.h"
#include "station/station_state.h"

namespace meterstation {

// The station's window logic: the station state and every handler and
// procedure of the window. The procedures take no arguments; they move
// values between the state, the controls and the pure text functions.
class Form1 : public StationEvents {
 public:
  Form1(WindowControls& window, SerialPort& serial, Timer& timer, Clock& clock, Files& files,
        Host& host);

  // Handlers.
  void Form_Load() override;
  void Form_Unload() override;
  void Drive1_Change() override;
  void Dir1_Change() override;
  void Command1_Click() override;
  void Command2_Click() override;
  void Command3_Click() override;
  void Command4_Click() override;
  void Command5_Click() override;
  void Command6_Click() override;
  void MSComm1_OnComm() override;
  void Timer1_Timer() override;

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
  // Lines that could not yet be appended, per file name.
  const AppendQueue& pendingAppends() const { return pending_; }

 private:
  void choosePort(int port);
  void loadSupportFilesIfPresent();
  bool parseStage(ParsedReading& reading);
  ParseOutcome scratchFileParse(const std::string& received);
  void rejectReading(const std::string& received);
  void accumulate(const ParsedReading& reading, const std::string& dateStamp,
                  const std::string& timeStamp);
  void alarmCheck(const ParsedReading& reading, const std::string& dateStamp,
                  const std::string& timeStamp);
  void reportCommEvent();

  // File work through the one files service, with the station's messages.
  std::string pathOf(const std::string& name) const;
  bool replaceFile(const std::string& name, const std::string& bytes);
  bool appendLine(const std::string& name, const std::string& line);
  void reportFileProblem(const std::string& name);
  bool recoverTornDatabaseLine();
  void flushWaitingLines();
  void keepWaitingLines();
  void endStation();
  bool createSupportFile(const std::string& name, const std::string& bytes);

  WindowControls& window_;
  SerialPort& serial_;
  Timer& timer_;
  Clock& clock_;
  Files& files_;
  Host& host_;

  StationState state_;
  AppendQueue pending_;
  bool ended_ = false;
  bool supportFilesFailed_ = false;
  std::optional<std::string> intervalWarnedFor_;
  std::set<std::string> checkedDatabases_;
};

}  // namespace meterstation
