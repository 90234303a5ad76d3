#include "app/campus/MajorSearchResultController.h"
