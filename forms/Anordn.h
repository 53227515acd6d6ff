#pragma once

#include "chart_geometry.h"
#include "dialog_form.h"
#include "form_screen.h"

#include <cstdint>
#include <optional>

class QGroupBox;
class QLabel;
class QRadioButton;
class TBitBtn;
class TSpinEdit;
struct RunSettings;

// The settings dialog: grid rows and columns, chart kind and 2D or 3D. Its controls keep what
// the user left in them for the rest of the run; OK stores all four settings.
class Tanordnung : public DialogForm
{
    Q_OBJECT

public:
    explicit Tanordnung(QWidget *parent = nullptr);
    ~Tanordnung() override;

    void OKButtonClick(QObject *Sender);

    // Rows, columns and 2D/3D as the controls stand, whatever button last closed the dialog;
    // rows and columns always within 1..4.
    void ReadLayout(RunSettings &settings) const;

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

protected:
    void prepareShowing() override;

private:
    FormRegistration registration{this};
};

// The settings dialog while it exists: set by its constructor, cleared by its destructor.
extern Tanordnung *anordnung;

// The series kind a drive window shows for a ChartKind setting; nothing for 0, which keeps the
// declared pie.
std::optional<SeriesKind> SeriesKindOf(uint8_t chartKind);
