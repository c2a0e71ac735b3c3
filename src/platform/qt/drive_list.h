#pragma once

#include <QComboBox>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace meterstation {

// The drive list: the roots of the mounted volumes. Paths are in Qt's form
// ('/' separators); the entries show them in the platform's form. Only the
// operator's choice of another entry raises driveChosen; selecting from
// code never does.
class DriveList : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveList(QWidget* parent = nullptr);

  // The chosen drive's root.
  QString drive() const;
  QStringList drives() const;
  // The same, as the station's Qt-free code takes paths.
  std::vector<std::string> rootPaths() const;
  // Replaces the entries (sorted, without duplicates), keeping the chosen
  // drive when it is still listed.
  void setDrives(const QStringList& roots);
  // Re-reads the mounted volumes.
  void refresh();

  // The listed drive holding the path (the deepest root it lies under), or
  // an empty string.
  QString driveOf(const QString& path) const;
  bool isDrive(const QString& path) const;
  // Chooses the drive holding the path, without raising driveChosen.
  void selectDriveOf(const QString& path);

  // The ready volumes' roots, sorted and without duplicates. Roots the
  // station's one-byte texts cannot name are left out.
  static QStringList mountedRoots();

 signals:
  void driveChosen();

 protected:
  // Volumes come and go while the station runs (a stick is plugged in).
  void showPopup() override;

 private:
  void onActivated(int index);

  QString chosen_;
};

}  // namespace meterstation
