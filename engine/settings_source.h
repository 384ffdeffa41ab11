// Where a board learns its size: integer settings by section and key. The
// application's settings store implements this; tests and the runner pass a
// fixed size.
#pragma once

#include <string_view>

namespace cellarium {

class SettingsSource {
public:
    virtual ~SettingsSource() = default;
    virtual int GetProfileInt(std::string_view section, std::string_view key, int defaultValue) = 0;
};

// A settings source that answers "Size"/"Width" and "Size"/"Height" with a
// fixed size and every other key with its default.
class FixedSizeSettings : public SettingsSource {
public:
    FixedSizeSettings(int width, int height) : width_(width), height_(height) {}
    int GetProfileInt(std::string_view section, std::string_view key, int defaultValue) override {
        if (section == "Size" && key == "Width") return width_;
        if (section == "Size" && key == "Height") return height_;
        return defaultValue;
    }

private:
    int width_;
    int height_;
};

}  // namespace cellarium
