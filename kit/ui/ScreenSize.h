#pragma once

// The main screen's dimensions and the status bar's height.
namespace kavro::screen {

double screenWidth();
double screenHeight();
double statusBarHeight();

}  // namespace kavro::screen
