#pragma once
#include <memory>

#include "platform/ui/View.h"

namespace kavro {

// What the edit-toolbar binding looks for among the subviews of an input's ancestors: a form
// edit toolbar and the entry points it implements. Each entry takes the text input that began,
// ended or changed editing.
class EditToolbarEntryPoints {
 public:
  enum class Entry { EditBegin, EditEnd, EditChanged };
  virtual ~EditToolbarEntryPoints() = default;
  virtual bool implementsEntry(Entry entry) const = 0;
  virtual void toolbarEditBegin(platform::View* sender) {}
  virtual void toolbarEditEnd(platform::View* sender) {}
  virtual void toolbarEditChanged(platform::View* sender) {}
};

}  // namespace kavro
