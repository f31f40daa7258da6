// The keyword list file followed by the colouring of arbitrary text.
//
// Input: the bytes of list/.lst, a NUL byte, the text shown in the preview;
// a second NUL byte, if any, ends the text and starts the filter expression
// (what the user types into the popup's filter line).

#include "fuzzsupport.h"

#include "preview/highlighter.h"
#include "settings/appdir.h"
#include "settings/settings.h"

#include <QTextBlock>
#include <QTextDocument>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    const int firstNul = input.indexOf('\0');
    const QByteArray list = firstNul < 0 ? input : input.left(firstNul);
    QByteArray text = firstNul < 0 ? QByteArray() : input.mid(firstNul + 1);
    const int secondNul = text.indexOf('\0');
    QByteArray filter;
    if (secondNul >= 0) {
        filter = text.mid(secondNul + 1);
        text.truncate(secondNul);
    }

    static const QString directory = fuzz::scratchDirectory();
    static const bool listDirectory = QDir().mkpath(directory + QStringLiteral("/list"));
    FUZZ_CHECK(listDirectory);
    fuzz::writeFile(directory + QStringLiteral("/list/.lst"), list);
    AppDir::setOverride(directory);

    // One document and highlighter serve every run, as in the preview.
    static QTextDocument document;
    static Highlighter *highlighter = new Highlighter(&document);
    document.clear();
    highlighter->loadKeywordList(QString());
    document.setPlainText(QString::fromUtf8(text));
    if (!filter.isEmpty())
        highlighter->setFindExpression(QRegExp(QString::fromUtf8(filter), Qt::CaseInsensitive));
    // Every format lies inside its block.
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
            FUZZ_CHECK(range.start >= 0 && range.length > 0);
            FUZZ_CHECK(range.start + range.length <= block.length());
        }
    }
    AppDir::setOverride(QString());
    return 0;
}
