#ifndef TEXTEDIT_H
#define TEXTEDIT_H

#include <QPlainTextEdit>

class Highlighter;

// The preview pane: shows the selected entry, coloured by its highlighter,
// with marks for tabs, full-width spaces, line ends and the end of the text.
class TextEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TextEdit(QWidget *parent = nullptr);
    ~TextEdit() override;

    Highlighter *highlighter = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;
};

#endif  // TEXTEDIT_H
