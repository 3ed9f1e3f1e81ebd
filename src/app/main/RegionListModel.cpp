#include "RegionListModel.h"

#include "Assets.h"
#include "MainQueue.h"
#include "Preferences.h"

#include <QHash>
#include <QLocale>
#include <QStringMatcher>

#include <algorithm>

namespace {

// Letter case by the user's locale, with full mappings, so that "STRASSE" finds "Straße"; then one
// form of canonically equivalent texts, so that a decomposed "Düsseldorf" finds the composed one.
QString folded(const QString &text)
{
    const QLocale locale;
    return locale.toLower(locale.toUpper(text)).normalized(QString::NormalizationForm_C);
}

} // namespace

int RegionListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant RegionListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const VPNRegion &region = m_regions.at(m_rows.at(index.row()));
    switch (role) {
    case RegionIdRole:
        return region.id;
    case Qt::DisplayRole:
    case CountryNameRole:
        return region.country_name;
    case CityRole:
        return region.city;
    case FlagRole: {
        auto flag = m_flags.constFind(region.country_code);
        if (flag == m_flags.cend())
            flag = m_flags.insert(region.country_code, Assets::flag(region.country_code));
        return *flag;
    }
    case SelectedRole:
        return m_selected == region.id;
    default:
        return {};
    }
}

QHash<int, QByteArray> RegionListModel::roleNames() const
{
    return {{RegionIdRole, "regionId"},
            {CountryNameRole, "countryName"},
            {CityRole, "city"},
            {FlagRole, "flag"},
            {SelectedRole, "selected"}};
}

void RegionListModel::setController(VelmoraController *controller)
{
    if (m_controller == controller)
        return;
    if (m_controller)
        disconnect(m_controller, nullptr, this, nullptr);
    m_controller = controller;
    if (controller) {
        connect(controller, &VelmoraController::regionsChanged, this, &RegionListModel::loadRegions);
        connect(controller, &VelmoraController::currentRegionChanged, this,
                &RegionListModel::currentRegionDelivered);
    }
    loadRegions();
    Q_EMIT controllerChanged();
    if (controller)
        currentRegionDelivered();
}

void RegionListModel::setSearchTerm(const QString &term)
{
    if (term == m_searchTerm)
        return;
    m_searchTerm = term;
    m_foldedTerm = folded(term);
    showRows(filteredRows());
    Q_EMIT searchTermChanged();
}

void RegionListModel::appear()
{
    MainQueue::async([controller = m_controller] {
        if (!controller)
            return;
        controller->loadRegions();
        controller->showCurrentSubscription();
    });
}

void RegionListModel::choose(int row)
{
    if (!m_controller || row < 0 || row >= m_rows.size())
        return;
    const VPNRegion &region = m_regions.at(m_rows.at(row));
    m_controller->setCurrentRegion(region.id);
    Q_EMIT chosen(tr("%1, %2 chosen").arg(region.country_name, region.city));
}

void RegionListModel::loadRegions()
{
    beginResetModel();
    m_regions = m_controller ? m_controller->regions() : QList<VPNRegion>();
    // Folded at the next search rather than for each of the lists the controller publishes in turn:
    // with 100,000 regions folding takes longer than a frame.
    m_names.clear();
    m_fieldStarts.clear();
    m_rows = filteredRows();
    m_selected = m_controller ? m_controller->currentRegion() : std::nullopt;
    endResetModel();
}

void RegionListModel::foldNames()
{
    m_fieldStarts.reserve(2 * m_regions.size() + 1);
    // Regions share their repeated texts, so each text is folded once, found again by its storage.
    QHash<const QChar *, QString> foldedTexts;
    for (const VPNRegion &region : std::as_const(m_regions)) {
        for (const QString *field : {&region.country_name, &region.city}) {
            auto text = foldedTexts.constFind(field->constData());
            if (text == foldedTexts.cend())
                text = foldedTexts.insert(field->constData(), folded(*field));
            m_fieldStarts.append(m_names.size());
            m_names += *text;
            m_names += QChar(u'\0');
        }
    }
    m_fieldStarts.append(m_names.size());
}

QList<qsizetype> RegionListModel::filteredRows()
{
    QList<qsizetype> rows;
    rows.reserve(m_regions.size());
    if (m_foldedTerm.isEmpty()) {
        for (qsizetype i = 0; i < m_regions.size(); ++i)
            rows.append(i);
        return rows;
    }
    if (m_fieldStarts.isEmpty())
        foldNames();
    const QStringMatcher matcher(m_foldedTerm);
    for (qsizetype at = matcher.indexIn(m_names); at >= 0; at = matcher.indexIn(m_names, at)) {
        const qsizetype field =
            std::upper_bound(m_fieldStarts.cbegin(), m_fieldStarts.cend(), at) - m_fieldStarts.cbegin() - 1;
        // A match that runs past its field's NUL is no match in that field.
        if (at + m_foldedTerm.size() >= m_fieldStarts.at(field + 1)) {
            ++at;
            continue;
        }
        const qsizetype region = field / 2;
        rows.append(region);
        at = m_fieldStarts.at(2 * region + 2);
    }
    return rows;
}

void RegionListModel::showRows(const QList<qsizetype> &rows)
{
    if (rows == m_rows)
        return;
    // Rows change by position, not by region: the list keeps its delegates and only rebinds them,
    // which is what keeps a keystroke cheap. The rows both lists have change first, then the tail.
    const qsizetype kept = std::min(rows.size(), m_rows.size());
    std::copy(rows.cbegin(), rows.cbegin() + kept, m_rows.begin());
    if (kept > 0)
        Q_EMIT dataChanged(index(0), index(int(kept - 1)));
    if (rows.size() < m_rows.size()) {
        beginRemoveRows({}, int(kept), int(m_rows.size() - 1));
        m_rows = rows;
        endRemoveRows();
    } else if (rows.size() > m_rows.size()) {
        beginInsertRows({}, int(kept), int(rows.size() - 1));
        m_rows = rows;
        endInsertRows();
    }
}

void RegionListModel::currentRegionDelivered()
{
    const std::optional<qint64> region = m_controller->currentRegion();
    markSelected(region);
    // Only a value that differs from the stored choice is a new choice; whoever sets both writes the
    // stored one first. The controller runs the selection on a later turn, never inside this update.
    if (!region || *region == Preferences::configId())
        return;
    MainQueue::async([controller = m_controller, id = *region] {
        if (controller)
            controller->didSelectRegion(id);
    });
}

void RegionListModel::markSelected(std::optional<qint64> id)
{
    const std::optional<qint64> previous = std::exchange(m_selected, id);
    if (previous == id)
        return;
    for (qsizetype row = 0; row < m_rows.size(); ++row) {
        const qint64 regionId = m_regions.at(m_rows.at(row)).id;
        if (regionId == previous || regionId == id)
            Q_EMIT dataChanged(index(int(row)), index(int(row)), {SelectedRole});
    }
}
