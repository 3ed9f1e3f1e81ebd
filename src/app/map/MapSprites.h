#pragma once
// The pictures of a map's markers and titles: a disc in the marker's colour with a white rim and its
// symbol in white when it has one, larger when selected; a title in dark text on a white halo, bold
// when its marker is selected. Sizes are in logical pixels; pictures are drawn for a device ratio.

#include "MapMarker.h"

#include <QImage>
#include <QSizeF>
#include <QString>

namespace MapSprites {

[[nodiscard]] QImage marker(const MapMarker &marker, bool selected, qreal devicePixelRatio);
[[nodiscard]] QSizeF titleSize(const QString &title, bool selected);
[[nodiscard]] QImage title(const QString &title, bool selected, qreal devicePixelRatio);
// A title as it can be shown: what prints, on one line, and not too long to read on a map.
[[nodiscard]] QString shown(const QString &title);

} // namespace MapSprites
