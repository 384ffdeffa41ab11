#include "platform/qt/template_layout.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStringDecoder>

namespace cellarium {
namespace {

// Rounds units * base / divisor to the nearest pixel.
int Scale(int units, int base, int divisor) {
    const long long product = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor
                                         : -((-product + half) / divisor));
}

}  // namespace

DialogBase DialogBase::ForFont(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    DialogBase base;
    base.charWidth = (metrics.horizontalAdvance(letters) + 26) / 52;
    base.charHeight = metrics.height();
    if (base.charWidth < 1) base.charWidth = 1;
    if (base.charHeight < 1) base.charHeight = 1;
    return base;
}

int DialogBase::ToPixelsX(int units) const {
    return Scale(units, charWidth, 4);
}

int DialogBase::ToPixelsY(int units) const {
    return Scale(units, charHeight, 8);
}

QRect DialogBase::ToPixels(int x, int y, int cx, int cy) const {
    // Both edges are converted, so neighbouring controls keep their gaps.
    const int left = ToPixelsX(x);
    const int top = ToPixelsY(y);
    return QRect(left, top, ToPixelsX(x + cx) - left, ToPixelsY(y + cy) - top);
}

QSize DialogBase::ToPixels(int cx, int cy) const {
    return QSize(ToPixelsX(cx), ToPixelsY(cy));
}

QFont TemplateFont(const DialogTemplate& tmpl) {
    if (tmpl.fontName.empty() || tmpl.fontName == "System") return QApplication::font();
    QFont font(QString::fromStdString(tmpl.fontName));
    if (tmpl.fontSize > 0) font.setPointSize(tmpl.fontSize);
    return font;
}

QString ToQtText(const std::string& text, bool* latin1) {
    const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    const bool fallBack = decoder.hasError();
    if (latin1 != nullptr) *latin1 = fallBack;
    return fallBack ? QString::fromLatin1(bytes) : decoded;
}

std::string FromQtText(const QString& text, bool latin1) {
    if (latin1) {
        bool fits = true;
        for (QChar c : text)
            if (c.unicode() > 0xFF) {
                fits = false;
                break;
            }
        if (fits) return text.toLatin1().toStdString();
    }
    return text.toStdString();
}

QString LinesForDisplay(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.remove(QLatin1Char('\r'));
    return out;
}

QString LinesFromDisplay(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return out;
}

}  // namespace cellarium
