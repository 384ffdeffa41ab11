// The clipboard of the scripted back end: blocks by format that a test fills.
#include "platform/headless/headless_roles.h"

namespace cellarium {

bool HeadlessClipboard::OpenClipboard() {
    if (p_.clipboardBusy_ || p_.clipboardOpen_) return false;
    p_.clipboardOpen_ = true;
    return true;
}

void HeadlessClipboard::CloseClipboard() {
    p_.clipboardOpen_ = false;
}

std::optional<std::vector<uint8_t>> HeadlessClipboard::GetClipboardData(unsigned format) {
    if (!p_.clipboardOpen_) return std::nullopt;
    auto it = p_.clipboard_.find(format);
    if (it == p_.clipboard_.end()) return std::nullopt;
    return it->second;
}

bool HeadlessClipboard::SetClipboardText(const std::string& text) {
    if (!p_.clipboardOpen_) return false;
    // Both text blocks from the one text, as a system clipboard offers them.
    std::u16string wide;
    for (char ch : text) wide.push_back(char16_t(uint8_t(ch)));
    p_.ClearClipboard();
    p_.SetClipboardText(text);
    p_.SetClipboardUnicode(wide);
    return true;
}

std::vector<uint8_t> HeadlessClipboard::ConvertToAnsi(const std::u16string& text) {
    // The headless code page is Latin-1.
    std::vector<uint8_t> out;
    out.reserve(text.size());
    for (char16_t c : text) out.push_back(c <= 0xFF ? uint8_t(c) : uint8_t('?'));
    return out;
}

}  // namespace cellarium
