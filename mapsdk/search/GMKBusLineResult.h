#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKRoute.h"
#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// A bus line with its route and stations. Made empty, filled once, then read. Main thread.
class GMKBusLineResult {
 public:
  const std::optional<std::string>& mCompany() const { return mCompany_; }
  void setMCompany(std::optional<std::string> value) { mCompany_ = std::move(value); }
  const std::optional<std::string>& mBusName() const { return mBusName_; }
  void setMBusName(std::optional<std::string> value) { mBusName_ = std::move(value); }
  const std::optional<std::string>& mStartTime() const { return mStartTime_; }
  void setMStartTime(std::optional<std::string> value) { mStartTime_ = std::move(value); }
  const std::optional<std::string>& mEndTime() const { return mEndTime_; }
  void setMEndTime(std::optional<std::string> value) { mEndTime_ = std::move(value); }
  int mIsMonTicket() const { return mIsMonTicket_; }
  void setMIsMonTicket(int value) { mIsMonTicket_ = value; }
  const std::shared_ptr<GMKRoute>& mBusRoute() const { return mBusRoute_; }
  void setMBusRoute(std::shared_ptr<GMKRoute> value) { mBusRoute_ = std::move(value); }

 private:
  std::optional<std::string> mCompany_;
  std::optional<std::string> mBusName_;
  std::optional<std::string> mStartTime_;
  std::optional<std::string> mEndTime_;
  int mIsMonTicket_ = 0;
  std::shared_ptr<GMKRoute> mBusRoute_;
};

}  // namespace mapsdk
