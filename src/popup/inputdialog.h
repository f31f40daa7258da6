#ifndef INPUTDIALOG_H
#define INPUTDIALOG_H

#include "platform/clipboardsnapshot.h"
#include "platform/platform.h"

#include <QDialog>
#include <QModelIndex>
#include <QPointF>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QVector>

namespace Ui {
class inputDialog;
}
class ChangeCoalescer;
class ClipboardWatcher;
class SaveQueue;
class InputTableModel;
class ListFilter;
class QAction;
class QClipboard;
class QMenu;

// The popup chooser: a frameless dialog that lists the clipboard history,
// narrows it by the text typed into its filter line, previews the selected
// entry and pastes the chosen one into the window the user was typing in.
// It also owns the tray icon with its menu.
class InputDialog : public QDialog
{
    Q_OBJECT

public:
    explicit InputDialog(QWidget *parent = nullptr);
    ~InputDialog() override;

    // Writes "shown/total" into the count label.
    void updateCount();
    // The end of every show: empty filter, row 0 current, focus on the filter.
    void resetView();
    // Draws the hidden popup once off screen and makes its native window, so
    // that the first real show finds fonts, style, layout and window ready
    // instead of making them while the user waits.
    void prepareFirstShow();

    // Narrows the list to the entries holding the text before the caret.
    // The search runs in short slices: the list, the count and row 0 show
    // what it has found so far while the rest follows from the event loop.
    void applyFilter(const QString &text);
    // Whether a search of the filter still runs.
    bool isFiltering() const;
    // Lists every entry; returns how many there are.
    int showAll();
    // Deletes the current entry from the history for good (Shift+Delete).
    void dropCurrentRow();

    // Records the window with the keyboard focus in the foreground
    // application as the paste target.
    void captureTarget();
    // Hides the popup, puts the entry of `index` on the clipboard and pastes
    // it into the recorded target.
    void pasteEntry(const QModelIndex &index);

    // Stores the popup's state and the history into the settings and has
    // them written in the background; `purgeOlderCopies` leaves no older
    // copy of the history on disk.
    void saveSettings(bool purgeOlderCopies = false);
    // The saves in the background; the popup's destruction waits for them.
    SaveQueue *saveQueue() const { return saves; }

    void initTrayActions();
    void initTrayIcon();
    void initIcon();

    const QStringList &history() const { return ClipHistory; }
    Platform::WindowId target() const { return targetWindow; }
    QPoint caretPoint() const { return caretAt; }
    InputTableModel *tableModel() const { return model; }
    ListFilter *listFilter() const { return filter; }
    QSystemTrayIcon *tray() const { return trayIcon; }
    QMenu *trayContextMenu() const { return trayMenu; }
    QMenu *aboutMenu() const { return versionMenu; }

protected:
    bool eventFilter(QObject *obj, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

public slots:
    void onIconActivated(QSystemTrayIcon::ActivationReason reason);
    void onQuit();
    void showMessage(const QString &message);
    void onMessageClicked();
    // The watcher's report of a new clipboard content; the capture takes the
    // newest one once the event loop is free.
    void onClipboardChanged(const ClipboardSnapshot &snapshot);
    void dataChanged();
    void onCurrentChanged(const QModelIndex &current, const QModelIndex &previous);
    // A save failed: said once on standard error and as a tray balloon.
    void onSaveFailed(const QString &path, const QString &reason);
    void on_tableView_doubleClicked(const QModelIndex &index);
    void on_chkWord_clicked();
    void on_chkCase_clicked();
    void on_lineEdit_textChanged(const QString &arg1);
    void on_btnClose_clicked();
    void on_chkLineWrap_clicked(bool checked);
    void on_btnZoomIn_clicked();
    void on_btnZoomOut_clicked();
    void on_btnAbout_clicked();
    void about();

private:
    void refilter(const QString &text, int row, bool afterDrop);
    void onFilterMatched(const QVector<int> &positions);
    void onFilterFinished();
    void selectWantedRow(bool complete);
    void settleCurrentRow();
    void zoom(int step);
    void takeForeground();
    void keepOnScreen();

    QSystemTrayIcon *trayIcon = nullptr;
    QMenu *trayMenu = nullptr;
    QAction *showAction = nullptr;
    QAction *quitAction = nullptr;
    InputTableModel *model = nullptr;
    ListFilter *filter = nullptr;
    Ui::inputDialog *ui;
    QMenu *versionMenu = nullptr;
    QClipboard *clipboard = nullptr;
    ClipboardWatcher *clipboardWatcher = nullptr;
    ChangeCoalescer *clipboardChanges = nullptr;
    SaveQueue *saves = nullptr;
    // The newest content the watcher reported and the capture has not taken.
    ClipboardSnapshot newestClipboard;
    Platform::WindowId targetWindow = 0;
    QStringList ClipHistory;
    // Whether ClipHistory is known to hold no duplicates (the loaded list
    // may), which lets a capture look for the one copy of the new text.
    bool historyUnique = false;
    bool skipFilter = false;
    // Texts put into the preview so far; tells the filter whether the
    // preview got a new text.
    int previewsShown = 0;
    int previewsAtFilter = 0;
    // The row the running search makes current once it has found it (-1:
    // none); after a deletion, the last row if fewer are found, or an empty
    // preview if none.
    int wantedRow = -1;
    bool afterDeletion = false;
    QPointF pressPos;
    bool dragging = false;
    // Where the target's caret was at the last capture (kept, not used for
    // placing the popup, which opens where the user left it).
    QPoint caretAt;
};

#endif  // INPUTDIALOG_H
