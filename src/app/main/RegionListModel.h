#pragma once
// The region list of the main screen: the controller's regions narrowed by the search term, the
// chosen one marked, and a new choice in the controller's current region handed on as a selection.

#include "VPNRegion.h"
#include "VelmoraController.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <optional>

class RegionListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(VelmoraController *controller READ controller WRITE setController NOTIFY controllerChanged)
    Q_PROPERTY(QString searchTerm READ searchTerm WRITE setSearchTerm NOTIFY searchTermChanged)

public:
    enum Role { RegionIdRole = Qt::UserRole + 1, CountryNameRole, CityRole, FlagRole, SelectedRole };
    Q_ENUM(Role)

    using QAbstractListModel::QAbstractListModel;

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    [[nodiscard]] VelmoraController *controller() const { return m_controller; }
    // Follows the controller's regions and its current region; the current one is looked at at once.
    void setController(VelmoraController *controller);
    [[nodiscard]] QString searchTerm() const { return m_searchTerm; }
    // Keeps the regions whose country name, or else city, contains the term as typed, letter case
    // aside by the user's locale; an empty term keeps all.
    void setSearchTerm(const QString &term);

    // The list came on screen: the regions and the plan text are asked for on a later turn.
    Q_INVOKABLE void appear();
    // The user chose the region of that row: it becomes the controller's current region, and
    // `chosen` says which it is in words.
    Q_INVOKABLE void choose(int row);

Q_SIGNALS:
    void controllerChanged();
    void searchTermChanged();
    void chosen(const QString &description);

private:
    void loadRegions();
    [[nodiscard]] QList<qsizetype> filteredRows();
    // Builds m_names and m_fieldStarts from the regions.
    void foldNames();
    void showRows(const QList<qsizetype> &rows);
    void currentRegionDelivered();
    void markSelected(std::optional<qint64> id);

    QPointer<VelmoraController> m_controller;
    QString m_searchTerm;
    QString m_foldedTerm;
    QList<VPNRegion> m_regions;
    // Every region's country name and city with their letter case folded, in one text searched in
    // one pass per keystroke: each field ends with a NUL; m_fieldStarts holds where each field starts
    // (country, city, country, ...) and, last, the text's end. Both empty until the first search
    // after the regions changed.
    QString m_names;
    QList<qsizetype> m_fieldStarts;
    QList<qsizetype> m_rows;
    std::optional<qint64> m_selected;
    mutable QHash<QString, QUrl> m_flags;
};
