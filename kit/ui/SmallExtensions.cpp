#include "kit/skin/AppSkin.h"
#include "kit/ui/PageControlExt.h"
#include "kit/ui/TextFieldCommonInput.h"
#include "kit/ui/TextFieldExt.h"
#include "platform/ui/ImageView.h"

namespace kavro {

namespace pagecontrol {

void changeHighLightImage(platform::PageControl& control, const std::shared_ptr<platform::Image>& highlight,
                          const std::shared_ptr<platform::Image>& normal) {
  for (std::size_t i = 0; i < control.subviews().size(); ++i) {
    auto dot = std::dynamic_pointer_cast<platform::ImageView>(control.subviews()[i]);
    if (!dot) continue;
    const auto& image = int(i) == control.currentPage() ? highlight : normal;
    dot->setImage(image);
    platform::Rect f = dot->frame();
    platform::Size size = image ? image->size() : platform::Size{};
    dot->setFrame({f.origin, size});
  }
}

}  // namespace pagecontrol

namespace textfield {

std::shared_ptr<platform::TextField> initCommonInput(platform::Rect frame) {
  auto field = std::make_shared<platform::TextField>(frame);
  field->setAutocorrectionType(platform::TextAutocorrectionType::No);
  field->setAutocapitalizationType(platform::TextAutocapitalizationType::None);
  field->setReturnKeyType(platform::ReturnKeyType::Done);
  field->setClearButtonMode(platform::TextFieldViewMode::WhileEditing);
  field->setKeyboardType(platform::KeyboardType::ASCIICapable);
  AppSkin::apply(field.get(), "skinTextFieldCommonInput");
  return field;
}

std::shared_ptr<platform::TextField> initPasswordInput(platform::Rect frame) {
  auto field = initCommonInput(frame);
  convertToPasswordInput(*field);
  return field;
}

}  // namespace textfield

}  // namespace kavro
