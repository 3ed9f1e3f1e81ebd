#pragma once
// What assistive technology reads of an item: Qt Quick's own interface, with the roles the screens
// give their controls, labels that do not claim focus, and masked text fields that keep their
// characters to themselves. Qt's controls put their type's role over `Accessible.role` as a screen
// reader comes; a control says another role with `readonly property int accessibleRole`.

#include <QtQuick/private/qaccessiblequickitem_p.h>

class AccessibleItem : public QAccessibleQuickItem
{
public:
    explicit AccessibleItem(QQuickItem *item);

    // Makes every accessible item of the application's windows use this interface.
    static void install();

    [[nodiscard]] QAccessible::Role role() const override;
    [[nodiscard]] QAccessible::State state() const override;
    [[nodiscard]] QString text(QAccessible::Text type) const override;

    [[nodiscard]] QString text(int startOffset, int endOffset) const override;
    [[nodiscard]] QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int *startOffset, int *endOffset) const override;
    [[nodiscard]] QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                          int *startOffset, int *endOffset) const override;
    [[nodiscard]] QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                       int *startOffset, int *endOffset) const override;

private:
    [[nodiscard]] bool masked() const;
    [[nodiscard]] QString maskedText() const;
};
