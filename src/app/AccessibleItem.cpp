#include "AccessibleItem.h"

#include <QtQuick/private/qquickaccessibleattached_p.h>
#include <QtQuick/private/qquickitem_p.h>
#include <QtQuick/private/qquicktextinput_p.h>

namespace {

QAccessibleInterface *accessibleItemFactory(const QString &className, QObject *object)
{
    Q_UNUSED(className)
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item || !QQuickItemPrivate::get(item)->isAccessible)
        return nullptr;
    return new AccessibleItem(item);
}

QQuickAccessibleAttached *attachedOf(QQuickItem *item)
{
    return qobject_cast<QQuickAccessibleAttached *>(
        qmlAttachedPropertiesObject<QQuickAccessibleAttached>(item, false));
}

} // namespace

AccessibleItem::AccessibleItem(QQuickItem *item)
    : QAccessibleQuickItem(item)
{
}

void AccessibleItem::install()
{
    QAccessible::installFactory(accessibleItemFactory);
}

// Qt's controls answer their type's role whatever the screen set: a link, a heading or a menu button
// would read as a push button or a plain label.
QAccessible::Role AccessibleItem::role() const
{
    const QQuickAccessibleAttached *attached = attachedOf(item());
    if (attached && attached->role() != QAccessible::NoRole)
        return attached->role();
    return QAccessibleQuickItem::role();
}

QAccessible::State AccessibleItem::state() const
{
    QAccessible::State state = QAccessibleQuickItem::state();
    // A label never takes the keyboard's focus, whatever the controls say.
    if (item()->inherits("QQuickText") && !item()->activeFocusOnTab())
        state.focusable = false;
    if (masked())
        state.passwordEdit = true;
    return state;
}

QString AccessibleItem::text(QAccessible::Text type) const
{
    if (masked()) {
        if (type == QAccessible::Value)
            return maskedText();
        // Qt drops a password field's name; its placeholder is the label the user sees.
        if (type == QAccessible::Name) {
            const QString name = QAccessibleQuickItem::text(type);
            return name.isEmpty() ? item()->property("placeholderText").toString() : name;
        }
    }
    return QAccessibleQuickItem::text(type);
}

QString AccessibleItem::text(int startOffset, int endOffset) const
{
    if (!masked())
        return QAccessibleQuickItem::text(startOffset, endOffset);
    const QString text = maskedText();
    if (startOffset < 0 || startOffset > text.size())
        return {};
    if (endOffset < 0 || endOffset > text.size())
        endOffset = int(text.size());
    return text.mid(startOffset, qMax(0, endOffset - startOffset));
}

// The base answers a masked field's words and lines from the text it holds: these answer from the
// mask, with the boundaries of the text interface's own reading.
QString AccessibleItem::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int *startOffset, int *endOffset) const
{
    if (masked())
        return QAccessibleTextInterface::textBeforeOffset(offset, boundaryType, startOffset, endOffset);
    return QAccessibleQuickItem::textBeforeOffset(offset, boundaryType, startOffset, endOffset);
}

QString AccessibleItem::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int *startOffset, int *endOffset) const
{
    if (masked())
        return QAccessibleTextInterface::textAfterOffset(offset, boundaryType, startOffset, endOffset);
    return QAccessibleQuickItem::textAfterOffset(offset, boundaryType, startOffset, endOffset);
}

QString AccessibleItem::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                                     int *endOffset) const
{
    if (masked())
        return QAccessibleTextInterface::textAtOffset(offset, boundaryType, startOffset, endOffset);
    return QAccessibleQuickItem::textAtOffset(offset, boundaryType, startOffset, endOffset);
}

bool AccessibleItem::masked() const
{
    const auto *input = qobject_cast<const QQuickTextInput *>(item());
    return input && input->echoMode() != QQuickTextInput::Normal;
}

QString AccessibleItem::maskedText() const
{
    const auto *input = static_cast<const QQuickTextInput *>(item());
    const QString mask = input->passwordCharacter();
    return QString(input->text().size(), mask.isEmpty() ? QChar(u'*') : mask.front());
}
