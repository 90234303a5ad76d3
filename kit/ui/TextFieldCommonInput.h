#pragma once

namespace platform {
class TextField;
}

namespace kavro::textfield {

// Secure text entry on / off.
void convertToPasswordInput(platform::TextField& f);
void convertToCommonInput(platform::TextField& f);

}  // namespace kavro::textfield
