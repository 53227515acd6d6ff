#pragma once

#include "dialog_form.h"

class QGroupBox;
class QLabel;
class QRadioButton;
class TBitBtn;
class TSpinEdit;

// The settings dialog: grid rows and columns, chart kind and 2D or 3D. Its controls keep what
// the user left in them for the rest of the run; OK stores all four settings.
class Tanordnung : public TDialogForm
{
    Q_OBJECT

public:
    explicit Tanordnung(QWidget *parent = nullptr);
    ~Tanordnung() override;

    void OKButtonClick(QObject *Sender);

    QGroupBox *GroupBox2 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *Image3 = nullptr;
    QRadioButton *rbKreis = nullptr;
    QRadioButton *rbBalkenHor = nullptr;
    QRadioButton *rbBalkenVer = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QRadioButton *rb3D = nullptr;
    QRadioButton *rb2D = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    TSpinEdit *SpinEdit1 = nullptr;
    QLabel *Label1 = nullptr;
    TSpinEdit *SpinEdit2 = nullptr;
    QLabel *Label2 = nullptr;
    TBitBtn *OKButton = nullptr;
    TBitBtn *BitBtn1 = nullptr;
};

extern Tanordnung *anordnung;
