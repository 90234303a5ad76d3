#pragma once
#include "kit/ui/UIBasicController.h"

namespace kavro {

// The user's resumes, from the server. Opened with OpenUIBasicController. Main thread only.
class MyResumeListController : public UIBasicController {};

KAVRO_CLASS(MyResumeListController, UIBasicController);

}  // namespace kavro
