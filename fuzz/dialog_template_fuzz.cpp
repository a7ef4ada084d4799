// libFuzzer target: the dialog template parser on any bytes.
#include "window/dialog_template.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ce::wm::DialogTemplate parsed;
    std::string error;
    ce::wm::parse_dialog_template(data, size, &parsed, &error);
    return 0;
}
