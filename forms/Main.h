#pragma once

#include <QMainWindow>

// The main window: the frame that holds the drive windows.
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    explicit TMainForm(QWidget *parent = nullptr);

    void FormCreate(QObject *Sender);
};

extern TMainForm *MainForm;
