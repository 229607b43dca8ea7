#pragma once

#include <QDialog>

// The area study dialog. Its controls come with the area study.
class TGlobal : public QDialog {
    Q_OBJECT
public:
    explicit TGlobal(QWidget* parent = nullptr);
    ~TGlobal() override;
};

extern TGlobal* Global;
