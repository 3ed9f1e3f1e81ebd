import QtQuick
import Velmora

// A sheet: a window of its own over the window it belongs to, which it keeps from input while it is
// shown. It shows while `shown` is true; its content is made anew at each showing and goes when it
// closes. Escape and the window's own close button ask for it to be dismissed.
Window {
    id: sheet

    required property bool shown
    // The content's file and what it is given, made anew at each showing.
    required property url content
    required property var contentProperties
    // Sized by its content rather than by width and height, and kept centred as that grows.
    property bool fitsContent: false
    readonly property size contentSize: fitsContent && body.item
                                        ? Qt.size(body.implicitWidth, body.implicitHeight)
                                        : Qt.size(0, 0)

    signal dismissed()

    modality: Qt.WindowModal
    // A title and a close button, but no maximise button.
    flags: Qt.Dialog | Qt.CustomizeWindowHint | Qt.WindowTitleHint | Qt.WindowCloseButtonHint
    visible: false

    function present() {
        if (shown) {
            body.setSource(content, contentProperties)
            body.active = true
            WindowFrame.showSheet(sheet)
        } else {
            WindowFrame.hideSheet(sheet)
            body.active = false
        }
    }

    onShownChanged: present()
    onContentSizeChanged: WindowFrame.placeSheet(sheet, contentSize)
    Component.onCompleted: if (shown) present()
    // Accepted, so that quitting the application is never held up by a sheet.
    onClosing: sheet.dismissed()

    Loader {
        id: body
        anchors.fill: parent
        active: false
        focus: true
        // Reached only when nothing inside took the key, such as an open alert.
        Keys.onEscapePressed: sheet.dismissed()
    }
}
