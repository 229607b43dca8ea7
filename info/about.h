#pragma once

#include <QDialog>

// The about box. Its contents come with the manual and the links.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;
};

extern TAboutBox* AboutBox;
