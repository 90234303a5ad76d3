#include <type_traits>

#include "kit/ui/ApiOperateHandle.h"
#include "kit/ui/SelectedItemBox.h"
#include "kit/ui/UIKavroEditToolbar.h"
#include "kit/ui/UIKavroSearchBar.h"
#include "kit/ui/UISearchBarKavro.h"
#include "kit/ui/UITipsImageView.h"
#include "kit/ui/UIUnderLineButton.h"

namespace kavro {
namespace {

// Widgets and handles exist only as their factories make them (skinned, wired to their targets).
static_assert(!std::is_default_constructible_v<ApiOperateHandle>);
static_assert(!std::is_default_constructible_v<SelectedItemBox>);
static_assert(!std::is_default_constructible_v<UIKavroEditToolbar>);
static_assert(!std::is_constructible_v<UIKavroSearchBar, platform::Rect>);
static_assert(!std::is_constructible_v<UISearchBarKavro, platform::Rect>);
static_assert(!std::is_default_constructible_v<UITipsImageView>);
static_assert(!std::is_default_constructible_v<UIUnderLineButton>);

}  // namespace
}  // namespace kavro
