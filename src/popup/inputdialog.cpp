#include "inputdialog.h"
#include "ui_inputdialog.h"

#include "background/savequeue.h"
#include "changecoalescer.h"
#include "historycapture.h"
#include "inputtablemodel.h"
#include "lazyicon.h"
#include "listfilter.h"
#include "pastechords.h"
#include "preview/highlighter.h"
#include "platform/clipboardwatcher.h"
#include "settings/appdir.h"
#include "settings/savefailure.h"
#include "settings/settings.h"
#include "version/verupdialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QDebug>
#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QRegExp>
#include <QScreen>
#include <QShowEvent>

InputDialog::InputDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::inputDialog)
{
    // Frameless, no title bar, neither a tool window nor kept on top.
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);

    // The clipboard is watched from the start, before the tray icon tells
    // the user that quillet runs: a copy made right after is taken. The
    // reader's thread starts listening while the rest is built; its reports
    // wait for the event loop.
    clipboardWatcher = Platform::instance()->createClipboardWatcher(this);
    connect(clipboardWatcher, &ClipboardWatcher::changed, this, &InputDialog::onClipboardChanged);

    // The tray icon comes next: at start-up it is all the user sees, and
    // the tray host docks it while the rest of the popup is built.
    initTrayActions();
    initTrayIcon();
    connect(trayIcon, &QSystemTrayIcon::messageClicked, this, &InputDialog::onMessageClicked);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &InputDialog::onIconActivated);
    initIcon();
    trayIcon->setVisible(true);
    // The request to dock leaves now, not after the build. No event is
    // handled here: a clipboard report must not reach a popup half built.
    Platform::instance()->flushWindowRequests();

    ui->setupUi(this);

    Settings *settings = Settings::instance();
    settings->loadPendingHistory();
    ClipHistory = settings->history;

    setFont(settings->inpFont);
    setSizeGripEnabled(true);  // the frameless popup is resized through it
    ui->lineEdit->setFont(settings->inpFont);
    const int rowHeight = QFontMetrics(settings->inpFont).height() + 4;

    ui->chkCase->setChecked(settings->ignoreCase);
    ui->chkWord->setChecked(settings->word);
    resize(settings->size);

    model = new InputTableModel(this);
    ui->tableView->setModel(model);
    filter = new ListFilter(this);
    connect(filter, &ListFilter::matched, this, &InputDialog::onFilterMatched);
    connect(filter, &ListFilter::finished, this, &InputDialog::onFilterFinished);

    ui->tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tableView->verticalHeader()->setVisible(false);
    ui->tableView->verticalHeader()->setDefaultSectionSize(rowHeight);
    ui->tableView->setColumnWidth(0, ui->tableView->width());

    if (settings->tooltip) {
        ui->tableView->setToolTip(tr("①入力欄に文字列を入力すると、一覧表示が絞込されます。\n\n"
                                     "②[↑↓]orクリックで選択をすると、右側にプレビューを表示します。\n\n"
                                     "③[Enter]orダブルクリックでクリップボードに内容がコピーされます。\n\n"
                                     "④自動で起動ウインドウ側のカーソル位置に挿入(CTRL+V)されます\n\n"
                                     "クリップボードには、選択した内容が残っています。\n"));
        ui->lineEdit->setToolTip(tr("文字を入力すると下の一覧表示を絞込します。\n\n"
                                    "[↑↓]で選択行が移動します\n\n"
                                    "[ESC]でウインドウを閉じます\n"));
        ui->lblCount->setToolTip(tr("表示数／全数\n\n"
                                    "全数を増やしたい時は、quillet.ini の histmax=全数です。\n"));
    }

    ui->tableView->horizontalHeader()->setVisible(false);
    ui->tableView->setSortingEnabled(false);
    ui->tableView->setFont(settings->inpFont);
    // A row holds no more text than its width can show.
    model->setRowTextLimit(ui->tableView->visibleCharacters());
    connect(ui->tableView, &TableView::visibleCharactersChanged, model, &InputTableModel::setRowTextLimit);
    ui->tableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The selected row looks the same whether or not the list has the focus.
    ui->tableView->setStyleSheet(
        QStringLiteral("QTableView::item:selected:active { color: white; background: #505080; }")
        + QStringLiteral("QTableView::item:selected:!active{ color: white; background: #505080; }"));

    connect(ui->tableView, &TableView::CurrentChanged, this, &InputDialog::onCurrentChanged);

    ui->plainTextEdit->setFont(settings->textFont);
    ui->plainTextEdit->setTabStopDistance(
        settings->tabcolm * QFontMetrics(settings->textFont).horizontalAdvance(QLatin1Char(' ')));
    ui->plainTextEdit->setStyleSheet(
        QStringLiteral("QPlainTextEdit { color: %1 ; background-color: %2 ; selection-color: %3; "
                       "selection-background-color: %4;}")
            .arg(settings->forecolor.name(), settings->backcolor.name(), settings->hlforecolor.name(),
                settings->hlbackcolor.name()));

    ui->chkLineWrap->setChecked(settings->linewrap);
    on_chkLineWrap_clicked(settings->linewrap);

    model->setHistory(&ClipHistory);
    showAll();

    ui->lineEdit->setFocus(Qt::OtherFocusReason);
    ui->lineEdit->installEventFilter(this);

    // Of a run of clipboard changes only the newest content is taken, once
    // the event loop is free.
    clipboard = QGuiApplication::clipboard();
    saves = new SaveQueue(this);
    connect(saves, &SaveQueue::failed, this, &InputDialog::onSaveFailed);
    clipboardChanges = new ChangeCoalescer(this);
    connect(clipboardChanges, &ChangeCoalescer::settled, this, &InputDialog::dataChanged);

    // The form's own minimum is smaller than what its widgets need (the
    // preview alone asks for 500 pixels): never let the popup become so
    // small that the preview or the buttons are cut off.
    setMinimumSize(minimumSize().expandedTo(layout()->minimumSize()));
    resize(size().expandedTo(minimumSize()));
}

InputDialog::~InputDialog()
{
    // Every capture accepted so far reaches the disk before the popup goes.
    saves->finish();
    ui->lineEdit->removeEventFilter(this);
    delete quitAction;
    delete showAction;
    delete trayMenu;
    delete trayIcon;
    delete model;
    delete ui;
}

// ---------------------------------------------------------------- tray

void InputDialog::initTrayActions()
{
    showAction = new QAction(LazyIcon::fromFile(QStringLiteral(":/icon/quillet.png")), tr("画面表示"), this);
    connect(showAction, &QAction::triggered, this, &QWidget::showNormal);
    quitAction = new QAction(LazyIcon::fromFile(QStringLiteral(":/icon/exit.png")), tr("終了"), this);
    connect(quitAction, &QAction::triggered, this, &InputDialog::onQuit);
}

void InputDialog::initTrayIcon()
{
    trayMenu = new QMenu(this);
    trayMenu->addAction(showAction);
    trayMenu->addSeparator();
    trayMenu->addAction(quitAction);
    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setContextMenu(trayMenu);
}

void InputDialog::initIcon()
{
    // Read when first drawn: after the tray host took the icon.
    const QIcon icon = LazyIcon::fromFile(QStringLiteral(":/icon/quillet.png"));
    setWindowIcon(icon);
    trayIcon->setIcon(icon);
    trayIcon->setToolTip(tr("Quillet"));
}

void InputDialog::onIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    // A right click opens the context menu through the toolkit; double and
    // middle clicks do nothing of their own.
    if (reason == QSystemTrayIcon::Trigger)
        showNormal();
}

void InputDialog::onQuit()
{
    // Nothing is saved here: the files are written after every capture.
    trayIcon->setVisible(false);
    QCoreApplication::quit();
}

void InputDialog::prepareFirstShow()
{
    if (isVisible())
        return;
    grab();
    winId();
}

void InputDialog::showMessage(const QString &message)
{
    trayIcon->showMessage(tr("Quillet"), message, QSystemTrayIcon::NoIcon, 2000);
}

void InputDialog::onMessageClicked()
{
    showNormal();
}

void InputDialog::on_btnAbout_clicked()
{
    if (!versionMenu) {
        auto *versionAction
            = new QAction(QIcon(QStringLiteral(":/icon/quillet.png")), tr("(&V) バージョン"), this);
        versionAction->setStatusTip(tr("バージョン表示"));
        connect(versionAction, &QAction::triggered, this, &InputDialog::about);
        auto *qtAction
            = new QAction(QIcon(QStringLiteral(":/icon/qt-icon.png")), tr("(&Q) Ｑｔ について"), this);
        qtAction->setStatusTip(tr(" Ｑｔ ライブラリについて"));
        connect(qtAction, &QAction::triggered, qApp, &QApplication::aboutQt);
        versionMenu = new QMenu(this);
        versionMenu->addAction(versionAction);
        versionMenu->addAction(qtAction);
    }
    versionMenu->exec(QCursor::pos());
}

void InputDialog::about()
{
    verupdialog box(QStringLiteral("quillet"), QStringLiteral("1.00"),
        QPixmap(QStringLiteral(":/icon/quillet.png")), nullptr);
    box.exec();
}

// ---------------------------------------------------------------- capture

void InputDialog::onClipboardChanged(const ClipboardSnapshot &snapshot)
{
    ui->lineEdit->setClipboardText(snapshot.text);
    newestClipboard = snapshot;
    clipboardChanges->notify();
}

void InputDialog::dataChanged()
{
    const ClipboardSnapshot snapshot = newestClipboard;
    newestClipboard = ClipboardSnapshot();
    if (!HistoryCapture::capture(ClipHistory, snapshot, Settings::instance()->histmax, &historyUnique))
        return;
    showAll();
    saveSettings();
}

void InputDialog::saveSettings(bool purgeOlderCopies)
{
    Settings *settings = Settings::instance();
    settings->size = size();
    settings->ignoreCase = ui->chkCase->isChecked();
    settings->word = ui->chkWord->isChecked();
    settings->linewrap = ui->chkLineWrap->isChecked();
    settings->history = ClipHistory;
    saves->save(*settings, AppDir::path(), purgeOlderCopies);
}

void InputDialog::onSaveFailed(const QString &path, const QString &reason)
{
    if (!SaveFailure::report(path, reason))
        return;
    // Standard error is not seen on Windows: the tray says it too, once.
    if (trayIcon && trayIcon->isVisible())
        trayIcon->showMessage(tr("Quillet"),
            tr("%1 に保存できませんでした。\n履歴と設定は終了するまでメモリ上に保持されます。")
                .arg(QDir::toNativeSeparators(path)),
            QSystemTrayIcon::Warning, 15000);
}

// ---------------------------------------------------------------- list

void InputDialog::updateCount()
{
    ui->lblCount->setText(QStringLiteral("%1/%2").arg(model->rowCount()).arg(ClipHistory.size()));
}

void InputDialog::applyFilter(const QString &text)
{
    refilter(text, 0, false);
}

bool InputDialog::isFiltering() const
{
    return filter->isRunning();
}

// Filters for `text` and makes `row` current once the list has it; after a
// deletion, the last row when the list ends up shorter.
void InputDialog::refilter(const QString &text, int row, bool afterDrop)
{
    // Only the text before the caret filters.
    const int pos = ui->lineEdit->cursorPosition();
    const QString prefix = text.left(pos);
    const Qt::CaseSensitivity mode = ui->chkCase->isChecked() ? Qt::CaseInsensitive : Qt::CaseSensitive;

    // The preview highlights the prefix as a regular expression; the list
    // below matches it as plain text.
    const QString pattern
        = ui->chkWord->isChecked() ? QStringLiteral("\\b") + prefix + QStringLiteral("\\b") : prefix;
    // The new current row replaces the preview's text, which colours it
    // with the new expression; only a preview that keeps its text is
    // coloured again once the search ends, so that no text is coloured twice.
    ui->plainTextEdit->highlighter->setFindExpression(QRegExp(pattern, mode, QRegExp::RegExp), false);
    previewsAtFilter = previewsShown;

    ui->tableView->blockSignals(true);
    model->resetRows();
    ui->tableView->blockSignals(false);

    if (pos <= 0) {
        showAll();
        if (afterDrop) {
            wantedRow = row;
            afterDeletion = true;
            selectWantedRow(true);
        }
        ui->tableView->update();
        onFilterFinished();
        return;
    }
    // The first slice runs now: with a history of ordinary size it is the
    // whole search, and a huge one shows its first rows at once.
    wantedRow = row;
    afterDeletion = afterDrop;
    filter->start(ClipHistory, prefix, mode);
    filter->runSlice();
    updateCount();
    ui->tableView->update();
}

void InputDialog::onFilterMatched(const QVector<int> &positions)
{
    model->appendRows(positions);
    selectWantedRow(false);
    updateCount();
    ui->tableView->update();
}

void InputDialog::onFilterFinished()
{
    selectWantedRow(true);
    updateCount();
    // With no match nothing is current and the preview keeps its text,
    // coloured for the new filter.
    if (previewsShown == previewsAtFilter)
        ui->plainTextEdit->highlighter->recolour();
}

// Makes the wanted row current as soon as the list has it. Once the list is
// `complete` and shorter: after a deletion its last row, or an empty
// preview for an empty list; otherwise nothing is current.
void InputDialog::selectWantedRow(bool complete)
{
    if (wantedRow < 0)
        return;
    const int n = model->rowCount();
    if (n > wantedRow) {
        ui->tableView->setCurrentIndex(model->index(wantedRow, 0));
    } else if (!complete) {
        return;
    } else if (afterDeletion && n > 0) {
        ui->tableView->setCurrentIndex(model->index(n - 1, 0));
    } else if (afterDeletion) {
        ui->plainTextEdit->showText(QString());
    }
    wantedRow = -1;
    afterDeletion = false;
}

// Return pastes the current row. While the search runs and has found
// nothing yet, it searches on until the row to paste is known.
void InputDialog::settleCurrentRow()
{
    while (filter->isRunning() && !ui->tableView->currentIndex().isValid())
        filter->runSlice();
}

int InputDialog::showAll()
{
    // Whatever a search would still add belongs to the list being replaced.
    filter->stop(ClipHistory);
    wantedRow = -1;
    afterDeletion = false;

    ui->tableView->blockSignals(true);
    model->resetRows();
    ui->tableView->blockSignals(false);

    const int n = ClipHistory.size();
    QVector<int> &rows = model->rowMap();
    rows.clear();
    rows.reserve(n);
    for (int i = 0; i < n; ++i)
        rows.append(i);

    ui->tableView->blockSignals(true);
    model->setRowCount(n);
    ui->tableView->blockSignals(false);
    updateCount();
    return n;
}

void InputDialog::dropCurrentRow()
{
    skipFilter = true;
    const QModelIndex current = ui->tableView->currentIndex();
    const int row = current.isValid() ? current.row() : -1;
    const int at = model->position(row);
    if (at < 0)
        return;

    // The user removes an entry most often because it was a secret: it
    // leaves the history, and no file keeps an older copy of it.
    ClipHistory.removeAt(at);
    saveSettings(true);

    // The same row number becomes current once the search has found it.
    refilter(ui->lineEdit->text(), row, true);
    ui->tableView->update();
}

void InputDialog::onCurrentChanged(const QModelIndex &current, const QModelIndex &)
{
    const int at = model->position(current.isValid() ? current.row() : -1);
    if (at < 0)
        return;
    ui->tableView->scrollTo(current, QAbstractItemView::EnsureVisible);
    ui->plainTextEdit->showText(ClipHistory.at(at));
    ++previewsShown;
}

void InputDialog::on_chkWord_clicked()
{
    applyFilter(ui->lineEdit->text());
}

void InputDialog::on_chkCase_clicked()
{
    applyFilter(ui->lineEdit->text());
}

void InputDialog::on_lineEdit_textChanged(const QString &arg1)
{
    if (!skipFilter)
        applyFilter(arg1);
}

// ---------------------------------------------------------------- paste

void InputDialog::captureTarget()
{
    targetWindow = 0;
    caretAt = QPoint();
    Platform *platform = Platform::instance();
    const quint32 self = platform->currentThreadId();
    const Platform::WindowId foreground = platform->foregroundWindow();
    if (!foreground)
        return;
    const quint32 foregroundThread = platform->windowThreadId(foreground);
    if (!self || !foregroundThread)
        return;
    // Attached, the foreground thread's focus and caret can be read here.
    if (!platform->attachThreadInput(self, foregroundThread, true))
        return;
    QPoint caret;
    if (!platform->caretPosition(&caret)) {
        qDebug().noquote() << QStringLiteral("キャレット座標取得失敗");
        caret = QPoint();
    }
    targetWindow = platform->focusWindow();
    QRect rect;
    if (targetWindow && !platform->windowRect(targetWindow, &rect))
        rect = QRect();
    caretAt = QPoint(qMax(0, rect.left() + caret.x()), qMax(0, rect.top() + caret.y()));
    platform->attachThreadInput(self, foregroundThread, false);
}

void InputDialog::takeForeground()
{
    // With the foreground thread's input attached to ours, the popup shown
    // right after this can become active and take the keyboard.
    Platform *platform = Platform::instance();
    const Platform::WindowId foreground = platform->foregroundWindow();
    const quint32 foregroundThread = platform->windowThreadId(foreground);
    platform->attachThreadInput(foregroundThread, platform->currentThreadId(), true);
    platform->setForegroundWindow(foreground);
}

void InputDialog::pasteEntry(const QModelIndex &index)
{
    const int at = model->position(index.isValid() ? index.row() : -1);
    Platform *platform = Platform::instance();
    // The chord is looked up first, so that from the hide to the keys
    // nothing holds up the hand-over of the foreground.
    const QVector<quint32> keys = PasteChords::keys(Settings::instance()->pasteChords.chordFor(
        at >= 0 && targetWindow ? platform->windowClasses(targetWindow) : QStringList()));
    hide();
    // An empty list has no entry to paste: hiding is all.
    if (at < 0)
        return;
    ui->tableView->setCurrentIndex(index);
    const QString entry = ClipHistory.at(at);

    ui->tableView->blockSignals(true);
    clipboard->setText(entry, QClipboard::Clipboard);
    // Shift+Insert pastes the PRIMARY selection in xterm and rxvt.
    if (clipboard->supportsSelection())
        clipboard->setText(entry, QClipboard::Selection);
    ui->tableView->blockSignals(false);

    if (!targetWindow)
        return;  // the entry stays on the clipboard
    platform->setForegroundWindow(targetWindow);
    // Only the chord's own keys: whatever else the user still holds stays
    // as it is.
    for (const quint32 vk : keys)
        platform->injectKey(vk, 0);
    for (auto vk = keys.crbegin(); vk != keys.crend(); ++vk)
        platform->injectKey(*vk, Keys::KeyEventKeyUp);
}

void InputDialog::on_tableView_doubleClicked(const QModelIndex &index)
{
    pasteEntry(index);
}

// ---------------------------------------------------------------- window

bool InputDialog::eventFilter(QObject *obj, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(obj, event);

    skipFilter = false;
    const auto *keyEvent = static_cast<QKeyEvent *>(event);
    switch (keyEvent->key()) {
    case Qt::Key_Escape:
        reject();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        settleCurrentRow();
        pasteEntry(ui->tableView->currentIndex());
        break;
    case Qt::Key_Delete:
        if (QGuiApplication::keyboardModifiers() == Qt::ShiftModifier) {
            dropCurrentRow();
            return true;
        }
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        // The list moves its current row; the line edit still gets the key
        // but its text change, if any, does not re-filter.
        skipFilter = true;
        if (obj != ui->tableView)
            QCoreApplication::postEvent(ui->tableView,
                new QKeyEvent(QEvent::KeyPress, keyEvent->key(), Qt::NoModifier, QString(), false, 1));
        break;
    default:
        break;
    }
    return QDialog::eventFilter(obj, event);
}

void InputDialog::mousePressEvent(QMouseEvent *event)
{
    pressPos = QPointF(event->localPos().toPoint());
    dragging = true;
}

void InputDialog::mouseReleaseEvent(QMouseEvent *)
{
    dragging = false;
}

void InputDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging)
        return;
    const QPointF delta = QPointF(event->localPos().toPoint()) - pressPos;
    window()->move(window()->pos() + delta.toPoint());
}

void InputDialog::closeEvent(QCloseEvent *event)
{
    // While the tray icon is there, closing only hides the popup.
    if (trayIcon && trayIcon->isVisible()) {
        hide();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void InputDialog::showEvent(QShowEvent *event)
{
    // A spontaneous show is the window system restoring a popup that is
    // already up (after a minimise): the target and the view stay as they are.
    if (event->spontaneous()) {
        QDialog::showEvent(event);
        return;
    }
    captureTarget();
    takeForeground();
    keepOnScreen();
    QDialog::showEvent(event);
    resetView();
    // Without a window manager an X11 window takes the keyboard only when
    // asked; elsewhere this is what the attachment above already allows.
    activateWindow();
}

void InputDialog::keepOnScreen()
{
    // A monitor unplugged or a resolution changed since the last show can
    // leave the popup where nobody sees it: bring it under the mouse then.
    const QRect frame = frameGeometry();
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        if (screen->availableGeometry().intersects(frame))
            return;
    }
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect placed = frame;
    placed.moveCenter(screen->availableGeometry().center());
    move(placed.topLeft());
}

void InputDialog::resetView()
{
    // The filter is emptied first, so that its re-filtering does not undo
    // the current row chosen below.
    skipFilter = false;
    ui->lineEdit->setText(QString());
    // A box that was empty already did not filter again: the list may still
    // hold, or be searching for, the rows of an older text.
    if (filter->isRunning() || model->rowCount() != ClipHistory.size())
        showAll();
    if (!ClipHistory.isEmpty())
        ui->tableView->setCurrentIndex(model->index(0, 0));
    ui->lineEdit->setFocus(Qt::OtherFocusReason);
}

void InputDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}

// ---------------------------------------------------------------- view

void InputDialog::on_btnClose_clicked()
{
    close();
}

void InputDialog::on_chkLineWrap_clicked(bool checked)
{
    ui->plainTextEdit->setLineWrapMode(checked ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void InputDialog::on_btnZoomIn_clicked()
{
    zoom(1);
}

void InputDialog::on_btnZoomOut_clicked()
{
    zoom(-1);
}

void InputDialog::zoom(int step)
{
    // The filter line, the row height and the tab stops keep their sizes.
    // No font goes below one point.
    Settings *settings = Settings::instance();
    settings->textFont.setPointSize(qMax(1, settings->textFont.pointSize() + step));
    ui->plainTextEdit->setFont(settings->textFont);
    settings->inpFont.setPointSize(qMax(1, settings->inpFont.pointSize() + step));
    ui->tableView->setFont(settings->inpFont);
}
