#pragma once
// Resizes a window by its whole frame, title bar included, keeping its lower-left corner where it
// is, on a later turn of the main loop; a missing window is left alone.

#include <QObject>
#include <QPointer>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

class WindowFrame : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // The frame's new geometry for a frame size: the top edge moves by the change of height, but
    // never above the top of the available area (when one is given), so the title bar stays reachable.
    [[nodiscard]] static QRect keepingLowerLeft(const QRect &frame, const QSize &size,
                                                const QRect &available = QRect());
    // Applies a frame size now; nothing when window is null.
    static void apply(QWindow *window, const QSize &size);
    // Applies it after the given number of main-loop turns (at least one).
    Q_INVOKABLE static void resize(QWindow *window, int width, int height, int turns = 1);
    // Places a sheet centred across the window it belongs to, its top at the top of that window's
    // content, at the given size (its own when empty), in one step.
    Q_INVOKABLE static void placeSheet(QWindow *sheet, const QSizeF &size = {});
    // A sheet's frame of that size centred on its owner's frame, top edges aligned, kept inside and no
    // larger than the available area when one is given.
    [[nodiscard]] static QRect sheetGeometry(const QRect &owner, const QSize &size,
                                             const QRect &available = QRect());
    // Places a sheet, shows it and gives it the keyboard.
    Q_INVOKABLE static void showSheet(QWindow *sheet);
    // Hides a sheet and gives the keyboard back to the window it belongs to.
    Q_INVOKABLE static void hideSheet(QWindow *sheet);
};
