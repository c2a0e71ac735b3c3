#include "platform/qt/drive_list.h"

#include <QDir>
#include <QStorageInfo>

#include <algorithm>

#include "platform/drive_directories.h"
#include "platform/qt/latin1_text.h"

namespace meterstation {

namespace {

// Paths that differ only in case are different directories.
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;

QStringList sortedUnique(QStringList roots) {
  for (QString& root : roots) root = QDir::cleanPath(QDir::fromNativeSeparators(root));
  roots.removeAll(QString());
  std::sort(roots.begin(), roots.end(),
            [](const QString& a, const QString& b) { return a.compare(b, kPathCase) < 0; });
  roots.erase(
      std::unique(roots.begin(), roots.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, kPathCase) == 0; }),
      roots.end());
  return roots;
}

}  // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
  setDrives(mountedRoots());
  selectDriveOf(QDir::currentPath());
  connect(this, &QComboBox::activated, this, &DriveList::onActivated);
}

QStringList DriveList::mountedRoots() {
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (volume.isValid() && volume.isReady() && fitsLatin1(volume.rootPath())) {
      roots << volume.rootPath();
    }
  }
  // The system's root is always there to fall back on.
  roots << QStorageInfo::root().rootPath();
  return sortedUnique(roots);
}

QString DriveList::drive() const { return currentData().toString(); }

QStringList DriveList::drives() const {
  QStringList roots;
  for (int i = 0; i < count(); ++i) roots << itemData(i).toString();
  return roots;
}

std::vector<std::string> DriveList::rootPaths() const {
  std::vector<std::string> roots;
  for (const QString& root : drives()) roots.push_back(root.toStdString());
  return roots;
}

void DriveList::setDrives(const QStringList& roots) {
  const QString keep = chosen_;
  clear();
  for (const QString& root : sortedUnique(roots)) {
    addItem(QDir::toNativeSeparators(root), root);
  }
  const int index = findData(keep);
  setCurrentIndex(index >= 0 ? index : (count() > 0 ? 0 : -1));
  chosen_ = drive();
}

void DriveList::refresh() { setDrives(mountedRoots()); }

QString DriveList::driveOf(const QString& path) const {
  const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
  return QString::fromStdString(driveHolding(clean.toStdString(), rootPaths(), '/'));
}

bool DriveList::isDrive(const QString& path) const {
  const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
  const QStringList roots = drives();
  return std::any_of(roots.cbegin(), roots.cend(),
                     [&](const QString& root) { return clean.compare(root, kPathCase) == 0; });
}

void DriveList::selectDriveOf(const QString& path) {
  const int index = findData(driveOf(path));
  if (index >= 0) setCurrentIndex(index);
  chosen_ = drive();
}

void DriveList::showPopup() {
  refresh();
  QComboBox::showPopup();
}

void DriveList::onActivated(int) {
  // Choosing the entry already chosen is no change.
  if (drive() == chosen_) return;
  chosen_ = drive();
  emit driveChosen();
}

}  // namespace meterstation
