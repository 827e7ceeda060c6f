// The program's resources (dialog templates, images), carried inside the
// executable.
#pragma once

#include <string_view>

namespace res {
// The bytes of the resource file of that name ("tegamiya.xrc",
// "toolbar.png"), or an empty view when there is none.
std::string_view Find(std::string_view name);
}
