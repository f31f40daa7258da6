// A paste target for the end-to-end tests: a window with one line edit that
// takes the keyboard focus when shown.
// Usage: targetwindow OUT_FILE [TITLE]
//   OUT_FILE          the line edit's text, rewritten on every change
//   OUT_FILE.focus    "1" while the window is active, "0" otherwise
//   OUT_FILE.id       the X window id, once the window is shown
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QSaveFile>
#include <QVBoxLayout>
#include <QWindow>
#include <QWidget>

namespace {
void writeFile(const QString &path, const QByteArray &bytes)
{
    // Written whole and renamed into place, so a reader never sees half.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
        file.commit();
    }
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        qWarning("usage: targetwindow OUT_FILE [TITLE]");
        return 2;
    }
    const QString out = args.at(1);
    QWidget window;
    window.setWindowTitle(args.size() > 2 ? args.at(2) : QStringLiteral("quillet-target"));
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new QLineEdit(&window);
    layout->addWidget(edit);
    window.resize(400, 80);
    window.move(100, 200);

    writeFile(out, QByteArray());
    QObject::connect(
        edit, &QLineEdit::textChanged, edit, [out](const QString &text) { writeFile(out, text.toUtf8()); });
    QObject::connect(&app, &QGuiApplication::focusWindowChanged, &window, [&window, out](QWindow *focus) {
        const bool active = focus && focus == window.windowHandle();
        writeFile(out + QStringLiteral(".focus"), active ? "1" : "0");
    });

    window.show();
    window.activateWindow();
    edit->setFocus();
    writeFile(out + QStringLiteral(".id"), QByteArray::number(qulonglong(window.winId())));
    return app.exec();
}
