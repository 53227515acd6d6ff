#include "Main.h"

#include <QMdiArea>

TMainForm *MainForm = nullptr;

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent)
{
    setCentralWidget(new QMdiArea(this));
    resize(984, 741);
    FormCreate(this);
}

void TMainForm::FormCreate(QObject *)
{
    setWindowTitle(QStringLiteral("Volumo (Laufwerks-Statistik) - Version 2.5.1"));
}
