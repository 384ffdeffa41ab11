// The system clipboard's text. The program reads blocks by format: format 1
// is the text in the 8-bit code page (Latin-1 here; characters beyond it
// become '?') ending in one zero byte, format 13 the text in UTF-16LE ending
// in one zero character. Both come from the one text the clipboard holds.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/qt/qt_roles.h"

namespace cellarium {

bool QtClipboard::OpenClipboard() {
    if (open_ || QGuiApplication::clipboard() == nullptr) return false;
    open_ = true;
    return true;
}

void QtClipboard::CloseClipboard() {
    open_ = false;
}

std::optional<std::vector<uint8_t>> QtClipboard::GetClipboardData(unsigned format) {
    if (!open_ || (format != CF_TEXT && format != CF_UNICODETEXT)) return std::nullopt;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasText()) return std::nullopt;
    const QString text = data->text();
    std::vector<uint8_t> block;
    if (format == CF_TEXT) {
        const QByteArray bytes = text.toLatin1();
        block.assign(bytes.begin(), bytes.end());
        block.push_back(0);
    } else {
        block.reserve(std::size_t(text.size()) * 2 + 2);
        for (QChar c : text) {
            block.push_back(uint8_t(c.unicode() & 0xFF));
            block.push_back(uint8_t(c.unicode() >> 8));
        }
        block.push_back(0);
        block.push_back(0);
    }
    return block;
}

bool QtClipboard::SetClipboardText(const std::string& text) {
    if (!open_) return false;
    QGuiApplication::clipboard()->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
    return true;
}

std::vector<uint8_t> QtClipboard::ConvertToAnsi(const std::u16string& text) {
    const QByteArray bytes = QString::fromUtf16(text.data(), qsizetype(text.size())).toLatin1();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace cellarium
