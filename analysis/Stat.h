#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The sample statistics window: the mean, standard deviation and coefficient of variation of
// each channel of the sample list, and a swatch of the mean colour. "Zamknij" hands the means
// to the colour demonstration window and, with "Autozakres" above 0, a band around them to
// the area study's bounds. Created once; closing it only hides it.
class TStatystyka : public QDialog {
    Q_OBJECT
public:
    explicit TStatystyka(QWidget* parent = nullptr);
    ~TStatystyka() override;

    // Controls, named as in the window design.
    QPushButton* BitBtn1 = nullptr;
    QLabel* Label1 = nullptr; // "R"
    QLabel* Label3 = nullptr; // "G"
    QLabel* Label4 = nullptr; // "B"
    QLabel* Label2 = nullptr; // "Średnia"
    QLabel* Label5 = nullptr; // "Odchylenie stand."
    QLabel* Label6 = nullptr; // "Wsp. zmienn."
    QLabel* LR = nullptr;
    QLabel* LG = nullptr;
    QLabel* LB = nullptr;
    QLabel* LRS = nullptr;
    QLabel* LGS = nullptr;
    QLabel* LBS = nullptr;
    QLabel* LRO = nullptr;
    QLabel* LGO = nullptr;
    QLabel* LBO = nullptr;
    QFrame* Bevel2 = nullptr;
    QFrame* Bevel3 = nullptr;
    QFrame* Bevel1 = nullptr;
    QFrame* Panel1 = nullptr;

    // The results of the latest Calculate.
    int MeanR = 0;
    int MeanG = 0;
    int MeanB = 0;
    float StdDevR = 0;
    float StdDevG = 0;
    float StdDevB = 0;
    float VarCoefR = 0;
    float VarCoefB = 0;
    float VarCoefG = 0;

    // Handlers.
    void FormShow();
    // The statistics of the main window's samples into the result fields; no control changes.
    void Calculate();
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildDesign();
};

extern TStatystyka* Statystyka;
