#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class FormRegistration;
class QDialog;
class QWidget;

// Which form is active, and each form's activation: it fires when the focus enters a form from
// another form of the program. Switching to another program and back leaves the active form as
// it was, and closing a modal dialog hands the focus back to the form that held it without
// firing anything.
class FormScreen : public QObject
{
    Q_OBJECT

public:
    explicit FormScreen(QObject *parent = nullptr);
    ~FormScreen() override;

    // Widgets of a form that are no controls of their own (a frame's client area): the focus
    // landing there enters no form.
    void RegisterPassive(QWidget *widget);

    QWidget *ActiveForm() const { return active; }

    // Shows the dialog modally; its activation fires once it is on screen. Afterwards the dialog
    // is only hidden.
    int ShowModal(QDialog *dialog);

    // The form a widget belongs to, if any.
    QWidget *FormOf(QWidget *widget) const;

signals:
    // The focus moved to another form, or the active form went.
    void ActiveFormChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class FormRegistration;
    void enter(FormRegistration *form);
    void leave(FormRegistration *form);
    FormRegistration *find(const QWidget *widget) const;
    void activate(QWidget *form);
    void setActive(QWidget *form);

    std::vector<FormRegistration *> forms;
    std::vector<QPointer<QWidget>> passive;
    // Always a registered form or null: a form leaves the screen as it is destroyed.
    QWidget *active = nullptr;
};

// The one screen object, made with the application.
extern FormScreen *Screen;

// A form's place on the screen for as long as this member lives. Declared as a form's last
// member, it is gone before the rest of the form, so a form being torn down gets no more
// events. Activated is the form's OnActivate.
class FormRegistration : public QObject
{
    Q_OBJECT

public:
    // A frame names the child it hands the focus to, so that its own activation fires only
    // when it has no active child.
    explicit FormRegistration(QWidget *form, std::function<QWidget *()> activeChild = {});
    ~FormRegistration() override;
    FormRegistration(const FormRegistration &) = delete;
    FormRegistration &operator=(const FormRegistration &) = delete;

    QWidget *Form() const { return form; }
    QWidget *ActiveChild() const { return activeChild ? activeChild() : nullptr; }

signals:
    void Activated();

private:
    QWidget *form;
    std::function<QWidget *()> activeChild;
    QPointer<FormScreen> screen;
};
