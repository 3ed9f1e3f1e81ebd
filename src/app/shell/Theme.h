#pragma once
// The screens' colours, type sizes and spacings, in one place; the artwork keeps its own.

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

class Theme : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The blue of the primary buttons, the plan cards and a ticked box, and what stands on it.
    Q_PROPERTY(QColor accent MEMBER m_accent CONSTANT)
    Q_PROPERTY(QColor accentPressed MEMBER m_accentPressed CONSTANT)
    Q_PROPERTY(QColor textOnAccent MEMBER m_textOnAccent CONSTANT)
    // The ring around the control that has the keyboard, on a light ground and on the accent.
    Q_PROPERTY(QColor focusRing MEMBER m_focusRing CONSTANT)
    Q_PROPERTY(QColor focusRingOnAccent MEMBER m_focusRingOnAccent CONSTANT)

    Q_PROPERTY(QColor text MEMBER m_text CONSTANT)
    Q_PROPERTY(QColor secondaryText MEMBER m_secondaryText CONSTANT)
    Q_PROPERTY(QColor placeholderText MEMBER m_placeholderText CONSTANT)
    Q_PROPERTY(QColor link MEMBER m_link CONSTANT)
    Q_PROPERTY(QColor errorText MEMBER m_errorText CONSTANT)
    Q_PROPERTY(QColor alertButtonText MEMBER m_alertButtonText CONSTANT)

    Q_PROPERTY(QColor fieldBackground MEMBER m_fieldBackground CONSTANT)
    Q_PROPERTY(QColor fieldBorder MEMBER m_fieldBorder CONSTANT)
    Q_PROPERTY(QColor boxBorder MEMBER m_boxBorder CONSTANT)
    Q_PROPERTY(QColor symbol MEMBER m_symbol CONSTANT)
    Q_PROPERTY(QColor closeSymbol MEMBER m_closeSymbol CONSTANT)
    Q_PROPERTY(QColor closeSymbolPressed MEMBER m_closeSymbolPressed CONSTANT)
    Q_PROPERTY(QColor accountSymbol MEMBER m_accountSymbol CONSTANT)
    Q_PROPERTY(QColor menuBar MEMBER m_menuBar CONSTANT)
    // One of five layers of a card button's soft shadow: black at a third in all.
    Q_PROPERTY(QColor shadowLayer MEMBER m_shadowLayer CONSTANT)

    // The login screen's light scheme, whatever the desktop's.
    Q_PROPERTY(QColor lightWindow MEMBER m_lightWindow CONSTANT)
    Q_PROPERTY(QColor lightButton MEMBER m_lightButton CONSTANT)
    Q_PROPERTY(QColor lightMid MEMBER m_lightMid CONSTANT)
    Q_PROPERTY(QColor lightDark MEMBER m_lightDark CONSTANT)

    // Type sizes: the original desktop's points, one pixel each.
    Q_PROPERTY(int footnoteSize MEMBER m_footnoteSize CONSTANT)
    Q_PROPERTY(int bodySize MEMBER m_bodySize CONSTANT)
    Q_PROPERTY(int subtitleSize MEMBER m_subtitleSize CONSTANT)
    Q_PROPERTY(int statusSize MEMBER m_statusSize CONSTANT)
    Q_PROPERTY(int priceSize MEMBER m_priceSize CONSTANT)
    Q_PROPERTY(int largeTitleSize MEMBER m_largeTitleSize CONSTANT)

    Q_PROPERTY(int cornerRadius MEMBER m_cornerRadius CONSTANT)

public:
    using QObject::QObject;

private:
    // The blue of the primary buttons, the plan cards and a ticked box, and what stands on it.
    const QColor m_accent = QColor(0x2563eb);
    const QColor m_accentPressed = QColor(0x1d4ed8);
    const QColor m_textOnAccent = QColor(Qt::white);
    // The ring around the control that has the keyboard, on a light ground and on the accent.
    const QColor m_focusRing = QColor(0x3b82f6);
    const QColor m_focusRingOnAccent = QColor(0x93c5fd);

    const QColor m_text = QColor(Qt::black);
    const QColor m_secondaryText = QColor(0x808080);
    const QColor m_placeholderText = QColor(0x8a8a8a);
    const QColor m_link = QColor(Qt::blue);
    const QColor m_errorText = QColor(Qt::red);
    const QColor m_alertButtonText = QColor(0xc62828);

    const QColor m_fieldBackground = QColor(Qt::white);
    const QColor m_fieldBorder = QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.7f);
    const QColor m_boxBorder = QColor(0x8a8a8a);
    const QColor m_symbol = QColor(0x8a8a8e);
    const QColor m_closeSymbol = QColor(0x808080);
    const QColor m_closeSymbolPressed = QColor(0x5a5a5a);
    const QColor m_accountSymbol = QColor(0x1f6feb);
    const QColor m_menuBar = QColor(0xececec);
    // One of five layers of a card button's soft shadow: black at a third in all.
    const QColor m_shadowLayer = QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.33f / 5);

    // The login screen's light scheme, whatever the desktop's.
    const QColor m_lightWindow = QColor(Qt::white);
    const QColor m_lightButton = QColor(0xe8e8e8);
    const QColor m_lightMid = QColor(0xa0a0a0);
    const QColor m_lightDark = QColor(0x505050);

    // Type sizes: the original desktop's points, one pixel each.
    const int m_footnoteSize = 10;
    const int m_bodySize = 13;
    const int m_subtitleSize = 18;
    const int m_statusSize = 20;
    const int m_priceSize = 22;
    const int m_largeTitleSize = 26;

    const int m_cornerRadius = 2;
};
