#include "trends/app/trends_document.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace meterstation::trends {

namespace {

// ct.dat is 1168 bytes; more than this is not a meter table worth reading
// whole on every change.
constexpr qint64 kSideFileLimit = 64 << 20;

QByteArray readSmallFile(const QString& path, bool& found) {
  QFile file(path);
  found = file.open(QIODevice::ReadOnly);
  return found ? file.read(kSideFileLimit) : QByteArray();
}

std::string bytesOf(const QByteArray& bytes) {
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

TrendsDocument::TrendsDocument(QObject* parent) : QObject(parent) {
  State empty = freshState(QString(), field_);
  odd_ = std::move(empty.odd);
  reader_ = std::move(empty.reader);
  tail_ = std::move(empty.tail);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this](const QString& changed) {
    if (changed == path_) {
      readAppended();
    } else {
      readSideFiles();
    }
    watchAgain();
  });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { onDirectoryChanged(); });
}

TrendsDocument::~TrendsDocument() {
  if (loader_ != nullptr) loader_->wait();
}

TrendsDocument::State TrendsDocument::freshState(const QString& path, int field) {
  State s;
  s.odd = std::make_unique<OddLineList>();
  OddLineList* odd = s.odd.get();
  s.reader = std::make_unique<TrendReader>(field, [odd](const OddLine& line) { odd->add(line); });
  s.tail = std::make_unique<DbFileTail>(QFile::encodeName(path).toStdString());
  return s;
}

void TrendsDocument::open(const QString& path, int field) {
  if (loader_ != nullptr) {
    loader_->wait();
    loadFinished();
  }
  path_ = QFileInfo(path).absoluteFilePath();
  sideFilesStamp_.clear();
  field_ = field;
  State shown = freshState(path_, field_);
  odd_ = std::move(shown.odd);
  reader_ = std::move(shown.reader);
  tail_ = std::move(shown.tail);
  problem_.clear();
  loading_ = freshState(path_, field_);
  changedWhileLoading_ = false;
  loader_ = QThread::create([this] {
    const TailOutcome outcome = loading_.tail->readMore(*loading_.reader);
    loadError_ = outcome.ok ? QString() : QString::fromStdString(outcome.error);
  });
  // A load replaced by a newer one (another field, another file) must not
  // take the newer one's place when its own notice arrives late.
  const int generation = ++generation_;
  connect(
      loader_, &QThread::finished, this,
      [this, generation] {
        if (generation == generation_) loadFinished();
      },
      Qt::QueuedConnection);
  loader_->start();
  readSideFiles();
  watchAgain();
}

void TrendsDocument::loadFinished() {
  if (loader_ == nullptr) return;
  loader_->wait();
  loader_->deleteLater();
  loader_ = nullptr;
  odd_ = std::move(loading_.odd);
  reader_ = std::move(loading_.reader);
  tail_ = std::move(loading_.tail);
  problem_ = loadError_.isEmpty() ? QString() : "cannot read " + path_ + ": " + loadError_;
  emit loaded();
  if (changedWhileLoading_) readAppended();
}

void TrendsDocument::readAppended() {
  if (loader_ != nullptr) {
    changedWhileLoading_ = true;
    return;
  }
  const TailOutcome outcome = tail_->readMore(*reader_);
  if (outcome.replaced) {
    open(path_, field_);
    return;
  }
  const QString problem =
      outcome.ok ? QString()
                 : "cannot read " + path_ + ": " + QString::fromStdString(outcome.error);
  if (outcome.bytes > 0 || problem != problem_) {
    problem_ = problem;
    emit grew();
  }
}

std::size_t TrendsDocument::oddCount() const {
  return odd_->count() + (reader_->pendingOdd() ? 1 : 0);
}

std::vector<OddLine> TrendsDocument::oddList() const {
  std::vector<OddLine> list = odd_->kept();
  if (const auto pending = reader_->pendingOdd()) list.push_back(*pending);
  return list;
}

void TrendsDocument::readSideFiles() {
  const QDir dir = QFileInfo(path_).dir();
  // The station renames its snapshot files into the directory at every set:
  // the side files are read again only when they did change.
  const QFileInfo table(dir.filePath("ct.dat"));
  const QFileInfo log(dir.filePath("alarmlog.txt"));
  const QString stamp = QString("%1 %2 %3 %4 %5 %6")
                            .arg(table.exists())
                            .arg(table.size())
                            .arg(table.lastModified().toMSecsSinceEpoch())
                            .arg(log.exists())
                            .arg(log.size())
                            .arg(log.lastModified().toMSecsSinceEpoch());
  if (stamp == sideFilesStamp_) return;
  sideFilesStamp_ = stamp;
  bool found = false;
  const QByteArray tableBytes = readSmallFile(table.filePath(), found);
  limits_ = found ? limitsFromMeterTable(bytesOf(tableBytes)) : LimitTable{};
  const QByteArray logBytes = readSmallFile(log.filePath(), found);
  alarms_ = parseAlarmLog(bytesOf(logBytes));
  emit sideFilesChanged();
}

// A file replaced by rename drops out of the watch; the directory's watch
// brings it back, and shows a database that did not exist yet.
void TrendsDocument::watchAgain() {
  const QDir dir = QFileInfo(path_).dir();
  QStringList wanted = {dir.path()};
  for (const QString& name :
       {QFileInfo(path_).fileName(), QString("ct.dat"), QString("alarmlog.txt")}) {
    if (QFileInfo::exists(dir.filePath(name))) wanted << dir.filePath(name);
  }
  QStringList missing;
  const QStringList watched = watcher_.files() + watcher_.directories();
  for (const QString& path : wanted) {
    if (!watched.contains(path)) missing << path;
  }
  if (!missing.isEmpty()) watcher_.addPaths(missing);
}

void TrendsDocument::onDirectoryChanged() {
  watchAgain();
  readSideFiles();
  readAppended();
}

}  // namespace meterstation::trends
