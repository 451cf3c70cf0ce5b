// A Qt line edit for the insertion tests: qt_field TEXT CARET (CARET in UTF-16 units). Prints
// "ready" when the field has the keyboard focus and "text HEX" (UTF-8 bytes) after every change.

#include <QApplication>
#include <QLineEdit>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QLineEdit field;
    field.setWindowTitle("qt_field");
    field.setText(QString::fromUtf8(argc > 1 ? argv[1] : ""));
    field.setCursorPosition(argc > 2 ? std::atoi(argv[2]) : 0);
    QObject::connect(&field, &QLineEdit::textChanged, [](const QString& text) {
        std::printf("text %s\n", text.toUtf8().toHex().constData());
        std::fflush(stdout);
    });
    QObject::connect(&application, &QApplication::focusChanged, [&field](QWidget*, QWidget* now) {
        if (now == &field) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    });
    field.resize(400, 40);
    field.show();
    field.activateWindow();
    field.setFocus();
    return application.exec();
}
