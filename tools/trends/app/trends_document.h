#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QThread>
#include <memory>

#include "trends/core/alarm_log.h"
#include "trends/core/db_file_tail.h"
#include "trends/core/meter_limits.h"
#include "trends/core/odd_lines.h"
#include "trends/core/trend_reader.h"

namespace meterstation::trends {

// The database being shown, the ct.dat and alarmlog.txt beside it, and the
// watch on all three. The first read of a large file runs on a thread of
// its own so the window stays alive; after it, every change notification
// reads only the appended bytes, on the window's thread.
class TrendsDocument : public QObject {
  Q_OBJECT

 public:
  explicit TrendsDocument(QObject* parent = nullptr);
  ~TrendsDocument() override;

  // Starts reading path anew, for the given field.
  void open(const QString& path, int field);

  const QString& path() const { return path_; }
  int field() const { return field_; }
  bool loading() const { return loader_ != nullptr; }
  const TrendData& data() const { return reader_->data(); }
  const OddLineList& oddLines() const { return *odd_; }
  // The odd lines, the unfinished last line counted as torn.
  std::size_t oddCount() const;
  std::vector<OddLine> oddList() const;
  const LimitTable& limits() const { return limits_; }
  const AlarmLog& alarms() const { return alarms_; }
  // Why the database cannot be read now, empty when it can.
  const QString& problem() const { return problem_; }

  // Reads what was appended since the last read. Public for the benchmark
  // that times a notification's work.
  void readAppended();

 signals:
  void loaded();  // a whole new file is in place
  void grew();    // sets were appended
  void sideFilesChanged();

 private:
  struct State {
    std::unique_ptr<OddLineList> odd;
    std::unique_ptr<TrendReader> reader;
    std::unique_ptr<DbFileTail> tail;
  };
  static State freshState(const QString& path, int field);
  void loadFinished();
  void readSideFiles();
  void watchAgain();
  void onDirectoryChanged();

  QString path_;
  int field_ = 2;
  std::unique_ptr<OddLineList> odd_;
  std::unique_ptr<TrendReader> reader_;
  std::unique_ptr<DbFileTail> tail_;
  LimitTable limits_;
  AlarmLog alarms_;
  QString problem_;
  QFileSystemWatcher watcher_;
  QThread* loader_ = nullptr;
  State loading_;
  QString loadError_;
  bool changedWhileLoading_ = false;
  int generation_ = 0;
  QString sideFilesStamp_;  // size and time of ct.dat and alarmlog.txt as last read
};

}  // namespace meterstation::trends
