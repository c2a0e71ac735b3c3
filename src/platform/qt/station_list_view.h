#pragma once

#include <QAbstractScrollArea>

#include <cstddef>
#include <string>

#include "platform/lists/compact_list_store.h"

namespace meterstation {

// A list box for lists that grow for as long as the station runs. Rows all
// have the font's height, so an append only moves the scroll bar, whose
// range counts items (the value is the top row); painting touches only the
// rows in view. While the view is at the bottom it follows the newest item;
// once the operator scrolls up it stays put until they scroll back down.
// Items are Latin-1 bytes.
class StationListView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // The source gives the chunks the texts live in; the heap, without one.
  explicit StationListView(QWidget* parent = nullptr,
                           CompactListStore::ChunkSource source = nullptr);

  void addItem(const std::string& item);

  std::size_t count() const { return store_.size(); }
  std::string item(std::size_t index) const;
  const CompactListStore& store() const { return store_; }

  int rowHeight() const { return rowHeight_; }
  // Rows that fit wholly in the view (at least one).
  int visibleRows() const;
  std::size_t topRow() const;
  bool atBottom() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void updateScrollRange();

  CompactListStore store_;
  int rowHeight_ = 1;
};

}  // namespace meterstation
