#include "dialog_form.h"

#include <QCloseEvent>
#include <QKeyEvent>

TDialogForm::TDialogForm(const QString &caption, QSize clientSize, bool closeBox, QWidget *parent)
    : QDialog(parent), closeBox(closeBox)
{
    setWindowTitle(caption);
    setFixedSize(clientSize);
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeBox)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
}

void TDialogForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDialogForm::closeEvent(QCloseEvent *event)
{
    // Without a close box only the dialog's own buttons close it.
    if (!closeBox) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
