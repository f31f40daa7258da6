// Shows the preview pane on the current display with a code snippet, the
// keyword list below and a filter match, then saves what the screen shows
// of it as a PNG. With `long-line` the snippet ends in a line too long to
// lay out at once, wrapped, so that its pieces and their breaks show.
//
//   previewshot OUTPUT.png [FILTER] [long-line]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetricsF>
#include <QRegExp>
#include <QScreen>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QWindow>

#include <cstdio>

#include "app/darklook.h"
#include "preview/highlighter.h"
#include "preview/textedit.h"
#include "settings/appdir.h"
#include "settings/settings.h"

namespace {
const char keywordList[] = "SingleLineComment=//.*$\n"
                           "int\n"
                           "char\n"
                           "const\n"
                           "for\n"
                           "if\n"
                           "return\n"
                           "##NOTWORD##\n"
                           "#[a-z]+\n";

const char16_t snippet[] = u"#include <stdio.h>\n"
                           u"// Count the blanks: \"a b\" gives 1\n"
                           u"int countBlanks(const char *s)\n"
                           u"{\n"
                           u"\tint n = 0;\t// tab before the comment\n"
                           u"\tfor (int i = 0; s[i]; ++i)\n"
                           u"\t\tif (s[i] == ' ' || s[i] == 0x20) n++;\n"
                           u"\treturn n; /* true, 42, 0x1F, abc123 */\n"
                           u"}\n"
                           u"\u3000全角の空白\u3000で始まる行 \"文字列\" false\n";

// A minified JSON document of `length` characters on one line.
QString longLine(int length)
{
    QString line = QStringLiteral("{\"items\":[");
    for (int i = 0; line.size() < length; ++i)
        line += QStringLiteral("{\"name\":\"count%1\",\"value\":%1,\"ok\":true},").arg(i);
    line.truncate(length);
    return line;
}

bool waitExposed(QWidget *widget)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (widget->windowHandle() && widget->windowHandle()->isExposed())
            return true;
    }
    return false;
}
}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setStyle(QStyleFactory::create(QStringLiteral("fusion")));
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: previewshot OUTPUT.png [FILTER] [long-line]\n");
        return 2;
    }
    const QString filter = args.value(2, QStringLiteral("count"));
    const bool withLongLine = args.value(3) == QLatin1String("long-line");

    QTemporaryDir dir;
    if (!dir.isValid() || !QDir(dir.path()).mkpath(QStringLiteral("list")))
        return 1;
    QFile list(dir.path() + QStringLiteral("/list/.lst"));
    if (!list.open(QIODevice::WriteOnly) || list.write(keywordList) < 0)
        return 1;
    list.close();
    AppDir::setOverride(dir.path());

    // The defaults of a fresh installation.
    Settings *settings = Settings::instance();
    settings->load();
    DarkLook::install(*settings, dir.path());

    TextEdit edit;
    edit.setWindowTitle(QStringLiteral("preview"));
    edit.setFont(settings->textFont);
    edit.setTabStopDistance(
        settings->tabcolm * QFontMetricsF(settings->textFont).horizontalAdvance(QLatin1Char(' ')));
    edit.setStyleSheet(QStringLiteral("QPlainTextEdit { background-color: %1; color: %2;"
                                      " selection-background-color: %3; selection-color: %4; }")
                           .arg(settings->backcolor.name(), settings->forecolor.name(),
                               settings->hlbackcolor.name(), settings->hlforecolor.name()));
    edit.setLineWrapMode(withLongLine ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    edit.highlighter->setFindExpression(QRegExp(filter, Qt::CaseInsensitive, QRegExp::RegExp), false);
    QString text = QString::fromUtf16(snippet);
    if (withLongLine)
        text += longLine(5000);
    edit.showText(text);
    edit.resize(760, 420);
    edit.move(20, 40);
    edit.show();
    if (!waitExposed(&edit)) {
        std::fprintf(stderr, "previewshot: the window was not shown\n");
        return 1;
    }
    if (withLongLine) {
        // The end of the first piece of the long line in the middle of the view.
        const QTextBlock first = edit.document()->findBlockByNumber(10);
        edit.verticalScrollBar()->setValue(first.firstLineNumber() + first.layout()->lineCount() - 6);
    }
    QElapsedTimer colouring;
    colouring.start();
    while (edit.highlighter->pendingLines() > 0 && colouring.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    edit.repaint();
    QApplication::processEvents();

    const QRect frame = edit.frameGeometry();
    const QPixmap shot = edit.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (shot.isNull() || !shot.save(args.at(1))) {
        std::fprintf(stderr, "previewshot: cannot save %s\n", qPrintable(args.at(1)));
        return 1;
    }
    std::printf("%s\n", qPrintable(args.at(1)));
    return 0;
}
