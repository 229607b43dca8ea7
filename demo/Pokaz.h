#pragma once

#include <QWidget>

// The colour demonstration window. Its textures come with the sampling tools.
class TShower : public QWidget {
    Q_OBJECT
public:
    explicit TShower(QWidget* parent = nullptr);
    ~TShower() override;
};

extern TShower* Shower;
