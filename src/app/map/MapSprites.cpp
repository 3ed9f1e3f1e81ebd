#include "MapSprites.h"

#include "Assets.h"
#include "MarkerLayout.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

#include <cmath>

namespace {

constexpr qreal shadowMargin = 2;
constexpr qreal haloWidth = 3;
constexpr qreal maximumTitleWidth = 180;
constexpr qsizetype maximumTitleLength = 64;
const QColor textColour(0x1d, 0x1d, 0x1f);

QFont titleFont(bool selected)
{
    QFont font;
    font.setPixelSize(selected ? 12 : 11);
    font.setWeight(selected ? QFont::Bold : QFont::DemiBold);
    return font;
}

QImage canvas(QSizeF size, qreal devicePixelRatio)
{
    QImage image((size * devicePixelRatio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    return image;
}

// The symbol in white, side by side pixels; null when there is no such symbol.
QImage whiteSymbol(const QString &name, qreal side, qreal devicePixelRatio)
{
    const QUrl url = Assets::symbol(name);
    if (url.isEmpty())
        return {};
    QSvgRenderer svg(QLatin1Char(':') + url.path());
    QImage image = canvas(QSizeF(side, side), devicePixelRatio);
    QPainter painter(&image);
    svg.render(&painter, QRectF(0, 0, side, side));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(0, 0, side, side), Qt::white);
    return image;
}

} // namespace

namespace MapSprites {

QImage marker(const MapMarker &marker, bool selected, qreal devicePixelRatio)
{
    const qreal radius = MarkerLayout::radius(marker, selected);
    const qreal side = std::ceil(2 * (radius + shadowMargin));
    QImage image = canvas(QSizeF(side, side), devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QPointF centre(side / 2, side / 2);
    painter.setBrush(QColor(0, 0, 0, 70));
    painter.drawEllipse(centre + QPointF(0, 1), radius + 0.5, radius + 0.5);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, radius, radius);
    const qreal rim = marker.symbol.isEmpty() ? 1.5 : 2;
    painter.setBrush(marker.tint.isValid() ? marker.tint : QColor(Qt::gray));
    painter.drawEllipse(centre, radius - rim, radius - rim);
    if (!marker.symbol.isEmpty()) {
        const qreal symbolSide = std::round(radius * 1.2);
        const QImage symbol = whiteSymbol(marker.symbol, symbolSide, devicePixelRatio);
        if (!symbol.isNull())
            painter.drawImage(centre - QPointF(symbolSide / 2, symbolSide / 2), symbol);
    }
    return image;
}

QString shown(const QString &title)
{
    QString text = title.left(maximumTitleLength * 4);
    for (QChar &character : text) {
        if (!character.isPrint())
            character = u' ';
    }
    return text.simplified().left(maximumTitleLength);
}

QSizeF titleSize(const QString &title, bool selected)
{
    const QFontMetricsF metrics(titleFont(selected));
    const qreal width = std::min(metrics.horizontalAdvance(title), maximumTitleWidth);
    return {std::ceil(width + 2 * haloWidth), std::ceil(metrics.height() + haloWidth)};
}

QImage title(const QString &title, bool selected, qreal devicePixelRatio)
{
    const QFont font = titleFont(selected);
    const QFontMetricsF metrics(font);
    const QString text = metrics.elidedText(title, Qt::ElideRight, maximumTitleWidth);
    QImage image = canvas(titleSize(title, selected), devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addText(QPointF(haloWidth, haloWidth / 2 + metrics.ascent()), font, text);
    painter.strokePath(
        path, QPen(QColor(255, 255, 255, 220), haloWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(path, textColour);
    return image;
}

} // namespace MapSprites
