import QtQuick
import QtQuick.Controls.Basic
import Velmora

// The pricing sheet's cards, all of one width: side by side sharing the list's width when the
// widest of them fits that many times in the room there is, else scrolling. Only the cards in view
// are made, so any number of plans opens at once; the arrow keys, Home and End move through them.
ListView {
    id: cards

    // The widest the list may grow.
    required property real room
    // The widest card's own width among those made for these plans. It only grows: cards going out
    // of view must not make the row seem to fit again.
    property real widestCard: 0
    readonly property real gaps: Math.max(0, count - 1) * spacing
    readonly property bool fits: count * widestCard + gaps <= room
    // Never narrower than the widest, also while the list is still taking its width.
    readonly property real cardWidth: fits ? Math.max(widestCard, (width - gaps) / Math.max(1, count))
                                           : Math.min(widestCard, room)

    function measured(ownWidth: real) {
        widestCard = Math.max(widestCard, ownWidth)
    }
    // Other plans: measured anew from the cards there are, whether or not they are made yet.
    function remeasure() {
        let widest = 0
        for (const card of contentItem.children)
            widest = Math.max(widest, card.implicitWidth)
        widestCard = widest
    }

    implicitWidth: Math.min(count * widestCard + gaps, room)
    // The scroll bar goes below the cards, not over their buttons.
    implicitHeight: contentItem.childrenRect.height + (scrollBar.visible ? scrollBar.height : 0)
    orientation: ListView.Horizontal
    spacing: 20
    clip: true
    boundsBehavior: Flickable.StopAtBounds
    onCountChanged: remeasure()

    ScrollBar.horizontal: ScrollBar {
        id: scrollBar
        objectName: "planScrollBar"
        // Past the rounding of shared widths.
        policy: cards.contentWidth > cards.width + 1 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        Accessible.name: qsTr("Plans")
    }
    Keys.onPressed: (event) => {
        if (event.key === Qt.Key_Home) {
            cards.currentIndex = 0
            cards.positionViewAtBeginning()
        } else if (event.key === Qt.Key_End) {
            cards.currentIndex = cards.count - 1
            cards.positionViewAtEnd()
        } else {
            return
        }
        event.accepted = true
    }

    // Each card takes the common width and tells the list its own.
    delegate: PlanRow {
        readonly property PlanCards cards: ListView.view as PlanCards

        function measure() {
            if (cards)
                cards.measured(implicitWidth)
        }

        width: cards ? cards.cardWidth : implicitWidth
        onCardsChanged: measure()
        onImplicitWidthChanged: measure()
        onBuy: cards.model.buy(index)
    }
}
