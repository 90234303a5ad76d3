#pragma once
#include <memory>
#include <optional>
#include <string>

#include "kit/core/DataItemDetail.h"
#include "kit/skin/AppSkinTargets.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/IndexPath.h"
#include "platform/ui/TableViewCell.h"

namespace kavro {

class DataTableCell;
class ListView;
class ListViewData;

// The class functions of row classes, which a list calls on a row's class: cellWithCellID makes a
// new cell of the class (KAVRO_CELL_CLASS sets it), heightForCell sizes the row before there is a
// cell, and state rows tell their text by getErrorMessage.
struct CellClassFunctions {
  platform::ClassFunction<std::shared_ptr<DataTableCell>(const std::string&, ListView&,
                                                         const platform::IndexPath&)>
      cellWithCellID;
  platform::ClassFunction<double(ListView&, const platform::IndexPath&)> heightForCell;
  platform::ClassFunction<std::string(ListView&, const platform::IndexPath&)> getErrorMessage;
};

// A row of a ListView bound to one record of one section; built once (initCellView) and bound
// again on reuse (bindCellData). Row classes register with KAVRO_CELL_CLASS and chain their other
// CellClassFunctions after it.
class DataTableCell : public platform::TableViewCell, public AppSkinTableCell {
 protected:
  // Only row classes name it: a row is made by cellWithCellID, which binds it, and row classes
  // inherit this constructor (with `using`) or chain it.
  struct Token {
    explicit Token() = default;
  };

 public:
  DataTableCell(Token, std::string cellId,
                platform::TableViewCellStyle style = platform::TableViewCellStyle::Value1);
  ~DataTableCell() override;

  // A new row of class T, bound to the list, the section and the record (initWithCellID).
  template <class T>
  static std::shared_ptr<DataTableCell> cellWithCellID(const std::string& cellId, ListView& list,
                                                       const platform::IndexPath& ip) {
    auto cell = std::make_shared<T>(Token(), cellId);
    cell->initWithCellID(list, ip);
    return cell;
  }

  virtual void initCellView() {}
  // reused: the cell came from the reuse pool.
  virtual void bindCellData(bool reused) {}
  static double heightForCell(ListView& list, const platform::IndexPath& ip) { return 44; }

  std::shared_ptr<ListView> listView() const { return listView_.lock(); }
  void setListView(ListView* list);
  const platform::IndexPath& indexPath() const { return indexPath_; }
  void setIndexPath(const platform::IndexPath& ip) { indexPath_ = ip; }
  const std::shared_ptr<DataItemDetail>& detail() const { return detail_; }
  void setDetail(std::shared_ptr<DataItemDetail> d) { detail_ = std::move(d); }
  std::shared_ptr<ListViewData> listData() const { return listData_.lock(); }
  void setListData(const std::shared_ptr<ListViewData>& d) { listData_ = d; }
  const std::optional<platform::Color>& bgColor() const { return bgColor_; }
  void setBgColor(std::optional<platform::Color> color) { setBgColor(std::move(color), nullptr); }
  // The skin's background: a colour or, without one, a pattern tiled from the image. In a plain
  // list the cell's background view takes it, in a grouped list the cell itself.
  void setBgColor(std::optional<platform::Color> color, std::shared_ptr<platform::Image> pattern) override;

 protected:
  // The list's width, and whether it is grouped (0 and false without a list).
  double listWidth() const;
  bool grouped() const;

 private:
  // initWithCellID:cellStyle:listView:indexPath: after construction: binds the list, the section and
  // the record, then initCellView(). Only cellWithCellID runs it, once.
  void initWithCellID(ListView& list, const platform::IndexPath& ip);

  std::weak_ptr<ListView> listView_;
  platform::IndexPath indexPath_;
  std::shared_ptr<DataItemDetail> detail_;
  std::weak_ptr<ListViewData> listData_;
  std::optional<platform::Color> bgColor_;
};

}  // namespace kavro

// Registers a row class with the list's class functions; chain more (heightForCell, ...) after it.
#define KAVRO_CELL_CLASS(Type, Base)                               \
  KAVRO_CLASS(Type, Base)                                          \
      .classFunction(&::kavro::CellClassFunctions::cellWithCellID, \
                     &::kavro::DataTableCell::cellWithCellID<Type>)

namespace kavro {
KAVRO_CELL_CLASS(DataTableCell, platform::TableViewCell)
    .classFunction(&CellClassFunctions::heightForCell, &DataTableCell::heightForCell);
}
