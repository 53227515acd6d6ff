#pragma once

#include <QDialog>

// A dialog form of fixed size, with the keyboard rules of a classic dialog: Esc closes nothing
// (no button is a cancel button), the close box exists only where the form declares it, the
// first control of the tab order has the focus at each showing, and Tab treats each group of
// radio buttons as one stop, its checked button.
class DialogForm : public QDialog
{
    Q_OBJECT

public:
    DialogForm(const QString &caption, QSize clientSize, bool closeBox, QWidget *parent = nullptr);

    void setVisible(bool visible) override;

    // The first control of the tab order, which has the focus each time the dialog is shown;
    // without one, the first that takes the focus.
    QWidget *ActiveControl = nullptr;

protected:
    // What only a dialog on the screen needs, such as measuring its texts and reading its
    // pictures, is done right before it is first shown: the program makes its dialogs when it
    // starts, and most runs never open some of them.
    virtual void prepareShowing() {}

    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    bool closeBox;
    bool prepared = false;
};
