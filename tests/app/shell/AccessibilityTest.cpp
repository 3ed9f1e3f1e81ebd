#include "AppWindow.h"

#include "AccessibleItem.h"
#include "Preferences.h"
#include "StandInService.h"
#include "TestHelpers.h"
#include "VelmoraController.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString email = QStringLiteral("lee@example.com");
const QString password = QStringLiteral("hunter-22");

// Roles a user acts on: each needs a name a screen reader can say.
bool interactive(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Button:
    case QAccessible::ButtonMenu:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::Link:
    case QAccessible::EditableText:
    case QAccessible::MenuItem:
    case QAccessible::PopupMenu:
    case QAccessible::ComboBox:
    case QAccessible::ScrollBar:
    case QAccessible::Slider:
    case QAccessible::List:
    case QAccessible::ListItem:
        return true;
    default:
        return false;
    }
}

// The roles the screens give some of their items, which Qt's controls would otherwise replace.
QAccessible::Role expectedRole(const QString &objectName)
{
    static const QHash<QString, QAccessible::Role> roles{
        {QStringLiteral("forgetPassword"), QAccessible::Link},
        {QStringLiteral("modeSwitchLink"), QAccessible::Link},
        {QStringLiteral("title"), QAccessible::Heading},
        {QStringLiteral("regionsTitle"), QAccessible::Heading},
        {QStringLiteral("settingsTitle"), QAccessible::Heading},
        {QStringLiteral("redeemTitle"), QAccessible::Heading},
        {QStringLiteral("accountMenuButton"), QAccessible::ButtonMenu},
        {QStringLiteral("alertMessage"), QAccessible::AlertMessage},
    };
    return roles.value(objectName, QAccessible::NoRole);
}

// What is wrong in the tree under the interface, as lines naming the item; the buttons' names are
// gathered to find two that a listener cannot tell apart.
void inspect(QAccessibleInterface *node, QStringList &problems, QStringList &buttonNames)
{
    if (!node || node->state().invisible)
        return;
    const QAccessible::Role role = node->role();
    const QString name = node->text(QAccessible::Name);
    const QString objectName = node->object() ? node->object()->objectName() : QString();
    const QString what = QStringLiteral("%1 '%2' (%3)").arg(objectName, name).arg(role, 0, 16);
    if (interactive(role) && name.trimmed().isEmpty())
        problems << QStringLiteral("no name: ") + what;
    static const QRegularExpression mnemonic(QStringLiteral("&\\w"));
    if (name.contains(mnemonic))
        problems << QStringLiteral("mnemonic marker in the name: ") + what;
    if ((role == QAccessible::StaticText || role == QAccessible::Heading) && node->state().focusable)
        problems << QStringLiteral("label claims focus: ") + what;
    const QAccessible::Role expected = expectedRole(objectName);
    if (expected != QAccessible::NoRole && role != expected)
        problems << QStringLiteral("wrong role: ") + what;
    if (role == QAccessible::EditableText && node->state().passwordEdit) {
        QAccessibleTextInterface *text = node->textInterface();
        const QString all = text ? text->text(0, text->characterCount()) : QString();
        if (all.contains(password.front()) || node->text(QAccessible::Value).contains(password.front()))
            problems << QStringLiteral("password readable: ") + what;
    }
    if (role == QAccessible::ButtonMenu && !node->state().hasPopup)
        problems << QStringLiteral("menu button without its menu: ") + what;
    if (role == QAccessible::Button || role == QAccessible::ButtonMenu)
        buttonNames << name;
    for (int i = 0; i < node->childCount(); ++i)
        inspect(node->child(i), problems, buttonNames);
}

QStringList problemsOf(QWindow *window)
{
    // Offscreen, Qt never reports a screen reader as running, so that controls made since the last
    // call know of none: told again, they take their accessible names and roles as they would.
    QAccessible::setActive(true);
    QStringList problems;
    QStringList buttonNames;
    inspect(QAccessible::queryAccessibleInterface(window), problems, buttonNames);
    for (const QString &name : std::as_const(buttonNames)) {
        if (buttonNames.count(name) > 1)
            problems << QStringLiteral("buttons of the same name: ") + name;
    }
    problems.removeDuplicates();
    return problems;
}

} // namespace

#define VERIFY_ACCESSIBLE(window)                                                                            \
    do {                                                                                                     \
        const QStringList problems = problemsOf(window);                                                     \
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));                       \
    } while (false)

// What a screen reader finds on every screen and sheet, and the whole application used from the
// keyboard alone.
class AccessibilityTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        AccessibleItem::install();
        QVERIFY(TestHelpers::startForClient(m_service));
        m_service.addAccount(email, password);
    }

    void init()
    {
        Preferences::setEmail(std::nullopt);
        Preferences::setToken(std::nullopt);
        m_app = std::make_unique<AppWindow>();
        QVERIFY(m_app->open());
        // A screen reader comes in once the window is there, as the desktop's bridge does; Qt's
        // controls then set up their accessible roles, and the screens made later have it from
        // the start.
        QAccessible::setActive(true);
        qApp->installEventFilter(this);
        m_mouseEvents = 0;
    }

    void cleanup()
    {
        qApp->removeEventFilter(this);
        QAccessible::setActive(false);
        m_app.reset();
    }

    // The characters of a masked field never leave it, in both fields of the sign-up form; once the
    // user shows them, the field reads as plain text, and masking hides them again.
    void passwordFieldsKeepTheirCharacters_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("password") << QStringLiteral("passwordField");
        QTest::newRow("repeated password") << QStringLiteral("repeatPasswordField");
    }
    void passwordFieldsKeepTheirCharacters()
    {
        QFETCH(QString, field);
        m_app->click(QStringLiteral("modeSwitchLink"));
        m_app->type(field + QStringLiteral("Input"), password);
        QAccessibleInterface *input =
            QAccessible::queryAccessibleInterface(m_app->find(field + QStringLiteral("Input")));
        QVERIFY(input);
        QCOMPARE(input->role(), QAccessible::EditableText);
        QVERIFY(input->state().passwordEdit);
        QVERIFY(!input->text(QAccessible::Name).isEmpty());
        QAccessibleTextInterface *text = input->textInterface();
        QVERIFY(text);
        QCOMPARE(text->characterCount(), password.size());
        int start = 0;
        int end = 0;
        const QStringList read{text->text(0, -1),
                               text->text(0, text->characterCount()),
                               input->text(QAccessible::Value),
                               text->textAtOffset(0, QAccessible::CharBoundary, &start, &end),
                               text->textAtOffset(2, QAccessible::WordBoundary, &start, &end),
                               text->textAfterOffset(0, QAccessible::CharBoundary, &start, &end),
                               text->textBeforeOffset(3, QAccessible::LineBoundary, &start, &end)};
        for (const QString &piece : read) {
            for (const QChar character : password)
                QVERIFY2(!piece.contains(character), qPrintable(piece));
        }
        VERIFY_ACCESSIBLE(m_app->window());

        QAccessibleInterface *eye =
            QAccessible::queryAccessibleInterface(m_app->find(field + QStringLiteral("Eye")));
        QCOMPARE(eye->text(QAccessible::Name),
                 QStringLiteral("Show ") + m_app->find(field)->property("title").toString());
        m_app->click(field + QStringLiteral("Eye"));
        QCOMPARE(text->text(0, -1), password);
        QVERIFY(!input->state().passwordEdit);
        m_app->click(field + QStringLiteral("Eye"));
        QVERIFY(!text->text(0, -1).contains(password.front()));
    }

    // Logs in, opens the application menu, every sheet and the account menu, chooses a region and
    // connects with keys alone; every screen on the way names its controls with their roles.
    void keyboardAlone()
    {
        VERIFY_ACCESSIBLE(m_app->window());
        typeKeys(email);
        press(Qt::Key_Tab);
        typeKeys(password);
        press(Qt::Key_Return);
        QTRY_VERIFY(m_app->find(QStringLiteral("connectButton")));
        // After logging in the user continues at the connect button.
        QTRY_VERIFY(m_app->find(QStringLiteral("connectButton"))->hasActiveFocus());
        auto *ctrl = m_app->screen()->property("ctrl").value<VelmoraController *>();
        QTRY_VERIFY(!ctrl->regions().isEmpty());
        m_app->settle();
        VERIFY_ACCESSIBLE(m_app->window());

        // The application menu, by F10 and by its mnemonic.
        QObject *menu = m_app->object(QStringLiteral("applicationMenu"));
        for (const QKeyCombination keys :
             {QKeyCombination(Qt::Key_F10), QKeyCombination(Qt::AltModifier, Qt::Key_V)}) {
            press(keys.key(), keys.keyboardModifiers());
            QTRY_VERIFY(menu->property("opened").toBool());
            VERIFY_ACCESSIBLE(m_app->window());
            press(Qt::Key_Escape);
            QTRY_VERIFY(!menu->property("visible").toBool());
        }
        QTRY_VERIFY(m_app->find(QStringLiteral("connectButton"))->hasActiveFocus());

        // Every sheet from the account menu: through all its controls and closed with Escape.
        for (const char *item : {"redeemItem", "settingsItem", "pricingItem"})
            visitSheet(QString::fromLatin1(item));

        // A region chosen with Return, then the connect button pressed with Space.
        focusByTab(QStringLiteral("regionList"));
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        const std::optional<qint64> before = ctrl->currentRegion();
        press(Qt::Key_Return);
        QTRY_VERIFY(
            !m_app->object(QStringLiteral("chosenAnnouncement"))->property("text").toString().isEmpty());
        QVERIFY(ctrl->currentRegion() != before);
        focusByTab(QStringLiteral("connectButton"));
        QSignalSpy pressed(m_app->find(QStringLiteral("connectButton")), SIGNAL(clicked()));
        press(Qt::Key_Space);
        QTRY_COMPARE(pressed.size(), 1);
        QCOMPARE(m_mouseEvents, 0);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (dynamic_cast<QMouseEvent *>(event))
            ++m_mouseEvents;
        return QObject::eventFilter(watched, event);
    }

private:
    // Keys go where the user's keys go: to the window that has the focus.
    static QWindow *focused()
    {
        QWindow *window = QGuiApplication::focusWindow();
        return window ? window : QGuiApplication::topLevelWindows().value(0);
    }
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(focused(), key, modifiers);
    }
    static void typeKeys(const QString &text)
    {
        for (const QChar character : text)
            QTest::keyClick(focused(), character.toLatin1());
    }
    // Tabs until the item of that name has the focus; fails after a whole round without it.
    void focusByTab(const QString &name)
    {
        const QQuickItem *item = m_app->find(name);
        QVERIFY2(item, qPrintable(name));
        for (int i = 0; i < 30 && !item->hasActiveFocus(); ++i)
            press(Qt::Key_Tab);
        QVERIFY2(item->hasActiveFocus(), qPrintable(name));
    }
    // Opens the account menu from its button, chooses the item with the arrow keys, tabs through
    // every control of the sheet it opens, and closes it with Escape.
    void visitSheet(const QString &item)
    {
        focusByTab(QStringLiteral("accountMenuButton"));
        QObject *menu = m_app->object(QStringLiteral("accountMenu"));
        press(Qt::Key_Space);
        QTRY_VERIFY(menu->property("opened").toBool());
        VERIFY_ACCESSIBLE(m_app->window());
        const QQuickItem *target = m_app->find(item);
        for (int i = 0; i < 6 && !target->hasActiveFocus(); ++i)
            press(Qt::Key_Down);
        QVERIFY(target->hasActiveFocus());
        press(Qt::Key_Return);
        QTRY_VERIFY(focused() != m_app->window());
        QWindow *sheet = focused();
        QTRY_VERIFY(QTest::qWaitForWindowActive(sheet));
        m_app->settle(qobject_cast<QQuickWindow *>(sheet));
        VERIFY_ACCESSIBLE(sheet);
        // Every focusable control is met on one round of Tab, the close button first among them.
        QSet<QQuickItem *> reached;
        for (int i = 0; i < 12; ++i) {
            press(Qt::Key_Tab);
            reached.insert(qobject_cast<QQuickWindow *>(sheet)->activeFocusItem());
            QAccessible::queryAccessibleInterface(sheet)->childCount();
            VERIFY_ACCESSIBLE(sheet);
        }
        QStringList names;
        for (QQuickItem *control : std::as_const(reached))
            names << (control ? control->objectName() : QString());
        const QString close = QString(item).replace(QStringLiteral("Item"), QStringLiteral("Close"));
        QVERIFY2(names.contains(close) || names.contains(QStringLiteral("pricingClose")),
                 qPrintable(names.join(u',')));
        if (item == QStringLiteral("redeemItem"))
            QVERIFY2(names.contains(QStringLiteral("redeemButton")), qPrintable(names.join(u',')));
        press(Qt::Key_Escape);
        QTRY_VERIFY(!sheet->isVisible());
        QTRY_COMPARE(focused(), m_app->window());
    }

    StandInService m_service;
    std::unique_ptr<AppWindow> m_app;
    int m_mouseEvents = 0;
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
