#include "MapCamera.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double pi = std::numbers::pi;

} // namespace

QPointF MapCamera::project(double latitude, double longitude)
{
    const double phi = std::clamp(latitude, -maximumLatitude, maximumLatitude) * pi / 180.0;
    return {(longitude + 180.0) / 360.0, 0.5 - std::log(std::tan(pi / 4 + phi / 2)) / (2 * pi)};
}

double MapCamera::latitudeAt(double y)
{
    return std::atan(std::sinh((0.5 - y) * 2 * pi)) * 180.0 / pi;
}

double MapCamera::longitudeAt(double x)
{
    return x * 360.0 - 180.0;
}

double MapCamera::minimumScale(const QSizeF &view)
{
    return std::max(view.height(), 1.0);
}

MapCamera MapCamera::fitting(const GeoRegion &region, const QSizeF &view)
{
    const double top = project(region.latitude + region.latitudeDelta / 2, 0).y();
    const double bottom = project(region.latitude - region.latitudeDelta / 2, 0).y();
    const double width = std::abs(region.longitudeDelta) / 360.0;
    const double height = std::abs(bottom - top);
    double scale = maximumScale;
    if (width > 0)
        scale = std::min(scale, view.width() / width);
    if (height > 0)
        scale = std::min(scale, view.height() / height);
    return MapCamera{project(region.latitude, region.longitude), scale}.clamped(view);
}

GeoRegion MapCamera::region(const QSizeF &view) const
{
    const double halfHeight = view.height() / 2 / scale;
    const double north = latitudeAt(centre.y() - halfHeight);
    const double south = latitudeAt(centre.y() + halfHeight);
    return {latitudeAt(centre.y()), longitudeAt(centre.x()), north - south,
            std::min(360.0, view.width() / scale * 360.0)};
}

MapCamera MapCamera::clamped(const QSizeF &view) const
{
    MapCamera camera = *this;
    camera.scale = std::clamp(std::isfinite(scale) ? scale : maximumScale, minimumScale(view), maximumScale);
    const double halfHeight = std::min(0.5, view.height() / 2 / camera.scale);
    const double x = std::isfinite(centre.x()) ? centre.x() : 0.5;
    const double y = std::isfinite(centre.y()) ? centre.y() : 0.5;
    camera.centre = {x - std::floor(x), std::clamp(y, halfHeight, 1 - halfHeight)};
    return camera;
}

QPointF MapCamera::toView(const QPointF &world, const QSizeF &view) const
{
    return (world - centre) * scale + QPointF(view.width() / 2, view.height() / 2);
}

QPointF MapCamera::toWorld(const QPointF &point, const QSizeF &view) const
{
    return centre + (point - QPointF(view.width() / 2, view.height() / 2)) / scale;
}

MapCamera MapCamera::panned(const QPointF &delta, const QSizeF &view) const
{
    return MapCamera{centre - delta / scale, scale}.clamped(view);
}

MapCamera MapCamera::zoomed(double factor, const QPointF &about, const QSizeF &view) const
{
    const QPointF anchor = toWorld(about, view);
    MapCamera camera = MapCamera{centre, scale * factor}.clamped(view);
    camera.centre = anchor - (about - QPointF(view.width() / 2, view.height() / 2)) / camera.scale;
    return camera.clamped(view);
}

MapCamera MapCamera::between(const MapCamera &from, const MapCamera &to, double progress)
{
    double dx = to.centre.x() - from.centre.x();
    dx -= std::round(dx);
    const double x = from.centre.x() + dx * progress;
    const double y = from.centre.y() + (to.centre.y() - from.centre.y()) * progress;
    const double scale = from.scale * std::pow(to.scale / from.scale, progress);
    return MapCamera{QPointF(x - std::floor(x), y), scale};
}
