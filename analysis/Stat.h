#pragma once

#include <QDialog>

// The sample statistics window. Its grid comes with the statistics.
class TStatystyka : public QDialog {
    Q_OBJECT
public:
    explicit TStatystyka(QWidget* parent = nullptr);
    ~TStatystyka() override;
};

extern TStatystyka* Statystyka;
