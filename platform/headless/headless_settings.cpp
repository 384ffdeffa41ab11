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

std::optional<std::string> HeadlessSettings::ReadProfileString(const std::string& registryKey,
                                                               const std::string& application,
                                                               const std::string& section,
                                                               const std::string& key) {
    auto it = p_.stringSettings_.find(FullKey(registryKey, application, section, key));
    if (it == p_.stringSettings_.end()) return std::nullopt;
    return it->second;
}

bool HeadlessSettings::WriteProfileString(const std::string& registryKey,
                                          const std::string& application,
                                          const std::string& section, const std::string& key,
                                          const std::string& value) {
    p_.stringSettings_[FullKey(registryKey, application, section, key)] = value;
    return true;
}

}  // namespace cellarium
