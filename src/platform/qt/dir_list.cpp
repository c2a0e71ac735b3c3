#include "platform/qt/dir_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/qt/latin1_text.h"

namespace meterstation {

namespace {

namespace fs = std::filesystem;

fs::path toFsPath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

QString fromFsName(const fs::path& name) {
  return QFile::decodeName(QByteArray::fromStdString(name.native()));
}

std::string failure(const QString& path, const QString& reason) {
  return QStringLiteral("cannot read directory %1: %2")
      .arg(QDir::toNativeSeparators(path), reason)
      .toLatin1()
      .toStdString();
}

// The subdirectories' names, sorted as the operator reads them (case aside,
// then by case). The whole listing is read before anything is shown, so a
// failure midway leaves nothing half-listed.
Result listSubdirectories(const QString& path, QStringList& names) {
  std::error_code error;
  fs::directory_iterator entry(toFsPath(path), error);
  if (error) return Result::failure(failure(path, QString::fromStdString(error.message())));
  for (; entry != fs::directory_iterator(); entry.increment(error)) {
    if (error) break;
    std::error_code kindError;
    // Hidden directories are left out, as the operator's file tools do.
    const QString name = fromFsName(entry->path().filename());
    if (name.startsWith('.')) continue;
    if (entry->is_directory(kindError)) names << name;
  }
  if (error) return Result::failure(failure(path, QString::fromStdString(error.message())));
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
  });
  return Result::success();
}

// The directories from the root down to the path itself.
QStringList chainTo(const QString& path) {
  QStringList chain;
  QString step = path;
  while (true) {
    chain.prepend(step);
    if (QDir(step).isRoot()) break;
    const QString parent = QFileInfo(step).path();
    if (parent == step || parent.isEmpty()) break;
    step = parent;
  }
  return chain;
}

class IndentDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem shifted(option);
    shifted.rect.setLeft(option.rect.left() + indent(option, index));
    QStyledItemDelegate::paint(painter, shifted, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += indent(option, index);
    return size;
  }

 private:
  static int indent(const QStyleOptionViewItem& option, const QModelIndex& index) {
    const int step = std::max(4, option.fontMetrics.averageCharWidth() * 2);
    return index.data(DirList::kIndentRole).toInt() * step;
  }
};

}  // namespace

DirList::DirList(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new IndentDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setUniformItemSizes(true);
  // Start where the process was started; if that cannot be listed, at the
  // nearest ancestor that can.
  const QStringList chain = chainTo(QDir::cleanPath(QDir::currentPath()));
  for (auto dir = chain.crbegin(); dir != chain.crend(); ++dir) {
    if (open(*dir)) break;
  }
}

Result DirList::open(const QString& path) {
  // An empty path would silently mean the process's directory.
  if (path.trimmed().isEmpty())
    return Result::failure(failure(path, QStringLiteral("no path given")));
  const QString clean = QDir::cleanPath(QDir(QDir::fromNativeSeparators(path)).absolutePath());
  // The station's texts hold one byte a character; a path that does not
  // fit could not be handed on to the station unchanged.
  if (!fitsLatin1(clean)) {
    return Result::failure(
        failure(clean, QStringLiteral("its name has characters outside Latin-1")));
  }
  QStringList children;
  if (Result listed = listSubdirectories(clean, children); !listed) return listed;

  const QStringList chain = chainTo(clean);
  const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
  clear();
  for (int level = 0; level < chain.size(); ++level) {
    const QString& dir = chain[level];
    const QString caption =
        QDir(dir).isRoot() ? QDir::toNativeSeparators(dir) : QFileInfo(dir).fileName();
    auto* entry = new QListWidgetItem(openIcon, caption, this);
    entry->setData(kPathRole, dir);
    entry->setData(kIndentRole, level);
  }
  const QString prefix = clean.endsWith('/') ? clean : clean + '/';
  for (const QString& name : children) {
    auto* entry = new QListWidgetItem(closedIcon, name, this);
    entry->setData(kPathRole, prefix + name);
    entry->setData(kIndentRole, static_cast<int>(chain.size()));
  }
  path_ = clean;
  openRow_ = static_cast<int>(chain.size()) - 1;
  setCurrentRow(openRow_);
  scrollToItem(item(openRow_));
  return Result::success();
}

QString DirList::entryPath(int row) const {
  const QListWidgetItem* entry = item(row);
  return entry ? entry->data(kPathRole).toString() : QString();
}

int DirList::indentOf(int row) const {
  const QListWidgetItem* entry = item(row);
  return entry ? entry->data(kIndentRole).toInt() : -1;
}

void DirList::openEntry(int row) {
  const QString target = entryPath(row);
  if (target.isEmpty()) return;
  if (Result result = open(target); !result) {
    emit readFailed(
        QString::fromLatin1(result.error.data(), static_cast<qsizetype>(result.error.size())));
    return;
  }
  emit opened(path_);
}

void DirList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    openEntry(currentRow());
    return;
  }
  QListWidget::keyPressEvent(event);
}

void DirList::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && index.isValid()) {
    event->accept();
    openEntry(index.row());
    return;
  }
  QListWidget::mouseDoubleClickEvent(event);
}

}  // namespace meterstation
