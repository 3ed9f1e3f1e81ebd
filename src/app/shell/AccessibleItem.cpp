#include "AccessibleItem.h"

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

// "&Quit" is said "Quit", "Q&&A" is said "Q&A".
QString withoutMnemonic(const QString &text)
{
    QString said;
    said.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'&' && i + 1 < text.size())
            ++i;
        said.append(text.at(i));
    }
    return said;
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

QAccessible::Role AccessibleItem::role() const
{
    if (const QVariant given = item()->property("accessibleRole"); given.isValid())
        return QAccessible::Role(given.toInt());
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
    // The desktop's bridge says a menu button is a push button; this says it opens a menu.
    if (role() == QAccessible::ButtonMenu)
        state.hasPopup = true;
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
    const QString text = QAccessibleQuickItem::text(type);
    if (type != QAccessible::Name)
        return text;
    // Menus, buttons and menu items are said by their text without a mnemonic's marker; Qt leaves
    // them nameless, or says the marker, when a screen reader starts after they were made.
    if (text.isEmpty() && role() == QAccessible::PopupMenu)
        return withoutMnemonic(item()->parent() ? item()->parent()->property("title").toString() : QString());
    if (!item()->inherits("QQuickAbstractButton"))
        return text;
    const QString shown = item()->property("text").toString();
    return text.isEmpty() || text == shown ? withoutMnemonic(shown) : text;
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
