// Settings of the scripted back end: an in-memory map by full key.
#include "platform/headless/headless_roles.h"

namespace cellarium {
namespace {

std::string FullKey(const std::string& registryKey, const std::string& application,
                    const std::string& section, const std::string& key) {
    return registryKey + "\\" + application + "\\" + section + "\\" + key;
}

}  // namespace

std::optional<int> HeadlessSettings::ReadProfileInt(const std::string& registryKey,
                                                    const std::string& application,
                                                    const std::string& section,
                                                    const std::string& key) {
    return p_.Setting(FullKey(registryKey, application, section, key));
}

bool HeadlessSettings::WriteProfileInt(const std::string& registryKey,
                                       const std::string& application, const std::string& section,
                                       const std::string& key, int value) {
    p_.settings_[FullKey(registryKey, application, section, key)] = value;
    return true;
}

}  // namespace cellarium
