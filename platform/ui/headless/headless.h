// The headless front-end: draws nothing. Interactive only while a test
// driver (ui/headless/driver.h) is attached.
#pragma once

#include "ui/frontend.h"

namespace ce::ui {

std::unique_ptr<Frontend> make_headless();

}  // namespace ce::ui
