import QtQuick

// The sign-in step: the name, the promise and "Continue With Apple", which opens the sign-in page
// in the browser; the address the browser sends back (through the shell) completes it.
Item {
    id: view
    property var appState
    property var shell: null
    readonly property var page: appState ? appState.makeSignUpPage() : null

    Connections {
        target: view.shell
        ignoreUnknownSignals: true
        function onUrlOpened(url) { if (view.page) view.page.handleOAuthCallback(url) }
    }

    Column {
        anchors.fill: parent
        PageText {
            id: brand
            objectName: "signUpBrand"
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Parlune"
            size: 16
            alpha: 0.4
        }
        Item {
            width: 1
            height: (parent.height - brand.height - promise.height - continueButton.height) / 2
        }
        PageText {
            id: promise
            objectName: "signUpPromise"
            anchors.horizontalCenter: parent.horizontalCenter
            text: "AI transcription that writes\nlike you write."
            horizontalAlignment: Text.AlignHCenter
            size: 16
        }
        Item {
            width: 1
            height: (parent.height - brand.height - promise.height - continueButton.height) / 2
        }
        ContinueButton {
            id: continueButton
            objectName: "signUpContinue"
            width: parent.width
            title: "Continue With Apple"
            isLoading: view.page ? view.page.isLoading : false
            onAction: view.page.signInWithApple()
        }
    }
}
