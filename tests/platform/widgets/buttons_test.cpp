#include "../../gui_helpers.h"
#include "buttons.h"
#include "dialog_form.h"

#include <QAccessible>
#include <QLineEdit>
#include <gtest/gtest.h>

TEST(BitBtn, TakesTheFocusOnPressAndDropsAPressWhoseFocusMovedOn)
{
    QWidget window;
    auto *button = new TBitBtn(&window);
    button->setGeometry(0, 0, 90, 30);
    auto *elsewhere = new QLineEdit(&window);
    elsewhere->setGeometry(0, 40, 90, 20);
    ASSERT_TRUE(ShowActive(&window));
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, button, [&] { ++clicks; });

    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(button->hasFocus());

    elsewhere->setFocus();
    QTest::mousePress(button, Qt::LeftButton);
    EXPECT_TRUE(button->hasFocus());
    elsewhere->setFocus(); // as a refresh opening new windows would
    QTest::mouseRelease(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->isDown());
}

TEST(BitBtn, OkClosesItsDialogAfterTheClickHandlerAndEnterPressesIt)
{
    DialogForm dialog(QStringLiteral("Test"), QSize(200, 100), false);
    auto *ok = new TBitBtn(&dialog);
    ok->SetKind(TBitBtn::bkOK);
    auto *abort = new TBitBtn(&dialog);
    abort->SetKind(TBitBtn::bkAbort);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_EQ(abort->text(), QStringLiteral("Abbrechen"));
    EXPECT_FALSE(ok->icon().isNull());
    EXPECT_FALSE(abort->icon().isNull());
    EXPECT_TRUE(ok->isDefault());
    // The glyph 2 px from the left edge, the caption centred in the rest.
    for (TBitBtn *button : {ok, abort}) {
        button->resize(89, 26);
        const ButtonFace face = button->Face();
        EXPECT_EQ(face.glyph.left(), 2) << button->text().toStdString();
        EXPECT_EQ(face.glyph.center().y(), 26 / 2 - 1 + face.glyph.height() % 2)
            << button->text().toStdString();
        EXPECT_EQ(face.caption.left(), face.glyph.right() + 1);
        EXPECT_EQ(face.caption.right(), 88);
    }

    bool visibleInHandler = false;
    QObject::connect(ok, &QPushButton::clicked, ok, [&] { visibleInHandler = dialog.isVisible(); });
    WhenShown(&dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Return); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(visibleInHandler);

    WhenShown(&dialog, [&] { QTest::mouseClick(abort, Qt::LeftButton); });
    EXPECT_EQ(dialog.exec(), mrAbort);
}

TEST(DialogForm, EscClosesNothingAndTheCloseBoxOnlyWhereDeclared)
{
    for (const bool closeBox : {false, true}) {
        DialogForm dialog(QStringLiteral("Test"), QSize(200, 100), closeBox);
        auto *ok = new TBitBtn(&dialog);
        ok->SetKind(TBitBtn::bkOK);
        EXPECT_EQ(dialog.size(), QSize(200, 100));
        EXPECT_EQ(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint), closeBox);

        bool visibleAfterEsc = false;
        bool visibleAfterClose = false;
        WhenShown(&dialog, [&] {
            QTest::keyClick(&dialog, Qt::Key_Escape);
            visibleAfterEsc = dialog.isVisible();
            dialog.close();
            visibleAfterClose = dialog.isVisible();
            if (visibleAfterClose)
                ok->click();
        });
        dialog.exec();
        EXPECT_TRUE(visibleAfterEsc) << "close box " << closeBox;
        EXPECT_EQ(visibleAfterClose, !closeBox);
    }
}

TEST(Buttons, APressThroughAssistiveTechnologyClicksOnceBackInTheEventLoop)
{
    QWidget window;
    auto *refresh = new TSpeedButton(&window);
    refresh->setText(QStringLiteral("&Aktualisieren"));
    auto *disabled = new TBitBtn(&window);
    disabled->setText(QStringLiteral("Drag && Drop"));
    disabled->setEnabled(false);
    ASSERT_TRUE(ShowActive(&window));

    DialogForm dialog(QStringLiteral("Test"), QSize(200, 100), false);
    auto *ok = new TBitBtn(&dialog);
    ok->SetKind(TBitBtn::bkOK);

    // The refresh button opens a modal dialog, as the tool bar's buttons do.
    int result = -1;
    QObject::connect(refresh, &QAbstractButton::clicked, refresh, [&] { result = dialog.exec(); });
    QAccessibleInterface *button = QAccessible::queryAccessibleInterface(refresh);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->role(), QAccessible::Button);
    EXPECT_EQ(button->text(QAccessible::Name), QStringLiteral("Aktualisieren"));
    ASSERT_NE(button->actionInterface(), nullptr);
    EXPECT_EQ(button->actionInterface()->actionNames().value(0),
              QAccessibleActionInterface::pressAction());

    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(dialog.isVisible()) << "the press must not wait for the dialog";
    EXPECT_EQ(result, -1);
    QAccessibleInterface *okButton = QAccessible::queryAccessibleInterface(ok);
    EXPECT_TRUE(okButton->state().defaultButton);
    WhenShown(&dialog, [&] {
        okButton->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    });
    ASSERT_TRUE(WaitFor([&] { return result != -1; }));
    EXPECT_EQ(result, QDialog::Accepted);

    int clicks = 0;
    QObject::connect(disabled, &QAbstractButton::clicked, disabled, [&] { ++clicks; });
    QAccessibleInterface *greyed = QAccessible::queryAccessibleInterface(disabled);
    EXPECT_EQ(greyed->text(QAccessible::Name), QStringLiteral("Drag & Drop"));
    EXPECT_TRUE(greyed->state().disabled);
    greyed->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTest::qWait(20);
    EXPECT_EQ(clicks, 0);
}
