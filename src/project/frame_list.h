#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quendrolix {

// Frame counts live as cell text that the user may edit freely. Wherever a count is
// used it is read as a leading decimal integer, as the C library's atoi reads it
// (leading white space, an optional sign, digits; the rest ignored; no digits gives 0),
// saturated to the 32-bit range.
int32_t FrameCountFromText(std::string_view text);
// The count a build uses for the cell text: FrameCountFromText, with 0 (and any
// negative value) taken as 1.
int32_t ConsumedFrameCount(std::string_view text);

// Told about every change of a FrameList, so that a table model can follow it. The
// "About" calls come before the change, the others after it.
class FrameListObserver {
 public:
  virtual ~FrameListObserver() = default;
  // Rows first..first+count-1 are about to appear / have appeared.
  virtual void RowsAboutToBeInserted(int /*first*/, int /*count*/) {}
  virtual void RowsInserted(int /*first*/, int /*count*/) {}
  virtual void RowsAboutToBeRemoved(int /*first*/, int /*count*/) {}
  virtual void RowsRemoved(int /*first*/, int /*count*/) {}
  // Everything may have changed (cut back to the header row).
  virtual void AboutToReset() {}
  virtual void Reset() {}
  virtual void CellChanged(int /*row*/, int /*column*/) {}
  // The focus row moved; `row` <= 0 means nothing is selected.
  virtual void FocusChanged(int /*row*/) {}
  // The list asks its view to show its first (top) or last row.
  virtual void ScrollRequested(bool /*toBottom*/) {}
};

// The project's ordered image list as a two-column table: row 0 is the header ("Image",
// "Frames"); row r >= 1 is the r-th Frame Entry with its display name in column 0 and
// its frame count text in column 1. The focus row is the selection; a focus row <= 0
// means nothing is selected. When rows come and go the focus stays on the same entry;
// when the focused row itself goes, the entry that takes its place (or the new last one)
// gets the focus.
class FrameList {
 public:
  static constexpr int kNameColumn = 0;
  static constexpr int kFramesColumn = 1;
  static constexpr int kColumnCount = 2;
  static constexpr int kNoRow = -1;

  FrameList();  // just the header row

  int RowCount() const { return static_cast<int>(rows_.size()); }  // header included
  int EntryCount() const { return RowCount() - 1; }
  static int ColumnCount() { return kColumnCount; }

  // Cell text; empty for a cell outside the table.
  const std::string& Cell(int row, int column) const;
  // Sets a cell (header cells included); a cell outside the table is ignored.
  void SetCell(int row, int column, const std::string& text);

  // Inserts an empty row directly after `row` (0 <= row < RowCount()) and returns the new
  // row's number (row + 1); a row outside that range appends.
  int InsertRowAfter(int row);
  int AppendRow();  // returns the new row's number
  // Removes row `row` (1 <= row < RowCount()); false for any other row.
  bool DeleteRow(int row);
  // Cuts the list back to the header row and the given header texts; clears the focus.
  void ResetToHeader(const std::string& nameHeader = "Image",
                     const std::string& framesHeader = "Frames");

  int FocusRow() const { return focus_; }
  // Selects row `row`; a number outside 1..EntryCount() clears the selection.
  void SetFocusRow(int row);

  // Asks the view to scroll to the top or the bottom (the First and Last moves do).
  void RequestScroll(bool toBottom);

  // Observers are not owned and must outlive the list or be removed first.
  void AddObserver(FrameListObserver* observer);
  void RemoveObserver(FrameListObserver* observer);

 private:
  using Row = std::vector<std::string>;
  template <typename F>
  void Notify(F&& call);

  std::vector<Row> rows_;
  int focus_ = kNoRow;
  std::vector<FrameListObserver*> observers_;
};

}  // namespace quendrolix
