#pragma once

#include <string_view>

// The picture files of icons/, carried inside the program (made by the build).
extern const std::string_view kIcon48Png;
extern const std::string_view kIcon16Png;
extern const std::string_view kAboutBmp;
