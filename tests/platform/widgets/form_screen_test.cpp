#include "../../gui_helpers.h"
#include "dialog_form.h"

#include <gtest/gtest.h>

namespace {

// A form with one control that takes the focus.
struct Form
{
    explicit Form(const QString &name)
    {
        widget.setWindowTitle(name);
        auto *layout = new QVBoxLayout(&widget);
        layout->addWidget(edit);
        QObject::connect(&registration, &FormRegistration::Activated, &widget,
                         [this] { ++activations; });
    }
    QWidget widget;
    QLineEdit *edit = new QLineEdit(&widget);
    int activations = 0;
    FormRegistration registration{&widget};
};

} // namespace

TEST(Screen, ActivationFiresWhenTheFocusEntersAnotherForm)
{
    Form a(QStringLiteral("A"));
    Form b(QStringLiteral("B"));
    ASSERT_TRUE(ShowActive(&a.widget));
    a.edit->setFocus();
    ASSERT_TRUE(WaitFor([&] { return Screen->ActiveForm() == &a.widget; }));
    EXPECT_EQ(a.activations, 1);

    ASSERT_TRUE(ShowActive(&b.widget));
    b.edit->setFocus();
    ASSERT_TRUE(WaitFor([&] { return Screen->ActiveForm() == &b.widget; }));
    EXPECT_EQ(b.activations, 1);

    // Focus moving within a form is no activation.
    a.edit->clearFocus();
    ASSERT_TRUE(ShowActive(&a.widget));
    a.edit->setFocus();
    ASSERT_TRUE(WaitFor([&] { return Screen->ActiveForm() == &a.widget; }));
    a.edit->setFocus();
    QTest::qWait(20);
    EXPECT_EQ(a.activations, 2);
    EXPECT_EQ(b.activations, 1);
}

TEST(Screen, SwitchingProgramsAndBackFiresNothing)
{
    Form a(QStringLiteral("A"));
    QWidget otherProgram;
    auto *foreignEdit = new QLineEdit(&otherProgram);
    (void)foreignEdit;
    ASSERT_TRUE(ShowActive(&a.widget));
    a.edit->setFocus();
    ASSERT_TRUE(WaitFor([&] { return a.activations == 1; }));

    ASSERT_TRUE(ShowActive(&otherProgram));
    foreignEdit->setFocus();
    QTest::qWait(20);
    EXPECT_EQ(Screen->ActiveForm(), &a.widget) << "the active form stays while away";
    ASSERT_TRUE(ShowActive(&a.widget));
    QTest::qWait(20);
    EXPECT_EQ(a.activations, 1);
}

TEST(Screen, FrameFiresOnlyWhenItsOwnControlTakesTheFocus)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    ASSERT_TRUE(WaitFor([&] { return frame.activations == 1; })) << "start-up activation";

    QWidget *child = frame.addChild(QStringLiteral("A"));
    ASSERT_TRUE(WaitFor([&] { return Screen->ActiveForm() == child; }));
    EXPECT_EQ(frame.activations, 1) << "a child taking the focus is not the frame's activation";

    // The frame's own control takes the focus from the child: the frame's activation.
    QTest::mouseClick(frame.button, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return frame.activations == 2; }));

    // Back into the child and away to another program and back: nothing.
    child->findChild<QLineEdit *>()->setFocus();
    ASSERT_TRUE(WaitFor([&] { return Screen->ActiveForm() == child; }));
    QWidget otherProgram;
    ASSERT_TRUE(ShowActive(&otherProgram));
    ASSERT_TRUE(ShowActive(&frame.window));
    QTest::qWait(20);
    EXPECT_EQ(frame.activations, 2);
}

TEST(Screen, AfterTheLastChildIsGoneTheFrameFiresOnItsNextFocus)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    ASSERT_TRUE(WaitFor([&] { return frame.activations == 1; }));
    QWidget *child = frame.addChild(QStringLiteral("A"));
    ASSERT_TRUE(WaitFor([&] { return Screen->ActiveForm() == child; }));

    frame.mdi.Close(child);
    ASSERT_TRUE(WaitFor([&] { return frame.mdi.MDIChildCount() == 0; }));
    QTest::qWait(20);
    EXPECT_EQ(frame.activations, 1) << "closing the last child brings nothing back by itself";

    QWidget otherProgram;
    ASSERT_TRUE(ShowActive(&otherProgram));
    ASSERT_TRUE(ShowActive(&frame.window));
    ASSERT_TRUE(WaitFor([&] { return frame.activations == 2; }));
}

TEST(Screen, ModalDialogFiresOnShowingAndItsClosingFiresNothing)
{
    Form a(QStringLiteral("A"));
    ASSERT_TRUE(ShowActive(&a.widget));
    a.edit->setFocus();
    ASSERT_TRUE(WaitFor([&] { return a.activations == 1; }));

    DialogForm dialog(QStringLiteral("Dialog"), QSize(200, 100), true);
    auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
    int dialogActivations = 0;
    FormRegistration registration(&dialog);
    QObject::connect(&registration, &FormRegistration::Activated, &dialog,
                     [&] { ++dialogActivations; });
    for (int showing = 1; showing <= 2; ++showing) {
        bool activeWhileShown = false;
        WhenShown(&dialog, [&] {
            activeWhileShown = Screen->ActiveForm() == &dialog;
            ok->setFocus();
            dialog.accept();
        });
        Screen->ShowModal(&dialog);
        EXPECT_TRUE(activeWhileShown);
        EXPECT_FALSE(dialog.isVisible()) << "only hidden afterwards";
        EXPECT_EQ(dialogActivations, showing);
        QTest::qWait(30);
        EXPECT_EQ(Screen->ActiveForm(), &a.widget);
        EXPECT_EQ(a.activations, 1) << "the focus came back without an activation";
    }
}

TEST(Screen, ActiveFormChangeReportsChangesAndTheActiveFormsEnd)
{
    int changes = 0;
    QObject context;
    QObject::connect(Screen, &FormScreen::ActiveFormChanged, &context, [&] { ++changes; });
    {
        Form a(QStringLiteral("A"));
        ASSERT_TRUE(ShowActive(&a.widget));
        a.edit->setFocus();
        ASSERT_TRUE(WaitFor([&] { return Screen->ActiveForm() == &a.widget; }));
        EXPECT_GE(changes, 1);
        changes = 0;
    }
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Screen->ActiveForm(), nullptr);
}
