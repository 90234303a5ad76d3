#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <utility>

#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVSocketMan.h"
#include "mapsdk/engine/EngineParts.h"

namespace enginetest {

// An engine part that hands the messages routed to its slot to a function.
class FunctionPart : public gmengine::EnginePart {
 public:
  using Handler = std::function<int(int message, int wParam, int lParam)>;
  explicit FunctionPart(Handler handler) : handler_(std::move(handler)) {}
  int OnEngineMessage(gmengine::EngineMsg message, int wParam, int lParam) override {
    return handler_ ? handler_(gmengine::ToInt(message), wParam, lParam) : 0;
  }

 private:
  Handler handler_;
};

// Puts a function in the engine's slot, for the messages routed there.
inline void Route(gmengine::CVMapEngine& engine, gmengine::EngineSlot slot, FunctionPart::Handler handler) {
  engine.Install(slot, std::make_unique<FunctionPart>(std::move(handler)));
}

// A notifier that hands the announcements to functions.
class FunctionNotifier : public gmengine::EngineNotifier {
 public:
  std::function<void(gmengine::SearchType, gmengine::SearchError, const gmengine::SearchAnswer*)> answer;
  std::function<void(int state, int value)> offline;
  void OnSearchAnswer(gmengine::SearchType type, gmengine::SearchError error,
                      const gmengine::SearchAnswer* a) override {
    if (answer) answer(type, error, a);
  }
  void OnOfflineState(gmengine::OfflineState state, int value) override {
    if (offline) offline(gmengine::ToInt(state), value);
  }
};

// The jobs the socket thread still holds once everything handed to it so far has run (the thread
// is running); a finished, failed or cancelled exchange holds none. SIZE_MAX when the thread does
// not answer.
inline std::size_t JobsLeft(gmengine::CVSocketMan& sockets) {
  auto count = std::make_shared<std::promise<std::size_t>>();
  std::future<std::size_t> answer = count->get_future();
  sockets.Perform([&sockets, count] { count->set_value(sockets.JobCount()); });
  if (answer.wait_for(std::chrono::seconds(60)) != std::future_status::ready) return SIZE_MAX;
  return answer.get();
}

}  // namespace enginetest
