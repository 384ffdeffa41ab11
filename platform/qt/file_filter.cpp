#include "platform/qt/file_filter.h"

#include "platform/qt/template_layout.h"

namespace cellarium {

QStringList NameFiltersFromFilter(const std::string& filter) {
    QStringList result;
    // The list ends at the first empty field (the "||" at its end).
    const QStringList fields = ToQtText(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        const QString name = fields[i].trimmed();
        if (name.isEmpty()) break;
        QStringList patterns;
        for (const QString& p : fields[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern = p.trimmed();
            if (!pattern.isEmpty()) patterns << pattern;
        }
        if (patterns.isEmpty()) continue;
        // A name that already shows its patterns ("Life files (*.lif)")
        // keeps them once.
        const QString shown =
            QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        result << (name.endsWith(shown) ? name : name + shown);
    }
    return result;
}

}  // namespace cellarium
