#pragma once

#include <QDialog>

// A dialog form of fixed size. Esc closes nothing (no button is a cancel button); the close box
// exists only where the form declares it.
class TDialogForm : public QDialog
{
    Q_OBJECT

public:
    TDialogForm(const QString &caption, QSize clientSize, bool closeBox, QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool closeBox;
};
