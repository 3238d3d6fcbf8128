#include "platform/qt/console_font.h"

#include <QString>
#include <QStringList>

#include "console/cp932.h"
#include "console/screen_texts.h"

namespace kt57 {

QFont consoleFont() {
    const std::string face = cp932ToUtf8(fontFaceName, fontFaceNameLength);
    QFont font;
    // Fallbacks in order: the same face under its Latin name, then the metric-compatible IPA face.
    font.setFamilies({QString::fromStdString(face), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"),
                      QStringLiteral("IPAゴシック")});
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(consoleCellHeight);
    font.setWeight(QFont::Normal);
    font.setKerning(false);
    return font;
}

}  // namespace kt57
