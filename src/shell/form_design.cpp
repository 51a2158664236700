#include "shell/form_design.h"

#include <algorithm>
#include <stdexcept>

namespace strovanik::shell {

PixelRect pixelsFromTwips(const TwipRect& place) {
    return {pixelsFromTwips(place.left), pixelsFromTwips(place.top), pixelsFromTwips(place.width),
            pixelsFromTwips(place.height)};
}

const ControlDesign& controlDesign(ControlId id) {
    const auto found =
        std::find_if(kForm1Controls.begin(), kForm1Controls.end(),
                     [id](const ControlDesign& control) { return control.id == id; });
    if (found == kForm1Controls.end()) throw std::logic_error("a control without a design");
    return *found;
}

std::string webAddressUrl(std::string_view address) {
    if (address.find("://") != std::string_view::npos) return std::string(address);
    return "https://" + std::string(address);
}

}  // namespace strovanik::shell
