#pragma once
#include <memory>
#include <string>

#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace kavro {

// The board shown in place of the map when the map cannot be used: a picture and a message.
// Main thread only.
class MapErrorBoard : public platform::View {
 public:
  MapErrorBoard();

  void mapBoardStart();
  void mapBoardLocationFailed(const std::string& text);
  void mapBoardFunctionError(const std::string& text);
  void mapBoardError();

  const std::shared_ptr<platform::Label>& errorMessege() const { return errorMessege_; }
  const std::shared_ptr<platform::ImageView>& errorImage() const { return errorImage_; }

  // The height of the board, and of the packed-up map: taller on a tall screen.
  static double boardHeight();
  static bool isTallScreen();

 private:
  std::shared_ptr<platform::Label> errorMessege_;
  std::shared_ptr<platform::ImageView> errorImage_;
};

}  // namespace kavro
