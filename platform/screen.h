#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QDialog;
class QWidget;

// Which form is active, and each form's activation: it fires when the focus enters a form from
// another form of the program. Switching to another program and back leaves the active form as
// it was, and closing a modal dialog hands the focus back to the form that held it without
// firing anything.
class TScreen : public QObject
{
    Q_OBJECT

public:
    explicit TScreen(QObject *parent = nullptr);
    ~TScreen() override;

    // `onActivate` is the form's OnActivate. A frame names the child it hands the focus to, so
    // that its own activation fires only when it has no active child.
    void RegisterForm(QWidget *form, std::function<void()> onActivate = {},
                      std::function<QWidget *()> activeChild = {});
    // A form's destructor calls this first: a form being torn down gets no more events.
    void UnregisterForm(QWidget *form);
    // Widgets of a form that are no controls of their own (a frame's client area): the focus
    // landing there enters no form.
    void RegisterPassive(QWidget *widget);

    QWidget *ActiveForm() const { return active; }
    std::function<void(QObject *Sender)> OnActiveFormChange;

    // Shows the dialog modally; its activation fires once it is on screen. Afterwards the dialog
    // is only hidden.
    int ShowModal(QDialog *dialog);

    // The form a widget belongs to, if any.
    QWidget *FormOf(QWidget *widget) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Form
    {
        QWidget *widget = nullptr;
        std::function<void()> onActivate;
        std::function<QWidget *()> activeChild;
    };
    const Form *find(const QWidget *widget) const;
    void activate(QWidget *form);
    void setActive(QWidget *form);
    void forget(QObject *object);

    std::vector<Form> forms;
    std::vector<QPointer<QWidget>> passive;
    // Always a registered form or null: a form is forgotten as it is destroyed.
    QWidget *active = nullptr;
};

// The one screen object, made with the application.
extern TScreen *Screen;
