#pragma once

namespace kavro {

// Told when the map's result list goes back to the map: the list has set the pager's pageAt, and
// the map shows that page.
class JobMapSearchResultDelegate {
 public:
  virtual ~JobMapSearchResultDelegate() = default;
  virtual void jobMapSearchClickDone() = 0;
};

}  // namespace kavro
