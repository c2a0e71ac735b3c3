#pragma once

#include <QListWidget>
#include <QString>

#include "platform/result.h"

namespace meterstation {

// The directory list: the open directory's ancestors from the root down,
// the open directory itself, then its subdirectories by name, each level
// indented one step more. A double click, or Enter on the selected entry,
// opens an entry. Paths are in Qt's form ('/' separators).
class DirList : public QListWidget {
  Q_OBJECT

 public:
  static constexpr int kPathRole = Qt::UserRole;
  static constexpr int kIndentRole = Qt::UserRole + 1;

  explicit DirList(QWidget* parent = nullptr);

  // The open directory: full path, no trailing separator except at a root.
  QString path() const { return path_; }
  // Lists the directory and makes it the open one. A directory that cannot
  // be read leaves the list as it was; the failure carries the message for
  // the operator.
  Result open(const QString& path);

  int openRow() const { return openRow_; }
  QString entryPath(int row) const;
  int indentOf(int row) const;

 signals:
  // The operator opened an entry.
  void opened(const QString& path);
  // The operator's entry could not be read; the list stays as it was.
  void readFailed(const QString& message);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void openEntry(int row);

  QString path_;
  int openRow_ = -1;
};

}  // namespace meterstation
