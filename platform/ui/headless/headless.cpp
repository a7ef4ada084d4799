#include "ui/headless/headless.h"

#include "window/wm.h"

namespace ce::ui {
namespace {

class Headless final : public Frontend {
public:
    const char *name() const override { return "headless"; }
    bool interactive() const override { return wm::driven(); }
    int input_fd() const override { return -1; }
    void read_input(std::vector<Input> &) override {}
    void draw(const Scene &) override {}
};

}  // namespace

std::unique_ptr<Frontend> make_headless() { return std::make_unique<Headless>(); }

}  // namespace ce::ui
