// Dialog templates on screen: dialog units turned into pixels through the
// metrics of the dialog's font, and the framework's 8-bit texts turned into
// Qt strings and back.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>

#include "framework/resources.h"

namespace cellarium {

// A dialog unit is a quarter of the font's average character width across
// and an eighth of its height down.
struct DialogBase {
    int charWidth = 0;
    int charHeight = 0;

    // The average width is that of the 52 Latin letters, rounded.
    static DialogBase ForFont(const QFont& font);

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QRect ToPixels(int x, int y, int cx, int cy) const;
    QSize ToPixels(int cx, int cy) const;
};

// The font a template asks for. "System" is the desktop's own dialog font (at
// the desktop's size); any other family is taken at the template's size.
QFont TemplateFont(const DialogTemplate& tmpl);

// The framework's texts are bytes: UTF-8 when they are valid UTF-8, otherwise
// Latin-1 (a pattern's description read from an old file). latin1, when
// given, says which was taken, so that an edited text can go back the same
// way.
QString ToQtText(const std::string& text, bool* latin1 = nullptr);
// Back to bytes: Latin-1 when asked and every character fits, else UTF-8.
std::string FromQtText(const QString& text, bool latin1);

// Multi-line texts keep line breaks as CR LF; Qt's widgets use LF alone.
// A CR that does not start a line break is dropped for display.
QString LinesForDisplay(const QString& text);
QString LinesFromDisplay(const QString& text);

}  // namespace cellarium
